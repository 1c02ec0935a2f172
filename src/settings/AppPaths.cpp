#include "settings/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString& overriddenFolder() {
    static QString folder;
    return folder;
}

bool& forcedReadOnly() {
    static bool readOnly = false;
    return readOnly;
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

bool AppPaths::programFolderWritable() {
    if (forcedReadOnly())
        return false;
    // QFileInfo asks the system (access()), so a read-only mount counts as not writable too.
    const QFileInfo folder(programFolder());
    return folder.isDir() && folder.isWritable();
}

void AppPaths::setProgramFolderReadOnlyForTesting(bool readOnly) {
    forcedReadOnly() = readOnly;
}

QString AppPaths::dataFolder() {
    if (programFolderWritable())
        return programFolder();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty() || !QDir().mkpath(config))
        return programFolder(); // nowhere better: reads find nothing, writes fail quietly
    return QDir::cleanPath(config);
}

QString AppPaths::settingsFilePath() {
    return fileIn(dataFolder(), QStringLiteral("vornel.ini"));
}

QString AppPaths::helpDocumentPath() {
    return fileIn(programFolder(), QStringLiteral("vornel.txt"));
}

QString AppPaths::transferFilePath() {
    return fileIn(dataFolder(), QStringLiteral("zelvo_transfer.txt"));
}

QString AppPaths::fileIn(QString folder, const QString& name) {
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + name;
}
