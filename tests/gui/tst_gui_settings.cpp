// The window position: restored from the settings file at start-up, stored at shut-down.
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "settings/StoredPosition.h"
#include "settings/mdlIniSet.h"

#include <QDir>
#include <QGuiApplication>
#include <QPoint>
#include <QScreen>
#include <QStandardPaths>

namespace {

// A main window whose program folder holds the given settings file (none when ini is null)
// before the window starts.
struct PositionedWindow {
    QTemporaryDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<frmVNLMain> window;

    explicit PositionedWindow(const QByteArray& ini = QByteArray()) {
        AppPaths::setProgramFolder(dir.path());
        if (!ini.isNull()) {
            QFile f(iniPath());
            if (f.open(QIODevice::WriteOnly))
                f.write(ini);
        }
        window = std::make_unique<frmVNLMain>(&platform);
    }
    ~PositionedWindow() {
        window.reset();
        AppPaths::setProgramFolder(QString());
    }
    QString iniPath() const { return dir.filePath(QStringLiteral("vornel.ini")); }
};

} // namespace

class TestGuiSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsFileIsBesideTheProgram();
    void positionRestored_data();
    void positionRestored();
    void unreachablePositionPlacedOnThePrimaryScreen_data();
    void unreachablePositionPlacedOnThePrimaryScreen();
    void positionStoredAtShutDown();
    void missingFileIsCreatedAtShutDown();
    void otherContentKeptAtShutDown();
    void minimisedWindowStoresItsNormalPosition();
    void negativePositionSurvivesARestart();
    void installedProgramKeepsThePositionPerUser();
};

void TestGuiSettings::settingsFileIsBesideTheProgram() {
    PositionedWindow w;
    QCOMPARE(mdlIniSet::IniFilePath(), w.iniPath());
}

void TestGuiSettings::positionRestored_data() {
    QTest::addColumn<QByteArray>("ini"); // null: no file
    QTest::addColumn<bool>("topApplied");
    QTest::addColumn<bool>("leftApplied");
    QTest::addColumn<QPoint>("expected"); // pixels, where applied

    QTest::newRow("missing file") << QByteArray() << false << false << QPoint();
    QTest::newRow("both") << QByteArray("[Vornel Position]\r\nTop=1500\r\nLeft=900\r\n") << true
                          << true << QPoint(60, 100);
    QTest::newRow("left without top")
        << QByteArray("[Vornel Position]\r\nLeft=900\r\n") << false << false << QPoint();
    QTest::newRow("empty top, left present")
        << QByteArray("[Vornel Position]\r\nTop=\r\nLeft=900\r\n") << false << false << QPoint();
    QTest::newRow("top without left")
        << QByteArray("[Vornel Position]\r\nTop=1500\r\n") << true << false << QPoint(-1, 100);
    // 1507.5 twips -> 1508 (the even neighbour) -> 100.53 pixels -> 101;
    // 1522.5 twips -> 1522 -> 101.47 pixels -> 101.
    QTest::newRow("half up to even")
        << QByteArray("[Vornel Position]\r\nTop=1507.5\r\nLeft=1522.5\r\n") << true << true
        << QPoint(101, 101);
    // Partly off the left and top edges, the title bar still within reach.
    QTest::newRow("negative values") << QByteArray("[Vornel Position]\r\nTop=-90\r\nLeft=-900\r\n")
                                     << true << true << QPoint(-60, -6);
    // To the nearest pixel on either side of 0: -443 twips -> -29.53 -> -30, -158 -> -10.53 -> -11.
    QTest::newRow("negative, between pixels")
        << QByteArray("[Vornel Position]\r\nTop=-158\r\nLeft=-443\r\n") << true << true
        << QPoint(-30, -11);
    QTest::newRow("case-insensitive names")
        << QByteArray("[VORNEL POSITION]\r\ntop=1500\r\nleft=900\r\n") << true << true
        << QPoint(60, 100);
    QTest::newRow("not a number") << QByteArray("[Vornel Position]\r\nTop=abc\r\nLeft=900\r\n")
                                  << false << false << QPoint();
}

