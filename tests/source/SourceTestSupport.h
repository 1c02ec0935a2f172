// Helpers the source-area tests share: code page 932 bytes of a text, the lines a plain reading
// of bytes gives, and test files written into a temporary folder.
#pragma once

#include "base/Cp932.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTemporaryDir>
#include <QtGlobal>

inline QByteArray sjis(QStringView text) {
    const Cp932::EncodeResult r = Cp932::encode(text);
    Q_ASSERT(r.ok());
    return r.bytes;
}

// Lines as a plain reading of the whole text gives them: LF or CR LF ends a line.
inline QStringList referenceLines(const QByteArray& bytes) {
    const QString text = Cp932::decode(bytes);
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

// Writes bytes as the file `name` in `dir` and returns its path; a test cannot go on without it.
inline QString writeTestFile(const QTemporaryDir& dir, const QByteArray& bytes,
                             const QString& name) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    return path;
}
