// The window as a place to work in: the row counts, the source rows after a pickup, the recent
// data files, the keyboard routes and a window that grows. Driven through the real window.
#include "GuiTestSupport.h"

#include "base/CountText.h"
#include "conditions/ConditionListModel.h"
#include "results/ResultListModel.h"
#include "settings/mdlIniSet.h"
#include "source/SourceTableModel.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QToolButton>
#include <QTreeView>

namespace {

void pickWith(TestWindow& w, const QString& column, const QString& phrase) {
    w->conditionList(ConditionList::InOR).model->clear();
    w->conditionList(ConditionList::InOR).model->appendEntry({column, phrase});
    w->myStartCheck();
    pressStart(w);
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

// Three rows shown, and picked by the first field.
void pickFromThree(TestWindow& w, const QString& phrase = QStringLiteral("a")) {
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "a,3"});
    pickWith(w, QStringLiteral("1"), phrase);
}

// Triggers the recent file numbered `index` (from 0) in the Open button's menu.
void openRecent(TestWindow& w, int index) {
    recentItems(w);
    w.child<QAction>(QStringLiteral("mnuRecent%1").arg(index))->trigger();
}

// The window closed and opened again over the same settings.
void restart(TestWindow& w) {
    w.window.reset();
    w.window = std::make_unique<frmVNLMain>(&w.platform);
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
    void sourceListAgainAfterPickup();
    void sortShowsTheFirstRow_data();
    void sortShowsTheFirstRow();
    void recentFilesNewestFirst();
    void recentFileOpensAsOpenWould();
    void openMenuHasAKey();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void contextMenuKeysOpenTheResultMenu();
    void contextMenuKeysReachEveryControl_data();
    void contextMenuKeysReachEveryControl();
    void everyMenuCommandHasAKey();
    void descendingSortHasAKey();
    void focusAfterLoad();
    void growingWindowGivesTheListsTheRoom_data();
    void growingWindowGivesTheListsTheRoom();
    void sizeAndColumnsAcrossRestart_data();
    void sizeAndColumnsAcrossRestart();
};

void TestGuiWindow::countsAfterPickup_data() {
    QTest::addColumn<int>("rows"); // a,0 / b,1 / a,2 ...
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<int>("picked");
    QTest::addColumn<QString>("counts"); // the source's, then the pickup's
    QTest::newRow("some rows") << 3 << QStringLiteral("a") << 2 << "全 3 行/抽出 2 行";
    QTest::newRow("every row") << 3 << QStringLiteral("?") << 3 << "全 3 行/抽出 3 行";
    QTest::newRow("no row") << 3 << QStringLiteral("zzz") << 0 << "全 3 行/抽出 0 行";
    // The pickup reads its row count back from the panel.
    QTest::newRow("thousands") << 1234 << QStringLiteral("?") << 1234
                               << "全 1,234 行/抽出 1,234 行";
}

