#pragma once

#include <QString>
#include <QStringView>

// The remembered "1行目は見出し" option in the settings file: section "Vornel Options", key
// "HeaderLine", "1" when the data file's first line names the columns, "0" when it is a row.
namespace HeaderLineSetting {

inline constexpr QStringView Section = u"Vornel Options";
inline constexpr QStringView Key = u"HeaderLine";

// The stored choice; off when the file, the key or a usable value is missing.
bool read(const QString& iniPath);
void write(const QString& iniPath, bool on);

} // namespace HeaderLineSetting
