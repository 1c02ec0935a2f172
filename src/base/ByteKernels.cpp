// The byte-scanning kernels, each vector kernel beside its plain twin, and the choice of the set
// the program runs. Kernels that need more than the SSE2 baseline of x86-64 (POPCNT, AVX2) are
// built for those instructions with a target attribute and only ever called after the processor
// has said it has them.
#include "base/ByteKernels.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VORNEL_HAVE_AVX2_PATH 1
#endif

#define VORNEL_INLINE inline __attribute__((always_inline))

namespace ByteKernels {
namespace {

// ---- the plain twins ----

std::size_t countBytePlain(const char* p, std::size_t n, char c) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i)
        count += p[i] == c;
    return count;
}

// Ends lines for cutLines: one line per call, in order.
struct LineEnder {
    const char* base;
    std::size_t want;
    LineCuts& out;
    std::size_t lineStart;
    std::size_t commas = 0;

    VORNEL_INLINE void end(std::size_t lineEnd, bool lineFeed) {
        std::size_t length = lineEnd - lineStart;
        if (lineFeed && length > 0 && base[lineEnd - 1] == '\r')
            --length;
        if (length > 0 && commas == want && length <= LineCuts::kMaxLength) {
            out.starts.push_back(lineStart);
            out.lengths.push_back(std::uint32_t(length));
        } else {
            out.bad.push_back({out.starts.size(), lineStart, length, commas});
        }
        lineStart = lineEnd + 1;
        commas = 0;
    }
};

void cutLinesPlain(const char* base, std::size_t begin, std::size_t end, std::size_t want,
                   LineCuts& out) {
    LineEnder line{base, want, out, begin};
    for (std::size_t i = begin; i < end; ++i) {
        if (base[i] == ',')
            ++line.commas;
        else if (base[i] == '\n')
            line.end(i, true);
    }
    if (line.lineStart < end) // the last line, without a line end
        line.end(end, false);
}

qsizetype findBytesPlain(const char* text, qsizetype n, const char* needle, qsizetype m) {
    for (qsizetype i = 0; i + m <= n; ++i) {
        qsizetype k = 0;
        while (k < m && text[i + k] == needle[k])
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}

// The lowest index of a needle that begins at text[i], or -1.
VORNEL_INLINE int needleAt(const char* text, qsizetype n, qsizetype i, const char* const* needles,
                           const qsizetype* sizes, int count) {
    for (int k = 0; k < count; ++k)
        if (i + sizes[k] <= n && std::memcmp(text + i, needles[k], size_t(sizes[k])) == 0)
            return k;
    return -1;
}

qsizetype findAnyPlain(const char* text, qsizetype n, const char* const* needles,
                       const qsizetype* sizes, int count, int* which) {
    for (qsizetype i = 0; i < n; ++i) {
        const int k = needleAt(text, n, i, needles, sizes, count);
        if (k >= 0) {
            *which = k;
            return i;
        }
    }
    return -1;
}

qsizetype findUnitPlain(const char16_t* text, qsizetype n, char16_t unit) {
    for (qsizetype i = 0; i < n; ++i)
        if (text[i] == unit)
            return i;
    return -1;
}

qsizetype findUnitsPlain(const char16_t* text, qsizetype n, const char16_t* needle, qsizetype m) {
    for (qsizetype i = 0; i + m <= n; ++i) {
        qsizetype k = 0;
        while (k < m && text[i + k] == needle[k])
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}

qsizetype commaPositionsPlain(const char* p, qsizetype n, qsizetype* ends) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < n; ++i)
        if (p[i] == ',')
            ends[count++] = i;
    return count;
}

