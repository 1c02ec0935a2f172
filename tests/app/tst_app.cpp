// The built program run as a script runs it: `vornel --pick ...` with no display at all (no
// DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), its exit status, its standard error, and its
// result bytes against the window's Save for the same inputs.
#include "AppTestSupport.h"
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "app/PickCommand.h"
#include "base/Cp932.h"
#include "results/ResultListModel.h"
#include "shell/VersionText.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void statusAndMessages_data();
    void statusAndMessages();
    void sameBytesAsTheWindowsSave_data();
    void sameBytesAsTheWindowsSave();
    void headerLine_data();
    void headerLine();
    void pickEncoding_data();
    void pickEncoding();
    void fieldsOption_data();
    void fieldsOption();
    void ignoreOptions_data();
    void ignoreOptions();
    void setPicksAsItsListFiles();
};

namespace {

QString examples(const char* name) {
    return QStringLiteral(VORNEL_TEST_DATA "/../examples/") + QLatin1String(name);
}

// The window's Save for the same inputs: Open (every data-error dialog answered with Skip), the
// list files through their load buttons, Start, the sort ("asc" or "desc", then " japanese" for
// the Japanese order), Save.
QByteArray windowSave(const QString& data, const QList<QPair<ConditionList, QString>>& lists,
                      const QString& sort, bool header = false) {
    TestWindow w;
    if (header)
        w->findChild<QAction*>(QStringLiteral("mnuHeaderLine"))->trigger();
    auto* skipper = new QTimer;
    QObject::connect(skipper, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            if (auto* skip = modal->findChild<QPushButton*>("cmdCancel"))
                skip->click();
    });
    skipper->start(5);
    w->setJobSliceMs(1);
    w.platform.openAnswers = {data};
    w->runCommand(Command::Open);
    delete skipper;
    for (const auto& [id, path] : lists) {
        w.platform.openAnswers = {path};
        w->conditionList(id).cmdOpen->click();
    }
    w->runCommand(Command::Start);
    if (sort.endsWith(u" japanese"))
        w->findChild<QAction*>(QStringLiteral("mnuSortJapanese"))->trigger();
    if (!sort.isEmpty())
        w->runCommand(sort.startsWith(u"asc") ? Command::SortAsc : Command::SortDesc);
    const QString out = w.dir.filePath(QStringLiteral("window.csv"));
    w.platform.saveAnswers = {out};
    w->runCommand(Command::Save);
    if (!w.platform.messages.isEmpty())
        return "<the window said: " + w.platform.messages.first().prompt.toUtf8() + ">";
    return readAll(out);
}

} // namespace

