#include "InputMethodForms.h"
#include "base/Cp932.h"
#include "base/TextCodec.h"
#include "pickup/MatchSpans.h"
#include "pickup/PhraseMatcher.h"
#include "pickup/PickupEngine.h"
#include "pickup/PickupJob.h"
#include "pickup/PickupRun.h"
#include "pickup/RowVerdictText.h"
#include "pickup/TextFold.h"
#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QFile>
#include <QTest>

#include <chrono>
#include <memory>
#include <random>

using namespace std::chrono_literals;

namespace {

std::unique_ptr<RowStore> makeStore(int commaCount, const QStringList& lines) {
    auto store = std::make_unique<RowStore>();
    store->reset(commaCount);
    for (const QString& line : lines)
        store->appendLine(line);
    return store;
}

struct Lists {
    std::vector<ConditionEntry> outAnd, outOr, inAnd, inOr;
    PickupConditions conditions() const { return {outAnd, outOr, inAnd, inOr}; }
};

// The verdict exactly as the row loop states it, step by step, with plain substring tests.
bool referencePicks(const RowStore& store, qint64 row, const Lists& l) {
    auto match = [&](const ConditionEntry& e) {
        const int col = e.column.toInt();
        const QString subject = col == 0 ? store.rowText(row) : store.field(row, col - 1);
        return subject.contains(e.phrase);
    };
    bool outAndVerdict = l.outAnd.empty();
    for (const auto& e : l.outAnd)
        if (!match(e))
            outAndVerdict = true;
    bool outOrVerdict = true;
    for (const auto& e : l.outOr)
        if (match(e)) {
            outOrVerdict = false;
            break;
        }
    bool inAndVerdict = l.inAnd.empty();
    for (const auto& e : l.inAnd) {
        if (!match(e)) {
            inAndVerdict = false;
            break;
        }
        inAndVerdict = true;
    }
    bool inOrVerdict = l.inOr.empty();
    for (const auto& e : l.inOr)
        if (match(e))
            inOrVerdict = true;
    const bool outAndUsed = !l.outAnd.empty();
    const bool outOrUsed = !l.outOr.empty();
    const bool excluded = (outAndUsed && outOrUsed && !outAndVerdict && !outOrVerdict) ||
                          (!outAndUsed && outOrUsed && !outOrVerdict) ||
                          (outAndUsed && !outOrUsed && !outAndVerdict);
    return !excluded && inAndVerdict && inOrVerdict;
}

// Rows of three fields, each of fewer than maxPieces pieces drawn at random, until `rows` rows
// of two commas are in the store.
void fillRandomRows(RowStore& store, TextEncoding encoding, const std::vector<QByteArray>& pieces,
                    unsigned seed, qint64 rows, unsigned maxPieces) {
    std::mt19937 rng(seed);
    store.reset(2, encoding);
    while (store.rowCount() < rows) {
        QByteArray row;
        const int length = int(rng() % maxPieces);
        for (int k = 0; k < length; ++k)
            row += pieces[rng() % pieces.size()];
        if (row.count(',') == 2)
            store.appendLine(QByteArrayView(row));
    }
}

QString pickedRowsText(const QString& phrase, int column, const std::vector<std::uint32_t>& picked,
                       const std::vector<std::uint32_t>& expected) {
    return QStringLiteral("%1 on column %2: %3 rows, not %4")
        .arg(phrase)
        .arg(column)
        .arg(picked.size())
        .arg(expected.size());
}

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

class tst_pickup : public QObject {
    Q_OBJECT
private slots:
    void longSubjectMatchedInBoundedMemory_data();
    void longSubjectMatchedInBoundedMemory();
    void matcher_data();
    void matcher();
    void matcherErrors_data();
    void matcherErrors();
    void textFold_data();
    void textFold();
    void foldedMatcher_data();
    void foldedMatcher();
    void foldedEngineAgreesWithModel_data();
    void foldedEngineAgreesWithModel();
    void findAgreesWithPlainSearch();
    void patternAgreesWithBacktrackingReference();
    void verdictOverListCombinations_data();
    void verdictOverListCombinations();
    void explainEachVerdictPath_data();
    void explainEachVerdictPath();
    void explainAgreesWithPickRange_data();
    void explainAgreesWithPickRange();
    void searchAloneDecides_data();
    void searchAloneDecides();
    void explainDescribesEveryList();
    void matchSpans_data();
    void matchSpans();
    void resultModelGivesMatchSpans();
    void edgeCases_data();
    void edgeCases();
    void entryCheck_data();
    void entryCheck();
    void entryCheckReportsFirstBadEntryInListOrder();
    void rowTextSearchStaysInsideEachRow_data();
    void rowTextSearchStaysInsideEachRow();
    void runInSlicesMatchesOneGo_data();
    void runInSlicesMatchesOneGo();
    void runStopsWithinItsBudget();
    void jobOutcomes_data();
    void jobOutcomes();
    void byteSearchAgreesWithDecodedText_data();
    void byteSearchAgreesWithDecodedText();
    void typedFormsMatchTheCodePage_data();
    void typedFormsMatchTheCodePage();
    void quotedSubjects_data();
    void quotedSubjects();
    void columnMixesAgreeWithModel_data();
    void columnMixesAgreeWithModel();
};

void tst_pickup::matcher_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("expected");

