// The large-memory pre-check: a block or row tables larger than the memory the system can still
// give are refused before they are written, and the row store stays as it was.
#include "base/LargeMemory.h"
#include "source/DataFileReader.h"
#include "source/RowStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <vector>

class tst_base_memory : public QObject {
    Q_OBJECT

private slots:
    void memoryPreCheck_data();
    void memoryPreCheck();
    void rowTablesGrowthIsChecked();
    void manyShortLinesRefused();
    void cleanup();
};

// A request of 64 MiB or more that is larger than the memory the system can still give is
// refused before it is written (a mapped block is given freely and only fails, by killing the
// program, when its pages are touched).
// The row store's tables per row (an offset and a length).
constexpr qint64 kRowTableBytes = 6;

void tst_base_memory::memoryPreCheck_data() {
    QTest::addColumn<qint64>("available"); // -1: unknown (the system does not say)
    QTest::addColumn<bool>("block");       // a block, else room in the row tables
    QTest::addColumn<qint64>("bytes");     // of the block, or of both row tables
    QTest::addColumn<bool>("refused");
    const qint64 mib = 1 << 20;
    const qint64 rowBytes = kRowTableBytes;
    QTest::newRow("block larger than available") << 32 * mib << true << 64 * mib << true;
    QTest::newRow("block just larger than available") << 64 * mib << true << 64 * mib + 1 << true;
    QTest::newRow("block within available") << 1024 * mib << true << 64 * mib << false;
    QTest::newRow("small block, little available") << 32 * mib << true << 63 * mib << false;
    QTest::newRow("block, available unknown") << qint64(-1) << true << 64 * mib << false;
    QTest::newRow("row tables larger than available")
        << 32 * mib << false << 12'000'000 * rowBytes << true;
    QTest::newRow("row tables within available")
        << 1024 * mib << false << 12'000'000 * rowBytes << false;
    QTest::newRow("small row tables, little available")
        << 8 * mib << false << 10'000'000 * rowBytes << false;
}

void tst_base_memory::memoryPreCheck() {
    QFETCH(qint64, available);
    QFETCH(bool, block);
    QFETCH(qint64, bytes);
    QFETCH(bool, refused);
    // (0 is what the system's figure is when it gives none.)
    LargeMemory::setAvailableForTesting(std::size_t(std::max<qint64>(available, 0)));
    RowStore store;
    store.reset(1);
    store.appendLine(QByteArrayView("a,b"));
    bool threw = false;
    try {
        if (block)
            store.addBlock(std::size_t(bytes));
        else
            store.reserve(bytes / kRowTableBytes);
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    QCOMPARE(threw, refused);
    // A refusal leaves the store as it was, and usable.
    QCOMPARE(store.rowCount(), qint64(1));
    QCOMPARE(store.rowBytes(0), QByteArrayView("a,b"));
    store.appendLine(QByteArrayView("c,d"));
    QCOMPARE(store.rowBytes(1), QByteArrayView("c,d"));
}

// The fault: a file of many short lines has row tables several times its size, and the tables
// grow while the rows are added (by doubling). That growth is held against free memory like a
// block, so the load is refused instead of the system killing the program.
void tst_base_memory::rowTablesGrowthIsChecked() {
    LargeMemory::setAvailableForTesting(std::size_t(48) << 20);
    RowStore store;
    store.reset(0);
    const int block = store.addBlock(4);
    std::memcpy(store.blockData(block), "x\ny\n", 4);
    constexpr std::size_t kBatch = 1 << 16;
    const std::vector<std::uint64_t> offsets(kBatch, 2);
    const std::vector<std::uint32_t> lengths(kBatch, 1);
    // 6 Mi rows (36 MiB of tables) fit; doubling to 12 Mi rows (72 MiB) does not.
    store.reserve(qint64(96 * kBatch));
    for (int k = 0; k < 96; ++k)
        store.addRows(block, offsets.data(), lengths.data(), kBatch);
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc,
                             store.addRows(block, offsets.data(), lengths.data(), kBatch));
    QCOMPARE(store.rowCount(), qint64(96 * kBatch));
    QCOMPARE(store.rowBytes(store.rowCount() - 1), QByteArrayView("y"));
    // With the memory there, the same growth goes through.
    LargeMemory::setAvailableForTesting(std::size_t(1) << 30);
    store.addRows(block, offsets.data(), lengths.data(), kBatch);
    QCOMPARE(store.rowCount(), qint64(97 * kBatch));
}

// The same fault as a load meets it: a 24 MB file of 12 million lines passes the block check
// (its block is below 64 MiB), and the room for its rows, 72 MB, is refused.
void tst_base_memory::manyShortLinesRefused() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("short.csv"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray lines;
        for (int k = 0; k < 6'000'000; ++k)
            lines += "1\n2\n";
        QCOMPARE(file.write(lines), lines.size());
    }
    LargeMemory::setAvailableForTesting(std::size_t(48) << 20);
    RowStore store;
    store.reset(0);
    DataFileReader reader;
    QVERIFY(reader.open(path, store));
    DataFileReader::Status status = DataFileReader::Status::More;
    while (status == DataFileReader::Status::More)
        status = reader.readStep(std::chrono::hours(1));
    QCOMPARE(status, DataFileReader::Status::Finished);
    QCOMPARE(reader.lineEnds(), qint64(12'000'000));
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, store.reserve(reader.lineEnds() + 1));
    QCOMPARE(store.rowCount(), qint64(0));
}

void tst_base_memory::cleanup() {
    LargeMemory::setAvailableForTesting(std::nullopt);
}

QTEST_GUILESS_MAIN(tst_base_memory)
#include "tst_base_memory.moc"
