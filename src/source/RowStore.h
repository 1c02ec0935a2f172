#pragma once

#include "base/TextCodec.h"
#include "source/FieldMode.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The source table: every accepted line of the data file, kept as the file's own bytes (without
// the line end) in large blocks, with a short offset and length per row. A row's text is the
// accepted line itself (all fields joined by ","); fields are found by looking for the comma
// bytes, which never occur inside a character. Text is decoded from the bytes when it is needed.
//
// In the quoted field mode a row is a record: its bytes as the file holds them (quotes, and line
// breaks inside quoted fields, as they were), and its fields are cut by the quoted rule
// (QuotedFields); a field's text leaves out its enclosing quotes.
//
// Rows and fields are numbered from 0 here; the window numbers columns from 1.
class RowStore {
public:
    RowStore();
    ~RowStore();
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;

    // Empties the store (giving its memory back) and fixes the number of commas every row has and
    // the encoding of the bytes.
    void reset(int commaCount, TextEncoding encoding = TextEncoding::Cp932,
               bool byteOrderMark = false);

    // Fixes the encoding once the file's bytes have shown it, before rows are made of them.
    void setEncoding(TextEncoding encoding, bool byteOrderMark) {
        m_encoding = encoding;
        m_byteOrderMark = byteOrderMark;
    }
    // Sets the field mode (reset() sets plain) and, with it, the comma count; the blocks stay, so
    // a reader can decide the mode on bytes already read. Only while the store has no row.
    void setFieldMode(FieldMode mode, int commaCount);
    FieldMode fieldMode() const { return m_fieldMode; }
    // Some quoted field has text after its closing quote (set by the reader).
    void setIrregularQuotes(bool irregular) { m_irregularQuotes = irregular; }
    bool irregularQuotes() const { return m_irregularQuotes; }

    // Drops the rows (and the quotes' mark) but keeps the blocks and the tables' memory: a reader
    // that goes through a file batch by batch fills the same memory again.
    void clearRows();

    // Makes room for this many rows, so a load of known length does not regrow its tables.
    void reserve(qint64 rows);

    int commaCount() const { return m_commaCount; }
    int fieldCount() const { return m_commaCount + 1; }
    qint64 rowCount() const { return qint64(m_rowLength.size()); }
    bool isEmpty() const { return m_rowLength.empty(); }
    TextEncoding encoding() const { return m_encoding; }
    // The data file began with a UTF-8 byte-order mark (written again at the start of a result).
    bool byteOrderMark() const { return m_byteOrderMark; }

    // The row's bytes: its fields joined by ",".
    QByteArrayView rowBytes(qint64 row) const {
        const std::uint16_t length = m_rowLength[size_t(row)];
        if (length == kFarLength) [[unlikely]]
            return farBytes(row);
        return QByteArrayView(m_groups[size_t(row) >> kGroupBits].data + m_rowOffset[size_t(row)],
                              qsizetype(length));
    }
    // The block the row's bytes lie in (rows of one block lie in file order).
    int rowBlock(qint64 row) const {
        if (m_rowLength[size_t(row)] == kFarLength) [[unlikely]]
            return m_far[m_rowOffset[size_t(row)]].block;
        return m_groups[size_t(row) >> kGroupBits].block;
    }
    // Field index 0 .. commaCount() of the row: its bytes in the row (in quoted mode with its
    // quotes; fieldText gives its text).
    QByteArrayView fieldBytes(qint64 row, int index) const;
    // The field's text as bytes: fieldBytes in plain mode, without the enclosing quotes and with
    // "" read as '"' in quoted mode (then a copy in scratch where anything changes).
    QByteArrayView fieldText(qint64 row, int index, QByteArray& scratch) const;

    QString decode(QByteArrayView bytes) const { return TextCodec::decode(m_encoding, bytes); }
    QString rowText(qint64 row) const { return decode(rowBytes(row)); }
    QString field(qint64 row, int index) const {
        QByteArray scratch;
        return decode(fieldText(row, index, scratch));
    }

    // Appends a copy of a line that holds exactly commaCount() commas (the caller has tested it).
    void appendLine(QByteArrayView line);
    // The same for text, stored in the store's encoding. False (nothing appended) when the
    // encoding cannot hold a character of it.
    bool appendLine(QStringView text);