void structuralMasksPlain(const char* p, std::size_t n, StructuralMasks* out) {
    for (std::size_t w = 0; w * 64 < n; ++w) {
        StructuralMasks m{};
        bool odd = false;
        for (std::size_t k = 0; k < 64; ++k) {
            const std::uint64_t bit = std::uint64_t(1) << k;
            const std::size_t i = w * 64 + k;
            if (i < n) {
                m.quotes |= p[i] == '"' ? bit : 0;
                m.commas |= p[i] == ',' ? bit : 0;
                m.lfs |= p[i] == '\n' ? bit : 0;
                m.crs |= p[i] == '\r' ? bit : 0;
                odd = odd != (p[i] == '"');
            }
            m.oddQuotes |= odd ? bit : 0;
        }
        out[w] = m;
    }
}

std::size_t findEitherPlain(const char* p, std::size_t n, char a, char b) {
    std::size_t i = 0;
    while (i < n && p[i] != a && p[i] != b)
        ++i;
    return i;
}

// The set bits of x: the POPCNT instruction, or a sum of bits where it may be missing (the
// builtin would then be a library call).
template <bool kPopcnt> VORNEL_INLINE std::size_t bitCount(std::uint64_t x) {
    if constexpr (kPopcnt) {
        return std::size_t(__builtin_popcountll(x));
    } else {
        x -= (x >> 1) & 0x5555555555555555u;
        x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        return std::size_t((x * 0x0101010101010101u) >> 56);
    }
}

