// The condition lists' undo history: steps recorded from the state before and after an edit.
#include "conditions/ConditionUndoStack.h"

#include <algorithm>
#include <unordered_set>

void ConditionUndoStack::Change::applyTo(ConditionsState& state) const {
    for (size_t i = 0; i < state.size(); ++i) {
        if (entries[i])
            state[i].entries = *entries[i];
        if (boxes[i])
            state[i].boxes = *boxes[i];
    }
}

ConditionUndoStack::ConditionUndoStack(qsizetype limit, qsizetype entryBudget)
    : m_limit(std::max<qsizetype>(limit, 1)), m_entryBudget(entryBudget) {}

qsizetype ConditionUndoStack::Step::entryCount() const {
    qsizetype n = 0;
    for (const Entries& e : before.entries)
        n += e ? qsizetype(e->size()) : 0;
    for (const Entries& e : after.entries)
        n += e ? qsizetype(e->size()) : 0;
    return n;
}

qsizetype ConditionUndoStack::entriesHeld() const {
    std::unordered_set<const Step*> seen;
    qsizetype n = 0;
    for (const Stacks* stacks : {&m_undo, &m_redo})
        for (const std::vector<StepPtr>& stack : *stacks)
            for (const StepPtr& step : stack)
                if (seen.insert(step.get()).second)
                    n += step->entryCount();
    return n;
}

void ConditionUndoStack::keepWithinBudget() {
    while (entriesHeld() > m_entryBudget) {
        // The oldest step that can still be undone goes first; the latest one always stays.
        StepPtr oldest;
        for (const std::vector<StepPtr>& stack : m_undo)
            if (!stack.empty() && (!oldest || stack.front()->sequence < oldest->sequence))
                oldest = stack.front();
        if (!oldest || oldest->sequence + 1 == m_nextSequence)
            return;
        dropThrough(m_undo, {oldest});
    }
}

bool ConditionUndoStack::record(const ConditionsState& before, const ConditionsState& after) {
    auto step = std::make_shared<Step>();
    bool entriesChanged = false;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i].entries != after[i].entries) {
            entriesChanged = true;
            // The state before this step is most often the state after the list's last one:
            // the two steps then share it.
            const std::vector<StepPtr>& history = m_undo[i];
            Entries previous = history.empty() ? nullptr : history.back()->after.entries[i];
            step->before.entries[i] =
                previous && *previous == before[i].entries
                    ? previous
                    : std::make_shared<const std::vector<ConditionEntry>>(before[i].entries);
            step->after.entries[i] =
                std::make_shared<const std::vector<ConditionEntry>>(after[i].entries);
        }
        if (before[i].boxes != after[i].boxes) {
            step->before.boxes[i] = before[i].boxes;
            step->after.boxes[i] = after[i].boxes;
        }
    }
    if (!entriesChanged)
        return false;
    step->sequence = m_nextSequence++;

    const StepPtr recorded = step;
    std::vector<StepPtr> stale;
    for (ConditionList id : kConditionListOrder)
        if (recorded->touches(id))
            stale.insert(stale.end(), m_redo[size_t(id)].begin(), m_redo[size_t(id)].end());
    dropThrough(m_redo, std::move(stale));

    for (ConditionList id : kConditionListOrder)
        if (recorded->touches(id))
            m_undo[size_t(id)].push_back(recorded);
    for (ConditionList id : kConditionListOrder)
        while (qsizetype(m_undo[size_t(id)].size()) > m_limit)
            dropThrough(m_undo, {m_undo[size_t(id)].front()});
    keepWithinBudget();
    return true;
}

void ConditionUndoStack::dropThrough(Stacks& stacks, std::vector<StepPtr> seeds) {
    std::unordered_set<const Step*> dropped;
    while (!seeds.empty()) {
        const StepPtr step = std::move(seeds.back());
        seeds.pop_back();
        if (!dropped.insert(step.get()).second)
            continue;
        for (std::vector<StepPtr>& stack : stacks) {
            const auto at = std::find(stack.begin(), stack.end(), step);
            if (at != stack.end())
                seeds.insert(seeds.end(), stack.begin(), at);
        }
    }
    for (std::vector<StepPtr>& stack : stacks)
        std::erase_if(stack, [&dropped](const StepPtr& s) { return dropped.contains(s.get()); });
}

bool ConditionUndoStack::onTopOfAll(const Stacks& stacks, const StepPtr& step) {
    for (ConditionList id : kConditionListOrder) {
        if (!step->touches(id))
            continue;
        const std::vector<StepPtr>& stack = stacks[size_t(id)];
        if (stack.empty() || stack.back() != step)
            return false;
    }
    return true;
}

bool ConditionUndoStack::canUndo(ConditionList id) const {
    const std::vector<StepPtr>& stack = m_undo[size_t(id)];
    return !stack.empty() && onTopOfAll(m_undo, stack.back());
}

bool ConditionUndoStack::canRedo(ConditionList id) const {
    const std::vector<StepPtr>& stack = m_redo[size_t(id)];
    return !stack.empty() && onTopOfAll(m_redo, stack.back());
}

std::optional<ConditionUndoStack::Change> ConditionUndoStack::move(Stacks& from, Stacks& to,
                                                                   ConditionList id, bool undoing) {
    const std::vector<StepPtr>& stack = from[size_t(id)];
    if (stack.empty() || !onTopOfAll(from, stack.back()))
        return std::nullopt;
    const StepPtr step = stack.back();
    for (ConditionList each : kConditionListOrder) {
        if (!step->touches(each))
            continue;
        from[size_t(each)].pop_back();
        to[size_t(each)].push_back(step);
    }
    return undoing ? step->before : step->after;
}

std::optional<ConditionUndoStack::Change> ConditionUndoStack::undo(ConditionList id) {
    return move(m_undo, m_redo, id, true);
}

std::optional<ConditionUndoStack::Change> ConditionUndoStack::redo(ConditionList id) {
    return move(m_redo, m_undo, id, false);
}

void ConditionUndoStack::clear() {
    for (std::vector<StepPtr>& stack : m_undo)
        stack.clear();
    for (std::vector<StepPtr>& stack : m_redo)
        stack.clear();
}
