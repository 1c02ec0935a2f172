// The whole-file encoding decision: ASCII skipped in bulk, every non-ASCII character judged.
#include "base/EncodingScan.h"

#include "base/AsciiRun.h"
#include "base/ByteKernels.h"

#include <algorithm>
#include <cstring>

namespace {

// Whether p[0, n) (n < the length its first byte asks for) can still become a valid character.
bool validStart(const unsigned char* p, qsizetype n) {
    const unsigned char b = p[0];
    const int want = b >= 0xC2 && b <= 0xDF   ? 2
                     : b >= 0xE0 && b <= 0xEF ? 3
                     : b >= 0xF0 && b <= 0xF4 ? 4
                                              : 0;
    if (want == 0 || n >= want)
        return false;
    for (qsizetype k = 1; k < n; ++k)
        if ((p[k] & 0xC0) != 0x80)
            return false;
    // The second byte's range rules (overlong forms, surrogates, past U+10FFFF).
    if (n >= 2 && ((b == 0xE0 && p[1] < 0xA0) || (b == 0xED && p[1] > 0x9F) ||
                   (b == 0xF0 && p[1] < 0x90) || (b == 0xF4 && p[1] > 0x8F)))
        return false;
    return true;
}

bool katakanaByte(unsigned char b) {
    return b >= 0xA1 && b <= 0xDF;
}

} // namespace

void EncodingScan::judge(const unsigned char* p, int length) {
    m_text += length;
    if (length > 2) {
        m_longCharacter = true;
        return;
    }
    if (!katakanaByte(p[0]) || !katakanaByte(p[1]))
        m_notKatakana = true;
    else if (p[0] >= 0xC6) // U+0180 and up
        m_beyondLatin = true;
}

qsizetype EncodingScan::finishPending(const unsigned char* p, qsizetype n) {
    unsigned char buffer[8];
    std::memcpy(buffer, m_pending, size_t(m_pendingLength));
    const qsizetype taken = std::min<qsizetype>(n, 4 - m_pendingLength);
    std::memcpy(buffer + m_pendingLength, p, size_t(taken));
    const qsizetype have = m_pendingLength + taken;
    const int length = Utf8::sequenceLength(buffer, have, 0);
    if (length > 0) {
        judge(buffer, length);
        const qsizetype used = length - m_pendingLength;
        m_pendingLength = 0;
        return used;
    }
    if (have < 4 && taken == n && validStart(buffer, have)) { // still cut off
        std::memcpy(m_pending, buffer, size_t(have));
        m_pendingLength = int(have);
        return n;
    }
    m_invalid = true;
    m_pendingLength = 0;
    return n;
}

void EncodingScan::feed(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // The first three bytes, for the mark (they may come in more than one piece).
    for (qsizetype k = 0; m_fed < 3 && k < n; ++k)
        m_head[m_fed++] = p[k];
    if (m_fed == 3 && !m_headSeen) {
        m_headSeen = true;
        m_byteOrderMark =
            TextCodec::startsWithUtf8Bom(QByteArrayView(reinterpret_cast<const char*>(m_head), 3));
    }
    if (settled() || n == 0)
        return;
    qsizetype i = 0;
    if (m_pendingLength > 0)
        i = finishPending(p, n);
    const bool wide = ByteKernels::active().wide;
    while (i < n && !settled()) {
        i = wide ? AsciiRun::skip<true>(p, n, i) : AsciiRun::skip<false>(p, n, i);
        if (i >= n)
            break;
        const int length = Utf8::sequenceLength(p, n, i);
        if (length > 0) {
            judge(p + i, length);
            i += length;
            continue;
        }
        if (n - i < 4 && validStart(p + i, n - i)) { // cut off by the end of the piece
            m_pendingLength = int(n - i);
            std::memcpy(m_pending, p + i, size_t(m_pendingLength));
            break;
        }
        m_invalid = true;
    }
}

TextCodec::Detected EncodingScan::result(bool endOfFile) const {
    if (m_byteOrderMark)
        return {TextEncoding::Utf8, true};
    const bool invalid = m_invalid || (endOfFile && m_pendingLength > 0 && m_text < kEnoughText);
    // A long character cut off where the bytes stop (not the file) counts as one.
    const bool longCut = !endOfFile && m_pendingLength > 0 && m_pending[0] >= 0xE0;
    if (invalid || (m_text == 0 && !longCut))
        return {TextEncoding::Cp932, false};
    if (m_longCharacter || longCut || m_notKatakana || !m_beyondLatin)
        return {TextEncoding::Utf8, false};
    return {TextEncoding::Cp932, false};
}
