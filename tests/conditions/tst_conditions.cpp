#include "InputMethodForms.h"
#include "TestFiles.h"
#include "base/Cp932.h"
#include "base/TextCodec.h"
#include "conditions/ConditionListFile.h"
#include "conditions/ConditionListModel.h"
#include "conditions/ConditionRegistration.h"
#include "conditions/TypedInput.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace ConditionRegistration;
using Entries = std::vector<ConditionEntry>;
using Lines = QList<qint64>;

Q_DECLARE_METATYPE(ConditionList)

namespace {

// Four lists in the fixed order, owned by the test.
struct FourLists {
    std::array<std::unique_ptr<ConditionListModel>, kConditionListCount> models;
    Lists lists{};
    FourLists() {
        for (int i = 0; i < kConditionListCount; ++i) {
            models[size_t(i)] = std::make_unique<ConditionListModel>();
            lists[size_t(i)] = models[size_t(i)].get();
        }
    }
    ConditionListModel& operator[](ConditionList id) { return *models[size_t(id)]; }
};

// "当選" and "東京" in code page 932.
const QByteArray kToosenSjis("\x93\x96\x91\x49");
const QByteArray kTokyoSjis("\x93\x8c\x8b\x9e");

} // namespace

class tst_conditions : public QObject {
    Q_OBJECT
private slots:
    void columnCheck_data();
    void columnCheck();
    void messages();
    void registerNew();
    void registerKeepsColumnAsTyped();
    void registerRefusedAsksNothing();
    void duplicate_data();
    void duplicate();
    void duplicateInTwoListsOnlyFirstAsked();
    void sameEntryNeedsBothFields();

    void encodeExactBytes();
    void encodeEmptyList();
    void encodeRefusesUnencodable_data();
    void encodeRefusesUnencodable();
    void parse_data();
    void parse();
    void saveAndLoadRoundTrip();
    void listFileEncodingChoice_data();
    void listFileEncodingChoice();
    void listFileKeepsTypedForms_data();
    void listFileKeepsTypedForms();
    void saveRefusedKeepsOldFile();
    void saveToMissingFolderFails();
    void loadTwiceGivesSameEntries();
    void loadMissingFileFails();
    void loadDirectoryFails();
    void loadUtf16Fails_data();
    void loadUtf16Fails();
    void loadBadLinesKeepsTheOthers();
    void typedInput_data();
    void typedInput();
};

void tst_conditions::columnCheck_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<qint64>("commaCount");
    QTest::addColumn<QString>("error"); // empty: passes

    const QString digits = digitsMessage();
    QTest::newRow("highest with 4 commas") << "5" << qint64(4) << QString();
    QTest::newRow("leading zero") << "05" << qint64(4) << QString();
    QTest::newRow("zero") << "0" << qint64(4) << QString();
    QTest::newRow("many zeros") << "0000000000000000000000000" << qint64(0) << QString();
    QTest::newRow("above highest")
        << "6" << qint64(4) << "Error:列指定に入力できる値は0-5の範囲です｡";
    QTest::newRow("no file, 1 passes") << "1" << qint64(0) << QString();
    QTest::newRow("no file, 2 refused")
        << "2" << qint64(0) << "Error:列指定に入力できる値は0-1の範囲です｡";
    QTest::newRow("two digits in range") << "10" << qint64(9) << QString();
    QTest::newRow("two digits above")
        << "11" << qint64(9) << "Error:列指定に入力できる値は0-10の範囲です｡";
    QTest::newRow("leading zeros above")
        << "0011" << qint64(9) << "Error:列指定に入力できる値は0-10の範囲です｡";
    QTest::newRow("wide count") << "40000" << qint64(39999) << QString();
    QTest::newRow("longer than any number") << "99999999999999999999999999999999" << qint64(32766)
                                            << "Error:列指定に入力できる値は0-32767の範囲です｡";
    QTest::newRow("letter") << "1a" << qint64(4) << digits;
    QTest::newRow("letter out of range too") << "9a" << qint64(0) << digits;
    QTest::newRow("full-width digit") << "１" << qint64(4) << digits;
    QTest::newRow("arabic-indic digit") << QString(QChar(0x0663)) << qint64(4) << digits;
    QTest::newRow("minus") << "-1" << qint64(4) << digits;
    QTest::newRow("plus") << "+1" << qint64(4) << digits;
    QTest::newRow("blank") << " 1" << qint64(4) << digits;
    QTest::newRow("decimal point") << "1.0" << qint64(4) << digits;
    QTest::newRow("exponent") << "1e1" << qint64(40) << digits;
}

