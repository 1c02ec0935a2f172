#pragma once

#include "base/ByteKernels.h"
#include "base/TextCodec.h"
#include "source/FieldMode.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class HelperThread;
class RowStore;

// Reads a data file into a RowStore, a time slice at a time, in two passes.
//
// Lines end with CR LF or with a lone LF; a lone CR is an ordinary character, and a last line
// without a line end is still a line. The first pass (readStep) reads the file's bytes into the
// store's memory and counts the line ends (the count sizes the progress bar). The second pass
// (step) finds the lines and their commas by scanning the bytes (LF and "," never occur inside a
// character of code page 932 or UTF-8) and makes every line with exactly the store's comma count
// a row, in place; any other line (an empty one included) stops the pass and is handed back, so
// the caller can ask the user about it, append a correction to the store itself, and then call
// step() again. Big stretches are scanned in two halves on two threads.
//
// In the quoted field mode (the store's, which may be set after the first pass, from what
// fieldModeBytes() and firstRecordCommas() tell of the bytes) the second pass cuts records by
// QuotedFields instead of lines: a record may span lines, its field count is the fit test, and a
// rejected record's line number is that of its first line. Records lie whole in one block: one
// still open where a block's bytes end (only when the file grew while it was read) ends there.
//
//     DataFileReader reader;
//     if (!reader.open(path, store)) { report(reader.errorText()); return; }
//     while (reader.readStep(15ms) == Status::More) turn the event loop;   (or Failed)
//     for (;;) {
//         switch (reader.step(15ms)) {
//         case Status::More: turn the event loop; break;
//         case Status::Rejected: ask about reader.rejectedBytes(); break;
//         case Status::Finished: done
//         case Status::Failed: report(reader.errorText())
//         }
//     }
// Running out of memory throws std::bad_alloc out of readStep() or step().
class DataFileReader {
public:
    enum class Status {
        More,     // the time was up; call again
        Rejected, // a line that does not fit is waiting: rejectedBytes(), rejectedLineNumber()
        Finished, // the pass is through
        Failed,   // the file could not be read: errorText()
    };

    // What the first bytes of a file tell before the rows are read.
    struct FirstLine {
        bool ok = false;          // false: the file cannot be read (error holds why)
        QString error;            // a reason for the user, in Japanese
        bool empty = false;       // the file holds no byte at all (a byte-order mark alone counts
                                  // as nothing)
        qsizetype commaCount = 0; // the "," characters of the first line
        TextCodec::Detected detected; // the encoding its first megabyte shows (a first guess; the
                                      // whole file decides: detectEncoding())
    };

    // Reads the first line (and the first megabyte, for the encoding). A UTF-16 file is refused
    // here (error: TextCodec::utf16RefusedText()).
    static FirstLine readFirstLine(const QString& path);

    static constexpr qsizetype kDefaultChunkBytes = 8 << 20;

    // The sizes the reader works with besides its chunk size. Tests make them small, so that a
    // few kilobytes reach the two-thread split and a first line longer than the sample.
    struct Tuning {
        // Below twice this a stretch is scanned on one thread (a second is not worth it).
        std::size_t splitThreshold = 256 * 1024;
        // The first bytes readFirstLine() reads (and judges the encoding by).
        qint64 sampleBytes = 1 << 20;
        // The helper thread's part of the work is done on the calling thread, after its own
        // part (the work is still cut in two, without a thread switch for each cut).
        bool helperInline = false;
    };
    // Tests: sets the sizes for every reader from now on (Tuning() restores the usual ones).
    static void setTuningForTesting(const Tuning& tuning);

    // chunkBytes: bytes read per call in the first pass, and scanned per batch in the second
    // (tests make them small to cross every boundary).
    explicit DataFileReader(qsizetype chunkBytes = kDefaultChunkBytes);
    ~DataFileReader();
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;
    // A new chunk size for the next open() (tests read many files with one reader, which keeps
    // its helper thread).
    void setChunkBytes(qsizetype chunkBytes);

