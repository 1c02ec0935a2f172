// The main window's stored place and size: the position read from and written to the settings
// file, whether a stored position still shows the title bar, and the stored size, state and
// column widths.
#include "SettingsTestSupport.h"
#include "settings/AppPaths.h"
#include "settings/StoredPosition.h"
#include "settings/StoredWindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<qint32>)
Q_DECLARE_METATYPE(QList<QRect>)

class tst_settings_window : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void parseValue_data();
    void parseValue();

    void storedPosition_data();
    void storedPosition();
    void storedPositionRoundTrip();

    void titleBarVisible_data();
    void titleBarVisible();

    void storedWindow_data();
    void storedWindow();
    void storedWindowFitted_data();
    void storedWindowFitted();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_ini;
    QString m_configHome; // the per-user configuration folders of this test
};

void tst_settings_window::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_ini = m_dir->filePath(QStringLiteral("vornel.ini"));
    // Keeps the user's real configuration folder out of the tests.
    m_configHome = m_dir->filePath(QStringLiteral("config home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome));
}

void tst_settings_window::cleanup() {
    AppPaths::setProgramFolder({});
    AppPaths::setProgramFolderReadOnlyForTesting(false);
    qunsetenv("XDG_CONFIG_HOME");
    m_dir.reset();
}

void tst_settings_window::parseValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint32>>("expected");

    using V = std::optional<qint32>;
    QTest::newRow("whole") << "1500" << V(1500);
    QTest::newRow("zero") << "0" << V(0);
    QTest::newRow("negative") << "-300" << V(-300);
    QTest::newRow("plus sign") << "+45" << V(45);
    QTest::newRow("half down to even") << "1500.5" << V(1500);
    QTest::newRow("half up to even") << "1501.5" << V(1502);
    QTest::newRow("below half") << "1500.49" << V(1500);
    QTest::newRow("above half") << "1500.51" << V(1501);
    QTest::newRow("negative half to even") << "-1500.5" << V(-1500);
    QTest::newRow("negative half up") << "-1501.5" << V(-1502);
    QTest::newRow("half of zero") << "0.5" << V(0);
    QTest::newRow("point only fraction") << ".7" << V(1);
    QTest::newRow("trailing point") << "12." << V(12);
    QTest::newRow("exponent") << "1.5E3" << V(1500);
    QTest::newRow("largest") << "2147483647" << V(2147483647);
    QTest::newRow("smallest") << "-2147483648" << V(-2147483647 - 1);
    QTest::newRow("too large") << "2147483648" << V();
    QTest::newRow("rounds past the largest") << "2147483647.5" << V();
    QTest::newRow("too small") << "-2147483649" << V();
    QTest::newRow("huge exponent") << "1e400" << V();
    QTest::newRow("empty") << "" << V();
    QTest::newRow("blank") << "   " << V();
    QTest::newRow("letters") << "abc" << V();
    QTest::newRow("number then letters") << "12px" << V();
    QTest::newRow("comma") << "1,500" << V();
    QTest::newRow("hex") << "0x10" << V();
    QTest::newRow("infinity") << "inf" << V();
    QTest::newRow("not a number") << "nan" << V();
    QTest::newRow("sign only") << "-" << V();
}

void tst_settings_window::parseValue() {
    QFETCH(QString, text);
    QFETCH(std::optional<qint32>, expected);
    QCOMPARE(StoredPosition::parseValue(text), expected);
}

