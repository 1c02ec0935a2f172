#pragma once

#include "conditions/ConditionEntry.h"

#include <QAbstractTableModel>

#include <vector>

// One condition list: rows of (column, phrase), shown in two columns "列" and "語句".
// Row positions here are 0-based; the window's remembered rows are 1-based.
class ConditionListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ConditionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    qsizetype count() const { return qsizetype(m_entries.size()); }
    const ConditionEntry& entry(qsizetype row) const { return m_entries[size_t(row)]; }
    const std::vector<ConditionEntry>& entries() const { return m_entries; }

    void insertEntry(qsizetype row, const ConditionEntry& entry);
    void appendEntry(const ConditionEntry& entry) { insertEntry(count(), entry); }
    // Appends the entries at the bottom, in their order.
    void appendEntries(const std::vector<ConditionEntry>& entries);
    // Replaces every entry (the views are reset). The copy is made before the call, so a failure
    // to allocate leaves the list as it was (undo, redo and a set's load set lists this way).
    void setEntries(std::vector<ConditionEntry> entries);
    void removeEntry(qsizetype row);
    void clear();

private:
    std::vector<ConditionEntry> m_entries;
};
