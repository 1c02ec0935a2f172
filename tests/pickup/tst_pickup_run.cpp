// The pickup run in time slices and on a helper thread, and the pickup job's outcomes.
#include "PickupTestSupport.h"
#include "pickup/PickupEngine.h"
#include "pickup/PickupJob.h"
#include "pickup/PickupRun.h"
#include "source/RowStore.h"

#include <QTest>

#include <chrono>
#include <random>

using namespace std::chrono_literals;

class tst_pickup_run : public QObject {
    Q_OBJECT
private slots:
    void runInSlicesMatchesOneGo_data();
    void runInSlicesMatchesOneGo();
    void runStopsWithinItsBudget();
    void jobOutcomes_data();
    void jobOutcomes();
};

void tst_pickup_run::runInSlicesMatchesOneGo_data() {
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("sliceMs");
    QTest::addColumn<bool>("mustSplit"); // the helper thread has to search pieces
    // The picked rows are gathered in slices of sliceMs too (else all at once by takeRows()).
    QTest::addColumn<bool>("gatherInSlices");
    QTest::newRow("one thread") << 1 << 150000 << 1 << false << false;
    QTest::newRow("two threads") << 2 << 150000 << 1 << true << true;
    // Slices without time: this thread takes a row a slice, the helper nearly all the rest, and
    // the pieces finish out of order; then every piece is gathered in a slice of its own.
    QTest::newRow("two threads, slices without time") << 2 << 100000 << 0 << true << true;
    QTest::newRow("one thread, slices without time") << 1 << 20000 << 0 << false << true;
    // One long slice: the run ends inside it, both threads searching.
    QTest::newRow("one thread, long slices") << 1 << 100000 << 3600000 << false << false;
    QTest::newRow("two threads, long slices") << 2 << 100000 << 3600000 << true << true;
    QTest::newRow("two threads, few rows") << 2 << 37 << 1 << false << true;
    QTest::newRow("no rows") << 2 << 0 << 1 << false << true;
}

void tst_pickup_run::runInSlicesMatchesOneGo() {
    QFETCH(int, threads);
    QFETCH(int, rows);
    QFETCH(int, sliceMs);
    QFETCH(bool, mustSplit);
    QFETCH(bool, gatherInSlices);
    auto store = std::make_unique<RowStore>();
    store->reset(2);
    std::mt19937 rng(11);
    for (int i = 0; i < rows; ++i)
        store->appendLine(
            QStringLiteral("%1,%2,x%3").arg(i).arg(rng() % 7).arg(rng() % 3 ? "" : "9"));
    Lists l;
    l.inOr = {{"2", "1"}, {"2", "3"}, {"2", "5"}}; // about three rows in seven: many chunks
    l.outOr = {{"1", "*#9"}};
    l.outAnd = {{"0", "x9"}}; // searched through the row texts, across the store's blocks
    std::vector<std::uint32_t> reference;
    for (qint64 r = 0; r < store->rowCount(); ++r)
        if (referencePicks(*store, r, Lists{{}, {}, {}, l.inOr}) &&
            !(store->rowText(r).contains(u"x9") &&
              PhraseMatcher::compile(u"*#9")->matches(store->field(r, 0))))
            reference.push_back(std::uint32_t(r));
    const auto engine = PickupEngine::compile(l.conditions(), 2);
    QVERIFY(engine);
    std::vector<std::uint32_t> expected;
    engine->pickRange(*store, 0, store->rowCount(), expected);
    QVERIFY(expected == reference);

    PickupRun run(*store, *engine, store->rowCount(), threads);
    QCOMPARE(run.threadCount(), threads);
    int slices = 0;
    qint64 lastDone = -1;
    while (!run.done()) {
        run.runSlice(std::chrono::milliseconds(sliceMs));
        QVERIFY(run.rowsDone() > lastDone);
        lastDone = run.rowsDone();
        ++slices;
    }
    QCOMPARE(run.rowsDone(), qint64(rows));
    QCOMPARE(run.pickedCount(), qint64(expected.size()));
    int gatherSlices = 0;
    while (gatherInSlices && !run.gathered()) {
        run.gatherSlice(std::chrono::milliseconds(sliceMs));
        ++gatherSlices;
    }
    if (gatherInSlices && sliceMs == 0 && rows > 10000)
        QVERIFY(gatherSlices > 1);
    const std::vector<std::uint32_t> got = run.takeRows();
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    QCOMPARE(got.capacity(), got.size());
    if (rows > 100000 && sliceMs == 1)
        QVERIFY(slices > 1);
    if (mustSplit)
        QVERIFY(run.splitBatches() > 0);
    if (threads == 1)
        QCOMPARE(run.splitBatches(), qint64(0));
}

