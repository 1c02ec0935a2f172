// The quoted-field kernels of every set, each vector kernel beside its plain twin: the structural
// masks of a stretch of bytes, the search for either of two bytes, and the quoted cut, 64 bytes
// at a time, that QuotedFields::cutRecords runs on its regular stretches.
#include "base/ByteKernelsDetail.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(VORNEL_HAVE_AVX2_PATH)
#include <immintrin.h>
#endif

namespace ByteKernels::detail {

// ---- the plain twins ----

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

namespace {

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

} // namespace

std::size_t cutQuotedPlain(const char* base, std::size_t begin, std::size_t softEnd,
                           std::size_t end, std::size_t want, LineCuts& out, bool& irregular,
                           std::size_t& lineEnds, bool& stuck) {
    return cutQuotedBody<structuralMasksPlain, false>(base, begin, softEnd, end, want, out,
                                                      irregular, lineEnds, stuck);
}

#if defined(__SSE2__)

// ---- SSE2, the baseline of x86-64 ----

namespace {

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

} // namespace

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

#endif // __SSE2__

#if defined(VORNEL_HAVE_AVX2_PATH) && defined(__SSE2__)

// ---- AVX2, on processors that have it ----

namespace {

// Bit k set when byte k of lo:hi is c.
__attribute__((target("avx2"))) VORNEL_INLINE std::uint64_t bitsAvx2(__m256i lo, __m256i hi,
                                                                     char c) {
    const __m256i v = _mm256_set1_epi8(c);
    return std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, v)))) |
           std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, v)))) << 32;
}

} // namespace

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

#endif

} // namespace ByteKernels::detail