// The quoted cut, 64 bytes at a time (cutQuoted). Built once per set, with its masks and with
// or without the POPCNT instruction.
template <void (*kMasks)(const char*, std::size_t, StructuralMasks*), bool kPopcnt>
VORNEL_INLINE std::size_t cutQuotedBody(const char* base, std::size_t begin, std::size_t softEnd,
                                        std::size_t end, std::size_t want, LineCuts& out,
                                        bool& irregular, std::size_t& lineEnds, bool& stuck) {
    // The longest stretch a quote may stay open here: well inside QuotedFields::kMaxQuotedBytes,
    // so that no field the rule leaves open is closed here.
    constexpr std::size_t kLongQuote = 64 * 1024;
    stuck = false;
    std::size_t start = begin; // the record being cut
    std::size_t commas = 0;    // its separators before `at`
    std::uint64_t inside = 0;
    std::uint64_t startCarry = 1;
    std::uint64_t closeCarry = 0;
    std::size_t openAt = 0;    // the last opening quote
    std::size_t lfsBefore = 0; // LFs from begin to the word
    // LFs from begin to the record: those before the word of the LF that ended the record before
    // it and those of that word's mask (counted only when asked for).
    std::size_t toStartBefore = 0;
    std::uint64_t toStartMask = 0;
    // The masks, a batch of words at a time; batches grow from one word, so that a cut that
    // stops early has read little ahead.
    constexpr std::size_t kBatch = 16;
    StructuralMasks batch[kBatch];
    std::size_t batchFrom = 0, batchTo = 0;
    std::size_t batchWords = 1;
    for (std::size_t at = begin;; at += 64) {
        if (start >= softEnd) {
            lineEnds += toStartBefore + bitCount<kPopcnt>(toStartMask);
            return start;
        }
        if (at >= end) {
            if (inside) {
                stuck = true;
                lineEnds += toStartBefore + bitCount<kPopcnt>(toStartMask);
                return start;
            }
            lineEnds += lfsBefore;
            if (start < end) {
                const std::size_t length = end - start;
                if (length <= LineCuts::kMaxLength && commas == want) {
                    out.starts.push_back(std::uint64_t(start));
                    out.lengths.push_back(std::uint32_t(length));
                } else {
                    out.bad.push_back({out.starts.size(), start, length, commas});
                }
            }
            return end;
        }
        const std::size_t n = end - at < 64 ? end - at : 64;
        if (inside && at + n > openAt + kLongQuote) {
            stuck = true;
            lineEnds += toStartBefore + bitCount<kPopcnt>(toStartMask);
            return start;
        }
        if (at >= batchTo) {
            batchFrom = at;
            batchTo = at + (end - at < batchWords * 64 ? end - at : batchWords * 64);
            kMasks(base + at, batchTo - at, batch);
            batchWords = batchWords * 2 < kBatch ? batchWords * 2 : kBatch;
        }
        const StructuralMasks& m = batch[(at - batchFrom) / 64];
        const std::uint64_t state = m.oddQuotes ^ inside;
        const std::uint64_t opens = m.quotes & state;
        const std::uint64_t closes = m.quotes & ~state;
        const std::uint64_t separators = m.commas & ~state;
        const std::uint64_t recordEnds = m.lfs & ~state;
        const std::uint64_t fieldStarts = (separators | recordEnds) << 1 | startCarry;
        if (opens & ~(fieldStarts | closes << 1 | closeCarry)) {
            stuck = true;
            lineEnds += toStartBefore + bitCount<kPopcnt>(toStartMask);
            return start;
        }
        // Text after a closing quote: anything but a comma, a line end or a second quote. A
        // CR LF that does not lie wholly inside the word is looked at byte by byte.
        if (!irregular) {
            const char next = n == 64 && at + 64 < end ? base[at + 64] : 0;
            const auto ahead = [next](std::uint64_t bits, char c) {
                return bits >> 1 | std::uint64_t(next == c) << 63;
            };
            std::uint64_t fine = ahead(m.commas, ',') | ahead(m.lfs, '\n') | ahead(m.quotes, '"') |
                                 (m.crs & m.lfs >> 1) >> 1;
            if (at + n == end)
                fine |= std::uint64_t(1) << (n - 1); // a quote closed by the end of the bytes
            for (std::uint64_t odd = closes & ~fine; odd; odd &= odd - 1) {
                const std::size_t q = at + std::size_t(__builtin_ctzll(odd)) + 1;
                if (!(q + 1 < end && base[q] == '\r' && base[q + 1] == '\n')) {
                    irregular = true;
                    break;
                }
            }
        }
        if (opens)
            openAt = at + 63 - std::size_t(__builtin_clzll(opens));
        std::uint64_t counted = 0; // the separators below here are counted
        for (std::uint64_t e = recordEnds; e; e &= e - 1) {
            const int bit = __builtin_ctzll(e);
            const std::uint64_t below = (std::uint64_t(1) << bit) - 1;
            commas += bitCount<kPopcnt>(separators & below & ~counted);
            counted = below;
            const std::size_t lf = at + std::size_t(bit);
            const std::size_t length = lf - start - (lf > start && base[lf - 1] == '\r' ? 1 : 0);
            if (length > 0 && commas == want && length <= LineCuts::kMaxLength) {
                out.starts.push_back(std::uint64_t(start));
                out.lengths.push_back(std::uint32_t(length));
            } else {
                out.bad.push_back({out.starts.size(), start, length, commas});
            }
            start = lf + 1;
            commas = 0;
            toStartBefore = lfsBefore;
            toStartMask = m.lfs & (below << 1 | 1);
            if (start >= softEnd) {
                lineEnds += toStartBefore + bitCount<kPopcnt>(toStartMask);
                return start;
            }
        }
        lfsBefore += bitCount<kPopcnt>(m.lfs);
        commas += bitCount<kPopcnt>(separators & ~counted);
        inside = state >> 63 ? ~std::uint64_t(0) : 0;
        startCarry = (separators | recordEnds) >> 63;
        closeCarry = closes >> 63;
    }
}

std::size_t cutQuotedPlain(const char* base, std::size_t begin, std::size_t softEnd,
                           std::size_t end, std::size_t want, LineCuts& out, bool& irregular,
                           std::size_t& lineEnds, bool& stuck) {
    return cutQuotedBody<structuralMasksPlain, false>(base, begin, softEnd, end, want, out,
                                                      irregular, lineEnds, stuck);
}

constexpr Set kPlain{
    "plain",        false,          countBytePlain,      cutLinesPlain,        findBytesPlain,
    findUnitPlain,  findUnitsPlain, commaPositionsPlain, structuralMasksPlain, findEitherPlain,
    cutQuotedPlain, findAnyPlain};

#if defined(__SSE2__)

// ---- SSE2, the baseline of x86-64 ----

