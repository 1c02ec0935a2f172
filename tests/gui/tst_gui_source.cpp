// The Open command through the real window: loading, the data-error dialog, Stop, failures.
#include "GuiTestSupport.h"

#include "TestFiles.h"
#include "base/CountText.h"

#include "base/Cp932.h"
#include "base/TextCodec.h"
#include "main_window/MousePointer.h"
#include "results/ResultListModel.h"
#include "settings/mdlIniSet.h"
#include "source/RowStore.h"
#include "source/SourceTableModel.h"
#include "source/frmVNLError.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <QTreeView>
#include <functional>

namespace {

QStringList sourceRows(frmVNLMain& w) {
    QStringList rows;
    for (qint64 r = 0; r < w.store().rowCount(); ++r)
        rows.append(w.store().rowText(r));
    return rows;
}

QStringList headers(frmVNLMain& w) {
    return w.sourceModel()->headers();
}

// What a test does with one data-error dialog.
struct DialogStep {
    enum Action { Skip, Correct, CorrectRefusedThenSkip, CloseBox, StopLoad, SkipAll };
    Action action = Skip;
    QString text; // for Correct / CorrectRefusedThenSkip: the text typed in
};

// What the dialogs showed.
struct Seen {
    QString file;
    QString row;
    QString data;
    QString reason;
    bool arrowWhileOpen = false;
    bool hourglassAfter = false;
    bool refusedStayedOpen = true;
    bool selected = false; // some text of the line was selected when the dialog opened
    int cursor = -1;
};

// Answers the coming data-error dialogs one after the other.
void answerDialogs(QList<DialogStep> steps, QList<Seen>* seen) {
    if (steps.isEmpty())
        return;
    onNextModal([steps, seen](QWidget* modal) mutable {
        auto* dialog = qobject_cast<frmVNLError*>(modal);
        if (!dialog)
            return;
        Seen s;
        s.file = dialog->findChild<QLabel*>("lblErrorFile")->text();
        s.row = dialog->findChild<QLabel*>("lblErrorRow")->text();
        auto* txtData = dialog->findChild<QLineEdit*>("txtData");
        s.data = txtData->text();
        s.reason = dialog->findChild<QLabel*>("lblErrorReason")->text();
        s.selected = txtData->hasSelectedText();
        s.cursor = txtData->cursorPosition();
        s.arrowWhileOpen = MousePointer::current() == MousePointer::Default;
        const DialogStep step = steps.takeFirst();
        auto* cmdOk = dialog->findChild<QPushButton*>("cmdOk");
        auto* cmdCancel = dialog->findChild<QPushButton*>("cmdCancel");
        switch (step.action) {
        case DialogStep::Skip:
            cmdCancel->click();
            break;
        case DialogStep::Correct:
            txtData->setText(step.text);
            cmdOk->click();
            break;
        case DialogStep::CorrectRefusedThenSkip:
            txtData->setText(step.text);
            cmdOk->click();
            s.refusedStayedOpen = dialog->isVisible() && txtData->text() == step.text &&
                                  MousePointer::current() == MousePointer::Default;
            cmdCancel->click();
            break;
        case DialogStep::CloseBox:
            dialog->close();
            break;
        case DialogStep::StopLoad:
            dialog->findChild<QPushButton*>("cmdStop")->click();
            break;
        case DialogStep::SkipAll:
            dialog->findChild<QPushButton*>("cmdSkipAll")->click();
            break;
        }
        s.hourglassAfter = MousePointer::current() == MousePointer::Hourglass;
        seen->append(s);
        answerDialogs(steps, seen);
    });
}

// Everything a load shows the user, and what the open dialog remembers.
QStringList outcome(frmVNLMain& w, const QList<Seen>& seen, const ScriptedPlatform& platform) {
    QStringList o;
    for (const Seen& s : seen)
        o << QStringLiteral("dialog %1 %2 %3").arg(s.file, s.row, s.data);
    for (const ScriptedPlatform::Message& m : platform.messages)
        o << QStringLiteral("message %1 %2 %3").arg(m.prompt).arg(m.style).arg(m.title);
    o << "S_FilePath " + w.panelText(Panel::FilePath)
      << "S_Original " + w.panelText(Panel::Original) << "dlg " + w.dialog().FileName
      << "filter " + w.dialog().Filter << sourceRows(w);
    return o;
}

// Drags urls onto the window and drops them there; true when both the drag and the drop were
// accepted.
bool dragAndDrop(frmVNLMain& w, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = w.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

// What a popup menu showed: its items and which of them were checked.
struct MenuSeen {
    QStringList items;
    QList<bool> checked;
};

// Runs `open`, which pops up a menu; once the menu shows, notes what it holds and lets `choose`
// pick in it. Returns when the menu has been seen.
void runPopupMenu(MenuSeen& seen, const std::function<void()>& open,
                  const std::function<void(QMenu*)>& choose) {
    seen = {};
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        for (QAction* a : menu->actions()) {
            seen.items << a->text();
            seen.checked << a->isChecked();
        }
        choose(menu);
    });
    poll.start();
    open();
    QTRY_VERIFY(!seen.items.isEmpty());
}

