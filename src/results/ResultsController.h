#pragma once

// What can be done with the result rows from the result list and its context menu: select all,
// copy, sort, save and print, and the list's own mouse and key handling. The window builds the
// controls; this controller drives them and asks the window (MainWindowHost) for the rest.

#include "results/ResultSort.h"

#include <QObject>
#include <QPoint>

#include <cstdint>
#include <vector>

class ConditionsController;
class ListView;
class MainWindowHost;
class QLabel;
class QAction;
class QMenu;
class ResultListModel;

class ResultsController : public QObject {
public:
    ResultsController(MainWindowHost& host, ConditionsController& conditions,
                      ResultListModel& model, ListView* lvwPickupData, QMenu* mnuPopup);

    void myAllSelect();
    void myCopy();
    void mySortAsc();
    void mySortDesc();
    void myResultSave();
    void myResultPrint();
    void lvwPickupData_Click();
    void lvwPickupData_MouseDown(Qt::MouseButton button, const QPoint& globalPos);

    // The "日本語順" option of the Sort button's menu: read from the settings file (at start-up,
    // once the file's path is known), written when the user changes it.
    void loadOptions();
    bool japaneseOrder() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Sorts the result rows once, keeping each row's selected state.
    void resultsSort(bool ascending);
    // The result area's "no row" text, shown over an empty result list.
    void resultsShowEmpty();
    // The new order in this collation, and the rows in it: made on another thread while this one
    // turns the event loop, the window busy meanwhile (only the result list's looks go on).
    std::vector<std::uint32_t> sortInBackground(bool ascending, ResultSort::Collation collation,
                                                std::vector<std::uint32_t>& rows);
    void resultsSortOrderChanged(bool japanese);

    MainWindowHost& m_host;
    ConditionsController& m_conditions;
    ResultListModel& m_resultModel;
    ListView* lvwPickupData;
    QMenu* mnuPopup;
    QLabel* m_noRows = nullptr; // a child of the result list's viewport
    QAction* m_japaneseOrderAction = nullptr;
    bool m_sorting = false; // a Japanese sort is running: the list takes no input
};
