#include "source/mdlvornel.h"

#include "source/RowStore.h"

#include <algorithm>

namespace mdlvornel {

qsizetype CountCommas(QStringView text) {
    return qsizetype(std::count(text.utf16(), text.utf16() + text.size(), u','));
}

QList<QStringView> SplitLine(QStringView line) {
    QList<QStringView> fields;
    if (line.isEmpty())
        return fields;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u',') {
            fields.append(line.sliced(begin, i - begin));
            begin = i + 1;
        }
    }
    fields.append(line.sliced(begin));
    return fields;
}

bool LineFits(QStringView line, qsizetype commaCount) {
    return !line.isEmpty() && CountCommas(line) == commaCount;
}

bool AppendIfFits(QStringView line, RowStore& store) {
    if (!LineFits(line, store.commaCount()))
        return false;
    store.appendLine(line);
    return true;
}

} // namespace mdlvornel
