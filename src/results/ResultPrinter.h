#pragma once

#include "results/PageHeading.h"

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
// paper's edge. A row's lines stay on one page unless the row is longer than a page. Every page
// begins with a heading (the data file's name, the day of printing and "1 / 3" page numbers) and
// a rule under it; the data file's header line, when it was loaded as one, comes next. The page
// margins are at least kMinimumMarginMm on every side. An empty list still prints one page with
// its heading. The print job is named "Vornel 実行結果" so that it can be told apart in the print
// queue.
namespace ResultPrinter {

// The narrowest page margin, on every side.
inline constexpr qreal kMinimumMarginMm = 10;

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

// Paints the rows onto device (the default printer, or a PDF writer in tests) under heading and
// ends the document. The page count is known before the first page is painted: the rows are laid
// out once, then printed. Returns the reason when the device could not be painted on.
std::optional<QString> print(QPagedPaintDevice& device, const ResultListModel& model,
                             const PageHeading& heading);

} // namespace ResultPrinter
