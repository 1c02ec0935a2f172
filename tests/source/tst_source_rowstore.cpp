// The row store: rows appended one by one or read into blocks in place, each given back as its
// own bytes and fields.
#include "source/RowStore.h"
#include "source/mdlvornel.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

class tst_source_rowstore : public QObject {
    Q_OBJECT

private slots:
    void storeWidensCommaPositions();
    void storeAppendsRowsOfAnyLength();
    void storeFindsRowsWhereverTheyLie_data();
    void storeFindsRowsWhereverTheyLie();
};

void tst_source_rowstore::storeWidensCommaPositions() {
    // Short rows first, then one longer than 65,535 code units: every field stays right.
    RowStore store;
    store.reset(2);
    store.reserve(4);
    const QString longLine = QString(70'000, u'x') + QStringLiteral(",y,") + QString(10, u'z');
    const QStringList lines{"a,b,c", ",,", longLine, "1,22,333"};
    for (const QString& line : lines)
        QVERIFY(mdlvornel::AppendIfFits(line.toUtf8(), store));
    QVERIFY(!mdlvornel::AppendIfFits("too,few", store));
    QCOMPARE(store.rowCount(), qint64(4));
    for (qsizetype r = 0; r < lines.size(); ++r) {
        QCOMPARE(store.rowText(r), lines[r]);
        const QStringList fields = lines[r].split(u',');
        for (int f = 0; f < 3; ++f)
            QCOMPARE(store.field(r, f), fields[f]);
    }
}

void tst_source_rowstore::storeAppendsRowsOfAnyLength() {
    // Copied rows of every length, some longer than a block, each read back whole.
    RowStore store;
    store.reset(1);
    QRandomGenerator rng(5);
    QStringList lines;
    for (int i = 0; i < 3000; ++i) {
        const int length = i % 500 == 499 ? 150'000 : rng.bounded(1, 400);
        QString line = QString::number(i) + u',' + QString(length, QChar(u'a' + i % 26));
        store.appendLine(line);
        lines.append(line);
    }
    QCOMPARE(store.rowCount(), qint64(lines.size()));
    for (qsizetype r = 0; r < lines.size(); ++r) {
        QCOMPARE(store.rowText(r), lines[r]);
        QCOMPARE(store.field(r, 0), QString::number(r));
    }
}

void tst_source_rowstore::storeFindsRowsWhereverTheyLie_data() {
    QTest::addColumn<int>("rows");         // rows read in place, in file order
    QTest::addColumn<int>("blockRows");    // of them per block
    QTest::addColumn<int>("correctEvery"); // a copied row after every n-th of them (0: none)
    QTest::addColumn<int>("longEvery");    // every n-th of them 70,000 bytes long (0: none)
    QTest::addColumn<bool>("header");      // the first row then becomes the header
    QTest::newRow("one block") << 10'000 << 10'000 << 0 << 0 << false;
    QTest::newRow("blocks") << 10'000 << 3'000 << 0 << 0 << false;
    QTest::newRow("copied rows") << 10'000 << 10'000 << 997 << 0 << false;
    // 4,096 rows, then a copied one, which begins the second group of rows.
    QTest::newRow("copied row first of a group") << 10'000 << 10'000 << 4'096 << 0 << false;
    QTest::newRow("long rows") << 10'000 << 10'000 << 0 << 1'000 << false;
    QTest::newRow("all, with a header") << 10'000 << 3'000 << 997 << 1'000 << true;
}

void tst_source_rowstore::storeFindsRowsWhereverTheyLie() {
    // Rows read into blocks, rows copied in between, rows too long for the short tables: each
    // comes back as its own bytes, in the block it lies in.
    QFETCH(int, rows);
    QFETCH(int, blockRows);
    QFETCH(int, correctEvery);
    QFETCH(int, longEvery);
    QFETCH(bool, header);
    RowStore store;
    store.reset(1);
    store.reserve(rows + 1);
    QList<QByteArray> expected;
    QList<int> expectedBlock; // -1: a copied row
    for (int first = 0; first < rows; first += blockRows) {
        const int count = std::min(blockRows, rows - first);
        QByteArray bytes;
        std::vector<std::uint64_t> offsets;
        std::vector<std::uint32_t> lengths;
        for (int i = first; i < first + count; ++i) {
            QByteArray line = "r" + QByteArray::number(i) + ",";
            line += longEvery && i % longEvery == longEvery - 1 ? QByteArray(70'000, 'x')
                                                                : QByteArray(i % 37, 'y');
            offsets.push_back(std::uint64_t(bytes.size()));
            lengths.push_back(std::uint32_t(line.size()));
            bytes += line + "\r\n";
        }
        const int block = store.addBlock(std::size_t(bytes.size()));
        std::memcpy(store.blockData(block), bytes.constData(), size_t(bytes.size()));
        int done = 0;
        for (int i = 0; i < count; ++i) {
            expected.append(bytes.mid(qsizetype(offsets[size_t(i)]), lengths[size_t(i)]));
            expectedBlock.append(block);
            const int read = first + i + 1;
            if (correctEvery && read % correctEvery == 0) {
                store.addRows(block, offsets.data() + done, lengths.data() + done,
                              size_t(i + 1 - done));
                done = i + 1;
                const QByteArray copied = "c" + QByteArray::number(read) + ",copied";
                store.appendLine(QByteArrayView(copied));
                expected.append(copied);
                expectedBlock.append(-1);
            }
        }
        store.addRows(block, offsets.data() + done, lengths.data() + done, size_t(count - done));
    }
    if (header) {
        store.takeFirstRowAsHeader();
        QVERIFY(store.hasHeader());
        QCOMPARE(store.headerBytes(), QByteArrayView(expected.takeFirst()));
        expectedBlock.removeFirst();
    }
    QCOMPARE(store.rowCount(), qint64(expected.size()));
    for (qsizetype r = 0; r < expected.size(); ++r) {
        QCOMPARE(store.rowBytes(r), QByteArrayView(expected[r]));
        if (expectedBlock[r] >= 0)
            QCOMPARE(store.rowBlock(r), expectedBlock[r]);
        else
            QVERIFY(r == 0 || store.rowBlock(r) != expectedBlock[r - 1]);
    }
}

QTEST_GUILESS_MAIN(tst_source_rowstore)
#include "tst_source_rowstore.moc"
