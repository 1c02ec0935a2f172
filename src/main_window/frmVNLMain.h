#pragma once

// The main window of Vornel and the map of how the program works.
//
//   data file --(myFileOpen: DataFileReader, frmVNLError)--> RowStore  (shown by SourceTableModel)
//     (no CountFileLines pass before it: DataFileReader counts the lines itself while it reads)
//   four condition lists (ConditionListModel x 4, registration and list files in conditions/)
//   RowStore + lists --(myPickupStart: PickupEngine)--> picked row indices (ResultListModel)
//   result rows --> copy / sort / save / print (results/), hand-over to Zelvo (shell/)
//
// The window owns every control and model. Its commands are member functions named as the
// program's documentation names them (myFileOpen, myPickupStart, ...); each area of the program
// defines its own in src/<area>/frmVNLMain<Area>.cpp, and the logic they call lives beside them as
// plain QtCore code. Long jobs (load, pickup, transfer) run inside their handlers in time slices
// and let the event loop turn between slices; the job state (myControlsDisable / myControlsEnable)
// keeps everything but Stop and Help out while they run.

#include "conditions/ConditionList.h"
#include "main_window/CommonDialog.h"
#include "main_window/ListView.h"
#include "progress/ProgressBar.h"
#include "source/RowStore.h"

#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class ConditionListModel;
class Platform;
class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;
class QShortcut;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeView;
class ResultListModel;
class SourceTableModel;

// The controls of one condition list.
struct ConditionListControls {
    ConditionList id;
    QString suffix;      // "OutAND", "OutOR", "InAND", "InOR" (part of the controls' names)
    QString messageName; // "NOT AND", "NOT OR", "AND", "OR"
    ConditionListModel* model = nullptr;
    QTreeView* lvw = nullptr;
    QLineEdit* txtNo = nullptr;
    QLineEdit* txtGoku = nullptr;
    QPushButton* cmdTuika = nullptr;
    QPushButton* cmdSakujo = nullptr;
    QPushButton* cmdAllSakujo = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* heading = nullptr;
    // The remembered row: 1-based position of the row last clicked, 0 = none. A bare position.
    int SelectedRow = 0;
};

class frmVNLMain : public QWidget {
    Q_OBJECT
public:
    // Twips per device-independent pixel: the layout is given in twips.
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int twips(int t) { return (t + kTwipsPerPixel / 2) / kTwipsPerPixel; }

    // platform: the seam for dialogs and the desktop; nullptr = the real one (QtPlatform).
    explicit frmVNLMain(Platform* platform = nullptr, QWidget* parent = nullptr);
    ~frmVNLMain() override;

    // ---- Commands (the key-to-procedure table routes to these) ----
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
    void myAllSelect();
    void myCopy();
    void mySortAsc();
    void mySortDesc();
    void myHelp();
    void myAbout();

    // ---- Dispatch ----
    // Runs the procedure of a command key; an unknown key (a separator) does nothing.
    void runCommand(const QString& key);
    void tlbMain_ButtonClick(const QString& key);
    void tlbMain_ButtonMenuClick(const QString& key);
    // Alt + letter: runs the command of access key `index` (0..8) only while its button is enabled.
    void cmdAccessKey_Click(int index);
    void cmdSend_Click();

    // ---- Job state ----
    void myControlsDisable();
    void myControlsEnable();
    void myStartCheck();
    // True between myControlsDisable and myControlsEnable: the window refuses to close.
    bool isBusy() const { return m_busy; }

    // ---- Window position (settings file) ----
    void myPositionLoad();
    void myPositionSave();

    // ---- Access for the areas and for tests ----
    Platform& platform() { return *m_platform; }
    QAction* toolbarButton(const QString& key) const;   // "M_Open" ... "M_Help"
    QAction* toolbarMenuItem(const QString& key) const; // "M_SortAsc" ... "M_HelpAbout"
    QString panelText(const QString& key) const;        // "S_FilePath", "S_Pickup", "S_Original"
    void setPanelText(const QString& key, const QString& text);
    ConditionListControls& conditionList(ConditionList id) { return m_lists[size_t(id)]; }
    std::array<ConditionListControls, kConditionListCount>& conditionLists() { return m_lists; }
    RowStore& store() { return m_store; }
    SourceTableModel* sourceModel() const { return m_sourceModel; }
    ResultListModel* resultModel() const { return m_resultModel; }
    QProgressBar* progressWindow() const { return ProgressWindow; }

