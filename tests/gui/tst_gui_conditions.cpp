// The four condition lists in the real window: registration, editing, the text boxes' keys and
// the list files.
//
// Mouse input goes through the window system layer, so a double-click arrives as it does from a
// real mouse (press, release, double-click, release).
#define QTEST_QPA_MOUSE_HANDLING
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "conditions/ConditionListFile.h"
#include "conditions/ConditionListModel.h"
#include "conditions/ConditionPaste.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>

using Entries = std::vector<ConditionEntry>;

namespace {

const QString kError = QStringLiteral("エラー");
const QString kDuplicateTitle = QStringLiteral("その語句は登録済みです");

constexpr ConditionList kAll[] = {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND,
                                  ConditionList::InOR};

// "当選" and "東京" in code page 932.
const QByteArray kToosenSjis("\x93\x96\x91\x49");
const QByteArray kTokyoSjis("\x93\x8c\x8b\x9e");

// Types text key by key, also characters that have no key of their own.
void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A shown window with helpers to drive one list's controls.
struct Fixture {
    TestWindow w;

    Fixture() {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    }

    ConditionListControls& list(ConditionList id) { return w->conditionList(id); }
    Entries entries(ConditionList id) { return list(id).model->entries(); }

    // Registers through the window: the boxes are filled as a paste would, then "追加".
    void registerEntry(ConditionList id, const QString& column, const QString& phrase) {
        list(id).txtNo->setText(column);
        list(id).txtGoku->setText(phrase);
        QTest::mouseClick(list(id).cmdTuika, Qt::LeftButton);
    }

    QPoint rowPoint(ConditionList id, int position) {
        // Near the left end of the row: the phrase column runs past the list's right edge.
        const QRect r = list(id).lvw->visualRect(list(id).model->index(position - 1, 0));
        return QPoint(r.left() + 4, r.center().y());
    }
    // A point in the list's empty part, below the last row.
    QPoint emptyPoint(ConditionList id) {
        QTreeView* lvw = list(id).lvw;
        const QPoint p(8, lvw->viewport()->height() - 2);
        return lvw->indexAt(p).isValid() ? QPoint(-1, -1) : p;
    }
    void clickRow(ConditionList id, int position) {
        QTest::mouseClick(list(id).lvw->viewport(), Qt::LeftButton, {}, rowPoint(id, position));
    }
    void doubleClickAt(ConditionList id, QPoint p) {
        QTest::mouseDClick(list(id).lvw->viewport(), Qt::LeftButton, {}, p);
    }
    void doubleClickRow(ConditionList id, int position) {
        doubleClickAt(id, rowPoint(id, position));
    }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Fills a list as a loaded list file would, without any handler.
    void fill(ConditionList id, const Entries& e) {
        for (const ConditionEntry& entry : e)
            list(id).model->appendEntry(entry);
    }

    bool deleteEnabled(ConditionList id) { return list(id).cmdSakujo->isEnabled(); }
    QList<bool> deleteButtons() {
        QList<bool> states;
        for (ConditionList id : kAll)
            states << deleteEnabled(id);
        return states;
    }
    void saveButtonsFollowCounts() {
        for (ConditionList id : kAll)
            QCOMPARE(list(id).cmdSave->isEnabled(), list(id).model->count() > 0);
    }
};

QByteArray listName(ConditionList id) {
    const char* names[] = {"OutAND", "OutOR", "InAND", "InOR"};
    return names[int(id)];
}

} // namespace

class TestGuiConditions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void registrationAddsAtTop();
    void registrationColumnChecks_data();
    void registrationColumnChecks();
    void leadingZerosKeptAndDistinct();
    void duplicateQuestion_data();
    void duplicateQuestion();
    void duplicateInTwoListsOnlyFirstAsked();
    void samePhraseOtherColumnIsNoDuplicate();

    void deleteRemembered();
    void deletedRowPastTheEndDoesNothing();
    void deleteAfterDeleteAll();
    void doubleClickTakesBack();
    void doubleClickTwice();
    void clickInOtherList();
    void clickIntoTextBoxForgetsRows_data();
    void clickIntoTextBoxForgetsRows();
    void phraseBoxFollowsAddButton();
    void phraseChangeDifferences();
    void keyInInAndColumnBoxForgetsRow();

    void columnBoxFilter_data();
    void columnBoxFilter();
    void columnBoxRefusesFullWidthDigit();
    void columnBoxPasteIsUnfiltered();
    void columnBoxInputMethodOff();
    void enterRegisters_data();
    void enterRegisters();
    void enterWithEmptyPhraseDoesNothing();

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

    void takeBackKeepsTheWholeColumn_data();
    void takeBackKeepsTheWholeColumn();
    void focusLeavesADisabledButtonForThePhraseBox_data();
    void focusLeavesADisabledButtonForThePhraseBox();
    void pasteKeepsTheFirstLine_data();
    void pasteKeepsTheFirstLine();
    void listStaysAtItsLeftEdge_data();
    void listStaysAtItsLeftEdge();
};

// ---------------------------------------------------------------- registration

