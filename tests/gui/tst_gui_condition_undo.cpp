// Undo and redo of the condition lists' edits in the real window (keys, the lists' menus), and
// several lines pasted into a phrase box.
#define QTEST_QPA_MOUSE_HANDLING
#include "GuiTestSupport.h"

#include "conditions/ConditionListModel.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

using Entries = std::vector<ConditionEntry>;

Q_DECLARE_METATYPE(ConditionList)

namespace {

constexpr ConditionList kAll[] = {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND,
                                  ConditionList::InOR};

struct Fixture {
    TestWindow w;

    Fixture() {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        // A five-column file with one row: Start follows the lists.
        w->setCommaCount(4);
        w->store().reset(4);
        w->store().appendLine(u"a,b,c,d,e");
    }

    ConditionListControls& list(ConditionList id) { return w->conditionList(id); }
    Entries entries(ConditionList id) { return list(id).model->entries(); }
    ConditionsState state() { return w->conditions().captureState(); }
    void fill(ConditionList id, const Entries& e) {
        for (const ConditionEntry& entry : e)
            list(id).model->appendEntry(entry);
        w->conditions().mySaveButtonsRefresh();
    }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void clickRow(ConditionList id, int position) {
        QTest::mouseClick(list(id).lvw->viewport(), Qt::LeftButton, {}, rowPoint(id, position));
    }
    void doubleClickRow(ConditionList id, int position) {
        QTest::mouseDClick(list(id).lvw->viewport(), Qt::LeftButton, {}, rowPoint(id, position));
    }
    QPoint rowPoint(ConditionList id, int position) {
        const QRect r = list(id).lvw->visualRect(list(id).model->index(position - 1, 0));
        return QPoint(r.left() + 4, r.center().y());
    }
    // Ctrl+Z (undo) or Ctrl+Y (redo) sent to one of the list's controls.
    void historyKey(QWidget* target, bool undo) {
        QTest::keyClick(target, undo ? Qt::Key_Z : Qt::Key_Y, Qt::ControlModifier);
    }
    // The buttons that need an entry or a phrase, and Start, follow the lists and boxes.
    void saveButtonsAndStartFollow() {
        qsizetype all = 0;
        for (ConditionList id : kAll) {
            QCOMPARE(list(id).cmdSave->isEnabled(), list(id).model->count() > 0);
            QCOMPARE(list(id).cmdTuika->isEnabled(), !list(id).txtGoku->text().isEmpty());
            all += list(id).model->count();
        }
        QCOMPARE(w.enabled(Command::Start), all > 0);
    }
    bool setClipboard(const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        return QGuiApplication::clipboard()->text() == text;
    }
};

// One data row, its values in the columns' order.
template <typename... Values> void row(const char* name, const Values&... values) {
    (QTest::newRow(name) << ... << values);
}

QString describe(const ConditionsState& state) {
    QStringList lists;
    for (ConditionList id : kAll) {
        const ConditionListState& l = state[size_t(id)];
        QStringList e;
        for (const ConditionEntry& entry : l.entries)
            e << entry.column + u':' + entry.phrase;
        lists << QStringLiteral("%1[%2](%3|%4)")
                     .arg(conditionListName(id), e.join(u','), l.boxes.column, l.boxes.phrase);
    }
    return lists.join(u' ');
}

} // namespace

class TestGuiConditionUndo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void undoRedoEveryEdit_data();
    void undoRedoEveryEdit();
    void boxTypingIsUndoneFirst();
    void undoFromAnotherListLeavesThisOne();
    void listMenu();
    void pasteLinesAsEntries_data();
    void pasteLinesAsEntries();
    void pasteLinesReportsWhatIsLeftOut();
    void pasteLinesColumnRefused();
};

void TestGuiConditionUndo::undoRedoEveryEdit_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("route"); // list, box, button or menu
    row("追加, keys in the list", "add", "list");
    row("追加 moving an entry, keys in the box", "move", "box");
    row("削除, keys on a button", "delete", "button");
    row("全削除, menu", "clear", "menu");
    row("全削除, keys in the list", "clear", "list");
    row("take back, keys in the box", "back", "box");
    row("take back twice, keys in the list", "back twice", "list");
    row("読込, menu", "load", "menu");
    row("paste, keys in the list", "paste", "list");
}

