#pragma once

// Where the inclusion lists' entries match in a result row as the list shows it: each "AND" and
// "OR" entry's matches, as spans of the displayed record text. Worked out for one row at a time
// from its decoded text, so only the rows being painted cost anything.

#include "pickup/PickupEngine.h"
#include "source/FieldMode.h"

#include <QList>
#include <QMetaType>
#include <QStringView>

#include <vector>

// A run of matched text: code units [begin, begin + length) of the displayed text.
struct MatchSpan {
    qsizetype begin = 0;
    qsizetype length = 0;
    friend bool operator==(const MatchSpan&, const MatchSpan&) = default;
};
using MatchSpanList = QList<MatchSpan>;
Q_DECLARE_METATYPE(MatchSpan)

class MatchSpans {
public:
    // The entries of the engine's "AND" and "OR" lists, over records cut by this field mode.
    MatchSpans(PickupEngine engine, FieldMode mode);

    // The spans for a record whose decoded text (its own text, quotes and line breaks as the file
    // has them) is recordText, in the text the list shows for it (in quoted mode each inner line
    // break as one "↵"): sorted, not overlapping, not touching.
    MatchSpanList spans(QStringView recordText) const;

    // One entry's matches in its subject, as [begin, end) pairs appended to out: every occurrence
    // of a substring phrase (an empty phrase marks nothing), the whole subject for a pattern that
    // matches it.
    static void entryMatches(const PhraseMatcher& matcher, QStringView subject,
                             std::vector<std::pair<qsizetype, qsizetype>>& out);

private:
    PickupEngine m_engine;
    FieldMode m_mode;
};
