// The report-style list of the source rows and of the result: rows placed by arithmetic, one
// header per column, nothing kept or done per row.
#include "main_window/ListView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace {

// Rows far off screen get a place this far out at most, so that no coordinate overflows.
constexpr qint64 kFarAway = qint64(1) << 29;

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

ListView::ListView(QWidget* parent) : QAbstractItemView(parent) {
    m_rowHeight = std::max(1, fontMetrics().height() + 4);
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setSectionsClickable(true);
    m_header->setHighlightSections(false);
    m_header->setStretchLastSection(false);
    m_header->setSectionsMovable(false);
    m_header->setMinimumSectionSize(0);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateScrollBars();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionCountChanged, this, &ListView::updateGeometries);
    connect(m_header, &QHeaderView::geometriesChanged, this, &ListView::updateGeometries);
    connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this,
            &ListView::resizeColumnToContents);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

ListView::~ListView() {
    // The header and the model outlive this part of the view: they must not call back into it
    // while the widget itself is taken down.
    disconnect(m_header, nullptr, this, nullptr);
    for (const QMetaObject::Connection& c : std::as_const(m_modelConnections))
        disconnect(c);
}

void ListView::setModel(QAbstractItemModel* model) {
    for (const QMetaObject::Connection& c : std::as_const(m_modelConnections))
        disconnect(c);
    m_modelConnections.clear();
    // The header first, as it is to hear of a reset before the rows are laid out again.
    m_header->setModel(model);
    QAbstractItemView::setModel(model);
    if (model) {
        // Counts change: only the scroll range follows, whatever the number of rows.
        const auto counted = [this] {
            updateScrollBars();
            viewport()->update();
        };
        m_modelConnections << connect(model, &QAbstractItemModel::rowsInserted, this, counted)
                           << connect(model, &QAbstractItemModel::rowsRemoved, this, counted)
                           << connect(model, &QAbstractItemModel::layoutChanged, this, counted);
    }
    updateGeometries();
}

int ListView::rowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int ListView::columnCount() const {
    return model() ? model()->columnCount(rootIndex()) : 0;
}

int ListView::firstRow() const {
    return verticalScrollBar()->value();
}

int ListView::pageRows() const {
    return std::max(1, viewport()->height() / m_rowHeight);
}

qint64 ListView::rowAtY(qint64 y) const {
    return qint64(firstRow()) + floorDiv(y, m_rowHeight);
}

int ListView::rowAt(int y) const {
    const qint64 row = rowAtY(y);
    return row >= 0 && row < rowCount() ? int(row) : -1;
}

QRect ListView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex())
        return {};
    const qint64 y = (qint64(index.row()) - firstRow()) * m_rowHeight;
    return QRect(m_header->sectionViewportPosition(index.column()),
                 int(std::clamp(y, -kFarAway, kFarAway)), m_header->sectionSize(index.column()),
                 m_rowHeight);
}

QModelIndex ListView::indexAt(const QPoint& point) const {
    const int row = rowAt(point.y());
    const int column = m_header->logicalIndexAt(point.x());
    if (row < 0 || column < 0)
        return {};
    return model()->index(row, column, rootIndex());
}

void ListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.model() != model())
        return;
    updateScrollBars(); // the range may not have followed a reset yet
    QScrollBar* rows = verticalScrollBar();
    const qint64 row = index.row();
    const qint64 page = pageRows();
    const qint64 first = firstRow();
    switch (hint) {
    case PositionAtTop:
        rows->setValue(int(row));
        break;
    case PositionAtBottom:
        rows->setValue(int(std::max<qint64>(0, row - page + 1)));
        break;
    case PositionAtCenter:
        rows->setValue(int(std::max<qint64>(0, row - page / 2)));
        break;
    case EnsureVisible:
        if (row < first)
            rows->setValue(int(row));
        else if (row >= first + page)
            rows->setValue(int(row - page + 1));
        break;
    }
    // Sideways: the cell's left edge in view, as a table does.
    const int width = viewport()->width();
    const int offset = m_header->offset();
    const int left = m_header->sectionPosition(index.column());
    const int cell = m_header->sectionSize(index.column());
    if (hint == PositionAtCenter)
        horizontalScrollBar()->setValue(left - (width - cell) / 2);
    else if (left - offset < 0 || cell > width)
        horizontalScrollBar()->setValue(left);
    else if (left - offset + cell > width)
        horizontalScrollBar()->setValue(left - width + cell);
    viewport()->update();
}

