#pragma once

#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

// The source table: every accepted line of the data file, kept as decoded UTF-16 text in large
// blocks, with one offset record per row and the comma positions of every row. A row's text is the
// accepted line itself (all fields joined by ","), so it is handed out as a view, never rebuilt.
//
// Rows and fields are numbered from 0 here; the window numbers columns from 1.
class RowStore {
public:
    RowStore();
    ~RowStore();
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;

    // Empties the store and fixes the number of commas every row has.
    void reset(int commaCount);

    // Makes room for this many rows, so a load of known length does not regrow its tables.
    void reserve(qint64 rows);

    int commaCount() const { return m_commaCount; }
    int fieldCount() const { return m_commaCount + 1; }
    qint64 rowCount() const { return qint64(m_rowStart.size()); }
    bool isEmpty() const { return m_rowStart.empty(); }

    // The row's whole text: its fields joined by ",".
    QStringView rowText(qint64 row) const {
        const std::uint64_t s = m_rowStart[size_t(row)];
        return QStringView(m_blocks[size_t(s >> kOffsetBits)].get() + (s & kOffsetMask),
                           qsizetype(m_rowLength[size_t(row)]));
    }

    // Field index 0 .. commaCount() of the row.
    QStringView field(qint64 row, int index) const {
        const QStringView text = rowText(row);
        const size_t first = size_t(row) * size_t(m_commaCount);
        const qsizetype begin = index == 0 ? 0 : commaAt(first + size_t(index - 1)) + 1;
        const qsizetype end = index == m_commaCount ? text.size() : commaAt(first + size_t(index));
        return text.sliced(begin, end - begin);
    }

    // Appends a line that holds exactly commaCount() commas (the caller has tested it).
    void appendLine(QStringView line);

    // Appends a line whose comma positions the caller already found (commaCount() of them,
    // ascending, relative to the line's start).
    void appendLine(QStringView line, const std::uint32_t* commaPositions);

    // Where the text of rows still to come will about go: codeUnits of it after the next skip
    // code units (in the free end of the last block and in the next block, which is allocated
    // now if needed). Another thread may hand this to prefault() while rows are appended, so
    // that appending meets pages already in memory. Only a hint: the rows go where they fit.
    struct Area {
        void* data[2] = {nullptr, nullptr};
        std::size_t bytes[2] = {0, 0};
    };
    Area upcomingText(qsizetype skip, qsizetype codeUnits);
    // Faults the area's pages in without changing what they hold (where the system can).
    static void prefault(const Area& area);

    // Bytes held, for the benchmark's memory figures.
    std::size_t memoryUsed() const;

private:
    static constexpr int kOffsetBits = 40;
    static constexpr std::uint64_t kOffsetMask = (std::uint64_t(1) << kOffsetBits) - 1;

    char16_t* reserveText(qsizetype length);
    qsizetype nextBlockSize() const;

    std::unique_ptr<char16_t[]> m_spare; // the next block, allocated ahead by upcomingText()
    qsizetype m_spareSize = 0;

    int m_commaCount = 0;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    std::vector<qsizetype> m_blockSize;
    qsizetype m_blockUsed = 0;             // code units used in the last block
    std::vector<std::uint64_t> m_rowStart; // block index << kOffsetBits | offset in the block
    std::vector<std::uint32_t> m_rowLength;
    // commaCount() positions per row: 16-bit while every row is shorter than 65,536 code
    // units, 32-bit from the first longer row on.
    qsizetype commaAt(size_t i) const {
        return m_wideCommas ? qsizetype(m_commas32[i]) : qsizetype(m_commas16[i]);
    }
    void widenCommas();

    bool m_wideCommas = false;
    qint64 m_reservedRows = 0;
    std::vector<std::uint16_t> m_commas16;
    std::vector<std::uint32_t> m_commas32;
};
