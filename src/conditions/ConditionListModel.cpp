#include "conditions/ConditionListModel.h"

#include <algorithm>

ConditionListModel::ConditionListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ConditionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int ConditionListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant ConditionListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_entries.size()))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const ConditionEntry& e = m_entries[size_t(index.row())];
    return index.column() == 0 ? e.column : e.phrase;
}

QVariant ConditionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("列") : QStringLiteral("語句");
}

void ConditionListModel::insertEntry(qsizetype row, const ConditionEntry& entry) {
    beginInsertRows({}, int(row), int(row));
    m_entries.insert(m_entries.begin() + row, entry);
    endInsertRows();
}

void ConditionListModel::appendEntries(const std::vector<ConditionEntry>& entries) {
    if (entries.empty())
        return;
    // The memory first: running out of it leaves the list (and its views) as they were.
    const size_t needed = m_entries.size() + entries.size();
    if (m_entries.capacity() < needed)
        m_entries.reserve(std::max(needed, 2 * m_entries.capacity()));
    beginInsertRows({}, int(m_entries.size()), int(m_entries.size() + entries.size() - 1));
    m_entries.insert(m_entries.end(), entries.begin(), entries.end());
    endInsertRows();
}

void ConditionListModel::removeEntry(qsizetype row) {
    beginRemoveRows({}, int(row), int(row));
    m_entries.erase(m_entries.begin() + row);
    endRemoveRows();
}

void ConditionListModel::setEntries(std::vector<ConditionEntry> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

void ConditionListModel::clear() {
    beginResetModel();
    m_entries.clear();
    endResetModel();
}
