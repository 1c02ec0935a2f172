// What can be done with the result rows: select, copy, sort, save, print.
#include "main_window/frmVNLMain.h"

#include "main_window/MousePointer.h"
#include "main_window/Platform.h"
#include "results/ResultCopy.h"
#include "results/ResultFile.h"
#include "results/ResultListModel.h"
#include "results/ResultPrinter.h"
#include "results/ResultSelection.h"
#include "results/ResultSort.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPagedPaintDevice>
#include <QPushButton>
#include <QTreeView>

namespace {

const QString kMessageTitle = QStringLiteral("Vornel");

} // namespace

void frmVNLMain::resultsConnect() {
    // Mouse presses and clicks arrive at the list's viewport, keys at the list itself.
    lvwPickupData->viewport()->installEventFilter(this);
    lvwPickupData->installEventFilter(this);
}

bool frmVNLMain::resultsEventFilter(QObject* watched, QEvent* event) {
    if (watched == lvwPickupData->viewport()) {
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

void frmVNLMain::myAllSelect() {
    MousePointer::set(MousePointer::Hourglass);
    // One selection range over all rows: never an index per row.
    const qint64 n = m_resultModel->count();
    if (n > 0)
        lvwPickupData->selectionModel()->select(
            ResultSelection::toSelection({{0, n - 1}}, *m_resultModel),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    lvwPickupData->setFocus();
    MousePointer::set(MousePointer::Default);
}

void frmVNLMain::myCopy() {
    MousePointer::set(MousePointer::Hourglass);
    const std::vector<RowRange> selected =
        ResultSelection::fromSelection(lvwPickupData->selectionModel()->selection());
    // The selected rows top to bottom, CR LF between them; nothing selected gives an empty text.
    try {
        m_platform->setClipboardText(ResultCopy::text(*m_resultModel, selected));
    } catch (const std::bad_alloc&) {
        outOfMemory(QStringLiteral("コピー"));
        return;
    }
    MousePointer::set(MousePointer::Default);
}

void frmVNLMain::mySortAsc() {
    resultsSort(true);
}

void frmVNLMain::mySortDesc() {
    resultsSort(false);
}

void frmVNLMain::resultsSort(bool ascending) {
    MousePointer::set(MousePointer::Hourglass);
    if (m_resultModel->count() > 0) {
        // The rows are rearranged once; each keeps its selected state, and the current row stays
        // the current row wherever it goes.
        QItemSelectionModel* selection = lvwPickupData->selectionModel();
        const std::vector<RowRange> selected = ResultSelection::normalised(
            ResultSelection::fromSelection(selection->selection()), m_resultModel->count());
        const int current = selection->currentIndex().row();
        std::vector<std::uint32_t> order;
        try {
            order =
                ResultSort::sortedOrder(*m_resultModel, ascending ? ResultSort::Order::Ascending
                                                                  : ResultSort::Order::Descending);
            ResultSort::apply(*m_resultModel, order);
        } catch (const std::bad_alloc&) {
            outOfMemory(QStringLiteral("並べ替え"));
            return;
        }
        if (!selected.empty())
            selection->select(ResultSelection::toSelection(
                                  ResultSelection::afterReorder(selected, order), *m_resultModel),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (current >= 0) {
            const auto it = std::find(order.begin(), order.end(), std::uint32_t(current));
            if (it != order.end())
                selection->setCurrentIndex(m_resultModel->index(int(it - order.begin()), 0),
                                           QItemSelectionModel::NoUpdate);
        }
    }
    MousePointer::set(MousePointer::Default);
}

void frmVNLMain::myResultSave() {
    dlg.Filter = QStringLiteral("*.csv|*.csv|*.txt|*.txt|*.xls|*.xls|");
    dlg.Flags = CommonDialog::OverwritePrompt;
    if (!dlg.ShowSave())
        return; // cancelled: nothing written, nothing said
    const QString path = dlg.FileName;
    if (path.isEmpty())
        return;
    // Written under exactly the chosen name: whatever the filter, no extension is added.
    MousePointer::set(MousePointer::Hourglass);
    const std::optional<ResultFile::Error> error = ResultFile::save(path, *m_resultModel);
    MousePointer::set(MousePointer::Default);
    if (error)
        m_platform->messageBox(this, ResultFile::message(*error), Platform::Exclamation,
                               kMessageTitle);
}

void frmVNLMain::myResultPrint() {
    MousePointer::set(MousePointer::Hourglass);
    QString reason;
    std::optional<QString> failure;
    if (std::unique_ptr<QPagedPaintDevice> printer = m_platform->defaultPrinter(&reason)) {
        try {
            failure = ResultPrinter::print(*printer, *m_resultModel);
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("メモリーが足りません。");
        }
    } else {
        failure = reason.isEmpty() ? QStringLiteral("プリンターが見つかりません。") : reason;
    }
    MousePointer::set(MousePointer::Default);
    if (failure)
        m_platform->messageBox(this, QStringLiteral("印刷できませんでした。\n") + *failure,
                               Platform::Exclamation, kMessageTitle);
}

void frmVNLMain::lvwPickupData_Click() {
    // A click on the results withdraws the condition lists' remembered rows.
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        conditionList(id).SelectedRow = 0;
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        conditionList(id).cmdSakujo->setEnabled(false);
}

void frmVNLMain::lvwPickupData_MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
    // The context menu: right button over a list that has rows. Its items are always enabled.
    if (m_resultModel->count() > 0 && button == Qt::RightButton)
        mnuPopup->popup(globalPos);
}
