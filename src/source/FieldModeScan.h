#pragma once

// Deciding a file's field mode (QuotedFields::detect) from its bytes fed piece by piece, for a
// reader that never holds the whole file.

#include "source/FieldMode.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>

// Gives exactly what QuotedFields::detect gives for the bytes fed one after another: the quoted
// fields are judged as they come, and the bytes of one whose verdict needs what follows (at most
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
    // Judges the kept bytes, keeping only those whose verdict waits for more.
    void judge(bool endOfFile);
    // Judges d[0, n), the bytes that follow those judged so far; returns where the bytes whose
    // verdict waits for more begin (n: none).
    std::size_t judge(const char* d, std::size_t n, bool endOfFile);

    QByteArray m_tail;       // bytes not judged yet
    char m_before = '\n';    // the byte before them ('\n' at the start: a field begins there)
    bool m_skipLine = false; // after a quote left open: the rest of its line is skipped
    std::size_t m_good = 0;
    std::size_t m_bad = 0;
};
