#pragma once

// The window's position, size and maximised state and its lists' column widths, read from the
// settings file at start-up and written back at shut-down.

#include <QList>

#include <optional>

class QHeaderView;
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
    // The column headers whose widths are kept, in a fixed order; columnsLoad applies the
    // stored widths once the lists have their columns (a stored set of another count is
    // ignored).
    void setColumnHeaders(const QList<QHeaderView*>& headers) { m_headers = headers; }
    void columnsLoad();

private:
    // The stored position (myPositionLoad's part for the edges).
    void placeStored();

    QWidget& m_window;
    // A stored top edge without a left edge, applied when the window is first shown (pixels).
    std::optional<int> m_pendingTop;
    QList<QHeaderView*> m_headers;
};
