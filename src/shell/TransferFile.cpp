// The hand-over file for Zelvo, written through RowWriter.
#include "shell/TransferFile.h"

#include "base/WholeFile.h"
#include "results/RowWriter.h"

#include <QDir>

namespace mdlShare {

QString TransferFileResult::message() const {
    return QStringLiteral("「Zelvo」への転送ファイルを書き込めませんでした。\n%1\n%2")
        .arg(QDir::toNativeSeparators(path), reason);
}

TransferFileResult WriteTransferFile(const QString& path, qint64 rowCount,
                                     const std::function<QByteArrayView(qint64)>& rowBytes,
                                     QByteArrayView prefix,
                                     const std::function<void(qint64)>& progress,
                                     int progressIntervalMs, bool allowInPlace) {
    TransferFileResult result;
    result.path = path;

    // The file lies where others may write too: never through a link planted at its name, and
    // readable by the user alone.
    WholeFile file(path, WholeFile::NoSymbolicLink | WholeFile::OwnerOnly);
    if (allowInPlace)
        file.allowInPlace();
    if (!file.open()) {
        result.reason = file.errorString();
        result.inPlaceOnly = file.inPlaceOnly();
        return result;
    }

    try {
        const bool written = RowWriter::write(
            rowCount,
            [&rowBytes](qint64 begin, qint64 end, QByteArrayView* out) {
                for (qint64 row = begin; row < end; ++row)
                    *out++ = rowBytes(row);
            },
            prefix, [&file](QByteArrayView bytes) { return file.write(bytes); }, progress,
            progressIntervalMs);
        if (!written) {
            result.reason = file.errorString();
            return result;
        }
    } catch (const std::bad_alloc&) {
        file.cancel();
        result.reason = QStringLiteral("メモリーが足りません。");
        return result;
    }
    if (!file.commit())
        result.reason = file.errorString();
    return result;
}

} // namespace mdlShare
