// The main window: start-up and shut-down, command dispatch and the job state's hand-offs; the
// layout is in frmVNLMainLayout.cpp.
#include "main_window/frmVNLMain.h"

#include "conditions/ConditionListModel.h"
#include "conditions/ConditionsController.h"
#include "main_window/ClientArea.h"
#include "main_window/CommandActions.h"
#include "main_window/DropDownButton.h"
#include "main_window/Icons.h"
#include "main_window/JobState.h"
#include "main_window/KeyboardRoutes.h"
#include "main_window/MousePointer.h"
#include "main_window/QtPlatform.h"
#include "main_window/SourceToggle.h"
#include "pickup/PickupController.h"
#include "results/ResultListModel.h"
#include "results/ResultsController.h"
#include "settings/SettingsController.h"
#include "shell/ShellController.h"
#include "source/SourceController.h"
#include "source/SourceTableModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QWindow>

namespace {} // namespace

frmVNLMain::frmVNLMain(Platform* platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      dlg(platform ? *platform : *(m_ownPlatform = std::make_unique<QtPlatform>()), this),
      m_platform(platform ? platform : m_ownPlatform.get()) {
    setObjectName(QStringLiteral("frmVNLMain"));
    setWindowTitle(QStringLiteral("CSV形式用抜出ソフト「Vornel」"));
    setWindowIcon(Icons::windowIcon());
    QFont f = font();
    f.setPointSize(9);
    setFont(f);
    // The designed size is the first size and the smallest; the window may grow from it.
    setMinimumSize(twips(ClientArea::kWidth), twips(ClientArea::kHeight));
    resize(minimumSize());
    setAcceptDrops(true);

    m_sourceModel = new SourceTableModel(&m_store, this);
    m_resultModel = new ResultListModel(&m_store, this);
    // The controllers see the window as their host only.
    MainWindowHost& host = *this;
    m_conditions = std::make_unique<ConditionsController>(host);
    m_settings = std::make_unique<SettingsController>(*this);
    buildLayout();
    m_job = std::make_unique<JobState>(*m_commands, *m_conditions, m_store,
                                       JobState::Controls{this, fraWordSet, cmdSend});
    m_shell = std::make_unique<ShellController>(
        host, *m_resultModel,
        ShellController::JobPanel{fraProgressbar, lblStatus, lvwOriginalData, lvwPickupData});

    m_pickup = std::make_unique<PickupController>(
        host, *m_conditions, m_store, *m_resultModel,
        PickupController::Controls{lvwOriginalData, lvwPickupData, fraProgressbar, lblStatus,
                                   cmdSend});
    m_source = std::make_unique<SourceController>(
        host, *m_conditions, *m_pickup, m_store, *m_sourceModel, *m_resultModel,
        SourceController::Controls{lvwOriginalData, lvwPickupData, fraProgressbar, lblStatus,
                                   statusPanel(Panel::FilePath)});
    m_conditions->connectControls();
    m_results = std::make_unique<ResultsController>(host, *m_conditions, *m_resultModel,
                                                    lvwPickupData, mnuPopup);
    m_sourceToggle = new SourceToggle(cmdShowSource, lvwOriginalData, lvwPickupData);
    buildKeyboardRoutes();

    Form_Load();
}

frmVNLMain::~frmVNLMain() = default;

// ---------------------------------------------------------------- start-up and shut-down

void frmVNLMain::Form_Load() {
    // 1-2. The settings file's path and the window position.
    setIniFilePath();
    myPositionLoad();
    m_source->loadOptions();  // the remembered "1行目は見出し"
    m_results->loadOptions(); // the remembered "日本語順"
    m_pickup->loadOptions();  // the remembered matching switches

    // 3-4. The buttons that need an entry or a phrase first; the condition lists' columns; the
    // lists kept from the last run.
    m_conditions->startUp();
    m_conditions->restoreStoredLists();

    // 5. The result list's column stays invisible until a pickup sizes it. The list itself is
    // hidden too: the list area shows one thing at a time, and a hidden list cannot be reached
    // with Tab behind the source list.
    lvwPickupData->header()->resizeSection(0, 0);
    lvwPickupData->hide();

    // The condition lists' column widths as the user left them.
    QList<QHeaderView*> headers;
    for (ConditionList id :
         {ConditionList::InAND, ConditionList::InOR, ConditionList::OutAND, ConditionList::OutOR})
        headers.append(conditionList(id).lvw->header());
    m_settings->setColumnHeaders(headers);
    m_settings->columnsLoad();

    // 6. The source list's column, as wide as its header text.
    m_sourceModel->setHeaders({QStringLiteral("ファイルの内容")});
    lvwOriginalData->header()->resizeSection(0, lvwOriginalData->header()->sectionSizeHint(0));

    // 7. The progress bar, filling the inner area of its host.
    const QRect inner = picProgressbar->contentsRect();
    ProgressWindow = mProgress::ProgressCreate(mProgress::PBS_SMOOTH, 0, 0, inner.width(),
                                               inner.height(), picProgressbar);
    mProgress::ProgressSetBarColor(ProgressWindow, QColor(8, 36, 107));
    mProgress::ProgressSetBkColor(ProgressWindow, QColor(255, 255, 255));

    // 8. The idle state.
    myControlsDisable();
    myControlsEnable();
}

void frmVNLMain::closeEvent(QCloseEvent* event) {
    if (isBusy()) {
        event->ignore(); // a running job keeps the window open
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
}

void frmVNLMain::Form_Unload() {
    TransferToZelvo(true);
    mProgress::ProgressDestroy(ProgressWindow);
    // A minimised window is restored first, so that its normal position is stored.
    if (isMinimized())
        showNormal();
    myPositionSave();
    m_conditions->storeLists();
}

// ---------------------------------------------------------------- dispatch

void frmVNLMain::runCommand(Command command) {
    switch (command) {
    case Command::Open:
        return myFileSelect();
    case Command::Save:
        return myResultSave();
    case Command::Print:
        return myResultPrint();
    case Command::Start:
        return myPickupStart();
    case Command::Stop:
        return myPickupStop();
    case Command::AllSelect:
        return myAllSelect();
    case Command::Copy:
        return myCopy();
    case Command::Sort:
    case Command::SortAsc:
        return mySortAsc();
    case Command::SortDesc:
        return mySortDesc();
    case Command::Help:
    case Command::HelpHelp:
        return myHelp();
    case Command::HelpAbout:
        return myAbout();
    }
}

void frmVNLMain::tlbMain_ButtonClick(Command command) {
    runCommand(command);
}

void frmVNLMain::tlbMain_ButtonMenuClick(Command command) {
    runCommand(command);
}

void frmVNLMain::cmdAccessKey_Click(int index) {
    if (index < 0 || index >= kToolbarButtonCount)
        return;
    const Command command = kToolbarButtons[size_t(index)];
    QAction* button = toolbarButton(command);
    if (button && button->isEnabled())
        runCommand(command);
}

QAction* frmVNLMain::toolbarButton(Command command) const {
    return int(command) < kToolbarButtonCount ? m_commands->action(command) : nullptr;
}

QAction* frmVNLMain::toolbarMenuItem(Command command) const {
    return int(command) < kToolbarButtonCount ? nullptr : m_commands->action(command);
}

ConditionListControls& frmVNLMain::conditionList(ConditionList id) {
    return m_conditions->controls(id);
}

void frmVNLMain::outOfMemory(const QString& what) {
    MousePointer::set(MousePointer::Default);
    m_platform->messageBox(this,
                           QStringLiteral("メモリーが足りないため、%1できませんでした。").arg(what),
                           Platform::Critical, QStringLiteral("エラー"));
}

int frmVNLMain::commaCount() const {
    return m_source->commaCount();
}

void frmVNLMain::setCommaCount(int commaCount) {
    m_source->setCommaCount(commaCount);
}

bool frmVNLMain::stopRequested() const {
    return m_pickup->stopRequested();
}

QString frmVNLMain::panelText(Panel panel) const {
    return statusPanel(panel)->text();
}

void frmVNLMain::setPanelText(Panel panel, const QString& text) {
    statusPanel(panel)->setText(text);
}

bool frmVNLMain::focusNextPrevChild(bool next) {
    // Also reached when the widget with the focus is disabled: Qt then passes the focus on.
    if (m_conditions && m_conditions->focusFallback())
        return true;
    return QWidget::focusNextPrevChild(next);
}

// ---------------------------------------------------------------- job state

void frmVNLMain::myControlsDisable() {
    m_job->myControlsDisable();
}

void frmVNLMain::myControlsEnable() {
    m_job->myControlsEnable();
}

void frmVNLMain::myStartCheck() {
    m_job->myStartCheck();
}

bool frmVNLMain::isBusy() const {
    return m_job->busy();
}
