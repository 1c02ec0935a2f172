#pragma once

// The decoders' ASCII loops: each wide form (SSE2, or eight bytes in a machine word) beside its
// plain twin, chosen by the template argument. They run inside the decoders' per-character
// loops, so a decoder picks the form once per call from ByteKernels::active().wide (the one
// choice of the program's kernels), never per character.

#include <QtGlobal>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

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

// The same, and appends to marks the position in out of every "," and LF it widens. The wide form
// may write up to sixteen units past those it keeps: out must have room for n units, and o - out
// must not exceed i (never more code units than bytes).
template <bool kWide>
inline void widenMarking(const unsigned char* p, qsizetype n, qsizetype& i, char16_t* out,
                         char16_t*& o, std::vector<std::uint32_t>& marks) {
    if constexpr (!kWide) {
        while (i < n && p[i] < 0x80) {
            if (p[i] == ',' || p[i] == '\n')
                marks.push_back(std::uint32_t(o - out));
            *o++ = p[i++];
        }
    } else {
        while (i < n && p[i] < 0x80) {
#if defined(__SSE2__)
            if (i + 16 <= n) {
                // Sixteen bytes at a time.
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
                const unsigned high = unsigned(_mm_movemask_epi8(v));
                const int ascii = high ? std::countr_zero(high) : 16;
                unsigned hits = unsigned(
                    _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(',')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))));
                hits &= (1u << ascii) - 1;
                const std::uint32_t base = std::uint32_t(o - out);
                while (hits) {
                    marks.push_back(base + std::uint32_t(std::countr_zero(hits)));
                    hits &= hits - 1;
                }
                o += ascii;
                i += ascii;
                continue;
            }
#endif
            if (i + 8 > n) {
                if (p[i] == ',' || p[i] == '\n')
                    marks.push_back(std::uint32_t(o - out));
                *o++ = p[i++];
                continue;
            }
            // Eight bytes at a time: all eight are widened, but only the ASCII ones before the
            // first other byte count.
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            for (int k = 0; k < 8; ++k)
                o[k] = p[i + k];
            const std::uint64_t high = word & 0x8080808080808080ull;
            int ascii = 8;
            std::uint64_t hits = commaOrLineFeed(word);
            if (high) {
                if constexpr (std::endian::native == std::endian::little) {
                    ascii = std::countr_zero(high) / 8;
                    hits &= (std::uint64_t(1) << (8 * ascii)) - 1;
                } else {
                    ascii = std::countl_zero(high) / 8;
                    hits &= ~(~std::uint64_t(0) >> (8 * ascii));
                }
            }
            if (hits) {
                const std::uint32_t base = std::uint32_t(o - out);
                do {
                    if constexpr (std::endian::native == std::endian::little) {
                        marks.push_back(base + std::uint32_t(std::countr_zero(hits) / 8));
                        hits &= hits - 1;
                    } else {
                        const int bit = std::countl_zero(hits);
                        marks.push_back(base + std::uint32_t(bit / 8));
                        hits &= ~(std::uint64_t(1) << (63 - bit));
                    }
                } while (hits);
            }
            o += ascii;
            i += ascii;
        }
    }
}

} // namespace AsciiRun