void TestGuiWindow::countsAfterPickup() {
    QFETCH(int, rows);
    QFETCH(QString, phrase);
    QFETCH(int, picked);
    QFETCH(QString, counts);
    TestWindow w;
    w->show();
    QByteArray bytes;
    for (int i = 0; i < rows; ++i)
        bytes += (i % 2 ? "b," : "a,") + QByteArray::number(i) + "\r\n";
    w->myFileOpen(w.writeFile(QStringLiteral("rows.csv"), bytes));
    QCOMPARE(w->panelText(Panel::Original), counts.section(u'/', 0, 0));
    QCOMPARE(w->panelText(Panel::Pickup), QStringLiteral("抽出 0 行"));
    pickWith(w, QStringLiteral("1"), phrase);
    QCOMPARE(w->resultModel()->count(), picked);
    QCOMPARE(w->panelText(Panel::Pickup), counts.section(u'/', 1));
    QCOMPARE(w->panelText(Panel::Original), counts.section(u'/', 0, 0));
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

void TestGuiWindow::sourceListAgainAfterPickup() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "a,3"});
    QToolButton* toggle = showSource(w);
    // Which list is shown, and the button's state.
    auto shows = [&](bool source, bool enabled, bool checked) {
        return w.lvwOriginalData()->isVisible() == source &&
               w.lvwPickupData()->isVisible() == !source && toggle->isEnabled() == enabled &&
               toggle->isChecked() == checked;
    };
    QVERIFY(shows(true, false, false)); // no result yet: the source list is what is shown
    pickWith(w, QStringLiteral("1"), QStringLiteral("a"));
    QVERIFY(shows(false, true, false));
    toggle->click();
    QVERIFY(shows(true, true, true));
    QCOMPARE(w.lvwOriginalData()->model()->rowCount(), 3);
    // The result is still there, untouched, and the counts too.
    QCOMPARE(w->resultModel()->count(), 2);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(2));
    toggle->click();
    QVERIFY(shows(false, true, false));
    QCOMPARE(w->resultModel()->count(), 2);
    // A new pickup from the source view shows its result, and the button is ready again.
    toggle->click();
    pickWith(w, QStringLiteral("1"), QStringLiteral("b"));
    QVERIFY(shows(false, true, false));
    // A load clears the result: nothing to go back to.
    toggle->click();
    w->myFileOpen(w.writeFile(QStringLiteral("next.csv"), "c,4\r\n"));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(1));
    QVERIFY(shows(true, false, false));
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
    TestWindow w;
    QCOMPARE(recentItems(w), QStringList());
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths << w.writeFile(QStringLiteral("d%1.csv").arg(i), "a,1\r\n");
    w->myFileOpen(paths[0]);
    w->myFileOpen(paths[1]);
    QCOMPARE(recentItems(w), (QStringList{item(1, paths[1]), item(2, paths[0])}));
    // Opened again, under another spelling of its path: moved to the top, listed once.
    w->myFileOpen(w.dir.path() + QStringLiteral("/./d0.csv"));
    QCOMPARE(recentItems(w), (QStringList{item(1, paths[0]), item(2, paths[1])}));
    // A file that could not be read is not listed.
    w->myFileOpen(w.dir.filePath(QStringLiteral("missing.csv")));
    QCOMPARE(recentItems(w).size(), 2);
    // Eight at most, the oldest dropped; kept across a restart.
    for (int i = 2; i < 10; ++i)
        w->myFileOpen(paths[i]);
    QStringList expected;
    for (int i = 9; i >= 2; --i)
        expected << item(10 - i, paths[i]);
    QCOMPARE(recentItems(w), expected);
    restart(w);
    QCOMPARE(recentItems(w), expected);
}

void TestGuiWindow::recentFileOpensAsOpenWould() {
    TestWindow w;
    const QString first = w.writeFile(QStringLiteral("first.csv"), "a,1\r\nb,2\r\n");
    const QString second = w.writeFile(QStringLiteral("second.csv"), "c,3\r\n");
    w->myFileOpen(first);
    w->myFileOpen(second);
    openRecent(w, 1);
    QCOMPARE(w->panelText(Panel::FilePath), first);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
    QCOMPARE(recentItems(w), (QStringList{item(1, first), item(2, second)}));
    // The open dialog remembers it as if chosen there.
    QCOMPARE(w->dialog().FileName, first);
    // While a job keeps Open disabled, the list opens nothing.
    w->toolbarButton(Command::Open)->setEnabled(false);
    openRecent(w, 1);
    QCOMPARE(w->panelText(Panel::FilePath), first);
    QVERIFY(w.platform.messages.isEmpty());
    // A file gone since is said so and dropped from the list; nothing is loaded.
    w->toolbarButton(Command::Open)->setEnabled(true);
    QVERIFY(QFile::remove(second));
    openRecent(w, 1);
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             QStringLiteral("データファイル「%1」が見つかりません。\n"
                            "最近使ったファイルの一覧から削除しました。")
                 .arg(QDir::toNativeSeparators(second)));
    QCOMPARE(w.platform.messages[0].style, int(Platform::Exclamation));
    QCOMPARE(w->panelText(Panel::FilePath), first);
    QCOMPARE(recentItems(w), QStringList{item(1, first)});
}

