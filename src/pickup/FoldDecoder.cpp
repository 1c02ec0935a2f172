// Folded decoding: code page 932 through tables of folded characters, UTF-8 decoded then folded.
#include "pickup/FoldDecoder.h"

#include "base/Cp932.h"
#include "pickup/TextFold.h"

#include <array>
#include <memory>
#include <mutex>

struct FoldDecoder::Cp932Tables {
    // A pair that is not one character: the lead byte alone is U+FFFD, the next byte goes on.
    static constexpr char16_t kLeadAlone = 0xFFFF;
    static constexpr int kLeads = 0x1F + 0x1D; // 0x81..0x9F and 0xE0..0xFC
    static int leadIndex(unsigned char b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 0x1F; }

    char16_t single[256];
    // A single byte followed by 0xDE (index 0) or 0xDF (1) that composes with it, or 0.
    char16_t joined[2][256];
    char16_t pair[kLeads][256];

    explicit Cp932Tables(MatchOptions options) {
        char16_t raw[256];
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            char16_t out[2] = {};
            raw[b] = Cp932::decodeInto(QByteArrayView(&c, 1), out) == 1 ? out[0] : char16_t(0xFFFD);
            single[b] = TextFold::foldUnit(raw[b], options);
        }
        for (int b = 0; b < 256; ++b) {
            joined[0][b] = TextFold::compose(raw[b], raw[0xDE], options);
            joined[1][b] = TextFold::compose(raw[b], raw[0xDF], options);
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!Cp932::isLeadByte((unsigned char)lead))
                continue;
            char16_t* row = pair[leadIndex((unsigned char)lead)];
            for (int t = 0; t < 256; ++t) {
                const char two[2] = {char(lead), char(t)};
                char16_t out[2] = {};
                row[t] = Cp932::decodeInto(QByteArrayView(two, 2), out) == 1
                             ? TextFold::foldUnit(out[0], options)
                             : kLeadAlone;
            }
        }
    }
};

namespace {

// Built on first use, for the one combination of switches asked for.
const FoldDecoder::Cp932Tables* cp932Tables(MatchOptions options) {
    static std::mutex mutex;
    static std::array<std::unique_ptr<FoldDecoder::Cp932Tables>, 8> tables;
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<FoldDecoder::Cp932Tables>& t = tables[size_t(options.bits())];
    if (!t)
        t = std::make_unique<FoldDecoder::Cp932Tables>(options);
    return t.get();
}

} // namespace

FoldDecoder::FoldDecoder(TextEncoding encoding, MatchOptions options)
    : m_encoding(encoding), m_options(options),
      m_tables(encoding == TextEncoding::Cp932 && options.any() ? cp932Tables(options) : nullptr) {}

qsizetype FoldDecoder::decodeInto(QByteArrayView bytes, char16_t* out) const {
    if (!m_tables) {
        // Folding never writes ahead of what it reads, so it can fold the decoded text in place.
        const qsizetype n = TextCodec::decodeInto(m_encoding, bytes, out);
        return m_options.any() ? TextFold::foldInto(out, n, out, m_options) : n;
    }
    const Cp932Tables& t = *m_tables;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t* o = out;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *o++ = t.single[b];
            ++i;
            continue;
        }
        if (Cp932::isLeadByte(b) && i + 1 < n) {
            const char16_t c = t.pair[Cp932Tables::leadIndex(b)][p[i + 1]];
            if (c != Cp932Tables::kLeadAlone) {
                *o++ = c;
                i += 2;
            } else {
                *o++ = 0xFFFD;
                ++i;
            }
            continue;
        }
        if (i + 1 < n && (p[i + 1] == 0xDE || p[i + 1] == 0xDF)) {
            if (const char16_t c = t.joined[p[i + 1] - 0xDE][b]) {
                *o++ = c;
                i += 2;
                continue;
            }
        }
        *o++ = t.single[b];
        ++i;
    }
    return o - out;
}
