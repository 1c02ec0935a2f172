// The data-file load job as the window and the command line run it: outcomes, stops, the header
// line, the row limit, the encoding the whole file decides, and a file that changes while it loads.
#include "SourceTestSupport.h"

#include "base/EncodingScan.h"
#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/DataLoadJob.h"
#include "source/RowStore.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

// What a load job did, as a caller sees it.
struct JobRun {
    DataLoadJob::Result result;
    QStringList rows;
    QList<qint64> misfits;                             // line numbers handed to the misfit hook
    QList<std::pair<DataLoadJob::Stage, qint64>> ends; // each stage's last progress: its total
};

enum class JobScript { SkipMisfits, MisfitStops, StopAtOnce, StopOnceRead, NoMemory, FileGone };

JobRun runJob(const QString& path, JobScript script, qsizetype chunk = 256) {
    JobRun out;
    DataLoadJob job(path, std::nullopt, chunk);
    if (const std::optional<QString> error = job.readFirstLine()) {
        out.result = {DataLoadJob::Result::Outcome::Failed, *error};
        return out;
    }
    if (script == JobScript::FileGone)
        QFile::remove(path);
    std::optional<DataLoadJob::Stage> stage;
    DataLoadJob::Hooks hooks;
    hooks.progress = [&](DataLoadJob::Stage s, qint64 done, qint64 total) {
        if (s != stage)
            out.ends.append({s, total});
        stage = s;
        QVERIFY(done >= 0);
    };
    hooks.yield = [&] {
        return script == JobScript::StopAtOnce ||
               (script == JobScript::StopOnceRead && stage == DataLoadJob::Stage::Loading);
    };
    hooks.misfit = [&](QByteArrayView, qint64 lineNumber) {
        out.misfits.append(lineNumber);
        return script != JobScript::MisfitStops;
    };
    RowStore store;
    if (script == JobScript::NoMemory)
        RowStore::setMemoryLimitForTesting(64 * 1024);
    out.result = job.run(store, hooks, 0ns);
    RowStore::setMemoryLimitForTesting(0);
    for (qint64 r = 0; r < store.rowCount(); ++r)
        out.rows.append(store.rowText(r));
    return out;
}

} // namespace

// What happens to the file while it loads.
enum class Change { None, CutShort, SameSizeRewritten, Grown, ReplacedByRename, Touched };
Q_DECLARE_METATYPE(Change)

class tst_source_loadjob : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void loadJobOutcomes_data();
    void loadJobOutcomes();
    void loadJobFirstLineLongerThanTheSample_data();
    void loadJobFirstLineLongerThanTheSample();
    void loadJobFileGrowsWhileLoading_data();
    void loadJobFileGrowsWhileLoading();
    void loadJobHeaderLine_data();
    void loadJobHeaderLine();
    void loadJobRefusesTooManyRows_data();
    void loadJobRefusesTooManyRows();
    void loadJobNoticesAFileThatChanged_data();
    void loadJobNoticesAFileThatChanged();
    void loadJobDecidesOnTheWholeFile_data();
    void loadJobDecidesOnTheWholeFile();

private:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("data.csv")) {
        return writeTestFile(m_dir, bytes, name);
    }
    QTemporaryDir m_dir;
};

void tst_source_loadjob::loadJobOutcomes_data() {
    using Outcome = DataLoadJob::Result::Outcome;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<JobScript>("script");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<qint64>>("misfits");
    const QByteArray mixed("a,b\r\nc\r\nd,e\r\n\r\nf,g");
    QTest::newRow("misfits skipped and counted")
        << mixed << JobScript::SkipMisfits << Outcome::Done << QStringList{"a,b", "d,e", "f,g"}
        << QList<qint64>{2, 4};
    QTest::newRow("the misfit hook stops the load")
        << mixed << JobScript::MisfitStops << Outcome::Stopped << QStringList{"a,b"}
        << QList<qint64>{2};
    QTest::newRow("stop at the first turn")
        << mixed << JobScript::StopAtOnce << Outcome::Stopped << QStringList{} << QList<qint64>{};
    // A stop seen at the turn after the last read slice: no misfit is asked about.
    QTest::newRow("stop after the read, before any misfit")
        << QByteArray("a,b\r\nc\r\n") << JobScript::StopOnceRead << Outcome::Stopped
        << QStringList{} << QList<qint64>{};
    QTest::newRow("empty file") << QByteArray() << JobScript::SkipMisfits << Outcome::Done
                                << QStringList{} << QList<qint64>{};
    QTest::newRow("out of memory") << QByteArray(256 * 1024, 'x') << JobScript::NoMemory
                                   << Outcome::OutOfMemory << QStringList{} << QList<qint64>{};
    QTest::newRow("file gone after its first line")
        << mixed << JobScript::FileGone << Outcome::Failed << QStringList{} << QList<qint64>{};
}

