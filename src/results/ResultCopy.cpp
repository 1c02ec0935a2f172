#include "results/ResultCopy.h"

#include "results/ResultListModel.h"

#include <algorithm>
#include <thread>

namespace ResultCopy {
namespace {

// From this many rows on, two threads share the work, each over one half of the rows.
constexpr qint64 kThreadedFrom = 100000;
constexpr qint64 kBatchRows = 32768;
constexpr size_t kPrefetchAhead = 16;

qsizetype measure(const ResultListModel& model, const std::vector<RowRange>& rows) {
    qsizetype units = 0;
    for (const RowRange& r : rows)
        for (qint64 i = r.first; i <= r.last; ++i)
            units += model.rowText(i).size() + 2;
    return units == 0 ? 0 : units - 2; // no CR LF after the last
}

void copyInto(const ResultListModel& model, const std::vector<RowRange>& rows, char16_t* d) {
    // After a sort the rows lie all over the store: look a batch up in one tight loop and fetch
    // the texts a few rows ahead, so the memory reads overlap.
    std::vector<QStringView> texts;
    bool firstLine = true;
    for (const RowRange& r : rows) {
        for (qint64 b = r.first; b <= r.last; b += kBatchRows) {
            const qint64 e = std::min(r.last + 1, b + kBatchRows);
            texts.resize(size_t(e - b));
            model.rowTexts(b, e, texts.data());
            for (size_t k = 0; k < texts.size(); ++k) {
                if (k + kPrefetchAhead < texts.size()) {
                    const QStringView ahead = texts[k + kPrefetchAhead];
                    for (qsizetype u = 0; u < ahead.size(); u += 32) // 32 code units a cache line
                        __builtin_prefetch(ahead.data() + u);
                }
                if (!firstLine) {
                    *d++ = u'\r';
                    *d++ = u'\n';
                }
                firstLine = false;
                const QStringView t = texts[k];
                std::copy(t.utf16(), t.utf16() + t.size(), d);
                d += t.size();
            }
        }
    }
}

// Cuts (normalised) runs after their first `count` rows.
std::pair<std::vector<RowRange>, std::vector<RowRange>> split(const std::vector<RowRange>& rows,
                                                              qint64 count) {
    std::pair<std::vector<RowRange>, std::vector<RowRange>> halves;
    for (const RowRange& r : rows) {
        if (count >= r.size()) {
            halves.first.push_back(r);
            count -= r.size();
        } else if (count > 0) {
            halves.first.push_back({r.first, r.first + count - 1});
            halves.second.push_back({r.first + count, r.last});
            count = 0;
        } else {
            halves.second.push_back(r);
        }
    }
    return halves;
}

} // namespace

QString text(const ResultListModel& model, const std::vector<RowRange>& ranges) {
    const std::vector<RowRange> rows = ResultSelection::normalised(ranges, model.count());
    const qint64 lines = ResultSelection::rowCount(rows);
    if (lines == 0)
        return {};
    if (lines < kThreadedFrom) {
        QString out(measure(model, rows), Qt::Uninitialized);
        copyInto(model, rows, reinterpret_cast<char16_t*>(out.data()));
        return out;
    }

    // Plain variables rather than a structured binding: lambdas below capture them.
    const auto halves = split(rows, lines / 2);
    const std::vector<RowRange>& top = halves.first;
    const std::vector<RowRange>& bottom = halves.second;
    qsizetype bottomUnits = 0;
    std::thread helper([&] { bottomUnits = measure(model, bottom); });
    const qsizetype topUnits = measure(model, top);
    helper.join();

    QString out(topUnits + 2 + bottomUnits, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    d[topUnits] = u'\r';
    d[topUnits + 1] = u'\n';
    helper = std::thread([&] { copyInto(model, bottom, d + topUnits + 2); });
    copyInto(model, top, d);
    helper.join();
    return out;
}

} // namespace ResultCopy
