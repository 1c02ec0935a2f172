// The phrase matcher on its own: substrings and patterns, their errors, the folding of text
// under the match switches, and the vector search against plain references.
#include "PickupTestSupport.h"
#include "pickup/PhraseMatcher.h"
#include "pickup/TextFold.h"

#include <QTest>

#include <random>

class tst_pickup_matcher : public QObject {
    Q_OBJECT
private slots:
    void matcher_data();
    void matcher();
    void matcherErrors_data();
    void matcherErrors();
    void textFold_data();
    void textFold();
    void foldedMatcher_data();
    void foldedMatcher();
    void findAgreesWithPlainSearch();
    void patternAgreesWithBacktrackingReference();
};

void tst_pickup_matcher::matcher_data() {
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

void tst_pickup_matcher::matcher() {
    QFETCH(QString, phrase);
    QFETCH(QString, subject);
    QFETCH(bool, expected);
    const auto m = PhraseMatcher::compile(phrase);
    QVERIFY(m.has_value());
    QCOMPARE(m->isPattern(), PhraseMatcher::isPattern(phrase));
    QCOMPARE(m->matches(subject), expected);
}

void tst_pickup_matcher::matcherErrors_data() {
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

void tst_pickup_matcher::matcherErrors() {
    QFETCH(QString, phrase);
    QFETCH(int, error);
    PhraseMatcher::Error got = PhraseMatcher::Error::ReversedRange;
    const auto m = PhraseMatcher::compile(phrase, &got);
    QCOMPARE(int(got), error);
    QCOMPARE(m.has_value(), error == int(PhraseMatcher::Error::None));
}

void tst_pickup_matcher::textFold_data() {
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

void tst_pickup_matcher::textFold() {
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

void tst_pickup_matcher::foldedMatcher_data() {
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

void tst_pickup_matcher::foldedMatcher() {
    QFETCH(QString, phrase);
    QFETCH(QString, subject);
    QFETCH(QString, switches);
    QFETCH(bool, expected);
    const MatchOptions options = optionsOf(switches);
    const auto m = PhraseMatcher::compile(phrase, options);
    QVERIFY(m.has_value());
    QCOMPARE(m->matches(TextFold::fold(subject, options)), expected);
}

void tst_pickup_matcher::findAgreesWithPlainSearch() {
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

void tst_pickup_matcher::patternAgreesWithBacktrackingReference() {
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

QTEST_GUILESS_MAIN(tst_pickup_matcher)
#include "tst_pickup_matcher.moc"
