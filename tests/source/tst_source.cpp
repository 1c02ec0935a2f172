#include "base/Cp932.h"
#include "base/EncodingScan.h"
#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/DataLoadJob.h"
#include "source/FieldModeScan.h"
#include "source/GetFileName.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"
#include "source/mdlvornel.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <limits>

using namespace std::chrono_literals;

namespace {

QByteArray sjis(QStringView text) {
    const Cp932::EncodeResult r = Cp932::encode(text);
    Q_ASSERT(r.ok());
    return r.bytes;
}

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

// Lines as a plain reading of the whole text gives them: LF or CR LF ends a line.
QStringList referenceLines(const QByteArray& bytes) {
    const QString text = Cp932::decode(bytes);
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

} // namespace

class tst_source : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void lineFits_data();
    void lineFits();

    void cp932RoundTrip_data();
    void cp932RoundTrip();
    void cp932Unencodable_data();
    void cp932Unencodable();
    void cp932InvalidBytes_data();
    void cp932InvalidBytes();
    void cp932CharacterStarts_data();
    void cp932CharacterStarts();
    void cp932CodesOf_data();
    void cp932CodesOf();

    void getFileName_data();
    void getFileName();

    void firstLine_data();
    void firstLine();
    void firstLineUnreadable_data();
    void firstLineUnreadable();
    void readOrdinaryFileUnderDev();

    void encodingChoice_data();
    void encodingChoice();
    void encodingScanInPieces_data();
    void encodingScanInPieces();
    void utf16Refused_data();
    void utf16Refused();
    void utf8Decoding_data();
    void utf8Decoding();
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
    void storeWidensCommaPositions();
    void readStopsWhenClosed();
    void readStopsWhileReadingAhead();
    void storeAppendsRowsOfAnyLength();
    void storeFindsRowsWhereverTheyLie_data();
    void storeFindsRowsWhereverTheyLie();
    void readSmallBudgetMakesProgress();

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
    void misfitReason_data();
    void misfitReason();
    void loadJobNoticesAFileThatChanged_data();
    void loadJobNoticesAFileThatChanged();
    void loadJobDecidesOnTheWholeFile_data();
    void loadJobDecidesOnTheWholeFile();

    void quotedLoad_data();
    void quotedLoad();
    void fieldModeInPieces_data();
    void fieldModeInPieces();
    void loadJobJudgesFieldModeInTurns_data();
    void loadJobJudgesFieldModeInTurns();

private:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("data.csv")) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
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

void tst_source::cp932RoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << "abc,123 !~";
    QTest::newRow("kanji and kana") << QStringLiteral("東京都千代田区,ひらがな,カタカナ");
    QTest::newRow("half-width katakana") << QStringLiteral("ｱｲｳｴｵ,ﾃｽﾄﾞ");
    QTest::newRow("symbols") << QStringLiteral("①②㈱～－￥￢");
    QTest::newRow("controls ICU swaps") << QString::fromUtf16(u"a\u001Ab\u001Cc\u007Fd");
    QTest::newRow("nul and cr") << QString::fromUtf16(u"a\u0000b\rc", 6);
}

void tst_source::cp932RoundTrip() {
    QFETCH(QString, text);
    const Cp932::EncodeResult r = Cp932::encode(text);
    QVERIFY(r.ok());
    QCOMPARE(Cp932::decode(r.bytes), text);
}

void tst_source::cp932Unencodable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("badIndex");
    QTest::newRow("emoji") << QString::fromUtf16(u"ab\U0001F600c") << qsizetype(2);
    QTest::newRow("devanagari") << QString::fromUtf16(u"東京\u0939") << qsizetype(2);
    QTest::newRow("hangul after ascii") << QString::fromUtf16(u"x,\uD55C,y") << qsizetype(2);
}

void tst_source::cp932Unencodable() {
    QFETCH(QString, text);
    QFETCH(qsizetype, badIndex);
    QCOMPARE(Cp932::encode(text).badIndex, badIndex);
}

void tst_source::cp932InvalidBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString r(QChar(0xFFFD));
    QTest::newRow("0x80 alone") << QByteArray("a\x80"
                                              "b")
                                << "a" + r + "b";
    QTest::newRow("0xA0 and 0xFD..0xFF")
        << QByteArray("\xA0x\xFDy\xFE\xFF") << r + "x" + r + "y" + r + r;
    QTest::newRow("lead byte before comma") << QByteArray("a\x81,b") << "a" + r + ",b";
    QTest::newRow("lead byte at end") << QByteArray("ab\x88") << "ab" + r;
    QTest::newRow("unmapped pair is one character") << QByteArray("a\x85\x40"
                                                                  "b")
                                                    << "a" + r + "b";
    QTest::newRow("lead byte before blank") << QByteArray("\x9F b") << r + " b";
}

