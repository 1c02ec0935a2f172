// The pickup engine's verdict over the four lists: every combination of lists against the rule
// written out step by step, edge cases, the entry check, and the rows the byte search alone
// decides.
#include "PickupTestSupport.h"
#include "pickup/PickupEngine.h"
#include "source/RowStore.h"

#include <QTest>

#include <random>

class tst_pickup_verdict : public QObject {
    Q_OBJECT
private slots:
    void verdictOverListCombinations_data();
    void verdictOverListCombinations();
    void searchAloneDecides_data();
    void searchAloneDecides();
    void edgeCases_data();
    void edgeCases();
    void entryCheck_data();
    void entryCheck();
    void entryCheckReportsFirstBadEntryInListOrder();
    void rowTextSearchStaysInsideEachRow_data();
    void rowTextSearchStaysInsideEachRow();
};

namespace {

std::vector<std::uint32_t> pickAll(const RowStore& store, const Lists& l) {
    PickupCompileError error;
    const auto engine = PickupEngine::compile(l.conditions(), store.commaCount(), &error);
    if (!engine)
        qFatal("compile failed: %s", qPrintable(error.message));
    std::vector<std::uint32_t> rows;
    engine->pickRange(store, 0, store.rowCount(), rows);
    return rows;
}

} // namespace

void tst_pickup_verdict::verdictOverListCombinations_data() {
    QTest::addColumn<int>("mask"); // bit 0 NOT AND, 1 NOT OR, 2 AND, 3 OR in use
    for (int mask = 0; mask < 16; ++mask) {
        QTest::newRow(qPrintable(QStringLiteral("%1%2%3%4")
                                     .arg(mask & 1 ? "NOTAND " : "")
                                     .arg(mask & 2 ? "NOTOR " : "")
                                     .arg(mask & 4 ? "AND " : "")
                                     .arg(mask & 8 ? "OR" : "")
                                     .append(mask == 0 ? "none" : "")))
            << mask;
    }
}

void tst_pickup_verdict::verdictOverListCombinations() {
    QFETCH(int, mask);
    // Two entries per list in use, each with its own letter; the rows hold every combination of
    // the eight letters, so every entry matches and fails in every combination of the others.
    Lists l;
    if (mask & 1)
        l.outAnd = {{"0", "a"}, {"2", "b"}};
    if (mask & 2)
        l.outOr = {{"1", "c"}, {"0", "d"}};
    if (mask & 4)
        l.inAnd = {{"3", "e"}, {"0", "f"}};
    if (mask & 8)
        l.inOr = {{"2", "g"}, {"0", "h"}};
    QStringList lines;
    for (int bits = 0; bits < 256; ++bits) {
        QString cols[3];
        // Column-bound letters go to their column, whole-row letters to a varying column.
        const char* letters = "abcdefgh";
        const int homes[8] = {bits % 3, 1, 0, (bits / 3) % 3, 2, (bits / 9) % 3, 1, bits % 2};
        for (int k = 0; k < 8; ++k)
            if (bits & (1 << k))
                cols[homes[k]] += QChar(letters[k]);
        lines << cols[0] + "," + cols[1] + "," + cols[2];
    }
    const auto store = makeStore(2, lines);
    std::vector<std::uint32_t> expected;
    for (qint64 r = 0; r < store->rowCount(); ++r)
        if (referencePicks(*store, r, l))
            expected.push_back(std::uint32_t(r));
    QCOMPARE(pickAll(*store, l), expected);
}

// Shapes of lists where the rows found by the byte search are the picked rows without a verdict,
// and shapes next to them where they are not; the phrase "\" also sits inside "ソ" (0x83 0x5C),
// where it must not count.
void tst_pickup_verdict::searchAloneDecides_data() {
    QTest::addColumn<QString>("lists"); // NOT AND;NOT OR;AND;OR
    QTest::newRow("one OR phrase") << ";;;0:\\";
    QTest::newRow("two OR phrases") << ";;;0:東|0:ソa";
    QTest::newRow("one AND phrase") << ";;0:\\;";
    QTest::newRow("two AND phrases") << ";;0:\\|0:a;";
    QTest::newRow("AND and OR") << ";;0:\\;0:a";
    QTest::newRow("OR on the row and on a column") << ";;;0:\\|2:a";
    QTest::newRow("OR and NOT OR") << ";0:a;;0:\\";
    QTest::newRow("AND and NOT AND") << "0:東;;0:\\;";
}

