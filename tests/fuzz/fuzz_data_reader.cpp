// Fuzz target: the data-file reader (file bytes -> byte store -> lines and commas found in the
// bytes -> fit test -> rows kept as the file's own bytes, decoded on demand).
//
// Input: 4 header bytes, then the file's bytes. Small tuning values let inputs of a few bytes
// reach what a file of megabytes reaches with the usual ones.
//   byte 0  bits 0-1: the split threshold (DataFileReader::Tuning): the usual one, 1, 16 or 128
//                 bytes; a batch of twice as many bytes is scanned in two halves on two threads
//           bits 2-3: readFirstLine's sample: the usual size, 4, 16 or 64 bytes, so that a
//                 first line runs on past it
//           bit 4: answer every rejected line with a correction that fits (as the data-error
//                  dialog does), which the store gets between two steps of the reader
//           bit 5: the file is read as UTF-8, else as code page 932. As UTF-8, a file that
//                 begins with EF BB BF has a byte-order mark (the store is told so, as the window
//                 does), which is not part of the first line.
//           bit 6: the file is read in the quoted field mode (set on the store after the first
//                 pass, as the load job does), and compared with the quoted reading below instead
//           bit 7: the file grows while it is read. When the reader opens it, it holds only its
//                 first byte 3 bytes (times size / 256 from 512 bytes on); the rest is appended
//                 before the first step of the first pass (in one chunk), or before step
//                 byte 1 >> 6 (in small chunks), or once the reader has read all it held. The
//                 first block is sized to the file as opened, so the part line at its end is
//                 carried into a second block.
//   byte 1, byte 2: two more chunk sizes (1 + byte 1 % 64, 1 + byte 2)
//   byte 3: see bit 7
//
// readFirstLine must count the first line's commas past the sample, see the byte-order mark, and
// refuse the file when the sample looks like UTF-16. The file is read in one chunk, and again in
// the two small chunk sizes with a zero time budget (so every call of either pass handles one
// chunk; the helper thread's half of each cut is then done on the calling thread, which saves a
// thread switch for each of the many steps). After the first pass the encoding of the blocks must
// be that of all the bytes in one piece. Each reading must give the rows, rejected lines and line
// count of the plain reading below: cut the bytes at LF (dropping one CR before it, and a
// byte-order mark before the first line), test each line's comma bytes against the first line's.
// Rows and rejected lines must be those bytes exactly, and their text the bytes decoded in the
// store's encoding.
//
// The quoted reading, written as a state machine over the bytes: a field that begins with '"'
// runs to the '"' not followed by another ('""' is one quote, text after the closing quote up to
// the next comma or LF is kept), and commas and LFs inside it belong to it; a record ends at an LF
// outside (one CR before it dropped) or at the end. A quote still open at the end (or for more
// than 1 MiB) makes the record's first line a line of its own that never fits. The fit test is
// the first record's field count (its first line's commas when that one is open); each row's
// field texts must be the state machine's, and a rejected record's number its first line's. A
// file that grew is cut block by block (blockStretches): a record does not run on from one block
// into the next.

#include "FuzzSupport.h"

#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"
#include "source/mdlvornel.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

using FuzzSupport::units;

