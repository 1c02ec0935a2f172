// Reading a data file: the first line, the line rules, the reader's two passes over chunks of any
// size, its stops, and files it must refuse.
#include "SourceTestSupport.h"

#include "base/Cp932.h"
#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/GetFileName.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"
#include "source/mdlvornel.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

struct Rejected {
    qint64 lineNumber;
    QString text;
    bool operator==(const Rejected&) const = default;
};

struct Outcome {
    QStringList rows;
    QList<Rejected> rejected;
    bool finished = false;
    QString error;
};

// The first pass, in full.
DataFileReader::Status readAll(DataFileReader& reader) {
    DataFileReader::Status status = DataFileReader::Status::More;
    while (status == DataFileReader::Status::More)
        status = reader.readStep(1h);
    return status;
}

// Loads the file the way the window does, skipping every rejected line (or correcting it with
// the given text when that fits).
Outcome load(const QString& path, qsizetype commaCount, qsizetype chunk,
             std::chrono::nanoseconds budget = 1h, const QString& correction = {}) {
    Outcome out;
    RowStore store;
    store.reset(int(commaCount));
    DataFileReader reader(chunk);
    if (!reader.open(path, store)) {
        out.error = reader.errorText();
        return out;
    }
    if (readAll(reader) != DataFileReader::Status::Finished) {
        out.error = reader.errorText();
        return out;
    }
    for (int guard = 0; guard < 10'000'000; ++guard) {
        const DataFileReader::Status status = reader.step(budget);
        if (status == DataFileReader::Status::Rejected) {
            out.rejected.append(
                {reader.rejectedLineNumber(), store.decode(reader.rejectedBytes())});
            if (!correction.isNull() && mdlvornel::LineFits(correction, commaCount))
                if (!store.appendLine(QStringView(correction)))
                    out.error = QStringLiteral("the correction could not be stored");
        } else if (status == DataFileReader::Status::Finished) {
            out.finished = true;
            break;
        } else if (status == DataFileReader::Status::Failed) {
            out.error = reader.errorText();
            break;
        }
    }
    for (qint64 r = 0; r < store.rowCount(); ++r) {
        const QString text = store.rowText(r);
        // The fields the store hands out must be the line's own cut.
        const QStringList fields = text.split(u',');
        if (fields.size() != store.fieldCount())
            out.error = QStringLiteral("row %1 has %2 fields").arg(r).arg(fields.size());
        // Each field() call scans from the row's start: on very wide rows, check the first and
        // last fields and a sample between, so the check stays linear.
        const int n = std::min(int(fields.size()), store.fieldCount());
        for (int f = 0; f < n; ++f)
            if ((f < 64 || f >= n - 64 || f % 997 == 0) && store.field(r, f) != fields[f])
                out.error = QStringLiteral("row %1 field %2 differs").arg(r).arg(f);
        out.rows.append(text);
    }
    return out;
}

} // namespace

class tst_source : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void lineFits_data();
    void lineFits();

    void getFileName_data();
    void getFileName();

    void firstLine_data();
    void firstLine();
    void firstLineUnreadable_data();
    void firstLineUnreadable();
    void readOrdinaryFileUnderDev();

    void readUtf8WithMark();
    void readOutOfMemory();

    void readLines_data();
    void readLines();
    void readAtEveryChunkBorder();
    void readBigFileOnTwoThreads();
    void byteOrderMarkOfAFileThatGrew_data();
    void byteOrderMarkOfAFileThatGrew();
    void readCorrectionTakesThePlace();
    void readWideCounters();
    void readUnreadable();
    void readStopsWhenClosed();
    void readStopsWhileReadingAhead();
    void readSmallBudgetMakesProgress();

    void misfitReason_data();
    void misfitReason();

private:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("data.csv")) {
        return writeTestFile(m_dir, bytes, name);
    }
    QTemporaryDir m_dir;
};

void tst_source::lineFits_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("commaCount");
    QTest::addColumn<bool>("fits");
    QTest::newRow("four fields for three") << "x,y,z," << 2 << false;
    QTest::newRow("empty field fits") << "x,,z" << 2 << true;
    QTest::newRow("blanks fit") << " x , y ,z" << 2 << true;
    QTest::newRow("too few") << "x,y" << 2 << false;
    QTest::newRow("quoted comma counts") << "\"a,b\",1" << 1 << false;
    QTest::newRow("no comma, none wanted") << "abc" << 0 << true;
    QTest::newRow("comma, none wanted") << "a,b" << 0 << false;
    QTest::newRow("empty line never fits") << "" << 0 << false;
    QTest::newRow("empty line, one comma wanted") << "" << 1 << false;
    QTest::newRow("only a comma") << "," << 1 << true;
    QTest::newRow("ideographic and full-width commas do not count")
        << QStringLiteral("東京、大阪，名古屋,5") << 1 << true;
}

