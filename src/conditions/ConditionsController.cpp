// The four condition lists: registration, editing, list files, undo and redo, pasted lines.
//
// The handlers are shared by the four lists; each is called with the list whose control fired.
// The logic they call (column checks, duplicate search, list-file format) is in
// ConditionRegistration and ConditionListFile; undo and redo are ConditionsHistory's, what the
// text boxes take and several pasted lines ConditionBoxInput's. Every handler that edits a list
// captures the lists before it and records the edit as one undo step at its end.
#include "conditions/ConditionsController.h"

#include "base/WholeFile.h"
#include "conditions/ConditionListFile.h"
#include "conditions/ConditionListModel.h"
#include "conditions/ConditionRegistration.h"
#include "main_window/CommonDialog.h"
#include "main_window/DropDownButton.h"
#include "main_window/MainWindowHost.h"
#include "main_window/Platform.h"
#include "main_window/Twips.h"
#include "settings/AppPaths.h"
#include "settings/StoredLists.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>

#include <new>

namespace {

const QString kErrorTitle = QStringLiteral("エラー");
const QString kDuplicateTitle = QStringLiteral("その語句は登録済みです");
const QString kListFileFilter = QStringLiteral("*.csv|*.csv|");
const QString kSetFileFilter = QStringLiteral("条件セット|*.txt|全ファイル|*.*|");
// The column box takes this many characters from the keyboard; text the program puts there (an
// entry taken back from a list of 100 or more columns) is not cut.
constexpr qsizetype kColumnKeyboardLimit = 2;

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// A key event that types a character into a text box (what reaches the character filter).
bool typesCharacter(const QKeyEvent* event) {
    return !event->text().isEmpty() && event->key() != Qt::Key_Delete;
}

} // namespace

ConditionsController::ConditionsController(MainWindowHost& host)
    : m_host(host), m_history(*this, host), m_boxInput(*this, host) {
    for (int i = 0; i < kConditionListCount; ++i)
        m_lists[size_t(i)].id = ConditionList(i);
}

void ConditionsController::startUp() {
    // The buttons that need an entry or a phrase first.
    for (ConditionList id :
         {ConditionList::InAND, ConditionList::InOR, ConditionList::OutAND, ConditionList::OutOR})
        controls(id).cmdTuika->setEnabled(false);
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        controls(id).cmdSakujo->setEnabled(false);
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        controls(id).cmdSave->setEnabled(false);

    // The lists' columns.
    for (ConditionList id :
         {ConditionList::InAND, ConditionList::InOR, ConditionList::OutAND, ConditionList::OutOR}) {
        QHeaderView* header = controls(id).lvw->header();
        header->resizeSection(0, twips(350));
        header->resizeSection(1, twips(6150));
    }
}

qsizetype ConditionsController::entryCount() const {
    qsizetype entries = 0;
    for (const ConditionListControls& list : m_lists)
        entries += list.model->count();
    return entries;
}

void ConditionsController::withdrawRememberedRows() {
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        setSelectedRow(id, 0);
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        controls(id).cmdSakujo->setEnabled(false);
}