// The file-path panel's reopen menu, by a right click on the panel; its item `item` is clicked.
void reopenByPanelMenu(MenuSeen& seen, QWidget* panel, int item) {
    runPopupMenu(
        seen,
        [panel] {
            const QPoint at(2, 2);
            QContextMenuEvent right(QContextMenuEvent::Mouse, at, panel->mapToGlobal(at));
            QApplication::sendEvent(panel, &right);
        },
        [item](QMenu* menu) {
            QAction* pick = menu->actions().value(item);
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(pick).center());
        });
}

} // namespace

class TestGuiSource : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openShowsTheFilterAndCancelChangesNothing();
    void badLinesTwoAndFive();
    void skipAndCorrect_data();
    void skipAndCorrect();
    void correctionTheEncodingCannotHold_data();
    void correctionTheEncodingCannotHold();
    void errorDialogLayout();
    void errorDialogIgnoresEnterAndEsc();
    void longLineShownInPartNeverCut_data();
    void longLineShownInPartNeverCut();
    void stopDuringALoad();
    void stopAfterTheLastReadSliceOpensNoDialog();
    void outOfMemoryWhileLoading();
    void secondFileAfterAPickup();
    void unreadableFile_data();
    void unreadableFile();
    void emptyFile();
    void emptyFirstLineIsRejectedAsLineOne();
    void clickOnTheSourceListDisablesDelete();

    void errorDialogOpensWithNothingSelected_data();
    void errorDialogOpensWithNothingSelected();
    void stopFromTheErrorDialog_data();
    void stopFromTheErrorDialog();
    void givenFileOpensAsTheDialogDoes_data();
    void givenFileOpensAsTheDialogDoes();
    void refusedDrops_data();
    void refusedDrops();
    void encodingMenuReopens_data();
    void encodingMenuReopens();
    void encodingShownAndReopenedByKeyboard_data();
    void encodingShownAndReopenedByKeyboard();
    void fieldModeMenuReopens();
    void systemFolderIsNoStartFolder();

    void skipAllAndTheEndMessage_data();
    void skipAllAndTheEndMessage();
    void headerLineOption();
};

void TestGuiSource::openShowsTheFilterAndCancelChangesNothing() {
    TestWindow w;
    w.platform.openAnswers = {std::nullopt};
    w->runCommand(Command::Open);
    QCOMPARE(w.platform.openDialogs.size(), 1);
    QCOMPARE(w.platform.openDialogs[0].filter,
             QStringLiteral("*.csv;*.txt (*.csv *.txt);;全ファイル (*)"));
    QCOMPARE(headers(*w), QStringList{QStringLiteral("ファイルの内容")});
    QCOMPARE(w->panelText(Panel::FilePath), QString());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w->isBusy());
}

