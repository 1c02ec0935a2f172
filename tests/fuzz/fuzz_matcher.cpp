// Fuzz target: the phrase matcher (phrase x subject).
//
// Input: 4 header bytes, then the phrase and one or more subjects separated by 0xFF (or U+FFFF in
// UTF-16 mode).
//   byte 0  bits 0-1: how bytes become text (0, 3: code page 932; 1: UTF-16LE; 2: Latin-1)
//           bit 2: take the phrase from the first subject instead (from byte 1, byte 2 % 64 units)
//           bit 3: with bit 2, surround that phrase with "*" so it is a pattern
//   bytes 1-3: used by bits 2 and 3
//
// Properties: the compiled matcher gives the same answer as the plain recursive matcher below for
// every subject, reports the same malformed patterns, and PhraseMatcher::find agrees with a naive
// search.

#include "FuzzSupport.h"

#include "pickup/PhraseMatcher.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using FuzzSupport::units;

namespace {

// The reference: the same pattern language, written as plainly as possible.
struct RefToken {
    enum Kind { Literal, AnyUnit, Digit, Star, Group } kind = Literal;
    char16_t unit = 0;
    bool negated = false;
    std::vector<std::pair<char16_t, char16_t>> ranges;
};

bool refIsPattern(QStringView phrase) {
    return phrase.contains(u'*') || phrase.contains(u'?') || phrase.contains(u'#');
}

// A group is "[", an optional "!", then members up to the first "]". A member is "a-b" (a range;
// b before a is an error) when a "-" sits between two units, else one unit.
PhraseMatcher::Error refCompile(QStringView p, std::vector<RefToken>& tokens) {
    for (qsizetype i = 0; i < p.size(); ++i) {
        RefToken t;
        const char16_t c = p[i].unicode();
        if (c == u'*') {
            t.kind = RefToken::Star;
        } else if (c == u'?') {
            t.kind = RefToken::AnyUnit;
        } else if (c == u'#') {
            t.kind = RefToken::Digit;
        } else if (c == u'[') {
            t.kind = RefToken::Group;
            qsizetype from = i + 1;
            if (from < p.size() && p[from] == u'!') {
                t.negated = true;
                ++from;
            }
            const qsizetype close = p.indexOf(u']', from);
            if (close < 0)
                return PhraseMatcher::Error::UnclosedGroup;
            const QStringView body = p.sliced(from, close - from);
            for (qsizetype j = 0; j < body.size();) {
                if (j + 2 < body.size() && body[j + 1] == u'-') {
                    if (body[j + 2] < body[j])
                        return PhraseMatcher::Error::ReversedRange;
                    t.ranges.emplace_back(body[j].unicode(), body[j + 2].unicode());
                    j += 3;
                } else {
                    t.ranges.emplace_back(body[j].unicode(), body[j].unicode());
                    ++j;
                }
            }
            i = close;
        } else {
            t.unit = c;
        }
        tokens.push_back(std::move(t));
    }
    return PhraseMatcher::Error::None;
}

bool refUnitMatches(const RefToken& t, char16_t c) {
    switch (t.kind) {
    case RefToken::Literal:
        return c == t.unit;
    case RefToken::AnyUnit:
        return true;
    case RefToken::Digit:
        return c >= u'0' && c <= u'9';
    case RefToken::Group: {
        bool in = false;
        for (const auto& [lo, hi] : t.ranges)
            in = in || (c >= lo && c <= hi);
        return in != t.negated;
    }
    case RefToken::Star:
        break;
    }
    return false;
}

// Does tokens[ti..] match subject[si..]? Plain recursion, with a memo so that many stars do not
// take exponential time.
struct RefMatcher {
    const std::vector<RefToken>& tokens;
    QStringView subject;
    std::vector<signed char> memo;