void ConditionsController::connectControls() {
    // The condition set's two commands, in the drop-down menus of every list's 読込 and 保存.
    QWidget* window = m_host.hostWidget();
    m_setOpen = new QAction(QStringLiteral("条件セットを読込..."), window);
    m_setOpen->setObjectName(QStringLiteral("mnuSetOpen"));
    m_setSave = new QAction(QStringLiteral("条件セットを保存..."), window);
    m_setSave->setObjectName(QStringLiteral("mnuSetSave"));
    connect(m_setOpen, &QAction::triggered, this, [this] { mySetOpen(); });
    connect(m_setSave, &QAction::triggered, this, [this] { mySetSave(); });
    for (ConditionListControls& list : m_lists) {
        const ConditionList id = list.id;
        connect(list.cmdTuika, &QPushButton::clicked, this, [this, id] { cmdTuika_Click(id); });
        connect(list.cmdSakujo, &QPushButton::clicked, this, [this, id] { cmdSakujo_Click(id); });
        connect(list.cmdAllSakujo, &QPushButton::clicked, this,
                [this, id] { cmdAllSakujo_Click(id); });
        connect(list.cmdSave, &QPushButton::clicked, this, [this, id] { cmdSave_Click(id); });
        connect(list.cmdOpen, &QPushButton::clicked, this, [this, id] { cmdOpen_Click(id); });
        for (auto [button, action] :
             {std::pair{list.cmdOpen, m_setOpen}, {list.cmdSave, m_setSave}})
            if (auto* dropDown = dynamic_cast<DropDownButton*>(button)) {
                dropDown->addDropDownAction(action);
                dropDown->setToolTip(QStringLiteral("▼ (Alt+↓): ") + action->text());
            }
        connect(list.lvw, &QAbstractItemView::clicked, this,
                [this, id](const QModelIndex& index) { lvw_Click(id, index.row() + 1); });
        connect(list.txtGoku, &QLineEdit::textChanged, this, [this, id] { txtGoku_Change(id); });
        connect(list.txtNo, &QLineEdit::textChanged, this, [this, id] { showColumnName(id); });
        ConditionBoxInput::keepTypedInput(list.txtNo, kColumnKeyboardLimit);
        ConditionBoxInput::keepTypedInput(
            list.txtGoku, -1, [this, id](const QString& lines) { return pasteLines(id, lines); });
        // The current item stays in the column "列": the list then never scrolls sideways to show
        // a phrase (a click on one, or the row that moves up after a delete), which would push
        // the column numbers out of sight.
        QTreeView* lvw = list.lvw;
        connect(lvw->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [lvw](const QModelIndex& current) {
                    if (current.isValid() && current.column() != 0)
                        lvw->selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                                               QItemSelectionModel::NoUpdate);
                });
        // Double-clicks anywhere in the list (also below the last row), clicks and keys in the
        // text boxes.
        list.lvw->viewport()->installEventFilter(this);
        list.txtNo->installEventFilter(this);
        list.txtGoku->installEventFilter(this);

        // Undo and redo: Ctrl+Z / Ctrl+Y in the list, its boxes and its buttons, and the list's
        // own menu.
        list.lvw->installEventFilter(this);
        for (QPushButton* b :
             {list.cmdTuika, list.cmdSakujo, list.cmdAllSakujo, list.cmdOpen, list.cmdSave})
            b->installEventFilter(this);
        m_history.connectList(list);
    }
}