void tst_pickup_run::jobOutcomes_data() {
    using Outcome = PickupJob::Result::Outcome;
    QTest::addColumn<int>("stopAfterSlices"); // -1: never
    QTest::addColumn<qint64>("pickedLimit");  // 0: none
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("sliceMs"); // 0: the picked rows are gathered in several slices
    // Stop at the first turn of the event loop after the one that followed the last search.
    QTest::addColumn<bool>("stopWhileGathering");
    QTest::newRow("done") << -1 << qint64(0) << Outcome::Done << 1 << false;
    QTest::newRow("stopped after the first slice")
        << 1 << qint64(0) << Outcome::Stopped << 1 << false;
    QTest::newRow("out of memory") << -1 << qint64(10) << Outcome::OutOfMemory << 1 << false;
    QTest::newRow("done, gathered in slices") << -1 << qint64(0) << Outcome::Done << 0 << false;
    QTest::newRow("stopped while gathering") << -1 << qint64(0) << Outcome::Stopped << 0 << true;
}

void tst_pickup_run::jobOutcomes() {
    using Outcome = PickupJob::Result::Outcome;
    QFETCH(int, stopAfterSlices);
    QFETCH(qint64, pickedLimit);
    QFETCH(Outcome, outcome);
    QFETCH(int, sliceMs);
    QFETCH(bool, stopWhileGathering);
    auto store = std::make_unique<RowStore>();
    store->reset(1);
    for (int i = 0; i < 50000; ++i)
        store->appendLine(QStringLiteral("%1,%2").arg(i).arg(i % 3 ? "a" : "b"));
    Lists l;
    l.inAnd = {{"2", "b"}};
    const auto engine = PickupEngine::compile(l.conditions(), 1);
    QVERIFY(engine);
    std::vector<std::uint32_t> expected;
    engine->pickRange(*store, 0, store->rowCount(), expected);

    int slices = 0;
    qint64 lastDone = 0;
    qint64 lastPicked = 0;
    PickupJob::Hooks hooks;
    hooks.progress = [&](qint64 done, qint64 total, qint64 picked) {
        QVERIFY(done > lastDone && total == store->rowCount() && picked <= done);
        lastDone = done;
        lastPicked = picked;
    };
    int turnsAfterSearch = 0;
    hooks.yield = [&] {
        if (lastDone == store->rowCount())
            ++turnsAfterSearch;
        if (stopWhileGathering)
            return turnsAfterSearch == 2;
        return ++slices == stopAfterSlices;
    };
    PickupRun::setPickedLimitForTesting(pickedLimit);
    const PickupJob::Result result = PickupJob::run(*store, *engine, store->rowCount(), hooks,
                                                    std::chrono::milliseconds(sliceMs), 2);
    PickupRun::setPickedLimitForTesting(0);
    QCOMPARE(result.outcome, outcome);
    QVERIFY(result.rows == (outcome == Outcome::Done ? expected : std::vector<std::uint32_t>{}));
    if (outcome == Outcome::Done) { // the window shows the last progress: it must be the end
        QCOMPARE(lastDone, store->rowCount());
        QCOMPARE(lastPicked, qint64(expected.size()));
        if (sliceMs == 0) // the event loop turned while the rows were gathered
            QVERIFY(turnsAfterSearch > 1);
    }
    if (outcome == Outcome::Stopped && !stopWhileGathering)
        QCOMPARE(slices, stopAfterSlices);
    if (stopWhileGathering) // the Stop came after every row was searched, and was kept to
        QCOMPARE(turnsAfterSearch, 2);
}

void tst_pickup_run::runStopsWithinItsBudget() {
    // A slice must hand control back: with a tiny budget, a large table is not done in one go.
    auto store = std::make_unique<RowStore>();
    store->reset(0);
    for (int i = 0; i < 400000; ++i)
        store->appendLine(QStringLiteral("row %1 with some text to search through").arg(i));
    Lists l;
    l.inAnd = {{"0", "*xyz*"}};
    const auto engine = PickupEngine::compile(l.conditions(), 0);
    QVERIFY(engine);
    PickupRun run(*store, *engine, store->rowCount(), 2);
    run.runSlice(1ms);
    QVERIFY(run.rowsDone() > 0);
    QVERIFY(run.rowsDone() < store->rowCount());
    // Even a slice with no time left gets on by at least one row.
    for (int i = 0; i < 3; ++i) {
        const qint64 before = run.rowsDone();
        run.runSlice(0ns);
        QVERIFY(run.rowsDone() > before);
    }
}

QTEST_GUILESS_MAIN(tst_pickup_run)
#include "tst_pickup_run.moc"
