#include "source/DataFileReader.h"

#include "source/Cp932.h"
#include "source/RowStore.h"

#include <QFileInfo>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Below this a chunk is not worth a second thread.
constexpr qsizetype kSplitThreshold = 256 * 1024;

QString openFailureReason(const QString& path, const QFile& file) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("ファイルが見つかりません。");
    if (info.isDir())
        return QStringLiteral("フォルダーはデータファイルとして開けません。");
    if (file.error() == QFileDevice::PermissionsError || !info.isReadable())
        return QStringLiteral("ファイルを読み込む権限がありません。");
    return QStringLiteral("ファイルを開けません（%1）。").arg(file.errorString());
}

QString readFailureReason(const QFile& file) {
    return QStringLiteral("ファイルを読み込めません（%1）。").arg(file.errorString());
}

// QFile::open succeeds on some things that are not files to read (a folder, on some systems).
bool openForReading(QFile& file, const QString& path, QString& error) {
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = openFailureReason(path, file);
        return false;
    }
    return true;
}

} // namespace

// One helper thread that runs one job at a time for the reader.
class DataFileReader::Worker {
public:
    Worker() : m_thread([this] { loop(); }) {}
    ~Worker() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void start(std::function<void()> job) {
        {
            std::lock_guard lock(m_mutex);
            m_job = std::move(job);
            m_busy = true;
        }
        m_wake.notify_all();
    }
    void wait() {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return !m_busy; });
    }

private:
    void loop() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_quit || m_job; });
                if (m_quit)
                    return;
                job = std::move(m_job);
                m_job = nullptr;
            }
            job();
            {
                std::lock_guard lock(m_mutex);
                m_busy = false;
            }
            m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::function<void()> m_job;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread; // last: starts after the members above exist
};

DataFileReader::FirstLine DataFileReader::readFirstLine(const QString& path) {
    FirstLine result;
    QFile file(path);
    if (!openForReading(file, path, result.error))
        return result;
    constexpr qint64 kChunk = 64 * 1024;
    char buffer[kChunk];
    qint64 total = 0;
    for (;;) {
        const qint64 n = file.read(buffer, kChunk);
        if (n < 0) {
            result.error = readFailureReason(file);
            return result;
        }
        if (n == 0)
            break;
        total += n;
        // "," and LF are never part of a two-byte character, so the bytes can be counted as they
        // are.
        const char* end = static_cast<const char*>(std::memchr(buffer, '\n', size_t(n)));
        const char* stop = end ? end : buffer + n;
        result.commaCount += std::count(static_cast<const char*>(buffer), stop, ',');
        if (end)
            break;
    }
    result.ok = true;
    result.empty = total == 0;
    return result;
}

DataFileReader::DataFileReader(qsizetype chunkBytes)
    : m_chunkBytes(std::max<qsizetype>(chunkBytes, 1)) {}

DataFileReader::~DataFileReader() {
    close();
}

bool DataFileReader::open(const QString& path, RowStore& store) {
    close();
    m_store = &store;
    m_eof = false;
    m_carry = 0;
    m_part = 2;
    m_nextLine = 0;
    m_linesRead = 0;
    m_rejectedLine.clear();
    m_rejectedLineNumber = 0;
    m_error.clear();
    m_file.setFileName(path);
    if (!openForReading(m_file, path, m_error))
        return false;
    m_open = true;
    if (m_chunkBytes >= 2 * kSplitThreshold && !m_worker && std::thread::hardware_concurrency() > 1)
        m_worker = std::make_unique<Worker>();
    return true;
}

void DataFileReader::close() {
    waitForRead();
    if (m_file.isOpen())
        m_file.close();
    m_open = false;
    m_part = 2;
    m_carry = 0;
    // Give the big buffers back; a reader is used for one load.
    m_raw.reset();
    m_rawCapacity = 0;
    for (Parsed& p : m_parsed)
        p = Parsed();
}

void DataFileReader::fail(const QString& reason) {
    close();
    m_error = reason;
}

DataFileReader::Status DataFileReader::step(std::chrono::nanoseconds budget) {
    if (!m_error.isEmpty())
        return Status::Failed;
    const Clock::time_point deadline = Clock::now() + budget;
    bool first = true;
    for (;;) {
        if (m_part < 2) {
            const Status status = appendParsed();
            if (status != Status::More)
                return status;
        }
        if (!m_open || (m_eof && m_carry == 0)) {
            close();
            return Status::Finished;
        }
        if (!first && Clock::now() >= deadline)
            return Status::More;
        first = false;
        if (!readAndParse())
            return Status::Failed;
    }
}

qint64 DataFileReader::readChunk() {
    const qsizetype need = m_carry + m_chunkBytes;
    if (m_rawCapacity < need) {
        // Grows only for a line longer than a chunk.
        const qsizetype capacity = std::max(need, m_rawCapacity * 2);
        auto bigger = std::make_unique_for_overwrite<char[]>(size_t(capacity));
        if (m_carry > 0)
            std::memcpy(bigger.get(), m_raw.get(), size_t(m_carry));
        m_raw = std::move(bigger);
        m_rawCapacity = capacity;
    }
    return m_file.read(m_raw.get() + m_carry, m_chunkBytes);
}

