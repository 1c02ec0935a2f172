// "この行の判定" from either list's context menu, and the matched text marked in the result rows,
// driven through the real window.
#include "GuiTestSupport.h"
#include "conditions/ConditionListModel.h"
#include "pickup/frmVNLJudge.h"
#include "results/MatchHighlightDelegate.h"
#include "results/ResultListModel.h"
#include "source/SourceTableModel.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QItemSelectionModel>

namespace {

void loadRows(TestWindow& w, int commaCount, const QStringList& lines) {
    w->store().reset(commaCount);
    for (const QString& line : lines)
        w->store().appendLine(line);
    w->setCommaCount(commaCount);
    QStringList headers;
    for (int i = 1; i <= commaCount + 1; ++i)
        headers << QString::number(i);
    w->sourceModel()->setHeaders(headers);
    w->sourceModel()->refresh();
    w->setPanelText(Panel::Original, QString::number(lines.size()));
    w->myStartCheck();
}

void addEntry(TestWindow& w, ConditionList id, const QString& column, const QString& phrase) {
    w->conditionList(id).model->appendEntry({column, phrase});
    w->myStartCheck();
}

void pressStart(TestWindow& w) {
    QAction* start = w->toolbarButton(Command::Start);
    QVERIFY(start->isEnabled());
    start->trigger();
}

QAction* judgeItem(TestWindow& w) {
    return w.child<QAction>(QStringLiteral("mnuPopupJudge"));
}

frmVNLJudge* judgeWindow(TestWindow& w) {
    return w.child<frmVNLJudge>(QStringLiteral("frmVNLJudge"));
}

// Pixels of the mark colour inside the row's rectangle of the result list.
int markedPixels(TestWindow& w, int row) {
    ListView* view = w.lvwPickupData();
    const QImage image = view->viewport()->grab().toImage();
    const QRect rect = view->visualRect(w->resultModel()->index(row, 0));
    const QRgb mark = MatchHighlightDelegate::markBackground().rgb();
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom() && y < image.height(); ++y)
        for (int x = rect.left(); x <= rect.right() && x < image.width(); ++x)
            if (image.pixel(x, y) == mark)
                ++count;
    return count;
}

} // namespace

class TestGuiJudge : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void judgesTheCurrentSourceRow_data();
    void judgesTheCurrentSourceRow();
    void judgesTheCurrentResultRowAndClosesWithEsc();
    void sourceListMenuOffersTheJudgementOnly();
    void listsThatCannotRunSayWhatStartSays();
    void resultRowsMarkTheMatchedText();
};

void TestGuiJudge::judgesTheCurrentSourceRow_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("sentence");
    // Lists (see the test): NOT OR {0: "x"}, AND {2: "東京"}, OR {1: "1", 3: "a*"}.
    QTest::newRow("picked") << 0 << "抽出されます";
    QTest::newRow("removed") << 1 << "除外されます（NOT OR の 1 行目「x」に一致）";
    QTest::newRow("an AND entry fails") << 2 << "抽出されません（AND の 1 行目「東京」に不一致）";
    QTest::newRow("no OR entry matches") << 3 << "抽出されません（OR のどの行にも不一致）";
}

void TestGuiJudge::judgesTheCurrentSourceRow() {
    QFETCH(int, row);
    QFETCH(QString, sentence);
    TestWindow w;
    w->show();
    loadRows(w, 2, {"1,東京都,abc", "1,東京,x", "1,大阪,abc", "2,東京,b"});
    addEntry(w, ConditionList::OutOR, "0", "x");
    addEntry(w, ConditionList::InAND, "2", "東京");
    addEntry(w, ConditionList::InOR, "1", "1");
    addEntry(w, ConditionList::InOR, "3", "a*");
    QVERIFY(w.lvwOriginalData()->isVisible());
    w.lvwOriginalData()->setCurrentIndex(w->sourceModel()->index(row, 1));
    judgeItem(w)->trigger();
    frmVNLJudge* judge = judgeWindow(w);
    QVERIFY(judge);
    QVERIFY(judge->isVisible());
    QVERIFY(judge->isModal());
    const QString text = judge->text();
    QVERIFY2(
        text.startsWith(
            QStringLiteral("データの %1 行目: %2\n").arg(row + 1).arg(w->store().rowText(row))),
        qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("判定: ") + sentence), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("NOT AND: （条件なし）")));
    // The lists in their fixed order, each entry with its answer.
    const qsizetype notOr = text.indexOf(QStringLiteral("NOT OR: "));
    const qsizetype andList = text.indexOf(QStringLiteral("\nAND: "));
    const qsizetype orList = text.indexOf(QStringLiteral("\nOR: "));
    QVERIFY(notOr > 0 && notOr < andList && andList < orList);
    QVERIFY(text.contains(QStringLiteral("列 0 「x」: %1").arg(row == 1 ? "一致" : "不一致")));
    // Nothing ran: the window is as it was.
    QCOMPARE(w->resultModel()->count(), 0);
    QVERIFY(w.lvwOriginalData()->isVisible());
}

