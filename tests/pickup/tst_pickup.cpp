// The pickup engine on the subjects it searches: code page 932 and UTF-8 bytes, folded text,
// typed forms, quoted fields, very long rows and random mixes of columns, each against the text
// decoded and matched plainly.
#include "InputMethodForms.h"
#include "PickupTestSupport.h"
#include "base/Cp932.h"
#include "base/TextCodec.h"
#include "pickup/PhraseMatcher.h"
#include "pickup/PickupEngine.h"
#include "pickup/TextFold.h"
#include "source/RowStore.h"

#include <QFile>
#include <QTest>

#include <random>

class tst_pickup : public QObject {
    Q_OBJECT
private slots:
    void longSubjectMatchedInBoundedMemory_data();
    void longSubjectMatchedInBoundedMemory();
    void foldedEngineAgreesWithModel_data();
    void foldedEngineAgreesWithModel();
    void byteSearchAgreesWithDecodedText_data();
    void byteSearchAgreesWithDecodedText();
    void typedFormsMatchTheCodePage_data();
    void typedFormsMatchTheCodePage();
    void quotedSubjects_data();
    void quotedSubjects();
    void columnMixesAgreeWithModel_data();
    void columnMixesAgreeWithModel();
};

namespace {

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

} // namespace

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
