#pragma once

#include <QAbstractItemView>
#include <QHeaderView>
#include <QList>
#include <QMetaObject>

// A report-style list over a model: one line per row, column headers, no row numbers and no grid.
// Rows are placed by arithmetic (row height × index): the view keeps nothing per row, does nothing
// per row when the model is reset and lays out only what is on screen, so a list of two thousand
// million rows shows as fast as one of five. The vertical scroll bar counts rows; the columns
// scroll by the pixel. Selections are kept as row ranges (selecting all is one range).
class ListView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    ~ListView() override;

    // The column headers.
    QHeaderView* header() const { return m_header; }

    void setModel(QAbstractItemModel* model) override;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    int sizeHintForColumn(int column) const override;
    // Typing jumps to the next row starting with the typed text, as in any list, in lists of up to
    // kTypeAheadRows rows; in a longer one typing does nothing (the search reads row after row, and
    // a miss would read millions of them while the window stands still).
    void keyboardSearch(const QString& search) override;
    static constexpr int kTypeAheadRows = 100000;

    // The row at y in viewport coordinates, or -1 where there is none.
    int rowAt(int y) const;
    // The height of every row.
    int rowHeight() const { return m_rowHeight; }
    // The first row at the top of the viewport.
    int firstRow() const;

public slots:
    void reset() override;
    // Sizes a column to its header and the rows on screen.
    void resizeColumnToContents(int column);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void initViewItemOption(QStyleOptionViewItem* option) const override;

    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

protected slots:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    int rowCount() const;
    int columnCount() const;
    // Rows that fit whole in the viewport (at least one).
    int pageRows() const;
    // The row at y, as a 64-bit number that may lie outside the model.
    qint64 rowAtY(qint64 y) const;
    void updateScrollBars();
    void selectRows(int first, int last, QItemSelectionModel::SelectionFlags command);

    QHeaderView* m_header = nullptr;
    int m_rowHeight = 1;
    // The row a Shift+click or Shift+arrow extends from.
    int m_anchorRow = -1;
    // Set while the current row moves as part of extending a selection (the anchor stays).
    bool m_extending = false;
    bool m_inGeometries = false;
    QList<QMetaObject::Connection> m_modelConnections;
};