void TestGuiConditions::registrationAddsAtTop() {
    Fixture f;
    f.w->setCommaCount(4);
    f.w->store().reset(4);
    f.w->store().appendLine(u"a,b,c,d,e");
    auto& inOr = f.list(ConditionList::InOR);
    QVERIFY(!inOr.cmdTuika->isEnabled());
    QTest::keyClicks(inOr.txtGoku, QStringLiteral("abc"));
    QVERIFY(inOr.cmdTuika->isEnabled());
    QVERIFY(!f.w.enabled(Command::Start));
    f.press(inOr.cmdTuika);
    QCOMPARE(f.entries(ConditionList::InOR), (Entries{{"0", "abc"}}));
    QVERIFY(inOr.txtNo->text().isEmpty());
    QVERIFY(inOr.txtGoku->text().isEmpty());
    QVERIFY(!inOr.cmdTuika->isEnabled());
    QVERIFY(inOr.cmdSave->isEnabled());
    QVERIFY(f.w.enabled(Command::Start));
    QVERIFY(f.w.platform.messages.isEmpty());

    f.registerEntry(ConditionList::InOR, QStringLiteral("3"), QStringLiteral("def"));
    QCOMPARE(f.entries(ConditionList::InOR), (Entries{{"3", "def"}, {"0", "abc"}}));
    f.saveButtonsFollowCounts();
}

void TestGuiConditions::registrationColumnChecks_data() {
    QTest::addColumn<int>("commaCount");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("message"); // empty: registered

    QTest::newRow("4 commas, 6") << 4 << "6"
                                 << "Error:列指定に入力できる値は0-5の範囲です｡";
    QTest::newRow("4 commas, 5") << 4 << "5" << QString();
    QTest::newRow("4 commas, 05") << 4 << "05" << QString();
    QTest::newRow("no file, 1") << 0 << "1" << QString();
    QTest::newRow("no file, 2") << 0 << "2"
                                << "Error:列指定に入力できる値は0-1の範囲です｡";
    QTest::newRow("no file, 99") << 0 << "99"
                                 << "Error:列指定に入力できる値は0-1の範囲です｡";
    QTest::newRow("letter") << 4 << "1a"
                            << "Error:列指定に入力できるのは、数字のみです｡";
    QTest::newRow("full-width digit") << 4 << "１"
                                      << "Error:列指定に入力できるのは、数字のみです｡";
    QTest::newRow("minus") << 4 << "-1"
                           << "Error:列指定に入力できるのは、数字のみです｡";
    QTest::newRow("non-digit out of range") << 0 << "9x"
                                            << "Error:列指定に入力できるのは、数字のみです｡";
}

void TestGuiConditions::registrationColumnChecks() {
    QFETCH(int, commaCount);
    QFETCH(QString, column);
    QFETCH(QString, message);
    Fixture f;
    f.w->setCommaCount(commaCount);
    f.fill(ConditionList::InAND, {{"1", "old"}});
    f.registerEntry(ConditionList::InAND, column, QStringLiteral("abc"));
    auto& inAnd = f.list(ConditionList::InAND);
    if (message.isEmpty()) {
        QVERIFY(f.w.platform.messages.isEmpty());
        QCOMPARE(f.entries(ConditionList::InAND), (Entries{{column, "abc"}, {"1", "old"}}));
        QVERIFY(inAnd.txtNo->text().isEmpty());
        QVERIFY(inAnd.txtGoku->text().isEmpty());
    } else {
        QCOMPARE(f.w.platform.messages.size(), 1);
        QCOMPARE(f.w.platform.messages[0].prompt, message);
        QCOMPARE(f.w.platform.messages[0].style, 16);
        QCOMPARE(f.w.platform.messages[0].title, kError);
        QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "old"}}));
        QCOMPARE(inAnd.txtNo->text(), column);
        QCOMPARE(inAnd.txtGoku->text(), QStringLiteral("abc"));
        QVERIFY(inAnd.cmdTuika->isEnabled());
    }
    f.saveButtonsFollowCounts(); // the final step runs on every path
}

void TestGuiConditions::leadingZerosKeptAndDistinct() {
    Fixture f;
    f.w->setCommaCount(9);
    f.registerEntry(ConditionList::OutOR, QStringLiteral("5"), QStringLiteral("abc"));
    f.registerEntry(ConditionList::OutOR, QStringLiteral("05"), QStringLiteral("abc"));
    f.registerEntry(ConditionList::OutOR, QStringLiteral("5"), QStringLiteral(" abc"));
    f.registerEntry(ConditionList::OutOR, QString(), QStringLiteral("abc"));
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(f.entries(ConditionList::OutOR),
             (Entries{{"0", "abc"}, {"5", " abc"}, {"05", "abc"}, {"5", "abc"}}));
}

void TestGuiConditions::duplicateQuestion_data() {
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");

    const QString orToAnd =
        QStringLiteral("登録しようとした語句は、すでにNOT ORに登録されています。"
                       "\r\nNOT ORから削除してANDに登録しますか？");
    const QString andToAnd = QStringLiteral("登録しようとした語句は、すでにANDに登録されています。"
                                            "\r\nANDから削除してANDに登録しますか？");
    const QString orToNotAnd = QStringLiteral("登録しようとした語句は、すでにORに登録されています。"
                                              "\r\nORから削除してNOT ANDに登録しますか？");
    QTest::newRow("other list, yes")
        << int(ConditionList::OutOR) << int(ConditionList::InAND) << int(Platform::Yes) << orToAnd;
    QTest::newRow("other list, no")
        << int(ConditionList::OutOR) << int(ConditionList::InAND) << int(Platform::No) << orToAnd;
    QTest::newRow("target itself, yes")
        << int(ConditionList::InAND) << int(ConditionList::InAND) << int(Platform::Yes) << andToAnd;
    QTest::newRow("target itself, no")
        << int(ConditionList::InAND) << int(ConditionList::InAND) << int(Platform::No) << andToAnd;
    QTest::newRow("later list, yes") << int(ConditionList::InOR) << int(ConditionList::OutAND)
                                     << int(Platform::Yes) << orToNotAnd;
}

