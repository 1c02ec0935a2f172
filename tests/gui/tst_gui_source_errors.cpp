// The data-error dialog through the real window: its layout, Skip, Correct, Skip all, Stop, and
// lines too long to show whole.
#include "GuiSourceSupport.h"
#include "GuiTestSupport.h"

#include "base/CountText.h"
#include "main_window/MousePointer.h"
#include "source/RowStore.h"
#include "source/frmVNLError.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

class TestGuiSourceErrors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void skipAndCorrect_data();
    void skipAndCorrect();
    void correctionTheEncodingCannotHold_data();
    void correctionTheEncodingCannotHold();
    void errorDialogLayout();
    void errorDialogIgnoresEnterAndEsc();
    void longLineShownInPartNeverCut_data();
    void longLineShownInPartNeverCut();

    void errorDialogOpensWithNothingSelected_data();
    void errorDialogOpensWithNothingSelected();
    void stopFromTheErrorDialog_data();
    void stopFromTheErrorDialog();

    void skipAllAndTheEndMessage_data();
    void skipAllAndTheEndMessage();
};

void TestGuiSourceErrors::skipAndCorrect_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<DialogStep>>("steps");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("shown");
    using S = QList<DialogStep>;
    const QByteArray three("a,b\r\nc\r\nd,e\r\n");
    QTest::newRow("skip") << three << S{{DialogStep::Skip, {}}} << QStringList{"a,b", "d,e"}
                          << QStringList{"c"};
    QTest::newRow("correct") << three << S{{DialogStep::Correct, "c,"}}
                             << QStringList{"a,b", "c,", "d,e"} << QStringList{"c"};
    QTest::newRow("unchanged text is refused")
        << three << S{{DialogStep::CorrectRefusedThenSkip, "c"}} << QStringList{"a,b", "d,e"}
        << QStringList{"c"};
    QTest::newRow("too many commas refused")
        << three << S{{DialogStep::CorrectRefusedThenSkip, "c,,"}} << QStringList{"a,b", "d,e"}
        << QStringList{"c"};
    QTest::newRow("empty correction refused")
        << three << S{{DialogStep::CorrectRefusedThenSkip, ""}} << QStringList{"a,b", "d,e"}
        << QStringList{"c"};
    QTest::newRow("close box skips")
        << three << S{{DialogStep::CloseBox, {}}} << QStringList{"a,b", "d,e"} << QStringList{"c"};
    QTest::newRow("lines 4 and 7 empty, both corrected")
        << QByteArray("1\r\n2\r\n3\r\n\r\n5\r\n6\r\n\n8")
        << S{{DialogStep::Correct, "four"}, {DialogStep::Correct, "seven"}}
        << QStringList{"1", "2", "3", "four", "5", "6", "seven", "8"} << QStringList{"", ""};
}

void TestGuiSourceErrors::skipAndCorrect() {
    QFETCH(QByteArray, bytes);
    QFETCH(QList<DialogStep>, steps);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, shown);
    TestWindow w;
    w.platform.openAnswers = {w.writeFile("data.csv", bytes)};
    QList<Seen> seen;
    answerDialogs(steps, &seen);
    w->myFileSelect();
    QCOMPARE(seen.size(), shown.size());
    for (qsizetype i = 0; i < seen.size(); ++i) {
        QCOMPARE(seen[i].data, shown[i]);
        QVERIFY(seen[i].refusedStayedOpen);
        QVERIFY(seen[i].hourglassAfter);
    }
    QCOMPARE(sourceRows(*w), rows);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(rows.size()));
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiSourceErrors::correctionTheEncodingCannotHold_data() {
    QTest::addColumn<QString>("correction");
    QTest::addColumn<QString>("named"); // the character the message names
    QTest::newRow("hangul") << QStringLiteral("c,x\uD55C") << QStringLiteral("\uD55C");
    QTest::newRow("a pair of surrogates, named whole")
        << QStringLiteral("c,\U0001F600y") << QStringLiteral("\U0001F600");
}

