#pragma once

// The window's job state. While a load, a pickup or a hand-over runs, every command but Stop and
// Help is out, the condition lists and the transfer button are disabled, the mouse pointer is the
// hourglass and the window refuses to close; afterwards Open is back and Start follows whether
// there is something to pick from and by.

class CommandActions;
class ConditionsController;
class QPushButton;
class QWidget;
class RowStore;

class JobState {
public:
    struct Controls {
        QWidget* window = nullptr;
        QWidget* fraWordSet = nullptr;
        QPushButton* cmdSend = nullptr;
    };

    JobState(const CommandActions& commands, const ConditionsController& conditions,
             const RowStore& store, Controls controls);

    void myControlsDisable();
    void myControlsEnable();
    // Start is on when a list holds an entry and the table a row.
    void myStartCheck();
    // True between myControlsDisable and myControlsEnable.
    bool busy() const { return m_busy; }

private:
    void setCloseEnabled(bool enabled);

    const CommandActions& m_commands;
    const ConditionsController& m_conditions;
    const RowStore& m_store;
    Controls m_controls;
    bool m_busy = false;
};
