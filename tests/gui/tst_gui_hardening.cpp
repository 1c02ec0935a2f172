// Files written through the real window that cannot be written: result and list files, the
// data file itself, a folder that refuses the temporary file. Every case must end with a message
// where something failed, the window idle and usable, and nothing lost that was there before.
#include "FileSizeLimit.h"
#include "HardeningTestSupport.h"

#include "TestFiles.h"
#include "base/WholeFile.h"
#include "conditions/ConditionListFile.h"

#include <QDir>
#include <QRegularExpression>

#include <optional>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A folder the user may not write to (no file can be made in it), holding files the user may
// write to. As root, this thread's right to pass over permissions is laid down meanwhile.
class ClosedFolder {
public:
    explicit ClosedFolder(const QString& folder) : m_folder(QFile::encodeName(folder)) {
        if (::chmod(m_folder.constData(), 0555) != 0)
            return;
        m_closed = true;
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
        m_active = m_lowered;
    }
    ~ClosedFolder() {
        if (m_lowered)
            ::syscall(SYS_capset, &m_header, m_saved);
        if (m_closed)
            ::chmod(m_folder.constData(), 0755);
    }
    ClosedFolder(const ClosedFolder&) = delete;
    ClosedFolder& operator=(const ClosedFolder&) = delete;
    bool active() const { return m_active; }

private:
    QByteArray m_folder;
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_closed = false;
    bool m_lowered = false;
    bool m_active = false;
};

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
} // namespace

class TestGuiHardening : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resultSaveFails_data();
    void resultSaveFails();
    void listFileSaveFails_data();
    void listFileSaveFails();
    void saveOverTheDataFileRefused_data();
    void saveOverTheDataFileRefused();
    void writeInPlaceOnlyWhenAsked_data();
    void writeInPlaceOnlyWhenAsked();
    void listFileTooBigForMemory();
};

// ---------------------------------------------------------------- files written

namespace {

// A save that fails where the file cannot be created, and one whose writing fails part-way (the
// process's file size limit, so it works as root too). What stays on disk is WholeFile's
// guarantee, tested with it; here it is the window's side: its message, and the window idle with
// nothing lost.
enum class Target { Folder, ExistingFileTooBig };

QString prepareTarget(const TestWindow& w, Target target) {
    if (target == Target::Folder) {
        QDir(w.dir.path()).mkdir("taken.csv");
        return w.dir.filePath("taken.csv");
    }
    return w.writeFile("existing.csv", "old content\r\n");
}

// Runs the save with the disk full after 1 KiB when the target needs it.
template <typename Save> void saveWithLimit(Target target, Save save) {
    std::optional<FileSizeLimit> full;
    if (target == Target::ExistingFileTooBig) {
        full.emplace(1024);
        QVERIFY(full->active());
    }
    save();
}

void addTargetRows() {
    QTest::addColumn<Target>("target");
    QTest::newRow("a folder") << Target::Folder;
    QTest::newRow("an existing file, write fails part-way") << Target::ExistingFileTooBig;
}

} // namespace

void TestGuiHardening::resultSaveFails_data() {
    addTargetRows();
}

