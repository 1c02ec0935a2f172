// The condition lists' files in the real window: saving a list and loading one.
#define QTEST_QPA_MOUSE_HANDLING
#include "ConditionTestSupport.h"
#include "TestFiles.h"

#include "conditions/ConditionListFile.h"

#include <QFileInfo>

namespace {

// "当選" and "東京" in code page 932.
const QByteArray kToosenSjis("\x93\x96\x91\x49");
const QByteArray kTokyoSjis("\x93\x8c\x8b\x9e");
} // namespace

class TestGuiConditionFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void saveListFile();
    void saveCancelled();
    void saveKeepsWhatTheCodePageLacks();
    void saveToUnwritablePath();
    void loadAppendsAtBottom();
    void loadTwice();
    void loadEmptyFileRefreshes();
    void loadCancelledRefreshes();
    void loadMissingFile();
    void loadIncompleteLastEntry();
    void saveAndLoadDoubledQuotes();
};

// ---------------------------------------------------------------- list files

void TestGuiConditionFiles::saveListFile() {
    Fixture f;
    f.w->setCommaCount(3);
    f.registerEntry(ConditionList::OutAND, QStringLiteral("3"), QStringLiteral("東京"));
    f.registerEntry(ConditionList::OutAND, QStringLiteral("0"), QStringLiteral("当選"));
    const QString path = f.w.dir.filePath(QStringLiteral("list.txt"));
    f.w.platform.saveAnswers = {path};
    f.press(f.list(ConditionList::OutAND).cmdSave);
    QCOMPARE(f.w.platform.saveDialogs.size(), 1);
    QCOMPARE(f.w.platform.saveDialogs[0].filter, QStringLiteral("*.csv"));
    QVERIFY(f.w.platform.saveDialogs[0].confirmOverwrite);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(readAll(path), // the chosen name as it is, no extension added
             "\"0\",\"" + kToosenSjis + "\"\r\n\"3\",\"" + kTokyoSjis + "\"\r\n");
    QCOMPARE(f.w->dialog().FileName, path);

    // Another list's load opens in the same folder, not with that list's file.
    f.press(f.list(ConditionList::InOR).cmdOpen);
    QCOMPARE(f.w.platform.openDialogs.size(), 1);
    QCOMPARE(f.w.platform.openDialogs[0].fileName, QFileInfo(path).absolutePath());
    QCOMPARE(f.w.platform.openDialogs[0].filter, QStringLiteral("*.csv"));
}

void TestGuiConditionFiles::saveCancelled() {
    Fixture f;
    f.registerEntry(ConditionList::InOR, QStringLiteral("1"), QStringLiteral("a"));
    f.press(f.list(ConditionList::InOR).cmdSave); // no answer queued: Cancel
    QCOMPARE(f.w.platform.saveDialogs.size(), 1);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(QDir(f.w.dir.path()).entryList({QStringLiteral("*.csv")}, QDir::Files), QStringList());
}

void TestGuiConditionFiles::saveKeepsWhatTheCodePageLacks() {
    // An entry code page 932 cannot hold (or holds in another form) is written in UTF-8 with a
    // mark, over the old file, and loads back as typed.
    Fixture f;
    const QString path = f.w.writeFile(QStringLiteral("old.csv"), "\"1\",\"old\"\r\n");
    f.registerEntry(ConditionList::InAND, QStringLiteral("1"), QStringLiteral("fine"));
    f.registerEntry(ConditionList::InAND, QStringLiteral("0"), QStringLiteral("한국 10\u301C20"));
    f.w.platform.saveAnswers = {path};
    f.press(f.list(ConditionList::InAND).cmdSave);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(readAll(path),
             QStringLiteral("\uFEFF\"0\",\"한국 10\u301C20\"\r\n\"1\",\"fine\"\r\n").toUtf8());
    f.w.platform.openAnswers = {path};
    f.press(f.list(ConditionList::InOR).cmdOpen);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(f.list(ConditionList::InOR).model->count(), 2);
    QCOMPARE(f.list(ConditionList::InOR).model->entry(0).phrase, QStringLiteral("한국 10\u301C20"));
}

