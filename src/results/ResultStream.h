#pragma once

// A result file written batch by batch (a pickup that streams its rows): the same bytes as
// RowWriter writes and the same errors as ResultFile gives for the whole result list at once.

#include "base/WholeFile.h"
#include "results/ResultFile.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class RowStore;

// To a file, the result replaces the file only at commit(), when everything was written (as
// ResultFile::save); to a device, the bytes go out as they come (as ResultFile::write). The
// byte-order mark goes first when the data file had one and the result gets any line; the header
// line, when given, comes first even when no row follows.
class ResultStream {
public:
    explicit ResultStream(const QString& path);
    explicit ResultStream(QIODevice& device);
    ~ResultStream();
    ResultStream(const ResultStream&) = delete;
    ResultStream& operator=(const ResultStream&) = delete;

    // Creates the file (a device needs nothing). False when it cannot: error() says why.
    bool open();
    // mark: RowWriter::mark of the data file's rows.
    bool writeHeader(QByteArrayView mark, QByteArrayView header);
    // The rows of batch, by their numbers in it, in order.
    bool writeRows(const RowStore& batch, const std::vector<std::uint32_t>& rows,
                   QByteArrayView mark);
    // The file put in place (or the device flushed). False when that fails.
    bool commit();
    // Gives up: the file that was there stays as it was.
    void cancel();
    const std::optional<ResultFile::Error>& error() const { return m_error; }

private:
    bool put(QByteArrayView bytes);
    bool flush();
    void append(const char* bytes, qsizetype size);
    // Ends a run of rows [from, to) (CR LF between them): its bytes and the last CR LF.
    bool endRun(const char* from, const char* to);
    void deviceFailed();

    std::unique_ptr<WholeFile> m_file;
    QIODevice* m_device = nullptr;
    bool m_marked = false; // the mark (or the header with it) is written
    QByteArray m_buffer;   // rows gathered for one write (m_used bytes of it), reused
    qsizetype m_used = 0;
    std::optional<ResultFile::Error> m_error;
};
