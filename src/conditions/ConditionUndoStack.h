#pragma once

// The undo history of the four condition lists. One step is one edit as the user made it (a
// registration, a delete, a delete all, an entry taken back, a list file loaded, several pasted
// lines): the entries of every list it changed, and the texts of every list's column and phrase
// boxes it changed, as they were before and after it.
//
// Each list has its own history, reached from that list (Ctrl+Z / Ctrl+Y, its menu). A step that
// changed several lists (a registration that moved an entry from another list, a set of lists
// loaded at once) stands in the history of each of them, and it can be undone (redone) only while
// it is the latest step of every one of them: a later edit of one of its lists builds on it.

#include "conditions/ConditionEntry.h"
#include "conditions/ConditionList.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

// The texts of one list's column box and phrase box.
struct ConditionBoxes {
    QString column;
    QString phrase;

    friend bool operator==(const ConditionBoxes&, const ConditionBoxes&) = default;
};

// One list as an edit sees it: its entries (top first) and its two boxes.
struct ConditionListState {
    std::vector<ConditionEntry> entries;
    ConditionBoxes boxes;

    friend bool operator==(const ConditionListState&, const ConditionListState&) = default;
};

// The four lists, indexed by ConditionList.
using ConditionsState = std::array<ConditionListState, kConditionListCount>;

class ConditionUndoStack {
public:
    using Entries = std::shared_ptr<const std::vector<ConditionEntry>>;

    // What undo or redo sets: per list, the entries (null: leave them) and the boxes (none: leave
    // them).
    struct Change {
        std::array<Entries, kConditionListCount> entries;
        std::array<std::optional<ConditionBoxes>, kConditionListCount> boxes;

        bool touches(ConditionList id) const {
            return entries[size_t(id)] || boxes[size_t(id)].has_value();
        }
        // Sets what it holds on state.
        void applyTo(ConditionsState& state) const;
    };

    // How many steps each list keeps; the oldest go first.
    static constexpr qsizetype kDefaultLimit = 100;
    // How many entries all steps together may hold (before and after counted apart): edits of
    // very long lists keep fewer steps. The latest step is always kept.
    static constexpr qsizetype kDefaultEntryBudget = 2'000'000;

    explicit ConditionUndoStack(qsizetype limit = kDefaultLimit,
                                qsizetype entryBudget = kDefaultEntryBudget);

    // Records the edit that took the lists from before to after. Only an edit that changed the
    // entries of some list is a step (false: nothing recorded). A new step drops what could be
    // redone in the lists it changed.
    bool record(const ConditionsState& before, const ConditionsState& after);

    bool canUndo(ConditionList id) const;
    bool canRedo(ConditionList id) const;
    // Takes back the latest step of list id and returns what brings the lists back to the state
    // before it; nothing when canUndo is false.
    std::optional<Change> undo(ConditionList id);
    // Does the step again that the latest undo of list id took back; nothing when canRedo is false.
    std::optional<Change> redo(ConditionList id);

    void clear();
    qsizetype undoCount(ConditionList id) const { return qsizetype(m_undo[size_t(id)].size()); }
    qsizetype redoCount(ConditionList id) const { return qsizetype(m_redo[size_t(id)].size()); }
    qsizetype limit() const { return m_limit; }
    // The entries the kept steps hold.
    qsizetype entriesHeld() const;

private:
    struct Step {
        Change before;
        Change after;
        quint64 sequence = 0; // the order the steps were recorded in
        bool touches(ConditionList id) const { return before.touches(id); }
        qsizetype entryCount() const;
    };
    using StepPtr = std::shared_ptr<const Step>;
    // Per list, oldest first (undo) or first taken back first (redo).
    using Stacks = std::array<std::vector<StepPtr>, kConditionListCount>;

    // Drops the seeds from the stacks, and with each everything below it in every stack it stands
    // in: those steps can only be undone (redone) after it.
    static void dropThrough(Stacks& stacks, std::vector<StepPtr> seeds);
    static bool onTopOfAll(const Stacks& stacks, const StepPtr& step);
    std::optional<Change> move(Stacks& from, Stacks& to, ConditionList id, bool undoing);

    void keepWithinBudget();

    qsizetype m_limit;
    qsizetype m_entryBudget;
    quint64 m_nextSequence = 0;
    Stacks m_undo;
    Stacks m_redo;
};
