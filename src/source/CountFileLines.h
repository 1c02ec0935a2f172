#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace mProgress {

// Number of line ends in the file: every LF, alone or after a CR, ends a line (a lone CR does
// not). A last line without a line end is not counted. Empty when the file cannot be read.
// afterChunk, when given, is called after every megabyte read (a long count can let the event
// loop turn there).
std::optional<qint64> CountFileLines(const QString& path,
                                     const std::function<void()>& afterChunk = {});

} // namespace mProgress
