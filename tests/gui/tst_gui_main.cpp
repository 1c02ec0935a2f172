// The main window itself: its controls, the start-up state, command dispatch and the job state.
#include "GuiTestSupport.h"

#include "base/CountText.h"

#include "conditions/ConditionListModel.h"
#include "progress/ProgressBar.h"
#include "results/ResultListModel.h"
#include "source/SourceTableModel.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

class TestGuiMain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandsAndPanelsAreFoundByTheirKeys();
    void conditionListControlsExist();
    void placesComeFromTwips();
    void startupState();
    void startupColumns();
    void accessKeysFollowTheToolbar_data();
    void accessKeysFollowTheToolbar();
    void accessKeysOutOfRangeDoNothing();
    void dropDownFacesRunTheirOwnCommand();
    void busyStateAllowsOnlyStopAndHelp();
    void closeIsRefusedWhileBusy();
    void startFollowsListsAndRows();
    void fileDialogFilterInQtForm_data();
    void fileDialogFilterInQtForm();
    void everyKeyReachesItsProcedure_data();
    void everyKeyReachesItsProcedure();
    void constructsWithTheRealPlatform();
    void listAreaShowsOneList_data();
    void listAreaShowsOneList();
    void emptyRangeShowsAnEmptyBar_data();
    void emptyRangeShowsAnEmptyBar();
};

void TestGuiMain::commandsAndPanelsAreFoundByTheirKeys() {
    TestWindow w;
    // Each command's action is the one its key names, so that a command looked up inside the
    // program and one found by name from outside are the same control.
    for (int i = 0; i < kCommandCount; ++i) {
        const Command command = Command(i);
        QAction* action =
            i < kToolbarButtonCount ? w->toolbarButton(command) : w->toolbarMenuItem(command);
        QVERIFY2(action, qPrintable(commandKey(command)));
        QCOMPARE(w.child<QAction>(commandKey(command)), action);
        // A button is not a menu item, nor the other way round.
        QVERIFY(
            !(i < kToolbarButtonCount ? w->toolbarMenuItem(command) : w->toolbarButton(command)));
    }
    // The buttons stand on the toolbar in the access keys' order; each drop-down holds its items.
    QList<QAction*> buttons;
    for (QAction* a : w.tlbMain()->actions())
        if (!a->isSeparator())
            buttons.append(a);
    QCOMPARE(buttons.size(), kToolbarButtonCount);
    for (int i = 0; i < kToolbarButtonCount; ++i)
        QCOMPARE(buttons[i], w->toolbarButton(kToolbarButtons[size_t(i)]));
    // (The Sort menu goes on with a separator and the "日本語順" option.)
    QCOMPARE(w->toolbarButton(Command::Sort)->menu()->actions().mid(0, 2),
             (QList<QAction*>{w->toolbarMenuItem(Command::SortAsc),
                              w->toolbarMenuItem(Command::SortDesc)}));
    QCOMPARE(w->toolbarButton(Command::Help)->menu()->actions(),
             (QList<QAction*>{w->toolbarMenuItem(Command::HelpHelp),
                              w->toolbarMenuItem(Command::HelpAbout)}));
    // Each panel's text is the text of the label its key names, left to right in the status bar.
    QList<QLabel*> labels;
    for (QLabel* l : w.child<QStatusBar>(QStringLiteral("sbrStatus"))->findChildren<QLabel*>())
        if (l->parentWidget()->objectName() == u"sbrStatus")
            labels.append(l);
    const Panel panels[kPanelCount] = {Panel::FilePath, Panel::Pickup, Panel::Original};
    std::sort(labels.begin(), labels.end(),
              [](const QLabel* a, const QLabel* b) { return a->x() < b->x(); });
    QCOMPARE(labels.size(), kPanelCount);
    for (int i = 0; i < kPanelCount; ++i) {
        QLabel* label = w.child<QLabel>(panelKey(panels[i]));
        QCOMPARE(label, labels[i]);
        w->setPanelText(panels[i], QStringLiteral("text %1").arg(i));
        QCOMPARE(label->text(), QStringLiteral("text %1").arg(i));
        QCOMPARE(w->panelText(panels[i]), label->text());
    }
}

