#include "main_window/MousePointer.h"

#include <QApplication>
#include <QCursor>

namespace MousePointer {

void set(Shape shape) {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (shape == Hourglass)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

Shape current() {
    return QApplication::overrideCursor() ? Hourglass : Default;
}

} // namespace MousePointer
