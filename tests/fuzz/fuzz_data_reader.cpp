// Fuzz target: the data-file reader (bytes -> code page 932 text -> lines -> fields -> fit test ->
// row store).
//
// Input: 3 header bytes, then the file's bytes.
//   byte 0  0xFF, and the sum of all input bytes a multiple of 32: big file: the bytes are
//                 repeated past 600 KB and read only with the default chunk size, so the
//                 two-thread split is used. A run takes about a second, so this is kept rare,
//                 and the sum (which comparison tracing cannot steer) keeps it so.
//           else bit 4: answer every rejected line with a correction that fits (as the data-error
//                  dialog does), which the store gets between two steps of the reader
//   byte 1, byte 2: two more chunk sizes (1 + byte 1 % 64, 1 + byte 2)
//
// The file is read in one chunk, and again in the two small chunk sizes with a zero time budget
// (so every step returns after one chunk). Each reading must give the rows, rejected lines and
// line count of the plain reading below: decode the whole file, cut at LF (dropping a CR before
// it), test each line's commas against the first line's.

#include "FuzzSupport.h"

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
    std::vector<QString> rows;
    std::vector<std::pair<QString, qint64>> rejected; // line text, line number
    qint64 linesRead = 0;
};

QString correction(const QString& rejected, int commaCount) {
    QString fixed = u'x' + rejected;
    fixed.remove(u',');
    return fixed + QString(commaCount, u',');
}

Outcome expected(QByteArrayView bytes, int commaCount, bool correct) {
    Outcome out;
    const QString text = Cp932::decode(bytes);
    qsizetype start = 0;
    auto line = [&](QStringView l) {
        ++out.linesRead;
        if (!l.isEmpty() && mdlvornel::CountCommas(l) == commaCount) {
            out.rows.push_back(l.toString());
        } else {
            out.rejected.emplace_back(l.toString(), out.linesRead);
            if (correct)
                out.rows.push_back(correction(l.toString(), commaCount));
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n')
            continue;
        QStringView l = QStringView(text).sliced(start, i - start);
        if (l.endsWith(u'\r'))
            l.chop(1);
        line(l);
        start = i + 1;
    }
    if (start < text.size())
        line(QStringView(text).sliced(start));
    return out;
}

Outcome read(const QString& path, int commaCount, qsizetype chunkBytes,
             std::chrono::nanoseconds budget, bool correct, qsizetype fileSize) {
    Outcome out;
    RowStore store;
    store.reset(commaCount);
    DataFileReader reader(chunkBytes);
    FUZZ_CHECK(reader.open(path, store), reader.errorText().toUtf8());
    // Every step reads at least one chunk or hands back one line.
    const qint64 maxSteps = 2 * qint64(fileSize) + 16;
    for (qint64 steps = 0;; ++steps) {
        FUZZ_CHECK(steps <= maxSteps, "the reader does not get on");
        const DataFileReader::Status status = reader.step(budget);
        if (status == DataFileReader::Status::Finished)
            break;
        FUZZ_CHECK(status != DataFileReader::Status::Failed, reader.errorText().toUtf8());
        if (status == DataFileReader::Status::Rejected) {
            out.rejected.emplace_back(reader.rejectedLine(), reader.rejectedLineNumber());
            if (correct) {
                const QString fixed = correction(reader.rejectedLine(), commaCount);
                FUZZ_CHECK(mdlvornel::AppendIfFits(fixed, store), units(fixed));
            }
        }
    }
    out.linesRead = reader.linesRead();
    FUZZ_CHECK(store.commaCount() == commaCount, "");
    for (qint64 r = 0; r < store.rowCount(); ++r) {
        const QStringView text = store.rowText(r);
        const QList<QStringView> fields = mdlvornel::SplitLine(text);
        FUZZ_CHECK(fields.size() == store.fieldCount(), units(text));
        for (int f = 0; f < store.fieldCount(); ++f)
            FUZZ_CHECK(store.field(r, f) == fields[f],
                       "row " + QByteArray::number(r) + " field " + QByteArray::number(f));
        out.rows.push_back(text.toString());
    }
    return out;
}

void compare(const Outcome& got, const Outcome& want, const char* how) {
    const QByteArray what = QByteArray("reading ") + how + ": ";
    FUZZ_CHECK(got.linesRead == want.linesRead, what + "lines " +
                                                    QByteArray::number(got.linesRead) + ", want " +
                                                    QByteArray::number(want.linesRead));
    FUZZ_CHECK(got.rows.size() == want.rows.size(),
               what + "rows " + QByteArray::number(qsizetype(got.rows.size())) + ", want " +
                   QByteArray::number(qsizetype(want.rows.size())));
    for (size_t i = 0; i < want.rows.size(); ++i)
        FUZZ_CHECK(got.rows[i] == want.rows[i], what + "row " + QByteArray::number(qsizetype(i)) +
                                                    ": " + units(got.rows[i]) + "\nwant " +
                                                    units(want.rows[i]));
    FUZZ_CHECK(got.rejected.size() == want.rejected.size(),
               what + "rejected " + QByteArray::number(qsizetype(got.rejected.size())) + ", want " +
                   QByteArray::number(qsizetype(want.rejected.size())));
    for (size_t i = 0; i < want.rejected.size(); ++i) {
        FUZZ_CHECK(got.rejected[i] == want.rejected[i],
                   what + "rejected line " + QByteArray::number(got.rejected[i].second) + ": " +
                       units(got.rejected[i].first) + "\nwant line " +
                       QByteArray::number(want.rejected[i].second) + ": " +
                       units(want.rejected[i].first));
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
    QByteArray bytes(reinterpret_cast<const char*>(data) + 3, qsizetype(size - 3));
    if (big) {
        if (bytes.isEmpty())
            return 0;
        const QByteArray unit = bytes;
        while (bytes.size() < 600 * 1024)
            bytes += unit;
    }
    file.set(bytes);

    const DataFileReader::FirstLine first = DataFileReader::readFirstLine(file.path);
    FUZZ_CHECK(first.ok, first.error.toUtf8());
    FUZZ_CHECK(first.empty == bytes.isEmpty(), "");
    const QString text = Cp932::decode(bytes);
    const qsizetype firstEnd = text.indexOf(u'\n');
    const qsizetype commas =
        mdlvornel::CountCommas(QStringView(text).first(firstEnd < 0 ? text.size() : firstEnd));
    FUZZ_CHECK(first.commaCount == commas, "first line commas " +
                                               QByteArray::number(first.commaCount) + ", want " +
                                               QByteArray::number(commas));
    const int commaCount = int(first.commaCount);

    const Outcome want = expected(bytes, commaCount, correct);
    using namespace std::chrono_literals;
    if (big) {
        compare(read(file.path, commaCount, DataFileReader::kDefaultChunkBytes, 1h, false,
                     bytes.size()),
                want, "big file");
        return 0;
    }
    compare(read(file.path, commaCount, bytes.size() + 1, 1h, correct, bytes.size()), want,
            "in one chunk");
    compare(read(file.path, commaCount, 1 + data[1] % 64, 0ns, correct, bytes.size()), want,
            "in small chunks (byte 1)");
    compare(read(file.path, commaCount, 1 + data[2], 0ns, correct, bytes.size()), want,
            "in chunks (byte 2)");
    return 0;
}