void TestGuiSourceErrors::correctionTheEncodingCannotHold() {
    // A fitting correction that a code page 932 file cannot hold is refused with a message that
    // names the character and the encoding; the dialog stays open with the text.
    QFETCH(QString, correction);
    QFETCH(QString, named);
    TestWindow w;
    w.platform.openAnswers = {w.writeFile("data.csv", "a,b\r\nc\r\nd,e\r\n")};
    QList<Seen> seen;
    answerDialogs({{DialogStep::CorrectRefusedThenSkip, correction}}, &seen);
    w->myFileSelect();
    QCOMPARE(seen.size(), 1);
    QVERIFY(seen[0].refusedStayedOpen);
    QCOMPARE(w.platform.messages.size(), 1);
    const ScriptedPlatform::Message& m = w.platform.messages[0];
    QCOMPARE(m.style, 16);
    QCOMPARE(m.title, QStringLiteral("エラー"));
    QCOMPARE(m.prompt, QStringLiteral("文字「%1」はこのデータファイルの文字コード（シフトJIS）で"
                                      "書けないため、修正できません。")
                           .arg(named));
    QCOMPARE(sourceRows(*w), (QStringList{"a,b", "d,e"}));
}

void TestGuiSourceErrors::errorDialogLayout() {
    RowStore store;
    store.reset(1);
    ScriptedPlatform platform;
    frmVNLError dialog(store, platform);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("データエラー"));
    QCOMPARE(dialog.size(), QSize(466, 177)); // a row more for 読込中止
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    struct Expect {
        const char* name;
        QString text;
        QRect rect;
    };
    const Expect expected[] = {
        {"Label1", QStringLiteral("正しくないデータが見つかりました。"), {16, 8, 425, 17}},
        {"lblErrorFile", QStringLiteral("ﾌｧｲﾙ名:"), {16, 32, 425, 17}},
        {"lblErrorRow", QStringLiteral("行 番号:"), {16, 48, 209, 17}},
        {"lblErrorReason", QString(), {240, 48, 201, 17}},
        {"txtData", QString(), {16, 72, 433, 18}},
        {"cmdOk", QStringLiteral("修正(&C)"), {16, 104, 209, 25}},
        {"cmdCancel", QStringLiteral("スキップ(&S)"), {240, 104, 209, 25}},
        {"cmdStop", QStringLiteral("読込中止(&E)"), {240, 136, 209, 25}},
        {"cmdSkipAll", QStringLiteral("以降すべてスキップ(&A)"), {16, 136, 209, 25}},
    };
    for (const Expect& e : expected) {
        auto* widget = dialog.findChild<QWidget*>(e.name);
        QVERIFY2(widget, e.name);
        QCOMPARE(widget->geometry(), e.rect);
        const QVariant text = widget->property("text");
        QCOMPARE(text.toString(), e.text);
    }
    // Tab order: text box, Correct, Skip; the labels take no focus.
    QCOMPARE(dialog.txtData->nextInFocusChain(), static_cast<QWidget*>(dialog.cmdOk));
    QCOMPARE(dialog.cmdOk->nextInFocusChain(), static_cast<QWidget*>(dialog.cmdCancel));
    QCOMPARE(dialog.cmdCancel->nextInFocusChain(), static_cast<QWidget*>(dialog.cmdSkipAll));
    QCOMPARE(dialog.cmdSkipAll->nextInFocusChain(), static_cast<QWidget*>(dialog.cmdStop));
    QCOMPARE(dialog.Label1->focusPolicy(), Qt::NoFocus);
    QVERIFY(!dialog.cmdOk->isDefault() && !dialog.cmdOk->autoDefault());
    QVERIFY(!dialog.cmdCancel->isDefault() && !dialog.cmdCancel->autoDefault());

    dialog.setErrorLine(QStringLiteral("x,y,z"), QStringLiteral("lotto.csv"), 123456789012);
    QCOMPARE(dialog.lblErrorFile->text(), QStringLiteral("ﾌｧｲﾙ名: lotto.csv"));
    QCOMPARE(dialog.lblErrorRow->text(), QStringLiteral("行 番号: 123456789012"));
    QCOMPARE(dialog.lblErrorReason->text(), QStringLiteral("2 列のはずが 3 列です"));
    QCOMPARE(dialog.txtData->text(), QStringLiteral("x,y,z"));

    // A long line is shown whole.
    const QString longLine(100'000, u'x');
    dialog.setErrorLine(longLine, QStringLiteral("a.csv"), 1);
    QCOMPARE(dialog.txtData->text(), longLine);
}

