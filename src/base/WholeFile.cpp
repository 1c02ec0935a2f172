// Writing a file whole or not at all, and in place where the folder allows nothing else.
#include "base/WholeFile.h"

#include <QFileInfo>

#include <cerrno>

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
        {ENOSPC, "ディスクに空き領域がありません。"},
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
    };
    QString reason = systemReason;
    for (const Known& k : known) {
        const QString system = qt_error_string(k.code);
        if (!system.isEmpty() && reason.contains(system))
            reason.replace(system, QString::fromUtf8(k.text));
    }
    return reason;
}

bool WholeFile::open() {
    const QFileInfo target(m_file.fileName());
    if ((m_options & NoSymbolicLink) && target.isSymLink()) {
        m_notRegular = true; // QSaveFile would write to the link's target
        return false;
    }
    if (target.exists() && !target.isFile()) {
        (target.isDir() ? m_folder : m_notRegular) = true;
        return false;
    }
    // A folder that refuses the temporary file: the existing file is written in place.
    m_file.setDirectWriteFallback(true);
    if (!m_file.open(QIODevice::WriteOnly))
        return false;
    // Before a byte is written: the temporary file takes the place of the old one as it is.
    if ((m_options & OwnerOnly) &&
        !m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_file.cancelWriting();
        return false;
    }
    return true;
}

bool WholeFile::write(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return true;
    if (m_file.write(bytes.data(), bytes.size()) == bytes.size())
        return true;
    m_file.cancelWriting();
    return false;
}

bool WholeFile::commit() {
    if (!m_file.flush()) {
        m_file.cancelWriting();
        return false;
    }
    return m_file.commit();
}

QFileDevice::FileError WholeFile::error() const {
    if (m_notRegular || m_folder)
        return QFileDevice::OpenError;
    // A write stopped part-way (a file size limit) may leave no error code behind.
    return m_file.error() == QFileDevice::NoError ? QFileDevice::WriteError : m_file.error();
}

QString WholeFile::errorString() const {
    if (m_notRegular)
        return QStringLiteral("通常のファイルではありません。");
    if (m_folder)
        return QStringLiteral("同じ名前のフォルダーがあります。");
    const QString reason = m_file.errorString();
    return reason.isEmpty() || reason == u"Unknown error" ? QStringLiteral("書き込めませんでした。")
                                                          : japaneseFileError(reason);
}
