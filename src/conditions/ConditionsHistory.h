#pragma once

// The condition lists' undo and redo: the four lists' entries and box texts captured around each
// edit, the steps kept in a ConditionUndoStack, Ctrl+Z / Ctrl+Y in a list's controls and each
// list's own menu (元に戻す / やり直し). A step taken back (or done again) sets the lists and
// boxes it changed, then the save buttons and Start follow.

#include "conditions/ConditionList.h"
#include "conditions/ConditionUndoStack.h"

#include <array>

class ConditionsController;
class MainWindowHost;
class QAction;
class QKeyEvent;
class QMenu;
class QObject;
class QPoint;
struct ConditionListControls;

class ConditionsHistory {
public:
    ConditionsHistory(ConditionsController& lists, MainWindowHost& host);

    // Builds the list's menu and connects it and the list's context-menu request; once, when the
    // controls are connected.
    void connectList(ConditionListControls& list);

    // The four lists' entries and box texts as they are now.
    ConditionsState captureState() const;
    // Records the edit made since before was captured as one undo step (nothing when no list's
    // entries changed).
    bool recordEdit(const ConditionsState& before);
    void undo(ConditionList id);
    void redo(ConditionList id);
    const ConditionUndoStack& undoStack() const { return m_undo; }
    // The list's menu, brought up to date.
    QMenu* listMenu(ConditionList id);
    void lvw_ContextMenu(ConditionList id, const QPoint& globalPos);
    // Ctrl+Z / Ctrl+Y in a list's controls; false when the key is neither or the box takes it.
    bool historyKey(ConditionList id, QObject* watched, const QKeyEvent* key);

private:
    ConditionsController& m_lists;
    MainWindowHost& m_host;
    ConditionUndoStack m_undo;
    struct ListMenu {
        QMenu* menu = nullptr; // a child of the list
        QAction* undo = nullptr;
        QAction* redo = nullptr;
    };
    std::array<ListMenu, kConditionListCount> m_menus = {};

    void applyChange(const ConditionUndoStack::Change& change);
};
