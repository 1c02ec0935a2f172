// The streamed pickup: DataBatchReader, PickupEngine::pickRange and ResultStream in a pipeline.
#include "app/PickStream.h"

#include "results/ResultStream.h"
#include "results/RowWriter.h"
#include "source/DataBatchReader.h"
#include "source/DataLoadJob.h"
#include "source/HelperThread.h"
#include "source/RowStore.h"

#include <QFileInfo>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace PickStream {
namespace {

std::atomic<bool> g_enabled{true};
std::atomic<qsizetype> g_chunkBytes{0};
std::atomic<std::size_t> g_largest{0};

// Batches small enough to stay in the processor's cache from the read to the write (larger ones
// cost more, measured).
constexpr qsizetype kChunkBytes = 1 << 20;
// Fewer rows than this are picked on one thread.
constexpr qint64 kSplitRows = 8192;

} // namespace

bool enabled() {
    return g_enabled;
}

void setEnabledForTesting(bool on) {
    g_enabled = on;
}

void setChunkBytesForTesting(qsizetype bytes) {
    g_chunkBytes = bytes;
}

std::size_t largestBatchBytes() {
    return g_largest;
}

Result run(DataLoadJob& job, const Setup& setup, const PickupEngine& firstEngine, QIODevice& device,
           const std::function<void(QByteArrayView line, qint64 lineNumber)>& misfit,
           const std::function<void(qint64 done, qint64 total)>& progress) {
    Result result;
    DataBatchReader::Setup read;
    read.path = setup.data;
    read.commaCount = job.commaCount();
    read.encoding = job.encoding();
    read.encodingForced = setup.encoding.has_value();
    read.byteOrderMark = job.byteOrderMark();
    read.fields = setup.fields;
    read.headerLine = setup.header;
    const qsizetype chunk = g_chunkBytes;
    read.chunkBytes = chunk > 0 ? chunk : kChunkBytes;
    DataBatchReader reader(read);
    g_largest = 0;
    if (const std::optional<QString> error = reader.open()) {
        result.outcome = Result::Outcome::ReadFailed;
        result.error = *error;
        return result;
    }
    const qint64 size = QFileInfo(setup.data).size();

    std::unique_ptr<ResultStream> output;
    if (setup.output.isEmpty() || setup.output == u"-")
        output = std::make_unique<ResultStream>(device);
    else
        output = std::make_unique<ResultStream>(setup.output);
    // Nothing more is picked once the result cannot be written or an entry is refused; the file
    // is still read to its end for the misfits.
    bool writing = output->open();

    // The engine as compiled for the first look, until a batch shows another encoding or (quoted)
    // another comma count.
    std::optional<PickupEngine> engine;
    TextEncoding engineEncoding = job.encoding();
    int engineCommas = job.commaCount();
    const PickupEngine* picking = &firstEngine;
    bool refused = false;
    bool headerDone = false;

    RowStore batches[2];
    std::vector<std::uint32_t> picked;
    std::vector<std::uint32_t> secondHalf;
    // Threads that stay for the whole run and do one job at a time for it (a thread of its own
    // for each of a few hundred batches would cost more than some batches' work).
    HelperThread reading;
    HelperThread halves;
    int current = 0;
    DataBatchReader::Status status = reader.next(batches[current], misfit);
    while (status == DataBatchReader::Status::Batch) {
        RowStore& batch = batches[current];
        DataBatchReader::Status following = DataBatchReader::Status::Finished;
        const auto pickAndWrite = [&] {
            if (!writing)
                return;
            if (batch.encoding() != engineEncoding || batch.commaCount() != engineCommas) {
                engineEncoding = batch.encoding();
                engineCommas = batch.commaCount();
                engine = PickupEngine::compile(setup.conditions, engineCommas, &result.refused,
                                               engineEncoding, setup.match);
                if (!engine) {
                    refused = true;
                    writing = false;
                    return;
                }
                picking = &*engine;
            }
            const QByteArrayView mark = RowWriter::mark(batch);
            // The header line after the first batch (which may hold nothing else).
            if (!headerDone) {
                headerDone = true;
                if (reader.hasHeader() && !output->writeHeader(mark, reader.headerBytes())) {
                    writing = false;
                    return;
                }
            }
            // The rows in two halves on two threads where there are enough of them (the pickup
            // may cost more than the read ahead).
            const qint64 rows = batch.rowCount();
            picked.clear();
            if (rows >= kSplitRows) {
                secondHalf.clear();
                halves.both([&] { picking->pickRange(batch, 0, rows / 2, picked); },
                            [&] { picking->pickRange(batch, rows / 2, rows, secondHalf); });
                picked.insert(picked.end(), secondHalf.begin(), secondHalf.end());
            } else {
                picking->pickRange(batch, 0, rows, picked);
            }
            result.picked += qint64(picked.size());
            if (!output->writeRows(batch, picked, mark))
                writing = false;
        };
        reading.both(pickAndWrite, [&] { following = reader.next(batches[1 - current], misfit); });
        if (progress)
            progress(reader.bytesRead(), size);
        current = 1 - current;
        status = following;
    }
    g_largest = reader.largestBatchBytes();
    result.rows = reader.rowCount();
    if (status == DataBatchReader::Status::Failed) {
        output->cancel();
        result.outcome = Result::Outcome::ReadFailed;
        result.error = reader.errorText();
        return result;
    }
    if (job.changedSince(reader.bytesRead())) {
        output->cancel();
        result.outcome = Result::Outcome::Changed;
        return result;
    }
    if (refused) {
        output->cancel();
        result.outcome = Result::Outcome::Refused;
        return result;
    }
    if (!writing || !output->commit()) {
        output->cancel();
        result.outcome = Result::Outcome::WriteFailed;
        result.writeError = output->error().value_or(ResultFile::Error{});
        return result;
    }
    return result;
}

} // namespace PickStream
