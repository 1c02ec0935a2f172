#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The data files opened last, kept in the settings file between runs: section "Vornel Recent",
// keys "File1" (the newest) to "File8", each a file's absolute path. One file is listed once,
// however its path was spelt.
namespace RecentFiles {

inline constexpr QStringView Section = u"Vornel Recent";
inline constexpr int MaxCount = 8;

// The key of position index (0-based): "File1" ...
QString key(int index);

// The stored list, newest first: empty keys skipped, a file listed twice kept once, at most
// MaxCount.
QStringList read(const QString& iniPath);

// Stores list (the first MaxCount entries): the keys past its end are emptied. A path the
// settings file cannot hold as it is (a character outside code page 932, a path longer than a
// value may be) is left out rather than stored as another path.
void write(const QString& iniPath, const QStringList& list);

// list with path at its head: an entry naming the same file goes, and the list keeps MaxCount.
QStringList withNewest(const QStringList& list, const QString& path);
// list without the entries naming path's file.
QStringList without(const QStringList& list, const QString& path);

// Whether two paths name one file: the same file once both exist, else the same absolute path.
bool sameFile(const QString& a, const QString& b);

} // namespace RecentFiles