void TestGuiMain::conditionListControlsExist() {
    TestWindow w;
    for (const char* s : {"InAND", "InOR", "OutAND", "OutOR"}) {
        const QString suffix = QString::fromLatin1(s);
        auto* no = w.child<QLineEdit>(QStringLiteral("txt") + suffix + QStringLiteral("No"));
        auto* goku = w.child<QLineEdit>(QStringLiteral("txt") + suffix + QStringLiteral("Goku"));
        QVERIFY(no && goku);
        QCOMPARE(no->toolTip(), QStringLiteral("対象となる列の番号を入力して下さい"));
        QCOMPARE(goku->toolTip(), QStringLiteral("リストに登録する語句を入力して下さい。"));
        // The column box's 2-character limit is the keyboard's only (tst_gui_condition_boxes).
        const QList<QPair<QString, QString>> buttons = {
            {QStringLiteral("Tuika"), QStringLiteral("追加")},
            {QStringLiteral("Sakujo"), QStringLiteral("削除")},
            {QStringLiteral("AllSakujo"), QStringLiteral("全削除")},
            {QStringLiteral("Open"), QStringLiteral("読込")},
            {QStringLiteral("Save"), QStringLiteral("保存")}};
        for (const auto& [name, caption] : buttons) {
            auto* b = w.child<QPushButton>(QStringLiteral("cmd") + suffix + name);
            QVERIFY2(b, qPrintable(suffix + name));
            QCOMPARE(b->text(), caption);
        }
        auto* lvw = w.child<QTreeView>(QStringLiteral("lvw") + suffix);
        QVERIFY(lvw);
        QCOMPARE(lvw->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("列"));
        QCOMPARE(lvw->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("語句"));
        QCOMPARE(lvw->header()->sectionSize(0), 23);  // 350 twips
        QCOMPARE(lvw->header()->sectionSize(1), 410); // 6150 twips
    }
    // Nine access keys, descending order and the Open button's menu.
    QCOMPARE(w->findChildren<QShortcut*>().size(), 11);
}

