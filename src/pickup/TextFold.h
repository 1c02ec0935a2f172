#pragma once

// The folding behind matching that ignores width, kana and case: text is turned into one canonical
// form, and a phrase matches a subject when their folded forms match by the usual rules.

#include "pickup/MatchOptions.h"

#include <QString>
#include <QStringView>

#include <vector>

// The folds, each applied only when its switch is on, in this order:
//   width: U+FF01..U+FF5E (full-width ASCII) -> U+0021..U+007E, U+3000 -> U+0020, and
//          U+FF61..U+FF9F (half-width katakana and its punctuation) -> the full-width forms
//          (ｶ -> カ, ｰ -> ー, ｡ -> 。); a half-width letter followed by a half-width voiced or
//          semi-voiced mark becomes the one composed character where there is one (ｶﾞ -> ガ,
//          ﾊﾟ -> パ, ｳﾞ -> ヴ, ﾜﾞ -> ヷ), otherwise the mark stays on its own as ゛ or ゜;
//   kana:  hiragana -> katakana (U+3041..U+3096 -> U+30A1..U+30F6, ゝ ゞ -> ヽ ヾ), so every
//          hiragana of code page 932 folds to a katakana code page 932 also holds;
//   case:  A..Z -> a..z, Ａ..Ｚ -> ａ..ｚ (after the width fold, Ａ -> a).
// Nothing else changes; a character outside the Basic Multilingual Plane keeps its two units.
// Only the composition joins two units into one: every other unit folds to exactly one unit.
class TextFold {
public:
    // The folded text. When origin is given it receives, for each folded unit i, the index in
    // text of the first unit it came from, and one more entry, text.size(): ｶﾞ gives one unit
    // whose origin is the ｶ, and the next origin is two further on.
    static QString fold(QStringView text, MatchOptions options,
                        std::vector<qsizetype>* origin = nullptr);

    // Folds in[0, n) into out (room for n units); returns the units written. origin, when not
    // null, has room for n + 1 entries and is filled as fold() fills it.
    static qsizetype foldInto(const char16_t* in, qsizetype n, char16_t* out, MatchOptions options,
                              qsizetype* origin = nullptr);

    // One unit folded on its own, with no composition: a member of a pattern's bracket group.
    static char16_t foldUnit(char16_t c, MatchOptions options);

    // The folded unit of a half-width letter followed by a half-width mark (U+FF9E or U+FF9F)
    // when the width switch is on and a composed character exists; 0 otherwise.
    static char16_t compose(char16_t letter, char16_t mark, MatchOptions options);
};
