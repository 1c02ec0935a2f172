#pragma once

#include <QString>

// Paths that look like files but must never be read as data or list files: a pipe (reading it
// waits for a writer), a device (/dev/zero never ends), a folder, and the kernel's files under
// /proc and /sys (their sizes say nothing of what they hold).
namespace FileKind {

// Why the path cannot be read as a file, for the user; empty when it is an ordinary file (or does
// not exist, which opening it reports).
QString notReadableReason(const QString& path);

// True when both paths name one existing file, however each is spelt: through a symbolic link, a
// hard link, a relative path. False when either does not exist.
bool isSameFile(const QString& a, const QString& b);

// True for a folder under /proc, /sys or /dev (not a place to start looking for files).
bool isSystemFolder(const QString& path);

} // namespace FileKind
