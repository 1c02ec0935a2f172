// The result list in the real window: context menu, select all, copy, sort and save.
#include "GuiResultsSupport.h"

#include "TestFiles.h"
#include "base/CountText.h"
#include "source/frmVNLError.h"

#include "conditions/ConditionListModel.h"
#include "main_window/MousePointer.h"
#include "results/ResultListModel.h"
#include "settings/mdlIniSet.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

namespace {

const QStringList kDeleteButtons{"cmdOutANDSakujo", "cmdOutORSakujo", "cmdInANDSakujo",
                                 "cmdInORSakujo"};

void selectRows(TestWindow& w, const QList<int>& rows) {
    QItemSelectionModel* s = w.lvwPickupData()->selectionModel();
    s->clearSelection();
    for (int r : rows)
        s->select(w->resultModel()->index(r, 0),
                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QPoint rowCentre(TestWindow& w, int row) {
    return w.lvwPickupData()->visualRect(w->resultModel()->index(row, 0)).center() + QPoint(5, 0);
}

} // namespace

class TestGuiResults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void contextMenuRules_data();
    void contextMenuRules();
    void contextMenuWorksWithToolbarOff();
    void copy_data();
    void copy();
    void copyAfterDescendingSortKeepsSelection();
    void ctrlAAndCtrlCInTheList();
    void sortFromToolbarAndMenu();
    void sortEmptyListChangesNothing();
    void japaneseOrderOption();
    void japaneseOrderSort_data();
    void japaneseOrderSort();
    void save_data();
    void save();
    void saveCancelled();
    void saveAfterSort();
    void outputKeepsTheFileBytes_data();
    void outputKeepsTheFileBytes();
    void fromDataFileThroughPickup();
};

void TestGuiResults::contextMenuRules_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("menuShown");
    QTest::addColumn<bool>("deleteButtonsWithdrawn");
    QTest::newRow("right, empty list") << 0 << int(Qt::RightButton) << false << false;
    QTest::newRow("right, rows") << 3 << int(Qt::RightButton) << true << false;
    QTest::newRow("left, rows") << 3 << int(Qt::LeftButton) << false << true;
    QTest::newRow("left, empty list") << 0 << int(Qt::LeftButton) << false << true;
    QTest::newRow("middle, rows") << 3 << int(Qt::MiddleButton) << false << false;
}

void TestGuiResults::contextMenuRules() {
    QFETCH(int, rows);
    QFETCH(int, button);
    QFETCH(bool, menuShown);
    QFETCH(bool, deleteButtonsWithdrawn);
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    showResults(w, QStringList{"a,1", "b,2", "c,3"}.mid(0, rows));
    for (ConditionList id : kConditionListOrder) {
        w->conditions().setSelectedRow(id, 1);
        w->conditionList(id).cmdSakujo->setEnabled(true);
    }

    QTest::mouseClick(w.lvwPickupData()->viewport(), Qt::MouseButton(button), {}, QPoint(40, 10));
    QCoreApplication::processEvents();
    QCOMPARE(w.mnuPopup()->isVisible(), menuShown);
    w.mnuPopup()->hide();
    for (const QString& name : kDeleteButtons)
        QCOMPARE(w.child<QPushButton>(name)->isEnabled(), !deleteButtonsWithdrawn);
    for (ConditionList id : kConditionListOrder)
        QCOMPARE(w->conditions().selectedRow(id), deleteButtonsWithdrawn ? 0 : 1);
}

void TestGuiResults::contextMenuWorksWithToolbarOff() {
    // After a transfer the toolbar's result commands are off; the menu still does all four.
    TestWindow w;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    showResults(w, {"b,2", "c,3", "a,1"});
    for (Command key : {Command::AllSelect, Command::Copy, Command::Sort})
        w->toolbarButton(key)->setEnabled(false);

    QTest::mouseClick(w.lvwPickupData()->viewport(), Qt::RightButton, {}, rowCentre(w, 0));
    QTRY_VERIFY(w.mnuPopup()->isVisible());
    for (QAction* item :
         {w.mnuPopupAllSelect(), w.mnuPopupCopy(), w.mnuPopupSortAsc(), w.mnuPopupSortDesc()})
        QVERIFY(item->isEnabled());
    QCOMPARE(w.mnuPopup()->actions().at(3)->menu(), w.mnuPopupSort());
    w.mnuPopup()->hide();

    w.mnuPopupSortDesc()->trigger();
    QCOMPARE(resultTexts(w), (QStringList{"c,3", "b,2", "a,1"}));
    w.mnuPopupSortAsc()->trigger();
    QCOMPARE(resultTexts(w), (QStringList{"a,1", "b,2", "c,3"}));
    w.mnuPopupAllSelect()->trigger();
    w.mnuPopupCopy()->trigger();
    QCOMPARE(w.platform.clipboard, QStringLiteral("a,1\r\nb,2\r\nc,3"));
}

