// Start and Stop: the pickup run over the source rows.
#include "pickup/PickupController.h"

#include "base/CountText.h"
#include "conditions/ConditionListModel.h"
#include "conditions/ConditionsController.h"
#include "main_window/ListView.h"
#include "main_window/MainWindowHost.h"
#include "main_window/Platform.h"
#include "pickup/MatchSpans.h"
#include "pickup/PickupEngine.h"
#include "pickup/PickupJob.h"
#include "pickup/ResultColumnSizer.h"
#include "pickup/RowVerdictText.h"
#include "pickup/frmVNLJudge.h"
#include "progress/ProgressBar.h"
#include "results/ResultListModel.h"
#include "settings/MatchOptionsSetting.h"
#include "settings/mdlIniSet.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>

PickupController::PickupController(MainWindowHost& host, const ConditionsController& conditions,
                                   const RowStore& store, ResultListModel& resultModel,
                                   Controls controls)
    : m_host(host), m_conditions(conditions), m_store(store), m_resultModel(resultModel),
      m_controls(controls),
      m_columnSizer(new ResultColumnSizer(controls.lvwPickupData, &resultModel)) {
    // The matching switches, in the Start button's drop-down; each is written to the settings
    // file when it changes.
    struct Switch {
        const char* caption;
        const char* name;
    };
    const Switch switches[3] = {{"全角/半角を区別しない(&W)", "mnuIgnoreWidth"},
                                {"ひらがな/カタカナを区別しない(&K)", "mnuIgnoreKana"},
                                {"大文字/小文字を区別しない(&C)", "mnuIgnoreCase"}};
    QAction* start = m_host.toolbarButton(Command::Start);
    if (!start)
        return;
    auto* menu = new QMenu(m_host.hostWidget());
    menu->setObjectName(QStringLiteral("mnuStart"));
    for (size_t i = 0; i < 3; ++i) {
        QAction* item = menu->addAction(QString::fromUtf8(switches[i].caption));
        item->setObjectName(QString::fromUtf8(switches[i].name));
        item->setCheckable(true);
        QObject::connect(item, &QAction::triggered, menu, [this] {
            MatchOptionsSetting::write(mdlIniSet::IniFilePath(), matchOptions());
        });
        m_matchSwitches[i] = item;
    }
    start->setMenu(menu);
    for (QObject* face : start->associatedObjects())
        if (auto* button = qobject_cast<QToolButton*>(face))
            button->setPopupMode(QToolButton::MenuButtonPopup);
}

void PickupController::loadOptions() {
    if (!m_matchSwitches[0])
        return;
    const MatchOptions options = MatchOptionsSetting::read(mdlIniSet::IniFilePath());
    m_matchSwitches[0]->setChecked(options.ignoreWidth);
    m_matchSwitches[1]->setChecked(options.ignoreKana);
    m_matchSwitches[2]->setChecked(options.ignoreCase);
}

MatchOptions PickupController::matchOptions() const {
    if (!m_matchSwitches[0])
        return {};
    return MatchOptions{m_matchSwitches[0]->isChecked(), m_matchSwitches[1]->isChecked(),
                        m_matchSwitches[2]->isChecked()};
}

