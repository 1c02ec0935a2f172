#pragma once

// The four condition lists' handlers: registration, editing, the text boxes' keys, the list
// files, undo and redo (Ctrl+Z / Ctrl+Y, each list's menu: ConditionsHistory) and several pasted
// lines (ConditionBoxInput). The window builds the controls; this controller connects them, keeps
// each list's remembered row, and asks the window (MainWindowHost) for the rest.

#include "conditions/ConditionBoxInput.h"
#include "conditions/ConditionListControls.h"
#include "conditions/ConditionSetFile.h"
#include "conditions/ConditionUndoStack.h"
#include "conditions/ConditionsHistory.h"

#include <QObject>
#include <QRect>
#include <QStringList>

#include <array>

class MainWindowHost;
class QAction;
class QKeyEvent;
class QMenu;

class ConditionsController : public QObject {
public:
    explicit ConditionsController(MainWindowHost& host);

    // The controls of one list, filled in by the window's layout.
    ConditionListControls& controls(ConditionList id) { return m_lists[size_t(id)]; }
    const ConditionListControls& controls(ConditionList id) const { return m_lists[size_t(id)]; }
    // Connects the controls' signals and events; once, after the layout is built.
    void connectControls();
    // The start-up state: the buttons that need an entry or a phrase first, and the lists'
    // columns.
    void startUp();

    // The entries of all four lists together.
    qsizetype entryCount() const;
    // The remembered row: 1-based position of the row last clicked, 0 = none. A bare position.
    int selectedRow(ConditionList id) const { return m_selectedRow[size_t(id)]; }
    void setSelectedRow(ConditionList id, int position) { m_selectedRow[size_t(id)] = position; }
    // A click on the result list: every remembered row is withdrawn with the delete buttons.
    void withdrawRememberedRows();

    // The handlers of one list's controls; id says which list fired.
    void cmdTuika_Click(ConditionList id); // registration (also Enter in either text box)
    void cmdSakujo_Click(ConditionList id);
    void cmdAllSakujo_Click(ConditionList id);
    void cmdSave_Click(ConditionList id);
    void cmdOpen_Click(ConditionList id);
    void lvw_Click(ConditionList id, int position); // position: 1-based
    void lvw_DblClick(ConditionList id);
    void txtGoku_Change(ConditionList id);
    void txt_Click(); // any of the eight text boxes
    void txt_KeyDown(ConditionList id, int key);
    // The column box's character filter: false = the character is discarded.
    bool txtNo_KeyPress(ConditionList id, const QString& text, Qt::KeyboardModifiers modifiers);
    // Each list's save button follows whether the list holds an entry (fixed order).
    void mySaveButtonsRefresh();
    // The condition set: all four lists in one file, through the drop-down menus of the lists'
    // 読込 and 保存 buttons.
    void mySetOpen();
    void mySetSave();
    QAction* setOpenAction() const { return m_setOpen; }
    QAction* setSaveAction() const { return m_setSave; }
    // Replaces the entries of all four lists at once: the one way a condition set reaches them.
    // Every remembered row is withdrawn with the delete buttons; the save buttons and Start
    // follow.
    void replaceAllLists(ConditionSetFile::Lists lists);
    // The entries of all four lists.
    ConditionSetFile::Lists allLists() const;
    // The lists kept from the last run (start-up) and keeping them for the next (shut-down); a
    // problem with the store is only noted on standard error.
    void restoreStoredLists();
    void storeLists() const;

    // Where the focus goes when a focused list button is disabled; false: not such a case.
    bool focusFallback();

    // The names of the loaded file's columns (its header line), column 1 first; empty when it has
    // none. Each list then shows the name of the column typed in its column box ("3 = 市区町村").
    void setColumnNames(const QStringList& names);
    // What that list shows now (empty: no name for the typed number).
    QString columnNameText(ConditionList id) const;

    // ---- Undo and redo of the list edits (ConditionsHistory) ----
    // The four lists' entries and box texts as they are now.
    ConditionsState captureState() const { return m_history.captureState(); }
    // Records the edit made since before was captured as one undo step (nothing when no list's
    // entries changed). An edit that replaces several lists at once is recorded the same way:
    //   const ConditionsState before = captureState(); ...change the lists...; recordEdit(before);
    bool recordEdit(const ConditionsState& before) { return m_history.recordEdit(before); }
    // Undo and redo in list id (its keys and its menu): the lists and boxes the step changed go
    // back (forward), then the save buttons and Start follow.
    void undo(ConditionList id) { m_history.undo(id); }
    void redo(ConditionList id) { m_history.redo(id); }
    const ConditionUndoStack& undoStack() const { return m_history.undoStack(); }
    // The list's menu (元に戻す / やり直し), brought up to date; shown by the list's context-menu
    // event.
    QMenu* listMenu(ConditionList id) { return m_history.listMenu(id); }
    void lvw_ContextMenu(ConditionList id, const QPoint& globalPos) {
        m_history.lvw_ContextMenu(id, globalPos);
    }

    // Several lines pasted into the phrase box of list id (ConditionBoxInput): asks whether to add
    // each non-empty line as an entry and does so as one undo step. False: declined (the box
    // keeps what it keeps of any paste).
    bool pasteLines(ConditionList id, const QString& text) {
        return m_boxInput.pasteLines(id, text);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindowHost& m_host;
    std::array<ConditionListControls, kConditionListCount> m_lists;
    std::array<int, kConditionListCount> m_selectedRow = {};
    QStringList m_columnNames;
    QAction* m_setOpen = nullptr; // children of the window
    QAction* m_setSave = nullptr;

    ConditionsHistory m_history;
    ConditionBoxInput m_boxInput;

    void showColumnName(ConditionList id);
    // A list or set load's failure (Critical) or its skipped lines (Exclamation), if any.
    void showLoadOutcome(const QString& error, const QString& warning);
};
