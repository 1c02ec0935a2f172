// The pick against its limits, run in this process with the limits lowered: a list file that
// cannot be taken whole, a data file with too many rows (in both front ends), and the streamed
// pickup, whose batch stays near its size, against the whole load.
#include "AppTestSupport.h"
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "app/PickCommand.h"
#include "app/PickStream.h"
#include "conditions/ConditionListFile.h"
#include "source/DataLoadJob.h"

#include <QBuffer>
#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class TestAppLimits : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listFileThatStopsThePick_data();
    void listFileThatStopsThePick();
    void tooManyRows_data();
    void tooManyRows();
    void streamedAsWhole_data();
    void streamedAsWhole();
};

void TestAppLimits::listFileThatStopsThePick_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<qint64>("memoryLimit"); // the most a list file may take (0: no limit)
    QTest::addColumn<QString>("message");    // the one line said, after "vornel: <list file>: "
    const QString badLines = QStringLiteral("形式が正しくない行があるため、中止しました。行番号: ");
    // Without the stop, a NOT OR list that lost its only line excludes nothing: every row.
    QTest::newRow("a NOT OR list whose only line is bad")
        << "--not-or" << QByteArray("\"0\"\r\n") << qint64(0) << badLines + "1";
    QTest::newRow("an AND list with bad lines among good ones")
        << "--and" << QByteArray("\"3\",\"x\"\r\nbad\r\n\"0\",\"a\"\r\n\"1\",\"open\r\n")
        << qint64(0) << badLines + "2, 4";
    // Named by the list file, not the data file.
    QTest::newRow("a list file too big for memory")
        << "--or" << QByteArray("\"0\",\"a\"\r\n\"0\",\"b\"\r\n") << qint64(8)
        << QStringLiteral("~メモリーが足りません。");
}

// A list file that cannot be taken whole stops the pick: status 1, one line naming the file, and
// no result written. Run in this process, so that the list load can be given a memory limit.
void TestAppLimits::listFileThatStopsThePick() {
    QFETCH(QString, option);
    QFETCH(QByteArray, list);
    QFETCH(qint64, memoryLimit);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeInputs(folder);
    const QString listFile = folder.filePath("list.csv");
    QVERIFY(writeAll(listFile, list));
    const QString output = folder.filePath("out.csv");

    QBuffer out;
    QBuffer err;
    QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
    ConditionListFile::setMemoryLimitForTesting(memoryLimit);
    const int status = PickCommand::run(
        {"--pick", folder.filePath("data.csv"), option, listFile, "-o", output}, out, err, false);
    ConditionListFile::setMemoryLimitForTesting(0);
    QCOMPARE(status, int(PickCommand::Failed));
    const QStringList lines = QString::fromUtf8(err.data()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    if (message.startsWith(u'~')) {
        QVERIFY2(lines.first().startsWith(QStringLiteral("vornel: ")) &&
                     lines.first().contains(QDir::toNativeSeparators(listFile)) &&
                     lines.first().contains(message.mid(1)) && !lines.first().contains("data.csv"),
                 qPrintable(lines.first()));
    } else {
        QCOMPARE(lines.first(), QStringLiteral("vornel: %1: %2").arg(listFile, message));
    }
    QVERIFY(out.data().isEmpty());
    QVERIFY(!QFile::exists(output));
}

void TestAppLimits::tooManyRows_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("header");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("refused");
    const QByteArray three = cp932(QStringLiteral("東京,1\r\n大阪,2\r\n名古屋,3\r\n"));
    QTest::newRow("at the limit") << three << false << qint64(3) << false;
    QTest::newRow("one past") << three << false << qint64(2) << true;
    QTest::newRow("the header is no row")
        << QByteArray("h,k\r\n") + three << true << qint64(3) << false;
}

