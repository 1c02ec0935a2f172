// The Open command through the real window: loading, Stop, failures, files given on the command
// line or dropped, and the header-line option.
#include "GuiSourceSupport.h"
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

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>

#include <QTreeView>

namespace {

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

} // namespace

class TestGuiSource : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openShowsTheFilterAndCancelChangesNothing();
    void badLinesTwoAndFive();
    void stopDuringALoad();
    void stopAfterTheLastReadSliceOpensNoDialog();
    void outOfMemoryWhileLoading();
    void secondFileAfterAPickup();
    void unreadableFile_data();
    void unreadableFile();
    void emptyFile();
    void emptyFirstLineIsRejectedAsLineOne();
    void clickOnTheSourceListDisablesDelete();

    void givenFileOpensAsTheDialogDoes_data();
    void givenFileOpensAsTheDialogDoes();
    void refusedDrops_data();
    void refusedDrops();
    void systemFolderIsNoStartFolder();

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
