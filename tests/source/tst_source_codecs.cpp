// Code page 932 and UTF-8 as data files hold them: round trips, invalid bytes, character starts,
// the encoding a file's bytes decide, and UTF-16 refused.
#include "SourceTestSupport.h"

#include "base/Cp932.h"
#include "base/EncodingScan.h"
#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/DataLoadJob.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

class tst_source_codecs : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

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

    void encodingChoice_data();
    void encodingChoice();
    void encodingScanInPieces_data();
    void encodingScanInPieces();
    void utf16Refused_data();
    void utf16Refused();
    void utf8Decoding_data();
    void utf8Decoding();

private:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("data.csv")) {
        return writeTestFile(m_dir, bytes, name);
    }
    QTemporaryDir m_dir;
};

void tst_source_codecs::cp932RoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << "abc,123 !~";
    QTest::newRow("kanji and kana") << QStringLiteral("東京都千代田区,ひらがな,カタカナ");
    QTest::newRow("half-width katakana") << QStringLiteral("ｱｲｳｴｵ,ﾃｽﾄﾞ");
    QTest::newRow("symbols") << QStringLiteral("①②㈱～－￥￢");
    QTest::newRow("controls ICU swaps") << QString::fromUtf16(u"a\u001Ab\u001Cc\u007Fd");
    QTest::newRow("nul and cr") << QString::fromUtf16(u"a\u0000b\rc", 6);
}

void tst_source_codecs::cp932RoundTrip() {
    QFETCH(QString, text);
    const Cp932::EncodeResult r = Cp932::encode(text);
    QVERIFY(r.ok());
    QCOMPARE(Cp932::decode(r.bytes), text);
}

void tst_source_codecs::cp932Unencodable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("badIndex");
    QTest::newRow("emoji") << QString::fromUtf16(u"ab\U0001F600c") << qsizetype(2);
    QTest::newRow("devanagari") << QString::fromUtf16(u"東京\u0939") << qsizetype(2);
    QTest::newRow("hangul after ascii") << QString::fromUtf16(u"x,\uD55C,y") << qsizetype(2);
}

void tst_source_codecs::cp932Unencodable() {
    QFETCH(QString, text);
    QFETCH(qsizetype, badIndex);
    QCOMPARE(Cp932::encode(text).badIndex, badIndex);
}

void tst_source_codecs::cp932InvalidBytes_data() {
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

void tst_source_codecs::cp932InvalidBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Cp932::decode(bytes), text);
}

void tst_source_codecs::cp932CharacterStarts_data() {
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
void tst_source_codecs::cp932CharacterStarts() {
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

void tst_source_codecs::cp932CodesOf_data() {
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

void tst_source_codecs::cp932CodesOf() {
    QFETCH(QString, character);
    QFETCH(QByteArrayList, codes);
    const std::vector<QByteArray> got = Cp932::codesOf(character[0].unicode());
    QCOMPARE(QByteArrayList(got.begin(), got.end()), codes);
}

void tst_source_codecs::encodingChoice_data() {
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

void tst_source_codecs::encodingChoice() {
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

void tst_source_codecs::encodingScanInPieces_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("utf-8") << QStringLiteral("a,東京\n😀,é\n").toUtf8() << true;
    QTest::newRow("utf-8 with a mark") << QByteArray("\xEF\xBB\xBF") + "a,\xE6\x9D\xB1" << true;
    QTest::newRow("code page 932") << sjis(u"東京,ｱｲｳ\r\n表,ソ\r\n") << false;
    QTest::newRow("cut at the end") << QByteArray("a,\xE6\x9D\xB1,\xE6\x9D") << false;
    QTest::newRow("two-byte only") << QStringLiteral("café,naïve\n").toUtf8() << true;
}

void tst_source_codecs::encodingScanInPieces() {
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

void tst_source_codecs::utf16Refused_data() {
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

void tst_source_codecs::utf16Refused() {
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

void tst_source_codecs::utf8Decoding_data() {
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

void tst_source_codecs::utf8Decoding() {
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

QTEST_GUILESS_MAIN(tst_source_codecs)
#include "tst_source_codecs.moc"
