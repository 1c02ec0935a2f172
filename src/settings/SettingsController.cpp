// The window position, kept in the settings file between runs.
#include "settings/SettingsController.h"

#include "main_window/Twips.h"
#include "settings/AppPaths.h"
#include "settings/StoredPosition.h"
#include "settings/mdlIniSet.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// The window at (left, top), or on the primary screen when its title bar would not be reachable
// there (a position stored for a monitor that is gone, or a value no screen can hold).
QPoint reachable(const QWidget& window, int left, int top) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return QPoint(left, top); // no screen known: nothing to compare with
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QSize size = window.frameGeometry().size();
    if (StoredPosition::titleBarVisible(QRect(QPoint(left, top), size), screens))
        return QPoint(left, top);
    return StoredPosition::placeOn(size, primary->availableGeometry());
}

} // namespace

void SettingsController::setIniFilePath() {
    mdlIniSet::SetIniFilePath(AppPaths::settingsFilePath());
}

void SettingsController::myPositionLoad() {
    // Without a top edge nothing is applied, and the left edge is not read. The values are taken
    // as they are, also partly off the screen, as long as the title bar can still be reached.
    const StoredPosition::Position stored = StoredPosition::read(mdlIniSet::IniFilePath());
    if (!stored.top)
        return;
    if (stored.left) {
        m_window.move(reachable(m_window, twips(*stored.left), twips(*stored.top)));
        return;
    }
    // Only the top edge: the left edge stays where the window system places a window without
    // settings, which is known once the window is shown (moving it now would fix the left edge
    // at 0).
    m_pendingTop = twips(*stored.top);
}

void SettingsController::windowShown() {
    if (!m_pendingTop)
        return;
    const int top = *m_pendingTop;
    m_pendingTop.reset();
    // The native window exists by now and holds the place the window system gave it.
    const int left =
        m_window.windowHandle() ? m_window.windowHandle()->framePosition().x() : m_window.x();
    m_window.move(reachable(m_window, left, top));
}

void SettingsController::myPositionSave() {
    // x() and y() are the outer edges of the window, frame included.
    // The window is closing: a failure is only noted on standard error, with its reason.
    const QString failed = StoredPosition::write(
        mdlIniSet::IniFilePath(), twipsFromPixels(m_window.y()), twipsFromPixels(m_window.x()));
    if (!failed.isEmpty())
        qWarning("%s", qPrintable(QStringLiteral("設定ファイルを保存できませんでした: %1: %2")
                                      .arg(mdlIniSet::IniFilePath(), failed)));
}
