#include "source/DataFileReader.h"

#include "base/ByteKernels.h"
#include "base/EncodingScan.h"
#include "base/LargeMemory.h"
#include "source/DataFileAccess.h"
#include "source/HelperThread.h"
#include "source/QuotedFields.h"
#include "source/QuotedRecordScan.h"
#include "source/RowStore.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

static_assert(ByteKernels::LineCuts::kMaxLength == RowStore::kMaxRowBytes);

namespace {

using Clock = std::chrono::steady_clock;

// The split threshold and the sample size (DataFileReader::Tuning).
DataFileReader::Tuning g_tuning;

// The kernels this reader runs (ByteKernels::active()).
const ByteKernels::Set& kernels() {
    return ByteKernels::active();
}

} // namespace

void DataFileReader::setTuningForTesting(const Tuning& tuning) {
    g_tuning = tuning;
}

DataFileReader::FirstLine DataFileReader::readFirstLine(const QString& path) {
    const qint64 sampleBytes = g_tuning.sampleBytes;
    FirstLine result;
    QFile file(path);
    if (!DataFileAccess::openForReading(file, path, result.error))
        return result;
    // Room for a small file as it is now (one byte more sees its end); more if it grows.
    QByteArray sample(std::min(sampleBytes, std::max<qint64>(file.size(), 0) + 1),
                      Qt::Uninitialized);
    qint64 total = 0;
    bool lineEnded = false;
    while (total < sampleBytes) {
        if (total == sample.size())
            sample.resize(std::min(sampleBytes, 2 * total));
        const qint64 n = file.read(sample.data() + total, sample.size() - total);
        if (n < 0) {
            result.error = DataFileAccess::readFailureReason(file);
            return result;
        }
        if (n == 0)
            break;
        total += n;
    }
    const bool wholeFile = total < sampleBytes;
    sample.truncate(total);
    if (TextCodec::utf16(sample) != TextCodec::Utf16::None) {
        result.error = TextCodec::utf16RefusedText();
        return result;
    }
    result.detected = TextCodec::detect(sample, wholeFile);
    // "," and LF are never part of a character, so the bytes can be counted as they are.
    const qsizetype lf = sample.indexOf('\n');
    lineEnded = lf >= 0;
    result.commaCount = sample.first(lineEnded ? lf : total).count(',');
    // A first line longer than the sample: count on to its end.
    char buffer[64 * 1024];
    const qint64 piece = std::min<qint64>(qint64(sizeof buffer), sampleBytes);
    while (!lineEnded && !wholeFile) {
        const qint64 n = file.read(buffer, piece);
        if (n < 0) {
            result.error = DataFileAccess::readFailureReason(file);
            return result;
        }
        if (n == 0)
            break;
        const char* end = static_cast<const char*>(std::memchr(buffer, '\n', size_t(n)));
        lineEnded = end != nullptr;
        result.commaCount +=
            std::count(static_cast<const char*>(buffer), end ? end : buffer + n, ',');
    }
    result.ok = true;
    result.empty = total == (result.detected.byteOrderMark ? 3 : 0);
    return result;
}

DataFileReader::DataFileReader(qsizetype chunkBytes)
    : m_chunkBytes(std::size_t(std::max<qsizetype>(chunkBytes, 1))) {}

void DataFileReader::setChunkBytes(qsizetype chunkBytes) {
    m_chunkBytes = std::size_t(std::max<qsizetype>(chunkBytes, 1));
}

DataFileReader::~DataFileReader() {
    close();
}

bool DataFileReader::open(const QString& path, RowStore& store) {
    close();
    m_store = &store;
    m_allRead = false;
    m_closed = false;
    m_lineEnds = 0;
    m_bytesRead = 0;
    m_blocks.clear();
    m_scanBlock = 0;
    m_scanPos = 0;
    m_part = 2;
    m_nextLine = 0;
    m_linesRead = 0;
    m_quoted = false;
    m_partsBlock = 0;
    m_lfPos = 0;
    m_lfBase = 0;
    m_rejected = {};
    m_error.clear();
    m_file.setFileName(path);
    if (!DataFileAccess::openForReading(m_file, path, m_error))
        return false;
    m_expectedSize = m_file.size();
    if (!m_worker && std::thread::hardware_concurrency() > 1)
        m_worker = std::make_unique<HelperThread>();
    return true;
}

