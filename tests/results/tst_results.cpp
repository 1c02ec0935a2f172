// Sorting the result list: by code units and in the Japanese order, stable, ascending and
// descending, against plain references; and the Japanese sort keys built from the stored bytes.
#include "ResultsTestSupport.h"
#include "base/Cp932.h"
#include "results/JapaneseCollator.h"
#include "results/JapaneseKeyPrefix.h"
#include "results/ResultListModel.h"
#include "results/ResultSort.h"
#include "source/RowStore.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <span>
#include <string_view>

class TestResults : public QObject {
    Q_OBJECT
private slots:
    void sort_data();
    void sort();
    void sortAscThenDescReverses();
    void sortIsStable_data();
    void sortIsStable();
    void sortMatchesReference_data();
    void sortMatchesReference();
    void japaneseOrderPairs_data();
    void japaneseOrderPairs();
    void japaneseOrderList();
    void japaneseTiesGoByCodeThenRow_data();
    void japaneseTiesGoByCodeThenRow();
    void japaneseKeyFromBytes_data();
    void japaneseKeyFromBytes();
    void japaneseKeyPrefixIsIcus_data();
    void japaneseKeyPrefixIsIcus();
    void japaneseKeyPrefixRandom_data();
    void japaneseKeyPrefixRandom();
    void japaneseManyEqualRows_data();
    void japaneseManyEqualRows();
    void japaneseMatchesCollator_data();
    void japaneseMatchesCollator();
};

namespace {

std::u16string_view u16(QStringView s) {
    return {s.utf16(), size_t(s.size())};
}

Order order(bool descending) {
    return descending ? Order::Descending : Order::Ascending;
}

// The one column of a test run once ascending and once descending.
void addOrderRows() {
    QTest::addColumn<bool>("descending");
    QTest::newRow("ascending") << false;
    QTest::newRow("descending") << true;
}

// The Japanese order as QCollator gives it, with the ties broken as the sort breaks them: fully
// equal texts by code units. (Rows with equal texts are left to a stable sort.)
QCollator japaneseCollator() {
    QCollator c{QLocale(QLocale::Japanese)};
    c.setNumericMode(true);
    return c;
}
bool japaneseLess(const QCollator& c, const QString& a, const QString& b) {
    const int r = c.compare(a, b);
    return r != 0 ? r < 0 : u16(a) < u16(b);
}

// Random rows made to tie often under the Japanese collation: one sound in hiragana, katakana
// and half-width katakana, voiced and small kana, digit runs with leading zeros and in full
// width, kanji, letters in both cases, shared prefixes long and short, and exact duplicates.
// With beyondCp932, also a combining voiced mark, an emoji and U+FFFD (a UTF-8 store).
QStringList randomJapaneseLines(int n, quint32 seed, bool beyondCp932) {
    static const QStringView all[] = {
        u"あ", u"ア", u"ｱ",  u"か", u"が", u"カ",   u"ｶﾞ",     u"ゃ",         u"や",     u"ー",
        u"1",  u"01", u"10", u"２", u"9",  u"丁目", u"東京",   u"愛宕",       u"新橋",   u"a",
        u"A",  u"ａ", u",",  u" ",  u"-",  u"ヴ",   u"\u3099", u"\U0001F600", u"\uFFFD", u"ゔ"};
    const std::span<const QStringView> pieces(all, std::size(all) - (beyondCp932 ? 0 : 4));
    return randomTexts(n, seed,
                       {QString(), QStringLiteral("東京都港区,"),
                        QStringLiteral("2024/01/01,あおやま,アオヤマ,ｱｵﾔﾏ,")},
                       pieces, 9);
}

} // namespace

