#pragma once

// The data-file load, shared by the window's Open and `vornel --pick`: the first line, then both
// read passes of DataFileReader in time slices. What differs between the two front ends comes in
// through the hooks: the window's progress bar, event loop, Stop flag and data-error dialog; the
// command line's terminal progress line and its skip-and-count rule for lines that do not fit.

#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/FieldMode.h"

#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class RowStore;

// One load of one file into a RowStore.
//
//     DataLoadJob job(path);
//     if (const auto error = job.readFirstLine()) { report(*error); return; }
//     if (const auto error = job.open(store)) { report(*error); return; } (optional: run opens)
//     job.resetStore(store);                                           (optional: run resets too)
//     const DataLoadJob::Result result = job.run(store, hooks, 15ms);
//
// Nothing escapes run(): running out of memory is a result like a read failure.
class DataLoadJob {
public:
    enum class Stage {
        Reading, // first pass: the file's bytes (done and total in bytes)
        Loading, // second pass: the rows (done and total in lines)
    };

    struct Hooks {
        // The progress: called with done 0 when a stage starts, then after each slice.
        std::function<void(Stage stage, qint64 done, qint64 total)> progress;
        // Called between slices and before each misfit: lets the caller's event loop turn; true
        // stops the load.
        std::function<bool()> yield;
        // A line whose comma count is not the first line's (its bytes without the line end, its
        // line number counted from 1). The hook may append a correction to the store; false stops
        // the load. Without a hook such lines are skipped.
        std::function<bool(QByteArrayView line, qint64 lineNumber)> misfit;
    };

    struct Result {
        enum class Outcome { Done, Stopped, Failed, OutOfMemory };
        Outcome outcome = Outcome::Done;
        QString error; // Failed and OutOfMemory: the reason, for the user
        // Done, but the file's size or modification time at the end differs from the first look
        // (it was cut short, rewritten or grown meanwhile): the rows may be part of one version
        // and part of another.
        bool changed = false;
        bool done() const { return outcome == Outcome::Done; }
    };

    // The reason given when the rows do not fit in memory.
    static QString outOfMemoryText();
    // What is said of a file that changed while it was read.
    static QString changedText();
    // The reason given when the file has more rows than a load keeps (RowStore::kMaxRows).
    static QString tooManyRowsText();
    // Tests: the most rows a load keeps from now on (0 restores RowStore::kMaxRows).
    static void setRowLimitForTesting(qint64 rows);
    // The most rows a load keeps (RowStore::kMaxRows unless a test lowered it).
    static qint64 maxRowCount();

    // For a reader that goes through the file on its own after readFirstLine: whether the file,
    // of which bytesRead bytes were read, is no longer the one the first look found (as
    // Result::changed).
    bool changedSince(qint64 bytesRead) const;

    // forced: the encoding the user chose; otherwise all of the file's bytes decide, once the
    // first pass has read them (encoding() is the first megabyte's guess until then).
    // chunkBytes: the reader's chunk (tests make it small to cross every boundary).
    explicit DataLoadJob(QString path, std::optional<TextEncoding> forced = std::nullopt,
                         qsizetype chunkBytes = DataFileReader::kDefaultChunkBytes);
    ~DataLoadJob();
    DataLoadJob(const DataLoadJob&) = delete;
    DataLoadJob& operator=(const DataLoadJob&) = delete;

    // The first look: the first line's commas and the encoding. The reason when the file cannot
    // be read or its first line cannot be handled.
    std::optional<QString> readFirstLine();

    // What the first line told (after readFirstLine).
    bool isEmpty() const { return m_empty; } // not a byte of data (a byte-order mark alone)
    int commaCount() const { return m_commaCount; }
    TextEncoding encoding() const { return m_encoding; }
    bool byteOrderMark() const { return m_byteOrderMark; }

    // The field mode the user chose; otherwise the file's bytes decide it after the first pass.
    void forceFieldMode(std::optional<FieldMode> mode) { m_forcedFields = mode; }
    // The mode the file was read in (after run; plain before). In quoted mode commaCount() is
    // then the first record's.
    FieldMode fieldMode() const { return m_fieldMode; }

    // Opens the file for the read passes into store, leaving the store as it is until run(); the
    // reason when it cannot. Not needed for an empty file.
    std::optional<QString> open(RowStore& store);

    // Empties the store and fixes its comma count and encoding for this file.
    void resetStore(RowStore& store);

    // The first line names the columns: run() keeps it as the store's header, never as a row (an
    // empty first line too, which is then not handed to the misfit hook).
    void setHeaderLine(bool on) { m_headerLine = on; }
    bool headerLine() const { return m_headerLine; }

    // Both read passes into store (emptied first unless resetStore was called for it). A stop
    // leaves the rows read so far in the store; so do a failure and running out of memory. The
    // reader and its helper thread are gone when it returns.
    Result run(RowStore& store, const Hooks& hooks, std::chrono::nanoseconds slice);

private:
    Result readPasses(RowStore& store, const Hooks& hooks, std::chrono::nanoseconds slice);
    // After the first pass: the encoding the whole file shows, unless the user chose one.
    void decideEncoding(RowStore& store);

    QString m_path;
    std::optional<TextEncoding> m_forced;
    qsizetype m_chunkBytes;
    // Made by open(), given up at the end of run() (with its helper thread).
    std::unique_ptr<DataFileReader> m_reader;
    bool m_empty = false;
    int m_commaCount = 0;
    TextEncoding m_encoding = TextEncoding::Cp932;
    bool m_byteOrderMark = false;
    bool m_headerLine = false;
    std::optional<FieldMode> m_forcedFields;
    FieldMode m_fieldMode = FieldMode::Plain;
    RowStore* m_openStore = nullptr;
    RowStore* m_resetStore = nullptr;
    // The file as the first look found it (size, modification time, which file), compared at the
    // end of the load.
    struct Stamp {
        bool taken = false;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stamp(const QString& path);
    Stamp m_start;
};
