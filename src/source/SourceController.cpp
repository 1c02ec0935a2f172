// The Open command: choosing and loading a data file into the source list.
#include "source/SourceController.h"

#include "base/CountText.h"
#include "conditions/ConditionsController.h"
#include "main_window/CommonDialog.h"
#include "main_window/ListView.h"
#include "main_window/MainWindowHost.h"
#include "main_window/Platform.h"
#include "main_window/Twips.h"
#include "pickup/PickupController.h"
#include "progress/ProgressBar.h"
#include "results/ResultListModel.h"
#include "settings/HeaderLineSetting.h"
#include "settings/RecentFiles.h"
#include "settings/mdlIniSet.h"
#include "source/DataLoadJob.h"
#include "source/GetFileName.h"
#include "source/RowStore.h"
#include "source/SourceTableModel.h"
#include "source/frmVNLError.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <utility>

namespace {

// The progress bar counts in int; a file of more lines than that is shown in steps.
struct ProgressScale {
    qint64 divisor = 1;
    explicit ProgressScale(qint64 lines) {
        while (lines / divisor > std::numeric_limits<int>::max())
            divisor *= 2;
    }
    int operator()(qint64 value) const { return int(value / divisor); }
};

const QString kDataFileFilter = QStringLiteral("*.csv;*.txt|*.csv;*.txt|全ファイル|*.*|");

QString unreadableMessage(const QString& path, const QString& reason) {
    return QStringLiteral("データファイル「%1」を読み込めませんでした。\n%2").arg(path, reason);
}

// The information icon with OK.
constexpr int kInformationStyle = 64;
// Line numbers named in the message after 以降すべてスキップ.
constexpr int kNamedSkippedLines = 10;

QString skippedAllMessage(qint64 count, const QStringList& named) {
    QString numbers = named.join(QStringLiteral(", "));
    if (count > named.size())
        numbers += QStringLiteral(" ほか");
    return QStringLiteral("正しくないデータ %1 行をスキップしました。\n行 番号: %2")
        .arg(count)
        .arg(numbers);
}

QString recentMissingMessage(const QString& path) {
    return QStringLiteral("データファイル「%1」が見つかりません。\n"
                          "最近使ったファイルの一覧から削除しました。")
        .arg(QDir::toNativeSeparators(path));
}

QString changedQuestion(const QString& path) {
    return QStringLiteral("データファイル「%1」は読み込みの途中で変更されました。\n"
                          "読み込んだ行は変更の前と後が混ざっているかもしれません。\n"
                          "もう一度読み込みますか？")
        .arg(path);
}

} // namespace