void TestResults::sort_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty list") << QStringList{} << false << QStringList{};
    QTest::newRow("empty list, descending") << QStringList{} << true << QStringList{};
    QTest::newRow("one row") << QStringList{"b,1"} << true << QStringList{"b,1"};
    QTest::newRow("text, not numbers")
        << QStringList{"9,x", "10,x", "100,x"} << false << QStringList{"10,x", "100,x", "9,x"};
    QTest::newRow("text, not numbers, descending")
        << QStringList{"10,x", "9,x", "100,x"} << true << QStringList{"9,x", "100,x", "10,x"};
    QTest::newRow("whole row decides")
        << QStringList{"a,2", "a,10", "a,1"} << false << QStringList{"a,1", "a,10", "a,2"};
    QTest::newRow("prefix first") << QStringList{"abcde", "abcd", "abc", "abcdef", ""} << false
                                  << QStringList{"", "abc", "abcd", "abcde", "abcdef"};
    QTest::newRow("prefix last descending") << QStringList{"abcd", "abcdef", "", "abcde"} << true
                                            << QStringList{"abcdef", "abcde", "abcd", ""};
    QTest::newRow("code units: upper case first")
        << QStringList{"b", "a", "B", "A"} << false << QStringList{"A", "B", "a", "b"};
    QTest::newRow("japanese by code unit")
        << QStringList{"東京,1", "あ,2", "ア,3", "ｱ,4", "Ａ,5"} << false
        << QStringList{"あ,2", "ア,3", "東京,1", "Ａ,5", "ｱ,4"};
    QTest::newRow("long shared prefix")
        << QStringList{QString(30, u'z') + "b", QString(30, u'z') + "a", QString(30, u'z')} << false
        << QStringList{QString(30, u'z'), QString(30, u'z') + "a", QString(30, u'z') + "b"};
    QTest::newRow("NUL after the end still sorts after the shorter")
        << QStringList{QString("ab") + QChar(0), "ab", QString("ab") + QChar(0) + QChar(0)} << false
        << QStringList{"ab", QString("ab") + QChar(0), QString("ab") + QChar(0) + QChar(0)};
}

void TestResults::sort() {
    QFETCH(QStringList, lines);
    QFETCH(bool, descending);
    QFETCH(QStringList, expected);
    Results r(lines);
    r.sort(order(descending));
    QCOMPARE(r.texts(), expected);
}

void TestResults::sortAscThenDescReverses() {
    Results r({"c,1", "a,2", "10,x", "b,3", "9,x", "あ,4"});
    r.sort(Order::Ascending);
    QCOMPARE(r.texts(), (QStringList{"10,x", "9,x", "a,2", "b,3", "c,1", "あ,4"}));
    r.checkDescendingMirrors(Collation::Code);
}

void TestResults::sortIsStable_data() {
    addOrderRows();
}

void TestResults::sortIsStable() {
    QFETCH(bool, descending);
    // Equal texts on different source rows: their source rows must keep their order.
    const QStringList lines{"b,1", "a,1", "b,1", "a,1", "abcdefgh,1", "b,1", "abcdefgh,1"};
    Results r(lines);
    r.sort(order(descending));
    const std::vector<std::uint32_t> expected =
        descending ? std::vector<std::uint32_t>{0, 2, 5, 4, 6, 1, 3}
                   : std::vector<std::uint32_t>{1, 3, 4, 6, 0, 2, 5};
    QCOMPARE(r.model.rows(), expected);
}

void TestResults::sortMatchesReference_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("wideKeys"); // the keys of a result of more than 2^30 rows
    QTest::addColumn<QString>("start"); // put before every row
    for (const bool wide : {false, true}) {
        const char* keys = wide ? ", wide keys" : "";
        QTest::addRow("small ascending%s", keys) << 300 << false << wide << QString();
        QTest::addRow("small descending%s", keys) << 300 << true << wide << QString();
        // Large enough for the two-thread path.
        QTest::addRow("large ascending%s", keys) << 150000 << false << wide << QString();
        QTest::addRow("large descending%s", keys) << 150000 << true << wide << QString();
        // Every row's first key the same: the next level is sorted on two threads.
        const QString start = wide ? QStringLiteral("abcd") : QStringLiteral("ab");
        QTest::addRow("large, all begin alike%s", keys) << 150000 << false << wide << start;
        QTest::addRow("large, all begin alike, descending%s", keys)
            << 150000 << true << wide << start;
    }
}