void tst_conditions::columnCheck() {
    QFETCH(QString, column);
    QFETCH(qint64, commaCount);
    QFETCH(QString, error);
    const std::optional<QString> result = checkColumn(column, commaCount);
    if (error.isEmpty())
        QVERIFY2(!result, qPrintable(result.value_or(QString())));
    else
        QCOMPARE(result.value_or(QStringLiteral("<passed>")), error);
}

void tst_conditions::messages() {
    QCOMPARE(digitsMessage(), QStringLiteral("Error:列指定に入力できるのは、数字のみです｡"));
    QCOMPARE(duplicateQuestion(ConditionList::OutOR, ConditionList::InAND),
             QStringLiteral("登録しようとした語句は、すでにNOT ORに登録されています。\r\n"
                            "NOT ORから削除してANDに登録しますか？"));
    QCOMPARE(duplicateQuestion(ConditionList::InAND, ConditionList::InAND),
             QStringLiteral("登録しようとした語句は、すでにANDに登録されています。\r\n"
                            "ANDから削除してANDに登録しますか？"));
    QCOMPARE(duplicateQuestion(ConditionList::OutAND, ConditionList::InOR),
             QStringLiteral("登録しようとした語句は、すでにNOT ANDに登録されています。\r\n"
                            "NOT ANDから削除してORに登録しますか？"));
}

void tst_conditions::registerNew() {
    FourLists l;
    l[ConditionList::InOR].appendEntry({"1", "x"});
    int asked = 0;
    const Result r = registerEntry(l.lists, ConditionList::InOR, {"0", "abc"}, 4,
                                   [&](const QString&) { return ++asked, true; });
    QCOMPARE(r.outcome, Outcome::Registered);
    QCOMPARE(asked, 0);
    QCOMPARE(l[ConditionList::InOR].entries(), (Entries{{"0", "abc"}, {"1", "x"}}));
    for (ConditionList id : {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND})
        QCOMPARE(l[id].count(), 0);
}

void tst_conditions::registerKeepsColumnAsTyped() {
    FourLists l;
    auto never = [](const QString&) { return false; };
    QCOMPARE(registerEntry(l.lists, ConditionList::InAND, {"5", "abc"}, 4, never).outcome,
             Outcome::Registered);
    QCOMPARE(registerEntry(l.lists, ConditionList::InAND, {"05", "abc"}, 4, never).outcome,
             Outcome::Registered);
    QCOMPARE(registerEntry(l.lists, ConditionList::InAND, {"5", " abc"}, 4, never).outcome,
             Outcome::Registered);
    QCOMPARE(l[ConditionList::InAND].entries(),
             (Entries{{"5", " abc"}, {"05", "abc"}, {"5", "abc"}}));
    QCOMPARE(effectiveColumn(QString()), QStringLiteral("0"));
    QCOMPARE(effectiveColumn(QStringLiteral("07")), QStringLiteral("07"));
}

void tst_conditions::registerRefusedAsksNothing() {
    FourLists l;
    l[ConditionList::OutAND].appendEntry({"9", "abc"});
    int asked = 0;
    const Result r = registerEntry(l.lists, ConditionList::OutAND, {"9", "abc"}, 4,
                                   [&](const QString&) { return ++asked, true; });
    QCOMPARE(r.outcome, Outcome::Refused);
    QCOMPARE(r.error, rangeMessage(5));
    QCOMPARE(asked, 0);
    QCOMPARE(l[ConditionList::OutAND].entries(), (Entries{{"9", "abc"}}));
}

