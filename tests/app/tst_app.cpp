// The built program run as a script runs it: `vornel --pick ...` with no display at all (no
// DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), its exit status, its standard error, and its
// result bytes against the window's Save for the same inputs.
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "app/PickCommand.h"
#include "app/PickStream.h"
#include "base/Cp932.h"
#include "conditions/ConditionListFile.h"
#include "results/ResultListModel.h"
#include "shell/VersionText.h"
#include "source/DataLoadJob.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>

#include <csignal>

#include <unistd.h>

namespace {

struct Ran {
    int status = -1; // -1: crashed or did not finish
    QByteArray out;
    QByteArray err;
};

Ran runProgram(const QStringList& arguments, const QString& folder) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral(VORNEL_PROGRAM), arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, p.readAllStandardOutput(), p.readAllStandardError()};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QByteArray cp932(const QString& text) {
    return Cp932::encode(text).bytes;
}

// A data file with two lines that do not fit (3: no comma, 5: empty) and the list files.
void writeInputs(const QDir& dir) {
    writeAll(dir.filePath("data.csv"),
             cp932(QStringLiteral("a,b,x\r\n東京,1,x\r\nbad line\r\n大阪,2,y\r\n\r\n名古屋,3,x\r\n"
                                  "東京,4,y\r\n")));
    writeAll(dir.filePath("empty.csv"), QByteArray());
    writeAll(dir.filePath("and.csv"), cp932(QStringLiteral("\"3\",\"x\"\r\n")));
    writeAll(dir.filePath("notor.csv"), cp932(QStringLiteral("\"0\",\"大阪\"\r\n")));
    writeAll(dir.filePath("badcol.csv"), cp932(QStringLiteral("\"0\",\"a\"\r\n\"9\",\"x\"\r\n")));
    writeAll(dir.filePath("badpat.csv"), cp932(QStringLiteral("\"1\",\"[b-a]*\"\r\n")));
    // Condition sets: and.csv with notor.csv in one file; one with bad lines; one whose entry
    // Start refuses.
    writeAll(dir.filePath("set.txt"),
             cp932(QStringLiteral("# both\r\nAND,3,x\r\nNOTOR,0,大阪\r\n")));
    writeAll(dir.filePath("badset.txt"),
             cp932(QStringLiteral("AND,3,x\r\nXOR,1,a\r\n# c\r\nOR,2\r\n")));
    writeAll(dir.filePath("badcolset.txt"), cp932(QStringLiteral("# c\r\nAND,0,a\r\nAND,9,x\r\n")));
    const QString unicode = QStringLiteral("東京,1\r\n");
    writeAll(dir.filePath("utf16.csv"),
             "\xFF\xFE" +
                 QByteArray(reinterpret_cast<const char*>(unicode.utf16()), unicode.size() * 2));
}

// Every file of the folder, by name, with its bytes.
QMap<QString, QByteArray> filesIn(const QDir& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        files[name] = readAll(folder.filePath(name));
    return files;
}

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
    void closedStandardOutput_data();
    void closedStandardOutput();
    void interruptWhileWritingTheResult_data();
    void interruptWhileWritingTheResult();
    void outputThatIsAnInput_data();
    void outputThatIsAnInput();
    void listFileThatStopsThePick_data();
    void listFileThatStopsThePick();
    void setPicksAsItsListFiles();
    void tooManyRows_data();
    void tooManyRows();
    void streamedAsWhole_data();
    void streamedAsWhole();
};

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

namespace {

// The signals a process blocks (its main thread's SigBlk); nothing when it has ended.
std::optional<quint64> blockedSignals(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigBlk:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16);
    return std::nullopt;
}

} // namespace

void TestApp::closedStandardOutput_data() {
    QTest::addColumn<bool>("pipe");
    QTest::newRow("a pipe whose reader has gone") << true;
    QTest::newRow("no standard output at all") << false;
}

