// The window position, kept in the settings file between runs.
#include "settings/SettingsController.h"

#include "main_window/Twips.h"
#include "settings/AppPaths.h"
#include "settings/StoredPosition.h"
#include "settings/StoredWindow.h"
#include "settings/mdlIniSet.h"

#include <QDebug>
#include <QGuiApplication>
#include <QHeaderView>
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
    // The size first: whether the title bar can be reached depends on it. A size stored on a
    // larger screen is cut to this one's; never under the window's designed size.
    const StoredWindow::Window window = StoredWindow::read(mdlIniSet::IniFilePath());
    if (window.size) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize available = screen ? screen->availableGeometry().size() : QSize();
        const QSize stored(twips(window.size->width()), twips(window.size->height()));
        m_window.resize(
            StoredWindow::fitted(stored, m_window.minimumSize(), screen ? available : stored));
    }
    placeStored();
    // Maximised last: a move of the window would take it back to its normal state.
    if (window.maximized)
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
}

void SettingsController::placeStored() {
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

void SettingsController::columnsLoad() {
    const QList<int> stored = StoredWindow::read(mdlIniSet::IniFilePath()).columns;
    int count = 0;
    for (const QHeaderView* header : m_headers)
        count += header->count();
    if (stored.size() != count)
        return; // kept for other lists, or not at all
    int i = 0;
    for (QHeaderView* header : m_headers)
        for (int section = 0; section < header->count(); ++section)
            header->resizeSection(section, twips(stored[i++]));
}

void SettingsController::myPositionSave() {
    // x() and y() are the outer edges of the window, frame included.
    // The window is closing: a failure is only noted on standard error, with its reason.
    const QString failed = StoredPosition::write(
        mdlIniSet::IniFilePath(), twipsFromPixels(m_window.y()), twipsFromPixels(m_window.x()));
    if (!failed.isEmpty())
        qWarning("%s", qPrintable(QStringLiteral("設定ファイルを保存できませんでした: %1: %2")
                                      .arg(mdlIniSet::IniFilePath(), failed)));

    // The size of the normal window, also when it is maximised now.
    StoredWindow::Window window;
    const QRect normal = m_window.isMaximized() || m_window.isFullScreen()
                             ? m_window.normalGeometry()
                             : m_window.geometry();
    if (normal.isValid())
        window.size = QSize(twipsFromPixels(normal.width()), twipsFromPixels(normal.height()));
    window.maximized = m_window.isMaximized();
    for (const QHeaderView* header : m_headers)
        for (int section = 0; section < header->count(); ++section)
            window.columns.append(twipsFromPixels(header->sectionSize(section)));
    // After the position, which is written whatever became of it.
    StoredWindow::write(mdlIniSet::IniFilePath(), window);
}