void tst_source::lineFits() {
    QFETCH(QString, line);
    QFETCH(int, commaCount);
    QFETCH(bool, fits);
    QCOMPARE(mdlvornel::LineFits(line, commaCount), fits);
}

void tst_source::getFileName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("windows path") << "C:\\data\\lotto.csv"
                                  << "lotto.csv";
    QTest::newRow("drive only") << "C:lotto.csv"
                                << "lotto.csv";
    QTest::newRow("slashes") << "/tmp/data/lotto.csv"
                             << "lotto.csv";
    QTest::newRow("mixed, last wins") << "/tmp\\a:b.txt"
                                      << "b.txt";
    QTest::newRow("no separator") << "lotto.csv"
                                  << "";
    QTest::newRow("ends with separator") << "C:\\data\\"
                                         << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("japanese") << QStringLiteral("/home/u/抽選データ.csv")
                              << QStringLiteral("抽選データ.csv");
}

void tst_source::getFileName() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(mdlShare::GetFileName(path), name);
}

void tst_source::firstLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<qsizetype>("commaCount");
    QTest::newRow("empty file") << QByteArray() << true << qsizetype(0);
    QTest::newRow("three commas, crlf")
        << QByteArray("a,b,c,d\r\ne,f\r\n") << false << qsizetype(3);
    QTest::newRow("only first line counts") << QByteArray("a\nb,c,d") << false << qsizetype(0);
    QTest::newRow("empty first line") << QByteArray("\r\na,b") << false << qsizetype(0);
    QTest::newRow("no line end") << QByteArray("a,,b") << false << qsizetype(2);
    QTest::newRow("lone cr does not end it") << QByteArray("a,b\rc,d\n") << false << qsizetype(2);
    QTest::newRow("kanji with comma-like trail bytes")
        << sjis(u"表,ソ,能\r\nx") << false << qsizetype(2);
    QTest::newRow("40000 columns")
        << (QByteArray(40'000 - 1, ',') + "\r\n") << false << qsizetype(39'999);
}

void tst_source::firstLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, empty);
    QFETCH(qsizetype, commaCount);
    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(write(bytes));
    QVERIFY(first.ok);
    QCOMPARE(first.empty, empty);
    QCOMPARE(first.commaCount, commaCount);
}

void tst_source::firstLineUnreadable_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << m_dir.filePath("missing.csv");
    QTest::newRow("folder") << m_dir.path();
    // Never read: a pipe would wait for a writer, a device never ends, the kernel's files lie.
    QTest::newRow("pipe") << m_dir.filePath("fifo");
    QTest::newRow("device") << "/dev/zero";
    QTest::newRow("kernel file") << "/proc/self/status";
    QTest::newRow("link to a device") << m_dir.filePath("zero-link");
}

void tst_source::firstLineUnreadable() {
    QFETCH(QString, path);
    QVERIFY(mkfifo(qPrintable(m_dir.filePath("fifo")), 0600) == 0 || errno == EEXIST);
    QFile::link("/dev/zero", m_dir.filePath("zero-link"));
    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(path);
    QVERIFY(!first.ok);
    QVERIFY(!first.error.isEmpty());
    RowStore store;
    DataFileReader reader;
    QVERIFY(!reader.open(path, store));
    QVERIFY(!reader.errorText().isEmpty());
}

