#include "pickup/ByteSearch.h"

#include "base/ByteKernels.h"
#include "pickup/TextFold.h"

namespace ByteSearch {
namespace {

// More byte forms than this (twin codes multiply) and the phrase is matched on decoded text.
constexpr size_t kMaxForms = 16;
// (Folded forms are searched together, at most as many as one pass takes.)
static_assert(kMaxForms <= size_t(ByteKernels::kMaxNeedles));

// Every form in `out` followed by every one of `tails`, in place; false (and out unchanged) when
// there are none or the forms would be more than kMaxForms.
bool extend(std::vector<QByteArray>& out, const std::vector<QByteArray>& tails) {
    if (tails.empty() || out.size() * tails.size() > kMaxForms)
        return false;
    std::vector<QByteArray> next;
    next.reserve(out.size() * tails.size());
    for (const QByteArray& head : out)
        for (const QByteArray& tail : tails)
            next.push_back(head + tail);
    out = std::move(next);
    return true;
}

} // namespace

qsizetype find(const char* text, qsizetype n, const char* needle, qsizetype m) {
    return ByteKernels::active().findBytes(text, n, needle, m);
}

std::optional<std::vector<QByteArray>> forms(TextEncoding encoding, QStringView phrase) {
    for (const QChar c : phrase)
        if (c.unicode() == 0xFFFD || c.unicode() == u'\n')
            return std::nullopt;
    if (encoding == TextEncoding::Utf8) {
        QByteArray bytes;
        if (TextCodec::encodeAppend(encoding, phrase, bytes) >= 0)
            return std::nullopt;
        return std::vector<QByteArray>{bytes};
    }
    std::vector<QByteArray> out{QByteArray()};
    for (const QChar c : phrase)
        if (!extend(out, Cp932::codesOf(c.unicode())))
            return std::nullopt;
    return out;
}

namespace {

// Every byte sequence of the encoding whose folded text is the one unit c: single characters that
// fold to c, and half-width letter and mark pairs that compose to it. halfWidth, when given, is
// set when one of them holds a half-width katakana unit, whose folding may join it to its
// neighbour.
std::vector<QByteArray> spellings(TextEncoding encoding, MatchOptions options, char16_t c,
                                  bool* halfWidth = nullptr) {
    std::vector<QString> texts;
    for (char32_t u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        if (TextFold::foldUnit(char16_t(u), options) == c)
            texts.emplace_back(QChar(char16_t(u)));
    }
    for (char16_t letter = 0xFF66; letter <= 0xFF9D; ++letter)
        for (const char16_t mark : {char16_t(0xFF9E), char16_t(0xFF9F)})
            if (TextFold::compose(letter, mark, options) == c)
                texts.push_back(QString(QChar(letter)) + QChar(mark));
    std::vector<QByteArray> out;
    for (const QString& text : texts) {
        if (halfWidth)
            for (const QChar unit : text)
                *halfWidth = *halfWidth || (unit.unicode() >= 0xFF61 && unit.unicode() <= 0xFF9F);
        if (encoding == TextEncoding::Utf8) {
            QByteArray bytes;
            if (TextCodec::encodeAppend(encoding, text, bytes) < 0)
                out.push_back(bytes);
            continue;
        }
        std::vector<QByteArray> codes{QByteArray()};
        for (const QChar unit : text) {
            std::vector<QByteArray> next;
            for (const QByteArray& head : codes)
                for (const QByteArray& code : Cp932::codesOf(unit.unicode()))
                    next.push_back(head + code);
            codes = std::move(next);
        }
        out.insert(out.end(), codes.begin(), codes.end());
    }
    return out;
}

} // namespace

std::optional<std::vector<QByteArray>> foldedForms(TextEncoding encoding, MatchOptions options,
                                                   QStringView foldedPhrase) {
    const qsizetype n = foldedPhrase.size();
    if (n == 0)
        return std::nullopt;
    std::vector<std::vector<QByteArray>> each;
    for (const QChar c : foldedPhrase) {
        if (c.unicode() == 0xFFFD || c.unicode() == u'\n' || c.isSurrogate())
            return std::nullopt;
        each.push_back(spellings(encoding, options, c.unicode()));
        if (each.back().empty())
            return std::nullopt; // no row can hold it: left to the text test
    }
    if (n == 1) {
        if (each[0].size() > kMaxForms)
            return std::nullopt;
        return each[0];
    }
    qsizetype best = -1;
    for (qsizetype k = 0; k + 1 < n; ++k) {
        const size_t count = each[size_t(k)].size() * each[size_t(k) + 1].size();
        if (count <= kMaxForms &&
            (best < 0 || count < each[size_t(best)].size() * each[size_t(best) + 1].size()))
            best = k;
    }
    if (best < 0)
        return std::nullopt;
    std::vector<QByteArray> out;
    for (const QByteArray& first : each[size_t(best)])
        for (const QByteArray& second : each[size_t(best) + 1])
            out.push_back(first + second);
    return out;
}

std::optional<std::vector<QByteArray>> exactFoldedForms(TextEncoding encoding, MatchOptions options,
                                                        QStringView foldedPhrase) {
    if (foldedPhrase.isEmpty())
        return std::nullopt;
    std::vector<QByteArray> out{QByteArray()};
    for (const QChar c : foldedPhrase) {
        if (c.unicode() == 0xFFFD || c.unicode() == u'\n' || c.isSurrogate())
            return std::nullopt;
        bool halfWidth = false;
        if (!extend(out, spellings(encoding, options, c.unicode(), &halfWidth)) || halfWidth)
            return std::nullopt;
    }
    return out;
}

} // namespace ByteSearch