void TestGuiResults::copy_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("selected"); // -1: select all through the toolbar
    QTest::addColumn<QString>("expected");
    QTest::newRow("three rows, none after the last")
        << QStringList{"a,b", "c,d", "e,f"} << QList<int>{-1}
        << QStringLiteral("a,b\r\nc,d\r\ne,f");
    QTest::newRow("duplicates kept") << QStringList{"a,b", "a,b", "c,d"} << QList<int>{-1}
                                     << QStringLiteral("a,b\r\na,b\r\nc,d");
    QTest::newRow("top to bottom, not in clicking order")
        << QStringList{"a,b", "c,d", "e,f"} << QList<int>{2, 0} << QStringLiteral("a,b\r\ne,f");
    QTest::newRow("nothing selected: empty text")
        << QStringList{"a,b", "c,d"} << QList<int>{} << QString();
    QTest::newRow("japanese") << QStringList{"東京,１", "大阪,２"} << QList<int>{-1}
                              << QStringLiteral("東京,１\r\n大阪,２");
}

void TestGuiResults::copy() {
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, selected);
    QFETCH(QString, expected);
    TestWindow w;
    showResults(w, lines);
    if (selected == QList<int>{-1})
        w->toolbarButton(Command::AllSelect)->trigger();
    else
        selectRows(w, selected);
    w->toolbarButton(Command::Copy)->trigger();
    QCOMPARE(w.platform.clipboardWrites, 1);
    QCOMPARE(w.platform.clipboard, expected);
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiResults::copyAfterDescendingSortKeepsSelection() {
    TestWindow w;
    showResults(w, {"b,2", "d,4", "a,1", "c,3"});
    selectRows(w, {0, 2, 3}); // b, a, c
    w->toolbarMenuItem(Command::SortDesc)->trigger();
    QCOMPARE(resultTexts(w), (QStringList{"d,4", "c,3", "b,2", "a,1"}));
    w->toolbarButton(Command::Copy)->trigger();
    QCOMPARE(w.platform.clipboard, QStringLiteral("c,3\r\nb,2\r\na,1"));

    w->toolbarButton(Command::AllSelect)->trigger();
    w->toolbarButton(Command::Sort)->trigger(); // the button itself sorts ascending
    w->toolbarButton(Command::Copy)->trigger();
    QCOMPARE(w.platform.clipboard, QStringLiteral("a,1\r\nb,2\r\nc,3\r\nd,4"));
}

