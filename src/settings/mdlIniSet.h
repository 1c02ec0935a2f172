#pragma once

#include <QString>

// The settings file: a small reader and writer for the initialisation-file format of the Windows
// profile functions ("[section]" lines, then "key=value" lines), in code page 932.
//
// - Section and key names match without regard to case; spaces and tabs around names and values
//   are not part of them. The first matching section and the first matching key in it win.
// - A value read back is cut to at most 255 bytes (never in the middle of a character); a value in
//   a matching pair of double or single quotes is read without them.
// - Writing changes only the one line of the key (or adds the key at the end of its section, or the
//   section at the end of the file); every other byte of the file stays as it was. The file is
//   created when missing and is replaced whole or not at all, never written in place.
// - Only a regular file is read or written. A pipe, a device or a symbolic link at the path (or a
//   file of more than MaxFileBytes) reads as no file and is never written over or through; a
//   value of more than MaxStoredValueBytes is no value of ours and reads as missing.
namespace mdlIniSet {

// The settings file's path, set once at start-up before anything reads the file.
QString IniFilePath();
void SetIniFilePath(const QString& path);

// The value of key in section of the file at path; empty when the file, the section or the key is
// missing or the file cannot be read.
QString GetIniString(const QString& section, const QString& key, const QString& path);

// Writes value under key in section of the file at path, creating the file, the section or the
// key as needed. The reason (in Japanese) when the file could not be written, else empty.
QString SetIniString(const QString& section, const QString& key, const QString& value,
                     const QString& path);

// The most bytes a value read back may hold.
inline constexpr qsizetype MaxValueBytes = 255;
// A longer value in the file is ignored (read as missing); a longer one is not written.
inline constexpr qsizetype MaxStoredValueBytes = 64 * 1024;
// A larger file is not taken for a settings file.
inline constexpr qsizetype MaxFileBytes = 64 * 1024 * 1024;

} // namespace mdlIniSet