void tst_pickup_verdict::searchAloneDecides() {
    QFETCH(QString, lists);
    const QStringList parts = lists.split(u';');
    const Lists l{entries(parts[0]), entries(parts[1]), entries(parts[2]), entries(parts[3])};
    std::mt19937 random(5);
    const QString pieces[] = {"ソ", "\\", "a", "東", "表", "ｱ"};
    QStringList lines;
    for (int r = 0; r < 300; ++r) {
        QString line;
        for (int k = int(random() % 8); k > 0; --k)
            line += pieces[random() % std::size(pieces)];
        line.insert(int(random() % unsigned(line.size() + 1)), u',');
        lines << line;
    }
    const auto store = makeStore(1, lines);
    std::vector<std::uint32_t> expected;
    for (qint64 r = 0; r < store->rowCount(); ++r)
        if (referencePicks(*store, r, l))
            expected.push_back(std::uint32_t(r));
    QVERIFY(!expected.empty() && expected.size() < size_t(store->rowCount()));
    QCOMPARE(pickAll(*store, l), expected);
}

void tst_pickup_verdict::edgeCases_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QVariantList>("lists"); // four QVariantLists of "column|phrase"
    QTest::addColumn<QList<int>>("picked");

    auto lists = [](QStringList outAnd, QStringList outOr, QStringList inAnd, QStringList inOr) {
        return QVariantList{outAnd, outOr, inAnd, inOr};
    };
    QTest::newRow("only NOT OR removes matching rows")
        << QStringList{"ax,1", "b,2", "c,x"} << lists({}, {"0|x"}, {}, {}) << QList<int>{1};
    QTest::newRow("both exclusions: removed only with both")
        << QStringList{"a,1", "b,2", "ab,3", "c,4"} << lists({"0|a"}, {"0|b"}, {}, {})
        << QList<int>{0, 1, 3};
    QTest::newRow("AND with OR") << QStringList{"a,b", "a,c", "a,d", "b,c", "abc,"}
                                 << lists({}, {}, {"0|a"}, {"0|b", "0|c"}) << QList<int>{0, 1, 4};
    QTest::newRow("substring on column 2")
        << QStringList{"1,abc,x", "2,xabcx,x", "abc,2,x", "3,ab,abc"}
        << lists({}, {}, {"2|abc"}, {}) << QList<int>{0, 1};
    QTest::newRow("prefix pattern on column 2")
        << QStringList{"1,abcx,x", "2,xabc,x"} << lists({}, {}, {"2|abc*"}, {}) << QList<int>{0};
    QTest::newRow("one digit on column 3") << QStringList{"a,b,7", "a,b,77", "a,b,x", "7,7,"}
                                           << lists({}, {}, {"3|#"}, {}) << QList<int>{0};
    QTest::newRow("digit anywhere in column 3") << QStringList{"a,b,x7x", "a,b,xx", "1,2,"}
                                                << lists({}, {}, {"3|*#*"}, {}) << QList<int>{0};
    QTest::newRow("column 1 is the first column only")
        << QStringList{"xa,by", "x,a,b"} << lists({}, {}, {"1|a,b"}, {}) << QList<int>{};
    QTest::newRow("column 0 crosses column boundary")
        << QStringList{"xa,by,z", "x,ab,y"} << lists({}, {}, {"0|a,b"}, {}) << QList<int>{0};
    QTest::newRow("empty phrase matches non-empty subject")
        << QStringList{"a,,c", ",b,"} << lists({}, {}, {"2|"}, {}) << QList<int>{1};
    QTest::newRow("empty phrase on empty row")
        << QStringList{"", "a"} << lists({}, {}, {"0|"}, {}) << QList<int>{1};
    QTest::newRow("empty fields join with commas")
        << QStringList{"a,,c"} << lists({}, {}, {"0|a,,c"}, {}) << QList<int>{0};
    QTest::newRow("last column") << QStringList{"a,b,c", "a,b,x"} << lists({}, {}, {"3|c"}, {})
                                 << QList<int>{0};
    QTest::newRow("leading zeros in column text")
        << QStringList{"a,b,c", "a,c,x"} << lists({}, {}, {"02|c"}, {}) << QList<int>{1};
    QTest::newRow("pattern on whole row sees commas")
        << QStringList{"abcd,x,y", "x,abcd,y"} << lists({}, {}, {"0|abc*"}, {}) << QList<int>{0};
    QTest::newRow("NOT AND partial match keeps row")
        << QStringList{"a,b", "a,x", "x,b"} << lists({"1|a", "2|b"}, {}, {}, {})
        << QList<int>{1, 2};
}

void tst_pickup_verdict::edgeCases() {
    QFETCH(QStringList, lines);
    QFETCH(QVariantList, lists);
    QFETCH(QList<int>, picked);
    Lists l;
    std::vector<ConditionEntry>* targets[4] = {&l.outAnd, &l.outOr, &l.inAnd, &l.inOr};
    for (int k = 0; k < 4; ++k)
        for (const QString& e : lists[k].toStringList())
            targets[k]->push_back({e.section('|', 0, 0), e.section('|', 1)});
    const int commas = int(lines.constLast().count(u','));
    const auto store = makeStore(commas, lines);
    std::vector<std::uint32_t> expected(picked.begin(), picked.end());
    QCOMPARE(pickAll(*store, l), expected);
}

