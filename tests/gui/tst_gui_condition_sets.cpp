// Condition sets in the real window: the drop-down commands of the lists' 読込 and 保存, the set's
// save and load, and the four lists kept between runs in the settings folder.
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "conditions/ConditionListModel.h"
#include "conditions/ConditionSetFile.h"
#include "main_window/DropDownButton.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTreeView>

#include <sys/stat.h>
#include <unistd.h>

using Lists = ConditionSetFile::Lists;
Q_DECLARE_METATYPE(Lists)

namespace {

constexpr ConditionList kAll[] = {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND,
                                  ConditionList::InOR};

Lists sample() {
    Lists lists;
    lists[size_t(ConditionList::InAND)] = {{"0", "当選"}, {"1", "a, b"}};
    lists[size_t(ConditionList::InOR)] = {{"1", " 東京 "}};
    lists[size_t(ConditionList::OutOR)] = {{"0", "\"x\""}, {"0", "〜"}};
    return lists;
}

Lists listsOf(frmVNLMain& w) {
    Lists lists;
    for (ConditionList id : kAll)
        lists[size_t(id)] = w.conditionList(id).model->entries();
    return lists;
}

void fill(frmVNLMain& w, const Lists& lists) {
    for (ConditionList id : kAll)
        for (const ConditionEntry& e : lists[size_t(id)])
            w.conditionList(id).model->appendEntry(e);
}

QString render(const Lists& lists) {
    QStringList parts;
    for (ConditionList id : kAll)
        for (const ConditionEntry& e : lists[size_t(id)])
            parts.append(
                QStringLiteral("%1[%2|%3]").arg(conditionListName(id), e.column, e.phrase));
    return parts.join(u' ');
}

QAction* setOpen(TestWindow& w) {
    return w.child<QAction>(QStringLiteral("mnuSetOpen"));
}
QAction* setSave(TestWindow& w) {
    return w.child<QAction>(QStringLiteral("mnuSetSave"));
}

// The window closed and opened again over the same settings folder.
void restart(TestWindow& w) {
    w.window.reset();
    w.window = std::make_unique<frmVNLMain>(&w.platform);
}

// Each list's save button follows whether it holds an entry.
void verifySaveButtons(frmVNLMain& w) {
    for (ConditionList id : kAll)
        QCOMPARE(w.conditionList(id).cmdSave->isEnabled(), w.conditionList(id).model->count() > 0);
}

} // namespace

class TestGuiConditionSets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dropDownsHoldTheCommands();
    void dropDownOpensByArrowAndKeys();
    void saveThenLoadReplacesAllLists();
    void loadWithdrawsRememberedRows();
    void loadProblems_data();
    void loadProblems();
    void listsSurviveARestart();
    void unusableStoreStartsEmpty_data();
    void unusableStoreStartsEmpty();
};

void TestGuiConditionSets::dropDownsHoldTheCommands() {
    TestWindow w;
    QVERIFY(setOpen(w) && setSave(w));
    QCOMPARE(setOpen(w)->text(), QStringLiteral("条件セットを読込..."));
    QCOMPARE(setSave(w)->text(), QStringLiteral("条件セットを保存..."));
    for (ConditionList id : kAll) {
        ConditionListControls& list = w->conditionList(id);
        auto* open = dynamic_cast<DropDownButton*>(list.cmdOpen);
        auto* save = dynamic_cast<DropDownButton*>(list.cmdSave);
        QVERIFY(open && save);
        QCOMPARE(open->dropDownMenu()->actions(), QList<QAction*>{setOpen(w)});
        QCOMPARE(save->dropDownMenu()->actions(), QList<QAction*>{setSave(w)});
    }
}

