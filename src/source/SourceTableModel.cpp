#include "source/SourceTableModel.h"

#include "source/RowStore.h"

#include <algorithm>
#include <limits>

SourceTableModel::SourceTableModel(const RowStore* store, QObject* parent)
    : QAbstractTableModel(parent), m_store(store) {}

int SourceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_shownRows);
}

int SourceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant SourceTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_shownRows)
        return {};
    if (index.column() >= m_store->fieldCount())
        return {};
    if (m_store->fieldMode() == FieldMode::Quoted)
        return FieldModes::visibleLineBreaks(m_store->field(index.row(), index.column()));
    return m_store->field(index.row(), index.column());
}

QVariant SourceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= m_headers.size())
        return {};
    return m_headers[section];
}

void SourceTableModel::setHeaders(const QStringList& headers) {
    beginResetModel();
    m_headers = headers;
    endResetModel();
}

void SourceTableModel::refresh() {
    beginResetModel();
    // A view addresses rows with int; a store beyond that shows its first 2^31-1 rows.
    m_shownRows = std::min<qint64>(m_store->rowCount(), std::numeric_limits<int>::max());
    endResetModel();
}