void tst_conditions::duplicate_data() {
    QTest::addColumn<ConditionList>("found");
    QTest::addColumn<int>("foundRow");
    QTest::addColumn<ConditionList>("target");
    QTest::addColumn<bool>("yes");

    QTest::newRow("other list, yes") << ConditionList::OutOR << 0 << ConditionList::InAND << true;
    QTest::newRow("other list, no") << ConditionList::OutOR << 0 << ConditionList::InAND << false;
    QTest::newRow("target row 4, yes") << ConditionList::InAND << 3 << ConditionList::InAND << true;
    QTest::newRow("target row 4, no") << ConditionList::InAND << 3 << ConditionList::InAND << false;
    QTest::newRow("later list, yes") << ConditionList::InOR << 2 << ConditionList::OutAND << true;
}

void tst_conditions::duplicate() {
    QFETCH(ConditionList, found);
    QFETCH(int, foundRow);
    QFETCH(ConditionList, target);
    QFETCH(bool, yes);

    FourLists l;
    for (ConditionList id : kConditionListOrder)
        for (int i = 0; i < 4; ++i)
            l[id].appendEntry({QString::number(i + 1), conditionListName(id)});
    // Put the entry in place of the filler at foundRow.
    l[found].removeEntry(foundRow);
    l[found].insertEntry(foundRow, {"3", "abc"});

    std::array<Entries, kConditionListCount> before;
    for (ConditionList id : kConditionListOrder)
        before[size_t(id)] = l[id].entries();

    QStringList questions;
    const Result r = registerEntry(l.lists, target, {"3", "abc"}, 4, [&](const QString& q) {
        questions << q;
        return yes;
    });
    QCOMPARE(questions, QStringList{duplicateQuestion(found, target)});
    QCOMPARE(r.outcome, yes ? Outcome::Registered : Outcome::Declined);

    std::array<Entries, kConditionListCount> expected = before;
    if (yes) {
        Entries& f = expected[size_t(found)];
        f.erase(f.begin() + foundRow);
        Entries& t = expected[size_t(target)];
        t.insert(t.begin(), ConditionEntry{"3", "abc"});
    }
    for (ConditionList id : kConditionListOrder)
        QCOMPARE(l[id].entries(), expected[size_t(id)]);
}

void tst_conditions::duplicateInTwoListsOnlyFirstAsked() {
    FourLists l;
    l[ConditionList::InOR].appendEntry({"3", "abc"});
    l[ConditionList::OutAND].appendEntry({"3", "abc"});
    l[ConditionList::InAND].appendEntry({"3", "abc"}); // target holds it too, later in order
    QStringList questions;
    const Result r = registerEntry(l.lists, ConditionList::InAND, {"3", "abc"}, 4,
                                   [&](const QString& q) { return questions << q, true; });
    QCOMPARE(r.outcome, Outcome::Registered);
    QCOMPARE(questions,
             QStringList{duplicateQuestion(ConditionList::OutAND, ConditionList::InAND)});
    QCOMPARE(l[ConditionList::OutAND].count(), 0);
    QCOMPARE(l[ConditionList::InOR].entries(), (Entries{{"3", "abc"}}));
    QCOMPARE(l[ConditionList::InAND].entries(), (Entries{{"3", "abc"}, {"3", "abc"}}));
}

void tst_conditions::sameEntryNeedsBothFields() {
    FourLists l;
    l[ConditionList::OutOR].appendEntry({"2", "abc"});
    l[ConditionList::OutOR].appendEntry({"7", "abc"});
    for (const ConditionEntry& e :
         {ConditionEntry{"3", "abc"}, ConditionEntry{"2", "ABC"}, ConditionEntry{"07", "abc"},
          ConditionEntry{"2", "abc "}, ConditionEntry{"2", "ａｂｃ"}})
        QVERIFY2(!findDuplicate(l.lists, e), qPrintable(e.column + "/" + e.phrase));
    const std::optional<Match> m = findDuplicate(l.lists, {"7", "abc"});
    QVERIFY(m);
    QCOMPARE(m->list, ConditionList::OutOR);
    QCOMPARE(m->row, qsizetype(1));
}

