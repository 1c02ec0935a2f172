#pragma once

#include "conditions/ConditionEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// List files: one condition entry a line, two double-quoted fields (column, phrase), CR LF. A
// double quote inside a field is written doubled ("a""b") and read back as one. Written in code
// page 932 when every entry reads back from it unchanged, otherwise in UTF-8 with a byte-order
// mark; read as UTF-8 when the file begins with a byte-order mark or its bytes show UTF-8
// (TextCodec::detect), else as code page 932.
//
// Reading takes each line as one entry, so a line that cannot be read never shifts the entries
// after it: the column field runs to the first comma (a quoted one to its closing quote), the
// phrase is the rest of the line (a quoted one runs to the last double quote of the line, so a
// phrase ending in an undoubled quote, "8"", still reads as 8"). Blank lines are skipped.
namespace ConditionListFile {

struct EncodeResult {
    QByteArray bytes;
    // When an entry holds what neither encoding can hold (a lone surrogate): the message naming
    // it.
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The file's bytes for the entries, top first.
EncodeResult encode(const std::vector<ConditionEntry>& entries);

struct ParseResult {
    std::vector<ConditionEntry> entries;
    // Numbers (from 1) of the lines that hold no entry: a single field, or a quote left open.
    std::vector<qint64> badLines;
};

// The entry of one line (without its line end); nothing when the line does not parse.
std::optional<ConditionEntry> parseLine(QStringView line);
// The entries of text, one a line.
ParseResult parse(QStringView text);
// The text of a list file's bytes, in the encoding they show.
QString decode(QByteArrayView bytes);
// The entries of the file's bytes.
ParseResult parse(QByteArrayView bytes);

struct SaveResult {
    QString error; // empty on success
    // The folder refuses a temporary file: only writing the old file in place would work.
    bool inPlaceOnly = false;
    bool ok() const { return error.isEmpty(); }
};

// Writes the entries to path, whole or not at all: when an entry cannot be encoded or the file
// cannot be written, the file that was there stays as it was. allowInPlace (the user agreed to
// it): where the folder refuses a temporary file, the old file is written in place.
SaveResult save(const QString& path, const std::vector<ConditionEntry>& entries,
                bool allowInPlace = false);

struct LoadResult {
    std::vector<ConditionEntry> entries;
    QString error; // the file could not be read at all (or is UTF-16); entries is then empty
    // Some lines held no entry (their numbers are named); entries holds all the others.
    QString warning;
    std::vector<qint64> badLines;
    bool ok() const { return error.isEmpty(); }
};

// Running out of memory (a file too big for it) is an error like a read failure.
LoadResult load(const QString& path);

// The bytes of a file to be read as a list (or condition-set) file: the reason, for the user,
// when it cannot be read (no regular file, unreadable, UTF-16 text). Throws std::bad_alloc when
// the file does not fit in memory.
std::optional<QString> readBytes(const QString& path, QByteArray& bytes);

// Tests: the largest list file load() can hold in memory; a bigger one throws std::bad_alloc
// inside it as when the system has no more (0 = no limit but the system's).
void setMemoryLimitForTesting(qint64 bytes);

// Messages, so that tests can assert them.
QString unencodableMessage(qsizetype entryNumber, const ConditionEntry& entry);
QString saveFailedMessage(const QString& path, const QString& reason);
QString loadFailedMessage(const QString& path, const QString& reason);
QString badLinesMessage(const QString& path, const std::vector<qint64>& lineNumbers);

} // namespace ConditionListFile
