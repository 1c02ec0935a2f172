#include "source/CountFileLines.h"

#include <QFile>

#include <algorithm>
#include <future>
#include <memory>
#include <thread>

namespace mProgress {

namespace {

constexpr qint64 kChunk = 1 << 20;
// From this size on the second half of the file is counted on a helper thread.
constexpr qint64 kSplitBytes = 2 * kChunk;

// Counts the LF bytes from byte from up to byte to (or the end of the file when to < 0).
std::optional<qint64> countRange(QFile& file, qint64 from, qint64 to,
                                 const std::function<void()>& afterChunk) {
    if (from > 0 && !file.seek(from))
        return std::nullopt;
    const auto buffer = std::make_unique_for_overwrite<char[]>(size_t(kChunk));
    qint64 lines = 0;
    qint64 pos = from;
    while (to < 0 || pos < to) {
        const qint64 want = to < 0 ? kChunk : std::min(kChunk, to - pos);
        const qint64 n = file.read(buffer.get(), want);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        pos += n;
        lines += std::count(buffer.get(), buffer.get() + n, '\n');
        if (afterChunk)
            afterChunk();
    }
    return lines;
}

} // namespace

std::optional<qint64> CountFileLines(const QString& path, const std::function<void()>& afterChunk) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    const qint64 size = file.size();
    if (size < kSplitBytes || std::thread::hardware_concurrency() < 2)
        return countRange(file, 0, -1, afterChunk);
    // Two halves at once; this thread keeps the first, so afterChunk is called here only.
    const qint64 half = size / 2;
    std::future<std::optional<qint64>> second =
        std::async(std::launch::async, [&path, half]() -> std::optional<qint64> {
            QFile other(path);
            if (!other.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                return std::nullopt;
            return countRange(other, half, -1, {});
        });
    const std::optional<qint64> first = countRange(file, 0, half, afterChunk);
    const std::optional<qint64> rest = second.get();
    if (!first || !rest)
        return std::nullopt;
    return *first + *rest;
}

} // namespace mProgress