namespace {

struct Outcome {
    std::vector<QByteArray> rows;
    std::vector<std::vector<QByteArray>> fields;         // quoted reading: each row's field texts
    std::vector<std::pair<QByteArray, qint64>> rejected; // line bytes, line number
    qint64 linesRead = 0;
};

QByteArray number(qint64 n) {
    return QByteArray::number(n);
}

QByteArray correction(QByteArrayView rejected, int commaCount) {
    QByteArray fixed = 'x' + rejected.toByteArray();
    fixed.replace(",", "");
    return fixed + QByteArray(commaCount, ',');
}

// A correction for the quoted reading: no quote, comma or LF of the rejected record left.
QByteArray quotedCorrection(QByteArrayView rejected, int commaCount) {
    QByteArray fixed = 'x' + rejected.toByteArray();
    fixed.replace(",", "").replace("\"", "").replace("\n", "");
    return fixed + QByteArray(commaCount, ',');
}

std::vector<QByteArray> correctionFields(const QByteArray& fixed, int commaCount) {
    std::vector<QByteArray> fields(size_t(commaCount) + 1);
    fields[0] = fixed.first(fixed.size() - commaCount);
    return fields;
}

struct QuotedRecord {
    QByteArrayView bytes;
    qint64 line = 0; // its first line, from 1
    bool open = false;
    std::vector<QByteArray> fields;
};

std::vector<QuotedRecord> quotedRecords(QByteArrayView b) {
    constexpr qsizetype kMaxQuoted = 1 << 20;
    enum State { FieldStart, Unquoted, Quoted, QuoteSeen };
    std::vector<QuotedRecord> out;
    qsizetype i = 0;
    qint64 line = 1;
    const qsizetype n = b.size();
    while (i < n) {
        QuotedRecord r;
        r.line = line;
        r.fields.emplace_back();
        State state = FieldStart;
        qsizetype openAt = 0;
        qsizetype k = i;
        qsizetype recordEnd = -1;
        qsizetype next = n;
        for (; k < n; ++k) {
            const char c = b[k];
            if (state == Quoted && k - (openAt + 1) > kMaxQuoted) {
                r.open = true;
                break;
            }
            if (state == Quoted) {
                if (c == '"')
                    state = QuoteSeen;
                else
                    r.fields.back() += c;
                continue;
            }
            if (state == QuoteSeen && c == '"') {
                r.fields.back() += '"';
                state = Quoted;
                continue;
            }
            if (c == ',') {
                r.fields.emplace_back();
                state = FieldStart;
            } else if (c == '\n') {
                recordEnd = k;
                next = k + 1;
                break;
            } else if (state == FieldStart && c == '"') {
                state = Quoted;
                openAt = k;
            } else {
                r.fields.back() += c;
                state = Unquoted;
            }
        }
        if (k == n && state == Quoted)
            r.open = true;
        if (r.open) {
            const qsizetype lf = b.indexOf('\n', i);
            recordEnd = lf < 0 ? n : lf;
            next = lf < 0 ? n : lf + 1;
            r.fields.clear();
        } else if (recordEnd < 0) {
            recordEnd = n;
        }
        r.bytes = b.sliced(i, recordEnd - i);
        if (recordEnd < n && r.bytes.endsWith('\r')) {
            r.bytes.chop(1);
            if (!r.fields.empty())
                r.fields.back().chop(1);
        }
        line += b.sliced(i, next - i).count('\n');
        i = next;
        out.push_back(std::move(r));
    }
    return out;
}

// The fit test's comma count of the quoted reading.
int quotedCommaCount(const std::vector<QuotedRecord>& records) {
    if (records.empty())
        return 0;
    const QuotedRecord& first = records.front();
    return first.open ? int(first.bytes.count(',')) : int(first.fields.size()) - 1;
}

// Where the reader's blocks hold whole lines, as [begin, end) of the file's bytes, when the file
// held `initial` bytes at open() and grew to all of them during the first pass. The first block is
// sized to the file as opened (one byte more, to see the end; at least a chunk); a full block's
// bytes after its last line end are carried to the start of the next, which is as big as the last
// and at least a chunk more than the carry. The last block holds the rest.
std::vector<std::pair<qsizetype, qsizetype>> blockStretches(QByteArrayView bytes, qsizetype initial,
                                                            qsizetype chunk) {
    std::vector<std::pair<qsizetype, qsizetype>> out;
    qsizetype start = 0;
    qsizetype size = std::max(initial + 1, chunk);
    while (start + size <= bytes.size()) {
        const qsizetype lf = bytes.first(start + size).lastIndexOf('\n');
        const qsizetype complete = lf >= start ? lf + 1 : start;
        out.emplace_back(start, complete);
        size = std::max(size, start + size - complete + chunk);
        start = complete;
    }
    out.emplace_back(start, bytes.size());
    return out;
}

// The quoted records of lines read in the stretches of blockStretches (moved by `skipped`, the
// byte-order mark before the lines): a record never crosses from one block into the next, one
// still open at a block's end is open as at the file's end.
std::vector<QuotedRecord>
blockRecords(QByteArrayView lines, const std::vector<std::pair<qsizetype, qsizetype>>& stretches,
             qsizetype skipped) {
    std::vector<QuotedRecord> out;
    for (const auto& [fileBegin, fileEnd] : stretches) {
        const qsizetype begin = std::max<qsizetype>(fileBegin - skipped, 0);
        const qsizetype end = std::max<qsizetype>(fileEnd - skipped, 0);
        const qint64 before = lines.first(begin).count('\n');
        for (QuotedRecord& r : quotedRecords(lines.sliced(begin, end - begin))) {
            r.line += before;
            out.push_back(std::move(r));
        }
    }
    return out;
}

Outcome expectedQuoted(QByteArrayView bytes, const std::vector<QuotedRecord>& records,
                       int commaCount, bool correct) {
    Outcome out;
    for (const QuotedRecord& r : records) {
        if (!r.open && !r.bytes.isEmpty() && qsizetype(r.fields.size()) == commaCount + 1) {
            out.rows.push_back(r.bytes.toByteArray());
            out.fields.push_back(r.fields);
        } else {
            out.rejected.emplace_back(r.bytes.toByteArray(), r.line);
            if (correct) {
                const QByteArray fixed = quotedCorrection(r.bytes, commaCount);
                out.rows.push_back(fixed);
                out.fields.push_back(correctionFields(fixed, commaCount));
            }
        }
    }
    out.linesRead = bytes.count('\n') + (bytes.isEmpty() || bytes.endsWith('\n') ? 0 : 1);
    return out;
}

// The lines of the file's bytes: cut at LF, one CR before it dropped, a last line without a line
// end kept.
std::vector<QByteArrayView> cutLines(QByteArrayView bytes) {
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n')
            continue;
        QByteArrayView l = bytes.sliced(start, i - start);
        if (l.endsWith('\r'))
            l.chop(1);
        lines.push_back(l);
        start = i + 1;
    }
    if (start < bytes.size())
        lines.push_back(bytes.sliced(start));
    return lines;
}

