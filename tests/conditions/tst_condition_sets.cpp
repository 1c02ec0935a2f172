// Condition-set files: the line format, round trips through both encodings, bad lines, the load
// as the window does it.
#include "TestFiles.h"
#include "base/TextCodec.h"
#include "conditions/ConditionSetFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using Lists = ConditionSetFile::Lists;
using Lines = QList<qint64>;
Q_DECLARE_METATYPE(Lists)

namespace {

struct Item {
    ConditionList list;
    QString column;
    QString phrase;
};

Lists lists(std::initializer_list<Item> items) {
    Lists result;
    for (const Item& i : items)
        result[size_t(i.list)].push_back({i.column, i.phrase});
    return result;
}

// The lists as one readable text, so that a failed comparison shows both sides.
QString render(const Lists& lists) {
    QStringList parts;
    for (ConditionList id : kConditionListOrder)
        for (const ConditionEntry& e : lists[size_t(id)])
            parts.append(
                QStringLiteral("%1[%2|%3]").arg(conditionListName(id), e.column, e.phrase));
    return parts.join(u' ');
}

Lines lines(const std::vector<qint64>& numbers) {
    return Lines(numbers.begin(), numbers.end());
}

// One data row, its values in the columns' order.
template <typename... Values> void row(const char* name, const Values&... values) {
    (QTest::newRow(name) << ... << values);
}

constexpr ConditionList AND = ConditionList::InAND;
constexpr ConditionList OR = ConditionList::InOR;
constexpr ConditionList NAND = ConditionList::OutAND;
constexpr ConditionList NOR = ConditionList::OutOR;

} // namespace

class tst_condition_sets : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void roundTrip_data();
    void roundTrip();
    void encodeExactBytes();
    void encodeRefuses_data();
    void encodeRefuses();
    void loadBadLines_data();
    void loadBadLines();
    void saveIntoMissingFolder();
};

void tst_condition_sets::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Lists>("expected");
    QTest::addColumn<Lines>("bad");

    row("one a list", "AND,3,東京\r\nOR,0,当選\r\nNOTAND,2,x\r\nNOTOR,1,y\r\n",
        lists({{AND, "3", "東京"}, {OR, "0", "当選"}, {NAND, "2", "x"}, {NOR, "1", "y"}}), Lines{});
    row("mixed order keeps each list's order", "OR,1,a\nAND,2,b\nOR,3,c\nAND,4,d",
        lists({{AND, "2", "b"}, {AND, "4", "d"}, {OR, "1", "a"}, {OR, "3", "c"}}), Lines{});
    row("names in any case, blanks around", " and ,1,a\r\nNotOr\t,2,b\r\n",
        lists({{AND, "1", "a"}, {NOR, "2", "b"}}), Lines{});
    row("comments and blank lines",
        "# a set\r\n\r\n  # indented\r\n \t \r\nAND,1,a\r\n#AND,2,b\r\n", lists({{AND, "1", "a"}}),
        Lines{});
    row("phrase is the rest of the line", "AND,3,a,b,,c\r\n", lists({{AND, "3", "a,b,,c"}}),
        Lines{});
    row("a phrase starting with # is a phrase", "AND,3,#1\r\n", lists({{AND, "3", "#1"}}), Lines{});
    row("blanks around unquoted fields dropped", "AND, 3 , 東京 \r\n", lists({{AND, "3", "東京"}}),
        Lines{});
    row("quoted fields keep blanks and commas", "OR,\"3\",\" a, \"\"b\"\" \"\r\n",
        lists({{OR, "3", " a, \"b\" "}}), Lines{});
    row("empty phrase and empty column kept", "AND,3,\r\nAND,,x\r\n",
        lists({{AND, "3", ""}, {AND, "", "x"}}), Lines{});
    row("column that is no number taken as it is (Start refuses it)",
        "AND,東京,3\r\nOR,99999,x\r\n", lists({{AND, "東京", "3"}, {OR, "99999", "x"}}), Lines{});
    row("duplicates kept", "AND,1,a\r\nAND,1,a\r\nOR,1,a\r\n",
        lists({{AND, "1", "a"}, {AND, "1", "a"}, {OR, "1", "a"}}), Lines{});
    row("line ends LF, CR and CR LF", "AND,1,a\nAND,2,b\rAND,3,c\r\n",
        lists({{AND, "1", "a"}, {AND, "2", "b"}, {AND, "3", "c"}}), Lines{});
    row("unknown list names",
        "AND,1,a\r\nXOR,1,b\r\nNOT AND,1,c\r\nＡＮＤ,1,d\r\nANDS,1,e\r\n,1,f\r\n",
        lists({{AND, "1", "a"}}), Lines{2, 3, 4, 5, 6});
    row("no column", "AND\r\nOR,東京\r\nNOTOR,1,ok\r\n", lists({{NOR, "1", "ok"}}), Lines{1, 2});
    row("quote left open", "AND,\"3,x\r\nOR,3,\"x\r\nOR,3,\"x\"\r\n", lists({{OR, "3", "x"}}),
        Lines{1, 2});
    row("a list file's line is no set line", "\"3\",\"東京\"\r\n3,東京\r\n", Lists{}, Lines{1, 2});
    row("numbers count comment and blank lines", "# c\r\n\r\nBAD\r\nAND,1,a\r\n\r\nBAD\r\n",
        lists({{AND, "1", "a"}}), Lines{3, 6});
    row("long line", "OR,2," + QString(100000, u'長') + "\r\n",
        lists({{OR, "2", QString(100000, u'長')}}), Lines{});
    row("empty text", "", Lists{}, Lines{});
}

