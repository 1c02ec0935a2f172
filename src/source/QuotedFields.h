#pragma once

// The quoted field mode's rule, on bytes: where a record ends and where its fields are, what a
// field's text is, and whether a file is written that way.
//
// A field that begins with '"' runs to its closing '"'; "" inside it is one '"', and commas and
// line breaks inside belong to it, so a record may span lines. Bytes after the closing quote up
// to the next comma or line end are kept as text. A '"' anywhere else is an ordinary character.
// A record ends with LF (a CR before it is part of the line end) outside a quoted field, or with
// the bytes. A quote left open to the end of the bytes, or for more than kMaxQuotedBytes, makes
// the record's first line a record of its own that never fits, and the next record starts on the
// line after it. ",", '"', CR and LF never occur inside a character of code page 932 or UTF-8.

#include "base/ByteKernels.h"
#include "source/FieldMode.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <vector>

namespace QuotedFields {

// A quoted field may span at most this many bytes between its quotes.
inline constexpr std::size_t kMaxQuotedBytes = 1 << 20;

// One record found from `begin` in base[begin, end).
struct Record {
    std::size_t length = 0; // its bytes, without the line end that closes it
    std::size_t next = 0;   // where the next record begins
    std::size_t commas = 0; // its fields less one
    bool open = false;      // a quote left open: the record is its first line only
    bool irregular = false; // text after a closing quote
    // The verdict looked at the end of the bytes: more bytes after them might change it (a
    // reader that has only part of a file carries such a record on to the next part).
    bool atEnd = false;
};
Record record(const char* base, std::size_t begin, std::size_t end);

// The records of base[begin, ...) that begin before softEnd, cut as ByteKernels::cutLines cuts
// lines (fitting records: non-empty, `want` commas, not open; every other record goes to bad,
// an open one with commas = SIZE_MAX). A record that begins before softEnd may run on to end.
// Returns where the next record begins; sets irregular when a field has text after its
// closing quote (and may set it for a stretch that has none), and adds the LFs before the
// returned position to lineEnds.
std::size_t cutRecords(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
                       std::size_t want, ByteKernels::LineCuts& out, bool& irregular,
                       std::size_t& lineEnds);

// Whether the bytes are a file written in quoted mode: some field begins with '"' and closes
// properly (its closing quote followed by a comma, a line end or the end) more often than a
// quoted field is left open or followed by other text. FieldModeScan, fed the bytes at once.
FieldMode detect(QByteArrayView bytes);

// Where the fields of one record's bytes begin and end (ends[i] is just after field i's last
// byte, the next field beginning after the comma there). Cleared first.
void fieldEnds(QByteArrayView record, std::vector<qsizetype>& ends);

// A field's text from its bytes (as fieldEnds cuts them): without its enclosing quotes and with
// "" read as '"'. The bytes themselves when nothing needs changing, else a copy in scratch.
QByteArrayView fieldText(QByteArrayView field, QByteArray& scratch);

// The record's field texts joined by ",".
QByteArray joinedText(QByteArrayView record);

// True when the bytes are one whole record of commaCount + 1 fields (no quote left open, no line
// end outside a quoted field), and not empty.
bool fits(QByteArrayView line, qsizetype commaCount);

} // namespace QuotedFields