void TestGuiSourceErrors::longLineShownInPartNeverCut_data() {
    QTest::addColumn<qsizetype>("length"); // bytes of the rejected line
    QTest::addColumn<QByteArray>("unit");  // what it is made of, repeated
    QTest::addColumn<bool>("whole");       // shown whole and editable

    const qsizetype limit = frmVNLError::MaxWholeLine;
    QTest::newRow("at the limit") << limit << QByteArray("x") << true;
    QTest::newRow("one byte over") << limit + 1 << QByteArray("x") << false;
    QTest::newRow("two-byte characters") << 2 * limit + 2 << QByteArray("\x93\x8c") << false;
    QTest::newRow("40 MB") << qsizetype(40) * 1024 * 1024 << QByteArray("y") << false;
}

void TestGuiSourceErrors::longLineShownInPartNeverCut() {
    QFETCH(qsizetype, length);
    QFETCH(QByteArray, unit);
    QFETCH(bool, whole);

    TestWindow w;
    QByteArray bytes("a,b\r\n");
    bytes.reserve(length + 16);
    while (bytes.size() < 5 + length)
        bytes += unit;
    bytes += "\r\nd,e\r\n";
    w.platform.openAnswers = {w.writeFile("long.csv", bytes)};
    bytes.clear();
    bytes.squeeze();

    qsizetype shown = -1;
    bool readOnly = false;
    bool correctOn = false;
    bool correctDidNothing = false;
    QString label;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<frmVNLError*>(modal);
        shown = dialog->txtData->text().size();
        readOnly = dialog->txtData->isReadOnly();
        correctOn = dialog->cmdOk->isEnabled();
        label = dialog->lblErrorRow->text();
        if (!whole) {
            // Correct, even called directly, never takes the cut start for the line.
            dialog->cmdOk_Click();
            correctDidNothing = dialog->isVisible() && w->store().rowCount() == 1;
        }
        dialog->cmdCancel->click();
    });
    w->myFileSelect();

    QCOMPARE(label, QStringLiteral("行 番号: 2"));
    QCOMPARE(readOnly, !whole);
    QCOMPARE(correctOn, whole);
    if (whole) {
        QCOMPARE(shown, length);
    } else {
        QVERIFY(correctDidNothing);
        // A bounded part and a short note: what the text box lays out does not grow with the
        // line.
        QVERIFY2(shown > frmVNLError::ShownPart / 2 && shown <= frmVNLError::ShownPart + 64,
                 qPrintable(QString::number(shown)));
    }
    QCOMPARE(sourceRows(*w), (QStringList{"a,b", "d,e"}));
}

void TestGuiSourceErrors::errorDialogIgnoresEnterAndEsc() {
    TestWindow w;
    w.platform.openAnswers = {w.writeFile("data.csv", "a,b\r\nc\r\n")};
    bool stayedOpen = false;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<frmVNLError*>(modal);
        QTest::keyClick(dialog->txtData, Qt::Key_Escape);
        QTest::keyClick(dialog->txtData, Qt::Key_Return);
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTest::keyClick(dialog->cmdOk, Qt::Key_Enter);
        stayedOpen = dialog->isVisible() && w->store().rowCount() == 1;
        dialog->cmdCancel->click();
    });
    w->myFileSelect();
    QVERIFY(stayedOpen);
    QCOMPARE(sourceRows(*w), QStringList{"a,b"});
}

