#pragma once

// One row's verdict taken apart: for each of the four lists, in their fixed order, which entries
// matched the row and what the list makes of it, and the verdict with the reason for it.

#include "conditions/ConditionList.h"

#include <QtGlobal>

#include <array>
#include <vector>

struct RowVerdict {
    // The verdict and the rule that decided it. The exclusion lists are taken first: a row that
    // both lists would remove is named as removed even when an inclusion list fails it too.
    enum class Reason {
        Picked,
        RemovedByNotAnd,  // "NOT AND" alone used: every entry matched
        RemovedByNotOr,   // "NOT OR" alone used: an entry matched
        RemovedByBoth,    // both used: every "NOT AND" entry and one "NOT OR" entry matched
        AndEntryFailed,   // not removed, but an "AND" entry did not match
        NoOrEntryMatched, // not removed, "AND" satisfied, no "OR" entry matched
    };

    struct ListResult {
        ConditionList list = ConditionList::OutAND;
        std::vector<bool> matched; // per entry, top first
        // NOT AND / AND: every entry matched; NOT OR / OR: some entry matched. False when empty.
        bool satisfied = false;
        bool empty() const { return matched.empty(); }
        // The first entry that matched (wanted) or did not, or -1.
        qsizetype first(bool wanted) const {
            for (size_t i = 0; i < matched.size(); ++i)
                if (matched[i] == wanted)
                    return qsizetype(i);
            return -1;
        }
    };

    std::array<ListResult, kConditionListCount> lists; // NOT AND, NOT OR, AND, OR
    Reason reason = Reason::Picked;
    // The entry the reason names (0-based in its list): the first matching "NOT OR" entry, the
    // first failing "AND" entry; -1 for the other reasons.
    qsizetype reasonEntry = -1;

    bool picked() const { return reason == Reason::Picked; }
    const ListResult& list(ConditionList id) const { return lists[size_t(int(id))]; }
};
