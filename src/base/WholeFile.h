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
// the user may write to), the existing file is written in place instead: saving over it then
// works, without the whole-or-nothing guarantee.
//
// errorString() says why in Japanese, as every message of the program does.
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

    // False when the file cannot be created; error() and errorString() say why.
    bool open();
    // False when the bytes could not be written; the old file stays as it was.
    bool write(QByteArrayView bytes);
    // Puts the new content in place. False (and the old file kept) when anything failed.
    bool commit();
    // Gives up: the old file stays as it was.
    void cancel() { m_file.cancelWriting(); }

    QFileDevice::FileError error() const;
    QString errorString() const;

private:
    QSaveFile m_file;
    int m_options = 0;
    bool m_notRegular = false;
    bool m_folder = false;
};

// The system's reason for a failed file operation in Japanese: the common ones (access denied,
// not found, disk full, ...) are put in Japanese, anything else stays as the system gave it.
QString japaneseFileError(const QString& systemReason);