void TestGuiSource::badLinesTwoAndFive() {
    TestWindow w;
    const QString path =
        w.writeFile("lotto.csv", "1,2,3,4\r\n1,2,3\r\n5,6,7,8\r\n,,,\r\nx,y,z\r\n");
    w.platform.openAnswers = {path};
    QList<Seen> seen;
    answerDialogs({{DialogStep::Skip, {}}, {DialogStep::Skip, {}}}, &seen);
    w->runCommand(Command::Open);

    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].row, QStringLiteral("行 番号: 2"));
    QCOMPARE(seen[1].row, QStringLiteral("行 番号: 5"));
    QCOMPARE(seen[0].file, QStringLiteral("ﾌｧｲﾙ名: lotto.csv"));
    QCOMPARE(seen[0].data, QStringLiteral("1,2,3"));
    QCOMPARE(seen[1].data, QStringLiteral("x,y,z"));
    QVERIFY(seen[0].arrowWhileOpen && seen[0].hourglassAfter);

    QCOMPARE(w->commaCount(), 3);
    QCOMPARE(headers(*w), (QStringList{"1", "2", "3", "4"}));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.lvwOriginalData()->header()->sectionSize(i), twips(1000));
    QCOMPARE(sourceRows(*w), (QStringList{"1,2,3,4", "5,6,7,8", ",,,"}));
    QCOMPARE(w->sourceModel()->rowCount(), 3);
    QCOMPARE(w->sourceModel()->index(1, 2).data().toString(), QStringLiteral("7"));
    QCOMPARE(w->panelText(Panel::FilePath), path);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(3));
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    QCOMPARE(w->progressWindow()->maximum(), 5);
    QCOMPARE(w->progressWindow()->value(), 5);
    QCOMPARE(w.lblStatus()->text(), QStringLiteral("ファイル読み込み中..."));
    QVERIFY(w.lvwOriginalData()->isVisibleTo(w.window.get()));
    QVERIFY(!w.lvwPickupData()->isVisibleTo(w.window.get()));
    QVERIFY(!w.fraProgressbar()->isVisibleTo(w.window.get()));
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w.enabled(Command::Stop));
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiSource::skipAndCorrect_data() {
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

void TestGuiSource::skipAndCorrect() {
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

void TestGuiSource::correctionTheEncodingCannotHold_data() {
    QTest::addColumn<QString>("correction");
    QTest::addColumn<QString>("named"); // the character the message names
    QTest::newRow("hangul") << QStringLiteral("c,x\uD55C") << QStringLiteral("\uD55C");
    QTest::newRow("a pair of surrogates, named whole")
        << QStringLiteral("c,\U0001F600y") << QStringLiteral("\U0001F600");
}

void TestGuiSource::correctionTheEncodingCannotHold() {
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

void TestGuiSource::errorDialogLayout() {
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

void TestGuiSource::longLineShownInPartNeverCut_data() {
    QTest::addColumn<qsizetype>("length"); // bytes of the rejected line
    QTest::addColumn<QByteArray>("unit");  // what it is made of, repeated
    QTest::addColumn<bool>("whole");       // shown whole and editable

    const qsizetype limit = frmVNLError::MaxWholeLine;
    QTest::newRow("at the limit") << limit << QByteArray("x") << true;
    QTest::newRow("one byte over") << limit + 1 << QByteArray("x") << false;
    QTest::newRow("two-byte characters") << 2 * limit + 2 << QByteArray("\x93\x8c") << false;
    QTest::newRow("40 MB") << qsizetype(40) * 1024 * 1024 << QByteArray("y") << false;
}

void TestGuiSource::longLineShownInPartNeverCut() {
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

void TestGuiSource::errorDialogIgnoresEnterAndEsc() {
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

void TestGuiSource::stopDuringALoad() {
    TestWindow w;
    // Several chunks, so the load takes several slices.
    QByteArray bytes;
    bytes.reserve(12 * 1024 * 1024);
    const QByteArray line("12345,abcdefgh,2024/01/31\r\n");
    while (bytes.size() < 12 * 1024 * 1024)
        bytes += line;
    const int lines = int(bytes.size() / line.size());
    w.platform.openAnswers = {w.writeFile("big.csv", bytes)};
    w->setJobSliceMs(1);

    QTimer press;
    bool pressed = false;
    press.setInterval(0);
    connect(&press, &QTimer::timeout, [&] {
        if (!pressed && w->isBusy() && w->progressWindow()->value() > 0) {
            pressed = true;
            QVERIFY(w.enabled(Command::Stop));
            w->cmdAccessKey_Click(4); // Alt+E
        }
    });
    press.start();
    w->myFileSelect();
    press.stop();

    QVERIFY(pressed);
    QVERIFY(w->progressWindow()->value() < lines); // it did not read to the end
    QCOMPARE(w->store().rowCount(), qint64(0));
    QCOMPARE(w->sourceModel()->rowCount(), 0);
    QCOMPARE(headers(*w), QStringList{QString()});
    QCOMPARE(w.lvwOriginalData()->header()->sectionSize(0), 0);
    QCOMPARE(w->commaCount(), 2);
    QCOMPARE(w->panelText(Panel::FilePath), QString());
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(0));
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    QVERIFY(w.lvwOriginalData()->isVisibleTo(w.window.get()));
    QVERIFY(!w.fraProgressbar()->isVisibleTo(w.window.get()));
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
}

void TestGuiSource::stopAfterTheLastReadSliceOpensNoDialog() {
    // A Stop handled with the events that follow the last read slice ends the load before the
    // first line that does not fit (line 2) can open its dialog.
    TestWindow w;
    const QByteArray bytes("a,b\r\nc\r\nd,e\r\n");
    w.platform.openAnswers = {w.writeFile("data.csv", bytes)};
    bool pressed = false;
    QTimer press;
    press.setInterval(0);
    connect(&press, &QTimer::timeout, [&] {
        // The bar's range is the line count from the moment the bytes are all read.
        if (!pressed && w->isBusy() && w->progressWindow()->maximum() == bytes.count('\n')) {
            pressed = true;
            w->cmdAccessKey_Click(4); // Alt+E
        }
    });
    int dialogs = 0;
    QTimer skipper;
    skipper.setInterval(5);
    connect(&skipper, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<frmVNLError*>(QApplication::activeModalWidget())) {
            ++dialogs;
            dialog->cmdCancel->click();
        }
    });
    press.start();
    skipper.start();
    w->myFileSelect();

    QVERIFY(pressed);
    QCOMPARE(dialogs, 0);
    QCOMPARE(w->store().rowCount(), qint64(0));
    QCOMPARE(w->panelText(Panel::FilePath), QString());
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(0));
    QVERIFY(!w->isBusy());
}

void TestGuiSource::outOfMemoryWhileLoading() {
    TestWindow w;
    const QString first = w.writeFile("first.csv", "a,b\r\n");
    QByteArray bytes;
    while (bytes.size() < 256 * 1024)
        bytes += "12345,abcdefgh\r\n";
    const QString big = w.writeFile("big.csv", bytes);
    w.platform.openAnswers = {first, big};
    w->myFileSelect();
    RowStore::setMemoryLimitForTesting(64 * 1024); // the new file does not fit
    w->myFileSelect();
    RowStore::setMemoryLimitForTesting(0);

    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             QStringLiteral("データファイル「%1」を読み込めませんでした。\n"
                            "ファイルがメモリーに収まりません。")
                 .arg(big));
    QCOMPARE(w.platform.messages[0].style, 16);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("エラー"));
    // Broken off as a stopped load is: an empty table with one empty column.
    QCOMPARE(w->store().rowCount(), qint64(0));
    QCOMPARE(headers(*w), QStringList{QString()});
    QCOMPARE(w->panelText(Panel::FilePath), QString());
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(0));
    QVERIFY(w.lvwOriginalData()->isVisibleTo(w.window.get()));
    QVERIFY(!w.fraProgressbar()->isVisibleTo(w.window.get()));
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
}