    bool match(size_t ti, qsizetype si) {
        if (ti == tokens.size())
            return si == subject.size();
        signed char& m = memo[ti * size_t(subject.size() + 1) + size_t(si)];
        if (m >= 0)
            return m != 0;
        bool result;
        if (tokens[ti].kind == RefToken::Star)
            result = match(ti + 1, si) || (si < subject.size() && match(ti, si + 1));
        else
            result = si < subject.size() && refUnitMatches(tokens[ti], subject[si].unicode()) &&
                     match(ti + 1, si + 1);
        m = result ? 1 : 0;
        return result;
    }
};

qsizetype naiveFind(QStringView text, QStringView needle) {
    for (qsizetype i = 0; i + needle.size() <= text.size(); ++i) {
        if (text.sliced(i, needle.size()) == needle)
            return i;
    }
    return -1;
}

std::optional<bool> refMatches(QStringView phrase, const std::vector<RefToken>& tokens,
                               QStringView subject) {
    if (!refIsPattern(phrase)) {
        if (phrase.isEmpty())
            return !subject.isEmpty();
        return naiveFind(subject, phrase) >= 0;
    }
    // Keep the memo small; such inputs are still run through the real matcher.
    if (double(tokens.size() + 1) * double(subject.size() + 1) > double(1 << 22))
        return std::nullopt;
    RefMatcher m{tokens, subject,
                 std::vector<signed char>((tokens.size() + 1) * size_t(subject.size() + 1), -1)};
    return m.match(0, 0);
}

const char* errorName(PhraseMatcher::Error e) {
    switch (e) {
    case PhraseMatcher::Error::None:
        return "None";
    case PhraseMatcher::Error::UnclosedGroup:
        return "UnclosedGroup";
    case PhraseMatcher::Error::ReversedRange:
        return "ReversedRange";
    }
    return "?";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const unsigned char flags = data[0];
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 4, qsizetype(size - 4));
    std::vector<QString> parts =
        FuzzSupport::textParts(rest, FuzzSupport::encodingFromFlags(flags));
    QString phrase = parts.front();
    std::vector<QString> subjects(parts.begin() + 1, parts.end());
    if (subjects.empty())
        subjects.emplace_back();
    if (flags & 4) {
        const QString& s = subjects.front();
        const qsizetype start = qsizetype(data[1]) % (s.size() + 1);
        phrase = s.mid(start, data[2] % 64);
        if (flags & 8)
            phrase = u'*' + phrase + u'*';
    }

    // find() against a naive search, with the phrase as the needle.
    for (const QString& s : subjects) {
        const qsizetype got = PhraseMatcher::find(
            reinterpret_cast<const char16_t*>(s.constData()), s.size(),
            reinterpret_cast<const char16_t*>(phrase.constData()), phrase.size());
        const qsizetype want = phrase.isEmpty() ? 0 : naiveFind(s, phrase);
        FUZZ_CHECK(got == want, "find: needle " + units(phrase) + "\nsubject " + units(s) +
                                    "\ngot " + QByteArray::number(got) + ", want " +
                                    QByteArray::number(want));
    }

    std::vector<RefToken> tokens;
    const PhraseMatcher::Error refError = refCompile(phrase, tokens);
    const PhraseMatcher::Error wantError =
        refIsPattern(phrase) ? refError : PhraseMatcher::Error::None;

    PhraseMatcher::Error error = PhraseMatcher::Error::None;
    const std::optional<PhraseMatcher> matcher = PhraseMatcher::compile(phrase, &error);
    FUZZ_CHECK(PhraseMatcher::isPattern(phrase) == refIsPattern(phrase), units(phrase));
    FUZZ_CHECK(error == wantError, "compile error for " + units(phrase) + ": got " +
                                       errorName(error) + ", want " + errorName(wantError));
    FUZZ_CHECK(matcher.has_value() == (wantError == PhraseMatcher::Error::None), units(phrase));
    if (!matcher)
        return 0;
    FUZZ_CHECK(matcher->isPattern() == refIsPattern(phrase), units(phrase));

    for (const QString& s : subjects) {
        const bool got = matcher->matches(s);
        const std::optional<bool> want = refMatches(phrase, tokens, s);
        if (want)
            FUZZ_CHECK(got == *want, "phrase " + units(phrase) + "\nsubject " + units(s) +
                                         "\ngot " + (got ? "match" : "no match"));
    }
    return 0;
}