void TestGuiConditions::duplicateQuestion() {
    QFETCH(int, found);
    QFETCH(int, target);
    QFETCH(int, answer);
    QFETCH(QString, question);
    const auto foundList = ConditionList(found);
    const auto targetList = ConditionList(target);
    Fixture f;
    f.w->setCommaCount(4);
    // The entry first, then three more above it: it stands at row 4 of its list.
    f.registerEntry(foundList, QStringLiteral("3"), QStringLiteral("abc"));
    for (const char* p : {"x", "y", "z"})
        f.registerEntry(foundList, QStringLiteral("1"), QString::fromLatin1(p));
    const Entries foundBefore = f.entries(foundList);
    const Entries targetBefore = f.entries(targetList);
    QVERIFY(f.w.platform.messages.isEmpty());

    f.w.platform.answers = {answer};
    f.registerEntry(targetList, QStringLiteral("3"), QStringLiteral("abc"));
    QCOMPARE(f.w.platform.messages.size(), 1);
    QCOMPARE(f.w.platform.messages[0].prompt, question);
    QCOMPARE(f.w.platform.messages[0].style, 36);
    QCOMPARE(f.w.platform.messages[0].title, kDuplicateTitle);

    auto& t = f.list(targetList);
    if (answer == Platform::Yes) {
        Entries expectFound = foundBefore;
        expectFound.erase(expectFound.begin() + 3);
        Entries expectTarget = foundList == targetList ? expectFound : targetBefore;
        expectTarget.insert(expectTarget.begin(), ConditionEntry{"3", "abc"});
        if (foundList != targetList)
            QCOMPARE(f.entries(foundList), expectFound);
        QCOMPARE(f.entries(targetList), expectTarget);
        QVERIFY(t.txtNo->text().isEmpty());
        QVERIFY(t.txtGoku->text().isEmpty());
    } else {
        QCOMPARE(f.entries(foundList), foundBefore);
        QCOMPARE(f.entries(targetList), targetBefore);
        QCOMPARE(t.txtNo->text(), QStringLiteral("3"));
        QCOMPARE(t.txtGoku->text(), QStringLiteral("abc"));
    }
    f.saveButtonsFollowCounts();
}

void TestGuiConditions::duplicateInTwoListsOnlyFirstAsked() {
    Fixture f;
    f.w->setCommaCount(4);
    f.fill(ConditionList::InOR, {{"3", "abc"}});
    f.fill(ConditionList::OutAND, {{"3", "abc"}});
    f.w.platform.answers = {Platform::Yes};
    f.registerEntry(ConditionList::InAND, QStringLiteral("3"), QStringLiteral("abc"));
    QCOMPARE(f.w.platform.messages.size(), 1);
    QVERIFY(f.w.platform.messages[0].prompt.startsWith(
        QStringLiteral("登録しようとした語句は、すでにNOT ANDに登録されています。")));
    QCOMPARE(f.entries(ConditionList::OutAND), Entries{});
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"3", "abc"}}));
    QCOMPARE(f.entries(ConditionList::InOR), (Entries{{"3", "abc"}}));
    f.saveButtonsFollowCounts();
}

void TestGuiConditions::samePhraseOtherColumnIsNoDuplicate() {
    Fixture f;
    f.w->setCommaCount(4);
    f.registerEntry(ConditionList::OutAND, QStringLiteral("2"), QStringLiteral("abc"));
    f.registerEntry(ConditionList::InAND, QStringLiteral("3"), QStringLiteral("abc"));
    f.registerEntry(ConditionList::InOR, QStringLiteral("2"), QStringLiteral("ABC"));
    f.registerEntry(ConditionList::OutOR, QStringLiteral("2"), QStringLiteral("abc "));
    QVERIFY(f.w.platform.messages.isEmpty());
    for (ConditionList id : kAll)
        QCOMPARE(f.list(id).model->count(), 1);
}

// ---------------------------------------------------------------- editing

void TestGuiConditions::deleteRemembered() {
    Fixture f;
    f.w->setCommaCount(4);
    for (const char* e : {"3c", "2b", "1a"})
        f.registerEntry(ConditionList::InAND, QString(QChar(e[0])), QString(QChar(e[1])));
    auto& inAnd = f.list(ConditionList::InAND);
    QVERIFY(!inAnd.cmdSakujo->isEnabled());
    f.clickRow(ConditionList::InAND, 2);
    QCOMPARE(f.w->conditions().selectedRow(inAnd.id), 2);
    QVERIFY(inAnd.cmdSakujo->isEnabled());
    f.press(inAnd.cmdSakujo);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}, {"3", "c"}}));
    QVERIFY(!inAnd.cmdSakujo->isEnabled());
    QVERIFY(inAnd.cmdSave->isEnabled());
    QCOMPARE(f.w->conditions().selectedRow(inAnd.id), 2);

    // Deleting the last entry of all disables Start, even with a file loaded.
    f.w->store().reset(4);
    f.w->store().appendLine(u"a,b,c,d,e");
    f.clickRow(ConditionList::InAND, 1);
    QVERIFY(f.w.enabled(Command::Start));
    f.press(inAnd.cmdSakujo);
    f.clickRow(ConditionList::InAND, 1);
    f.press(inAnd.cmdSakujo);
    QCOMPARE(inAnd.model->count(), 0);
    QVERIFY(!inAnd.cmdSave->isEnabled());
    QVERIFY(!f.w.enabled(Command::Start));
}