void tst_source_loadjob::loadJobOutcomes() {
    using Outcome = DataLoadJob::Result::Outcome;
    QFETCH(QByteArray, bytes);
    QFETCH(JobScript, script);
    QFETCH(Outcome, outcome);
    QFETCH(QStringList, rows);
    QFETCH(QList<qint64>, misfits);
    const JobRun ran = runJob(write(bytes), script);
    QCOMPARE(ran.result.outcome, outcome);
    QCOMPARE(ran.rows, rows);
    QCOMPARE(ran.misfits, misfits);
    QCOMPARE(ran.result.error.isEmpty(), outcome == Outcome::Done || outcome == Outcome::Stopped);
    if (outcome == Outcome::OutOfMemory)
        QCOMPARE(ran.result.error, DataLoadJob::outOfMemoryText());
    if (outcome == Outcome::Done && !bytes.isEmpty()) // the bar's ranges: the bytes, the lines
        QCOMPARE(ran.ends, (QList<std::pair<DataLoadJob::Stage, qint64>>{
                               {DataLoadJob::Stage::Reading, bytes.size()},
                               {DataLoadJob::Stage::Loading, bytes.count('\n')}}));
}

void tst_source_loadjob::loadJobFirstLineLongerThanTheSample_data() {
    // The encoding is decided on the first mebibyte; the columns come from the whole first line.
    constexpr qsizetype kSample = 1 << 20;
    QTest::addColumn<QByteArray>("firstLine");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<int>("commaCount");
    QTest::newRow("commas before and after the sample's end")
        << QByteArray(kSample / 2, 'x') + ',' + QByteArray(kSample, 'y') + ",z"
        << TextEncoding::Cp932 << 2;
    QTest::newRow("a UTF-8 character across the sample's end")
        << QByteArray(kSample - 1, 'x') + "\xE6\x9D\xB1" + QByteArray(1000, 'y') + ",z,"
        << TextEncoding::Utf8 << 2;
    QTest::newRow("no line end, commas only after the sample")
        << QByteArray(kSample + 10, 'x') + ",,," << TextEncoding::Cp932 << 3;
}

void tst_source_loadjob::loadJobFirstLineLongerThanTheSample() {
    QFETCH(QByteArray, firstLine);
    QFETCH(TextEncoding, encoding);
    QFETCH(int, commaCount);
    const QByteArray second = QByteArray(",").repeated(commaCount).prepend("next");
    const bool ended = !firstLine.endsWith(',');
    const QByteArray bytes = ended ? firstLine + "\r\n" + second + "\r\n" : firstLine;
    const QString path = write(bytes);
    DataLoadJob job(path);
    QCOMPARE(job.readFirstLine(), std::optional<QString>());
    QCOMPARE(job.commaCount(), commaCount);
    QCOMPARE(job.encoding(), encoding);
    RowStore store;
    QVERIFY(job.run(store, {}, 1h).done());
    QCOMPARE(store.rowCount(), qint64(ended ? 2 : 1));
    QCOMPARE(store.rowBytes(0), QByteArrayView(firstLine));
    if (ended)
        QCOMPARE(store.rowBytes(1), QByteArrayView(second));
}

