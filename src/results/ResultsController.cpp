// What can be done with the result rows: select, copy, sort, print.
#include "results/ResultsController.h"

#include "base/CountText.h"
#include "base/FileKind.h"
#include "base/WholeFile.h"
#include "conditions/ConditionsController.h"
#include "main_window/CommonDialog.h"
#include "main_window/ListView.h"
#include "main_window/MainWindowHost.h"

#include "main_window/MousePointer.h"
#include "main_window/Platform.h"
#include "results/MatchHighlightDelegate.h"
#include "results/ResultCopy.h"
#include "results/ResultFile.h"
#include "results/ResultListModel.h"
#include "results/ResultPrinter.h"
#include "results/ResultSelection.h"
#include "results/ResultSort.h"
#include "settings/SortOrderSetting.h"
#include "settings/mdlIniSet.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPagedPaintDevice>
#include <QPushButton>
#include <QTreeView>

#include <chrono>
#include <future>
#include <utility>

namespace {
// From this many result rows a sort in the code order also runs on another thread (at 5 million
// rows it takes a few hundred milliseconds).
constexpr qint64 kBackgroundSortRows = qint64(1) << 18;

const QString kMessageTitle = QStringLiteral("Vornel");

QString sameAsDataFileMessage(const QString& path) {
    return QStringLiteral("「%1」は読み込んでいるデータファイルと同じファイルです。\n"
                          "データファイルには保存できません。別の名前を指定してください。")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace

ResultsController::ResultsController(MainWindowHost& host, ConditionsController& conditions,
                                     ResultListModel& model, ListView* lvwPickupData,
                                     QMenu* mnuPopup)
    : m_host(host), m_conditions(conditions), m_resultModel(model), lvwPickupData(lvwPickupData),
      mnuPopup(mnuPopup) {
    // Mouse presses and clicks arrive at the list's viewport, keys at the list itself.
    lvwPickupData->viewport()->installEventFilter(this);
    lvwPickupData->installEventFilter(this);
    // Rows painted with the text the inclusion lists matched marked.
    lvwPickupData->setItemDelegate(new MatchHighlightDelegate(lvwPickupData));
    // A pickup that kept no row says so in the result area itself, with no box to answer.
    m_noRows = new QLabel(CountText::noPickedRows(), lvwPickupData->viewport());
    m_noRows->setObjectName(QStringLiteral("lblNoRows"));
    m_noRows->setAlignment(Qt::AlignCenter);
    m_noRows->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_noRows->hide();
    connect(&m_resultModel, &QAbstractItemModel::modelReset, this,
            &ResultsController::resultsShowEmpty);

    // "日本語順", after the two orders of the Sort button's menu.
    if (QAction* sort = m_host.toolbarButton(Command::Sort); sort && sort->menu()) {
        sort->menu()->addSeparator();
        m_japaneseOrderAction = sort->menu()->addAction(QStringLiteral("日本語順(&J)"));
        m_japaneseOrderAction->setObjectName(QStringLiteral("mnuSortJapanese"));
        m_japaneseOrderAction->setCheckable(true);
        m_japaneseOrderAction->setToolTip(
            QStringLiteral("かなを五十音順に、漢字を JIS の順に、数字を数の大きさで並べ替えます"));
        connect(m_japaneseOrderAction, &QAction::triggered, this,
                &ResultsController::resultsSortOrderChanged);
    }
}

void ResultsController::resultsShowEmpty() {
    // Shown only while the result list is: a cleared list is hidden with it.
    m_noRows->setVisible(m_resultModel.count() == 0);
    m_noRows->setGeometry(lvwPickupData->viewport()->rect());
}

void ResultsController::loadOptions() {
    if (m_japaneseOrderAction)
        m_japaneseOrderAction->setChecked(SortOrderSetting::readJapanese(mdlIniSet::IniFilePath()));
}

bool ResultsController::japaneseOrder() const {
    return m_japaneseOrderAction && m_japaneseOrderAction->isChecked();
}

void ResultsController::resultsSortOrderChanged(bool japanese) {
    SortOrderSetting::write(mdlIniSet::IniFilePath(), japanese);
}

bool ResultsController::eventFilter(QObject* watched, QEvent* event) {
    if (m_sorting) {
        // While the rows are being sorted the list only shows them.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }
    if (watched == lvwPickupData->viewport()) {
        if (event->type() == QEvent::Resize)
            m_noRows->setGeometry(lvwPickupData->viewport()->rect());
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            // The menu key or Shift+F10: the menu the right button opens, at the current row.
            if (m_resultModel.count() > 0)
                mnuPopup->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* e = static_cast<QMouseEvent*>(event);
            lvwPickupData_MouseDown(e->button(), e->globalPosition().toPoint());
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton &&
                lvwPickupData->viewport()->rect().contains(e->position().toPoint()))
                lvwPickupData_Click();
        }
        return false; // the list still selects as usual
    }
    if (watched == lvwPickupData && event->type() == QEvent::KeyPress) {
        // Ctrl+A and Ctrl+C do what Select all and Copy do (the list's own Ctrl+C would copy
        // only the current item).
        const auto* e = static_cast<QKeyEvent*>(event);
        if (e->matches(QKeySequence::SelectAll)) {
            myAllSelect();
            return true;
        }
        if (e->matches(QKeySequence::Copy)) {
            myCopy();
            return true;
        }
    }
    return false;
}

void ResultsController::myAllSelect() {
    MousePointer::set(MousePointer::Hourglass);
    // One selection range over all rows: never an index per row.
    const qint64 n = m_resultModel.count();
    if (n > 0)
        lvwPickupData->selectionModel()->select(
            ResultSelection::toSelection({{0, n - 1}}, m_resultModel),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    lvwPickupData->setFocus();
    MousePointer::set(MousePointer::Default);
}

void ResultsController::myCopy() {
    MousePointer::set(MousePointer::Hourglass);
    const std::vector<RowRange> selected =
        ResultSelection::fromSelection(lvwPickupData->selectionModel()->selection());
    // The selected rows top to bottom, CR LF between them; nothing selected gives an empty text.
    try {
        m_host.platform().setClipboardText(ResultCopy::text(m_resultModel, selected));
    } catch (const std::bad_alloc&) {
        m_host.outOfMemory(QStringLiteral("コピー"));
        return;
    }
    MousePointer::set(MousePointer::Default);
}

void ResultsController::mySortAsc() {
    resultsSort(true);
}

void ResultsController::mySortDesc() {
    resultsSort(false);
}

void ResultsController::resultsSort(bool ascending) {
    if (m_sorting)
        return;
    MousePointer::set(MousePointer::Hourglass);
    if (m_resultModel.count() > 0) {
        std::vector<std::uint32_t> order;
        std::vector<std::uint32_t> sortedRows; // the Japanese sort's rows, already in order
        try {
            // A long sort runs on another thread while this one keeps the window answering; a
            // short one in the code order is done at once.
            const ResultSort::Collation collation =
                japaneseOrder() ? ResultSort::Collation::Japanese : ResultSort::Collation::Code;
            order = collation == ResultSort::Collation::Japanese ||
                            m_resultModel.count() >= kBackgroundSortRows
                        ? sortInBackground(ascending, collation, sortedRows)
                        : ResultSort::sortedOrder(m_resultModel,
                                                  ascending ? ResultSort::Order::Ascending
                                                            : ResultSort::Order::Descending);
        } catch (const std::bad_alloc&) {
            m_host.outOfMemory(QStringLiteral("並べ替え"));
            return;
        }
        // The rows are rearranged once; each keeps its selected state, and the current row stays
        // the current row wherever it goes.
        QItemSelectionModel* selection = lvwPickupData->selectionModel();
        const std::vector<RowRange> selected = ResultSelection::normalised(
            ResultSelection::fromSelection(selection->selection()), m_resultModel.count());
        const int current = selection->currentIndex().row();
        try {
            if (sortedRows.size() == order.size())
                m_resultModel.setRows(std::move(sortedRows));
            else
                ResultSort::apply(m_resultModel, order);
        } catch (const std::bad_alloc&) {
            m_host.outOfMemory(QStringLiteral("並べ替え"));
            return;
        }
        if (!selected.empty())
            selection->select(ResultSelection::toSelection(
                                  ResultSelection::afterReorder(selected, order), m_resultModel),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (current >= 0) {
            const auto it = std::find(order.begin(), order.end(), std::uint32_t(current));
            if (it != order.end())
                selection->setCurrentIndex(m_resultModel.index(int(it - order.begin()), 0),
                                           QItemSelectionModel::NoUpdate);
        }
        // The view starts again at the first row of the new order.
        lvwPickupData->scrollToTop();
    }
    MousePointer::set(MousePointer::Default);
}

std::vector<std::uint32_t> ResultsController::sortInBackground(bool ascending,
                                                               ResultSort::Collation collation,
                                                               std::vector<std::uint32_t>& rows) {
    // The window is busy as during a load, but Stop stays off (it would end a pickup's result)
    // and the result commands are given back as they were.
    const Command resultCommands[] = {Command::Save, Command::Print, Command::AllSelect,
                                      Command::Copy, Command::Sort};
    bool wasEnabled[std::size(resultCommands)] = {};
    for (size_t i = 0; i < std::size(resultCommands); ++i)
        wasEnabled[i] = m_host.toolbarButton(resultCommands[i])->isEnabled();
    auto* cmdSend = m_host.hostWidget()->findChild<QPushButton*>(QStringLiteral("cmdSend"));
    const bool sendWasEnabled = cmdSend && cmdSend->isEnabled();

    m_host.myControlsDisable();
    m_host.toolbarButton(Command::Stop)->setEnabled(false);
    m_sorting = true;
    MousePointer::set(MousePointer::Hourglass);
    // The rows in their new order are gathered there too, so that this thread only swaps them in.
    using Sorted = std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>>;
    std::future<Sorted> sorted = std::async(std::launch::async, [this, ascending, collation] {
        Sorted out;
        out.first = ResultSort::sortedOrder(
            m_resultModel, ascending ? ResultSort::Order::Ascending : ResultSort::Order::Descending,
            collation);
        const std::vector<std::uint32_t>& current = m_resultModel.rows();
        out.second.resize(out.first.size());
        for (size_t j = 0; j < out.first.size(); ++j)
            out.second[j] = current[out.first[j]];
        return out;
    });
    const auto slice = std::chrono::milliseconds(std::max(1, m_host.jobSliceMs()));
    while (sorted.wait_for(slice) != std::future_status::ready)
        QCoreApplication::processEvents();
    m_sorting = false;
    m_host.myControlsEnable();
    for (size_t i = 0; i < std::size(resultCommands); ++i)
        m_host.toolbarButton(resultCommands[i])->setEnabled(wasEnabled[i]);
    if (cmdSend)
        cmdSend->setEnabled(sendWasEnabled);
    MousePointer::set(MousePointer::Hourglass);
    Sorted result = sorted.get(); // an exception of the sort (out of memory) comes out here
    rows = std::move(result.second);
    return std::move(result.first);
}

void ResultsController::myResultPrint() {
    MousePointer::set(MousePointer::Hourglass);
    QString reason;
    std::optional<QString> failure;
    if (std::unique_ptr<QPagedPaintDevice> printer = m_host.platform().defaultPrinter(&reason)) {
        try {
            failure = ResultPrinter::print(
                *printer, m_resultModel,
                PageHeading::make(m_host.panelText(Panel::FilePath), QDate::currentDate()));
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("メモリーが足りません。");
        }
    } else {
        failure = reason.isEmpty() ? QStringLiteral("プリンターが見つかりません。") : reason;
    }
    MousePointer::set(MousePointer::Default);
    if (failure)
        m_host.platform().messageBox(m_host.hostWidget(),
                                     QStringLiteral("印刷できませんでした。\n") + *failure,
                                     Platform::Exclamation, kMessageTitle);
}

void ResultsController::lvwPickupData_Click() {
    // A click on the results withdraws the condition lists' remembered rows.
    m_conditions.withdrawRememberedRows();
}

void ResultsController::lvwPickupData_MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
    // The context menu: right button over a list that has rows. Its items are always enabled.
    if (m_resultModel.count() > 0 && button == Qt::RightButton)
        mnuPopup->popup(globalPos);
}

void ResultsController::myResultSave() {
    CommonDialog& dlg = m_host.dialog();
    dlg.Filter = QStringLiteral("*.csv|*.csv|*.txt|*.txt|*.xls|*.xls|");
    dlg.Flags = CommonDialog::OverwritePrompt;
    if (!dlg.ShowSave(CommonDialog::Use::ResultSave))
        return; // cancelled: nothing written, nothing said
    const QString path = dlg.FileName;
    if (path.isEmpty())
        return;
    // The result must not replace the file its rows are read from, however it is named.
    if (FileKind::isSameFile(path, m_host.panelText(Panel::FilePath))) {
        m_host.platform().messageBox(m_host.hostWidget(), sameAsDataFileMessage(path),
                                     Platform::Exclamation, kMessageTitle);
        return;
    }
    // Written under the name the dialog gives: one typed without an extension has the filter's.
    MousePointer::set(MousePointer::Hourglass);
    std::optional<ResultFile::Error> error = ResultFile::save(path, m_resultModel);
    MousePointer::set(MousePointer::Default);
    // Where the folder refuses a temporary file, the file is written in place only when the user
    // agrees to lose it should the write fail.
    if (error && error->inPlaceOnly) {
        if (m_host.platform().messageBox(m_host.hostWidget(), inPlaceQuestion(path),
                                         Platform::YesNoQuestion, kMessageTitle) != Platform::Yes)
            return;
        MousePointer::set(MousePointer::Hourglass);
        error = ResultFile::save(path, m_resultModel, true);
        MousePointer::set(MousePointer::Default);
    }
    if (error)
        m_host.platform().messageBox(m_host.hostWidget(), ResultFile::message(*error),
                                     Platform::Exclamation, kMessageTitle);
}
