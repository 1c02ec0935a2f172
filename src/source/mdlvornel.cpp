#include "source/mdlvornel.h"

#include "source/QuotedFields.h"
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

namespace {

// The fit test of the store's field mode.
bool fitsStore(QByteArrayView line, const RowStore& store) {
    return store.fieldMode() == FieldMode::Quoted ? QuotedFields::fits(line, store.commaCount())
                                                  : LineFits(line, store.commaCount());
}

bool fitsStore(QStringView line, const RowStore& store) {
    // '"', "," and the line ends are the same single bytes in UTF-8 as in the store's encoding.
    return store.fieldMode() == FieldMode::Quoted
               ? QuotedFields::fits(line.toUtf8(), store.commaCount())
               : LineFits(line, store.commaCount());
}

} // namespace

bool AppendIfFits(QByteArrayView line, RowStore& store) {
    if (!fitsStore(line, store))
        return false;
    store.appendLine(line);
    return true;
}

TextAppend AppendTextIfFits(QStringView line, RowStore& store) {
    if (!fitsStore(line, store))
        return {AppendResult::DoesNotFit};
    QByteArray bytes;
    const qsizetype bad = TextCodec::encodeAppend(store.encoding(), line, bytes);
    if (bad >= 0)
        return {AppendResult::CannotEncode, bad};
    store.appendLine(bytes);
    return {AppendResult::Appended};
}

} // namespace mdlvornel
