// The result list in the real window: context menu, select all, copy, sort, save and print.
#include "GuiTestSupport.h"

#include "StoreLines.h"
#include "TestFiles.h"
#include "base/CountText.h"
#include "source/frmVNLError.h"

#include "conditions/ConditionListModel.h"
#include "main_window/MousePointer.h"
#include "results/ResultListModel.h"
#include "settings/mdlIniSet.h"

#include <QDate>
#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>
#include <QPushButton>
#include <QTextItem>
#include <QTreeView>

#include <numeric>

namespace {

// A printer that records what is painted on it: every text line with its page and baseline.
class RecordingEngine : public QPaintEngine, public QPrintEngine {
public:
    struct Line {
        int page;
        qreal baseline;
        QString text;
        qreal left = 0;
        qreal right = 0;
    };
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    QList<Line> lines;
    QList<Line> rules; // lines drawn: their page and height
    int pages = 0;
    int documentsEnded = 0;
    bool refuse = false; // begin fails, as with a printer that went away

    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override {
        if (refuse)
            return false;
        m_state = QPrinter::Active;
        pages = 1;
        return true;
    }
    bool end() override {
        m_state = QPrinter::Idle;
        ++documentsEnded;
        return true;
    }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        // One line may come in several items (a font per script); they share the baseline.
        if (!lines.isEmpty() && lines.last().page == pages && lines.last().baseline == p.y()) {
            lines.last().text += item.text();
            lines.last().right = p.x() + item.width();
        } else {
            lines.append({pages, p.y(), item.text(), p.x(), p.x() + item.width()});
        }
    }
    void drawLines(const QLineF* drawn, int count) override {
        for (int i = 0; i < count; ++i)
            rules.append({pages, drawn[i].y1(), QString(), drawn[i].x1(), drawn[i].x2()});
    }
    Type type() const override { return QPaintEngine::User; }

    void setProperty(PrintEnginePropertyKey key, const QVariant& value) override {
        m_properties.insert(int(key), value);
    }
    QVariant property(PrintEnginePropertyKey key) const override {
        return m_properties.value(int(key));
    }
    bool newPage() override {
        ++pages;
        return true;
    }
    bool abort() override { return false; }
    int metric(QPaintDevice::PaintDeviceMetric metric) const override {
        switch (metric) {
        case QPaintDevice::PdmWidth:
            return kWidth;
        case QPaintDevice::PdmHeight:
            return kHeight;
        case QPaintDevice::PdmWidthMM:
            return kWidth * 254 / 960;
        case QPaintDevice::PdmHeightMM:
            return kHeight * 254 / 960;
        case QPaintDevice::PdmNumColors:
            return INT_MAX;
        case QPaintDevice::PdmDepth:
            return 32;
        case QPaintDevice::PdmDpiX:
        case QPaintDevice::PdmDpiY:
        case QPaintDevice::PdmPhysicalDpiX:
        case QPaintDevice::PdmPhysicalDpiY:
            return 96;
        case QPaintDevice::PdmDevicePixelRatio:
            return 1;
        case QPaintDevice::PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }
    QPrinter::PrinterState printerState() const override { return m_state; }

private:
    QPrinter::PrinterState m_state = QPrinter::Idle;
    QHash<int, QVariant> m_properties;
};

class RecordingPrinter : public QPrinter {
public:
    explicit RecordingPrinter(RecordingEngine* engine) { setEngines(engine, engine); }
};

// Prints the results through the toolbar's Print onto the recording engine.
void printWith(TestWindow& w, RecordingEngine& engine) {
    w.platform.printerFactory = [&engine](QString*) {
        return std::unique_ptr<QPagedPaintDevice>(new RecordingPrinter(&engine));
    };
    w->toolbarButton(Command::Print)->trigger();
}

// What was printed, page by page: each page's heading (its first line) and the lines under it.
struct Printout {
    QList<RecordingEngine::Line> headings;
    QList<RecordingEngine::Line> body;
};

Printout splitHeadings(const RecordingEngine& engine) {
    Printout out;
    for (const RecordingEngine::Line& l : engine.lines) {
        if (out.headings.isEmpty() || out.headings.last().page != l.page)
            out.headings << l;
        else
            out.body << l;
    }
    return out;
}

QStringList texts(const QList<RecordingEngine::Line>& lines) {
    QStringList out;
    for (const RecordingEngine::Line& l : lines)
        out << l.text;
    return out;
}

QString today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
}