void tst_conditions::encodeExactBytes() {
    const ConditionListFile::EncodeResult r =
        ConditionListFile::encode({{"0", "当選"}, {"3", "東京"}});
    QVERIFY(r.ok());
    QCOMPARE(r.bytes, "\"0\",\"" + kToosenSjis + "\"\r\n\"3\",\"" + kTokyoSjis + "\"\r\n");
    // Doubled quotes, in either field; a comma and blanks stay inside the quotes.
    QCOMPARE(ConditionListFile::encode({{"1\"", "a\"b, \"\""}}).bytes,
             QByteArray("\"1\"\"\",\"a\"\"b, \"\"\"\"\"\r\n"));
}

void tst_conditions::encodeEmptyList() {
    const ConditionListFile::EncodeResult r = ConditionListFile::encode({});
    QVERIFY(r.ok());
    QVERIFY(r.bytes.isEmpty());
}

void tst_conditions::encodeRefusesUnencodable_data() {
    // Only what neither code page 932 nor UTF-8 can hold: a lone surrogate.
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<int>("badEntry"); // 1-based
    QTest::newRow("phrase") << Entries{{"1", "ok"},
                                       {"2", QStringLiteral("a") + QChar(0xD800) + u'b'}}
                            << 2;
    QTest::newRow("phrase after a quote")
        << Entries{{"2", QStringLiteral("a\"") + QChar(0xDC00)}} << 1;
    QTest::newRow("column") << Entries{{"1", "ok"}, {"2", "ok"}, {QString(QChar(0xD83D)), "x"}}
                            << 3;
}

void tst_conditions::encodeRefusesUnencodable() {
    QFETCH(Entries, entries);
    QFETCH(int, badEntry);
    const ConditionListFile::EncodeResult r = ConditionListFile::encode(entries);
    QVERIFY(!r.ok());
    QCOMPARE(r.error,
             ConditionListFile::unencodableMessage(badEntry, entries[size_t(badEntry - 1)]));
    QVERIFY(r.error.contains(entries[size_t(badEntry - 1)].phrase));
    QVERIFY(r.error.contains(QString::number(badEntry)));
    QVERIFY(r.bytes.isEmpty());
}

void tst_conditions::listFileEncodingChoice_data() {
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("plain code page 932") << Entries{{"0", "当選"}, {"3", "ｱｲｳ ～ Ａ"}} << false;
    QTest::newRow("half-width katakana") << Entries{{"1", "ﾏｲﾅｽ"}, {"2", "ﾃｽﾄﾞ"}} << false;
    QTest::newRow("ascii") << Entries{{"1", "abc"}, {"2", ""}} << false;
    QTest::newRow("empty list") << Entries{} << false;
    QTest::newRow("typed wave dash") << Entries{{"1", "10\u301C20"}} << true;
    QTest::newRow("é") << Entries{{"0", "当選"}, {"2", "café"}} << true;
    QTest::newRow("emoji") << Entries{{"1", "a\"😀"}} << true;
    QTest::newRow("hangul") << Entries{{"1", "한국"}} << true;
    QTest::newRow("column") << Entries{{"€", "x"}} << true;
    // Katakana whose code page bytes would read back as UTF-8 (ﾃｩ as é).
    QTest::newRow("katakana read back otherwise") << Entries{{"1", "ﾃｩ"}} << true;
}

void tst_conditions::listFileEncodingChoice() {
    // Code page 932 (no mark) when every entry reads back from it as it is; UTF-8 with a mark
    // otherwise. Either way the file reads back as the entries.
    QFETCH(Entries, entries);
    QFETCH(bool, utf8);
    const ConditionListFile::EncodeResult r = ConditionListFile::encode(entries);
    QVERIFY(r.ok());
    QString text;
    for (ConditionEntry e : entries)
        text += '"' + e.column.replace('"', "\"\"") + "\",\"" + e.phrase.replace('"', "\"\"") +
                "\"\r\n";
    QCOMPARE(r.bytes, utf8 ? TextCodec::kUtf8Bom + text.toUtf8() : Cp932::encode(text).bytes);
    QCOMPARE(ConditionListFile::parse(QByteArrayView(r.bytes)).entries, entries);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    QVERIFY(ConditionListFile::save(path, entries).ok());
    const ConditionListFile::LoadResult loaded = ConditionListFile::load(path);
    QVERIFY(loaded.ok());
    QCOMPARE(loaded.entries, entries);
}

