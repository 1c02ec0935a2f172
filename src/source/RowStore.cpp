// The row store: its blocks, its row tables and the memory both take.
#include "source/RowStore.h"

#include "base/LargeMemory.h"
#include "source/QuotedFields.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::size_t kCopyBlock = 64 * 1024; // appendLine()'s blocks
// The bytes of both row tables per row.
constexpr std::size_t kTableBytesPerRow = sizeof(std::uint32_t) + sizeof(std::uint16_t);

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
    m_rowOffset.reserve(rows);
    m_rowLength.reserve(rows);
    m_groups.reserve(rows / kGroupRows + 1);
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
    m_rowOffset = decltype(m_rowOffset)();
    m_rowLength = decltype(m_rowLength)();
    m_groups = std::vector<Group>();
    m_far = std::vector<FarRow>();
    m_copyBlock = -1;
    m_copyUsed = 0;
    m_header = QByteArray();
    m_hasHeader = false;
}

void RowStore::clearRows() {
    m_rowOffset.clear();
    m_rowLength.clear();
    m_groups.clear();
    m_far.clear();
    m_irregularQuotes = false;
}

void RowStore::reserve(qint64 rows) {
    if (rows <= 0 ||
        (size_t(rows) <= m_rowOffset.capacity() && size_t(rows) <= m_rowLength.capacity()))
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

void RowStore::pushRow(int block, std::size_t offset, std::size_t length) {
    const std::size_t row = m_rowLength.size();
    if (m_groups.size() <= row >> kGroupBits)
        m_groups.push_back({m_blocks[size_t(block)].data + offset, block, offset});
    const Group& group = m_groups.back();
    if (block == group.block && offset >= group.offset &&
        offset - group.offset <= std::numeric_limits<std::uint32_t>::max() && length < kFarLength) {
        m_rowOffset.push_back(std::uint32_t(offset - group.offset));
        m_rowLength.push_back(std::uint16_t(length));
        return;
    }
    m_far.push_back({block, offset, length});
    m_rowOffset.push_back(std::uint32_t(m_far.size() - 1));
    m_rowLength.push_back(kFarLength);
}

void RowStore::addRow(int block, std::size_t offset, std::size_t length) {
    const std::size_t before = m_rowLength.size();
    if (before + 1 > m_rowOffset.capacity() || before + 1 > m_rowLength.capacity())
        growTables(std::max<std::size_t>(before + 1, 2 * m_rowLength.capacity()));
    pushRow(block, offset, length);
}

void RowStore::addRows(int block, const std::uint64_t* offsets, const std::uint32_t* lengths,
                       std::size_t n) {
    const std::size_t before = m_rowLength.size();
    if (before + n > m_rowOffset.capacity() || before + n > m_rowLength.capacity()) {
        // Grown by doubling, so that a load of many short stretches stays linear.
        growTables(std::max(before + n, 2 * m_rowLength.capacity()));
    }
    // The tables do not allocate below (room is made above); a group or a far row may.
    for (std::size_t i = 0; i < n; ++i)
        pushRow(block, std::size_t(offsets[i]), std::size_t(lengths[i]));
}

RowStore::FarRow RowStore::rowPlace(qint64 row) const {
    if (m_rowLength[size_t(row)] == kFarLength)
        return m_far[m_rowOffset[size_t(row)]];
    const Group& group = m_groups[size_t(row) >> kGroupBits];
    return {group.block, group.offset + m_rowOffset[size_t(row)], m_rowLength[size_t(row)]};
}

QByteArrayView RowStore::farBytes(qint64 row) const {
    const FarRow& far = m_far[m_rowOffset[size_t(row)]];
    return QByteArrayView(m_blocks[size_t(far.block)].data + far.offset, qsizetype(far.length));
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
    if (m_rowLength.empty())
        return;
    // Called once, early in a load, while the tables are still short: the rows after the first
    // are numbered (and grouped) anew, in tables of the same room; a failure leaves them as they
    // were.
    std::vector<FarRow> rest;
    rest.reserve(m_rowLength.size() - 1);
    for (qint64 row = 1; row < rowCount(); ++row)
        rest.push_back(rowPlace(row));
    QByteArray header = rowBytes(0).toByteArray();
    auto offsets = std::move(m_rowOffset);
    auto lengths = std::move(m_rowLength);
    auto groups = std::move(m_groups);
    auto far = std::move(m_far);
    try {
        m_rowOffset = {};
        m_rowLength = {};
        m_groups = {};
        m_far = {};
        growTables(lengths.capacity());
        for (const FarRow& row : rest)
            pushRow(row.block, row.offset, row.length);
    } catch (...) {
        m_rowOffset = std::move(offsets);
        m_rowLength = std::move(lengths);
        m_groups = std::move(groups);
        m_far = std::move(far);
        throw;
    }
    m_header = std::move(header);
    m_hasHeader = true;
}

void RowStore::setHeader(QByteArrayView line) {
    m_header = line.toByteArray();
    m_hasHeader = true;
}