void TestGuiConditionUndo::undoRedoEveryEdit() {
    QFETCH(QString, edit);
    QFETCH(QString, route);
    Fixture f;
    const ConditionList id = ConditionList::InAND;
    ConditionListControls& l = f.list(id);
    f.fill(id, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    f.fill(ConditionList::OutOR, {{"4", "d"}});
    l.txtNo->setText(QStringLiteral("5"));
    l.txtGoku->setText(QStringLiteral("typed"));

    if (edit == u"move") {
        l.txtNo->setText(QStringLiteral("4"));
        l.txtGoku->setText(QStringLiteral("d"));
    } else if (edit == u"back twice") { // the second keeps the first's boxes to go back to
        f.doubleClickRow(id, 1);
    }
    const ConditionsState before = f.state();
    if (edit == u"add") {
        f.press(l.cmdTuika);
    } else if (edit == u"move") {
        f.w.platform.answers = {Platform::Yes};
        f.press(l.cmdTuika);
        QCOMPARE(f.entries(ConditionList::OutOR), Entries{});
    } else if (edit == u"delete") {
        f.clickRow(id, 2);
        f.press(l.cmdSakujo);
    } else if (edit == u"clear") {
        f.press(l.cmdAllSakujo);
    } else if (edit == u"back" || edit == u"back twice") {
        f.doubleClickRow(id, 2);
        QCOMPARE(l.txtGoku->text(), edit == u"back" ? QStringLiteral("b") : QStringLiteral("c"));
    } else if (edit == u"load") {
        f.w.platform.openAnswers = {
            f.w.writeFile(QStringLiteral("l.csv"), "\"7\",\"x\"\r\n\"8\",\"y\"\r\n")};
        f.press(l.cmdOpen);
    } else if (edit == u"paste") {
        if (!f.setClipboard(QStringLiteral("p\r\nq\r\n")))
            QSKIP("no clipboard on this platform");
        l.txtGoku->setText(QString()); // the paste is the only edit of the box
        f.w.platform.answers = {Platform::Yes};
        QTest::keyClick(l.txtGoku, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.entries(id).size(), size_t(5));
    }
    const ConditionsState after = f.state();
    QVERIFY2(after != before, qPrintable(describe(after)));
    f.saveButtonsAndStartFollow();

    auto step = [&](bool undo) {
        if (route == u"menu") {
            QMenu* menu = f.w->conditions().listMenu(id);
            QAction* action =
                f.w.child<QAction>(QStringLiteral("mnuInAND") + (undo ? "Undo" : "Redo"));
            QVERIFY(menu && action);
            QVERIFY(action->isEnabled());
            action->trigger();
        } else {
            QWidget* target = route == u"list"  ? static_cast<QWidget*>(l.lvw)
                              : route == u"box" ? static_cast<QWidget*>(l.txtNo)
                                                : static_cast<QWidget*>(l.cmdAllSakujo);
            f.historyKey(target, undo);
        }
    };
    step(true);
    ConditionsState expected = before;
    if (edit == u"paste")
        expected[size_t(id)].boxes = {QStringLiteral("5"), QString()};
    QVERIFY2(f.state() == expected,
             qPrintable(describe(f.state()) + QStringLiteral("\n expected ") + describe(expected)));
    f.saveButtonsAndStartFollow();
    QCOMPARE(f.w->conditions().undoStack().canUndo(id), edit == u"back twice");
    QVERIFY(f.w->conditions().undoStack().canRedo(id));

    step(false);
    QVERIFY2(f.state() == after, qPrintable(describe(f.state())));
    f.saveButtonsAndStartFollow();
    QVERIFY(!f.w->conditions().undoStack().canRedo(id));
}

void TestGuiConditionUndo::boxTypingIsUndoneFirst() {
    Fixture f;
    const ConditionList id = ConditionList::OutAND;
    ConditionListControls& l = f.list(id);
    l.txtGoku->setText(QStringLiteral("abc"));
    f.press(l.cmdTuika);
    QCOMPARE(f.entries(id), (Entries{{"0", "abc"}}));
    // A registration leaves no typing of the box's own to take back: Ctrl+Z there is the list's.
    QVERIFY(!l.txtGoku->isUndoAvailable());
    QTest::keyClicks(l.txtGoku, QStringLiteral("xy"));
    QVERIFY(l.txtGoku->isUndoAvailable());

    f.historyKey(l.txtGoku, true); // the typing
    QCOMPARE(l.txtGoku->text(), QString());
    QCOMPARE(f.entries(id), (Entries{{"0", "abc"}}));
    f.historyKey(l.txtGoku, false); // the typing again, by the box
    QCOMPARE(l.txtGoku->text(), QStringLiteral("xy"));
    f.historyKey(l.txtGoku, true);
    f.historyKey(l.txtGoku, true); // now the registration
    QCOMPARE(f.entries(id), Entries{});
    QCOMPARE(l.txtNo->text(), QString());
    QCOMPARE(l.txtGoku->text(), QStringLiteral("abc"));
    f.historyKey(l.txtGoku, false); // and the list's redo, the box having none
    QCOMPARE(f.entries(id), (Entries{{"0", "abc"}}));
    QCOMPARE(l.txtGoku->text(), QString());
}

void TestGuiConditionUndo::undoFromAnotherListLeavesThisOne() {
    Fixture f;
    f.fill(ConditionList::InAND, {{"1", "a"}});
    f.fill(ConditionList::OutOR, {{"2", "b"}});
    f.press(f.list(ConditionList::InAND).cmdAllSakujo);
    f.press(f.list(ConditionList::OutOR).cmdAllSakujo);
    // Ctrl+Z in AND takes back AND's delete all, though NOT OR's came later.
    f.historyKey(f.list(ConditionList::InAND).lvw, true);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}}));
    QCOMPARE(f.entries(ConditionList::OutOR), Entries{});
    // Nothing more to take back in AND; NOT OR still has its own.
    f.historyKey(f.list(ConditionList::InAND).lvw, true);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}}));
    f.historyKey(f.list(ConditionList::OutOR).txtGoku, true);
    QCOMPARE(f.entries(ConditionList::OutOR), (Entries{{"2", "b"}}));
    f.saveButtonsAndStartFollow();
}

