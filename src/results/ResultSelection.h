#pragma once

#include <QItemSelection>

#include <cstdint>
#include <vector>

class QAbstractItemModel;

// A run of consecutive display positions of the result list, both ends included.
struct RowRange {
    qint64 first = 0;
    qint64 last = -1;
    qint64 size() const { return last - first + 1; }
    bool operator==(const RowRange&) const = default;
};

// Selections of the result list kept as row runs: selecting all of five million rows is one run,
// never five million indexes.
namespace ResultSelection {

// The rows a view's selection covers (in any column), in the order the selection holds them.
std::vector<RowRange> fromSelection(const QItemSelection& selection);

// Sorted top to bottom, overlapping and adjoining runs merged, clipped to 0 .. count - 1.
std::vector<RowRange> normalised(std::vector<RowRange> ranges, qint64 count);

// Number of rows the (normalised) runs cover.
qint64 rowCount(const std::vector<RowRange>& ranges);

// The selection of those rows over all columns of model.
QItemSelection toSelection(const std::vector<RowRange>& ranges, const QAbstractItemModel& model);

// Where the rows of (normalised) ranges stand after a reorder in which order[j] is the old
// position of the row now at j.
std::vector<RowRange> afterReorder(const std::vector<RowRange>& ranges,
                                   const std::vector<std::uint32_t>& order);

} // namespace ResultSelection
