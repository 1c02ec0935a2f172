// Help, About and the transfer of the result rows to Zelvo, driven through the real window.
#include "GuiTestSupport.h"

#include "StoreLines.h"
#include "TestFiles.h"
#include "base/CountText.h"

#include "base/Cp932.h"
#include "main_window/QtPlatform.h"
#include "results/ResultListModel.h"
#include "shell/VersionText.h"
#include "shell/frmVNLAbout.h"
#include "source/SourceTableModel.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStringDecoder>
#include <QTreeView>

#include <numeric>

namespace {

const QString kDone = QStringLiteral("Vornel の実行結果をZelvoに送りました｡");
const Command kResultCommands[] = {Command::Save, Command::Print, Command::AllSelect, Command::Copy,
                                   Command::Sort};

// Puts rows into the source table and all of them, in that order, into the result list, and
// leaves the window as a completed pickup leaves it: result commands on, result list shown.
void showResults(TestWindow& w, const QStringList& rows, int commaCount) {
    w->setCommaCount(commaCount);
    fillStore(w->store(), rows, commaCount);
    w->sourceModel()->refresh();
    std::vector<std::uint32_t> picked(size_t(rows.size()));
    std::iota(picked.begin(), picked.end(), 0u);
    w->resultModel()->setRows(std::move(picked));
    w->setPanelText(Panel::Original, CountText::sourceRows(rows.size()));
    w->setPanelText(Panel::Pickup, CountText::pickedRows(rows.size()));
    for (Command key : kResultCommands)
        w->toolbarButton(key)->setEnabled(true);
    w.cmdSend()->setEnabled(true);
    w.lvwOriginalData()->hide();
    w.lvwPickupData()->show();
}

QString transferPath(const TestWindow& w) {
    return w.dir.filePath(QStringLiteral("zelvo_transfer.txt"));
}

// What the window looked like at the moment the completion (or error) message was shown.
struct AtMessage {
    bool seen = false;
    bool busy = false;
    bool progressVisible = true;
    bool pickupVisible = false;
    bool originalVisible = true;
    bool stopEnabled = true;
    int rangeLow = -1;
    int rangeHigh = -1;
    QByteArray file;
};

void recordAtMessage(TestWindow& w, AtMessage& at) {
    w.platform.onMessage = [&w, &at](const ScriptedPlatform::Message& m) {
        at.seen = true;
        at.busy = w->isBusy();
        at.progressVisible = w.fraProgressbar()->isVisibleTo(w.window.get());
        at.pickupVisible = w.lvwPickupData()->isVisibleTo(w.window.get());
        at.originalVisible = w.lvwOriginalData()->isVisibleTo(w.window.get());
        at.stopEnabled = w.enabled(Command::Stop);
        at.rangeLow = w->progressWindow()->minimum();
        at.rangeHigh = w->progressWindow()->maximum();
        at.file = readAll(transferPath(w));
        return (m.style & 0x0F) == Platform::YesNo ? Platform::Yes : Platform::OK;
    };
}

void verifyIdleAfterTransfer(TestWindow& w) {
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(w.enabled(Command::Help));
    QVERIFY(!w.enabled(Command::Stop));
    for (Command key : kResultCommands)
        QVERIFY2(!w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(!w.cmdSend()->isEnabled());
    QVERIFY(w.fraWordSet()->isEnabled());
    QVERIFY(!w.fraProgressbar()->isVisibleTo(w.window.get()));
    QVERIFY(w.lvwPickupData()->isVisibleTo(w.window.get()));
    QVERIFY(!w.lvwOriginalData()->isVisibleTo(w.window.get()));
}

} // namespace

class TestGuiShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helpDocumentMissing_data();
    void helpDocumentMissing();
    void helpDocumentOpened();
    void helpDocumentWithoutAssociation();
    void helpDocumentShippedBesideTheProgram();

