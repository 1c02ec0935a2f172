// Mapped memory, the advice for huge pages, giving pages back, MemAvailable and its pre-check, and
// reading at an offset: the only place the program talks to the system about large memory.
#include "base/LargeMemory.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <new>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace LargeMemory {
namespace {

constexpr std::size_t kUnset = ~std::size_t(0);
std::atomic<std::size_t> g_fakeAvailable{kUnset};

std::size_t systemAvailable() {
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

void* allocate(std::size_t bytes) {
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

void release(void* p, std::size_t bytes) {
#if defined(Q_OS_LINUX)
    if (bytes >= kMapFrom) {
        munmap(p, bytes);
        return;
    }
#endif
    ::operator delete(p);
}

void adviseHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    const auto page = std::uintptr_t(2) << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

void giveBack([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(Q_OS_LINUX)
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#endif
}

std::size_t available() {
    const std::size_t fake = g_fakeAvailable.load();
    return fake != kUnset ? fake : systemAvailable();
}

void checkAvailable(std::size_t bytes) {
    if (bytes < kCheckAvailableFrom)
        return;
    const std::size_t free = available();
    if (free && bytes > free)
        throw std::bad_alloc();
}

void setAvailableForTesting(std::optional<std::size_t> bytes) {
    g_fakeAvailable = bytes ? *bytes : kUnset;
}

qint64 readAt(int fd, char* to, qint64 bytes, qint64 offset) {
    qint64 done = 0;
    while (done < bytes) {
        const ssize_t n = ::pread(fd, to + done, size_t(bytes - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace LargeMemory
