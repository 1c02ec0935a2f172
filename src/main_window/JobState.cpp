// The window's job state: what is enabled while a job runs and after it.
#include "main_window/JobState.h"

#include "conditions/ConditionsController.h"
#include "main_window/CommandActions.h"
#include "main_window/MousePointer.h"
#include "source/RowStore.h"

#include <QAction>
#include <QPushButton>
#include <QWidget>
#include <QWindow>

JobState::JobState(const CommandActions& commands, const ConditionsController& conditions,
                   const RowStore& store, Controls controls)
    : m_commands(commands), m_conditions(conditions), m_store(store), m_controls(controls) {}

void JobState::myControlsDisable() {
    m_busy = true;
    MousePointer::set(MousePointer::Hourglass);
    setCloseEnabled(false);
    m_commands.action(Command::Open)->setEnabled(false);
    m_commands.action(Command::Save)->setEnabled(false);
    m_commands.action(Command::Print)->setEnabled(false);
    m_commands.action(Command::Start)->setEnabled(false);
    m_commands.action(Command::Stop)->setEnabled(true);
    m_commands.action(Command::AllSelect)->setEnabled(false);
    m_commands.action(Command::Copy)->setEnabled(false);
    m_commands.action(Command::Sort)->setEnabled(false);
    m_controls.fraWordSet->setEnabled(false);
    m_controls.cmdSend->setEnabled(false);
}

void JobState::myControlsEnable() {
    m_controls.fraWordSet->setEnabled(true);
    m_commands.action(Command::Open)->setEnabled(true);
    m_commands.action(Command::Stop)->setEnabled(false);
    myStartCheck();
    setCloseEnabled(true);
    MousePointer::set(MousePointer::Default);
    m_busy = false;
}

void JobState::myStartCheck() {
    const qsizetype entries = m_conditions.entryCount();
    const qint64 rows = m_store.rowCount();
    m_commands.action(Command::Start)->setEnabled(entries > 0 && rows != 0);
}

void JobState::setCloseEnabled(bool enabled) {
    // The title bar's close button follows; where the window system cannot grey it, closeEvent
    // still refuses while a job runs.
    if (QWindow* w = m_controls.window->windowHandle())
        w->setFlag(Qt::WindowCloseButtonHint, enabled);
}
