#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

// Code page 932 (Shift_JIS as Windows writes it), the encoding of every file Vornel reads or
// writes.
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

// Like decodeInto, and also appends to marks the index in out of every "," and LF, in order.
// (Both bytes are below 0x40, so they are never the second byte of a character.) bytes.size()
// must be below 2^32.
qsizetype decodeIntoMarking(QByteArrayView bytes, char16_t* out, std::vector<std::uint32_t>& marks);

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