void tst_settings_window::storedPosition_data() {
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    QTest::addColumn<std::optional<qint32>>("top");
    QTest::addColumn<std::optional<qint32>>("left");

    using V = std::optional<qint32>;
    QTest::newRow("missing file") << QByteArray() << V() << V();
    QTest::newRow("both") << QByteArray("[Vornel Position]\r\nTop=1500\r\nLeft=900\r\n") << V(1500)
                          << V(900);
    QTest::newRow("left without top")
        << QByteArray("[Vornel Position]\r\nLeft=900\r\n") << V() << V();
    QTest::newRow("top without left")
        << QByteArray("[Vornel Position]\r\nTop=1500\r\n") << V(1500) << V();
    QTest::newRow("empty top ignores left")
        << QByteArray("[Vornel Position]\r\nTop=\r\nLeft=900\r\n") << V() << V();
    QTest::newRow("unusable top ignores left")
        << QByteArray("[Vornel Position]\r\nTop=high\r\nLeft=900\r\n") << V() << V();
    QTest::newRow("unusable left")
        << QByteArray("[Vornel Position]\r\nTop=10\r\nLeft=wide\r\n") << V(10) << V();
    QTest::newRow("rounding") << QByteArray("[Vornel Position]\r\nTop=1500.5\r\nLeft=1501.5\r\n")
                              << V(1500) << V(1502);
    QTest::newRow("negative values")
        << QByteArray("[Vornel Position]\r\nTop=-450\r\nLeft=-9000\r\n") << V(-450) << V(-9000);
    QTest::newRow("other section only")
        << QByteArray("[Other]\r\nTop=1\r\nLeft=2\r\n") << V() << V();
}

void tst_settings_window::storedPosition() {
    QFETCH(QByteArray, file);
    QFETCH(std::optional<qint32>, top);
    QFETCH(std::optional<qint32>, left);
    if (!file.isEmpty())
        QVERIFY(writeAll(m_ini, file));
    const StoredPosition::Position p = StoredPosition::read(m_ini);
    QCOMPARE(p.top, top);
    QCOMPARE(p.left, left);
}

void tst_settings_window::storedPositionRoundTrip() {
    StoredPosition::write(m_ini, -450, 1200);
    QCOMPARE(readAll(m_ini), QByteArray("[Vornel Position]\r\nTop=-450\r\nLeft=1200\r\n"));
    const StoredPosition::Position p = StoredPosition::read(m_ini);
    QCOMPARE(p.top, std::optional<qint32>(-450));
    QCOMPARE(p.left, std::optional<qint32>(1200));
}

void tst_settings_window::titleBarVisible_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<bool>("visible");

    const QRect primary(0, 0, 1920, 1040);
    const QRect second(1920, 0, 1280, 984);
    const QList<QRect> one{primary};
    const QList<QRect> two{primary, second};
    const QSize size(873, 554);

    QTest::newRow("on the screen") << QRect(QPoint(60, 100), size) << one << true;
    QTest::newRow("partly off the left and top") << QRect(QPoint(-400, -7), size) << one << true;
    QTest::newRow("title bar 8 pixels down") << QRect(QPoint(0, -16), size) << one << true;
    QTest::newRow("title bar 7 pixels down") << QRect(QPoint(0, -17), size) << one << false;
    QTest::newRow("title bar above the screen") << QRect(QPoint(0, -30), size) << one << false;
    QTest::newRow("40 pixels at the right edge") << QRect(QPoint(1880, 50), size) << one << true;
    QTest::newRow("39 pixels at the right edge") << QRect(QPoint(1881, 50), size) << one << false;
    QTest::newRow("8 pixels at the bottom") << QRect(QPoint(0, 1032), size) << one << true;
    QTest::newRow("below the screen") << QRect(QPoint(0, 1040), size) << one << false;
    QTest::newRow("on the second monitor") << QRect(QPoint(2400, 300), size) << two << true;
    QTest::newRow("second monitor unplugged") << QRect(QPoint(2400, 300), size) << one << false;
    QTest::newRow("across both monitors") << QRect(QPoint(1500, 10), size) << two << true;
    QTest::newRow("hostile -60000 twips") << QRect(QPoint(-4000, -4000), size) << two << false;
    // The farthest a stored 32-bit twips value reaches, in pixels.
    QTest::newRow("the ends of 32-bit twips")
        << QRect(QPoint(143'165'576, -143'165'577), size) << two << false;
    QTest::newRow("no screen") << QRect(QPoint(0, 0), size) << QList<QRect>() << false;
}