SourceController::SourceController(MainWindowHost& host, ConditionsController& conditions,
                                   PickupController& pickup, RowStore& store,
                                   SourceTableModel& sourceModel, ResultListModel& resultModel,
                                   Controls controls)
    : m_host(host), m_conditions(conditions), m_pickup(pickup), m_store(store),
      m_sourceModel(sourceModel), m_resultModel(resultModel), m_controls(controls) {
    // The list view's Click and DblClick fire wherever the mouse hits the list, not only on a
    // row, so they are taken from the viewport's mouse events.
    m_controls.lvwOriginalData->viewport()->installEventFilter(this);
    // The file-path panel tells the encoding taken and offers to open the file in the other.
    if (QLabel* panel = m_controls.filePathPanel) {
        panel->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(panel, &QLabel::customContextMenuRequested, this,
                [this, panel](const QPoint& pos) { sourceEncodingMenu(panel->mapToGlobal(pos)); });
        m_encodingButton = new QToolButton(panel);
        m_encodingButton->setObjectName(QStringLiteral("cmdEncoding"));
        m_encodingButton->setAutoRaise(true);
        m_encodingButton->setFocusPolicy(Qt::StrongFocus);
        m_encodingButton->hide();
        // The button stays at the panel's right end when the window widens it.
        panel->installEventFilter(this);
        connect(m_encodingButton, &QToolButton::clicked, this, [this] {
            sourceEncodingMenu(
                m_encodingButton->mapToGlobal(QPoint(0, m_encodingButton->height())));
        });
    }
    // The header-line option, in the Open button's menu.
    m_headerLineAction = new QAction(QStringLiteral("1行目は見出し"), m_host.hostWidget());
    m_headerLineAction->setObjectName(QStringLiteral("mnuHeaderLine"));
    m_headerLineAction->setCheckable(true);
    m_headerLineAction->setToolTip(
        QStringLiteral("データファイルの 1 行目を列の見出しとして読み込みます"));
    connect(m_headerLineAction, &QAction::triggered, this,
            &SourceController::sourceHeaderLineChanged);
    if (QAction* open = m_host.toolbarButton(Command::Open)) {
        auto* menu = new QMenu(m_host.hostWidget());
        menu->setObjectName(QStringLiteral("mnuOpen"));
        menu->addAction(m_headerLineAction);
        open->setMenu(menu);
        // The data files opened last, below the option, read afresh each time the menu opens.
        m_openMenu = menu;
        connect(menu, &QMenu::aboutToShow, this, &SourceController::sourceRecentRefresh);
        for (QObject* face : open->associatedObjects())
            if (auto* button = qobject_cast<QToolButton*>(face))
                button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void SourceController::sourceRecentRefresh() {
    if (!m_openMenu)
        return;
    for (QAction* action : m_openMenu->actions())
        if (action->objectName().startsWith(QStringLiteral("mnuRecent")))
            delete action;
    const QStringList recent = RecentFiles::read(mdlIniSet::IniFilePath());
    if (recent.isEmpty())
        return;
    m_openMenu->addSeparator()->setObjectName(QStringLiteral("mnuRecentLine"));
    for (int i = 0; i < recent.size(); ++i) {
        // "&1 path": the number is the item's access key. A "&" in the path is shown as itself.
        QString shown = QDir::toNativeSeparators(recent[i]);
        shown.replace(u'&', QStringLiteral("&&"));
        QAction* item = m_openMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        item->setObjectName(QStringLiteral("mnuRecent%1").arg(i));
        item->setToolTip(recent[i]);
        connect(item, &QAction::triggered, this,
                [this, path = recent[i]] { myFileOpenRecent(path); });
    }
}

void SourceController::myFileOpenRecent(const QString& path) {
    if (!m_host.toolbarButton(Command::Open)->isEnabled() || m_host.isBusy())
        return;
    if (!QFileInfo(path).isFile()) {
        // Gone since it was opened (moved, deleted, an unplugged drive): it leaves the list.
        const QString ini = mdlIniSet::IniFilePath();
        RecentFiles::write(ini, RecentFiles::without(RecentFiles::read(ini), path));
        m_host.platform().messageBox(m_host.hostWidget(), recentMissingMessage(path),
                                     Platform::Exclamation, QStringLiteral("Vornel"));
        return;
    }
    // The normal way in: the open dialog's memory, every check of a load.
    myFileOpenGiven(path);
}

void SourceController::sourceRecentAdd(const QString& path) {
    const QString ini = mdlIniSet::IniFilePath();
    RecentFiles::write(ini, RecentFiles::withNewest(RecentFiles::read(ini), path));
}

void SourceController::loadOptions() {
    m_headerLineAction->setChecked(HeaderLineSetting::read(mdlIniSet::IniFilePath()));
}

bool SourceController::headerLine() const {
    return m_headerLineAction->isChecked();
}

void SourceController::sourceHeaderLineChanged(bool on) {
    HeaderLineSetting::write(mdlIniSet::IniFilePath(), on);
    // The open file is read again the new way, in the encoding it was read in.
    const QString path = m_host.panelText(Panel::FilePath);
    if (!path.isEmpty() && !m_host.isBusy() && m_host.toolbarButton(Command::Open)->isEnabled())
        myFileOpenAs(path, m_store.encoding());
}

void SourceController::sourceShowHeaderNames() {
    QStringList headers;
    QStringList names;
    headers.reserve(CommaCount + 1);
    for (int i = 0; i <= CommaCount; ++i) {
        const QString name = m_store.hasHeader() ? m_store.headerField(i) : QString();
        headers.append(name.isEmpty() ? QString::number(i + 1) : name);
        if (m_store.hasHeader())
            names.append(name);
    }
    sourceShowColumns(headers, twips(1000));
    m_conditions.setColumnNames(names);
}

bool SourceController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_controls.filePathPanel) {
        if (event->type() == QEvent::Resize && m_encodingButton && !m_encodingButton->isHidden())
            sourceShowEncoding();
        return false;
    }
    if (!m_controls.lvwOriginalData || watched != m_controls.lvwOriginalData->viewport())
        return false;
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        lvwOriginalData_Click();
    else if (event->type() == QEvent::MouseButtonDblClick)
        lvwOriginalData_DblClick();
    return false; // the view still handles the event (selection)
}

