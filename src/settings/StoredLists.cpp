// The condition lists kept in the settings folder between runs.
#include "settings/StoredLists.h"

#include "base/WholeFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace StoredLists {
namespace {

QString tooLarge() {
    return QStringLiteral("%1 バイトより大きいファイルです。").arg(MaxFileBytes);
}

// The store's bytes. Anything but a regular file is refused without waiting on it (a pipe would
// block the start), and so is a file larger than any store.
QString readBytes(const QString& path, QByteArray& bytes, bool& found) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        const int error = errno;
        found = error != ENOENT;
        if (error == ELOOP)
            return QStringLiteral("シンボリックリンクです。");
        return found ? japaneseFileError(QString::fromLocal8Bit(std::strerror(error))) : QString();
    }
    found = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("通常のファイルではありません。");
    }
    if (st.st_size > MaxFileBytes) {
        ::close(fd);
        return tooLarge();
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return japaneseFileError(file.errorString());
    }
    bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return japaneseFileError(file.errorString());
    if (bytes.size() > MaxFileBytes)
        return tooLarge();
    return {};
}

} // namespace

ReadResult read(const QString& path) {
    ReadResult result;
    try {
        QByteArray bytes;
        result.problem = readBytes(path, bytes, result.found);
        if (!result.problem.isEmpty() || !result.found)
            return result;
        ConditionSetFile::ParseResult parsed = ConditionSetFile::parse(QByteArrayView(bytes));
        if (!parsed.badLines.empty()) {
            result.problem =
                QStringLiteral("%1 行目の形式が正しくありません。").arg(parsed.badLines.front());
            return result;
        }
        result.lists = std::move(parsed.lists);
    } catch (const std::bad_alloc&) {
        result.lists = {};
        result.problem = QStringLiteral("メモリーが足りません。");
    }
    return result;
}

QString write(const QString& path, const ConditionSetFile::Lists& lists) {
    bool empty = true;
    for (const std::vector<ConditionEntry>& list : lists)
        empty = empty && list.empty();
    if (empty && !QFileInfo(path).isSymLink() && !QFileInfo::exists(path))
        return {};
    const ConditionSetFile::EncodeResult encoded = ConditionSetFile::encode(lists, true);
    if (!encoded.ok())
        return encoded.error;
    WholeFile file(path, WholeFile::NoSymbolicLink | WholeFile::OwnerOnly);
    if (!file.open() || !file.write(encoded.bytes) || !file.commit())
        return file.errorString();
    return {};
}

} // namespace StoredLists