void TestGuiResults::ctrlAAndCtrlCInTheList() {
    TestWindow w;
    showResults(w, {"a,b", "c,d", "e,f"});
    QTest::keyClick(w.lvwPickupData(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.lvwPickupData()->selectionModel()->selectedRows().size(), 3);
    QTest::keyClick(w.lvwPickupData(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.platform.clipboard, QStringLiteral("a,b\r\nc,d\r\ne,f"));
    selectRows(w, {1});
    QTest::keyClick(w.lvwPickupData(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.platform.clipboard, QStringLiteral("c,d"));
}

void TestGuiResults::sortFromToolbarAndMenu() {
    TestWindow w;
    showResults(w, {"9,x", "10,x", "b,y", "あ,z", "A,w"});
    w->toolbarButton(Command::Sort)->trigger();
    const QStringList ascending{"10,x", "9,x", "A,w", "b,y", "あ,z"};
    QCOMPARE(resultTexts(w), ascending);
    w->toolbarMenuItem(Command::SortDesc)->trigger();
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(resultTexts(w), descending);
    w->toolbarMenuItem(Command::SortAsc)->trigger();
    QCOMPARE(resultTexts(w), ascending);
    QCOMPARE(MousePointer::current(), MousePointer::Default);
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0)); // sorting counts nothing
}

void TestGuiResults::sortEmptyListChangesNothing() {
    TestWindow w;
    showResults(w, {});
    w->toolbarButton(Command::Sort)->trigger();
    w->toolbarMenuItem(Command::SortDesc)->trigger();
    QCOMPARE(w->resultModel()->count(), qint64(0));
    QCOMPARE(MousePointer::current(), MousePointer::Default);
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiResults::japaneseOrderOption() {
    // A checkable item after the two orders of the Sort button's menu, remembered in the
    // settings file; off at first, so Sort keeps the code order.
    TestWindow w;
    auto* option = w.child<QAction>(QStringLiteral("mnuSortJapanese"));
    QVERIFY(option);
    QCOMPARE(option->text(), QStringLiteral("日本語順(&J)"));
    QVERIFY(option->isCheckable() && !option->isChecked());
    const QList<QAction*> items = w->toolbarButton(Command::Sort)->menu()->actions();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items[0], w->toolbarMenuItem(Command::SortAsc));
    QCOMPARE(items[1], w->toolbarMenuItem(Command::SortDesc));
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3], option);
    const auto stored = [] {
        return mdlIniSet::GetIniString(QStringLiteral("Vornel Options"),
                                       QStringLiteral("SortOrder"), mdlIniSet::IniFilePath());
    };
    QCOMPARE(stored(), QString());

    showResults(w, {"10丁目", "2丁目"});
    w->toolbarButton(Command::Sort)->trigger();
    QCOMPARE(resultTexts(w), (QStringList{"10丁目", "2丁目"})); // code order

    option->trigger();
    QVERIFY(option->isChecked());
    QCOMPARE(stored(), QStringLiteral("japanese"));
    {
        frmVNLMain next(&w.platform);
        QVERIFY(next.findChild<QAction*>(QStringLiteral("mnuSortJapanese"))->isChecked());
    }
    option->trigger();
    QCOMPARE(stored(), QStringLiteral("code"));
    {
        frmVNLMain next(&w.platform);
        QVERIFY(!next.findChild<QAction*>(QStringLiteral("mnuSortJapanese"))->isChecked());
    }
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiResults::japaneseOrderSort_data() {
    QTest::addColumn<bool>("fromContextMenu");
    QTest::addColumn<bool>("toolbarOn"); // off: after a transfer
    QTest::newRow("toolbar") << false << true;
    QTest::newRow("context menu, toolbar off") << true << false;
}

void TestGuiResults::japaneseOrderSort() {
    QFETCH(bool, fromContextMenu);
    QFETCH(bool, toolbarOn);
    TestWindow w;
    w->setJobSliceMs(1);
    showResults(w, {"六本木,10丁目", "元赤坂,1丁目", "愛宕,2丁目", "新橋,1丁目", "六本木,2丁目",
                    "六本木,1丁目"});
    const Command resultCommands[] = {Command::Save, Command::Print, Command::AllSelect,
                                      Command::Copy, Command::Sort};
    for (Command key : resultCommands)
        w->toolbarButton(key)->setEnabled(toolbarOn);
    w.cmdSend()->setEnabled(toolbarOn);
    w.child<QAction>(QStringLiteral("mnuSortJapanese"))->trigger();
    selectRows(w, {0, 3}); // 六本木,10丁目 and 新橋,1丁目

    const QStringList ascending{"愛宕,2丁目",   "元赤坂,1丁目", "新橋,1丁目",
                                "六本木,1丁目", "六本木,2丁目", "六本木,10丁目"};
    (fromContextMenu ? w.mnuPopupSortAsc() : w->toolbarMenuItem(Command::SortAsc))->trigger();
    QCOMPARE(resultTexts(w), ascending);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    (fromContextMenu ? w.mnuPopupSortDesc() : w->toolbarMenuItem(Command::SortDesc))->trigger();
    QCOMPARE(resultTexts(w), descending);

    // The selected rows went with their rows; the window is idle again with the result commands
    // as they were.
    QList<int> selected;
    for (const QModelIndex& i : w.lvwPickupData()->selectionModel()->selectedRows())
        selected << i.row();
    std::sort(selected.begin(), selected.end());
    QCOMPARE(selected, (QList<int>{0, 3}));
    QVERIFY(!w->isBusy());
    for (Command key : resultCommands)
        QCOMPARE(w->toolbarButton(key)->isEnabled(), toolbarOn);
    QCOMPARE(w.cmdSend()->isEnabled(), toolbarOn);
    QVERIFY(w->toolbarButton(Command::Open)->isEnabled());
    QVERIFY(!w->toolbarButton(Command::Stop)->isEnabled());
    QCOMPARE(MousePointer::current(), MousePointer::Default);
    QVERIFY(w.platform.messages.isEmpty());
}