// Bit k set when p[k] == c, for the 64 bytes at p.
VORNEL_INLINE std::uint64_t mask64(const char* p, char c) {
    const __m128i needle = _mm_set1_epi8(c);
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        m |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, needle)))) << (16 * k);
    }
    return m;
}

// The bodies below are built twice: as they are, and inside functions that may use POPCNT.
VORNEL_INLINE std::size_t countByteWide(const char* p, std::size_t n, char c) {
    std::size_t count = 0;
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64)
        count += std::size_t(__builtin_popcountll(mask64(p + i, c)));
    for (; i < n; ++i)
        count += p[i] == c;
    return count;
}

VORNEL_INLINE void cutLinesWide(const char* base, std::size_t begin, std::size_t end,
                                std::size_t want, LineCuts& out) {
    LineEnder line{base, want, out, begin};
    std::size_t i = begin;
    for (; i + 64 <= end; i += 64) {
        std::uint64_t lf = mask64(base + i, '\n');
        std::uint64_t cm = mask64(base + i, ',');
        while (lf) {
            const int b = __builtin_ctzll(lf);
            const std::uint64_t below = (std::uint64_t(1) << b) - 1;
            line.commas += std::size_t(__builtin_popcountll(cm & below));
            line.end(i + std::size_t(b), true);
            cm &= ~below;
            lf &= lf - 1;
        }
        line.commas += std::size_t(__builtin_popcountll(cm));
    }
    for (; i < end; ++i) {
        if (base[i] == ',')
            ++line.commas;
        else if (base[i] == '\n')
            line.end(i, true);
    }
    if (line.lineStart < end)
        line.end(end, false);
}

std::size_t countByteSse2(const char* p, std::size_t n, char c) {
    return countByteWide(p, n, c);
}
void cutLinesSse2(const char* base, std::size_t begin, std::size_t end, std::size_t want,
                  LineCuts& out) {
    cutLinesWide(base, begin, end, want, out);
}
__attribute__((target("popcnt"))) std::size_t countBytePopcnt(const char* p, std::size_t n,
                                                              char c) {
    return countByteWide(p, n, c);
}
__attribute__((target("popcnt"))) void cutLinesPopcnt(const char* base, std::size_t begin,
                                                      std::size_t end, std::size_t want,
                                                      LineCuts& out) {
    cutLinesWide(base, begin, end, want, out);
}

// The needle's inner bytes at a candidate, compared in place: a call in the scan loop would make
// the compiler keep the loop's vectors in memory.
VORNEL_INLINE bool sameBytes(const char* a, const char* b, qsizetype n) {
    for (qsizetype k = 0; k < n; ++k)
        if (a[k] != b[k])
            return false;
    return true;
}

qsizetype findBytesSse2(const char* text, qsizetype n, const char* needle, qsizetype m) {
    if (m == 0)
        return 0;
    if (m > n)
        return -1;
    if (m == 1) {
        const void* hit = std::memchr(text, needle[0], size_t(n));
        return hit ? static_cast<const char*>(hit) - text : -1;
    }
    qsizetype i = 0;
    // Candidates are where both the first and the last byte of the needle sit, sixteen starts at
    // a time; only those are compared in full.
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[m - 1]);
    for (; i + m - 1 + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + m - 1));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            if (sameBytes(text + i + bit + 1, needle + 1, m - 2))
                return i + bit;
            mask &= mask - 1;
        }
    }
    // What is left (all of a short text) is shorter than a block: byte by byte.
    const char first0 = needle[0];
    const char last0 = needle[m - 1];
    for (; i + m <= n; ++i) {
        if (text[i] == first0 && text[i + m - 1] == last0 &&
            std::memcmp(text + i + 1, needle + 1, size_t(m - 2)) == 0)
            return i;
    }
    return -1;
}