void TestGuiConditionFiles::saveToUnwritablePath() {
    Fixture f;
    f.registerEntry(ConditionList::InAND, QStringLiteral("1"), QStringLiteral("a"));
    const QString path = f.w.dir.filePath(QStringLiteral("no such folder/list.csv"));
    f.w.platform.saveAnswers = {path};
    f.press(f.list(ConditionList::InAND).cmdSave);
    QCOMPARE(f.w.platform.messages.size(), 1);
    QVERIFY(f.w.platform.messages[0].prompt.startsWith(
        QStringLiteral("Error:リストファイルを保存できませんでした｡")));
    QVERIFY(f.w.platform.messages[0].prompt.contains(QDir::toNativeSeparators(path)));
    QCOMPARE(f.w.platform.messages[0].style, 16);
    // The list stays usable.
    f.registerEntry(ConditionList::InAND, QStringLiteral("0"), QStringLiteral("b"));
    QCOMPARE(f.list(ConditionList::InAND).model->count(), 2);
}

void TestGuiConditionFiles::loadAppendsAtBottom() {
    Fixture f;
    f.w->setCommaCount(1);
    f.w->store().reset(1);
    f.w->store().appendLine(u"a,b");
    f.fill(ConditionList::InOR, {{"1", "a"}, {"2", "b"}}); // save button not refreshed yet
    QVERIFY(!f.list(ConditionList::InOR).cmdSave->isEnabled());
    const QString path =
        f.w.writeFile(QStringLiteral("in.csv"),
                      "\"7\",\"" + kTokyoSjis + "\"\r\n  x , \" y \"\r\n\"\",\"a,b\"\r\n");
    f.w.platform.openAnswers = {path};
    f.press(f.list(ConditionList::InOR).cmdOpen);
    // Loaded entries are taken as they are: no checks, no messages.
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(f.entries(ConditionList::InOR),
             (Entries{{"1", "a"}, {"2", "b"}, {"7", "東京"}, {"x", " y "}, {"", "a,b"}}));
    f.saveButtonsFollowCounts();
    QVERIFY(f.w.enabled(Command::Start));
}

void TestGuiConditionFiles::loadTwice() {
    Fixture f;
    const QString path = f.w.writeFile(QStringLiteral("in.csv"), "1,a\r\n2,b\r\n3,c\r\n");
    f.w.platform.openAnswers = {path, path};
    f.press(f.list(ConditionList::OutOR).cmdOpen);
    f.press(f.list(ConditionList::OutOR).cmdOpen);
    QCOMPARE(f.entries(ConditionList::OutOR),
             (Entries{{"1", "a"}, {"2", "b"}, {"3", "c"}, {"1", "a"}, {"2", "b"}, {"3", "c"}}));
    QVERIFY(f.w.platform.messages.isEmpty());
}

void TestGuiConditionFiles::loadEmptyFileRefreshes() {
    Fixture f;
    f.w->store().reset(0);
    f.w->store().appendLine(u"a");
    f.fill(ConditionList::OutAND, {{"1", "a"}}); // no handler ran for it yet
    QVERIFY(!f.list(ConditionList::OutAND).cmdSave->isEnabled());
    QVERIFY(!f.w.enabled(Command::Start));
    const QString path = f.w.writeFile(QStringLiteral("empty.csv"), QByteArray());
    f.w.platform.openAnswers = {path};
    f.press(f.list(ConditionList::InAND).cmdOpen);
    QCOMPARE(f.list(ConditionList::InAND).model->count(), 0);
    QVERIFY(f.w.platform.messages.isEmpty());
    f.saveButtonsFollowCounts();
    QVERIFY(f.w.enabled(Command::Start));
}

