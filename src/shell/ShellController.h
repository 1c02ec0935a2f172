#pragma once

// Help, About and the hand-over of the result rows to Zelvo as the user starts it. The hand-over
// file itself is written by the window (frmVNLMain::TransferToZelvo, through MainWindowHost).

class ListView;
class MainWindowHost;
class QFrame;
class QLabel;
class ResultListModel;

class ShellController {
public:
    // The job panel the hand-over shows in front of the list area.
    struct JobPanel {
        QFrame* fraProgressbar = nullptr;
        QLabel* lblStatus = nullptr;
        ListView* lvwOriginalData = nullptr;
        ListView* lvwPickupData = nullptr;
    };

    ShellController(MainWindowHost& host, const ResultListModel& results, JobPanel panel);

    void myHelp();
    void myAbout();
    void cmdSend_Click();

private:
    MainWindowHost& m_host;
    const ResultListModel& m_results;
    JobPanel m_panel;
};
