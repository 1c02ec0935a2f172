#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

// The two encodings a data file may have: code page 932 (Shift_JIS as Windows writes it) and
// UTF-8. Rows are kept as the file's own bytes and decoded with these functions when their text
// is needed. Both decoders turn every byte that does not belong to a valid character into one
// U+FFFD, so the characters around it keep their places; "," and LF are single bytes that are
// never part of another character in either encoding.
enum class TextEncoding { Cp932, Utf8 };

namespace TextCodec {

// "シフトJIS" or "UTF-8", for the user.
QString displayName(TextEncoding encoding);

// Decodes bytes. decodeInto's out must have room for bytes.size() code units (never more are
// written); it returns the number written.
QString decode(TextEncoding encoding, QByteArrayView bytes);
qsizetype decodeInto(TextEncoding encoding, QByteArrayView bytes, char16_t* out);
// The first maxUnits code units of the decoded text (fewer when the text is shorter).
qsizetype decodePrefix(TextEncoding encoding, QByteArrayView bytes, char16_t* out,
                       qsizetype maxUnits);

// Encodes text for a file of this encoding; for code page 932 the seven characters that input
// methods type in other forms are written as the code page's own (Cp932::toCodePageForms).
// Returns the index of the first character that the encoding cannot hold (out is then
// unspecified), or -1.
qsizetype encodeAppend(TextEncoding encoding, QStringView text, QByteArray& out);

// The text a phrase is matched as against a file of this encoding (code page 932: the code page's
// own forms of those seven characters).
QString matchForm(TextEncoding encoding, QStringView phrase);

// UTF-8 byte-order mark.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
bool startsWithUtf8Bom(QByteArrayView bytes);

struct Detected {
    TextEncoding encoding = TextEncoding::Cp932;
    bool byteOrderMark = false; // a UTF-8 mark opens the file (not part of the first line)
};
// Decides the encoding of bytes by the rules of EncodingScan. wholeFile: the bytes are the whole
// file (else a sample of its start, which may end inside a character).
Detected detect(QByteArrayView sample, bool wholeFile);

// UTF-16 text, which this program does not read ("Unicode テキスト" exports).
enum class Utf16 { None, LittleEndian, BigEndian };
// Whether a file's first bytes are UTF-16: a UTF-16 byte-order mark, or, without one, code
// units that are all text (no NUL unit, no control character but tab, CR and LF) with a CR LF
// among them as two whole units. Code page 932 and UTF-8 text holds no NUL byte, which every
// ASCII character of UTF-16 brings.
Utf16 utf16(QByteArrayView firstBytes);
// Why such a file is refused, and how to save it instead.
QString utf16RefusedText();

} // namespace TextCodec

// UTF-8 by the strict rule (no overlong forms, no surrogates, nothing above U+10FFFF).
namespace Utf8 {
qsizetype decodeInto(QByteArrayView bytes, char16_t* out);
qsizetype decodePrefix(QByteArrayView bytes, char16_t* out, qsizetype maxUnits);
// Length of the valid sequence starting at p[i] (1..4), or 0 when p[i] starts none.
int sequenceLength(const unsigned char* p, qsizetype n, qsizetype i);
// True when bytes are valid UTF-8; with allowCutEnd a sequence cut off at the very end counts
// as valid.
bool isValid(QByteArrayView bytes, bool allowCutEnd = false);
} // namespace Utf8
