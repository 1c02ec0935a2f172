// Code page 932: decoding through tables taken once from ICU, encoding through ICU, and the codes
// of a character.
#include "base/Cp932.h"
#include "base/AsciiRun.h"
#include "base/ByteKernels.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace Cp932 {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kIcuSubstitute = 0x1A;

// ASCII bytes that ICU's table maps to other control codes.
constexpr bool isSwappedControl(unsigned char b) {
    return b == 0x1A || b == 0x1C || b == 0x7F;
}

// Opening an ICU converter is costly; each thread keeps one of each.
thread_local std::optional<QStringDecoder> t_decoder;
thread_local std::optional<QStringEncoder> t_encoder;

QStringDecoder& icuDecoder() {
    if (!t_decoder)
        t_decoder.emplace("windows-31j");
    return *t_decoder;
}
void resetIcuDecoder() {
    t_decoder.reset();
}
QStringEncoder& icuEncoder() {
    if (!t_encoder)
        t_encoder.emplace("windows-31j");
    return *t_encoder;
}
void resetIcuEncoder() {
    t_encoder.reset();
}

// Runs ICU over bytes known to be well-formed and free of the swapped control codes.
qsizetype icuDecode(QByteArrayView bytes, char16_t* out) {
    if (bytes.isEmpty())
        return 0;
    QStringDecoder& decoder = icuDecoder();
    QChar* end = decoder.appendToBuffer(reinterpret_cast<QChar*>(out), bytes);
    if (decoder.hasError())
        resetIcuDecoder(); // unmapped characters set the flag; start clean next time
    const qsizetype n = reinterpret_cast<char16_t*>(end) - out;
    // Within well-formed input ICU only substitutes for unmapped characters.
    for (qsizetype i = 0; i < n; ++i)
        if (out[i] == kIcuSubstitute)
            out[i] = kReplacement;
    return n;
}

} // namespace

namespace {

// The ICU-driven decoding (the reference for the table below).
qsizetype icuDecodeInto(QByteArrayView bytes, char16_t* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype written = 0;
    qsizetype segStart = 0; // start of the well-formed run handed to ICU
    qsizetype i = 0;
    bool segHasNonAscii = false;
    auto flush = [&](qsizetype segEnd) {
        if (segEnd <= segStart)
            return;
        if (!segHasNonAscii) {
            for (const char c : bytes.sliced(segStart, segEnd - segStart))
                out[written++] = static_cast<unsigned char>(c);
        } else {
            written += icuDecode(bytes.sliced(segStart, segEnd - segStart), out + written);
        }
        segHasNonAscii = false;
    };
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            if (isSwappedControl(b)) {
                flush(i);
                out[written++] = b;
                segStart = ++i;
            } else {
                ++i;
            }
        } else if (b >= 0xA1 && b <= 0xDF) {
            segHasNonAscii = true;
            ++i;
        } else if (isLeadByte(b) && i + 1 < n && isTrailByte(p[i + 1])) {
            segHasNonAscii = true;
            i += 2;
        } else {
            // 0x80, 0xA0, 0xFD..0xFF, or a lead byte without its trail byte.
            flush(i);
            out[written++] = kReplacement;
            segStart = ++i;
        }
    }
    flush(n);
    return written;
}

// Decoding tables taken from ICU once: what every single byte and every two-byte sequence
// decodes to. Decoding through them gives exactly ICU's result (with the corrections above)
// without a converter call per stretch of text.
struct DecodeTables {
    // A pair that ICU does not take as one character: the lead byte alone becomes U+FFFD and
    // decoding goes on at the second byte. (U+FFFF never comes out of code page 932.)
    static constexpr char16_t kLeadAlone = 0xFFFF;
    static constexpr int kLeads = 0x1F + 0x1D; // 0x81..0x9F and 0xE0..0xFC

    char16_t single[256];
    char16_t pair[kLeads][256];

    static int leadIndex(unsigned char b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 0x1F; }