Outcome expected(QByteArrayView bytes, TextEncoding encoding, int commaCount, bool correct) {
    Outcome out;
    const std::vector<QByteArrayView> lines = cutLines(bytes);
    // LF is never part of a character, so decoding the whole text and cutting it gives the
    // same lines as decoding line by line.
    const QString text = TextCodec::decode(encoding, bytes);
    const QList<QStringView> textLines = QStringView(text).split(u'\n');
    FUZZ_CHECK(textLines.size() >= qsizetype(lines.size()), "");
    for (size_t i = 0; i < lines.size(); ++i) {
        QStringView want = textLines[qsizetype(i)];
        if (qsizetype(i) + 1 < textLines.size() && want.endsWith(u'\r')) // an LF follows
            want.chop(1);
        FUZZ_CHECK(TextCodec::decode(encoding, lines[i]) == want,
                   "line " + number(qint64(i) + 1) + " decoded alone: " +
                       units(TextCodec::decode(encoding, lines[i])) + "\nwant " + units(want));
    }
    for (const QByteArrayView l : lines) {
        ++out.linesRead;
        if (!l.isEmpty() && l.count(',') == commaCount) {
            out.rows.push_back(l.toByteArray());
        } else {
            out.rejected.emplace_back(l.toByteArray(), out.linesRead);
            if (correct)
                out.rows.push_back(correction(l, commaCount));
        }
    }
    return out;
}

// One in-memory file for the whole run, reached through its /proc path.
struct MemoryFile {
    int fd = -1;
    QString path;
    MemoryFile() {
        fd = memfd_create("vornel-fuzz-data", 0);
        if (fd < 0)
            FuzzSupport::fail("memfd_create");
        path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    }
    void set(QByteArrayView bytes) {
        if (ftruncate(fd, 0) != 0)
            FuzzSupport::fail("ftruncate");
        append(bytes, 0);
    }
    void append(QByteArrayView bytes, qsizetype at) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), at + done);
            if (n <= 0)
                FuzzSupport::fail("pwrite");
            done += n;
        }
    }
};

// How a reading goes: the chunk size, the time budget of each step, and when a file that holds
// only its first `initial` bytes at open() gets the rest (before the first-pass step of that
// number, or once the reader has read all it held).
struct Reading {
    qsizetype chunkBytes = 0;
    std::chrono::nanoseconds budget{};
    qsizetype initial = 0;
    qint64 growBefore = 0;
    bool helperInline = false; // Tuning::helperInline
};