void TestApp::statusAndMessages_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    // Standard error: exactly this first line, or (when it starts with "~") a line that holds
    // every "~"-separated piece.
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("out");

    const QString usage = QStringLiteral("~Usage: vornel [FILE]");
    auto row = [](const char* name, QStringList args, int status, QString firstLine,
                  QString out = QString()) {
        QTest::newRow(name) << args << status << firstLine << out;
    };
    row("help", {"--help"}, 0, QString(), PickCommand::usageText());
    row("version", {"--version"}, 0, QString(),
        QStringLiteral("vornel %1\n").arg(ProgramVersionText().section(u' ', -1)));
    row("no data file", {"--and", "and.csv"}, 2, "vornel: --pick DATA is missing");
    row("no value", {"--pick"}, 2, "vornel: option --pick needs a value");
    row("unknown option", {"--pick", "data.csv", "--frob"}, 2, "vornel: unknown option --frob");
    row("stray argument", {"--pick", "data.csv", "more.csv"}, 2,
        "vornel: unexpected argument more.csv");
    row("bad sort", {"--pick", "data.csv", "--sort=up"}, 2,
        "vornel: --sort takes asc or desc, not up");
    row("bad order", {"--pick", "data.csv", "--sort", "asc", "--order=jis"}, 2,
        "vornel: --order takes code or japanese, not jis");
    row("order twice",
        {"--pick", "data.csv", "--sort", "asc", "--order", "code", "--order", "japanese"}, 2,
        "vornel: option --order given twice");
    row("order without sort", {"--pick", "data.csv", "--order", "japanese"}, 2,
        "vornel: option --order needs --sort");
    row("bad encoding", {"--pick", "data.csv", "--encoding", "sjis"}, 2,
        "vornel: --encoding takes auto, cp932 or utf-8, not sjis");
    row("utf-16 data file", {"--pick", "utf16.csv", "-o", "out.csv"}, 1,
        "~vornel: utf16.csv: ~UTF-16~UTF-8~シフトJIS");
    row("two outputs", {"--pick", "data.csv", "-o", "a.csv", "-o", "b.csv"}, 2,
        "vornel: option --output given twice");
    row("missing data file", {"--pick", "nope.csv", "-o", "out.csv"}, 1,
        "vornel: nope.csv: ファイルが見つかりません。");
    row("missing list file", {"--pick", "data.csv", "--or", "nolist.csv", "-o", "out.csv"}, 1,
        "~vornel: ~nolist.csv");
    row("bad column",
        {"--pick", "data.csv", "--and", "and.csv", "--and", "badcol.csv", "-o", "out.csv"}, 1,
        "~vornel: badcol.csv: entry 2: ~「AND」~列: 9~0 から 3");
    row("malformed pattern", {"--pick", "data.csv", "--not-or", "badpat.csv", "-o", "out.csv"}, 1,
        "~vornel: badpat.csv: entry 1: ~「NOT OR」~[b-a]");
    row("set with a list file",
        {"--pick", "data.csv", "--set", "set.txt", "--not-or", "notor.csv", "-o", "out.csv"}, 2,
        "vornel: --set cannot be combined with --and, --or, --not-and or --not-or");
    row("two sets", {"--pick", "data.csv", "--set", "set.txt", "--set=set.txt"}, 2,
        "vornel: option --set given twice");
    row("set with bad lines", {"--pick", "data.csv", "--set", "badset.txt", "-o", "out.csv"}, 1,
        "vornel: badset.txt: 形式が正しくない行があるため、中止しました。行番号: 2, 4");
    row("set entry refused by its line", {"--pick", "data.csv", "--set", "badcolset.txt"}, 1,
        "~vornel: badcolset.txt: line 3: ~「AND」~列: 9~0 から 3");
    row("missing set", {"--pick", "data.csv", "--set", "noset.txt", "-o", "out.csv"}, 1,
        "~vornel: ~条件セットファイル~noset.txt");
    row("output is the set", {"--pick", "data.csv", "--set", "set.txt", "-o", "set.txt"}, 1,
        "vornel: set.txt: 出力ファイルが条件セットファイル set.txt と同じファイルのため、"
        "書き込みませんでした。");
    row("unwritable result, quiet", {"-q", "--pick", "data.csv", "-o", "nodir/out.csv"}, 1,
        "~vornel: nodir/out.csv: ~エラー番号 = ");
    row("skipped lines", {"--pick", "data.csv", "--and", "and.csv", "-o", "out.csv"}, 0,
        "vornel: data.csv: skipped 2 lines whose comma count differs from line 1: 3, 5");
    row("quiet", {"--quiet", "--pick", "data.csv", "-o", "out.csv"}, 0, QString());
    row("empty data file", {"--pick", "empty.csv", "--and", "and.csv", "-o", "out.csv"}, 0,
        QString());
}

void TestApp::statusAndMessages() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    QFETCH(QString, out);
    QTemporaryDir dir;
    writeInputs(QDir(dir.path()));
    const QStringList inputs = QDir(dir.path()).entryList(QDir::Files, QDir::Name);

    const Ran ran = runProgram(arguments, dir.path());
    QCOMPARE(ran.status, status);
    const QString err = QString::fromUtf8(ran.err);
    const QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
    if (firstLine.isEmpty()) {
        QCOMPARE(err, QString());
    } else if (firstLine.startsWith(u'~')) {
        QVERIFY(!lines.isEmpty());
        for (const QString& piece : firstLine.split(u'~', Qt::SkipEmptyParts))
            QVERIFY2(lines.first().contains(piece), qPrintable(lines.first()));
    } else {
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.first(), firstLine);
    }
    // Usage errors show the usage; any other failure is the one line.
    if (status == 2)
        QVERIFY(err.contains(PickCommand::usageText()));
    else if (status == 1)
        QCOMPARE(lines.size(), 1);
    if (!out.isNull())
        QVERIFY2(QString::fromUtf8(ran.out).startsWith(out), ran.out.constData());

    // A failure leaves no output file, finished or not, behind.
    QStringList after = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    if (status == 0 && arguments.contains(QStringLiteral("out.csv")))
        QVERIFY(after.removeOne(QStringLiteral("out.csv")));
    QCOMPARE(after, inputs);
}

