// Where the settings and the hand-over file go: beside a portable program, or in the user's
// configuration folder when the program's folder cannot be written; and that the files made
// per user are private.
#include "SettingsTestSupport.h"
#include "settings/AppPaths.h"
#include "settings/StoredPosition.h"
#include "shell/TransferFile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

class tst_settings_paths : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void paths();
    void dataFolder_data();
    void dataFolder();
    void readOnlyProgramFolderKeepsThePositionPerUser();
    void programFolderWithoutWritePermission();

    void filesOfTheUserArePrivate_data();
    void filesOfTheUserArePrivate();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_ini;
    QString m_configHome; // the per-user configuration folders of this test
};

void tst_settings_paths::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_ini = m_dir->filePath(QStringLiteral("vornel.ini"));
    // Keeps the user's real configuration folder out of the tests.
    m_configHome = m_dir->filePath(QStringLiteral("config home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome));
}

void tst_settings_paths::cleanup() {
    AppPaths::setProgramFolder({});
    AppPaths::setProgramFolderReadOnlyForTesting(false);
    qunsetenv("XDG_CONFIG_HOME");
    m_dir.reset();
}

void tst_settings_paths::paths() {
    AppPaths::setProgramFolder(m_dir->path());
    QCOMPARE(AppPaths::programFolder(), m_dir->path());
    QCOMPARE(AppPaths::settingsFilePath(), m_dir->path() + QStringLiteral("/vornel.ini"));
    QCOMPARE(AppPaths::helpDocumentPath(), m_dir->path() + QStringLiteral("/vornel.txt"));
    QCOMPARE(AppPaths::transferFilePath(), m_dir->path() + QStringLiteral("/zelvo_transfer.txt"));

    AppPaths::setProgramFolder(m_dir->path() + QStringLiteral("/"));
    QCOMPARE(AppPaths::settingsFilePath(), m_dir->path() + QStringLiteral("/vornel.ini"));

    AppPaths::setProgramFolder({});
    QCOMPARE(AppPaths::programFolder(), QCoreApplication::applicationDirPath());
    QCOMPARE(AppPaths::helpDocumentPath(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/vornel.txt"));
}

void tst_settings_paths::dataFolder_data() {
    QTest::addColumn<QString>("programFolder"); // below the test's folder
    QTest::addColumn<bool>("forceReadOnly");
    QTest::addColumn<bool>("perUser"); // whether the files go to the configuration folder

    QTest::newRow("portable copy in a writable folder") << "portable" << false << false;
    QTest::newRow("installed, folder not writable") << "installed" << true << true;
    QTest::newRow("program folder missing") << "gone" << false << true;
}

void tst_settings_paths::dataFolder() {
    QFETCH(QString, programFolder);
    QFETCH(bool, forceReadOnly);
    QFETCH(bool, perUser);

    const QString program = m_dir->filePath(programFolder);
    if (programFolder != u"gone")
        QVERIFY(QDir().mkpath(program));
    AppPaths::setProgramFolder(program);
    AppPaths::setProgramFolderReadOnlyForTesting(forceReadOnly);

    const QString config = m_configHome + u'/' + QCoreApplication::applicationName();
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation), config);
    const QString data = perUser ? config : program;

    QCOMPARE(AppPaths::programFolderWritable(), !perUser);
    QCOMPARE(AppPaths::dataFolder(), data);
    QCOMPARE(AppPaths::settingsFilePath(), data + QStringLiteral("/vornel.ini"));
    QCOMPARE(AppPaths::transferFilePath(), data + QStringLiteral("/zelvo_transfer.txt"));
    // The help document is part of the program, wherever the settings go.
    QCOMPARE(AppPaths::helpDocumentPath(), program + QStringLiteral("/vornel.txt"));
    // The configuration folder is made only when it is used.
    QCOMPARE(QFileInfo(config).isDir(), perUser);
}

void tst_settings_paths::readOnlyProgramFolderKeepsThePositionPerUser() {
    const QString program = m_dir->filePath(QStringLiteral("installed"));
    QVERIFY(QDir().mkpath(program));
    // A settings file that happens to lie beside an installed program is not the user's.
    QVERIFY(writeAll(program + QStringLiteral("/vornel.ini"),
                     QByteArray("[Vornel Position]\r\nTop=1\r\nLeft=2\r\n")));
    AppPaths::setProgramFolder(program);
    AppPaths::setProgramFolderReadOnlyForTesting(true);

    const QString ini = AppPaths::settingsFilePath();
    QVERIFY(!ini.startsWith(program + u'/'));
    QCOMPARE(StoredPosition::read(ini).top, std::optional<qint32>());

    StoredPosition::write(ini, 1500, -900);
    QCOMPARE(readAll(ini), QByteArray("[Vornel Position]\r\nTop=1500\r\nLeft=-900\r\n"));
    // The next start finds the same file again.
    const StoredPosition::Position p = StoredPosition::read(AppPaths::settingsFilePath());
    QCOMPARE(p.top, std::optional<qint32>(1500));
    QCOMPARE(p.left, std::optional<qint32>(-900));
    QCOMPARE(readAll(program + QStringLiteral("/vornel.ini")),
             QByteArray("[Vornel Position]\r\nTop=1\r\nLeft=2\r\n"));
}

void tst_settings_paths::programFolderWithoutWritePermission() {
    if (::geteuid() == 0)
        QSKIP("permissions do not stop root; the read-only case is covered by the test hook");
    const QString program = m_dir->filePath(QStringLiteral("read-only"));
    QVERIFY(QDir().mkpath(program));
    QFile folder(program);
    QVERIFY(folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    AppPaths::setProgramFolder(program);
    const bool writable = AppPaths::programFolderWritable();
    const QString data = AppPaths::dataFolder();
    QVERIFY(folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner));
    QVERIFY(!writable);
    QCOMPARE(data, m_configHome + u'/' + QCoreApplication::applicationName());
}

void tst_settings_paths::filesOfTheUserArePrivate_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("settings folder made per user") << "folder";
    QTest::newRow("new hand-over file") << "new";
    QTest::newRow("hand-over file over a readable one") << "existing";
    QTest::newRow("link planted at the hand-over file") << "link";
}