// Every page has one heading, the file's name, the day and "page / pages", above a rule and
// above the page's first line.
void verifyHeadings(const RecordingEngine& engine, const Printout& printed,
                    const QString& fileName) {
    QCOMPARE(printed.headings.size(), engine.pages);
    QCOMPARE(engine.rules.size(), engine.pages);
    for (int page = 1; page <= engine.pages; ++page) {
        const RecordingEngine::Line& heading = printed.headings[page - 1];
        QCOMPARE(heading.page, page);
        QCOMPARE(heading.text,
                 fileName + today() + QStringLiteral("%1 / %2").arg(page).arg(engine.pages));
        // The name at the left edge, the page number ending at the right one.
        if (fileName.isEmpty())
            QVERIFY(heading.left > 0);
        else
            QCOMPARE(heading.left, 0);
        QVERIFY(heading.right <= RecordingEngine::kWidth + 0.5);
        QVERIFY(heading.right > RecordingEngine::kWidth - 1);
        const RecordingEngine::Line& rule = engine.rules[page - 1];
        QCOMPARE(rule.page, page);
        QVERIFY(rule.baseline > heading.baseline);
        for (const RecordingEngine::Line& l : printed.body)
            if (l.page == page)
                QVERIFY(l.baseline > rule.baseline);
    }
}

const QStringList kDeleteButtons{"cmdOutANDSakujo", "cmdOutORSakujo", "cmdInANDSakujo",
                                 "cmdInORSakujo"};

// Puts rows into the result list and the window into the state a completed pickup leaves:
// result commands on, the result list shown.
void showResults(TestWindow& w, const QStringList& lines) {
    fillStore(w->store(), lines);
    std::vector<std::uint32_t> rows(size_t(lines.size()));
    std::iota(rows.begin(), rows.end(), 0u);
    w->resultModel()->setRows(std::move(rows));
    for (Command key :
         {Command::Save, Command::Print, Command::AllSelect, Command::Copy, Command::Sort})
        w->toolbarButton(key)->setEnabled(true);
    w.cmdSend()->setEnabled(true);
    w.lvwOriginalData()->hide();
    w.lvwPickupData()->show();
}

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
    void printLinesAndPages();
    void printRepeatsTheHeaderLine_data();
    void printRepeatsTheHeaderLine();
    void printHeadingNamesTheFile_data();
    void printHeadingNamesTheFile();
    void printToPdf_data();
    void printToPdf();
    void printWithoutPrinter();
    void printRefused();
    void printWrapsLongRows_data();
    void printWrapsLongRows();
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

void TestGuiResults::printLinesAndPages() {
    TestWindow w;
    QStringList lines;
    for (int i = 0; i < 120; ++i)
        lines << QStringLiteral("行%1,row %1,データ").arg(i, 3, 10, QLatin1Char('0'));
    showResults(w, lines);
    w->setPanelText(Panel::FilePath, QStringLiteral("/home/user/長い名前のフォルダー/申込者.csv"));
    w->toolbarMenuItem(Command::SortDesc)->trigger(); // printed in the order shown

    RecordingEngine engine;
    printWith(w, engine);

    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(engine.documentsEnded, 1);
    const Printout printed = splitHeadings(engine);
    QCOMPARE(texts(printed.body), resultTexts(w));
    QVERIFY(engine.pages > 1);
    QCOMPARE(printed.body.last().page, engine.pages);
    verifyHeadings(engine, printed, QStringLiteral("申込者.csv"));

    // Every page starts at the same place and steps by one line; a page ends only when the next
    // line would not fit. The heading stands on the page's first line.
    const qreal ascent = printed.headings.first().baseline;
    const qreal firstBaseline = printed.body.first().baseline;
    const qreal step = printed.body[1].baseline - printed.body[0].baseline;
    QVERIFY(step > 0);
    QVERIFY(firstBaseline >= ascent + 2 * step);
    for (int page = 1; page <= engine.pages; ++page) {
        QCOMPARE(printed.headings[page - 1].baseline, ascent);
        QList<qreal> baselines;
        for (const RecordingEngine::Line& l : printed.body)
            if (l.page == page)
                baselines << l.baseline;
        QVERIFY(!baselines.isEmpty());
        QCOMPARE(baselines.first(), firstBaseline);
        for (qsizetype i = 1; i < baselines.size(); ++i)
            QCOMPARE(baselines[i] - baselines[i - 1], step);
        QVERIFY(baselines.last() - ascent + step <= RecordingEngine::kHeight);
        if (page < engine.pages)
            QVERIFY(baselines.last() - ascent + 2 * step > RecordingEngine::kHeight);
    }
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiResults::printRepeatsTheHeaderLine_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("header");
    QTest::newRow("several pages") << 120 << QStringLiteral("番号,名前,データ");
    QTest::newRow("no row: the header alone") << 0 << QStringLiteral("番号,名前,データ");
    QTest::newRow("a header longer than a line") << 90 << QString(300, u'見');
}

