#pragma once

// Start and Stop: the pickup run over the source rows through PickupJob, and the Stop flag a
// running load or pickup reads. The window builds the controls; this controller drives them and
// asks the window (MainWindowHost) for the rest. The Start button's drop-down holds the three
// switches of matching that ignores width, kana and case, remembered in the settings file.

#include "pickup/MatchOptions.h"

#include <array>

class ConditionsController;
class ListView;
class MainWindowHost;
class QAction;
class ResultColumnSizer;
class QFrame;
class QLabel;
class QPushButton;
class ResultListModel;
class RowStore;

struct PickupConditions;

class PickupController {
public:
    // The controls a pickup shows its work and its result in.
    struct Controls {
        ListView* lvwOriginalData = nullptr;
        ListView* lvwPickupData = nullptr;
        QFrame* fraProgressbar = nullptr;
        QLabel* lblStatus = nullptr;
        QPushButton* cmdSend = nullptr;
    };

    PickupController(MainWindowHost& host, const ConditionsController& conditions,
                     const RowStore& store, ResultListModel& resultModel, Controls controls);

    // Reads the remembered switches into the Start button's drop-down.
    void loadOptions();
    // The switches as the drop-down shows them.
    MatchOptions matchOptions() const;

    void myPickupStart();
    void myPickupStop();
    // "この行の判定": explains the current row of the list on show (the results when they are
    // shown, else the source rows) against the lists as they are now.
    void myRowJudge();

    // Set by Stop, read by the running load or pickup after each yield.
    bool stopRequested() const { return StopRequested; }
    // A job begins: no Stop has been asked for it yet.
    void clearStopRequest() { StopRequested = false; }

private:
    // The four lists as they are now.
    PickupConditions conditions() const;

    MainWindowHost& m_host;
    const ConditionsController& m_conditions;
    const RowStore& m_store;
    ResultListModel& m_resultModel;
    Controls m_controls;
    ResultColumnSizer* m_columnSizer; // owned by the result list
    bool StopRequested = false;
    // mnuIgnoreWidth, mnuIgnoreKana, mnuIgnoreCase (children of the window).
    std::array<QAction*, 3> m_matchSwitches = {};
};
