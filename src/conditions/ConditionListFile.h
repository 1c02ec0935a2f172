#pragma once

#include "conditions/ConditionEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

// List files: one condition entry a line, two double-quoted fields (column, phrase), CR LF. A
// double quote inside a field is written doubled ("a""b") and read back as one. Written in code
// page 932 (the seven characters input methods type in other forms as the code page's own);
// read as UTF-8 when the file begins with a byte-order mark or is valid UTF-8 with non-ASCII
// bytes, else as code page 932.
namespace ConditionListFile {

struct EncodeResult {
    QByteArray bytes;
    // When an entry holds a character that code page 932 cannot hold: the message naming it.
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The file's bytes for the entries, top first.
EncodeResult encode(const std::vector<ConditionEntry>& entries);

struct ParseResult {
    std::vector<ConditionEntry> entries;
    // The fields ran out while the last entry still needed its phrase (and the lone field was
    // not just an empty one, as a blank line at the end gives). That entry is not in entries.
    bool incompleteLastEntry = false;
};

// The fields of text in reading order, regardless of lines.
std::vector<QString> splitFields(QStringView text);
// The entries of text: fields paired in order.
ParseResult parse(QStringView text);
// The text of a list file's bytes, in the encoding they show.
QString decode(QByteArrayView bytes);
// The entries of the file's bytes.
ParseResult parse(QByteArrayView bytes);

struct SaveResult {
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

// Writes the entries to path, whole or not at all: when an entry cannot be encoded or the file
// cannot be written, the file that was there stays as it was.
SaveResult save(const QString& path, const std::vector<ConditionEntry>& entries);

struct LoadResult {
    std::vector<ConditionEntry> entries;
    QString error; // the file could not be read at all; entries is then empty
    // The last entry of the file lacked its phrase; entries holds the ones before it.
    QString warning;
    bool ok() const { return error.isEmpty(); }
};

LoadResult load(const QString& path);

// Messages, so that tests can assert them.
QString unencodableMessage(qsizetype entryNumber, const ConditionEntry& entry);
QString saveFailedMessage(const QString& path, const QString& reason);
QString loadFailedMessage(const QString& path, const QString& reason);
QString incompleteLastEntryMessage(const QString& path);

} // namespace ConditionListFile
