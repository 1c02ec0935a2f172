#pragma once

#include <QString>
#include <QStringView>

// The folder the file dialogs open in, kept in the settings file between runs: section
// "Vornel Dialog", key "Folder", the folder's absolute path.
namespace StoredFolder {

inline constexpr QStringView Section = u"Vornel Dialog";
inline constexpr QStringView FolderKey = u"Folder";

// The stored folder, or empty text when none is stored or it is no existing folder.
QString read(const QString& iniPath);

// Stores folder. A folder the settings file cannot hold as it is (a character outside code page
// 932, a path longer than a value may be) is stored as empty text rather than as another folder.
void write(const QString& iniPath, const QString& folder);

} // namespace StoredFolder
