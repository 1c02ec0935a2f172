// What the command-line tests share: the built program run with no display, and the data and
// list files they pick from. VORNEL_PROGRAM names the program.
#pragma once

#include "TestFiles.h"
#include "base/Cp932.h"

#include <QDir>
#include <QProcess>
#include <QString>

struct Ran {
    int status = -1; // -1: crashed or did not finish
    QByteArray out;
    QByteArray err;
};

inline Ran runProgram(const QStringList& arguments, const QString& folder) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral(VORNEL_PROGRAM), arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, p.readAllStandardOutput(), p.readAllStandardError()};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

inline QByteArray cp932(const QString& text) {
    return Cp932::encode(text).bytes;
}

// A data file with two lines that do not fit (3: no comma, 5: empty) and the list files.
inline void writeInputs(const QDir& dir) {
    writeAll(dir.filePath("data.csv"),
             cp932(QStringLiteral("a,b,x\r\n東京,1,x\r\nbad line\r\n大阪,2,y\r\n\r\n名古屋,3,x\r\n"
                                  "東京,4,y\r\n")));
    writeAll(dir.filePath("empty.csv"), QByteArray());
    writeAll(dir.filePath("and.csv"), cp932(QStringLiteral("\"3\",\"x\"\r\n")));
    writeAll(dir.filePath("notor.csv"), cp932(QStringLiteral("\"0\",\"大阪\"\r\n")));
    writeAll(dir.filePath("badcol.csv"), cp932(QStringLiteral("\"0\",\"a\"\r\n\"9\",\"x\"\r\n")));
    writeAll(dir.filePath("badpat.csv"), cp932(QStringLiteral("\"1\",\"[b-a]*\"\r\n")));
    // Condition sets: and.csv with notor.csv in one file; one with bad lines; one whose entry
    // Start refuses.
    writeAll(dir.filePath("set.txt"),
             cp932(QStringLiteral("# both\r\nAND,3,x\r\nNOTOR,0,大阪\r\n")));
    writeAll(dir.filePath("badset.txt"),
             cp932(QStringLiteral("AND,3,x\r\nXOR,1,a\r\n# c\r\nOR,2\r\n")));
    writeAll(dir.filePath("badcolset.txt"), cp932(QStringLiteral("# c\r\nAND,0,a\r\nAND,9,x\r\n")));
    const QString unicode = QStringLiteral("東京,1\r\n");
    writeAll(dir.filePath("utf16.csv"),
             "\xFF\xFE" +
                 QByteArray(reinterpret_cast<const char*>(unicode.utf16()), unicode.size() * 2));
}