void DataFileReader::close() {
    if (m_file.isOpen())
        m_file.close();
    m_closed = true;
}

void DataFileReader::fail(const QString& reason) {
    close();
    m_error = reason;
}

bool DataFileReader::newBlock(std::size_t atLeast) {
    // The bytes after the last line end of a full block go to the start of the next, so that every
    // line lies whole in one block.
    std::size_t carry = 0;
    const char* from = nullptr;
    if (!m_blocks.empty()) {
        BlockState& last = m_blocks.back();
        const char* data = m_store->blockData(last.block);
        const void* lf = memrchr(data, '\n', last.used);
        last.complete = lf ? std::size_t(static_cast<const char*>(lf) - data) + 1 : 0;
        carry = last.used - last.complete;
        from = data + last.complete;
    }
    const std::size_t size = std::max(atLeast, carry + m_chunkBytes);
    BlockState next;
    next.block = m_store->addBlock(size);
    if (carry > 0)
        std::memcpy(m_store->blockData(next.block), from, carry);
    next.used = carry;
    m_blocks.push_back(next);
    return true;
}

qint64 DataFileReader::readInto(char* to, qint64 bytes, qint64 fileOffset) {
    return LargeMemory::readAt(m_file.handle(), to, bytes, fileOffset);
}

DataFileReader::Status DataFileReader::readStep(std::chrono::nanoseconds budget) {
    if (!m_error.isEmpty())
        return Status::Failed;
    if (m_allRead || m_closed)
        return Status::Finished;
    const Clock::time_point deadline = Clock::now() + budget;
    const qint64 chunk = qint64(m_chunkBytes);
    for (;;) {
        if (m_blocks.empty())
            newBlock(std::size_t(std::max<qint64>(m_expectedSize, 0)) + 1); // +1: sees the end
        else if (m_blocks.back().used == m_store->blockSize(m_blocks.back().block))
            newBlock(m_store->blockSize(m_blocks.back().block)); // the file has grown
        BlockState& b = m_blocks.back();
        char* at = m_store->blockData(b.block) + b.used;
        const qint64 room = qint64(m_store->blockSize(b.block) - b.used);
        qint64 n = 0;
        qint64 lineFeeds = 0;
        if (m_worker && m_bytesRead + 2 * chunk <= m_expectedSize && room >= 2 * chunk) {
            // Two chunks at once, one on the helper thread: putting fresh memory under the bytes
            // costs as much as reading them.
            qint64 second = 0;
            std::size_t secondFeeds = 0;
            const qint64 offset = m_bytesRead;
            qint64 first = 0;
            std::size_t firstFeeds = 0;
            m_worker->both(
                [this, at, chunk, offset, &first, &firstFeeds] {
                    first = readInto(at, chunk, offset);
                    if (first > 0)
                        firstFeeds = kernels().countByte(at, std::size_t(first), '\n');
                },
                [this, at, chunk, offset, &second, &secondFeeds] {
                    second = readInto(at + chunk, chunk, offset + chunk);
                    if (second > 0)
                        secondFeeds = kernels().countByte(at + chunk, std::size_t(second), '\n');
                },
                g_tuning.helperInline);
            if (first < 0 || second < 0) {
                fail(DataFileAccess::readFailureReason(m_file));
                return Status::Failed;
            }
            // A file that got shorter meanwhile: only what follows on without a gap counts.
            n = first == chunk ? first + second : first;
            lineFeeds = qint64(first == chunk ? firstFeeds + secondFeeds : firstFeeds);
        } else {
            n = readInto(at, std::min(room, chunk), m_bytesRead);
            if (n < 0) {
                fail(DataFileAccess::readFailureReason(m_file));
                return Status::Failed;
            }
            lineFeeds = n > 0 ? qint64(kernels().countByte(at, std::size_t(n), '\n')) : 0;
        }
        if (n == 0) {
            b.complete = b.used;
            m_allRead = true;
            m_file.close();
            return Status::Finished;
        }
        m_lineEnds += lineFeeds;
        b.used += std::size_t(n);
        m_bytesRead += n;
        if (Clock::now() >= deadline)
            return Status::More;
    }
}

TextCodec::Detected DataFileReader::detectEncoding() const {
    // Each block's whole lines follow the previous block's (the bytes after its last line end
    // went on to the next block).
    EncodingScan scan;
    for (const BlockState& b : m_blocks) {
        if (scan.settled())
            break;
        scan.feed(QByteArrayView(m_store->blockData(b.block), qsizetype(b.complete)));
    }
    return scan.result(m_allRead);
}

