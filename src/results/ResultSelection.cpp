#include "results/ResultSelection.h"

#include <QAbstractItemModel>

#include <algorithm>

namespace ResultSelection {

std::vector<RowRange> fromSelection(const QItemSelection& selection) {
    std::vector<RowRange> ranges;
    ranges.reserve(size_t(selection.size()));
    for (const QItemSelectionRange& r : selection)
        if (r.isValid())
            ranges.push_back({r.top(), r.bottom()});
    return ranges;
}

std::vector<RowRange> normalised(std::vector<RowRange> ranges, qint64 count) {
    std::vector<RowRange> out;
    for (RowRange& r : ranges) {
        r.first = std::max<qint64>(r.first, 0);
        r.last = std::min<qint64>(r.last, count - 1);
    }
    std::erase_if(ranges, [](const RowRange& r) { return r.first > r.last; });
    std::sort(ranges.begin(), ranges.end(),
              [](const RowRange& a, const RowRange& b) { return a.first < b.first; });
    for (const RowRange& r : ranges) {
        if (!out.empty() && r.first <= out.back().last + 1)
            out.back().last = std::max(out.back().last, r.last);
        else
            out.push_back(r);
    }
    return out;
}

qint64 rowCount(const std::vector<RowRange>& ranges) {
    qint64 n = 0;
    for (const RowRange& r : ranges)
        n += r.size();
    return n;
}

QItemSelection toSelection(const std::vector<RowRange>& ranges, const QAbstractItemModel& model) {
    QItemSelection selection;
    const int lastColumn = model.columnCount() - 1;
    if (lastColumn < 0)
        return selection;
    selection.reserve(qsizetype(ranges.size()));
    for (const RowRange& r : ranges)
        selection.append(QItemSelectionRange(model.index(int(r.first), 0),
                                             model.index(int(r.last), lastColumn)));
    return selection;
}

std::vector<RowRange> afterReorder(const std::vector<RowRange>& ranges,
                                   const std::vector<std::uint32_t>& order) {
    std::vector<RowRange> out;
    if (ranges.empty())
        return out;
    // Everything selected stays everything selected; no need to walk the rows.
    if (ranges.size() == 1 && ranges.front().first == 0 &&
        ranges.front().last == qint64(order.size()) - 1)
        return ranges;
    std::vector<bool> selected(order.size(), false);
    for (const RowRange& r : ranges)
        for (qint64 i = r.first; i <= r.last; ++i)
            selected[size_t(i)] = true;
    for (size_t j = 0; j < order.size(); ++j) {
        if (!selected[order[j]])
            continue;
        if (!out.empty() && out.back().last == qint64(j) - 1)
            out.back().last = qint64(j);
        else
            out.push_back({qint64(j), qint64(j)});
    }
    return out;
}

} // namespace ResultSelection