void TestGuiConditionSets::dropDownOpensByArrowAndKeys() {
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    auto* open = dynamic_cast<DropDownButton*>(w->conditionList(ConditionList::InOR).cmdOpen);
    QVERIFY(open);
    QMenu* menu = open->dropDownMenu();
    // The arrow, Alt+Down and F4 open the menu, and the list's own load does not run.
    for (const QKeyCombination key :
         {QKeyCombination(), Qt::ALT | Qt::Key_Down, QKeyCombination(Qt::Key_F4)}) {
        open->setFocus();
        if (key == QKeyCombination())
            QTest::mouseClick(open, Qt::LeftButton, {}, open->arrowRect().center());
        else
            QTest::keyClick(open, key.key(), key.keyboardModifiers());
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }
    QVERIFY(w.platform.openDialogs.isEmpty());
    // A click on the button itself is the list's load, as ever.
    QTest::mouseClick(open, Qt::LeftButton, {}, QPoint(4, open->height() / 2));
    QCOMPARE(w.platform.openDialogs.size(), 1);
    QCOMPARE(w.platform.openDialogs[0].filter, QStringLiteral("*.csv"));
    QVERIFY(!menu->isVisible());
}

void TestGuiConditionSets::saveThenLoadReplacesAllLists() {
    TestWindow w;
    fill(*w, sample());
    // A name without an extension gets the filter's.
    w.platform.saveAnswers = {w.dir.filePath(QStringLiteral("mine"))};
    setSave(w)->trigger();
    QCOMPARE(w.platform.saveDialogs.size(), 1);
    QCOMPARE(w.platform.saveDialogs[0].filter,
             QStringLiteral("条件セット (*.txt);;全ファイル (*)"));
    QVERIFY(w.platform.saveDialogs[0].confirmOverwrite);
    QVERIFY(w.platform.messages.isEmpty());
    const QString path = w.dir.filePath(QStringLiteral("mine.txt"));
    QCOMPARE(readAll(path), ConditionSetFile::encode(sample()).bytes);

    // Other lists now: the load replaces every one of them, emptied ones included.
    for (ConditionList id : kAll)
        w->conditionList(id).model->clear();
    const Lists old{{{{"9", "old"}}, {}, {{"8", "old"}}, {}}};
    fill(*w, old);
    w.platform.openAnswers = {path};
    setOpen(w)->trigger();
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(render(listsOf(*w)), render(sample()));
    verifySaveButtons(*w);
    // The load is one undo step over the four lists, taken back and redone from any of them.
    QTest::keyClick(w->conditionList(ConditionList::OutOR).lvw, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(render(listsOf(*w)), render(old));
    QTest::keyClick(w->conditionList(ConditionList::InAND).lvw, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(render(listsOf(*w)), render(sample()));
    QCOMPARE(w.platform.openDialogs.size(), 1);
    QCOMPARE(w.platform.openDialogs[0].filter,
             QStringLiteral("条件セット (*.txt);;全ファイル (*)"));
    // Each command keeps its own name: a list's save does not propose the set.
    w.platform.saveAnswers = {std::nullopt};
    w->conditionList(ConditionList::InAND).cmdSave->click();
    QCOMPARE(w.platform.saveDialogs.size(), 2);
    QVERIFY(w.platform.saveDialogs[1].fileName != path);

    // Cancel changes nothing.
    setOpen(w)->trigger();
    QCOMPARE(render(listsOf(*w)), render(sample()));
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiConditionSets::loadWithdrawsRememberedRows() {
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    fill(*w, sample());
    ConditionListControls& inAnd = w->conditionList(ConditionList::InAND);
    const QRect row = inAnd.lvw->visualRect(inAnd.model->index(1, 0));
    QTest::mouseClick(inAnd.lvw->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(inAnd.cmdSakujo->isEnabled());
    const QString path = w.writeFile(QStringLiteral("set.txt"), "AND,1,x\r\nAND,2,y\r\n");
    w.platform.openAnswers = {path};
    setOpen(w)->trigger();
    // Row 2 now holds another entry: deleting it needs a new click.
    for (ConditionList id : kAll)
        QVERIFY(!w->conditionList(id).cmdSakujo->isEnabled());
    inAnd.cmdSakujo->setEnabled(true);
    inAnd.cmdSakujo->click();
    QCOMPARE(inAnd.model->entries(), (std::vector<ConditionEntry>{{"1", "x"}, {"2", "y"}}));
    verifySaveButtons(*w);
}

void TestGuiConditionSets::loadProblems_data() {
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<Lists>("expected");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("start"); // of the message
    Lists good;
    good[size_t(ConditionList::OutAND)] = {{"2", "b"}};
    QTest::newRow("bad lines named, the others loaded")
        << QByteArray("FOO,1,a\r\nNOTAND,2,b\r\nAND\r\n") << good << 48
        << QStringLiteral("条件セットファイルの次の行は形式が正しくないため");
    QTest::newRow("no good line: lists kept")
        << QByteArray("\"1\",\"a\"\r\n") << sample() << 16
        << QStringLiteral("Error:条件セットファイルに読み込める行がありません｡");
    QTest::newRow("missing file: lists kept")
        << QByteArray() << sample() << 16
        << QStringLiteral("Error:条件セットファイルを読み込めませんでした｡");
    QTest::newRow("empty set empties the lists")
        << QByteArray("# none\r\n") << Lists{} << -1 << QString();
}

void TestGuiConditionSets::loadProblems() {
    QFETCH(QByteArray, bytes);
    QFETCH(Lists, expected);
    QFETCH(int, style);
    QFETCH(QString, start);
    TestWindow w;
    fill(*w, sample());
    const QString path = bytes.isNull() ? w.dir.filePath(QStringLiteral("none.txt"))
                                        : w.writeFile(QStringLiteral("set.txt"), bytes);
    w.platform.openAnswers = {path};
    setOpen(w)->trigger();
    QCOMPARE(render(listsOf(*w)), render(expected));
    verifySaveButtons(*w);
    if (style < 0) {
        QVERIFY(w.platform.messages.isEmpty());
        return;
    }
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].style, style);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("エラー"));
    QVERIFY2(w.platform.messages[0].prompt.startsWith(start),
             qPrintable(w.platform.messages[0].prompt));
    QVERIFY(w.platform.messages[0].prompt.contains(QDir::toNativeSeparators(path)));
}

void TestGuiConditionSets::listsSurviveARestart() {
    TestWindow w;
    const QString store = w.dir.filePath(QStringLiteral("vornel_lists.txt"));
    QVERIFY(w->close());
    QVERIFY(!QFileInfo::exists(store)); // nothing to keep
    restart(w);
    fill(*w, sample());
    QVERIFY(w->close());
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(store).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    restart(w);
    QCOMPARE(render(listsOf(*w)), render(sample()));
    verifySaveButtons(*w);
    QVERIFY(!w->toolbarButton(Command::Start)->isEnabled()); // no data yet
    for (ConditionList id : kAll)
        w->conditionList(id).cmdAllSakujo->click();
    QVERIFY(w->close());
    restart(w);
    QCOMPARE(render(listsOf(*w)), QString()); // emptied lists stay empty
    QVERIFY(w->close());
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiConditionSets::unusableStoreStartsEmpty_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("bad line") << "bad line";
    QTest::newRow("link") << "link";
    QTest::newRow("folder") << "folder";
}

void TestGuiConditionSets::unusableStoreStartsEmpty() {
    QFETCH(QString, kind);
    TestWindow w;
    const QString store = w.dir.filePath(QStringLiteral("vornel_lists.txt"));
    const QString target = w.dir.filePath(QStringLiteral("target.txt"));
    const QByteArray good = "AND,1,a\r\n";
    if (kind == u"bad line") {
        QVERIFY(writeAll(store, good + "AND\r\n"));
    } else if (kind == u"link") {
        QVERIFY(writeAll(target, good));
        QVERIFY(QFile::link(target, store));
    } else {
        QVERIFY(QDir(w.dir.path()).mkdir(QStringLiteral("vornel_lists.txt")));
    }
    restart(w);
    QCOMPARE(render(listsOf(*w)), QString());
    QVERIFY(!w->isBusy());
    fill(*w, sample());
    QVERIFY(w->close()); // a store that cannot be written does not keep the window open
    QVERIFY(w.platform.messages.isEmpty());
    if (kind == u"link")
        QCOMPARE(readAll(target), good);
}

QTEST_MAIN(TestGuiConditionSets)
#include "tst_gui_condition_sets.moc"