qsizetype findUnitSse2(const char16_t* text, qsizetype n, char16_t unit) {
    qsizetype i = 0;
    const __m128i v = _mm_set1_epi16(short(unit));
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
        const __m128i packed = _mm_packs_epi16(_mm_cmpeq_epi16(a, v), _mm_cmpeq_epi16(b, v));
        const unsigned mask = unsigned(_mm_movemask_epi8(packed));
        if (mask != 0)
            return i + __builtin_ctz(mask);
    }
    for (; i < n; ++i) {
        if (text[i] == unit)
            return i;
    }
    return -1;
}

qsizetype findUnitsSse2(const char16_t* text, qsizetype n, const char16_t* needle, qsizetype m) {
    if (m == 0)
        return 0;
    if (m > n)
        return -1;
    if (m == 1)
        return findUnitSse2(text, n, needle[0]);
    const qsizetype lastStart = n - m;
    const char16_t first = needle[0];
    const char16_t last = needle[m - 1];
    const size_t middleBytes = size_t(m - 2) * sizeof(char16_t);
    qsizetype i = 0;
    // Compare eight start positions at once on the needle's first and last unit; only where
    // both agree are the units between them compared.
    const __m128i vf = _mm_set1_epi16(short(first));
    const __m128i vl = _mm_set1_epi16(short(last));
    for (; i + 7 <= lastStart; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + m - 1));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, vf), _mm_cmpeq_epi16(b, vl))));
        while (mask != 0) {
            const qsizetype pos = i + qsizetype(__builtin_ctz(mask) / 2);
            if (std::memcmp(text + pos + 1, needle + 1, middleBytes) == 0)
                return pos;
            mask &= mask - 1; // both bits of this unit
            mask &= mask - 1;
        }
    }
    for (; i <= lastStart; ++i) {
        if (text[i] == first && text[i + m - 1] == last &&
            std::memcmp(text + i + 1, needle + 1, middleBytes) == 0)
            return i;
    }
    return -1;
}

qsizetype commaPositionsSse2(const char* p, qsizetype n, qsizetype* ends) {
    qsizetype count = 0;
    qsizetype i = 0;
    const __m128i comma = _mm_set1_epi8(',');
    for (; i + 16 <= n; i += 16) {
        unsigned hits = unsigned(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), comma)));
        while (hits) {
            ends[count++] = i + __builtin_ctz(hits);
            hits &= hits - 1;
        }
    }
    for (; i < n; ++i)
        if (p[i] == ',')
            ends[count++] = i;
    return count;
}

// The quote, comma, LF and CR masks of p[0, n), n at most 64 (a word of the structural masks):
// sixteen bytes at a time, the rest from the last sixteen bytes, or byte by byte when there are
// fewer.
VORNEL_INLINE void structuralBitsSse2(const char* p, std::size_t n, StructuralMasks& m) {
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const auto bits = [](__m128i v, __m128i c, std::size_t k) {
        return std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c)))) << k;
    };
    std::size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        m.quotes |= bits(v, quote, k);
        m.commas |= bits(v, comma, k);
        m.lfs |= bits(v, lf, k);
        m.crs |= bits(v, cr, k);
    }
    if (k < n && n >= 16) {
        // The last sixteen bytes, of which the top n - k are new.
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
        const std::size_t drop = 16 - (n - k);
        m.quotes |= bits(v, quote, 0) >> drop << k;
        m.commas |= bits(v, comma, 0) >> drop << k;
        m.lfs |= bits(v, lf, 0) >> drop << k;
        m.crs |= bits(v, cr, 0) >> drop << k;
        k = n;
    }
    for (; k < n; ++k) {
        m.quotes |= std::uint64_t(p[k] == '"') << k;
        m.commas |= std::uint64_t(p[k] == ',') << k;
        m.lfs |= std::uint64_t(p[k] == '\n') << k;
        m.crs |= std::uint64_t(p[k] == '\r') << k;
    }
}

// Bit k: the XOR of bits 0 .. k, by shifts.
VORNEL_INLINE std::uint64_t prefixXorShifts(std::uint64_t x) {
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    return x;
}

