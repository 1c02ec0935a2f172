#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

// Code page 932 (Shift_JIS as Windows writes it): one of the two encodings a data file may have
// (the other is UTF-8, see TextCodec.h), and the encoding of the settings file and of the list
// files Vornel writes.
//
// The conversion itself goes through Qt's ICU-backed "windows-31j" codec, with two corrections:
// - ICU's table swaps three ASCII control codes (0x1A, 0x1C, 0x7F); ASCII is always taken as
//   itself here, in both directions.
// - A byte that cannot start a character, or a lead byte without a valid trail byte, becomes
//   U+FFFD on its own, so the characters around it keep their places.
namespace Cp932 {

// Decodes complete text. A lead byte at the very end (a character cut off) becomes U+FFFD.
QString decode(QByteArrayView bytes);

// Decodes into out, which must have room for bytes.size() code units (never more are written).
// Returns the number of code units written.
qsizetype decodeInto(QByteArrayView bytes, char16_t* out);

// Decodes until maxUnits code units are written or the bytes end; returns the code units
// written. (The same result as the first maxUnits units of decodeInto.)
qsizetype decodePrefix(QByteArrayView bytes, char16_t* out, qsizetype maxUnits);

// True when a character starts at byte index `at` of bytes, decoding from bytes' start as
// decodeInto does (at == bytes.size() counts as a start).
bool startsCharacter(QByteArrayView bytes, qsizetype at);

// Every byte sequence that decodes to c (one or two bytes each), the usual one first; more than one
// for the characters with two or three codes (NEC row 13 and the IBM extensions). Empty when
// code page 932 cannot hold c.
std::vector<QByteArray> codesOf(char16_t c);

// Characters that input methods type in their Unicode forms (U+301C, U+2212, U+2016, U+00A2,
// U+00A3, U+00AC, U+2014) but that code page 932 holds as U+FF5E, U+FF0D, U+2225, U+FFE0, U+FFE1,
// U+FFE2, U+2015: the text with those seven replaced by the code page's own forms.
QString toCodePageForms(QStringView text);

// True when the byte can start a two-byte character.
constexpr bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool isTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

struct EncodeResult {
    QByteArray bytes;
    // Index (in code units) of the first character that code page 932 cannot hold, or -1.
    qsizetype badIndex = -1;
    bool ok() const { return badIndex < 0; }
};

// Encodes text. When a character cannot be held, badIndex names it and bytes is unspecified.
EncodeResult encode(QStringView text);

// Appends the encoding of text to out. Returns the index of the first character that cannot be
// held (out is then unspecified), or -1.
qsizetype encodeAppend(QStringView text, QByteArray& out);

} // namespace Cp932
