// The AVX2 search kernels, on processors that have it: sixteen code units or 64 byte starts at a
// time, short texts handed to the SSE2 kernels.
#include "base/ByteKernelsDetail.h"

#if defined(VORNEL_HAVE_AVX2_PATH) && defined(__SSE2__)

#include <immintrin.h>

#include <cstring>

namespace ByteKernels::detail {

namespace {

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
    // The last few starts: SSE2's kernel, eight at a time, then one by one.
    const qsizetype rest = findUnitsSse2(text + i, n - i, needle, m);
    return rest < 0 ? -1 : i + rest;
}

} // namespace

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

namespace {

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

} // namespace

// One byte is memchr's; short texts stay with SSE2.
qsizetype findBytesAvx2(const char* text, qsizetype n, const char* needle, qsizetype m) {
    if (m < 2 || n < m + 64)
        return findBytesSse2(text, n, needle, m);
    return findBytesAvx2Body(text, n, needle, m);
}

} // namespace ByteKernels::detail

#endif