    void aboutDialog();
    void aboutCentredOnTheMainWindowNearTheScreenEdge();

    void transferAfterSort();
    void transferWithNoRows();
    void transferShowsProgressWhileWriting();
    void resultCommandsOffAfterTransferButContextMenuWorks();
    void transferWriteFailureShowsError();
    void shutDownLeavesHandOverFileUntouched();

    void aboutShowsTheWholeNotice_data();
    void aboutShowsTheWholeNotice();
    void qtTextsAreJapanese_data();
    void qtTextsAreJapanese();
};

void TestGuiShell::helpDocumentMissing_data() {
    QTest::addColumn<QString>("route");
    QTest::newRow("help button") << "M_Help";
    QTest::newRow("help item") << "M_HelpHelp";
    QTest::newRow("Alt+H") << "Alt+H";
}

void TestGuiShell::helpDocumentMissing() {
    QFETCH(QString, route);
    TestWindow w;
    if (route == u"Alt+H")
        w->cmdAccessKey_Click(8);
    else if (route == u"M_Help")
        w->tlbMain_ButtonClick(Command::Help);
    else
        w->tlbMain_ButtonMenuClick(Command::HelpHelp);

    const QString path = w.dir.path() + QStringLiteral("/vornel.txt");
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             QStringLiteral("次のファイルが見つかりません。\n\n") + QDir::toNativeSeparators(path));
    QCOMPARE(w.platform.messages[0].style, 0);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
    QVERIFY(w.platform.openedUrls.isEmpty());
}

void TestGuiShell::helpDocumentOpened() {
    TestWindow w;
    const QString path = w.writeFile(QStringLiteral("vornel.txt"), "help\r\n");
    w->tlbMain_ButtonClick(Command::Help);
    QCOMPARE(w.platform.openedUrls, QList<QUrl>{QUrl::fromLocalFile(path)});
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiShell::helpDocumentWithoutAssociation() {
    TestWindow w;
    const QString path = w.writeFile(QStringLiteral("vornel.txt"), "help\n");
    w.platform.openUrlSucceeds = false; // no viewer for text files on this desktop
    w->myHelp();
    QCOMPARE(w.platform.openedUrls, QList<QUrl>{QUrl::fromLocalFile(path)});
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt,
             QStringLiteral("次のファイルを開くプログラムが見つかりません。\n"
                            "テキストエディターなどで直接開いてください。\n\n") +
                 QDir::toNativeSeparators(path));
    QCOMPARE(w.platform.messages[0].style, 0);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
}

void TestGuiShell::helpDocumentShippedBesideTheProgram() {
    // The build puts the help document beside the programs it builds, this test included: UTF-8
    // without a byte-order mark and with LF line ends, as a Linux viewer reads it best.
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/vornel.txt");
    const QByteArray bytes = readAll(path);
    QVERIFY2(bytes.size() > 1000, qPrintable(path));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith("\n"));
    QVERIFY(!bytes.contains('\r'));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(text.toUtf8() == bytes); // and back, byte for byte
    // It tells of what the program does now, in the program's own words.
    for (const char* needle : {"Vornel",
                               "AND",
                               "OR",
                               "NOT AND",
                               "NOT OR",
                               "パターン",
                               "リスト",
                               "zelvo_transfer.txt",
                               "保存",
                               "ソート",
                               "UTF-8",
                               "シフトJIS",
                               "文字コード",
                               "引用符付き",
                               "引用符なし",
                               "1行目は見出し",
                               "読込中止",
                               "以降すべてスキップ",
                               "停止",
                               "vornel --pick",
                               "--header",
                               "--fields",
                               "--encoding",
                               "--output",
                               "条件セットを読込...",
                               "条件セットを保存...",
                               "--set",
                               "NOTAND,",
                               "NOTOR,",
                               "印刷",
                               "1 / 3",
                               "ヘルプ"})
        QVERIFY2(text.contains(QString::fromUtf8(needle)), needle);
    // No line is wider than a plain-text viewer's usual 80 columns (a full-width character
    // counts two).
    for (const QString& line : text.split(u'\n')) {
        int columns = 0;
        for (const QChar c : line)
            columns +=
                c.unicode() < 0x1100 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F) ? 1 : 2;
        QVERIFY2(columns <= 80, qPrintable(line));
    }
}

