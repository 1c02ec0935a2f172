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
// Rows that follow each other in the store, each followed there by CR LF, are one run of bytes
// that is written from the store itself, not copied, once it is at least this long (shorter
// runs are copied: a write of its own would cost more).
constexpr qsizetype kDirectBytes = 64 << 10;

// A stretch of a piece: bytes in the store (data set) or in the piece's own bytes (from `at`).
struct Segment {
    const char* data = nullptr;
    qsizetype at = 0;
    qsizetype size = 0;
};

struct Piece {
    qint64 begin = 0; // first row of the piece
    qint64 end = 0;   // one past its last row
    QByteArray bytes; // the copied rows
    std::vector<Segment> segments;
    std::vector<QByteArrayView> rows;

    // Appends n bytes to the copied ones; where they go.
    char* grow(qsizetype n) {
        const qsizetype at = bytes.size();
        bytes.resize(at + n);
        if (segments.empty() || segments.back().data)
            segments.push_back({nullptr, at, 0});
        segments.back().size += n;
        return bytes.data() + at;
    }
};

// Ends the run [from, to) of whole rows (their CR LF between them, none after the last): from
// the store when it is long, else copied; then the last row's CR LF.
void endRun(Piece& piece, const char* from, const char* to) {
    const qsizetype size = qsizetype(to - from);
    if (size >= kDirectBytes) {
        piece.segments.push_back({from, 0, size});
        std::memcpy(piece.grow(2), "\r\n", 2);
        return;
    }
    char* d = piece.grow(size + 2);
    if (size > 0)
        std::memcpy(d, from, size_t(size));
    d[size] = '\r';
    d[size + 1] = '\n';
}

// Gathers rows from piece.begin on until about kPieceBytes are together or the rows end.
void gather(qint64 rowCount, const RowSource& source, Piece& piece) {
    if (piece.bytes.capacity() < kPieceBytes)
        piece.bytes.reserve(kPieceBytes + kPieceBytes / 4); // seldom grown again
    piece.bytes.resize(0);
    piece.segments.clear();
    qsizetype total = 0;
    const char* runFrom = nullptr; // the open run, when runFrom is set
    const char* runTo = nullptr;
    qint64 pos = piece.begin;
    while (pos < rowCount && total < kPieceBytes) {
        const qint64 e = std::min(rowCount, pos + kLookupRows);
        piece.rows.resize(size_t(e - pos));
        source(pos, e, piece.rows.data());
        for (size_t k = 0; k < piece.rows.size(); ++k) {
            if (k + kPrefetchAhead < piece.rows.size())
                __builtin_prefetch(piece.rows[k + kPrefetchAhead].data());
            const QByteArrayView r = piece.rows[k];
            total += r.size() + 2;
            // The row goes on the run when it begins right after the run's CR LF. Both bytes
            // lie between two rows of the store, so reading them is safe.
            if (runFrom && r.data() == runTo + 2 && runTo[0] == '\r' && runTo[1] == '\n') {
                runTo = r.data() + r.size();
                continue;
            }
            if (runFrom)
                endRun(piece, runFrom, runTo);
            runFrom = r.data();
            runTo = r.data() + r.size();
            if (!runFrom) { // an empty row from nowhere: its line end alone
                std::memcpy(piece.grow(2), "\r\n", 2);
                runTo = nullptr;
            }
        }
        pos = e;
    }
    if (runFrom)
        endRun(piece, runFrom, runTo);
    piece.end = pos;
}

// Hands the piece's bytes to sink in order.
bool put(const Piece& piece, const Sink& sink) {
    for (const Segment& s : piece.segments)
        if (!sink(QByteArrayView(s.data ? s.data : piece.bytes.constData() + s.at, s.size)))
            return false;
    return true;
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
        inParallel([&] { written = put(current, sink); },
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
