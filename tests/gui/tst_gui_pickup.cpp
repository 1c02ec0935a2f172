// Start and Stop of the pickup, driven through the real window.
#include "GuiTestSupport.h"

#include "base/CountText.h"

#include "conditions/ConditionListModel.h"
#include "pickup/PickupRun.h"
#include "pickup/ResultColumnSizer.h"
#include "pickup/frmVNLJudge.h"
#include "results/MatchHighlightDelegate.h"
#include "results/ResultListModel.h"
#include "settings/mdlIniSet.h"
#include "source/SourceTableModel.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace {

const Command kResultCommands[] = {Command::Save, Command::Print, Command::AllSelect, Command::Copy,
                                   Command::Sort};

void addEntry(TestWindow& w, ConditionList id, const QString& column, const QString& phrase) {
    w->conditionList(id).model->appendEntry({column, phrase});
    w->myStartCheck();
}

void clearLists(TestWindow& w) {
    for (ConditionList id : kConditionListOrder)
        w->conditionList(id).model->clear();
}

QStringList manyRows(int count) {
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("%1,name%2,%3").arg(i).arg(i % 10).arg(i % 3 ? "x" : "y");
    return lines;
}

} // namespace

class TestGuiPickup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void completedRunShowsPickedRowsInOrder();
    void completedRunWithNoRowEnablesResultCommands();
    void resultColumnFitsWidestRowAndView_data();
    void resultColumnFitsWidestRowAndView();
    void resultColumnFitsWideAmongLongerNarrowRows_data();
    void resultColumnFitsWideAmongLongerNarrowRows();
    void stopMidRun();
    void outOfMemoryEndsTheRunAsStopDoes();
    void secondRunClearsTheFirst();
    void judgeSourceRow_data();
    void judgeSourceRow();
    void judgeResultRowAndCloseWithEsc();
    void judgeSaysWhatStartSaysOfBadLists();
    void resultRowsMarkTheMatchedText();
    void entryCheckStopsBeforeTheFirstRow_data();
    void entryCheckStopsBeforeTheFirstRow();
    void matchingSwitches_data();
    void matchingSwitches();
};

void TestGuiPickup::completedRunShowsPickedRowsInOrder() {
    TestWindow w;
    w->show();
    loadRows(w, 2, {"1,東京,a", "2,大阪,b", "3,東京都,c", "4,京都,d"});
    addEntry(w, ConditionList::InAND, "2", "*京*");
    addEntry(w, ConditionList::OutOR, "0", "d");
    pressStart(w);

    QCOMPARE(resultTexts(w), (QStringList{"1,東京,a", "3,東京都,c"}));
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(2));
    QCOMPARE(w.child<QLabel>("lblStatus")->text(), QStringLiteral("ピックアップ中..."));
    QVERIFY(!w->isBusy());
    QVERIFY(w.lvwPickupData()->isVisible());
    QVERIFY(!w.lvwOriginalData()->isVisible());
    QVERIFY(!w.fraProgressbar()->isVisible());
    QCOMPARE(w->progressWindow()->value(), 4);
    for (Command key : kResultCommands)
        QVERIFY2(w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(w.cmdSend()->isEnabled());
    QVERIFY(w.enabled(Command::Start));
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w.enabled(Command::Stop));
    QVERIFY(w.fraWordSet()->isEnabled());
}

void TestGuiPickup::completedRunWithNoRowEnablesResultCommands() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,b", "c,d"});
    addEntry(w, ConditionList::InOR, "0", "zzz");
    pressStart(w);

    QCOMPARE(w->resultModel()->count(), 0);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    for (Command key : kResultCommands)
        QVERIFY2(w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(w.cmdSend()->isEnabled());
    QVERIFY(w.lvwPickupData()->isVisible());
    QVERIFY(!w.lvwOriginalData()->isVisible());
    QVERIFY(!w->isBusy());
}

void TestGuiPickup::resultColumnFitsWidestRowAndView_data() {
    QTest::addColumn<bool>("sliced"); // the widest rows looked for in turns of the event loop
    QTest::newRow("at once") << false;
    QTest::newRow("in turns") << true;
}

