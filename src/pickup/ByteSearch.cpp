#include "pickup/ByteSearch.h"

#include "base/ByteKernels.h"

namespace ByteSearch {
namespace {

// More byte forms than this (twin codes multiply) and the phrase is matched on decoded text.
constexpr size_t kMaxForms = 16;

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
    for (const QChar c : phrase) {
        const std::vector<QByteArray> codes = Cp932::codesOf(c.unicode());
        if (codes.empty() || out.size() * codes.size() > kMaxForms)
            return std::nullopt;
        std::vector<QByteArray> next;
        next.reserve(out.size() * codes.size());
        for (const QByteArray& head : out)
            for (const QByteArray& code : codes)
                next.push_back(head + code);
        out = std::move(next);
    }
    return out;
}

} // namespace ByteSearch
