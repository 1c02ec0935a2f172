// Bad input and untimely commands through the real window: data files that are missing, broken
// or change while they are read; result and list files that cannot be written; Stop and About at
// every moment of a load and of a pickup. Every case must end with a message where something
// failed, the window idle and usable, and nothing lost that was there before.
#include "FileSizeLimit.h"
#include "GuiTestSupport.h"

#include "TestFiles.h"
#include "base/CountText.h"

#include "base/Cp932.h"
#include "base/WholeFile.h"
#include "conditions/ConditionListFile.h"
#include "conditions/ConditionListModel.h"
#include "main_window/MousePointer.h"
#include "results/ResultListModel.h"
#include "shell/frmVNLAbout.h"
#include "source/SourceTableModel.h"
#include "source/frmVNLError.h"

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <optional>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QString changedQuestion(const QString& path) {
    return QStringLiteral("データファイル「%1」は読み込みの途中で変更されました。\n"
                          "読み込んだ行は変更の前と後が混ざっているかもしれません。\n"
                          "もう一度読み込みますか？")
        .arg(path);
}

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

const Command kResultCommands[] = {Command::Save, Command::Print, Command::AllSelect, Command::Copy,
                                   Command::Sort};

QStringList sourceRows(const TestWindow& w) {
    QStringList rows;
    for (qint64 r = 0; r < w->store().rowCount(); ++r)
        rows.append(w->store().rowText(r));
    return rows;
}

QStringList numberedHeaders(qsizetype count) {
    QStringList h;
    h.reserve(count);
    for (qsizetype i = 1; i <= count; ++i)
        h << QString::number(i);
    return h;
}

// The idle state of the job-state table: Open on, Stop off, Start by the rule, Help on, the
// condition lists on, the window closable, the default pointer, no progress panel. Empty when
// all holds, else what does not.
QString idleDeviation(const TestWindow& w) {
    QStringList wrong;
    if (w->isBusy())
        wrong << "busy";
    if (!w.enabled(Command::Open))
        wrong << "M_Open off";
    if (w.enabled(Command::Stop))
        wrong << "M_Stop on";
    if (!w.enabled(Command::Help) || !w->toolbarMenuItem(Command::HelpAbout)->isEnabled())
        wrong << "Help off";
    qsizetype entries = 0;
    for (ConditionList id : kConditionListOrder)
        entries += w->conditionList(id).model->count();
    if (w.enabled(Command::Start) != (entries > 0 && w->store().rowCount() > 0))
        wrong << "M_Start against the rule";
    if (!w.fraWordSet()->isEnabled())
        wrong << "fraWordSet off";
    if (QWindow* handle = w->windowHandle();
        handle && !handle->flags().testFlag(Qt::WindowCloseButtonHint))
        wrong << "Close off";
    if (MousePointer::current() != MousePointer::Default)
        wrong << "pointer not default";
    if (!w.fraProgressbar()->isHidden())
        wrong << "progress panel shown";
    if (QApplication::activeModalWidget())
        wrong << "a modal dialog is still open";
    return wrong.join(", ");
}

#define VERIFY_IDLE(w)                                                                             \
    do {                                                                                           \
        const QString deviation = idleDeviation(w);                                                \
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation));                                      \
    } while (false)

// What loading bytes must give, worked out independently of the loader: lines end at LF (a CR
// right before it belongs to the line end, a lone CR is an ordinary character), the first line's
// commas fix the columns, every other line is a data-error dialog (answered with Skip here).
struct ExpectedLoad {
    qsizetype commaCount = 0;
    QStringList rows;
    int rejected = 0;
};

ExpectedLoad expectedLoad(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n')
            continue;
        QByteArray line = bytes.mid(start, i - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines << line;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << bytes.mid(start);
    ExpectedLoad e;
    if (!lines.isEmpty())
        e.commaCount = lines.first().count(',');
    for (const QByteArray& line : lines) {
        if (!line.isEmpty() && line.count(',') == e.commaCount)
            e.rows << Cp932::decode(line);
        else
            ++e.rejected;
    }
    return e;
}

// Drives a running job from a zero timer: counts the turns of the event loop the job gives
// (turns inside a modal dialog do not count), runs `action` at turn `at`, and answers every
// data-error dialog with Skip.
class JobDriver {
public:
    explicit JobDriver(TestWindow& w) : m_w(w) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }

    int at = -1; // -1: never
    std::function<void()> action;

    int turns = 0;
    int dialogs = 0;
    bool acted = false;

    void reset(int newAt) {
        at = newAt;
        turns = 0;
        dialogs = 0;
        acted = false;
    }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* error = qobject_cast<frmVNLError*>(modal)) {
            ++dialogs;
            error->cmdCancel->click();
            return;
        }
        if (modal || !m_w->isBusy())
            return;
        if (turns++ == at && action) {
            acted = true;
            action();
        }
    }

    TestWindow& m_w;
    QTimer m_timer;
};

