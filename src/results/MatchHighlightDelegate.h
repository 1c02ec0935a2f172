#pragma once

// Paints a result row with the text its "AND" and "OR" entries matched marked: a background
// behind each span the model gives (ResultListModel::MatchSpansRole), dark text on it, readable in
// a selected row as in a normal one. Rows without spans paint as any item does.

#include <QColor>
#include <QStyledItemDelegate>

class MatchHighlightDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The marked text's background and colour.
    static QColor markBackground() { return QColor(0xFF, 0xD8, 0x4D); }
    static QColor markText() { return QColor(0x20, 0x20, 0x20); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
