// Result rows painted with their matched text marked.
#include "results/MatchHighlightDelegate.h"

#include "pickup/MatchSpans.h"
#include "results/ResultListModel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

void MatchHighlightDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const QVariant value = index.data(ResultListModel::MatchSpansRole);
    const MatchSpanList spans = value.value<MatchSpanList>();
    if (spans.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    // The item without its text (background, selection, focus), then the text laid out here so
    // that the marks sit exactly behind the characters they mark.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                               .adjusted(margin, 0, -margin, 0);

    QTextLayout layout(text, opt.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;

    QList<QTextLayout::FormatRange> marks;
    for (const MatchSpan& span : spans) {
        QTextLayout::FormatRange range;
        range.start = int(span.begin);
        range.length = int(span.length);
        range.format.setBackground(markBackground());
        range.format.setForeground(markText());
        marks.append(range);
    }
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    painter->save();
    painter->setClipRect(textRect);
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const qreal y = textRect.top() + (textRect.height() - line.height()) / 2;
    layout.draw(painter, QPointF(textRect.left(), y), marks);
    painter->restore();
}
