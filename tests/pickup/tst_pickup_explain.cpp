// One row's verdict taken apart (PickupEngine::explain, RowVerdictText) and the matched text of a
// result row (MatchSpans, ResultListModel's span role).
#include "pickup/MatchSpans.h"
#include "pickup/PickupEngine.h"
#include "pickup/RowVerdictText.h"
#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QTest>

#include <random>

namespace {

struct Lists {
    std::vector<ConditionEntry> outAnd, outOr, inAnd, inOr;
    PickupConditions conditions() const { return {outAnd, outOr, inAnd, inOr}; }
};

// "col:phrase|col:phrase" into entries.
std::vector<ConditionEntry> entries(const QString& spec) {
    std::vector<ConditionEntry> out;
    if (spec.isEmpty())
        return out;
    for (const QString& item : spec.split(u'|')) {
        const qsizetype colon = item.indexOf(u':');
        out.push_back({item.left(colon), item.mid(colon + 1)});
    }
    return out;
}

// Matched flags as "10" (first matched, second not).
QString flags(const RowVerdict::ListResult& r) {
    QString out;
    for (const bool m : r.matched)
        out += m ? u'1' : u'0';
    return out;
}

PickupEngine compileOrFail(const Lists& l, const RowStore& store) {
    PickupCompileError error;
    std::optional<PickupEngine> engine =
        PickupEngine::compile(l.conditions(), store.commaCount(), &error, store.encoding());
    if (!engine)
        qFatal("compile failed: %s", qPrintable(error.message));
    return std::move(*engine);
}

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

class tst_pickup_explain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void explainsEachVerdictPath_data();
    void explainsEachVerdictPath();
    void explainAgreesWithPickRange_data();
    void explainAgreesWithPickRange();
    void describesEveryList();
    void matchSpans_data();
    void matchSpans();
    void resultModelGivesSpansOfTheLastPickup();
};

void tst_pickup_explain::explainsEachVerdictPath_data() {
    QTest::addColumn<QString>("outAnd");
    QTest::addColumn<QString>("outOr");
    QTest::addColumn<QString>("inAnd");
    QTest::addColumn<QString>("inOr");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QStringList>("matched"); // per list, NOT AND, NOT OR, AND, OR
    QTest::addColumn<QStringList>("satisfied");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("sentence");
    using R = RowVerdict::Reason;
    QTest::newRow("picked, every list used")
        << "0:x|2:y"
        << "1:z"
        << "1:a|0:c"
        << "2:q|0:b"
        << "a,b,c" << QStringList{"00", "0", "11", "01"} << QStringList{"0", "0", "1", "1"}
        << int(R::Picked) << "抽出されます";
    QTest::newRow("picked, no list used")
        << ""
        << ""
        << ""
        << ""
        << "a,b,c" << QStringList{"", "", "", ""} << QStringList{"0", "0", "0", "0"}
        << int(R::Picked) << "抽出されます";
    QTest::newRow("removed by NOT AND alone")
        << "0:a|3:c"
        << ""
        << "1:a"
        << ""
        << "a,b,c" << QStringList{"11", "", "1", ""} << QStringList{"1", "0", "1", "0"}
        << int(R::RemovedByNotAnd) << "除外されます（NOT AND のすべての行に一致）";
    QTest::newRow("NOT AND with a failing entry removes nothing")
        << "0:a|3:x"
        << ""
        << ""
        << ""
        << "a,b,c" << QStringList{"10", "", "", ""} << QStringList{"0", "0", "0", "0"}
        << int(R::Picked) << "抽出されます";
    QTest::newRow("removed by NOT OR alone, first matching entry named")
        << ""
        << "1:x|2:b|0:c"
        << ""
        << "0:a"
        << "a,b,c" << QStringList{"", "011", "", "1"} << QStringList{"0", "1", "0", "1"}
        << int(R::RemovedByNotOr) << "除外されます（NOT OR の 2 行目「b」に一致）";
    QTest::newRow("removed by both exclusion lists")
        << "0:a"
        << "0:q|3:c"
        << ""
        << ""
        << "a,b,c" << QStringList{"1", "01", "", ""} << QStringList{"1", "1", "0", "0"}
        << int(R::RemovedByBoth)
        << "除外されます（NOT AND のすべての行と NOT OR の 2 行目「c」に一致）";
    QTest::newRow("one of two exclusion lists satisfied removes nothing")
        << "0:a"
        << "0:q"
        << ""
        << ""
        << "a,b,c" << QStringList{"1", "0", "", ""} << QStringList{"1", "0", "0", "0"}
        << int(R::Picked) << "抽出されます";
    QTest::newRow("removal named before a failing AND")
        << ""
        << "0:b"
        << "0:x"
        << ""
        << "a,b,c" << QStringList{"", "1", "0", ""} << QStringList{"0", "1", "0", "0"}
        << int(R::RemovedByNotOr) << "除外されます（NOT OR の 1 行目「b」に一致）";
    QTest::newRow("AND entry failed, first failing named")
        << ""
        << ""
        << "1:a|2:x|3:y"
        << "0:c"
        << "a,b,c" << QStringList{"", "", "100", "1"} << QStringList{"0", "0", "0", "1"}
        << int(R::AndEntryFailed) << "抽出されません（AND の 2 行目「x」に不一致）";
    QTest::newRow("no OR entry matched")
        << "0:z"
        << ""
        << "0:a"
        << "1:b|2:*#"
        << "a,b,c" << QStringList{"0", "", "1", "00"} << QStringList{"0", "0", "1", "0"}
        << int(R::NoOrEntryMatched) << "抽出されません（OR のどの行にも不一致）";
    QTest::newRow("patterns and the whole row")
        << ""
        << ""
        << "0:a,*|2:?"
        << "3:[a-c]*"
        << "a,b,c" << QStringList{"", "", "11", "1"} << QStringList{"0", "0", "1", "1"}
        << int(R::Picked) << "抽出されます";
}

