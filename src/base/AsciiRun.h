#pragma once

// The decoders' and the encoding scan's ASCII loops: each wide form (SSE2, or eight bytes in a
// machine word) beside its plain twin, chosen by the template argument. They run inside the
// decoders' per-character loops, so a decoder picks the form once per call from
// ByteKernels::active().wide (the one choice of the program's kernels), never per character.

#include <QtGlobal>

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace AsciiRun {

// Bytes of v (all below 0x80) equal to ',' or LF: 0x80 set in each such byte, nothing else.
inline std::uint64_t commaOrLineFeed(std::uint64_t v) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t c = v ^ 0x2C2C2C2C2C2C2C2Cull;
    const std::uint64_t l = v ^ 0x0A0A0A0A0A0A0A0Aull;
    // Exact zero-byte tests (no carry between bytes, as every byte is below 0x80).
    const std::uint64_t zc = ~(((c & kLow7) + kLow7) | c);
    const std::uint64_t zl = ~(((l & kLow7) + kLow7) | l);
    return (zc | zl) & ~kLow7;
}

// Widens the ASCII bytes from p[i] on into o, up to the first byte of 0x80 or above (or n), and
// moves i and o on past them.
template <bool kWide>
inline void widen(const unsigned char* p, qsizetype n, qsizetype& i, char16_t*& o) {
    if constexpr (kWide) {
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            for (int k = 0; k < 8; ++k)
                o[k] = p[i + k];
            o += 8;
            i += 8;
        }
    }
    while (i < n && p[i] < 0x80)
        *o++ = p[i++];
}

// The position of the first byte of 0x80 or above in p[i, n), or n.
template <bool kWide> inline qsizetype skip(const unsigned char* p, qsizetype n, qsizetype i) {
    if constexpr (kWide) {
#if defined(__SSE2__)
        // 32 bytes a round: the sign bits of two vectors together.
        while (i + 32 <= n) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
            if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0)
                break;
            i += 32;
        }
#endif
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

} // namespace AsciiRun
