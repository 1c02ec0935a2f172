// The row store: its blocks, its row tables and the memory both take.
#include "source/RowStore.h"

#include "base/LargeMemory.h"
#include "source/QuotedFields.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kCopyBlock = 64 * 1024; // appendLine()'s blocks
// The bytes of both row tables per row.
constexpr std::size_t kTableBytesPerRow = sizeof(std::uint64_t) + sizeof(std::uint32_t);

std::atomic<std::size_t> g_limit{0};
std::atomic<std::size_t> g_held{0};

} // namespace

RowStore::Block::Block(std::size_t bytes) : size(bytes) {
    const std::size_t limit = g_limit.load();
    if (limit && g_held.load() + bytes > limit)
        throw std::bad_alloc();
    data = static_cast<char*>(allocateTable(bytes));
    g_held += bytes;
}

RowStore::Block::Block(Block&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)) {}

RowStore::Block& RowStore::Block::operator=(Block&& other) noexcept {
    std::swap(data, other.data);
    std::swap(size, other.size);
    return *this;
}

RowStore::Block::~Block() {
    if (!data)
        return;
    g_held -= size;
    freeTable(data, size);
}

void* RowStore::allocateTable(std::size_t bytes) {
    // Memory that cannot be had would only be taken from the other programs (or end this one)
    // once it is written: say so now instead.
    LargeMemory::checkAvailable(bytes);
    return LargeMemory::allocate(bytes);
}

void RowStore::freeTable(void* p, std::size_t bytes) {
    LargeMemory::release(p, bytes);
}

void RowStore::growTables(std::size_t rows) {
    // Both tables at once, held against free memory like a block: for a file of short lines they
    // are several times the file's size.
    LargeMemory::checkAvailable(rows * kTableBytesPerRow);
    m_rowStart.reserve(rows);
    m_rowLength.reserve(rows);
}

RowStore::RowStore() = default;
RowStore::~RowStore() = default;

void RowStore::setMemoryLimitForTesting(std::size_t bytes) {
    g_limit = bytes;
}

void RowStore::reset(int commaCount, TextEncoding encoding, bool byteOrderMark) {
    m_commaCount = commaCount;
    m_fieldMode = FieldMode::Plain;
    m_irregularQuotes = false;
    m_encoding = encoding;
    m_byteOrderMark = byteOrderMark;
    m_blocks = std::vector<Block>();
    m_rowStart = decltype(m_rowStart)();
    m_rowLength = decltype(m_rowLength)();
    m_copyBlock = -1;
    m_copyUsed = 0;
    m_header = QByteArray();
    m_hasHeader = false;
}

void RowStore::clearRows() {
    m_rowStart.clear();
    m_rowLength.clear();
    m_irregularQuotes = false;
}

void RowStore::reserve(qint64 rows) {
    if (rows <= 0 ||
        (size_t(rows) <= m_rowStart.capacity() && size_t(rows) <= m_rowLength.capacity()))
        return;
    growTables(size_t(rows));
}

void RowStore::setFieldMode(FieldMode mode, int commaCount) {
    m_fieldMode = mode;
    m_commaCount = commaCount;
}

QByteArrayView RowStore::fieldText(qint64 row, int index, QByteArray& scratch) const {
    const QByteArrayView bytes = fieldBytes(row, index);
    return m_fieldMode == FieldMode::Quoted ? QuotedFields::fieldText(bytes, scratch) : bytes;
}

QByteArrayView RowStore::fieldBytes(qint64 row, int index) const {
    const QByteArrayView text = rowBytes(row);
    if (m_fieldMode == FieldMode::Quoted) {
        thread_local std::vector<qsizetype> ends;
        QuotedFields::fieldEnds(text, ends);
        if (index < 0 || size_t(index) >= ends.size())
            return {};
        const qsizetype begin = index == 0 ? 0 : ends[size_t(index) - 1] + 1;
        return text.sliced(begin, ends[size_t(index)] - begin);
    }
    const char* begin = text.data();
    const char* const end = text.data() + text.size();
    for (int i = 0; i < index && begin; ++i) {
        const void* comma = std::memchr(begin, ',', size_t(end - begin));
        begin = comma ? static_cast<const char*>(comma) + 1 : nullptr;
    }
    if (!begin)
        return {};
    const void* comma = std::memchr(begin, ',', size_t(end - begin));
    return QByteArrayView(begin, (comma ? static_cast<const char*>(comma) : end) - begin);
}

int RowStore::addBlock(std::size_t bytes) {
    m_blocks.reserve(m_blocks.size() + 1); // so that a failure below leaves nothing half-done
    m_blocks.emplace_back(std::max<std::size_t>(bytes, 1));
    return int(m_blocks.size() - 1);
}

void RowStore::addRows(int block, const std::uint64_t* offsets, const std::uint32_t* lengths,
                       std::size_t n) {
    const std::size_t before = m_rowStart.size();
    if (before + n > m_rowStart.capacity() || before + n > m_rowLength.capacity()) {
        // Grown by doubling, so that a load of many short stretches stays linear.
        growTables(std::max(before + n, 2 * m_rowStart.capacity()));
    }
    // Nothing below allocates: both tables grow together.
    const std::uint64_t high = std::uint64_t(block) << kOffsetBits;
    for (std::size_t i = 0; i < n; ++i)
        m_rowStart.push_back(high | offsets[i]);
    m_rowLength.insert(m_rowLength.end(), lengths, lengths + n);
}

void RowStore::appendLine(QByteArrayView line) {
    const std::size_t length = std::size_t(line.size());
    if (m_copyBlock < 0 || m_blocks[size_t(m_copyBlock)].size - m_copyUsed < length) {
        m_copyBlock = addBlock(std::max(kCopyBlock, length));
        m_copyUsed = 0;
    }
    if (length > 0)
        std::memcpy(m_blocks[size_t(m_copyBlock)].data + m_copyUsed, line.data(), length);
    addRow(m_copyBlock, m_copyUsed, length);
    m_copyUsed += length;
}

bool RowStore::appendLine(QStringView text) {
    QByteArray bytes;
    if (TextCodec::encodeAppend(m_encoding, text, bytes) >= 0)
        return false;
    appendLine(QByteArrayView(bytes));
    return true;
}

QString RowStore::headerField(int index) const {
    if (m_fieldMode == FieldMode::Quoted) {
        std::vector<qsizetype> ends;
        QuotedFields::fieldEnds(m_header, ends);
        if (index < 0 || size_t(index) >= ends.size())
            return {};
        const qsizetype begin = index == 0 ? 0 : ends[size_t(index) - 1] + 1;
        QByteArray scratch;
        return decode(QuotedFields::fieldText(
            QByteArrayView(m_header).sliced(begin, ends[size_t(index)] - begin), scratch));
    }
    QByteArrayView rest = m_header;
    for (int i = 0; i < index; ++i) {
        const qsizetype comma = rest.indexOf(',');
        if (comma < 0)
            return {};
        rest = rest.sliced(comma + 1);
    }
    const qsizetype comma = rest.indexOf(',');
    return decode(comma < 0 ? rest : rest.first(comma));
}

void RowStore::takeFirstRowAsHeader() {
    if (m_rowStart.empty())
        return;
    setHeader(rowBytes(0));
    // Called once, early in a load, while the tables are still short.
    m_rowStart.erase(m_rowStart.begin());
    m_rowLength.erase(m_rowLength.begin());
}

void RowStore::setHeader(QByteArrayView line) {
    m_header = line.toByteArray();
    m_hasHeader = true;
}
