// The four condition lists in the real window: registration and editing.
//
// Mouse input goes through the window system layer, so a double-click arrives as it does from a
// real mouse (press, release, double-click, release).
#define QTEST_QPA_MOUSE_HANDLING
#include "ConditionTestSupport.h"

#include <QScrollBar>

namespace {

const QString kDuplicateTitle = QStringLiteral("その語句は登録済みです");

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

    void takeBackKeepsTheWholeColumn_data();
    void takeBackKeepsTheWholeColumn();
    void focusLeavesADisabledButtonForThePhraseBox_data();
    void focusLeavesADisabledButtonForThePhraseBox();
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