void tst_pickup_explain::explainsEachVerdictPath() {
    QFETCH(QString, outAnd);
    QFETCH(QString, outOr);
    QFETCH(QString, inAnd);
    QFETCH(QString, inOr);
    QFETCH(QString, row);
    QFETCH(QStringList, matched);
    QFETCH(QStringList, satisfied);
    QFETCH(int, reason);
    QFETCH(QString, sentence);
    const Lists l{entries(outAnd), entries(outOr), entries(inAnd), entries(inOr)};
    RowStore store;
    store.reset(int(row.count(u',')));
    QVERIFY(store.appendLine(QStringLiteral("x,x,x")));
    QVERIFY(store.appendLine(row));
    const PickupEngine engine = compileOrFail(l, store);
    const RowVerdict v = engine.explain(store, 1);
    for (int i = 0; i < kConditionListCount; ++i) {
        QCOMPARE(v.lists[size_t(i)].list, kConditionListOrder[size_t(i)]);
        QCOMPARE(flags(v.lists[size_t(i)]), matched[i]);
        QCOMPARE(v.lists[size_t(i)].satisfied, satisfied[i] == u"1");
    }
    QCOMPARE(int(v.reason), reason);
    QCOMPARE(RowVerdictText::sentence(v, l.conditions()), sentence);
    // The verdict is the pickup's own.
    std::vector<std::uint32_t> picked;
    engine.pickRange(store, 1, 2, picked);
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
    const QString letters = QStringLiteral("abcd1東");
    auto text = [&](int maxLength) {
        QString out;
        for (int k = pick(maxLength + 1); k > 0; --k)
            out += letters[pick(int(letters.size()))];
        return out;
    };
    // Quoted fields may hold commas, doubled quotes and line breaks.
    auto field = [&] {
        QString t = text(4);
        if (!quoted || pick(2) == 0)
            return t;
        if (pick(2) == 0)
            t.insert(pick(int(t.size()) + 1), QStringLiteral(","));
        if (pick(3) == 0)
            t.insert(pick(int(t.size()) + 1), QStringLiteral("\"\""));
        if (pick(4) == 0)
            t.insert(pick(int(t.size()) + 1), QStringLiteral("\n"));
        return u'"' + t + u'"';
    };
    auto phrase = [&] {
        switch (pick(6)) {
        case 0:
            return QStringLiteral("*") + text(1) + QStringLiteral("*");
        case 1:
            return text(1) + QStringLiteral("?*");
        case 2:
            return QStringLiteral("*#*");
        case 3:
            return QStringLiteral("a,");
        default:
            return text(2);
        }
    };
    constexpr int kCommas = 2;
    RowStore store;
    store.reset(kCommas);
    if (quoted)
        store.setFieldMode(FieldMode::Quoted, kCommas);
    for (int r = 0; r < 400; ++r) {
        QString line = field();
        for (int c = 0; c < kCommas; ++c)
            line += u',' + field();
        QVERIFY(store.appendLine(line));
    }
    for (int round = 0; round < 60; ++round) {
        Lists l;
        for (std::vector<ConditionEntry>* list : {&l.outAnd, &l.outOr, &l.inAnd, &l.inOr})
            for (int k = pick(3); k > 0; --k)
                list->push_back({QString::number(pick(kCommas + 2)), phrase()});
        const PickupEngine engine = compileOrFail(l, store);
        std::vector<std::uint32_t> picked;
        engine.pickRange(store, 0, store.rowCount(), picked);
        size_t next = 0;
        for (qint64 row = 0; row < store.rowCount(); ++row) {
            const bool isPicked = next < picked.size() && picked[next] == row;
            if (isPicked)
                ++next;
            const RowVerdict v = engine.explain(store, row);
            QVERIFY2(v.picked() == isPicked,
                     qPrintable(QStringLiteral("round %1 row %2: %3")
                                    .arg(round)
                                    .arg(row)
                                    .arg(RowVerdictText::sentence(v, l.conditions()))));
            QCOMPARE(v.list(ConditionList::InOR).matched.size(), l.inOr.size());
        }
    }
}

