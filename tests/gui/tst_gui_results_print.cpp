// Printing the result list from the real window: lines and pages, each page's heading, the
// header line repeated, long rows wrapped, a PDF file, and a printer that is missing or refuses.
#include "GuiResultsSupport.h"

#include "TestFiles.h"
#include "main_window/MousePointer.h"
#include "results/ResultListModel.h"

#include <QDate>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>
#include <QTextItem>

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

} // namespace

class TestGuiResultsPrint : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
};

void TestGuiResultsPrint::printLinesAndPages() {
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

void TestGuiResultsPrint::printRepeatsTheHeaderLine_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("header");
    QTest::newRow("several pages") << 120 << QStringLiteral("番号,名前,データ");
    QTest::newRow("no row: the header alone") << 0 << QStringLiteral("番号,名前,データ");
    QTest::newRow("a header longer than a line") << 90 << QString(300, u'見');
}

void TestGuiResultsPrint::printRepeatsTheHeaderLine() {
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

void TestGuiResultsPrint::printHeadingNamesTheFile_data() {
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

void TestGuiResultsPrint::printHeadingNamesTheFile() {
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

void TestGuiResultsPrint::printToPdf_data() {
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

void TestGuiResultsPrint::printToPdf() {
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

void TestGuiResultsPrint::printWithoutPrinter() {
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

void TestGuiResultsPrint::printRefused() {
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

void TestGuiResultsPrint::printWrapsLongRows_data() {
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

void TestGuiResultsPrint::printWrapsLongRows() {
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

QTEST_MAIN(TestGuiResultsPrint)
#include "tst_gui_results_print.moc"
