#include "results/ResultPrinter.h"

#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
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

std::optional<QString> print(QPagedPaintDevice& device, const ResultListModel& model) {
    // The job's name in the print queue (and the title of a PDF).
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setDocName(jobName());
    else if (auto* pdf = dynamic_cast<QPdfWriter*>(&device))
        pdf->setTitle(jobName());

    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("印刷を開始できませんでした。");
    const QFontMetricsF metrics(painter.font(), &device);
    const qreal lineHeight = std::max<qreal>(metrics.lineSpacing(), 1);
    const qreal pageWidth = device.width();
    // Continuation lines start one full-width character in, but always leave room for text.
    const qreal indent = std::min(metrics.horizontalAdvance(QStringLiteral("　")), pageWidth / 4);
    const qint64 linesPerPage = std::max<qint64>(1, qint64(device.height() / lineHeight));

    qint64 line = 0; // lines used on the current page
    auto paint = [&](const PrintLine& piece) {
        const qreal x = piece.continuation ? indent : 0;
        painter.drawText(QPointF(x, qreal(line) * lineHeight + metrics.ascent()), piece.text);
        ++line;
    };
    // The data file's header line heads every page, when it leaves room for a row.
    std::vector<PrintLine> header;
    if (model.store().hasHeader()) {
        header =
            wrapRow(model.store().decode(model.store().headerBytes()), metrics, pageWidth, indent);
        if (qint64(header.size()) >= linesPerPage)
            header.clear();
    }
    auto pageTop = [&] {
        for (const PrintLine& piece : header)
            paint(piece);
    };
    auto newPage = [&] {
        if (!device.newPage())
            return false;
        line = 0;
        pageTop();
        return true;
    };
    pageTop();
    const qint64 rowLines = linesPerPage - qint64(header.size()); // room under the header
    const qint64 n = model.count();
    for (qint64 i = 0; i < n; ++i) {
        const std::vector<PrintLine> pieces = wrapRow(model.rowText(i), metrics, pageWidth, indent);
        const qint64 count = qint64(pieces.size());
        // A row that fits on a page is not split over two.
        if (line > qint64(header.size()) && line + count > linesPerPage && count <= rowLines &&
            !newPage()) {
            painter.end();
            return QStringLiteral("印刷中に新しいページを始められませんでした。");
        }
        for (const PrintLine& piece : pieces) {
            if (line >= linesPerPage && !newPage()) {
                painter.end();
                return QStringLiteral("印刷中に新しいページを始められませんでした。");
            }
            paint(piece);
        }
    }
    if (!painter.end())
        return QStringLiteral("印刷を終えられませんでした。");
    return std::nullopt;
}

} // namespace ResultPrinter
