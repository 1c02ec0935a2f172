// The file dialogs' folder in the settings file.
#include "settings/StoredFolder.h"

#include "settings/mdlIniSet.h"

#include <QFileInfo>

namespace StoredFolder {

QString read(const QString& iniPath) {
    if (iniPath.isEmpty())
        return {};
    const QString folder =
        mdlIniSet::GetIniString(Section.toString(), FolderKey.toString(), iniPath);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void write(const QString& iniPath, const QString& folder) {
    if (iniPath.isEmpty() || read(iniPath) == folder)
        return;
    mdlIniSet::SetIniString(Section.toString(), FolderKey.toString(), folder, iniPath);
    // Read back: a value cut, unquoted, trimmed or not written at all would name another folder.
    if (mdlIniSet::GetIniString(Section.toString(), FolderKey.toString(), iniPath) != folder)
        mdlIniSet::SetIniString(Section.toString(), FolderKey.toString(), QString(), iniPath);
}

} // namespace StoredFolder
