// What the result list hands on as text: the display width of a row's text, the selection runs
// kept across a new order, and the copied text of the selected rows.
#include "ResultsTestSupport.h"
#include "results/DisplayWidth.h"
#include "results/ResultCopy.h"
#include "results/ResultSelection.h"

#include <QTest>

class TestResultsCopy : public QObject {
    Q_OBJECT
private slots:
    void displayWidth_data();
    void displayWidth();
    void normalised();
    void afterReorder();
    void copy_data();
    void copy();
    void copyAfterDescendingSort();
    void copyManyRows();
};

void TestResultsCopy::displayWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("ASCII") << "a,b,c" << 5;
    QTest::newRow("kanji") << "東京,大阪" << 9;
    QTest::newRow("kana") << "あア" << 4;
    QTest::newRow("half-width katakana") << "ｱｲｳ" << 3;
    QTest::newRow("full-width letters and space") << "Ａ　Ｂ" << 6;
    QTest::newRow("hangul") << "한국" << 4;
    QTest::newRow("surrogate pair") << QString::fromUcs4(U"\U00020BB7x") << 3;
    QTest::newRow("lone surrogate") << QString(QChar(0xD842)) << 1;
    QTest::newRow("accented Latin") << "café" << 4;
    QTest::newRow("Greek and Cyrillic") << "αЖ" << 2;
}

void TestResultsCopy::displayWidth() {
    QFETCH(QString, text);
    QFETCH(int, columns);
    QCOMPARE(DisplayWidth::columns(text), qsizetype(columns));
}

void TestResultsCopy::normalised() {
    const std::vector<RowRange> in{{7, 9}, {0, 1}, {2, 3}, {8, 12}, {20, 30}, {-5, -1}};
    const std::vector<RowRange> expected{{0, 3}, {7, 12}, {20, 24}};
    QCOMPARE(ResultSelection::normalised(in, 25), expected);
    QCOMPARE(ResultSelection::rowCount(expected), qint64(4 + 6 + 5));
    QVERIFY(ResultSelection::normalised({}, 10).empty());
}

void TestResultsCopy::afterReorder() {
    // Rows 1, 2 and 4 of six selected; the order reverses them.
    const std::vector<std::uint32_t> order{5, 4, 3, 2, 1, 0};
    const std::vector<RowRange> expected{{1, 1}, {3, 4}};
    QCOMPARE(ResultSelection::afterReorder({{1, 2}, {4, 4}}, order), expected);
    const std::vector<RowRange> all{{0, 5}};
    QCOMPARE(ResultSelection::afterReorder(all, order), all);
    QVERIFY(ResultSelection::afterReorder({}, order).empty());
}

void TestResultsCopy::copy_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("ranges"); // first, last pairs
    QTest::addColumn<QString>("expected");
    const QStringList three{"a,b", "c,d", "e,f"};
    QTest::newRow("three rows, no CR LF after the last")
        << three << QList<int>{0, 2} << QStringLiteral("a,b\r\nc,d\r\ne,f");
    QTest::newRow("nothing selected") << three << QList<int>{} << QString();
    QTest::newRow("one row") << three << QList<int>{1, 1} << QStringLiteral("c,d");
    QTest::newRow("top to bottom, each once")
        << three << QList<int>{2, 2, 0, 0, 0, 0} << QStringLiteral("a,b\r\ne,f");
    QTest::newRow("duplicates kept") << QStringList{"x,1", "x,1", "y,2", "x,1"} << QList<int>{0, 3}
                                     << QStringLiteral("x,1\r\nx,1\r\ny,2\r\nx,1");
    QTest::newRow("empty row texts kept")
        << QStringList{"", "", "z"} << QList<int>{0, 2} << QStringLiteral("\r\n\r\nz");
    QTest::newRow("japanese") << QStringList{"東京,１", "大阪,２"} << QList<int>{0, 1}
                              << QStringLiteral("東京,１\r\n大阪,２");
}

void TestResultsCopy::copy() {
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, ranges);
    QFETCH(QString, expected);
    Results r(lines);
    std::vector<RowRange> runs;
    for (qsizetype i = 0; i + 1 < ranges.size(); i += 2)
        runs.push_back({ranges[i], ranges[i + 1]});
    const QString text = ResultCopy::text(r.model, runs);
    QCOMPARE(text, expected);
}

void TestResultsCopy::copyAfterDescendingSort() {
    Results r({"b,2", "d,4", "a,1", "c,3"});
    // Rows "b,2", "d,4" and "c,3" selected before the sort stay selected after it.
    const std::vector<RowRange> before{{0, 1}, {3, 3}};
    const std::vector<std::uint32_t> order = ResultSort::sortedOrder(r.model, Order::Descending);
    ResultSort::apply(r.model, order);
    const std::vector<RowRange> after = ResultSelection::afterReorder(before, order);
    QCOMPARE(ResultCopy::text(r.model, after), QStringLiteral("d,4\r\nc,3\r\nb,2"));
    QCOMPARE(ResultCopy::text(r.model, {{0, 3}}), QStringLiteral("d,4\r\nc,3\r\nb,2\r\na,1"));
}

void TestResultsCopy::copyManyRows() {
    // Enough rows for the two-thread path, in a shuffled order, with selection runs that cut
    // through the middle.
    Results r(randomLines(150000, 7));
    const std::vector<std::uint32_t> rows = shuffleRows(r.model, 3);
    const std::vector<RowRange> runs{{140000, 149999}, {5, 70000}, {70002, 70002}, {80000, 139999}};
    QStringList expected;
    for (const RowRange& run : ResultSelection::normalised(runs, r.model.count()))
        for (qint64 i = run.first; i <= run.last; ++i)
            expected << r.store.rowText(rows[size_t(i)]);
    QVERIFY(ResultCopy::text(r.model, runs) == expected.join(QStringLiteral("\r\n")));
}

QTEST_GUILESS_MAIN(TestResultsCopy)
#include "tst_results_copy.moc"
