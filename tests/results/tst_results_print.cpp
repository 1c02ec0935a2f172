// Printing the result list: which lines go on which page, how many pages, and each page's heading.
#include "results/PageHeading.h"
#include "results/PrintPages.h"

#include <QTest>

class TestResultsPrint : public QObject {
    Q_OBJECT
private slots:
    void printPages_data();
    void printPages();
    void printPageCount_data();
    void printPageCount();
    void pageHeading_data();
    void pageHeading();
};

void TestResultsPrint::printPages_data() {
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<int>("headerLines");
    QTest::addColumn<QList<int>>("rowLines");
    // "page:line" of every printed line in turn, the header's lines counted in the line.
    QTest::addColumn<QStringList>("places");
    QTest::addColumn<int>("usedHeaderLines");
    QTest::newRow("no row: one page") << 5 << 0 << QList<int>{} << QStringList{} << 0;
    QTest::newRow("a page filled exactly")
        << 3 << 0 << QList<int>{1, 1, 1} << QStringList{"1:0", "1:1", "1:2"} << 0;
    QTest::newRow("the fourth row on the next page")
        << 3 << 0 << QList<int>{1, 1, 1, 1} << QStringList{"1:0", "1:1", "1:2", "2:0"} << 0;
    QTest::newRow("the header on every page")
        << 3 << 1 << QList<int>{1, 1, 1} << QStringList{"1:1", "1:2", "2:1"} << 1;
    QTest::newRow("a row that fits a page is not split")
        << 4 << 0 << QList<int>{2, 3} << QStringList{"1:0", "1:1", "2:0", "2:1", "2:2"} << 0;
    QTest::newRow("a row as long as the room under the header moves on")
        << 4 << 1 << QList<int>{1, 3} << QStringList{"1:1", "2:1", "2:2", "2:3"} << 1;
    QTest::newRow("a row longer than a page goes on where it is")
        << 3 << 0 << QList<int>{1, 5} << QStringList{"1:0", "1:1", "1:2", "2:0", "2:1", "2:2"} << 0;
    QTest::newRow("a row longer than a page, under the header")
        << 3 << 1 << QList<int>{5} << QStringList{"1:1", "1:2", "2:1", "2:2", "3:1"} << 1;
    QTest::newRow("a header that leaves no room is left out")
        << 2 << 2 << QList<int>{1, 1, 1} << QStringList{"1:0", "1:1", "2:0"} << 0;
    QTest::newRow("a page of no lines holds one")
        << 0 << 0 << QList<int>{1, 1} << QStringList{"1:0", "2:0"} << 0;
}

void TestResultsPrint::printPages() {
    QFETCH(int, linesPerPage);
    QFETCH(int, headerLines);
    QFETCH(QList<int>, rowLines);
    QFETCH(QStringList, places);
    QFETCH(int, usedHeaderLines);
    PrintPages pages(linesPerPage, headerLines);
    QCOMPARE(pages.headerLines(), usedHeaderLines);
    QStringList placed;
    for (const int lines : rowLines)
        pages.addRow(lines, [&placed](qint64 page, qint64 line) {
            placed << QStringLiteral("%1:%2").arg(page).arg(line);
        });
    QCOMPARE(placed, places);
    // The count is that of the last page used, and the same when nothing is told where.
    const qint64 last = places.isEmpty() ? 1 : places.last().section(u':', 0, 0).toLongLong();
    QCOMPARE(pages.pages(), last);
    PrintPages counted(linesPerPage, headerLines);
    for (const int lines : rowLines)
        counted.addRow(lines);
    QCOMPARE(counted.pages(), last);
}

void TestResultsPrint::printPageCount_data() {
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<int>("headerLines");
    QTest::addColumn<qint64>("rows"); // of one line each
    QTest::addColumn<qint64>("expected");
    QTest::newRow("no row") << 30 << 1 << qint64(0) << qint64(1);
    QTest::newRow("29 rows under a header: one page") << 30 << 1 << qint64(29) << qint64(1);
    QTest::newRow("30 rows under a header: two") << 30 << 1 << qint64(30) << qint64(2);
    QTest::newRow("100 rows, 29 a page") << 30 << 1 << qint64(100) << qint64(4);
    QTest::newRow("a million rows, 60 a page") << 60 << 0 << qint64(1000000) << qint64(16667);
}

void TestResultsPrint::printPageCount() {
    QFETCH(int, linesPerPage);
    QFETCH(int, headerLines);
    QFETCH(qint64, rows);
    QFETCH(qint64, expected);
    PrintPages pages(linesPerPage, headerLines);
    for (qint64 i = 0; i < rows; ++i)
        pages.addRow(1);
    QCOMPARE(pages.pages(), expected);
}

void TestResultsPrint::pageHeading_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("dateText");
    QTest::newRow("the name without its folders")
        << "/home/user/とても長いフォルダーの名前/申込者一覧.csv" << QDate(2024, 1, 5)
        << "申込者一覧.csv"
        << "2024/01/05";
    QTest::newRow("a name alone") << "data.csv" << QDate(2026, 12, 31) << "data.csv"
                                  << "2026/12/31";
    QTest::newRow("no data file") << QString() << QDate(2025, 10, 9) << QString() << "2025/10/09";
}

void TestResultsPrint::pageHeading() {
    QFETCH(QString, path);
    QFETCH(QDate, date);
    QFETCH(QString, fileName);
    QFETCH(QString, dateText);
    const PageHeading heading = PageHeading::make(path, date);
    QCOMPARE(heading.fileName, fileName);
    QCOMPARE(heading.date, dateText);
    QCOMPARE(PageHeading::pageNumber(1, 3), QStringLiteral("1 / 3"));
    QCOMPARE(PageHeading::pageNumber(12, 120), QStringLiteral("12 / 120"));
}

QTEST_GUILESS_MAIN(TestResultsPrint)
#include "tst_results_print.moc"
