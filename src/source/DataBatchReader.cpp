// The batch reader: a few megabytes of whole lines at a time, the unfinished tail carried on.
#include "source/DataBatchReader.h"

#include "base/LargeMemory.h"
#include "source/DataFileAccess.h"
#include "source/DataLoadJob.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

const ByteKernels::Set& kernels() {
    return ByteKernels::active();
}

bool allAscii(const char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) & 0x80)
            return false;
    return true;
}

} // namespace

DataBatchReader::DataBatchReader(Setup setup)
    : m_setup(std::move(setup)), m_encoding(m_setup.encoding),
      m_encodingDecided(m_setup.encodingForced), m_commaCount(m_setup.commaCount),
      m_headerPending(m_setup.headerLine) {
    m_setup.chunkBytes = std::max<qsizetype>(m_setup.chunkBytes, 16);
    if (m_setup.encodingForced)
        m_byteOrderMark = m_setup.byteOrderMark;
    if (m_setup.fields) {
        m_fieldMode = *m_setup.fields;
        m_fieldModeDecided = true;
    }
}

std::optional<QString> DataBatchReader::open() {
    m_file.setFileName(m_setup.path);
    QString error;
    if (!DataFileAccess::openForReading(m_file, m_setup.path, error))
        return error;
    return std::nullopt;
}

DataBatchReader::Status DataBatchReader::fail(const QString& reason) {
    m_error = reason;
    m_file.close();
    return Status::Failed;
}

qint64 DataBatchReader::readInto(char* to, std::size_t bytes) {
    const qint64 n = LargeMemory::readAt(m_file.handle(), to, qint64(bytes), m_offset);
    if (n >= 0) {
        m_offset += n;
        m_endOfFile = std::size_t(n) < bytes;
    }
    return n;
}

std::size_t DataBatchReader::takeTail(RowStore& batch, std::size_t room) {
    const std::size_t need = m_tailSize + room;
    const bool fits = batch.blockCount() > 0 && batch.blockSize(0) >= need;
    if (fits) {
        batch.clearRows();
        if (m_tailSize > 0 && batch.blockData(0) != m_tail)
            std::memmove(batch.blockData(0), m_tail, m_tailSize);
        return m_tailSize;
    }
    // A new block (the tail may lie in the block given back), with room for the tails to come.
    const QByteArray tail(m_tail, qsizetype(m_tailSize));
    batch.reset(m_commaCount, m_encoding, m_byteOrderMark);
    batch.addBlock(need + room / 4);
    if (!tail.isEmpty())
        std::memcpy(batch.blockData(0), tail.constData(), size_t(tail.size()));
    return m_tailSize;
}

void DataBatchReader::growBlock(RowStore& batch, std::size_t used) {
    const QByteArray bytes(batch.blockData(0), qsizetype(used));
    const std::size_t size = batch.blockSize(0) * 2;
    batch.reset(m_commaCount, m_encoding, m_byteOrderMark);
    batch.addBlock(size);
    std::memcpy(batch.blockData(0), bytes.constData(), used);
}

template <typename Scan> bool DataBatchReader::readAhead(Scan& scan, bool& endOfFile) {
    // Read on (without keeping the bytes) until the bytes decide.
    if (endOfFile || scan.settled())
        return true;
    QFile ahead(m_setup.path);
    if (!ahead.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(DataFileAccess::readFailureReason(ahead));
        return false;
    }
    QByteArray buffer(m_setup.chunkBytes, Qt::Uninitialized);
    for (qint64 at = m_offset; !scan.settled();) {
        const qint64 n = LargeMemory::readAt(ahead.handle(), buffer.data(), buffer.size(), at);
        if (n < 0) {
            fail(DataFileAccess::readFailureReason(ahead));
            return false;
        }
        if (n == 0) {
            endOfFile = true;
            break;
        }
        scan.feed(QByteArrayView(buffer.constData(), n));
        at += n;
    }
    return true;
}