void TestGuiPickup::resultColumnFitsWidestRowAndView() {
    QFETCH(bool, sliced);
    if (sliced)
        ResultColumnSizer::setSlicedFromForTesting(100, 7);
    const auto restore =
        qScopeGuard([] { ResultColumnSizer::setSlicedFromForTesting(std::int64_t(1) << 20, 0); });
    TestWindow w;
    w->show();
    // More rows than are measured one by one, the longest somewhere in the middle.
    QStringList lines = manyRows(500);
    const QString longest = QStringLiteral("250,") + QString(300, u'漢') + QStringLiteral(",x");
    lines[250] = longest;
    loadRows(w, 2, lines);
    addEntry(w, ConditionList::InAND, "3", "x");
    pressStart(w);
    QVERIFY(resultTexts(w).contains(longest));
    const int wanted = QFontMetrics(w.lvwPickupData()->font()).horizontalAdvance(longest);
    if (sliced) {
        // Reordered meanwhile (as by a sort): the look starts again over the new order.
        QVERIFY(w.lvwPickupData()->header()->sectionSize(0) < wanted);
        // The widest row goes to the front, among the rows the look has passed.
        QCoreApplication::processEvents();
        std::vector<std::uint32_t> rows = w->resultModel()->rows();
        const auto widest = rows.begin() + resultTexts(w).indexOf(longest);
        std::rotate(rows.begin(), widest, widest + 1);
        w->resultModel()->setRows(std::move(rows));
    }
    QTRY_VERIFY(w.lvwPickupData()->header()->sectionSize(0) >= wanted);
    const int width = w.lvwPickupData()->header()->sectionSize(0);
    QVERIFY(width >= w.lvwPickupData()->viewport()->width());

    // Short rows: the column still fills the visible width.
    clearLists(w);
    loadRows(w, 0, {"a", "b"});
    addEntry(w, ConditionList::InAND, "0", "a");
    pressStart(w);
    QCOMPARE(w.lvwPickupData()->header()->sectionSize(0), w.lvwPickupData()->viewport()->width());
}

void TestGuiPickup::resultColumnFitsWideAmongLongerNarrowRows_data() {
    QTest::addColumn<QString>("wide"); // one row among 70 longer rows of ASCII
    QTest::newRow("kanji") << QString(100, u'漢');
    QTest::newRow("hiragana") << QString(100, u'あ');
    QTest::newRow("full-width letters") << QString(100, u'Ｗ');
    QTest::newRow("kanji and ASCII") << QString(90, u'東') + QStringLiteral("abcdefghij");
}

void TestGuiPickup::resultColumnFitsWideAmongLongerNarrowRows() {
    QFETCH(QString, wide);
    TestWindow w;
    w->show();
    QStringList lines;
    for (int i = 0; i < 70; ++i)
        lines << QString(150, QChar(u'a' + i % 26)); // more characters than the wide row
    lines.insert(35, wide);
    loadRows(w, 0, lines);
    addEntry(w, ConditionList::OutOR, "0", "*,*"); // excludes nothing: every row is picked
    pressStart(w);
    QCOMPARE(resultTexts(w).size(), lines.size());
    const int width = w.lvwPickupData()->header()->sectionSize(0);
    const QFontMetrics metrics(w.lvwPickupData()->font());
    for (const QString& line : lines)
        QVERIFY2(width >= metrics.horizontalAdvance(line), qPrintable(line));
}

void TestGuiPickup::stopMidRun() {
    TestWindow w;
    w->show();
    w->setJobSliceMs(1);
    const int rows = 300000;
    loadRows(w, 2, manyRows(rows));
    addEntry(w, ConditionList::InAND, "3", "x"); // two rows in three
    bool stopWasEnabled = false;
    bool busyAtStop = false;
    QTimer::singleShot(0, w.window.get(), [&] {
        QAction* stop = w->toolbarButton(Command::Stop);
        stopWasEnabled = stop->isEnabled();
        busyAtStop = w->isBusy();
        stop->trigger();
    });
    pressStart(w);

    QVERIFY(stopWasEnabled);
    QVERIFY(busyAtStop);
    QVERIFY(w->progressWindow()->value() < rows); // ended before the last row
    QCOMPARE(w->resultModel()->count(), 0);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    QVERIFY(!w.lvwPickupData()->isVisible());
    QVERIFY(w.lvwOriginalData()->isVisible());
    QVERIFY(!w.fraProgressbar()->isVisible());
    for (Command key : kResultCommands)
        QVERIFY2(!w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(!w.cmdSend()->isEnabled());
    QVERIFY(w.enabled(Command::Start));
    QVERIFY(!w->isBusy());
}

void TestGuiPickup::outOfMemoryEndsTheRunAsStopDoes() {
    TestWindow w;
    w->show();
    w->setJobSliceMs(1);
    loadRows(w, 2, manyRows(20000));
    addEntry(w, ConditionList::InAND, "3", "x");
    PickupRun::setPickedLimitForTesting(100); // the memory for the picked rows runs out
    pressStart(w);
    PickupRun::setPickedLimitForTesting(0);

    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             QStringLiteral("メモリーが足りないため、抽出できませんでした。"));
    QCOMPARE(w.platform.messages[0].style, 16);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("エラー"));
    QCOMPARE(w->resultModel()->count(), 0);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    QVERIFY(w.lvwOriginalData()->isVisible());
    QVERIFY(!w.lvwPickupData()->isVisible());
    QVERIFY(!w.fraProgressbar()->isVisible());
    for (const Command command : kResultCommands)
        QVERIFY(!w.enabled(command));
    QVERIFY(!w.cmdSend()->isEnabled());
    QVERIFY(!w->isBusy());
    QCOMPARE(w->store().rowCount(), qint64(20000)); // the source table stays
}

