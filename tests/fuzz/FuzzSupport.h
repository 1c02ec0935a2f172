#pragma once

// Helpers shared by the libFuzzer targets: cutting an input into parts, turning bytes into text,
// and failing loudly (abort, so libFuzzer keeps the input) when a property does not hold.

#include "base/Cp932.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace FuzzSupport {

// How the bytes of a text part become UTF-16 code units.
enum class Encoding {
    Cp932,  // decoded as code page 932 (the usual case)
    Utf16,  // little-endian code units, any value (surrogates, unassigned, U+FFFD ...)
    Latin1, // one byte, one code unit
};

inline Encoding encodingFromFlags(unsigned char flags) {
    switch (flags & 3) {
    case 1:
        return Encoding::Utf16;
    case 2:
        return Encoding::Latin1;
    default:
        return Encoding::Cp932;
    }
}

// The byte 0xFF never occurs in code page 932 text, so it separates the parts of an input.
inline constexpr char kSeparator = '\xFF';
// In UTF-16 parts the separator is the code unit U+FFFF (a noncharacter).
inline constexpr char16_t kUnitSeparator = 0xFFFF;

// The bytes cut at every separator byte; always at least one part.
inline std::vector<QByteArrayView> splitBytes(QByteArrayView bytes) {
    std::vector<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == kSeparator) {
            parts.push_back(bytes.sliced(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

inline QString toText(QByteArrayView bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Cp932:
        return Cp932::decode(bytes);
    case Encoding::Latin1:
        return QString::fromLatin1(bytes);
    case Encoding::Utf16: {
        QString text;
        text.reserve(bytes.size() / 2);
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            text.append(QChar(char16_t(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8))));
        return text;
    }
    }
    return {};
}

// The input as text parts: byte encodings are cut at the separator byte, UTF-16 text at the
// separator unit. Always at least one part.
inline std::vector<QString> textParts(QByteArrayView bytes, Encoding encoding) {
    std::vector<QString> parts;
    if (encoding == Encoding::Utf16) {
        const QString all = toText(bytes, encoding);
        qsizetype start = 0;
        for (qsizetype i = 0; i <= all.size(); ++i) {
            if (i == all.size() || all[i] == QChar(kUnitSeparator)) {
                parts.push_back(all.mid(start, i - start));
                start = i + 1;
            }
        }
        return parts;
    }
    for (const QByteArrayView part : splitBytes(bytes))
        parts.push_back(toText(part, encoding));
    return parts;
}

// True when code page 932 holds the text exactly: it encodes, and decodes back to itself.
inline bool cp932Holds(QStringView text) {
    const Cp932::EncodeResult encoded = Cp932::encode(text);
    return encoded.ok() && Cp932::decode(encoded.bytes) == text;
}

// The code units of a text as hex, for failure messages.
inline QByteArray units(QStringView text) {
    QByteArray out;
    for (const QChar c : text)
        out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0') + ' ';
    return out.isEmpty() ? QByteArray("(empty)") : out.trimmed();
}

[[noreturn]] inline void fail(const char* what, const QByteArray& detail = {}) {
    std::fprintf(stderr, "\n*** property failed: %s\n%s\n", what, detail.constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace FuzzSupport

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzSupport::fail(#condition, (detail));                                               \
    } while (false)