void tst_source::cp932InvalidBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Cp932::decode(bytes), text);
}

void tst_source::cp932CharacterStarts_data() {
    QTest::addColumn<QByteArray>("alphabet"); // the bytes the texts are drawn from
    QTest::addColumn<int>("length");
    QTest::newRow("kanji and ASCII")
        << QByteArray("\x93\x8C\x8B\x9E\x90\x5F\xDF\xDE\x90\xEC,a1") << 200;
    // Long runs of lead bytes: whether a place starts a character depends on every one of them.
    QTest::newRow("lead bytes only") << QByteArray("\x81\x88\x9F\xE0\xEA\xFC") << 300;
    QTest::newRow("leads with bytes that pair with none")
        << QByteArray("\x81\x88\xE0\xFC\x7F\x80\xFD\xFF\x20,") << 200;
    QTest::newRow("unmapped pairs and kana")
        << QByteArray("\x85\x86\x40\xA0\xA1\xDF\xEF\xF0") << 200;
    QTest::newRow("every byte") << QByteArray() << 400;
}

// Every place of random texts, against the rule spelled out: from the start, a lead byte and the
// next byte are one character when they decode to one, every other byte is one on its own.
void tst_source::cp932CharacterStarts() {
    QFETCH(QByteArray, alphabet);
    QFETCH(int, length);
    std::vector<std::array<bool, 256>> pairs(256);
    for (int lead = 0; lead < 256; ++lead) {
        for (int next = 0; next < 256; ++next) {
            const char two[] = {char(lead), char(next)};
            pairs[size_t(lead)][size_t(next)] = Cp932::isLeadByte(std::uint8_t(lead)) &&
                                                Cp932::decode(QByteArrayView(two, 2)).size() == 1;
        }
    }
    QRandomGenerator random(20261209);
    for (int round = 0; round < 40; ++round) {
        QByteArray text(length - round, '\0');
        for (char& b : text)
            b = alphabet.isEmpty() ? char(random.bounded(256))
                                   : alphabet[random.bounded(int(alphabet.size()))];
        std::vector<bool> starts(size_t(text.size()) + 1, false);
        for (qsizetype i = 0; i <= text.size();) {
            starts[size_t(i)] = true;
            const bool pair =
                i + 1 < text.size() && pairs[std::uint8_t(text[i])][std::uint8_t(text[i + 1])];
            i += pair ? 2 : 1;
        }
        for (qsizetype at = 0; at <= text.size(); ++at)
            QVERIFY2(Cp932::startsCharacter(text, at) == starts[size_t(at)],
                     qPrintable(QStringLiteral("byte %1 of %2")
                                    .arg(at)
                                    .arg(QString::fromLatin1(text.toHex()))));
    }
}

void tst_source::cp932CodesOf_data() {
    QTest::addColumn<QString>("character");
    QTest::addColumn<QByteArrayList>("codes"); // the usual one first
    QTest::newRow("ASCII") << QStringLiteral("A") << QByteArrayList{"A"};
    QTest::newRow("half-width katakana") << QStringLiteral("\uFF71") << QByteArrayList{"\xB1"};
    QTest::newRow("kanji") << QStringLiteral("\u6771") << QByteArrayList{"\x93\x8C"};
    QTest::newRow("three codes") << QStringLiteral("\u2235")
                                 << QByteArrayList{"\x81\xE6", "\x87\x9A", "\xFA\x5B"};
    QTest::newRow("two codes") << QStringLiteral("\u2160")
                               << QByteArrayList{"\x87\x54", "\xFA\x4A"};
    QTest::newRow("not in the code page") << QStringLiteral("\u00E9") << QByteArrayList{};
}