void tst_condition_sets::parse() {
    QFETCH(QString, text);
    QFETCH(Lists, expected);
    QFETCH(Lines, bad);
    const ConditionSetFile::ParseResult r = ConditionSetFile::parse(QStringView(text));
    QCOMPARE(render(r.lists), render(expected));
    QCOMPARE(lines(r.badLines), bad);
    // Read from bytes the same, in either encoding.
    const ConditionSetFile::ParseResult utf8 =
        ConditionSetFile::parse(QByteArrayView(TextCodec::kUtf8Bom + text.toUtf8()));
    QCOMPARE(render(utf8.lists), render(expected));
    QCOMPARE(lines(utf8.badLines), bad);
}

void tst_condition_sets::roundTrip_data() {
    QTest::addColumn<Lists>("source");
    QTest::addColumn<bool>("utf8"); // the encoding the file must be written in

    row("code page 932", lists({{AND, "0", "当選"}, {OR, "1", "ｶﾅ"}, {NAND, "2", "Ⅰ"}}), false);
    row("empty", Lists{}, false);
    row("blanks around phrases", lists({{OR, "1", " a "}, {OR, "2", "\tb"}}), false);
    row("quotes anywhere", lists({{AND, "1", "\"q\""}, {AND, "2", "8\""}, {AND, "3", "a\"b"}}),
        false);
    row("quotes alone", lists({{AND, "4", "\""}, {AND, "5", "\"\""}}), false);
    row("commas and a # phrase", lists({{NOR, "1", ",a,"}, {NOR, "2", "#"}, {NOR, "3", ","}}),
        false);
    row("odd columns", lists({{AND, "", "x"}, {AND, "a,b", "y"}, {AND, " 1", "z"}}), false);
    row("odd columns, more", lists({{AND, "\"", "w"}, {NOR, "東京", ""}}), false);
    row("duplicates", lists({{AND, "1", "a"}, {AND, "1", "a"}, {NOR, "1", "a"}}), false);
    row("emoji needs UTF-8", lists({{AND, "1", "当選"}, {OR, "2", "😀"}}), true);
    row("wave dash needs UTF-8", lists({{NAND, "1", "〜"}}), true);
    row("long phrase", lists({{OR, "2", QString(70000, u'語') + u','}}), false);
    Lists many;
    for (int i = 0; i < 40000; ++i) // beyond a 16-bit counter
        many[size_t(NAND)].push_back({QString::number(i % 7), QString::number(i)});
    row("many entries", many, false);
}

void tst_condition_sets::roundTrip() {
    QFETCH(Lists, source);
    QFETCH(bool, utf8);
    QTemporaryDir dir;
    const QString path = dir.filePath("set.txt");
    const ConditionSetFile::SaveResult saved = ConditionSetFile::save(path, source);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    const QByteArray bytes = readAll(path);
    QCOMPARE(TextCodec::startsWithUtf8Bom(bytes), utf8);
    QVERIFY(bytes.endsWith("\r\n"));
    const ConditionSetFile::LoadResult loaded = ConditionSetFile::load(path);
    QVERIFY(loaded.ok());
    QVERIFY(loaded.warning.isEmpty());
    QCOMPARE(render(loaded.parsed.lists), render(source));
    // Always-UTF-8 (the settings store) reads back the same.
    const ConditionSetFile::EncodeResult forced = ConditionSetFile::encode(source, true);
    QVERIFY(forced.ok());
    QVERIFY(TextCodec::startsWithUtf8Bom(forced.bytes));
    QVERIFY(ConditionSetFile::parse(QByteArrayView(forced.bytes)).lists == source);
}

void tst_condition_sets::encodeExactBytes() {
    // The lists that keep rows first, then those that drop them; bare fields where they read
    // back as they are.
    const ConditionSetFile::EncodeResult r = ConditionSetFile::encode(lists({{NOR, "1", "x"},
                                                                             {AND, "0", "当選"},
                                                                             {OR, "2", " y"},
                                                                             {AND, "3", "a,b"},
                                                                             {NAND, "1,2", "z"}}));
    QVERIFY(r.ok());
    QCOMPARE(r.bytes, "# Vornel \x8f\xf0\x8c\x8f\x83\x5a\x83\x62\x83\x67 (AND / OR / NOTAND / "
                      "NOTOR,\x97\xf1,\x8c\xea\x8b\xe5)\r\n"
                      "AND,0,\x93\x96\x91\x49\r\n"
                      "AND,3,a,b\r\n"
                      "OR,2,\" y\"\r\n"
                      "NOTAND,\"1,2\",z\r\n"
                      "NOTOR,1,x\r\n");
    QCOMPARE(ConditionSetFile::encode({}, true).bytes,
             TextCodec::kUtf8Bom + ConditionSetFile::commentLine().toUtf8() + "\r\n");
}

