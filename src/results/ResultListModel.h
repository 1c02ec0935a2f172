#pragma once

#include "source/RowStore.h"

#include <QAbstractTableModel>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

class MatchSpans;

// The result list: the picked rows, as indices into the source store, in display order.
// One column "実行結果"; an item's text is the row's whole text. MatchSpansRole gives where the
// last pickup's "AND" and "OR" entries match in that text (a MatchSpanList), worked out only for
// the rows that are asked for, that is the rows being painted.
class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int MatchSpansRole = Qt::UserRole + 1;

    explicit ResultListModel(const RowStore* store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    qint64 count() const { return qint64(m_rows.size()); }
    // Text of the item at display position pos (0-based), and the bytes it was read as.
    QString rowText(qint64 pos) const { return m_store->rowText(m_rows[size_t(pos)]); }
    QByteArrayView rowBytes(qint64 pos) const { return m_store->rowBytes(m_rows[size_t(pos)]); }
    const std::vector<std::uint32_t>& rows() const { return m_rows; }
    const RowStore& store() const { return *m_store; }
    // Bytes of the items at positions begin .. end - 1 into out, in one tight loop: after a sort
    // the rows lie all over the store, and looking many up at once lets the memory reads overlap.
    void rowBytes(qint64 begin, qint64 end, QByteArrayView* out) const {
        for (qint64 i = begin; i < end; ++i)
            *out++ = m_store->rowBytes(m_rows[size_t(i)]);
    }

    // The entries whose matches MatchSpansRole shows (nothing: none); clear() drops them.
    void setMatchSpans(std::shared_ptr<const MatchSpans> spans) { m_spans = std::move(spans); }

    void clear();
    // Replaces the items with these source rows, in this order.
    void setRows(std::vector<std::uint32_t> rows);

private:
    const RowStore* m_store;
    std::vector<std::uint32_t> m_rows;
    std::shared_ptr<const MatchSpans> m_spans;
};