void TestGuiSettings::positionRestored() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, topApplied);
    QFETCH(bool, leftApplied);
    QFETCH(QPoint, expected);

    // The designed position: that of a window started without a settings file, once shown.
    QPoint designed;
    {
        PositionedWindow reference;
        reference.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(reference.window.get()));
        designed = reference.window->pos();
    }

    PositionedWindow w(ini);
    // Without a stored left edge the window system still places the window sideways: the window
    // has no position of its own before it is shown.
    QCOMPARE(w.window->testAttribute(Qt::WA_Moved), leftApplied);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QCOMPARE(w.window->y(), topApplied ? expected.y() : designed.y());
    QCOMPARE(w.window->x(), leftApplied ? expected.x() : designed.x());
}

void TestGuiSettings::unreachablePositionPlacedOnThePrimaryScreen_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QPoint>("expected"); // pixels, where kept

    auto position = [](const char* top, const char* left) {
        QByteArray ini = QByteArray("[Vornel Position]\r\nTop=") + top + "\r\n";
        if (left)
            ini += QByteArray("Left=") + left + "\r\n";
        return ini;
    };
    // The offscreen screen is 800 x 600 pixels; the window is wider than it.
    QTest::newRow("monitor unplugged") << position("1500", "450000") << false << QPoint();
    QTest::newRow("far below") << position("300000", "900") << false << QPoint();
    QTest::newRow("hostile -60000") << position("-60000", "-60000") << false << QPoint();
    QTest::newRow("title bar above the screen") << position("-450", "900") << false << QPoint();
    QTest::newRow("the ends of 32 bits")
        << position("-2147483648", "2147483647") << false << QPoint();
    QTest::newRow("top alone, far above") << position("-60000", nullptr) << false << QPoint();
    QTest::newRow("partly off the right edge")
        << position("1500", "10500") << true << QPoint(700, 100);
    QTest::newRow("partly off the bottom edge")
        << position("8850", "900") << true << QPoint(60, 590);
}

void TestGuiSettings::unreachablePositionPlacedOnThePrimaryScreen() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, kept);
    QFETCH(QPoint, expected);

    PositionedWindow w(ini);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QPoint at = w.window->pos();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (kept) {
        QCOMPARE(at, expected);
    } else {
        // The title bar on the primary screen: the top-left corner on it, and the whole width
        // of the screen (or of the window) above the screen's bottom.
        QVERIFY2(screen.contains(at), qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
        QVERIFY(at.y() + StoredPosition::TitleBarHeight <= screen.bottom() + 1);
    }
    // What is stored at shut-down is where the window stood, not the value read.
    QVERIFY(w.window->close());
    QCOMPARE(StoredPosition::read(w.iniPath()).top, std::optional<qint32>(at.y() * 15));
    QCOMPARE(StoredPosition::read(w.iniPath()).left, std::optional<qint32>(at.x() * 15));
}

// What follows the position in a settings file written at shut-down by a window of the designed
// size: its size, that it was not maximised, and the condition lists' column widths.
const QByteArray kWindowSection = "[Vornel Window]\r\nWidth=13095\r\nHeight=8310\r\nMaximized=0\r\n"
                                  "Columns=345,6150,345,6150,345,6150,345,6150\r\n";

void TestGuiSettings::positionStoredAtShutDown() {
    PositionedWindow w(QByteArray("[Vornel Position]\r\nTop=0\r\nLeft=0\r\n"));
    w.window->move(150, 90);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QPoint at = w.window->pos();
    QVERIFY(w.window->close());
    QCOMPARE(readAll(w.iniPath()),
             QByteArray("[Vornel Position]\r\nTop=") + QByteArray::number(at.y() * 15) +
                 "\r\nLeft=" + QByteArray::number(at.x() * 15) + "\r\n" + kWindowSection);
}