    auto row = [](const char* name, const QString& phrase, const QString& subject, bool expected) {
        QTest::newRow(name) << phrase << subject << expected;
    };
    // Substring tests.
    row("substring whole", "abc", "abc", true);
    row("substring inside", "abc", "xabcx", true);
    row("substring absent", "abc", "abx", false);
    row("substring longer than subject", "abcd", "abc", false);
    row("substring at end", "abc", "xxxxxxxxxxxxxxxxxxxxabc", true);
    row("substring at long end", "xyz", QString(1000, u'a') + "xyz", true);
    row("substring near miss in long text", "xyz", QString(1000, u'x') + "xy", false);
    row("case counts", "ABC", "abc", false);
    row("full width differs", "ＡＢＣ", "ABC", false);
    row("hiragana vs katakana", "あい", "アイ", false);
    row("kanji substring", "東京", "住所,東京都,品川", true);
    row("one unit", "京", "東京都", true);
    row("brackets literal", "[1]", "a[1]b", true);
    row("brackets not a group", "[1]", "1", false);
    row("open bracket alone is substring", "[ab", "x[abx", true);
    row("negation without wildcard is substring", "[!a]", "[!a]", true);
    row("empty phrase non-empty subject", "", "a", true);
    row("empty phrase empty subject", "", "", false);
    row("comma across columns", "a,b", "xa,by", true);
    // Patterns: whole subject.
    row("abc* prefix", "abc*", "abcx", true);
    row("abc* exact", "abc*", "abc", true);
    row("abc* not inside", "abc*", "xabc", false);
    row("*abc suffix", "*abc", "xxabc", true);
    row("*abc not prefix", "*abc", "abcx", false);
    row("*abc* inside", "*abc*", "xxabcxx", true);
    row("a?c", "a?c", "abc", true);
    row("a?c longer", "a?c", "abcd", false);
    row("a?c shorter", "a?c", "ac", false);
    row("? one kanji", "?", "東", true);
    row("# digit", "#", "7", true);
    row("# two digits", "#", "77", false);
    row("# letter", "#", "a", false);
    row("# full-width digit", "#", "７", false);
    row("# empty", "#", "", false);
    row("*#* has digit", "*#*", "ab3cd", true);
    row("*#* no digit", "*#*", "abcd", false);
    row("*#* only digit", "*#*", "5", true);
    row("star alone empty", "*", "", true);
    row("star alone text", "*", "anything", true);
    row("double star", "a**b", "ab", true);
    row("star needs backtrack", "*ab*ab", "abxab", true);
    row("star repeated segment", "*aab", "aaab", true);
    row("star no room", "ab*ba", "aba", false);
    row("star middle order", "*a*b*", "ba", false);
    row("star middle order ok", "*a*b*", "xaxbx", true);
    row("mixed segment", "*1#?3*", "xx12a3yy", true);
    row("mixed segment no", "*1#?3*", "xx1a23yy", false);
    row("mixed segment second place", "*1#?3*", "1x1523", true);
    row("group", "[abc]*", "b1", true);
    row("group miss", "[abc]*", "d1", false);
    row("negated group", "[!a-c]*", "d", true);
    row("negated group miss", "[!a-c]*", "b", false);
    row("range", "[a-c]#", "b5", true);
    row("range upper bound", "[a-c]#", "c5", true);
    row("range outside", "[a-c]#", "d5", false);
    row("dash last literal", "[a-]*", "-", true);
    row("dash last member a", "[a-]*", "a", true);
    row("dash last not range", "[a-]*", "b", false);
    row("dash first literal", "[-a]*", "-x", true);
    row("dash after bang literal", "[!-a]*", "-", false);
    row("dash after bang other", "[!-a]*", "b", true);
    row("dash between ranges", "[a-c-e]*", "-", true);
    row("dash between ranges e", "[a-c-e]*", "e", true);
    row("dash between ranges d", "[a-c-e]*", "d", false);
    row("star in group literal", "[*]", "*", true);
    row("star in group not any", "[*]", "a", false);
    row("question in group literal", "[?]*", "?x", true);
    row("question in group not any", "[?]*", "ax", false);
    row("hash in group literal", "[#]*", "#", true);
    row("hash in group not digit", "[#]*", "1", false);
    row("open bracket in group", "[[]*", "[", true);
    row("close bracket outside group", "]*", "]x", true);
    row("bang later in group", "[a!]*", "!", true);
    row("empty group matches nothing", "[]*", "", false);
    row("empty group matches nothing 2", "*[]*", "abc", false);
    row("negated empty group any one", "[!]*", "x", true);
    row("negated empty group needs one", "[!]*", "", false);
    row("case in pattern", "ABC*", "abc", false);
    row("width in pattern", "ＡＢＣ*", "ABC", false);
    row("kanji range", "[一-龠]*", "東京", true);
    row("kanji range miss", "[一-龠]*", "とうきょう", false);
    row("column 0 prefix sees separator", "abc*", "abcd,x,y", true);
    row("column 0 exact middle column", "*,abc,*", "x,abc,y", true);
    row("column 0 middle not first", "*,abc,*", "abc,x,y", false);
    row("column 0 middle partial", "*,abc,*", "x,abcd,y", false);
}

void tst_pickup::matcher() {
    QFETCH(QString, phrase);
    QFETCH(QString, subject);
    QFETCH(bool, expected);
    const auto m = PhraseMatcher::compile(phrase);
    QVERIFY(m.has_value());
    QCOMPARE(m->isPattern(), PhraseMatcher::isPattern(phrase));
    QCOMPARE(m->matches(subject), expected);
}

void tst_pickup::matcherErrors_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<int>("error");
    QTest::newRow("unclosed") << "[abc*" << int(PhraseMatcher::Error::UnclosedGroup);
    QTest::newRow("unclosed at end") << "abc*[" << int(PhraseMatcher::Error::UnclosedGroup);
    QTest::newRow("unclosed negated") << "#[!" << int(PhraseMatcher::Error::UnclosedGroup);
    QTest::newRow("second group unclosed") << "[a]*[b" << int(PhraseMatcher::Error::UnclosedGroup);
    QTest::newRow("reversed range") << "[z-a]*" << int(PhraseMatcher::Error::ReversedRange);
    QTest::newRow("fine: substring with open bracket") << "[abc" << int(PhraseMatcher::Error::None);
    QTest::newRow("fine: one-unit range") << "[a-a]*" << int(PhraseMatcher::Error::None);
    QTest::newRow("fine: empty group") << "[]*" << int(PhraseMatcher::Error::None);
}

void tst_pickup::matcherErrors() {
    QFETCH(QString, phrase);
    QFETCH(int, error);
    PhraseMatcher::Error got = PhraseMatcher::Error::ReversedRange;
    const auto m = PhraseMatcher::compile(phrase, &got);
    QCOMPARE(int(got), error);
    QCOMPARE(m.has_value(), error == int(PhraseMatcher::Error::None));
}

namespace {

MatchOptions optionsOf(const QString& switches) {
    return MatchOptions{switches.contains(u'w'), switches.contains(u'k'), switches.contains(u'c')};
}

// The folding rules written out character by character, independently of TextFold.
QString modelFold(const QString& text, MatchOptions o) {
    static const QString half =
        QStringLiteral("｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ");
    static const QString full = QStringLiteral("。「」、・ヲァィゥェォャュョッーアイウエオカキクケ"
                                               "コサシスセソタチツテトナニヌネノハヒフヘホ"
                                               "マミムメモヤユヨラリルレロワン゛゜");
    static const QString voicedFrom = QStringLiteral("ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎｳﾜｦ");
    static const QString voicedTo =
        QStringLiteral("ガギグゲゴザジズゼゾダヂヅデドバビブベボヴヷヺ");
    static const QString semiFrom = QStringLiteral("ﾊﾋﾌﾍﾎ");
    static const QString semiTo = QStringLiteral("パピプペポ");
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (o.ignoreWidth) {
            const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
            if (next == u'ﾞ' && voicedFrom.contains(c)) {
                out += voicedTo[voicedFrom.indexOf(c)];
                ++i;
                continue;
            }
            if (next == u'ﾟ' && semiFrom.contains(c)) {
                out += semiTo[semiFrom.indexOf(c)];
                ++i;
                continue;
            }
            if (half.contains(c))
                c = full[half.indexOf(c)];
            else if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
                c = QChar(c.unicode() - 0xFF01 + u'!');
            else if (c == u'\u3000')
                c = u' ';
        }
        if (o.ignoreKana && ((c >= u'ぁ' && c <= u'ゖ') || c == u'ゝ' || c == u'ゞ'))
            c = QChar(c.unicode() - u'ぁ' + u'ァ');
        if (o.ignoreCase && ((c >= u'A' && c <= u'Z') || (c >= u'Ａ' && c <= u'Ｚ')))
            c = QChar(c.unicode() + 0x20);
        out += c;
    }
    return out;
}

} // namespace

