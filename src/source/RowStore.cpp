#include "source/RowStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace {
constexpr qsizetype kFirstBlock = 64 * 1024;          // code units
constexpr qsizetype kLargestBlock = 16 * 1024 * 1024; // code units (32 MB)
} // namespace

RowStore::RowStore() = default;
RowStore::~RowStore() = default;

void RowStore::reset(int commaCount) {
    m_commaCount = commaCount;
    m_blocks.clear();
    m_blockSize.clear();
    m_blockUsed = 0;
    m_spare.reset();
    m_spareSize = 0;
    m_rowStart = {};
    m_rowLength = {};
    m_wideCommas = false;
    m_reservedRows = 0;
    m_commas16 = {};
    m_commas32 = {};
}

void RowStore::reserve(qint64 rows) {
    if (rows <= 0)
        return;
    m_rowStart.reserve(size_t(rows));
    m_rowLength.reserve(size_t(rows));
    m_reservedRows = rows;
    if (m_wideCommas)
        m_commas32.reserve(size_t(rows) * size_t(m_commaCount));
    else
        m_commas16.reserve(size_t(rows) * size_t(m_commaCount));
}

void RowStore::widenCommas() {
    std::vector<std::uint32_t> wide;
    wide.reserve(std::max(m_commas16.capacity(), size_t(m_reservedRows) * size_t(m_commaCount)));
    wide.assign(m_commas16.begin(), m_commas16.end());
    m_commas32 = std::move(wide);
    m_commas16 = {};
    m_wideCommas = true;
}

qsizetype RowStore::nextBlockSize() const {
    return m_blocks.empty() ? kFirstBlock : std::min(m_blockSize.back() * 2, kLargestBlock);
}

char16_t* RowStore::reserveText(qsizetype length) {
    if (m_blocks.empty() || m_blockSize.back() - m_blockUsed < length) {
        if (m_spare && m_spareSize >= length) {
            m_blocks.push_back(std::move(m_spare));
            m_blockSize.push_back(m_spareSize);
        } else {
            const qsizetype size = std::max(nextBlockSize(), length);
            m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(size)));
            m_blockSize.push_back(size);
        }
        m_spare.reset();
        m_spareSize = 0;
        m_blockUsed = 0;
    }
    char16_t* p = m_blocks.back().get() + m_blockUsed;
    m_rowStart.push_back((std::uint64_t(m_blocks.size() - 1) << kOffsetBits) |
                         std::uint64_t(m_blockUsed));
    m_blockUsed += length;
    return p;
}

void RowStore::appendLine(QStringView line, const std::uint32_t* commaPositions) {
    char16_t* p = reserveText(line.size());
    if (!line.isEmpty())
        std::memcpy(p, line.utf16(), size_t(line.size()) * sizeof(char16_t));
    m_rowLength.push_back(std::uint32_t(line.size()));
    if (!m_wideCommas && line.size() > 0xFFFF)
        widenCommas();
    if (m_wideCommas) {
        m_commas32.insert(m_commas32.end(), commaPositions, commaPositions + m_commaCount);
    } else {
        for (int i = 0; i < m_commaCount; ++i)
            m_commas16.push_back(std::uint16_t(commaPositions[i]));
    }
}

void RowStore::appendLine(QStringView line) {
    std::vector<std::uint32_t> commas;
    commas.reserve(size_t(m_commaCount));
    for (qsizetype i = 0; i < line.size(); ++i)
        if (line[i] == u',')
            commas.push_back(std::uint32_t(i));
    commas.resize(size_t(m_commaCount)); // the caller has tested the count
    appendLine(line, commas.data());
}

RowStore::Area RowStore::upcomingText(qsizetype skip, qsizetype codeUnits) {
    Area area;
    // Offsets counted from the first free code unit of the last block.
    const qsizetype free = m_blocks.empty() ? 0 : m_blockSize.back() - m_blockUsed;
    const qsizetype begin = std::max<qsizetype>(skip, 0);
    const qsizetype end = begin + std::max<qsizetype>(codeUnits, 0);
    if (begin < free) {
        area.data[0] = m_blocks.back().get() + m_blockUsed + begin;
        area.bytes[0] = size_t(std::min(end, free) - begin) * sizeof(char16_t);
    }
    if (end > free) {
        if (!m_spare) {
            m_spareSize = nextBlockSize();
            m_spare = std::make_unique_for_overwrite<char16_t[]>(size_t(m_spareSize));
        }
        const qsizetype from = std::min(std::max<qsizetype>(begin - free, 0), m_spareSize);
        const qsizetype to = std::min(end - free, m_spareSize);
        area.data[1] = m_spare.get() + from;
        area.bytes[1] = size_t(to - from) * sizeof(char16_t);
    }
    return area;
}

void RowStore::prefault([[maybe_unused]] const Area& area) {
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    const auto page = std::uintptr_t(4096);
    for (int i = 0; i < 2; ++i) {
        // Whole pages inside the area only: madvise wants a page-aligned start.
        const auto begin =
            (reinterpret_cast<std::uintptr_t>(area.data[i]) + page - 1) & ~(page - 1);
        const auto end =
            (reinterpret_cast<std::uintptr_t>(area.data[i]) + area.bytes[i]) & ~(page - 1);
        if (area.data[i] && end > begin)
            madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    }
#endif
}

std::size_t RowStore::memoryUsed() const {
    std::size_t bytes = 0;
    for (qsizetype s : m_blockSize)
        bytes += size_t(s) * sizeof(char16_t);
    bytes += size_t(m_spareSize) * sizeof(char16_t);
    bytes += m_rowStart.capacity() * sizeof(std::uint64_t);
    bytes += m_rowLength.capacity() * sizeof(std::uint32_t);
    bytes += m_commas16.capacity() * sizeof(std::uint16_t);
    bytes += m_commas32.capacity() * sizeof(std::uint32_t);
    return bytes;
}
