// The window as a place to work in: the row counts, the source rows after a pickup, the recent
// data files, the keyboard routes and a window that grows. Driven through the real window.
#include "GuiTestSupport.h"

#include "base/CountText.h"
#include "conditions/ConditionListModel.h"
#include "results/ResultListModel.h"
#include "source/SourceTableModel.h"

#include <QDir>
#include <QLabel>
#include <QScrollBar>
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

QTEST_MAIN(TestGuiWindow)
#include "tst_gui_window.moc"
