#pragma once

// The one writer of rows for every output: Save, the hand-over to Zelvo and standard output.
// Each row is written as its own bytes (the line as the data file held it) followed by CR LF, the
// last row too; nothing else, except the UTF-8 byte-order mark first when the data file began
// with one and there is any row.

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>

class ResultListModel;
class RowStore;

namespace RowWriter {

// Takes the bytes in pieces, in order; false stops the writing.
using Sink = std::function<bool(QByteArrayView bytes)>;
// Rows written so far.
using Progress = std::function<void(qint64 rowsWritten)>;
// Fills out[0 .. end - begin) with the bytes of rows begin .. end - 1.
using RowSource = std::function<void(qint64 begin, qint64 end, QByteArrayView* out)>;

// The mark a file of the store's rows begins with (empty but for a UTF-8 file that had one).
QByteArrayView mark(const RowStore& store);

// Writes rowCount rows, mark first when there is any row. While one piece of a few megabytes is
// handed to sink, a helper thread gathers the next. A long run of rows that lie one after another
// in the store, CR LF between them, is handed over from the store's own bytes, uncopied. progress,
// when given, is called on this thread after a piece once at least progressIntervalMs have passed
// since the last call, and once with rowCount at the end. False when sink refused bytes. Running
// out of memory throws std::bad_alloc.
bool write(qint64 rowCount, const RowSource& rows, QByteArrayView mark, const Sink& sink,
           const Progress& progress = {}, int progressIntervalMs = 0);

// The result list's rows in display order, with the store's mark; the store's header line, when
// it has one, comes first (Save and standard output; the hand-over takes the rows only).
bool write(const ResultListModel& model, const Sink& sink, const Progress& progress = {},
           int progressIntervalMs = 0);

} // namespace RowWriter
