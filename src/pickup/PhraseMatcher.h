#pragma once

#include "pickup/MatchOptions.h"

#include <QStringView>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The phrase test of one condition entry: does a phrase match a subject (a row text or one
// column text)?
//
// A phrase holding none of "*", "?", "#" is a plain substring test: it matches when it occurs
// anywhere in the subject. Square brackets alone do not make a pattern: "[1]" is searched for as
// the three characters "[", "1", "]".
//
// A phrase holding at least one of "*", "?", "#" is a pattern that must match the whole subject:
//   *        any run of code units, also none
//   ?        exactly one code unit
//   #        exactly one ASCII digit "0".."9" (full-width digits are not digits here)
//   [abc]    one code unit from the group; [!abc] one code unit not in the group
//   a-z      inside a group: a range of code units, both ends included
//   -        inside a group, first (also right after "!") or last: itself
//   * ? # [  inside a group: themselves ("[*]" matches an asterisk)
//   ]        outside a group: itself
//   anything else: itself
// Everything compares code unit by code unit: case, width and kana forms all count, and a
// character outside the Basic Multilingual Plane is two code units (code page 932 has none).
//
// Corner cases, decided here:
//   - A group ends at the first "]" after its "[" (and its "!"), so a group cannot hold "]".
//   - "[]" is an empty group: no code unit is in it, so a pattern holding "[]" matches nothing.
//     "[!]" is the negated empty group: it matches any one code unit, like "?".
//   - "!" anywhere but right after "[" is itself: "[a!]" matches "a" or "!".
//   - A "-" that does not sit between two members is itself: "[a-]", "[-a]", "[!-a]" and the
//     middle "-" of "[a-c-e]" (a..c, "-", "e").
//   - A "[" without a closing "]" is an error (UnclosedGroup), and so is a range whose end comes
//     before its start, such as "[z-a]" (ReversedRange): both are reported, never taken as
//     "no match".
//   - The empty phrase is a substring test that matches every non-empty subject and no empty one.
//   - "*" alone matches every subject, the empty one too.
//
// Compiled with MatchOptions, the matcher expects subjects folded by TextFold with the same
// options: a plain phrase is folded as text; in a pattern each run of literal characters is folded
// as text, and every member of a bracket group is folded on its own (a range member by member, so
// [ア-オ] with the width and kana switches also holds ｱ and あ). Wildcards are taken from the
// phrase as typed: a full-width ＊ is a literal asterisk, also where the width switch folds it to
// "*". "#" takes the folded subject's digits, so with the width switch ０..９ as well. A voiced
// mark belongs to its letter: with the width switch "ｶ?" does not match ｶﾞ (one character, ガ).
class PhraseMatcher {
public:
    enum class Error { None, UnclosedGroup, ReversedRange };

    // Compiles a phrase once, for testing against many subjects. On a malformed pattern returns
    // nothing and, when error is given, sets it.
    static std::optional<PhraseMatcher> compile(QStringView phrase, Error* error = nullptr);
    // The same for subjects folded with options (all off: the same as above).
    static std::optional<PhraseMatcher> compile(QStringView phrase, MatchOptions options,
                                                Error* error = nullptr);

    // True when the phrase holds one of "*", "?", "#" (and is therefore a whole-subject pattern).
    static bool isPattern(QStringView phrase);

    bool isPattern() const { return m_isPattern; }
    // The phrase of a substring test (empty for a pattern).
    const std::u16string& needle() const { return m_needle; }
    bool matches(QStringView subject) const;

    // Leftmost position of needle in text, or -1; text and needle are raw code units. The empty
    // needle is found at 0.
    static qsizetype find(const char16_t* text, qsizetype textSize, const char16_t* needle,
                          qsizetype needleSize);

private:
    // One code unit's test: a unit c passes when c - lo <= span (as unsigned 16-bit numbers), or,
    // for a bracket group, when the group says so.
    struct Token {
        char16_t lo = 0;
        char16_t span = 0;
        int group = -1; // index into m_groups, or -1
    };
    struct Group {
        bool negated = false;
        std::vector<std::pair<char16_t, char16_t>> ranges; // inclusive
        bool contains(char16_t c) const;
    };
    // A run of tokens between stars; every token matches exactly one code unit.
    struct Segment {
        std::uint32_t first = 0;
        std::uint32_t size = 0;
        bool literal = true;  // only literal units: compared and searched as text
        std::u16string units; // the literal units when literal
    };

    bool tokenMatches(const Token& t, char16_t c) const;
    bool segmentAt(const Segment& s, const char16_t* at) const;
    qsizetype findSegment(const Segment& s, const char16_t* text, qsizetype from,
                          qsizetype to) const;
    bool matchesPattern(QStringView subject) const;

    bool m_isPattern = false;
    std::u16string m_needle; // substring test

    // Pattern: head, then for each "*" a segment; the last segment is the tail.
    std::vector<Token> m_tokens;
    std::vector<Group> m_groups;
    std::vector<Segment> m_segments; // segments[0] = head; more than one when a "*" occurs
};