void TestGuiResults::printRepeatsTheHeaderLine() {
    // The data file's header line heads every page; the rows fill the pages under it, in order.
    QFETCH(int, rows);
    QFETCH(QString, header);
    TestWindow w;
    QStringList lines{header};
    for (int i = 0; i < rows; ++i)
        lines << QStringLiteral("行%1,row %1,データ").arg(i, 3, 10, QLatin1Char('0'));
    showResults(w, lines);
    w->store().takeFirstRowAsHeader();
    std::vector<std::uint32_t> shown(static_cast<std::size_t>(rows));
    std::iota(shown.begin(), shown.end(), 0u);
    w->resultModel()->setRows(std::move(shown));

    RecordingEngine engine;
    printWith(w, engine);
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(engine.documentsEnded, 1);
    QVERIFY(rows < 100 || engine.pages > 1);
    const Printout printed = splitHeadings(engine);
    verifyHeadings(engine, printed, QString());
    // The header's printed lines: those of page 1 before the first row.
    const QString firstRow = rows > 0 ? resultTexts(w).first() : QString();
    qsizetype headerLines = 0;
    while (headerLines < printed.body.size() && printed.body[headerLines].text != firstRow)
        ++headerLines;
    QVERIFY(headerLines >= 1);
    QStringList headerText;
    for (qsizetype i = 0; i < headerLines; ++i)
        headerText << printed.body[i].text;
    QCOMPARE(headerText.join(QString()), header);
    QStringList printedRows;
    for (int page = 1; page <= engine.pages; ++page) {
        QList<RecordingEngine::Line> onPage;
        for (const RecordingEngine::Line& l : printed.body)
            if (l.page == page)
                onPage << l;
        QVERIFY(onPage.size() > headerLines || page == engine.pages);
        for (qsizetype i = 0; i < onPage.size(); ++i) {
            if (i < headerLines)
                QCOMPARE(onPage[i].text, printed.body[i].text);
            else
                printedRows << onPage[i].text;
        }
    }
    QCOMPARE(printedRows, resultTexts(w));
}

void TestGuiResults::printHeadingNamesTheFile_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown"); // the heading's text before the date; "" = shortened
    QTest::newRow("name without the folders")
        << QStringLiteral("/srv/共有/とても長いフォルダーの名前/2024年度/申込者.csv")
        << QStringLiteral("申込者.csv");
    QTest::newRow("no data file") << QString() << QString();
    QTest::newRow("a name too long: shortened in the middle")
        << QStringLiteral("/tmp/") + QString(120, u'名') + QStringLiteral("末尾.csv")
        << QStringLiteral("…");
}

