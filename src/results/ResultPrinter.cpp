// Printing the result rows: the layout of a page, and painting it.
#include "results/ResultPrinter.h"

#include "results/PrintPages.h"
#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrinter>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace ResultPrinter {

QString jobName() {
    return QStringLiteral("Vornel 実行結果");
}

std::vector<PrintLine> wrapRow(QStringView row, const QFontMetricsF& metrics, qreal width,
                               qreal indent) {
    std::vector<PrintLine> lines;
    if (metrics.horizontalAdvance(row.toString()) <= width) {
        lines.push_back({row.toString(), false});
        return lines;
    }
    // Characters as the reader sees them (a surrogate pair, a base letter with its marks) are
    // never split.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, row.data(), int(row.size()));
    qsizetype start = 0;
    qsizetype end = 0; // the end of the last character that fits on the current line
    qreal used = 0;
    while (start < row.size()) {
        const qreal room = lines.empty() ? width : width - indent;
        characters.setPosition(int(end));
        const qsizetype next = characters.toNextBoundary();
        const qsizetype stop = next < 0 ? row.size() : next;
        const qreal advance = metrics.horizontalAdvance(row.sliced(end, stop - end).toString());
        if (end > start && used + advance > room) {
            // The line is full: check it as a whole (kerning), and give back a character where
            // the sum of the pieces was too kind.
            qsizetype cut = end;
            while (cut > start + 1 &&
                   metrics.horizontalAdvance(row.sliced(start, cut - start).toString()) > room) {
                characters.setPosition(int(cut));
                const qsizetype previous = characters.toPreviousBoundary();
                cut = previous > start ? previous : start + 1;
            }
            lines.push_back({row.sliced(start, cut - start).toString(), !lines.empty()});
            start = end = cut;
            used = 0;
            continue;
        }
        used += advance;
        end = stop;
        if (end >= row.size()) {
            lines.push_back({row.sliced(start).toString(), !lines.empty()});
            break;
        }
    }
    return lines;
}

namespace {

// Lines the page heading takes: its text, and a rule in the middle of the line under it.
constexpr qint64 kHeadingLines = 2;

// Widens the device's page margins to kMinimumMarginMm where they are narrower. Returns what is
// still missing on each side in device pixels, for a device that keeps narrower margins (or whose
// layout is not known: then nothing is added).
QMarginsF widenMargins(QPagedPaintDevice& device) {
    QPageLayout layout = device.pageLayout();
    if (!layout.isValid())
        return {};
    const QMarginsF now = layout.margins(QPageLayout::Millimeter);
    const QMarginsF wanted(
        std::max(now.left(), kMinimumMarginMm), std::max(now.top(), kMinimumMarginMm),
        std::max(now.right(), kMinimumMarginMm), std::max(now.bottom(), kMinimumMarginMm));
    if (wanted != now && device.setPageMargins(wanted, QPageLayout::Millimeter))
        layout = device.pageLayout();
    const QMarginsF got = layout.margins(QPageLayout::Millimeter);
    const qreal x = device.logicalDpiX() / 25.4;
    const qreal y = device.logicalDpiY() / 25.4;
    return {std::max<qreal>(0, wanted.left() - got.left()) * x,
            std::max<qreal>(0, wanted.top() - got.top()) * y,
            std::max<qreal>(0, wanted.right() - got.right()) * x,
            std::max<qreal>(0, wanted.bottom() - got.bottom()) * y};
}

} // namespace

