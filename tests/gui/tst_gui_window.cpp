// The window as a place to work in: the row counts, the source rows after a pickup, the recent
// data files, the keyboard routes and a window that grows. Driven through the real window.
#include "GuiTestSupport.h"

#include "base/CountText.h"
#include "conditions/ConditionListModel.h"
#include "results/ResultListModel.h"
#include "source/SourceTableModel.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QToolButton>

namespace {

// Puts rows into the source table as a finished load leaves it.
void loadRows(TestWindow& w, int commaCount, const QStringList& lines) {
    w->store().reset(commaCount);
    for (const QString& line : lines)
        w->store().appendLine(line);
    w->setCommaCount(commaCount);
    w->sourceModel()->refresh();
    w->setPanelText(Panel::Original, CountText::sourceRows(lines.size()));
    w->myStartCheck();
}

void pickWith(TestWindow& w, const QString& column, const QString& phrase) {
    w->conditionList(ConditionList::InOR).model->clear();
    w->conditionList(ConditionList::InOR).model->appendEntry({column, phrase});
    w->myStartCheck();
    QAction* start = w->toolbarButton(Command::Start);
    QVERIFY(start->isEnabled());
    start->trigger();
}

// The Open button's recent files as the menu shows them (the texts of mnuRecent0 ...).
QStringList recentItems(const TestWindow& w) {
    auto* menu = w.child<QMenu>(QStringLiteral("mnuOpen"));
    Q_EMIT menu->aboutToShow();
    QStringList texts;
    for (int i = 0; i < 10; ++i)
        if (auto* item = w.child<QAction>(QStringLiteral("mnuRecent%1").arg(i)))
            texts << item->text();
    return texts;
}

QString item(int number, const QString& path) {
    return QStringLiteral("&%1 %2").arg(number).arg(QDir::toNativeSeparators(path));
}

QToolButton* showSource(const TestWindow& w) {
    return w.child<QToolButton>(QStringLiteral("cmdShowSource"));
}

QLabel* noRows(const TestWindow& w) {
    return w.child<QLabel>(QStringLiteral("lblNoRows"));
}

} // namespace

class TestGuiWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void countsAfterPickup_data();
    void countsAfterPickup();
    void countsAfterLoad();
    void sourceListAgainAfterPickup();
    void sourceToggleLetsGoWhenTheListAreaChanges();
    void sortShowsTheFirstRow_data();
    void sortShowsTheFirstRow();
    void recentFilesNewestFirst();
    void recentFileOpensAsOpenWould();
    void recentFileGoneIsRemoved();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void contextMenuKeysOpenTheResultMenu_data();
    void contextMenuKeysOpenTheResultMenu();
    void contextMenuKeysReachEveryControl_data();
    void contextMenuKeysReachEveryControl();
    void everyMenuCommandHasAKey();
    void descendingSortHasAKey();
    void focusAfterLoad();
};

void TestGuiWindow::countsAfterPickup_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<int>("picked");
    QTest::newRow("some rows") << QStringLiteral("a") << 2;
    QTest::newRow("every row") << QStringLiteral("?") << 3;
    QTest::newRow("no row") << QStringLiteral("zzz") << 0;
}

void TestGuiWindow::countsAfterPickup() {
    QFETCH(QString, phrase);
    QFETCH(int, picked);
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "a,3"});
    pickWith(w, QStringLiteral("1"), phrase);
    QCOMPARE(w->resultModel()->count(), picked);
    QCOMPARE(w->panelText(Panel::Pickup), QStringLiteral("抽出 %1 行").arg(picked));
    QCOMPARE(w->panelText(Panel::Original), QStringLiteral("全 3 行"));
    // Nothing found is said in the result area, never in a box to answer.
    QVERIFY(w.platform.messages.isEmpty());
    QVERIFY(w.lvwPickupData()->isVisible());
    QCOMPARE(noRows(w)->isVisible(), picked == 0);
    QCOMPARE(noRows(w)->text(), QStringLiteral("該当する行はありません"));
    // A load clears the result and the text with it.
    w->myFileOpen(w.writeFile(QStringLiteral("next.csv"), "c,4\r\n"));
    QVERIFY(!noRows(w)->isVisible());
    QVERIFY(!w.lvwPickupData()->isVisible());
}

void TestGuiWindow::countsAfterLoad() {
    TestWindow w;
    QByteArray bytes;
    for (int i = 0; i < 1234; ++i)
        bytes += QByteArray::number(i) + ",x\r\n";
    w->myFileOpen(w.writeFile(QStringLiteral("rows.csv"), bytes));
    QCOMPARE(w->panelText(Panel::Original), QStringLiteral("全 1,234 行"));
    QCOMPARE(w->panelText(Panel::Pickup), QStringLiteral("抽出 0 行"));
    // The pickup reads its row count back from the panel.
    pickWith(w, QStringLiteral("2"), QStringLiteral("x"));
    QCOMPARE(w->resultModel()->count(), 1234);
    QCOMPARE(w->panelText(Panel::Pickup), QStringLiteral("抽出 1,234 行"));
}

