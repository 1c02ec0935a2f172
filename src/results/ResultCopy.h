#pragma once

#include "results/ResultSelection.h"

#include <QString>

class ResultListModel;

// The text that Copy puts on the clipboard.
namespace ResultCopy {

// The texts of the rows in ranges, top to bottom, joined by CR LF with none after the last. Ranges
// may come in any order and overlap; each row is taken once. Identical texts on different rows are
// all kept. No rows give an empty text.
QString text(const ResultListModel& model, const std::vector<RowRange>& ranges);

} // namespace ResultCopy