void tst_source::readOrdinaryFileUnderDev() {
    // A file on the tmpfs of /dev/shm is an ordinary file: only the devices, pipes and folders
    // under /dev are refused.
    QTemporaryDir shm(QStringLiteral("/dev/shm/vornel-XXXXXX"));
    if (!shm.isValid())
        QSKIP("no /dev/shm to write to");
    const QString path = shm.filePath(QStringLiteral("data.csv"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("a,b\r\nc,d\r\n") == 10);
    f.close();
    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(path);
    QVERIFY2(first.ok, qPrintable(first.error));
    const Outcome out = load(path, first.commaCount, DataFileReader::kDefaultChunkBytes);
    QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
    QCOMPARE(out.rows, (QStringList{"a,b", "c,d"}));
}

void tst_source::readUtf8WithMark() {
    // The mark is no part of the first line; the rows are the file's bytes.
    const QByteArray bytes = "\xEF\xBB\xBF"
                             "a,\xE6\x9D\xB1\r\nb,c\r\n";
    const QString path = write(bytes);
    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(path);
    QVERIFY(first.detected.byteOrderMark);
    RowStore store;
    store.reset(1, TextEncoding::Utf8, true);
    DataFileReader reader(3);
    QVERIFY(reader.open(path, store));
    QCOMPARE(readAll(reader), DataFileReader::Status::Finished);
    while (reader.step(1h) == DataFileReader::Status::More) {
    }
    QCOMPARE(store.rowCount(), qint64(2));
    QCOMPARE(store.rowBytes(0), QByteArrayView("a,\xE6\x9D\xB1"));
    QCOMPARE(store.rowText(0), QStringLiteral("a,東"));
    QCOMPARE(store.field(0, 1), QStringLiteral("東"));
}

void tst_source::readOutOfMemory() {
    // A store that cannot get the memory for the file throws, as the system would.
    const QString path = write(QByteArray(256 * 1024, 'x') + "\r\n");
    RowStore store;
    store.reset(0);
    DataFileReader reader;
    QVERIFY(reader.open(path, store));
    RowStore::setMemoryLimitForTesting(64 * 1024);
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, readAll(reader));
    RowStore::setMemoryLimitForTesting(0);
    store.reset(0); // and the store is still usable
    QCOMPARE(store.rowCount(), qint64(0));
}

void tst_source::readLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("commaCount");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<Rejected>>("rejected");
    using R = QList<Rejected>;
    QTest::newRow("crlf") << QByteArray("a,b\r\nc,d\r\n") << 1 << QStringList{"a,b", "c,d"} << R{};
    QTest::newRow("lf") << QByteArray("a,b\nc,d\n") << 1 << QStringList{"a,b", "c,d"} << R{};
    QTest::newRow("mixed ends") << QByteArray("a,b\nc,d\r\ne,f") << 1
                                << QStringList{"a,b", "c,d", "e,f"} << R{};
    QTest::newRow("missing last line end")
        << QByteArray("a,b\r\nc,d") << 1 << QStringList{"a,b", "c,d"} << R{};
    QTest::newRow("lone cr is a character")
        << QByteArray("a\rb,c\r\nd,e\r") << 1 << QStringList{"a\rb,c", "d,e\r"} << R{};
    QTest::newRow("cr cr lf keeps one cr")
        << QByteArray("a,b\r\r\n") << 1 << QStringList{"a,b\r"} << R{};
    QTest::newRow("three lines, middle rejected")
        << QByteArray("a,b\r\nc\r\nd,e\r\n") << 1 << QStringList{"a,b", "d,e"} << R{{2, "c"}};
    QTest::newRow("bad lines 2 and 5")
        << QByteArray("1,2,3,4\r\n1,2,3\r\n5,6,7,8\r\n,,,\r\nx,y,z\r\n") << 3
        << QStringList{"1,2,3,4", "5,6,7,8", ",,,"} << R{{2, "1,2,3"}, {5, "x,y,z"}};
    QTest::newRow("empty lines rejected") << QByteArray("a\r\nb\r\n\r\nc\n\nd") << 0
                                          << QStringList{"a", "b", "c", "d"} << R{{3, ""}, {5, ""}};
    QTest::newRow("empty first line")
        << QByteArray("\r\na\r\n") << 0 << QStringList{"a"} << R{{1, ""}};
    QTest::newRow("only a line end") << QByteArray("\n") << 0 << QStringList{} << R{{1, ""}};
    QTest::newRow("nul bytes") << QByteArray("a\0b,c\r\n\0,\0\r\n", 12) << 1
                               << QStringList{QString::fromUtf16(u"a\0b,c", 5),
                                              QString::fromUtf16(u"\0,\0", 3)}
                               << R{};
    QTest::newRow("byte order mark stays")
        << QByteArray("\xEF\xBB\xBF"
                      "a,b\r\n")
        << 1 << QStringList{Cp932::decode("\xEF\xBB\xBF") + "a,b"} << R{};
    const QString r(QChar(0xFFFD));
    QTest::newRow("invalid bytes keep their neighbours")
        << QByteArray("\x80"
                      "a,\x81\r\n\xFD,\xA0z\r\n")
        << 1 << QStringList{r + "a," + r, r + "," + r + "z"} << R{};
    QTest::newRow("kanji lines") << sjis(u"東京,ﾄｳｷｮｳ,１\r\n大阪、堺,ｵｵｻｶ,２\r\n表示,ソ\r\n") << 2
                                 << QStringList{QStringLiteral("東京,ﾄｳｷｮｳ,１"),
                                                QStringLiteral("大阪、堺,ｵｵｻｶ,２")}
                                 << R{{3, QStringLiteral("表示,ソ")}};
}

