#pragma once

// A row's verdict (RowVerdict) in words, as the window's "この行の判定" shows it: the row, then
// each list in the fixed order with each entry's answer and the list's result, then the verdict.

#include "pickup/PickupEngine.h"
#include "pickup/RowVerdict.h"

#include <QString>
#include <QStringView>

namespace RowVerdictText {

// The verdict as one sentence: "抽出されます", "除外されます（NOT OR の 2 行目「x」に一致）",
// "抽出されません（AND の 1 行目「x」に不一致）" and so on. The entries are those the verdict
// was taken with.
QString sentence(const RowVerdict& verdict, const PickupConditions& conditions);

// One list's part: its name, then "列 n 「phrase」: 一致 / 不一致" per entry and the list's
// result, or "（条件なし）" for an empty list.
QString listPart(const RowVerdict::ListResult& result, std::span<const ConditionEntry> entries);

// The whole explanation for row `row` (0-based; shown from 1) whose text is rowText.
QString describe(const RowVerdict& verdict, const PickupConditions& conditions, qint64 row,
                 QStringView rowText);

} // namespace RowVerdictText
