#include "pickup/PhraseMatcher.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VORNEL_HAVE_AVX2_PATH 1
#endif

namespace {

bool isWildcard(char16_t c) {
    return c == u'*' || c == u'?' || c == u'#';
}

// Leftmost position of one code unit in text[0, n), or -1.
qsizetype findUnit(const char16_t* text, qsizetype n, char16_t unit) {
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i v = _mm_set1_epi16(short(unit));
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
        const __m128i packed = _mm_packs_epi16(_mm_cmpeq_epi16(a, v), _mm_cmpeq_epi16(b, v));
        const unsigned mask = unsigned(_mm_movemask_epi8(packed));
        if (mask != 0)
            return i + __builtin_ctz(mask);
    }
#endif
    for (; i < n; ++i) {
        if (text[i] == unit)
            return i;
    }
    return -1;
}

#if defined(VORNEL_HAVE_AVX2_PATH)
// The same searches sixteen code units at a time, for processors that have AVX2 (chosen at run
// time, so the program still runs on those that do not).
__attribute__((target("avx2"))) qsizetype findUnitAvx2(const char16_t* text, qsizetype n,
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

__attribute__((target("avx2"))) qsizetype findAvx2(const char16_t* text, qsizetype n,
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

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

} // namespace

bool PhraseMatcher::isPattern(QStringView phrase) {
    for (const QChar c : phrase) {
        if (isWildcard(c.unicode()))
            return true;
    }
    return false;
}

std::optional<PhraseMatcher> PhraseMatcher::compile(QStringView phrase, Error* error) {
    if (error)
        *error = Error::None;
    PhraseMatcher m;
    const char16_t* p = phrase.utf16();
    const qsizetype n = phrase.size();
    if (!isPattern(phrase)) {
        m.m_needle.assign(p, size_t(n));
        return m;
    }

    m.m_isPattern = true;
    m.m_segments.emplace_back();
    auto fail = [error](Error e) {
        if (error)
            *error = e;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c == u'*') {
            Segment next;
            next.first = std::uint32_t(m.m_tokens.size());
            m.m_segments.push_back(next);
            continue;
        }
        Token t{c, 0, -1};
        bool literal = false;
        if (c == u'?') {
            t = {0, 0xFFFF, -1};
        } else if (c == u'#') {
            t = {u'0', 9, -1};
        } else if (c == u'[') {
            Group g;
            qsizetype k = i + 1;
            if (k < n && p[k] == u'!') {
                g.negated = true;
                ++k;
            }
            qsizetype close = k;
            while (close < n && p[close] != u']')
                ++close;
            if (close == n)
                return fail(Error::UnclosedGroup);
            while (k < close) {
                const char16_t a = p[k];
                if (k + 2 < close && p[k + 1] == u'-') {
                    const char16_t b = p[k + 2];
                    if (b < a)
                        return fail(Error::ReversedRange);
                    g.ranges.emplace_back(a, b);
                    k += 3;
                } else {
                    g.ranges.emplace_back(a, a);
                    ++k;
                }
            }
            t.group = int(m.m_groups.size());
            m.m_groups.push_back(std::move(g));
            i = close;
        } else {
            literal = true;
        }
        m.m_tokens.push_back(t);
        Segment& s = m.m_segments.back();
        ++s.size;
        if (literal)
            s.units.push_back(c);
        else
            s.literal = false;
    }
    for (Segment& s : m.m_segments) {
        if (!s.literal)
            s.units.clear();
    }
    return m;
}

bool PhraseMatcher::Group::contains(char16_t c) const {
    bool in = false;
    for (const auto& [lo, hi] : ranges) {
        if (c >= lo && c <= hi) {
            in = true;
            break;
        }
    }
    return in != negated;
}

inline bool PhraseMatcher::tokenMatches(const Token& t, char16_t c) const {
    if (t.group >= 0) [[unlikely]]
        return m_groups[size_t(t.group)].contains(c);
    return char16_t(c - t.lo) <= t.span;
}