void tst_source::cp932CodesOf() {
    QFETCH(QString, character);
    QFETCH(QByteArrayList, codes);
    const std::vector<QByteArray> got = Cp932::codesOf(character[0].unicode());
    QCOMPARE(QByteArrayList(got.begin(), got.end()), codes);
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

void tst_source::encodingChoice_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("wholeFile");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<bool>("mark");
    QTest::newRow("ascii only") << QByteArray("a,b\r\n") << true << false << false;
    QTest::newRow("code page 932") << sjis(u"東京,表\r\n") << true << false << false;
    QTest::newRow("utf-8") << QStringLiteral("東京,表\n").toUtf8() << true << true << false;
    QTest::newRow("utf-8 with a mark")
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("東").toUtf8() << true << true << true;
    QTest::newRow("a mark before ascii") << QByteArray("\xEF\xBB\xBF"
                                                       "a,b")
                                         << true << true << true;
    // Half-width katakana pairs of code page 932 that are valid two-byte UTF-8 too (ﾏｲﾅｽ,ﾟｱ
    // reads as Greek, Latin Extended-A and N'Ko there).
    QTest::newRow("katakana that reads as utf-8")
        << QByteArray("\xCF\xB2\xC5\xBD,\xDF\xB1") << true << false << false;
    QTest::newRow("half-width katakana") << sjis(u"ｱｲｳｴｵ,ﾃｽﾄﾞ\r\n") << true << false << false;
    // Two-byte characters alone are UTF-8: Latin letters, even where their bytes could be
    // katakana (é is ﾃｩ), and the signs of Latin-1.
    QTest::newRow("two-byte only: café")
        << QStringLiteral("café,1\n").toUtf8() << true << true << false;
    QTest::newRow("two-byte only: 25°C ±1")
        << QStringLiteral("25°C,±1\n").toUtf8() << true << true << false;
    QTest::newRow("two-byte only: Москва")
        << QStringLiteral("Москва,1\n").toUtf8() << true << true << false;
    QTest::newRow("two-byte only: Größe")
        << QStringLiteral("Größe,Äpfel\n").toUtf8() << true << true << false;
    QTest::newRow("utf-8 with a stray byte")
        << QByteArray("\xE6\x9D\xB1,\xFF") << true << false << false;
    // A sample cut inside a character is still UTF-8, unless it is the whole file.
    QTest::newRow("sample cut in a character")
        << QByteArray("a,\xE6\x9D") << false << true << false;
    QTest::newRow("file cut in a character") << QByteArray("a,\xE6\x9D") << true << false << false;
    QTest::newRow("overlong form") << QByteArray("\xC0\xAF") << true << false << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << true << false << false;
}

void tst_source::encodingChoice() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, wholeFile);
    QFETCH(bool, utf8);
    QFETCH(bool, mark);
    const TextCodec::Detected d = TextCodec::detect(bytes, wholeFile);
    QCOMPARE(d.encoding == TextEncoding::Utf8, utf8);
    QCOMPARE(d.byteOrderMark, mark);
    if (!wholeFile)
        return;
    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(write(bytes));
    QVERIFY(first.ok);
    QCOMPARE(first.detected.encoding == TextEncoding::Utf8, utf8);
    QCOMPARE(first.detected.byteOrderMark, mark);
}

void tst_source::encodingScanInPieces_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("utf-8") << QStringLiteral("a,東京\n😀,é\n").toUtf8() << true;
    QTest::newRow("utf-8 with a mark") << QByteArray("\xEF\xBB\xBF") + "a,\xE6\x9D\xB1" << true;
    QTest::newRow("code page 932") << sjis(u"東京,ｱｲｳ\r\n表,ソ\r\n") << false;
    QTest::newRow("cut at the end") << QByteArray("a,\xE6\x9D\xB1,\xE6\x9D") << false;
    QTest::newRow("two-byte only") << QStringLiteral("café,naïve\n").toUtf8() << true;
}

void tst_source::encodingScanInPieces() {
    // Pieces of any length, a character cut between them anywhere, give the whole's verdict.
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QCOMPARE(TextCodec::detect(bytes, true).encoding == TextEncoding::Utf8, utf8);
    for (qsizetype piece = 1; piece <= 5; ++piece) {
        for (qsizetype first = 0; first < piece && first <= bytes.size(); ++first) {
            EncodingScan scan;
            scan.feed(QByteArrayView(bytes).first(first));
            for (qsizetype at = first; at < bytes.size(); at += piece)
                scan.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
            QCOMPARE(scan.result(true).encoding == TextEncoding::Utf8, utf8);
        }
    }
}

void tst_source::utf16Refused_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("refused");
    const QString text = QStringLiteral("東京,1\r\nabc,2\r\n");
    QByteArray little(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QByteArray big;
    for (const QChar c : text)
        big += char(c.unicode() >> 8), big += char(c.unicode() & 0xFF);
    QTest::newRow("little-endian with a mark") << "\xFF\xFE" + little << true;
    QTest::newRow("big-endian with a mark") << "\xFE\xFF" + big << true;
    QTest::newRow("little-endian without a mark") << little << true;
    QTest::newRow("big-endian without a mark") << big << true;
    // NUL bytes in an 8-bit file do not make it UTF-16: its CR LF is no pair of units.
    QTest::newRow("nul bytes in code page 932") << QByteArray("a\0b,c\r\n\0,\0\r\n", 12) << false;
    QTest::newRow("code page 932") << sjis(u"東京,1\r\n") << false;
}

