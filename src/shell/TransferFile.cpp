#include "shell/TransferFile.h"

#include "source/Cp932.h"

#include "settings/WholeFile.h"
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace mdlShare {

namespace {

constexpr qsizetype ChunkChars = 256 * 1024; // rows are gathered and encoded in pieces this big
constexpr qint64 RowsBetweenClockChecks = 256;

QString unencodableReason(qint64 row, QStringView text, qsizetype index) {
    const QChar first = text[index];
    const QChar second = index + 1 < text.size() ? text[index + 1] : QChar();
    const char32_t c = first.isHighSurrogate() && second.isLowSurrogate()
                           ? QChar::surrogateToUcs4(first, second)
                           : char32_t(first.unicode());
    const QString code = QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
    return QStringLiteral("%1 行目の文字「%2」(U+%3) は Shift-JIS で書き込めません。")
        .arg(row + 1)
        .arg(QString::fromUcs4(&c, 1), code);
}

// The reason a write failed; never empty, so that a failure is never taken for success.

} // namespace

QString TransferFileResult::message() const {
    return QStringLiteral("「Zelvo」への転送ファイルを書き込めませんでした。\n%1\n%2")
        .arg(QDir::toNativeSeparators(path), reason);
}

TransferFileResult WriteTransferFile(const QString& path, qint64 rowCount,
                                     const std::function<QStringView(qint64)>& rowText,
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

    QString chunk;
    chunk.reserve(ChunkChars + 1024);
    std::vector<qsizetype> rowStarts; // where each row of the chunk begins in it
    qint64 chunkFirstRow = 0;
    QByteArray bytes;

    auto flushChunk = [&]() -> bool {
        bytes.resize(0); // keeps the buffer for the next chunk
        const qsizetype bad = Cp932::encodeAppend(chunk, bytes);
        if (bad >= 0) {
            const auto it = std::upper_bound(rowStarts.begin(), rowStarts.end(), bad) - 1;
            const qint64 row = chunkFirstRow + (it - rowStarts.begin());
            const QStringView text = QStringView(chunk).sliced(*it);
            result.reason = unencodableReason(row, text, bad - *it);
            return false;
        }
        if (!file.write(bytes)) {
            result.reason = file.errorString();
            return false;
        }
        chunk.resize(0);
        rowStarts.clear();
        return true;
    };

    for (qint64 row = 0; row < rowCount; ++row) {
        if (rowStarts.empty())
            chunkFirstRow = row;
        rowStarts.push_back(chunk.size());
        chunk += rowText(row);
        chunk += QLatin1String("\r\n");
        if (chunk.size() >= ChunkChars && !flushChunk()) {
            file.cancel();
            return result;
        }
        if (progress && (row + 1) % RowsBetweenClockChecks == 0 &&
            clock.elapsed() - lastReport >= progressIntervalMs) {
            lastReport = clock.elapsed();
            progress(row + 1);
        }
    }
    if (!chunk.isEmpty() && !flushChunk()) {
        file.cancel();
        return result;
    }
    if (progress)
        progress(rowCount);
    if (!file.commit())
        result.reason = file.errorString();
    return result;
}

} // namespace mdlShare
