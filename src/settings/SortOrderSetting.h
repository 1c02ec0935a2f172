#pragma once

#include <QString>
#include <QStringView>

// The remembered order of the result sort in the settings file: section "Vornel Options", key
// "SortOrder", "japanese" for the Japanese order ("日本語順"), "code" for the code order.
namespace SortOrderSetting {

inline constexpr QStringView Section = u"Vornel Options";
inline constexpr QStringView Key = u"SortOrder";

// True for the Japanese order; the code order when the file, the key or a usable value is
// missing (the order the sort always had).
bool readJapanese(const QString& iniPath);
void write(const QString& iniPath, bool japanese);

} // namespace SortOrderSetting