    DecodeTables() {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            char16_t out[2] = {};
            single[b] = icuDecodeInto(QByteArrayView(&c, 1), out) == 1 ? out[0] : kReplacement;
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte((unsigned char)lead))
                continue;
            char16_t* row = pair[leadIndex((unsigned char)lead)];
            // All trail bytes of this lead in one call; if anything is not one character per
            // pair, ask pair by pair.
            QByteArray all;
            int trails = 0;
            for (int t = 0; t < 256; ++t) {
                row[t] = kLeadAlone;
                if (isTrailByte((unsigned char)t)) {
                    all += char(lead);
                    all += char(t);
                    ++trails;
                }
            }
            std::vector<char16_t> out(size_t(all.size()));
            if (icuDecodeInto(all, out.data()) == trails) {
                int k = 0;
                for (int t = 0; t < 256; ++t)
                    if (isTrailByte((unsigned char)t))
                        row[t] = out[size_t(k++)];
                continue;
            }
            for (int t = 0; t < 256; ++t) {
                if (!isTrailByte((unsigned char)t))
                    continue;
                const char two[2] = {char(lead), char(t)};
                char16_t one[2] = {};
                if (icuDecodeInto(QByteArrayView(two, 2), one) == 1)
                    row[t] = one[0];
            }
        }
    }
};

const DecodeTables& decodeTables() {
    static const DecodeTables tables;
    return tables;
}

// Decodes the character starting with the byte p[i] (0x80 or above) and moves on past it.
inline void decodeOther(const DecodeTables& tables, const unsigned char* p, qsizetype n,
                        qsizetype& i, char16_t*& o) {
    const unsigned char b = p[i];
    if (isLeadByte(b) && i + 1 < n) {
        const char16_t c = tables.pair[DecodeTables::leadIndex(b)][p[i + 1]];
        if (c != DecodeTables::kLeadAlone) {
            *o++ = c;
            i += 2;
            return;
        }
        *o++ = kReplacement; // the lead byte alone; the next byte is read on its own
        ++i;
        return;
    }
    *o++ = tables.single[b];
    ++i;
}

} // namespace

namespace {

template <bool kWide> qsizetype decodeWith(QByteArrayView bytes, char16_t* out) {
    const DecodeTables& tables = decodeTables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t* o = out;
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80)
            AsciiRun::widen<kWide>(p, n, i, o);
        else
            decodeOther(tables, p, n, i, o);
    }
    return o - out;
}

} // namespace

qsizetype decodeInto(QByteArrayView bytes, char16_t* out) {
    return ByteKernels::active().wide ? decodeWith<true>(bytes, out)
                                      : decodeWith<false>(bytes, out);
}

qsizetype decodePrefix(QByteArrayView bytes, char16_t* out, qsizetype maxUnits) {
    const DecodeTables& tables = decodeTables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t* o = out;
    qsizetype i = 0;
    while (i < n && o - out < maxUnits) {
        if (p[i] < 0x80)
            *o++ = p[i++];
        else
            decodeOther(tables, p, n, i, o);
    }
    return o - out;
}

bool startsCharacter(QByteArrayView bytes, qsizetype at) {
    const DecodeTables& tables = decodeTables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // A byte that is no lead byte ends whatever it belongs to (it stands alone or is a pair's
    // second byte), so a character begins right after it: the walk starts after the last such
    // byte before `at`, not at the start, which keeps a search's test of each place it finds
    // short however long the row.
    qsizetype i = std::min(at, n);
    while (i > 0 && isLeadByte(p[i - 1]))
        --i;
    while (i < at) {
        const unsigned char b = p[i];
        if (isLeadByte(b) && i + 1 < n &&
            tables.pair[DecodeTables::leadIndex(b)][p[i + 1]] != DecodeTables::kLeadAlone)
            i += 2;
        else
            ++i;
    }
    return i == at;
}

namespace {

// Every code of every character, from the decoding tables: (character, code) in the order of the
// codes (single bytes first), sorted by character with that order kept. A few thousand pairs,
// quick to build the first time a phrase needs them.
struct CodeTable {
    struct Code {
        char16_t c;
        std::uint16_t code;
    };
    std::vector<Code> codes;
    CodeTable() {
        const DecodeTables& tables = decodeTables();
        for (int b = 0; b < 256; ++b)
            if (tables.single[b] != kReplacement && !isLeadByte((unsigned char)b))
                codes.push_back({tables.single[b], std::uint16_t(b)});
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte((unsigned char)lead))
                continue;
            for (int t = 0; t < 256; ++t) {
                const char16_t c = tables.pair[DecodeTables::leadIndex((unsigned char)lead)][t];
                if (c != DecodeTables::kLeadAlone && c != kReplacement)
                    codes.push_back({c, std::uint16_t(lead << 8 | t)});
            }
        }
        std::stable_sort(codes.begin(), codes.end(),
                         [](const Code& a, const Code& b) { return a.c < b.c; });
    }
};