void tst_condition_sets::encodeRefuses_data() {
    QTest::addColumn<Lists>("source");
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("entry"); // 1-based, in that list
    row("lone surrogate in a phrase",
        lists({{AND, "1", "ok"}, {OR, "1", "ok"}, {OR, "2", QString(QChar(0xD800))}}), int(OR), 2);
    row("lone surrogate in a column", lists({{NOR, QString(QChar(0xDC00)), "x"}}), int(NOR), 1);
    row("line break in a phrase", lists({{NAND, "1", "a"}, {NAND, "2", "a\r\nb"}}), int(NAND), 2);
    row("line feed in a column", lists({{AND, "1\n", "a"}}), int(AND), 1);
}

void tst_condition_sets::encodeRefuses() {
    QFETCH(Lists, source);
    QFETCH(int, list);
    QFETCH(int, entry);
    const ConditionSetFile::EncodeResult r = ConditionSetFile::encode(source);
    QVERIFY(!r.ok());
    QVERIFY(r.bytes.isEmpty());
    const ConditionList id = ConditionList(list);
    QCOMPARE(r.error, ConditionSetFile::unencodableMessage(id, entry,
                                                           source[size_t(id)][size_t(entry - 1)]));
    QVERIFY(r.error.contains(conditionListName(id)));
    QVERIFY(!ConditionSetFile::encode(source, true).ok());
    // A save refused so leaves the old file as it was, and no other file.
    QTemporaryDir dir;
    const QString path = dir.filePath("set.txt");
    QVERIFY(writeAll(path, "AND,1,old\r\n"));
    QCOMPARE(ConditionSetFile::save(path, source).error, r.error);
    QCOMPARE(readAll(path), QByteArray("AND,1,old\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"set.txt"});
}

void tst_condition_sets::loadBadLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Lists>("expected");
    QTest::addColumn<Lines>("bad");
    QTest::addColumn<bool>("ok"); // false: nothing to load at all
    row("good lines kept, bad named", QByteArray("AND,1,a\r\nFOO,1,b\r\nOR,2\r\nOR,2,c\r\n"),
        lists({{AND, "1", "a"}, {OR, "2", "c"}}), Lines{2, 3}, true);
    row("code page 932 bytes", QByteArray("NOTOR,3,\x93\x8c\x8b\x9e\r\n\x93\x8c\r\n"),
        lists({{NOR, "3", "東京"}}), Lines{2}, true);
    row("a list file: nothing loaded", QByteArray("\"1\",\"a\"\r\n\"2\",\"b\"\r\n"), Lists{},
        Lines{1, 2}, false);
    row("comments only: an empty set", QByteArray("# nothing\r\n\r\n"), Lists{}, Lines{}, true);
    row("empty file: an empty set", QByteArray(), Lists{}, Lines{}, true);
}

void tst_condition_sets::loadBadLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(Lists, expected);
    QFETCH(Lines, bad);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    const QString path = dir.filePath("set.txt");
    QVERIFY(writeAll(path, bytes));
    const ConditionSetFile::LoadResult r = ConditionSetFile::load(path);
    QCOMPARE(r.ok(), ok);
    QCOMPARE(render(r.parsed.lists), render(expected));
    if (!ok) {
        QCOMPARE(r.error, ConditionSetFile::noEntryMessage(path, {bad.begin(), bad.end()}));
    } else if (bad.isEmpty()) {
        QVERIFY(r.warning.isEmpty());
    } else {
        QCOMPARE(r.warning, ConditionSetFile::badLinesMessage(path, {bad.begin(), bad.end()}));
        QStringList named;
        for (qint64 n : bad)
            named.append(QString::number(n));
        QVERIFY(r.warning.endsWith(QStringLiteral("行番号: ") + named.join(QStringLiteral(", "))));
    }
}

void tst_condition_sets::saveIntoMissingFolder() {
    // The reason, with the path.
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing/set.txt");
    const ConditionSetFile::SaveResult r =
        ConditionSetFile::save(missing, lists({{AND, "1", "a"}}));
    QVERIFY(
        r.error.startsWith(QStringLiteral("Error:条件セットファイルを保存できませんでした｡\r\n") +
                           QDir::toNativeSeparators(missing)));
    QVERIFY(!QFile::exists(missing));
}

QTEST_GUILESS_MAIN(tst_condition_sets)
#include "tst_condition_sets.moc"