void tst_conditions::parse_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<Lines>("badLines");

    QTest::newRow("saved form") << "\"0\",\"" + kToosenSjis + "\"\r\n\"3\",\"" + kTokyoSjis +
                                       "\"\r\n"
                                << Entries{{"0", "当選"}, {"3", "東京"}} << Lines{};
    QTest::newRow("unquoted") << "3," + kTokyoSjis + "\r\n" << Entries{{"3", "東京"}} << Lines{};
    QTest::newRow("blanks around unquoted dropped") << "  3 ,\t " + kTokyoSjis + "  \r\n"
                                                    << Entries{{"3", "東京"}} << Lines{};
    QTest::newRow("blanks inside quotes stay")
        << QByteArray("  \" 3 \" , \" a b \"\r\n") << Entries{{" 3 ", " a b "}} << Lines{};
    QTest::newRow("comma inside quotes")
        << QByteArray("\"1\",\"a,b\"\r\n") << Entries{{"1", "a,b"}} << Lines{};
    QTest::newRow("unquoted phrase is the rest of the line")
        << QByteArray("1,a,2\r\nb,3,c\r\n") << Entries{{"1", "a,2"}, {"b", "3,c"}} << Lines{};
    QTest::newRow("one field a line reported")
        << QByteArray("1\r\na\r\n2,b\r\n") << Entries{{"2", "b"}} << Lines{1, 2};
    QTest::newRow("empty file") << QByteArray() << Entries{} << Lines{};
    QTest::newRow("no line end at the end")
        << QByteArray("\"1\",\"a\"") << Entries{{"1", "a"}} << Lines{};
    QTest::newRow("LF only") << QByteArray("1,a\n2,b\n") << Entries{{"1", "a"}, {"2", "b"}}
                             << Lines{};
    QTest::newRow("CR only") << QByteArray("1,a\r2,b\r") << Entries{{"1", "a"}, {"2", "b"}}
                             << Lines{};
    QTest::newRow("blank lines between entries ignored")
        << QByteArray("\"1\",\"a\"\r\n\r\n \t\r\n\"2\",\"b\"\r\n")
        << Entries{{"1", "a"}, {"2", "b"}} << Lines{};
    QTest::newRow("empty fields") << QByteArray("\"\",\"\"\r\n,\r\n") << Entries{{"", ""}, {"", ""}}
                                  << Lines{};
    QTest::newRow("blank line at the end ignored")
        << QByteArray("\"1\",\"a\"\r\n\r\n") << Entries{{"1", "a"}} << Lines{};
    QTest::newRow("two blank lines at the end ignored")
        << QByteArray("\"1\",\"a\"\r\n\"2\",\"b\"\r\n\r\n\r\n") << Entries{{"1", "a"}, {"2", "b"}}
        << Lines{};
    QTest::newRow("blanks line at the end ignored")
        << QByteArray("\"1\",\"a\"\r\n   ") << Entries{{"1", "a"}} << Lines{};
    QTest::newRow("last entry lacks phrase")
        << QByteArray("1,a\r\n2,b\r\n3\r\n") << Entries{{"1", "a"}, {"2", "b"}} << Lines{3};
    QTest::newRow("trailing comma") << QByteArray("1,a,2,") << Entries{{"1", "a,2,"}} << Lines{};
    QTest::newRow("doubled quote is one quote")
        << QByteArray("\"1\",\"a\"\"b\"\r\n\"2\",\"\"\"\"\r\n")
        << Entries{{"1", "a\"b"}, {"2", "\""}} << Lines{};
    QTest::newRow("phrase ending in an undoubled quote")
        << QByteArray("\"1\",\"8\"\"\r\n\"2\",\"x\"\r\n") << Entries{{"1", "8\""}, {"2", "x"}}
        << Lines{};
    QTest::newRow("undoubled quotes inside the phrase")
        << QByteArray("\"1\",\"a\"b\"\r\n\"2\",\"\"c\",\"d\"\r\n")
        << Entries{{"1", "a\"b"}, {"2", "\"c\",\"d"}} << Lines{};
    QTest::newRow("text after the column's closing quote")
        << QByteArray("\"1\"x,\"a\"\r\n\"2\",\"b\"\r\n") << Entries{{"2", "b"}} << Lines{1};
    QTest::newRow("quoted field over a line end")
        << QByteArray("\"1\",\"a\r\nb\"\r\n\"3\",\"c\"\r\n") << Entries{{"3", "c"}} << Lines{1, 2};
    QTest::newRow("unclosed quote reported") << QByteArray("\"1\",\"ab\r\n\"2\r\n\"3\",\"\r\n4,d")
                                             << Entries{{"4", "d"}} << Lines{1, 2, 3};
    QTest::newRow("quote inside unquoted field stays")
        << QByteArray("1,a\"b\r\n") << Entries{{"1", "a\"b"}} << Lines{};
}