void tst_source_loadjob::loadJobDecidesOnTheWholeFile_data() {
    // All of the file's bytes decide, once the first pass has read them: the first megabyte no
    // longer does (what it guessed is shown as firstGuess).
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("firstGuess");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("lastRow");
    QByteArray ascii;
    for (int i = 0; ascii.size() < 1'100'000; ++i)
        ascii += "row " + QByteArray::number(i) + ",plain ascii text\r\n";
    QTest::newRow("utf-8 after 1.1 MB of ascii")
        << ascii + QStringLiteral("東京,渋谷\r\n").toUtf8() << TextEncoding::Cp932
        << TextEncoding::Utf8 << QStringLiteral("東京,渋谷");
    QTest::newRow("code page 932 after 1.1 MB of ascii")
        << ascii + sjis(u"東京,渋谷\r\n") << TextEncoding::Cp932 << TextEncoding::Cp932
        << QStringLiteral("東京,渋谷");
    QTest::newRow("two-byte utf-8 after 1.1 MB of ascii")
        << ascii + QStringLiteral("café,crème\r\n").toUtf8() << TextEncoding::Cp932
        << TextEncoding::Utf8 << QStringLiteral("café,crème");
    QTest::newRow("half-width katakana")
        << sjis(u"ｱｲｳｴｵ,ﾃｽﾄﾞ\r\nﾏｲﾅｽ,ﾟｱ\r\n") << TextEncoding::Cp932 << TextEncoding::Cp932
        << QStringLiteral("ﾏｲﾅｽ,ﾟｱ");
    // A code page 932 line after UTF-8 lines in the first megabyte: not UTF-8.
    QTest::newRow("invalid utf-8 after valid")
        << QStringLiteral("東京,渋谷\r\n").toUtf8() + ascii + sjis(u"大阪,梅田\r\n")
        << TextEncoding::Utf8 << TextEncoding::Cp932 << QStringLiteral("大阪,梅田");
    // After a mebibyte of valid UTF-8 text a damaged byte stays one damaged character.
    QByteArray japanese;
    while (japanese.size() <= EncodingScan::kEnoughText * 5 / 4)
        japanese += QStringLiteral("東京都,渋谷区神南\r\n").toUtf8();
    QTest::newRow("a damaged byte after a mebibyte of utf-8")
        << japanese + "\xFF,x\r\n"
        << TextEncoding::Utf8 << TextEncoding::Utf8 << QStringLiteral("\uFFFD,x");
}

void tst_source_loadjob::loadJobDecidesOnTheWholeFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, firstGuess);
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, lastRow);
    const QString path = write(bytes);
    for (const qsizetype chunk : {qsizetype(4096), DataFileReader::kDefaultChunkBytes}) {
        DataLoadJob job(path, std::nullopt, chunk);
        QCOMPARE(job.readFirstLine(), std::optional<QString>());
        QCOMPARE(job.encoding(), firstGuess);
        RowStore store;
        QVERIFY(job.run(store, {}, 1h).done());
        QCOMPARE(job.encoding(), encoding);
        QCOMPARE(store.encoding(), encoding);
        QVERIFY(!store.byteOrderMark());
        QCOMPARE(store.rowText(store.rowCount() - 1), lastRow);
    }
    // The encoding the user chose is kept, whatever the bytes show.
    const TextEncoding other =
        encoding == TextEncoding::Utf8 ? TextEncoding::Cp932 : TextEncoding::Utf8;
    DataLoadJob forced(path, other);
    QVERIFY(!forced.readFirstLine());
    RowStore store;
    QVERIFY(forced.run(store, {}, 1h).done());
    QCOMPARE(forced.encoding(), other);
    QCOMPARE(store.encoding(), other);
}

void tst_source_loadjob::loadJobFileGrowsWhileLoading_data() {
    QTest::addColumn<DataLoadJob::Stage>("growsIn");
    QTest::addColumn<bool>("newLinesLoaded");
    // The first pass reads to the end it finds, however far the file has grown by then; the
    // second pass only cuts what the first read.
    QTest::newRow("while its bytes are read") << DataLoadJob::Stage::Reading << true;
    QTest::newRow("after its bytes were read") << DataLoadJob::Stage::Loading << false;
}

