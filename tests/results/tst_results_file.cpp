// The result file: Save, the hand-over and standard output write the same bytes through the
// row writer, straight from the store, in the file's own code page; and how a failed save is told.
#include "FileSizeLimit.h"
#include "ResultsTestSupport.h"
#include "TestFiles.h"
#include "base/Cp932.h"
#include "results/ResultFile.h"
#include "results/RowWriter.h"
#include "shell/TransferFile.h"
#include "source/DataLoadJob.h"
#include "source/RowStore.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

class TestResultsFile : public QObject {
    Q_OBJECT
private slots:
    void save_data();
    void save();
    void everyOutputWritesTheSameBytes_data();
    void everyOutputWritesTheSameBytes();
    void writeRunsFromTheStore_data();
    void writeRunsFromTheStore();
    void saveMatchesTheCodec();
    void saveIntoFolderFails();
    void saveWriteFailureIsAWriteError();
    void message();
};

void TestResultsFile::save_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("descending"); // sorted descending before the save
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("three rows, CR LF after every line")
        << QStringList{"a,b", "c,d", "e,f"} << false << QByteArray("a,b\r\nc,d\r\ne,f\r\n");
    QTest::newRow("empty result, empty file") << QStringList{} << false << QByteArray();
    QTest::newRow("japanese as code page 932")
        << QStringList{"東京,ｱｲｳ,１", "－～∥,ABC"} << false
        << QByteArray("\x93\x8c\x8b\x9e,\xb1\xb2\xb3,\x82\x50\r\n"
                      "\x81\x7c\x81\x60\x81\x61,ABC\r\n");
    QTest::newRow("empty rows and controls kept")
        << QStringList{"", QString("a") + QChar(0x1a) + "b"} << false
        << QByteArray("\r\na\x1a"
                      "b\r\n");
    QTest::newRow("in the sorted order")
        << QStringList{"b,2", "a,1", "c,3"} << true << QByteArray("c,3\r\nb,2\r\na,1\r\n");
    // Several encoding batches on both threads; the order of lines must hold across them.
    QStringList lines;
    QByteArray expected;
    for (int i = 0; i < 120000; ++i) {
        const QString line = QStringLiteral("%1,行%1,%2").arg(i).arg(QString(i % 40, u'x'));
        lines << line;
        expected += QByteArray::number(i) + ",\x8d\x73" + QByteArray::number(i) + ',' +
                    QByteArray(i % 40, 'x') + "\r\n";
    }
    QTest::newRow("many batches") << lines << false << expected;
}

