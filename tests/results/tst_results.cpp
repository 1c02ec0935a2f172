#include "FileSizeLimit.h"
#include "StoreLines.h"
#include "TestFiles.h"
#include "base/Cp932.h"
#include "results/DisplayWidth.h"
#include "results/JapaneseCollator.h"
#include "results/JapaneseKeyPrefix.h"
#include "results/PageHeading.h"
#include "results/PrintPages.h"
#include "results/ResultCopy.h"
#include "results/ResultFile.h"
#include "results/ResultListModel.h"
#include "results/ResultSelection.h"
#include "results/ResultSort.h"
#include "results/RowWriter.h"
#include "shell/TransferFile.h"
#include "source/DataLoadJob.h"
#include "source/RowStore.h"

#include <QBuffer>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <span>
#include <string_view>

using Order = ResultSort::Order;
using Collation = ResultSort::Collation;

namespace {

// A source store holding lines, and a result list showing all of them in that order.
struct Results {
    explicit Results(const QStringList& lines) : model(&store) {
        fillStore(store, lines);
        std::vector<std::uint32_t> rows(size_t(lines.size()));
        std::iota(rows.begin(), rows.end(), 0u);
        model.setRows(std::move(rows));
    }
    QStringList texts() const {
        QStringList out;
        for (qint64 i = 0; i < model.count(); ++i)
            out << model.rowText(i);
        return out;
    }
    void sort(Order order, Collation collation = Collation::Code) {
        ResultSort::apply(model, ResultSort::sortedOrder(model, order, collation));
    }
    // Sorts ascending, then descending: the descending order is the ascending one reversed.
    void checkDescendingMirrors(Collation collation) {
        sort(Order::Ascending, collation);
        QStringList reversed = texts();
        std::reverse(reversed.begin(), reversed.end());
        sort(Order::Descending, collation);
        QCOMPARE(texts(), reversed);
    }

    RowStore store;
    ResultListModel model;
};

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

// Shows the rows in a shuffled order (so positions and source rows differ) and returns it.
std::vector<std::uint32_t> shuffleRows(ResultListModel& model, unsigned seed) {
    std::vector<std::uint32_t> rows = model.rows();
    std::shuffle(rows.begin(), rows.end(), std::mt19937(seed));
    model.setRows(rows);
    return rows;
}

// n texts, each a prefix and up to maxLength - 1 pieces drawn at random, one in eight a copy of
// an earlier text.
QStringList randomTexts(int n, quint32 seed, const QStringList& prefixes,
                        std::span<const QStringView> pieces, int maxLength) {
    QRandomGenerator rng(seed);
    QStringList lines;
    lines.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && rng.bounded(8) == 0) {
            lines << lines[int(rng.bounded(i))]; // duplicate
            continue;
        }
        QString s = prefixes[int(rng.bounded(qsizetype(prefixes.size())))];
        const int len = int(rng.bounded(maxLength));
        for (int k = 0; k < len; ++k)
            s += pieces[rng.bounded(int(pieces.size()))];
        lines << s;
    }
    return lines;
}

