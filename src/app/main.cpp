#include "app/PickCommand.h"
#include "base/CountText.h"
#include "base/ProcessMemory.h"
#include "main_window/QtTranslation.h"
#include "main_window/frmVNLMain.h"
#include "settings/AppPaths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

// Smoke test of an installed or unpacked program, for scripts/package-smoke: started with
// VORNEL_SMOKE_TEST=1 (usually with QT_QPA_PLATFORM=offscreen), the program waits until its window
// is on the screen, prints where it finds the help document and the settings file, closes the
// window through the normal close path (which stores the window position) and ends. The exit code
// is 0 when the window was shown, the help document exists, the window closed and the settings
// file was written; 1 otherwise. With a data file on the command line it waits for its load too and
// prints the file and its row count.
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
        if ((!shown || window.isBusy()) && waited->elapsed() < 10000)
            return;
        poll->stop();

        const QString help = AppPaths::helpDocumentPath();
        const bool helpFound = QFileInfo(help).isFile();
        const QString settings = AppPaths::settingsFilePath();
        std::printf("window shown: %s\n", shown ? "yes" : "no");
        if (QCoreApplication::arguments().size() > 1)
            std::printf("data file: %s (%s rows)\n",
                        qUtf8Printable(window.panelText(Panel::FilePath)),
                        qUtf8Printable(QString::number(
                            CountText::parse(window.panelText(Panel::Original)).value_or(0))));
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

// The pickup from a script (--pick, --help, --version): QtCore only, so it runs where there is no
// display and loads no platform plugin.
int runCommandLine(int argc, char* argv[], const QStringList& arguments) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vornel"));
    // A reader that has gone away (`vornel --pick ... | head`) makes the write fail, and the
    // failure is reported, instead of ending the program without a word.
    std::signal(SIGPIPE, SIG_IGN);
    QFile out;
    QFile err;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) ||
        !err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
                  QFileDevice::DontCloseHandle))
        return PickCommand::Failed;
    const int status = PickCommand::run(arguments, out, err, isatty(STDERR_FILENO) == 1);
    out.flush();
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    ProcessMemory::returnLargeBlocksAtOnce();
    // Decided before any application object exists: the window's (QApplication) needs a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (PickCommand::isCommandLine(arguments))
        return runCommandLine(argc, argv, arguments);

    QApplication app(argc, argv);
    // What is left after Qt's own options: at most the data file to open.
    const QStringList files = QCoreApplication::arguments().mid(1);
    if (files.size() > 1) {
        std::fprintf(stderr, "vornel: one data file at a time\n%s",
                     qUtf8Printable(PickCommand::usageText()));
        return PickCommand::UsageError;
    }
    // The per-user configuration folder (~/.config/vornel) and the desktop entry (vornel.desktop)
    // are named after the program, however it was started.
    QCoreApplication::setApplicationName(QStringLiteral("vornel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vornel"));
    QtTranslation::install();

    frmVNLMain window;
    window.show();
    // Right after start-up, as if the file had been chosen in the open dialog.
    if (!files.isEmpty())
        QTimer::singleShot(0, &window,
                           [&window, file = files.first()] { window.myFileOpenGiven(file); });
    int smokeExitCode = 0;
    if (smokeTestRequested())
        runSmokeTest(window, smokeExitCode);
    const int exitCode = app.exec();
    return smokeExitCode != 0 ? smokeExitCode : exitCode;
}
