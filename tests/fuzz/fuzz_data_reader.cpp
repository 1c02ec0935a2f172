// Fuzz target: the data-file reader (file bytes -> byte store -> lines and commas found in the
// bytes -> fit test -> rows kept as the file's own bytes, decoded on demand).
//
// Input: 3 header bytes, then the file's bytes.
//   byte 0  0xFF, and the sum of all input bytes a multiple of 32: big file: the bytes are
//                 repeated past 600 KB and read only with the default chunk size, so the
//                 two-thread split is used. A run takes about a second, so this is kept rare,
//                 and the sum (which comparison tracing cannot steer) keeps it so.
//           else bit 4: answer every rejected line with a correction that fits (as the data-error
//                  dialog does), which the store gets between two steps of the reader
//           bit 6 (of byte 1 for a big file): the file is read in the quoted field mode (set on
//                 the store after the first pass, as the load job does), and compared with the
//                 quoted reading below instead
//           bit 5 (of byte 1 for a big file): the file is read as UTF-8, else as code page 932.
//                 As UTF-8, a file that begins with EF BB BF has a byte-order mark (the store is
//                 told so, as the window does), which is not part of the first line.
//   byte 1, byte 2: two more chunk sizes (1 + byte 1 % 64, 1 + byte 2)
//
// The file is read in one chunk, and again in the two small chunk sizes with a zero time budget
// (so every call of either pass handles one chunk). Each reading must give the rows, rejected
// lines and line count of the plain reading below: cut the bytes at LF (dropping one CR before
// it, and a byte-order mark before the first line), test each line's comma bytes against the
// first line's. Rows and rejected lines must be those bytes exactly, and their text the bytes
// decoded in the store's encoding.
//
// The quoted reading, written as a state machine over the bytes: a field that begins with '"'
// runs to the '"' not followed by another ('""' is one quote, text after the closing quote up to
// the next comma or LF is kept), and commas and LFs inside it belong to it; a record ends at an LF
// outside (one CR before it dropped) or at the end. A quote still open at the end (or for more
// than 1 MiB) makes the record's first line a line of its own that never fits. The fit test is
// the first record's field count (its first line's commas when that one is open); each row's
// field texts must be the state machine's, and a rejected record's number its first line's.

#include "FuzzSupport.h"

#include "base/TextCodec.h"
#include "source/DataFileReader.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"
#include "source/mdlvornel.h"

#include <sys/mman.h>
#include <unistd.h>

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

Outcome expectedQuoted(QByteArrayView bytes, int commaCount, bool correct) {
    Outcome out;
    for (const QuotedRecord& r : quotedRecords(bytes)) {
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

Outcome read(const QString& path, TextEncoding encoding, bool byteOrderMark, int commaCount,
             qsizetype chunkBytes, std::chrono::nanoseconds budget, bool correct,
             QByteArrayView bytes, bool quoted) {
    Outcome out;
    RowStore store;
    store.reset(commaCount, encoding, byteOrderMark);
    DataFileReader reader(chunkBytes);
    FUZZ_CHECK(reader.open(path, store), reader.errorText().toUtf8());
    // Every call of either pass reads at least one chunk or hands back one line.
    const qint64 maxSteps = 2 * qint64(bytes.size()) + 16;
    for (qint64 steps = 0;; ++steps) {
        FUZZ_CHECK(steps <= maxSteps, "the first pass does not get on");
        const DataFileReader::Status status = reader.readStep(budget);
        if (status == DataFileReader::Status::Finished)
            break;
        FUZZ_CHECK(status == DataFileReader::Status::More, reader.errorText().toUtf8());
    }
    FUZZ_CHECK(reader.bytesRead() == bytes.size(),
               "bytes read " + number(reader.bytesRead()) + ", want " + number(bytes.size()));
    FUZZ_CHECK(reader.lineEnds() == bytes.count('\n'),
               "line ends " + number(reader.lineEnds()) + ", want " + number(bytes.count('\n')));
    if (!bytes.contains('"'))
        FUZZ_CHECK(reader.detectFieldMode() == FieldMode::Plain, "quoted without a quote");
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
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), done);
            if (n <= 0)
                FuzzSupport::fail("pwrite");
            done += n;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    static MemoryFile file;
    const unsigned char flags = data[0];
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum += data[i];
    const bool big = flags == 0xFF && sum % 32 == 0;
    const bool correct = (flags & 0x10) != 0 && !big;
    const bool utf8 = ((big ? data[1] : flags) & 0x20) != 0;
    const bool quoted = ((big ? data[1] : flags) & 0x40) != 0;
    QByteArray bytes(reinterpret_cast<const char*>(data) + 3, qsizetype(size - 3));
    if (big) {
        if (bytes.isEmpty())
            return 0;
        const QByteArray unit = bytes;
        while (bytes.size() < 600 * 1024)
            bytes += unit;
    }
    file.set(bytes);
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    const bool startsWithMark = bytes.startsWith(TextCodec::kUtf8Bom);
    const bool byteOrderMark = utf8 && startsWithMark;

    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(file.path);
    FUZZ_CHECK(first.ok, first.error.toUtf8());
    FUZZ_CHECK(first.detected.byteOrderMark == startsWithMark, "");
    FUZZ_CHECK(first.empty == (bytes.size() == (startsWithMark ? 3 : 0)), "");
    const QByteArrayView lines = QByteArrayView(bytes).sliced(byteOrderMark ? 3 : 0);
    const qsizetype firstEnd = lines.indexOf('\n');
    const qsizetype commas = (firstEnd < 0 ? lines : lines.first(firstEnd)).count(',');
    FUZZ_CHECK(first.commaCount == commas,
               "first line commas " + number(first.commaCount) + ", want " + number(commas));
    const std::vector<QuotedRecord> records =
        quoted ? quotedRecords(lines) : std::vector<QuotedRecord>();
    const int commaCount = quoted ? quotedCommaCount(records) : int(first.commaCount);

    const Outcome want = quoted ? expectedQuoted(lines, commaCount, correct)
                                : expected(lines, encoding, commaCount, correct);
    using namespace std::chrono_literals;
    if (big) {
        compare(read(file.path, encoding, byteOrderMark, commaCount,
                     DataFileReader::kDefaultChunkBytes, 1h, false, bytes, quoted),
                want, "big file");
        return 0;
    }
    compare(read(file.path, encoding, byteOrderMark, commaCount, bytes.size() + 1, 1h, correct,
                 bytes, quoted),
            want, "in one chunk");
    compare(read(file.path, encoding, byteOrderMark, commaCount, 1 + data[1] % 64, 0ns, correct,
                 bytes, quoted),
            want, "in small chunks (byte 1)");
    compare(read(file.path, encoding, byteOrderMark, commaCount, 1 + data[2], 0ns, correct, bytes,
                 quoted),
            want, "in chunks (byte 2)");
    return 0;
}