    // Opens the file; its bytes go to store, whose comma count (every row's) and encoding must be
    // set (RowStore::reset) before the first readStep(). False when the file cannot be opened
    // (errorText() says why); nothing is read then.
    bool open(const QString& path, RowStore& store);

    // First pass: reads on for about budget. Finished once the whole file is in memory.
    Status readStep(std::chrono::nanoseconds budget);
    // Line ends read so far (all of them after the first pass).
    qint64 lineEnds() const { return m_lineEnds; }
    qint64 bytesRead() const { return m_bytesRead; }
    // The encoding all the bytes read show (EncodingScan), after the first pass.
    TextCodec::Detected detectEncoding() const;

    // After the first pass: the bytes whose field mode decides the file's (FieldModeScan, fed
    // by the caller in pieces), and the commas of its first record in a mode.
    QByteArrayView fieldModeBytes() const { return firstBlockBytes(); }
    qsizetype firstRecordCommas(FieldMode mode) const;

    // Second pass: makes rows until the time is up, a line is rejected, or every line is handled.
    Status step(std::chrono::nanoseconds budget);

    // The last line rejected by step(): its bytes without the line end, and its physical line
    // number counted from 1.
    QByteArrayView rejectedBytes() const { return m_rejected; }
    qint64 rejectedLineNumber() const { return m_linesRead; }

    // Lines handled so far (made rows or rejected).
    qint64 linesRead() const { return m_linesRead; }

    const QString& errorText() const { return m_error; }

    // Ends the load early (a stop): both passes then report Finished.
    void close();

    // The lines of one stretch of a block, as the scan found them (for the scanner only).
    using Scanned = ByteKernels::LineCuts;

private:
    // Where the complete lines of a block end, and how far the second pass has come in it.
    struct BlockState {
        int block = 0;
        std::size_t used = 0;     // bytes read into it
        std::size_t complete = 0; // bytes of whole lines (up to and with the last LF)
    };

    bool newBlock(std::size_t atLeast);
    qint64 readInto(char* to, qint64 bytes, qint64 fileOffset);
    void scanBatch();
    void scanQuotedBatch();
    // The first block that holds a whole line; its bytes begin the file.
    std::size_t firstLinesBlock() const;
    // The file's bytes as the first block holds them, without a byte-order mark.
    QByteArrayView firstBlockBytes() const;
    // Quoted mode: the physical lines before byte `pos` of the waiting part (counted on from
    // where the last count stopped in it).
    qint64 linesBefore(std::size_t pos);
    Status appendLines();
    void fail(const QString& reason);

    std::size_t m_chunkBytes;
    QFile m_file;
    RowStore* m_store = nullptr;
    bool m_allRead = false;
    bool m_closed = false;
    qint64 m_lineEnds = 0;
    qint64 m_bytesRead = 0; // also where the next read starts in the file
    qint64 m_expectedSize = 0;
    std::vector<BlockState> m_blocks;

    // Second pass.
    std::size_t m_scanBlock = 0; // index into m_blocks
    std::size_t m_scanPos = 0;   // next byte to scan in it
    Scanned m_lines[2];
    int m_part = 2;             // the part whose lines are being appended; 2 = none waiting
    std::size_t m_nextLine = 0; // its next fitting line
    std::size_t m_nextBad = 0;  // its next other line
    int m_lineBlock = 0;        // the store block the waiting lines lie in
    // Quoted mode: where each waiting part begins and ends, the lines before it and its line
    // ends, and the line ends counted in the waiting lines' block before m_lfPos.
    bool m_quoted = false;
    std::size_t m_partStart[2] = {0, 0};
    std::size_t m_partEnd[2] = {0, 0};
    qint64 m_partLines[2] = {0, 0};
    qint64 m_partLineEnds[2] = {0, 0};
    std::size_t m_partsBlock = 0; // index into m_blocks
    std::size_t m_lfPos = 0;
    std::size_t m_linesBegin = 0; // where the lines of the waiting parts' block begin (after a
                                  // byte-order mark)
    qint64 m_lfBase = 0;

    qint64 m_linesRead = 0;
    QByteArrayView m_rejected;
    QString m_error;

    std::unique_ptr<HelperThread> m_worker;
};
