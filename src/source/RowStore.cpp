#include "source/RowStore.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kMapFrom = 1 << 20;     // blocks this big come straight from mmap
constexpr std::size_t kCopyBlock = 64 * 1024; // appendLine()'s blocks
constexpr std::size_t kCheckAvailableFrom = 64
                                            << 20; // blocks this big are held against free memory

std::atomic<std::size_t> g_limit{0};
std::atomic<std::size_t> g_held{0};

// The memory the system can still give without swapping, or 0 when it does not say.
std::size_t availableMemory() {
#if defined(Q_OS_LINUX)
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = meminfo.read(4096);
    const qsizetype at = text.indexOf("MemAvailable:");
    if (at < 0)
        return 0;
    const qsizetype end = text.indexOf('\n', at);
    const QByteArray kb = text.mid(at + 13, end - at - 13).trimmed().split(' ').value(0);
    return std::size_t(kb.toULongLong()) * 1024;
#else
    return 0;
#endif
}

} // namespace

RowStore::Block::Block(std::size_t bytes) : size(bytes) {
    const std::size_t limit = g_limit.load();
    if (limit && g_held.load() + bytes > limit)
        throw std::bad_alloc();
    if (bytes >= kCheckAvailableFrom) {
        // A block that cannot be had in memory would only be taken from the other programs (or
        // end this one) once it is written: say so now instead.
        const std::size_t available = availableMemory();
        if (available && bytes > available)
            throw std::bad_alloc();
    }
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
#if defined(Q_OS_LINUX)
    if (bytes >= kMapFrom) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
        madvise(p, bytes, MADV_HUGEPAGE);
#endif
        return p;
    }
#endif
    return ::operator new(bytes);
}

void RowStore::freeTable(void* p, std::size_t bytes) {
#if defined(Q_OS_LINUX)
    if (bytes >= kMapFrom) {
        munmap(p, bytes);
        return;
    }
#endif
    ::operator delete(p);
}

RowStore::RowStore() = default;
RowStore::~RowStore() = default;

void RowStore::setMemoryLimitForTesting(std::size_t bytes) {
    g_limit = bytes;
}

void RowStore::reset(int commaCount, TextEncoding encoding, bool byteOrderMark) {
    m_commaCount = commaCount;
    m_encoding = encoding;
    m_byteOrderMark = byteOrderMark;
    m_blocks = std::vector<Block>();
    m_rowStart = decltype(m_rowStart)();
    m_rowLength = decltype(m_rowLength)();
    m_copyBlock = -1;
    m_copyUsed = 0;
}

void RowStore::reserve(qint64 rows) {
    if (rows <= 0)
        return;
    m_rowStart.reserve(size_t(rows));
    m_rowLength.reserve(size_t(rows));
}

QByteArrayView RowStore::fieldBytes(qint64 row, int index) const {
    const QByteArrayView text = rowBytes(row);
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
        const std::size_t capacity = std::max(before + n, 2 * m_rowStart.capacity());
        m_rowStart.reserve(capacity);
        m_rowLength.reserve(capacity);
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