void TestGuiWindow::sourceListAgainAfterPickup() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "a,3"});
    QToolButton* toggle = showSource(w);
    QVERIFY(toggle);
    QVERIFY(!toggle->isEnabled()); // no result yet: the source list is what is shown
    pickWith(w, QStringLiteral("1"), QStringLiteral("a"));
    QVERIFY(toggle->isEnabled());
    QVERIFY(!toggle->isChecked());

    toggle->click();
    QVERIFY(toggle->isChecked());
    QVERIFY(w.lvwOriginalData()->isVisible());
    QVERIFY(!w.lvwPickupData()->isVisible());
    QCOMPARE(w.lvwOriginalData()->model()->rowCount(), 3);
    // The result is still there, untouched, and the counts too.
    QCOMPARE(w->resultModel()->count(), 2);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(2));

    toggle->click();
    QVERIFY(!toggle->isChecked());
    QVERIFY(!w.lvwOriginalData()->isVisible());
    QVERIFY(w.lvwPickupData()->isVisible());
    QCOMPARE(w->resultModel()->count(), 2);
}

void TestGuiWindow::sourceToggleLetsGoWhenTheListAreaChanges() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "a,3"});
    pickWith(w, QStringLiteral("1"), QStringLiteral("a"));
    QToolButton* toggle = showSource(w);
    toggle->click();
    // A new pickup from the source view shows its result, and the button is ready again.
    pickWith(w, QStringLiteral("1"), QStringLiteral("b"));
    QVERIFY(w.lvwPickupData()->isVisible());
    QVERIFY(!w.lvwOriginalData()->isVisible());
    QVERIFY(toggle->isEnabled());
    QVERIFY(!toggle->isChecked());
    // A load clears the result: nothing to go back to.
    toggle->click();
    QVERIFY(toggle->isChecked());
    w->myFileOpen(w.writeFile(QStringLiteral("next.csv"), "c,4\r\n"));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(1));
    QVERIFY(!toggle->isChecked());
    QVERIFY(!toggle->isEnabled());
    QVERIFY(w.lvwOriginalData()->isVisible());
    QVERIFY(!w.lvwPickupData()->isVisible());
}

void TestGuiWindow::sortShowsTheFirstRow_data() {
    QTest::addColumn<bool>("ascending");
    QTest::newRow("ascending") << true;
    QTest::newRow("descending") << false;
}

void TestGuiWindow::sortShowsTheFirstRow() {
    QFETCH(bool, ascending);
    TestWindow w;
    w->show();
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << QStringLiteral("%1,x").arg(i % 7 * 1000 + i, 5, 10, QLatin1Char('0'));
    loadRows(w, 1, lines);
    pickWith(w, QStringLiteral("2"), QStringLiteral("x"));
    QCOMPARE(w->resultModel()->count(), 500);
    // The current row far down, the view scrolled to it.
    ListView* view = w.lvwPickupData();
    view->setCurrentIndex(w->resultModel()->index(400, 0));
    view->scrollTo(w->resultModel()->index(400, 0));
    QVERIFY(view->verticalScrollBar()->value() > 0);
    w->runCommand(ascending ? Command::SortAsc : Command::SortDesc);
    QCOMPARE(view->verticalScrollBar()->value(), 0);
    QCOMPARE(view->rowAt(0), 0);
}

void TestGuiWindow::recentFilesNewestFirst() {
    auto w = std::make_unique<TestWindow>();
    QCOMPARE(recentItems(*w), QStringList());
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths << w->writeFile(QStringLiteral("d%1.csv").arg(i), "a,1\r\n");
    (*w)->myFileOpen(paths[0]);
    (*w)->myFileOpen(paths[1]);
    QCOMPARE(recentItems(*w), (QStringList{item(1, paths[1]), item(2, paths[0])}));
    // Opened again, under another spelling of its path: moved to the top, listed once.
    (*w)->myFileOpen(w->dir.path() + QStringLiteral("/./d0.csv"));
    QCOMPARE(recentItems(*w), (QStringList{item(1, paths[0]), item(2, paths[1])}));
    // A file that could not be read is not listed.
    (*w)->myFileOpen(w->dir.filePath(QStringLiteral("missing.csv")));
    QCOMPARE(recentItems(*w).size(), 2);
    // Eight at most, the oldest dropped.
    for (int i = 2; i < 10; ++i)
        (*w)->myFileOpen(paths[i]);
    QStringList expected;
    for (int i = 9; i >= 2; --i)
        expected << item(10 - i, paths[i]);
    QCOMPARE(recentItems(*w), expected);
    // Across a restart.
    w->window.reset();
    w->window = std::make_unique<frmVNLMain>(&w->platform);
    QCOMPARE(recentItems(*w), expected);
}