int ListView::sizeHintForColumn(int column) const {
    // The rows on screen only: measuring every row would cost per row.
    if (column < 0 || column >= columnCount())
        return -1;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const qint64 first = firstRow();
    const qint64 last = std::min<qint64>(rowCount() - 1, first + pageRows());
    int hint = 0;
    for (qint64 row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(int(row), column, rootIndex());
        hint = std::max(hint, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return hint;
}

void ListView::resizeColumnToContents(int column) {
    const int content = sizeHintForColumn(column);
    const int heading = m_header->isHidden() ? 0 : m_header->sectionSizeHint(column);
    if (content >= 0)
        m_header->resizeSection(column, std::max(content, heading));
}

void ListView::reset() {
    QAbstractItemView::reset();
    m_anchorRow = -1;
    updateGeometries();
}

QModelIndex ListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const int rows = rowCount();
    const int columns = columnCount();
    if (rows <= 0 || columns <= 0)
        return {};
    const auto shownColumn = [this, columns](int visual, int step) {
        for (; visual >= 0 && visual < columns; visual += step) {
            const int logical = m_header->logicalIndex(visual);
            if (!m_header->isSectionHidden(logical))
                return logical;
        }
        return -1;
    };
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        const int column = shownColumn(0, 1);
        return column < 0 ? QModelIndex() : model()->index(0, column, rootIndex());
    }
    qint64 row = current.row();
    int column = current.column();
    const int visual = m_header->visualIndex(column);
    const qint64 height = viewport()->height();
    switch (cursorAction) {
    case MoveUp:
        --row;
        break;
    case MoveDown:
        ++row;
        break;
    case MovePrevious:
    case MoveLeft:
        if (const int c = shownColumn(visual - 1, -1); c >= 0)
            column = c;
        break;
    case MoveNext:
    case MoveRight:
        if (const int c = shownColumn(visual + 1, 1); c >= 0)
            column = c;
        break;
    case MoveHome:
        if (const int c = shownColumn(0, 1); c >= 0)
            column = c;
        if (modifiers & Qt::ControlModifier)
            row = 0;
        break;
    case MoveEnd:
        if (const int c = shownColumn(columns - 1, -1); c >= 0)
            column = c;
        if (modifiers & Qt::ControlModifier)
            row = rows - 1;
        break;
    case MovePageUp:
        // The row a viewport's height above the current row's bottom.
        row += floorDiv(m_rowHeight - 1 - height, m_rowHeight);
        break;
    case MovePageDown:
        row += height / m_rowHeight;
        break;
    }
    row = std::clamp<qint64>(row, 0, rows - 1);
    return model()->index(int(row), column, rootIndex());
}

int ListView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int ListView::verticalOffset() const {
    // Rows scroll in whole rows and are placed relative to the viewport's top: a pixel offset of
    // the first row would not fit an int for long lists.
    return 0;
}

bool ListView::isIndexHidden(const QModelIndex& index) const {
    return m_header->isSectionHidden(index.column());
}

void ListView::selectRows(int first, int last, QItemSelectionModel::SelectionFlags command) {
    const int columns = columnCount();
    if (columns <= 0)
        return;
    const QItemSelection rows(model()->index(std::min(first, last), 0, rootIndex()),
                              model()->index(std::max(first, last), columns - 1, rootIndex()));
    selectionModel()->select(rows, command);
}

void ListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel() || rowCount() <= 0)
        return;
    if (command & QItemSelectionModel::Current) {
        // Extending from the anchor: to the row under the mouse while dragging, else to the
        // current row (which the keys and Shift+click have already moved, however far off screen).
        int to = -1;
        if (state() == DragSelectingState)
            to = rowAt(rect.bottom());
        else if (currentIndex().isValid())
            to = currentIndex().row();
        if (to < 0)
            return;
        const int from = m_anchorRow >= 0 && m_anchorRow < rowCount() ? m_anchorRow : to;
        selectRows(from, to, command);
        return;
    }
    const int top = rowAt(std::min(rect.top(), rect.bottom()));
    const int bottom = rowAt(std::max(rect.top(), rect.bottom()));
    if (top < 0 || bottom < 0)
        return;
    m_anchorRow = top;
    selectRows(top, bottom, command);
}

QRegion ListView::visualRegionForSelection(const QItemSelection& selection) const {
    const qint64 first = firstRow();
    const qint64 last = first + pageRows();
    const int width = viewport()->width();
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (range.parent() != rootIndex() || range.bottom() < first || range.top() > last)
            continue;
        const qint64 top = std::max<qint64>(range.top(), first) - first;
        const qint64 bottom = std::min<qint64>(range.bottom(), last) - first;
        region += QRect(0, int(top * m_rowHeight), width, int((bottom - top + 1) * m_rowHeight));
    }
    return region;
}

