#pragma once

// The pickup of `vornel --pick` when nothing needs all the rows at once (no sort): the data file
// read, picked and written batch by batch, one batch read ahead on a second thread while the one
// before is picked and written, so the memory stays a few batches whatever the file's size.

#include "base/TextCodec.h"
#include "pickup/MatchOptions.h"
#include "pickup/PickupEngine.h"
#include "results/ResultFile.h"
#include "source/FieldMode.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

class DataLoadJob;
class QIODevice;

namespace PickStream {

struct Setup {
    QString data;
    QString output; // empty or "-": the device
    bool header = false;
    std::optional<TextEncoding> encoding; // the user's choice
    std::optional<FieldMode> fields;      // the user's choice
    PickupConditions conditions;
    MatchOptions match;
};

struct Result {
    enum class Outcome {
        Done,
        ReadFailed, // error: the data file could not be read (or has too many rows)
        Changed,    // the data file changed while it was read
        Refused,    // refused: an entry does not fit what the whole file showed
        WriteFailed // writeError
    };
    Outcome outcome = Outcome::Done;
    QString error;
    PickupCompileError refused;
    ResultFile::Error writeError;
    qint64 rows = 0;   // the data rows read
    qint64 picked = 0; // the rows written
};

// Runs the pickup of the file that job has taken its first look at (readFirstLine, a file with
// data), with engine compiled for that first look, writing to setup.output or to device. A
// failure to write does not end the reading: the misfits of the whole file are still counted, as
// the whole load counts them before anything is written. misfit is called on the reading thread,
// one call at a time and in the file's order; progress (bytes read of the file's size) on this one.
Result run(DataLoadJob& job, const Setup& setup, const PickupEngine& engine, QIODevice& device,
           const std::function<void(QByteArrayView line, qint64 lineNumber)>& misfit,
           const std::function<void(qint64 done, qint64 total)>& progress);

// Whether `vornel --pick` streams when it can (tests compare both ways).
bool enabled();
void setEnabledForTesting(bool on);
// Tests: the bytes read for each batch (0: the usual size), and the largest batch the last run
// held.
void setChunkBytesForTesting(qsizetype bytes);
std::size_t largestBatchBytes();

} // namespace PickStream
