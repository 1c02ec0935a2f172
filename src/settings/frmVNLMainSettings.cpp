// The window position, kept in the settings file between runs.
#include "main_window/frmVNLMain.h"

#include "settings/AppPaths.h"
#include "settings/StoredPosition.h"
#include "settings/mdlIniSet.h"

#include <QWindow>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Stored positions are in twips; the window moves in device-independent pixels.
int pixelsFromTwips(qint32 twips) {
    return int(std::lround(double(twips) / frmVNLMain::kTwipsPerPixel));
}

qint32 twipsFromPixels(int pixels) {
    const qint64 twips = qint64(pixels) * frmVNLMain::kTwipsPerPixel;
    return qint32(std::clamp<qint64>(twips, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

} // namespace

void frmVNLMain::setIniFilePath() {
    mdlIniSet::SetIniFilePath(AppPaths::settingsFilePath());
}

void frmVNLMain::myPositionLoad() {
    // Without a top edge nothing is applied, and the left edge is not read. The values are taken
    // as they are, even when they put the window off the screen.
    const StoredPosition::Position stored = StoredPosition::read(mdlIniSet::IniFilePath());
    if (!stored.top)
        return;
    if (stored.left) {
        move(pixelsFromTwips(*stored.left), pixelsFromTwips(*stored.top));
        return;
    }
    // Only the top edge: the left edge stays where the window system places a window without
    // settings, which is known once the window is shown (moving it now would fix the left edge
    // at 0).
    m_pendingTop = pixelsFromTwips(*stored.top);
}

void frmVNLMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_pendingTop)
        return;
    const int top = *m_pendingTop;
    m_pendingTop.reset();
    // The native window exists by now and holds the place the window system gave it.
    const int left = windowHandle() ? windowHandle()->framePosition().x() : x();
    move(left, top);
}

void frmVNLMain::myPositionSave() {
    // x() and y() are the outer edges of the window, frame included.
    StoredPosition::write(mdlIniSet::IniFilePath(), twipsFromPixels(y()), twipsFromPixels(x()));
}
