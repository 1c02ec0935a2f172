#pragma once

// Keys that work the same on every control of the window:
// - Enter (either one) on a focused button presses it, as Space does;
// - the menu key and Shift+F10 open the focused control's context menu, as the right button
//   would: a keyboard context-menu event at the control's current item (a list's current row,
//   else its top left corner), so every control that has a context menu answers both alike.
// The window system's own keyboard context-menu events (at the mouse pointer) are held back, so
// that a key opens one menu, at the place the user is working.

#include <QObject>
#include <QPoint>

class QWidget;

class KeyboardRoutes : public QObject {
public:
    // Watches the keys of window's controls (an event filter on the application).
    explicit KeyboardRoutes(QWidget* window);
    ~KeyboardRoutes() override;

    // Where a keyboard context menu for widget opens: the widget that gets the event and the
    // position in it.
    static std::pair<QWidget*, QPoint> contextMenuPlace(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether watched is one of the window's own controls (not a dialog's, not a menu's).
    bool ours(QObject* watched) const;

    QWidget* m_window;
};
