#pragma once

// The four condition lists kept between runs: written to a file in the settings folder when the
// window closes, read back at the next start.

#include "conditions/ConditionSetFile.h"

#include <QString>

namespace StoredLists {

// The store is a condition-set file (ConditionSetFile), always in UTF-8 with a byte-order mark,
// readable and writable by its owner only, never written through a symbolic link.
//
// Reading never fails loudly: a store that is missing, unreadable, not a regular file (a link, a
// pipe, a folder), larger than MaxFileBytes, or holding a single bad line gives empty lists and,
// except when missing, a reason (for standard error). A store with some entries missing would
// pick other rows than the user set up without showing it, so no part of a bad store is used.
struct ReadResult {
    ConditionSetFile::Lists lists;
    bool found = false; // a store was there (readable or not)
    QString problem;    // why it was not used; empty when it was (or none was there)
};
ReadResult read(const QString& path);

// Writes the lists; the reason when the store could not be written, else empty. Nothing is
// written (and nothing is wrong) when every list is empty and no store is there yet.
QString write(const QString& path, const ConditionSetFile::Lists& lists);

// A larger file is no store of ours.
inline constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

} // namespace StoredLists
