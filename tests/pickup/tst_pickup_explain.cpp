// Why a row is or is not picked: the engine's explanation of each verdict, and the spans of
// the text that matched, as the result list shows them.
#include "PickupTestSupport.h"
#include "pickup/MatchSpans.h"
#include "pickup/PickupEngine.h"
#include "pickup/RowVerdictText.h"
#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QTest>

#include <random>

class tst_pickup_explain : public QObject {
    Q_OBJECT
private slots:
    void explainEachVerdictPath_data();
    void explainEachVerdictPath();
    void explainAgreesWithPickRange_data();
    void explainAgreesWithPickRange();
    void explainDescribesEveryList();
    void matchSpans_data();
    void matchSpans();
    void resultModelGivesMatchSpans();
};

namespace {

// The displayed text with "[" and "]" around each span.
QString marked(const QString& shown, const MatchSpanList& spans) {
    QString out;
    qsizetype at = 0;
    for (const MatchSpan& s : spans) {
        out += shown.mid(at, s.begin - at) + u'[' + shown.mid(s.begin, s.length) + u']';
        at = s.begin + s.length;
    }
    return out + shown.mid(at);
}

} // namespace

void tst_pickup_explain::explainEachVerdictPath_data() {
    QTest::addColumn<QString>("lists");     // NOT AND;NOT OR;AND;OR
    QTest::addColumn<QString>("matched");   // per list, "-" for an empty one
    QTest::addColumn<QString>("satisfied"); // per list
    QTest::addColumn<QString>("sentence");  // of the row "a,b,c"
    auto row = [](const char* name, const QString& lists, const QString& matched,
                  const QString& satisfied, const QString& sentence) {
        QTest::newRow(name) << lists << matched << satisfied << sentence;
    };
    row("picked", "0:x|2:y;1:z;1:a|0:c;2:q|2:?", "00 0 11 01", "0011", "抽出されます");
    row("NOT AND alone", "0:a|3:c;;1:a;", "11 - 1 -", "1010",
        "除外されます（NOT AND のすべての行に一致）");
    row("NOT AND, an entry fails", "0:a|3:x;;;", "10 - - -", "0000", "抽出されます");
    row("NOT OR alone", ";1:x|2:b|0:c;;0:a", "- 011 - 1", "0101",
        "除外されます（NOT OR の 2 行目「b」に一致）");
    row("both exclusion lists", "0:a;0:q|3:c;;", "1 01 - -", "1100",
        "除外されます（NOT AND のすべての行と NOT OR の 2 行目「c」に一致）");
    row("one of two exclusion lists", "0:a;0:q;;", "1 0 - -", "1000", "抽出されます");
    row("removal named before AND", ";0:b;0:x;", "- 1 0 -", "0100",
        "除外されます（NOT OR の 1 行目「b」に一致）");
    row("AND entry fails", ";;1:a|2:x|3:y;0:c", "- - 100 1", "0001",
        "抽出されません（AND の 2 行目「x」に不一致）");
    row("no OR entry", "0:z;;0:a,*;1:b|2:*#", "0 - 1 00", "0010",
        "抽出されません（OR のどの行にも不一致）");
}

void tst_pickup_explain::explainEachVerdictPath() {
    QFETCH(QString, lists);
    QFETCH(QString, matched);
    QFETCH(QString, satisfied);
    QFETCH(QString, sentence);
    const QStringList parts = lists.split(u';');
    const Lists l{entries(parts[0]), entries(parts[1]), entries(parts[2]), entries(parts[3])};
    const auto store = makeStore(2, {"x,x,x", "a,b,c"});
    const auto engine = PickupEngine::compile(l.conditions(), 2);
    QVERIFY(engine);
    const RowVerdict v = engine->explain(*store, 1);
    QStringList gotMatched;
    QString gotSatisfied;
    for (const ConditionList id : kConditionListOrder) {
        QString flags;
        for (const bool m : v.list(id).matched)
            flags += m ? u'1' : u'0';
        gotMatched << (flags.isEmpty() ? QStringLiteral("-") : flags);
        gotSatisfied += v.list(id).satisfied ? u'1' : u'0';
    }
    QCOMPARE(gotMatched.join(u' '), matched);
    QCOMPARE(gotSatisfied, satisfied);
    QCOMPARE(RowVerdictText::sentence(v, l.conditions()), sentence);
    std::vector<std::uint32_t> picked;
    engine->pickRange(*store, 1, 2, picked);
    QCOMPARE(v.picked(), !picked.empty());
}