bool ConditionsController::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease &&
        type != QEvent::KeyPress && type != QEvent::ContextMenu)
        return false;
    for (ConditionListControls& list : m_lists) {
        const ConditionList id = list.id;
        if (type == QEvent::ContextMenu) {
            // A right click arrives at the list's viewport, the menu key at the list: the menu
            // opens where the event says (the signal's position alone cannot tell which of the
            // two it is relative to).
            if (watched != list.lvw && watched != list.lvw->viewport())
                continue;
            lvw_ContextMenu(id, static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        if (type == QEvent::KeyPress) {
            const bool own = watched == list.lvw || watched == list.txtNo ||
                             watched == list.txtGoku || watched == list.cmdTuika ||
                             watched == list.cmdSakujo || watched == list.cmdAllSakujo ||
                             watched == list.cmdOpen || watched == list.cmdSave;
            if (own && m_history.historyKey(id, watched, static_cast<QKeyEvent*>(event)))
                return true;
            if (watched == list.lvw)
                return false;
        }
        if (watched == list.lvw->viewport()) {
            if (type != QEvent::MouseButtonDblClick)
                return false;
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                return false;
            // Handled here and not passed on: the view would take the second click of a
            // double-click on a row that has just left the list as a click on the row behind it.
            lvw_DblClick(id);
            return true;
        }
        const bool isNo = watched == list.txtNo;
        if (!isNo && watched != list.txtGoku)
            continue;
        if (type == QEvent::MouseButtonRelease) {
            // A click: the left button released over the box.
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QWidget* box = isNo ? list.txtNo : list.txtGoku;
            if (mouse->button() == Qt::LeftButton &&
                box->rect().contains(mouse->position().toPoint()))
                txt_Click();
            return false;
        }
        if (type == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            txt_KeyDown(id, key->key());
            if (isNo && typesCharacter(key) && !txtNo_KeyPress(id, key->text(), key->modifiers()))
                return true; // the character is discarded
        }
        return false;
    }
    return false;
}

// ---------------------------------------------------------------- registration

void ConditionsController::cmdTuika_Click(ConditionList id) {
    const ConditionsState before = captureState();
    ConditionListControls& list = controls(id);
    if (list.txtNo->text().isEmpty())
        list.txtNo->setText(QStringLiteral("0"));
    const ConditionEntry entry{list.txtNo->text(), list.txtGoku->text()};

    ConditionRegistration::Lists models{};
    for (const ConditionListControls& l : m_lists)
        models[size_t(l.id)] = l.model;
    const ConditionRegistration::Result result = ConditionRegistration::registerEntry(
        models, id, entry, m_host.commaCount(), [this](const QString& question) {
            return m_host.platform().messageBox(m_host.hostWidget(), question,
                                                Platform::YesNoQuestion,
                                                kDuplicateTitle) == Platform::Yes;
        });

    switch (result.outcome) {
    case ConditionRegistration::Outcome::Registered:
        // Set, not cleared: a cleared box would offer its own undo of the clearing, and Ctrl+Z
        // there would bring the text back without taking the entry out of the list.
        list.txtNo->setText(QString());
        list.txtGoku->setText(QString());
        break;
    case ConditionRegistration::Outcome::Refused:
        m_host.platform().messageBox(m_host.hostWidget(), result.error, Platform::Critical,
                                     kErrorTitle);
        break;
    case ConditionRegistration::Outcome::Declined:
        break;
    }
    recordEdit(before);
    mySaveButtonsRefresh();
    m_host.myStartCheck();
}

void ConditionsController::mySaveButtonsRefresh() {
    for (ConditionList id : kConditionListOrder) {
        ConditionListControls& list = controls(id);
        list.cmdSave->setEnabled(list.model->count() > 0);
    }
}

// ---------------------------------------------------------------- editing

void ConditionsController::lvw_Click(ConditionList id, int position) {
    for (ConditionList other : kConditionListOrder)
        if (other != id)
            controls(other).cmdSakujo->setEnabled(false);
    ConditionListControls& list = controls(id);
    m_selectedRow[size_t(id)] = position;
    list.cmdSakujo->setEnabled(position >= 1);
    list.cmdSave->setEnabled(list.model->count() > 0);
    m_host.myStartCheck();
}

void ConditionsController::cmdSakujo_Click(ConditionList id) {
    ConditionListControls& list = controls(id);
    const int row = selectedRow(id);
    if (row < 1 || row > list.model->count())
        return; // the remembered position holds no row (any more)
    const ConditionsState before = captureState();
    list.model->removeEntry(row - 1);
    recordEdit(before);
    list.cmdSakujo->setEnabled(false);
    list.cmdSave->setEnabled(list.model->count() > 0);
    m_host.myStartCheck();
}

void ConditionsController::cmdAllSakujo_Click(ConditionList id) {
    ConditionListControls& list = controls(id);
    const ConditionsState before = captureState();
    list.model->clear();
    recordEdit(before);
    list.cmdSave->setEnabled(false);
    m_host.myStartCheck();
}

void ConditionsController::lvw_DblClick(ConditionList id) {
    for (ConditionList each : kConditionListOrder)
        controls(each).cmdSakujo->setEnabled(false);
    ConditionListControls& list = controls(id);
    const int row = selectedRow(id);
    const qsizetype count = list.model->count();
    if (row > 0 && count > 0) {
        if (row > count)
            return;
        const ConditionsState before = captureState();
        const ConditionEntry entry = list.model->entry(row - 1);
        list.txtNo->setText(entry.column);
        list.txtGoku->setText(entry.phrase); // runs the phrase box's change handling
        list.model->removeEntry(row - 1);
        recordEdit(before); // the boxes' earlier texts come back with an undo
    }
    list.cmdSave->setEnabled(list.model->count() > 0);
    m_host.myStartCheck();
}

void ConditionsController::txtGoku_Change(ConditionList id) {
    if (id == ConditionList::InOR)
        setSelectedRow(ConditionList::InAND, 0);
    ConditionListControls& list = controls(id);
    list.cmdTuika->setEnabled(!list.txtGoku->text().isEmpty());
    if (id == ConditionList::InAND)
        for (ConditionList other :
             {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InOR})
            controls(other).cmdSakujo->setEnabled(false);
}

bool ConditionsController::focusFallback() {
    // A list button that had the keyboard focus has just been disabled (追加 after a registration,
    // 削除 after a delete): the focus goes to that list's phrase box, never on to the next button,
    // which may be 全削除.
    QWidget* focused = m_host.hostWidget()->focusWidget();
    for (ConditionListControls& list : m_lists) {
        for (QPushButton* b :
             {list.cmdTuika, list.cmdSakujo, list.cmdAllSakujo, list.cmdOpen, list.cmdSave}) {
            if (b == focused && !b->isEnabled() && list.txtGoku->isEnabled()) {
                list.txtGoku->setFocus(Qt::OtherFocusReason);
                return true;
            }
        }
    }
    return false;
}

void ConditionsController::txt_Click() {
    for (ConditionListControls& list : m_lists)
        setSelectedRow(list.id, 0);
    for (ConditionList id : kConditionListOrder)
        controls(id).cmdSakujo->setEnabled(false);
}

void ConditionsController::txt_KeyDown(ConditionList id, int key) {
    // Enter registers whatever the shift state (Shift+Enter and Ctrl+Enter too).
    if (isEnterKey(key) && !controls(id).txtGoku->text().isEmpty())
        cmdTuika_Click(id);
}

bool ConditionsController::txtNo_KeyPress(ConditionList id, const QString& text,
                                          Qt::KeyboardModifiers modifiers) {
    if (id == ConditionList::InAND)
        setSelectedRow(ConditionList::InAND, 0);
    // Control characters (Backspace, Enter, and what Ctrl+C / Ctrl+X / Ctrl+V send) and the
    // digits "0" to "9" pass; anything else is refused with a beep.
    if (modifiers & (Qt::ControlModifier | Qt::MetaModifier))
        return true;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 32 && (u < u'0' || u > u'9')) {
            m_host.platform().beep();
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- list files

void ConditionsController::cmdSave_Click(ConditionList id) {
    CommonDialog& dialog = m_host.dialog();
    dialog.Filter = kListFileFilter;
    dialog.Flags = CommonDialog::OverwritePrompt;
    if (!dialog.ShowSave(CommonDialog::Use::ListSave, int(id)))
        return;
    ConditionListFile::SaveResult result =
        ConditionListFile::save(dialog.FileName, controls(id).model->entries());
    // Where the folder refuses a temporary file, the file is written in place only when the user
    // agrees to lose it should the write fail.
    if (result.inPlaceOnly) {
        if (m_host.platform().messageBox(m_host.hostWidget(), inPlaceQuestion(dialog.FileName),
                                         Platform::YesNoQuestion,
                                         QStringLiteral("Vornel")) != Platform::Yes)
            return;
        result = ConditionListFile::save(dialog.FileName, controls(id).model->entries(), true);
    }
    if (!result.ok())
        m_host.platform().messageBox(m_host.hostWidget(), result.error, Platform::Critical,
                                     kErrorTitle);
}

void ConditionsController::cmdOpen_Click(ConditionList id) {
    CommonDialog& dialog = m_host.dialog();
    dialog.Filter = kListFileFilter;
    if (dialog.ShowOpen(CommonDialog::Use::ListLoad, int(id))) {
        ConditionListFile::LoadResult result = ConditionListFile::load(dialog.FileName);
        try {
            const ConditionsState before = captureState();
            controls(id).model->appendEntries(result.entries);
            recordEdit(before);
        } catch (const std::bad_alloc&) {
            result.error = ConditionListFile::loadFailedMessage(
                dialog.FileName, QStringLiteral("メモリーが足りません。"));
        }
        showLoadOutcome(result.error, result.warning);
    }
    mySaveButtonsRefresh();
    m_host.myStartCheck();
}

void ConditionsController::showLoadOutcome(const QString& error, const QString& warning) {
    // A load that failed says why; one that skipped bad lines names them.
    if (!error.isEmpty())
        m_host.platform().messageBox(m_host.hostWidget(), error, Platform::Critical, kErrorTitle);
    else if (!warning.isEmpty())
        m_host.platform().messageBox(m_host.hostWidget(), warning, Platform::Exclamation,
                                     kErrorTitle);
}

// ---------------------------------------------------------------- condition sets

ConditionSetFile::Lists ConditionsController::allLists() const {
    ConditionSetFile::Lists lists;
    for (const ConditionListControls& list : m_lists)
        lists[size_t(list.id)] = list.model->entries();
    return lists;
}

void ConditionsController::replaceAllLists(ConditionSetFile::Lists lists) {
    // The remembered rows would name other entries now.
    withdrawRememberedRows();
    const ConditionsState before = captureState();
    for (ConditionListControls& list : m_lists)
        list.model->setEntries(std::move(lists[size_t(list.id)]));
    recordEdit(before); // one step for the four lists
    mySaveButtonsRefresh();
    m_host.myStartCheck();
}

void ConditionsController::mySetOpen() {
    CommonDialog& dialog = m_host.dialog();
    dialog.Filter = kSetFileFilter;
    if (dialog.ShowOpen(CommonDialog::Use::SetLoad)) {
        ConditionSetFile::LoadResult result = ConditionSetFile::load(dialog.FileName);
        // A file that holds no entry leaves the lists as they are (see ConditionSetFile::load);
        // bad lines are named, the others loaded, as a list file's load does.
        if (result.ok())
            replaceAllLists(std::move(result.parsed.lists));
        showLoadOutcome(result.error, result.warning);
    }
    mySaveButtonsRefresh();
    m_host.myStartCheck();
}

void ConditionsController::mySetSave() {
    CommonDialog& dialog = m_host.dialog();
    dialog.Filter = kSetFileFilter;
    dialog.Flags = CommonDialog::OverwritePrompt;
    if (!dialog.ShowSave(CommonDialog::Use::SetSave))
        return;
    ConditionSetFile::SaveResult result;
    try {
        const ConditionSetFile::Lists lists = allLists();
        result = ConditionSetFile::save(dialog.FileName, lists);
        // Where the folder refuses a temporary file, the file is written in place only when the
        // user agrees to lose it should the write fail.
        if (result.inPlaceOnly) {
            if (m_host.platform().messageBox(m_host.hostWidget(), inPlaceQuestion(dialog.FileName),
                                             Platform::YesNoQuestion,
                                             QStringLiteral("Vornel")) != Platform::Yes)
                return;
            result = ConditionSetFile::save(dialog.FileName, lists, true);
        }
    } catch (const std::bad_alloc&) {
        m_host.outOfMemory(QStringLiteral("条件セットを保存"));
        return;
    }
    if (!result.ok())
        m_host.platform().messageBox(m_host.hostWidget(), result.error, Platform::Critical,
                                     kErrorTitle);
}

void ConditionsController::restoreStoredLists() {
    const QString path = AppPaths::listsFilePath();
    StoredLists::ReadResult stored = StoredLists::read(path);
    if (!stored.problem.isEmpty())
        qWarning("%s",
                 qPrintable(QStringLiteral("条件リストの保存ファイルを使いませんでした: %1: %2")
                                .arg(path, stored.problem)));
    for (ConditionListControls& list : m_lists)
        list.model->setEntries(std::move(stored.lists[size_t(list.id)]));
    mySaveButtonsRefresh();
}

void ConditionsController::storeLists() const {
    // The window is closing: a failure is only noted on standard error, with its reason.
    const QString path = AppPaths::listsFilePath();
    QString failed;
    try {
        failed = StoredLists::write(path, allLists());
    } catch (const std::bad_alloc&) {
        failed = QStringLiteral("メモリーが足りません。");
    }
    if (!failed.isEmpty())
        qWarning("%s",
                 qPrintable(
                     QStringLiteral("条件リストを保存できませんでした: %1: %2").arg(path, failed)));
}

void ConditionsController::setColumnNames(const QStringList& names) {
    m_columnNames = names;
    for (ConditionListControls& list : m_lists) {
        if (!list.lblColumnName) {
            if (names.isEmpty())
                continue;
            // A row of its own between the buttons and the list, made when a file first brings
            // names; the list gives it the room.
            list.lblColumnName = new QLabel(list.lvw->parentWidget());
            list.lblColumnName->setObjectName(QStringLiteral("lbl") + list.suffix +
                                              QStringLiteral("ColumnName"));
            list.lblColumnName->setTextFormat(Qt::PlainText);
        }
        // The list's place, with the name's row when it is shown (the window may have been
        // resized since).
        constexpr int kRow = 15;
        const QRect place = list.lblColumnName->isHidden()
                                ? list.lvw->geometry()
                                : list.lvw->geometry().adjusted(0, -(kRow + 1), 0, 0);
        if (names.isEmpty()) {
            list.lblColumnName->hide();
            list.lvw->setGeometry(place);
        } else {
            list.lblColumnName->setGeometry(place.x(), place.y(), place.width(), kRow);
            list.lvw->setGeometry(place.adjusted(0, kRow + 1, 0, 0));
            list.lblColumnName->show();
        }
        showColumnName(list.id);
    }
}

QString ConditionsController::columnNameText(ConditionList id) const {
    const ConditionListControls& list = controls(id);
    bool ok = false;
    const int column = list.txtNo ? list.txtNo->text().toInt(&ok) : 0;
    if (!ok || column < 1 || column > m_columnNames.size())
        return {};
    return QStringLiteral("%1 = %2").arg(column).arg(m_columnNames[column - 1]);
}

void ConditionsController::showColumnName(ConditionList id) {
    if (QLabel* label = controls(id).lblColumnName)
        label->setText(columnNameText(id));
}
