#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringView>

#include <optional>

// The main window's size, whether it was maximised, and the widths of its lists' columns, kept
// in the settings file between runs: section "Vornel Window", keys "Width" and "Height" (the
// window's inner size in twips, as decimal text), "Maximized" ("1" or "0") and "Columns" (the
// column widths in twips, comma-separated, in the window's own order of its lists).
namespace StoredWindow {

inline constexpr QStringView Section = u"Vornel Window";
inline constexpr QStringView WidthKey = u"Width";
inline constexpr QStringView HeightKey = u"Height";
inline constexpr QStringView MaximizedKey = u"Maximized";
inline constexpr QStringView ColumnsKey = u"Columns";

struct Window {
    std::optional<QSize> size; // twips; both edges stored and positive, else none
    bool maximized = false;
    QList<int> columns; // twips; empty when none or any one is unusable
};

Window read(const QString& iniPath);
// The reason (in Japanese) when the file could not be written, else empty.
QString write(const QString& iniPath, const Window& window);

// The size a window of the stored size takes: at least minimum, at most what the screen's
// available area holds (but never under minimum).
QSize fitted(const QSize& stored, const QSize& minimum, const QSize& screen);

} // namespace StoredWindow
