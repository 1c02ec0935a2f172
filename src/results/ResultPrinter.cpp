#include "results/ResultPrinter.h"

#include "results/ResultListModel.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace ResultPrinter {

std::optional<QString> print(QPagedPaintDevice& device, const ResultListModel& model) {
    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("印刷を開始できませんでした。");
    const QFontMetricsF metrics(painter.font(), &device);
    const qreal lineHeight = std::max<qreal>(metrics.lineSpacing(), 1);
    const qreal pageHeight = device.height();
    qreal y = 0;
    const qint64 n = model.count();
    for (qint64 i = 0; i < n; ++i) {
        if (y > 0 && y + lineHeight > pageHeight) {
            if (!device.newPage()) {
                painter.end();
                return QStringLiteral("印刷中に新しいページを始められませんでした。");
            }
            y = 0;
        }
        painter.drawText(QPointF(0, y + metrics.ascent()), model.rowText(i));
        y += lineHeight;
    }
    if (!painter.end())
        return QStringLiteral("印刷を終えられませんでした。");
    return std::nullopt;
}

} // namespace ResultPrinter
