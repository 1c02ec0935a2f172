#include "pickup/PhraseMatcher.h"

#include "base/ByteKernels.h"
#include "pickup/TextFold.h"

#include <algorithm>

#include <cstring>

namespace {

bool isWildcard(char16_t c) {
    return c == u'*' || c == u'?' || c == u'#';
}

// Leftmost position of one code unit in text[0, n), or -1.
qsizetype findUnit(const char16_t* text, qsizetype n, char16_t unit) {
    return ByteKernels::active().findUnit(text, n, unit);
}

} // namespace

bool PhraseMatcher::isPattern(QStringView phrase) {
    for (const QChar c : phrase) {
        if (isWildcard(c.unicode()))
            return true;
    }
    return false;
}

std::optional<PhraseMatcher> PhraseMatcher::compile(QStringView phrase, Error* error) {
    return compile(phrase, MatchOptions{}, error);
}

namespace {

// The members of lo..hi, each folded on its own, as sorted ranges without overlap.
std::vector<std::pair<char16_t, char16_t>> foldedRange(char16_t lo, char16_t hi,
                                                       MatchOptions options) {
    std::vector<char16_t> units;
    units.reserve(size_t(hi - lo) + 1);
    for (char32_t c = lo; c <= hi; ++c)
        units.push_back(TextFold::foldUnit(char16_t(c), options));
    std::sort(units.begin(), units.end());
    std::vector<std::pair<char16_t, char16_t>> out;
    for (const char16_t u : units) {
        if (!out.empty() && char32_t(out.back().second) + 1 >= u)
            out.back().second = std::max(out.back().second, u);
        else
            out.emplace_back(u, u);
    }
    return out;
}

} // namespace

std::optional<PhraseMatcher> PhraseMatcher::compile(QStringView phrase, MatchOptions options,
                                                    Error* error) {
    if (error)
        *error = Error::None;
    PhraseMatcher m;
    const char16_t* p = phrase.utf16();
    const qsizetype n = phrase.size();
    const bool folding = options.any();
    if (!isPattern(phrase)) {
        if (folding) {
            const QString folded = TextFold::fold(phrase, options);
            m.m_needle.assign(reinterpret_cast<const char16_t*>(folded.utf16()),
                              size_t(folded.size()));
        } else {
            m.m_needle.assign(p, size_t(n));
        }
        return m;
    }

    m.m_isPattern = true;
    m.m_segments.emplace_back();
    auto fail = [error](Error e) {
        if (error)
            *error = e;
        return std::nullopt;
    };
    auto pushToken = [&m](const Token& t, bool literal) {
        m.m_tokens.push_back(t);
        Segment& s = m.m_segments.back();
        ++s.size;
        if (literal)
            s.units.push_back(t.lo);
        else
            s.literal = false;
    };
    // A run of literal units is folded as text, so that a half-width letter and its mark join.
    qsizetype literalStart = -1;
    auto flushLiterals = [&](qsizetype end) {
        if (literalStart < 0)
            return;
        const QStringView run(p + literalStart, end - literalStart);
        const QString folded = folding ? TextFold::fold(run, options) : run.toString();
        for (const QChar u : folded)
            pushToken(Token{u.unicode(), 0, -1}, true);
        literalStart = -1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c != u'*' && c != u'?' && c != u'#' && c != u'[') {
            if (literalStart < 0)
                literalStart = i;
            continue;
        }
        flushLiterals(i);
        if (c == u'*') {
            Segment next;
            next.first = std::uint32_t(m.m_tokens.size());
            m.m_segments.push_back(next);
            continue;
        }
        Token t{c, 0, -1};
        if (c == u'?') {
            t = {0, 0xFFFF, -1};
        } else if (c == u'#') {
            t = {u'0', 9, -1};
        } else {
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
                char16_t b = a;
                if (k + 2 < close && p[k + 1] == u'-') {
                    b = p[k + 2];
                    if (b < a)
                        return fail(Error::ReversedRange);
                    k += 3;
                } else {
                    ++k;
                }
                if (!folding) {
                    g.ranges.emplace_back(a, b);
                } else {
                    // Every member folded on its own: [ア-オ] then takes ｱ and あ as well.
                    for (const auto& r : foldedRange(a, b, options))
                        g.ranges.push_back(r);
                }
            }
            t.group = int(m.m_groups.size());
            m.m_groups.push_back(std::move(g));
            i = close;
        }
        pushToken(t, false);
    }
    flushLiterals(n);
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
    return ByteKernels::active().findUnits(text, n, needle, m);
}