void TestGuiWindow::openMenuHasAKey() {
    TestWindow w;
    w->show();
    const QString data = w.writeFile(QStringLiteral("d.csv"), "a,1\r\n");
    w->myFileOpen(data);
    w->myFileOpen(w.writeFile(QStringLiteral("e.csv"), "b,2\r\nc,3\r\n"));
    auto* key = w.child<QShortcut>(QStringLiteral("cmdOpenMenuKey"));
    QVERIFY(key);
    QCOMPARE(key->key(), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_O));
    auto* menu = w.child<QMenu>(QStringLiteral("mnuOpen"));
    // Not while Open is disabled.
    w->toolbarButton(Command::Open)->setEnabled(false);
    Q_EMIT key->activated();
    QVERIFY(!menu->isVisible());
    w->toolbarButton(Command::Open)->setEnabled(true);
    Q_EMIT key->activated();
    QTRY_VERIFY(menu->isVisible());
    // Under the Open button, with the recent files in it; 2 opens the one before the newest.
    QWidget* face = w.tlbMain()->widgetForAction(w->toolbarButton(Command::Open));
    QCOMPARE(menu->pos().y(), face->mapToGlobal(QPoint(0, face->height())).y());
    QVERIFY(w.child<QAction>(QStringLiteral("mnuRecent1")));
    QTest::keyClick(menu, Qt::Key_2);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(w->panelText(Panel::FilePath), data);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(1));
    QVERIFY(w.platform.messages.isEmpty());
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
    pickFromThree(w);
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

void TestGuiWindow::contextMenuKeysOpenTheResultMenu() {
    TestWindow w;
    pickFromThree(w);
    ListView* view = w.lvwPickupData();
    QMenu* menu = w.mnuPopup();
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), Qt::SHIFT | Qt::Key_F10}) {
        view->clearSelection();
        view->setCurrentIndex(w->resultModel()->index(1, 0));
        QTest::keyClick(view, key.key(), key.keyboardModifiers());
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
        QCOMPARE(w.platform.clipboard, QStringLiteral("a,1\r\na,3"));
        w.platform.clipboard.clear();
    }
    QCOMPARE(w.platform.clipboardWrites, 2);
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
    for (const QByteArray& bytes : {QByteArray("a,1\r\n"), QByteArray()}) { // empty: a load too
        w.child<QWidget>(QStringLiteral("txtOutORGoku"))->setFocus();
        w->myFileOpen(w.writeFile(QStringLiteral("d.csv"), bytes));
        QCOMPARE(w->focusWidget(), w.child<QWidget>(QStringLiteral("txtInANDNo")));
    }
}

void TestGuiWindow::growingWindowGivesTheListsTheRoom_data() {
    QTest::addColumn<int>("extraWidth");
    QTest::addColumn<int>("extraHeight");
    QTest::newRow("wider") << 300 << 0;
    QTest::newRow("taller") << 0 << 240;
    QTest::newRow("both, odd") << 301 << 241;
}

void TestGuiWindow::growingWindowGivesTheListsTheRoom() {
    QFETCH(int, extraWidth);
    QFETCH(int, extraHeight);
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QStringList names = {
        "fraWordSet",     "Frame1",         "Frame2",       "lvwInAND",        "lvwInOR",
        "lvwOutAND",      "lvwOutOR",       "txtInANDGoku", "lvwOriginalData", "lvwPickupData",
        "fraProgressbar", "picProgressbar", "cmdSend",      "cmdShowSource",   "sbrStatus",
        "S_FilePath",     "S_Pickup",       "S_Original"};
    QHash<QString, QRect> before;
    for (const QString& name : names) {
        QVERIFY2(w.child<QWidget>(name), qPrintable(name));
        before[name] = w.child<QWidget>(name)->geometry();
    }
    const QSize designed = w->size();
    w->resize(designed + QSize(extraWidth, extraHeight));
    QTRY_COMPARE(w->size(), designed + QSize(extraWidth, extraHeight));
    auto now = [&w](const QString& name) { return w.child<QWidget>(name)->geometry(); };
    // The lists take the extra room: the four condition lists share the width and a third of
    // the height, the source and result lists the rest.
    const int top = extraHeight / 3;
    QCOMPARE(now("fraWordSet").size(), before["fraWordSet"].size() + QSize(extraWidth, top));
    QCOMPARE(now("lvwOriginalData"),
             before["lvwOriginalData"].adjusted(0, top, extraWidth, extraHeight));
    QCOMPARE(now("lvwPickupData"), now("lvwOriginalData"));
    QCOMPARE(now("fraProgressbar"),
             before["fraProgressbar"].adjusted(0, top, extraWidth, extraHeight));
    QCOMPARE(w->progressWindow()->width(), now("picProgressbar").width());
    int listWidths = 0;
    for (const char* list : {"lvwInAND", "lvwInOR", "lvwOutAND", "lvwOutOR"}) {
        QCOMPARE(now(list).height(), before[list].height() + top);
        QVERIFY(now(list).width() >= before[list].width() + extraWidth / 4 - 2);
        listWidths += now(list).width() - before[list].width();
    }
    QVERIFY(listWidths >= extraWidth - 6 && listWidths <= extraWidth + 2);
    // Nothing overlaps what it did not overlap before; the buttons keep to the right edge.
    QVERIFY(!now("Frame1").intersects(now("Frame2")));
    QCOMPARE(now("cmdSend"), before["cmdSend"].translated(extraWidth, 0));
    // (The status bar lays its items out when the event loop turns.)
    QTRY_COMPARE(now("cmdShowSource"), before["cmdShowSource"].translated(extraWidth, 0));
    QCOMPARE(now("sbrStatus").bottom(), w->height() - 1);
    QTRY_COMPARE(now("S_FilePath").width(), before["S_FilePath"].width() + extraWidth);
    QVERIFY(now("S_Original").right() <= w->width());
    // The source button stays between the path and the counts.
    QVERIFY(now("S_FilePath").right() < now("cmdShowSource").left());
    QVERIFY(now("cmdShowSource").right() < now("S_Pickup").left());
    // Back to the designed size: the designed places again.
    w->resize(designed);
    QTRY_COMPARE(w->size(), designed);
    for (const QString& name : names)
        QTRY_COMPARE(now(name), before[name]);
    // Never smaller than designed.
    w->resize(designed - QSize(100, 100));
    QCOMPARE(w->size(), designed);
}