void TestGuiConditions::deletedRowPastTheEndDoesNothing() {
    Fixture f;
    f.fill(ConditionList::InAND, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    auto& inAnd = f.list(ConditionList::InAND);
    f.clickRow(ConditionList::InAND, 3);
    f.press(inAnd.cmdSakujo);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}, {"2", "b"}}));
    const QPoint empty = f.emptyPoint(ConditionList::InAND);
    QVERIFY(empty.x() >= 0);
    f.doubleClickAt(ConditionList::InAND, empty);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}, {"2", "b"}}));
    QVERIFY(inAnd.txtNo->text().isEmpty());
    QVERIFY(inAnd.txtGoku->text().isEmpty());
    QCOMPARE(f.w->conditions().selectedRow(inAnd.id), 3);
}

void TestGuiConditions::deleteAfterDeleteAll() {
    Fixture f;
    f.fill(ConditionList::OutOR, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    auto& outOr = f.list(ConditionList::OutOR);
    f.clickRow(ConditionList::OutOR, 2);
    QVERIFY(outOr.cmdSave->isEnabled());
    f.press(outOr.cmdAllSakujo);
    QCOMPARE(outOr.model->count(), 0);
    QVERIFY(!outOr.cmdSave->isEnabled());
    QVERIFY(outOr.cmdSakujo->isEnabled()); // left as it was
    QCOMPARE(f.w->conditions().selectedRow(outOr.id), 2);
    f.press(outOr.cmdSakujo);
    QCOMPARE(outOr.model->count(), 0);
    QVERIFY(outOr.cmdSakujo->isEnabled());
    // Delete all on an empty list is harmless too.
    f.press(outOr.cmdAllSakujo);
    QCOMPARE(outOr.model->count(), 0);
}

void TestGuiConditions::doubleClickTakesBack() {
    Fixture f;
    f.w->setCommaCount(4);
    f.fill(ConditionList::InAND, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    f.fill(ConditionList::OutAND, {{"4", "d"}});
    auto& inAnd = f.list(ConditionList::InAND);
    f.clickRow(ConditionList::OutAND, 1);
    inAnd.txtNo->setText(QStringLiteral("9"));
    inAnd.txtGoku->setText(QStringLiteral("overwritten"));
    f.doubleClickRow(ConditionList::InAND, 2);
    QCOMPARE(inAnd.txtNo->text(), QStringLiteral("2"));
    QCOMPARE(inAnd.txtGoku->text(), QStringLiteral("b"));
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}, {"3", "c"}}));
    QVERIFY(inAnd.cmdTuika->isEnabled());
    QCOMPARE(f.deleteButtons(), (QList<bool>{false, false, false, false}));
    QCOMPARE(f.w->conditions().selectedRow(inAnd.id), 2);

    // Enter registers it again at the top, without a question.
    QTest::keyClick(inAnd.txtGoku, Qt::Key_Return);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"2", "b"}, {"1", "a"}, {"3", "c"}}));
    QVERIFY(inAnd.txtNo->text().isEmpty());
    QVERIFY(inAnd.txtGoku->text().isEmpty());

    // The same through the column box.
    f.doubleClickRow(ConditionList::InAND, 3);
    QCOMPARE(inAnd.txtGoku->text(), QStringLiteral("c"));
    QTest::keyClick(inAnd.txtNo, Qt::Key_Return);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"3", "c"}, {"2", "b"}, {"1", "a"}}));
    QVERIFY(f.w.platform.messages.isEmpty());
}

void TestGuiConditions::doubleClickTwice() {
    Fixture f;
    f.fill(ConditionList::InAND, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    auto& inAnd = f.list(ConditionList::InAND);
    f.doubleClickRow(ConditionList::InAND, 2);
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}, {"3", "c"}}));
    const QPoint empty = f.emptyPoint(ConditionList::InAND);
    QVERIFY(empty.x() >= 0);
    f.doubleClickAt(ConditionList::InAND, empty);
    QCOMPARE(inAnd.txtNo->text(), QStringLiteral("3"));
    QCOMPARE(inAnd.txtGoku->text(), QStringLiteral("c"));
    QCOMPARE(f.entries(ConditionList::InAND), (Entries{{"1", "a"}}));
    QVERIFY(inAnd.cmdSave->isEnabled());
    QCOMPARE(f.deleteButtons(), (QList<bool>{false, false, false, false}));

    // Taking back the last row empties the list and withdraws its save button.
    f.doubleClickRow(ConditionList::InAND, 1);
    QCOMPARE(inAnd.txtGoku->text(), QStringLiteral("a"));
    QCOMPARE(inAnd.model->count(), 0);
    QVERIFY(!inAnd.cmdSave->isEnabled());
}

