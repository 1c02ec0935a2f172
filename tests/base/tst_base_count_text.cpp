// The row counts as the window writes them ("全 1,000 行", "抽出 1,000 行") and read back.
#include "base/CountText.h"

#include <QTest>

#include <optional>

class tst_base_count_text : public QObject {
    Q_OBJECT

private slots:
    void countTexts_data();
    void countTexts();
    void countTextParsed_data();
    void countTextParsed();
};

void tst_base_count_text::countTexts_data() {
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("picked");
    QTest::newRow("none") << qint64(0) << QStringLiteral("全 0 行") << QStringLiteral("抽出 0 行");
    QTest::newRow("three digits") << qint64(116) << QStringLiteral("全 116 行")
                                  << QStringLiteral("抽出 116 行");
    QTest::newRow("one group") << qint64(1000) << QStringLiteral("全 1,000 行")
                               << QStringLiteral("抽出 1,000 行");
    QTest::newRow("two groups") << qint64(115955) << QStringLiteral("全 115,955 行")
                                << QStringLiteral("抽出 115,955 行");
    QTest::newRow("billions") << qint64(4294967296) << QStringLiteral("全 4,294,967,296 行")
                              << QStringLiteral("抽出 4,294,967,296 行");
}

void tst_base_count_text::countTexts() {
    QFETCH(qint64, count);
    QFETCH(QString, source);
    QFETCH(QString, picked);
    QCOMPARE(CountText::sourceRows(count), source);
    QCOMPARE(CountText::pickedRows(count), picked);
    // What is written reads back as the same number.
    QCOMPARE(CountText::parse(source), std::optional<qint64>(count));
    QCOMPARE(CountText::parse(picked), std::optional<qint64>(count));
}

void tst_base_count_text::countTextParsed_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value"); // -1: no number
    QTest::newRow("plain digits") << QStringLiteral("1234") << qint64(1234);
    QTest::newRow("grouped") << QStringLiteral("1,234,567") << qint64(1234567);
    QTest::newRow("in words") << QStringLiteral("全 1,234 行") << qint64(1234);
    QTest::newRow("empty") << QString() << qint64(-1);
    QTest::newRow("no digits") << QStringLiteral("該当する行はありません") << qint64(-1);
    QTest::newRow("two numbers") << QStringLiteral("1 2") << qint64(-1);
    QTest::newRow("trailing comma") << QStringLiteral("12,") << qint64(12);
    QTest::newRow("largest") << QStringLiteral("9223372036854775807")
                             << qint64(9223372036854775807);
    QTest::newRow("too large") << QStringLiteral("9223372036854775808") << qint64(-1);
    QTest::newRow("full-width digits") << QStringLiteral("１２") << qint64(-1);
}

void tst_base_count_text::countTextParsed() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    const std::optional<qint64> parsed = CountText::parse(text);
    QCOMPARE(parsed.value_or(-1), value);
}

QTEST_GUILESS_MAIN(tst_base_count_text)
#include "tst_base_count_text.moc"