void TestGuiResults::save_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("csv") << QStringList{"a,b", "c,d", "e,f"} << "out.csv"
                         << QByteArray("a,b\r\nc,d\r\ne,f\r\n");
    QTest::newRow("xls holds the same text")
        << QStringList{"a,b", "c,d"} << "out.xls" << QByteArray("a,b\r\nc,d\r\n");
    QTest::newRow("japanese as code page 932")
        << QStringList{"東京,ｱｲｳ", "大阪,１"} << "jp.txt"
        << QByteArray("\x93\x8c\x8b\x9e,\xb1\xb2\xb3\r\n\x91\xe5\x8d\xe3,\x82\x50\r\n");
    QTest::newRow("empty result, 0 bytes") << QStringList{} << "empty.csv" << QByteArray();
}

void TestGuiResults::save() {
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    TestWindow w;
    showResults(w, lines);
    const QString path = w.writeFile(name, "old content that is longer than the new one");
    w.platform.saveAnswers << path;
    w->toolbarButton(Command::Save)->trigger();

    QCOMPARE(w.platform.saveDialogs.size(), 1);
    QCOMPARE(w.platform.saveDialogs[0].filter, QStringLiteral("*.csv;;*.txt;;*.xls"));
    QVERIFY(w.platform.saveDialogs[0].confirmOverwrite);
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(readAll(path), expected);
    QVERIFY(!QFile::exists(path + ".csv"));
    QCOMPARE(w->dialog().FileName, path);
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiResults::saveCancelled() {
    TestWindow w;
    showResults(w, {"a,b"});
    w.platform.saveAnswers << std::nullopt;
    w->toolbarButton(Command::Save)->trigger();
    QCOMPARE(w.platform.saveDialogs.size(), 1);
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(QDir(w.dir.path()).entryList({"*.csv", "*.txt", "*.xls"}, QDir::Files), QStringList());
}

void TestGuiResults::saveAfterSort() {
    TestWindow w;
    showResults(w, {"b,2", "c,3", "a,1"});
    w->toolbarMenuItem(Command::SortDesc)->trigger();
    const QString path = w.dir.filePath("sorted.csv");
    w.platform.saveAnswers << path;
    w->toolbarButton(Command::Save)->trigger();
    QCOMPARE(readAll(path), QByteArray("c,3\r\nb,2\r\na,1\r\n"));
}

void TestGuiResults::outputKeepsTheFileBytes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("correction");  // typed into the data-error dialog, if one shows
    QTest::addColumn<QByteArray>("expected"); // the result file and the hand-over alike
    QTest::addColumn<QString>("copied");
    const QChar bad(0xFFFD);
    QTest::newRow("bytes that are not code page 932")
        << QByteArray("a,\x80x\r\nb,\x81\r\n\xFD\xA0,c\r\n") << QString()
        << QByteArray("a,\x80x\r\nb,\x81\r\n\xFD\xA0,c\r\n")
        << QStringLiteral("a,%1x\r\nb,%1\r\n%1%1,c").arg(bad);
    // Characters with two or three codes come back in the code they were read in.
    QTest::newRow("twin codes") << QByteArray("\x87\x54,\xFA\x4A\r\n\xEE\xEF,\xFA\x40\r\n"
                                              "\x81\xE6,\xFA\x5B\x87\x9A\r\n")
                                << QString()
                                << QByteArray("\x87\x54,\xFA\x4A\r\n\xEE\xEF,\xFA\x40\r\n"
                                              "\x81\xE6,\xFA\x5B\x87\x9A\r\n")
                                << QStringLiteral("Ⅰ,Ⅰ\r\nⅰ,ⅰ\r\n∵,∵∵");
    QTest::newRow("UTF-8 with a mark")
        << QByteArray("\xEF\xBB\xBF\xE3\x81\x82,b\nc,\xF0\x9F\x98\x80\n") << QString()
        << QByteArray("\xEF\xBB\xBF\xE3\x81\x82,b\r\nc,\xF0\x9F\x98\x80\r\n")
        << QStringLiteral("あ,b\r\nc,\U0001F600");
    QTest::newRow("UTF-8 without a mark")
        << QByteArray("\xE6\x9D\xB1,x\r\n") << QString() << QByteArray("\xE6\x9D\xB1,x\r\n")
        << QStringLiteral("東,x");
    QTest::newRow("a corrected line, stored in the file's code page")
        << QByteArray("a,b\r\nc\r\n") << QStringLiteral("c,表〜")
        << QByteArray("a,b\r\nc,\x95\x5c\x81\x60\r\n") << QStringLiteral("a,b\r\nc,表～");
}

