// The window position, kept in the settings file between runs.
#include "main_window/frmVNLMain.h"

#include "settings/AppPaths.h"
#include "settings/StoredPosition.h"
#include "settings/mdlIniSet.h"

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
    move(x(), pixelsFromTwips(*stored.top));
    if (stored.left)
        move(pixelsFromTwips(*stored.left), y());
}

void frmVNLMain::myPositionSave() {
    // x() and y() are the outer edges of the window, frame included.
    StoredPosition::write(mdlIniSet::IniFilePath(), twipsFromPixels(y()), twipsFromPixels(x()));
}