void TestGuiConditions::clickInOtherList() {
    Fixture f;
    f.fill(ConditionList::InAND, {{"1", "a"}, {"2", "b"}});
    f.fill(ConditionList::InOR, {{"1", "x"}, {"2", "y"}, {"3", "z"}});
    f.clickRow(ConditionList::InAND, 2);
    QCOMPARE(f.deleteButtons(), (QList<bool>{false, false, true, false}));
    f.clickRow(ConditionList::InOR, 3);
    QCOMPARE(f.deleteButtons(), (QList<bool>{false, false, false, true}));
    QCOMPARE(f.w->conditions().selectedRow(ConditionList::InAND), 2);
    QCOMPARE(f.w->conditions().selectedRow(ConditionList::InOR), 3);
    // The row click refreshed the clicked list's save button.
    QVERIFY(f.list(ConditionList::InOR).cmdSave->isEnabled());
}

void TestGuiConditions::clickIntoTextBoxForgetsRows_data() {
    QTest::addColumn<QString>("box");
    for (const char* s : {"OutAND", "OutOR", "InAND", "InOR"})
        for (const char* kind : {"No", "Goku"}) {
            const QString name =
                QStringLiteral("txt%1%2").arg(QLatin1String(s), QLatin1String(kind));
            QTest::newRow(qPrintable(name)) << name;
        }
}

void TestGuiConditions::clickIntoTextBoxForgetsRows() {
    QFETCH(QString, box);
    Fixture f;
    for (ConditionList id : kAll)
        f.fill(id, {{"1", "a"}, {"2", "b"}});
    f.clickRow(ConditionList::OutOR, 1);
    f.clickRow(ConditionList::InOR, 2);
    QCOMPARE(f.deleteButtons(), (QList<bool>{false, false, false, true}));
    auto* edit = f.w.child<QLineEdit>(box);
    QVERIFY(edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(f.deleteButtons(), (QList<bool>{false, false, false, false}));
    for (ConditionList id : kAll) {
        QCOMPARE(f.w->conditions().selectedRow(id), 0);
        const QPoint empty = f.emptyPoint(id);
        QVERIFY(empty.x() >= 0);
        f.doubleClickAt(id, empty);
        QCOMPARE(f.entries(id), (Entries{{"1", "a"}, {"2", "b"}}));
    }
    for (ConditionList id : kAll)
        QVERIFY(f.list(id).txtGoku->text().isEmpty());
}

void TestGuiConditions::phraseBoxFollowsAddButton() {
    Fixture f;
    for (ConditionList id : kAll) {
        auto& l = f.list(id);
        QVERIFY(!l.cmdTuika->isEnabled());
        QTest::keyClicks(l.txtGoku, QStringLiteral("ab"));
        QVERIFY(l.cmdTuika->isEnabled());
        QTest::keyClick(l.txtGoku, Qt::Key_Backspace);
        QTest::keyClick(l.txtGoku, Qt::Key_Backspace);
        QVERIFY(!l.cmdTuika->isEnabled());
        QTest::keyClick(l.txtGoku, Qt::Key_Space); // blanks alone count
        QVERIFY(l.cmdTuika->isEnabled());
    }
}

void TestGuiConditions::phraseChangeDifferences() {
    Fixture f;
    for (ConditionList id : kAll)
        f.fill(id, {{"1", "a"}, {"2", "b"}});

    // A change of the In AND phrase withdraws the other three lists' delete buttons.
    for (ConditionList clicked :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InOR}) {
        f.clickRow(clicked, 1);
        QVERIFY(f.deleteEnabled(clicked));
        QTest::keyClicks(f.list(ConditionList::InAND).txtGoku, QStringLiteral("x"));
        QVERIFY(!f.deleteEnabled(clicked));
        QCOMPARE(f.w->conditions().selectedRow(clicked), 1);
    }
    f.clickRow(ConditionList::InAND, 2);
    QTest::keyClicks(f.list(ConditionList::InAND).txtGoku, QStringLiteral("y"));
    QVERIFY(f.deleteEnabled(ConditionList::InAND));

    // A change of the In OR phrase forgets the In AND list's remembered row, not its own.
    f.clickRow(ConditionList::InOR, 2);
    QCOMPARE(f.w->conditions().selectedRow(ConditionList::InAND), 2);
    QTest::keyClicks(f.list(ConditionList::InOR).txtGoku, QStringLiteral("z"));
    QCOMPARE(f.w->conditions().selectedRow(ConditionList::InAND), 0);
    QCOMPARE(f.w->conditions().selectedRow(ConditionList::InOR), 2);
    QVERIFY(f.deleteEnabled(ConditionList::InOR));

    // The two Out lists' phrase boxes do nothing more.
    f.clickRow(ConditionList::InAND, 1);
    QTest::keyClicks(f.list(ConditionList::OutAND).txtGoku, QStringLiteral("q"));
    QTest::keyClicks(f.list(ConditionList::OutOR).txtGoku, QStringLiteral("q"));
    QCOMPARE(f.w->conditions().selectedRow(ConditionList::InAND), 1);
    QVERIFY(f.deleteEnabled(ConditionList::InAND));
}

void TestGuiConditions::keyInInAndColumnBoxForgetsRow() {
    Fixture f;
    f.fill(ConditionList::InAND, {{"1", "a"}, {"2", "b"}});
    f.fill(ConditionList::InOR, {{"1", "a"}, {"2", "b"}});
    auto& inAnd = f.list(ConditionList::InAND);
    f.clickRow(ConditionList::InAND, 1);
    // A key typed without a click into the box (the focus came by keyboard).
    QTest::keyClick(inAnd.txtNo, Qt::Key_A); // refused, but counts
    QCOMPARE(f.w->conditions().selectedRow(inAnd.id), 0);
    QVERIFY(inAnd.cmdSakujo->isEnabled());
    f.press(inAnd.cmdSakujo);
    QCOMPARE(inAnd.model->count(), 2);

    // The In OR column box has no such effect.
    f.clickRow(ConditionList::InAND, 1);
    QTest::keyClick(f.list(ConditionList::InOR).txtNo, Qt::Key_1);
    QCOMPARE(f.w->conditions().selectedRow(inAnd.id), 1);
}

