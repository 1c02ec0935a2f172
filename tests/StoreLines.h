#pragma once

#include "base/Cp932.h"
#include "source/RowStore.h"

#include <QStringList>

#include <algorithm>

// Empties the store and appends the lines as its rows: in code page 932 when it holds every one
// of them, else in UTF-8 (characters beyond code page 932, such as emoji). The comma count is the
// first line's.
inline void fillStore(RowStore& store, const QStringList& lines, int commaCount = -1) {
    const bool cp932 = std::all_of(lines.begin(), lines.end(),
                                   [](const QString& l) { return Cp932::encode(l).ok(); });
    if (commaCount < 0)
        commaCount = lines.isEmpty() ? 0 : int(lines.first().count(u','));
    store.reset(commaCount, cp932 ? TextEncoding::Cp932 : TextEncoding::Utf8);
    for (const QString& line : lines)
        store.appendLine(QStringView(line));
}
