// The byte-scanning kernels' sets and the choice of the set the program runs, with the plain and
// SSE2 search and line kernels; the quoted-field kernels are in QuotedKernels.cpp, the AVX2 search
// kernels in ByteKernelsAvx2.cpp. Kernels that need more than the SSE2 baseline of x86-64 (POPCNT,
// AVX2) are built for those instructions with a target attribute and only ever called after the
// processor has said it has them.
#include "base/ByteKernels.h"
#include "base/ByteKernelsDetail.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ByteKernels {
namespace detail {
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

} // namespace

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

namespace {

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

} // namespace
} // namespace detail

namespace {

using namespace detail;

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