void TestGuiPickup::secondRunClearsTheFirst() {
    TestWindow w;
    w->show();
    w->setJobSliceMs(1);
    QStringList lines = manyRows(50000);
    loadRows(w, 2, lines);
    addEntry(w, ConditionList::InAND, "2", "name3");
    pressStart(w);
    QCOMPARE(w->resultModel()->count(), 5000);

    clearLists(w);
    addEntry(w, ConditionList::InAND, "1", "7");
    addEntry(w, ConditionList::InAND, "1", "??");
    // At the first turn of the event loop of the second run, the first results are gone.
    qint64 countDuringRun = -1;
    QString pickedDuringRun;
    QTimer::singleShot(0, w.window.get(), [&] {
        countDuringRun = w->resultModel()->count();
        pickedDuringRun = w->panelText(Panel::Pickup);
    });
    pressStart(w);
    QStringList expected;
    for (const QString& line : lines)
        if (line.section(u',', 0, 0).size() == 2 && line.section(u',', 0, 0).contains(u'7'))
            expected << line;
    QCOMPARE(countDuringRun, 0);
    QVERIFY(CountText::parse(pickedDuringRun).value_or(-1) <=
            expected.size()); // this run's own count, not 5000
    QCOMPARE(resultTexts(w), expected);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(expected.size()));
}

namespace {

frmVNLJudge* judgeWindow(TestWindow& w) {
    return w.child<frmVNLJudge>(QStringLiteral("frmVNLJudge"));
}

void judgeCurrentRow(TestWindow& w) {
    w.child<QAction>(QStringLiteral("mnuPopupJudge"))->trigger();
}

// Pixels of the mark colour in the result list's row.
int markedPixels(TestWindow& w, int row) {
    const QImage image = w.lvwPickupData()->viewport()->grab().toImage();
    const QRect rect = w.lvwPickupData()->visualRect(w->resultModel()->index(row, 0));
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= std::min(rect.right(), image.width() - 1); ++x)
            count += image.pixel(x, y) == MatchHighlightDelegate::markBackground().rgb();
    return count;
}

} // namespace

void TestGuiPickup::judgeSourceRow_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("sentence");
    // Lists (see the test): NOT OR {0: "x"}, AND {2: "東京"}, OR {1: "1", 3: "a*"}.
    QTest::newRow("picked") << 0 << "抽出されます";
    QTest::newRow("removed") << 1 << "除外されます（NOT OR の 1 行目「x」に一致）";
    QTest::newRow("AND fails") << 2 << "抽出されません（AND の 1 行目「東京」に不一致）";
    QTest::newRow("no OR entry") << 3 << "抽出されません（OR のどの行にも不一致）";
}

void TestGuiPickup::judgeSourceRow() {
    QFETCH(int, row);
    QFETCH(QString, sentence);
    TestWindow w;
    w->show();
    loadRows(w, 2, {"1,東京都,abc", "1,東京,x", "1,大阪,abc", "2,東京,b"});
    w->sourceModel()->setHeaders({"1", "2", "3"});
    addEntry(w, ConditionList::OutOR, "0", "x");
    addEntry(w, ConditionList::InAND, "2", "東京");
    addEntry(w, ConditionList::InOR, "1", "1");
    addEntry(w, ConditionList::InOR, "3", "a*");
    w.lvwOriginalData()->setCurrentIndex(w->sourceModel()->index(row, 1));
    judgeCurrentRow(w);
    frmVNLJudge* judge = judgeWindow(w);
    QVERIFY(judge && judge->isVisible() && judge->isModal());
    const QString text = judge->text();
    QVERIFY2(
        text.startsWith(
            QStringLiteral("データの %1 行目: %2\n").arg(row + 1).arg(w->store().rowText(row))),
        qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("判定: ") + sentence), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("列 0 「x」: %1").arg(row == 1 ? "一致" : "不一致")));
    // Nothing ran: the window is as it was.
    QCOMPARE(w->resultModel()->count(), 0);
    QVERIFY(w.lvwOriginalData()->isVisible());
}

