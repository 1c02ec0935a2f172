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

QString MisfitReason(QStringView line, qsizetype commaCount) {
    if (line.isEmpty())
        return QStringLiteral("%1 列のはずが空の行です").arg(commaCount + 1);
    return QStringLiteral("%1 列のはずが %2 列です").arg(commaCount + 1).arg(CountCommas(line) + 1);
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
