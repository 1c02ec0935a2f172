#pragma once

// The toolbar's commands as actions: the nine buttons (two with a drop-down menu of two items)
// and the nine access keys (Alt + letter) that stand for the buttons. Each action carries its
// command's key as its objectName; the window's dispatch gets the command itself.

#include "main_window/Command.h"

#include <array>
#include <functional>

class QAction;
class QShortcut;
class QToolBar;
class QWidget;

class CommandActions {
public:
    // Fills `toolbar` with the buttons; a button runs `button`, a menu item `menuItem`.
    CommandActions(QWidget* window, QToolBar* toolbar, std::function<void(Command)> button,
                   std::function<void(Command)> menuItem);

    // Alt + letter for the nine buttons' commands; each calls `accessKey` with its index (0..8).
    void buildAccessKeys(std::function<void(int)> accessKey);

    // A button's action (Open ... Help) or a menu item's (SortAsc ... HelpAbout).
    QAction* action(Command command) const { return m_actions[size_t(command)]; }

private:
    QWidget* m_window;
    std::array<QAction*, kCommandCount> m_actions = {};
    std::array<QShortcut*, kToolbarButtonCount> m_accessKeys = {};
};