void tst_pickup_verdict::entryCheck_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("reason");
    auto row = [](const char* name, const QString& column, const QString& phrase, bool ok,
                  int reason) { QTest::newRow(name) << column << phrase << ok << reason; };
    const int bad = int(PickupCompileError::Reason::BadColumn);
    // The table has 3 commas: columns 0..4.
    row("0", "0", "x", true, 0);
    row("last column", "4", "x", true, 0);
    row("leading zeros", "0004", "x", true, 0);
    row("one past last", "5", "x", false, bad);
    row("empty", "", "x", false, bad);
    row("letters", "1a", "x", false, bad);
    row("sign", "+1", "x", false, bad);
    row("minus", "-1", "x", false, bad);
    row("blank", " 1", "x", false, bad);
    row("full-width digit", "１", "x", false, bad);
    row("huge", "99999999999999999999999", "x", false, bad);
    row("unclosed group", "1", "[ab*", false, int(PickupCompileError::Reason::UnclosedGroup));
    row("reversed range", "1", "[b-a]*", false, int(PickupCompileError::Reason::ReversedRange));
    row("open bracket substring", "1", "[ab", true, 0);
}

void tst_pickup_verdict::entryCheck() {
    QFETCH(QString, column);
    QFETCH(QString, phrase);
    QFETCH(bool, ok);
    QFETCH(int, reason);
    Lists l;
    l.inOr = {{"1", "fine"}, {column, phrase}};
    PickupCompileError error;
    const auto engine = PickupEngine::compile(l.conditions(), 3, &error);
    QCOMPARE(engine.has_value(), ok);
    if (ok)
        return;
    QCOMPARE(int(error.reason), reason);
    QCOMPARE(int(error.list), int(ConditionList::InOR));
    QCOMPARE(error.entryIndex, qsizetype(1));
    QCOMPARE(error.entry, (ConditionEntry{column, phrase}));
    QVERIFY(error.message.contains(QStringLiteral("「OR」")));
    QVERIFY(error.message.contains(QStringLiteral("列: %1、").arg(column)));
    QVERIFY(error.message.contains(QStringLiteral("語句: %1）").arg(phrase)));
}

void tst_pickup_verdict::entryCheckReportsFirstBadEntryInListOrder() {
    // Lists are checked NOT AND, NOT OR, AND, OR: the bad NOT OR entry is reported, not the AND.
    Lists l;
    l.inAnd = {{"9", "a"}};
    l.outOr = {{"0", "ok"}, {"x", "b"}};
    l.outAnd = {{"1", "ok"}};
    PickupCompileError error;
    QVERIFY(!PickupEngine::compile(l.conditions(), 1, &error));
    QCOMPARE(int(error.list), int(ConditionList::OutOR));
    QCOMPARE(error.entryIndex, qsizetype(1));
    QVERIFY(error.message.contains(QStringLiteral("「NOT OR」")));
    // A column that fits a wider table is refused by a narrower one.
    l = {};
    l.inAnd = {{"3", "a"}};
    QVERIFY(PickupEngine::compile(l.conditions(), 2));
    QVERIFY(!PickupEngine::compile(l.conditions(), 1));
}

void tst_pickup_verdict::rowTextSearchStaysInsideEachRow_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QList<int>>("picked");
    QTest::newRow("phrase across two rows")
        << QStringList{"xab", "cdx", "abcd"} << "bc" << QList<int>{2};
    QTest::newRow("phrase across three rows")
        << QStringList{"a", "b", "c", "abc"} << "abc" << QList<int>{3};
    QTest::newRow("empty rows between")
        << QStringList{"", "ab", "", "", "b"} << "b" << QList<int>{1, 4};
    QTest::newRow("phrase is a whole row")
        << QStringList{"abc", "abc", "ab"} << "abc" << QList<int>{0, 1};
    QTest::newRow("hit then crossing") << QStringList{"bcxb", "cx"} << "bc" << QList<int>{0};
}

void tst_pickup_verdict::rowTextSearchStaysInsideEachRow() {
    QFETCH(QStringList, lines);
    QFETCH(QString, phrase);
    QFETCH(QList<int>, picked);
    const auto store = makeStore(0, lines);
    Lists l;
    l.inOr = {{"0", phrase}};
    QCOMPARE(pickAll(*store, l), std::vector<std::uint32_t>(picked.begin(), picked.end()));
}

QTEST_GUILESS_MAIN(tst_pickup_verdict)
#include "tst_pickup_verdict.moc"