void tst_pickup::textFold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("switches"); // w = width, k = kana, c = case
    QTest::addColumn<QString>("folded");
    QTest::addColumn<QList<qsizetype>>("origin");
    auto row = [](const char* name, const QString& text, const QString& switches,
                  const QString& folded, const QList<qsizetype>& origin) {
        QTest::newRow(name) << text << switches << folded << origin;
    };

    row("nothing on", "ｶﾞＡあ", "", "ｶﾞＡあ", QList<qsizetype>{0, 1, 2, 3, 4});
    row("voiced mark joins its letter", "ｶﾞｷﾞ", "w", "ガギ", QList<qsizetype>{0, 2, 4});
    row("semi-voiced, vu, wa", "ﾊﾟｳﾞﾜﾞ", "w", "パヴヷ", QList<qsizetype>{0, 2, 4, 6});
    row("mark without a composed form stays", "ｯﾞﾞﾏﾟ", "w", "ッ゛゛マ゜",
        QList<qsizetype>{0, 1, 2, 3, 4, 5});
    row("full-width mark is not composed", "カﾞ", "w", "カ゛", QList<qsizetype>{0, 1, 2});
    row("half-width letters and punctuation", "ﾐﾅﾄｸ｡ｰ", "w", "ミナトク。ー",
        QList<qsizetype>{0, 1, 2, 3, 4, 5, 6});
    row("full-width ASCII and the ideographic space", "ＡＢ１！　～", "w", "AB1! ~",
        QList<qsizetype>{0, 1, 2, 3, 4, 5, 6});
    row("width alone keeps case", "Ａａ", "w", "Aa", QList<qsizetype>{0, 1, 2});
    row("hiragana to katakana", "みなとくゔゝゞ", "k", "ミナトクヴヽヾ",
        QList<qsizetype>{0, 1, 2, 3, 4, 5, 6, 7});
    row("kana alone keeps half-width", "ｶﾞか", "k", "ｶﾞカ", QList<qsizetype>{0, 1, 2, 3});
    row("case: ASCII and full-width Latin", "AbＺｙ", "c", "abｚｙ",
        QList<qsizetype>{0, 1, 2, 3, 4});
    row("all three", "Ａｶﾞがa　", "wkc", "aガガa ", QList<qsizetype>{0, 1, 3, 4, 5, 6});
    row("kanji and other letters stay", "東京ΑΩ", "wkc", "東京ΑΩ", QList<qsizetype>{0, 1, 2, 3, 4});
}

void tst_pickup::textFold() {
    QFETCH(QString, text);
    QFETCH(QString, switches);
    QFETCH(QString, folded);
    QFETCH(QList<qsizetype>, origin);
    const MatchOptions options = optionsOf(switches);
    std::vector<qsizetype> got;
    QCOMPARE(TextFold::fold(text, options, &got), folded);
    QCOMPARE(QList<qsizetype>(got.begin(), got.end()), origin);
    QCOMPARE(TextFold::fold(text, options), modelFold(text, options));
}

void tst_pickup::foldedMatcher_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("switches");
    QTest::addColumn<bool>("expected");

    auto row = [](const char* name, const QString& phrase, const QString& subject,
                  const QString& switches, bool expected) {
        QTest::newRow(name) << phrase << subject << switches << expected;
    };
    row("typed kana vs half-width data", "ミナトク", "東京都ﾐﾅﾄｸ", "w", true);
    row("typed kana vs half-width data, width counts", "ミナトク", "東京都ﾐﾅﾄｸ", "", false);
    row("voiced letter vs half-width pair", "ガス", "ｶﾞｽ", "w", true);
    row("letter without mark vs voiced pair", "カ", "ｶﾞ", "w", false);
    row("hiragana vs katakana", "みなと", "ミナト区", "k", true);
    row("hiragana vs half-width needs both", "みなと", "ﾐﾅﾄ", "k", false);
    row("hiragana vs half-width, both on", "みなと", "ﾐﾅﾄ", "wk", true);
    row("case", "abc", "xABCx", "c", true);
    row("case does not fold width", "abc", "ＡＢＣ", "c", false);
    row("case and width", "abc", "ＡＢＣ", "wc", true);
    row("ideographic space", "a b", "a　b", "w", true);
    row("range takes half-width", "[ア-オ]*", "ｱ", "w", true);
    row("range takes hiragana", "[ア-オ]*", "あいう", "k", true);
    row("range takes hiragana and half-width", "[ア-オ]?", "ｳあ", "wk", true);
    row("range without switches", "[ア-オ]*", "ｱ", "", false);
    row("range outside", "[ア-オ]*", "ｶ", "wk", false);
    row("negated range", "[!ア-オ]*", "ｶ", "wk", true);
    row("negated range, folded member", "[!ア-オ]*", "ｲ", "wk", false);
    row("range of capitals, case", "[A-Z]#", "q5", "c", true);
    row("digit takes full-width digit", "*#", "ａ５", "w", true);
    row("full-width star is literal", "＊?", "*x", "w", true);
    row("full-width star is literal, miss", "＊?", "yx", "w", false);
    row("pattern literal run composes", "ｶﾞ*", "ガス", "w", true);
    row("question mark takes a composed pair", "?ｽ", "ｶﾞｽ", "w", true);
    row("all three, pattern", "tokyo*ﾐﾅﾄ*", "ＴＯＫＹＯ　みなと区", "wkc", true);
}

void tst_pickup::foldedMatcher() {
    QFETCH(QString, phrase);
    QFETCH(QString, subject);
    QFETCH(QString, switches);
    QFETCH(bool, expected);
    const MatchOptions options = optionsOf(switches);
    const auto m = PhraseMatcher::compile(phrase, options);
    QVERIFY(m.has_value());
    QCOMPARE(m->matches(TextFold::fold(subject, options)), expected);
}

void tst_pickup::foldedEngineAgreesWithModel_data() {
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("switches");
    for (const char* s : {"w", "k", "c", "wk", "wc", "kc", "wkc"}) {
        QTest::newRow(qPrintable(QStringLiteral("code page 932, %1").arg(s))) << false << s;
        QTest::newRow(qPrintable(QStringLiteral("utf-8, %1").arg(s))) << true << s;
    }
}

