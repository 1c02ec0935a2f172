#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

// The hand-over file for Zelvo: the result rows in their order, one per line, each line the row's
// own bytes (as the data file held them) ended by CR LF. The file is replaced whole or not at
// all, readable by its owner alone; a symbolic link at its path is refused, not followed.
namespace mdlShare {

struct TransferFileResult {
    QString path;   // the file written, or that could not be written
    QString reason; // why it could not be written; empty on success
    // The folder refuses a temporary file: only writing the old file in place would work.
    bool inPlaceOnly = false;

    bool ok() const { return reason.isEmpty(); }
    // The error message for the user: what failed, the file and the reason.
    QString message() const;
};

// Writes rowCount rows, row i's bytes given by rowBytes(i) (called from two threads), to the file
// at path through RowWriter, after prefix (a byte-order mark) when there is any row. progress,
// when given, is called with the number of rows written so far, at most every progressIntervalMs
// milliseconds while the rows are written (after each piece of a few megabytes) and once with
// rowCount after the last row. allowInPlace (the user agreed to it): where the folder refuses a
// temporary file, the old file is written in place.
TransferFileResult WriteTransferFile(const QString& path, qint64 rowCount,
                                     const std::function<QByteArrayView(qint64)>& rowBytes,
                                     QByteArrayView prefix = {},
                                     const std::function<void(qint64)>& progress = {},
                                     int progressIntervalMs = 15, bool allowInPlace = false);

} // namespace mdlShare
