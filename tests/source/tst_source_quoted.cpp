// Quoted fields: the field mode a file's bytes decide, judged in pieces and in turns of the event
// loop, and the records and fields a quoted load gives.
#include "SourceTestSupport.h"

#include "source/DataFileReader.h"
#include "source/DataLoadJob.h"
#include "source/FieldModeScan.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <optional>

using namespace std::chrono_literals;

class tst_source_quoted : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void quotedLoad_data();
    void quotedLoad();
    void fieldModeInPieces_data();
    void fieldModeInPieces();
    void loadJobJudgesFieldModeInTurns_data();
    void loadJobJudgesFieldModeInTurns();

private:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("data.csv")) {
        return writeTestFile(m_dir, bytes, name);
    }
    QTemporaryDir m_dir;
};

void tst_source_quoted::quotedLoad_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fields"); // auto, plain or quoted
    QTest::addColumn<FieldMode>("mode");
    QTest::addColumn<QByteArrayList>("rows");   // each record's own bytes
    QTest::addColumn<QStringList>("texts");     // each row's field texts, joined by "|"
    QTest::addColumn<QList<qint64>>("misfits"); // first lines of the records that do not fit
    const QByteArray big(QuotedFields::kMaxQuotedBytes, 'x');
    QTest::newRow("every field quoted, doubled quote")
        << QByteArray("\"a\",\"b\"\"c\"\r\n\"d\",\"\"\"\"\r\n") << "auto" << FieldMode::Quoted
        << QByteArrayList{"\"a\",\"b\"\"c\"", "\"d\",\"\"\"\""} << QStringList{"a|b\"c", "d|\""}
        << QList<qint64>{};
    QTest::newRow("empty quoted fields")
        << QByteArray("\"\",x\n\"y\",\"\"\n") << "auto" << FieldMode::Quoted
        << QByteArrayList{"\"\",x", "\"y\",\"\""} << QStringList{"|x", "y|"} << QList<qint64>{};
    QTest::newRow("only fields with a comma quoted, under a plain header")
        << QByteArray("id,name\n1,\"x,y\"\n2,z\n3,\"p,q\",r\n") << "auto" << FieldMode::Quoted
        << QByteArrayList{"id,name", "1,\"x,y\"", "2,z"} << QStringList{"id|name", "1|x,y", "2|z"}
        << QList<qint64>{4};
    QTest::newRow("quotes inside fields: plain")
        << QByteArray("a\"b,12\"\nc,\"d\n") << "auto" << FieldMode::Plain
        << QByteArrayList{"a\"b,12\"", "c,\"d"} << QStringList{"a\"b|12\"", "c|\"d"}
        << QList<qint64>{};
    QTest::newRow("quote inside an unquoted field, quoted mode")
        << QByteArray("a\"b,12\"\n") << "quoted" << FieldMode::Quoted << QByteArrayList{"a\"b,12\""}
        << QStringList{"a\"b|12\""} << QList<qint64>{};
    QTest::newRow("quoted file read plain")
        << QByteArray("\"a,b\",c\n") << "plain" << FieldMode::Plain << QByteArrayList{"\"a,b\",c"}
        << QStringList{"\"a|b\"|c"} << QList<qint64>{};
    QTest::newRow("line breaks inside, CR LF and LF kept")
        << QByteArray("\"a\r\nb\",c\r\n\"d\ne\",f\r\nlone\r\ng,h") << "auto" << FieldMode::Quoted
        << QByteArrayList{"\"a\r\nb\",c", "\"d\ne\",f", "g,h"}
        << QStringList{"a\r\nb|c", "d\ne|f", "g|h"} << QList<qint64>{5};
    QTest::newRow("open quote to the end: its first line")
        << QByteArray("\"h\",\"i\"\n\"open,x\nc,d\n") << "auto" << FieldMode::Quoted
        << QByteArrayList{"\"h\",\"i\"", "c,d"} << QStringList{"h|i", "c|d"} << QList<qint64>{2};
    QTest::newRow("text after the closing quote")
        << QByteArray("\"ab\"cd,e\n") << "quoted" << FieldMode::Quoted
        << QByteArrayList{"\"ab\"cd,e"} << QStringList{"abcd|e"} << QList<qint64>{};
    QTest::newRow("quoted field of 1 MiB")
        << QByteArray("h,i\n\"" + big + "\",y\nc,d\n") << "quoted" << FieldMode::Quoted
        << QByteArrayList{"h,i", "\"" + big + "\",y", "c,d"}
        << QStringList{"h|i", QString::fromLatin1(big) + "|y", "c|d"} << QList<qint64>{};
    QTest::newRow("quote open for more than 1 MiB")
        << QByteArray("h,i\n\"" + big + "x\",y\nc,d\n") << "quoted" << FieldMode::Quoted
        << QByteArrayList{"h,i", "c,d"} << QStringList{"h|i", "c|d"} << QList<qint64>{2};
}