void TestGuiWindow::sizeAndColumnsAcrossRestart_data() {
    QTest::addColumn<QSize>("grown");
    QTest::addColumn<bool>("maximized");
    // (The test screen is 800 x 600 pixels: the designed window is already wider.)
    QTest::newRow("taller") << QSize(0, 30) << false;
    QTest::newRow("maximised") << QSize(0, 20) << true;
}

void TestGuiWindow::sizeAndColumnsAcrossRestart() {
    QFETCH(QSize, grown);
    QFETCH(bool, maximized);
    TestWindow w;
    w->show();
    const QSize designed = w->size();
    w->resize(designed + grown);
    QTRY_COMPARE(w->size(), designed + grown);
    QTreeView* list = w.child<QTreeView>(QStringLiteral("lvwOutOR"));
    list->header()->resizeSection(0, 40);
    list->header()->resizeSection(1, 300);
    if (maximized) {
        w->showMaximized();
        QTRY_VERIFY(w->isMaximized());
    }
    QVERIFY(w->close());
    const QString ini = mdlIniSet::IniFilePath();
    QCOMPARE(
        mdlIniSet::GetIniString(QStringLiteral("Vornel Window"), QStringLiteral("Maximized"), ini),
        maximized ? QStringLiteral("1") : QStringLiteral("0"));

    restart(w);
    QCOMPARE(w->size(), designed + grown); // the normal size, also of a maximised window
    QCOMPARE(bool(w->windowState() & Qt::WindowMaximized), maximized);
    list = w.child<QTreeView>(QStringLiteral("lvwOutOR"));
    QCOMPARE(list->header()->sectionSize(0), 40);
    QCOMPARE(list->header()->sectionSize(1), 300);
    QCOMPARE(w.child<QTreeView>(QStringLiteral("lvwInAND"))->header()->sectionSize(1), 410);

    // A size larger than the screen is cut to it; one under the designed size is not taken.
    for (const QString& height : {QStringLiteral("900000"), QStringLiteral("100")}) {
        mdlIniSet::SetIniString(QStringLiteral("Vornel Window"), QStringLiteral("Height"), height,
                                ini);
        mdlIniSet::SetIniString(QStringLiteral("Vornel Window"), QStringLiteral("Maximized"),
                                QStringLiteral("0"), ini);
        restart(w);
        const int screen = QGuiApplication::primaryScreen()->availableGeometry().height();
        QCOMPARE(w->height(),
                 height == u"100" ? designed.height() : std::max(screen, designed.height()));
        QCOMPARE(w->width(), designed.width());
    }
}

QTEST_MAIN(TestGuiWindow)
#include "tst_gui_window.moc"
