#pragma once

#include <QByteArray>
#include <QStringView>

#include "base/TextCodec.h"
#include "pickup/MatchOptions.h"

#include <cstddef>
#include <optional>
#include <vector>

// Searching a phrase in a row's bytes instead of its decoded text, where that gives the same
// answer.
namespace ByteSearch {

// Leftmost position of needle in text, or -1. The empty needle is found at 0.
qsizetype find(const char* text, qsizetype n, const char* needle, qsizetype m);

// The byte forms of a substring phrase in a file of this encoding: the decoded text of a row holds
// the phrase exactly when the row's bytes hold one of the forms starting on a character (for code
// page 932, a character with two or three codes gives a form for each). Nothing when the phrase
// must be matched on the decoded text (it holds U+FFFD or LF, a character the encoding cannot hold,
// or too many twin codes).
std::optional<std::vector<QByteArray>> forms(TextEncoding encoding, QStringView phrase);

// For matching that ignores width, kana or case: byte forms that every row whose folded text holds
// the folded phrase also holds, starting on a character (a prefilter, not a test: a row holding
// one still has its folded text tested). They are the forms of two neighbouring characters of the
// phrase (or of its one character) in every spelling that folds to them, a half-width letter and
// its mark as one spelling; the pair with the fewest forms is taken. Nothing when there would be
// more than a few forms, or the phrase holds U+FFFD.
std::optional<std::vector<QByteArray>> foldedForms(TextEncoding encoding, MatchOptions options,
                                                   QStringView foldedPhrase);

// For matching that ignores width, kana or case, where the bytes alone decide: every spelling of
// the whole folded phrase, so that a row's folded text holds the phrase exactly when its bytes
// hold one of them starting on a character. Only for phrases none of whose spellings holds a
// half-width katakana unit (the one unit whose folding depends on its neighbour: ｶﾞ is ガ, not
// カ and a mark), so that what stands around a spelling never changes its folding. Nothing
// otherwise, or when there would be more than a few spellings.
std::optional<std::vector<QByteArray>> exactFoldedForms(TextEncoding encoding, MatchOptions options,
                                                        QStringView foldedPhrase);

// True when a match at byte `at` of text starts a character (always so in UTF-8, whose characters
// never begin with a byte that can continue one).
inline bool startsCharacter(TextEncoding encoding, QByteArrayView text, qsizetype at);

} // namespace ByteSearch

#include "base/Cp932.h"

inline bool ByteSearch::startsCharacter(TextEncoding encoding, QByteArrayView text, qsizetype at) {
    // After a byte that is no lead byte a character always begins (Cp932::startsCharacter walks
    // from there); only after a lead byte is there anything to work out.
    return encoding == TextEncoding::Utf8 || at == 0 ||
           !Cp932::isLeadByte(static_cast<unsigned char>(text[at - 1])) ||
           Cp932::startsCharacter(text, at);
}
