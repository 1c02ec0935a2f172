#pragma once

#include <QString>

#include <optional>

class QIODevice;
class ResultListModel;

// The result file: every row text of the result list in display order, each line ending in CR LF
// (the last one too), encoded in code page 932, no header, no quoting. An empty result list gives
// a 0-byte file. The same content whatever the file's extension.
namespace ResultFile {

struct Error {
    // File failures carry their QFileDevice::FileError value (1 read, 2 write, 3 fatal, 4 resource,
    // 5 open, 6 abort, 7 time-out, 8 unspecified, 9 remove, 10 rename, 11 position, 12 resize,
    // 13 permissions, 14 copy); a row code page 932 cannot hold gives UnencodableRow.
    int number = 0;
    QString description;
};

constexpr int UnencodableRow = 100;

// Writes the file through a temporary file that replaces the target only when everything was
// written: a failed save leaves the file that was there untouched. A row holding a character that
// code page 932 cannot hold is not written altered; the save fails naming that row.
std::optional<Error> save(const QString& path, const ResultListModel& model);

// The same bytes written straight to an open device (standard output, for one), flushed at the end
// when it is a file. A failure may leave part of the rows written: a device has no old content
// to keep.
std::optional<Error> write(QIODevice& device, const ResultListModel& model);

// The failure message: "エラー番号 = " number, CR, description.
QString message(const Error& error);

} // namespace ResultFile
