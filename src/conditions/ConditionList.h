#pragma once

#include <QString>

#include <array>

// The four condition lists, in the fixed order in which every walk over all four visits them
// (duplicate search, save-button refresh, start check).
enum class ConditionList : int { OutAND = 0, OutOR = 1, InAND = 2, InOR = 3 };

constexpr int kConditionListCount = 4;

inline constexpr std::array<ConditionList, kConditionListCount> kConditionListOrder = {
    ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR};

// The list's name as the messages show it.
inline QString conditionListName(ConditionList id) {
    switch (id) {
    case ConditionList::OutAND:
        return QStringLiteral("NOT AND");
    case ConditionList::OutOR:
        return QStringLiteral("NOT OR");
    case ConditionList::InAND:
        return QStringLiteral("AND");
    case ConditionList::InOR:
        return QStringLiteral("OR");
    }
    return {};
}
