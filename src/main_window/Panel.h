#pragma once

// The status bar's three panels, left to right. Code names them by this enum; each panel carries
// its key ("S_FilePath", ...) as its objectName.

#include <QString>

enum class Panel : int {
    FilePath, // the loaded data file's path
    Pickup,   // the number of picked rows
    Original, // the number of source rows
};

constexpr int kPanelCount = 3;

// The key of a panel: its objectName.
inline QString panelKey(Panel panel) {
    switch (panel) {
    case Panel::FilePath:
        return QStringLiteral("S_FilePath");
    case Panel::Pickup:
        return QStringLiteral("S_Pickup");
    case Panel::Original:
        return QStringLiteral("S_Original");
    }
    return {};
}
