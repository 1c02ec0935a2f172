#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

class QFontMetricsF;
class QPagedPaintDevice;
class ResultListModel;

// Printing the result list: every row text top to bottom, in the device's default font and page
// layout. A row that fits the printable width is one line; a longer one goes on over the next
// lines, indented, broken between characters (never inside one), so nothing is cut off at the
// paper's edge. A row's lines stay on one page unless the row is longer than a page. The data
// file's header line, when it was loaded as one, heads every page; no footer or page numbers. An
// empty list still begins and ends the document. The print job is named "Vornel 実行結果" so that
// it can be told apart in the print queue.
namespace ResultPrinter {

// The name of the print job.
QString jobName();

// One printed line: the piece of a row and whether it continues the row (indented).
struct PrintLine {
    QString text;
    bool continuation = false;
};

// The lines of one row for a printable width: as many characters on each line as fit (at least
// one), continuation lines indented by `indent`.
std::vector<PrintLine> wrapRow(QStringView row, const QFontMetricsF& metrics, qreal width,
                               qreal indent);

// Paints the rows onto device (the default printer, or a PDF writer in tests) and ends the
// document. Returns the reason when the device could not be painted on.
std::optional<QString> print(QPagedPaintDevice& device, const ResultListModel& model);

} // namespace ResultPrinter