void TestGuiWindow::recentFileOpensAsOpenWould() {
    TestWindow w;
    const QString first = w.writeFile(QStringLiteral("first.csv"), "a,1\r\nb,2\r\n");
    const QString second = w.writeFile(QStringLiteral("second.csv"), "c,3\r\n");
    w->myFileOpen(first);
    w->myFileOpen(second);
    recentItems(w);
    w.child<QAction>(QStringLiteral("mnuRecent1"))->trigger();
    QCOMPARE(w->panelText(Panel::FilePath), first);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
    QCOMPARE(recentItems(w), (QStringList{item(1, first), item(2, second)}));
    // The open dialog remembers it as if chosen there.
    QCOMPARE(w->dialog().FileName, first);
    // While a job keeps Open disabled, the list opens nothing.
    w->toolbarButton(Command::Open)->setEnabled(false);
    recentItems(w);
    w.child<QAction>(QStringLiteral("mnuRecent1"))->trigger();
    QCOMPARE(w->panelText(Panel::FilePath), first);
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiWindow::recentFileGoneIsRemoved() {
    TestWindow w;
    const QString kept = w.writeFile(QStringLiteral("kept.csv"), "a,1\r\n");
    const QString gone = w.writeFile(QStringLiteral("gone.csv"), "b,2\r\n");
    w->myFileOpen(kept);
    w->myFileOpen(gone);
    QVERIFY(QFile::remove(gone));
    recentItems(w);
    w.child<QAction>(QStringLiteral("mnuRecent0"))->trigger();
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             QStringLiteral("データファイル「%1」が見つかりません。\n"
                            "最近使ったファイルの一覧から削除しました。")
                 .arg(QDir::toNativeSeparators(gone)));
    QCOMPARE(w.platform.messages[0].style, int(Platform::Exclamation));
    // Nothing was loaded: the table is still the last file's.
    QCOMPARE(w->panelText(Panel::FilePath), gone);
    QCOMPARE(recentItems(w), QStringList{item(1, kept)});
}

void TestGuiWindow::enterPressesTheFocusedButton_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false;
    QTest::newRow("a letter") << int(Qt::Key_X) << int(Qt::NoModifier) << false;
}

void TestGuiWindow::enterPressesTheFocusedButton() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, pressed);
    TestWindow w;
    w->show();
    // A push button: 全削除 of the AND list empties it.
    ConditionListModel* model = w->conditionList(ConditionList::InAND).model;
    model->appendEntry({QStringLiteral("1"), QStringLiteral("a")});
    auto* clear = w.child<QPushButton>(QStringLiteral("cmdInANDAllSakujo"));
    clear->setFocus();
    QTest::keyClick(clear, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(model->entries().empty(), pressed);
    // A tool button: the source rows in place of the result.
    loadRows(w, 1, {"a,1", "b,2"});
    pickWith(w, QStringLiteral("1"), QStringLiteral("a"));
    QToolButton* toggle = showSource(w);
    toggle->setFocus();
    QTest::keyClick(toggle, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(toggle->isChecked(), pressed);
    // A disabled button stays unpressed.
    auto* send = w.cmdSend();
    send->setEnabled(false);
    const int writesBefore = w.platform.messages.size();
    QTest::keyClick(send, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(w.platform.messages.size(), writesBefore);
}

void TestGuiWindow::contextMenuKeysOpenTheResultMenu_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
}

void TestGuiWindow::contextMenuKeysOpenTheResultMenu() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "a,3"});
    pickWith(w, QStringLiteral("1"), QStringLiteral("a"));
    ListView* view = w.lvwPickupData();
    view->setCurrentIndex(w->resultModel()->index(1, 0));
    QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QMenu* menu = w.mnuPopup();
    QTRY_VERIFY(menu->isVisible());
    // At the current row, not where the mouse happens to be.
    const QRect row = view->visualRect(view->currentIndex());
    const QPoint rowTop = view->viewport()->mapToGlobal(row.topLeft());
    QVERIFY(qAbs(menu->y() - (rowTop.y() + row.height() / 2)) <= 1 ||
            menu->geometry().contains(rowTop + QPoint(1, row.height() / 2)));
    // Its commands by their letters: C copies the selected rows.
    view->selectAll();
    QTest::keyClick(menu, Qt::Key_C);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(w.platform.clipboardWrites, 1);
    QCOMPARE(w.platform.clipboard, QStringLiteral("a,1\r\na,3"));
}