// ---------------------------------------------------------------- keys

void TestGuiConditions::columnBoxFilter_data() {
    QTest::addColumn<int>("list");
    for (ConditionList id : kAll)
        QTest::newRow(qPrintable(conditionListName(id))) << int(id);
}

void TestGuiConditions::columnBoxFilter() {
    QFETCH(int, list);
    Fixture f;
    QLineEdit* no = f.list(ConditionList(list)).txtNo;
    for (Qt::Key k : {Qt::Key_A, Qt::Key_Minus, Qt::Key_Space, Qt::Key_Period})
        QTest::keyClick(no, k);
    QCOMPARE(f.w.platform.beeps, 4);
    QVERIFY(no->text().isEmpty());
    QTest::keyClicks(no, QStringLiteral("12"));
    QCOMPARE(no->text(), QStringLiteral("12"));
    QTest::keyClick(no, Qt::Key_3); // a third character is not taken
    QCOMPARE(no->text(), QStringLiteral("12"));
    QTest::keyClick(no, Qt::Key_Backspace);
    QCOMPARE(no->text(), QStringLiteral("1"));
    QTest::keyClick(no, Qt::Key_7, Qt::KeypadModifier);
    QCOMPARE(no->text(), QStringLiteral("17"));
    // Keys that type nothing (moves, Delete) pass without a beep.
    QTest::keyClick(no, Qt::Key_Left);
    QTest::keyClick(no, Qt::Key_Delete);
    QCOMPARE(no->text(), QStringLiteral("1"));
    QCOMPARE(f.w.platform.beeps, 4);
    // The phrase box takes anything.
    QTest::keyClicks(f.list(ConditionList(list)).txtGoku, QStringLiteral("a-. 1"));
    QCOMPARE(f.list(ConditionList(list)).txtGoku->text(), QStringLiteral("a-. 1"));
    QCOMPARE(f.w.platform.beeps, 4);
}

void TestGuiConditions::columnBoxRefusesFullWidthDigit() {
    Fixture f;
    QLineEdit* no = f.list(ConditionList::OutAND).txtNo;
    QTest::sendKeyEvent(QTest::Click, no, Qt::Key_unknown, QStringLiteral("１"), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, no, Qt::Key_unknown, QStringLiteral("ｱ"), Qt::NoModifier);
    QVERIFY(no->text().isEmpty());
    QCOMPARE(f.w.platform.beeps, 2);
}

void TestGuiConditions::columnBoxPasteIsUnfiltered() {
    Fixture f;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("a1x"));
    if (clipboard->text() != u"a1x")
        QSKIP("no clipboard on this platform");
    auto& outOr = f.list(ConditionList::OutOR);
    QTest::keyClick(outOr.txtNo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(outOr.txtNo->text(), QStringLiteral("a1")); // within the 2-character limit
    QCOMPARE(f.w.platform.beeps, 0);
    outOr.txtGoku->setText(QStringLiteral("abc"));
    f.press(outOr.cmdTuika);
    QCOMPARE(f.w.platform.messages.size(), 1);
    QCOMPARE(f.w.platform.messages[0].prompt,
             QStringLiteral("Error:列指定に入力できるのは、数字のみです｡"));
    QCOMPARE(outOr.model->count(), 0);
}