void TestGuiPickup::judgeResultRowAndCloseWithEsc() {
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    loadRows(w, 1, {"a,1", "b,2", "ab,3"});
    w->sourceModel()->setHeaders({"1", "2"});
    addEntry(w, ConditionList::InOR, "1", "b");
    // The source rows' menu offers the judgement only.
    QWidget* viewport = w.lvwOriginalData()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &event);
    QTRY_VERIFY(w.mnuPopup()->isVisible());
    QVERIFY(!w.mnuPopupCopy()->isVisible() && !w.mnuPopupSort()->menuAction()->isVisible());
    w.mnuPopup()->hide();

    pressStart(w);
    QCOMPARE(resultTexts(w), (QStringList{"b,2", "ab,3"}));
    // A right click on the second result: the menu with the result commands too, for that row.
    QTest::mouseClick(w.lvwPickupData()->viewport(), Qt::RightButton, {},
                      w.lvwPickupData()->visualRect(w->resultModel()->index(1, 0)).center());
    QTRY_VERIFY(w.mnuPopup()->isVisible());
    QVERIFY(w.mnuPopupCopy()->isVisible() && w.mnuPopupSort()->menuAction()->isVisible());
    judgeCurrentRow(w);
    w.mnuPopup()->hide();
    QPointer<frmVNLJudge> judge = judgeWindow(w);
    QVERIFY(judge);
    QCOMPARE(judge->text(), QStringLiteral("データの 3 行目: ab,3\n\nNOT AND: （条件なし）\n"
                                           "NOT OR: （条件なし）\nAND: （条件なし）\n"
                                           "OR: \n  列 1 「b」: 一致\n"
                                           "  → 一致の行あり: 抽出の条件を満たします\n\n"
                                           "判定: 抽出されます"));
    QTest::keyClick(judge, Qt::Key_Escape);
    QTRY_VERIFY(judge.isNull());
    QCOMPARE(w->resultModel()->count(), 2);
}

void TestGuiPickup::judgeSaysWhatStartSaysOfBadLists() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1"});
    w->sourceModel()->setHeaders({"1", "2"});
    addEntry(w, ConditionList::InAND, "1", "[a*");
    w.lvwOriginalData()->setCurrentIndex(w->sourceModel()->index(0, 0));
    judgeCurrentRow(w);
    QVERIFY(!judgeWindow(w));
    QCOMPARE(w.platform.messages.size(), 1);
    pressStart(w);
    QCOMPARE(w.platform.messages.size(), 2);
    QCOMPARE(w.platform.messages[0].prompt, w.platform.messages[1].prompt);
    QCOMPARE(w.platform.messages[0].style, w.platform.messages[1].style);
    QCOMPARE(w.platform.messages[0].title, w.platform.messages[1].title);
}

void TestGuiPickup::resultRowsMarkTheMatchedText() {
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    loadRows(w, 1, {"xab,1", "ab,2", "c,3"});
    addEntry(w, ConditionList::InAND, "0", "ab");
    pressStart(w);
    QVERIFY(markedPixels(w, 1) > 0);
    w.lvwPickupData()->selectionModel()->select(w->resultModel()->index(0, 0),
                                                QItemSelectionModel::Select);
    QVERIFY(markedPixels(w, 0) > 0); // a selected row too
    // Kept by an exclusion list alone: no text of the rows matched anything.
    clearLists(w);
    addEntry(w, ConditionList::OutOR, "0", "c");
    pressStart(w);
    QCOMPARE(w->resultModel()->count(), 2);
    QCOMPARE(markedPixels(w, 0) + markedPixels(w, 1), 0);
}

void TestGuiPickup::entryCheckStopsBeforeTheFirstRow_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("name");
    auto row = [](const char* tag, int list, const QString& column, const QString& phrase,
                  const QString& name) { QTest::newRow(tag) << list << column << phrase << name; };
    row("column past the table", int(ConditionList::OutAND), "4", "a", "NOT AND");
    row("empty column", int(ConditionList::OutOR), "", "a", "NOT OR");
    row("column with a letter", int(ConditionList::InAND), "1x", "a", "AND");
    row("unclosed group", int(ConditionList::InOR), "0", "*[ab", "OR");
}

