// The width, kana and case folds: one table per combination of the switches, built on first use.
#include "pickup/TextFold.h"

#include <array>
#include <memory>

namespace {

// The full-width forms of U+FF61..U+FF9F.
constexpr char16_t kHalfKana[0x3F] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};

constexpr char16_t kVoicedMark = 0xFF9E;
constexpr char16_t kSemiVoicedMark = 0xFF9F;

// The full-width katakana with a voiced mark (mark 0) or a semi-voiced mark (mark 1), or 0.
char16_t composed(char16_t kana, int mark) {
    if (mark == 1)
        return (kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0) ? char16_t(kana + 2)
                                                                              : char16_t(0);
    if ((kana >= 0x30AB && kana <= 0x30C1 && (kana - 0x30AB) % 2 == 0) || kana == 0x30C4 ||
        kana == 0x30C6 || kana == 0x30C8 ||
        (kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0))
        return char16_t(kana + 1);
    switch (kana) {
    case 0x30A6:
        return 0x30F4; // ヴ
    case 0x30EF:
        return 0x30F7; // ヷ
    case 0x30F2:
        return 0x30FA; // ヺ
    default:
        return 0;
    }
}

char16_t computeFold(char16_t c, MatchOptions o) {
    if (o.ignoreWidth) {
        if (c >= 0xFF01 && c <= 0xFF5E)
            c = char16_t(c - 0xFEE0);
        else if (c == 0x3000)
            c = u' ';
        else if (c >= 0xFF61 && c <= 0xFF9F)
            c = kHalfKana[c - 0xFF61];
    }
    if (o.ignoreKana) {
        if (c >= 0x3041 && c <= 0x3096)
            c = char16_t(c + 0x60);
        else if (c == 0x309D || c == 0x309E)
            c = char16_t(c + 0x60);
    }
    if (o.ignoreCase) {
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 0x20);
        else if (c >= 0xFF21 && c <= 0xFF3A)
            c = char16_t(c + 0x20);
    }
    return c;
}

struct Tables {
    std::array<std::unique_ptr<char16_t[]>, 8> unit;
    Tables() {
        for (int bits = 0; bits < 8; ++bits) {
            const MatchOptions o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
            unit[size_t(bits)] = std::make_unique<char16_t[]>(0x10000);
            char16_t* t = unit[size_t(bits)].get();
            for (int c = 0; c < 0x10000; ++c)
                t[c] = computeFold(char16_t(c), o);
        }
    }
};

const char16_t* unitTable(MatchOptions options) {
    static const Tables tables;
    return tables.unit[size_t(options.bits())].get();
}

} // namespace

char16_t TextFold::foldUnit(char16_t c, MatchOptions options) {
    return unitTable(options)[c];
}

char16_t TextFold::compose(char16_t letter, char16_t mark, MatchOptions options) {
    if (!options.ignoreWidth || letter < 0xFF66 || letter > 0xFF9D ||
        (mark != kVoicedMark && mark != kSemiVoicedMark))
        return 0;
    // A composed katakana folds to itself under the kana and case folds.
    return composed(kHalfKana[letter - 0xFF61], mark == kVoicedMark ? 0 : 1);
}

qsizetype TextFold::foldInto(const char16_t* in, qsizetype n, char16_t* out, MatchOptions options,
                             qsizetype* origin) {
    const char16_t* table = unitTable(options);
    qsizetype o = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (origin)
            origin[o] = i;
        if (options.ignoreWidth && c >= 0xFF66 && c <= 0xFF9D && i + 1 < n &&
            (in[i + 1] == kVoicedMark || in[i + 1] == kSemiVoicedMark)) {
            if (const char16_t joined = compose(c, in[i + 1], options)) {
                out[o++] = joined;
                ++i;
                continue;
            }
        }
        out[o++] = table[c];
    }
    if (origin)
        origin[o] = n;
    return o;
}

QString TextFold::fold(QStringView text, MatchOptions options, std::vector<qsizetype>* origin) {
    QString out(text.size(), Qt::Uninitialized);
    if (origin)
        origin->assign(size_t(text.size()) + 1, 0);
    const qsizetype n = foldInto(text.utf16(), text.size(), reinterpret_cast<char16_t*>(out.data()),
                                 options, origin ? origin->data() : nullptr);
    out.truncate(n);
    if (origin)
        origin->resize(size_t(n) + 1);
    return out;
}
