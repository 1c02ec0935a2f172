#include "progress/ProgressBar.h"

#include <QProgressBar>
#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace mProgress {
namespace {

// The bar as the jobs use it: an empty range (0 to 0, a load of an empty file or a transfer of no
// rows) shows an empty bar, as the native control does, not Qt's moving "busy" block.
class ProgressControl : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionProgressBar option;
        initStyleOption(&option);
        if (option.minimum == option.maximum) {
            option.maximum = option.minimum + 1;
            option.progress = option.minimum;
        }
        painter.drawControl(QStyle::CE_ProgressBar, option);
    }
};

const char* const kBarColor = "vornelBarColor";
const char* const kBkColor = "vornelBkColor";

void applyColors(QProgressBar* bar) {
    const QColor bar_ = bar->property(kBarColor).value<QColor>();
    const QColor bk = bar->property(kBkColor).value<QColor>();
    QString sheet = QStringLiteral("QProgressBar { border: 1px solid gray; background-color: %1; }")
                        .arg(bk.isValid() ? bk.name() : QStringLiteral("palette(base)"));
    if (bar_.isValid())
        sheet += QStringLiteral(" QProgressBar::chunk { background-color: %1; }").arg(bar_.name());
    bar->setStyleSheet(sheet);
}

} // namespace

ProgressHandle ProgressCreate(int style, int x, int y, int width, int height, QWidget* host) {
    if (!host)
        return nullptr;
    auto* bar = new ProgressControl(host); // owned by its host, like a child window
    bar->setObjectName(QStringLiteral("ProgressWindow"));
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setProperty("smooth", bool(style & PBS_SMOOTH));
    bar->setGeometry(x, y, width, height);
    bar->show();
    return bar;
}

void ProgressDestroy(ProgressHandle handle) {
    delete handle;
}

void ProgressSetRange(ProgressHandle handle, int low, int high) {
    if (handle)
        handle->setRange(low, high);
}

void ProgressSetPos(ProgressHandle handle, int position) {
    if (!handle)
        return;
    // Like the native control, a position outside the range stands at its nearer end.
    position = qBound(handle->minimum(), position, handle->maximum());
    if (handle->value() != position)
        handle->setValue(position);
}

void ProgressSetBarColor(ProgressHandle handle, QColor color) {
    if (!handle)
        return;
    handle->setProperty(kBarColor, color);
    applyColors(handle);
}

void ProgressSetBkColor(ProgressHandle handle, QColor color) {
    if (!handle)
        return;
    handle->setProperty(kBkColor, color);
    applyColors(handle);
}

} // namespace mProgress