void tst_settings_paths::filesOfTheUserArePrivate() {
    QFETCH(QString, kind);
    const mode_t oldMask = ::umask(022);
    const auto restoreMask = qScopeGuard([oldMask] { ::umask(oldMask); });
    auto modeOf = [](const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    const QString program = m_dir->filePath(QStringLiteral("installed"));
    QVERIFY(QDir().mkpath(program));
    AppPaths::setProgramFolder(program);
    AppPaths::setProgramFolderReadOnlyForTesting(kind == u"folder");
    const QString folder = AppPaths::dataFolder();
    const QString path = AppPaths::transferFilePath();
    const QString target = m_dir->filePath(QStringLiteral("elsewhere.txt"));
    const QByteArray row("東京,1");
    auto write = [&] {
        return mdlShare::WriteTransferFile(path, 1, [&row](qint64) { return QByteArrayView(row); });
    };
    if (kind == u"folder") {
        QCOMPARE(folder, m_configHome + u'/' + QCoreApplication::applicationName());
        QCOMPARE(modeOf(folder), mode_t(0700));
    } else if (kind == u"link") {
        QVERIFY(writeAll(target, "old\r\n"));
        QCOMPARE(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()),
            0);
        const mdlShare::TransferFileResult result = write();
        QVERIFY(!result.ok());
        QVERIFY(result.message().contains(QStringLiteral("通常のファイルではありません。")));
        QCOMPARE(readAll(target), QByteArray("old\r\n"));
        QCOMPARE(whatIsAt(path), QStringLiteral("other")); // still the link
    } else {
        if (kind == u"existing") {
            QVERIFY(writeAll(path, "old\r\n"));
            QCOMPARE(modeOf(path), mode_t(0644));
        }
        QVERIFY(write().ok());
        QCOMPARE(readAll(path), row + "\r\n");
        QCOMPARE(modeOf(path), mode_t(0600));
    }
}

QTEST_GUILESS_MAIN(tst_settings_paths)
#include "tst_settings_paths.moc"