    // The number of commas of the loaded file's first line; 0 until the first load.
    int CommaCount = 0;
    // Set by Stop, read by the running load or pickup after each yield.
    bool StopRequested = false;

    // Longest time a job may run before it lets the event loop turn (milliseconds). Tests shorten
    // it.
    int jobSliceMs = 15;

    // ---- Controls, named as the window's layout names them ----
    QToolBar* tlbMain = nullptr;
    QPushButton* cmdSend = nullptr;
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

private:
    // Declared before dlg, which is built on the platform: the real one when none is given.
    std::unique_ptr<Platform> m_ownPlatform;

public:
    CommonDialog dlg;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A data file dropped on the window opens as Open would; refused (not accepted) while Open is
    // disabled.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void Form_Load();
    void Form_Unload();
    void buildLayout();
    void buildToolbar();
    void buildConditionFrame(QGroupBox* frame, ConditionList first, ConditionList second,
                             QLabel*& plusLabel, const QString& plusName);
    void buildConditionList(QWidget* parent, ConditionListControls& list, int x, int y, int width,
                            int height, const QString& heading);
    void buildLists();
    void buildProgressPanel();
    void buildStatusBar();
    void buildAccessKeys();
    void setCloseEnabled(bool enabled);
    // A command that could not get the memory it needed: says so (the window stays as it was).
    void outOfMemory(const QString& what);

    // Each area connects its controls' signals here (called once from the constructor).
    void sourceConnect();
    void conditionsConnect();
    void resultsConnect();
    // Each area's share of eventFilter; true = the event was handled and stops here.
    bool sourceEventFilter(QObject* watched, QEvent* event);
    bool conditionsEventFilter(QObject* watched, QEvent* event);
    bool resultsEventFilter(QObject* watched, QEvent* event);

    // The hand-over of the result rows to Zelvo; atShutdown is the call from Form_Unload.
    void TransferToZelvo(bool atShutdown);

    Platform* m_platform;
    bool m_busy = false;
    bool m_unloaded = false;

    RowStore m_store;
    SourceTableModel* m_sourceModel = nullptr;
    ResultListModel* m_resultModel = nullptr;
    std::array<ConditionListControls, kConditionListCount> m_lists;

    QPointer<QProgressBar> ProgressWindow;
    QLabel* m_panels[3] = {};
    std::array<QShortcut*, 9> cmdAccessKey = {};

    // --- source: begin ---
    void lvwOriginalData_Click();
    void lvwOriginalData_DblClick();
    // The one local file a drag carries, when it carries one and Open is enabled.
    std::optional<QString> sourceDroppedFile(const QMimeData* data) const;
    // Rebuilds the source list's columns with these headers, each `width` pixels wide.
    void sourceShowColumns(const QStringList& headers, int width);
    // A data file that cannot be read: back to the idle state with the table unchanged.
    void sourceLoadFailed(const QString& path, const QString& reason, const QString& previousPath,
                          int previousCommaCount);
    // The load itself; forced: the encoding the user chose, else the file's own decides.
    void sourceOpen(const QString& path, std::optional<TextEncoding> forced);
    // The encoding in the file-path panel's tooltip, and its menu.
    void sourceShowEncoding();
    void sourceEncodingMenu(const QPoint& globalPos);
    // --- source: end ---

    // --- conditions: begin ---
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
    bool conditionsFocusFallback();
    // --- conditions: end ---

    // --- pickup: begin ---
    // --- pickup: end ---

    // --- results: begin ---
    void lvwPickupData_Click();
    void lvwPickupData_MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    // Sorts the result rows once, keeping each row's selected state.
    void resultsSort(bool ascending);
    // --- results: end ---

    // --- shell: begin ---
    // Why the last hand-over to Zelvo could not be written (the whole message); empty when it was.
    QString m_transferError;
    // --- shell: end ---

    // --- settings: begin ---
    // Start-up step 1: where the settings file is.
    void setIniFilePath();
    // A stored top edge without a left edge, applied when the window is first shown (pixels).
    std::optional<int> m_pendingTop;
    // --- settings: end ---
};
