#include "settings/WholeFile.h"

#include <QFileInfo>

bool WholeFile::open() {
    const QFileInfo target(m_file.fileName());
    if (target.exists() && !target.isFile() && !target.isDir()) {
        m_notRegular = true;
        return false;
    }
    return m_file.open(QIODevice::WriteOnly);
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
    if (m_notRegular)
        return QFileDevice::OpenError;
    // A write stopped part-way (a file size limit) may leave no error code behind.
    return m_file.error() == QFileDevice::NoError ? QFileDevice::WriteError : m_file.error();
}

QString WholeFile::errorString() const {
    if (m_notRegular)
        return QStringLiteral("通常のファイルではありません。");
    const QString reason = m_file.errorString();
    return reason.isEmpty() || reason == u"Unknown error" ? QStringLiteral("書き込めませんでした。")
                                                          : reason;
}