void TestGuiJudge::judgesTheCurrentResultRowAndClosesWithEsc() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1", "b,2", "ab,3"});
    addEntry(w, ConditionList::InOR, "1", "b");
    pressStart(w);
    QCOMPARE(w->resultModel()->count(), 2);
    // The second result is the source's third row.
    w.lvwPickupData()->setCurrentIndex(w->resultModel()->index(1, 0));
    judgeItem(w)->trigger();
    QPointer<frmVNLJudge> judge = judgeWindow(w);
    QVERIFY(judge);
    QVERIFY(judge->text().startsWith(QStringLiteral("データの 3 行目: ab,3\n")));
    QVERIFY(judge->text().contains(QStringLiteral("  列 1 「b」: 一致")));
    QVERIFY(judge->text().endsWith(QStringLiteral("判定: 抽出されます")));
    QTest::keyClick(judge, Qt::Key_Escape);
    QTRY_VERIFY(judge.isNull());
    // The results are still there.
    QCOMPARE(w->resultModel()->count(), 2);
    QVERIFY(w.lvwPickupData()->isVisible());
}

void TestGuiJudge::sourceListMenuOffersTheJudgementOnly() {
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    loadRows(w, 1, {"a,1", "b,2"});
    addEntry(w, ConditionList::InOR, "0", "a");
    QWidget* viewport = w.lvwOriginalData()->viewport();
    const QPoint at = w.lvwOriginalData()->visualRect(w->sourceModel()->index(0, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    QTRY_VERIFY(w.mnuPopup()->isVisible());
    QVERIFY(judgeItem(w)->isVisible());
    QVERIFY(judgeItem(w)->isEnabled());
    for (QAction* item : {w.mnuPopupAllSelect(), w.mnuPopupCopy(), w.mnuPopupSort()->menuAction()})
        QVERIFY(!item->isVisible());
    w.mnuPopup()->hide();

    // Over the results the menu has its result commands and the judgement.
    pressStart(w);
    QTest::mouseClick(w.lvwPickupData()->viewport(), Qt::RightButton, {},
                      w.lvwPickupData()->visualRect(w->resultModel()->index(0, 0)).center());
    QTRY_VERIFY(w.mnuPopup()->isVisible());
    for (QAction* item :
         {w.mnuPopupAllSelect(), w.mnuPopupCopy(), w.mnuPopupSort()->menuAction(), judgeItem(w)})
        QVERIFY(item->isVisible());
    w.mnuPopup()->hide();
}

void TestGuiJudge::listsThatCannotRunSayWhatStartSays() {
    TestWindow w;
    w->show();
    loadRows(w, 1, {"a,1"});
    addEntry(w, ConditionList::InAND, "1", "[a*");
    w.lvwOriginalData()->setCurrentIndex(w->sourceModel()->index(0, 0));
    judgeItem(w)->trigger();
    QVERIFY(!judgeWindow(w));
    QCOMPARE(w.platform.messages.size(), 1);
    pressStart(w);
    QCOMPARE(w.platform.messages.size(), 2);
    QCOMPARE(w.platform.messages[0].prompt, w.platform.messages[1].prompt);
    QCOMPARE(w.platform.messages[0].style, w.platform.messages[1].style);
    QCOMPARE(w.platform.messages[0].title, w.platform.messages[1].title);
}

void TestGuiJudge::resultRowsMarkTheMatchedText() {
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    loadRows(w, 1, {"xab,1", "ab,2", "c,3"});
    addEntry(w, ConditionList::InAND, "0", "ab");
    pressStart(w);
    QCOMPARE(w->resultModel()->count(), 2);
    QVERIFY(qobject_cast<MatchHighlightDelegate*>(w.lvwPickupData()->itemDelegate()));
    QItemSelectionModel* selection = w.lvwPickupData()->selectionModel();
    selection->clearSelection();
    QVERIFY(markedPixels(w, 0) > 0);
    selection->select(w->resultModel()->index(0, 0), QItemSelectionModel::Select);
    QVERIFY(markedPixels(w, 0) > 0);
    QVERIFY(markedPixels(w, 1) > 0);

    // A pickup by an exclusion list alone matches no text of the rows it keeps.
    w->conditionList(ConditionList::InAND).model->clear();
    addEntry(w, ConditionList::OutOR, "0", "c");
    pressStart(w);
    QCOMPARE(w->resultModel()->count(), 2);
    QCOMPARE(markedPixels(w, 0), 0);
    QCOMPARE(markedPixels(w, 1), 0);
}

QTEST_MAIN(TestGuiJudge)
#include "tst_gui_judge.moc"
