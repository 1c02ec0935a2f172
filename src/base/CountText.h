#pragma once

// The row counts as the status bar shows them: "全 115,955 行" for the source rows, "抽出 116 行"
// for the picked rows, with "," between groups of three digits, and the number read back from
// such a text.

#include <QString>
#include <QStringView>

#include <optional>

namespace CountText {

// "全 n 行": the rows of the loaded data file.
QString sourceRows(qint64 count);
// "抽出 n 行": the rows a pickup kept.
QString pickedRows(qint64 count);
// What the result area says after a pickup that kept no row.
QString noPickedRows();

// The number in a count text: its digits, "," between groups allowed, whatever words stand
// around them ("全 1,234 行" and "1234" both give 1234). None for a text without digits, with two
// numbers, or with a number too large for 64 bits.
std::optional<qint64> parse(QStringView text);

} // namespace CountText
