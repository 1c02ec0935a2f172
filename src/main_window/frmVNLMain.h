#pragma once

// The main window of Vornel and the map of how the program works.
//
//   data file --(myFileOpen: DataLoadJob, frmVNLError)--> RowStore  (shown by SourceTableModel)
//     (no CountFileLines pass before it: the loader counts the lines itself while it reads)
//   four condition lists (ConditionListModel x 4, registration and list files in conditions/)
//   RowStore + lists --(myPickupStart: PickupJob over PickupEngine)--> picked row indices
//     (ResultListModel)
//   result rows --> copy / sort / print (results/); Save and the hand-over to Zelvo (shell/)
//     write through RowWriter
//   `vornel --pick` (app/) runs the same DataLoadJob, PickupJob and RowWriter without a window
//
// The window builds every control and owns the row store and the models. Its commands and
// handlers are member functions named as the program's documentation names them (myFileOpen,
// cmdTuika_Click, ...). Each area defines its own in src/<area>/frmVNLMain<Area>.cpp; where an area
// has a controller, those are one-line forwards to it, and the controller keeps the area's state:
//
//   CommandActions (main_window/)  the toolbar's actions and access keys, by Command
//   JobState (main_window/)        the busy state: what is enabled while a job runs
//   SourceController               Open, the drop, the load and the loaded file's column count
//   ConditionsController           the four lists' handlers and their remembered rows
//   PickupController               Start and Stop, and the Stop flag a running job reads
//   ResultsController              select all, copy, sort, print, the result list's menu
//   ShellController                help, About, the hand-over as the user starts it
//   SettingsController             the window's place, size and list columns in the settings file
//   SourceToggle (main_window/)    the source rows again in the result's place, and back
//   KeyboardRoutes (main_window/)  Enter on buttons, the menu key and Shift+F10 on every control
//
// The controllers reach the window through MainWindowHost. Save and the hand-over file's write
// are the window's own members. Long jobs (load, pickup, transfer) run inside their handlers in
// time slices and let the event loop turn between slices; the job state keeps everything but Stop
// and Help out while they run. Toolbar commands and status-bar panels are named by the Command and
// Panel enums; their keys ("M_Open", "S_FilePath", ...) are the objectNames.

#include "conditions/ConditionListControls.h"
#include "main_window/Command.h"
#include "main_window/CommonDialog.h"
#include "main_window/ListView.h"
#include "main_window/MainWindowHost.h"
#include "main_window/Panel.h"
#include "main_window/Twips.h"
#include "progress/ProgressBar.h"
#include "source/RowStore.h"

#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class CommandActions;
class ConditionsController;
class JobState;
class PickupController;
class Platform;
class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class ResultListModel;
class ResultsController;
class SettingsController;
class ShellController;
class SourceController;
class SourceTableModel;
class SourceToggle;
class QToolButton;

class frmVNLMain : public QWidget, private MainWindowHost {
    Q_OBJECT
public:
    // platform: the seam for dialogs and the desktop; nullptr = the real one (QtPlatform).
    explicit frmVNLMain(Platform* platform = nullptr, QWidget* parent = nullptr);
    ~frmVNLMain() override;

    // ---- Commands (the command dispatch routes to these) ----
    void myFileSelect();
    void myFileOpen(const QString& path);
    // Opens the file again in the encoding the user chose (the file-path panel's menu).
    void myFileOpenAs(const QString& path, TextEncoding encoding);
    // A data file handed to the window from outside (the command line, a drop): loaded exactly as
    // if it had been chosen in the open dialog, which keeps its name. Only while Open is enabled.
    void myFileOpenGiven(const QString& path);
    void myResultSave();
    void myResultPrint();
    void myPickupStart();
    void myPickupStop();
    // "この行の判定" of the list's current row.
    void myRowJudge();
    void myAllSelect();
    void myCopy();
    void mySortAsc();
    void mySortDesc();
    void myHelp();
    void myAbout();

    // ---- Dispatch ----
    // Runs the procedure of a command.
    void runCommand(Command command);
    void tlbMain_ButtonClick(Command command);
    void tlbMain_ButtonMenuClick(Command command);
    // Alt + letter: runs the command of access key `index` (0..8) only while its button is enabled.
    void cmdAccessKey_Click(int index);
    void cmdSend_Click();

    // ---- Job state ----
    void myControlsDisable() override;
    void myControlsEnable() override;
    void myStartCheck() override;
    // True between myControlsDisable and myControlsEnable: the window refuses to close.
    bool isBusy() const override;

    // ---- Window position (settings file) ----
    void myPositionLoad();
    void myPositionSave();

    // ---- Access for the areas and for tests ----
    Platform& platform() override { return *m_platform; }
    CommonDialog& dialog() override { return dlg; }
    // A toolbar button's action (Open ... Help); nullptr for a menu item's command.
    QAction* toolbarButton(Command command) const override;
    // A drop-down menu item's action (SortAsc ... HelpAbout); nullptr for a button's command.
    QAction* toolbarMenuItem(Command command) const;
    QString panelText(Panel panel) const override;
    void setPanelText(Panel panel, const QString& text) override;
    ConditionListControls& conditionList(ConditionList id);
    ConditionsController& conditions() { return *m_conditions; }
    RowStore& store() { return m_store; }
    SourceTableModel* sourceModel() const { return m_sourceModel; }
    ResultListModel* resultModel() const { return m_resultModel; }
    QProgressBar* progressWindow() const override { return ProgressWindow; }

