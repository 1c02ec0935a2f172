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

// The folder, made when missing, readable by the user alone (the folders above it as mkpath
// makes them). A folder that is already there is taken as it is.
bool makePrivateFolder(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    const bool made = QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
    return made || QFileInfo(folder).isDir(); // made at the same moment by another process
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
    const QString config =
        QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    if (config.isEmpty() || !makePrivateFolder(config))
        return programFolder(); // nowhere better: reads find nothing, writes fail quietly
    return config;
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

QString AppPaths::listsFilePath() {
    return fileIn(dataFolder(), QStringLiteral("vornel_lists.txt"));
}

QString AppPaths::fileIn(QString folder, const QString& name) {
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + name;
}