// Registers an entry through the list's own boxes and button.
void registerEntry(TestWindow& w, ConditionList id, const QString& column, const QString& phrase) {
    ConditionListControls& list = w->conditionList(id);
    list.txtNo->setText(column);
    list.txtGoku->setText(phrase);
    list.cmdTuika->click();
}

void loadFile(TestWindow& w, const QString& path) {
    w.platform.openAnswers << path;
    w->cmdAccessKey_Click(0); // Alt+O
}

} // namespace

class TestGuiHardening : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void badDataFile_data();
    void badDataFile();
    void fileChangesBetweenPasses_data();
    void fileChangesBetweenPasses();
    void resultSaveFails_data();
    void resultSaveFails();
    void listFileSaveFails_data();
    void listFileSaveFails();
    void changedFileReadAgain();
    void saveOverTheDataFileRefused_data();
    void saveOverTheDataFileRefused();
    void writeInPlaceOnlyWhenAsked_data();
    void writeInPlaceOnlyWhenAsked();
    void listFileTooBigForMemory();
    void stopAtAnyMoment_data();
    void stopAtAnyMoment();
    void aboutAtAnyMoment_data();
    void aboutAtAnyMoment();
};

// ---------------------------------------------------------------- data files

void TestGuiHardening::badDataFile_data() {
    QTest::addColumn<QString>("kind"); // "missing", "folder" or "file"
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("missing path") << "missing" << QByteArray();
    QTest::newRow("folder") << "folder" << QByteArray();
    QTest::newRow("0-byte file") << "file" << QByteArray();

    QRandomGenerator random(8);
    QByteArray binary(64 * 1024, Qt::Uninitialized);
    for (char& c : binary)
        c = char(random.bounded(256));
    for (qsizetype i = 0; i < binary.size(); i += 97)
        binary[i] = '\0';
    QByteArray oneLine = binary;
    oneLine.replace('\n', 'n');
    QTest::newRow("binary with NULs, one line") << "file" << oneLine;
    QTest::newRow("binary with NULs, many lines") << "file" << binary.left(12 * 1024);

    QTest::newRow("invalid code page 932")
        << "file"
        << QByteArray("\x81\x20x,\xff\xfe\r\n"    // lead byte with a blank as trail, bytes that
                      "\x80\xa0,\x81\r\n"         // start nothing, a lead byte before CR LF,
                      "\x9f,\xe0\x7f\x81\n"       // before a comma, at a bare LF,
                      "\xfd\xfc\xfc,\x82\x0d\x0a" // unassigned pairs,
                      "\xeb\x40,\x82");           // and cut off at the end of the file

    QByteArray longLine;
    for (int i = 0; i < 50000; ++i)
        longLine += "\x8a\xbf"; // 漢
    longLine += ',' + QByteArray(49998, 'x') + ',';
    QTest::newRow("100,000-character line")
        << "file" << QByteArray("1,2,3\r\n") + longLine + "\r\n4,5,6\r\n";

    QByteArray wide;
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 40000; ++c)
            wide += (c ? "," : "") + QByteArray::number(c % 10);
        wide += "\r\n";
    }
    QTest::newRow("40,000 columns") << "file" << wide;

    QTest::newRow("CR-only line ends") << "file" << QByteArray("a,b\rc,d\re,f\r");
    QTest::newRow("CR-only, then one LF")
        << "file" << QByteArray("a,b\rc,d\r\ne,f\rg,h\r\ni,j\r\n");
}