void TestGuiMain::placesComeFromTwips() {
    TestWindow w;
    QCOMPARE(w->size(), QSize(873, 554));  // 13095 x 8310 twips
    QCOMPARE(w->minimumSize(), w->size()); // the first size is the smallest
    QVERIFY(w->maximumSize().width() > w->width() && w->maximumSize().height() > w->height());
    QVERIFY(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    QCOMPARE(w.child<QWidget>(QStringLiteral("fraWordSet"))->geometry(), QRect(0, 40, 873, 185));
    QCOMPARE(w.child<QWidget>(QStringLiteral("Frame1"))->geometry(), QRect(8, 8, 425, 169));
    QCOMPARE(w.child<QWidget>(QStringLiteral("Frame2"))->geometry(), QRect(440, 8, 425, 169));
    QCOMPARE(w.child<QWidget>(QStringLiteral("lvwOriginalData"))->geometry(),
             QRect(8, 232, 857, 297));
    QCOMPARE(w.child<QWidget>(QStringLiteral("lvwPickupData"))->geometry(),
             QRect(8, 232, 857, 297));
    QCOMPARE(w.child<QWidget>(QStringLiteral("fraProgressbar"))->geometry(),
             QRect(8, 224, 857, 305));
    QCOMPARE(w.child<QWidget>(QStringLiteral("lblStatus"))->geometry(), QRect(32, 96, 793, 33));
    QCOMPARE(w.child<QWidget>(QStringLiteral("picProgressbar"))->geometry(),
             QRect(24, 144, 809, 17));
    QCOMPARE(w.child<QWidget>(QStringLiteral("cmdSend"))->geometry(), QRect(736, 8, 113, 25));
    // The progress bar fills its host.
    QCOMPARE(w->progressWindow()->parentWidget(),
             w.child<QWidget>(QStringLiteral("picProgressbar")));
    QCOMPARE(w->progressWindow()->size(), QSize(809, 17));
}

void TestGuiMain::startupState() {
    TestWindow w;
    for (Command key : {Command::Open, Command::Help})
        QVERIFY2(w.enabled(key), qPrintable(commandKey(key)));
    for (Command key : {Command::Save, Command::Print, Command::Start, Command::Stop,
                        Command::AllSelect, Command::Copy, Command::Sort})
        QVERIFY2(!w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(!w.child<QPushButton>(QStringLiteral("cmdSend"))->isEnabled());
    QVERIFY(w.child<QWidget>(QStringLiteral("fraWordSet"))->isEnabled());
    for (const char* s : {"InAND", "InOR", "OutAND", "OutOR"}) {
        const QString suffix = QString::fromLatin1(s);
        QVERIFY(!w.child<QPushButton>(QStringLiteral("cmd") + suffix + QStringLiteral("Tuika"))
                     ->isEnabled());
        QVERIFY(!w.child<QPushButton>(QStringLiteral("cmd") + suffix + QStringLiteral("Sakujo"))
                     ->isEnabled());
        QVERIFY(!w.child<QPushButton>(QStringLiteral("cmd") + suffix + QStringLiteral("Save"))
                     ->isEnabled());
        QVERIFY(w.child<QPushButton>(QStringLiteral("cmd") + suffix + QStringLiteral("AllSakujo"))
                    ->isEnabled());
        QVERIFY(w.child<QPushButton>(QStringLiteral("cmd") + suffix + QStringLiteral("Open"))
                    ->isEnabled());
    }
    QCOMPARE(w->panelText(Panel::FilePath), QString());
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(0));
    QVERIFY(w.child<QWidget>(QStringLiteral("fraProgressbar"))->isHidden());
    QVERIFY(!w->isBusy());
    QVERIFY(!QApplication::overrideCursor());
}

void TestGuiMain::startupColumns() {
    TestWindow w;
    auto* source = w.child<ListView>(QStringLiteral("lvwOriginalData"));
    QCOMPARE(source->model()->columnCount(), 1);
    QCOMPARE(source->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("ファイルの内容"));
    QCOMPARE(source->header()->sectionSize(0), source->header()->sectionSizeHint(0));
    QVERIFY(source->header()->sectionSize(0) > 0);
    auto* result = w.child<ListView>(QStringLiteral("lvwPickupData"));
    QCOMPARE(result->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("実行結果"));
    QCOMPARE(result->header()->sectionSize(0), 0);
}

void TestGuiMain::accessKeysFollowTheToolbar_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("command");
    QTest::addColumn<QKeySequence>("sequence");
    const Command commands[9] = {Command::Open,  Command::Save, Command::Print,
                                 Command::Start, Command::Stop, Command::AllSelect,
                                 Command::Copy,  Command::Sort, Command::Help};
    const char* letters = "OSPREACKH";
    for (int i = 0; i < 9; ++i)
        QTest::newRow(qPrintable(commandKey(commands[i])))
            << i << int(commands[i])
            << QKeySequence(QStringLiteral("Alt+") + QLatin1Char(letters[i]));
}

void TestGuiMain::accessKeysFollowTheToolbar() {
    QFETCH(int, index);
    QFETCH(int, command);
    QFETCH(QKeySequence, sequence);
    const Command key = Command(command);
    TestWindow w;
    auto* shortcut = w.child<QShortcut>(QStringLiteral("cmdAccessKey%1").arg(index));
    QVERIFY(shortcut);
    QCOMPARE(shortcut->key(), sequence);

    // Stop is the one command whose effect needs nothing else: it raises the stop flag.
    if (key == Command::Stop) {
        w->cmdAccessKey_Click(index);
        QVERIFY(!w->stopRequested()); // disabled while idle
        w->myControlsDisable();
        w->cmdAccessKey_Click(index);
        QVERIFY(w->stopRequested());
        w->myControlsEnable();
    }
    // With the button disabled nothing reaches a dialog or the clipboard.
    w->toolbarButton(key)->setEnabled(false);
    w->cmdAccessKey_Click(index);
    QCOMPARE(w.platform.openDialogs.size(), 0);
    QCOMPARE(w.platform.saveDialogs.size(), 0);
    QCOMPARE(w.platform.clipboardWrites, 0);
    QCOMPARE(w.platform.messages.size(), 0);
    QCOMPARE(w.platform.openedUrls.size(), 0);
}