void TestGuiResults::printHeadingNamesTheFile() {
    QFETCH(QString, path);
    QFETCH(QString, shown);
    TestWindow w;
    showResults(w, {"a,b", "c,d"});
    w->setPanelText(Panel::FilePath, path);
    RecordingEngine engine;
    printWith(w, engine);
    QVERIFY(w.platform.messages.isEmpty());
    const Printout printed = splitHeadings(engine);
    QCOMPARE(engine.pages, 1);
    QCOMPARE(texts(printed.body), (QStringList{"a,b", "c,d"}));
    const QString heading = printed.headings.first().text;
    const QString tail = today() + QStringLiteral("1 / 1");
    QVERIFY2(heading.endsWith(tail), qPrintable(heading));
    const QString name = heading.chopped(tail.size());
    if (shown == u"…") {
        // Both ends of the name, the middle left out, and all of it before the date.
        QVERIFY2(name.contains(shown) && name.startsWith(u'名') && name.endsWith(u"末尾.csv"),
                 qPrintable(name));
        QVERIFY(name.size() < 100);
    } else {
        QCOMPARE(name, shown);
    }
    QVERIFY(printed.headings.first().right <= RecordingEngine::kWidth + 0.5);
}

// A PDF device that, when the window is done with it, tells its final page margins and how many
// lines of the default font its pages hold.
struct SeenDevice {
    QMarginsF margins;
    qint64 lines = 0;
};

template <class Device> class WatchedDevice : public Device {
public:
    template <class... Args>
    explicit WatchedDevice(SeenDevice* seen, Args&&... args)
        : Device(std::forward<Args>(args)...), m_seen(seen) {}
    ~WatchedDevice() override {
        m_seen->margins = this->pageLayout().margins(QPageLayout::Millimeter);
        m_seen->lines = qint64(this->height() / QFontMetricsF(QFont(), this).lineSpacing());
    }

private:
    SeenDevice* m_seen;
};

void TestGuiResults::printToPdf_data() {
    QTest::addColumn<bool>("pdfPrinter"); // QPrinter in PDF format, else QPdfWriter
    QTest::addColumn<QMarginsF>("margins");
    QTest::addColumn<QMarginsF>("expected"); // in millimetres
    const QMarginsF ten(10, 10, 10, 10);
    QTest::newRow("writer, no margins") << false << QMarginsF() << ten;
    QTest::newRow("printer, no margins") << true << QMarginsF() << ten;
    QTest::newRow("wider margins kept")
        << false << QMarginsF(5, 25, 12, 9.5) << QMarginsF(10, 25, 12, 10);
    QTest::newRow("printer, wider margins kept")
        << true << QMarginsF(25, 5, 10, 30) << QMarginsF(25, 10, 10, 30);
}

void TestGuiResults::printToPdf() {
    QFETCH(bool, pdfPrinter);
    QFETCH(QMarginsF, margins);
    QFETCH(QMarginsF, expected);
    TestWindow w;
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("row %1,x").arg(i);
    showResults(w, lines);
    const QString pdf = w.dir.filePath("print.pdf");
    SeenDevice seen;
    w.platform.printerFactory = [&](QString*) -> std::unique_ptr<QPagedPaintDevice> {
        std::unique_ptr<QPagedPaintDevice> device;
        if (pdfPrinter) {
            auto printer =
                std::make_unique<WatchedDevice<QPrinter>>(&seen, QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            device = std::move(printer);
        } else {
            device = std::make_unique<WatchedDevice<QPdfWriter>>(&seen, pdf);
        }
        device->setPageSize(QPageSize(QPageSize::A4));
        device->setPageMargins(margins, QPageLayout::Millimeter);
        return device;
    };
    w->toolbarButton(Command::Print)->trigger();
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(seen.margins, expected);
    const QByteArray bytes = readAll(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    const qsizetype pages =
        bytes.count(QByteArray("/Type /Page\n")) + bytes.count(QByteArray("/Type /Page\r"));
    // 300 one-line rows under a heading of two lines, on pages inside the margins.
    const qint64 rowsPerPage = seen.lines - 2;
    QVERIFY(rowsPerPage > 10 && rowsPerPage < 300);
    QCOMPARE(pages, qsizetype((300 + rowsPerPage - 1) / rowsPerPage));
}

void TestGuiResults::printWithoutPrinter() {
    TestWindow w;
    showResults(w, {"a,b"});
    w->toolbarButton(Command::Print)->trigger(); // the scripted platform has no printer
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].style, 48);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
    QVERIFY(w.platform.messages[0].prompt.startsWith(QStringLiteral("印刷できませんでした。")));
    QVERIFY(w.platform.messages[0].prompt.contains(QStringLiteral("no printer in this test")));
    QCOMPARE(MousePointer::current(), MousePointer::Default);
    QVERIFY(w->toolbarButton(Command::Print)->isEnabled());
    QCOMPARE(resultTexts(w), QStringList{"a,b"});
}