void TestGuiShell::aboutDialog() {
    TestWindow w;
    bool checked = false;
    auto checks = [&](QWidget* modal) {
        auto* about = qobject_cast<frmVNLAbout*>(modal);
        QVERIFY(about);
        QVERIFY(about->isModal());
        QCOMPARE(about->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(about->size(), QSize(4095 / 15, 3150 / 15));
        QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(),
                 VersionText(VORNEL_VERSION_MAJOR, VORNEL_VERSION_MINOR));
        QCOMPARE(about->findChild<QLabel*>("lblKomento")->text(),
                 QStringLiteral("このソフトは、フリーソフトです"));
        QVERIFY(!about->findChild<QLabel*>("lblCopyright")->text().isEmpty());
        QVERIFY(about->findChild<QLabel*>("picIcon")->pixmap().width() > 0);
        QVERIFY(about->findChild<QGroupBox*>("fraSoftZyoho"));
        auto* close = about->findChild<QPushButton*>("cmdClose");
        QCOMPARE(close->text(), QStringLiteral("閉じる(&C)"));
        QCOMPARE(close->geometry(), QRect(1200 / 15, 2520 / 15, 1455 / 15, 375 / 15));
        QCOMPARE(about->findChild<QLabel*>("lblVersion")->geometry().top(), 480 / 15);

        auto* mail = about->findChild<QPushButton*>("cmdMyMail");
        auto* home = about->findChild<QPushButton*>("cmdMyHomepage");
        QVERIFY(!mail->text().isEmpty());
        QVERIFY(!home->text().isEmpty());
        mail->click();
        home->click();
        QCOMPARE(w.platform.openedUrls.size(), 2);
        QCOMPARE(w.platform.openedUrls[0], QUrl(QStringLiteral("mailto:") + mail->text()));
        QCOMPARE(w.platform.openedUrls[1], QUrl(home->text()));
        QVERIFY(about->isVisible()); // the address buttons leave it open
        checked = true;
        close->click();
    };
    onNextModal([&](QWidget* modal) {
        checks(modal);
        modal->close(); // also when a check failed, so that the test goes on
    });
    w->tlbMain_ButtonMenuClick(Command::HelpAbout);
    QVERIFY(checked);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiShell::aboutCentredOnTheMainWindowNearTheScreenEdge() {
    TestWindow w;
    w->move(-250, -120); // partly off the screen's top left corner
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QRect main = w->frameGeometry();

    QRect aboutFrame;
    onNextModal([&](QWidget* modal) {
        aboutFrame = modal->frameGeometry();
        modal->close();
    });
    w->myAbout();
    QVERIFY(aboutFrame.isValid());
    // Centres agree to within the rounding of half a pixel; nothing is pushed back on screen.
    const double mainX = main.x() + main.width() / 2.0;
    const double mainY = main.y() + main.height() / 2.0;
    const double aboutX = aboutFrame.x() + aboutFrame.width() / 2.0;
    const double aboutY = aboutFrame.y() + aboutFrame.height() / 2.0;
    QVERIFY2(qAbs(mainX - aboutX) <= 0.5, qPrintable(QString::number(aboutX - mainX)));
    QVERIFY2(qAbs(mainY - aboutY) <= 0.5, qPrintable(QString::number(aboutY - mainY)));
    QVERIFY(aboutFrame.top() < 100);
}

void TestGuiShell::transferAfterSort() {
    TestWindow w;
    showResults(w, {QStringLiteral("b,2"), QStringLiteral("c,表"), QStringLiteral("a,1")}, 1);
    w->mySortAsc();
    QCOMPARE(resultTexts(w),
             (QStringList{QStringLiteral("a,1"), QStringLiteral("b,2"), QStringLiteral("c,表")}));

    AtMessage at;
    recordAtMessage(w, at);
    QTest::mouseClick(w.cmdSend(), Qt::LeftButton);

    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt, kDone);
    QCOMPARE(w.platform.messages[0].style, 0);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("完了"));
    // The message comes after the list is back and the panel is gone, still in the busy state.
    QVERIFY(at.seen);
    QVERIFY(at.busy);
    QVERIFY(!at.progressVisible);
    QVERIFY(at.pickupVisible);
    QVERIFY(!at.originalVisible);
    QVERIFY(!at.stopEnabled);
    QCOMPARE(at.rangeLow, 0);
    QCOMPARE(at.rangeHigh, 3);
    QCOMPARE(at.file, QByteArray("a,1\r\nb,2\r\nc,\x95\x5c\r\n"));

    QCOMPARE(readAll(transferPath(w)), QByteArray("a,1\r\nb,2\r\nc,\x95\x5c\r\n"));
    verifyIdleAfterTransfer(w);
    // The result rows are neither changed nor cleared.
    QCOMPARE(resultTexts(w),
             (QStringList{QStringLiteral("a,1"), QStringLiteral("b,2"), QStringLiteral("c,表")}));
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(3));
}

