#pragma once

// Deciding a file's field mode from its bytes fed piece by piece, for a reader that never holds the
// whole file; QuotedFields::detect feeds it the whole file at once.

#include "source/FieldMode.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>

// The verdict is the same however the bytes are cut into pieces: the quoted fields are judged as
// they come, and the bytes of one whose verdict needs what follows (at most
// QuotedFields::kMaxQuotedBytes and a few) are kept until the next piece.
class FieldModeScan {
public:
    // The quoted fields detect judges before it decides.
    static constexpr std::size_t kEnoughFields = 1 << 16;

    // The next bytes of the file (after a byte-order mark).
    void feed(QByteArrayView bytes);
    // More bytes cannot change the verdict.
    bool settled() const { return m_good + m_bad >= kEnoughFields; }
    // The verdict, the bytes fed being the whole file.
    FieldMode result();

private:
    // Judges bytes (m_tail, or a piece when nothing is kept) and keeps what needs the next piece.
    void judge(QByteArrayView bytes, bool endOfFile);

    QByteArray m_tail;       // bytes not judged yet
    char m_before = '\n';    // the byte before them ('\n' at the start: a field begins there)
    bool m_skipLine = false; // after a quote left open: the rest of its line is skipped
    std::size_t m_good = 0;
    std::size_t m_bad = 0;
};