void TestApp::closedStandardOutput() {
    // The write fails: one message and status 1, not a silent end by SIGPIPE.
    QFETCH(bool, pipe);
    QTemporaryDir dir;
    writeInputs(QDir(dir.path()));
    // The pipe's reading end is closed before the program starts.
    int ends[2] = {-1, -1};
    QVERIFY(::pipe(ends) == 0);
    ::close(ends[0]);
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.setChildProcessModifier([pipe, writing = ends[1]] {
        if (pipe)
            ::dup2(writing, STDOUT_FILENO);
        else
            ::close(STDOUT_FILENO);
        ::close(writing);
    });
    p.start(QStringLiteral(VORNEL_PROGRAM), {"--quiet", "--pick", "data.csv"});
    ::close(ends[1]);
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1, qPrintable(lines.join(u'|')));
    QVERIFY2(lines.first().startsWith(QStringLiteral("vornel: standard output: エラー番号 = ")),
             qPrintable(lines.first()));
}

void TestApp::interruptWhileWritingTheResult_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestApp::interruptWhileWritingTheResult() {
    // A signal that comes while the result file is written waits until the file is complete,
    // then ends the program: the file is there whole, and nothing else is left behind.
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    QByteArray data;
    const QByteArray line = "12345,abcdefghijklmnopqrstuvwxyz,ABCDEFGHIJKLMNOPQRSTUVWXYZ,"
                            "0123456789,abcdefghij\r\n";
    data.reserve(400000 * line.size());
    for (int i = 0; i < 400000; ++i)
        data += line;
    QVERIFY(writeAll(folder.filePath("data.csv"), data));

    const quint64 held = (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1)) | (1ull << (SIGHUP - 1));
    const std::optional<quint64> own = blockedSignals(QCoreApplication::applicationPid());
    QVERIFY(own);
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(VORNEL_PROGRAM), {"--pick", "data.csv", "-o", "out.csv"});
    QVERIFY(p.waitForStarted());
    // The signals are held exactly while the result file is written.
    bool sent = false;
    while (!sent && p.state() == QProcess::Running) {
        const std::optional<quint64> blocked = blockedSignals(p.processId());
        if (blocked && *blocked == (held | *own)) {
            QCOMPARE(::kill(pid_t(p.processId()), signalNumber), 0);
            sent = true;
        }
        QThread::usleep(100);
    }
    QVERIFY2(sent, "the result was written before the signal could be sent");
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit); // ended by the signal
    QCOMPARE(p.exitCode(), signalNumber);
    QVERIFY(readAll(folder.filePath("out.csv")) == data);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"data.csv", "out.csv"}));
}

void TestApp::outputThatIsAnInput_data() {
    QTest::addColumn<QString>("link");    // made first: "symlink" or "hardlink" to target
    QTest::addColumn<QString>("target");  // the input the link or the output names
    QTest::addColumn<QString>("output");  // the -o argument
    QTest::addColumn<QString>("message"); // a piece of the one line said
    auto row = [](const char* name, const QString& link, const QString& target,
                  const QString& output, const QString& message) {
        QTest::newRow(name) << link << target << output << message;
    };
    const QString data = QStringLiteral("データファイル data.csv と同じ");
    const QString list = QStringLiteral("リストファイル and.csv と同じ");
    row("the data file", "", "data.csv", "data.csv", data);
    row("the data file as ./", "", "data.csv", "./data.csv", data);
    row("the data file by its full path", "", "data.csv", "<full>", data);
    row("a symbolic link to the data file", "symlink", "data.csv", "link.csv", data);
    row("a hard link to the data file", "hardlink", "data.csv", "link.csv", data);
    row("a list file", "", "and.csv", "and.csv", list);
    row("a symbolic link to a list file", "symlink", "and.csv", "link.csv", list);
}

// The result never replaces a file it is read from, however the output names it: one message,
// status 1, and every file as it was.
void TestApp::outputThatIsAnInput() {
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QString, output);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeInputs(folder);
    if (link == u"symlink")
        QVERIFY(QFile::link(folder.filePath(target), folder.filePath(output)));
    else if (link == u"hardlink")
        QCOMPARE(::link(QFile::encodeName(folder.filePath(target)).constData(),
                        QFile::encodeName(folder.filePath(output)).constData()),
                 0);
    if (output == u"<full>")
        output = folder.filePath(target);
    const QMap<QString, QByteArray> before = filesIn(folder);

    const Ran ran =
        runProgram({"--pick", "data.csv", "--and", "and.csv", "-o", output}, dir.path());
    QCOMPARE(ran.status, 1);
    const QStringList lines = QString::fromUtf8(ran.err).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("vornel: ")) &&
                 lines.first().contains(message),
             qPrintable(lines.first()));
    QCOMPARE(filesIn(folder), before);
}