void tst_pickup::foldedEngineAgreesWithModel() {
    // Random rows of pieces that fold into one another (and stray bytes, lead bytes without their
    // second byte), random phrases: on every column the engine must pick exactly the rows whose
    // decoded text, folded by the model, matches the phrase folded by the model.
    QFETCH(bool, utf8);
    QFETCH(QString, switches);
    const MatchOptions options = optionsOf(switches);
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    const QStringList texts{"ｶ",  "ﾞ",  "ﾟ", "ﾊ",  "ｯ",  "ｳ",  "ガ", "が", "カ", "か",
                            "パ", "ヴ", "ﾐ", "み", "ミ", "Ａ", "ａ", "A",  "a",  "Z",
                            "ｚ", "　", " ", "０", "0",  "～", "ゞ", "ヾ", "東", ","};
    std::vector<QByteArray> pieces;
    for (const QString& t : texts) {
        QByteArray bytes;
        QCOMPARE(TextCodec::encodeAppend(encoding, t, bytes), qsizetype(-1));
        pieces.push_back(bytes);
    }
    const std::vector<const char*> strays = utf8 ? std::vector<const char*>{"\x80", "\xE3\x82"}
                                                 : std::vector<const char*>{"\x80", "\x83", "\xFD"};
    for (const char* stray : strays)
        pieces.emplace_back(stray);
    RowStore store;
    fillRandomRows(store, encoding, pieces, 23, 2000, 10);
    const QStringList phrases{"ガ",    "ｶﾞ",     "か",  "ｶ",   "ミ", "ﾐ",    "み",   "a",
                              "Ａ",    "ａZ",    " ",   "　",  "0",  "～",   "ヴ",   "ｳﾞ",
                              "ゞ",    "ﾊﾟ",     "ぱ",  "ｯﾞ",  "ﾞ",  "a,ａ", "*ｶﾞ*", "ﾐ?*",
                              "*ａ#*", "[かｱ]*", "*,*", "*ﾞ*", "東", "東ａ"};
    for (const QString& phrase : phrases) {
        // The model folds a pattern's text as a whole: the same as folding its parts as long as
        // no full-width wildcard and no range is in it (as here).
        const std::optional<PhraseMatcher> model =
            PhraseMatcher::compile(modelFold(TextCodec::matchForm(encoding, phrase), options));
        QVERIFY(model);
        for (int column = 0; column <= 3; ++column) {
            const std::vector<ConditionEntry> list{{QString::number(column), phrase}};
            const std::optional<PickupEngine> engine =
                PickupEngine::compile({{}, {}, {}, list}, 2, nullptr, encoding, options);
            QVERIFY(engine);
            std::vector<std::uint32_t> picked;
            engine->pickRange(store, 0, store.rowCount(), picked);
            std::vector<std::uint32_t> expected;
            for (qint64 r = 0; r < store.rowCount(); ++r) {
                const QString subject = column == 0 ? store.rowText(r) : store.field(r, column - 1);
                if (model->matches(modelFold(subject, options)))
                    expected.push_back(std::uint32_t(r));
            }
            QVERIFY2(picked == expected,
                     qPrintable(pickedRowsText(phrase, column, picked, expected)));
            // In NOT OR the same entry removes exactly those rows.
            const std::optional<PickupEngine> removing =
                PickupEngine::compile({{}, list, {}, {}}, 2, nullptr, encoding, options);
            QVERIFY(removing);
            std::vector<std::uint32_t> kept;
            removing->pickRange(store, 0, store.rowCount(), kept);
            QCOMPARE(qint64(kept.size() + expected.size()), store.rowCount());
            for (const std::uint32_t r : kept)
                QVERIFY(!std::binary_search(expected.begin(), expected.end(), r));
        }
    }
}

void tst_pickup::findAgreesWithPlainSearch() {
    // The vector search against std::search over many random texts of a small alphabet, so that
    // near misses, edges of the eight-unit blocks and overlapping hits all occur.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> letter(0, 2);
    for (int round = 0; round < 6000; ++round) {
        const int n = int(rng() % (round % 2 ? 60 : 200)); // both the short and the long path
        const int m = 1 + int(rng() % 6);
        std::u16string text(size_t(n), u'a');
        std::u16string needle(size_t(m), u'a');
        for (auto& c : text)
            c = char16_t(u'a' + letter(rng));
        for (auto& c : needle)
            c = char16_t(u'a' + letter(rng));
        const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end());
        const qsizetype expected = it == text.end() ? -1 : qsizetype(it - text.begin());
        QCOMPARE(PhraseMatcher::find(text.data(), n, needle.data(), m), expected);
    }
}

// Plain recursive matcher of the pattern language (exponential, fine for short texts).
bool referenceMatch(QStringView p, QStringView s) {
    if (p.isEmpty())
        return s.isEmpty();
    const QChar c = p.front();
    if (c == u'*')
        return referenceMatch(p.sliced(1), s) || (!s.isEmpty() && referenceMatch(p, s.sliced(1)));
    if (s.isEmpty())
        return false;
    const QChar u = s.front();
    if (c == u'[') {
        qsizetype k = 1;
        const bool negated = p.size() > 1 && p[1] == u'!';
        if (negated)
            k = 2;
        const qsizetype close = p.indexOf(u']', k);
        bool in = false;
        for (qsizetype j = k; j < close; ++j) {
            if (j + 2 < close && p[j + 1] == u'-') {
                in = in || (u >= p[j] && u <= p[j + 2]);
                j += 2;
            } else {
                in = in || u == p[j];
            }
        }
        return in != negated && referenceMatch(p.sliced(close + 1), s.sliced(1));
    }
    const bool one = c == u'?' || (c == u'#' && u >= u'0' && u <= u'9') || c == u;
    return one && referenceMatch(p.sliced(1), s.sliced(1));
}

void tst_pickup::patternAgreesWithBacktrackingReference() {
    std::mt19937 rng(3);
    const QStringList pieces = {"a", "b", "1", "*", "*", "?", "#", "[ab]", "[!a]", "[0-1]", "ab"};
    const QString units = "ab1-";
    for (int round = 0; round < 20000; ++round) {
        QString pattern;
        const int parts = 1 + int(rng() % 6);
        for (int k = 0; k < parts; ++k)
            pattern += pieces[int(rng() % pieces.size())];
        if (!PhraseMatcher::isPattern(pattern))
            pattern.insert(rng() % 2 ? 0 : pattern.size(), u'*');
        QString subject;
        const int n = int(rng() % 9);
        for (int k = 0; k < n; ++k)
            subject += units[int(rng() % units.size())];
        const auto m = PhraseMatcher::compile(pattern);
        QVERIFY2(m, qPrintable(pattern));
        if (m->matches(subject) != referenceMatch(pattern, subject))
            QFAIL(qPrintable(QStringLiteral("pattern %1, subject %2").arg(pattern, subject)));
    }
}

