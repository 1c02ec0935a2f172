#pragma once

#include "pickup/MatchOptions.h"

#include <QString>
#include <QStringView>

// The remembered switches of matching that ignores width, kana and case, in the settings file:
// section "Vornel Options", keys "IgnoreWidth", "IgnoreKana" and "IgnoreCase", "1" on, "0" off.
namespace MatchOptionsSetting {

inline constexpr QStringView Section = u"Vornel Options";
inline constexpr QStringView WidthKey = u"IgnoreWidth";
inline constexpr QStringView KanaKey = u"IgnoreKana";
inline constexpr QStringView CaseKey = u"IgnoreCase";

// The stored switches; each off when the file, its key or a usable value is missing.
MatchOptions read(const QString& iniPath);
// Writes the three keys.
void write(const QString& iniPath, MatchOptions options);

} // namespace MatchOptionsSetting
