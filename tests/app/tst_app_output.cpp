// The built program's result output kept whole: a closed standard output is one message and
// status 1, a signal while the result file is written waits for the file, and a result never
// replaces a file it is read from.
#include "AppTestSupport.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <optional>

#include <unistd.h>

class TestAppOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void closedStandardOutput_data();
    void closedStandardOutput();
    void interruptWhileWritingTheResult_data();
    void interruptWhileWritingTheResult();
    void outputThatIsAnInput_data();
    void outputThatIsAnInput();
};

namespace {

// Every file of the folder, by name, with its bytes.
QMap<QString, QByteArray> filesIn(const QDir& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        files[name] = readAll(folder.filePath(name));
    return files;
}

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

void TestAppOutput::closedStandardOutput_data() {
    QTest::addColumn<bool>("pipe");
    QTest::newRow("a pipe whose reader has gone") << true;
    QTest::newRow("no standard output at all") << false;
}

void TestAppOutput::closedStandardOutput() {
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

void TestAppOutput::interruptWhileWritingTheResult_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestAppOutput::interruptWhileWritingTheResult() {
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

void TestAppOutput::outputThatIsAnInput_data() {
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
void TestAppOutput::outputThatIsAnInput() {
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

QTEST_MAIN(TestAppOutput)
#include "tst_app_output.moc"