void TestGuiHardening::badDataFile() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    JobDriver driver(w); // answers the data-error dialogs

    // What is there before: a loaded table and a list entry.
    const QString before = w.writeFile("before.csv", "p,1,x\r\nq,2,y\r\n");
    loadFile(w, before);
    QCOMPARE(sourceRows(w), (QStringList{"p,1,x", "q,2,y"}));
    registerEntry(w, ConditionList::InOR, "0", "1");
    QCOMPARE(w->conditionList(ConditionList::InOR).model->count(), 1);
    QVERIFY(w.enabled(Command::Start));

    QString path = w.dir.filePath("bad.csv");
    if (kind == u"folder")
        QVERIFY(QDir(w.dir.path()).mkdir("bad.csv"));
    else if (kind == u"file")
        path = w.writeFile("bad.csv", bytes);
    driver.reset(-1);
    loadFile(w, path);
    VERIFY_IDLE(w);
    QCOMPARE(w->conditionList(ConditionList::InOR).model->count(), 1);
    QVERIFY(w->resultModel()->count() == 0);

    if (kind != u"file") {
        // Nothing was read: one clear message, and the table as it was.
        QCOMPARE(w.platform.messages.size(), 1);
        const ScriptedPlatform::Message& m = w.platform.messages[0];
        QCOMPARE(m.style, 16);
        QCOMPARE(m.title, QStringLiteral("エラー"));
        QVERIFY2(m.prompt.contains(path), qPrintable(m.prompt));
        QCOMPARE(driver.dialogs, 0);
        QCOMPARE(sourceRows(w), (QStringList{"p,1,x", "q,2,y"}));
        QCOMPARE(w->sourceModel()->headers(), (QStringList{"1", "2", "3"}));
        QCOMPARE(w->commaCount(), 2);
        QCOMPARE(w->panelText(Panel::FilePath), before);
        QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
        QVERIFY(!w.lvwOriginalData()->isHidden());
    } else {
        // Read as the line rule says, whatever the bytes are.
        const ExpectedLoad e = expectedLoad(bytes);
        QVERIFY2(w.platform.messages.isEmpty(), qPrintable(w.platform.messages.value(0).prompt));
        QCOMPARE(driver.dialogs, e.rejected);
        QCOMPARE(w->commaCount(), int(e.commaCount));
        QCOMPARE(sourceRows(w), e.rows);
        QCOMPARE(w->sourceModel()->rowCount(), int(e.rows.size()));
        QCOMPARE(w->sourceModel()->columnCount(), int(e.commaCount) + 1);
        QCOMPARE(w->sourceModel()->headers(), numberedHeaders(e.commaCount + 1));
        QCOMPARE(w->panelText(Panel::FilePath), path);
        QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(e.rows.size()));
        QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
        QVERIFY(!w.lvwOriginalData()->isHidden());
        QVERIFY(w.lvwPickupData()->isHidden());
    }

    // Still usable: the next file loads, and a pickup over it runs.
    loadFile(w, w.writeFile("after.csv", "a1,b\r\na2,c\r\na3,b\r\n"));
    VERIFY_IDLE(w);
    QCOMPARE(sourceRows(w), (QStringList{"a1,b", "a2,c", "a3,b"}));
    QCOMPARE(w->commaCount(), 1);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(3));
    registerEntry(w, ConditionList::InAND, "2", "b");
    w->cmdAccessKey_Click(3); // Alt+R
    VERIFY_IDLE(w);
    QCOMPARE(resultTexts(w), QStringList{"a1,b"}); // with the entry on "1" from before
}

void TestGuiHardening::fileChangesBetweenPasses_data() {
    // The loader reads the file twice: its first line, then all of it. The file changes at the
    // first turn of the event loop after the first line was read.
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("change"); // written in place of the file, or appended
    QTest::addColumn<bool>("append");
    QTest::addColumn<QStringList>("expectedRows");
    QTest::addColumn<int>("expectedDialogs");

    const QByteArray three = "a,1\r\nb,2\r\nc,3\r\n";
    QTest::newRow("emptied after the first line")
        << three << QByteArray() << false << QStringList{} << 0;
    QTest::newRow("shorter after the first line")
        << three << QByteArray("a,1\r\n") << false << QStringList{"a,1"} << 0;
    QTest::newRow("other columns after the first line")
        << three << QByteArray("x,y,z\r\nu,v,w\r\n") << false << QStringList{} << 2;
    QTest::newRow("longer after the first line")
        << three << QByteArray("d,4\r\ne,5\r\n") << true
        << QStringList{"a,1", "b,2", "c,3", "d,4", "e,5"} << 0;
    QTest::newRow("grows with a bad line after the first line")
        << three << QByteArray("d,4\r\nbad\r\ne,5") << true
        << QStringList{"a,1", "b,2", "c,3", "d,4", "e,5"} << 1;
}