void tst_source_quoted::quotedLoad() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fields);
    QFETCH(FieldMode, mode);
    QFETCH(QByteArrayList, rows);
    QFETCH(QStringList, texts);
    QFETCH(QList<qint64>, misfits);
    const QString path = write(bytes);
    // Small chunks cross every batch border inside a record; the default one reads it whole.
    const qsizetype small = bytes.size() < 4096 ? 3 : 4093;
    for (const qsizetype chunk : {small, DataFileReader::kDefaultChunkBytes}) {
        DataLoadJob job(path, std::nullopt, chunk);
        if (fields != u"auto")
            job.forceFieldMode(fields == u"quoted" ? FieldMode::Quoted : FieldMode::Plain);
        QVERIFY(!job.readFirstLine());
        QList<qint64> seen;
        DataLoadJob::Hooks hooks;
        hooks.misfit = [&](QByteArrayView, qint64 lineNumber) {
            seen.append(lineNumber);
            return true;
        };
        RowStore store;
        QVERIFY(job.run(store, hooks, 0ns).done());
        QCOMPARE(job.fieldMode(), mode);
        QCOMPARE(store.fieldMode(), mode);
        QCOMPARE(seen, misfits);
        QByteArrayList gotRows;
        QStringList gotTexts;
        for (qint64 r = 0; r < store.rowCount(); ++r) {
            gotRows.append(store.rowBytes(r).toByteArray());
            QStringList f;
            for (int i = 0; i < store.fieldCount(); ++i)
                f.append(store.field(r, i));
            gotTexts.append(f.join(u'|'));
        }
        QCOMPARE(gotRows, rows);
        QCOMPARE(gotTexts, texts);
        QCOMPARE(job.commaCount(), store.commaCount());
        QCOMPARE(store.irregularQuotes(),
                 QByteArray(QTest::currentDataTag()) == "text after the closing quote");
    }
}

void tst_source_quoted::fieldModeInPieces_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray quoted;
    for (int i = 0; i < 40; ++i)
        quoted += "\"a" + QByteArray::number(i) + "\",\"x\"\"y\",\"line\r\nbreak\"\r\n";
    QTest::newRow("quoted") << quoted;
    QTest::newRow("plain") << QByteArray("a,b\r\nc,d\r\n");
    QTest::newRow("quotes inside fields") << QByteArray("a\"b,c\"\r\nd,e\"\"\r\n");
    QTest::newRow("text after closing quotes")
        << QByteArray("\"a\"b,\"c\"d\r\n\"e\",f\r\n\"g\"h,i\r\n");
    QTest::newRow("quotes left open") << QByteArray("\"a,b\r\n\"c,\"d\r\n\"e\",\"f\"\r\n");
    QTest::newRow("a closing quote before CR alone") << QByteArray("\"a\"\rb,\"c\"\r");
    QTest::newRow("a closing quote at the end") << QByteArray("\"a\",\"b\"");
    QTest::newRow("a doubled quote at the end") << QByteArray("\"a\",\"b\"\"");
    // Open past the limit: the line is skipped, the quotes after it count.
    QTest::newRow("open past the limit")
        << "\"" + QByteArray(QuotedFields::kMaxQuotedBytes + 10, 'x') + "\"\r\n\"a\",\"b\"\r\n";
    QByteArray many;
    while (many.size() < 70000 * 4)
        many += "\"a\"\n";
    QTest::newRow("enough fields, then open quotes") << many + QByteArray(2000, '"');
}

// FieldModeScan fed the bytes in pieces of any size says what QuotedFields::detect says of them
// whole.
void tst_source_quoted::fieldModeInPieces() {
    QFETCH(QByteArray, bytes);
    const FieldMode whole = QuotedFields::detect(bytes);
    for (const qsizetype piece :
         {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(7), qsizetype(4096), bytes.size()}) {
        if (piece < 4096 && std::size_t(bytes.size()) > QuotedFields::kMaxQuotedBytes)
            continue; // a quote open for a megabyte is judged again at every small piece
        FieldModeScan scan;
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            scan.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        QVERIFY2(scan.result() == whole, qPrintable(QString::number(piece)));
    }
}

void tst_source_quoted::loadJobJudgesFieldModeInTurns_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("stopAtTurn"); // of the turns after the read; 0: none
    QByteArray plain;
    while (plain.size() < 3 * 1024 * 1024)
        plain += "a,b\r\n";
    // The only quoted fields come after megabytes without any: the verdict waits for them.
    QTest::newRow("plain") << plain << 0;
    QTest::newRow("quoted after megabytes of plain lines")
        << plain + QByteArray("\"c\",\"d\"\r\n").repeated(10) << 0;
    QTest::newRow("stopped while judged") << plain << 2;
}

// A file's field mode is judged a piece a turn of the event loop (slices without time: a
// megabyte each), with the verdict the whole bytes give, and a Stop between the pieces ends the
// load before any row.
void tst_source_quoted::loadJobJudgesFieldModeInTurns() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, stopAtTurn);
    DataLoadJob job(write(bytes));
    QVERIFY(!job.readFirstLine());
    RowStore store;
    std::optional<DataLoadJob::Stage> stage;
    int turnsBeforeRows = 0; // after the read, before the first row
    DataLoadJob::Hooks hooks;
    hooks.progress = [&](DataLoadJob::Stage s, qint64, qint64) { stage = s; };
    hooks.yield = [&] {
        if (stage == DataLoadJob::Stage::Loading && store.rowCount() == 0)
            ++turnsBeforeRows;
        return stopAtTurn > 0 && turnsBeforeRows == stopAtTurn;
    };
    const DataLoadJob::Result result = job.run(store, hooks, 0ns);
    if (stopAtTurn > 0) {
        QCOMPARE(result.outcome, DataLoadJob::Result::Outcome::Stopped);
        QCOMPARE(store.rowCount(), qint64(0));
        return;
    }
    QVERIFY(result.done());
    QCOMPARE(job.fieldMode(), QuotedFields::detect(bytes));
    QCOMPARE(store.rowCount(), qint64(bytes.count('\n')));
    QVERIFY(turnsBeforeRows > 2); // the three megabytes took turns
}

QTEST_GUILESS_MAIN(tst_source_quoted)
#include "tst_source_quoted.moc"