void TestGuiConditionFiles::loadCancelledRefreshes() {
    Fixture f;
    f.fill(ConditionList::InOR, {{"1", "a"}});
    f.press(f.list(ConditionList::OutOR).cmdOpen); // no answer queued: Cancel
    QCOMPARE(f.w.platform.openDialogs.size(), 1);
    QCOMPARE(f.list(ConditionList::OutOR).model->count(), 0);
    f.saveButtonsFollowCounts();
}

void TestGuiConditionFiles::loadMissingFile() {
    Fixture f;
    f.fill(ConditionList::InAND, {{"1", "a"}});
    const QString path = f.w.dir.filePath(QStringLiteral("gone.csv"));
    f.w.platform.openAnswers = {path};
    f.press(f.list(ConditionList::InAND).cmdOpen);
    QCOMPARE(f.w.platform.messages.size(), 1);
    QVERIFY(f.w.platform.messages[0].prompt.startsWith(
        QStringLiteral("Error:リストファイルを読み込めませんでした｡")));
    QVERIFY(f.w.platform.messages[0].prompt.contains(QDir::toNativeSeparators(path)));
    QCOMPARE(f.w.platform.messages[0].style, 16);
    QCOMPARE(f.w.platform.messages[0].title, kError);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}}));
    f.saveButtonsFollowCounts();
}

void TestGuiConditionFiles::loadIncompleteLastEntry() {
    Fixture f;
    // An entry a line: blank lines between entries and a phrase ending in an undoubled quote
    // shift nothing; a line without a phrase is named and the lines after it still load.
    const QString path = f.w.writeFile(
        QStringLiteral("odd.csv"), "\"1\",\"a\"\r\n\r\n\"2\",\"8\"\"\r\n\"3\"\r\n\"4\",\"d\"\r\n");
    const QString blankEnd = f.w.writeFile(QStringLiteral("blank.csv"), "\"5\",\"e\"\r\n\r\n\r\n");
    f.w.platform.openAnswers = {path, blankEnd};
    f.press(f.list(ConditionList::InOR).cmdOpen);
    QCOMPARE(f.entries(ConditionList::InOR), (Entries{{"1", "a"}, {"2", "8\""}, {"4", "d"}}));
    QCOMPARE(f.w.platform.messages.size(), 1);
    QCOMPARE(f.w.platform.messages[0].prompt, ConditionListFile::badLinesMessage(path, {4}));
    QCOMPARE(f.w.platform.messages[0].style, 48);
    f.saveButtonsFollowCounts();
    // Blank lines at the end are no entry and no fault.
    f.press(f.list(ConditionList::InOR).cmdOpen);
    QCOMPARE(f.entries(ConditionList::InOR),
             (Entries{{"1", "a"}, {"2", "8\""}, {"4", "d"}, {"5", "e"}}));
    QCOMPARE(f.w.platform.messages.size(), 1);
}

void TestGuiConditionFiles::saveAndLoadDoubledQuotes() {
    Fixture f;
    f.w->setCommaCount(9);
    f.registerEntry(ConditionList::InAND, QStringLiteral("2"), QStringLiteral("say \"hi\", ok"));
    f.registerEntry(ConditionList::InAND, QStringLiteral("1"), QStringLiteral("\""));
    f.registerEntry(ConditionList::InAND, QStringLiteral("0"), QStringLiteral(" 当選 "));
    const Entries saved = f.entries(ConditionList::InAND);
    const QString path = f.w.dir.filePath(QStringLiteral("quotes.csv"));
    f.w.platform.saveAnswers = {path};
    f.press(f.list(ConditionList::InAND).cmdSave);
    QCOMPARE(readAll(path), "\"0\",\" " + kToosenSjis +
                                " \"\r\n\"1\",\"\"\"\"\r\n\"2\",\"say \"\"hi\"\", ok\"\r\n");
    f.w.platform.openAnswers = {path};
    f.press(f.list(ConditionList::OutOR).cmdOpen);
    QCOMPARE(f.entries(ConditionList::OutOR), saved);
    QVERIFY(f.w.platform.messages.isEmpty());
}

QTEST_MAIN(TestGuiConditionFiles)
#include "tst_gui_condition_files.moc"
