// Cutting a row at its commas: the plain loop, its SSE2 twin and the choice between them.
#include "base/FieldCut.h"

#include "base/ByteKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

qsizetype cutPlain(const char* p, qsizetype n, qsizetype from, qsizetype* ends, qsizetype have,
                   qsizetype want) {
    for (qsizetype i = from; i < n && have < want; ++i)
        if (p[i] == ',')
            ends[have++] = i;
    return have;
}

#if defined(__SSE2__)

// Sixteen bytes a step; the last few bytes of a row of sixteen or more are taken from its last
// sixteen (those already looked at shifted out), so nothing past the row is ever read.
qsizetype cutSse2(const char* p, qsizetype n, qsizetype from, qsizetype* ends, qsizetype have,
                  qsizetype want) {
    if (have >= want)
        return have;
    const __m128i comma = _mm_set1_epi8(',');
    const auto commasAt = [&](qsizetype at) {
        return unsigned(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)), comma)));
    };
    qsizetype i = from;
    for (; i + 16 <= n; i += 16) {
        for (unsigned hits = commasAt(i); hits; hits &= hits - 1) {
            ends[have++] = i + __builtin_ctz(hits);
            if (have == want)
                return have;
        }
    }
    if (i >= n)
        return have;
    if (n < 16)
        return cutPlain(p, n, i, ends, have, want);
    for (unsigned hits = commasAt(n - 16) >> (i - (n - 16)); hits; hits &= hits - 1) {
        ends[have++] = i + __builtin_ctz(hits);
        if (have == want)
            return have;
    }
    return have;
}

#endif

} // namespace

std::vector<FieldCut::Variant> FieldCut::available() {
    std::vector<Variant> variants{{"plain", cutPlain}};
#if defined(__SSE2__)
    variants.push_back({"sse2", cutSse2});
#endif
    return variants;
}

FieldCut::Kernel FieldCut::active() {
    static const Kernel kernel =
        &ByteKernels::active() == &ByteKernels::plain() ? cutPlain : available().back().cut;
    return kernel;
}

void FieldCut::cutTo(qsizetype want) {
    if (m_ends.size() < size_t(want))
        m_ends.resize(size_t(want));
    const qsizetype from = m_count == 0 ? 0 : m_ends[size_t(m_count) - 1] + 1;
    m_count = m_kernel(m_row.data(), m_row.size(), from, m_ends.data(), m_count, want);
    m_done = m_count < want;
}