void tst_source_loadjob::loadJobFileGrowsWhileLoading() {
    QFETCH(DataLoadJob::Stage, growsIn);
    QFETCH(bool, newLinesLoaded);
    QByteArray bytes;
    for (int i = 0; i < 2000; ++i)
        bytes += "old " + QByteArray::number(i) + ",x\r\n";
    QByteArray more;
    for (int i = 0; i < 500; ++i)
        more += "new " + QByteArray::number(i) + ",y\r\n";
    const QString path = write(bytes);
    DataLoadJob job(path, std::nullopt, 1024);
    QVERIFY(!job.readFirstLine());
    bool grown = false;
    DataLoadJob::Hooks hooks;
    hooks.progress = [&](DataLoadJob::Stage stage, qint64 done, qint64) {
        if (!grown && stage == growsIn && done > 0) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append));
            QCOMPARE(f.write(more), more.size());
            grown = true;
        }
    };
    RowStore store;
    QVERIFY(job.run(store, hooks, 0ns).done());
    QVERIFY(grown);
    const QStringList expected = referenceLines(newLinesLoaded ? bytes + more : bytes);
    QCOMPARE(store.rowCount(), qint64(expected.size()));
    QCOMPARE(store.rowText(0), expected.first());
    QCOMPARE(store.rowText(store.rowCount() - 1), expected.last());
}

void tst_source_loadjob::loadJobHeaderLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("chunk");
    QTest::addColumn<QByteArray>("header"); // the header's bytes
    QTest::addColumn<QStringList>("names"); // its fields
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<qint64>>("misfits");
    const QByteArray names = sjis(u"番号,市区町村,人口");
    const QByteArray rows = "1,a,10\r\n2,b\r\n\r\n3,c,30\r\n";
    QTest::newRow("header, rows and misfits keep their file line numbers")
        << names + "\r\n" + rows << qsizetype(256) << names
        << QStringList{QStringLiteral("番号"), QStringLiteral("市区町村"), QStringLiteral("人口")}
        << QStringList{"1,a,10", "3,c,30"} << QList<qint64>{3, 4};
    // Every row after the first in a later slice than the header's: the header still leaves.
    QTest::newRow("tiny chunks") << names + "\r\n" + rows << qsizetype(1) << names
                                 << QStringList{QStringLiteral("番号"), QStringLiteral("市区町村"),
                                                QStringLiteral("人口")}
                                 << QStringList{"1,a,10", "3,c,30"} << QList<qint64>{3, 4};
    QTest::newRow("header alone, no line end")
        << QByteArray("a,b") << qsizetype(256) << QByteArray("a,b") << QStringList{"a", "b"}
        << QStringList{} << QList<qint64>{};
    // An empty first line has no field and never fits; as the header it is not asked about.
    QTest::newRow("empty first line")
        << QByteArray("\r\nx\r\n,\r\n") << qsizetype(256) << QByteArray() << QStringList{QString()}
        << QStringList{"x"} << QList<qint64>{3};
    QTest::newRow("UTF-8 mark stays out of the header")
        << QByteArray("\xEF\xBB\xBFid,name\nk,v\n") << qsizetype(256) << QByteArray("id,name")
        << QStringList{"id", "name"} << QStringList{"k,v"} << QList<qint64>{};
    QTest::newRow("empty names") << QByteArray(",b,\r\n1,2,3\r\n") << qsizetype(256)
                                 << QByteArray(",b,") << QStringList{"", "b", ""}
                                 << QStringList{"1,2,3"} << QList<qint64>{};
    // A quoted file's header is its first record; its names are the field texts.
    const QByteArray quoted = sjis(u"\"番号\",\"市区,町村\"");
    QTest::newRow("quoted header")
        << quoted + "\r\n1,\"a,b\"\r\n"
        << qsizetype(256) << quoted
        << QStringList{QStringLiteral("番号"), QStringLiteral("市区,町村")}
        << QStringList{"1,\"a,b\""} << QList<qint64>{};
}