void tst_settings_window::titleBarVisible() {
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, screens);
    QFETCH(bool, visible);
    QCOMPARE(StoredPosition::titleBarVisible(frame, screens), visible);
    if (visible || screens.isEmpty())
        return;
    // Where such a window goes instead: its title bar on the first screen.
    const QPoint placed = StoredPosition::placeOn(frame.size(), screens.first());
    QVERIFY(StoredPosition::titleBarVisible(QRect(placed, frame.size()), {screens.first()}));
    QVERIFY(screens.first().contains(placed));
}

void tst_settings_window::storedWindow_data() {
    // The section's lines as written by hand; what is read from them.
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QSize>("size"); // invalid: none
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<QString>("columns");
    QTest::newRow("nothing") << "" << QSize() << false << "";
    QTest::newRow("all") << "Width=15000\nHeight=9000.5\nMaximized=1\nColumns=350, 6150,0"
                         << QSize(15000, 9000) << true << "350 6150 0";
    QTest::newRow("width alone") << "Width=15000" << QSize() << false << "";
    QTest::newRow("not a number") << "Width=wide\nHeight=9000" << QSize() << false << "";
    QTest::newRow("negative") << "Width=-15000\nHeight=9000" << QSize() << false << "";
    QTest::newRow("maximised only as 1") << "Maximized=yes" << QSize() << false << "";
    QTest::newRow("a bad width spoils the columns")
        << "Columns=350,x,6150" << QSize() << false << "";
    QTest::newRow("a negative width too") << "Columns=350,-1" << QSize() << false << "";
}

void tst_settings_window::storedWindow() {
    QFETCH(QString, lines);
    QFETCH(QSize, size);
    QFETCH(bool, maximized);
    QFETCH(QString, columns);
    QVERIFY(writeAll(m_ini, cp932(QStringLiteral("[Vornel Window]\n") + lines + u'\n')));
    const StoredWindow::Window read = StoredWindow::read(m_ini);
    QCOMPARE(read.size.value_or(QSize()), size);
    QCOMPARE(read.maximized, maximized);
    QStringList widths;
    for (int w : read.columns)
        widths << QString::number(w);
    QCOMPARE(widths.join(u' '), columns);
    // What is read is written back as it was read.
    QFile::remove(m_ini);
    QCOMPARE(StoredWindow::write(m_ini, read), QString());
    const StoredWindow::Window again = StoredWindow::read(m_ini);
    QCOMPARE(again.size, read.size);
    QCOMPARE(again.maximized, read.maximized);
    QCOMPARE(again.columns, read.columns);
}

void tst_settings_window::storedWindowFitted_data() {
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("fitted");
    // The designed size 873 x 554 on a screen of 1280 x 1000.
    QTest::newRow("as stored") << QSize(1000, 700) << QSize(1000, 700);
    QTest::newRow("smaller than designed") << QSize(500, 300) << QSize(873, 554);
    QTest::newRow("larger than the screen") << QSize(3000, 2000) << QSize(1280, 1000);
    QTest::newRow("one edge each way") << QSize(100, 2000) << QSize(873, 1000);
}

void tst_settings_window::storedWindowFitted() {
    QFETCH(QSize, stored);
    QFETCH(QSize, fitted);
    QCOMPARE(StoredWindow::fitted(stored, QSize(873, 554), QSize(1280, 1000)), fitted);
    // A screen smaller than the designed window: the designed size still.
    QCOMPARE(StoredWindow::fitted(stored, QSize(873, 554), QSize(800, 500)),
             stored.expandedTo(QSize(873, 554)).boundedTo(QSize(873, 554)));
}

QTEST_GUILESS_MAIN(tst_settings_window)
#include "tst_settings_window.moc"