void TestApp::listFileThatStopsThePick_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<qint64>("memoryLimit"); // the most a list file may take (0: no limit)
    QTest::addColumn<QString>("message");    // the one line said, after "vornel: <list file>: "
    const QString badLines = QStringLiteral("形式が正しくない行があるため、中止しました。行番号: ");
    // Without the stop, a NOT OR list that lost its only line excludes nothing: every row.
    QTest::newRow("a NOT OR list whose only line is bad")
        << "--not-or" << QByteArray("\"0\"\r\n") << qint64(0) << badLines + "1";
    QTest::newRow("an AND list with bad lines among good ones")
        << "--and" << QByteArray("\"3\",\"x\"\r\nbad\r\n\"0\",\"a\"\r\n\"1\",\"open\r\n")
        << qint64(0) << badLines + "2, 4";
    // Named by the list file, not the data file.
    QTest::newRow("a list file too big for memory")
        << "--or" << QByteArray("\"0\",\"a\"\r\n\"0\",\"b\"\r\n") << qint64(8)
        << QStringLiteral("~メモリーが足りません。");
}

// A list file that cannot be taken whole stops the pick: status 1, one line naming the file, and
// no result written. Run in this process, so that the list load can be given a memory limit.
void TestApp::listFileThatStopsThePick() {
    QFETCH(QString, option);
    QFETCH(QByteArray, list);
    QFETCH(qint64, memoryLimit);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeInputs(folder);
    const QString listFile = folder.filePath("list.csv");
    QVERIFY(writeAll(listFile, list));
    const QString output = folder.filePath("out.csv");

    QBuffer out;
    QBuffer err;
    QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
    ConditionListFile::setMemoryLimitForTesting(memoryLimit);
    const int status = PickCommand::run(
        {"--pick", folder.filePath("data.csv"), option, listFile, "-o", output}, out, err, false);
    ConditionListFile::setMemoryLimitForTesting(0);
    QCOMPARE(status, int(PickCommand::Failed));
    const QStringList lines = QString::fromUtf8(err.data()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    if (message.startsWith(u'~')) {
        QVERIFY2(lines.first().startsWith(QStringLiteral("vornel: ")) &&
                     lines.first().contains(QDir::toNativeSeparators(listFile)) &&
                     lines.first().contains(message.mid(1)) && !lines.first().contains("data.csv"),
                 qPrintable(lines.first()));
    } else {
        QCOMPARE(lines.first(), QStringLiteral("vornel: %1: %2").arg(listFile, message));
    }
    QVERIFY(out.data().isEmpty());
    QVERIFY(!QFile::exists(output));
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

void TestApp::tooManyRows_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("header");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("refused");
    const QByteArray three = cp932(QStringLiteral("東京,1\r\n大阪,2\r\n名古屋,3\r\n"));
    QTest::newRow("at the limit") << three << false << qint64(3) << false;
    QTest::newRow("one past") << three << false << qint64(2) << true;
    QTest::newRow("the header is no row")
        << QByteArray("h,k\r\n") + three << true << qint64(3) << false;
}

// A data file with more rows than a row number can hold is refused by both front ends, the
// command line with its one line and status 1, the window with its message, and nothing of it is
// kept. Run in this process, with a lowered limit.
void TestApp::tooManyRows() {
    QFETCH(QByteArray, data);
    QFETCH(bool, header);
    QFETCH(qint64, limit);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString dataFile = folder.filePath("data.csv");
    QVERIFY(writeAll(dataFile, data));
    const QString output = folder.filePath("out.csv");
    DataLoadJob::setRowLimitForTesting(limit);
    const auto restore = qScopeGuard([] { DataLoadJob::setRowLimitForTesting(0); });
    const QString reason =
        QStringLiteral("行が多すぎます（最大 %1 行）。ファイルを分けてから開いてください。")
            .arg(limit);

    QBuffer out;
    QBuffer err;
    QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
    QStringList arguments{"--pick", dataFile, "-o", output};
    if (header)
        arguments.append(QStringLiteral("--header"));
    const int status = PickCommand::run(arguments, out, err, false);
    if (refused) {
        QCOMPARE(status, int(PickCommand::Failed));
        QCOMPARE(QString::fromUtf8(err.data()),
                 QStringLiteral("vornel: %1: %2\n").arg(dataFile, reason));
        QVERIFY(!QFile::exists(output));
    } else {
        QCOMPARE(status, 0);
        QCOMPARE(readAll(output), data); // every row kept, byte for byte
    }

    TestWindow w;
    if (header)
        w->findChild<QAction*>(QStringLiteral("mnuHeaderLine"))->trigger();
    w->setJobSliceMs(1);
    w.platform.openAnswers = {dataFile};
    w->runCommand(Command::Open);
    if (refused) {
        QCOMPARE(w.platform.messages.size(), 1);
        QCOMPARE(w.platform.messages.first().prompt,
                 QStringLiteral("データファイル「%1」を読み込めませんでした。\n%2")
                     .arg(QDir::toNativeSeparators(dataFile), reason));
        QCOMPARE(w.platform.messages.first().title, QStringLiteral("エラー"));
        QCOMPARE(w->store().rowCount(), qint64(0));
    } else {
        QVERIFY(w.platform.messages.isEmpty());
        QCOMPARE(w->store().rowCount(), limit);
    }
}

void TestApp::streamedAsWhole_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("chunk"); // bytes read for each batch

    // Rows with misfits (no comma, empty) spread so that batch ends fall beside them.
    const auto rows = [](int count, const QString& lineEnd) {
        QString text = QStringLiteral("名前,番号,印") + lineEnd;
        for (int i = 1; i <= count; ++i) {
            if (i % 7 == 3)
                text += QStringLiteral("bad line %1").arg(i) + lineEnd;
            else if (i % 11 == 5)
                text += lineEnd;
            else
                text +=
                    QStringLiteral("%1,%2,x%3").arg(i % 3 ? u"東京" : u"大阪").arg(i).arg(i % 4) +
                    lineEnd;
        }
        return text;
    };
    const auto utf8 = [](const QString& text) { return text.toUtf8(); };
    const QByteArray bom = "\xEF\xBB\xBF";
    QByteArray ascii;
    for (int i = 0; ascii.size() < 3000; ++i)
        ascii += "row " + QByteArray::number(i) + ",9,x" + QByteArray::number(i % 5) + "\r\n";

    QTest::newRow("CR LF") << cp932(rows(300, "\r\n")) << QStringList() << 64;
    QTest::newRow("LF, no last line end")
        << cp932(rows(300, "\n")).chopped(1) << QStringList() << 50;
    QTest::newRow("header, to a file")
        << cp932(rows(120, "\r\n")) << QStringList{"--header", "-o", "out.csv"} << 40;
    // An empty line 1: lines without a comma fit it.
    QTest::newRow("empty header line")
        << cp932("\r\n" + rows(60, "\r\n")) << QStringList{"--header"} << 40;
    QTest::newRow("UTF-8 mark") << bom + utf8(rows(200, "\r\n")) << QStringList() << 64;
    QTest::newRow("UTF-8 mark, header, read as code page 932")
        << bom + utf8(rows(50, "\r\n")) << QStringList{"--header", "--encoding", "cp932"} << 64;
    QTest::newRow("UTF-8 settled late") << ascii + utf8(rows(100, "\r\n")) << QStringList() << 64;
    QTest::newRow("code page 932 settled late")
        << ascii + cp932(rows(100, "\r\n")) << QStringList() << 64;
    QTest::newRow("a lone non-ASCII byte late")
        << ascii + "\xE6,1,x\r\n" + ascii << QStringList() << 64;
    // Quoted records that span lines and batch ends, misfits among them, one quote left open.
    QString quoted = QStringLiteral("\"名前\",\"番号\",\"印\"\r\n");
    for (int i = 1; i <= 80; ++i) {
        if (i % 9 == 4)
            quoted += QStringLiteral("\"only\",\"two %1\"\r\n").arg(i);
        else if (i % 13 == 6)
            quoted += QStringLiteral("\"東京\r\n%1\",\"a, %2\r\nb\",\"\"\"x\"\"\"\r\n")
                          .arg(QString(200, u'-'))
                          .arg(i);
        else
            quoted += QStringLiteral("\"%1\",%2,\"x%3\"\r\n")
                          .arg(i % 3 ? u"東京" : u"大阪")
                          .arg(i)
                          .arg(i % 4);
    }
    const QString open = QStringLiteral("\"open,1,x\r\n");
    QTest::newRow("quoted") << cp932(quoted) << QStringList() << 64;
    QTest::newRow("quoted, given") << cp932(quoted) << QStringList{"--fields", "quoted"} << 100;
    QTest::newRow("quoted read plain") << cp932(quoted) << QStringList{"--fields", "plain"} << 64;
    QTest::newRow("quoted, a quote left open")
        << cp932(quoted + open + quoted) << QStringList() << 64;
    QTest::newRow("quoted first met late") << ascii + cp932(quoted) << QStringList() << 64;
    QTest::newRow("quoted, first record across lines")
        << cp932(QStringLiteral("\"a,b,\r\nc\",d,\"e\r\n%1\"\r\n").arg(QString(300, u'x')) + quoted)
        << QStringList{"--header"} << 32;
    QTest::newRow("stray quotes, plain")
        << cp932(rows(100, "\r\n").replace(u'印', u'"')) << QStringList() << 64;
    // Much more than a batch: the batch held stays near the batch size.
    QByteArray large;
    while (large.size() < (2 << 20))
        large += cp932(rows(1000, "\r\n"));
    QTest::newRow("much larger than a batch") << large << QStringList() << 4096;
}