void structuralMasksSse2(const char* p, std::size_t n, StructuralMasks* out) {
    for (std::size_t at = 0; at < n; at += 64, ++out) {
        StructuralMasks m{};
        structuralBitsSse2(p + at, n - at < 64 ? n - at : 64, m);
        m.oddQuotes = prefixXorShifts(m.quotes);
        *out = m;
    }
}

std::size_t cutQuotedSse2(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
                          std::size_t want, LineCuts& out, bool& irregular, std::size_t& lineEnds,
                          bool& stuck) {
    return cutQuotedBody<structuralMasksSse2, false>(base, begin, softEnd, end, want, out,
                                                     irregular, lineEnds, stuck);
}
__attribute__((target("popcnt"))) std::size_t cutQuotedPopcnt(const char* base, std::size_t begin,
                                                              std::size_t softEnd, std::size_t end,
                                                              std::size_t want, LineCuts& out,
                                                              bool& irregular,
                                                              std::size_t& lineEnds, bool& stuck) {
    return cutQuotedBody<structuralMasksSse2, true>(base, begin, softEnd, end, want, out, irregular,
                                                    lineEnds, stuck);
}

std::size_t findEitherSse2(const char* p, std::size_t n, char a, char b) {
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned hits =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb))));
        if (hits)
            return i + std::size_t(__builtin_ctz(hits));
    }
    while (i < n && p[i] != a && p[i] != b)
        ++i;
    return i;
}

qsizetype findAnySse2(const char* text, qsizetype n, const char* const* needles,
                      const qsizetype* sizes, int count, int* which) {
    // Candidates are where the first two bytes of one needle sit (its first byte alone when it
    // has one), sixteen starts at a time; the pairs are taken once each.
    __m128i firsts[kMaxNeedles];
    __m128i seconds[kMaxNeedles];
    bool single[kMaxNeedles];
    int pairs = 0;
    for (int k = 0; k < count && k < kMaxNeedles; ++k) {
        const bool one = sizes[k] == 1;
        const char a = needles[k][0];
        const char b = one ? 0 : needles[k][1];
        bool seen = false;
        for (int j = 0; j < k && !seen; ++j)
            seen = needles[j][0] == a && (sizes[j] == 1) == one && (one || needles[j][1] == b);
        if (seen)
            continue;
        firsts[pairs] = _mm_set1_epi8(a);
        seconds[pairs] = _mm_set1_epi8(b);
        single[pairs] = one;
        ++pairs;
    }
    qsizetype i = 0;
    for (; i + 1 + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 1));
        __m128i any = _mm_setzero_si128();
        for (int p = 0; p < pairs; ++p) {
            __m128i hit = _mm_cmpeq_epi8(a, firsts[p]);
            if (!single[p])
                hit = _mm_and_si128(hit, _mm_cmpeq_epi8(b, seconds[p]));
            any = _mm_or_si128(any, hit);
        }
        unsigned mask = unsigned(_mm_movemask_epi8(any));
        while (mask) {
            const qsizetype at = i + __builtin_ctz(mask);
            const int k = needleAt(text, n, at, needles, sizes, count);
            if (k >= 0) {
                *which = k;
                return at;
            }
            mask &= mask - 1;
        }
    }
    // The last few starts one by one.
    const qsizetype rest = findAnyPlain(text + i, n - i, needles, sizes, count, which);
    return rest < 0 ? -1 : i + rest;
}

constexpr Set kSse2{
    "sse2",        true,          countByteSse2,      cutLinesSse2,        findBytesSse2,
    findUnitSse2,  findUnitsSse2, commaPositionsSse2, structuralMasksSse2, findEitherSse2,
    cutQuotedSse2, findAnySse2};
constexpr Set kPopcnt{"sse2+popcnt",       true,           countBytePopcnt, cutLinesPopcnt,
                      findBytesSse2,       findUnitSse2,   findUnitsSse2,   commaPositionsSse2,
                      structuralMasksSse2, findEitherSse2, cutQuotedPopcnt, findAnySse2};

#endif // __SSE2__

#if defined(VORNEL_HAVE_AVX2_PATH) && defined(__SSE2__)

