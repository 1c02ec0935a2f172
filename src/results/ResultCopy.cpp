#include "results/ResultCopy.h"

#include "base/InParallel.h"
#include "base/LargeMemory.h"
#include "base/TextCodec.h"

#include "results/ResultListModel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace ResultCopy {
namespace {

// From this many rows on, two threads share the work, each over one half of the rows.
constexpr qint64 kThreadedFrom = 100000;
constexpr qint64 kBatchRows = 32768;
constexpr size_t kPrefetchAhead = 16;

// An upper bound of the text's code units: a character never takes more code units than bytes.
qsizetype measure(const ResultListModel& model, const std::vector<RowRange>& rows) {
    qsizetype bytes = 0;
    for (const RowRange& r : rows)
        for (qint64 i = r.first; i <= r.last; ++i)
            bytes += model.rowBytes(i).size() + 2;
    return bytes;
}

// Decodes the rows into d, each but the last followed by CR LF; returns the code units written.
qsizetype copyInto(const ResultListModel& model, const std::vector<RowRange>& rows, char16_t* d) {
    // After a sort the rows lie all over the store: look a batch up in one tight loop and fetch
    // the bytes a few rows ahead, so the memory reads overlap.
    const TextEncoding encoding = model.store().encoding();
    char16_t* const start = d;
    std::vector<QByteArrayView> rowBytes;
    bool firstLine = true;
    for (const RowRange& r : rows) {
        for (qint64 b = r.first; b <= r.last; b += kBatchRows) {
            const qint64 e = std::min(r.last + 1, b + kBatchRows);
            rowBytes.resize(size_t(e - b));
            model.rowBytes(b, e, rowBytes.data());
            for (size_t k = 0; k < rowBytes.size(); ++k) {
                if (k + kPrefetchAhead < rowBytes.size())
                    __builtin_prefetch(rowBytes[k + kPrefetchAhead].data());
                if (!firstLine) {
                    *d++ = u'\r';
                    *d++ = u'\n';
                }
                firstLine = false;
                d += TextCodec::decodeInto(encoding, rowBytes[k], d);
            }
        }
    }
    return d - start;
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
        out.truncate(copyInto(model, rows, reinterpret_cast<char16_t*>(out.data())));
        return out;
    }

    // Both halves are decoded straight into the text, the bottom one on a helper thread behind
    // the room the top one may need; then the bottom half is moved up behind the top half.
    const auto halves = split(rows, lines / 2);
    const std::vector<RowRange>& top = halves.first;
    const std::vector<RowRange>& bottom = halves.second;
    const qsizetype topBound = measure(model, top);
    const qsizetype bottomBound = measure(model, bottom);
    QString out(topBound + bottomBound, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    // Huge pages where the system has them: millions of rows of fresh memory otherwise cost a
    // page fault per 4 KiB.
    LargeMemory::adviseHugePages(d, size_t(topBound + bottomBound) * sizeof(char16_t));
    qsizetype topUnits = 0;
    qsizetype bottomUnits = 0;
    inParallel([&] { topUnits = copyInto(model, top, d); },
               [&] { bottomUnits = copyInto(model, bottom, d + topBound); });
    d[topUnits] = u'\r';
    d[topUnits + 1] = u'\n';
    std::memmove(d + topUnits + 2, d + topBound, size_t(bottomUnits) * sizeof(char16_t));
    out.truncate(topUnits + 2 + bottomUnits);
    return out;
}

} // namespace ResultCopy
