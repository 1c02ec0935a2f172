// The condition lists' text boxes in the real window: the keys the column box takes, Enter,
// and what a paste leaves in a box.
#define QTEST_QPA_MOUSE_HANDLING
#include "ConditionTestSupport.h"

#include "conditions/ConditionPaste.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

namespace {

// Types text key by key, also characters that have no key of their own.
void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
} // namespace

class TestGuiConditionBoxes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void columnBoxFilter_data();
    void columnBoxFilter();
    void columnBoxRefusesFullWidthDigit();
    void columnBoxPasteIsUnfiltered();
    void columnBoxInputMethodOff();
    void enterRegisters_data();
    void enterRegisters();
    void enterWithEmptyPhraseDoesNothing();

    void pasteKeepsTheFirstLine_data();
    void pasteKeepsTheFirstLine();
};

// ---------------------------------------------------------------- keys

void TestGuiConditionBoxes::columnBoxFilter_data() {
    QTest::addColumn<int>("list");
    for (ConditionList id : kAll)
        QTest::newRow(qPrintable(conditionListName(id))) << int(id);
}

void TestGuiConditionBoxes::columnBoxFilter() {
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

void TestGuiConditionBoxes::columnBoxRefusesFullWidthDigit() {
    Fixture f;
    QLineEdit* no = f.list(ConditionList::OutAND).txtNo;
    QTest::sendKeyEvent(QTest::Click, no, Qt::Key_unknown, QStringLiteral("１"), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, no, Qt::Key_unknown, QStringLiteral("ｱ"), Qt::NoModifier);
    QVERIFY(no->text().isEmpty());
    QCOMPARE(f.w.platform.beeps, 2);
}

void TestGuiConditionBoxes::columnBoxPasteIsUnfiltered() {
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

void TestGuiConditionBoxes::columnBoxInputMethodOff() {
    Fixture f;
    for (ConditionList id : kAll) {
        QLineEdit* no = f.list(id).txtNo;
        QVERIFY(!no->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(no->inputMethodHints() & Qt::ImhDigitsOnly);
        // The 2-character limit is for the keyboard only (columnBoxFilter); text the program
        // puts there is not cut (takeBackKeepsTheWholeColumn).
    }
}

void TestGuiConditionBoxes::enterRegisters_data() {
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

void TestGuiConditionBoxes::enterRegisters() {
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

void TestGuiConditionBoxes::enterWithEmptyPhraseDoesNothing() {
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

void TestGuiConditionBoxes::pasteKeepsTheFirstLine_data() {
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

void TestGuiConditionBoxes::pasteKeepsTheFirstLine() {
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

QTEST_MAIN(TestGuiConditionBoxes)
#include "tst_gui_condition_boxes.moc"