QByteArray codeBytes(std::uint16_t code) {
    if (code < 0x100)
        return QByteArray(1, char(code));
    const char two[2] = {char(code >> 8), char(code & 0xFF)};
    return QByteArray(two, 2);
}

} // namespace

std::vector<QByteArray> codesOf(char16_t c) {
    static const CodeTable table;
    std::vector<QByteArray> out;
    const EncodeResult usual = encode(QStringView(&c, 1));
    if (usual.ok() && !usual.bytes.isEmpty())
        out.push_back(usual.bytes);
    const auto [first, last] = std::equal_range(
        table.codes.begin(), table.codes.end(), CodeTable::Code{c, 0},
        [](const CodeTable::Code& a, const CodeTable::Code& b) { return a.c < b.c; });
    for (auto it = first; it != last; ++it) {
        const QByteArray bytes = codeBytes(it->code);
        if (std::find(out.begin(), out.end(), bytes) == out.end())
            out.push_back(bytes);
    }
    return out;
}

QString toCodePageForms(QStringView text) {
    QString out = text.toString();
    for (QChar& ch : out) {
        switch (ch.unicode()) {
        case 0x301C:
            ch = QChar(0xFF5E);
            break;
        case 0x2212:
            ch = QChar(0xFF0D);
            break;
        case 0x2016:
            ch = QChar(0x2225);
            break;
        case 0x00A2:
            ch = QChar(0xFFE0);
            break;
        case 0x00A3:
            ch = QChar(0xFFE1);
            break;
        case 0x00AC:
            ch = QChar(0xFFE2);
            break;
        case 0x2014:
            ch = QChar(0x2015);
            break;
        default:
            break;
        }
    }
    return out;
}

QString decode(QByteArrayView bytes) {
    QString s(bytes.size(), Qt::Uninitialized);
    const qsizetype n = decodeInto(bytes, reinterpret_cast<char16_t*>(s.data()));
    s.truncate(n);
    return s;
}

qsizetype encodeAppend(QStringView text, QByteArray& out) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype segStart = 0;
    bool segHasNonAscii = false;
    auto flush = [&](qsizetype segEnd) -> qsizetype {
        const qsizetype len = segEnd - segStart;
        if (len <= 0)
            return -1;
        const qsizetype base = out.size();
        if (!segHasNonAscii) {
            out.resize(base + len);
            char* d = out.data() + base;
            for (qsizetype k = segStart; k < segEnd; ++k)
                *d++ = char(p[k]);
            return -1;
        }
        segHasNonAscii = false;
        QStringEncoder& encoder = icuEncoder();
        out.resize(base + 2 * len);
        char* end = encoder.appendToBuffer(out.data() + base, text.sliced(segStart, len));
        if (!encoder.hasError()) {
            out.truncate(end - out.data());
            return -1;
        }
        resetIcuEncoder();
        // Find the first character that failed.
        for (qsizetype k = segStart; k < segEnd; ++k) {
            if (p[k] < 0x80)
                continue;
            QStringEncoder& one = icuEncoder();
            // The encoder works lazily: the conversion runs when the result is taken.
            const QByteArray probe = one.encode(text.sliced(k, 1));
            const bool failed = one.hasError();
            resetIcuEncoder();
            if (failed)
                return k;
        }
        return segStart;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x80) {
            if (c == 0x1A || c == 0x1C || c == 0x7F) {
                if (const qsizetype bad = flush(i); bad >= 0)
                    return bad;
                out.append(char(c));
                segStart = i + 1;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // Nothing outside the Basic Multilingual Plane exists in code page 932.
            return i;
        } else {
            segHasNonAscii = true;
        }
    }
    return flush(n);
}

EncodeResult encode(QStringView text) {
    EncodeResult r;
    r.bytes.reserve(text.size() * 2);
    r.badIndex = encodeAppend(text, r.bytes);
    return r;
}

} // namespace Cp932