void tst_source_loadjob::loadJobHeaderLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, chunk);
    QFETCH(QByteArray, header);
    QFETCH(QStringList, names);
    QFETCH(QStringList, rows);
    QFETCH(QList<qint64>, misfits);
    DataLoadJob job(write(bytes), std::nullopt, chunk);
    QCOMPARE(job.readFirstLine(), std::optional<QString>());
    job.setHeaderLine(true);
    QList<qint64> seen;
    DataLoadJob::Hooks hooks;
    hooks.misfit = [&seen](QByteArrayView, qint64 lineNumber) {
        seen.append(lineNumber);
        return true;
    };
    RowStore store;
    QVERIFY(job.run(store, hooks, 0ns).done());
    QVERIFY(store.hasHeader());
    QCOMPARE(store.headerBytes(), QByteArrayView(header));
    QStringList fields;
    for (int i = 0; i <= store.commaCount(); ++i)
        fields.append(store.headerField(i));
    QCOMPARE(fields, names);
    QStringList got;
    for (qint64 r = 0; r < store.rowCount(); ++r)
        got.append(store.rowText(r));
    QCOMPARE(got, rows);
    QCOMPARE(seen, misfits);

    // Without the option the same file loads its first line as a row, as before.
    DataLoadJob plain(write(bytes), std::nullopt, chunk);
    QCOMPARE(plain.readFirstLine(), std::optional<QString>());
    RowStore all;
    QVERIFY(plain.run(all, {}, 0ns).done());
    QVERIFY(!all.hasHeader());
    QCOMPARE(all.rowCount(), qint64(rows.size()) + (header.isEmpty() ? 0 : 1));
    // A new load forgets the header.
    all.reset(0);
    store.reset(0);
    QVERIFY(!store.hasHeader());
}

void tst_source_loadjob::loadJobRefusesTooManyRows_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("chunk");
    QTest::addColumn<bool>("header");
    QTest::addColumn<bool>("quoted");
    QTest::addColumn<bool>("correct"); // the misfit hook appends a row for each misfit
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("refused");
    const QByteArray four = "a,1\r\nb,2\r\nc,3\r\nd,4\r\n";
    QTest::newRow("at the limit") << four << qsizetype(256) << false << false << false << qint64(4)
                                  << false;
    QTest::newRow("one past") << four << qsizetype(256) << false << false << false << qint64(3)
                              << true;
    QTest::newRow("one past, last line without its end")
        << QByteArray("a,1\nb,2\nc") + ",3" << qsizetype(256) << false << false << false
        << qint64(2) << true;
    QTest::newRow("one past, tiny chunks")
        << four << qsizetype(1) << false << false << false << qint64(3) << true;
    // The header is never a row: five lines hold four rows.
    QTest::newRow("header not counted")
        << "h,k\r\n" + four << qsizetype(256) << true << false << false << qint64(4) << false;
    // Skipped lines are no rows; corrections are.
    QTest::newRow("skipped misfits not counted")
        << four + "x\r\ny\r\n"
        << qsizetype(256) << false << false << false << qint64(4) << false;
    QTest::newRow("corrections counted")
        << four + "x\r\n"
        << qsizetype(256) << false << false << true << qint64(4) << true;
    // Line breaks inside quoted fields: three records on six lines.
    QTest::newRow("quoted records, not lines")
        << QByteArray("\"a\nb\",1\r\n\"c\nd\",2\r\n\"e\nf\",3\r\n") << qsizetype(256) << false
        << true << false << qint64(3) << false;
    QTest::newRow("quoted, one past")
        << QByteArray("\"a\nb\",1\r\n\"c\nd\",2\r\n\"e\nf\",3\r\n") << qsizetype(256) << false
        << true << false << qint64(2) << true;
}

