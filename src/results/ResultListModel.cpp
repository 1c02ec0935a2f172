#include "results/ResultListModel.h"

#include "pickup/MatchSpans.h"

ResultListModel::ResultListModel(const RowStore* store, QObject* parent)
    : QAbstractTableModel(parent), m_store(store) {}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    if (role == MatchSpansRole) {
        if (!m_spans)
            return {};
        return QVariant::fromValue(m_spans->spans(rowText(index.row())));
    }
    if (role != Qt::DisplayRole)
        return {};
    // A quoted record shows as it is in the file, its inner line breaks made visible.
    if (m_store->fieldMode() == FieldMode::Quoted)
        return FieldModes::visibleLineBreaks(rowText(index.row()));
    return rowText(index.row());
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section != 0)
        return {};
    return QStringLiteral("実行結果");
}

void ResultListModel::clear() {
    beginResetModel();
    m_rows = {};
    m_spans.reset();
    endResetModel();
}

void ResultListModel::setRows(std::vector<std::uint32_t> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}