    // The number of commas of the loaded file's first line; 0 until the first load. Set by a
    // load; a registration checks column numbers against it.
    int commaCount() const override;
    void setCommaCount(int commaCount);
    // Set by Stop, read by the running load or pickup after each yield.
    bool stopRequested() const;
    // Longest time a job may run before it lets the event loop turn (milliseconds). Tests shorten
    // it.
    int jobSliceMs() const override { return m_jobSliceMs; }
    void setJobSliceMs(int ms) { m_jobSliceMs = ms; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A data file dropped on the window opens as Open would; refused (not accepted) while Open is
    // disabled.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // MainWindowHost
    QWidget* hostWidget() override { return this; }
    void outOfMemory(const QString& what) override;
    QString transferResults() override;

    void Form_Load();
    void Form_Unload();
    void buildLayout();
    void buildToolbar();
    void buildConditionFrame(QGroupBox* frame, ConditionList first, ConditionList second,
                             QLabel*& plusLabel, const QString& plusName);
    void buildConditionList(QWidget* parent, ConditionListControls& list, const QString& heading);
    // Places the controls of a frame's two lists, and of one list, for the frame's size.
    void placeConditionFrame(QGroupBox* frame, ConditionList first, ConditionList second,
                             QLabel* plusLabel);
    void placeConditionList(ConditionListControls& list, int x, int y, int width, int height);
    // Places every control for the window's size: the designed places at the designed size; a
    // larger window gives its extra width to everything that runs across it, and its extra
    // height to the condition lists (a third) and the list area (the rest).
    void layoutControls();
    void buildLists();
    void buildProgressPanel();
    void buildStatusBar();
    void buildAccessKeys();
    // Enter, the context-menu keys, the menus' letters and the descending sort's key.
    void buildKeyboardRoutes();
    QLabel* statusPanel(Panel panel) const { return m_panels[size_t(panel)]; }

    // Declared before dlg, which is built on the platform: the real one when none is given.
    std::unique_ptr<Platform> m_ownPlatform;
    // The common dialog every command shares.
    CommonDialog dlg;
    Platform* m_platform;

    int m_jobSliceMs = 15;
    bool m_unloaded = false;

    RowStore m_store;
    SourceTableModel* m_sourceModel = nullptr;
    ResultListModel* m_resultModel = nullptr;

    // ---- Controls, named as the window's layout names them ----
    QToolBar* tlbMain = nullptr;
    QPushButton* cmdSend = nullptr;
    QToolButton* cmdShowSource = nullptr;   // the source rows in place of the result, and back
    SourceToggle* m_sourceToggle = nullptr; // a child of cmdShowSource
    QFrame* fraWordSet = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    ListView* lvwOriginalData = nullptr;
    ListView* lvwPickupData = nullptr;
    QFrame* fraProgressbar = nullptr;
    QLabel* lblStatus = nullptr;
    QFrame* picProgressbar = nullptr;
    QStatusBar* sbrStatus = nullptr;
    QMenu* mnuPopup = nullptr;
    QAction* mnuPopupAllSelect = nullptr;
    QAction* mnuPopupCopy = nullptr;
    QAction* mnuPopupLine = nullptr;
    QMenu* mnuPopupSort = nullptr;
    QAction* mnuPopupSortAsc = nullptr;
    QAction* mnuPopupSortDesc = nullptr;
    QAction* mnuPopupJudgeLine = nullptr;
    QAction* mnuPopupJudge = nullptr;
    QPointer<QProgressBar> ProgressWindow;
    std::array<QLabel*, kPanelCount> m_panels = {};

    // ---- The areas' controllers ----
    std::unique_ptr<CommandActions> m_commands;
    std::unique_ptr<ConditionsController> m_conditions;
    std::unique_ptr<JobState> m_job;
    std::unique_ptr<PickupController> m_pickup;
    std::unique_ptr<ResultsController> m_results;
    std::unique_ptr<ShellController> m_shell;
    std::unique_ptr<SettingsController> m_settings;
    std::unique_ptr<SourceController> m_source;

    // --- source: begin ---
    // Done by SourceController.
    void lvwOriginalData_Click();
    void lvwOriginalData_DblClick();
    // --- source: end ---

    // --- conditions: begin ---
    // The handlers of one list's controls, done by ConditionsController.
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
    bool txtNo_KeyPress(ConditionList id, const QString& text, Qt::KeyboardModifiers modifiers);
    void mySaveButtonsRefresh();
    // --- conditions: end ---

    // --- pickup: begin ---
    // Start and Stop are commands above, done by PickupController.
    // --- pickup: end ---

    // --- results: begin ---
    // Done by ResultsController.
    void lvwPickupData_Click();
    void lvwPickupData_MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    // --- results: end ---

    // --- shell: begin ---
    // The hand-over of the result rows to Zelvo; atShutdown is the call from Form_Unload.
    void TransferToZelvo(bool atShutdown);
    // Why the last hand-over to Zelvo could not be written (the whole message); empty when it was.
    QString m_transferError;
    // --- shell: end ---

    // --- settings: begin ---
    // Start-up step 1: where the settings file is (done by SettingsController).
    void setIniFilePath();
    // --- settings: end ---
};
