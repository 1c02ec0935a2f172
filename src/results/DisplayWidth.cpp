#include "results/DisplayWidth.h"

#include <QChar>

namespace DisplayWidth {

bool isWide(char32_t c) {
    if (c < 0x1100)
        return false;
    struct Range {
        char32_t first;
        char32_t last;
    };
    // The blocks of East Asian wide and full-width characters (half-width katakana U+FF61 to
    // U+FF9F stay narrow).
    static constexpr Range wide[] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
        {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD},
        {0x30000, 0x3FFFD},
    };
    for (const Range& r : wide)
        if (c >= r.first && c <= r.last)
            return true;
    return false;
}

qsizetype columns(QStringView text) {
    qsizetype n = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x1100) { // the common case: ASCII and other narrow scripts
            ++n;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < size && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        n += isWide(c) ? 2 : 1;
    }
    return n;
}

qsizetype columns(TextEncoding encoding, QByteArrayView bytes) {
    if (encoding == TextEncoding::Cp932)
        return bytes.size();
    // UTF-8: one column for every byte that starts a character (or stands alone), one more for
    // every start of three or four bytes (CJK, kana, full-width forms: nearly all wide). A few
    // three-byte characters are narrow (half-width katakana, some symbols); the widest rows found
    // this way are then measured with the real font anyway.
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype width = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        width += qsizetype((p[i] & 0xC0) != 0x80) + qsizetype(p[i] >= 0xE0);
    return width;
}

} // namespace DisplayWidth
