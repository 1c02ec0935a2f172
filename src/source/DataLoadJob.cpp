// The data-file load job: first line, opening, both read passes, out of memory as a result.
#include "source/DataLoadJob.h"

#include "source/DataFileAccess.h"
#include "source/FieldModeScan.h"
#include "source/RowStore.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <atomic>
#include <new>

#include <sys/stat.h>

QString DataLoadJob::outOfMemoryText() {
    return QStringLiteral("ファイルがメモリーに収まりません。");
}

QString DataLoadJob::changedText() {
    return QStringLiteral("ファイルが読み込みの途中で変更されました。");
}

namespace {

std::atomic<qint64> rowLimit{0}; // 0: RowStore::kMaxRows

// The field mode of a file's bytes (as QuotedFields::detect), judged a megabyte at a
// time for about a slice, the caller's event loop turning in between: a file of gigabytes without
// quoted fields is looked at to its end. Nothing when a Stop came in between.
template <class StopWanted>
std::optional<FieldMode> judgeFieldMode(QByteArrayView bytes, std::chrono::nanoseconds slice,
                                        const StopWanted& stopWanted) {
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    FieldModeScan scan;
    qsizetype at = 0;
    const auto more = [&] { return at < bytes.size() && !scan.settled(); };
    while (more()) {
        const auto sliceStart = std::chrono::steady_clock::now();
        do {
            const qsizetype n = std::min(kPiece, bytes.size() - at);
            scan.feed(bytes.sliced(at, n));
            at += n;
        } while (more() && std::chrono::steady_clock::now() - sliceStart < slice);
        if (more() && stopWanted())
            return std::nullopt;
    }
    return scan.result();
}

qint64 maxRows() {
    const qint64 limit = rowLimit.load(std::memory_order_relaxed);
    return limit > 0 ? limit : RowStore::kMaxRows;
}

} // namespace

QString DataLoadJob::tooManyRowsText() {
    return QStringLiteral("行が多すぎます（最大 %1 行）。ファイルを分けてから開いてください。")
        .arg(QLocale(QLocale::Japanese, QLocale::Japan).toString(maxRows()));
}

void DataLoadJob::setRowLimitForTesting(qint64 rows) {
    rowLimit = rows;
}

qint64 DataLoadJob::maxRowCount() {
    return maxRows();
}

bool DataLoadJob::changedSince(qint64 bytesRead) const {
    return m_start.taken && (bytesRead != m_start.size || !(stamp(m_path) == m_start));
}

DataLoadJob::Stamp DataLoadJob::stamp(const QString& path) {
    Stamp s;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.taken = true;
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    return s;
}

DataLoadJob::DataLoadJob(QString path, std::optional<TextEncoding> forced, qsizetype chunkBytes)
    : m_path(std::move(path)), m_forced(forced), m_chunkBytes(chunkBytes) {}

DataLoadJob::~DataLoadJob() = default;

std::optional<QString> DataLoadJob::readFirstLine() {
    DataFileReader::FirstLine first;
    m_start = stamp(m_path);
    try {
        first = DataFileReader::readFirstLine(m_path);
    } catch (const std::bad_alloc&) {
        return outOfMemoryText();
    }
    if (!first.ok)
        return first.error;
    if (DataFileAccess::tooManyColumns(first.commaCount))
        return DataFileAccess::tooManyColumnsText();
    m_empty = first.empty;
    m_commaCount = m_empty ? 0 : int(first.commaCount);
    m_encoding = m_forced ? *m_forced : first.detected.encoding;
    // A mark is only a mark in UTF-8; read as code page 932 its bytes are part of the first line.
    m_byteOrderMark = m_encoding == TextEncoding::Utf8 && first.detected.byteOrderMark;
    return std::nullopt;
}

std::optional<QString> DataLoadJob::open(RowStore& store) {
    // The reader only learns where the bytes will go; the store is not touched until the read.
    m_openStore = nullptr;
    if (!m_start.taken)
        m_start = stamp(m_path);
    try {
        m_reader = std::make_unique<DataFileReader>(m_chunkBytes);
    } catch (const std::bad_alloc&) {
        return outOfMemoryText();
    }
    if (!m_reader->open(m_path, store)) {
        const QString error = m_reader->errorText();
        m_reader.reset();
        return error;
    }
    m_openStore = &store;
    return std::nullopt;
}

void DataLoadJob::resetStore(RowStore& store) {
    store.reset(m_commaCount, m_encoding, m_byteOrderMark);
    m_resetStore = &store;
}

DataLoadJob::Result DataLoadJob::run(RowStore& store, const Hooks& hooks,
                                     std::chrono::nanoseconds slice) {
    Result result;
    try {
        if (m_resetStore != &store)
            resetStore(store);
        if (m_empty) {
            result.changed = m_start.taken && !(stamp(m_path) == m_start);
            return result;
        }
        result = readPasses(store, hooks, slice);
        // The bytes read, the size and the time at the end must all be what the first look saw.
        if (result.done() && m_start.taken)
            result.changed =
                !m_reader || m_reader->bytesRead() != m_start.size || !(stamp(m_path) == m_start);
    } catch (const std::bad_alloc&) {
        result = {Result::Outcome::OutOfMemory, outOfMemoryText()};
    }
    m_reader.reset();
    m_openStore = nullptr;
    return result;
}

