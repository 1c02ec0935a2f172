#pragma once

#include "source/FieldMode.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

class RowStore;

// Cutting a data line into fields, and the test that decides whether a line belongs in the source
// table. The one rule: a field ends at every "," (U+002C) and nowhere else; quotes, blanks and tabs
// have no meaning. An empty line has no field at all, so it never fits.
namespace mdlvornel {

// Number of "," characters in the text.
qsizetype CountCommas(QStringView text);

// True when the line has exactly commaCount commas and is not empty.
bool LineFits(QStringView line, qsizetype commaCount);
bool LineFits(QByteArrayView line, qsizetype commaCount);

// Appends the line's bytes to the store when it fits the store's comma count (in the quoted field
// mode: when it is one whole record of the store's field count); false (and nothing changed) when
// it does not.
bool AppendIfFits(QByteArrayView line, RowStore& store);

// The same for text typed by the user, stored in the store's encoding.
enum class AppendResult { Appended, DoesNotFit, CannotEncode };
struct TextAppend {
    AppendResult result = AppendResult::DoesNotFit;
    qsizetype badIndex = -1; // CannotEncode: the first character the encoding cannot hold
};
TextAppend AppendTextIfFits(QStringView line, RowStore& store);

// Why a line does not fit, in columns (fields = commas + 1): "5 列のはずが 7 列です", or for an
// empty line (which has no field) "5 列のはずが空の行です".
QString MisfitReason(QStringView line, qsizetype commaCount, FieldMode mode = FieldMode::Plain);

// The rejecting side of adding a data line (the data-error dialog) is in frmVNLError.h.

} // namespace mdlvornel