void tst_conditions::parse() {
    QFETCH(QByteArray, bytes);
    QFETCH(Entries, entries);
    QFETCH(Lines, badLines);
    const ConditionListFile::ParseResult r = ConditionListFile::parse(QByteArrayView(bytes));
    QCOMPARE(r.entries, entries);
    QCOMPARE(Lines(r.badLines.begin(), r.badLines.end()), badLines);
}

void tst_conditions::saveAndLoadRoundTrip() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    const Entries entries{{"0", "当選"}, {"3", "東京, 大阪"}, {"12", " a\"b\" "},
                          {"1", "\"\""}, {"2", ""},           {"05", "*[!0-9]?#"}};
    QVERIFY(ConditionListFile::save(path, entries).ok());
    const ConditionListFile::LoadResult r = ConditionListFile::load(path);
    QVERIFY(r.ok());
    QVERIFY(r.warning.isEmpty());
    QCOMPARE(r.entries, entries);
}

void tst_conditions::listFileKeepsTypedForms_data() {
    addInputMethodFormRows();
}

void tst_conditions::listFileKeepsTypedForms() {
    // A typed form is kept as typed (UTF-8 with a mark); the code page's own form is written in
    // code page 932 and read back unchanged. Both still find the character in a code page 932
    // file (PickupEngine matches the code page's form).
    QFETCH(QString, typed);
    QFETCH(QString, codePage);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    QVERIFY(ConditionListFile::save(path, {{"1", "a" + typed}}).ok());
    QCOMPARE(readAll(path), "\xEF\xBB\xBF\"1\",\"a" + typed.toUtf8() + "\"\r\n");
    ConditionListFile::LoadResult r = ConditionListFile::load(path);
    QVERIFY(r.ok());
    QCOMPARE(r.entries, (Entries{{"1", "a" + typed}}));

    QVERIFY(ConditionListFile::save(path, {{"1", "a" + codePage}}).ok());
    const Cp932::EncodeResult form = Cp932::encode(codePage);
    QVERIFY(form.ok());
    QCOMPARE(readAll(path), "\"1\",\"a" + form.bytes + "\"\r\n");
    r = ConditionListFile::load(path);
    QVERIFY(r.ok());
    QCOMPARE(r.entries, (Entries{{"1", "a" + codePage}}));
}

void tst_conditions::saveRefusedKeepsOldFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    const QByteArray old("\"1\",\"old\"\r\n");
    QVERIFY(writeAll(path, old));
    const Entries entries{{"1", "fine"}, {"2", QStringLiteral("bad ") + QChar(0xD800)}};
    const ConditionListFile::SaveResult r = ConditionListFile::save(path, entries);
    QVERIFY(!r.ok());
    QCOMPARE(r.error, ConditionListFile::unencodableMessage(2, entries[1]));
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"list.csv"});
}

void tst_conditions::saveToMissingFolderFails() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("missing/list.csv");
    const ConditionListFile::SaveResult r = ConditionListFile::save(path, {{"1", "a"}});
    QVERIFY(!r.ok());
    QVERIFY(r.error.startsWith(QStringLiteral("Error:リストファイルを保存できませんでした｡\r\n")));
    QVERIFY(r.error.contains(QDir::toNativeSeparators(path)));
    QVERIFY(!QFile::exists(path));
}

