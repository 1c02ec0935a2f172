#pragma once

#include "base/TextCodec.h"

#include <QByteArrayView>
#include <QStringView>

// How wide a text is on screen, in columns of a half-width character: a full-width character
// (kanji, kana, full-width letters, hangul, ...) takes two, any other one. Cheap enough to run over
// millions of rows to find the widest ones, which are then measured with the real font.
namespace DisplayWidth {

// True for a character shown full width (East Asian wide and full-width characters).
bool isWide(char32_t ucs4);

// The columns of text; a surrogate pair is one character.
qsizetype columns(QStringView text);

// About the columns of a row's bytes, without decoding them, for picking the widest of millions of
// rows: in code page 932 every two-byte character is full width and every one-byte character half
// width, so the bytes count the columns; in UTF-8 a character of three or four bytes counts two.
qsizetype columns(TextEncoding encoding, QByteArrayView bytes);

} // namespace DisplayWidth