void tst_pickup_explain::describesEveryList() {
    const Lists l{{}, entries(QStringLiteral("0:z|2:b")), entries(QStringLiteral("1:a")), {}};
    RowStore store;
    store.reset(2);
    QVERIFY(store.appendLine(QStringLiteral("a,b,c")));
    const PickupEngine engine = compileOrFail(l, store);
    QCOMPARE(RowVerdictText::describe(engine.explain(store, 0), l.conditions(), 0,
                                      QStringLiteral("a,b,c")),
             QStringLiteral("データの 1 行目: a,b,c\n"
                            "\n"
                            "NOT AND: （条件なし）\n"
                            "NOT OR: \n"
                            "  列 0 「z」: 不一致\n"
                            "  列 2 「b」: 一致\n"
                            "  → 一致の行あり: 除外の条件を満たします\n"
                            "AND: \n"
                            "  列 1 「a」: 一致\n"
                            "  → すべて一致: 抽出の条件を満たします\n"
                            "OR: （条件なし）\n"
                            "\n"
                            "判定: 除外されます（NOT OR の 2 行目「b」に一致）"));
}

void tst_pickup_explain::matchSpans_data() {
    QTest::addColumn<bool>("quoted");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("inAnd");
    QTest::addColumn<QString>("inOr");
    QTest::addColumn<QString>("shown"); // the displayed text, spans in brackets
    QTest::newRow("every occurrence in the row") << false << "abcab,x"
                                                 << "0:ab"
                                                 << ""
                                                 << "[ab]c[ab],x";
    QTest::newRow("overlapping occurrences") << false << "aaab"
                                             << "0:aa"
                                             << ""
                                             << "[aaa]b";
    QTest::newRow("only the entry's column") << false << "ab,ab,ab"
                                             << "2:ab"
                                             << ""
                                             << "ab,[ab],ab";
    QTest::newRow("AND and OR entries, touching spans joined") << false << "abcd,cd"
                                                               << "1:ab"
                                                               << "0:cd"
                                                               << "[abcd],[cd]";
    QTest::newRow("an OR entry that does not match marks nothing") << false << "ab,cd"
                                                                   << ""
                                                                   << "0:cd|1:zz"
                                                                   << "ab,[cd]";
    QTest::newRow("pattern marks its whole column") << false << "x,abc,y"
                                                    << "2:a*"
                                                    << ""
                                                    << "x,[abc],y";
    QTest::newRow("pattern on column 0 marks the whole row") << false << "x,abc,y"
                                                             << "0:*,abc,*"
                                                             << ""
                                                             << "[x,abc,y]";
    QTest::newRow("pattern that fails marks nothing") << false << "x,abc"
                                                      << "2:b*"
                                                      << ""
                                                      << "x,abc";
    QTest::newRow("empty phrase marks nothing") << false << "x,abc"
                                                << "0:"
                                                << ""
                                                << "x,abc";
    QTest::newRow("phrase over a column boundary") << false << "xa,by"
                                                   << "0:a,b"
                                                   << ""
                                                   << "x[a,b]y";
    QTest::newRow("exact units only") << false << "ABC,ＡＢＣ"
                                      << "0:ＡＢ"
                                      << ""
                                      << "ABC,[ＡＢ]Ｃ";
    QTest::newRow("quoted: comma inside a field") << true << "\"a,b\",c"
                                                  << "1:a,b"
                                                  << ""
                                                  << "\"[a,b]\",c";
    QTest::newRow("quoted: a doubled quote is one") << true << "\"c\"\"d\",e"
                                                    << "1:c\"d"
                                                    << ""
                                                    << "\"[c\"\"d]\",e";
    QTest::newRow("quoted: row text over the quotes between fields") << true << "\"x\",y"
                                                                     << "0:x,y"
                                                                     << ""
                                                                     << "\"[x\",y]";
    QTest::newRow("quoted: enclosing quotes are no text") << true << "\"ab\",\"ab\""
                                                          << "2:b"
                                                          << ""
                                                          << "\"ab\",\"a[b]\"";
    QTest::newRow("quoted: pattern marks the field text") << true << "\"ab\",c"
                                                          << "1:a*"
                                                          << ""
                                                          << "\"[ab]\",c";
    QTest::newRow("quoted: LF shown as one mark") << true << "\"p\nq\",r"
                                                  << "1:p?q"
                                                  << "0:r"
                                                  << "\"[p↵q]\",[r]";
    QTest::newRow("quoted: CR LF shown as one mark") << true << "\"p\r\nq\",rr"
                                                     << "1:p*q"
                                                     << "2:r"
                                                     << "\"[p↵q]\",[rr]";
    QTest::newRow("quoted: text after a closing quote") << true << "\"ab\"cd,e"
                                                        << "0:bc"
                                                        << ""
                                                        << "\"a[b\"c]d,e";
    QTest::newRow("quoted: a field left open runs to the end") << true << "\"ab,c"
                                                               << "1:b,c"
                                                               << ""
                                                               << "\"a[b,c]";
    QTest::newRow("plain mode keeps quotes as text") << false << "\"a\",b"
                                                     << "1:\"a"
                                                     << ""
                                                     << "[\"a]\",b";
}

