// The quoted field mode's rule on bytes: records, fields, field texts and the mode's detection.
#include "source/QuotedFields.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace QuotedFields {

namespace {

// The first line of the record at `begin`, as the record of an open quote.
Record openRecord(const char* base, std::size_t begin, std::size_t end) {
    Record r;
    r.open = true;
    const void* lf = std::memchr(base + begin, '\n', end - begin);
    if (!lf) {
        r.length = end - begin;
        r.next = end;
        return r;
    }
    const std::size_t at = std::size_t(static_cast<const char*>(lf) - base);
    r.length = at - begin - (at > begin && base[at - 1] == '\r' ? 1 : 0);
    r.next = at + 1;
    return r;
}

// Past the quoted part of a field that begins at `at` with '"': just after its closing quote, or
// `end` when it is not closed after at most `limit` bytes of content.
inline std::size_t pastClosingQuote(const char* base, std::size_t at, std::size_t end,
                                    std::size_t limit, bool& closed) {
    const std::size_t stop = std::min(end, at + 2 + limit);
    std::size_t i = at + 1;
    for (;;) {
        while (i < stop && base[i] != '"')
            ++i;
        if (i >= stop) {
            closed = false;
            return end;
        }
        ++i;
        if (i < end && base[i] == '"') {
            ++i; // "" is one quote
            continue;
        }
        closed = true;
        return i;
    }
}

} // namespace

Record record(const char* base, std::size_t begin, std::size_t end) {
    Record r;
    std::size_t i = begin;
    for (;;) {
        if (i < end && base[i] == '"') {
            bool closed = false;
            i = pastClosingQuote(base, i, end, kMaxQuotedBytes, closed);
            if (!closed)
                return openRecord(base, begin, end);
            if (i < end && base[i] != ',' && base[i] != '\n' &&
                !(base[i] == '\r' && i + 1 < end && base[i + 1] == '\n'))
                r.irregular = true;
        }
        while (i < end && base[i] != ',' && base[i] != '\n')
            ++i;
        if (i >= end) {
            r.length = end - begin;
            r.next = end;
            return r;
        }
        if (base[i] == '\n') {
            r.length = i - begin - (i > begin && base[i - 1] == '\r' ? 1 : 0);
            r.next = i + 1;
            return r;
        }
        ++r.commas;
        ++i;
    }
}

std::size_t cutRecords(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
                       std::size_t want, ByteKernels::LineCuts& out, bool& irregular) {
    std::size_t p = begin;
    while (p < softEnd && p < end) {
        const Record r = record(base, p, end);
        irregular = irregular || r.irregular;
        if (!r.open && r.length > 0 && r.commas == want &&
            r.length <= ByteKernels::LineCuts::kMaxLength) {
            out.starts.push_back(std::uint64_t(p));
            out.lengths.push_back(std::uint32_t(r.length));
        } else {
            out.bad.push_back({out.starts.size(), p, r.length, r.open ? SIZE_MAX : r.commas});
        }
        p = r.next;
    }
    return p;
}

FieldMode detect(QByteArrayView bytes) {
    const char* const d = bytes.data();
    const std::size_t n = std::size_t(bytes.size());
    // Enough quoted fields to tell the two kinds of file apart; the first is wherever in the
    // file the first quote is.
    constexpr std::size_t kEnoughFields = 1 << 16;
    std::size_t good = 0;
    std::size_t bad = 0;
    std::size_t pos = 0;
    while (good + bad < kEnoughFields) {
        const void* q = pos < n ? std::memchr(d + pos, '"', n - pos) : nullptr;
        if (!q)
            break;
        const std::size_t at = std::size_t(static_cast<const char*>(q) - d);
        if (at > 0 && d[at - 1] != ',' && d[at - 1] != '\n') {
            pos = at + 1; // a quote inside a field: an ordinary character
            continue;
        }
        bool closed = false;
        const std::size_t after = pastClosingQuote(d, at, n, kMaxQuotedBytes, closed);
        if (!closed) {
            ++bad;
            const void* lf = std::memchr(d + at, '\n', n - at);
            pos = lf ? std::size_t(static_cast<const char*>(lf) - d) + 1 : n;
            continue;
        }
        if (after == n || d[after] == ',' || d[after] == '\n' ||
            (d[after] == '\r' && after + 1 < n && d[after + 1] == '\n'))
            ++good;
        else
            ++bad;
        pos = after;
    }
    return good > bad ? FieldMode::Quoted : FieldMode::Plain;
}

void fieldEnds(QByteArrayView record, std::vector<qsizetype>& ends) {
    ends.clear();
    const char* const d = record.data();
    const std::size_t n = std::size_t(record.size());
    std::size_t i = 0;
    for (;;) {
        if (i < n && d[i] == '"') {
            bool closed = false;
            i = pastClosingQuote(d, i, n, n, closed);
        }
        while (i < n && d[i] != ',')
            ++i;
        ends.push_back(qsizetype(i));
        if (i >= n)
            return;
        ++i;
    }
}

QByteArrayView fieldText(QByteArrayView field, QByteArray& scratch) {
    if (field.isEmpty() || field.front() != '"')
        return field;
    const char* const d = field.data();
    const qsizetype n = field.size();
    // The simple case: one closing quote, at the end, and no "" before it.
    const void* q = std::memchr(d + 1, '"', std::size_t(n - 1));
    if (q && static_cast<const char*>(q) == d + n - 1)
        return field.sliced(1, n - 2);
    scratch.clear();
    qsizetype i = 1;
    while (i < n) {
        if (d[i] != '"') {
            scratch.append(d[i++]);
            continue;
        }
        if (i + 1 < n && d[i + 1] == '"') {
            scratch.append('"');
            i += 2;
            continue;
        }
        ++i; // the closing quote; what follows is text as it stands
        scratch.append(d + i, n - i);
        break;
    }
    return QByteArrayView(scratch);
}

QByteArray joinedText(QByteArrayView record) {
    std::vector<qsizetype> ends;
    fieldEnds(record, ends);
    QByteArray joined;
    joined.reserve(record.size());
    QByteArray scratch;
    qsizetype begin = 0;
    for (size_t f = 0; f < ends.size(); ++f) {
        if (f > 0)
            joined.append(',');
        joined.append(fieldText(record.sliced(begin, ends[f] - begin), scratch));
        begin = ends[f] + 1;
    }
    return joined;
}

bool fits(QByteArrayView line, qsizetype commaCount) {
    if (line.isEmpty())
        return false;
    const Record r = record(line.data(), 0, std::size_t(line.size()));
    return !r.open && r.length == std::size_t(line.size()) && qsizetype(r.commas) == commaCount;
}

} // namespace QuotedFields
