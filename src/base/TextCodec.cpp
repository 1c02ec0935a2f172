// UTF-8 decoding and validation, and the codec calls that pick code page 932 or UTF-8.
#include "base/TextCodec.h"

#include "base/AsciiRun.h"
#include "base/ByteKernels.h"
#include "base/Cp932.h"
#include "base/EncodingScan.h"

#include <algorithm>
#include <cstring>

namespace Utf8 {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

inline bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Decodes one character at p[i] into o and moves on past it (a bad byte: U+FFFD, one byte).
inline void decodeOne(const unsigned char* p, qsizetype n, qsizetype& i, char16_t*& o) {
    const int len = sequenceLength(p, n, i);
    if (len == 0) {
        *o++ = kReplacement;
        ++i;
        return;
    }
    const unsigned char b = p[i];
    char32_t c;
    switch (len) {
    case 1:
        c = b;
        break;
    case 2:
        c = char32_t(b & 0x1F) << 6 | (p[i + 1] & 0x3F);
        break;
    case 3:
        c = char32_t(b & 0x0F) << 12 | char32_t(p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F);
        break;
    default:
        c = char32_t(b & 0x07) << 18 | char32_t(p[i + 1] & 0x3F) << 12 |
            char32_t(p[i + 2] & 0x3F) << 6 | (p[i + 3] & 0x3F);
        break;
    }
    i += len;
    if (c >= 0x10000) {
        c -= 0x10000;
        *o++ = char16_t(0xD800 + (c >> 10));
        *o++ = char16_t(0xDC00 + (c & 0x3FF));
    } else {
        *o++ = char16_t(c);
    }
}

} // namespace

int sequenceLength(const unsigned char* p, qsizetype n, qsizetype i) {
    const unsigned char b = p[i];
    if (b < 0x80)
        return 1;
    if (b < 0xC2 || b > 0xF4)
        return 0;
    const int len = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + len > n)
        return 0;
    const unsigned char b1 = p[i + 1];
    if (!isContinuation(b1))
        return 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F) || (b == 0xF0 && b1 < 0x90) ||
        (b == 0xF4 && b1 > 0x8F))
        return 0;
    for (int k = 2; k < len; ++k)
        if (!isContinuation(p[i + k]))
            return 0;
    return len;
}

namespace {

template <bool kWide> qsizetype decodeWith(QByteArrayView bytes, char16_t* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t* o = out;
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80)
            AsciiRun::widen<kWide>(p, n, i, o);
        else
            decodeOne(p, n, i, o);
    }
    return o - out;
}

} // namespace

qsizetype decodeInto(QByteArrayView bytes, char16_t* out) {
    return ByteKernels::active().wide ? decodeWith<true>(bytes, out)
                                      : decodeWith<false>(bytes, out);
}

qsizetype decodePrefix(QByteArrayView bytes, char16_t* out, qsizetype maxUnits) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t* o = out;
    char16_t pair[2];
    qsizetype i = 0;
    while (i < n && o - out < maxUnits) {
        char16_t* q = pair;
        decodeOne(p, n, i, q);
        for (char16_t* u = pair; u < q && o - out < maxUnits; ++u)
            *o++ = *u;
    }
    return o - out;
}

bool isValid(QByteArrayView bytes, bool allowCutEnd) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int len = sequenceLength(p, n, i);
        if (len > 0) {
            i += len;
            continue;
        }
        if (!allowCutEnd || n - i >= 4)
            return false;
        // A cut-off sequence: what is there must be a valid beginning of one.
        const unsigned char b = p[i];
        const int want = b >= 0xC2 && b <= 0xDF   ? 2
                         : b >= 0xE0 && b <= 0xEF ? 3
                         : b >= 0xF0 && b <= 0xF4 ? 4
                                                  : 0;
        if (want == 0 || n - i >= want)
            return false;
        for (qsizetype k = i + 1; k < n; ++k)
            if (!isContinuation(p[k]))
                return false;
        return true;
    }
    return true;
}

} // namespace Utf8

namespace TextCodec {

QString displayName(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("シフトJIS");
}

qsizetype decodeInto(TextEncoding encoding, QByteArrayView bytes, char16_t* out) {
    return encoding == TextEncoding::Utf8 ? Utf8::decodeInto(bytes, out)
                                          : Cp932::decodeInto(bytes, out);
}

QString decode(TextEncoding encoding, QByteArrayView bytes) {
    QString s(bytes.size(), Qt::Uninitialized);
    s.truncate(decodeInto(encoding, bytes, reinterpret_cast<char16_t*>(s.data())));
    return s;
}

qsizetype decodePrefix(TextEncoding encoding, QByteArrayView bytes, char16_t* out,
                       qsizetype maxUnits) {
    return encoding == TextEncoding::Utf8 ? Utf8::decodePrefix(bytes, out, maxUnits)
                                          : Cp932::decodePrefix(bytes, out, maxUnits);
}

qsizetype encodeAppend(TextEncoding encoding, QStringView text, QByteArray& out) {
    if (encoding == TextEncoding::Cp932)
        return Cp932::encodeAppend(Cp932::toCodePageForms(text), out);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A lone surrogate is no character: UTF-8 cannot hold it.
        if (QChar::isHighSurrogate(c) &&
            (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode())))
            return i;
        if (QChar::isLowSurrogate(c))
            return i;
        if (QChar::isHighSurrogate(c))
            ++i;
    }
    out.append(text.toUtf8());
    return -1;
}

QString matchForm(TextEncoding encoding, QStringView phrase) {
    return encoding == TextEncoding::Cp932 ? Cp932::toCodePageForms(phrase) : phrase.toString();
}

bool startsWithUtf8Bom(QByteArrayView bytes) {
    return bytes.startsWith(QByteArrayView(kUtf8Bom, 3));
}

Detected detect(QByteArrayView sample, bool wholeFile) {
    EncodingScan scan;
    scan.feed(sample);
    return scan.result(wholeFile);
}

namespace {

// The code units of bytes in one order are all text, and a CR LF is among them.
bool utf16Text(QByteArrayView bytes, bool littleEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    bool crLf = false;
    char16_t last = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit =
            littleEndian ? char16_t(p[i] | p[i + 1] << 8) : char16_t(p[i] << 8 | p[i + 1]);
        if (unit < 0x20 && unit != u'\t' && unit != u'\r' && unit != u'\n')
            return false;
        crLf = crLf || (last == u'\r' && unit == u'\n');
        last = unit;
    }
    return crLf;
}

} // namespace

Utf16 utf16(QByteArrayView firstBytes) {
    if (firstBytes.startsWith("\xFF\xFE"))
        return Utf16::LittleEndian;
    if (firstBytes.startsWith("\xFE\xFF"))
        return Utf16::BigEndian;
    // Only a look at the start: the text's first lines tell.
    const QByteArrayView start =
        firstBytes.first(std::min<qsizetype>(firstBytes.size(), 64 * 1024));
    if (!start.contains('\0'))
        return Utf16::None;
    if (utf16Text(start, true))
        return Utf16::LittleEndian;
    if (utf16Text(start, false))
        return Utf16::BigEndian;
    return Utf16::None;
}

QString utf16RefusedText() {
    return QStringLiteral("このファイルは UTF-16（「Unicode テキスト」など）で保存されているため、"
                          "読み込めません。UTF-8 か シフトJIS（「CSV (コンマ区切り)」など）で"
                          "保存し直してから開いてください。");
}

} // namespace TextCodec