void TestGuiShell::transferWithNoRows() {
    TestWindow w;
    showResults(w, {}, 0);
    // An earlier hand-over file is replaced by the empty result.
    w.writeFile(QStringLiteral("zelvo_transfer.txt"), "earlier\r\n");
    AtMessage at;
    recordAtMessage(w, at);
    w.cmdSend()->click();

    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt, kDone);
    QCOMPARE(w.platform.messages[0].style, 0);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("完了"));
    QCOMPARE(at.rangeLow, 0);
    QCOMPARE(at.rangeHigh, 0);
    QVERIFY(QFile::exists(transferPath(w)));
    QCOMPARE(readAll(transferPath(w)), QByteArray());
    verifyIdleAfterTransfer(w);
}

void TestGuiShell::transferShowsProgressWhileWriting() {
    TestWindow w;
    w->setJobSliceMs(0); // let the event loop turn at every chance the transfer gives it
    const int rows = 20000;
    QStringList lines;
    lines.reserve(rows);
    for (int i = 0; i < rows; ++i)
        lines.append(QStringLiteral("%1,山田 太郎,東京都千代田区丸の内一丁目,%2")
                         .arg(i, 7, 10, QLatin1Char('0'))
                         .arg(QString(30, u'x')));
    showResults(w, lines, 3);
    w.platform.onMessage = [](const ScriptedPlatform::Message&) { return int(Platform::OK); };

    // Samples the window whenever the transfer lets the event loop turn.
    struct Sample {
        QString status;
        bool panel, lists, stop, busy;
        int low, high, value;
    };
    QList<Sample> samples;
    QTimer sampler;
    sampler.setInterval(0);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        QProgressBar* bar = w->progressWindow();
        samples.append({w.lblStatus()->text(), w.fraProgressbar()->isVisibleTo(w.window.get()),
                        w.lvwOriginalData()->isVisibleTo(w.window.get()) ||
                            w.lvwPickupData()->isVisibleTo(w.window.get()),
                        w.enabled(Command::Stop), w->isBusy(), bar->minimum(), bar->maximum(),
                        bar->value()});
    });
    sampler.start();
    w.cmdSend()->click();
    sampler.stop();

    // While the rows are written: the panel with its text covers the hidden lists, Stop is off,
    // and the bar moves within 0 .. the row count.
    QList<Sample> writing;
    for (const Sample& s : samples)
        if (s.busy && !s.lists)
            writing.append(s);
    QVERIFY2(!writing.isEmpty(), "the transfer never let the event loop turn");
    for (const Sample& s : writing) {
        QCOMPARE(s.status, QStringLiteral("ピックアップデータ転送中..."));
        QVERIFY(s.panel);
        QVERIFY(!s.stop);
        QCOMPARE(s.low, 0);
        QCOMPARE(s.high, rows);
        QVERIFY(s.value >= 0 && s.value <= rows);
    }
    QVERIFY(writing.last().value > 0);
    QCOMPARE(w->progressWindow()->value(), rows);

    const QByteArray bytes = readAll(transferPath(w));
    QCOMPARE(bytes.count("\r\n"), qsizetype(rows));
    QVERIFY(bytes.startsWith(Cp932::encode(lines.first() + QStringLiteral("\r\n")).bytes));
    QVERIFY(bytes.endsWith(Cp932::encode(lines.last() + QStringLiteral("\r\n")).bytes));
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt, kDone);
}