void TestApp::pickEncoding_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("encoding"); // the --encoding value; empty: not given
    QTest::addColumn<QByteArray>("picked");
    const QByteArray utf8 = QStringLiteral("東京,1\r\n大阪,2\r\n").toUtf8();
    const QByteArray sjis = cp932(QStringLiteral("東京,1\r\n大阪,2\r\n"));
    QTest::newRow("utf-8, decided") << utf8 << QString() << QStringLiteral("東京,1\r\n").toUtf8();
    QTest::newRow("utf-8, auto") << utf8 << "auto" << QStringLiteral("東京,1\r\n").toUtf8();
    QTest::newRow("utf-8, given") << utf8 << "utf-8" << QStringLiteral("東京,1\r\n").toUtf8();
    QTest::newRow("utf-8 read as cp932") << utf8 << "cp932" << QByteArray();
    QTest::newRow("cp932, given") << sjis << "cp932" << cp932(QStringLiteral("東京,1\r\n"));
    QTest::newRow("cp932 read as utf-8") << sjis << "utf-8" << QByteArray();
    // Non-ASCII text first met after 1.1 MB is still what decides.
    QByteArray ascii;
    for (int i = 0; ascii.size() < 1'100'000; ++i)
        ascii += "row " + QByteArray::number(i) + ",x\r\n";
    QTest::newRow("utf-8 after 1.1 MB of ascii")
        << ascii + utf8 << QString() << QStringLiteral("東京,1\r\n").toUtf8();
}

void TestApp::pickEncoding() {
    // --encoding overrules what the bytes show, as the window's reopen menu does; the phrase is
    // matched in the encoding taken.
    QFETCH(QByteArray, data);
    QFETCH(QString, encoding);
    QFETCH(QByteArray, picked);
    QTemporaryDir dir;
    writeAll(QDir(dir.path()).filePath("data.csv"), data);
    writeAll(QDir(dir.path()).filePath("and.csv"), cp932(QStringLiteral("\"1\",\"東京\"\r\n")));
    QStringList arguments{"-q", "--pick", "data.csv", "--and", "and.csv"};
    if (!encoding.isEmpty())
        arguments << "--encoding" << encoding;
    const Ran ran = runProgram(arguments, dir.path());
    QCOMPARE(ran.status, 0);
    QCOMPARE(ran.err, QByteArray());
    QCOMPARE(ran.out, picked);
}

void TestApp::sameBytesAsTheWindowsSave_data() {
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("lists"); // option, path, option, path...
    QTest::addColumn<QString>("sort");
    QTest::addColumn<bool>("toStandardOutput");
    QTest::addColumn<bool>("header");

    const QStringList sampleLists = {"--and",    examples("sample_and.csv"),
                                     "--or",     examples("sample_or.csv"),
                                     "--not-or", examples("sample_not_or.csv")};
    QTest::newRow("examples, file")
        << examples("sample.csv") << sampleLists << QString() << false << false;
    QTest::newRow("examples, ascending, standard output")
        << examples("sample.csv") << sampleLists << "asc" << true << false;
    QTest::newRow("examples, descending, file")
        << examples("sample.csv") << sampleLists << "desc" << false << false;
    QTest::newRow("skipped lines, two lists, standard output")
        << "data.csv" << QStringList{"--and", "and.csv", "--not-or", "notor.csv"} << "desc" << true
        << false;
    QTest::newRow("header line, sorted, file")
        << "data.csv" << QStringList{"--and", "and.csv"} << "desc" << false << true;
    QTest::newRow("examples, Japanese order, file")
        << examples("sample.csv") << sampleLists << "asc japanese" << false << false;
    QTest::newRow("header line, Japanese order descending, standard output")
        << "data.csv" << QStringList{"--and", "and.csv"} << "desc japanese" << true << true;
    QTest::newRow("header line, standard output")
        << examples("sample.csv") << sampleLists << QString() << true << true;
}

