#pragma once

// What the files of the byte-scanning kernels share: the kernels one file builds and another file's
// set or kernel uses. ByteKernels.cpp holds the plain and SSE2 search kernels and the sets,
// QuotedKernels.cpp the quoted-field kernels of every set, ByteKernelsAvx2.cpp the AVX2 search
// kernels. A declaration carries its definition's target attribute: without it, the compiler
// would take the two for separate versions of the function.

#include "base/ByteKernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VORNEL_HAVE_AVX2_PATH 1
#endif

#define VORNEL_INLINE inline __attribute__((always_inline))

namespace ByteKernels::detail {

// ---- the quoted-field kernels (QuotedKernels.cpp) ----

void structuralMasksPlain(const char* p, std::size_t n, StructuralMasks* out);
std::size_t findEitherPlain(const char* p, std::size_t n, char a, char b);
std::size_t cutQuotedPlain(const char* base, std::size_t begin, std::size_t softEnd,
                           std::size_t end, std::size_t want, LineCuts& out, bool& irregular,
                           std::size_t& lineEnds, bool& stuck);

#if defined(__SSE2__)
void structuralMasksSse2(const char* p, std::size_t n, StructuralMasks* out);
std::size_t findEitherSse2(const char* p, std::size_t n, char a, char b);
std::size_t cutQuotedSse2(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
                          std::size_t want, LineCuts& out, bool& irregular, std::size_t& lineEnds,
                          bool& stuck);
__attribute__((target("popcnt"))) std::size_t cutQuotedPopcnt(const char* base, std::size_t begin,
                                                              std::size_t softEnd, std::size_t end,
                                                              std::size_t want, LineCuts& out,
                                                              bool& irregular,
                                                              std::size_t& lineEnds, bool& stuck);
#endif

#if defined(VORNEL_HAVE_AVX2_PATH) && defined(__SSE2__)
__attribute__((target("avx2,pclmul"))) void structuralMasksAvx2(const char* p, std::size_t n,
                                                                StructuralMasks* out);
__attribute__((target("avx2,pclmul,popcnt"))) std::size_t
cutQuotedAvx2(const char* base, std::size_t begin, std::size_t softEnd, std::size_t end,
              std::size_t want, LineCuts& out, bool& irregular, std::size_t& lineEnds, bool& stuck);
#endif

#if defined(__SSE2__)
// ---- the SSE2 search kernels (ByteKernels.cpp), which the AVX2 ones hand short texts to ----

qsizetype findBytesSse2(const char* text, qsizetype n, const char* needle, qsizetype m);
qsizetype findUnitSse2(const char16_t* text, qsizetype n, char16_t unit);
qsizetype findUnitsSse2(const char16_t* text, qsizetype n, const char16_t* needle, qsizetype m);

// The needle's inner bytes at a candidate, compared in place: a call in the scan loop would make
// the compiler keep the loop's vectors in memory.
VORNEL_INLINE bool sameBytes(const char* a, const char* b, qsizetype n) {
    for (qsizetype k = 0; k < n; ++k)
        if (a[k] != b[k])
            return false;
    return true;
}
#endif

#if defined(VORNEL_HAVE_AVX2_PATH) && defined(__SSE2__)
// ---- the AVX2 search kernels (ByteKernelsAvx2.cpp) ----

qsizetype findBytesAvx2(const char* text, qsizetype n, const char* needle, qsizetype m);
qsizetype findUnitAvx2(const char16_t* text, qsizetype n, char16_t unit);
qsizetype findUnitsAvx2(const char16_t* text, qsizetype n, const char16_t* needle, qsizetype m);
#endif

} // namespace ByteKernels::detail