// A data file with more rows than a row number can hold is refused by both front ends, the
// command line with its one line and status 1, the window with its message, and nothing of it is
// kept. Run in this process, with a lowered limit.
void TestAppLimits::tooManyRows() {
    QFETCH(QByteArray, data);
    QFETCH(bool, header);
    QFETCH(qint64, limit);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString dataFile = folder.filePath("data.csv");
    QVERIFY(writeAll(dataFile, data));
    const QString output = folder.filePath("out.csv");
    DataLoadJob::setRowLimitForTesting(limit);
    const auto restore = qScopeGuard([] { DataLoadJob::setRowLimitForTesting(0); });
    const QString reason =
        QStringLiteral("行が多すぎます（最大 %1 行）。ファイルを分けてから開いてください。")
            .arg(limit);

    QBuffer out;
    QBuffer err;
    QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
    QStringList arguments{"--pick", dataFile, "-o", output};
    if (header)
        arguments.append(QStringLiteral("--header"));
    const int status = PickCommand::run(arguments, out, err, false);
    if (refused) {
        QCOMPARE(status, int(PickCommand::Failed));
        QCOMPARE(QString::fromUtf8(err.data()),
                 QStringLiteral("vornel: %1: %2\n").arg(dataFile, reason));
        QVERIFY(!QFile::exists(output));
    } else {
        QCOMPARE(status, 0);
        QCOMPARE(readAll(output), data); // every row kept, byte for byte
    }

    TestWindow w;
    if (header)
        w->findChild<QAction*>(QStringLiteral("mnuHeaderLine"))->trigger();
    w->setJobSliceMs(1);
    w.platform.openAnswers = {dataFile};
    w->runCommand(Command::Open);
    if (refused) {
        QCOMPARE(w.platform.messages.size(), 1);
        QCOMPARE(w.platform.messages.first().prompt,
                 QStringLiteral("データファイル「%1」を読み込めませんでした。\n%2")
                     .arg(QDir::toNativeSeparators(dataFile), reason));
        QCOMPARE(w.platform.messages.first().title, QStringLiteral("エラー"));
        QCOMPARE(w->store().rowCount(), qint64(0));
    } else {
        QVERIFY(w.platform.messages.isEmpty());
        QCOMPARE(w->store().rowCount(), limit);
    }
}

void TestAppLimits::streamedAsWhole_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("chunk"); // bytes read for each batch

    // Rows with misfits (no comma, empty) spread so that batch ends fall beside them.
    const auto rows = [](int count, const QString& lineEnd) {
        QString text = QStringLiteral("名前,番号,印") + lineEnd;
        for (int i = 1; i <= count; ++i) {
            if (i % 7 == 3)
                text += QStringLiteral("bad line %1").arg(i) + lineEnd;
            else if (i % 11 == 5)
                text += lineEnd;
            else
                text +=
                    QStringLiteral("%1,%2,x%3").arg(i % 3 ? u"東京" : u"大阪").arg(i).arg(i % 4) +
                    lineEnd;
        }
        return text;
    };
    const auto utf8 = [](const QString& text) { return text.toUtf8(); };
    const QByteArray bom = "\xEF\xBB\xBF";
    QByteArray ascii;
    for (int i = 0; ascii.size() < 3000; ++i)
        ascii += "row " + QByteArray::number(i) + ",9,x" + QByteArray::number(i % 5) + "\r\n";

    QTest::newRow("CR LF") << cp932(rows(300, "\r\n")) << QStringList() << 64;
    QTest::newRow("LF, no last line end")
        << cp932(rows(300, "\n")).chopped(1) << QStringList() << 50;
    QTest::newRow("header, to a file")
        << cp932(rows(120, "\r\n")) << QStringList{"--header", "-o", "out.csv"} << 40;
    // An empty line 1: lines without a comma fit it.
    QTest::newRow("empty header line")
        << cp932("\r\n" + rows(60, "\r\n")) << QStringList{"--header"} << 40;
    QTest::newRow("UTF-8 mark") << bom + utf8(rows(200, "\r\n")) << QStringList() << 64;
    QTest::newRow("UTF-8 mark, header, read as code page 932")
        << bom + utf8(rows(50, "\r\n")) << QStringList{"--header", "--encoding", "cp932"} << 64;
    QTest::newRow("UTF-8 settled late") << ascii + utf8(rows(100, "\r\n")) << QStringList() << 64;
    QTest::newRow("code page 932 settled late")
        << ascii + cp932(rows(100, "\r\n")) << QStringList() << 64;
    QTest::newRow("a lone non-ASCII byte late")
        << ascii + "\xE6,1,x\r\n" + ascii << QStringList() << 64;
    // Quoted records that span lines and batch ends, misfits among them, one quote left open.
    QString quoted = QStringLiteral("\"名前\",\"番号\",\"印\"\r\n");
    for (int i = 1; i <= 80; ++i) {
        if (i % 9 == 4)
            quoted += QStringLiteral("\"only\",\"two %1\"\r\n").arg(i);
        else if (i % 13 == 6)
            quoted += QStringLiteral("\"東京\r\n%1\",\"a, %2\r\nb\",\"\"\"x\"\"\"\r\n")
                          .arg(QString(200, u'-'))
                          .arg(i);
        else
            quoted += QStringLiteral("\"%1\",%2,\"x%3\"\r\n")
                          .arg(i % 3 ? u"東京" : u"大阪")
                          .arg(i)
                          .arg(i % 4);
    }
    const QString open = QStringLiteral("\"open,1,x\r\n");
    QTest::newRow("quoted") << cp932(quoted) << QStringList() << 64;
    QTest::newRow("quoted, given") << cp932(quoted) << QStringList{"--fields", "quoted"} << 100;
    QTest::newRow("quoted read plain") << cp932(quoted) << QStringList{"--fields", "plain"} << 64;
    QTest::newRow("quoted, a quote left open")
        << cp932(quoted + open + quoted) << QStringList() << 64;
    QTest::newRow("quoted first met late") << ascii + cp932(quoted) << QStringList() << 64;
    QTest::newRow("quoted, first record across lines")
        << cp932(QStringLiteral("\"a,b,\r\nc\",d,\"e\r\n%1\"\r\n").arg(QString(300, u'x')) + quoted)
        << QStringList{"--header"} << 32;
    QTest::newRow("stray quotes, plain")
        << cp932(rows(100, "\r\n").replace(u'印', u'"')) << QStringList() << 64;
    // Much more than a batch: the batch held stays near the batch size.
    QByteArray large;
    while (large.size() < (2 << 20))
        large += cp932(rows(1000, "\r\n"));
    QTest::newRow("much larger than a batch") << large << QStringList() << 4096;
}

