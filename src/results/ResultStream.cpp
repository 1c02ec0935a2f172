// The result written as the rows come: through RowWriter, to a WholeFile or a device.
#include "results/ResultStream.h"

#include "results/RowWriter.h"
#include "source/RowStore.h"

#include <QFileDevice>

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

bool ResultStream::writeRows(const RowStore& batch, const std::vector<std::uint32_t>& rows,
                             QByteArrayView mark) {
    if (rows.empty())
        return true;
    try {
        const bool written = RowWriter::write(
            qint64(rows.size()),
            [&batch, &rows](qint64 begin, qint64 end, QByteArrayView* out) {
                for (qint64 i = begin; i < end; ++i)
                    out[i - begin] = batch.rowBytes(rows[size_t(i)]);
            },
            m_marked ? QByteArrayView() : mark,
            [this](QByteArrayView bytes) { return put(bytes); });
        m_marked = true;
        return written;
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
