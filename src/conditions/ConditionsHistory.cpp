// The condition lists' undo and redo: captured states, the steps, the keys and the lists' menus.
#include "conditions/ConditionsHistory.h"

#include "conditions/ConditionListControls.h"
#include "conditions/ConditionListModel.h"
#include "conditions/ConditionsController.h"
#include "main_window/MainWindowHost.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTreeView>

namespace {

enum class History { None, Undo, Redo };

History historyOf(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->matches(QKeySequence::Undo) ||
        (event->key() == Qt::Key_Z && modifiers == Qt::ControlModifier))
        return History::Undo;
    if (event->matches(QKeySequence::Redo) ||
        (event->key() == Qt::Key_Y && modifiers == Qt::ControlModifier))
        return History::Redo;
    return History::None;
}

} // namespace

ConditionsHistory::ConditionsHistory(ConditionsController& lists, MainWindowHost& host)
    : m_lists(lists), m_host(host) {}

void ConditionsHistory::connectList(ConditionListControls& list) {
    const ConditionList id = list.id;
    QTreeView* lvw = list.lvw;
    QObject* context = &m_lists;
    ListMenu& menu = m_menus[size_t(id)];
    menu.menu = new QMenu(list.lvw);
    menu.menu->setObjectName(QStringLiteral("mnu") + list.suffix);
    menu.undo = menu.menu->addAction(QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    menu.undo->setObjectName(QStringLiteral("mnu") + list.suffix + QStringLiteral("Undo"));
    menu.redo = menu.menu->addAction(QStringLiteral("やり直し(&R)\tCtrl+Y"));
    menu.redo->setObjectName(QStringLiteral("mnu") + list.suffix + QStringLiteral("Redo"));
    QObject::connect(menu.undo, &QAction::triggered, context, [this, id] { undo(id); });
    QObject::connect(menu.redo, &QAction::triggered, context, [this, id] { redo(id); });
    list.lvw->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list.lvw, &QWidget::customContextMenuRequested, context,
                     [this, id, lvw](const QPoint& pos) {
                         lvw_ContextMenu(id, lvw->viewport()->mapToGlobal(pos));
                     });
}

ConditionsState ConditionsHistory::captureState() const {
    ConditionsState state;
    for (int i = 0; i < kConditionListCount; ++i) {
        const ConditionListControls& list = m_lists.controls(ConditionList(i));
        ConditionListState& one = state[size_t(list.id)];
        one.entries = list.model->entries();
        one.boxes = {list.txtNo->text(), list.txtGoku->text()};
    }
    return state;
}

bool ConditionsHistory::recordEdit(const ConditionsState& before) {
    return m_undo.record(before, captureState());
}

void ConditionsHistory::applyChange(const ConditionUndoStack::Change& change) {
    for (int k = 0; k < kConditionListCount; ++k) {
        ConditionListControls& list = m_lists.controls(ConditionList(k));
        const size_t i = size_t(list.id);
        if (change.entries[i])
            list.model->setEntries(*change.entries[i]);
        if (const std::optional<ConditionBoxes>& boxes = change.boxes[i]) {
            list.txtNo->setText(boxes->column);
            list.txtGoku->setText(boxes->phrase); // runs the phrase box's change handling
        }
    }
    m_lists.mySaveButtonsRefresh();
    m_host.myStartCheck();
}

void ConditionsHistory::undo(ConditionList id) {
    if (const std::optional<ConditionUndoStack::Change> change = m_undo.undo(id))
        applyChange(*change);
}

void ConditionsHistory::redo(ConditionList id) {
    if (const std::optional<ConditionUndoStack::Change> change = m_undo.redo(id))
        applyChange(*change);
}

QMenu* ConditionsHistory::listMenu(ConditionList id) {
    ListMenu& menu = m_menus[size_t(id)];
    menu.undo->setEnabled(m_undo.canUndo(id));
    menu.redo->setEnabled(m_undo.canRedo(id));
    return menu.menu;
}

void ConditionsHistory::lvw_ContextMenu(ConditionList id, const QPoint& globalPos) {
    listMenu(id)->popup(globalPos);
}

bool ConditionsHistory::historyKey(ConditionList id, QObject* watched, const QKeyEvent* key) {
    const History history = historyOf(key);
    if (history == History::None)
        return false;
    // In a box with typing of its own to take back (or to do again), the box does it; else the
    // list's history.
    if (auto* box = qobject_cast<QLineEdit*>(watched)) {
        if (history == History::Undo ? box->isUndoAvailable() : box->isRedoAvailable())
            return false;
    }
    if (history == History::Undo)
        undo(id);
    else
        redo(id);
    return true;
}
