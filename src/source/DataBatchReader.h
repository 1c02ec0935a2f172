#pragma once

// Reads a data file batch by batch, for a pickup that writes its rows as it goes and never holds
// the whole file: each batch is a few megabytes of whole lines (or records) in a small RowStore
// that is filled again for the next batch.

#include "base/ByteKernels.h"
#include "base/EncodingScan.h"
#include "base/TextCodec.h"
#include "source/FieldMode.h"
#include "source/FieldModeScan.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>

class RowStore;

// The rows are what a whole load (DataLoadJob) makes of the file, in the same order, and the lines
// that do not fit are handed out with the same line numbers. A batch ends after a line end; the
// unfinished line (or, in the quoted field mode, the record whose end its bytes do not show yet)
// goes on to the next batch. A line longer than a batch makes the batch longer.
//
// What the whole file decides is decided the same way without holding it: the encoding
// (EncodingScan over all the bytes) and the field mode (QuotedFields::detect, as FieldModeScan).
// Rows of ASCII bytes only read the same in either encoding, and rows without a quote the same in
// either field mode; so while the bytes read so far leave a verdict open, batches that it cannot
// matter to go on, and the first batch it would matter to reads the rest of the file ahead once
// (without keeping it) for the verdict.
//
//     DataBatchReader reader(setup);
//     if (const auto error = reader.open()) { report(*error); return; }
//     while (reader.next(batch, misfit) == Status::Batch) pick and write batch's rows;
//     Finished: done; Failed: report(reader.errorText())
class DataBatchReader {
public:
    struct Setup {
        QString path;
        int commaCount = 0; // the first line's commas (DataLoadJob::commaCount after readFirstLine)
        TextEncoding encoding = TextEncoding::Cp932; // the first look's guess, or the user's choice
        bool encodingForced = false;
        bool byteOrderMark = false; // with a forced encoding: the file begins with a mark to skip
        std::optional<FieldMode> fields; // the user's choice; none: the file's bytes decide
        bool headerLine = false;         // the first line names the columns: never a row
        qsizetype chunkBytes = 8 << 20;  // bytes read for each batch
    };
    enum class Status { Batch, Finished, Failed };
    // A line (or record) that does not fit: its bytes without the line end, its first line's
    // number counted from 1.
    using Misfit = std::function<void(QByteArrayView line, qint64 lineNumber)>;

    explicit DataBatchReader(Setup setup);
    DataBatchReader(const DataBatchReader&) = delete;
    DataBatchReader& operator=(const DataBatchReader&) = delete;

    // The reason when the file cannot be opened.
    std::optional<QString> open();

    // The next batch: batch's rows are replaced by the next rows, and its encoding, field mode
    // and comma count set for them. The store of the batch before (it may be the same one) must
    // still hold its bytes: the unfinished tail is taken from there. Running out of memory is a
    // failure like a read error.
    Status next(RowStore& batch, const Misfit& misfit);
    const QString& errorText() const { return m_error; }

    // The header line, once the first batch is read.
    bool hasHeader() const { return m_hasHeader; }
    QByteArrayView headerBytes() const { return m_header; }
    // Rows handed out so far, and the file's bytes read.
    qint64 rowCount() const { return m_rows; }
    qint64 bytesRead() const { return m_offset; }
    // The largest batch held so far (its bytes), for a test that the memory stays bounded.
    std::size_t largestBatchBytes() const { return m_largest; }

private:
    // Makes batch's block hold the unfinished tail, with room for a read after it; its length.
    std::size_t takeTail(RowStore& batch, std::size_t room);
    // Doubles the block, keeping its first `used` bytes.
    void growBlock(RowStore& batch, std::size_t used);
    qint64 readInto(char* to, std::size_t bytes);
    // Decides the field mode from here (begin of the block) on: the block's bytes, then the rest
    // of the file read ahead.
    bool decideFieldMode(const char* base, std::size_t begin, std::size_t used);
    bool decideEncoding(const char* base, std::size_t end, std::size_t used);
    // Feeds the rest of the file to a scan until it settles (or the file ends); false when the
    // file could not be read.
    template <typename Scan> bool readAhead(Scan& scan, bool& endOfFile);
    // The end of the rows in the block (0: more bytes are needed first); cuts them into m_cuts.
    std::size_t cut(const char* base, std::size_t begin, std::size_t used, bool& irregular);
    Status fail(const QString& reason);
    Status nextBatch(RowStore& batch, const Misfit& misfit);

    Setup m_setup;
    QFile m_file;
    QString m_error;
    qint64 m_offset = 0;          // the file's bytes read
    bool m_endOfFile = false;     // every byte is read
    bool m_finished = false;      // every byte is handed out
    qint64 m_blockStart = 0;      // the file offset of the current block's first byte
    const char* m_tail = nullptr; // the unfinished bytes in the last batch's block
    std::size_t m_tailSize = 0;
    std::size_t m_largest = 0;
    qint64 m_lines = 0; // line ends before the current block
    qint64 m_rows = 0;

    TextEncoding m_encoding;
    bool m_byteOrderMark = false;
    bool m_encodingDecided = false;
    EncodingScan m_encodingScan;
    FieldMode m_fieldMode = FieldMode::Plain;
    bool m_fieldModeDecided = false;
    int m_commaCount = 0;

    bool m_headerPending = false;
    bool m_hasHeader = false;
    QByteArray m_header;
    ByteKernels::LineCuts m_cuts;
};
