// Telling ordinary files from pipes, devices, folders and the kernel's files.
#include "base/FileKind.h"

#include <QDir>
#include <QFileInfo>

namespace FileKind {
namespace {

bool underSystemTree(const QString& path) {
    const QFileInfo info(path);
    QString full = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    full = QDir::cleanPath(full);
    for (const QLatin1StringView top :
         {QLatin1StringView("/proc"), QLatin1StringView("/sys"), QLatin1StringView("/dev")}) {
        if (full == top || full.startsWith(top + u'/'))
            return true;
    }
    return false;
}

} // namespace

QString notReadableReason(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return QStringLiteral("フォルダーはファイルとして開けません。");
    if (!info.isFile())
        return QStringLiteral("通常のファイルではない（パイプや装置など）ため、読み込みません。");
    if (underSystemTree(path))
        return QStringLiteral("システムの特殊なファイルのため、読み込みません。");
    return {};
}

bool isSystemFolder(const QString& path) {
    return !path.isEmpty() && underSystemTree(path);
}

} // namespace FileKind
