#pragma once

// What every reader of a data file does alike (the whole load's DataFileReader and DataLoadJob,
// the streamed pickup's DataBatchReader): opening the file, the reasons for a failed open or
// read, and the limits a row and the first line's columns must keep.

#include "base/ByteKernels.h"

#include <QFile>
#include <QString>

#include <cstddef>

namespace DataFileAccess {

// Opens file (named path) unbuffered for reading. Pipes, devices, folders and the kernel's files
// are refused before they are opened (opening a pipe would wait for a writer). False: error says
// why.
bool openForReading(QFile& file, const QString& path, QString& error);
// The reason a read of file failed.
QString readFailureReason(const QFile& file);

// A line (or record) longer than a row may be that would fit but for its length: the load ends
// there (with tooLongText) rather than hand it on as a misfit.
bool tooLong(const ByteKernels::LineCuts::Bad& line, std::size_t commaCount);
QString tooLongText(qint64 lineNumber);

// A first line (or record) with more commas than a comma count holds.
bool tooManyColumns(qsizetype commas);
QString tooManyColumnsText();

} // namespace DataFileAccess