void TestGuiConditions::columnBoxInputMethodOff() {
    Fixture f;
    for (ConditionList id : kAll) {
        QLineEdit* no = f.list(id).txtNo;
        QVERIFY(!no->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(no->inputMethodHints() & Qt::ImhDigitsOnly);
        // The 2-character limit is for the keyboard only (columnBoxFilter); text the program
        // puts there is not cut (takeBackKeepsTheWholeColumn).
    }
}

void TestGuiConditions::enterRegisters_data() {
    QTest::addColumn<bool>("inColumnBox");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    for (bool column : {false, true}) {
        const char* box = column ? "column box" : "phrase box";
        QTest::newRow(qPrintable(QStringLiteral("%1, Enter").arg(box)))
            << column << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow(qPrintable(QStringLiteral("%1, Shift+Enter").arg(box)))
            << column << int(Qt::Key_Return) << int(Qt::ShiftModifier);
        QTest::newRow(qPrintable(QStringLiteral("%1, Ctrl+Enter").arg(box)))
            << column << int(Qt::Key_Return) << int(Qt::ControlModifier);
        QTest::newRow(qPrintable(QStringLiteral("%1, keypad Enter").arg(box)))
            << column << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
}

void TestGuiConditions::enterRegisters() {
    QFETCH(bool, inColumnBox);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    Fixture f;
    f.w->setCommaCount(2);
    for (ConditionList id : kAll) {
        auto& l = f.list(id);
        QTest::keyClicks(l.txtNo, QStringLiteral("3"));
        const QString phrase = QStringLiteral("東京") + QString::number(int(id));
        typeText(l.txtGoku, phrase);
        QTest::keyClick(inColumnBox ? l.txtNo : l.txtGoku, Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.entries(id), (Entries{{"3", phrase}}));
        QVERIFY(l.txtNo->text().isEmpty());
        QVERIFY(l.txtGoku->text().isEmpty());
        QVERIFY(l.cmdSave->isEnabled());
        // Enter again with the boxes now empty: nothing.
        QTest::keyClick(inColumnBox ? l.txtNo : l.txtGoku, Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.list(id).model->count(), 1);
    }
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(f.w.platform.beeps, 0);
}

void TestGuiConditions::enterWithEmptyPhraseDoesNothing() {
    Fixture f;
    auto& inOr = f.list(ConditionList::InOR);
    QTest::keyClicks(inOr.txtNo, QStringLiteral("9")); // out of range: a registration would say so
    QTest::keyClick(inOr.txtNo, Qt::Key_Return);
    QTest::keyClick(inOr.txtGoku, Qt::Key_Return);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(inOr.txtNo->text(), QStringLiteral("9"));
    QCOMPARE(inOr.model->count(), 0);
    // An empty column box stays empty too (registration would write "0" into it).
    inOr.txtNo->clear();
    QTest::keyClick(inOr.txtNo, Qt::Key_Return);
    QVERIFY(inOr.txtNo->text().isEmpty());
}

// ---------------------------------------------------------------- list files

void TestGuiConditions::saveListFile() {
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

void TestGuiConditions::saveCancelled() {
    Fixture f;
    f.registerEntry(ConditionList::InOR, QStringLiteral("1"), QStringLiteral("a"));
    f.press(f.list(ConditionList::InOR).cmdSave); // no answer queued: Cancel
    QCOMPARE(f.w.platform.saveDialogs.size(), 1);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(QDir(f.w.dir.path()).entryList({QStringLiteral("*.csv")}, QDir::Files), QStringList());
}

void TestGuiConditions::saveKeepsWhatTheCodePageLacks() {
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

void TestGuiConditions::saveToUnwritablePath() {
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

void TestGuiConditions::loadAppendsAtBottom() {
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

void TestGuiConditions::loadTwice() {
    Fixture f;
    const QString path = f.w.writeFile(QStringLiteral("in.csv"), "1,a\r\n2,b\r\n3,c\r\n");
    f.w.platform.openAnswers = {path, path};
    f.press(f.list(ConditionList::OutOR).cmdOpen);
    f.press(f.list(ConditionList::OutOR).cmdOpen);
    QCOMPARE(f.entries(ConditionList::OutOR),
             (Entries{{"1", "a"}, {"2", "b"}, {"3", "c"}, {"1", "a"}, {"2", "b"}, {"3", "c"}}));
    QVERIFY(f.w.platform.messages.isEmpty());
}

void TestGuiConditions::loadEmptyFileRefreshes() {
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

void TestGuiConditions::loadCancelledRefreshes() {
    Fixture f;
    f.fill(ConditionList::InOR, {{"1", "a"}});
    f.press(f.list(ConditionList::OutOR).cmdOpen); // no answer queued: Cancel
    QCOMPARE(f.w.platform.openDialogs.size(), 1);
    QCOMPARE(f.list(ConditionList::OutOR).model->count(), 0);
    f.saveButtonsFollowCounts();
}

void TestGuiConditions::loadMissingFile() {
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

void TestGuiConditions::loadIncompleteLastEntry() {
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

void TestGuiConditions::saveAndLoadDoubledQuotes() {
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

// ---------------------------------------------------------------- found by trying the window

void TestGuiConditions::takeBackKeepsTheWholeColumn_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("column");
    QTest::newRow("three digits") << int(ConditionList::InAND) << "120";
    QTest::newRow("leading zeros") << int(ConditionList::OutOR) << "007";
    QTest::newRow("four digits") << int(ConditionList::InOR) << "1234";
    QTest::newRow("one digit") << int(ConditionList::OutAND) << "5";
}

void TestGuiConditions::takeBackKeepsTheWholeColumn() {
    QFETCH(int, list);
    QFETCH(QString, column);
    const ConditionList id = ConditionList(list);
    Fixture f;
    f.w->setCommaCount(2000);
    f.fill(id, {{"1", "a"}, {column, "b"}}); // as a list file brings it in
    f.clickRow(id, 2);
    f.doubleClickRow(id, 2);
    QCOMPARE(f.list(id).txtNo->text(), column);
    // The keyboard still adds nothing beyond two characters.
    f.list(id).txtNo->end(false);
    QTest::keyClick(f.list(id).txtNo, Qt::Key_9);
    QCOMPARE(f.list(id).txtNo->text(), column.size() >= 2 ? column : column + u'9');
    f.list(id).txtNo->setText(column);
    f.press(f.list(id).cmdTuika);
    QVERIFY(f.w.platform.messages.isEmpty());
    QCOMPARE(f.entries(id), (Entries{{column, "b"}, {"1", "a"}}));
}

void TestGuiConditions::focusLeavesADisabledButtonForThePhraseBox_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<bool>("deleteRow"); // false: register with 追加
    for (ConditionList id : kAll) {
        const QByteArray name = listName(id);
        QTest::newRow(("追加 " + name).constData()) << int(id) << false;
        QTest::newRow(("削除 " + name).constData()) << int(id) << true;
    }
}

void TestGuiConditions::focusLeavesADisabledButtonForThePhraseBox() {
    QFETCH(int, list);
    QFETCH(bool, deleteRow);
    const ConditionList id = ConditionList(list);
    Fixture f;
    f.fill(id, {{"1", "a"}, {"2", "b"}});
    ConditionListControls& l = f.list(id);
    QPushButton* button = deleteRow ? l.cmdSakujo : l.cmdTuika;
    if (deleteRow)
        f.clickRow(id, 1);
    else
        l.txtGoku->setText(QStringLiteral("c"));
    QVERIFY(button->isEnabled());
    button->setFocus();
    QCOMPARE(f.w->focusWidget(), static_cast<QWidget*>(button));
    button->click();
    QVERIFY(!button->isEnabled());
    QCOMPARE(l.model->count(), deleteRow ? 1 : 3);
    QCOMPARE(f.w->focusWidget(), static_cast<QWidget*>(l.txtGoku));
    // A Space now types into the phrase box; the list keeps its entries.
    QTest::keyClick(f.w->focusWidget(), Qt::Key_Space);
    QCOMPARE(l.model->count(), deleteRow ? 1 : 3);
    QCOMPARE(l.txtGoku->text(), QStringLiteral(" "));
}

void TestGuiConditions::pasteKeepsTheFirstLine_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("columnBox");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const QString& how, bool columnBox, const QString& before,
                  const QString& clip, const QString& expected) {
        QTest::newRow(name) << how << columnBox << before << clip << expected;
    };
    row("Ctrl+V, CR LF", "Ctrl+V", false, "", "abc\r\n", "abc");
    row("Shift+Insert, CR LF", "Shift+Insert", false, "x", "abc\r\ndef\r\n", "xabc");
    row("context menu, LF", "menu", false, "", "東京\n大阪", "東京");
    row("Ctrl+V, line break first", "Ctrl+V", false, "x", "\r\nabc", "x");
    row("column box, CR LF", "Ctrl+V", true, "", "12\r\n", "12");
    row("column box, cut to two", "menu", true, "", "345\r\n", "34");
}

void TestGuiConditions::pasteKeepsTheFirstLine() {
    QFETCH(QString, how);
    QFETCH(bool, columnBox);
    QFETCH(QString, before);
    QFETCH(QString, clip);
    QFETCH(QString, expected);
    Fixture f;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(clip);
    if (clipboard->text() != clip)
        QSKIP("no clipboard on this platform");
    ConditionListControls& l = f.list(ConditionList::InAND);
    QLineEdit* box = columnBox ? l.txtNo : l.txtGoku;
    box->setText(before);
    box->end(false);
    // Several lines in a phrase box are first offered as entries; declined, the box keeps what it
    // always kept of a paste.
    const bool offered =
        !columnBox && clip.count(u'\n') >= 1 && ConditionPaste::nonEmptyLines(clip).size() >= 2;
    f.w.platform.answers = {Platform::No};
    if (how == u"Ctrl+V") {
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    } else if (how == u"Shift+Insert") {
        QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
    } else {
        std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        QAction* paste = nullptr;
        for (QAction* a : menu->actions())
            if (a->text().contains(u"貼り付け") || a->text().contains(u"Paste"))
                paste = a;
        QVERIFY(paste);
        paste->trigger();
    }
    QCOMPARE(box->text(), expected);
    QCOMPARE(box->cursorPosition(), int(expected.size()));
    QCOMPARE(l.cmdTuika->isEnabled(), !l.txtGoku->text().isEmpty());
    QCOMPARE(f.w.platform.messages.size(), offered ? 1 : 0);
    QCOMPARE(l.model->count(), 0);
}

void TestGuiConditions::listStaysAtItsLeftEdge_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<bool>("doubleClick"); // false: delete
    QTest::newRow("delete, In AND") << int(ConditionList::InAND) << false;
    QTest::newRow("delete, Out OR") << int(ConditionList::OutOR) << false;
    QTest::newRow("double-click, In OR") << int(ConditionList::InOR) << true;
    QTest::newRow("double-click, Out AND") << int(ConditionList::OutAND) << true;
}

void TestGuiConditions::listStaysAtItsLeftEdge() {
    QFETCH(int, list);
    QFETCH(bool, doubleClick);
    const ConditionList id = ConditionList(list);
    Fixture f;
    const QString longPhrase = QString(40, u'語');
    f.fill(id, {{"1", longPhrase}, {"2", longPhrase}, {"3", longPhrase}});
    QTreeView* lvw = f.list(id).lvw;
    // A click on the phrase of row 1, right of the column numbers.
    const QRect phrase = lvw->visualRect(f.list(id).model->index(0, 1));
    const QPoint at(std::min(phrase.left() + 40, lvw->viewport()->width() - 4),
                    phrase.center().y());
    QTest::mouseClick(lvw->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(f.w->conditions().selectedRow(id), 1);
    QCOMPARE(lvw->horizontalScrollBar()->value(), 0);
    if (doubleClick)
        QTest::mouseDClick(lvw->viewport(), Qt::LeftButton, {}, at);
    else
        f.press(f.list(id).cmdSakujo);
    QCOMPARE(f.list(id).model->count(), 2);
    QCoreApplication::processEvents();
    QCOMPARE(lvw->horizontalScrollBar()->value(), 0);
    QVERIFY(lvw->horizontalScrollBar()->maximum() > 0); // there is somewhere to scroll to
}

QTEST_MAIN(TestGuiConditions)
#include "tst_gui_conditions.moc"