void tst_source::utf16Refused() {
    // Refused before anything is read, in the window and on the command line alike (both start
    // with the first line), with a message that says what the file is and what to do.
    QFETCH(QByteArray, bytes);
    QFETCH(bool, refused);
    const QString path = write(bytes);
    DataLoadJob job(path);
    const std::optional<QString> error = job.readFirstLine();
    QCOMPARE(error.has_value(), refused);
    if (refused) {
        QCOMPARE(*error, TextCodec::utf16RefusedText());
        QVERIFY(error->contains(QStringLiteral("UTF-16")));
        QVERIFY(error->contains(QStringLiteral("UTF-8")));
        QVERIFY(error->contains(QStringLiteral("シフトJIS")));
    }
}

void tst_source::utf8Decoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QChar r(0xFFFD);
    QTest::newRow("valid") << QByteArray("a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80")
                           << QStringLiteral("aé東\U0001F600");
    // One U+FFFD for every byte that is not part of a valid character.
    QTest::newRow("lone continuation") << QByteArray("a\x80"
                                                     "b")
                                       << QStringLiteral("a%1b").arg(r);
    QTest::newRow("cut three-byte") << QByteArray("\xE6\x9D,x") << QString("%1%1,x").arg(r);
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QString("%1%1").arg(r);
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QString("%1%1%1").arg(r);
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QString(4, r);
    QTest::newRow("ff fe") << QByteArray("\xFF\xFEz") << QStringLiteral("%1%1z").arg(r);
}

void tst_source::utf8Decoding() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(TextCodec::decode(TextEncoding::Utf8, bytes), text);
    // The prefix decoder agrees with the whole one at every length.
    for (qsizetype n = 0; n <= text.size(); ++n) {
        std::vector<char16_t> out(size_t(bytes.size()) + 1);
        const qsizetype got = TextCodec::decodePrefix(TextEncoding::Utf8, bytes, out.data(), n);
        QCOMPARE(QStringView(out.data(), got), QStringView(text).first(n));
    }
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

void tst_source::storeWidensCommaPositions() {
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

void tst_source::storeAppendsRowsOfAnyLength() {
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

void tst_source::storeFindsRowsWhereverTheyLie_data() {
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

void tst_source::storeFindsRowsWhereverTheyLie() {
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

void tst_source::loadJobOutcomes_data() {
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

void tst_source::loadJobOutcomes() {
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

void tst_source::loadJobFirstLineLongerThanTheSample_data() {
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

void tst_source::loadJobFirstLineLongerThanTheSample() {
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

void tst_source::loadJobDecidesOnTheWholeFile_data() {
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

void tst_source::loadJobDecidesOnTheWholeFile() {
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

void tst_source::loadJobFileGrowsWhileLoading_data() {
    QTest::addColumn<DataLoadJob::Stage>("growsIn");
    QTest::addColumn<bool>("newLinesLoaded");
    // The first pass reads to the end it finds, however far the file has grown by then; the
    // second pass only cuts what the first read.
    QTest::newRow("while its bytes are read") << DataLoadJob::Stage::Reading << true;
    QTest::newRow("after its bytes were read") << DataLoadJob::Stage::Loading << false;
}

void tst_source::loadJobFileGrowsWhileLoading() {
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

void tst_source::loadJobHeaderLine_data() {
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

void tst_source::loadJobHeaderLine() {
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

void tst_source::loadJobRefusesTooManyRows_data() {
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

void tst_source::loadJobRefusesTooManyRows() {
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

// What happens to the file while it loads.
enum class Change { None, CutShort, SameSizeRewritten, Grown, ReplacedByRename, Touched };
Q_DECLARE_METATYPE(Change)

void tst_source::loadJobNoticesAFileThatChanged_data() {
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
void tst_source::loadJobNoticesAFileThatChanged() {
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

void tst_source::quotedLoad_data() {
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

void tst_source::quotedLoad() {
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

void tst_source::fieldModeInPieces_data() {
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
void tst_source::fieldModeInPieces() {
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

void tst_source::loadJobJudgesFieldModeInTurns_data() {
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
void tst_source::loadJobJudgesFieldModeInTurns() {
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

QTEST_GUILESS_MAIN(tst_source)
#include "tst_source.moc"