void TestGuiConditionUndo::listMenu() {
    Fixture f;
    const ConditionList id = ConditionList::InOR;
    ConditionListControls& l = f.list(id);
    QMenu* menu = f.w.child<QMenu>(QStringLiteral("mnuInOR"));
    QAction* undo = f.w.child<QAction>(QStringLiteral("mnuInORUndo"));
    QAction* redo = f.w.child<QAction>(QStringLiteral("mnuInORRedo"));
    QVERIFY(menu && undo && redo);
    QCOMPARE(undo->text(), QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    QCOMPARE(redo->text(), QStringLiteral("やり直し(&R)\tCtrl+Y"));

    // The context-menu event (a right click, or the menu key) shows it, brought up to date.
    auto open = [&](QContextMenuEvent::Reason reason, bool canUndo, bool canRedo) {
        QWidget* target =
            reason == QContextMenuEvent::Mouse ? l.lvw->viewport() : static_cast<QWidget*>(l.lvw);
        QContextMenuEvent event(reason, QPoint(10, 10), target->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(target, &event);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(undo->isEnabled(), canUndo);
        QCOMPARE(redo->isEnabled(), canRedo);
        menu->hide();
    };
    open(QContextMenuEvent::Mouse, false, false);
    l.txtGoku->setText(QStringLiteral("abc"));
    f.press(l.cmdTuika);
    open(QContextMenuEvent::Keyboard, true, false);
    undo->trigger();
    QCOMPARE(f.entries(id), Entries{});
    open(QContextMenuEvent::Mouse, false, true);
    redo->trigger();
    QCOMPARE(f.entries(id), (Entries{{"0", "abc"}}));
}

void TestGuiConditionUndo::pasteLinesAsEntries_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("asked"); // the question's line count and column
    QTest::addColumn<Entries>("entries");
    row("Ctrl+V, spreadsheet column", "Ctrl+V", "3", "港区\r\n新宿区\r\n\r\n渋谷区\r\n", "3 3",
        Entries{{"3", "渋谷区"}, {"3", "新宿区"}, {"3", "港区"}, {"1", "x"}});
    row("Shift+Insert, empty column box", "Shift+Insert", "", "a\nb", "2 0",
        Entries{{"0", "b"}, {"0", "a"}, {"1", "x"}});
    row("Ctrl+V over the selected text, sharing its start", "select all", "1", "kept港\r\nk2\r\n",
        "2 1", Entries{{"1", "k2"}, {"1", "kept港"}, {"1", "x"}});
    row("context menu, blanks kept", "menu", "05", " a \r\nb\r\n", "2 05",
        Entries{{"05", "b"}, {"05", " a "}, {"1", "x"}});
}

void TestGuiConditionUndo::pasteLinesAsEntries() {
    QFETCH(QString, how);
    QFETCH(QString, column);
    QFETCH(QString, clip);
    QFETCH(QString, asked);
    QFETCH(Entries, entries);
    Fixture f;
    if (!f.setClipboard(clip))
        QSKIP("no clipboard on this platform");
    const ConditionList id = ConditionList::InAND;
    ConditionListControls& l = f.list(id);
    f.fill(id, {{"1", "x"}});
    l.txtNo->setText(column);
    l.txtGoku->setText(QStringLiteral("kept"));
    l.txtGoku->end(false);
    const ConditionsState before = f.state();
    f.w.platform.answers = {Platform::Yes};
    if (how == u"Ctrl+V" || how == u"select all") {
        if (how == u"select all")
            l.txtGoku->selectAll();
        QTest::keyClick(l.txtGoku, Qt::Key_V, Qt::ControlModifier);
    } else if (how == u"Shift+Insert") {
        QTest::keyClick(l.txtGoku, Qt::Key_Insert, Qt::ShiftModifier);
    } else {
        std::unique_ptr<QMenu> menu(l.txtGoku->createStandardContextMenu());
        QAction* paste = nullptr;
        for (QAction* a : menu->actions())
            if (a->text().contains(u"貼り付け") || a->text().contains(u"Paste"))
                paste = a;
        QVERIFY(paste);
        paste->trigger();
    }
    QCOMPARE(f.w.platform.messages.size(), 1);
    QCOMPARE(f.w.platform.messages[0].prompt,
             QStringLiteral(
                 "貼り付ける %1 行をそれぞれ条件として追加しますか?\r\n(列 %2、AND に追加します)")
                 .arg(asked.section(u' ', 0, 0), asked.section(u' ', 1)));
    QCOMPARE(f.w.platform.messages[0].style, 36);
    QCOMPARE(f.entries(id), entries);
    // The phrase box keeps what it held; the column box shows the column used.
    QCOMPARE(l.txtGoku->text(), QStringLiteral("kept"));
    QCOMPARE(l.txtNo->text(), column.isEmpty() ? QStringLiteral("0") : column);
    f.saveButtonsAndStartFollow();

    // One undo step takes every line back, and the boxes with them.
    QTest::keyClick(l.lvw, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY2(f.state() == before, qPrintable(describe(f.state())));
    QTest::keyClick(l.lvw, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(f.entries(id), entries);
}

void TestGuiConditionUndo::pasteLinesReportsWhatIsLeftOut() {
    Fixture f;
    if (!f.setClipboard(QStringLiteral("a\r\nb\r\na\r\nc\r\n")))
        QSKIP("no clipboard on this platform");
    f.fill(ConditionList::OutOR, {{"2", "b"}});
    ConditionListControls& l = f.list(ConditionList::InOR);
    l.txtNo->setText(QStringLiteral("2"));
    // Yes to the lines, No to moving ‹2›/‹b› out of NOT OR.
    f.w.platform.answers = {Platform::Yes, Platform::No};
    QTest::keyClick(l.txtGoku, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.entries(ConditionList::InOR), (Entries{{"2", "c"}, {"2", "a"}}));
    QCOMPARE(f.entries(ConditionList::OutOR), (Entries{{"2", "b"}}));
    QCOMPARE(f.w.platform.messages.size(), 3);
    QCOMPARE(f.w.platform.messages[1].title, QStringLiteral("その語句は登録済みです"));
    const ScriptedPlatform::Message& report = f.w.platform.messages[2];
    QCOMPARE(report.style, 48);
    QCOMPARE(
        report.prompt,
        QStringLiteral("貼り付けた 4 行のうち 2 行を追加し、次の 2 行は追加しませんでした。\r\n"
                       "2 行目「b」: NOT ORに登録済みです\r\n"
                       "3 行目「a」: 同じ語句が前の行にあります"));
    QCOMPARE(l.txtGoku->text(), QString());
}

void TestGuiConditionUndo::pasteLinesColumnRefused() {
    Fixture f;
    if (!f.setClipboard(QStringLiteral("a\r\nb")))
        QSKIP("no clipboard on this platform");
    ConditionListControls& l = f.list(ConditionList::OutAND);
    l.txtNo->setText(QStringLiteral("6"));
    QTest::keyClick(l.txtGoku, Qt::Key_V, Qt::ControlModifier); // Yes by default
    QCOMPARE(f.w.platform.messages.size(), 2);
    QCOMPARE(f.w.platform.messages[1].prompt,
             QStringLiteral("Error:列指定に入力できる値は0-5の範囲です｡"));
    QCOMPARE(f.w.platform.messages[1].style, 16);
    QCOMPARE(f.entries(ConditionList::OutAND), Entries{});
    QCOMPARE(l.txtGoku->text(), QString());
    QVERIFY(!f.w->conditions().undoStack().canUndo(ConditionList::OutAND));
}

QTEST_MAIN(TestGuiConditionUndo)
#include "tst_gui_condition_undo.moc"