std::optional<QString> print(QPagedPaintDevice& device, const ResultListModel& model,
                             const PageHeading& heading) {
    // The job's name in the print queue (and the title of a PDF).
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setDocName(jobName());
    else if (auto* pdf = dynamic_cast<QPdfWriter*>(&device))
        pdf->setTitle(jobName());
    const QMarginsF inset = widenMargins(device);

    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("印刷を開始できませんでした。");
    const QFontMetricsF metrics(painter.font(), &device);
    const qreal lineHeight = std::max<qreal>(metrics.lineSpacing(), 1);
    const qreal pageWidth = std::max<qreal>(1, device.width() - inset.left() - inset.right());
    const qreal pageHeight = std::max<qreal>(1, device.height() - inset.top() - inset.bottom());
    painter.translate(inset.left(), inset.top());
    // Continuation lines start one full-width character in, but always leave room for text.
    const qreal indent = std::min(metrics.horizontalAdvance(QStringLiteral("　")), pageWidth / 4);
    qint64 lines = std::max<qint64>(1, qint64(pageHeight / lineHeight));
    // A page too small for the heading and a row goes without the heading.
    const qint64 headingLines = lines > kHeadingLines ? kHeadingLines : 0;
    lines -= headingLines;

    // The data file's header line heads every page, when it leaves room for a row.
    std::vector<PrintLine> header;
    if (model.store().hasHeader())
        header =
            wrapRow(model.store().decode(model.store().headerBytes()), metrics, pageWidth, indent);
    const qint64 n = model.count();
    // Lay the rows out once to know the number of pages, then print them the same way.
    PrintPages counted(lines, qint64(header.size()));
    for (qint64 i = 0; i < n; ++i)
        counted.addRow(qint64(wrapRow(model.rowText(i), metrics, pageWidth, indent).size()));
    const qint64 pages = counted.pages();
    if (counted.headerLines() == 0)
        header.clear();

    auto paint = [&](const PrintLine& piece, qint64 line) {
        const qreal x = piece.continuation ? indent : 0;
        painter.drawText(QPointF(x, qreal(headingLines + line) * lineHeight + metrics.ascent()),
                         piece.text);
    };
    auto pageTop = [&](qint64 page) {
        if (headingLines > 0) {
            // The page number at the right, the date in the middle, the file's name at the left
            // (shortened in the middle where it would run into the date).
            const QString number = PageHeading::pageNumber(page, pages);
            const qreal numberLeft = pageWidth - metrics.horizontalAdvance(number);
            const qreal dateWidth = metrics.horizontalAdvance(heading.date);
            const qreal dateLeft = std::max<qreal>(0, (pageWidth - dateWidth) / 2);
            const qreal gap = metrics.horizontalAdvance(QStringLiteral("　"));
            const QString name = metrics.elidedText(heading.fileName, Qt::ElideMiddle,
                                                    std::max<qreal>(0, dateLeft - gap));
            const qreal baseline = metrics.ascent();
            if (!name.isEmpty())
                painter.drawText(QPointF(0, baseline), name);
            if (!heading.date.isEmpty())
                painter.drawText(QPointF(dateLeft, baseline), heading.date);
            painter.drawText(QPointF(std::max<qreal>(0, numberLeft), baseline), number);
            // A rule of 0.2 mm under it.
            const qreal rule = lineHeight * 1.5;
            const QPen text = painter.pen();
            QPen thin = text;
            thin.setWidthF(std::max<qreal>(1, device.logicalDpiY() / 25.4 * 0.2));
            painter.setPen(thin);
            painter.drawLine(QPointF(0, rule), QPointF(pageWidth, rule));
            painter.setPen(text);
        }
        for (qint64 line = 0; line < qint64(header.size()); ++line)
            paint(header[size_t(line)], line);
    };

    PrintPages placed(lines, qint64(header.size()));
    qint64 page = 1;
    bool failed = false;
    pageTop(page);
    for (qint64 i = 0; i < n && !failed; ++i) {
        const std::vector<PrintLine> pieces = wrapRow(model.rowText(i), metrics, pageWidth, indent);
        qsizetype next = 0;
        placed.addRow(qint64(pieces.size()), [&](qint64 onPage, qint64 line) {
            if (failed)
                return;
            if (onPage != page) {
                if (!device.newPage()) {
                    failed = true;
                    return;
                }
                page = onPage;
                pageTop(page);
            }
            paint(pieces[size_t(next++)], line);
        });
    }
    if (failed) {
        painter.end();
        return QStringLiteral("印刷中に新しいページを始められませんでした。");
    }
    if (!painter.end())
        return QStringLiteral("印刷を終えられませんでした。");
    return std::nullopt;
}

} // namespace ResultPrinter