void TestGuiResults::outputKeepsTheFileBytes() {
    QFETCH(QByteArray, file);
    QFETCH(QString, correction);
    QFETCH(QByteArray, expected);
    QFETCH(QString, copied);
    TestWindow w;
    if (!correction.isEmpty()) {
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<frmVNLError*>(modal);
            QVERIFY(dialog);
            dialog->txtData->setText(correction);
            dialog->cmdOk->click();
        });
    }
    w.platform.openAnswers << w.writeFile("data.csv", file);
    w->toolbarButton(Command::Open)->trigger();
    ConditionListControls& list = w->conditionList(ConditionList::InOR);
    list.txtNo->setText("0");
    list.txtGoku->setText("*");
    list.cmdTuika->click();
    w->toolbarButton(Command::Start)->trigger();
    QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(file.count('\n')));

    w->toolbarButton(Command::AllSelect)->trigger();
    w->toolbarButton(Command::Copy)->trigger();
    QCOMPARE(w.platform.clipboard, copied);
    const QString path = w.writeFile("out.csv", "old\r\n");
    w.platform.saveAnswers << path;
    w->toolbarButton(Command::Save)->trigger();
    QVERIFY(readAll(path) == expected);
    w.cmdSend()->click();
    QVERIFY(readAll(w.dir.filePath("zelvo_transfer.txt")) == expected);
    QCOMPARE(w.platform.messages.size(), 1); // the hand-over's "sent"
}

void TestGuiResults::fromDataFileThroughPickup() {
    // The whole road: a code page 932 data file opened, a pickup that keeps the rows with "京",
    // then sort, copy and save of its results.
    TestWindow w;
    w->show();
    const QString data = w.writeFile("data.csv", "1,\x93\x8c\x8b\x9e\r\n"   // 1,東京
                                                 "2,\x91\xe5\x8d\xe3\r\n"   // 2,大阪
                                                 "3,\x8b\x9e\x93\x73\r\n"); // 3,京都
    w.platform.openAnswers << data;
    w->toolbarButton(Command::Open)->trigger();
    QCOMPARE(w->store().rowCount(), qint64(3));
    w->conditionList(ConditionList::InAND).model->appendEntry({QStringLiteral("0"), u"京"_qs});
    w->myStartCheck();
    QVERIFY(w->toolbarButton(Command::Start)->isEnabled());
    w->toolbarButton(Command::Start)->trigger();
    QCOMPARE(resultTexts(w), (QStringList{u"1,東京"_qs, u"3,京都"_qs}));
    QVERIFY(w->toolbarButton(Command::Save)->isEnabled());

    w->toolbarMenuItem(Command::SortDesc)->trigger();
    w->toolbarButton(Command::AllSelect)->trigger();
    w->toolbarButton(Command::Copy)->trigger();
    QCOMPARE(w.platform.clipboard, u"3,京都\r\n1,東京"_qs);
    const QString out = w.dir.filePath("out.txt");
    w.platform.saveAnswers << out;
    w->toolbarButton(Command::Save)->trigger();
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(readAll(out), QByteArray("3,\x8b\x9e\x93\x73\r\n1,\x93\x8c\x8b\x9e\r\n"));
}

QTEST_MAIN(TestGuiResults)
#include "tst_gui_results.moc"
