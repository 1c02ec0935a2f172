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

QString MisfitReason(QStringView line, qsizetype commaCount, FieldMode mode) {
    if (line.isEmpty())
        return QStringLiteral("%1 列のはずが空の行です").arg(commaCount + 1);
    if (mode == FieldMode::Quoted) {
        // '"', "," and the line ends are the same single bytes in UTF-8 as in the file.
        const QByteArray bytes = line.toUtf8();
        const QuotedFields::Record r =
            QuotedFields::record(bytes.constData(), 0, std::size_t(bytes.size()));
        if (r.open)
            return QStringLiteral("%1 列のはずが、引用符が閉じていません").arg(commaCount + 1);
        if (r.next < std::size_t(bytes.size()))
            return QStringLiteral("%1 列のはずが、引用符の外に改行があります").arg(commaCount + 1);
        return QStringLiteral("%1 列のはずが %2 列です").arg(commaCount + 1).arg(r.commas + 1);
    }
    return QStringLiteral("%1 列のはずが %2 列です").arg(commaCount + 1).arg(CountCommas(line) + 1);
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
