// The settings area's tests, the helpers several of them share: a text in code page 932, and
// what stands at a path (to show that a failed or refused write changed nothing there).
#pragma once

#include "TestFiles.h"
#include "base/Cp932.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <sys/stat.h>

inline QByteArray cp932(const QString& text) {
    const Cp932::EncodeResult r = Cp932::encode(text);
    return r.bytes;
}

inline ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// What is at path, with a file's bytes and a folder's entries: equal before and after when
// nothing there changed.
inline QString whatIsAt(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISREG(st.st_mode))
        return QStringLiteral("file ") + QString::fromLatin1(readAll(path).toHex());
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder ") +
               QDir(path)
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                   .join(u',');
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("device");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("pipe");
    return QStringLiteral("other");
}
