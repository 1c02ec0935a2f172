#pragma once

// The window's position, read from the settings file at start-up and written back at shut-down.

#include <optional>

class QWidget;

class SettingsController {
public:
    explicit SettingsController(QWidget& window) : m_window(window) {}

    // Start-up step 1: where the settings file is.
    void setIniFilePath();
    void myPositionLoad();
    void myPositionSave();
    // The window has been shown: a stored top edge without a left edge is applied now.
    void windowShown();

private:
    QWidget& m_window;
    // A stored top edge without a left edge, applied when the window is first shown (pixels).
    std::optional<int> m_pendingTop;
};