void tst_source_loadjob::loadJobRefusesTooManyRows() {
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, chunk);
    QFETCH(bool, header);
    QFETCH(bool, quoted);
    QFETCH(bool, correct);
    QFETCH(qint64, limit);
    QFETCH(bool, refused);
    // The usual limit is the largest count a list view can show (and a 32-bit row number hold).
    QCOMPARE(RowStore::kMaxRows, qint64(std::numeric_limits<int>::max()));
    QCOMPARE(DataLoadJob::tooManyRowsText(),
             QStringLiteral(
                 "行が多すぎます（最大 2,147,483,647 行）。ファイルを分けてから開いてください。"));
    DataLoadJob::setRowLimitForTesting(limit);
    const auto restore = qScopeGuard([] { DataLoadJob::setRowLimitForTesting(0); });
    DataLoadJob job(write(bytes), std::nullopt, chunk);
    QCOMPARE(job.readFirstLine(), std::optional<QString>());
    job.setHeaderLine(header);
    if (quoted)
        job.forceFieldMode(FieldMode::Quoted);
    RowStore store;
    DataLoadJob::Hooks hooks;
    hooks.misfit = [&store, correct](QByteArrayView, qint64) {
        if (correct)
            store.appendLine(QByteArrayView("z,9"));
        return true;
    };
    const DataLoadJob::Result result = job.run(store, hooks, 0ns);
    if (refused) {
        QCOMPARE(result.outcome, DataLoadJob::Result::Outcome::Failed);
        QCOMPARE(
            result.error,
            QStringLiteral("行が多すぎます（最大 %1 行）。ファイルを分けてから開いてください。")
                .arg(limit));
    } else {
        QVERIFY(result.done());
        QVERIFY(result.error.isEmpty());
        QCOMPARE(store.rowCount(), limit); // every case here ends exactly at its limit
    }
}

void tst_source_loadjob::loadJobNoticesAFileThatChanged_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<DataLoadJob::Stage>("when");
    QTest::addColumn<bool>("changed");
    using Stage = DataLoadJob::Stage;
    QTest::newRow("left alone") << Change::None << Stage::Reading << false;
    QTest::newRow("cut short while its bytes are read")
        << Change::CutShort << Stage::Reading << true;
    QTest::newRow("cut short after its bytes were read")
        << Change::CutShort << Stage::Loading << true;
    QTest::newRow("rewritten at the same size")
        << Change::SameSizeRewritten << Stage::Reading << true;
    QTest::newRow("grown while its bytes are read") << Change::Grown << Stage::Reading << true;
    QTest::newRow("replaced by another file of the same size")
        << Change::ReplacedByRename << Stage::Loading << true;
    QTest::newRow("its time changed alone") << Change::Touched << Stage::Loading << true;
}

// A load whose file changed under it (size, time or the file itself, from the first look to the
// end) says so: the rows may be part of one version and part of another.
void tst_source_loadjob::loadJobNoticesAFileThatChanged() {
    QFETCH(Change, change);
    QFETCH(DataLoadJob::Stage, when);
    QFETCH(bool, changed);
    QByteArray bytes;
    for (int i = 0; i < 2000; ++i)
        bytes += "line " + QByteArray::number(1000 + i) + ",x\r\n";
    const QString path = write(bytes);
    DataLoadJob job(path, std::nullopt, 1024);
    QVERIFY(!job.readFirstLine());
    bool done = change == Change::None;
    const auto setTime = [](const QString& file, time_t seconds) {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    };
    DataLoadJob::Hooks hooks;
    hooks.progress = [&](DataLoadJob::Stage stage, qint64 doneSoFar, qint64) {
        if (done || stage != when || (stage == DataLoadJob::Stage::Reading && doneSoFar == 0))
            return;
        done = true;
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QByteArray other = bytes;
        other.replace("x", "y");
        switch (change) {
        case Change::None:
            break;
        case Change::CutShort:
            QVERIFY(QFile::resize(path, bytes.size() / 3));
            break;
        case Change::SameSizeRewritten:
            write(other);
            setTime(path, st.st_mtim.tv_sec + 10); // however coarse the file system's clock
            break;
        case Change::Grown:
            write(bytes + bytes);
            break;
        case Change::ReplacedByRename: {
            const QString beside = write(other, QStringLiteral("beside.csv"));
            setTime(beside, st.st_mtim.tv_sec);
            QCOMPARE(::rename(QFile::encodeName(beside).constData(),
                              QFile::encodeName(path).constData()),
                     0);
            break;
        }
        case Change::Touched:
            setTime(path, st.st_mtim.tv_sec + 10);
            break;
        }
    };
    RowStore store;
    const DataLoadJob::Result result = job.run(store, hooks, 0ns);
    QVERIFY(done);
    QVERIFY(result.done());
    QCOMPARE(result.changed, changed);
    if (!changed)
        QCOMPARE(store.rowCount(), qint64(2000));
}

QTEST_GUILESS_MAIN(tst_source_loadjob)
#include "tst_source_loadjob.moc"