void TestApp::sameBytesAsTheWindowsSave() {
    QFETCH(QString, data);
    QFETCH(QStringList, lists);
    QFETCH(QString, sort);
    QFETCH(bool, toStandardOutput);
    QFETCH(bool, header);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeInputs(folder);

    QStringList arguments = {"--pick", data};
    if (header)
        arguments += "--header";
    arguments += lists;
    if (!sort.isEmpty())
        arguments += {"--sort", sort.section(u' ', 0, 0)};
    if (sort.endsWith(u" japanese"))
        arguments += {"--order", "japanese"};
    if (!toStandardOutput)
        arguments += {"--output", "result.csv"};
    const Ran ran = runProgram(arguments, dir.path());
    QCOMPARE(ran.status, 0);
    const QByteArray bytes = toStandardOutput ? ran.out : readAll(folder.filePath("result.csv"));
    if (!toStandardOutput)
        QCOMPARE(ran.out, QByteArray());

    QList<QPair<ConditionList, QString>> windowLists;
    const std::map<QString, ConditionList> byOption = {{"--and", ConditionList::InAND},
                                                       {"--or", ConditionList::InOR},
                                                       {"--not-and", ConditionList::OutAND},
                                                       {"--not-or", ConditionList::OutOR}};
    for (qsizetype i = 0; i + 1 < lists.size(); i += 2)
        windowLists.append({byOption.at(lists[i]), folder.absoluteFilePath(lists[i + 1])});
    const QByteArray saved = windowSave(folder.absoluteFilePath(data), windowLists, sort, header);
    QVERIFY(!saved.isEmpty());
    QCOMPARE(bytes, saved);
}

void TestApp::headerLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("out");
    // The first line "a,b,x" has x in column 3 as the picked rows do: as the header it is never
    // picked, yet leads the result once, before the sorted rows.
    QTest::newRow("header written first, never picked")
        << QStringList{"--pick", "data.csv", "--header", "--and", "and.csv", "--sort", "desc"}
        << cp932(QStringLiteral("a,b,x\r\n東京,1,x\r\n名古屋,3,x\r\n"));
    QTest::newRow("without the option line 1 is a row")
        << QStringList{"--pick", "data.csv", "--and", "and.csv", "--sort", "desc"}
        << cp932(QStringLiteral("東京,1,x\r\n名古屋,3,x\r\na,b,x\r\n"));
    // Code order puts 名古屋 (U+540D) before 東京 (U+6771); Japanese order reads them (とうきょう
    // before なごや) and puts letters before kanji.
    QTest::newRow("code order") << QStringList{"--pick", "data.csv", "--and",   "and.csv",
                                               "--sort", "asc",      "--order", "code"}
                                << cp932(QStringLiteral("a,b,x\r\n名古屋,3,x\r\n東京,1,x\r\n"));
    QTest::newRow("Japanese order")
        << QStringList{"--pick", "data.csv", "--and", "and.csv", "--sort=asc", "--order=japanese"}
        << cp932(QStringLiteral("a,b,x\r\n東京,1,x\r\n名古屋,3,x\r\n"));
    QTest::newRow("header and nothing picked")
        << QStringList{"--header", "--pick", "data.csv", "--and", "none.csv"}
        << QByteArray("a,b,x\r\n");
    QTest::newRow("the option takes no value")
        << QStringList{"--pick", "data.csv", "--header=yes"} << QByteArray();
}

void TestApp::headerLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, out);
    QTemporaryDir dir;
    writeInputs(QDir(dir.path()));
    writeAll(QDir(dir.path()).filePath("none.csv"), QByteArray("\"1\",\"zzz\"\r\n"));
    const Ran ran = runProgram(arguments, dir.path());
    QCOMPARE(ran.status, out.isEmpty() ? 2 : 0);
    QCOMPARE(ran.out, out);
    if (out.isEmpty())
        QVERIFY(ran.err.startsWith("vornel: option --header takes no value\n"));
    else // the header's line is no skipped line: lines 3 and 5 are, as without the option
        QVERIFY2(ran.err.contains("skipped 2 lines") && ran.err.contains(": 3, 5"),
                 ran.err.constData());
}

void TestApp::fieldsOption_data() {
    QTest::addColumn<QStringList>("fields"); // the option as given, or nothing
    QTest::addColumn<QString>("entry");      // one AND entry: column, phrase
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    const QByteArray tokyo = "\"" + cp932(QStringLiteral("東京")) + "\",\"1,2\"\r\n";
    QTest::newRow("auto: quoted") << QStringList{} << "2,2" << 0 << tokyo;
    QTest::newRow("auto given") << QStringList{"--fields", "auto"} << "2,2" << 0 << tokyo;
    QTest::newRow("quoted") << QStringList{"--fields=quoted"} << "2,2" << 0 << tokyo;
    // Read plain, the records with a comma or a line break inside do not fit line 1.
    QTest::newRow("plain") << QStringList{"--fields", "plain"} << "2,2" << 0 << QByteArray();
    QTest::newRow("a record across lines, written as it was")
        << QStringList{} << "2,b" << 0 << QByteArray("\"x\"\"y\",\"a\r\nb\"\r\n");
    QTest::newRow("unknown mode") << QStringList{"--fields", "maybe"} << "2,2" << 2 << QByteArray();
}

