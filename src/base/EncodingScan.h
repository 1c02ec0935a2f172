#pragma once

// Deciding a file's encoding (code page 932 or UTF-8) from all of its bytes, fed in order.

#include "base/TextCodec.h"

#include <QByteArrayView>

// Looks at a file's bytes piece by piece, skipping ASCII stretches at memory speed, and judges
// its non-ASCII text wherever it lies. The rules:
// - a UTF-8 byte-order mark at the start means UTF-8;
// - a byte that starts no valid UTF-8 character (or a character cut off by the end of the file)
//   means code page 932;
// - a character of three or four bytes (as all Japanese text has) means UTF-8;
// - two-byte characters alone mean UTF-8 too (café), except when every byte of them could be a
//   half-width katakana of code page 932 (0xA1..0xDF) and one of them lies beyond the Latin
//   letters (U+0180 and up: ﾏｲﾅｽ reads as Greek and Latin Extended-B there);
// - no non-ASCII byte at all: code page 932 (both read ASCII alike).
// Once enough non-ASCII text has been judged valid UTF-8 (kEnoughText bytes), the verdict stands:
// a damaged byte further on shows as U+FFFD in its row instead of turning the whole file into
// code page 932.
class EncodingScan {
public:
    static constexpr qsizetype kEnoughText = 1 << 20;

    // The next bytes of the file. A character cut off at the end of a piece is completed by the
    // next one.
    void feed(QByteArrayView bytes);
    // More bytes cannot change the verdict.
    bool settled() const { return m_byteOrderMark || m_invalid || m_text >= kEnoughText; }
    // The verdict. endOfFile: the bytes fed are the whole file (a character cut off at their end
    // is then invalid; otherwise it is taken as the start of one).
    TextCodec::Detected result(bool endOfFile) const;

private:
    void judge(const unsigned char* p, int length);
    // Continues a character cut off at the end of the last piece; the bytes of `p` it used.
    qsizetype finishPending(const unsigned char* p, qsizetype n);

    unsigned char m_head[3] = {};
    int m_fed = 0; // bytes of m_head filled
    bool m_headSeen = false;
    unsigned char m_pending[4] = {};
    int m_pendingLength = 0;
    bool m_byteOrderMark = false;
    bool m_invalid = false;
    qsizetype m_text = 0;         // bytes of valid non-ASCII characters judged
    bool m_longCharacter = false; // a character of three or four bytes
    bool m_notKatakana = false;   // a two-byte character with a byte outside 0xA1..0xDF
    bool m_beyondLatin = false;   // a two-byte character from U+0180 on
};