void TestGuiPickup::entryCheckStopsBeforeTheFirstRow() {
    QFETCH(int, list);
    QFETCH(QString, column);
    QFETCH(QString, phrase);
    QFETCH(QString, name);
    TestWindow w;
    w->show();
    loadRows(w, 2, {"a,b,c", "d,e,f"});
    addEntry(w, ConditionList::InOR, "0", "a");
    pressStart(w);
    QCOMPARE(resultTexts(w), QStringList{"a,b,c"});

    // A list file can bring any column text; the window's own registration cannot.
    addEntry(w, ConditionList(list), column, phrase);
    pressStart(w);

    QCOMPARE(w.platform.messages.size(), 1);
    const ScriptedPlatform::Message& m = w.platform.messages.front();
    QCOMPARE(m.style, 16);
    QCOMPARE(m.title, QStringLiteral("エラー"));
    QVERIFY2(m.prompt.contains(QStringLiteral("「%1」").arg(name)), qPrintable(m.prompt));
    QVERIFY2(m.prompt.contains(QStringLiteral("列: %1、").arg(column)), qPrintable(m.prompt));
    QVERIFY2(m.prompt.contains(QStringLiteral("語句: %1）").arg(phrase)), qPrintable(m.prompt));

    // Nothing was cleared and the window is idle, the earlier results still usable.
    QCOMPARE(resultTexts(w), QStringList{"a,b,c"});
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(1));
    QVERIFY(w.lvwPickupData()->isVisible());
    QVERIFY(!w.fraProgressbar()->isVisible());
    QVERIFY(!w->isBusy());
    for (Command key : kResultCommands)
        QVERIFY2(w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(w.enabled(Command::Start));
    QVERIFY(w.enabled(Command::Open));
}

void TestGuiPickup::matchingSwitches_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("phrase"); // picks row 1 only with this switch on
    auto row = [](const char* tag, const QString& name, const QString& caption, const QString& key,
                  const QString& phrase) {
        QTest::newRow(tag) << name << caption << key << phrase;
    };
    row("width", "mnuIgnoreWidth", "全角/半角を区別しない(&W)", "IgnoreWidth", "ミナトク");
    row("kana", "mnuIgnoreKana", "ひらがな/カタカナを区別しない(&K)", "IgnoreKana", "しながわ");
    row("case", "mnuIgnoreCase", "大文字/小文字を区別しない(&C)", "IgnoreCase", "abc");
}

void TestGuiPickup::matchingSwitches() {
    // Each switch is a checkable item of the Start button's drop-down, off at first, remembered in
    // the settings file, and changes what Start picks; the picked row keeps its own text.
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, key);
    QFETCH(QString, phrase);
    TestWindow w;
    auto* item = w.child<QAction>(name);
    QVERIFY(item);
    QCOMPARE(item->text(), caption);
    QVERIFY(item->isCheckable() && !item->isChecked());
    QAction* start = w->toolbarButton(Command::Start);
    QVERIFY(start->menu()->actions().contains(item));
    auto* face = qobject_cast<QToolButton*>(w.tlbMain()->widgetForAction(start));
    QVERIFY(face);
    QCOMPARE(face->popupMode(), QToolButton::MenuButtonPopup);
    const QStringList lines{QStringLiteral("1,ﾐﾅﾄｸ,シナガワ,ABC"), QStringLiteral("2,港区,品川,x")};
    loadRows(w, 3, lines);
    addEntry(w, ConditionList::InAND, QStringLiteral("0"), phrase);
    pressStart(w);
    QCOMPARE(resultTexts(w), QStringList());

    const auto stored = [&key] {
        return mdlIniSet::GetIniString(QStringLiteral("Vornel Options"), key,
                                       mdlIniSet::IniFilePath());
    };
    QCOMPARE(stored(), QString());
    item->trigger();
    QVERIFY(item->isChecked());
    QCOMPARE(stored(), QStringLiteral("1"));
    pressStart(w);
    QCOMPARE(resultTexts(w), QStringList{lines[0]});
    {
        frmVNLMain next(&w.platform);
        QVERIFY(next.findChild<QAction*>(name)->isChecked());
    }
    item->trigger();
    QCOMPARE(stored(), QStringLiteral("0"));
    pressStart(w);
    QCOMPARE(resultTexts(w), QStringList());
}

QTEST_MAIN(TestGuiPickup)
#include "tst_gui_pickup.moc"