void TestGuiHardening::fileChangesBetweenPasses() {
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, change);
    QFETCH(bool, append);
    QFETCH(QStringList, expectedRows);
    QFETCH(int, expectedDialogs);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    w.platform.answers = {Platform::No};
    const QString path = w.writeFile("changing.csv", original);
    bool changed = false;
    QTimer changer;
    changer.setInterval(0);
    connect(&changer, &QTimer::timeout, [&] {
        if (changed || !w->isBusy() || QApplication::activeModalWidget())
            return;
        changed = true;
        QFile f(path);
        QVERIFY(f.open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(change), change.size());
    });
    changer.start();
    JobDriver driver(w);
    loadFile(w, path);
    changer.stop();

    QVERIFY(changed);
    VERIFY_IDLE(w);
    // The change is noticed and a second read offered; declined, the rows read stay.
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt, changedQuestion(path));
    QCOMPARE(w.platform.messages[0].style, 36);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
    QCOMPARE(driver.dialogs, expectedDialogs);
    QCOMPARE(w->commaCount(), 1); // from the first line as it was first read
    QCOMPARE(sourceRows(w), expectedRows);
    QCOMPARE(w->sourceModel()->rowCount(), int(expectedRows.size()));
    QCOMPARE(w->sourceModel()->headers(), (QStringList{"1", "2"}));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(expectedRows.size()));
    QCOMPARE(w->panelText(Panel::FilePath), path);

    // And the window goes on.
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(original);
    f.close();
    loadFile(w, path);
    VERIFY_IDLE(w);
    QCOMPARE(sourceRows(w), (QStringList{"a,1", "b,2", "c,3"}));
}

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

void TestGuiHardening::changedFileReadAgain() {
    // Answered yes, the file is read again as it is now.
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    const QString path = w.writeFile("changing.csv", "a,1\r\nb,2\r\n");
    bool changed = false;
    QTimer changer;
    changer.setInterval(0);
    connect(&changer, &QTimer::timeout, [&] {
        if (changed || !w->isBusy() || QApplication::activeModalWidget())
            return;
        changed = true;
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write("c,3\r\n") == 5);
    });
    changer.start();
    w.platform.answers = {Platform::Yes};
    loadFile(w, path);
    changer.stop();
    QVERIFY(changed);
    VERIFY_IDLE(w);
    QCOMPARE(w.platform.messages.size(), 1); // the second read found the file at rest
    QCOMPARE(w.platform.messages[0].prompt, changedQuestion(path));
    QCOMPARE(sourceRows(w), (QStringList{"a,1", "b,2", "c,3"}));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(3));
    QCOMPARE(w->panelText(Panel::FilePath), path);
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

// ---------------------------------------------------------------- Stop and About at any moment

