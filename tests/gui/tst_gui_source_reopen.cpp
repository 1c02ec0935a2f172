// Opening the loaded file again in another encoding or field mode: the file-path panel's menu, by
// mouse and by keyboard, and the encoding shown beside the path.
#include "GuiTestSupport.h"

#include "base/Cp932.h"
#include "base/TextCodec.h"
#include "source/RowStore.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QTreeView>

#include <functional>

namespace {

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

class TestGuiSourceReopen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodingMenuReopens_data();
    void encodingMenuReopens();
    void encodingShownAndReopenedByKeyboard_data();
    void encodingShownAndReopenedByKeyboard();
    void fieldModeMenuReopens();
};

void TestGuiSourceReopen::encodingMenuReopens_data() {
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

void TestGuiSourceReopen::encodingMenuReopens() {
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

void TestGuiSourceReopen::encodingShownAndReopenedByKeyboard_data() {
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

void TestGuiSourceReopen::encodingShownAndReopenedByKeyboard() {
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

void TestGuiSourceReopen::fieldModeMenuReopens() {
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

QTEST_MAIN(TestGuiSourceReopen)
#include "tst_gui_source_reopen.moc"
