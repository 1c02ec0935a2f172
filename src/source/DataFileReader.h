#pragma once

#include <QFile>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class RowStore;

// Reads a data file (code page 932 text) into a RowStore, a time slice at a time.
//
// Lines end with CR LF or with a lone LF; a lone CR is an ordinary character, and a last line
// without a line end is still a line. The file is read in large chunks that are cut only after an
// LF byte (0x0A is never part of a two-byte character, so no character is ever cut), decoded, and
// scanned for line ends and commas (the decoder notes them as it goes); big chunks are decoded
// and scanned in two halves on two threads, and while the lines of one chunk are appended the
// helper thread reads the next chunk and faults in the store's memory for it. Lines with exactly
// the store's comma count are appended to the store as they come; any other line (an empty one
// included) stops the reading and is handed back, so the caller can ask the user about it, append a
// correction to the store itself, and then call step() again.
//
//     DataFileReader reader;
//     if (!reader.open(path, store)) { report(reader.errorText()); return; }
//     for (;;) {
//         switch (reader.step(15ms)) {
//         case DataFileReader::Status::More: turn the event loop; break;
//         case DataFileReader::Status::Rejected: ask about reader.rejectedLine(); break;
//         case DataFileReader::Status::Finished: done
//         case DataFileReader::Status::Failed: report(reader.errorText())
//         }
//     }
class DataFileReader {
public:
    enum class Status {
        More,     // the time was up; call step() again
        Rejected, // a line that does not fit is waiting: rejectedLine(), rejectedLineNumber()
        Finished, // every line has been handled; the file is closed
        Failed,   // the file could not be read: errorText()
    };

    // What the first line of a file tells before the rows are read.
    struct FirstLine {
        bool ok = false;          // false: the file cannot be read (error holds why)
        QString error;            // a reason for the user, in Japanese
        bool empty = false;       // the file holds no byte at all
        qsizetype commaCount = 0; // the "," characters of the first line
    };

    // Reads only as far as the first line end.
    static FirstLine readFirstLine(const QString& path);

    static constexpr qsizetype kDefaultChunkBytes = 2 * 1024 * 1024;

    explicit DataFileReader(qsizetype chunkBytes = kDefaultChunkBytes);
    ~DataFileReader();
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    // Opens the file; fitting lines go to store, whose comma count is the one every row must have.
    // False when the file cannot be opened (errorText() says why).
    bool open(const QString& path, RowStore& store);

    // Reads on until the time is up, a line is rejected, the file ends or reading fails. Always
    // gets through at least one chunk (or to the next rejected line) before it looks at the clock.
    Status step(std::chrono::nanoseconds budget);

    // The last line rejected by step(): its text without the line end, and its physical line
    // number counted from 1.
    const QString& rejectedLine() const { return m_rejectedLine; }
    qint64 rejectedLineNumber() const { return m_rejectedLineNumber; }

    // Lines handled so far (appended or rejected).
    qint64 linesRead() const { return m_linesRead; }

    const QString& errorText() const { return m_error; }

    // Closes the file early (a stopped load). step() then reports Finished.
    void close();

private:
    class Worker;

    // One decoded, scanned stretch of complete lines.
    struct Parsed {
        struct Line {
            qsizetype start = 0;      // in text
            qsizetype length = 0;     // without the line end
            qsizetype commaIndex = 0; // first of its comma positions in commas
            qsizetype commaCount = 0; // all its commas (only the first few positions are kept)
        };
        std::unique_ptr<char16_t[]> text;
        qsizetype capacity = 0;
        qsizetype size = 0;
        std::vector<Line> lines;
        std::vector<std::uint32_t> commas;
        std::vector<std::uint32_t> marks; // where "," and LF are in text
    };

    static void parseInto(const char* bytes, qsizetype size, qsizetype keepCommas, Parsed& out);

    qint64 readChunk();
    void waitForRead();
    bool readAndParse();
    void parse(const char* bytes, qsizetype size);
    Status appendParsed();
    void fail(const QString& reason);

    qsizetype m_chunkBytes;
    QFile m_file;
    RowStore* m_store = nullptr;
    bool m_open = false;
    bool m_eof = false;

    std::unique_ptr<char[]> m_raw; // carried bytes of an unfinished line, then the next chunk
    qsizetype m_rawCapacity = 0;
    qsizetype m_carry = 0;
    bool m_readPending = false; // the helper is reading the next chunk into m_raw
    qint64 m_readAhead = 0;     // what that read returned

    Parsed m_parsed[2];
    int m_part = 2; // the part being appended; 2 = nothing parsed waiting
    std::size_t m_nextLine = 0;

    qint64 m_linesRead = 0;
    QString m_rejectedLine;
    qint64 m_rejectedLineNumber = 0;
    QString m_error;

    std::unique_ptr<Worker> m_worker;
};