inline bool PhraseMatcher::segmentAt(const Segment& s, const char16_t* at) const {
    if (s.size == 0)
        return true;
    if (s.literal)
        return std::memcmp(at, s.units.data(), s.size * sizeof(char16_t)) == 0;
    const Token* t = m_tokens.data() + s.first;
    for (std::uint32_t j = 0; j < s.size; ++j) {
        if (!tokenMatches(t[j], at[j]))
            return false;
    }
    return true;
}

qsizetype PhraseMatcher::findSegment(const Segment& s, const char16_t* text, qsizetype from,
                                     qsizetype to) const {
    const qsizetype size = qsizetype(s.size);
    if (to - from < size)
        return -1;
    if (s.literal) {
        const qsizetype at = find(text + from, to - from, s.units.data(), size);
        return at < 0 ? -1 : from + at;
    }
    // Anchor the search on the first literal unit of the segment when it has one.
    const Token* t = m_tokens.data() + s.first;
    qsizetype anchor = -1;
    for (qsizetype j = 0; j < size; ++j) {
        if (t[j].group < 0 && t[j].span == 0) {
            anchor = j;
            break;
        }
    }
    const qsizetype lastStart = to - size;
    for (qsizetype start = from; start <= lastStart; ++start) {
        if (anchor >= 0) {
            const qsizetype hit =
                findUnit(text + start + anchor, lastStart - start + 1, t[anchor].lo);
            if (hit < 0)
                return -1;
            start += hit;
        }
        if (segmentAt(s, text + start))
            return start;
    }
    return -1;
}

bool PhraseMatcher::matchesPattern(QStringView subject) const {
    const char16_t* text = subject.utf16();
    const qsizetype n = subject.size();
    const Segment& head = m_segments.front();
    if (m_segments.size() == 1)
        return n == qsizetype(head.size) && segmentAt(head, text);

    const Segment& tail = m_segments.back();
    qsizetype lo = head.size;
    const qsizetype hi = n - qsizetype(tail.size);
    if (hi < lo || !segmentAt(head, text) || !segmentAt(tail, text + hi))
        return false;
    // Each middle segment has a fixed length, so its leftmost place is always the best one.
    for (size_t k = 1; k + 1 < m_segments.size(); ++k) {
        const Segment& s = m_segments[k];
        if (s.size == 0)
            continue;
        const qsizetype at = findSegment(s, text, lo, hi);
        if (at < 0)
            return false;
        lo = at + qsizetype(s.size);
    }
    return true;
}

bool PhraseMatcher::matches(QStringView subject) const {
    if (m_isPattern)
        return matchesPattern(subject);
    if (m_needle.empty())
        return !subject.isEmpty();
    return find(subject.utf16(), subject.size(), m_needle.data(), qsizetype(m_needle.size())) >= 0;
}

qsizetype PhraseMatcher::find(const char16_t* text, qsizetype n, const char16_t* needle,
                              qsizetype m) {
    if (m == 0)
        return 0;
    if (m > n)
        return -1;
#if defined(VORNEL_HAVE_AVX2_PATH)
    if (kHasAvx2 && n >= 32)
        return m == 1 ? findUnitAvx2(text, n, needle[0]) : findAvx2(text, n, needle, m);
#endif
    if (m == 1)
        return findUnit(text, n, needle[0]);
    const qsizetype lastStart = n - m;
    const char16_t first = needle[0];
    const char16_t last = needle[m - 1];
    const size_t middleBytes = size_t(m - 2) * sizeof(char16_t);
    qsizetype i = 0;
#if defined(__SSE2__)
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
#endif
    for (; i <= lastStart; ++i) {
        if (text[i] == first && text[i + m - 1] == last &&
            std::memcmp(text + i + 1, needle + 1, middleBytes) == 0)
            return i;
    }
    return -1;
}
