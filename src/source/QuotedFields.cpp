// The quoted field mode's rule on bytes: records, fields, field texts and the mode's detection.
#include "source/QuotedFields.h"

#include "source/FieldModeScan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace QuotedFields {

namespace {

// The first '"' in base[i, stop), or stop.
inline std::size_t findQuote(const char* base, std::size_t i, std::size_t stop) {
    return i >= stop ? stop : i + ByteKernels::active().findEither(base + i, stop - i, '"', '"');
}

// The first ',' in base[i, end), or end.
inline std::size_t findComma(const char* base, std::size_t i, std::size_t end) {
    return i >= end ? end : i + ByteKernels::active().findEither(base + i, end - i, ',', ',');
}

// The first ',' or LF in base[i, end), or end.
inline std::size_t findFieldEnd(const char* base, std::size_t i, std::size_t end) {
    return i >= end ? end : i + ByteKernels::active().findEither(base + i, end - i, ',', '\n');
}

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
        i = findQuote(base, i, stop);
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
            const std::size_t at = i;
            i = pastClosingQuote(base, i, end, kMaxQuotedBytes, closed);
            if (!closed) {
                Record open = openRecord(base, begin, end);
                open.atEnd = end < at + 2 + kMaxQuotedBytes || begin + open.length == end;
                return open;
            }
            if (i >= end)
                r.atEnd = true; // a second quote could follow
            if (i < end && base[i] != ',' && base[i] != '\n' &&
                !(base[i] == '\r' && i + 1 < end && base[i + 1] == '\n'))
                r.irregular = true;
        }
        i = findFieldEnd(base, i, end);
        if (i >= end) {
            r.length = end - begin;
            r.next = end;
            r.atEnd = true;
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

namespace {

// The structural masks of base[.., end), asked for word by word in order (each word 64 bytes
// after the one before) and fetched from the byte kernels a batch of words at a time (a whole
// record of up to 1 KiB in one).
struct MaskWords {
    static constexpr std::size_t kBatch = 16;
    MaskWords(const char* bytes, std::size_t byteEnd) : base(bytes), end(byteEnd) {}
    const char* base;
    std::size_t end;
    const ByteKernels::Set& kernels = ByteKernels::active();
    std::size_t from = 0, to = 0; // the batch's bytes
    ByteKernels::StructuralMasks batch[kBatch];

    // The word at base + at (at < end).
    inline const ByteKernels::StructuralMasks& word(std::size_t at) {
        if (at >= to) {
            from = at;
            to = at + std::min(kBatch * 64, end - at);
            kernels.structuralMasks(base + at, to - at, batch);
        }
        return batch[(at - from) / 64];
    }
};

// fieldEnds 64 bytes at a time, taking every quote as a switch between inside and outside a
// quoted field. That is the rule exactly while every quote that switches to inside stands at a
// field's start or right after a quote that switched to outside (the second of a ""); false
// (ends left incomplete) at the first that does not.
bool fieldEndsByMasks(const char* d, std::size_t n, std::vector<qsizetype>& ends) {
    std::uint64_t inside = 0;     // all ones when the bytes before are inside a quoted field
    std::uint64_t startCarry = 1; // bit 0: the next word begins a field
    std::uint64_t closeCarry = 0; // bit 0: the byte before the next word closed a quote
    MaskWords words(d, n);
    for (std::size_t at = 0; at < n; at += 64) {
        const ByteKernels::StructuralMasks& m = words.word(at);
        const std::uint64_t quotes = m.quotes;
        const std::uint64_t commas = m.commas;
        const std::uint64_t state = m.oddQuotes ^ inside; // inside after each byte
        const std::uint64_t opens = quotes & state;
        const std::uint64_t closes = quotes & ~state;
        const std::uint64_t separators = commas & ~state;
        const std::uint64_t starts = separators << 1 | startCarry;
        if (opens & ~(starts | closes << 1 | closeCarry))
            return false;
        for (std::uint64_t m = separators; m; m &= m - 1)
            ends.push_back(qsizetype(at) + std::countr_zero(m));
        inside = state >> 63 ? ~std::uint64_t(0) : 0;
        startCarry = separators >> 63;
        closeCarry = closes >> 63;
    }
    ends.push_back(qsizetype(n));
    return true;
}

} // namespace

std::size_t cutRecords(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
                       std::size_t want, ByteKernels::LineCuts& out, bool& irregular,
                       std::size_t& lineEnds) {
    std::size_t p = begin;
    while (p < softEnd && p < end) {
        bool stuck = false;
        p = ByteKernels::active().cutQuoted(base, p, softEnd, end, want, out, irregular, lineEnds,
                                            stuck);
        if (!stuck)
            break;
        // One record by the rule itself, then on by masks.
        const Record r = record(base, p, end);
        irregular = irregular || r.irregular;
        if (!r.open && r.length > 0 && r.commas == want &&
            r.length <= ByteKernels::LineCuts::kMaxLength) {
            out.starts.push_back(std::uint64_t(p));
            out.lengths.push_back(std::uint32_t(r.length));
        } else {
            out.bad.push_back({out.starts.size(), p, r.length, r.open ? SIZE_MAX : r.commas});
        }
        lineEnds += std::size_t(std::count(base + p, base + r.next, '\n'));
        p = r.next;
    }
    return p;
}

FieldMode detect(QByteArrayView bytes) {
    FieldModeScan scan;
    scan.feed(bytes);
    return scan.result();
}

void fieldEnds(QByteArrayView record, std::vector<qsizetype>& ends) {
    ends.clear();
    if (fieldEndsByMasks(record.data(), std::size_t(record.size()), ends))
        return;
    ends.clear();
    const char* const d = record.data();
    const std::size_t n = std::size_t(record.size());
    std::size_t i = 0;
    for (;;) {
        if (i < n && d[i] == '"') {
            bool closed = false;
            i = pastClosingQuote(d, i, n, n, closed);
        }
        i = findComma(d, i, n);
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