bool DataBatchReader::decideFieldMode(const char* base, std::size_t begin, std::size_t used) {
    // Every byte before `begin` was read without a quote: the verdict is that of the rest.
    FieldModeScan scan;
    scan.feed(QByteArrayView(base + begin, qsizetype(used - begin)));
    bool endOfFile = m_endOfFile;
    if (!readAhead(scan, endOfFile))
        return false;
    m_fieldMode = scan.result();
    m_fieldModeDecided = true;
    return true;
}

bool DataBatchReader::decideEncoding(const char* base, std::size_t end, std::size_t used) {
    EncodingScan scan = m_encodingScan;
    bool endOfFile = false;
    if (!scan.settled()) {
        scan.feed(QByteArrayView(base + end, qsizetype(used - end)));
        endOfFile = m_endOfFile;
        if (!readAhead(scan, endOfFile))
            return false;
    }
    const TextCodec::Detected detected = scan.result(endOfFile);
    m_encoding = detected.encoding;
    m_byteOrderMark = detected.byteOrderMark;
    m_encodingDecided = true;
    return true;
}

std::size_t DataBatchReader::cut(const char* base, std::size_t begin, std::size_t used,
                                 bool& irregular) {
    m_cuts.clear();
    irregular = false;
    if (m_fieldMode == FieldMode::Plain) {
        std::size_t end = used;
        if (!m_endOfFile) {
            const void* lf = memrchr(base + begin, '\n', used - begin);
            if (!lf)
                return 0;
            end = std::size_t(static_cast<const char*>(lf) - base) + 1;
        }
        kernels().cutLines(base, begin, end, std::size_t(m_commaCount), m_cuts);
        return end;
    }
    const std::size_t want = std::size_t(m_commaCount);
    std::size_t lineEnds = 0;
    const std::size_t end =
        QuotedFields::cutRecords(base, begin, used, used, want, m_cuts, irregular, lineEnds);
    if (m_endOfFile)
        return end;
    // A record whose verdict met the end of the bytes read goes on to the next batch, with all
    // that follows it: a quote left open, and the last record.
    std::size_t stop = end;
    for (const ByteKernels::LineCuts::Bad& bad : m_cuts.bad) {
        if (bad.commas == SIZE_MAX && QuotedFields::record(base, bad.start, used).atEnd) {
            stop = bad.start;
            break;
        }
    }
    std::size_t last = m_cuts.starts.empty() ? begin : std::size_t(m_cuts.starts.back());
    if (!m_cuts.bad.empty())
        last = std::max(last, m_cuts.bad.back().start);
    if (last < stop && QuotedFields::record(base, last, used).atEnd)
        stop = last;
    if (stop < end) {
        std::size_t keep = 0;
        while (keep < m_cuts.starts.size() && m_cuts.starts[keep] < stop)
            ++keep;
        m_cuts.starts.resize(keep);
        m_cuts.lengths.resize(keep);
        while (!m_cuts.bad.empty() && m_cuts.bad.back().start >= stop)
            m_cuts.bad.pop_back();
    }
    return stop > begin ? stop : 0;
}

DataBatchReader::Status DataBatchReader::next(RowStore& batch, const Misfit& misfit) {
    try {
        return nextBatch(batch, misfit);
    } catch (const std::bad_alloc&) {
        return fail(DataLoadJob::outOfMemoryText());
    }
}