// ---- AVX2, sixteen code units at a time, on processors that have it ----

__attribute__((target("avx2"))) qsizetype findUnitAvx2Body(const char16_t* text, qsizetype n,
                                                           char16_t unit) {
    qsizetype i = 0;
    const __m256i v = _mm256_set1_epi16(short(unit));
    for (; i + 16 <= n; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        const unsigned mask = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi16(a, v)));
        if (mask != 0)
            return i + __builtin_ctz(mask) / 2;
    }
    for (; i < n; ++i) {
        if (text[i] == unit)
            return i;
    }
    return -1;
}

__attribute__((target("avx2"))) qsizetype findUnitsAvx2Body(const char16_t* text, qsizetype n,
                                                            const char16_t* needle, qsizetype m) {
    const qsizetype lastStart = n - m;
    const size_t middleBytes = size_t(m - 2) * sizeof(char16_t);
    const __m256i vf = _mm256_set1_epi16(short(needle[0]));
    const __m256i vl = _mm256_set1_epi16(short(needle[m - 1]));
    qsizetype i = 0;
    for (; i + 15 <= lastStart; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + m - 1));
        unsigned mask = unsigned(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi16(a, vf), _mm256_cmpeq_epi16(b, vl))));
        while (mask != 0) {
            const qsizetype pos = i + qsizetype(__builtin_ctz(mask) / 2);
            if (std::memcmp(text + pos + 1, needle + 1, middleBytes) == 0)
                return pos;
            mask &= mask - 1; // both bits of this unit
            mask &= mask - 1;
        }
    }
    for (; i <= lastStart; ++i) {
        if (text[i] == needle[0] && text[i + m - 1] == needle[m - 1] &&
            std::memcmp(text + i + 1, needle + 1, middleBytes) == 0)
            return i;
    }
    return -1;
}

// Short texts stay with SSE2.
qsizetype findUnitAvx2(const char16_t* text, qsizetype n, char16_t unit) {
    return n >= 32 ? findUnitAvx2Body(text, n, unit) : findUnitSse2(text, n, unit);
}

qsizetype findUnitsAvx2(const char16_t* text, qsizetype n, const char16_t* needle, qsizetype m) {
    if (m == 0)
        return 0;
    if (m > n)
        return -1;
    if (n < 32)
        return findUnitsSse2(text, n, needle, m);
    return m == 1 ? findUnitAvx2Body(text, n, needle[0]) : findUnitsAvx2Body(text, n, needle, m);
}

// Candidates are where both the first and the last byte of the needle sit, 64 starts at a time
// (a block without one costs two compares and a test); only those are compared in full. The
// last starts go to the SSE2 kernel.
__attribute__((target("avx2"))) qsizetype findBytesAvx2Body(const char* text, qsizetype n,
                                                            const char* needle, qsizetype m) {
    const __m256i first = _mm256_set1_epi8(needle[0]);
    const __m256i last = _mm256_set1_epi8(needle[m - 1]);
    const qsizetype lastStart = n - m;
    qsizetype i = 0;
    for (; i + 63 <= lastStart; i += 64) {
        const char* p = text + i;
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + m - 1));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + m - 1 + 32));
        const __m256i h0 =
            _mm256_and_si256(_mm256_cmpeq_epi8(a0, first), _mm256_cmpeq_epi8(b0, last));
        const __m256i h1 =
            _mm256_and_si256(_mm256_cmpeq_epi8(a1, first), _mm256_cmpeq_epi8(b1, last));
        const __m256i any = _mm256_or_si256(h0, h1);
        if (_mm256_testz_si256(any, any))
            continue;
        std::uint64_t mask = std::uint64_t(unsigned(_mm256_movemask_epi8(h0))) |
                             std::uint64_t(unsigned(_mm256_movemask_epi8(h1))) << 32;
        while (mask != 0) {
            const int bit = __builtin_ctzll(mask);
            if (sameBytes(p + bit + 1, needle + 1, m - 2))
                return i + bit;
            mask &= mask - 1;
        }
    }
    const qsizetype rest = findBytesSse2(text + i, n - i, needle, m);
    return rest < 0 ? -1 : i + rest;
}

