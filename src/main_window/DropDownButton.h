#pragma once

// A push button with a drop-down menu beside its own command: a click on the button runs the
// button's command as always; the arrow at its right edge, Alt+Down or F4 while it has the
// focus, and its context menu (right click, the menu key) open the menu instead.

#include <QPushButton>

class QAction;
class QMenu;

class DropDownButton : public QPushButton {
public:
    DropDownButton(const QString& text, QWidget* parent);

    // Adds an item to the drop-down menu (the action is not owned).
    void addDropDownAction(QAction* action);
    // The drop-down menu; null until an item is added.
    QMenu* dropDownMenu() const { return m_menu; }
    // Opens the menu below the button (without waiting for it to close).
    void showDropDown();
    // The arrow's area, in the button's coordinates.
    QRect arrowRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QMenu* m_menu = nullptr; // a child of the button
};