void TestGuiMain::accessKeysOutOfRangeDoNothing() {
    TestWindow w;
    w->cmdAccessKey_Click(-1);
    w->cmdAccessKey_Click(9);
    QCOMPARE(w.platform.openDialogs.size(), 0);
    QVERIFY(!w->stopRequested());
    QVERIFY(!w->isBusy());
}

void TestGuiMain::dropDownFacesRunTheirOwnCommand() {
    TestWindow w;
    for (Command key : {Command::Sort, Command::Help}) {
        QAction* action = w->toolbarButton(key);
        QVERIFY(action->menu());
        auto* button = qobject_cast<QToolButton*>(w.tlbMain()->widgetForAction(action));
        QVERIFY(button);
        QCOMPARE(button->popupMode(), QToolButton::MenuButtonPopup);
    }
    // Ascending, descending, a separator, "日本語順".
    QCOMPARE(w->toolbarButton(Command::Sort)->menu()->actions().size(), 4);
    QVERIFY(w->toolbarMenuItem(Command::SortDesc));
    QVERIFY(w->toolbarMenuItem(Command::HelpAbout));
}

void TestGuiMain::busyStateAllowsOnlyStopAndHelp() {
    TestWindow w;
    w->show();
    w->myControlsDisable();
    QVERIFY(w->isBusy());
    for (Command key : {Command::Stop, Command::Help})
        QVERIFY2(w.enabled(key), qPrintable(commandKey(key)));
    for (Command key : {Command::Open, Command::Save, Command::Print, Command::Start,
                        Command::AllSelect, Command::Copy, Command::Sort})
        QVERIFY2(!w.enabled(key), qPrintable(commandKey(key)));
    QVERIFY(!w.child<QWidget>(QStringLiteral("fraWordSet"))->isEnabled());
    QVERIFY(!w.child<QWidget>(QStringLiteral("cmdSend"))->isEnabled());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QVERIFY(!(w->windowHandle()->flags() & Qt::WindowCloseButtonHint));

    // Alt + O is ignored while busy.
    w->cmdAccessKey_Click(0);
    QCOMPARE(w.platform.openDialogs.size(), 0);

    w->myControlsEnable();
    QVERIFY(!w->isBusy());
    QVERIFY(w.enabled(Command::Open));
    QVERIFY(!w.enabled(Command::Stop));
    QVERIFY(w.child<QWidget>(QStringLiteral("fraWordSet"))->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(w->windowHandle()->flags() & Qt::WindowCloseButtonHint);
    // The result commands stay off.
    QVERIFY(!w.enabled(Command::Save));
    QVERIFY(!w.child<QWidget>(QStringLiteral("cmdSend"))->isEnabled());
}

void TestGuiMain::closeIsRefusedWhileBusy() {
    TestWindow w;
    w->show();
    w->myControlsDisable();
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    w->myControlsEnable();
    QVERIFY(w->close());
}

void TestGuiMain::startFollowsListsAndRows() {
    TestWindow w;
    auto& outOr = w->conditionList(ConditionList::OutOR);
    outOr.model->appendEntry({QStringLiteral("0"), QStringLiteral("x")});
    w->myStartCheck();
    QVERIFY(!w.enabled(Command::Start)); // no rows yet
    w->store().reset(0);
    w->store().appendLine(u"abc");
    w->myStartCheck();
    QVERIFY(w.enabled(Command::Start));
    outOr.model->clear();
    w->myStartCheck();
    QVERIFY(!w.enabled(Command::Start));
}

void TestGuiMain::fileDialogFilterInQtForm_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("data file") << "*.csv;*.txt|*.csv;*.txt|全ファイル|*.*|"
                               << "*.csv;*.txt (*.csv *.txt);;全ファイル (*)";
    // An entry whose text is its one pattern reads as that pattern alone.
    QTest::newRow("list file") << "*.csv|*.csv|"
                               << "*.csv";
    QTest::newRow("result file") << "*.csv|*.csv|*.txt|*.txt|*.xls|*.xls|"
                                 << "*.csv;;*.txt;;*.xls";
    QTest::newRow("text other than its pattern") << "テキスト|*.txt|"
                                                 << "テキスト (*.txt)";
}