// One byte is memchr's; short texts stay with SSE2.
qsizetype findBytesAvx2(const char* text, qsizetype n, const char* needle, qsizetype m) {
    if (m < 2 || n < m + 64)
        return findBytesSse2(text, n, needle, m);
    return findBytesAvx2Body(text, n, needle, m);
}

// Bit k set when byte k of lo:hi is c.
__attribute__((target("avx2"))) VORNEL_INLINE std::uint64_t bitsAvx2(__m256i lo, __m256i hi,
                                                                     char c) {
    const __m256i v = _mm256_set1_epi8(c);
    return std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, v)))) |
           std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, v)))) << 32;
}

// 64 bytes in two loads, and the prefix XOR as one carry-less multiply by all ones (the AVX2
// set is only chosen on processors that also have PCLMULQDQ).
__attribute__((target("avx2,pclmul"))) void structuralMasksAvx2(const char* p, std::size_t n,
                                                                StructuralMasks* out) {
    const __m128i ones = _mm_set1_epi8(-1);
    for (std::size_t at = 0; at < n; at += 64, ++out) {
        StructuralMasks m{};
        if (n - at >= 64) {
            const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at));
            const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at + 32));
            m.quotes = bitsAvx2(lo, hi, '"');
            m.commas = bitsAvx2(lo, hi, ',');
            m.lfs = bitsAvx2(lo, hi, '\n');
            m.crs = bitsAvx2(lo, hi, '\r');
        } else {
            structuralBitsSse2(p + at, n - at, m);
        }
        const __m128i product =
            _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(m.quotes)), ones, 0);
        m.oddQuotes = std::uint64_t(_mm_cvtsi128_si64(product));
        *out = m;
    }
}

__attribute__((target("avx2,pclmul,popcnt"))) std::size_t
cutQuotedAvx2(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
              std::size_t want, LineCuts& out, bool& irregular, std::size_t& lineEnds,
              bool& stuck) {
    return cutQuotedBody<structuralMasksAvx2, true>(base, begin, softEnd, end, want, out, irregular,
                                                    lineEnds, stuck);
}

constexpr Set kAvx2{
    "avx2",        true,          countBytePopcnt,    cutLinesPopcnt,      findBytesAvx2,
    findUnitAvx2,  findUnitsAvx2, commaPositionsSse2, structuralMasksAvx2, findEitherSse2,
    cutQuotedAvx2, findAnySse2};

#endif

#if !defined(__SSE2__)
// Without vector instructions only the decoders' word-at-a-time loops are wide.
constexpr Set kWord{
    "word",         true,           countBytePlain,      cutLinesPlain,        findBytesPlain,
    findUnitPlain,  findUnitsPlain, commaPositionsPlain, structuralMasksPlain, findEitherPlain,
    cutQuotedPlain, findAnyPlain};
#endif

const Set& choose() {
#if defined(VORNEL_PLAIN_KERNELS)
    return kPlain;
#else
    const char* forced = std::getenv("VORNEL_PLAIN_KERNELS");
    if (forced && *forced && std::strcmp(forced, "0") != 0)
        return kPlain;
    return *available().back();
#endif
}

} // namespace

const Set& plain() {
    return kPlain;
}

std::vector<const Set*> available() {
    std::vector<const Set*> sets{&kPlain};
#if defined(__SSE2__)
    sets.push_back(&kSse2);
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("popcnt"))
        sets.push_back(&kPopcnt);
#if defined(VORNEL_HAVE_AVX2_PATH)
    if (__builtin_cpu_supports("popcnt") && __builtin_cpu_supports("avx2") &&
        __builtin_cpu_supports("pclmul"))
        sets.push_back(&kAvx2);
#endif
#endif
#else
    sets.push_back(&kWord);
#endif
    return sets;
}

const Set& active() {
    static const Set& set = choose();
    return set;
}

} // namespace ByteKernels