void SourceController::lvwOriginalData_Click() {
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        m_conditions.controls(id).cmdSakujo->setEnabled(false);
}

void SourceController::lvwOriginalData_DblClick() {
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        m_conditions.controls(id).cmdSakujo->setEnabled(false);
}

void SourceController::myFileSelect() {
    CommonDialog& dlg = m_host.dialog();
    dlg.Filter = kDataFileFilter;
    if (!dlg.ShowOpen(CommonDialog::Use::DataOpen))
        return; // cancelled: nothing changes
    myFileOpen(dlg.FileName);
}

void SourceController::myFileOpenGiven(const QString& path) {
    if (path.isEmpty() || !m_host.toolbarButton(Command::Open)->isEnabled())
        return;
    // What the open dialog would have answered: the full path, remembered by the dialog.
    CommonDialog& dlg = m_host.dialog();
    dlg.Filter = kDataFileFilter;
    dlg.dataFileGiven(path);
    myFileOpen(dlg.FileName);
}

std::optional<QString> SourceController::sourceDroppedFile(const QMimeData* data) const {
    if (!m_host.toolbarButton(Command::Open)->isEnabled() || !data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return std::nullopt;
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return std::nullopt;
    return path;
}

void SourceController::dragEnter(QDragEnterEvent* event) {
    if (sourceDroppedFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SourceController::dragMove(QDragMoveEvent* event) {
    // Open may have been disabled since the drag came in (a job started).
    if (sourceDroppedFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SourceController::drop(QDropEvent* event) {
    const std::optional<QString> path = sourceDroppedFile(event->mimeData());
    if (!path) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The load runs after the drop has been answered, so the program the file came from is not
    // kept waiting for it.
    QMetaObject::invokeMethod(
        this, [this, file = *path] { myFileOpenGiven(file); }, Qt::QueuedConnection);
}

void SourceController::sourceShowColumns(const QStringList& headers, int width) {
    QHeaderView* header = m_controls.lvwOriginalData->header();
    header->setDefaultSectionSize(width);
    m_sourceModel.setHeaders(headers);
    for (int i = 0; i < header->count(); ++i)
        if (header->sectionSize(i) != width)
            header->resizeSection(i, width);
}

void SourceController::sourceLoadFailed(const QString& path, const QString& reason,
                                        const QString& previousPath, int previousCommaCount) {
    // Nothing of the source table has changed yet: the panel and the comma count go back to
    // what belongs to it.
    m_host.setPanelText(Panel::FilePath, previousPath);
    CommaCount = previousCommaCount;
    m_host.platform().messageBox(m_host.hostWidget(), unreadableMessage(path, reason),
                                 Platform::Critical, QStringLiteral("エラー"));
    m_host.myControlsEnable();
}

void SourceController::myFileOpen(const QString& path) {
    sourceOpen(path, std::nullopt);
}

void SourceController::myFileOpenAs(const QString& path, TextEncoding encoding) {
    sourceOpen(path, encoding);
}

void SourceController::myFileOpenWithFields(const QString& path, FieldMode mode) {
    m_nextFieldMode = mode;
    sourceOpen(path, m_store.encoding());
}

void SourceController::sourceShowEncoding() {
    QLabel* panel = m_controls.filePathPanel;
    if (!panel)
        return;
    if (m_host.panelText(Panel::FilePath).isEmpty()) {
        panel->setToolTip(QString());
        m_encodingButton->hide();
        panel->setContentsMargins(0, 0, 0, 0);
        return;
    }
    QString name = TextCodec::displayName(m_store.encoding());
    if (m_store.byteOrderMark())
        name += QStringLiteral("（BOM 付き）");
    const QString mode = FieldModes::displayName(m_store.fieldMode());
    panel->setToolTip(QStringLiteral("文字コード: %1\n項目: %2\n右クリックで別の文字コードや項目の"
                                     "読み方で開き直せます。")
                          .arg(name, mode));
    // The encoding and the field mode as text at the panel's right end; the path's text stops
    // before it.
    m_encodingButton->setText(QStringLiteral("文字コード(&J): %1　項目: %2").arg(name, mode));
    m_encodingButton->setToolTip(
        QStringLiteral("別の文字コードや項目の読み方で開き直します (Alt+J)"));
    m_encodingButton->adjustSize();
    const int height = std::min(m_encodingButton->height(), panel->height());
    m_encodingButton->setGeometry(panel->width() - m_encodingButton->width() - 2,
                                  (panel->height() - height) / 2, m_encodingButton->width(),
                                  height);
    panel->setContentsMargins(0, 0, m_encodingButton->width() + 4, 0);
    m_encodingButton->show();
}

void SourceController::sourceEncodingMenu(const QPoint& globalPos) {
    const QString path = m_host.panelText(Panel::FilePath);
    if (path.isEmpty() || m_host.isBusy() || !m_host.toolbarButton(Command::Open)->isEnabled())
        return;
    QMenu menu(m_host.hostWidget());
    for (const TextEncoding encoding : {TextEncoding::Cp932, TextEncoding::Utf8}) {
        QAction* action =
            menu.addAction(QStringLiteral("%1 で開き直す").arg(TextCodec::displayName(encoding)));
        action->setCheckable(true);
        action->setChecked(encoding == m_store.encoding());
        connect(action, &QAction::triggered, this,
                [this, path, encoding] { myFileOpenAs(path, encoding); });
    }
    menu.addSeparator();
    for (const FieldMode mode : {FieldMode::Plain, FieldMode::Quoted}) {
        QAction* action =
            menu.addAction(QStringLiteral("%1 で開き直す").arg(FieldModes::displayName(mode)));
        action->setCheckable(true);
        action->setChecked(mode == m_store.fieldMode());
        connect(action, &QAction::triggered, this,
                [this, path, mode] { myFileOpenWithFields(path, mode); });
    }
    menu.exec(globalPos);
}

void SourceController::sourceOpen(const QString& path, std::optional<TextEncoding> forced) {
    if (path.isEmpty())
        return;
    const QString previousPath = m_host.panelText(Panel::FilePath);
    const int previousCommaCount = CommaCount;
    m_host.setPanelText(Panel::FilePath, path);
    CommaCount = 0;
    m_pickup.clearStopRequest();
    m_host.myControlsDisable();

    // First look: the first line fixes the number of columns, the first bytes the encoding.
    DataLoadJob job(path, forced);
    job.setHeaderLine(headerLine());
    job.forceFieldMode(std::exchange(m_nextFieldMode, std::nullopt));
    if (const std::optional<QString> error = job.readFirstLine()) {
        sourceLoadFailed(path, *error, previousPath, previousCommaCount);
        return;
    }
    if (job.isEmpty()) {
        // A file without any data empties the table: one column "1", no rows.
        m_resultModel.clear();
        job.resetStore(m_store);
        m_sourceModel.refresh();
        sourceShowColumns({QStringLiteral("1")}, twips(1000));
        m_conditions.setColumnNames({});
        mProgress::ProgressSetRange(m_host.progressWindow(), 0, 0);
        mProgress::ProgressSetPos(m_host.progressWindow(), 0);
        m_host.setPanelText(Panel::Original, CountText::sourceRows(0));
        m_host.setPanelText(Panel::Pickup, CountText::pickedRows(0));
        m_controls.lvwPickupData->hide();
        m_controls.lvwOriginalData->show();
        sourceShowEncoding();
        sourceRecentAdd(path);
        m_host.myControlsEnable();
        m_conditions.controls(ConditionList::InAND).txtNo->setFocus();
        return;
    }
    if (const std::optional<QString> error = job.open(m_store)) {
        sourceLoadFailed(path, *error, previousPath, previousCommaCount);
        return;
    }
    const int commaCount = job.commaCount();
    CommaCount = commaCount;

    m_host.setPanelText(Panel::Original, CountText::sourceRows(0));
    m_host.setPanelText(Panel::Pickup, CountText::pickedRows(0));
    m_controls.lblStatus->setText(QStringLiteral("ファイル読み込み中..."));
    m_controls.fraProgressbar->show();
    m_controls.lvwOriginalData->hide();
    m_controls.lvwPickupData->hide();

    // The result rows point into the store: they go first. The old table's memory is given back
    // before the new file is read.
    m_resultModel.clear();
    job.resetStore(m_store);
    m_sourceModel.refresh();
    sourceShowHeaderNames(); // numbers until the header line is read

    // The bar follows the bytes while they are read, then the lines. A line that does not fit
    // pauses the load in the modal data-error dialog; a correction takes the rejected line's
    // place.
    const QString fileName = mdlShare::GetFileName(path);
    std::optional<DataLoadJob::Stage> shownStage;
    ProgressScale scale(0);
    DataLoadJob::Hooks hooks;
    hooks.progress = [&](DataLoadJob::Stage stage, qint64 done, qint64 total) {
        if (stage != shownStage) {
            shownStage = stage;
            scale = ProgressScale(total);
            mProgress::ProgressSetRange(m_host.progressWindow(), 0, scale(total));
        }
        mProgress::ProgressSetPos(m_host.progressWindow(), scale(done));
    };
    hooks.yield = [this] {
        QCoreApplication::processEvents();
        return m_pickup.stopRequested();
    };
    // 以降すべてスキップ holds for the rest of this load only.
    bool skipAll = false;
    qint64 skippedAll = 0;
    QStringList skippedNamed;
    hooks.misfit = [&](QByteArrayView line, qint64 lineNumber) {
        mdlvornel::DataLineOutcome outcome = mdlvornel::DataLineOutcome::SkipAll;
        if (!skipAll)
            outcome = mdlvornel::AddDataLineOutcome(line, fileName, lineNumber, m_store,
                                                    m_host.platform());
        if (outcome == mdlvornel::DataLineOutcome::SkipAll) {
            skipAll = true;
            if (++skippedAll <= kNamedSkippedLines)
                skippedNamed.append(QString::number(lineNumber));
            return true;
        }
        if (outcome != mdlvornel::DataLineOutcome::Stop)
            return true;
        m_pickup.myPickupStop(); // 読込中止 in the data-error dialog: as Stop
        return false;
    };
    const DataLoadJob::Result result =
        job.run(m_store, hooks, std::chrono::milliseconds(std::max(1, m_host.jobSliceMs())));
    if (job.commaCount() != commaCount) {
        // Read in quoted mode: the columns are the first record's.
        CommaCount = job.commaCount();
        QStringList quotedHeaders;
        for (int i = 1; i <= CommaCount + 1; ++i)
            quotedHeaders.append(QString::number(i));
        sourceShowColumns(quotedHeaders, twips(1000));
    }

    if (!result.done()) {
        // A stopped (or broken-off) load leaves an empty table with one empty, hidden column.
        m_host.setPanelText(Panel::FilePath, QString());
        job.resetStore(m_store);
        m_sourceModel.refresh();
        sourceShowColumns({QString()}, 0);
        m_conditions.setColumnNames({});
    } else {
        if (m_store.hasHeader())
            sourceShowHeaderNames();
        sourceRecentAdd(path);
    }
    m_sourceModel.refresh();
    m_host.setPanelText(Panel::Original, CountText::sourceRows(m_store.rowCount()));
    sourceShowEncoding();
    m_controls.lvwOriginalData->show();
    m_controls.fraProgressbar->hide();
    if (!result.error.isEmpty())
        m_host.platform().messageBox(m_host.hostWidget(), unreadableMessage(path, result.error),
                                     Platform::Critical, QStringLiteral("エラー"));
    else if (result.done() && skippedAll > 0)
        m_host.platform().messageBox(m_host.hostWidget(),
                                     skippedAllMessage(skippedAll, skippedNamed), kInformationStyle,
                                     QStringLiteral("データエラー"));
    m_host.myControlsEnable();
    // Loaded: the next thing to do is a condition, from the AND list's column box.
    if (result.done())
        m_conditions.controls(ConditionList::InAND).txtNo->setFocus();
    // A file that changed under the load: the rows may mix two versions of it.
    if (result.changed && m_host.platform().messageBox(m_host.hostWidget(), changedQuestion(path),
                                                       Platform::YesNoQuestion,
                                                       QStringLiteral("Vornel")) == Platform::Yes)
        sourceOpen(path, forced);
}
