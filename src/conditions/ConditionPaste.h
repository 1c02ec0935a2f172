#pragma once

// Several lines pasted into a phrase box (a column copied from a spreadsheet): each non-empty line
// becomes an entry with the column in the column box, through the same checks as a registration
// by hand. No widget in here; the window asks its questions through the callbacks.

#include "conditions/ConditionList.h"
#include "conditions/ConditionRegistration.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

namespace ConditionPaste {

struct Line {
    qsizetype number = 0; // 1-based, counting every line of the pasted text
    QString text;

    friend bool operator==(const Line&, const Line&) = default;
};

// The non-empty lines of text, cut at each LF, each without a CR at its end. A line of blanks is
// not empty: blanks are a phrase like any other.
std::vector<Line> nonEmptyLines(QStringView text);

// True when text is worth offering as entries: it holds a line break and at least two non-empty
// lines. (One line with a line break after it, a single spreadsheet cell, is pasted as it always
// was.)
bool offersLines(QStringView text);

// The question before the lines are added.
QString question(qsizetype lineCount, const QString& column, ConditionList target);

struct Skipped {
    Line line;
    QString reason;
};

struct Result {
    // The column text failed its check: the message (as registration gives it); nothing was added.
    QString columnError;
    qsizetype added = 0;
    std::vector<Skipped> skipped;
};

// Registers each line as (column, line) into target, top line first, so that the last line ends
// up at the top of the list as if each had been registered by hand in turn. A line equal to one
// already added from this paste is skipped; one found in a list is asked about through
// confirmMove, as registration asks (No: skipped).
Result registerLines(const ConditionRegistration::Lists& lists, ConditionList target,
                     const QString& column, const std::vector<Line>& lines, qint64 commaCount,
                     const std::function<bool(const QString&)>& confirmMove);

// The message naming the lines that were not added, or empty when every line was.
QString skippedMessage(const Result& result, qsizetype lineCount);

} // namespace ConditionPaste