void TestGuiSource::secondFileAfterAPickup() {
    TestWindow w;
    w.platform.openAnswers = {w.writeFile("first.csv", "a,1\r\nb,2\r\nc,3\r\n"),
                              w.writeFile("second.csv", "x;1\r\ny;2\r\n")};
    w->myFileSelect();
    QCOMPARE(w->store().rowCount(), qint64(3));
    // What a pickup leaves: result rows shown, their count in the panel.
    w->resultModel()->setRows({0, 2});
    w.lvwOriginalData()->hide();
    w.lvwPickupData()->show();
    w->setPanelText(Panel::Pickup, CountText::pickedRows(2));

    w->myFileSelect();
    QCOMPARE(w->resultModel()->count(), qint64(0));
    QVERIFY(!w.lvwPickupData()->isVisibleTo(w.window.get()));
    QVERIFY(w.lvwOriginalData()->isVisibleTo(w.window.get()));
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    QCOMPARE(sourceRows(*w), (QStringList{"x;1", "y;2"}));
    QCOMPARE(headers(*w), QStringList{"1"});
    QCOMPARE(w->commaCount(), 0);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
    QVERIFY(w->panelText(Panel::FilePath).endsWith(QStringLiteral("second.csv")));
}

void TestGuiSource::unreadableFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // what the file holds; none: it is not written
    QTest::addColumn<QString>("reason");   // a part of the message
    QTest::newRow("missing") << "missing.csv" << QByteArray() << QString();
    QTest::newRow("folder") << "folder" << QByteArray() << QString();
    // UTF-16 ("Unicode テキスト") is refused with what it is and how to save it instead.
    const QString text = QStringLiteral("東京,1\r\n");
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QTest::newRow("utf-16 with a mark") << "unicode.txt"
                                        << "\xFF\xFE" + utf16 << TextCodec::utf16RefusedText();
    QTest::newRow("utf-16 without a mark")
        << "unicode.txt" << utf16 << TextCodec::utf16RefusedText();
}

void TestGuiSource::unreadableFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    TestWindow w;
    const QString first = w.writeFile("first.csv", "a,b,c\r\nd,e,f\r\n");
    QDir(w.dir.path()).mkdir(QStringLiteral("folder"));
    if (!bytes.isEmpty())
        w.writeFile(name, bytes);
    const QString bad = w.dir.filePath(name);
    w.platform.openAnswers = {first, bad};
    w->myFileSelect();
    QCOMPARE(w->store().rowCount(), qint64(2));

    w->myFileSelect();
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].style, 16);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("エラー"));
    QVERIFY(w.platform.messages[0].prompt.contains(bad));
    QVERIFY(w.platform.messages[0].prompt.contains(reason));
    // The table and everything that describes it are as they were.
    QCOMPARE(sourceRows(*w), (QStringList{"a,b,c", "d,e,f"}));
    QCOMPARE(headers(*w), (QStringList{"1", "2", "3"}));
    QCOMPARE(w->commaCount(), 2);
    QCOMPARE(w->panelText(Panel::FilePath), first);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
    QVERIFY(w.lvwOriginalData()->isVisibleTo(w.window.get()));
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w.enabled(Command::Stop));
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiSource::emptyFile() {
    TestWindow w;
    const QString empty = w.writeFile("empty.csv", QByteArray());
    w.platform.openAnswers = {w.writeFile("first.csv", "a,b,c\r\n"), empty};
    w->myFileSelect();
    QCOMPARE(w->commaCount(), 2);
    w->myFileSelect();
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(w->commaCount(), 0);
    QCOMPARE(headers(*w), QStringList{"1"});
    QCOMPARE(w.lvwOriginalData()->header()->sectionSize(0), twips(1000));
    QCOMPARE(w->store().rowCount(), qint64(0));
    QCOMPARE(w->sourceModel()->rowCount(), 0);
    QCOMPARE(w->panelText(Panel::FilePath), empty);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(0));
    QCOMPARE(w->progressWindow()->maximum(), 0);
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w.enabled(Command::Start));
}