Outcome read(MemoryFile& file, const Reading& how, TextEncoding encoding, bool byteOrderMark,
             int commaCount, bool correct, QByteArrayView bytes, bool quoted) {
    Outcome out;
    file.set(bytes.first(how.initial));
    RowStore store;
    store.reset(commaCount, encoding, byteOrderMark);
    // One reader for the whole run: a helper thread started for every reading would cost more
    // than the reading.
    static DataFileReader reader;
    reader.setChunkBytes(how.chunkBytes);
    FUZZ_CHECK(reader.open(file.path, store), reader.errorText().toUtf8());
    const std::chrono::nanoseconds budget = how.budget;
    // Every call of either pass reads at least one chunk or hands back one line.
    const qint64 maxSteps = 2 * qint64(bytes.size()) + 16;
    bool grown = how.initial == bytes.size();
    for (qint64 steps = 0;; ++steps) {
        FUZZ_CHECK(steps <= maxSteps, "the first pass does not get on");
        if (!grown && (steps == how.growBefore || reader.bytesRead() == how.initial)) {
            file.append(bytes.sliced(how.initial), how.initial);
            grown = true;
        }
        const DataFileReader::Status status = reader.readStep(budget);
        if (status == DataFileReader::Status::Finished)
            break;
        FUZZ_CHECK(status == DataFileReader::Status::More, reader.errorText().toUtf8());
    }
    FUZZ_CHECK(reader.bytesRead() == bytes.size(),
               "bytes read " + number(reader.bytesRead()) + ", want " + number(bytes.size()));
    FUZZ_CHECK(reader.lineEnds() == bytes.count('\n'),
               "line ends " + number(reader.lineEnds()) + ", want " + number(bytes.count('\n')));
    // The encoding of all the bytes, fed block by block, is that of the bytes in one piece.
    const TextCodec::Detected seen = reader.detectEncoding();
    const TextCodec::Detected whole = TextCodec::detect(bytes, true);
    FUZZ_CHECK(seen.encoding == whole.encoding && seen.byteOrderMark == whole.byteOrderMark,
               "encoding of the blocks");
    if (!bytes.contains('"'))
        FUZZ_CHECK(QuotedFields::detect(reader.fieldModeBytes()) == FieldMode::Plain,
                   "quoted without a quote");
    if (quoted) {
        const qsizetype commas = reader.firstRecordCommas(FieldMode::Quoted);
        FUZZ_CHECK(commas == commaCount,
                   "first record commas " + number(commas) + ", want " + number(commaCount));
        store.setFieldMode(FieldMode::Quoted, commaCount);
    }
    for (qint64 steps = 0;; ++steps) {
        FUZZ_CHECK(steps <= maxSteps, "the second pass does not get on");
        const DataFileReader::Status status = reader.step(budget);
        if (status == DataFileReader::Status::Finished)
            break;
        FUZZ_CHECK(status != DataFileReader::Status::Failed, reader.errorText().toUtf8());
        if (status == DataFileReader::Status::Rejected) {
            const QByteArrayView rejected = reader.rejectedBytes();
            out.rejected.emplace_back(rejected.toByteArray(), reader.rejectedLineNumber());
            if (correct) {
                const QByteArray fixed = quoted ? quotedCorrection(rejected, commaCount)
                                                : correction(rejected, commaCount);
                FUZZ_CHECK(mdlvornel::AppendIfFits(fixed, store), fixed.toHex(' '));
            }
        }
    }
    out.linesRead = reader.linesRead();
    FUZZ_CHECK(store.commaCount() == commaCount, "");
    FUZZ_CHECK(store.encoding() == encoding, "");
    FUZZ_CHECK(store.byteOrderMark() == byteOrderMark, "");
    for (qint64 r = 0; r < store.rowCount(); ++r) {
        const QByteArrayView rowBytes = store.rowBytes(r);
        const QString text = store.rowText(r);
        FUZZ_CHECK(text == TextCodec::decode(encoding, rowBytes),
                   "row " + number(r) + ": " + units(text));
        if (quoted) {
            // Every field's text from one cut of the row; the store's own look-up (which cuts
            // from the row's start) at the first, middle and last few.
            std::vector<qsizetype> ends;
            QuotedFields::fieldEnds(rowBytes, ends);
            FUZZ_CHECK(qsizetype(ends.size()) == store.fieldCount(), "row " + number(r));
            std::vector<QByteArray> fields;
            QByteArray scratch;
            const int count = store.fieldCount();
            for (int f = 0; f < count; ++f) {
                const qsizetype begin = f == 0 ? 0 : ends[size_t(f) - 1] + 1;
                fields.push_back(QuotedFields::fieldText(
                                     rowBytes.sliced(begin, ends[size_t(f)] - begin), scratch)
                                     .toByteArray());
                if (f < 8 || f >= count - 8 || f == count / 2) {
                    const QByteArray what = "row " + number(r) + " field " + number(f);
                    FUZZ_CHECK(store.fieldText(r, f, scratch) == fields.back(), what);
                    FUZZ_CHECK(store.field(r, f) == TextCodec::decode(encoding, fields.back()),
                               what);
                }
            }
            out.fields.push_back(std::move(fields));
            out.rows.push_back(rowBytes.toByteArray());
            continue;
        }
        const QList<QStringView> fields = QStringView(text).split(u',');
        FUZZ_CHECK(fields.size() == store.fieldCount(), units(text));
        // fieldBytes looks for its field from the row's start, so a row of many thousand
        // fields is checked at its first, middle and last few only.
        qsizetype start = 0;
        const int count = store.fieldCount();
        for (int f = 0; f < count; ++f) {
            const qsizetype comma = rowBytes.indexOf(',', start);
            const qsizetype end = comma < 0 ? rowBytes.size() : comma;
            if (f < 8 || f >= count - 8 || f == count / 2) {
                const QByteArrayView want = rowBytes.sliced(start, end - start);
                const QByteArray what = "row " + number(r) + " field " + number(f);
                FUZZ_CHECK(store.fieldBytes(r, f) == want, what);
                FUZZ_CHECK(store.field(r, f) == fields[f], what);
            }
            start = end + 1;
        }
        out.rows.push_back(rowBytes.toByteArray());
    }
    return out;
}