void tst_pickup_explain::explainAgreesWithPickRange_data() {
    QTest::addColumn<bool>("quoted");
    QTest::newRow("plain") << false;
    QTest::newRow("quoted") << true;
}

void tst_pickup_explain::explainAgreesWithPickRange() {
    QFETCH(bool, quoted);
    std::mt19937 random(quoted ? 7 : 3);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto text = [&](int maxLength) {
        QString out;
        for (int k = pick(maxLength + 1); k > 0; --k)
            out += QStringLiteral("abcd1東")[pick(6)];
        return out;
    };
    // Quoted fields may hold commas, doubled quotes and line breaks.
    auto field = [&] {
        QString t = text(4);
        if (!quoted || pick(2) == 0)
            return t;
        for (const char* inner : {",", "\"\"", "\n"})
            if (pick(3) == 0)
                t.insert(pick(int(t.size()) + 1), QLatin1String(inner));
        return u'"' + t + u'"';
    };
    const QString patterns[] = {"*a*", "b?*", "*#*", "a,", "?"};
    RowStore store;
    store.reset(2);
    if (quoted)
        store.setFieldMode(FieldMode::Quoted, 2);
    for (int r = 0; r < 400; ++r)
        QVERIFY(store.appendLine(field() + u',' + field() + u',' + field()));
    for (int round = 0; round < 60; ++round) {
        Lists l;
        for (std::vector<ConditionEntry>* list : {&l.outAnd, &l.outOr, &l.inAnd, &l.inOr})
            for (int k = pick(3); k > 0; --k)
                list->push_back({QString::number(pick(4)), pick(2) ? text(2) : patterns[pick(5)]});
        const auto engine = PickupEngine::compile(l.conditions(), 2);
        QVERIFY(engine);
        std::vector<std::uint32_t> picked;
        engine->pickRange(store, 0, store.rowCount(), picked);
        auto next = picked.begin();
        for (qint64 row = 0; row < store.rowCount(); ++row) {
            const bool isPicked = next != picked.end() && *next == row;
            next += isPicked ? 1 : 0;
            QVERIFY2(engine->explain(store, row).picked() == isPicked,
                     qPrintable(QStringLiteral("round %1 row %2").arg(round).arg(row)));
        }
    }
}

void tst_pickup_explain::explainDescribesEveryList() {
    const Lists l{{}, entries("0:z|2:b"), entries("1:a"), {}};
    const auto store = makeStore(2, {"a,b,c"});
    const auto engine = PickupEngine::compile(l.conditions(), 2);
    QVERIFY(engine);
    QCOMPARE(RowVerdictText::describe(engine->explain(*store, 0), l.conditions(), 0, u"a,b,c"),
             QStringLiteral("データの 1 行目: a,b,c\n\n"
                            "NOT AND: （条件なし）\n"
                            "NOT OR: \n  列 0 「z」: 不一致\n  列 2 「b」: 一致\n"
                            "  → 一致の行あり: 除外の条件を満たします\n"
                            "AND: \n  列 1 「a」: 一致\n  → すべて一致: 抽出の条件を満たします\n"
                            "OR: （条件なし）\n\n"
                            "判定: 除外されます（NOT OR の 2 行目「b」に一致）"));
}