void TestGuiSource::emptyFirstLineIsRejectedAsLineOne() {
    TestWindow w;
    w.platform.openAnswers = {w.writeFile("data.csv", "\r\nabc\r\nx,y\r\n")};
    QList<Seen> seen;
    answerDialogs({{DialogStep::Skip, {}}, {DialogStep::Skip, {}}}, &seen);
    w->myFileSelect();
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].row, QStringLiteral("行 番号: 1"));
    QCOMPARE(seen[0].data, QString());
    QCOMPARE(seen[1].row, QStringLiteral("行 番号: 3"));
    QCOMPARE(w->commaCount(), 0);
    QCOMPARE(sourceRows(*w), QStringList{"abc"});
}

void TestGuiSource::clickOnTheSourceListDisablesDelete() {
    TestWindow w;
    w.platform.openAnswers = {w.writeFile("data.csv", "a,b\r\nc,d\r\n")};
    w->myFileSelect();
    auto setAll = [&](bool on) {
        for (ConditionList id : kConditionListOrder)
            w->conditionList(id).cmdSakujo->setEnabled(on);
    };
    auto noneEnabled = [&] {
        for (ConditionList id : kConditionListOrder)
            if (w->conditionList(id).cmdSakujo->isEnabled())
                return false;
        return true;
    };
    w->show();
    setAll(true);
    QWidget* viewport = w.lvwOriginalData()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(noneEnabled());
    // Also below the last row.
    setAll(true);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 3));
    QVERIFY(noneEnabled());
    setAll(true);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(noneEnabled());
    QVERIFY(w.enabled(Command::Open));
}

void TestGuiSource::errorDialogOpensWithNothingSelected_data() {
    QTest::addColumn<QByteArray>("line"); // the rejected line 2 (code page 932)
    QTest::addColumn<QString>("shown");
    QTest::newRow("one field") << QByteArray("c") << "c";
    QTest::newRow("three fields") << QByteArray("x,y,z") << "x,y,z";
    QTest::newRow("kanji") << QByteArray("\x93\x8c\x8b\x9e") << "東京";
    QTest::newRow("long") << QByteArray(300, 'q') << QString(300, u'q');
}

