#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The main window's position in the settings file: section "Vornel Position", keys "Top" and
// "Left", each the edge's distance from the screen's edge in twips, as decimal text.
namespace StoredPosition {

inline constexpr QStringView Section = u"Vornel Position";
inline constexpr QStringView TopKey = u"Top";
inline constexpr QStringView LeftKey = u"Left";

struct Position {
    std::optional<qint32> top;
    std::optional<qint32> left;
};

// A stored value: decimal text, possibly with a fraction or an exponent, rounded to the nearest
// whole number with a half going to the even neighbour (1500.5 -> 1500, 1501.5 -> 1502). Negative
// values are kept. Text that is not a number, or whose rounded value does not fit in 32 bits,
// gives no value.
std::optional<qint32> parseValue(QStringView text);

// Reads the stored position from the settings file at iniPath. Without a usable "Top" nothing is
// taken and "Left" is not read; with "Top" alone only the top is given.
Position read(const QString& iniPath);

// Writes both edges, "Top" first. The reason (in Japanese) when the file could not be written,
// else empty.
QString write(const QString& iniPath, qint32 top, qint32 left);

} // namespace StoredPosition
