// What every reader of a data file does alike: opening, failure reasons, a row's limits.
#include "source/DataFileAccess.h"

#include "base/FileKind.h"
#include "source/RowStore.h"

#include <QFileInfo>

#include <limits>

namespace DataFileAccess {
namespace {

QString openFailureReason(const QString& path, const QFile& file) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("ファイルが見つかりません。");
    if (file.error() == QFileDevice::PermissionsError || !info.isReadable())
        return QStringLiteral("ファイルを読み込む権限がありません。");
    return QStringLiteral("ファイルを開けません（%1）。").arg(file.errorString());
}

} // namespace

bool openForReading(QFile& file, const QString& path, QString& error) {
    error = FileKind::notReadableReason(path);
    if (!error.isEmpty())
        return false;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = openFailureReason(path, file);
        return false;
    }
    return true;
}

QString readFailureReason(const QFile& file) {
    return QStringLiteral("ファイルを読み込めません（%1）。").arg(file.errorString());
}

bool tooLong(const ByteKernels::LineCuts::Bad& line, std::size_t commaCount) {
    return line.length > RowStore::kMaxRowBytes && line.commas == commaCount;
}

QString tooLongText(qint64 lineNumber) {
    return QStringLiteral("%1 行目が長すぎます。").arg(lineNumber);
}

bool tooManyColumns(qsizetype commas) {
    return commas >= std::numeric_limits<int>::max();
}

QString tooManyColumnsText() {
    return QStringLiteral("1 行目の列が多すぎます。");
}

} // namespace DataFileAccess