void TestResults::sortMatchesReference() {
    QFETCH(int, count);
    QFETCH(bool, descending);
    QFETCH(bool, wideKeys);
    QFETCH(QString, start);
    ResultSort::setWideKeysForTesting(wideKeys);
    const auto restore = qScopeGuard([] { ResultSort::setWideKeysForTesting(false); });
    QStringList lines = randomLines(count, quint32(count) + (descending ? 1 : 0));
    for (QString& line : lines)
        line.prepend(start);
    Results r(lines);
    const std::vector<std::uint32_t> rows = shuffleRows(r.model, 42);

    std::vector<std::uint32_t> expected = rows;
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
        const QString sa = r.store.rowText(a);
        const QString sb = r.store.rowText(b);
        const auto ta = u16(sa);
        const auto tb = u16(sb);
        return descending ? tb < ta : ta < tb;
    });
    r.sort(order(descending));
    QVERIFY(r.model.rows() == expected);
}

void TestResults::japaneseOrderPairs_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    auto row = [](const char* name, const QString& first, const QString& second) {
        QTest::newRow(name) << first << second;
    };
    row("digit runs as numbers", "2丁目", "10丁目");
    row("one before two", "1丁目", "2丁目");
    row("number, then the rest of the row", "9,x", "10,x");
    row("full-width digit as a number", "２丁目", "10丁目");
    row("hiragana with its katakana, before the next sound", "アオヤマ", "あか");
    row("half-width with its full-width, before the next sound", "ｱｵﾔﾏ", "あか");
    row("half-width kana before every kanji", "ｱｵﾔﾏ", "亜");
    row("last kana before the first kanji", "ン", "亜");
    row("kanji in JIS order: 愛 (あい) before 元 (げん)", "愛宕", "元赤坂");
    row("kanji in JIS order: 元 before 新 (しん)", "元赤坂", "新橋");
    row("kanji in JIS order: 新 before 六 (ろく)", "新橋", "六本木");
    row("letters before kana", "Zoo", "あ");
    row("letters without regard to case first", "apple", "Banana");
    row("shorter first", "あお", "あおやま");
    row("empty first", "", "あ");
    // Rows long enough for their first key bytes to be made without ICU; numbers on both sides
    // of each change in ICU's encoding of them.
    row("two-byte number, three-byte number", "73,2020/07/06,小林翔", "74,2020/07/06,小林翔");
    row("three-byte number, four-byte number", "10233,2020/07/06,小林", "10234,2020/07/06,小林");
    row("four-byte number, digit pairs", "1042489,2020/07/06,小林", "1042490,2020/07/06,小林");
    row("more digit pairs", "00099999999,2020/07/06", "100000000,2020/07/06");
    row("trailing 00 pairs", "12345600,2020/07/06,小林", "12345601,2020/07/06,小林");
    row("long numbers", "123456789012345678901234567890,x", "123456789012345678901234567891,x");
    row("kana by sound, long rows", "ｻﾄｳ ﾀﾛｳ,京都府,ﾃﾞｰﾀ", "さとう みさき,京都府");
    row("kanji by JIS order, long rows", "愛宕一丁目二番地三号,東京都",
        "元赤坂一丁目二番地三号,東京都");
}

void TestResults::japaneseOrderPairs() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    // Both ways round, and the collator QCollator sets up agrees.
    for (const bool descending : {false, true}) {
        for (const bool swapped : {false, true}) {
            Results r(swapped ? QStringList{second, first} : QStringList{first, second});
            r.sort(order(descending), Collation::Japanese);
            const QStringList expected =
                descending ? QStringList{second, first} : QStringList{first, second};
            QCOMPARE(r.texts(), expected);
        }
    }
    QVERIFY(japaneseCollator().compare(first, second) < 0);
}

void TestResults::japaneseOrderList() {
    // The rows of a typical address list, jumbled as code order leaves them.
    Results r({"六本木,10丁目", "元赤坂,1丁目", "愛宕,2丁目", "新橋,1丁目", "ｱｵﾔﾏ,1", "あおやま,1",
               "六本木,1丁目", "アオヤマ,1", "六本木,2丁目"});
    r.sort(Order::Ascending, Collation::Japanese);
    const QStringList texts = r.texts();
    // The three spellings of one sound come first, next to each other.
    QCOMPARE((QSet<QString>{texts[0], texts[1], texts[2]}),
             (QSet<QString>{"ｱｵﾔﾏ,1", "あおやま,1", "アオヤマ,1"}));
    QCOMPARE(texts.mid(3), (QStringList{"愛宕,2丁目", "元赤坂,1丁目", "新橋,1丁目", "六本木,1丁目",
                                        "六本木,2丁目", "六本木,10丁目"}));
    r.checkDescendingMirrors(Collation::Japanese);
}