// Random texts over a few letters, with shared prefixes, exact duplicates, prefixes of each other,
// NUL and characters above the Basic Multilingual Plane, so that every tie-break is exercised.
QStringList randomLines(int n, quint32 seed) {
    static const QStringView alphabet[] = {QStringView(u"\0", 1), u"a", u"b", u",", u"\xffff",
                                           u"\U0001F600",         u"日"};
    return randomTexts(
        n, seed,
        {QString(), QStringLiteral("2024/01/01,"), QString(37, u'x') + QStringLiteral(",common,")},
        alphabet, 12);
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

class TestResults : public QObject {
    Q_OBJECT
private slots:
    void displayWidth_data();
    void displayWidth();
    // --- sort ---
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

    // --- selection runs ---
    void normalised();
    void afterReorder();

    // --- copy ---
    void copy_data();
    void copy();
    void copyAfterDescendingSort();
    void copyManyRows();

    // --- result file ---
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

    // Printing: where the lines go, and the heading of every page.
    void printPages_data();
    void printPages();
    void printPageCount_data();
    void printPageCount();
    void pageHeading_data();
    void pageHeading();
};

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

void TestResults::normalised() {
    const std::vector<RowRange> in{{7, 9}, {0, 1}, {2, 3}, {8, 12}, {20, 30}, {-5, -1}};
    const std::vector<RowRange> expected{{0, 3}, {7, 12}, {20, 24}};
    QCOMPARE(ResultSelection::normalised(in, 25), expected);
    QCOMPARE(ResultSelection::rowCount(expected), qint64(4 + 6 + 5));
    QVERIFY(ResultSelection::normalised({}, 10).empty());
}

void TestResults::afterReorder() {
    // Rows 1, 2 and 4 of six selected; the order reverses them.
    const std::vector<std::uint32_t> order{5, 4, 3, 2, 1, 0};
    const std::vector<RowRange> expected{{1, 1}, {3, 4}};
    QCOMPARE(ResultSelection::afterReorder({{1, 2}, {4, 4}}, order), expected);
    const std::vector<RowRange> all{{0, 5}};
    QCOMPARE(ResultSelection::afterReorder(all, order), all);
    QVERIFY(ResultSelection::afterReorder({}, order).empty());
}

void TestResults::copy_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("ranges"); // first, last pairs
    QTest::addColumn<QString>("expected");
    const QStringList three{"a,b", "c,d", "e,f"};
    QTest::newRow("three rows, no CR LF after the last")
        << three << QList<int>{0, 2} << QStringLiteral("a,b\r\nc,d\r\ne,f");
    QTest::newRow("nothing selected") << three << QList<int>{} << QString();
    QTest::newRow("one row") << three << QList<int>{1, 1} << QStringLiteral("c,d");
    QTest::newRow("top to bottom, each once")
        << three << QList<int>{2, 2, 0, 0, 0, 0} << QStringLiteral("a,b\r\ne,f");
    QTest::newRow("duplicates kept") << QStringList{"x,1", "x,1", "y,2", "x,1"} << QList<int>{0, 3}
                                     << QStringLiteral("x,1\r\nx,1\r\ny,2\r\nx,1");
    QTest::newRow("empty row texts kept")
        << QStringList{"", "", "z"} << QList<int>{0, 2} << QStringLiteral("\r\n\r\nz");
    QTest::newRow("japanese") << QStringList{"東京,１", "大阪,２"} << QList<int>{0, 1}
                              << QStringLiteral("東京,１\r\n大阪,２");
}

void TestResults::copy() {
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, ranges);
    QFETCH(QString, expected);
    Results r(lines);
    std::vector<RowRange> runs;
    for (qsizetype i = 0; i + 1 < ranges.size(); i += 2)
        runs.push_back({ranges[i], ranges[i + 1]});
    const QString text = ResultCopy::text(r.model, runs);
    QCOMPARE(text, expected);
}

void TestResults::copyAfterDescendingSort() {
    Results r({"b,2", "d,4", "a,1", "c,3"});
    // Rows "b,2", "d,4" and "c,3" selected before the sort stay selected after it.
    const std::vector<RowRange> before{{0, 1}, {3, 3}};
    const std::vector<std::uint32_t> order = ResultSort::sortedOrder(r.model, Order::Descending);
    ResultSort::apply(r.model, order);
    const std::vector<RowRange> after = ResultSelection::afterReorder(before, order);
    QCOMPARE(ResultCopy::text(r.model, after), QStringLiteral("d,4\r\nc,3\r\nb,2"));
    QCOMPARE(ResultCopy::text(r.model, {{0, 3}}), QStringLiteral("d,4\r\nc,3\r\nb,2\r\na,1"));
}

