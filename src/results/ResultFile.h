#pragma once

#include <QString>

#include <optional>

class QIODevice;
class ResultListModel;

// The result file (its bytes come from RowWriter): every row of the result list in display order,
// each line ending in CR LF (the last one too), no quoting; the data file's header line first when
// it was loaded as one (then even an empty result list gives that line). Each line is the row's own
// bytes as the data file held them, so it is byte for byte the line that was read, in the data
// file's encoding; a UTF-8 data file that began with a byte-order mark gives a result that begins
// with one. Otherwise an empty result list gives a 0-byte file. The same content whatever the
// file's extension.
namespace ResultFile {

struct Error {
    // File failures carry their QFileDevice::FileError value (1 read, 2 write, 3 fatal, 4 resource,
    // 5 open, 6 abort, 7 time-out, 8 unspecified, 9 remove, 10 rename, 11 position, 12 resize,
    // 13 permissions, 14 copy); running out of memory gives OutOfMemory.
    int number = 0;
    QString description;
    // The folder refuses a temporary file: only writing the old file in place would work.
    bool inPlaceOnly = false;
};

constexpr int OutOfMemory = 4; // as QFileDevice::ResourceError

// Writes the file through a temporary file that replaces the target only when everything was
// written: a failed save leaves the file that was there untouched. Where the folder refuses a
// temporary file the error says inPlaceOnly; with allowInPlace (the user agreed to it) the old file
// is then written in place, and a failure part-way loses it.
std::optional<Error> save(const QString& path, const ResultListModel& model,
                          bool allowInPlace = false);

// The same bytes written straight to an open device (standard output, for one), flushed at the end
// when it is a file. A failure may leave part of the rows written: a device has no old content
// to keep.
std::optional<Error> write(QIODevice& device, const ResultListModel& model);

// The failure message: "エラー番号 = " number, CR, description.
QString message(const Error& error);

} // namespace ResultFile
