// The recent data files in the settings file.
#include "settings/RecentFiles.h"

#include "settings/mdlIniSet.h"

#include <QDir>
#include <QFileInfo>

namespace RecentFiles {

QString key(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

QStringList without(const QStringList& list, const QString& path) {
    QStringList kept;
    for (const QString& entry : list)
        if (!sameFile(entry, path))
            kept.append(entry);
    return kept;
}

QStringList withNewest(const QStringList& list, const QString& path) {
    QStringList result = without(list, path);
    result.prepend(QFileInfo(path).absoluteFilePath());
    while (result.size() > MaxCount)
        result.removeLast();
    return result;
}

QStringList read(const QString& iniPath) {
    QStringList list;
    if (iniPath.isEmpty())
        return list;
    for (int i = 0; i < MaxCount; ++i) {
        const QString path = mdlIniSet::GetIniString(Section.toString(), key(i), iniPath);
        if (!path.isEmpty() && without(list, path).size() == list.size())
            list.append(path);
    }
    return list;
}

void write(const QString& iniPath, const QStringList& list) {
    if (iniPath.isEmpty())
        return;
    const QString section = Section.toString();
    int stored = 0;
    for (const QString& path : list) {
        if (stored == MaxCount)
            break;
        mdlIniSet::SetIniString(section, key(stored), path, iniPath);
        // Read back: a value cut, unquoted, trimmed or not written would name another file.
        if (mdlIniSet::GetIniString(section, key(stored), iniPath) == path)
            ++stored;
    }
    for (int i = stored; i < MaxCount; ++i)
        if (!mdlIniSet::GetIniString(section, key(i), iniPath).isEmpty())
            mdlIniSet::SetIniString(section, key(i), QString(), iniPath);
}

} // namespace RecentFiles
