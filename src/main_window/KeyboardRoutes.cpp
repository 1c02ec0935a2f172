// Enter on buttons and the keyboard's context-menu keys, for every control of the window.
#include "main_window/KeyboardRoutes.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

KeyboardRoutes::KeyboardRoutes(QWidget* window) : QObject(window), m_window(window) {
    qApp->installEventFilter(this);
}

KeyboardRoutes::~KeyboardRoutes() {
    if (qApp)
        qApp->removeEventFilter(this);
}

bool KeyboardRoutes::ours(QObject* watched) const {
    if (!watched->isWidgetType())
        return false;
    const auto* widget = static_cast<QWidget*>(watched);
    return widget->window() == m_window;
}

std::pair<QWidget*, QPoint> KeyboardRoutes::contextMenuPlace(QWidget* widget) {
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        // A list answers on its viewport, as it does to the mouse: at the current row when it
        // can be seen, else at the list's top left corner.
        QWidget* viewport = view->viewport();
        const QRect item = view->visualRect(view->currentIndex());
        const QRect shown = item.intersected(viewport->rect());
        if (view->currentIndex().isValid() && !shown.isEmpty())
            return {viewport, QPoint(shown.left() + std::min(shown.width() / 2, 16),
                                     shown.top() + shown.height() / 2)};
        return {viewport, QPoint(1, 1)};
    }
    return {widget, widget->rect().center()};
}

bool KeyboardRoutes::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ContextMenu)
        return false;
    if (!ours(watched))
        return false;
    if (type == QEvent::ContextMenu) {
        // The window system's keyboard menu opens at the mouse pointer; ours replaces it.
        const auto* e = static_cast<QContextMenuEvent*>(event);
        return event->spontaneous() && e->reason() == QContextMenuEvent::Keyboard;
    }
    auto* widget = static_cast<QWidget*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        modifiers == Qt::NoModifier) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (button->isEnabled())
                button->click();
            return true;
        }
        return false;
    }
    const bool menuKey = key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier;
    const bool shiftF10 = key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier;
    if (!menuKey && !shiftF10)
        return false;
    const auto [receiver, pos] = contextMenuPlace(widget);
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, pos, receiver->mapToGlobal(pos),
                           key->modifiers());
    QCoreApplication::sendEvent(receiver, &menu);
    return true;
}
