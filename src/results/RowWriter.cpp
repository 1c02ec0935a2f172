// The row writer: rows' own bytes plus CR LF, gathered in pieces beside the writing.
#include "results/RowWriter.h"

#include "base/InParallel.h"
#include "base/TextCodec.h"
#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>
#include <vector>

namespace RowWriter {
namespace {

// Rows are gathered into pieces of about this size; while one piece is written, a helper thread
// gathers the next (after a sort the rows lie all over the store, and the file system and the
// memory reads then take about as long as each other).
constexpr qsizetype kPieceBytes = 4 << 20;
constexpr size_t kPrefetchAhead = 16;
constexpr qint64 kLookupRows = 4096;

struct Piece {
    qint64 begin = 0; // first row of the piece
    qint64 end = 0;   // one past its last row
    QByteArray bytes;
    std::vector<QByteArrayView> rows;
};

// Gathers rows from piece.begin on until about kPieceBytes are together or the rows end.
void gather(qint64 rowCount, const RowSource& source, Piece& piece) {
    piece.bytes.resize(0);
    qint64 pos = piece.begin;
    while (pos < rowCount && piece.bytes.size() < kPieceBytes) {
        const qint64 e = std::min(rowCount, pos + kLookupRows);
        piece.rows.resize(size_t(e - pos));
        source(pos, e, piece.rows.data());
        const qsizetype base = piece.bytes.size();
        qsizetype size = base;
        for (const QByteArrayView r : piece.rows)
            size += r.size() + 2;
        piece.bytes.resize(size);
        char* const d = piece.bytes.data();
        qsizetype at = base;
        for (size_t k = 0; k < piece.rows.size(); ++k) {
            if (k + kPrefetchAhead < piece.rows.size())
                __builtin_prefetch(piece.rows[k + kPrefetchAhead].data());
            const QByteArrayView r = piece.rows[k];
            if (!r.isEmpty())
                std::memcpy(d + at, r.data(), size_t(r.size()));
            at += r.size();
            d[at++] = '\r';
            d[at++] = '\n';
        }
        pos = e;
    }
    piece.end = pos;
}

} // namespace

QByteArrayView mark(const RowStore& store) {
    if (store.encoding() == TextEncoding::Utf8 && store.byteOrderMark())
        return QByteArrayView(TextCodec::kUtf8Bom, 3);
    return {};
}

bool write(qint64 rowCount, const RowSource& rows, QByteArrayView mark, const Sink& sink,
           const Progress& progress, int progressIntervalMs) {
    if (rowCount > 0 && !mark.isEmpty() && !sink(mark))
        return false;
    QElapsedTimer clock;
    clock.start();
    qint64 lastReport = 0;
    Piece current;
    Piece following;
    gather(rowCount, rows, current);
    while (current.begin < current.end) {
        following.begin = current.end;
        following.end = following.begin;
        bool written = false;
        inParallel([&] { written = sink(current.bytes); },
                   [&] {
                       if (following.begin < rowCount)
                           gather(rowCount, rows, following);
                   });
        if (!written)
            return false;
        if (progress && current.end < rowCount &&
            clock.elapsed() - lastReport >= progressIntervalMs) {
            lastReport = clock.elapsed();
            progress(current.end);
        }
        std::swap(current, following);
    }
    if (progress)
        progress(rowCount);
    return true;
}

bool write(const ResultListModel& model, const Sink& sink, const Progress& progress,
           int progressIntervalMs) {
    const RowStore& store = model.store();
    QByteArrayView rowsMark = mark(store);
    if (store.hasHeader()) {
        // The header line first, after the mark, even when no row follows.
        QByteArray header = rowsMark.toByteArray();
        header += store.headerBytes();
        header += "\r\n";
        if (!sink(header))
            return false;
        rowsMark = {};
    }
    return write(
        model.count(),
        [&model](qint64 begin, qint64 end, QByteArrayView* out) {
            model.rowBytes(begin, end, out);
        },
        rowsMark, sink, progress, progressIntervalMs);
}

} // namespace RowWriter
