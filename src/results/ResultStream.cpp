// The result written as the rows come (each row's bytes and CR LF), to a WholeFile or a device.
#include "results/ResultStream.h"

#include "source/RowStore.h"

#include <QFileDevice>

#include <cstring>

namespace {

// The rows are gathered into pieces of about this size; a run of rows at least kDirectBytes long
// goes out from the batch itself.
constexpr qsizetype kPieceBytes = 4 << 20;
constexpr qsizetype kDirectBytes = 64 << 10;

} // namespace

ResultStream::ResultStream(const QString& path) : m_file(std::make_unique<WholeFile>(path)) {}

ResultStream::ResultStream(QIODevice& device) : m_device(&device) {}

ResultStream::~ResultStream() {
    if (m_file)
        m_file->cancel();
}

bool ResultStream::open() {
    if (!m_file || m_file->open())
        return true;
    m_error = ResultFile::Error{int(m_file->error()), m_file->errorString(), m_file->inPlaceOnly()};
    return false;
}

void ResultStream::deviceFailed() {
    if (m_error)
        return;
    if (m_file) {
        m_error =
            ResultFile::Error{int(m_file->error()), m_file->errorString(), m_file->inPlaceOnly()};
        return;
    }
    auto* file = qobject_cast<QFileDevice*>(m_device);
    const int number = file && file->error() != QFileDevice::NoError ? int(file->error())
                                                                     : int(QFileDevice::WriteError);
    m_error = ResultFile::Error{number, japaneseFileError(m_device->errorString())};
}

bool ResultStream::put(QByteArrayView bytes) {
    const bool written =
        m_file ? m_file->write(bytes) : m_device->write(bytes.data(), bytes.size()) == bytes.size();
    if (!written)
        deviceFailed();
    return written;
}

bool ResultStream::writeHeader(QByteArrayView mark, QByteArrayView header) {
    QByteArray line = mark.toByteArray();
    line += header;
    line += "\r\n";
    m_marked = true;
    return put(line);
}

bool ResultStream::flush() {
    if (m_used == 0)
        return true;
    const bool written = put(QByteArrayView(m_buffer.constData(), m_used));
    m_used = 0;
    return written;
}

void ResultStream::append(const char* bytes, qsizetype size) {
    std::memcpy(m_buffer.data() + m_used, bytes, std::size_t(size));
    m_used += size;
}

bool ResultStream::endRun(const char* from, const char* to) {
    const qsizetype size = qsizetype(to - from);
    if (size >= kDirectBytes) {
        if (!flush() || !put(QByteArrayView(from, size)))
            return false;
    } else {
        append(from, size);
    }
    append("\r\n", 2);
    return m_used < kPieceBytes || flush();
}

bool ResultStream::writeRows(const RowStore& batch, const std::vector<std::uint32_t>& rows,
                             QByteArrayView mark) {
    if (rows.empty())
        return true;
    try {
        if (!m_marked) {
            m_marked = true;
            if (!mark.isEmpty() && !put(mark))
                return false;
        }
        if (m_buffer.isEmpty()) // a run shorter than kDirectBytes goes on a piece below kPieceBytes
            m_buffer = QByteArray(kPieceBytes + kDirectBytes + 2, Qt::Uninitialized);
        // Rows that follow each other in the batch with CR LF between them go out as one run
        // (RowWriter's rule: the bytes between two rows lie inside the batch).
        const char* runFrom = nullptr;
        const char* runTo = nullptr;
        for (const std::uint32_t row : rows) {
            const QByteArrayView r = batch.rowBytes(row);
            if (runFrom && r.data() == runTo + 2 && runTo[0] == '\r' && runTo[1] == '\n') {
                runTo = r.data() + r.size();
                continue;
            }
            if (runFrom && !endRun(runFrom, runTo))
                return false;
            runFrom = r.data();
            runTo = r.data() + r.size();
        }
        return endRun(runFrom, runTo) && flush();
    } catch (const std::bad_alloc&) {
        if (!m_error)
            m_error = ResultFile::Error{ResultFile::OutOfMemory,
                                        QStringLiteral("メモリーが足りません。")};
        return false;
    }
}

bool ResultStream::commit() {
    if (m_error)
        return false;
    if (m_file) {
        if (!m_file->commit()) {
            deviceFailed();
            return false;
        }
        m_file.reset();
        return true;
    }
    auto* file = qobject_cast<QFileDevice*>(m_device);
    if (file && !file->flush()) {
        deviceFailed();
        return false;
    }
    return true;
}

void ResultStream::cancel() {
    if (m_file)
        m_file->cancel();
}