void PickupController::myPickupStart() {
    // Every entry is checked before anything changes: a column the table does not have or a
    // malformed pattern ends the command here, with the window as it was.
    PickupCompileError error;
    const std::optional<PickupEngine> engine = PickupEngine::compile(
        conditions(), m_host.commaCount(), &error, m_store.encoding(), matchOptions());
    if (!engine) {
        m_host.platform().messageBox(m_host.hostWidget(), error.message, Platform::Critical,
                                     QStringLiteral("エラー"));
        return;
    }

    m_host.myControlsDisable();
    m_controls.fraProgressbar->show();
    m_controls.lvwOriginalData->hide();
    m_controls.lvwPickupData->hide();
    m_controls.lblStatus->setText(QStringLiteral("ピックアップ中..."));
    m_resultModel.clear();
    m_host.setPanelText(Panel::Pickup, CountText::pickedRows(0));
    // The rows to scan, as the status bar shows them; never more than the table holds.
    const qint64 rowCount = std::clamp<qint64>(
        CountText::parse(m_host.panelText(Panel::Original)).value_or(0), 0, m_store.rowCount());
    StopRequested = false;

    qint64 shownPicked = 0;
    PickupJob::Hooks hooks;
    hooks.progress = [&](qint64 done, qint64, qint64 picked) {
        // The bar's range is the last load's line count; it only moves when its value changes.
        mProgress::ProgressSetPos(m_host.progressWindow(), int(std::min<qint64>(done, INT_MAX)));
        if (picked != shownPicked) {
            shownPicked = picked;
            m_host.setPanelText(Panel::Pickup, CountText::pickedRows(shownPicked));
        }
    };
    hooks.yield = [this] {
        QCoreApplication::processEvents();
        return StopRequested;
    };
    PickupJob::Result result =
        PickupJob::run(m_store, *engine, rowCount, hooks,
                       std::chrono::milliseconds(std::max(m_host.jobSliceMs(), 1)));
    const bool noMemory = result.outcome == PickupJob::Result::Outcome::OutOfMemory;
    if (!result.done()) {
        // Ended as a Stop ends it: no result.
        m_resultModel.clear();
        m_host.setPanelText(Panel::Pickup, CountText::pickedRows(0));
        m_controls.lvwOriginalData->show();
    } else {
        m_resultModel.setRows(std::move(result.rows));
        m_resultModel.setMatchSpans(std::make_shared<MatchSpans>(*engine, m_store.fieldMode()));
        for (Command command :
             {Command::Save, Command::Print, Command::AllSelect, Command::Copy, Command::Sort})
            m_host.toolbarButton(command)->setEnabled(true);
        m_controls.cmdSend->setEnabled(true);
        m_controls.lvwPickupData->show();
        m_columnSizer->fit();
        m_controls.lvwPickupData->setFocus();
    }
    m_controls.fraProgressbar->hide();
    if (noMemory)
        m_host.outOfMemory(QStringLiteral("抽出"));
    m_host.myControlsEnable();
}

void PickupController::myPickupStop() {
    // The running load or pickup sees the flag after its next turn of the event loop.
    StopRequested = true;
    m_controls.lvwOriginalData->show();
    m_controls.lvwPickupData->hide();
    m_resultModel.clear();
    m_host.setPanelText(Panel::Pickup, CountText::pickedRows(0));
}

PickupConditions PickupController::conditions() const {
    return {m_conditions.controls(ConditionList::OutAND).model->entries(),
            m_conditions.controls(ConditionList::OutOR).model->entries(),
            m_conditions.controls(ConditionList::InAND).model->entries(),
            m_conditions.controls(ConditionList::InOR).model->entries()};
}

void PickupController::myRowJudge() {
    const bool results = !m_controls.lvwPickupData->isHidden();
    const ListView* view = results ? m_controls.lvwPickupData : m_controls.lvwOriginalData;
    const QModelIndex current = view->currentIndex();
    if (!current.isValid())
        return;
    qint64 row = current.row();
    if (results) {
        if (row >= m_resultModel.count())
            return;
        row = m_resultModel.rows()[size_t(row)];
    }
    if (row >= m_store.rowCount())
        return;
    // The lists are compiled as Start compiles them, with the same message when they cannot run.
    const PickupConditions lists = conditions();
    PickupCompileError error;
    const std::optional<PickupEngine> engine = PickupEngine::compile(
        lists, m_host.commaCount(), &error, m_store.encoding(), matchOptions());
    if (!engine) {
        m_host.platform().messageBox(m_host.hostWidget(), error.message, Platform::Critical,
                                     QStringLiteral("エラー"));
        return;
    }
    QString text = m_store.rowText(row);
    if (m_store.fieldMode() == FieldMode::Quoted)
        text = FieldModes::visibleLineBreaks(text);
    auto* dialog =
        new frmVNLJudge(RowVerdictText::describe(engine->explain(m_store, row), lists, row, text),
                        m_host.hostWidget());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