void TestGuiShell::resultCommandsOffAfterTransferButContextMenuWorks() {
    TestWindow w;
    showResults(w, {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")}, 0);
    w.cmdSend()->click();
    verifyIdleAfterTransfer(w);

    // Alt + letter reaches none of the result commands now.
    w->cmdAccessKey_Click(6); // Alt+C, copy
    QCOMPARE(w.platform.clipboardWrites, 0);
    w->cmdAccessKey_Click(7); // Alt+K, sort
    QCOMPARE(resultTexts(w),
             (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")}));

    // The context menu does not follow the toolbar: a right click still offers it ...
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    bool menuShown = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QApplication::activePopupWidget() == w.mnuPopup()) {
            menuShown = true;
            w.mnuPopup()->close();
            poll.stop();
        }
    });
    poll.start();
    QTest::mousePress(w.lvwPickupData()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(w.lvwPickupData()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QTRY_VERIFY2(menuShown, "a right click on the result list showed no mnuPopup");
    poll.stop();

    // ... and its items still sort, select and copy.
    w.mnuPopupSortDesc()->trigger();
    QCOMPARE(resultTexts(w),
             (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
    w.mnuPopupAllSelect()->trigger();
    QCOMPARE(w.lvwPickupData()->selectionModel()->selectedRows().size(), 3);
    w.mnuPopupCopy()->trigger();
    QCOMPARE(w.platform.clipboardWrites, 1);
    QCOMPARE(w.platform.clipboard, QStringLiteral("c\r\nb\r\na"));
}

void TestGuiShell::transferWriteFailureShowsError() {
    TestWindow w;
    showResults(w, {QStringLiteral("a,1"), QStringLiteral("b,2")}, 1);
    // A folder standing where the hand-over file belongs cannot be replaced by a file.
    QVERIFY(QDir(w.dir.path()).mkdir(QStringLiteral("zelvo_transfer.txt")));
    AtMessage at;
    recordAtMessage(w, at);
    w.cmdSend()->click();

    QCOMPARE(w.platform.messages.size(), 1); // the error, and no completion message
    const ScriptedPlatform::Message& m = w.platform.messages[0];
    QCOMPARE(m.style, 16);
    QCOMPARE(m.title, QStringLiteral("エラー"));
    QVERIFY2(m.prompt.contains(QDir::toNativeSeparators(transferPath(w))), qPrintable(m.prompt));
    QVERIFY(m.prompt != kDone);
    // The prompt names the reason on a line of its own after the path.
    const QStringList lines = m.prompt.split(u'\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(!lines[2].trimmed().isEmpty());

    // The rest of the flow is the same as after a hand-over.
    QVERIFY(at.busy);
    QVERIFY(!at.progressVisible);
    QVERIFY(at.pickupVisible);
    verifyIdleAfterTransfer(w);
    QCOMPARE(resultTexts(w), (QStringList{QStringLiteral("a,1"), QStringLiteral("b,2")}));
}

void TestGuiShell::shutDownLeavesHandOverFileUntouched() {
    {
        TestWindow w;
        showResults(w, {QStringLiteral("new,row")}, 1);
        const QString path = w.writeFile(QStringLiteral("zelvo_transfer.txt"), "earlier\r\n");
        const QDateTime modified = QFileInfo(path).lastModified();
        QVERIFY(w->close());
        QCOMPARE(readAll(path), QByteArray("earlier\r\n"));
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QVERIFY(w.platform.messages.isEmpty());
    }
    {
        // Without an earlier file, shut-down creates none.
        TestWindow w;
        showResults(w, {QStringLiteral("new,row")}, 1);
        QVERIFY(w->close());
        QVERIFY(!QFile::exists(transferPath(w)));
    }
}

void TestGuiShell::aboutShowsTheWholeNotice_data() {
    QTest::addColumn<QString>("notice"); // empty: the one the program is built with
    QTest::newRow("built-in") << QString();
    QTest::newRow("short") << "(C) 2026 Vornel";
    QTest::newRow("a little too long") << "Copyright (C) 2026-2027 The Vornel developers";
    QTest::newRow("much too long")
        << "Copyright (C) 2026, 2027, 2028 The Vornel developers and contributors, all rights "
           "reserved";
}

void TestGuiShell::aboutShowsTheWholeNotice() {
    QFETCH(QString, notice);
    ScriptedPlatform platform;
    frmVNLAbout about(platform);
    if (!notice.isEmpty())
        about.setCopyright(notice);
    QLabel* label = about.lblCopyright;
    QVERIFY(!label->text().isEmpty());
    if (!notice.isEmpty())
        QCOMPARE(label->text(), notice);
    const QRect room = label->contentsRect();
    const QFontMetrics metrics(label->font());
    if (label->wordWrap()) {
        const QRect needed =
            metrics.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, label->text());
        QVERIFY2(room.contains(needed), qPrintable(label->text()));
    } else {
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= room.width(),
                 qPrintable(label->text()));
        QVERIFY(label->font().pointSizeF() >= 7);
    }
    // It covers neither the version line nor the mail button.
    QVERIFY(!label->geometry().intersects(about.lblVersion->geometry()));
    QVERIFY(!label->geometry().intersects(about.cmdMyMail->geometry()));
}

void TestGuiShell::qtTextsAreJapanese_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("buttons"); // texts some button of the dialog shows
    QTest::newRow("question") << "question" << QStringList{"はい", "いいえ"};
    QTest::newRow("open") << "open" << QStringList{"開く", "キャンセル"};
    QTest::newRow("save") << "save" << QStringList{"保存", "キャンセル"};
}

void TestGuiShell::qtTextsAreJapanese() {
    QFETCH(QString, dialog);
    QFETCH(QStringList, buttons);
    TestWindow w; // the program's window speaks Japanese, Qt's own texts included
    QtPlatform platform;
    QStringList seen;
    onNextModal([&](QWidget* modal) {
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>())
            if (b->isVisible())
                seen << b->text();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->reject();
        else if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
    });
    if (dialog == u"question")
        platform.messageBox(w.window.get(), QStringLiteral("?"), 36, QStringLiteral("t"));
    else if (dialog == u"open")
        platform.openFileName(w.window.get(), QStringLiteral("*.csv"), w.dir.filePath("a.csv"));
    else
        platform.saveFileName(w.window.get(), QStringLiteral("*.csv"), w.dir.filePath("a.csv"),
                              true, nullptr);
    for (const QString& text : buttons) {
        bool found = false;
        for (const QString& s : seen)
            found = found || s.contains(text);
        QVERIFY2(found, qPrintable(seen.join(u'|')));
    }
}

QTEST_MAIN(TestGuiShell)
#include "tst_gui_shell.moc"
