// Telling ordinary files from pipes, devices, folders and the kernel's files.
#include "base/FileKind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <initializer_list>

#include <sys/stat.h>

namespace FileKind {
namespace {

bool underOneOf(const QString& path, std::initializer_list<QLatin1StringView> tops) {
    const QFileInfo info(path);
    QString full = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    full = QDir::cleanPath(full);
    for (const QLatin1StringView top : tops) {
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
    // The kernel's files. (An ordinary file under /dev, on the tmpfs of /dev/shm, is read.)
    if (underOneOf(path, {QLatin1StringView("/proc"), QLatin1StringView("/sys")}))
        return QStringLiteral("システムの特殊なファイルのため、読み込みません。");
    return {};
}

bool isSameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {};
    struct stat sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool isSystemFolder(const QString& path) {
    return !path.isEmpty() &&
           underOneOf(path, {QLatin1StringView("/proc"), QLatin1StringView("/sys"),
                             QLatin1StringView("/dev")});
}

} // namespace FileKind