void tst_conditions::loadTwiceGivesSameEntries() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    QVERIFY(writeAll(path, "1,a\r\n2,b\r\n3,c\r\n"));
    const ConditionListFile::LoadResult first = ConditionListFile::load(path);
    const ConditionListFile::LoadResult second = ConditionListFile::load(path);
    QCOMPARE(first.entries, (Entries{{"1", "a"}, {"2", "b"}, {"3", "c"}}));
    QCOMPARE(second.entries, first.entries);
}

void tst_conditions::loadMissingFileFails() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("none.csv");
    const ConditionListFile::LoadResult r = ConditionListFile::load(path);
    QVERIFY(!r.ok());
    QVERIFY(r.entries.empty());
    QVERIFY(r.error.startsWith(QStringLiteral("Error:リストファイルを読み込めませんでした｡\r\n")));
    QVERIFY(r.error.contains(QDir::toNativeSeparators(path)));
}

void tst_conditions::loadDirectoryFails() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const ConditionListFile::LoadResult r = ConditionListFile::load(dir.path());
    QVERIFY(!r.ok());
    QVERIFY(r.entries.empty());
}

void tst_conditions::loadUtf16Fails_data() {
    QTest::addColumn<bool>("mark");
    QTest::newRow("with a mark") << true;
    QTest::newRow("without a mark") << false;
}

void tst_conditions::loadUtf16Fails() {
    // A UTF-16 list file would load as broken entries: it is refused, with how to save it.
    QFETCH(bool, mark);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    const QString text = QStringLiteral("\"0\",\"東京\"\r\n\"1\",\"a\"\r\n");
    const QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QVERIFY(writeAll(path, mark ? "\xFF\xFE" + bytes : bytes));
    const ConditionListFile::LoadResult r = ConditionListFile::load(path);
    QVERIFY(!r.ok());
    QVERIFY(r.entries.empty());
    QCOMPARE(r.error, ConditionListFile::loadFailedMessage(path, TextCodec::utf16RefusedText()));
}

void tst_conditions::loadBadLinesKeepsTheOthers() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("list.csv");
    QVERIFY(writeAll(path, "\"1\",\"a\"\r\n\"2\"\r\n\"3\",\"c\"\r\n"));
    const ConditionListFile::LoadResult r = ConditionListFile::load(path);
    QVERIFY(r.ok());
    QCOMPARE(r.entries, (Entries{{"1", "a"}, {"3", "c"}}));
    QCOMPARE(r.warning, ConditionListFile::badLinesMessage(path, {2}));
    QVERIFY(r.warning.endsWith(QStringLiteral("行番号: 2")));
}

void tst_conditions::typedInput_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("cursor");
    auto row = [](const char* name, const QString& before, const QString& after, int limit,
                  const QString& kept, int cursor) {
        QTest::newRow(name) << before << after << limit << kept << cursor;
    };
    row("typed within the limit", "1", "12", 2, "12", 2);
    row("typed past the limit", "12", "123", 2, "12", 2);
    row("program's long text kept", "120", "1205", 2, "120", 3);
    row("typed in the middle of a long text", "120", "1920", 2, "120", 1);
    row("deleting from a long text", "120", "12", 2, "12", 2);
    row("paste cut to the limit", "", "1234", 2, "12", 2);
    row("paste over a selection", "12", "9", 2, "9", 1);
    row("paste ending in CR LF", "", "abc\r\n", -1, "abc", 3);
    row("paste of lines in the middle", "xy", "xabc\r\ndefy", -1, "xabcy", 4);
    row("LF", "", "a\nb", -1, "a", 1);
    row("CR", "q", "qa\rb", -1, "qa", 2);
    row("typing, no limit", "abc", "abcd", -1, "abcd", 4);
    row("line break and limit", "", "34\r\n5", 2, "34", 2);
}

void tst_conditions::typedInput() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, limit);
    QFETCH(QString, kept);
    QFETCH(int, cursor);
    qsizetype at = -1;
    QCOMPARE(TypedInput::keep(before, after, limit, &at), kept);
    QCOMPARE(at, qsizetype(cursor));
}

QTEST_GUILESS_MAIN(tst_conditions)
#include "tst_conditions.moc"