namespace {

// The load's small file: a third of its lines do not fit, so it pauses in a dialog for each and
// gives the event loop many turns.
QByteArray stopLoadBytes() {
    QByteArray bytes;
    for (int i = 0; i < 60; ++i)
        bytes += i % 3 == 2
                     ? "bad line " + QByteArray::number(i) + "\r\n"
                     : "r" + QByteArray::number(i) + ",x,y" + QByteArray::number(i % 4) + "\r\n";
    return bytes;
}

// The pickup's file (a few megabytes), with conditions that cost a little per row: enough rows for
// a few dozen slices.
constexpr int kPickupRows = 60000;

QByteArray stopPickupBytes() {
    QByteArray bytes;
    for (int i = 0; i < kPickupRows; ++i)
        bytes += "row" + QByteArray::number(i) + ",name" + QByteArray::number(i % 7) +
                 ",some longer text to look through " + QByteArray::number(i % 13) + "\r\n";
    return bytes;
}

void setUpPickup(TestWindow& w) {
    loadFile(w, w.writeFile("pickup.csv", stopPickupBytes()));
    QCOMPARE(w->store().rowCount(), qint64(kPickupRows));
    registerEntry(w, ConditionList::InOR, "3", "*look*through*1#");
    registerEntry(w, ConditionList::InOR, "2", "name[0-2]");
    registerEntry(w, ConditionList::InOR, "0", "*o*e*o*e*o*e*o*e*q");
    registerEntry(w, ConditionList::InOR, "0", "*t*o*t*o*t*o*t*o*#z");
    registerEntry(w, ConditionList::OutOR, "0", "*row*5*,*");
    QVERIFY(w.enabled(Command::Start));
}

// What a stopped load leaves.
QString stoppedLoadDeviation(const TestWindow& w, int commaCount) {
    QStringList wrong;
    if (w->store().rowCount() != 0 || w->sourceModel()->rowCount() != 0)
        wrong << "source rows left";
    if (w->sourceModel()->headers() != QStringList{QString()})
        wrong << "headers " + w->sourceModel()->headers().mid(0, 5).join('|');
    else if (w.lvwOriginalData()->header()->sectionSize(0) != 0)
        wrong << "empty column not of width 0";
    if (!w->panelText(Panel::FilePath).isEmpty())
        wrong << "S_FilePath " + w->panelText(Panel::FilePath);
    if (w->panelText(Panel::Original) != CountText::sourceRows(0))
        wrong << "S_Original " + w->panelText(Panel::Original);
    if (w->panelText(Panel::Pickup) != CountText::pickedRows(0))
        wrong << "S_Pickup " + w->panelText(Panel::Pickup);
    if (w->commaCount() != commaCount)
        wrong << "CommaCount " + QString::number(w->commaCount());
    if (w->resultModel()->count() != 0 || !w.lvwPickupData()->isHidden())
        wrong << "result list not hidden and empty";
    if (w.lvwOriginalData()->isHidden())
        wrong << "source list hidden";
    return wrong.join(", ");
}

// What a stopped pickup leaves.
QString stoppedPickupDeviation(const TestWindow& w, qint64 sourceRows) {
    QStringList wrong;
    if (w->store().rowCount() != sourceRows ||
        CountText::parse(w->panelText(Panel::Original)).value_or(-1) != sourceRows)
        wrong << "source table changed";
    if (w.lvwOriginalData()->isHidden())
        wrong << "source list hidden";
    if (!w.lvwPickupData()->isHidden() || w->resultModel()->count() != 0)
        wrong << "result list not hidden and empty";
    if (w->panelText(Panel::Pickup) != CountText::pickedRows(0))
        wrong << "S_Pickup " + w->panelText(Panel::Pickup);
    for (Command key : kResultCommands)
        if (w.enabled(key))
            wrong << commandKey(key) + " on";
    if (w.cmdSend()->isEnabled())
        wrong << "cmdSend on";
    if (!w.enabled(Command::Start))
        wrong << "M_Start off";
    return wrong.join(", ");
}

// What a completed load or pickup leaves, compared with an undisturbed run.
QString completedDeviation(const TestWindow& w, bool pickup, const QStringList& expected) {
    QStringList wrong;
    if (pickup) {
        if (resultTexts(w) != expected)
            wrong << QStringLiteral("%1 result rows").arg(w->resultModel()->count());
        if (w->panelText(Panel::Pickup) != CountText::pickedRows(expected.size()))
            wrong << "S_Pickup " + w->panelText(Panel::Pickup);
        if (w.lvwPickupData()->isHidden() || !w.lvwOriginalData()->isHidden())
            wrong << "result list not the one shown";
        for (Command key : kResultCommands)
            if (!w.enabled(key))
                wrong << commandKey(key) + " off";
        if (!w.cmdSend()->isEnabled())
            wrong << "cmdSend off";
    } else {
        if (sourceRows(w) != expected)
            wrong << QStringLiteral("%1 source rows").arg(w->store().rowCount());
        if (w->panelText(Panel::Original) != CountText::sourceRows(expected.size()))
            wrong << "S_Original " + w->panelText(Panel::Original);
        if (w->panelText(Panel::FilePath).isEmpty())
            wrong << "S_FilePath empty";
        if (w->sourceModel()->headers() != numberedHeaders(w->commaCount() + 1))
            wrong << "headers";
        if (w.lvwOriginalData()->isHidden() || !w.lvwPickupData()->isHidden())
            wrong << "source list not the one shown";
        if (w->panelText(Panel::Pickup) != CountText::pickedRows(0))
            wrong << "S_Pickup " + w->panelText(Panel::Pickup);
    }
    return wrong.join(", ");
}

void addJobRows() {
    QTest::addColumn<bool>("pickup");
    QTest::newRow("load") << false;
    QTest::newRow("pickup") << true;
}

// Starts the job once: a load of the small file, or a pickup over it.
void runJob(TestWindow& w, bool pickup, const QString& loadPath) {
    if (pickup)
        w->cmdAccessKey_Click(3); // Alt+R
    else
        loadFile(w, loadPath);
}

} // namespace

void TestGuiHardening::stopAtAnyMoment_data() {
    addJobRows();
}

