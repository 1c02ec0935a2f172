#include "settings/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& overriddenFolder() {
    static QString folder;
    return folder;
}
} // namespace

QString AppPaths::programFolder() {
    const QString& folder = overriddenFolder();
    if (!folder.isEmpty())
        return folder;
    return QCoreApplication::applicationDirPath();
}

void AppPaths::setProgramFolder(const QString& folder) {
    QString cleaned = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    overriddenFolder() = cleaned;
}

QString AppPaths::settingsFilePath() {
    return fileInProgramFolder(QStringLiteral("vornel.ini"));
}

QString AppPaths::helpDocumentPath() {
    return fileInProgramFolder(QStringLiteral("vornel.txt"));
}

QString AppPaths::transferFilePath() {
    return fileInProgramFolder(QStringLiteral("zelvo_transfer.txt"));
}

QString AppPaths::fileInProgramFolder(const QString& name) {
    QString folder = programFolder();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + name;
}