void TestGuiResults::printRefused() {
    TestWindow w;
    showResults(w, {"a,b"});
    RecordingEngine engine;
    engine.refuse = true;
    printWith(w, engine);
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].style, 48);
    QVERIFY(w.platform.messages[0].prompt.startsWith(QStringLiteral("印刷できませんでした。")));
    QVERIFY(engine.lines.isEmpty());
    QCOMPARE(MousePointer::current(), MousePointer::Default);
}

void TestGuiResults::printWrapsLongRows_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("oneLineRows"); // the first rows, short enough for one line each
    const QString kanji = QString(150, u'漢');
    QString pairs; // characters outside the Basic Multilingual Plane: surrogate pairs
    for (int i = 0; i < 120; ++i)
        pairs += QString::fromUcs4(U"\U00020BB7");
    QTest::newRow("short rows stay one line") << QStringList{"a,b", "東京,大阪"} << 2;
    QTest::newRow("long ASCII row") << QStringList{"x", QString(400, u'w') + ",end"} << 1;
    QTest::newRow("long kanji row") << QStringList{"x", kanji + "," + kanji} << 1;
    QTest::newRow("surrogate pairs never split") << QStringList{pairs} << 0;
    QStringList rowsOfLines{"a", "b", "c"};
    for (int i = 0; i < 30; ++i)
        rowsOfLines << QString(300 + i * 7, QChar(u'一' + i));
    QTest::newRow("a row's lines stay on one page") << rowsOfLines << 3;
    QTest::newRow("a row longer than a page") << QStringList{"a", QString(6000, u'字')} << 1;
}

void TestGuiResults::printWrapsLongRows() {
    QFETCH(QStringList, rows);
    QFETCH(int, oneLineRows);
    TestWindow w;
    showResults(w, rows);
    RecordingEngine engine;
    printWith(w, engine);
    QVERIFY(w.platform.messages.isEmpty());
    QCOMPARE(engine.property(QPrintEngine::PPK_DocumentName).toString(),
             QStringLiteral("Vornel 実行結果"));

    // Put the rows back together: a line at the left edge starts a row, an indented one goes on
    // with it.
    QStringList printed;
    QList<QList<int>> pagesOfRow;
    int linesPerPage = 0;
    QHash<int, int> onPage;
    const Printout printout = splitHeadings(engine);
    verifyHeadings(engine, printout, QString());
    for (const RecordingEngine::Line& l : printout.body) {
        QVERIFY2(l.right <= RecordingEngine::kWidth + 0.5, qPrintable(l.text));
        QVERIFY(!l.text.isEmpty() && !l.text.front().isLowSurrogate());
        QVERIFY(!l.text.back().isHighSurrogate());
        linesPerPage = std::max(linesPerPage, ++onPage[l.page]);
        if (l.left == 0 || printed.isEmpty()) {
            QCOMPARE(l.left, 0);
            printed << l.text;
            pagesOfRow << QList<int>{l.page};
        } else {
            QVERIFY(l.left > 0);
            printed.last() += l.text;
            pagesOfRow.last() << l.page;
        }
    }
    QCOMPARE(printed, rows);
    for (int i = 0; i < oneLineRows; ++i)
        QCOMPARE(pagesOfRow[i].size(), 1);
    for (const QList<int>& pages : pagesOfRow) {
        // A row that fits on a page is on one page; a longer one fills pages in turn.
        if (pages.size() <= linesPerPage)
            QCOMPARE(pages.first(), pages.last());
        else
            QVERIFY(pages.last() > pages.first());
    }
    if (rows.size() > 1 && rows.last().size() > 1000)
        QVERIFY(pagesOfRow.last().size() > 1);
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
