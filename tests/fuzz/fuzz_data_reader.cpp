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

#include "FuzzSupport.h"

#include "base/TextCodec.h"
#include "source/DataFileReader.h"
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
             QByteArrayView bytes) {
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
                const QByteArray fixed = correction(rejected, commaCount);
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
    const int commaCount = int(first.commaCount);

    const Outcome want = expected(lines, encoding, commaCount, correct);
    using namespace std::chrono_literals;
    if (big) {
        compare(read(file.path, encoding, byteOrderMark, commaCount,
                     DataFileReader::kDefaultChunkBytes, 1h, false, bytes),
                want, "big file");
        return 0;
    }
    compare(
        read(file.path, encoding, byteOrderMark, commaCount, bytes.size() + 1, 1h, correct, bytes),
        want, "in one chunk");
    compare(
        read(file.path, encoding, byteOrderMark, commaCount, 1 + data[1] % 64, 0ns, correct, bytes),
        want, "in small chunks (byte 1)");
    compare(read(file.path, encoding, byteOrderMark, commaCount, 1 + data[2], 0ns, correct, bytes),
            want, "in chunks (byte 2)");
    return 0;
}
