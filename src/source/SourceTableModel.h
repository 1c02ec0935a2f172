#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class RowStore;

// The source list: shows the rows of a RowStore, one column per field. The store is filled while
// the list is hidden; refresh() makes the view pick the new rows up in one go.
class SourceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SourceTableModel(const RowStore* store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column headers shown; the row count and cells always come from the store.
    void setHeaders(const QStringList& headers);
    const QStringList& headers() const { return m_headers; }

    // Tells the views that the store changed (rows added or removed).
    void refresh();

private:
    const RowStore* m_store;
    QStringList m_headers;
    qint64 m_shownRows = 0;
};