void DataFileReader::waitForRead() {
    if (m_readPending) {
        m_worker->wait();
        m_readPending = false;
    }
}

bool DataFileReader::readAndParse() {
    qint64 n = 0;
    if (m_readPending) {
        waitForRead();
        n = m_readAhead;
    } else {
        n = readChunk();
    }
    if (n < 0) {
        fail(readFailureReason(m_file));
        return false;
    }
    const qsizetype total = m_carry + qsizetype(n);
    qsizetype end = total; // bytes of complete lines
    if (n == 0) {
        m_eof = true;
    } else {
        const char* chunk = m_raw.get() + m_carry;
        const char* last = static_cast<const char*>(memrchr(chunk, '\n', size_t(n)));
        end = last ? qsizetype(last - m_raw.get()) + 1 : 0;
    }
    if (end > 0)
        parse(m_raw.get(), end);
    m_carry = total - end;
    if (m_carry > 0 && end > 0)
        std::memmove(m_raw.get(), m_raw.get() + end, size_t(m_carry));
    if (m_worker && !m_eof) {
        // The raw bytes are decoded: the helper reads the next chunk while this thread
        // appends the lines (and the event loop turns), and faults in the store's pages for
        // about that chunk's text, which comes after this chunk's.
        m_readPending = true;
        const RowStore::Area upcoming = m_store->upcomingText(
            m_part < 2 ? m_parsed[0].size + m_parsed[1].size : 0, m_chunkBytes);
        m_worker->start([this, upcoming] {
            m_readAhead = readChunk();
            RowStore::prefault(upcoming);
        });
    }
    return true;
}

void DataFileReader::parse(const char* bytes, qsizetype size) {
    const qsizetype keep = m_store->commaCount();
    qsizetype split = size;
    if (m_worker && size >= 2 * kSplitThreshold) {
        const void* lf = std::memchr(bytes + size / 2, '\n', size_t(size - size / 2));
        if (lf)
            split = qsizetype(static_cast<const char*>(lf) - bytes) + 1;
    }
    if (split < size) {
        Parsed& second = m_parsed[1];
        m_worker->start([=, &second] { parseInto(bytes + split, size - split, keep, second); });
        parseInto(bytes, split, keep, m_parsed[0]);
        m_worker->wait();
    } else {
        parseInto(bytes, size, keep, m_parsed[0]);
        m_parsed[1].lines.clear();
        m_parsed[1].size = 0;
    }
    m_part = 0;
    m_nextLine = 0;
}

void DataFileReader::parseInto(const char* bytes, qsizetype size, qsizetype keepCommas,
                               Parsed& out) {
    if (out.capacity < size) {
        out.text = std::make_unique_for_overwrite<char16_t[]>(size_t(size));
        out.capacity = size;
    }
    char16_t* text = out.text.get();
    out.lines.clear();
    out.commas.clear();
    out.marks.clear();
    qsizetype lineStart = 0;
    qsizetype commaIndex = 0;
    qsizetype commas = 0;
    auto at = [&](qsizetype i) { // text[i] is "," or LF
        if (text[i] == u',') {
            if (commas < keepCommas)
                out.commas.push_back(std::uint32_t(i - lineStart));
            ++commas;
        } else {
            qsizetype length = i - lineStart;
            if (length > 0 && text[i - 1] == u'\r')
                --length;
            out.lines.push_back({lineStart, length, commaIndex, commas});
            lineStart = i + 1;
            commaIndex = qsizetype(out.commas.size());
            commas = 0;
        }
    };
    const QByteArrayView input(bytes, size);
    qsizetype n = 0;
    if (size <= qsizetype(std::numeric_limits<std::uint32_t>::max())) {
        // The decoder notes every "," and LF as it goes; only those are looked at here.
        n = Cp932::decodeIntoMarking(input, text, out.marks);
        for (const std::uint32_t mark : out.marks)
            at(qsizetype(mark));
    } else {
        // Too long for 32-bit marks (one enormous line): scan the decoded text.
        n = Cp932::decodeInto(input, text);
        for (qsizetype i = 0; i < n; ++i)
            if (text[i] == u',' || text[i] == u'\n')
                at(i);
    }
    out.size = n;
    if (lineStart < n) // the file's last line, without a line end
        out.lines.push_back({lineStart, n - lineStart, commaIndex, commas});
}

DataFileReader::Status DataFileReader::appendParsed() {
    const qsizetype want = m_store->commaCount();
    while (m_part < 2) {
        Parsed& p = m_parsed[m_part];
        while (m_nextLine < p.lines.size()) {
            const Parsed::Line& line = p.lines[m_nextLine++];
            ++m_linesRead;
            const QStringView text(p.text.get() + line.start, line.length);
            if (line.length > 0 && line.commaCount == want) {
                if (line.length > qsizetype(std::numeric_limits<std::uint32_t>::max())) {
                    fail(QStringLiteral("%1 行目が長すぎます。").arg(m_linesRead));
                    return Status::Failed;
                }
                m_store->appendLine(text, p.commas.data() + line.commaIndex);
            } else {
                m_rejectedLine = text.toString();
                m_rejectedLineNumber = m_linesRead;
                return Status::Rejected;
            }
        }
        ++m_part;
        m_nextLine = 0;
    }
    return Status::More;
}
