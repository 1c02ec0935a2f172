#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>

// A file written whole or not at all: the new content takes the old one's place only when every
// byte of it was written. Every file Vornel writes goes through here.
//
// Two things QSaveFile alone gets wrong are handled here:
// - A target that exists but is no regular file (a device such as /dev/full, a pipe) is refused:
//   QSaveFile would rename a regular file over it where the folder allows that.
// - commit() does not notice a failed write-out of the last buffered bytes (a full disk), so the
//   buffer is flushed first; a cut-off file never replaces the old one.
//
// Where the folder refuses a temporary file (a folder the user may not write to, holding a file
// the user may write to), open() fails with inPlaceOnly() set: the file could then only be written
// in place, and a failure part-way would lose the old content. Only when the caller has asked the
// user and was told yes does allowInPlace() let the next open() write it so.
//
// errorString() says why in Japanese, as every message of the program does; the reason of the
// first failure is kept (giving up afterwards does not replace it).
class WholeFile {
public:
    // For files of the program's own beside the program (settings, hand-over), where someone
    // else may have planted something at the path.
    enum Option {
        // A symbolic link at the path is refused (as a file that is not a regular one), never
        // followed to write wherever it points.
        NoSymbolicLink = 0x1,
        // The file is readable and writable by its owner only.
        OwnerOnly = 0x2,
    };

    explicit WholeFile(const QString& path, int options = 0) : m_file(path), m_options(options) {}

    // Lets open() write the existing file in place where the folder refuses a temporary file.
    void allowInPlace() { m_inPlaceAllowed = true; }

    // False when the file cannot be created; error() and errorString() say why.
    bool open();
    // After a failed open(): only writing the existing file in place would have worked.
    bool inPlaceOnly() const { return m_inPlaceOnly; }
    // False when the bytes could not be written; the old file stays as it was.
    bool write(QByteArrayView bytes);
    // Puts the new content in place. False (and the old file kept) when anything failed.
    bool commit();
    // Gives up: the old file stays as it was.
    void cancel();

    QFileDevice::FileError error() const;
    QString errorString() const;

private:
    // Keeps the first failure's code and reason (systemError: errno right after it), then gives up.
    void failed(int systemError);

    QSaveFile m_file;
    int m_options = 0;
    bool m_notRegular = false;
    bool m_folder = false;
    bool m_inPlaceAllowed = false;
    bool m_inPlaceOnly = false;
    QFileDevice::FileError m_error = QFileDevice::NoError;
    QString m_reason;
    // Bytes handed to write() since open(), and how far the system was told to start writing
    // them out (so that commit's sync finds most of a large file already on the disk).
    qint64 m_written = 0;
    qint64 m_writebackFrom = 0;
};

// The text errorString() gives when only writing in place would have worked.
QString inPlaceOnlyText();
// The question the window asks before it writes a file in place.
QString inPlaceQuestion(const QString& path);

// The system's reason for a failed file operation in Japanese: the common ones (access denied,
// not found, disk full, ...) are put in Japanese, anything else stays as the system gave it.
QString japaneseFileError(const QString& systemReason);
