#pragma once

#include "conditions/ConditionEntry.h"
#include "conditions/ConditionList.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

// Condition-set files: the four condition lists in one plain text file a user can read and edit.
//
//   # Vornel 条件セット
//   AND,3,東京
//   OR,0,当選
//   NOTAND,2,"  blanks kept  "
//   NOTOR,5,a,b,c
//
// One entry a line: the list's name (AND, OR, NOTAND or NOTOR, in any letter case), a comma, and
// then the entry as a list file's line holds it (ConditionListFile::parseLine): the column, a
// comma, and the phrase, which is the rest of the line, commas included. A field may be quoted
// ("..." with "" for a quote inside); an unquoted one loses the blanks around it. Lines whose
// first non-blank character is "#" and blank lines are skipped. Within each list the entries keep
// the file's order (top first); the lists' lines may come in any order and mixed.
//
// A line is bad (and named, by its number from 1) when its list name is none of the four, or it
// has no column (no comma after the list's name, or none after the column), or a quote is left
// open. Everything else is taken as it stands, as a list-file load takes it: a column that is no
// number or lies beyond the data's columns is refused later by Start (and by --pick), the same
// entry twice (in one list or in two) stays twice, an empty phrase is kept. No line is too long
// and no list too big but for the memory: a phrase may be as long as one typed or loaded.
//
// Written in code page 932 when every entry reads back from it unchanged, otherwise (or when the
// caller asks) in UTF-8 with a byte-order mark; CR LF after every line; a comment first line.
// Read as UTF-8 when the file begins with a byte-order mark or its bytes show UTF-8, else as code
// page 932 (as list files are).
namespace ConditionSetFile {

// The four lists' entries, indexed by ConditionList, each top first.
using Lists = std::array<std::vector<ConditionEntry>, kConditionListCount>;

// The name a line gives the list: "AND", "OR", "NOTAND", "NOTOR".
QString listKey(ConditionList id);
// The list a line's name stands for (letter case aside); nothing for any other text.
std::optional<ConditionList> listFromKey(QStringView key);

// The first line of a written file.
QString commentLine();

struct EncodeResult {
    QByteArray bytes;
    QString error; // an entry holds what no encoding here can hold (or a line break)
    bool ok() const { return error.isEmpty(); }
};

// The file's bytes for the lists. utf8: always UTF-8 with a byte-order mark.
EncodeResult encode(const Lists& lists, bool utf8 = false);

struct Line {
    ConditionList list;
    ConditionEntry entry;
};
// The entry of one line (without its line end); nothing when the line is bad. A comment or blank
// line is no entry either: parse() skips those before it asks.
std::optional<Line> parseLine(QStringView line);

struct ParseResult {
    Lists lists;
    // The line number (from 1) of each entry, beside lists.
    std::array<std::vector<qint64>, kConditionListCount> lineNumbers;
    std::vector<qint64> badLines;
    qsizetype entryCount() const;
};
ParseResult parse(QStringView text);
// The entries of a file's bytes, in the encoding they show.
ParseResult parse(QByteArrayView bytes);

struct SaveResult {
    QString error;            // empty on success
    bool inPlaceOnly = false; // the folder refuses a temporary file (see WholeFile)
    bool ok() const { return error.isEmpty(); }
};
// Writes the lists to path, whole or not at all.
SaveResult save(const QString& path, const Lists& lists, bool allowInPlace = false);

struct LoadResult {
    ParseResult parsed;
    QString error;   // the file could not be read, or holds bad lines and no entry at all
    QString warning; // some lines are bad (named); parsed holds the others
    bool ok() const { return error.isEmpty(); }
};
// Reads a set file as the window loads it (a file too big for the memory is an error).
LoadResult load(const QString& path);

// Messages, so that tests can assert them.
QString unencodableMessage(ConditionList list, qsizetype entryNumber, const ConditionEntry& entry);
QString saveFailedMessage(const QString& path, const QString& reason);
QString loadFailedMessage(const QString& path, const QString& reason);
QString badLinesMessage(const QString& path, const std::vector<qint64>& lineNumbers);
QString noEntryMessage(const QString& path, const std::vector<qint64>& lineNumbers);

} // namespace ConditionSetFile