// The streamed pickup gives what the whole load gives: the same result bytes, the same messages,
// the same status; and the batch it holds stays near the batch size.
void TestApp::streamedAsWhole() {
    QFETCH(QByteArray, data);
    QFETCH(QStringList, options);
    QFETCH(int, chunk);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    QVERIFY(writeAll(folder.filePath("data.csv"), data));
    QVERIFY(writeAll(folder.filePath("or.csv"),
                     cp932(QStringLiteral("\"1\",\"東京\"\r\n\"0\",\"9\"\r\n\"0\",\"x1\"\r\n"))));
    const auto restore = qScopeGuard([] {
        PickStream::setEnabledForTesting(true);
        PickStream::setChunkBytesForTesting(0);
    });
    PickStream::setChunkBytesForTesting(chunk);
    QStringList arguments{"--pick", folder.filePath("data.csv"), "--or", folder.filePath("or.csv")};
    const qsizetype output = options.indexOf(QStringLiteral("-o"));
    if (output >= 0)
        options[output + 1] = folder.filePath(options[output + 1]);
    arguments += options;
    struct Run {
        int status;
        QByteArray out, err, file;
    };
    const auto run = [&](bool streamed) {
        PickStream::setEnabledForTesting(streamed);
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const int status = PickCommand::run(arguments, out, err, false);
        const QByteArray file = output >= 0 ? readAll(options[output + 1]) : QByteArray();
        QFile::remove(folder.filePath("out.csv"));
        return Run{status, out.data(), err.data(), file};
    };
    const Run whole = run(false);
    const Run streamed = run(true);
    QCOMPARE(streamed.status, whole.status);
    QCOMPARE(streamed.err, whole.err);
    QCOMPARE(streamed.out, whole.out);
    QCOMPARE(streamed.file, whole.file);
    QVERIFY2(!(whole.out + whole.file).isEmpty(), whole.err.constData());
    if (data.size() > 100 * chunk)
        QVERIFY2(PickStream::largestBatchBytes() <= std::size_t(4 * chunk),
                 qPrintable(QString::number(PickStream::largestBatchBytes())));
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