std::size_t DataFileReader::firstLinesBlock() const {
    // A block ends up without a whole line only when the file grew while it was read and its
    // first line is longer than the block: then all its bytes went on to the next one.
    std::size_t index = 0;
    while (index + 1 < m_blocks.size() && m_blocks[index].complete == 0)
        ++index;
    return index;
}

QByteArrayView DataFileReader::firstBlockBytes() const {
    if (m_blocks.empty())
        return {};
    const BlockState& b = m_blocks[firstLinesBlock()];
    QByteArrayView bytes(m_store->blockData(b.block), qsizetype(b.complete));
    if (m_store->byteOrderMark() && TextCodec::startsWithUtf8Bom(bytes))
        bytes = bytes.sliced(3);
    return bytes;
}

qsizetype DataFileReader::firstRecordCommas(FieldMode mode) const {
    const QByteArrayView bytes = firstBlockBytes();
    if (mode == FieldMode::Plain) {
        const qsizetype lf = bytes.indexOf('\n');
        return (lf < 0 ? bytes : bytes.first(lf)).count(',');
    }
    const QuotedFields::Record r = QuotedFields::record(bytes.data(), 0, std::size_t(bytes.size()));
    if (r.open)
        return bytes.first(qsizetype(r.length)).count(',');
    return qsizetype(r.commas);
}

qint64 DataFileReader::linesBefore(std::size_t pos) {
    if (pos > m_lfPos) {
        m_lfBase += qint64(
            kernels().countByte(m_store->blockData(m_lineBlock) + m_lfPos, pos - m_lfPos, '\n'));
        m_lfPos = pos;
    }
    return m_lfBase;
}

void DataFileReader::scanQuotedBatch() {
    const BlockState& b = m_blocks[m_scanBlock];
    const char* base = m_store->blockData(b.block);
    std::size_t begin = m_scanPos;
    if (begin == 0 && m_scanBlock == firstLinesBlock() && m_store->byteOrderMark() &&
        TextCodec::startsWithUtf8Bom(QByteArrayView(base, qsizetype(b.complete))))
        begin = 3;
    if (m_scanPos == 0)
        m_linesBegin = begin;
    const std::size_t limit = b.complete;
    const std::size_t softEnd = std::min(limit, begin + m_chunkBytes);
    const std::size_t want = std::size_t(m_store->commaCount());
    HelperThread* helper =
        m_worker && softEnd - begin >= 2 * g_tuning.splitThreshold ? m_worker.get() : nullptr;
    const QuotedRecordScan::Batch cut = QuotedRecordScan::cut(
        base, begin, softEnd, limit, want, m_lines, helper, g_tuning.helperInline);
    const std::size_t firstEnd = cut.firstEnd;
    const std::size_t end = cut.end;
    const std::size_t lineEnds[2] = {cut.lineEnds[0], cut.lineEnds[1]};
    if (cut.irregular)
        m_store->setIrregularQuotes(true);
    // The lines of each part come from the cut; those before a rejected record are counted from
    // the part's start when one comes.
    m_partEnd[0] = firstEnd;
    m_partEnd[1] = end;
    m_partStart[1] = firstEnd;
    m_partLines[0] = m_linesRead;
    m_partLines[1] = m_linesRead + qint64(lineEnds[0]);
    m_partLineEnds[0] = qint64(lineEnds[0]);
    m_partLineEnds[1] = qint64(lineEnds[1]);
    m_lfPos = begin;
    m_lfBase = m_linesRead;
    m_partsBlock = m_scanBlock;
    m_lineBlock = b.block;
    m_scanPos = end;
    m_part = 0;
    m_nextLine = 0;
    m_nextBad = 0;
}

