#pragma once

// The four condition lists' handlers: registration, editing, the text boxes' keys and the list
// files. The window builds the controls; this controller connects them, keeps each list's
// remembered row and asks the window (MainWindowHost) for the rest.

#include "conditions/ConditionListControls.h"

#include <QObject>
#include <QRect>
#include <QStringList>

#include <array>

class MainWindowHost;

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
    // Where the focus goes when a focused list button is disabled; false: not such a case.
    bool focusFallback();

    // The names of the loaded file's columns (its header line), column 1 first; empty when it has
    // none. Each list then shows the name of the column typed in its column box ("3 = 市区町村").
    void setColumnNames(const QStringList& names);
    // What that list shows now (empty: no name for the typed number).
    QString columnNameText(ConditionList id) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindowHost& m_host;
    std::array<ConditionListControls, kConditionListCount> m_lists;
    std::array<int, kConditionListCount> m_selectedRow = {};
    QStringList m_columnNames;

    void showColumnName(ConditionList id);
};