void tst_source::readLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, commaCount);
    QFETCH(QStringList, rows);
    QFETCH(QList<Rejected>, rejected);
    const QString path = write(bytes);
    for (qsizetype chunk :
         {qsizetype(1), qsizetype(3), qsizetype(7), DataFileReader::kDefaultChunkBytes}) {
        const Outcome out = load(path, commaCount, chunk);
        QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
        QVERIFY(out.finished);
        QCOMPARE(out.rows, rows);
        QCOMPARE(out.rejected, rejected);
    }
}

void tst_source::readAtEveryChunkBorder() {
    // Two-byte characters (kanji, and lead bytes whose trail byte looks like ASCII) next to
    // one-byte katakana, so every byte position is a possible border.
    const QByteArray bytes = sjis(u"漢字ｶﾅ,表ソ能\r\n") + QByteArray("\x81") + sjis(u"X,予\r\nｱ,") +
                             sjis(u"円") + QByteArray("\x82\n\xE0");
    const QStringList lines = referenceLines(bytes);
    QCOMPARE(lines.size(), 4);
    // The lead byte before LF and the one at the end become U+FFFD; nothing else changes.
    QCOMPARE(lines[2], QStringLiteral("ｱ,円") + QChar(0xFFFD));
    QCOMPARE(lines[3], QString(QChar(0xFFFD)));
    const QString path = write(bytes);
    for (qsizetype chunk = 1; chunk <= bytes.size() + 1; ++chunk) {
        const Outcome out = load(path, 1, chunk);
        QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
        QCOMPARE(out.rows, QStringList(lines.mid(0, 3)));
        QCOMPARE(out.rejected, (QList<Rejected>{{4, lines[3]}}));
    }
}

void tst_source::byteOrderMarkOfAFileThatGrew_data() {
    QTest::addColumn<qsizetype>("opened");
    QTest::addColumn<bool>("quoted");
    // The file holds less than its first line when the reader opens it, and the chunk is smaller
    // still: the first block gets no whole line, and all its bytes (the mark with them, or a part
    // of it) go on to the next block.
    for (const qsizetype opened : {0, 2, 3, 8}) {
        QTest::addRow("%lld bytes at open, plain", qlonglong(opened)) << opened << false;
        QTest::addRow("%lld bytes at open, quoted", qlonglong(opened)) << opened << true;
    }
}

void tst_source::byteOrderMarkOfAFileThatGrew() {
    QFETCH(qsizetype, opened);
    QFETCH(bool, quoted);
    const QString first = QStringLiteral("当選,\"東,京\",x");
    const QString second = QStringLiteral("ソ表,能,x");
    const QByteArray bytes = "\xEF\xBB\xBF" + (first + "\r\n" + second + "\r\n").toUtf8();
    const QString path = write(bytes.first(opened));
    RowStore store;
    store.reset(2, TextEncoding::Utf8, true);
    DataFileReader reader(2);
    QVERIFY(reader.open(path, store));
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    QCOMPARE(f.write(bytes.sliced(opened)), bytes.size() - opened);
    f.close();
    QCOMPARE(readAll(reader), DataFileReader::Status::Finished);
    QCOMPARE(reader.bytesRead(), bytes.size());
    QCOMPARE(QuotedFields::detect(reader.fieldModeBytes()), FieldMode::Quoted);
    QCOMPARE(reader.firstRecordCommas(FieldMode::Plain), 3);
    QCOMPARE(reader.firstRecordCommas(FieldMode::Quoted), 2);
    if (quoted)
        store.setFieldMode(FieldMode::Quoted, 2);
    QStringList rejected;
    for (int guard = 0; guard < 100; ++guard) {
        const DataFileReader::Status status = reader.step(1h);
        QCOMPARE_NE(status, DataFileReader::Status::Failed);
        if (status == DataFileReader::Status::Finished)
            break;
        if (status == DataFileReader::Status::Rejected)
            rejected.append(store.decode(reader.rejectedBytes()));
    }
    // Plain, the first line has a comma too many.
    const QStringList rows = quoted ? QStringList{first, second} : QStringList{second};
    QCOMPARE(rejected, quoted ? QStringList() : QStringList{first});
    QCOMPARE(store.rowCount(), qint64(rows.size()));
    for (qsizetype r = 0; r < rows.size(); ++r)
        QCOMPARE(store.rowText(r), rows[r]);
}

