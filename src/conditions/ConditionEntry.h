#pragma once

#include <QString>

// One condition entry: the column number as typed (decimal digits; "0" = the whole row) and the
// phrase as typed. Both are kept exactly; nothing is trimmed or normalised.
struct ConditionEntry {
    QString column;
    QString phrase;

    friend bool operator==(const ConditionEntry&, const ConditionEntry&) = default;
};