void TestApp::fieldsOption() {
    QFETCH(QStringList, fields);
    QFETCH(QString, entry);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeAll(folder.filePath("quoted.csv"),
             cp932(QStringLiteral("\"名前\",\"住所\"\r\n\"東京\",\"1,2\"\r\n\"大阪\",\"3\"\r\n"
                                  "\"x\"\"y\",\"a\r\nb\"\r\n")));
    const QStringList parts = entry.split(u',');
    writeAll(folder.filePath("and.csv"),
             cp932(QStringLiteral("\"%1\",\"%2\"\r\n").arg(parts[0], parts[1])));
    const Ran ran =
        runProgram(QStringList{"--pick", "quoted.csv", "--and", "and.csv"} + fields, dir.path());
    QCOMPARE(ran.status, status);
    QCOMPARE(ran.out, out);
    if (status == 2)
        QVERIFY(ran.err.startsWith("vornel: --fields takes auto, plain or quoted, not maybe\n"));
    else if (fields.contains(QStringLiteral("plain")))
        QVERIFY(ran.err.contains("skipped 2 lines")); // lines 2 and 5
    else
        QCOMPARE(ran.err, QByteArray());
}

void TestApp::ignoreOptions_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("phrase"); // one AND entry on column 2
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    const QString minato = QStringLiteral("1,ﾐﾅﾄｸ\r\n");
    QTest::newRow("typed kana, width counts") << QStringList{} << "ミナトク" << 0 << QString();
    QTest::newRow("typed kana, --ignore-width")
        << QStringList{"--ignore-width"} << "ミナトク" << 0 << minato;
    QTest::newRow("hiragana needs both")
        << QStringList{"--ignore-kana"} << "みなと" << 0 << QString();
    QTest::newRow("hiragana, width and kana")
        << QStringList{"--ignore-kana", "--ignore-width"} << "みなと" << 0 << minato;
    QTest::newRow("case") << QStringList{"--ignore-case"} << "abc" << 0
                          << QStringLiteral("2,xABC\r\n");
    QTest::newRow("all three, a pattern")
        << QStringList{"--ignore-case", "--ignore-kana", "--ignore-width"} << "[あ-ん]*" << 0
        << minato;
    QTest::newRow("no value taken") << QStringList{"--ignore-case=1"} << "abc" << 2 << QString();
}

void TestApp::ignoreOptions() {
    QFETCH(QStringList, switches);
    QFETCH(QString, phrase);
    QFETCH(int, status);
    QFETCH(QString, out);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeAll(folder.filePath("data.csv"), cp932(QStringLiteral("1,ﾐﾅﾄｸ\r\n2,xABC\r\n3,東京\r\n")));
    writeAll(folder.filePath("and.csv"), cp932(QStringLiteral("\"2\",\"%1\"\r\n").arg(phrase)));
    const Ran ran =
        runProgram(QStringList{"--pick", "data.csv", "--and", "and.csv"} + switches, dir.path());
    QCOMPARE(ran.status, status);
    // The picked rows are written as the file's own bytes, not as their folded text.
    QCOMPARE(ran.out, cp932(out));
    if (status == 2)
        QVERIFY(ran.err.startsWith("vornel: option --ignore-case takes no value\n"));
}

// A set holding the entries of two list files picks what those list files pick.
void TestApp::setPicksAsItsListFiles() {
    QTemporaryDir dir;
    writeInputs(QDir(dir.path()));
    const Ran lists = runProgram(
        {"-q", "--pick", "data.csv", "--and", "and.csv", "--not-or", "notor.csv"}, dir.path());
    const Ran set = runProgram({"-q", "--pick", "data.csv", "--set", "set.txt"}, dir.path());
    QCOMPARE(lists.status, 0);
    QCOMPARE(set.status, 0);
    QCOMPARE(set.out, cp932(QStringLiteral("a,b,x\r\n東京,1,x\r\n名古屋,3,x\r\n")));
    QCOMPARE(set.out, lists.out);
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