void TestResultsFile::save() {
    QFETCH(QStringList, lines);
    QFETCH(bool, descending);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Results r(lines);
    if (descending)
        r.sort(Order::Descending);
    // Over an existing, longer file: it is replaced, not merged.
    const QString path = dir.filePath("out.xls");
    QVERIFY(writeAll(path, QByteArray(1000, 'o')));
    const std::optional<ResultFile::Error> error = ResultFile::save(path, r.model);
    QVERIFY2(!error, error ? qPrintable(error->description) : "");
    QCOMPARE(readAll(path), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.xls"});
}

void TestResultsFile::writeRunsFromTheStore_data() {
    QTest::addColumn<QString>("lineEnds"); // crlf, lf, mixed (with misfits) or quoted
    QTest::addColumn<QString>("rows");     // which rows, in which order
    for (const char* ends : {"crlf", "lf", "mixed", "quoted"})
        for (const char* rows : {"all", "every other", "reversed", "runs with gaps", "middle"})
            QTest::addRow("%s, %s", ends, rows)
                << QString::fromLatin1(ends) << QString::fromLatin1(rows);
}

// Rows read from a file lie in the store as the file held them, line ends between: the writer
// writes runs of them from the store itself. Whatever the line ends and whichever rows, the bytes
// are each row's own bytes plus CR LF, across several pieces.
void TestResultsFile::writeRunsFromTheStore() {
    QFETCH(QString, lineEnds);
    QFETCH(QString, rows);
    QByteArray file;
    constexpr int kLines = 90000; // about 5 MB: more than one piece
    for (int i = 0; i < kLines; ++i) {
        QByteArray line = QByteArray::number(i).rightJustified(6, '0') + ",field " +
                          QByteArray::number(i % 97) + ",the rest of the row " +
                          QByteArray(i % 23, 'x');
        if (lineEnds == u"quoted" && i % 7 == 3)
            line += ",\"two\r\nlines\"";
        else if (lineEnds == u"quoted")
            line += ",\"one\"";
        if (lineEnds == u"mixed" && i % 5000 == 4999)
            line += ",a misfit"; // skipped: the store has a gap here
        file += line;
        if (lineEnds == u"lf" || (lineEnds == u"mixed" && i % 3000 == 500))
            file += "\n";
        else if (!(lineEnds == u"mixed" && i == kLines - 1)) // the last line without its end
            file += "\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("data.csv");
    QVERIFY(writeAll(path, file));
    RowStore store;
    DataLoadJob job(path);
    QCOMPARE(job.readFirstLine(), std::optional<QString>());
    if (lineEnds == u"quoted")
        job.forceFieldMode(FieldMode::Quoted);
    QVERIFY(job.run(store, {}, std::chrono::nanoseconds(0)).done());
    QVERIFY(store.rowCount() > kLines - 20);

    const qint64 n = store.rowCount();
    std::vector<qint64> order;
    for (qint64 i = 0; i < n; ++i) {
        if (rows == u"all" || (rows == u"every other" && i % 2 == 0) ||
            (rows == u"runs with gaps" && i % 3001 != 17 && i % 3001 != 18) ||
            (rows == u"middle" && i > n / 3 && i < 2 * n / 3))
            order.push_back(i);
        else if (rows == u"reversed")
            order.push_back(n - 1 - i);
    }
    QByteArray expected;
    for (const qint64 row : order)
        expected += store.rowBytes(row).toByteArray() + "\r\n";

    // Which bytes came straight from the store's blocks.
    int blocks = 0;
    for (qint64 i = 0; i < n; ++i)
        blocks = std::max(blocks, store.rowBlock(i) + 1);
    qsizetype direct = 0;
    QByteArray written;
    const bool ok = RowWriter::write(
        qint64(order.size()),
        [&](qint64 begin, qint64 end, QByteArrayView* out) {
            for (qint64 i = begin; i < end; ++i)
                out[i - begin] = store.rowBytes(order[size_t(i)]);
        },
        {},
        [&](QByteArrayView bytes) {
            for (int b = 0; b < blocks; ++b)
                if (bytes.data() >= store.blockData(b) &&
                    bytes.data() < store.blockData(b) + store.blockSize(b))
                    direct += bytes.size();
            written += bytes;
            return true;
        });
    QVERIFY(ok);
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
    // Long runs of CR LF rows in file order are not copied; rows apart or without CR LF are.
    const bool runs = (lineEnds == u"crlf" || lineEnds == u"mixed" || lineEnds == u"quoted") &&
                      (rows == u"all" || rows == u"runs with gaps" || rows == u"middle");
    if (runs)
        QVERIFY2(direct > expected.size() / 2, qPrintable(QString::number(direct)));
    else
        QCOMPARE(direct, qsizetype(0));
}

void TestResultsFile::saveMatchesTheCodec() {
    // Every character the codec can write, from several blocks of the Basic Multilingual Plane,
    // comes out of the result file exactly as the codec writes it.
    QString chars;
    for (char32_t from : {0x0000u, 0x00A0u, 0x0370u, 0x2000u, 0x3000u, 0x4E00u, 0x9F00u, 0xE000u,
                          0xF900u, 0xFF00u}) {
        for (char32_t c = from; c < from + 0x100; ++c) {
            const QChar ch(char16_t(c & 0xFFFF));
            if (c != '\r' && c != '\n' && !ch.isSurrogate() &&
                Cp932::encode(QStringView(&ch, 1)).ok())
                chars += ch;
        }
    }
    QVERIFY2(chars.size() > 1000, qPrintable(QString::number(chars.size())));
    QStringList lines;
    for (qsizetype i = 0; i < chars.size(); i += 37)
        lines << chars.mid(i, 37);
    Results r(lines);
    const Cp932::EncodeResult expected = Cp932::encode(lines.join(QStringLiteral("\r\n")) + "\r\n");
    QVERIFY(expected.ok());
    QTemporaryDir dir;
    const QString path = dir.filePath("all.txt");
    QVERIFY(!ResultFile::save(path, r.model));
    QVERIFY(readAll(path) == expected.bytes);
}

void TestResultsFile::saveIntoFolderFails() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("taken");
    QVERIFY(QDir().mkdir(folder));
    Results r({"a,b"});
    const std::optional<ResultFile::Error> error = ResultFile::save(folder, r.model);
    QVERIFY(error);
    QVERIFY(error->number > 0);
    QVERIFY(!error->description.isEmpty());
}

void TestResultsFile::saveWriteFailureIsAWriteError() {
    // A failure in the middle of writing (the file size limit of the process, so it works as
    // root too) is reported with the number of a write error. (That the old file stays is
    // WholeFile's guarantee, tested with it.)
    QTemporaryDir dir;
    QStringList lines;
    for (int i = 0; i < 20000; ++i)
        lines << QStringLiteral("row %1 with some text,%1").arg(i);
    Results r(lines);
    std::optional<ResultFile::Error> error;
    {
        const FileSizeLimit limit(64 * 1024);
        QVERIFY(limit.active());
        error = ResultFile::save(dir.filePath("out.csv"), r.model);
    }
    QVERIFY(error);
    QCOMPARE(error->number, int(QFileDevice::WriteError));
    QVERIFY(!error->description.isEmpty());
}

void TestResultsFile::message() {
    QCOMPARE(ResultFile::message({5, QStringLiteral("Is a directory")}),
             QStringLiteral("エラー番号 = 5\rIs a directory"));
}

void TestResultsFile::everyOutputWritesTheSameBytes_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("mark");
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<bool>("header"); // the first line is the header line
    QTest::newRow("UTF-8 with a mark") << QStringList{"b,😀", "a,東"} << true << false << false;
    QTest::newRow("UTF-8 with a mark, no row") << QStringList{} << true << false << false;
    QTest::newRow("code page 932, sorted")
        << QStringList{"東,2", "大,1", "名,3"} << false << true << false;
    QStringList many; // several pieces of the writer
    for (int i = 0; i < 150000; ++i)
        many << QStringLiteral("%1,%2,some text to fill the pieces").arg(i % 977).arg(i);
    QTest::newRow("several pieces, sorted") << many << false << true << false;
    QTest::newRow("header, code page 932")
        << QStringList{"市,人口", "東,2", "大,1"} << false << false << true;
    QTest::newRow("header, sorted rows, header still first")
        << QStringList{"z,name", "b,2", "a,1"} << false << true << true;
    QTest::newRow("header, UTF-8 mark before it")
        << QStringList{"名,😀", "a,東"} << true << false << true;
    QTest::newRow("header alone, no row") << QStringList{"a,b"} << true << false << true;
}