void DataLoadJob::decideEncoding(RowStore& store) {
    if (m_forced)
        return;
    const TextCodec::Detected detected = m_reader->detectEncoding();
    m_encoding = detected.encoding;
    m_byteOrderMark = detected.byteOrderMark;
    store.setEncoding(m_encoding, m_byteOrderMark);
}

DataLoadJob::Result DataLoadJob::readPasses(RowStore& store, const Hooks& hooks,
                                            std::chrono::nanoseconds slice) {
    using Status = DataFileReader::Status;
    const auto stopWanted = [&hooks] { return hooks.yield && hooks.yield(); };
    const auto progress = [&hooks](Stage stage, qint64 done, qint64 total) {
        if (hooks.progress)
            hooks.progress(stage, done, total);
    };
    if (m_openStore != &store)
        if (const std::optional<QString> error = open(store))
            return {Result::Outcome::Failed, *error};

    Result result;
    // First pass: the file's bytes into memory, counting the line ends; the progress follows the
    // bytes. A file that grows meanwhile is read to its new end.
    const qint64 size = QFileInfo(m_path).size();
    progress(Stage::Reading, 0, size);
    for (;;) {
        if (stopWanted()) {
            result.outcome = Result::Outcome::Stopped;
            break;
        }
        const Status status = m_reader->readStep(slice);
        if (status == Status::Failed) {
            result = {Result::Outcome::Failed, m_reader->errorText()};
            break;
        }
        progress(Stage::Reading, std::min(size, m_reader->bytesRead()), size);
        if (status != Status::More)
            break;
    }

    // Second pass: the rows, with the line count as the progress range (set even when the first
    // pass ended early, as the bar's range for what follows).
    const qint64 lines = m_reader->lineEnds();
    progress(Stage::Loading, 0, lines);
    if (!result.done())
        return result;
    decideEncoding(store);
    // Every byte is in memory now: the field mode, and in quoted mode the first record's commas
    // as the fit count.
    if (m_forcedFields) {
        m_fieldMode = *m_forcedFields;
    } else if (const std::optional<FieldMode> mode =
                   judgeFieldMode(m_reader->fieldModeBytes(), slice, stopWanted)) {
        m_fieldMode = *mode;
    } else {
        return {Result::Outcome::Stopped, {}};
    }
    if (m_fieldMode == FieldMode::Quoted) {
        const qsizetype commas = m_reader->firstRecordCommas(FieldMode::Quoted);
        if (DataFileAccess::tooManyColumns(commas))
            return {Result::Outcome::Failed, DataFileAccess::tooManyColumnsText()};
        m_commaCount = int(commas);
        store.setFieldMode(FieldMode::Quoted, m_commaCount);
    }
    store.reserve(lines + 1); // a last line without a line end is one more
    // The events of the last read slice are handled, and a Stop among them seen, before the
    // first line can open a dialog.
    if (stopWanted())
        return {Result::Outcome::Stopped, {}};
    // The header goes through the same path as the rows: line 1 becomes row 0, which then leaves
    // the rows while there are few of them (the first step cuts a single batch).
    bool headerPending = m_headerLine;
    for (;;) {
        const Status status = m_reader->step(headerPending ? std::chrono::nanoseconds(0) : slice);
        if (headerPending && store.rowCount() > 0) {
            store.takeFirstRowAsHeader();
            headerPending = false;
        }
        bool stop = false;
        if (status == Status::Rejected && headerPending && m_reader->rejectedLineNumber() == 1) {
            store.setHeader(m_reader->rejectedBytes()); // an empty first line is still the header
            headerPending = false;
        } else if (status == Status::Rejected) {
            // A Stop given while the slice ran ends the load here rather than after one more
            // question about a line.
            stop = stopWanted() || (hooks.misfit && !hooks.misfit(m_reader->rejectedBytes(),
                                                                  m_reader->rejectedLineNumber()));
        } else if (status == Status::Failed) {
            result = {Result::Outcome::Failed, m_reader->errorText()};
        }
        progress(Stage::Loading, m_reader->linesRead(), lines);
        // Row numbers past the limit would wrap in the pickup's 32-bit row lists: the load is
        // refused as soon as the rows pass it (corrections the misfit hook added count too).
        if (!stop && result.done() && store.rowCount() > maxRows())
            return {Result::Outcome::Failed, tooManyRowsText()};
        if (!stop && result.done())
            stop = stopWanted();
        if (stop)
            return {Result::Outcome::Stopped, {}};
        if (!result.done() || status == Status::Finished)
            return result;
    }
}