void TestGuiHardening::resultSaveFails() {
    QFETCH(Target, target);
    TestWindow w;
    w->show();
    // Results of a real pickup, more than the file size limit lets through.
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("行%1,東京都千代田区,%2\r\n").arg(i).arg(i % 2 ? "x" : "y");
    const Cp932::EncodeResult encoded = Cp932::encode(text);
    QVERIFY(encoded.ok());
    loadFile(w, w.writeFile("data.csv", encoded.bytes));
    QCOMPARE(w->store().rowCount(), qint64(300));
    registerEntry(w, ConditionList::InAND, "3", "x");
    w->cmdAccessKey_Click(3); // Alt+R
    const QStringList results = resultTexts(w);
    QCOMPARE(results.size(), 150);
    QVERIFY(w.enabled(Command::Save));

    const QString path = prepareTarget(w, target);
    w.platform.saveAnswers << path;
    saveWithLimit(target, [&] { w->cmdAccessKey_Click(1); }); // Alt+S

    QCOMPARE(w.platform.saveDialogs.size(), 1);
    QCOMPARE(w.platform.messages.size(), 1);
    const ScriptedPlatform::Message& m = w.platform.messages[0];
    QCOMPARE(m.style, 48);
    QCOMPARE(m.title, QStringLiteral("Vornel"));
    QVERIFY2(QRegularExpression(QStringLiteral("^エラー番号 = [1-9][0-9]*\r[^\r]+$"))
                 .match(m.prompt)
                 .hasMatch(),
             qPrintable(m.prompt));
    // The cause itself, not the giving up after it.
    if (target == Target::ExistingFileTooBig)
        QVERIFY2(m.prompt.endsWith(japaneseFileError(qt_error_string(EFBIG))),
                 qPrintable(m.prompt));
    VERIFY_IDLE(w);
    // The results are still there and can be saved elsewhere.
    QCOMPARE(resultTexts(w), results);
    for (Command key : kResultCommands)
        QVERIFY2(w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(!w.lvwPickupData()->isHidden());
    const QString good = w.dir.filePath("good.csv");
    w.platform.saveAnswers << good;
    w->cmdAccessKey_Click(1);
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(readAll(good).count("\r\n"), 150);
}

void TestGuiHardening::listFileSaveFails_data() {
    addTargetRows();
}

void TestGuiHardening::listFileSaveFails() {
    QFETCH(Target, target);
    TestWindow w;
    w->show();
    // A list loaded from a list file: more than the file size limit lets through.
    QByteArray list;
    for (int i = 0; i < 100; ++i)
        list += "\"0\",\"phrase number " + QByteArray::number(i) + " of the list\"\r\n";
    w.platform.openAnswers << w.writeFile("list.csv", list);
    w->conditionList(ConditionList::OutOR).cmdOpen->click();
    ConditionListModel* model = w->conditionList(ConditionList::OutOR).model;
    QCOMPARE(model->count(), 100);
    const std::vector<ConditionEntry> entries = model->entries();
    QPushButton* save = w->conditionList(ConditionList::OutOR).cmdSave;
    QVERIFY(save->isEnabled());

    const QString path = prepareTarget(w, target);
    w.platform.saveAnswers << path;
    saveWithLimit(target, [&] { save->click(); });

    QCOMPARE(w.platform.saveDialogs.size(), 1);
    QCOMPARE(w.platform.messages.size(), 1);
    const ScriptedPlatform::Message& m = w.platform.messages[0];
    QCOMPARE(m.style, 16);
    QCOMPARE(m.title, QStringLiteral("エラー"));
    QVERIFY2(m.prompt.contains(QDir::toNativeSeparators(path)), qPrintable(m.prompt));
    if (target == Target::ExistingFileTooBig)
        QVERIFY2(m.prompt.endsWith(japaneseFileError(qt_error_string(EFBIG))),
                 qPrintable(m.prompt));
    VERIFY_IDLE(w);
    QVERIFY(model->entries() == entries);
    QVERIFY(save->isEnabled());
    // And saving elsewhere still works.
    const QString good = w.dir.filePath("good.csv");
    w.platform.saveAnswers << good;
    save->click();
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(readAll(good), list);
}

void TestGuiHardening::saveOverTheDataFileRefused_data() {
    QTest::addColumn<QString>("how"); // how the save dialog's answer names the data file
    QTest::newRow("its own name") << "name";
    QTest::newRow("with ./ in it") << "dot";
    QTest::newRow("a symbolic link") << "symlink";
    QTest::newRow("a hard link") << "hardlink";
}

// Save never replaces the data file the rows are read from, however the answer names it.
void TestGuiHardening::saveOverTheDataFileRefused() {
    QFETCH(QString, how);
    TestWindow w;
    w->show();
    const QByteArray bytes = "a,x\r\nb,y\r\nc,x\r\n";
    const QString data = w.writeFile("data.csv", bytes);
    loadFile(w, data);
    registerEntry(w, ConditionList::InAND, "2", "x");
    w->cmdAccessKey_Click(3); // Alt+R
    QCOMPARE(resultTexts(w), (QStringList{"a,x", "c,x"}));
    QString answer = data;
    if (how == u"dot") {
        answer = w.dir.path() + QStringLiteral("/./data.csv");
    } else if (how == u"symlink") {
        answer = w.dir.filePath("link.csv");
        QVERIFY(QFile::link(data, answer));
    } else if (how == u"hardlink") {
        answer = w.dir.filePath("link.csv");
        QCOMPARE(::link(QFile::encodeName(data).constData(), QFile::encodeName(answer).constData()),
                 0);
    }
    w.platform.saveAnswers << answer;
    w->cmdAccessKey_Click(1); // Alt+S
    QCOMPARE(w.platform.messages.size(), 1);
    QVERIFY2(w.platform.messages[0].prompt.contains(
                 QStringLiteral("読み込んでいるデータファイルと同じファイルです")),
             qPrintable(w.platform.messages[0].prompt));
    QCOMPARE(w.platform.messages[0].style, 48);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
    QCOMPARE(readAll(data), bytes);
    VERIFY_IDLE(w);
    // Another name is saved as ever.
    const QString other = w.dir.filePath("other.csv");
    w.platform.saveAnswers << other;
    w->cmdAccessKey_Click(1);
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(readAll(other), QByteArray("a,x\r\nc,x\r\n"));
}

namespace {

enum class Written { Save, ListFile, HandOver };

} // namespace

void TestGuiHardening::writeInPlaceOnlyWhenAsked_data() {
    QTest::addColumn<Written>("written");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Save, yes") << Written::Save << true;
    QTest::newRow("Save, no") << Written::Save << false;
    QTest::newRow("list file, yes") << Written::ListFile << true;
    QTest::newRow("list file, no") << Written::ListFile << false;
    QTest::newRow("hand-over, yes") << Written::HandOver << true;
    QTest::newRow("hand-over, no") << Written::HandOver << false;
}

// A folder that refuses the temporary file: the window asks before it writes the old file in
// place (a failure part-way would lose it), and writes nothing when told no.
void TestGuiHardening::writeInPlaceOnlyWhenAsked() {
    QFETCH(Written, written);
    QFETCH(bool, yes);
    TestWindow w;
    w->show();
    loadFile(w, w.writeFile("data.csv", "a,x\r\nb,y\r\nc,x\r\n"));
    registerEntry(w, ConditionList::InAND, "2", "x");
    w->cmdAccessKey_Click(3); // Alt+R
    QCOMPARE(resultTexts(w), (QStringList{"a,x", "c,x"}));
    QVERIFY(QDir(w.dir.path()).mkdir("closed"));
    const QString path = written == Written::HandOver ? AppPaths::transferFilePath()
                                                      : w.dir.filePath("closed/out.csv");
    const QByteArray old = "old content\r\n";
    QVERIFY(writeAll(path, old));
    const ino_t before = inodeOf(path);
    const QByteArray expected =
        written == Written::ListFile ? QByteArray("\"2\",\"x\"\r\n") : QByteArray("a,x\r\nc,x\r\n");
    const auto write = [&] {
        switch (written) {
        case Written::Save:
            w.platform.saveAnswers << path;
            w->cmdAccessKey_Click(1); // Alt+S
            break;
        case Written::ListFile:
            w.platform.saveAnswers << path;
            w->conditionList(ConditionList::InAND).cmdSave->click();
            break;
        case Written::HandOver:
            w.cmdSend()->setEnabled(true);
            w.cmdSend()->click();
            break;
        }
    };
    w.platform.answers = {yes ? Platform::Yes : Platform::No};
    const QDir folder = QFileInfo(path).absoluteDir();
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden);
    {
        const ClosedFolder closed(QFileInfo(path).absolutePath());
        if (!closed.active())
            QSKIP("the file system does not let this process close a folder");
        write();
    }
    QVERIFY(!w.platform.messages.isEmpty());
    QCOMPARE(w.platform.messages[0].prompt, inPlaceQuestion(path));
    QCOMPARE(w.platform.messages[0].style, 36);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
    QCOMPARE(readAll(path), yes ? expected : old);
    QCOMPARE(inodeOf(path), before);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), files);
    // Only the hand-over says more: sent, or not sent.
    QCOMPARE(w.platform.messages.size(), written == Written::HandOver ? 2 : 1);
    VERIFY_IDLE(w);
}

void TestGuiHardening::listFileTooBigForMemory() {
    // A list file that does not fit in memory is a load that failed: a message, and every list as
    // it was.
    TestWindow w;
    w->show();
    registerEntry(w, ConditionList::OutOR, "0", "kept");
    const QString path = w.writeFile("big.csv", "\"0\",\"a\"\r\n\"0\",\"b\"\r\n");
    w.platform.openAnswers << path;
    ConditionListFile::setMemoryLimitForTesting(8);
    w->conditionList(ConditionList::OutOR).cmdOpen->click();
    ConditionListFile::setMemoryLimitForTesting(0);
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             ConditionListFile::loadFailedMessage(path, QStringLiteral("メモリーが足りません。")));
    QCOMPARE(w.platform.messages[0].style, 16);
    const ConditionListModel* model = w->conditionList(ConditionList::OutOR).model;
    QCOMPARE(model->count(), 1);
    QCOMPARE(model->entries()[0].phrase, QStringLiteral("kept"));
    VERIFY_IDLE(w);
}

QTEST_MAIN(TestGuiHardening)
#include "tst_gui_hardening.moc"