void TestResults::japaneseTiesGoByCodeThenRow_data() {
    addOrderRows();
}

void TestResults::japaneseTiesGoByCodeThenRow() {
    QFETCH(bool, descending);
    // "1丁目" and "01丁目" are fully equal to the collator (leading zeros do not count): the code
    // order decides ("0" < "1"); equal rows keep their source order.
    QCOMPARE(japaneseCollator().compare(QStringLiteral("1丁目"), QStringLiteral("01丁目")), 0);
    const QStringList lines{"1丁目", "01丁目", "1丁目", "あ", "01丁目", "1丁目"};
    Results r(lines);
    r.sort(order(descending), Collation::Japanese);
    const std::vector<std::uint32_t> expected = descending
                                                    ? std::vector<std::uint32_t>{3, 0, 2, 5, 1, 4}
                                                    : std::vector<std::uint32_t>{1, 4, 0, 2, 5, 3};
    QCOMPARE(r.model.rows(), expected);
}

void TestResults::japaneseKeyFromBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("short row") << "00000001,2020/07/06,小林翔" << false;
    // The key's first bytes come from the first 64 code units, then from more of the text.
    QTest::newRow("digit run across the first 64 units")
        << QString(60, u'ｱ') + QString(40, u'7') + ",x" << false;
    QTest::newRow("long ignorable start") << QString(80, QChar(1)) + "あいう" << false;
    QTest::newRow("exactly 64 units") << QString(64, u'か') << false;
    QTest::newRow("65 units") << QString(64, u'か') + "が" << false;
    QTest::newRow("surrogate pair across unit 64")
        << QString(63, u'a') + QStringLiteral("\U0001F600") + "b" << true;
    QTest::newRow("combining mark after unit 64")
        << QString(64, u'か') + QStringLiteral("\u3099") << true;
    QTest::newRow("long vowel after unit 64 (depends on the kana before it)")
        << QString(63, u'あ') + "カー" << false;
    QTest::newRow("a row of the usual kind, UTF-8")
        << "00000001,2020/07/06,小林翔,ｻﾄｳ ﾀﾛｳ,京都府,ﾃﾞｰﾀ" << true;
    QTest::newRow("a digit run across unit 32") << QString(30, u'ア') + "123456,x" << false;
    QTest::newRow("a digit run across unit 20")
        << QString(24, u'0') + "123,東京都港区愛宕" << false;
    QTest::newRow("exactly 32 units") << QString(32, u'か') << false;
}

void TestResults::japaneseKeyFromBytes() {
    // The key read straight from the stored bytes (decoded as far as it is read) is the key of
    // the whole decoded text, for every length asked.
    QFETCH(QString, text);
    QFETCH(bool, utf8);
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    const QByteArray bytes = utf8 ? text.toUtf8() : Cp932::encode(text).bytes;
    QCOMPARE(TextCodec::decode(encoding, bytes), text);
    for (const auto prefixes :
         {JapaneseCollator::KeyPrefixes::FromIcu, JapaneseCollator::KeyPrefixes::FromTable}) {
        const JapaneseCollator collator(prefixes);
        QVERIFY(collator.isValid());
        std::vector<std::uint8_t> whole;
        collator.restOfKey(u16(text), 0, whole);
        QVERIFY(!whole.empty() || text.isEmpty());
        for (const int count : {1, 12, 40, int(whole.size()), int(whole.size()) + 5}) {
            std::vector<std::uint8_t> fromText(size_t(count) + 1);
            std::vector<std::uint8_t> fromBytes(size_t(count) + 1);
            const int a = collator.keyBytes(u16(text), 0, count, fromText.data());
            const int b = collator.keyPrefix(encoding, bytes, count, fromBytes.data());
            QCOMPARE(b, a);
            QCOMPARE(a, std::min(count, int(whole.size())));
            QVERIFY(std::equal(fromBytes.begin(), fromBytes.begin() + b, whole.begin()));
            QVERIFY(std::equal(fromText.begin(), fromText.begin() + a, whole.begin()));
        }
    }
}