void ListView::initViewItemOption(QStyleOptionViewItem* option) const {
    QAbstractItemView::initViewItemOption(option);
    option->showDecorationSelected = true;
}

void ListView::updateScrollBars() {
    const int page = pageRows();
    QScrollBar* rows = verticalScrollBar();
    rows->setSingleStep(1);
    rows->setPageStep(page);
    rows->setRange(0, std::max(0, rowCount() - page));

    const int width = viewport()->width();
    const int length = m_header->length();
    // As many pixels per step as a table gives: the width over the columns in view, plus one.
    int inView = 0;
    for (int visual = m_header->count() - 1, used = 0; visual >= 0; --visual) {
        const int logical = m_header->logicalIndex(visual);
        if (m_header->isSectionHidden(logical))
            continue;
        used += m_header->sectionSize(logical);
        if (used > width)
            break;
        ++inView;
    }
    QScrollBar* columns = horizontalScrollBar();
    columns->setPageStep(width);
    columns->setSingleStep(std::max(width / (inView + 1), 2));
    columns->setRange(0, std::max(0, length - width));
}

void ListView::updateGeometries() {
    if (m_inGeometries)
        return;
    m_inGeometries = true;
    const int height = m_header->isHidden()
                           ? 0
                           : std::clamp(m_header->sizeHint().height(), m_header->minimumHeight(),
                                        m_header->maximumHeight());
    setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - height, area.width(), height);
    updateScrollBars();
    m_header->setOffset(horizontalScrollBar()->value());
    m_inGeometries = false;
    QAbstractItemView::updateGeometries();
}

void ListView::scrollContentsBy(int dx, int /*dy*/) {
    if (dx != 0)
        m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void ListView::paintEvent(QPaintEvent* event) {
    const int rows = rowCount();
    const int columns = columnCount();
    if (rows <= 0 || columns <= 0)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect area = event->rect();
    const qint64 first = firstRow();
    const qint64 top = rowAtY(std::max(0, area.top()));
    const qint64 bottom = std::min<qint64>(rows - 1, rowAtY(area.bottom()));
    int left = m_header->visualIndexAt(area.left());
    int right = m_header->visualIndexAt(area.right());
    if (left < 0)
        left = 0;
    if (right < 0)
        right = columns - 1;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QItemSelectionModel* selection = selectionModel();
    for (qint64 row = top; row <= bottom; ++row) {
        const int y = int((row - first) * m_rowHeight);
        for (int visual = left; visual <= right; ++visual) {
            const int column = m_header->logicalIndex(visual);
            if (m_header->isSectionHidden(column))
                continue;
            const QModelIndex index = model()->index(int(row), column, rootIndex());
            QStyleOptionViewItem cell = option;
            cell.rect = QRect(m_header->sectionViewportPosition(column), y,
                              m_header->sectionSize(column), m_rowHeight);
            if (selection && selection->isSelected(index))
                cell.state |= QStyle::State_Selected;
            if (option.state & QStyle::State_Enabled) {
                if (!(model()->flags(index) & Qt::ItemIsEnabled)) {
                    cell.state &= ~QStyle::State_Enabled;
                    cell.palette.setCurrentColorGroup(QPalette::Disabled);
                } else {
                    cell.palette.setCurrentColorGroup(QPalette::Normal);
                }
            }
            if (focus && index == current)
                cell.state |= QStyle::State_HasFocus;
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &cell, &painter, this);
            itemDelegateForIndex(index)->paint(&painter, cell, index);
        }
    }
}

void ListView::keyPressEvent(QKeyEvent* event) {
    // A Shift+arrow moves the current row and keeps the anchor where it was.
    m_extending = bool(selectionCommand(currentIndex(), event) & QItemSelectionModel::Current);
    QAbstractItemView::keyPressEvent(event);
    m_extending = false;
}

void ListView::mousePressEvent(QMouseEvent* event) {
    m_extending = bool(selectionCommand(indexAt(event->position().toPoint()), event) &
                       QItemSelectionModel::Current);
    QAbstractItemView::mousePressEvent(event);
    m_extending = false;
}

void ListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (!m_extending && state() != DragSelectingState)
        m_anchorRow = current.isValid() ? current.row() : -1;
    else if (m_anchorRow < 0 && previous.isValid())
        m_anchorRow = previous.row();
    QAbstractItemView::currentChanged(current, previous);
}

void ListView::keyboardSearch(const QString& search) {
    if (rowCount() <= kTypeAheadRows)
        QAbstractItemView::keyboardSearch(search);
}

bool ListView::event(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_rowHeight = std::max(1, fontMetrics().height() + 4);
        updateGeometries();
    }
    return QAbstractItemView::event(event);
}
