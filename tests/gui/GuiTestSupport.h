#pragma once

#include "ScriptedPlatform.h"

#include "base/CountText.h"
#include "conditions/ConditionsController.h"
#include "main_window/QtTranslation.h"
#include "main_window/frmVNLMain.h"
#include "results/ResultListModel.h"
#include "settings/AppPaths.h"
#include "source/SourceTableModel.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include <functional>
#include <memory>

// A real main window over a scripted platform, with the program's folder in a temporary folder
// (so the settings and hand-over files of a test never touch the build tree).
struct TestWindow {
    QTemporaryDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<frmVNLMain> window;

    TestWindow() {
        // Qt's own texts in Japanese, as in the program.
        QtTranslation::install();
        AppPaths::setProgramFolder(dir.path());
        window = std::make_unique<frmVNLMain>(&platform);
    }
    ~TestWindow() {
        window.reset();
        AppPaths::setProgramFolder(QString());
    }
    frmVNLMain* operator->() const { return window.get(); }
    frmVNLMain& operator*() const { return *window; }

    template <typename T> T* child(const QString& name) const {
        return window->findChild<T*>(name);
    }

    // Writes a file into the temporary folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) const {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }

    bool enabled(Command command) const { return window->toolbarButton(command)->isEnabled(); }

    // The window's controls, found by their names.
    ListView* lvwOriginalData() const { return child<ListView>(QStringLiteral("lvwOriginalData")); }
    ListView* lvwPickupData() const { return child<ListView>(QStringLiteral("lvwPickupData")); }
    QPushButton* cmdSend() const { return child<QPushButton>(QStringLiteral("cmdSend")); }
    QFrame* fraProgressbar() const { return child<QFrame>(QStringLiteral("fraProgressbar")); }
    QFrame* fraWordSet() const { return child<QFrame>(QStringLiteral("fraWordSet")); }
    QLabel* lblStatus() const { return child<QLabel>(QStringLiteral("lblStatus")); }
    QToolBar* tlbMain() const { return child<QToolBar>(QStringLiteral("tlbMain")); }
    QMenu* mnuPopup() const { return child<QMenu>(QStringLiteral("mnuPopup")); }
    QMenu* mnuPopupSort() const { return child<QMenu>(QStringLiteral("mnuPopupSort")); }
    QAction* mnuPopupAllSelect() const {
        return child<QAction>(QStringLiteral("mnuPopupAllSelect"));
    }
    QAction* mnuPopupCopy() const { return child<QAction>(QStringLiteral("mnuPopupCopy")); }
    QAction* mnuPopupSortAsc() const { return child<QAction>(QStringLiteral("mnuPopupSortAsc")); }
    QAction* mnuPopupSortDesc() const { return child<QAction>(QStringLiteral("mnuPopupSortDesc")); }
};

// Runs `action` on the next modal dialog as soon as it is open (it is polled, so this works for
// dialogs that a handler opens and waits on). Call before the code that opens the dialog.
inline void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action, started, timeoutMs] {
        *started += 5;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal || *started > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (modal)
                action(modal);
        }
    });
    timer->start();
}

// Puts rows into the source table as a finished load leaves it.
inline void loadRows(TestWindow& w, int commaCount, const QStringList& lines) {
    w->store().reset(commaCount);
    for (const QString& line : lines)
        w->store().appendLine(line);
    w->setCommaCount(commaCount);
    w->sourceModel()->refresh();
    w->setPanelText(Panel::Original, CountText::sourceRows(lines.size()));
    w->myStartCheck();
}

// The texts of the picked rows, in the order the result list holds them.
inline QStringList resultTexts(const TestWindow& w) {
    QStringList texts;
    for (qint64 i = 0; i < w->resultModel()->count(); ++i)
        texts << w->resultModel()->rowText(i);
    return texts;
}

// Presses Start the way the toolbar does: only while the button is enabled.
inline void pressStart(TestWindow& w) {
    QAction* start = w->toolbarButton(Command::Start);
    QVERIFY(start->isEnabled());
    start->trigger();
}