void tst_pickup_explain::matchSpans() {
    QFETCH(bool, quoted);
    QFETCH(QString, record);
    QFETCH(QString, inAnd);
    QFETCH(QString, inOr);
    QFETCH(QString, shown);
    const Lists l{{}, {}, entries(inAnd), entries(inOr)};
    RowStore store;
    store.reset(3, TextEncoding::Utf8);
    const PickupEngine engine = compileOrFail(l, store);
    const MatchSpans spans(engine, quoted ? FieldMode::Quoted : FieldMode::Plain);
    const QString display = quoted ? FieldModes::visibleLineBreaks(record) : record;
    QCOMPARE(marked(display, spans.spans(record)), shown);
}

void tst_pickup_explain::resultModelGivesSpansOfTheLastPickup() {
    RowStore store;
    store.reset(1, TextEncoding::Utf8);
    QVERIFY(store.appendLine(QStringLiteral("xab,1")));
    QVERIFY(store.appendLine(QStringLiteral("ab,2")));
    const Lists l{{}, {}, entries(QStringLiteral("0:ab")), {}};
    const PickupEngine engine = compileOrFail(l, store);
    ResultListModel model(&store);
    model.setRows({1, 0});
    const QModelIndex first = model.index(0, 0);
    QVERIFY(!model.data(first, ResultListModel::MatchSpansRole).isValid());
    model.setMatchSpans(std::make_shared<MatchSpans>(engine, FieldMode::Plain));
    QCOMPARE(model.data(first, ResultListModel::MatchSpansRole).value<MatchSpanList>(),
             (MatchSpanList{{0, 2}}));
    QCOMPARE(model.data(model.index(1, 0), ResultListModel::MatchSpansRole).value<MatchSpanList>(),
             (MatchSpanList{{1, 2}}));
    QCOMPARE(model.data(first, Qt::DisplayRole).toString(), QStringLiteral("ab,2"));
    model.clear();
    model.setRows({0});
    QVERIFY(!model.data(model.index(0, 0), ResultListModel::MatchSpansRole).isValid());
}

QTEST_GUILESS_MAIN(tst_pickup_explain)
#include "tst_pickup_explain.moc"