void TestResults::copyManyRows() {
    // Enough rows for the two-thread path, in a shuffled order, with selection runs that cut
    // through the middle.
    Results r(randomLines(150000, 7));
    const std::vector<std::uint32_t> rows = shuffleRows(r.model, 3);
    const std::vector<RowRange> runs{{140000, 149999}, {5, 70000}, {70002, 70002}, {80000, 139999}};
    QStringList expected;
    for (const RowRange& run : ResultSelection::normalised(runs, r.model.count()))
        for (qint64 i = run.first; i <= run.last; ++i)
            expected << r.store.rowText(rows[size_t(i)]);
    QVERIFY(ResultCopy::text(r.model, runs) == expected.join(QStringLiteral("\r\n")));
}

void TestResults::save_data() {
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

void TestResults::save() {
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

void TestResults::writeRunsFromTheStore_data() {
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
void TestResults::writeRunsFromTheStore() {
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

void TestResults::saveMatchesTheCodec() {
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

void TestResults::saveIntoFolderFails() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("taken");
    QVERIFY(QDir().mkdir(folder));
    Results r({"a,b"});
    const std::optional<ResultFile::Error> error = ResultFile::save(folder, r.model);
    QVERIFY(error);
    QVERIFY(error->number > 0);
    QVERIFY(!error->description.isEmpty());
}

void TestResults::saveWriteFailureIsAWriteError() {
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

void TestResults::message() {
    QCOMPARE(ResultFile::message({5, QStringLiteral("Is a directory")}),
             QStringLiteral("エラー番号 = 5\rIs a directory"));
}

void TestResults::displayWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("ASCII") << "a,b,c" << 5;
    QTest::newRow("kanji") << "東京,大阪" << 9;
    QTest::newRow("kana") << "あア" << 4;
    QTest::newRow("half-width katakana") << "ｱｲｳ" << 3;
    QTest::newRow("full-width letters and space") << "Ａ　Ｂ" << 6;
    QTest::newRow("hangul") << "한국" << 4;
    QTest::newRow("surrogate pair") << QString::fromUcs4(U"\U00020BB7x") << 3;
    QTest::newRow("lone surrogate") << QString(QChar(0xD842)) << 1;
    QTest::newRow("accented Latin") << "café" << 4;
    QTest::newRow("Greek and Cyrillic") << "αЖ" << 2;
}

void TestResults::displayWidth() {
    QFETCH(QString, text);
    QFETCH(int, columns);
    QCOMPARE(DisplayWidth::columns(text), qsizetype(columns));
}

void TestResults::everyOutputWritesTheSameBytes_data() {
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

void TestResults::everyOutputWritesTheSameBytes() {
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

void TestResults::printPages_data() {
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<int>("headerLines");
    QTest::addColumn<QList<int>>("rowLines");
    // "page:line" of every printed line in turn, the header's lines counted in the line.
    QTest::addColumn<QStringList>("places");
    QTest::addColumn<int>("usedHeaderLines");
    QTest::newRow("no row: one page") << 5 << 0 << QList<int>{} << QStringList{} << 0;
    QTest::newRow("a page filled exactly")
        << 3 << 0 << QList<int>{1, 1, 1} << QStringList{"1:0", "1:1", "1:2"} << 0;
    QTest::newRow("the fourth row on the next page")
        << 3 << 0 << QList<int>{1, 1, 1, 1} << QStringList{"1:0", "1:1", "1:2", "2:0"} << 0;
    QTest::newRow("the header on every page")
        << 3 << 1 << QList<int>{1, 1, 1} << QStringList{"1:1", "1:2", "2:1"} << 1;
    QTest::newRow("a row that fits a page is not split")
        << 4 << 0 << QList<int>{2, 3} << QStringList{"1:0", "1:1", "2:0", "2:1", "2:2"} << 0;
    QTest::newRow("a row as long as the room under the header moves on")
        << 4 << 1 << QList<int>{1, 3} << QStringList{"1:1", "2:1", "2:2", "2:3"} << 1;
    QTest::newRow("a row longer than a page goes on where it is")
        << 3 << 0 << QList<int>{1, 5} << QStringList{"1:0", "1:1", "1:2", "2:0", "2:1", "2:2"} << 0;
    QTest::newRow("a row longer than a page, under the header")
        << 3 << 1 << QList<int>{5} << QStringList{"1:1", "1:2", "2:1", "2:2", "3:1"} << 1;
    QTest::newRow("a header that leaves no room is left out")
        << 2 << 2 << QList<int>{1, 1, 1} << QStringList{"1:0", "1:1", "2:0"} << 0;
    QTest::newRow("a page of no lines holds one")
        << 0 << 0 << QList<int>{1, 1} << QStringList{"1:0", "2:0"} << 0;
}

void TestResults::printPages() {
    QFETCH(int, linesPerPage);
    QFETCH(int, headerLines);
    QFETCH(QList<int>, rowLines);
    QFETCH(QStringList, places);
    QFETCH(int, usedHeaderLines);
    PrintPages pages(linesPerPage, headerLines);
    QCOMPARE(pages.headerLines(), usedHeaderLines);
    QStringList placed;
    for (const int lines : rowLines)
        pages.addRow(lines, [&placed](qint64 page, qint64 line) {
            placed << QStringLiteral("%1:%2").arg(page).arg(line);
        });
    QCOMPARE(placed, places);
    // The count is that of the last page used, and the same when nothing is told where.
    const qint64 last = places.isEmpty() ? 1 : places.last().section(u':', 0, 0).toLongLong();
    QCOMPARE(pages.pages(), last);
    PrintPages counted(linesPerPage, headerLines);
    for (const int lines : rowLines)
        counted.addRow(lines);
    QCOMPARE(counted.pages(), last);
}

void TestResults::printPageCount_data() {
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<int>("headerLines");
    QTest::addColumn<qint64>("rows"); // of one line each
    QTest::addColumn<qint64>("expected");
    QTest::newRow("no row") << 30 << 1 << qint64(0) << qint64(1);
    QTest::newRow("29 rows under a header: one page") << 30 << 1 << qint64(29) << qint64(1);
    QTest::newRow("30 rows under a header: two") << 30 << 1 << qint64(30) << qint64(2);
    QTest::newRow("100 rows, 29 a page") << 30 << 1 << qint64(100) << qint64(4);
    QTest::newRow("a million rows, 60 a page") << 60 << 0 << qint64(1000000) << qint64(16667);
}

void TestResults::printPageCount() {
    QFETCH(int, linesPerPage);
    QFETCH(int, headerLines);
    QFETCH(qint64, rows);
    QFETCH(qint64, expected);
    PrintPages pages(linesPerPage, headerLines);
    for (qint64 i = 0; i < rows; ++i)
        pages.addRow(1);
    QCOMPARE(pages.pages(), expected);
}

void TestResults::pageHeading_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("dateText");
    QTest::newRow("the name without its folders")
        << "/home/user/とても長いフォルダーの名前/申込者一覧.csv" << QDate(2024, 1, 5)
        << "申込者一覧.csv"
        << "2024/01/05";
    QTest::newRow("a name alone") << "data.csv" << QDate(2026, 12, 31) << "data.csv"
                                  << "2026/12/31";
    QTest::newRow("no data file") << QString() << QDate(2025, 10, 9) << QString() << "2025/10/09";
}

void TestResults::pageHeading() {
    QFETCH(QString, path);
    QFETCH(QDate, date);
    QFETCH(QString, fileName);
    QFETCH(QString, dateText);
    const PageHeading heading = PageHeading::make(path, date);
    QCOMPARE(heading.fileName, fileName);
    QCOMPARE(heading.date, dateText);
    QCOMPARE(PageHeading::pageNumber(1, 3), QStringLiteral("1 / 3"));
    QCOMPARE(PageHeading::pageNumber(12, 120), QStringLiteral("12 / 120"));
}

QTEST_GUILESS_MAIN(TestResults)
#include "tst_results.moc"