void TestGuiSettings::missingFileIsCreatedAtShutDown() {
    PositionedWindow w;
    QVERIFY(!QFile::exists(w.iniPath()));
    w.window->move(20, 30);
    QVERIFY(w.window->close());
    QCOMPARE(readAll(w.iniPath()),
             QByteArray("[Vornel Position]\r\nTop=450\r\nLeft=300\r\n") + kWindowSection);
}

void TestGuiSettings::otherContentKeptAtShutDown() {
    const QByteArray before = "; written by hand\r\n"
                              "[Recent]\r\n"
                              "File1=C:\\data\\lotto.csv\r\n"
                              "\r\n"
                              "[vornel position]\r\n"
                              "TOP=15\r\n"
                              "Width=9999\r\n";
    PositionedWindow w(before);
    w.window->show(); // a top edge alone is applied once the window is placed
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QCOMPARE(w.window->pos().y(), 1);
    w.window->move(4, 2);
    QVERIFY(w.window->close());
    const QByteArray after = "; written by hand\r\n"
                             "[Recent]\r\n"
                             "File1=C:\\data\\lotto.csv\r\n"
                             "\r\n"
                             "[vornel position]\r\n"
                             "TOP=30\r\n"
                             "Width=9999\r\n"
                             "Left=60\r\n" +
                             kWindowSection;
    QCOMPARE(readAll(w.iniPath()), after);
}

void TestGuiSettings::minimisedWindowStoresItsNormalPosition() {
    PositionedWindow w;
    w.window->move(200, 120);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QPoint normal = w.window->pos();
    w.window->showMinimized();
    QTRY_VERIFY(w.window->isMinimized());
    QVERIFY(w.window->close());
    QVERIFY(!w.window->isMinimized()); // restored before the position was stored
    QCOMPARE(mdlIniSet::GetIniString(QStringLiteral("Vornel Position"), QStringLiteral("Top"),
                                     w.iniPath()),
             QString::number(normal.y() * 15));
    QCOMPARE(mdlIniSet::GetIniString(QStringLiteral("Vornel Position"), QStringLiteral("Left"),
                                     w.iniPath()),
             QString::number(normal.x() * 15));
}

void TestGuiSettings::negativePositionSurvivesARestart() {
    QTemporaryDir dir;
    ScriptedPlatform platform;
    AppPaths::setProgramFolder(dir.path());
    {
        frmVNLMain first(&platform);
        first.move(-40, -7);
        QVERIFY(first.close());
    }
    {
        frmVNLMain second(&platform);
        QCOMPARE(second.pos(), QPoint(-40, -7));
        QVERIFY(second.close());
    }
    AppPaths::setProgramFolder(QString());
}

void TestGuiSettings::installedProgramKeepsThePositionPerUser() {
    // An installed program's folder is not writable (tests run as root, so the hook says so).
    struct Installed {
        QTemporaryDir program;
        QTemporaryDir configHome;
        Installed() {
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
            AppPaths::setProgramFolder(program.path());
            AppPaths::setProgramFolderReadOnlyForTesting(true);
        }
        ~Installed() {
            AppPaths::setProgramFolderReadOnlyForTesting(false);
            AppPaths::setProgramFolder(QString());
            qunsetenv("XDG_CONFIG_HOME");
        }
    } installed;
    ScriptedPlatform platform;
    const QString ini = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                        QStringLiteral("/vornel.ini");
    QVERIFY(ini.startsWith(installed.configHome.path() + u'/'));
    {
        frmVNLMain first(&platform);
        QCOMPARE(mdlIniSet::IniFilePath(), ini);
        first.move(40, 70);
        QVERIFY(first.close());
    }
    QCOMPARE(readAll(ini),
             QByteArray("[Vornel Position]\r\nTop=1050\r\nLeft=600\r\n") + kWindowSection);
    QVERIFY(QDir(installed.program.path()).isEmpty());
    {
        frmVNLMain second(&platform);
        QCOMPARE(second.pos(), QPoint(40, 70));
        QVERIFY(second.close());
    }
}

QTEST_MAIN(TestGuiSettings)
#include "tst_gui_settings.moc"
