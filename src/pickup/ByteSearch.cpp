#include "pickup/ByteSearch.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ByteSearch {
namespace {

// More byte forms than this (twin codes multiply) and the phrase is matched on decoded text.
constexpr size_t kMaxForms = 16;

} // namespace

qsizetype find(const char* text, qsizetype n, const char* needle, qsizetype m) {
    if (m == 0)
        return 0;
    if (m > n)
        return -1;
    if (m == 1) {
        const void* hit = std::memchr(text, needle[0], size_t(n));
        return hit ? static_cast<const char*>(hit) - text : -1;
    }
    qsizetype i = 0;
#if defined(__SSE2__)
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
            if (std::memcmp(text + i + bit + 1, needle + 1, size_t(m - 2)) == 0)
                return i + bit;
            mask &= mask - 1;
        }
    }
#endif
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

std::optional<std::vector<QByteArray>> forms(TextEncoding encoding, QStringView phrase) {
    for (const QChar c : phrase)
        if (c.unicode() == 0xFFFD || c.unicode() == u'\n')
            return std::nullopt;
    if (encoding == TextEncoding::Utf8) {
        QByteArray bytes;
        if (TextCodec::encodeAppend(encoding, phrase, bytes) >= 0)
            return std::nullopt;
        return std::vector<QByteArray>{bytes};
    }
    std::vector<QByteArray> out{QByteArray()};
    for (const QChar c : phrase) {
        const std::vector<QByteArray> codes = Cp932::codesOf(c.unicode());
        if (codes.empty() || out.size() * codes.size() > kMaxForms)
            return std::nullopt;
        std::vector<QByteArray> next;
        next.reserve(out.size() * codes.size());
        for (const QByteArray& head : out)
            for (const QByteArray& code : codes)
                next.push_back(head + code);
        out = std::move(next);
    }
    return out;
}

} // namespace ByteSearch
