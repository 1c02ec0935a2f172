#pragma once

// The Open command: choosing a data file (the open dialog, a file handed over from outside, a
// drop), loading it into the source list through DataLoadJob, and the source list's own mouse
// handling. The window builds the controls; this controller drives them, keeps the loaded file's
// column count and asks the window (MainWindowHost) for the rest.

#include "base/TextCodec.h"
#include "source/FieldMode.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class ConditionsController;
class QAction;
class ListView;
class MainWindowHost;
class PickupController;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QFrame;
class QLabel;
class QMenu;
class QMimeData;
class QPoint;
class QToolButton;
class ResultListModel;
class RowStore;
class SourceTableModel;

class SourceController : public QObject {
public:
    // The controls a load shows its work in.
    struct Controls {
        ListView* lvwOriginalData = nullptr;
        ListView* lvwPickupData = nullptr;
        QFrame* fraProgressbar = nullptr;
        QLabel* lblStatus = nullptr;
        QLabel* filePathPanel = nullptr; // the status bar's panel of the file's path
    };

    SourceController(MainWindowHost& host, ConditionsController& conditions,
                     PickupController& pickup, RowStore& store, SourceTableModel& sourceModel,
                     ResultListModel& resultModel, Controls controls);

    void myFileSelect();
    void myFileOpen(const QString& path);
    // Opens the file again in the encoding the user chose (the file-path panel's menu).
    void myFileOpenAs(const QString& path, TextEncoding encoding);
    // Opens the file again in the field mode the user chose (the same menu), in the encoding it
    // was read in.
    void myFileOpenWithFields(const QString& path, FieldMode mode);
    // A data file handed over from outside: loaded as if chosen in the open dialog.
    void myFileOpenGiven(const QString& path);
    // A data file from the Open button's list of recent files: opened as Open would; a file
    // that is gone leaves the list, with a message.
    void myFileOpenRecent(const QString& path);
    void lvwOriginalData_Click();
    void lvwOriginalData_DblClick();

    // A drag over the window and its drop: a data file opens as Open would.
    void dragEnter(QDragEnterEvent* event);
    void dragMove(QDragMoveEvent* event);
    void drop(QDropEvent* event);

    // The number of commas of the loaded file's first line; 0 until the first load. Set by a
    // load; a registration checks column numbers against it.
    int commaCount() const { return CommaCount; }
    void setCommaCount(int commaCount) { CommaCount = commaCount; }

    // The "1行目は見出し" option: the next load takes the file's first line as the header (it
    // names the columns and is never a row). Remembered in the settings file; loadOptions() reads
    // it at start-up. A change by the user loads the open file again.
    void loadOptions();
    bool headerLine() const;
    QAction* headerLineAction() const { return m_headerLineAction; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The one local file a drag carries, when it carries one and Open is enabled.
    std::optional<QString> sourceDroppedFile(const QMimeData* data) const;
    // Rebuilds the source list's columns with these headers, each `width` pixels wide.
    void sourceShowColumns(const QStringList& headers, int width);
    // A data file that cannot be read: back to the idle state with the table unchanged.
    void sourceLoadFailed(const QString& path, const QString& reason, const QString& previousPath,
                          int previousCommaCount);
    // The load itself; forced: the encoding the user chose, else the file's own decides.
    void sourceOpen(const QString& path, std::optional<TextEncoding> forced);
    // The encoding in the file-path panel (as text on its button cmdEncoding, and in its tooltip),
    // and the menu that reopens the file in the other one (right click, or the button: a click,
    // Alt+J, or Space once it has the focus).
    void sourceShowEncoding();
    void sourceEncodingMenu(const QPoint& globalPos);
    // The recent files below the Open button's option, afresh from the settings file.
    void sourceRecentRefresh();
    // A file loaded: it heads the recent files.
    void sourceRecentAdd(const QString& path);
    // The user switched the header-line option.
    void sourceHeaderLineChanged(bool on);
    // The source list's column headers and the condition lists' column names for the loaded file.
    void sourceShowHeaderNames();

    MainWindowHost& m_host;
    ConditionsController& m_conditions;
    PickupController& m_pickup;
    RowStore& m_store;
    SourceTableModel& m_sourceModel;
    ResultListModel& m_resultModel;
    Controls m_controls;
    QToolButton* m_encodingButton = nullptr; // a child of the file-path panel
    int CommaCount = 0;
    QAction* m_headerLineAction = nullptr;    // a child of the window
    QMenu* m_openMenu = nullptr;              // the Open button's menu, a child of the window
    std::optional<FieldMode> m_nextFieldMode; // the next load's field mode, when the user chose
};