void TestGuiSourceErrors::errorDialogOpensWithNothingSelected_data() {
    QTest::addColumn<QByteArray>("line"); // the rejected line 2 (code page 932)
    QTest::addColumn<QString>("shown");
    QTest::newRow("one field") << QByteArray("c") << "c";
    QTest::newRow("three fields") << QByteArray("x,y,z") << "x,y,z";
    QTest::newRow("kanji") << QByteArray("\x93\x8c\x8b\x9e") << "東京";
    QTest::newRow("long") << QByteArray(300, 'q') << QString(300, u'q');
}

void TestGuiSourceErrors::errorDialogOpensWithNothingSelected() {
    QFETCH(QByteArray, line);
    QFETCH(QString, shown);
    TestWindow w;
    w->show();
    w.platform.openAnswers = {w.writeFile("data.csv", "a,b\r\n" + line + "\r\nd,e\r\n")};
    QList<Seen> seen;
    answerDialogs({{DialogStep::Skip, {}}}, &seen);
    w->myFileSelect();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].data, shown);
    QVERIFY(!seen[0].selected);
    QCOMPARE(seen[0].cursor, 0);
}

void TestGuiSourceErrors::stopFromTheErrorDialog_data() {
    QTest::addColumn<QList<int>>("actions"); // DialogStep::Action, one a dialog
    QTest::addColumn<bool>("stopWhileCounting");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<int>("rows");
    using D = DialogStep;
    QTest::newRow("stop at the first") << QList<int>{D::StopLoad} << false << true << 0;
    QTest::newRow("skip, then stop") << QList<int>{D::Skip, D::StopLoad} << false << true << 0;
    QTest::newRow("skip every line")
        << QList<int>{D::Skip, D::Skip, D::Skip} << false << false << 1;
    QTest::newRow("close box is skip")
        << QList<int>{D::CloseBox, D::CloseBox, D::CloseBox} << false << false << 1;
    QTest::newRow("stop while counting") << QList<int>{} << true << true << 0;
}