void TestGuiSource::errorDialogOpensWithNothingSelected() {
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

void TestGuiSource::stopFromTheErrorDialog_data() {
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

void TestGuiSource::stopFromTheErrorDialog() {
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

void TestGuiSource::givenFileOpensAsTheDialogDoes_data() {
    QTest::addColumn<bool>("drop");
    QTest::addColumn<QString>("name");
    QTest::newRow("command line, a line skipped") << false << "lotto.csv";
    QTest::newRow("command line, missing file") << false << "missing.csv";
    QTest::newRow("drop, a line skipped") << true << "lotto.csv";
    QTest::newRow("drop, missing file") << true << "missing.csv";
}

void TestGuiSource::givenFileOpensAsTheDialogDoes() {
    QFETCH(bool, drop);
    QFETCH(QString, name);
    const QByteArray bytes("1,2,3\r\n4,5\r\n6,7,8\r\n");
    const bool exists = name != u"missing.csv";
    // Line 2 does not fit: its data-error dialog is answered with Skip.
    const QList<DialogStep> skip =
        exists ? QList<DialogStep>{{DialogStep::Skip, {}}} : QList<DialogStep>{};

    TestWindow chosen;
    const QString chosenPath = chosen.dir.filePath(name);
    if (exists)
        chosen.writeFile(name, bytes);
    QList<Seen> seenChosen;
    answerDialogs(skip, &seenChosen);
    chosen.platform.openAnswers = {chosenPath};
    chosen->runCommand(Command::Open);
    // The same file in another folder: the outcome differs only by the folder.
    QStringList expected = outcome(*chosen, seenChosen, chosen.platform);
    expected.replaceInStrings(chosen.dir.path(), QStringLiteral("<folder>"));

    TestWindow given;
    if (exists)
        given.writeFile(name, bytes);
    QList<Seen> seenGiven;
    answerDialogs(skip, &seenGiven);
    if (drop) {
        QVERIFY(dragAndDrop(*given, {QUrl::fromLocalFile(given.dir.filePath(name))}));
        QTRY_VERIFY(!given->panelText(Panel::FilePath).isEmpty() ||
                    !given.platform.messages.isEmpty());
        QTRY_VERIFY(!given->isBusy());
    } else {
        // As the command line gives it: relative to the current folder.
        const QString before = QDir::currentPath();
        QDir::setCurrent(given.dir.path());
        given->myFileOpenGiven(name);
        QDir::setCurrent(before);
    }
    QStringList got = outcome(*given, seenGiven, given.platform);
    got.replaceInStrings(given.dir.path(), QStringLiteral("<folder>"));
    QCOMPARE(got, expected);
    QCOMPARE(seenGiven.size(), skip.size());
    QCOMPARE(given.platform.openDialogs.size(), 0);
    QVERIFY(given.enabled(Command::Open));
}

void TestGuiSource::refusedDrops_data() {
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("names"); // in the test's folder; "http:" = a web address
    QTest::newRow("while a job runs") << true << QStringList{"data.csv"};
    QTest::newRow("two files") << false << QStringList{"data.csv", "data.csv"};
    QTest::newRow("a folder") << false << QStringList{"folder"};
    QTest::newRow("a web address") << false << QStringList{"http:"};
}

void TestGuiSource::refusedDrops() {
    QFETCH(bool, busy);
    QFETCH(QStringList, names);
    TestWindow w;
    w.writeFile("data.csv", "a,b\r\n");
    QDir(w.dir.path()).mkdir(QStringLiteral("folder"));
    QList<QUrl> urls;
    for (const QString& n : names)
        urls << (n == u"http:" ? QUrl(QStringLiteral("http://example.org/data.csv"))
                               : QUrl::fromLocalFile(w.dir.filePath(n)));
    if (busy)
        w->myControlsDisable();
    QVERIFY(!dragAndDrop(*w, urls));
    QCoreApplication::processEvents();
    if (busy)
        w->myControlsEnable();
    QCoreApplication::processEvents();
    QCOMPARE(w->panelText(Panel::FilePath), QString());
    QCOMPARE(w->store().rowCount(), qint64(0));
    QCOMPARE(w.platform.messages.size(), 0);
    // The same file is taken once the window is idle and it comes alone.
    QVERIFY(dragAndDrop(*w, {QUrl::fromLocalFile(w.dir.filePath("data.csv"))}));
    QTRY_COMPARE(w->store().rowCount(), qint64(1));
}

void TestGuiSource::encodingMenuReopens_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("taken");  // TextEncoding: what the file's bytes decided
    QTest::addColumn<int>("chosen"); // TextEncoding: the menu item chosen
    const QByteArray utf8("\xE6\x9D\xB1,\xE4\xBA\xAC");
    const int cp932 = int(TextEncoding::Cp932);
    const int utf = int(TextEncoding::Utf8);
    QTest::newRow("UTF-8 overruled") << utf8 << utf << cp932;
    QTest::newRow("code page 932 overruled") << QByteArray("\x93\x8c,\x8b\x9e") << cp932 << utf;
    QTest::newRow("the checked item reopens as before") << utf8 << utf << utf;
}

void TestGuiSource::encodingMenuReopens() {
    // A right click on the file-path panel offers both encodings, the one taken checked; the item
    // chosen opens the file again in it, the columns unchanged.
    QFETCH(QByteArray, line);
    QFETCH(int, taken);
    QFETCH(int, chosen);
    TestWindow w;
    w->show();
    const QString path = w.writeFile("data.csv", line + "\r\n");
    w.platform.openAnswers << path;
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(int(w->store().encoding()), taken);
    auto* panel = w.child<QLabel>("S_FilePath");

    MenuSeen seen;
    reopenByPanelMenu(seen, panel, chosen);
    QTRY_VERIFY(!w->isBusy());
    QCOMPARE(seen.items.first(2), (QStringList{QStringLiteral("シフトJIS で開き直す"),
                                               QStringLiteral("UTF-8 で開き直す")}));
    QCOMPARE(seen.checked.first(2),
             (QList<bool>{taken == int(TextEncoding::Cp932), taken == int(TextEncoding::Utf8)}));
    const auto encoding = TextEncoding(chosen);
    QCOMPARE(w->store().encoding(), encoding);
    QCOMPARE(w->store().rowCount(), qint64(1));
    QCOMPARE(w->store().rowText(0), TextCodec::decode(encoding, line));
    QVERIFY2(panel->toolTip().contains(TextCodec::displayName(encoding)),
             qPrintable(panel->toolTip()));
    QCOMPARE(w->panelText(Panel::FilePath), path);
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiSource::encodingShownAndReopenedByKeyboard_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("taken"); // TextEncoding the whole file decides
    QByteArray ascii;
    for (int i = 0; ascii.size() < 1'100'000; ++i)
        ascii += "row " + QByteArray::number(i) + ",x\r\n";
    QTest::newRow("utf-8 after 1.1 MB of ascii")
        << ascii + QStringLiteral("東京,渋谷\r\n").toUtf8() << int(TextEncoding::Utf8);
    QTest::newRow("code page 932")
        << QByteArray("\x93\x8c,\x8b\x9e\r\n") << int(TextEncoding::Cp932);
}

void TestGuiSource::encodingShownAndReopenedByKeyboard() {
    // The encoding taken is shown as text at the file-path panel's end, on a button that Alt+J
    // (or Space once it has the focus) opens the reopen menu with; the menu is run by keys.
    QFETCH(QByteArray, bytes);
    QFETCH(int, taken);
    TestWindow w;
    w->show();
    auto* button = w.child<QToolButton>("cmdEncoding");
    QVERIFY(!button->isVisibleTo(w.window.get()));
    const QString path = w.writeFile("data.csv", bytes);
    w.platform.openAnswers << path;
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(int(w->store().encoding()), taken);
    QVERIFY(button->isVisibleTo(w.window.get()));
    QCOMPARE(button->text(), QStringLiteral("文字コード(&J): %1　項目: 引用符なし")
                                 .arg(TextCodec::displayName(TextEncoding(taken))));
    QCOMPARE(button->shortcut(), QKeySequence(Qt::ALT | Qt::Key_J));

    MenuSeen seen;
    runPopupMenu(
        seen,
        [button] {
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Space);
        },
        [taken](QMenu* menu) {
            // Down to the item that is not checked (the other encoding), then Enter.
            const int other = taken == int(TextEncoding::Cp932) ? 1 : 0;
            for (int k = 0; k <= other; ++k)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
    QTRY_VERIFY(!w->isBusy());
    const auto other = taken == int(TextEncoding::Cp932) ? TextEncoding::Utf8 : TextEncoding::Cp932;
    QCOMPARE(w->store().encoding(), other);
    QCOMPARE(
        button->text(),
        QStringLiteral("文字コード(&J): %1　項目: 引用符なし").arg(TextCodec::displayName(other)));
    QCOMPARE(w->panelText(Panel::FilePath), path);
}

void TestGuiSource::fieldModeMenuReopens() {
    // The same menu offers both field modes after the encodings, the one taken checked; the item
    // chosen opens the file again in it and in the encoding it was read in, with its columns.
    TestWindow w;
    w->show();
    const QString path = w.writeFile("data.csv", "\"a,b\",\x93\x8c\r\nx,\"y,\"\"z\"\"\"\r\n");
    w.platform.openAnswers << path;
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(w->store().fieldMode(), FieldMode::Quoted);
    QCOMPARE(w->commaCount(), 1);
    QCOMPARE(w.lvwOriginalData()->header()->count(), 2);
    QAbstractItemModel* model = w.lvwOriginalData()->model();
    QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("y,\"z\""));
    auto* panel = w.child<QLabel>("S_FilePath");
    QVERIFY2(panel->toolTip().contains(QStringLiteral("項目: 引用符付き")),
             qPrintable(panel->toolTip()));

    MenuSeen seen;
    const auto reopen = [&](int item) {
        reopenByPanelMenu(seen, panel, item);
        QTRY_VERIFY(!w->isBusy());
    };
    const QStringList modeItems = {QStringLiteral("引用符なし で開き直す"),
                                   QStringLiteral("引用符付き で開き直す")};
    reopen(3);
    QCOMPARE(seen.items.mid(3), modeItems);
    QCOMPARE(seen.checked.mid(3), (QList<bool>{false, true}));
    QCOMPARE(w->store().fieldMode(), FieldMode::Plain);
    QCOMPARE(w->store().encoding(), TextEncoding::Cp932);
    QCOMPARE(w->commaCount(), 2);
    QCOMPARE(w.lvwOriginalData()->header()->count(), 3);
    QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("\"y"));
    QVERIFY(panel->toolTip().contains(QStringLiteral("項目: 引用符なし")));
    // The mode is shown as text too, beside the encoding.
    QVERIFY(
        w.child<QToolButton>("cmdEncoding")->text().endsWith(QStringLiteral("項目: 引用符なし")));
    reopen(4);
    QCOMPARE(seen.items.mid(3), modeItems);
    QCOMPARE(seen.checked.mid(3), (QList<bool>{true, false}));
    QCOMPARE(w->store().fieldMode(), FieldMode::Quoted);
    QCOMPARE(w->commaCount(), 1);
    QCOMPARE(w->store().rowText(0), Cp932::decode("\"a,b\",\x93\x8c"));
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiSource::systemFolderIsNoStartFolder() {
    // A refused kernel file is remembered as the last name; the next dialog does not start there.
    TestWindow w;
    w.platform.openAnswers << QStringLiteral("/proc/self/status");
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w->dialog().FileName, QStringLiteral("/proc/self/status"));
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(w.platform.openDialogs.size(), 2);
    QCOMPARE(w.platform.openDialogs[1].fileName, QString());
    // An ordinary remembered name is offered again.
    const QString ordinary = w.writeFile("a.csv", "a,b\r\n");
    w.platform.openAnswers << ordinary;
    w->toolbarButton(Command::Open)->trigger();
    QTRY_VERIFY(!w->isBusy());
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(w.platform.openDialogs.size(), 4);
    QCOMPARE(w.platform.openDialogs[3].fileName, ordinary);
}

void TestGuiSource::skipAllAndTheEndMessage_data() {
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

void TestGuiSource::skipAllAndTheEndMessage() {
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

void TestGuiSource::headerLineOption() {
    // The option lives in the Open button's menu and is remembered; a file loaded with it keeps
    // line 1 apart as the header: never a row, never picked, the columns' names, Save's first line.
    TestWindow w;
    auto* option = w.child<QAction>(QStringLiteral("mnuHeaderLine"));
    QVERIFY(option);
    QCOMPARE(option->text(), QStringLiteral("1行目は見出し"));
    QVERIFY(option->isCheckable() && !option->isChecked());
    QVERIFY(w->toolbarButton(Command::Open)->menu()->actions().contains(option));
    const auto stored = [] {
        return mdlIniSet::GetIniString(QStringLiteral("Vornel Options"),
                                       QStringLiteral("HeaderLine"), mdlIniSet::IniFilePath());
    };
    QCOMPARE(stored(), QString());
    option->trigger(); // no file loaded: only remembered
    QVERIFY(option->isChecked());
    QCOMPARE(stored(), QStringLiteral("1"));
    QVERIFY(w.platform.openDialogs.isEmpty());

    const QByteArray header = Cp932::encode(QStringLiteral("番号,市区町村,人口")).bytes;
    const QByteArray rows = Cp932::encode(QStringLiteral("1,東京,9\r\n2,市区町村,5\r\n")).bytes;
    const QString path = w.writeFile("data.csv", header + "\r\n" + rows);
    w.platform.openAnswers = {path};
    w->runCommand(Command::Open);
    QCOMPARE(headers(*w), (QStringList{QStringLiteral("番号"), QStringLiteral("市区町村"),
                                       QStringLiteral("人口")}));
    QCOMPARE(sourceRows(*w),
             (QStringList{QStringLiteral("1,東京,9"), QStringLiteral("2,市区町村,5")}));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
    QCOMPARE(w->commaCount(), 2);

    // The typed column's name beside each list's column box.
    ConditionListControls& list = w->conditionList(ConditionList::InAND);
    QVERIFY(list.lblColumnName && list.lblColumnName->isVisibleTo(w.window.get()));
    QVERIFY(!list.lblColumnName->geometry().intersects(list.lvw->geometry()));
    list.txtNo->setText(QStringLiteral("2"));
    QCOMPARE(list.lblColumnName->text(), QStringLiteral("2 = 市区町村"));
    list.txtNo->setText(QStringLiteral("4"));
    QCOMPARE(list.lblColumnName->text(), QString());
    QCOMPARE(w->conditionList(ConditionList::OutOR).lblColumnName->text(), QString());

    // A phrase that is the header's own field: only the data row holding it is picked.
    list.txtNo->setText(QStringLiteral("2"));
    list.txtGoku->setText(QStringLiteral("市区町村"));
    list.cmdTuika->click();
    w->runCommand(Command::Start);
    QCOMPARE(w->resultModel()->count(), qint64(1));
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(1));
    const QString saved = w.dir.filePath(QStringLiteral("result.csv"));
    w.platform.saveAnswers = {saved};
    w->runCommand(Command::Save);
    QCOMPARE(readAll(saved),
             header + "\r\n" + Cp932::encode(QStringLiteral("2,市区町村,5\r\n")).bytes);

    // Remembered for the next start.
    {
        frmVNLMain next(&w.platform);
        QVERIFY(next.findChild<QAction*>(QStringLiteral("mnuHeaderLine"))->isChecked());
    }

    // Switched off, the open file is read again with line 1 as a row.
    option->trigger();
    QCOMPARE(stored(), QStringLiteral("0"));
    QCOMPARE(headers(*w), (QStringList{"1", "2", "3"}));
    QCOMPARE(sourceRows(*w).size(), 3);
    QCOMPARE(sourceRows(*w).first(), QStringLiteral("番号,市区町村,人口"));
    QVERIFY(!list.lblColumnName->isVisibleTo(w.window.get()));
    QVERIFY(w.platform.messages.isEmpty());
}

QTEST_MAIN(TestGuiSource)
#include "tst_gui_source.moc"
