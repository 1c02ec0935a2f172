#include "source/mdlvornel.h"

#include "source/RowStore.h"

#include <algorithm>

namespace mdlvornel {

qsizetype CountCommas(QStringView text) {
    return qsizetype(std::count(text.utf16(), text.utf16() + text.size(), u','));
}

bool LineFits(QStringView line, qsizetype commaCount) {
    return !line.isEmpty() && CountCommas(line) == commaCount;
}

bool LineFits(QByteArrayView line, qsizetype commaCount) {
    return !line.isEmpty() && line.count(',') == commaCount;
}

bool AppendIfFits(QByteArrayView line, RowStore& store) {
    if (!LineFits(line, store.commaCount()))
        return false;
    store.appendLine(line);
    return true;
}

TextAppend AppendTextIfFits(QStringView line, RowStore& store) {
    if (!LineFits(line, store.commaCount()))
        return {AppendResult::DoesNotFit};
    QByteArray bytes;
    const qsizetype bad = TextCodec::encodeAppend(store.encoding(), line, bytes);
    if (bad >= 0)
        return {AppendResult::CannotEncode, bad};
    store.appendLine(bytes);
    return {AppendResult::Appended};
}

} // namespace mdlvornel