void TestResults::japaneseKeyPrefixIsIcus_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("made"); // without ICU
    QTest::newRow("a row of the usual kind")
        << "00000001,2020/07/06,小林翔,ｻﾄｳ ﾀﾛｳ,京都府,ﾃﾞｰﾀ" << true;
    QTest::newRow("kana of all three kinds") << "あいうえおアイウエオｱｲｳｴｵかきくけこ" << true;
    QTest::newRow("kanji") << "東京都港区愛宕一丁目二番地" << true;
    QTest::newRow("letters and signs") << "Hello, World! (abc) #1-2" << true;
    QTest::newRow("full-width and ASCII digits in one run") << "１２3４5,東京都港区" << true;
    QTest::newRow("a long number") << "1234567890123456789012345678901234567890,x" << true;
    QTest::newRow("leading zeros")
        << "0000000000000000000000000000000000000,東京都港区愛宕" << true;
    QTest::newRow("a long vowel mark after kana") << "カーテンカーテンカーテン" << false;
    QTest::newRow("an iteration mark after kana") << "アヽアヽアヽアヽアヽアヽ" << false;
    QTest::newRow("a combining voiced mark") << "か\u3099きくけこさしすせそたちつ" << false;
    QTest::newRow("a digit of another script in the run") << "12\u0663,2020/07/06,小林翔" << false;
    QTest::newRow("outside the basic plane") << "\U0001F600あいうえおかきくけこさしす" << false;
    QTest::newRow("an ignorable character") << "\u0001あいうえおかきくけこさしす" << false;
    QTest::newRow("weights end before the bytes asked") << "abcdefgh" << false;
    // Letters are one byte each: twelve of them are the bytes asked for.
    QTest::newRow("a combining mark right after the bytes made") << "abcdefghijkl\u0301" << false;
    QTest::newRow("a combining mark one letter later") << "abcdefghijklm\u0301" << true;
}

void TestResults::japaneseKeyPrefixIsIcus() {
    // The bytes made from a table are ICU's own, and where the table does not reach, none are
    // made (ICU then makes them).
    QFETCH(QString, text);
    QFETCH(bool, made);
    const JapaneseCollator collator;
    JapaneseKeyPrefix prefix(collator.icu());
    std::uint8_t icu[16] = {};
    std::uint8_t own[16] = {};
    const int count = 12;
    QCOMPARE(collator.keyBytes(u16(text), 0, count, icu), count);
    const int got = prefix.keyPrefix(u16(text), true, count, own);
    QCOMPARE(got >= 0, made);
    if (made)
        QVERIFY(std::equal(own, own + count, icu));
}

void TestResults::japaneseKeyPrefixRandom_data() {
    QTest::addColumn<QString>("pieces"); // separated by '|'
    QTest::addColumn<quint32>("seed");
    QTest::newRow("kana, marks and digits")
        << "あ|ア|ｱ|か|が|カ|ｶ|ﾞ|ﾟ|ゃ|ー|ｰ|ゝ|ゞ|ヽ|ヾ|々|〆|ヶ|ㇰ|ｧ|ゔ|ヴ|0|1|00|9|２|０|丁目"
        << 1u;
    QTest::newRow("letters, signs and digits")
        << "a|A|ａ|e|é|e\u0301|l|L|·|ß|Ω|,| |-|/|.|(|#|＃|\u3000|\t|0|1|9|00|①|²|\u0661" << 2u;
    QTest::newRow("everything together")
        << "あ|ｶﾞ|ー|ヾ|東|京|愛|髙|﨑|㈱|丨|\u3099|\u0323|\U0001F600|\uFFFD|\u0001|\uAC00|"
           "\u0E01|\u0E40|0|1|00|２|,| |a|Z"
        << 3u;
}

