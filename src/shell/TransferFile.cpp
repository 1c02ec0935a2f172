#include "shell/TransferFile.h"

#include "base/WholeFile.h"
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace mdlShare {

namespace {

constexpr qsizetype ChunkBytes = 1 << 20; // rows are gathered and written in pieces this big
constexpr qint64 RowsBetweenClockChecks = 256;

} // namespace

QString TransferFileResult::message() const {
    return QStringLiteral("「Zelvo」への転送ファイルを書き込めませんでした。\n%1\n%2")
        .arg(QDir::toNativeSeparators(path), reason);
}

TransferFileResult WriteTransferFile(const QString& path, qint64 rowCount,
                                     const std::function<QByteArrayView(qint64)>& rowBytes,
                                     QByteArrayView prefix,
                                     const std::function<void(qint64)>& progress,
                                     int progressIntervalMs) {
    TransferFileResult result;
    result.path = path;

    WholeFile file(path);
    if (!file.open()) {
        result.reason = file.errorString();
        return result;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 lastReport = 0;

    QByteArray chunk;
    try {
        chunk.reserve(ChunkBytes + 1024);
        if (rowCount > 0)
            chunk += prefix;
        for (qint64 row = 0; row < rowCount; ++row) {
            chunk += rowBytes(row);
            chunk += "\r\n";
            if (chunk.size() >= ChunkBytes) {
                if (!file.write(chunk)) {
                    result.reason = file.errorString();
                    return result;
                }
                chunk.resize(0);
            }
            if (progress && (row + 1) % RowsBetweenClockChecks == 0 &&
                clock.elapsed() - lastReport >= progressIntervalMs) {
                lastReport = clock.elapsed();
                progress(row + 1);
            }
        }
    } catch (const std::bad_alloc&) {
        file.cancel();
        result.reason = QStringLiteral("メモリーが足りません。");
        return result;
    }
    if (!file.write(chunk)) {
        result.reason = file.errorString();
        return result;
    }
    if (progress)
        progress(rowCount);
    if (!file.commit())
        result.reason = file.errorString();
    return result;
}

} // namespace mdlShare
