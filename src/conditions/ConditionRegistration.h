#pragma once

#include "conditions/ConditionEntry.h"
#include "conditions/ConditionList.h"

#include <QString>
#include <QStringView>

#include <array>
#include <functional>
#include <optional>

class ConditionListModel;

// Registration of a condition entry typed by the user: the column checks, the duplicate search
// over the four lists and the move of an entry found elsewhere. No widget in here; the window
// shows the messages and asks the question through the callbacks.
namespace ConditionRegistration {

// The four lists, indexed by ConditionList (fixed order).
using Lists = std::array<ConditionListModel*, kConditionListCount>;

// True when every character is one of the digits "0" to "9" (code points; full-width digits are
// not digits here). An empty text holds no other character, so it passes.
bool isDigitsOnly(QStringView column);

// True when the digit string, read as a number, is at most highest. Any length is fine: a digit
// string longer than any number in range is simply out of range. column must be digits only.
bool isWithin(QStringView column, qint64 highest);

// The highest column number that registration admits for a file with commaCount commas.
inline qint64 highestColumn(qint64 commaCount) {
    return commaCount + 1;
}

QString digitsMessage();
QString rangeMessage(qint64 highest);
// The question when the entry is already in list found while registering into list target
// (two lines joined by CR LF).
QString duplicateQuestion(ConditionList found, ConditionList target);

// The checks of the column text; returns the error message, or nothing when the column passes.
std::optional<QString> checkColumn(QStringView column, qint64 commaCount);

struct Match {
    ConditionList list;
    qsizetype row; // 0-based
};

// The first list (fixed order) and row holding an entry equal to entry, compared exactly.
std::optional<Match> findDuplicate(const Lists& lists, const ConditionEntry& entry);

enum class Outcome {
    Registered, // the entry now stands at the top of the target list
    Refused,    // the column text failed a check; error holds the message
    Declined,   // the entry was found in a list and the user did not agree to move it
};

struct Result {
    Outcome outcome = Outcome::Refused;
    QString error;
};

// The column text registration uses: an empty column box stands for "0".
inline QString effectiveColumn(const QString& columnBox) {
    return columnBox.isEmpty() ? QStringLiteral("0") : columnBox;
}

// Registers (column, phrase) into target. confirmMove is asked the duplicate question and returns
// true for Yes; it is called at most once, and nothing changes before it has answered.
Result registerEntry(const Lists& lists, ConditionList target, const ConditionEntry& entry,
                     qint64 commaCount, const std::function<bool(const QString&)>& confirmMove);

} // namespace ConditionRegistration
