#include "main_window/QtTranslation.h"
#include "main_window/frmVNLMain.h"
#include "settings/AppPaths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

// Smoke test of an installed or unpacked program, for scripts/package-smoke: started with
// VORNEL_SMOKE_TEST=1 (usually with QT_QPA_PLATFORM=offscreen), the program waits until its window
// is on the screen, prints where it finds the help document and the settings file, closes the
// window through the normal close path (which stores the window position) and ends. The exit code
// is 0 when the window was shown, the help document exists, the window closed and the settings
// file was written; 1 otherwise. The program has no other command line or automation interface.
bool smokeTestRequested() {
    return qEnvironmentVariable("VORNEL_SMOKE_TEST") == u"1";
}

void runSmokeTest(frmVNLMain& window, int& exitCode) {
    auto* poll = new QTimer(&window);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, &exitCode, poll, waited] {
        const bool shown =
            window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed();
        if (!shown && waited->elapsed() < 10000)
            return;
        poll->stop();

        const QString help = AppPaths::helpDocumentPath();
        const bool helpFound = QFileInfo(help).isFile();
        const QString settings = AppPaths::settingsFilePath();
        std::printf("window shown: %s\n", shown ? "yes" : "no");
        std::printf("help document: %s (%s)\n", qUtf8Printable(help),
                    helpFound ? "found" : "missing");
        const bool closed = window.close();
        const bool settingsWritten = QFileInfo(settings).isFile();
        std::printf("window closed: %s\n", closed ? "yes" : "no");
        std::printf("settings file: %s (%s)\n", qUtf8Printable(settings),
                    settingsWritten ? "written" : "missing");
        std::fflush(stdout);
        exitCode = shown && helpFound && closed && settingsWritten ? 0 : 1;
        QCoreApplication::exit(exitCode);
    });
    poll->start();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The per-user configuration folder (~/.config/vornel) and the desktop entry (vornel.desktop)
    // are named after the program, however it was started.
    QCoreApplication::setApplicationName(QStringLiteral("vornel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vornel"));
    QtTranslation::install();

    frmVNLMain window;
    window.show();
    int smokeExitCode = 0;
    if (smokeTestRequested())
        runSmokeTest(window, smokeExitCode);
    const int exitCode = app.exec();
    return smokeExitCode != 0 ? smokeExitCode : exitCode;
}