void compare(const Outcome& got, const Outcome& want, const char* how) {
    const QByteArray what = QByteArray("reading ") + how + ": ";
    FUZZ_CHECK(got.linesRead == want.linesRead,
               what + "lines " + number(got.linesRead) + ", want " + number(want.linesRead));
    FUZZ_CHECK(got.rows.size() == want.rows.size(),
               what + "rows " + number(qint64(got.rows.size())) + ", want " +
                   number(qint64(want.rows.size())));
    for (size_t i = 0; i < want.rows.size(); ++i)
        FUZZ_CHECK(got.rows[i] == want.rows[i], what + "row " + number(qint64(i)) + ": " +
                                                    got.rows[i].toHex(' ') + "\nwant " +
                                                    want.rows[i].toHex(' '));
    FUZZ_CHECK(got.fields.size() == want.fields.size(), what + "field texts");
    for (size_t i = 0; i < want.fields.size(); ++i) {
        FUZZ_CHECK(got.fields[i].size() == want.fields[i].size(),
                   what + "row " + number(qint64(i)) + ": fields " +
                       number(qint64(got.fields[i].size())) + ", want " +
                       number(qint64(want.fields[i].size())));
        for (size_t f = 0; f < want.fields[i].size(); ++f)
            FUZZ_CHECK(got.fields[i][f] == want.fields[i][f],
                       what + "row " + number(qint64(i)) + " field " + number(qint64(f)) + ": " +
                           got.fields[i][f].toHex(' ') + "\nwant " + want.fields[i][f].toHex(' '));
    }
    FUZZ_CHECK(got.rejected.size() == want.rejected.size(),
               what + "rejected " + number(qint64(got.rejected.size())) + ", want " +
                   number(qint64(want.rejected.size())));
    for (size_t i = 0; i < want.rejected.size(); ++i) {
        FUZZ_CHECK(got.rejected[i] == want.rejected[i],
                   what + "rejected line " + number(got.rejected[i].second) + ": " +
                       got.rejected[i].first.toHex(' ') + "\nwant line " +
                       number(want.rejected[i].second) + ": " + want.rejected[i].first.toHex(' '));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    static MemoryFile file;
    const unsigned char flags = data[0];
    static constexpr std::size_t kSplitThresholds[] = {0, 1, 16, 128};
    static constexpr qint64 kSampleBytes[] = {0, 4, 16, 64};
    DataFileReader::Tuning tuning;
    if ((flags & 0x03) != 0)
        tuning.splitThreshold = kSplitThresholds[flags & 0x03];
    if ((flags & 0x0C) != 0)
        tuning.sampleBytes = kSampleBytes[(flags >> 2) & 0x03];
    DataFileReader::setTuningForTesting(tuning);
    const bool correct = (flags & 0x10) != 0;
    const bool utf8 = (flags & 0x20) != 0;
    const bool quoted = (flags & 0x40) != 0;
    const bool grow = (flags & 0x80) != 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 4, qsizetype(size - 4));
    file.set(bytes);
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    const bool startsWithMark = bytes.startsWith(TextCodec::kUtf8Bom);
    const bool byteOrderMark = utf8 && startsWithMark;
    const qsizetype skipped = byteOrderMark ? 3 : 0;
    qsizetype initial = bytes.size();
    if (grow) {
        initial =
            std::min(bytes.size(), qsizetype(data[3]) * std::max<qsizetype>(1, bytes.size() / 256));
    }

    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(file.path);
    const QByteArrayView sample = QByteArrayView(bytes).first(
        std::min<qsizetype>(bytes.size(), qsizetype(tuning.sampleBytes)));
    if (TextCodec::utf16(sample) != TextCodec::Utf16::None) {
        FUZZ_CHECK(!first.ok && first.error == TextCodec::utf16RefusedText(), "not refused");
        return 0;
    }
    FUZZ_CHECK(first.ok, first.error.toUtf8());
    FUZZ_CHECK(first.detected.byteOrderMark == startsWithMark, "");
    FUZZ_CHECK(first.empty == (bytes.size() == (startsWithMark ? 3 : 0)), "");
    const QByteArrayView lines = QByteArrayView(bytes).sliced(skipped);
    const qsizetype firstEnd = lines.indexOf('\n');
    const qsizetype commas = (firstEnd < 0 ? lines : lines.first(firstEnd)).count(',');
    FUZZ_CHECK(first.commaCount == commas,
               "first line commas " + number(first.commaCount) + ", want " + number(commas));

    const Outcome plain =
        quoted ? Outcome() : expected(lines, encoding, int(first.commaCount), correct);
    // The quoted reading of the last block layout (the same for every reading of a file that
    // did not grow).
    std::vector<std::pair<qsizetype, qsizetype>> lastStretches;
    int lastCommaCount = 0;
    Outcome lastWant;
    const auto check = [&](const Reading& how, const char* what) {
        tuning.helperInline = how.helperInline;
        DataFileReader::setTuningForTesting(tuning);
        if (!quoted) {
            compare(read(file, how, encoding, byteOrderMark, int(first.commaCount), correct, bytes,
                         false),
                    plain, what);
            return;
        }
        // A file that grew is cut into records block by block. The first record decides the
        // comma count: one of the first block that holds a whole line (the blocks before hold
        // none), as the reader's firstRecordCommas() sees it.
        const auto stretches = blockStretches(bytes, how.initial, how.chunkBytes);
        if (stretches != lastStretches) {
            lastStretches = stretches;
            const std::vector<QuotedRecord> records = blockRecords(lines, stretches, skipped);
            lastCommaCount = quotedCommaCount(records);
            lastWant = expectedQuoted(lines, records, lastCommaCount, correct);
        }
        compare(read(file, how, encoding, byteOrderMark, lastCommaCount, correct, bytes, true),
                lastWant, what);
    };
    using namespace std::chrono_literals;
    check({bytes.size() + 1, 1h, initial, 0, false}, "in one chunk");
    // Many steps, each of which may cut its work in two: without a thread switch for each.
    const qint64 growBefore = data[1] >> 6;
    check({1 + data[1] % 64, 0ns, initial, growBefore, true}, "in small chunks (byte 1)");
    check({1 + qsizetype(data[2]), 0ns, initial, growBefore, true}, "in chunks (byte 2)");
    return 0;
}
