// A push button whose arrow opens a drop-down menu.
#include "main_window/DropDownButton.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

DropDownButton::DropDownButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void DropDownButton::addDropDownAction(QAction* action) {
    if (!m_menu)
        m_menu = new QMenu(this);
    m_menu->addAction(action);
}

void DropDownButton::showDropDown() {
    if (!m_menu || !isEnabled())
        return;
    m_menu->popup(mapToGlobal(rect().bottomLeft()));
}

QRect DropDownButton::arrowRect() const {
    const int width = style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, this);
    return QRect(rect().right() - width + 1, 0, width, height());
}

void DropDownButton::paintEvent(QPaintEvent* event) {
    if (!m_menu) {
        QPushButton::paintEvent(event);
        return;
    }
    // The button as the style draws one with a menu: the arrow at the right, the text beside it.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.features |= QStyleOptionButton::HasMenu;
    painter.drawControl(QStyle::CE_PushButton, option);
}

void DropDownButton::mousePressEvent(QMouseEvent* event) {
    if (m_menu && event->button() == Qt::LeftButton &&
        arrowRect().contains(event->position().toPoint())) {
        event->accept();
        showDropDown();
        return;
    }
    QPushButton::mousePressEvent(event);
}

void DropDownButton::keyPressEvent(QKeyEvent* event) {
    const bool altDown = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
    if (m_menu && (altDown || (event->key() == Qt::Key_F4 && event->modifiers() == 0))) {
        event->accept();
        showDropDown();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void DropDownButton::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_menu) {
        QPushButton::contextMenuEvent(event);
        return;
    }
    event->accept();
    if (isEnabled())
        m_menu->popup(event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : mapToGlobal(rect().bottomLeft()));
}