void TestResultsFile::everyOutputWritesTheSameBytes() {
    // Save, standard output and the hand-over to Zelvo: one writer, the same bytes, each row's
    // own bytes plus CR LF after the data file's mark. Save and standard output put the data
    // file's header line first (after the mark); the hand-over gets the rows only.
    QFETCH(QStringList, lines);
    QFETCH(bool, mark);
    QFETCH(bool, sorted);
    QFETCH(bool, header);
    Results r(lines);
    if (mark) {
        r.store.reset(r.store.commaCount(), TextEncoding::Utf8, true);
        for (const QString& line : lines)
            r.store.appendLine(QStringView(line));
    }
    if (header) {
        r.store.takeFirstRowAsHeader();
        std::vector<std::uint32_t> rows(size_t(lines.size() - 1));
        std::iota(rows.begin(), rows.end(), 0u);
        r.model.setRows(std::move(rows));
        QCOMPARE(r.store.rowCount(), qint64(lines.size() - 1));
        QCOMPARE(r.store.decode(r.store.headerBytes()), lines.first());
    }
    if (sorted)
        r.sort(Order::Ascending);

    QByteArray rowBytes;
    for (qint64 i = 0; i < r.model.count(); ++i)
        rowBytes += r.model.rowBytes(i).toByteArray() + "\r\n";
    const QByteArray bom = mark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    const QByteArray headerBytes =
        header ? r.store.headerBytes().toByteArray() + "\r\n" : QByteArray();
    const QByteArray expected =
        headerBytes.isEmpty() && rowBytes.isEmpty() ? QByteArray() : bom + headerBytes + rowBytes;
    const QByteArray handedOverBytes = rowBytes.isEmpty() ? QByteArray() : bom + rowBytes;

    QTemporaryDir dir;
    const QString saved = dir.filePath("saved.csv");
    QVERIFY(!ResultFile::save(saved, r.model));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(!ResultFile::write(out, r.model));
    const QString handedOver = dir.filePath("zelvo.txt");
    std::vector<qint64> reports;
    const mdlShare::TransferFileResult transfer = mdlShare::WriteTransferFile(
        handedOver, r.model.count(), [&r](qint64 pos) { return r.model.rowBytes(pos); },
        RowWriter::mark(r.store), [&reports](qint64 done) { reports.push_back(done); }, 0);
    QVERIFY(transfer.ok());
    QCOMPARE(readAll(saved), expected);
    QCOMPARE(out.data(), expected);
    QCOMPARE(readAll(handedOver), handedOverBytes);
    QCOMPARE(reports.back(), r.model.count());
    QVERIFY(std::is_sorted(reports.begin(), reports.end()));
}

QTEST_GUILESS_MAIN(TestResultsFile)
#include "tst_results_file.moc"