void tst_pickup_explain::matchSpans_data() {
    QTest::addColumn<bool>("quoted");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("lists"); // AND;OR
    QTest::addColumn<QString>("shown"); // the displayed text, spans in brackets
    QTest::addColumn<int>("fold");      // 1 width, 2 kana, 4 case
    auto row = [](const char* name, bool quoted, const QString& record, const QString& lists,
                  const QString& shown,
                  int fold) { QTest::newRow(name) << quoted << record << lists << shown << fold; };
    row("every occurrence", false, "abcab,x", "0:ab;", "[ab]c[ab],x", 0);
    row("overlapping", false, "aaab", "0:aa;", "[aaa]b", 0);
    row("the entry's column", false, "ab,ab,ab", "2:ab;", "ab,[ab],ab", 0);
    row("AND and OR, joined", false, "abcd,cd", "1:ab;0:cd|1:z", "[abcd],[cd]", 0);
    row("pattern: its column", false, "x,abc,y", "2:a*;", "x,[abc],y", 0);
    row("pattern: the row", false, "x,abc", "0:*,abc;", "[x,abc]", 0);
    row("pattern fails", false, "x,abc", "2:b*;", "x,abc", 0);
    row("empty phrase", false, "x,abc", "0:;", "x,abc", 0);
    row("exact units", false, "ABC,ＡＢＣ", "0:ＡＢ;", "ABC,[ＡＢ]Ｃ", 0);
    row("plain keeps quotes", false, "\"a\",b", "1:\"a;", "[\"a]\",b", 0);
    row("quoted: comma inside", true, "\"a,b\",c", "1:a,b;", "\"[a,b]\",c", 0);
    row("quoted: doubled quote", true, "\"c\"\"d\",e", "1:c\"d;", "\"[c\"\"d]\",e", 0);
    row("quoted: across fields", true, "\"x\",y", "0:x,y;", "\"[x\",y]", 0);
    row("quoted: pattern", true, "\"ab\",\"ab\"", "2:a*;", "\"ab\",\"[ab]\"", 0);
    row("quoted: CR LF", true, "\"p\r\nq\",rr", "1:p*q;2:r", "\"[p↵q]\",[rr]", 0);
    row("quoted: after closing", true, "\"ab\"cd,e", "0:bc;", "\"a[b\"c]d,e", 0);
}

void tst_pickup_explain::matchSpans() {
    QFETCH(bool, quoted);
    QFETCH(QString, record);
    QFETCH(QString, lists);
    QFETCH(QString, shown);
    QFETCH(int, fold);
    const Lists l{{}, {}, entries(lists.section(u';', 0, 0)), entries(lists.section(u';', 1))};
    const MatchOptions options{bool(fold & 1), bool(fold & 2), bool(fold & 4)};
    const auto engine =
        PickupEngine::compile(l.conditions(), 3, nullptr, TextEncoding::Utf8, options);
    QVERIFY(engine);
    const MatchSpans spans(*engine, quoted ? FieldMode::Quoted : FieldMode::Plain);
    const QString display = quoted ? FieldModes::visibleLineBreaks(record) : record;
    QCOMPARE(marked(display, spans.spans(record)), shown);
    // Folded entries mark the units the match was folded from.
    QTest::newRow("fold: width") << false << "ｶﾞｷﾞ,ＡＢ"
                                 << "0:ガ|0:ab;"
                                 << "[ｶﾞ]ｷﾞ,[ＡＢ]" << 1;
    QTest::newRow("fold: kana and case") << false << "みなとAB,x"
                                         << "1:ミナトab;"
                                         << "[みなとAB],x" << 6;
    QTest::newRow("fold: pattern") << true << "\"ｱｲ\",b"
                                   << "1:[ア-イ]*;"
                                   << "\"[ｱｲ]\",b" << 3;
    QTest::newRow("fold: off") << false << "ｶﾞ,ガ"
                               << "0:ガ;"
                               << "ｶﾞ,[ガ]" << 0;
}

void tst_pickup_explain::resultModelGivesMatchSpans() {
    const auto store = makeStore(1, {"xab,1", "ab,2"});
    const auto engine = PickupEngine::compile(Lists{{}, {}, entries("0:ab"), {}}.conditions(), 1);
    QVERIFY(engine);
    ResultListModel model(store.get());
    model.setRows({1, 0});
    auto spansOf = [&](int pos) {
        return model.data(model.index(pos, 0), ResultListModel::MatchSpansRole);
    };
    QVERIFY(!spansOf(0).isValid());
    model.setMatchSpans(std::make_shared<MatchSpans>(*engine, FieldMode::Plain));
    QCOMPARE(spansOf(0).value<MatchSpanList>(), (MatchSpanList{{0, 2}}));
    QCOMPARE(spansOf(1).value<MatchSpanList>(), (MatchSpanList{{1, 2}}));
    model.clear(); // a new pickup or load: the old entries go
    model.setRows({0});
    QVERIFY(!spansOf(0).isValid());
}

QTEST_GUILESS_MAIN(tst_pickup_explain)
#include "tst_pickup_explain.moc"
