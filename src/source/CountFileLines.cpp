#include "source/CountFileLines.h"

#include <QFile>

#include <algorithm>
#include <memory>

namespace mProgress {

std::optional<qint64> CountFileLines(const QString& path, const std::function<void()>& afterChunk) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    constexpr qint64 kChunk = 1 << 20;
    const auto buffer = std::make_unique_for_overwrite<char[]>(size_t(kChunk));
    qint64 lines = 0;
    for (;;) {
        const qint64 n = file.read(buffer.get(), kChunk);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        lines += std::count(buffer.get(), buffer.get() + n, '\n');
        if (afterChunk)
            afterChunk();
    }
    return lines;
}

} // namespace mProgress