void TestGuiMain::fileDialogFilterInQtForm() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(CommonDialog::toQtFilter(filter), qt);
}

void TestGuiMain::everyKeyReachesItsProcedure_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("route");
    for (Command key : {Command::Open, Command::Save, Command::Print, Command::Start, Command::Stop,
                        Command::AllSelect, Command::Copy, Command::Sort, Command::Help}) {
        QTest::newRow(qPrintable(commandKey(key) + " button")) << int(key) << "button";
        QTest::newRow(qPrintable(commandKey(key) + " access key")) << int(key) << "access key";
    }
    for (Command key : {Command::SortAsc, Command::SortDesc, Command::HelpHelp, Command::HelpAbout})
        QTest::newRow(qPrintable(commandKey(key) + " item")) << int(key) << "item";
}

// Each command is recognised by what its procedure does: a dialog asked for, a message shown,
// rows picked, sorted or copied.
void TestGuiMain::everyKeyReachesItsProcedure() {
    QFETCH(int, command);
    QFETCH(QString, route);
    const Command key = Command(command);
    TestWindow w;
    // Three source rows, an entry that keeps all of them, and a completed pickup's result.
    w->store().reset(1);
    for (const char16_t* line : {u"b,2", u"c,3", u"a,1"})
        w->store().appendLine(QStringView(line));
    w->sourceModel()->refresh();
    w->setPanelText(Panel::Original, CountText::sourceRows(3));
    w->setCommaCount(1);
    w->conditionList(ConditionList::InAND)
        .model->appendEntry({QStringLiteral("0"), QStringLiteral(",")});
    w->resultModel()->setRows({0, 1, 2});
    for (Command k : {Command::Save, Command::Print, Command::Start, Command::AllSelect,
                      Command::Copy, Command::Sort})
        w->toolbarButton(k)->setEnabled(true);
    if (key == Command::Stop)
        w->toolbarButton(key)->setEnabled(true);

    QString aboutSeen;
    if (key == Command::HelpAbout)
        onNextModal([&aboutSeen](QWidget* dialog) {
            aboutSeen = dialog->objectName();
            dialog->close();
        });

    const QList<Command> accessKeys = {Command::Open,  Command::Save, Command::Print,
                                       Command::Start, Command::Stop, Command::AllSelect,
                                       Command::Copy,  Command::Sort, Command::Help};
    if (route == u"button")
        w->toolbarButton(key)->trigger();
    else if (route == u"access key")
        w->cmdAccessKey_Click(int(accessKeys.indexOf(key)));
    else
        w->toolbarMenuItem(key)->trigger();

    auto texts = [&w] {
        QStringList t;
        for (qint64 i = 0; i < w->resultModel()->count(); ++i)
            t << w->resultModel()->rowText(i);
        return t;
    };
    if (key == Command::Open) {
        QCOMPARE(w.platform.openDialogs.size(), 1);
    } else if (key == Command::Save) {
        QCOMPARE(w.platform.saveDialogs.size(), 1);
    } else if (key == Command::Print) {
        QCOMPARE(w.platform.messages.size(), 1); // the test platform has no printer
        QCOMPARE(w.platform.messages.first().title, QStringLiteral("Vornel"));
    } else if (key == Command::Start) {
        QCOMPARE(texts(), (QStringList{QStringLiteral("b,2"), QStringLiteral("c,3"),
                                       QStringLiteral("a,1")}));
        QVERIFY(!w->isBusy());
    } else if (key == Command::Stop) {
        QVERIFY(w->stopRequested());
    } else if (key == Command::AllSelect) {
        QCOMPARE(w.lvwPickupData()->selectionModel()->selectedRows().size(), 3);
    } else if (key == Command::Copy) {
        QCOMPARE(w.platform.clipboardWrites, 1);
    } else if (key == Command::Sort || key == Command::SortAsc) {
        QCOMPARE(texts(), (QStringList{QStringLiteral("a,1"), QStringLiteral("b,2"),
                                       QStringLiteral("c,3")}));
    } else if (key == Command::SortDesc) {
        QCOMPARE(texts(), (QStringList{QStringLiteral("c,3"), QStringLiteral("b,2"),
                                       QStringLiteral("a,1")}));
    } else if (key == Command::Help || key == Command::HelpHelp) {
        // No help document in the test's program folder.
        QCOMPARE(w.platform.messages.size(), 1);
        QVERIFY(w.platform.messages.first().prompt.startsWith(
            QStringLiteral("次のファイルが見つかりません。")));
    } else if (key == Command::HelpAbout) {
        QCOMPARE(aboutSeen, QStringLiteral("frmVNLAbout"));
    }
}