void TestGuiHardening::stopAtAnyMoment() {
    QFETCH(bool, pickup);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0); // the shortest slices there are
    const QString loadPath = w.writeFile("stop.csv", stopLoadBytes());
    if (pickup)
        setUpPickup(w);
    JobDriver driver(w);

    // An undisturbed run first: what a completed run gives and how many turns it takes.
    runJob(w, pickup, loadPath);
    QVERIFY(driver.turns > 0);
    const QStringList expected = pickup ? resultTexts(w) : sourceRows(w);
    QVERIFY(!expected.isEmpty());
    if (!pickup)
        QCOMPARE(expected, expectedLoad(stopLoadBytes()).rows);
    const qint64 sourceCount = w->store().rowCount();

    // Then Stop at every turn, up to a few past the end.
    int stopped = 0;
    int completedInARow = 0;
    for (int at = 0; completedInARow < 3; ++at) {
        QVERIFY2(at < 1000, "the job never ends undisturbed");
        bool stopWasOn = false;
        driver.reset(at);
        driver.action = [&] {
            stopWasOn = w.enabled(Command::Stop);
            w->cmdAccessKey_Click(4); // Alt+E
        };
        runJob(w, pickup, loadPath);
        const QString where = QStringLiteral(" (Stop at turn %1 of %2)").arg(at).arg(driver.turns);
        QString deviation = idleDeviation(w);
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
        QVERIFY2(w.platform.messages.isEmpty(), qPrintable(where));
        if (driver.acted) {
            QVERIFY2(stopWasOn, qPrintable("M_Stop off during the job" + where));
            ++stopped;
            completedInARow = 0;
            deviation =
                pickup ? stoppedPickupDeviation(w, sourceCount) : stoppedLoadDeviation(w, 2);
        } else {
            ++completedInARow;
            deviation = completedDeviation(w, pickup, expected);
        }
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
    }
    // Every turn the job gave was a moment to stop at.
    QVERIFY2(stopped >= 20, qPrintable(QString::number(stopped)));
    qInfo("%s: stopped at %d different moments", pickup ? "pickup" : "load", stopped);
}

void TestGuiHardening::aboutAtAnyMoment_data() {
    addJobRows();
}

void TestGuiHardening::aboutAtAnyMoment() {
    QFETCH(bool, pickup);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    const QString loadPath = w.writeFile("about.csv", stopLoadBytes());
    if (pickup)
        setUpPickup(w);
    JobDriver driver(w);
    runJob(w, pickup, loadPath);
    const int turns = driver.turns;
    const QStringList expected = pickup ? resultTexts(w) : sourceRows(w);
    QVERIFY(!expected.isEmpty());

    // About is slower to open and close than Stop: thirty moments spread over the run, then two
    // after its end. On a busy machine the pickup's helper thread takes more of a run, which then
    // gives fewer turns: the moments are spread over the shortest run seen.
    int shortest = turns;
    int interrupted = 0;
    for (int k = 0; k <= 32; ++k) {
        const int at = k < 30 ? k * shortest / 30 : shortest + k - 30;
        bool aboutOpened = false;
        bool busyBehind = false;
        driver.reset(at);
        driver.action = [&] {
            onNextModal([&](QWidget* modal) {
                auto* about = qobject_cast<frmVNLAbout*>(modal);
                aboutOpened = about != nullptr;
                busyBehind = w->isBusy() && w.enabled(Command::Stop);
                if (about)
                    about->findChild<QPushButton*>("cmdClose")->click();
                else
                    modal->close();
            });
            w->toolbarMenuItem(Command::HelpAbout)->trigger();
        };
        runJob(w, pickup, loadPath);
        shortest = std::min(shortest, driver.turns);
        const QString where = QStringLiteral(" (About at turn %1 of %2)").arg(at).arg(driver.turns);
        QVERIFY2(driver.acted == aboutOpened, qPrintable("About did not open" + where));
        if (driver.acted) {
            ++interrupted;
            QVERIFY2(busyBehind, qPrintable("the job was not waiting behind About" + where));
        }
        QString deviation = idleDeviation(w);
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
        deviation = completedDeviation(w, pickup, expected);
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
        QVERIFY2(w.platform.messages.isEmpty(), qPrintable(where));
    }
    QVERIFY2(interrupted >= 20, qPrintable(QString::number(interrupted)));
    qInfo("%s: About opened at %d different moments", pickup ? "pickup" : "load", interrupted);
}

QTEST_MAIN(TestGuiHardening)
#include "tst_gui_hardening.moc"