void tst_pickup::verdictOverListCombinations_data() {
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

void tst_pickup::verdictOverListCombinations() {
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

namespace {

// "col:phrase|col:phrase" into entries.
std::vector<ConditionEntry> entries(const QString& items) {
    std::vector<ConditionEntry> out;
    for (const QString& item : items.split(u'|', Qt::SkipEmptyParts))
        out.push_back({item.section(u':', 0, 0), item.section(u':', 1)});
    return out;
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

void tst_pickup::explainEachVerdictPath_data() {
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

void tst_pickup::explainEachVerdictPath() {
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

void tst_pickup::explainAgreesWithPickRange_data() {
    QTest::addColumn<bool>("quoted");
    QTest::newRow("plain") << false;
    QTest::newRow("quoted") << true;
}

void tst_pickup::explainAgreesWithPickRange() {
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

// Shapes of lists where the rows found by the byte search are the picked rows without a verdict,
// and shapes next to them where they are not; the phrase "\" also sits inside "ソ" (0x83 0x5C),
// where it must not count.
void tst_pickup::searchAloneDecides_data() {
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

void tst_pickup::searchAloneDecides() {
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

void tst_pickup::explainDescribesEveryList() {
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

void tst_pickup::matchSpans_data() {
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

void tst_pickup::matchSpans() {
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

void tst_pickup::resultModelGivesMatchSpans() {
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

void tst_pickup::edgeCases_data() {
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

void tst_pickup::edgeCases() {
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

void tst_pickup::entryCheck_data() {
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

void tst_pickup::entryCheck() {
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

void tst_pickup::entryCheckReportsFirstBadEntryInListOrder() {
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

void tst_pickup::rowTextSearchStaysInsideEachRow_data() {
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

void tst_pickup::rowTextSearchStaysInsideEachRow() {
    QFETCH(QStringList, lines);
    QFETCH(QString, phrase);
    QFETCH(QList<int>, picked);
    const auto store = makeStore(0, lines);
    Lists l;
    l.inOr = {{"0", phrase}};
    QCOMPARE(pickAll(*store, l), std::vector<std::uint32_t>(picked.begin(), picked.end()));
}

void tst_pickup::runInSlicesMatchesOneGo_data() {
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("sliceMs");
    QTest::addColumn<bool>("mustSplit"); // the helper thread has to search pieces
    // The picked rows are gathered in slices of sliceMs too (else all at once by takeRows()).
    QTest::addColumn<bool>("gatherInSlices");
    QTest::newRow("one thread") << 1 << 150000 << 1 << false << false;
    QTest::newRow("two threads") << 2 << 150000 << 1 << true << true;
    // Slices without time: this thread takes a row a slice, the helper nearly all the rest, and
    // the pieces finish out of order; then every piece is gathered in a slice of its own.
    QTest::newRow("two threads, slices without time") << 2 << 100000 << 0 << true << true;
    QTest::newRow("one thread, slices without time") << 1 << 20000 << 0 << false << true;
    // One long slice: the run ends inside it, both threads searching.
    QTest::newRow("one thread, long slices") << 1 << 100000 << 3600000 << false << false;
    QTest::newRow("two threads, long slices") << 2 << 100000 << 3600000 << true << true;
    QTest::newRow("two threads, few rows") << 2 << 37 << 1 << false << true;
    QTest::newRow("no rows") << 2 << 0 << 1 << false << true;
}

void tst_pickup::runInSlicesMatchesOneGo() {
    QFETCH(int, threads);
    QFETCH(int, rows);
    QFETCH(int, sliceMs);
    QFETCH(bool, mustSplit);
    QFETCH(bool, gatherInSlices);
    auto store = std::make_unique<RowStore>();
    store->reset(2);
    std::mt19937 rng(11);
    for (int i = 0; i < rows; ++i)
        store->appendLine(
            QStringLiteral("%1,%2,x%3").arg(i).arg(rng() % 7).arg(rng() % 3 ? "" : "9"));
    Lists l;
    l.inOr = {{"2", "1"}, {"2", "3"}, {"2", "5"}}; // about three rows in seven: many chunks
    l.outOr = {{"1", "*#9"}};
    l.outAnd = {{"0", "x9"}}; // searched through the row texts, across the store's blocks
    std::vector<std::uint32_t> reference;
    for (qint64 r = 0; r < store->rowCount(); ++r)
        if (referencePicks(*store, r, Lists{{}, {}, {}, l.inOr}) &&
            !(store->rowText(r).contains(u"x9") &&
              PhraseMatcher::compile(u"*#9")->matches(store->field(r, 0))))
            reference.push_back(std::uint32_t(r));
    const auto engine = PickupEngine::compile(l.conditions(), 2);
    QVERIFY(engine);
    std::vector<std::uint32_t> expected;
    engine->pickRange(*store, 0, store->rowCount(), expected);
    QVERIFY(expected == reference);

    PickupRun run(*store, *engine, store->rowCount(), threads);
    QCOMPARE(run.threadCount(), threads);
    int slices = 0;
    qint64 lastDone = -1;
    while (!run.done()) {
        run.runSlice(std::chrono::milliseconds(sliceMs));
        QVERIFY(run.rowsDone() > lastDone);
        lastDone = run.rowsDone();
        ++slices;
    }
    QCOMPARE(run.rowsDone(), qint64(rows));
    QCOMPARE(run.pickedCount(), qint64(expected.size()));
    int gatherSlices = 0;
    while (gatherInSlices && !run.gathered()) {
        run.gatherSlice(std::chrono::milliseconds(sliceMs));
        ++gatherSlices;
    }
    if (gatherInSlices && sliceMs == 0 && rows > 10000)
        QVERIFY(gatherSlices > 1);
    const std::vector<std::uint32_t> got = run.takeRows();
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    QCOMPARE(got.capacity(), got.size());
    if (rows > 100000 && sliceMs == 1)
        QVERIFY(slices > 1);
    if (mustSplit)
        QVERIFY(run.splitBatches() > 0);
    if (threads == 1)
        QCOMPARE(run.splitBatches(), qint64(0));
}

void tst_pickup::jobOutcomes_data() {
    using Outcome = PickupJob::Result::Outcome;
    QTest::addColumn<int>("stopAfterSlices"); // -1: never
    QTest::addColumn<qint64>("pickedLimit");  // 0: none
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("sliceMs"); // 0: the picked rows are gathered in several slices
    // Stop at the first turn of the event loop after the one that followed the last search.
    QTest::addColumn<bool>("stopWhileGathering");
    QTest::newRow("done") << -1 << qint64(0) << Outcome::Done << 1 << false;
    QTest::newRow("stopped after the first slice")
        << 1 << qint64(0) << Outcome::Stopped << 1 << false;
    QTest::newRow("out of memory") << -1 << qint64(10) << Outcome::OutOfMemory << 1 << false;
    QTest::newRow("done, gathered in slices") << -1 << qint64(0) << Outcome::Done << 0 << false;
    QTest::newRow("stopped while gathering") << -1 << qint64(0) << Outcome::Stopped << 0 << true;
}

void tst_pickup::jobOutcomes() {
    using Outcome = PickupJob::Result::Outcome;
    QFETCH(int, stopAfterSlices);
    QFETCH(qint64, pickedLimit);
    QFETCH(Outcome, outcome);
    QFETCH(int, sliceMs);
    QFETCH(bool, stopWhileGathering);
    auto store = std::make_unique<RowStore>();
    store->reset(1);
    for (int i = 0; i < 50000; ++i)
        store->appendLine(QStringLiteral("%1,%2").arg(i).arg(i % 3 ? "a" : "b"));
    Lists l;
    l.inAnd = {{"2", "b"}};
    const auto engine = PickupEngine::compile(l.conditions(), 1);
    QVERIFY(engine);
    std::vector<std::uint32_t> expected;
    engine->pickRange(*store, 0, store->rowCount(), expected);

    int slices = 0;
    qint64 lastDone = 0;
    qint64 lastPicked = 0;
    PickupJob::Hooks hooks;
    hooks.progress = [&](qint64 done, qint64 total, qint64 picked) {
        QVERIFY(done > lastDone && total == store->rowCount() && picked <= done);
        lastDone = done;
        lastPicked = picked;
    };
    int turnsAfterSearch = 0;
    hooks.yield = [&] {
        if (lastDone == store->rowCount())
            ++turnsAfterSearch;
        if (stopWhileGathering)
            return turnsAfterSearch == 2;
        return ++slices == stopAfterSlices;
    };
    PickupRun::setPickedLimitForTesting(pickedLimit);
    const PickupJob::Result result = PickupJob::run(*store, *engine, store->rowCount(), hooks,
                                                    std::chrono::milliseconds(sliceMs), 2);
    PickupRun::setPickedLimitForTesting(0);
    QCOMPARE(result.outcome, outcome);
    QVERIFY(result.rows == (outcome == Outcome::Done ? expected : std::vector<std::uint32_t>{}));
    if (outcome == Outcome::Done) { // the window shows the last progress: it must be the end
        QCOMPARE(lastDone, store->rowCount());
        QCOMPARE(lastPicked, qint64(expected.size()));
        if (sliceMs == 0) // the event loop turned while the rows were gathered
            QVERIFY(turnsAfterSearch > 1);
    }
    if (outcome == Outcome::Stopped && !stopWhileGathering)
        QCOMPARE(slices, stopAfterSlices);
    if (stopWhileGathering) // the Stop came after every row was searched, and was kept to
        QCOMPARE(turnsAfterSearch, 2);
}

void tst_pickup::runStopsWithinItsBudget() {
    // A slice must hand control back: with a tiny budget, a large table is not done in one go.
    auto store = std::make_unique<RowStore>();
    store->reset(0);
    for (int i = 0; i < 400000; ++i)
        store->appendLine(QStringLiteral("row %1 with some text to search through").arg(i));
    Lists l;
    l.inAnd = {{"0", "*xyz*"}};
    const auto engine = PickupEngine::compile(l.conditions(), 0);
    QVERIFY(engine);
    PickupRun run(*store, *engine, store->rowCount(), 2);
    run.runSlice(1ms);
    QVERIFY(run.rowsDone() > 0);
    QVERIFY(run.rowsDone() < store->rowCount());
    // Even a slice with no time left gets on by at least one row.
    for (int i = 0; i < 3; ++i) {
        const qint64 before = run.rowsDone();
        run.runSlice(0ns);
        QVERIFY(run.rowsDone() > before);
    }
}

void tst_pickup::byteSearchAgreesWithDecodedText_data() {
    QTest::addColumn<bool>("utf8");
    QTest::newRow("code page 932") << false;
    QTest::newRow("utf-8") << true;
}

void tst_pickup::byteSearchAgreesWithDecodedText() {
    // Rows of random pieces: two-byte characters whose second byte looks like "\\", "@", "A" or
    // "[", those ASCII characters themselves, characters with two or three codes, half-width kana,
    // stray bytes and lead bytes without their second byte. Every phrase, on the whole row and on
    // each column, must pick exactly the rows whose decoded text holds it.
    QFETCH(bool, utf8);
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    const std::vector<QByteArray> cp932Pieces{
        "\x83\x5C", "\x95\x5C", "\\",       "\x83\x41", "A",        "@",        "\x81\x5B",
        "[",        "\x87\x54", "\xFA\x4A", "\x81\xE6", "\x87\x9A", "\xFA\x5B", "\x81\xCA",
        "\xEE\xF9", "\xB1",     "\x81\x60", "\x80",     "\x83",     "\xFD",     ","};
    const std::vector<QByteArray> utf8Pieces{"\xE3\x82\xBD",
                                             "\\",
                                             "A",
                                             "\xE2\x85\xA0",
                                             "\xEF\xBD\xB1",
                                             "\xE3\x80\x9C",
                                             "\xF0\x9F\x98\x80",
                                             "\x80",
                                             "\xE3\x82",
                                             "\xFF",
                                             ","};
    const std::vector<QByteArray>& pieces = utf8 ? utf8Pieces : cp932Pieces;
    RowStore store;
    fillRandomRows(store, encoding, pieces, 11, 3000, 12);
    const QStringList phrases{"\\", "A", "@",  "[",  "ソ",  "ア", "表\\", "ソA",        "Ⅰ", "∵",
                              "¬",  "ｱ", "〜", "～", "ーA", "A,", ",ア",  "\U0001F600", "ⅠⅠ"};
    for (const QString& phrase : phrases) {
        for (int column = 0; column <= 3; ++column) {
            const ConditionEntry entry{QString::number(column), phrase};
            const std::vector<ConditionEntry> list{entry};
            const std::optional<PickupEngine> engine =
                PickupEngine::compile({{}, {}, {}, list}, 2, nullptr, encoding);
            QVERIFY(engine);
            std::vector<std::uint32_t> picked;
            engine->pickRange(store, 0, store.rowCount(), picked);
            const std::optional<PhraseMatcher> reference =
                PhraseMatcher::compile(TextCodec::matchForm(encoding, phrase));
            std::vector<std::uint32_t> expected;
            for (qint64 r = 0; r < store.rowCount(); ++r) {
                const QString subject = column == 0 ? store.rowText(r) : store.field(r, column - 1);
                if (reference->matches(subject))
                    expected.push_back(std::uint32_t(r));
            }
            QVERIFY2(picked == expected,
                     qPrintable(pickedRowsText(phrase, column, picked, expected)));
        }
    }
}

void tst_pickup::typedFormsMatchTheCodePage_data() {
    addInputMethodFormRows();
}

void tst_pickup::typedFormsMatchTheCodePage() {
    // A typed phrase finds the character in a code page 932 file, which holds the code page's
    // form, and in a UTF-8 file, which holds the typed one; as a substring and in a pattern, on
    // the row and on its column.
    QFETCH(QString, typed);
    QFETCH(QString, codePage);
    RowStore cp932;
    cp932.reset(1, TextEncoding::Cp932);
    RowStore utf8;
    utf8.reset(1, TextEncoding::Utf8);
    for (const QString& line : {"1,a" + codePage + "b", QStringLiteral("2,ab")}) {
        const Cp932::EncodeResult bytes = Cp932::encode(line);
        QVERIFY(bytes.ok());
        cp932.appendLine(QByteArrayView(bytes.bytes));
    }
    for (const QString& line : {"1,a" + typed + "b", QStringLiteral("2,ab")})
        utf8.appendLine(QByteArrayView(line.toUtf8()));
    for (const RowStore* store : {&cp932, &utf8}) {
        for (const QString& phrase : {typed, "a" + typed, "*" + typed + "?"}) {
            for (const char* column : {"0", "2"}) {
                const std::vector<ConditionEntry> list{{QString::fromLatin1(column), phrase}};
                const auto engine =
                    PickupEngine::compile({{}, {}, list, {}}, 1, nullptr, store->encoding());
                QVERIFY(engine);
                std::vector<std::uint32_t> picked;
                engine->pickRange(*store, 0, store->rowCount(), picked);
                QVERIFY2(picked == std::vector<std::uint32_t>{0},
                         qPrintable(phrase + " on column " + column));
            }
        }
    }
}

namespace {

// The process's resident memory (kilobytes) from /proc/self/status: "VmRSS" now, "VmHWM" its peak.
qint64 memoryKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts the peak over from what is resident now; false where the system does not allow it.
bool resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush();
}

} // namespace

void tst_pickup::longSubjectMatchedInBoundedMemory_data() {
    QTest::addColumn<int>("commaCount");
    QTest::addColumn<QByteArray>("fieldUnit"); // the long field, this repeated
    QTest::addColumn<int>("column");           // of the entry
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("picked");

    // A row of 32 MB: a few fields, the last one long, or thousands of short fields.
    QTest::newRow("pattern on a long column") << 2 << QByteArray("x") << 3 << "*y*" << false;
    QTest::newRow("pattern matching a long column") << 2 << QByteArray("x") << 3 << "x*x" << true;
    QTest::newRow("pattern on the whole long row") << 2 << QByteArray("x") << 0 << "a*x" << true;
    QTest::newRow("two-byte text") << 2 << QByteArray("\x93\x8c\x8b\x9e") << 3 << "*京東*" << true;
    QTest::newRow("column of a row of many fields")
        << 4'000'000 << QByteArray("xxxxxxx,") << 2 << "?*" << true;
}

void tst_pickup::longSubjectMatchedInBoundedMemory() {
    QFETCH(int, commaCount);
    QFETCH(QByteArray, fieldUnit);
    QFETCH(int, column);
    QFETCH(QString, phrase);
    QFETCH(bool, picked);
#if defined(__SANITIZE_THREAD__)
    QSKIP("ThreadSanitizer's shadow memory counts in the process's peak");
#endif

    constexpr qsizetype kRowBytes = 32 * 1024 * 1024;
    QByteArray row("a,b,");
    row.reserve(kRowBytes + 16);
    if (fieldUnit.contains(',')) {
        for (int c = 2; c < commaCount; ++c)
            row += fieldUnit;
    } else {
        while (row.size() < kRowBytes)
            row += fieldUnit;
    }
    row += "x";
    QCOMPARE(row.count(','), qsizetype(commaCount));
    auto store = std::make_unique<RowStore>();
    store->reset(commaCount);
    store->appendLine(QByteArrayView(row));
    const qsizetype rowBytes = row.size();
    row = QByteArray();

    const std::vector<ConditionEntry> list{{QString::number(column), phrase}};
    const std::optional<PickupEngine> engine =
        PickupEngine::compile({{}, {}, list, {}}, commaCount);
    QVERIFY(engine);
    if (!resetPeakMemory())
        QSKIP("the peak memory cannot be started over here");
    const qint64 before = memoryKiB("VmRSS:");
    std::vector<std::uint32_t> rows;
    engine->pickRange(*store, 0, store->rowCount(), rows);
    const qint64 peak = memoryKiB("VmHWM:");
    QCOMPARE(rows.size(), size_t(picked ? 1 : 0));
    // The subject decoded (two bytes a code unit) and little more: never a table of one entry
    // per byte.
    const qint64 grown = (peak - before) * 1024;
    QVERIFY2(grown <= 3 * rowBytes,
             qPrintable(
                 QStringLiteral("%1 MB for a row of %2 MB").arg(grown >> 20).arg(rowBytes >> 20)));
}

void tst_pickup::quotedSubjects_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("folded"); // width and case folded
    QTest::addColumn<QList<int>>("picked");
    auto row = [](const char* name, const QString& column, const QString& phrase, bool folded,
                  const QList<int>& picked) {
        QTest::newRow(name) << column << phrase << folded << picked;
    };
    // The records (see quotedSubjects): field texts a,b | c"d ; x | y ; abcd | e ; p<LF>q | r
    row("comma between two fields", "0", "b,c", false, QList<int>{0});
    row("a doubled quote is one", "0", "c\"d", false, QList<int>{0});
    row("quotes left out of the row text", "0", "x,y", false, QList<int>{1});
    row("text after a closing quote", "0", "bc", false, QList<int>{2});
    row("plain phrase through the bytes", "0", "d", false, QList<int>{0, 2});
    row("pattern on the row text", "0", "a,b,*", false, QList<int>{0});
    row("pattern over a line break", "1", "p?q", false, QList<int>{3});
    row("field text", "2", "c\"d", false, QList<int>{0});
    row("enclosing quotes are no text", "1", "\"", false, QList<int>{});
    row("comma inside a field", "1", "a,b", false, QList<int>{0});
    // Folded phrases see the same subjects as exact ones: the field texts, joined by ",".
    row("folded: a full-width comma is a comma", "0", "B，C", true, QList<int>{0});
    row("folded: comma between two fields, ASCII", "0", "B,C", true, QList<int>{0});
    row("folded: a doubled quote is one", "0", "Ｃ＂ｄ", true, QList<int>{0});
    row("folded: quotes left out of the row text", "0", "Ｘ,y", true, QList<int>{1});
    row("folded: text after a closing quote", "0", "ＢＣ", true, QList<int>{2});
    row("folded: through the bytes", "0", "Ｄ", true, QList<int>{0, 2});
    row("folded: pattern on the row text", "0", "Ａ,b,*", true, QList<int>{0});
    row("folded: field text", "2", "C\"D", true, QList<int>{0});
    row("folded: comma inside a field", "1", "Ａ,Ｂ", true, QList<int>{0});
}

void tst_pickup::quotedSubjects() {
    QFETCH(QString, column);
    QFETCH(QString, phrase);
    QFETCH(bool, folded);
    QFETCH(QList<int>, picked);
    const std::vector<ConditionEntry> list{{column, phrase}};
    const auto engine =
        PickupEngine::compile({{}, {}, {}, list}, 1, nullptr, TextEncoding::Cp932,
                              folded ? MatchOptions{true, false, true} : MatchOptions{});
    QVERIFY(engine);
    // As the reader finds "ab"cd the quotes are irregular; without that record the bytes are
    // searched: the same rows but that one.
    for (const bool irregular : {true, false}) {
        RowStore store;
        store.reset(1);
        store.setFieldMode(FieldMode::Quoted, 1);
        store.setIrregularQuotes(irregular);
        QList<int> want;
        int row = 0;
        for (const QByteArray& record : {QByteArray("\"a,b\",\"c\"\"d\""), QByteArray("\"x\",y"),
                                         QByteArray("\"ab\"cd,e"), QByteArray("\"p\nq\",r")}) {
            if (!irregular && record.startsWith("\"ab\""))
                continue;
            if (picked.contains(row + (!irregular && row >= 2 ? 1 : 0)))
                want.append(row);
            store.appendLine(QByteArrayView(record));
            ++row;
        }
        std::vector<std::uint32_t> rows;
        engine->pickRange(store, 0, store.rowCount(), rows);
        QCOMPARE(QList<int>(rows.begin(), rows.end()), want);
    }
}

void tst_pickup::columnMixesAgreeWithModel_data() {
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<bool>("quoted");
    QTest::addColumn<QString>("switches");
    QTest::newRow("code page 932") << false << false << "";
    QTest::newRow("utf-8") << true << false << "";
    QTest::newRow("code page 932, quoted") << false << true << "";
    QTest::newRow("code page 932, switches on") << false << false << "wkc";
    QTest::newRow("utf-8, quoted, switches on") << true << true << "wkc";
}

void tst_pickup::columnMixesAgreeWithModel() {
    // Random rows (some with fewer fields than the table, fields ending in a lead byte without its
    // second byte, characters whose second byte looks like ASCII) and random mixes of entries on
    // every column in all four lists, plain phrases and patterns: the engine, run over ranges of
    // random length, must pick exactly the rows the rule picks with every subject decoded (and
    // folded) and matched as text, and explain each row alike.
    QFETCH(bool, utf8);
    QFETCH(bool, quoted);
    QFETCH(QString, switches);
    const MatchOptions options = optionsOf(switches);
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    constexpr int kCommas = 4;
    std::vector<QByteArray> pieces;
    for (const char* t :
         {"2",  "0",  "1",  "5",  "/", "o", "k", "-", "Z", "A",  "\\", "@",  "田", "中",
          "山", "ソ", "ア", "表", "ﾀ", "ﾛ", "ｳ", "ｶ", "ﾞ", "カ", "一", "般", "\"", " "}) {
        QByteArray bytes;
        QCOMPARE(TextCodec::encodeAppend(encoding, QString::fromUtf8(t), bytes), qsizetype(-1));
        pieces.push_back(bytes);
    }
    for (const char* stray : utf8 ? std::vector<const char*>{"\x80", "\xE3\x82"}
                                  : std::vector<const char*>{"\x80", "\x83", "\x95"})
        pieces.emplace_back(stray);
    if (quoted)
        pieces.emplace_back(",");
    std::mt19937 rng(41);
    RowStore store;
    store.reset(kCommas, encoding);
    if (quoted)
        store.setFieldMode(FieldMode::Quoted, kCommas);
    std::vector<QByteArrayList> texts; // each row's field texts, as the model takes them
    for (int r = 0; r < 300; ++r) {
        const int fields = rng() % 8 == 0 ? 1 + int(rng() % kCommas) : kCommas + 1;
        QByteArray row;
        texts.emplace_back();
        for (int f = 0; f < fields; ++f) {
            QByteArray field;
            for (int k = int(rng() % 6); k > 0; --k)
                field += pieces[rng() % pieces.size()];
            if (!quoted && field.contains('"'))
                field.replace('"', 'o');
            texts.back().append(field);
            if (quoted && (field.contains(',') || field.contains('"') || rng() % 2))
                field = '"' + QByteArray(field).replace("\"", "\"\"") + '"';
            row += (f ? "," : "") + field;
        }
        store.appendLine(QByteArrayView(row));
    }
    const QStringList phrases{"ok",      "-Z",      "田中", "ソ",  "A",   "\\",   "表",   "ﾀﾛｳ",
                              "ｶﾞ",      "ガ",      "0/",   "@",   "",    "中山", "20#*", "*#5",
                              "#*",      "?",       "*ソ*", "ア*", "*",   "??",   "*A",   "*/#",
                              "[ソア]*", "*[!0-9]", "2?/*", "*ﾛｳ", "一般"};
    auto modelText = [&](const QString& text) {
        return options.any() ? modelFold(text, options) : text;
    };
    for (int trial = 0; trial < 200; ++trial) {
        Lists l;
        std::vector<ConditionEntry>* lists[] = {&l.outAnd, &l.outOr, &l.inAnd, &l.inOr};
        for (std::vector<ConditionEntry>* list : lists)
            for (int k = int(rng() % 3); k > 0; --k)
                list->push_back({QString::number(rng() % (kCommas + 2)),
                                 phrases[qsizetype(rng() % phrases.size())]});
        PickupCompileError error;
        const std::optional<PickupEngine> engine =
            PickupEngine::compile(l.conditions(), kCommas, &error, encoding, options);
        QVERIFY2(engine, qPrintable(error.message));
        std::vector<std::uint32_t> picked;
        for (qint64 begin = 0; begin < store.rowCount();) {
            const qint64 end = std::min<qint64>(store.rowCount(), begin + 1 + rng() % 120);
            engine->pickRange(store, begin, end, picked);
            begin = end;
        }
        auto matches = [&](const ConditionEntry& e, qint64 row) {
            const int column = e.column.toInt();
            const QByteArrayList& fields = texts[size_t(row)];
            const QByteArray bytes = column == 0               ? fields.join(',')
                                     : column <= fields.size() ? fields[column - 1]
                                                               : QByteArray();
            const QString subject = TextCodec::decode(encoding, bytes);
            const std::optional<PhraseMatcher> model =
                PhraseMatcher::compile(modelText(TextCodec::matchForm(encoding, e.phrase)));
            return model->matches(modelText(subject));
        };
        auto all = [&](const std::vector<ConditionEntry>& list, qint64 row) {
            return std::all_of(list.begin(), list.end(),
                               [&](const ConditionEntry& e) { return matches(e, row); });
        };
        auto any = [&](const std::vector<ConditionEntry>& list, qint64 row) {
            return std::any_of(list.begin(), list.end(),
                               [&](const ConditionEntry& e) { return matches(e, row); });
        };
        std::vector<std::uint32_t> expected;
        for (qint64 r = 0; r < store.rowCount(); ++r) {
            const bool removed = (!l.outAnd.empty() || !l.outOr.empty()) &&
                                 (l.outAnd.empty() || all(l.outAnd, r)) &&
                                 (l.outOr.empty() || any(l.outOr, r));
            const bool wanted = !removed && (l.inAnd.empty() || all(l.inAnd, r)) &&
                                (l.inOr.empty() || any(l.inOr, r));
            if (wanted)
                expected.push_back(std::uint32_t(r));
            QCOMPARE(engine->explain(store, r).reason == RowVerdict::Reason::Picked, wanted);
        }
        QVERIFY2(picked == expected, qPrintable(QStringLiteral("trial %1: %2 rows, not %3")
                                                    .arg(trial)
                                                    .arg(picked.size())
                                                    .arg(expected.size())));
    }
}

QTEST_GUILESS_MAIN(tst_pickup)
#include "tst_pickup.moc"
