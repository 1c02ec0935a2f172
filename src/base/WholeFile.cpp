// Writing a file whole or not at all, and in place only where the caller allowed it.
#include "base/WholeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

QString japaneseFileError(const QString& systemReason) {
    struct Known {
        int code;
        const char* text;
    };
    static const Known known[] = {
        {EACCES, "アクセスが拒否されました。"},
        {EPERM, "この操作は許可されていません。"},
        {ENOENT, "ファイルまたはフォルダーが見つかりません。"},
        {ENOTDIR, "パスの途中にフォルダーでないものがあります。"},
        {EISDIR, "フォルダーです。"},
        {ENOSPC, "ディスクの空き容量が足りません。"},
        {EDQUOT, "ディスクの使用量の上限を超えました。"},
        {EROFS, "読み取り専用のファイルシステムです。"},
        {EFBIG, "ファイルが大きすぎます。"},
        {EIO, "入出力エラーが起きました。"},
        {ENAMETOOLONG, "ファイル名が長すぎます。"},
        {ETXTBSY, "ファイルは使用中です。"},
        {EBUSY, "デバイスまたはリソースが使用中です。"},
        {EMFILE, "開いているファイルが多すぎます。"},
        {ENFILE, "システム全体で開いているファイルが多すぎます。"},
        {EEXIST, "ファイルがすでにあります。"},
        {ELOOP, "シンボリックリンクの階層が深すぎます。"},
        {ENXIO, "デバイスがありません。"},
        {ESTALE, "ネットワーク上のファイルが使えなくなりました。"},
        {ETIMEDOUT, "接続がタイムアウトしました。"},
    };
    QString reason = systemReason;
    for (const Known& k : known) {
        const QString system = qt_error_string(k.code);
        if (!system.isEmpty() && reason.contains(system))
            reason.replace(system, QString::fromUtf8(k.text));
    }
    return reason;
}

QString inPlaceOnlyText() {
    return QStringLiteral(
        "フォルダーに一時ファイルを作れないため、書き込みませんでした。"
        "（元のファイルに直接書き込むと、途中で失敗したときに元の内容が失われます。）");
}

QString inPlaceQuestion(const QString& path) {
    return QStringLiteral("次のファイルのフォルダーには一時ファイルを作れません。\r\n%1\r\n\r\n"
                          "元のファイルに直接書き込みますか？\r\n"
                          "書き込みが途中で失敗すると、元のファイルの内容は失われます。")
        .arg(QDir::toNativeSeparators(path));
}

namespace {

// The bytes written before the system is asked to start writing them out.
constexpr qint64 kWritebackBytes = 8 << 20;

// With the rights this process writes with (its effective ones).
bool writableByUs(const QString& path) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

// Qt's words for a failure it knows no reason for, translated or not.
bool isUnknownReason(const QString& reason) {
    return reason.isEmpty() || reason == u"Unknown error" || reason == QBuffer().errorString();
}

} // namespace

void WholeFile::failed(int systemError) {
    if (m_error == QFileDevice::NoError) {
        const bool known = m_file.error() != QFileDevice::NoError;
        m_error = known ? m_file.error() : QFileDevice::WriteError;
        m_reason = known ? m_file.errorString() : QString();
        // A write that got part of its bytes out reports no reason (Qt keeps the system's only
        // when nothing was written): the system's own code, taken right after the write, says it.
        if (isUnknownReason(m_reason) && systemError != 0)
            m_reason = qt_error_string(systemError);
    }
    m_file.cancelWriting();
}

void WholeFile::cancel() {
    m_file.cancelWriting();
}

bool WholeFile::open() {
    m_written = 0;
    m_writebackFrom = 0;
    m_inPlaceOnly = false;
    m_error = QFileDevice::NoError;
    m_reason.clear();
    const QFileInfo target(m_file.fileName());
    if ((m_options & NoSymbolicLink) && target.isSymLink()) {
        m_notRegular = true; // QSaveFile would write to the link's target
        return false;
    }
    if (target.exists() && !target.isFile()) {
        (target.isDir() ? m_folder : m_notRegular) = true;
        return false;
    }
    // A folder that refuses the temporary file: the existing file is written in place only when
    // the caller allowed it.
    m_file.setDirectWriteFallback(m_inPlaceAllowed);
    if (m_file.open(QIODevice::WriteOnly)) {
        // Before a byte is written: the temporary file takes the place of the old one as it is.
        if ((m_options & OwnerOnly) &&
            !m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            m_error = QFileDevice::PermissionsError;
            m_reason = m_file.errorString();
            m_file.cancelWriting();
            return false;
        }
        return true;
    }
    m_error = m_file.error();
    m_reason = m_file.errorString();
    if (!m_inPlaceAllowed && target.exists() && writableByUs(target.absoluteFilePath()) &&
        !writableByUs(target.absolutePath()))
        m_inPlaceOnly = true;
    return false;
}

bool WholeFile::write(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return true;
    errno = 0;
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size()) {
        failed(errno);
        return false;
    }
    // A large file: the system starts writing each few megabytes out as they come, instead of
    // all of them in commit's sync after the last write. Only a hint: commit's sync still decides
    // whether the bytes are on the disk.
    m_written += bytes.size();
    if (m_written - m_writebackFrom >= kWritebackBytes) {
        const int fd = m_file.handle();
        if (fd >= 0)
            ::sync_file_range(fd, m_writebackFrom, m_written - m_writebackFrom,
                              SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_written;
    }
    return true;
}

bool WholeFile::commit() {
    errno = 0;
    if (!m_file.flush()) {
        failed(errno);
        return false;
    }
    if (m_file.commit())
        return true;
    if (m_error == QFileDevice::NoError) {
        m_error = m_file.error();
        m_reason = m_file.errorString();
    }
    return false;
}

QFileDevice::FileError WholeFile::error() const {
    if (m_notRegular || m_folder)
        return QFileDevice::OpenError;
    const QFileDevice::FileError e = m_error != QFileDevice::NoError ? m_error : m_file.error();
    return e == QFileDevice::NoError ? QFileDevice::WriteError : e;
}

QString WholeFile::errorString() const {
    if (m_notRegular)
        return QStringLiteral("通常のファイルではありません。");
    if (m_folder)
        return QStringLiteral("同じ名前のフォルダーがあります。");
    if (m_inPlaceOnly)
        return inPlaceOnlyText();
    const QString reason = m_error != QFileDevice::NoError ? m_reason : m_file.errorString();
    return isUnknownReason(reason) ? QStringLiteral("書き込めませんでした。")
                                   : japaneseFileError(reason);
}