void tst_source::readBigFileOnTwoThreads() {
    // Several chunks of a few megabytes, so each chunk is cut in two halves; some bad lines.
    QRandomGenerator rng(7);
    const QStringList words{QStringLiteral("東京都"), QStringLiteral("ｶﾀｶﾅ"),
                            QStringLiteral("abc"),    QStringLiteral("2024/01/31"),
                            QStringLiteral("１２３"), QStringLiteral("表")};
    QByteArray bytes;
    while (bytes.size() < 6 * 1024 * 1024) {
        QString line;
        const int fields = rng.bounded(100) < 2 ? 3 : 4;
        for (int f = 0; f < fields; ++f) {
            if (f)
                line += u',';
            line += words[rng.bounded(words.size())] + QString::number(rng.bounded(1000));
        }
        bytes += sjis(line);
        bytes += rng.bounded(3) ? "\r\n" : "\n";
        if (rng.bounded(5000) == 0)
            bytes += "\x81\xFF\r\n";
    }
    const QString path = write(bytes);
    const QStringList lines = referenceLines(bytes);
    QStringList fitting;
    QList<Rejected> rejected;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (mdlvornel::LineFits(lines[i], 3))
            fitting.append(lines[i]);
        else
            rejected.append({i + 1, lines[i]});
    }
    QVERIFY(rejected.size() > 10);
    for (qsizetype chunk : {qsizetype(1024 * 1024 + 17), DataFileReader::kDefaultChunkBytes}) {
        const Outcome out = load(path, 3, chunk, 1ms);
        QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
        QVERIFY(out.rows == fitting);
        QCOMPARE(out.rejected, rejected);
    }
}

void tst_source::readCorrectionTakesThePlace() {
    const QString path = write("a,b\r\nc\r\nd,e\r\n");
    const Outcome out = load(path, 1, DataFileReader::kDefaultChunkBytes, 1h, "c,");
    QVERIFY(out.error.isEmpty());
    QCOMPARE(out.rows, (QStringList{"a,b", "c,", "d,e"}));
    QCOMPARE(out.rejected, (QList<Rejected>{{2, "c"}}));
}