// The streamed pickup gives what the whole load gives: the same result bytes, the same messages,
// the same status; and the batch it holds stays near the batch size.
void TestAppLimits::streamedAsWhole() {
    QFETCH(QByteArray, data);
    QFETCH(QStringList, options);
    QFETCH(int, chunk);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    QVERIFY(writeAll(folder.filePath("data.csv"), data));
    QVERIFY(writeAll(folder.filePath("or.csv"),
                     cp932(QStringLiteral("\"1\",\"東京\"\r\n\"0\",\"9\"\r\n\"0\",\"x1\"\r\n"))));
    const auto restore = qScopeGuard([] {
        PickStream::setEnabledForTesting(true);
        PickStream::setChunkBytesForTesting(0);
    });
    PickStream::setChunkBytesForTesting(chunk);
    QStringList arguments{"--pick", folder.filePath("data.csv"), "--or", folder.filePath("or.csv")};
    const qsizetype output = options.indexOf(QStringLiteral("-o"));
    if (output >= 0)
        options[output + 1] = folder.filePath(options[output + 1]);
    arguments += options;
    struct Run {
        int status;
        QByteArray out, err, file;
    };
    const auto run = [&](bool streamed) {
        PickStream::setEnabledForTesting(streamed);
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const int status = PickCommand::run(arguments, out, err, false);
        const QByteArray file = output >= 0 ? readAll(options[output + 1]) : QByteArray();
        QFile::remove(folder.filePath("out.csv"));
        return Run{status, out.data(), err.data(), file};
    };
    const Run whole = run(false);
    const Run streamed = run(true);
    QCOMPARE(streamed.status, whole.status);
    QCOMPARE(streamed.err, whole.err);
    QCOMPARE(streamed.out, whole.out);
    QCOMPARE(streamed.file, whole.file);
    QVERIFY2(!(whole.out + whole.file).isEmpty(), whole.err.constData());
    if (data.size() > 100 * chunk)
        QVERIFY2(PickStream::largestBatchBytes() <= std::size_t(4 * chunk),
                 qPrintable(QString::number(PickStream::largestBatchBytes())));
}

QTEST_MAIN(TestAppLimits)
#include "tst_app_limits.moc"