DataBatchReader::Status DataBatchReader::nextBatch(RowStore& batch, const Misfit& misfit) {
    if (!m_error.isEmpty())
        return Status::Failed;
    if (m_finished)
        return Status::Finished;
    std::size_t used = takeTail(batch, std::size_t(m_setup.chunkBytes));
    const bool first = m_blockStart == 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool irregular = false;
    for (;;) {
        char* base = batch.blockData(0);
        const std::size_t size = batch.blockSize(0);
        if (!m_endOfFile && used < size) {
            const qint64 n = readInto(base + used, size - used);
            if (n < 0)
                return fail(DataFileAccess::readFailureReason(m_file));
            used += std::size_t(n);
        }
        if (first) {
            // The mark is no part of the first line; without a choice it is the file's verdict.
            const QByteArrayView head(base, qsizetype(std::min<std::size_t>(used, 3)));
            if (!m_setup.encodingForced)
                m_byteOrderMark = TextCodec::startsWithUtf8Bom(head);
            begin = m_byteOrderMark && TextCodec::startsWithUtf8Bom(head) ? 3 : 0;
        }
        if (begin == used && m_endOfFile) {
            m_finished = true;
            return Status::Finished;
        }
        if (!m_fieldModeDecided && std::memchr(base + begin, '"', used - begin)) {
            // A quote: from here on the field mode matters.
            if (!decideFieldMode(base, begin, used))
                return Status::Failed;
        }
        if (m_fieldMode == FieldMode::Quoted && first) {
            // The fit count is the first record's commas.
            const QuotedFields::Record r = QuotedFields::record(base, begin, used);
            if (r.atEnd && !m_endOfFile) {
                growBlock(batch, used);
                continue;
            }
            const QByteArrayView record(base + begin, qsizetype(r.length));
            const qsizetype commas = r.open ? record.count(',') : qsizetype(r.commas);
            if (DataFileAccess::tooManyColumns(commas))
                return fail(DataFileAccess::tooManyColumnsText());
            m_commaCount = int(commas);
        }
        end = cut(base, begin, used, irregular);
        if (end > 0)
            break;
        growBlock(batch, used); // no whole line yet
    }
    const char* base = batch.blockData(0);
    m_largest = std::max(m_largest, batch.blockSize(0));

    // The encoding, from all the bytes up to here; while it is open, rows of ASCII alone read the
    // same in both encodings.
    if (!m_encodingDecided) {
        m_encodingScan.feed(QByteArrayView(base, qsizetype(end)));
        if (m_encodingScan.settled() || !allAscii(base + begin, end - begin))
            if (!decideEncoding(base, end, used))
                return Status::Failed;
    }
    batch.setEncoding(m_encoding, m_byteOrderMark);
    batch.setFieldMode(m_fieldMode, m_commaCount);
    batch.setIrregularQuotes(irregular);
    batch.addRows(0, m_cuts.starts.data(), m_cuts.lengths.data(), m_cuts.starts.size());

    std::size_t nextBad = 0;
    if (m_headerPending) {
        // Line 1, fitting or not, is the header.
        m_headerPending = false;
        m_hasHeader = true;
        if (!m_cuts.bad.empty() && m_cuts.bad.front().before == 0) {
            const ByteKernels::LineCuts::Bad& line = m_cuts.bad.front();
            m_header = QByteArray(base + line.start, qsizetype(line.length));
            nextBad = 1;
        } else if (batch.rowCount() > 0) {
            m_header = batch.rowBytes(0).toByteArray();
            batch.takeFirstRowAsHeader();
        }
    }
    // The line of each misfit: in plain mode every line is a row or a misfit; a record may span
    // lines, so in quoted mode the line ends before it are counted.
    const bool plain = m_fieldMode == FieldMode::Plain;
    std::size_t counted = begin;
    qint64 lines = m_lines;
    for (; nextBad < m_cuts.bad.size(); ++nextBad) {
        const ByteKernels::LineCuts::Bad& line = m_cuts.bad[nextBad];
        if (plain) {
            lines = m_lines + qint64(line.before + nextBad);
        } else {
            lines += qint64(kernels().countByte(base + counted, line.start - counted, '\n'));
            counted = line.start;
        }
        if (DataFileAccess::tooLong(line, std::size_t(m_commaCount)))
            return fail(DataFileAccess::tooLongText(lines + 1));
        if (misfit)
            misfit(QByteArrayView(base + line.start, qsizetype(line.length)), lines + 1);
    }
    if (plain)
        m_lines += qint64(m_cuts.starts.size() + m_cuts.bad.size());
    else
        m_lines = lines + qint64(kernels().countByte(base + counted, end - counted, '\n'));
    m_rows += batch.rowCount();
    if (m_rows > DataLoadJob::maxRowCount())
        return fail(DataLoadJob::tooManyRowsText());

    m_tail = base + end;
    m_tailSize = used - end;
    m_blockStart += qint64(end);
    if (m_endOfFile && m_tailSize == 0) {
        m_finished = true;
        m_file.close();
    }
    return Status::Batch;
}
