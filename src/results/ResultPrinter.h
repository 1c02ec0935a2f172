#pragma once

#include <QString>

#include <optional>

class QPagedPaintDevice;
class ResultListModel;

// Printing the result list: every row text as one line, top to bottom, in the device's default
// font and page layout, starting a new page whenever the next line would not fit. No header,
// footer or page numbers. An empty list still begins and ends the document.
namespace ResultPrinter {

// Paints the rows onto device (the default printer, or a PDF writer in tests) and ends the
// document. Returns the reason when the device could not be painted on.
std::optional<QString> print(QPagedPaintDevice& device, const ResultListModel& model);

} // namespace ResultPrinter