void TestGuiWindow::contextMenuKeysReachEveryControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("atRow"); // the current row's place, not the control's middle
    QTest::newRow("a condition list") << QStringLiteral("lvwOutOR") << true;
    QTest::newRow("the source list") << QStringLiteral("lvwOriginalData") << true;
    QTest::newRow("a phrase box") << QStringLiteral("txtInANDGoku") << false;
}

void TestGuiWindow::contextMenuKeysReachEveryControl() {
    QFETCH(QString, control);
    QFETCH(bool, atRow);
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "c,3"});
    w->conditionList(ConditionList::OutOR).model->appendEntry({"1", "x"});
    w->conditionList(ConditionList::OutOR).model->appendEntry({"1", "y"});
    auto* widget = w.child<QWidget>(control);
    QVERIFY(widget);
    auto* view = qobject_cast<QAbstractItemView*>(widget);
    if (view)
        view->setCurrentIndex(view->model()->index(1, 0));
    // Whatever the control does with it, it gets a keyboard context-menu event at its place.
    struct Recorder : QObject {
        QList<QPoint> places;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::ContextMenu) {
                auto* e = static_cast<QContextMenuEvent*>(event);
                if (e->reason() == QContextMenuEvent::Keyboard)
                    places << e->pos();
                return true; // no menu opened
            }
            return false;
        }
    } recorder;
    QWidget* receiver = view ? view->viewport() : widget;
    receiver->installEventFilter(&recorder);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(widget, Qt::Key_Menu);
    QCOMPARE(recorder.places.size(), 2);
    const QRect place = atRow ? view->visualRect(view->currentIndex()) : widget->rect();
    for (const QPoint& p : recorder.places)
        QVERIFY2(place.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
}

void TestGuiWindow::everyMenuCommandHasAKey() {
    TestWindow w;
    QList<QAction*> items = w.mnuPopup()->actions() + w.mnuPopupSort()->actions();
    for (Command c : {Command::SortAsc, Command::SortDesc, Command::HelpHelp, Command::HelpAbout})
        items << w->toolbarMenuItem(c);
    for (QAction* item : items) {
        if (item->isSeparator())
            continue;
        const QString text = item->text();
        QVERIFY2(text.contains(u'&') && text.indexOf(u'&') + 1 < text.size(), qPrintable(text));
    }
    // In each menu a letter leads to one item only.
    for (QMenu* menu : {w.mnuPopup(), w.mnuPopupSort()}) {
        QStringList letters;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator())
                continue;
            const QString text = item->text();
            letters << text.mid(text.indexOf(u'&') + 1, 1).toUpper();
        }
        QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
    }
}

void TestGuiWindow::descendingSortHasAKey() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"b,1", "c,2", "a,3"});
    pickWith(w, QStringLiteral("1"), QStringLiteral("?"));
    auto* key = w.child<QShortcut>(QStringLiteral("cmdSortDescKey"));
    QVERIFY(key);
    QCOMPARE(key->key(), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_K));
    QVERIFY(w->toolbarMenuItem(Command::SortDesc)->text().endsWith(u"\tAlt+Shift+K"));
    Q_EMIT key->activated();
    QCOMPARE(w->resultModel()->rowText(0), QStringLiteral("c,2"));
    QCOMPARE(w->resultModel()->rowText(2), QStringLiteral("a,3"));
    // Only while Sort is enabled.
    w->toolbarButton(Command::Sort)->setEnabled(false);
    w->runCommand(Command::SortAsc);
    Q_EMIT key->activated();
    QCOMPARE(w->resultModel()->rowText(0), QStringLiteral("a,3"));
}

void TestGuiWindow::focusAfterLoad() {
    TestWindow w;
    w->show();
    w.child<QWidget>(QStringLiteral("txtOutORGoku"))->setFocus();
    w->myFileOpen(w.writeFile(QStringLiteral("d.csv"), "a,1\r\n"));
    QCOMPARE(w->focusWidget(), w.child<QWidget>(QStringLiteral("txtInANDNo")));
    // An empty file is a load too.
    w.child<QWidget>(QStringLiteral("txtOutORGoku"))->setFocus();
    w->myFileOpen(w.writeFile(QStringLiteral("empty.csv"), ""));
    QCOMPARE(w->focusWidget(), w.child<QWidget>(QStringLiteral("txtInANDNo")));
}

QTEST_MAIN(TestGuiWindow)
#include "tst_gui_window.moc"
