#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
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

// The height of the strip along a window's top edge that counts as its title bar (pixels), and
// how much of it must lie on one screen for the window to be grabbed and moved there.
inline constexpr int TitleBarHeight = 24;
inline constexpr int GripHeight = 8;
inline constexpr int GripWidth = 40;

// Whether the title bar of a window whose outer frame is frame can be reached: a piece of at
// least GripWidth x GripHeight pixels of it (the whole width, for a narrower window) lies on one
// of the screens (their available areas, in pixels). A window partly off an edge passes; one on
// an unplugged monitor, or thousands of pixels away, does not.
bool titleBarVisible(const QRect& frame, const QList<QRect>& screens);

// Where a window of the given outer size goes when its stored place cannot be reached: centred
// on the screen's available area, its top-left corner kept on the screen when it is larger.
QPoint placeOn(const QSize& frameSize, const QRect& screen);

} // namespace StoredPosition