void TestGuiMain::constructsWithTheRealPlatform() {
    // The window made as the program makes it, with the desktop's own dialogs behind it.
    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    {
        frmVNLMain window;
        QVERIFY(window.toolbarButton(Command::Open)->isEnabled());
        QVERIFY(window.dialog().FileName.isEmpty());
    }
    AppPaths::setProgramFolder(QString());
}

void TestGuiMain::listAreaShowsOneList_data() {
    QTest::addColumn<QString>("after"); // what happened since the start
    QTest::addColumn<bool>("resultsShown");
    QTest::newRow("start") << "" << false;
    QTest::newRow("a pickup") << "pickup" << true;
    QTest::newRow("a load after a pickup") << "pickup, load" << false;
}

void TestGuiMain::listAreaShowsOneList() {
    QFETCH(QString, after);
    QFETCH(bool, resultsShown);
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QString data = w.writeFile(QStringLiteral("d.csv"), "a,1\r\nb,2\r\n");
    if (after.contains(u"pickup")) {
        w->myFileOpen(data);
        w->conditionList(ConditionList::InAND).model->appendEntry({"0", "a"});
        w->myStartCheck();
        w->myPickupStart();
    }
    if (after.contains(u"load"))
        w->myFileOpen(data);
    // The hidden list is out of reach: Tab skips it, so its Ctrl+C cannot empty the clipboard.
    QCOMPARE(w.lvwPickupData()->isVisibleTo(w.window.get()), resultsShown);
    QCOMPARE(w.lvwOriginalData()->isVisibleTo(w.window.get()), !resultsShown);
}

void TestGuiMain::emptyRangeShowsAnEmptyBar_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("position");
    QTest::newRow("0 to 0") << 0 << 0 << 0;
    QTest::newRow("0 to 0, a position past it") << 0 << 0 << 5;
    QTest::newRow("7 to 7") << 7 << 7 << 7;
}

void TestGuiMain::emptyRangeShowsAnEmptyBar() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, position);
    TestWindow w;
    QProgressBar* bar = w->progressWindow();
    QVERIFY(bar);
    // How an empty bar looks: a range with room in it, at its start.
    mProgress::ProgressSetRange(bar, 0, 1);
    mProgress::ProgressSetPos(bar, 0);
    const QImage empty = bar->grab().toImage();
    mProgress::ProgressSetRange(bar, low, high);
    mProgress::ProgressSetPos(bar, position);
    QCOMPARE(bar->minimum(), low);
    QCOMPARE(bar->maximum(), high);
    QCOMPARE(bar->grab().toImage(), empty);
    QTest::qWait(50); // no moving block shows up later either
    QCOMPARE(bar->grab().toImage(), empty);
}

QTEST_MAIN(TestGuiMain)
#include "tst_gui_main.moc"
