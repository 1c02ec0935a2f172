#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Reading and writing whole files in tests.

// The file's bytes, or "<unreadable>" when it cannot be read, so that a missing file never
// passes for an expected (even empty) content.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Replaces the file's content with bytes; false when that failed.
inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