void DataFileReader::scanBatch() {
    m_quoted = m_store->fieldMode() == FieldMode::Quoted;
    if (m_quoted) {
        scanQuotedBatch();
        return;
    }
    const BlockState& b = m_blocks[m_scanBlock];
    const char* base = m_store->blockData(b.block);
    std::size_t begin = m_scanPos;
    if (begin == 0 && m_scanBlock == firstLinesBlock() && m_store->byteOrderMark() &&
        TextCodec::startsWithUtf8Bom(QByteArrayView(base, qsizetype(b.complete))))
        begin = 3; // the mark is not part of the first line
    std::size_t end = std::min(b.complete, begin + m_chunkBytes);
    if (end < b.complete) {
        // End the batch just after a line end.
        const void* lf = memrchr(base + begin, '\n', end - begin);
        if (lf) {
            end = std::size_t(static_cast<const char*>(lf) - base) + 1;
        } else {
            lf = std::memchr(base + end, '\n', b.complete - end);
            end = lf ? std::size_t(static_cast<const char*>(lf) - base) + 1 : b.complete;
        }
    }
    std::size_t split = end;
    if (m_worker && end - begin >= 2 * g_tuning.splitThreshold) {
        const std::size_t middle = begin + (end - begin) / 2;
        const void* lf = std::memchr(base + middle, '\n', end - middle);
        if (lf)
            split = std::size_t(static_cast<const char*>(lf) - base) + 1;
    }
    m_lines[0].clear();
    m_lines[1].clear();
    const std::size_t want = std::size_t(m_store->commaCount());
    if (split < end) {
        Scanned& second = m_lines[1];
        const auto cutLines = kernels().cutLines;
        m_worker->both([&] { cutLines(base, begin, split, want, m_lines[0]); },
                       [cutLines, base, split, end, want, &second] {
                           cutLines(base, split, end, want, second);
                       },
                       g_tuning.helperInline);
    } else {
        kernels().cutLines(base, begin, end, want, m_lines[0]);
    }
    m_lineBlock = b.block;
    m_scanPos = end;
    m_part = 0;
    m_nextLine = 0;
    m_nextBad = 0;
}

DataFileReader::Status DataFileReader::appendLines() {
    const char* base = m_store->blockData(m_lineBlock);
    while (m_part < 2) {
        const Scanned& part = m_lines[m_part];
        // The fitting lines up to the next other line go in at once.
        const bool badNext = m_nextBad < part.bad.size();
        const std::size_t upTo = badNext ? part.bad[m_nextBad].before : part.starts.size();
        if (upTo > m_nextLine) {
            m_store->addRows(m_lineBlock, part.starts.data() + m_nextLine,
                             part.lengths.data() + m_nextLine, upTo - m_nextLine);
            if (!m_quoted)
                m_linesRead += qint64(upTo - m_nextLine);
            m_nextLine = upTo;
        }
        if (!badNext) {
            if (m_quoted) {
                // The lines up to the part's end; a last line without a line end is one more.
                const std::size_t partEnd = m_partEnd[m_part];
                const BlockState& b = m_blocks[m_partsBlock];
                m_linesRead = m_partLines[m_part] + m_partLineEnds[m_part];
                if (partEnd == b.complete && m_partsBlock + 1 == m_blocks.size() && m_allRead &&
                    partEnd > m_linesBegin && base[partEnd - 1] != '\n')
                    ++m_linesRead;
                if (m_part == 0) {
                    m_lfPos = m_partStart[1];
                    m_lfBase = m_partLines[1];
                }
            }
            ++m_part;
            m_nextLine = 0;
            m_nextBad = 0;
            continue;
        }
        const Scanned::Bad& line = part.bad[m_nextBad++];
        const qint64 lineNumber = m_quoted ? linesBefore(line.start) + 1 : m_linesRead + 1;
        if (DataFileAccess::tooLong(line, std::size_t(m_store->commaCount()))) {
            fail(DataFileAccess::tooLongText(lineNumber));
            return Status::Failed;
        }
        m_linesRead = lineNumber;
        m_rejected = QByteArrayView(base + line.start, qsizetype(line.length));
        return Status::Rejected;
    }
    return Status::More;
}

DataFileReader::Status DataFileReader::step(std::chrono::nanoseconds budget) {
    if (!m_error.isEmpty())
        return Status::Failed;
    if (m_closed)
        return Status::Finished;
    const Clock::time_point deadline = Clock::now() + budget;
    bool first = true;
    for (;;) {
        if (m_part < 2) {
            const Status status = appendLines();
            if (status != Status::More)
                return status;
        }
        while (m_scanBlock < m_blocks.size() && m_scanPos >= m_blocks[m_scanBlock].complete) {
            ++m_scanBlock;
            m_scanPos = 0;
        }
        if (m_scanBlock >= m_blocks.size())
            return Status::Finished;
        if (!first && Clock::now() >= deadline)
            return Status::More;
        first = false;
        scanBatch();
    }
}