void tst_source::readWideCounters() {
    // A first line of 100,000 characters and 40,000 columns loads, and the next line too.
    QByteArray first;
    for (int i = 0; i < 40'000; ++i)
        first += (i ? "," : "") + QByteArray(i < 20'000 ? 1 : 2, 'x');
    first += QByteArray(100'000 - first.size(), 'y');
    QCOMPARE(first.size(), 100'000);
    const QByteArray second = QByteArray(39'999, ',') + sjis(u"末");
    const QString path = write(first + "\r\n" + second);
    const DataFileReader::FirstLine head = DataFileReader::readFirstLine(path);
    QCOMPARE(head.commaCount, qsizetype(39'999));
    for (qsizetype chunk : {qsizetype(4096), DataFileReader::kDefaultChunkBytes}) {
        const Outcome out = load(path, head.commaCount, chunk);
        QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
        QCOMPARE(out.rows.size(), 2);
        QCOMPARE(out.rows[0], QString::fromLatin1(first));
        QCOMPARE(out.rows[1], Cp932::decode(second));
    }
}

void tst_source::readUnreadable() {
    for (const QString& path : {m_dir.filePath("missing.csv"), m_dir.path()}) {
        const Outcome out = load(path, 0, 16);
        QVERIFY(!out.error.isEmpty());
        QVERIFY(!out.finished);
    }
}

void tst_source::readStopsWhenClosed() {
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += "a,b\r\n";
    const QString path = write(bytes);
    RowStore store;
    store.reset(1);
    DataFileReader reader(64);
    QVERIFY(reader.open(path, store));
    QCOMPARE(readAll(reader), DataFileReader::Status::Finished);
    QCOMPARE(reader.step(0ns), DataFileReader::Status::More);
    const qint64 rows = store.rowCount();
    QVERIFY(rows > 0 && rows < 1000);
    QCOMPARE(reader.linesRead(), rows);
    reader.close();
    QCOMPARE(reader.step(1h), DataFileReader::Status::Finished);
    QCOMPARE(store.rowCount(), rows);
}

void tst_source::readStopsWhileReadingAhead() {
    // Chunks big enough for the helper thread, which reads the next chunk while the rows of
    // this one are appended: closing (a stop) in the middle and reopening must be safe.
    QByteArray bytes;
    for (int i = 0; bytes.size() < 5 * 1024 * 1024; ++i)
        bytes += QByteArray::number(i) + "," + sjis(u"東京都ｶﾅ") + "\r\n";
    const QString path = write(bytes);
    RowStore store;
    store.reset(1);
    DataFileReader reader(1024 * 1024);
    QVERIFY(reader.open(path, store));
    QCOMPARE(readAll(reader), DataFileReader::Status::Finished);
    QCOMPARE(reader.step(0ns), DataFileReader::Status::More);
    QVERIFY(store.rowCount() > 0);
    reader.close();
    QCOMPARE(reader.step(1h), DataFileReader::Status::Finished);

    // Stopped again right after open, then destroyed without close().
    store.reset(1);
    {
        DataFileReader second(1024 * 1024);
        QVERIFY(second.open(path, store));
        QCOMPARE(second.readStep(0ns), DataFileReader::Status::More);
    }

    // Read in full, the same reader gives every row.
    store.reset(1);
    QVERIFY(reader.open(path, store));
    QCOMPARE(readAll(reader), DataFileReader::Status::Finished);
    DataFileReader::Status status = DataFileReader::Status::More;
    while (status == DataFileReader::Status::More)
        status = reader.step(1ms);
    QCOMPARE(status, DataFileReader::Status::Finished);
    const QStringList lines = referenceLines(bytes);
    QCOMPARE(store.rowCount(), qint64(lines.size()));
    for (qint64 r : {qint64(0), qint64(lines.size() / 2), qint64(lines.size() - 1)})
        QCOMPARE(store.rowText(r), lines[r]);
}

void tst_source::readSmallBudgetMakesProgress() {
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += QByteArray::number(i) + ",x\n";
    const QString path = write(bytes);
    RowStore store;
    store.reset(1);
    DataFileReader reader(256);
    QVERIFY(reader.open(path, store));
    QCOMPARE(readAll(reader), DataFileReader::Status::Finished);
    int steps = 0;
    qint64 last = 0;
    for (;;) {
        const DataFileReader::Status status = reader.step(0ns);
        if (status == DataFileReader::Status::Finished)
            break;
        QCOMPARE(status, DataFileReader::Status::More);
        QVERIFY(reader.linesRead() > last);
        last = reader.linesRead();
        ++steps;
    }
    QVERIFY(steps > 10);
    QCOMPARE(store.rowCount(), qint64(5000));
    QCOMPARE(store.rowText(4999), QStringLiteral("4999,x"));
}

void tst_source::misfitReason_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("commaCount");
    QTest::addColumn<bool>("quoted");
    QTest::addColumn<QString>("reason");
    QTest::newRow("too many") << "a,b,c,d,e,f,g" << 4 << false
                              << QStringLiteral("5 列のはずが 7 列です");
    QTest::newRow("too few") << "a" << 2 << false << QStringLiteral("3 列のはずが 1 列です");
    QTest::newRow("trailing comma counts")
        << "a,b," << 1 << false << QStringLiteral("2 列のはずが 3 列です");
    QTest::newRow("plain: quotes have no meaning")
        << "\"a,b\",1" << 1 << false << QStringLiteral("2 列のはずが 3 列です");
    QTest::newRow("empty line") << "" << 0 << false << QStringLiteral("1 列のはずが空の行です");
    QTest::newRow("quoted: a quoted comma is no cut")
        << "\"a,b\",1,2" << 1 << true << QStringLiteral("2 列のはずが 3 列です");
    QTest::newRow("quoted: an open quote")
        << "\"a,b" << 1 << true << QStringLiteral("2 列のはずが、引用符が閉じていません");
}

void tst_source::misfitReason() {
    QFETCH(QString, line);
    QFETCH(int, commaCount);
    QFETCH(bool, quoted);
    QFETCH(QString, reason);
    QCOMPARE(
        mdlvornel::MisfitReason(line, commaCount, quoted ? FieldMode::Quoted : FieldMode::Plain),
        reason);
}

QTEST_GUILESS_MAIN(tst_source)
#include "tst_source.moc"