    // For a reader that fills the store's memory itself: a new block of `bytes` bytes (its
    // content undefined) and its index. Rows in it are then added with addRow.
    int addBlock(std::size_t bytes);
    int blockCount() const { return int(m_blocks.size()); }
    char* blockData(int block) { return m_blocks[size_t(block)].data; }
    std::size_t blockSize(int block) const { return m_blocks[size_t(block)].size; }
    // A row of `length` bytes at `offset` in the block.
    void addRow(int block, std::size_t offset, std::size_t length);
    // n rows at once: offsets[i] and lengths[i] in the block.
    void addRows(int block, const std::uint64_t* offsets, const std::uint32_t* lengths,
                 std::size_t n);
    // Rows longer than this cannot be kept.
    static constexpr std::size_t kMaxRowBytes = 0xFFFFFFFFu;
    // The most rows a load keeps. The picked rows, the result list, its sorts and the pickup run
    // hold row numbers in 32 bits (4 bytes a picked row, where millions are picked), and the list
    // views count rows in an int, so a file of more rows is refused by the load (DataLoadJob)
    // rather than numbered or shown wrongly.
    static constexpr qint64 kMaxRows = qint64(std::numeric_limits<int>::max());

    // The header line (the file's first line, when the user says it names the columns): kept
    // apart from the rows, so row numbers, counts, sort and pickup never see it. reset() drops it.
    bool hasHeader() const { return m_hasHeader; }
    QByteArrayView headerBytes() const { return m_header; }
    // Field index 0 .. commaCount() of the header, decoded; empty past its last field.
    QString headerField(int index) const;
    // Makes row 0 the header: it leaves the rows, and every later row moves up by one.
    void takeFirstRowAsHeader();
    // A header that was never a row (an empty first line).
    void setHeader(QByteArrayView line);

    // Tests: the block memory the store may take in all, beyond which it throws std::bad_alloc as
    // when the system has no more (0 = no limit but the system's).
    static void setMemoryLimitForTesting(std::size_t bytes);

private:
    // The row tables, 6 bytes a row: rows are numbered in groups of kGroupRows, each with a base
    // (the block and place its first row lies at); a row keeps its offset from its group's base
    // (32 bits) and its length (16 bits). A row that does not fit that (in another block than its
    // group's base, too far from it, or kFarLength bytes or longer: corrections, very long lines)
    // is kept in full in m_far, its length marked kFarLength and its offset the index there.
    static constexpr int kGroupBits = 12;
    static constexpr std::size_t kGroupRows = std::size_t(1) << kGroupBits;
    static constexpr std::uint16_t kFarLength = 0xFFFF;
    struct Group {
        const char* data; // the base: where the group's first row begins
        int block;
        std::size_t offset; // of data in the block
    };
    struct FarRow {
        int block;
        std::size_t offset;
        std::size_t length;
    };
    QByteArrayView farBytes(qint64 row) const;
    // Where the row lies: its block, its offset there and its length.
    FarRow rowPlace(qint64 row) const;
    // Appends a row to both tables (room for it reserved by the caller).
    void pushRow(int block, std::size_t offset, std::size_t length);

    // Large blocks are mapped straight from the system, so giving them back returns the memory at
    // once and pages never written cost nothing.
    struct Block {
        char* data = nullptr;
        std::size_t size = 0;
        Block() = default;
        explicit Block(std::size_t bytes);
        Block(Block&& other) noexcept;
        Block& operator=(Block&& other) noexcept;
        ~Block();
    };

    // The row tables' memory: large tables are mapped like the blocks (in huge pages where the
    // system gives them, so that millions of rows do not cost a page fault per 4 KiB).
    template <typename T> struct TableAllocator {
        using value_type = T;
        TableAllocator() = default;
        template <typename U> TableAllocator(const TableAllocator<U>&) {}
        T* allocate(std::size_t n) { return static_cast<T*>(allocateTable(n * sizeof(T))); }
        void deallocate(T* p, std::size_t n) { freeTable(p, n * sizeof(T)); }
        template <typename U> bool operator==(const TableAllocator<U>&) const { return true; }
    };
    // The memory of blocks and tables alike (LargeMemory::allocate).
    static void* allocateTable(std::size_t bytes);
    static void freeTable(void* p, std::size_t bytes);
    // Makes room for `rows` rows in both tables, after the pre-check against free memory.
    void growTables(std::size_t rows);

    int m_commaCount = 0;
    FieldMode m_fieldMode = FieldMode::Plain;
    bool m_irregularQuotes = false;
    TextEncoding m_encoding = TextEncoding::Cp932;
    bool m_byteOrderMark = false;
    std::vector<Block> m_blocks;
    std::vector<std::uint32_t, TableAllocator<std::uint32_t>> m_rowOffset;
    std::vector<std::uint16_t, TableAllocator<std::uint16_t>> m_rowLength;
    std::vector<Group> m_groups;
    std::vector<FarRow> m_far;
    QByteArray m_header;
    bool m_hasHeader = false;
    int m_copyBlock = -1; // the block appendLine() copies into
    std::size_t m_copyUsed = 0;
};