void TestGuiSourceErrors::stopFromTheErrorDialog() {
    QFETCH(QList<int>, actions);
    QFETCH(bool, stopWhileCounting);
    QFETCH(bool, stopped);
    QFETCH(int, rows);
    TestWindow w;
    w->show();
    // A title line: every line after it has another number of commas.
    w.platform.openAnswers = {w.writeFile("titled.csv", "title\r\na,b\r\nc,d\r\ne,f\r\n")};
    w->setJobSliceMs(0); // the event loop turns while the lines are counted
    // Answers each data-error dialog with the next action; any dialog beyond them stops the
    // load, so that the test ends.
    int dialogs = 0;
    QTimer answer;
    answer.setInterval(5);
    connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<frmVNLError*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        const int action = dialogs < actions.size() ? actions[dialogs] : DialogStep::StopLoad;
        ++dialogs;
        if (action == DialogStep::Skip)
            dialog->cmdCancel->click();
        else if (action == DialogStep::CloseBox)
            dialog->close();
        else
            dialog->cmdStop->click();
    });
    answer.start();
    bool pressed = false;
    if (stopWhileCounting)
        QTimer::singleShot(0, w.window.get(), [&] {
            pressed = w->isBusy();
            w->cmdAccessKey_Click(4); // Alt+E
        });
    w->myFileSelect();
    answer.stop();
    QCOMPARE(pressed, stopWhileCounting);
    QCOMPARE(dialogs, actions.size());
    QCOMPARE(w->store().rowCount(), qint64(rows));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(rows));
    QCOMPARE(w->panelText(Panel::FilePath).isEmpty(), stopped);
    QCOMPARE(headers(*w), stopped ? QStringList{QString()} : QStringList{"1"});
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w.enabled(Command::Stop));
    QVERIFY(w.lvwOriginalData()->isVisibleTo(w.window.get()));
    QVERIFY(!w.fraProgressbar()->isVisibleTo(w.window.get()));
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiSourceErrors::skipAllAndTheEndMessage_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<DialogStep>>("steps");
    QTest::addColumn<QStringList>("reasons"); // what each dialog gave as the reason
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message"); // after the load; empty: none
    using S = QList<DialogStep>;
    const QByteArray file("a,b,c\r\nx\r\nd,e,f\r\n1,2,3,4\r\n\r\ng,h,i\r\n7\r\n");
    QTest::newRow("skip all at the first misfit")
        << file << S{{DialogStep::SkipAll, {}}}
        << QStringList{QStringLiteral("3 列のはずが 1 列です")}
        << QStringList{"a,b,c", "d,e,f", "g,h,i"}
        << QStringLiteral("正しくないデータ 4 行をスキップしました。\n行 番号: 2, 4, 5, 7");
    QTest::newRow("skip, correct, then skip all at an empty line")
        << file
        << S{{DialogStep::Skip, {}}, {DialogStep::Correct, "1,2,3"}, {DialogStep::SkipAll, {}}}
        << QStringList{QStringLiteral("3 列のはずが 1 列です"),
                       QStringLiteral("3 列のはずが 4 列です"),
                       QStringLiteral("3 列のはずが空の行です")}
        << QStringList{"a,b,c", "d,e,f", "1,2,3", "g,h,i"}
        << QStringLiteral("正しくないデータ 2 行をスキップしました。\n行 番号: 5, 7");
    QTest::newRow("no skip all, no message")
        << QByteArray("a,b\r\nc\r\nd,e\r\n") << S{{DialogStep::Skip, {}}}
        << QStringList{QStringLiteral("2 列のはずが 1 列です")} << QStringList{"a,b", "d,e"}
        << QString();
    QByteArray many("a,b\r\n");
    for (int i = 2; i <= 13; ++i)
        many += "bad\r\n";
    many += "c,d";
    QTest::newRow("the first ten named")
        << many << S{{DialogStep::SkipAll, {}}}
        << QStringList{QStringLiteral("2 列のはずが 1 列です")} << QStringList{"a,b", "c,d"}
        << QStringLiteral("正しくないデータ 12 行をスキップしました。\n"
                          "行 番号: 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 ほか");
}

void TestGuiSourceErrors::skipAllAndTheEndMessage() {
    QFETCH(QByteArray, bytes);
    QFETCH(QList<DialogStep>, steps);
    QFETCH(QStringList, reasons);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    TestWindow w;
    const QString path = w.writeFile("data.csv", bytes);
    w.platform.openAnswers = {path};
    QList<Seen> seen;
    answerDialogs(steps, &seen);
    w->runCommand(Command::Open);
    QStringList shown;
    for (const Seen& s : seen)
        shown << s.reason;
    QCOMPARE(shown, reasons);
    QCOMPARE(sourceRows(*w), rows);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(rows.size()));
    if (message.isEmpty()) {
        QVERIFY(w.platform.messages.isEmpty());
    } else {
        QCOMPARE(w.platform.messages.size(), 1);
        QCOMPARE(w.platform.messages[0].prompt, message);
        QCOMPARE(w.platform.messages[0].style, 64);
        QCOMPARE(w.platform.messages[0].title, QStringLiteral("データエラー"));
    }
    QVERIFY(!w->isBusy());

    // Skip all held for that load only: the next load asks again.
    w.platform.messages.clear();
    w.platform.openAnswers = {path};
    QList<Seen> again;
    answerDialogs({{DialogStep::StopLoad, {}}}, &again);
    w->runCommand(Command::Open);
    QCOMPARE(again.size(), 1);
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(w->store().rowCount(), qint64(0));
}

QTEST_MAIN(TestGuiSourceErrors)
#include "tst_gui_source_errors.moc"