void TestResults::japaneseKeyPrefixRandom() {
    // Random texts from pieces where a table of characters goes wrong first (contexts,
    // contractions, combining marks, compression across scripts, digit runs with leading zeros,
    // long ones and mixed widths), each asked for several lengths, from the whole text and from
    // its first units only: whatever is made is ICU's key, byte for byte.
    QFETCH(QString, pieces);
    QFETCH(quint32, seed);
    const QStringList all = pieces.split(u'|');
    QRandomGenerator rng(seed);
    const JapaneseCollator collator;
    JapaneseKeyPrefix prefix(collator.icu());
    int made = 0;
    int asked = 0;
    for (int i = 0; i < 20000; ++i) {
        QString text;
        for (int k = int(rng.bounded(14)); k > 0; --k) {
            if (rng.bounded(6) == 0)
                text +=
                    QString::number(rng.bounded(1000000000)) + QString(int(rng.bounded(3)), u'0');
            else
                text += all[rng.bounded(qsizetype(all.size()))];
        }
        std::vector<std::uint8_t> whole;
        collator.restOfKey(u16(text), 0, whole);
        const auto units = size_t(text.size());
        const size_t known = rng.bounded(2) ? units : size_t(rng.bounded(int(units) + 1));
        for (const int count : {1, 6, 12, JapaneseKeyPrefix::kMaxCount}) {
            std::uint8_t own[JapaneseKeyPrefix::kMaxCount];
            const int got =
                prefix.keyPrefix(u16(text).substr(0, known), known == units, count, own);
            ++asked;
            QVERIFY(got != JapaneseKeyPrefix::kNeedsMore || known < units);
            if (got < 0)
                continue;
            ++made;
            QCOMPARE(got, count);
            QVERIFY2(int(whole.size()) >= count && std::equal(own, own + count, whole.begin()),
                     qPrintable(text));
        }
    }
    // The table reaches far enough to be tried at all.
    QVERIFY(made > asked / 20);
}

void TestResults::japaneseManyEqualRows_data() {
    addOrderRows();
}

void TestResults::japaneseManyEqualRows() {
    // Runs of thousands of rows whose keys tie far into them: one long row repeated, the same row
    // with one more character, and two spellings the collator finds fully equal (the code order
    // decides between them), interleaved.
    QFETCH(bool, descending);
    const QString longRow =
        QString(120, u'あ') + QStringLiteral(",東京都港区,") + QString(60, u'ア');
    const QStringList kinds{longRow, longRow + "x", QStringLiteral("01丁目"),
                            QStringLiteral("1丁目")};
    QStringList lines;
    QRandomGenerator rng(5);
    for (int i = 0; i < 4000; ++i)
        lines << kinds[int(rng.bounded(qsizetype(kinds.size())))];
    Results r(lines);
    const QCollator collator = japaneseCollator();
    std::vector<std::uint32_t> expected = r.model.rows();
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
        const QString sa = r.store.rowText(a);
        const QString sb = r.store.rowText(b);
        return descending ? japaneseLess(collator, sb, sa) : japaneseLess(collator, sa, sb);
    });
    r.sort(order(descending), Collation::Japanese);
    QVERIFY(r.model.rows() == expected);
}

void TestResults::japaneseMatchesCollator_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("small ascending") << 400 << false << false;
    QTest::newRow("small descending") << 400 << true << false;
    QTest::newRow("small, UTF-8") << 400 << false << true;
    // Large enough for the two-thread path and long tied runs.
    QTest::newRow("large ascending") << 100000 << false << false;
    QTest::newRow("large descending, UTF-8") << 100000 << true << true;
}

void TestResults::japaneseMatchesCollator() {
    QFETCH(int, count);
    QFETCH(bool, descending);
    QFETCH(bool, utf8);
    Results r(randomJapaneseLines(count, quint32(count) + (descending ? 1 : 0), utf8));
    QCOMPARE(r.store.encoding(), utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932);
    const std::vector<std::uint32_t> rows = shuffleRows(r.model, 7);

    // The reference: QCollator's compare. The UTF-8 rows hold a lone combining voiced mark, for
    // which ICU's compare is not transitive ("\u3099ー10" > "\u3099ーa" but its sort keys say
    // less); there the reference is QCollator's sort keys, which the sort follows.
    const QCollator collator = japaneseCollator();
    std::vector<QCollatorSortKey> keys;
    if (utf8) {
        for (qint64 i = 0; i < r.store.rowCount(); ++i)
            keys.push_back(collator.sortKey(r.store.rowText(i)));
    }
    std::vector<std::uint32_t> expected = rows;
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (descending)
            std::swap(a, b);
        const QString sa = r.store.rowText(a);
        const QString sb = r.store.rowText(b);
        if (!utf8)
            return japaneseLess(collator, sa, sb);
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : u16(sa) < u16(sb);
    });
    r.sort(order(descending), Collation::Japanese);
    QVERIFY(r.model.rows() == expected);
}

QTEST_GUILESS_MAIN(TestResults)
#include "tst_results.moc"
