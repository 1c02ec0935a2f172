#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "base/Cp932.h"
#include "base/WholeFile.h"
#include "settings/AppPaths.h"
#include "settings/RecentFiles.h"
#include "settings/SortOrderSetting.h"
#include "settings/StoredPosition.h"
#include "settings/StoredWindow.h"
#include "settings/mdlIniSet.h"
#include "shell/TransferFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(std::optional<qint32>)
Q_DECLARE_METATYPE(QList<QRect>)

// What stands where a failed write was aimed.
enum class WriteTarget { ExistingFile, Folder, MissingFolder, Device, Pipe };
Q_DECLARE_METATYPE(WriteTarget)
// How a write as a user went.
enum class UserWrite { Written, InPlaceOnly, Failed };
Q_DECLARE_METATYPE(UserWrite)

namespace {

const QString Section = QStringLiteral("Vornel Position");

QByteArray cp932(const QString& text) {
    const Cp932::EncodeResult r = Cp932::encode(text);
    return r.bytes;
}

// Writes bytes to path through WholeFile as a user without special rights: as root (whom
// permissions stop nothing) in a child process that has given its rights up.
UserWrite writeAsUser(const QString& path, const QByteArray& bytes, bool allowInPlace) {
    auto write = [&] {
        WholeFile file(path);
        if (allowInPlace)
            file.allowInPlace();
        if (file.open() && file.write(bytes) && file.commit())
            return UserWrite::Written;
        return file.inPlaceOnly() ? UserWrite::InPlaceOnly : UserWrite::Failed;
    };
    if (::geteuid() != 0)
        return write();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped ? int(write()) : int(UserWrite::Failed));
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        return UserWrite(WEXITSTATUS(status));
    return UserWrite::Failed;
}

// Runs what in a child process and tells whether it returned true there. A child still busy
// after a minute (blocked on a pipe, reading a device without end) is ended and counts as false.
bool inChild(const std::function<bool()>& what) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(60);
        ::_exit(what() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// What is at path, with a file's bytes and a folder's entries: equal before and after when
// nothing there changed.
QString whatIsAt(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISREG(st.st_mode))
        return QStringLiteral("file ") + QString::fromLatin1(readAll(path).toHex());
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder ") +
               QDir(path)
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                   .join(u',');
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("device");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("pipe");
    return QStringLiteral("other");
}

} // namespace

class tst_settings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void paths();
    void dataFolder_data();
    void dataFolder();
    void readOnlyProgramFolderKeepsThePositionPerUser();
    void programFolderWithoutWritePermission();

    void readMissingFile();
    void read_data();
    void read();
    void readCutsLongValues_data();
    void readCutsLongValues();
    void sortOrder_data();
    void sortOrder();

    void writeCreatesFile();
    void write_data();
    void write();
    void writeIntoMissingFolderIsSilent();
    void writeKeepsUnreadableFile();
    void writeFailureGivesItsReason_data();
    void writeFailureGivesItsReason();

    void parseValue_data();
    void parseValue();

    void storedPosition_data();
    void storedPosition();
    void storedPositionRoundTrip();

    void wholeFileFailureKeepsWhatWasThere_data();
    void wholeFileFailureKeepsWhatWasThere();
    void wholeFileInAClosedFolder_data();
    void wholeFileInAClosedFolder();
    void wholeFileReasonInJapanese_data();
    void wholeFileReasonInJapanese();

    void titleBarVisible_data();
    void titleBarVisible();
    void refusedSettingsFile_data();
    void refusedSettingsFile();
    void manyLinesReadAndWrittenInOnePass();
    void filesOfTheUserArePrivate_data();
    void filesOfTheUserArePrivate();

    void recentFiles_data();
    void recentFiles();
    void recentFilesStored();
    void storedWindow_data();
    void storedWindow();
    void storedWindowFitted_data();
    void storedWindowFitted();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_ini;
    QString m_configHome; // the per-user configuration folders of this test
};

void tst_settings::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_ini = m_dir->filePath(QStringLiteral("vornel.ini"));
    // Keeps the user's real configuration folder out of the tests.
    m_configHome = m_dir->filePath(QStringLiteral("config home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome));
}

void tst_settings::cleanup() {
    AppPaths::setProgramFolder({});
    AppPaths::setProgramFolderReadOnlyForTesting(false);
    qunsetenv("XDG_CONFIG_HOME");
    m_dir.reset();
}

void tst_settings::paths() {
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

void tst_settings::dataFolder_data() {
    QTest::addColumn<QString>("programFolder"); // below the test's folder
    QTest::addColumn<bool>("forceReadOnly");
    QTest::addColumn<bool>("perUser"); // whether the files go to the configuration folder

    QTest::newRow("portable copy in a writable folder") << "portable" << false << false;
    QTest::newRow("installed, folder not writable") << "installed" << true << true;
    QTest::newRow("program folder missing") << "gone" << false << true;
}

void tst_settings::dataFolder() {
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

void tst_settings::readOnlyProgramFolderKeepsThePositionPerUser() {
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

void tst_settings::programFolderWithoutWritePermission() {
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

void tst_settings::readMissingFile() {
    QCOMPARE(mdlIniSet::GetIniString(Section, QStringLiteral("Top"), m_ini), QString());
    QVERIFY(!QFile::exists(m_ini));
}

void tst_settings::read_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const QString& file, const QString& section, const QString& key,
                  const QString& expected) {
        QTest::newRow(name) << file << section << key << expected;
    };

    const QString f = QStringLiteral("[Vornel Position]\r\nTop=1500\r\nLeft=900\r\n");
    row("top", f, Section, "Top", "1500");
    row("left", f, Section, "Left", "900");
    row("section case", f, "VORNEL position", "Top", "1500");
    row("key case", f, Section, "tOP", "1500");
    row("missing key", f, Section, "Width", QString());
    row("missing section", f, "Other", "Top", QString());
    row("key of another section",
        QStringLiteral("[Other]\r\nTop=1\r\n[Vornel Position]\r\nLeft=2\r\n"), Section, "Top",
        QString());
    row("key before any section", QStringLiteral("Top=1\r\n[Vornel Position]\r\n"), Section, "Top",
        QString());
    row("blanks around names and value",
        QStringLiteral("  [ Vornel Position ]  \r\n  Top  =  1500  \r\n"), Section, "Top", "1500");
    row("blanks inside value kept", QStringLiteral("[Vornel Position]\r\nTop=15 00\r\n"), Section,
        "Top", "15 00");
    row("double quotes", QStringLiteral("[Vornel Position]\r\nTop=\"1500\"\r\n"), Section, "Top",
        "1500");
    row("single quotes", QStringLiteral("[Vornel Position]\r\nTop='1500'\r\n"), Section, "Top",
        "1500");
    row("unmatched quote kept", QStringLiteral("[Vornel Position]\r\nTop=\"1500\r\n"), Section,
        "Top", "\"1500");
    row("first of two keys", QStringLiteral("[Vornel Position]\r\nTop=1\r\nTOP=2\r\n"), Section,
        "Top", "1");
    row("first of two sections",
        QStringLiteral("[Vornel Position]\r\nLeft=1\r\n[vornel position]\r\nTop=2\r\n"), Section,
        "Top", QString());
    row("LF line ends", QStringLiteral("[Vornel Position]\nTop=1500\nLeft=900"), Section, "Left",
        "900");
    row("comment is not a key", QStringLiteral("[Vornel Position]\r\n;Top=1\r\nTop=2\r\n"), Section,
        "Top", "2");
    row("empty value", QStringLiteral("[Vornel Position]\r\nTop=\r\nLeft=3\r\n"), Section, "Top",
        QString());
    row("value with equals sign", QStringLiteral("[Vornel Position]\r\nTop=a=b\r\n"), Section,
        "Top", "a=b");
    row("japanese names and value", QStringLiteral("[設定]\r\n位置=左ソ表]\r\n"),
        QStringLiteral("設定"), QStringLiteral("位置"), QStringLiteral("左ソ表]"));
    // "ゾ" is 0x83 0x5D in code page 932: its second byte is "]".
    row("section name with a ']' trail byte", QStringLiteral("[ゾ]\r\nTop=7\r\n"),
        QStringLiteral("ゾ"), "Top", "7");
}

void tst_settings::read() {
    QFETCH(QString, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QVERIFY(writeAll(m_ini, cp932(file)));
    QCOMPARE(mdlIniSet::GetIniString(section, key, m_ini), expected);
}

void tst_settings::sortOrder_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("japanese");
    QTest::newRow("no file") << QString() << false;
    QTest::newRow("japanese") << "[Vornel Options]\r\nSortOrder=japanese\r\n" << true;
    QTest::newRow("case and spaces do not matter")
        << "[vornel options]\r\nsortorder = Japanese \r\n"
        << true;
    QTest::newRow("code") << "[Vornel Options]\r\nSortOrder=code\r\n" << false;
    QTest::newRow("unknown value: code order") << "[Vornel Options]\r\nSortOrder=jis\r\n" << false;
    QTest::newRow("other section") << "[Other]\r\nSortOrder=japanese\r\n" << false;
}

void tst_settings::sortOrder() {
    QFETCH(QString, file);
    QFETCH(bool, japanese);
    if (!file.isNull())
        QVERIFY(writeAll(m_ini, cp932(file)));
    QCOMPARE(SortOrderSetting::readJapanese(m_ini), japanese);
    // Written and read back, either way; the other lines stay.
    for (const bool value : {!japanese, japanese}) {
        SortOrderSetting::write(m_ini, value);
        QCOMPARE(SortOrderSetting::readJapanese(m_ini), value);
    }
    QCOMPARE(mdlIniSet::GetIniString(QStringLiteral("Vornel Options"), QStringLiteral("SortOrder"),
                                     m_ini),
             japanese ? QStringLiteral("japanese") : QStringLiteral("code"));
    if (file.contains(u"[Other]"))
        QCOMPARE(
            mdlIniSet::GetIniString(QStringLiteral("Other"), QStringLiteral("SortOrder"), m_ini),
            QStringLiteral("japanese"));
}

void tst_settings::readCutsLongValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("255 bytes kept") << QString(255, u'7') << QString(255, u'7');
    QTest::newRow("300 bytes cut to 255") << QString(300, u'7') << QString(255, u'7');
    // 127 two-byte characters fill 254 bytes; the 128th would need bytes 255 and 256.
    QTest::newRow("two-byte characters never split")
        << QString(200, QChar(u'表')) << QString(127, QChar(u'表'));
    QTest::newRow("one-byte then two-byte") << QString(1, u'a') + QString(200, QChar(u'表'))
                                            << QString(1, u'a') + QString(127, QChar(u'表'));
    // No value of the program's is that long: a longer one is not looked at.
    QTest::newRow("64 KiB cut to 255")
        << QString(mdlIniSet::MaxStoredValueBytes, u'7') << QString(255, u'7');
    QTest::newRow("over 64 KiB ignored")
        << QString(mdlIniSet::MaxStoredValueBytes + 1, u'7') << QString();
    QTest::newRow("over 64 KiB in two-byte characters ignored")
        << QString(mdlIniSet::MaxStoredValueBytes / 2 + 1, QChar(u'表')) << QString();
}

void tst_settings::readCutsLongValues() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QVERIFY(writeAll(m_ini, cp932(QStringLiteral("[Vornel Position]\r\nTop=") + value +
                                  QStringLiteral("\r\n"))));
    const QString got = mdlIniSet::GetIniString(Section, QStringLiteral("Top"), m_ini);
    QCOMPARE(got, expected);
    QVERIFY(cp932(got).size() <= mdlIniSet::MaxValueBytes);
}

void tst_settings::writeCreatesFile() {
    mdlIniSet::SetIniString(Section, QStringLiteral("Top"), QStringLiteral("1500"), m_ini);
    QCOMPARE(readAll(m_ini), QByteArray("[Vornel Position]\r\nTop=1500\r\n"));
    mdlIniSet::SetIniString(Section, QStringLiteral("Left"), QStringLiteral("900"), m_ini);
    QCOMPARE(readAll(m_ini), QByteArray("[Vornel Position]\r\nTop=1500\r\nLeft=900\r\n"));
    mdlIniSet::SetIniString(Section, QStringLiteral("Top"), QStringLiteral("-30"), m_ini);
    QCOMPARE(readAll(m_ini), QByteArray("[Vornel Position]\r\nTop=-30\r\nLeft=900\r\n"));
    QCOMPARE(mdlIniSet::GetIniString(Section, QStringLiteral("Top"), m_ini), QStringLiteral("-30"));
}

void tst_settings::write_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    auto row = [](const char* name, const QByteArray& before, const QString& section,
                  const QString& key, const QString& value, const QByteArray& after) {
        QTest::newRow(name) << before << section << key << value << after;
    };

    const QByteArray others = "; settings of the other tools\r\n"
                              "[Colours]\r\n"
                              "Back=white\r\n"
                              "\r\n"
                              "[Vornel Position]\r\n"
                              "; where the window was\r\n"
                              "Top=1\r\n"
                              "Width=77\r\n"
                              "\r\n"
                              "[Recent]\r\n"
                              "File1=C:\\data\\a.csv\r\n";
    QByteArray replaced = others;
    replaced.replace("Top=1\r\n", "Top=1500\r\n");
    row("other sections, keys and comments kept", others, Section, "Top", "1500", replaced);

    QByteArray added = others;
    added.replace("Width=77\r\n", "Width=77\r\nLeft=900\r\n");
    row("new key at the end of its section, before the blank line", others, Section, "Left", "900",
        added);

    row("case-insensitive names keep the file's spelling",
        QByteArray("[vornel POSITION]\r\ntop=1\r\n"), Section, "TOP", "2",
        QByteArray("[vornel POSITION]\r\ntop=2\r\n"));

    row("blanks before the equals sign kept",
        QByteArray("[Vornel Position]\r\n  Top  = 1 \r\nLeft=3\r\n"), Section, "Top", "2",
        QByteArray("[Vornel Position]\r\n  Top  =2\r\nLeft=3\r\n"));

    row("only the first matching key changes",
        QByteArray("[Vornel Position]\r\nTop=1\r\nTop=2\r\n"), Section, "Top", "3",
        QByteArray("[Vornel Position]\r\nTop=3\r\nTop=2\r\n"));

    row("new section appended", QByteArray("[Colours]\r\nBack=white\r\n"), Section, "Top", "5",
        QByteArray("[Colours]\r\nBack=white\r\n[Vornel Position]\r\nTop=5\r\n"));

    row("file without a final line end", QByteArray("[Colours]\r\nBack=white"), Section, "Top", "5",
        QByteArray("[Colours]\r\nBack=white\r\n[Vornel Position]\r\nTop=5\r\n"));

    row("key added to a last section without a final line end",
        QByteArray("[Vornel Position]\r\nTop=1"), Section, "Left", "5",
        QByteArray("[Vornel Position]\r\nTop=1\r\nLeft=5\r\n"));

    row("LF line ends of other lines kept", QByteArray("[A]\nx=1\n[Vornel Position]\nTop=1\n"),
        Section, "Top", "2", QByteArray("[A]\nx=1\n[Vornel Position]\nTop=2\n"));

    // Bytes that are not valid code page 932 in other lines survive unchanged.
    row("undecodable bytes elsewhere kept",
        QByteArray("[A]\r\nx=\x80\xff\xa0\r\n[Vornel Position]\r\nTop=1\r\n"), Section, "Top", "2",
        QByteArray("[A]\r\nx=\x80\xff\xa0\r\n[Vornel Position]\r\nTop=2\r\n"));

    row("japanese value written in code page 932", QByteArray(), QStringLiteral("設定"), "Key",
        QStringLiteral("表示"), QByteArray("[\x90\xdd\x92\xe8]\r\nKey=\x95\x5c\x8e\xa6\r\n"));
}

void tst_settings::write() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        QVERIFY(writeAll(m_ini, before));
    mdlIniSet::SetIniString(section, key, value, m_ini);
    QCOMPARE(readAll(m_ini), after);
    QCOMPARE(mdlIniSet::GetIniString(section, key, m_ini), value);
}

void tst_settings::writeIntoMissingFolderIsSilent() {
    const QString path = m_dir->filePath(QStringLiteral("no such folder/vornel.ini"));
    mdlIniSet::SetIniString(Section, QStringLiteral("Top"), QStringLiteral("1"), path);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(mdlIniSet::GetIniString(Section, QStringLiteral("Top"), path), QString());
}

void tst_settings::writeFailureGivesItsReason_data() {
    QTest::addColumn<bool>("inMissingFolder");
    QTest::addColumn<int>("limit"); // the disk is full after this many bytes (0: no limit)
    QTest::addColumn<QString>("reason");
    QTest::newRow("written") << false << 0 << QString();
    QTest::newRow("a missing folder") << true << 0 << japaneseFileError(qt_error_string(ENOENT));
    QTest::newRow("the disk full part-way")
        << false << 8 << japaneseFileError(qt_error_string(EFBIG));
}

// The settings file's write says why it failed, in Japanese; the old file stays.
void tst_settings::writeFailureGivesItsReason() {
    QFETCH(bool, inMissingFolder);
    QFETCH(int, limit);
    QFETCH(QString, reason);
    const QString path =
        inMissingFolder ? m_dir->filePath(QStringLiteral("no such folder/vornel.ini")) : m_ini;
    const QByteArray before = "[Vornel Position]\r\nTop=1\r\n";
    if (!inMissingFolder)
        QVERIFY(writeAll(path, before));
    QString got;
    {
        std::optional<FileSizeLimit> full;
        if (limit > 0) {
            full.emplace(rlim_t(limit));
            QVERIFY(full->active());
        }
        got = mdlIniSet::SetIniString(Section, QStringLiteral("Left"), QStringLiteral("900"), path);
    }
    QCOMPARE(got, reason);
    if (!reason.isEmpty() && !inMissingFolder)
        QCOMPARE(readAll(path), before);
}

void tst_settings::writeKeepsUnreadableFile() {
    // A folder in the file's place cannot be read as a settings file; it must not be replaced.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("vornel.ini")));
    mdlIniSet::SetIniString(Section, QStringLiteral("Top"), QStringLiteral("1"), m_ini);
    QVERIFY(QFileInfo(m_ini).isDir());
}

void tst_settings::parseValue_data() {
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

void tst_settings::parseValue() {
    QFETCH(QString, text);
    QFETCH(std::optional<qint32>, expected);
    QCOMPARE(StoredPosition::parseValue(text), expected);
}

void tst_settings::storedPosition_data() {
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

void tst_settings::storedPosition() {
    QFETCH(QByteArray, file);
    QFETCH(std::optional<qint32>, top);
    QFETCH(std::optional<qint32>, left);
    if (!file.isEmpty())
        QVERIFY(writeAll(m_ini, file));
    const StoredPosition::Position p = StoredPosition::read(m_ini);
    QCOMPARE(p.top, top);
    QCOMPARE(p.left, left);
}

void tst_settings::storedPositionRoundTrip() {
    StoredPosition::write(m_ini, -450, 1200);
    QCOMPARE(readAll(m_ini), QByteArray("[Vornel Position]\r\nTop=-450\r\nLeft=1200\r\n"));
    const StoredPosition::Position p = StoredPosition::read(m_ini);
    QCOMPARE(p.top, std::optional<qint32>(-450));
    QCOMPARE(p.left, std::optional<qint32>(1200));
}

void tst_settings::wholeFileFailureKeepsWhatWasThere_data() {
    QTest::addColumn<WriteTarget>("target");
    QTest::addColumn<int>("pieces");    // written one after the other ...
    QTest::addColumn<int>("pieceSize"); // ... of this many bytes each
    QTest::addColumn<int>("limit");     // the disk is full after this many bytes (0: no limit)
    // The reason given: the system's own, in Japanese (empty: any).
    QTest::addColumn<QString>("reason");
    const QString tooBig = japaneseFileError(qt_error_string(EFBIG));
    QTest::newRow("a write fails part-way")
        << WriteTarget::ExistingFile << 64 << 1024 << 1024 << tooBig;
    // The bytes fit the write buffer, so only writing it out at the end fails.
    QTest::newRow("the last buffered bytes fail")
        << WriteTarget::ExistingFile << 1 << 2000 << 1024 << tooBig;
    QTest::newRow("a folder") << WriteTarget::Folder << 1 << 10 << 0 << QString();
    QTest::newRow("a missing folder")
        << WriteTarget::MissingFolder << 1 << 10 << 0 << japaneseFileError(qt_error_string(ENOENT));
    QTest::newRow("a device that is full") << WriteTarget::Device << 1 << 10 << 0 << QString();
    QTest::newRow("a pipe") << WriteTarget::Pipe << 1 << 10 << 0 << QString();
}

// Every file Vornel writes (settings, list files, results, the hand-over file) goes through
// WholeFile: a write that fails leaves what was there as it was, and no temporary file behind.
void tst_settings::wholeFileFailureKeepsWhatWasThere() {
    QFETCH(WriteTarget, target);
    QFETCH(int, pieces);
    QFETCH(int, pieceSize);
    QFETCH(int, limit);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(QStringLiteral("out.csv"));
    switch (target) {
    case WriteTarget::ExistingFile:
        QVERIFY(writeAll(path, "old content\r\n"));
        break;
    case WriteTarget::Folder:
        QVERIFY(QDir().mkdir(path));
        QVERIFY(writeAll(path + QStringLiteral("/inside.txt"), "kept"));
        break;
    case WriteTarget::MissingFolder:
        path = dir.filePath(QStringLiteral("missing/out.csv"));
        break;
    case WriteTarget::Device:
        // A full device of our own where the system lets us make one, else the system's.
        if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            path = QStringLiteral("/dev/full");
        break;
    case WriteTarget::Pipe:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    }
    const QString before = whatIsAt(path);
    const QString folderBefore = whatIsAt(dir.path());

    bool written = false;
    WholeFile file(path);
    {
        std::optional<FileSizeLimit> full;
        if (limit > 0) {
            full.emplace(rlim_t(limit));
            QVERIFY(full->active());
        }
        written = file.open();
        for (int i = 0; written && i < pieces; ++i)
            written = file.write(QByteArray(pieceSize, char('a' + i % 26)));
        if (written)
            written = file.commit();
    }
    QVERIFY(!written);
    QVERIFY(file.error() != QFileDevice::NoError);
    QVERIFY(!file.errorString().isEmpty());
    // The cause, not the giving up that followed it.
    if (!reason.isEmpty())
        QCOMPARE(file.errorString(), reason);
    QCOMPARE(whatIsAt(path), before);
    QCOMPARE(whatIsAt(dir.path()), folderBefore);
}

void tst_settings::wholeFileInAClosedFolder_data() {
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("allowInPlace"); // the caller asked the user, who said yes
    QTest::addColumn<UserWrite>("outcome");
    QTest::addColumn<bool>("inPlace"); // the file written where it is, not replaced
    QTest::newRow("open folder, existing file")
        << true << true << false << UserWrite::Written << false;
    QTest::newRow("open folder, existing file, in place allowed")
        << true << true << true << UserWrite::Written << false;
    QTest::newRow("open folder, new file") << true << false << false << UserWrite::Written << false;
    // Never in place unless allowed: a failure part-way would lose the old file.
    QTest::newRow("closed folder, existing file")
        << false << true << false << UserWrite::InPlaceOnly << false;
    QTest::newRow("closed folder, existing file, in place allowed")
        << false << true << true << UserWrite::Written << true;
    QTest::newRow("closed folder, new file")
        << false << false << false << UserWrite::Failed << false;
    QTest::newRow("closed folder, new file, in place allowed")
        << false << false << true << UserWrite::Failed << false;
}

void tst_settings::wholeFileInAClosedFolder() {
    QFETCH(bool, folderWritable);
    QFETCH(bool, fileExists);
    QFETCH(bool, allowInPlace);
    QFETCH(UserWrite, outcome);
    QFETCH(bool, inPlace);
    const bool written = outcome == UserWrite::Written;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile(dir.path())
                .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                QFile::ReadOther | QFile::ExeOther));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/out.csv");
    const QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                   QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    if (fileExists) {
        QVERIFY(writeAll(path, "old content\r\n"));
        QVERIFY(QFile(path).setPermissions(all));
    }
    const ino_t before = inodeOf(path);
    QVERIFY(QFile(folder).setPermissions(
        folderWritable ? all | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther
                       : QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const UserWrite ok = writeAsUser(path, "new\r\n", allowInPlace);
    QVERIFY(QFile(folder).setPermissions(all | QFile::ExeOwner));
    QCOMPARE(ok, outcome);
    if (written) {
        QCOMPARE(readAll(path), QByteArray("new\r\n"));
        if (fileExists)
            QCOMPARE(inodeOf(path) == before, inPlace);
    } else {
        QCOMPARE(QFile::exists(path), fileExists);
        if (fileExists)
            QCOMPARE(readAll(path), QByteArray("old content\r\n"));
    }
    // No temporary file is left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             written || fileExists ? QStringList{"out.csv"} : QStringList{});
}

void tst_settings::wholeFileReasonInJapanese_data() {
    QTest::addColumn<QString>("target"); // relative to a temporary folder
    QTest::newRow("missing folder") << "missing/out.csv";
    QTest::newRow("a file as a folder") << "file.txt/out.csv";
    QTest::newRow("a folder as the file") << "folder";
    QTest::newRow("a device") << "/dev/null";
}

void tst_settings::wholeFileReasonInJapanese() {
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeAll(dir.filePath("file.txt"), "x"));
    QVERIFY(QDir().mkdir(dir.filePath("folder")));
    WholeFile file(target.startsWith(u'/') ? target : dir.filePath(target));
    QVERIFY(!file.open());
    QVERIFY(file.error() != QFileDevice::NoError);
    const QString reason = file.errorString();
    QVERIFY(!reason.isEmpty());
    // The system's English words are put in Japanese.
    QVERIFY2(!reason.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))),
             qPrintable(reason));
    // The mapping itself, for the common reasons.
    for (int code : {EACCES, ENOENT, ENOSPC, EROFS, EISDIR, EDQUOT, EIO, EFBIG, EPERM}) {
        const QString japanese = japaneseFileError(qt_error_string(code));
        QVERIFY2(!japanese.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))),
                 qPrintable(japanese));
    }
    QCOMPARE(japaneseFileError(qt_error_string(ENOSPC)),
             QStringLiteral("ディスクの空き容量が足りません。"));
}

void tst_settings::titleBarVisible_data() {
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

void tst_settings::titleBarVisible() {
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

void tst_settings::refusedSettingsFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a pipe") << "pipe";
    QTest::newRow("a link to /dev/zero") << "zero";
    QTest::newRow("a link to a file elsewhere") << "link";
    QTest::newRow("a link to nothing") << "dangling";
    QTest::newRow("a file larger than any settings file") << "huge";
}

void tst_settings::refusedSettingsFile() {
    QFETCH(QString, kind);
    const QByteArray ini = QFile::encodeName(m_ini);
    const QString target = m_dir->filePath(QStringLiteral("elsewhere.ini"));
    const QByteArray content("[Vornel Position]\r\nTop=1500\r\nLeft=900\r\n");
    if (kind == u"pipe") {
        QCOMPARE(::mkfifo(ini.constData(), 0600), 0);
    } else if (kind == u"zero") {
        QCOMPARE(::symlink("/dev/zero", ini.constData()), 0);
    } else if (kind == u"link") {
        QVERIFY(writeAll(target, content));
        QCOMPARE(::symlink(QFile::encodeName(target).constData(), ini.constData()), 0);
    } else if (kind == u"dangling") {
        QCOMPARE(::symlink(QFile::encodeName(target).constData(), ini.constData()), 0);
    } else {
        QVERIFY(writeAll(m_ini, content));
        QVERIFY(QFile::resize(m_ini, mdlIniSet::MaxFileBytes + 1)); // sparse: no disk taken
    }
    // What is there (for the large file its size and inode, not its bytes).
    auto state = [&] {
        return kind == u"huge" ? QString::number(QFileInfo(m_ini).size()) + u' ' +
                                     QString::number(inodeOf(m_ini))
                               : whatIsAt(m_ini);
    };
    const QString before = state();
    const QString targetBefore = whatIsAt(target);

    // Read as no settings file, at once; in a child, so that a read that never ends (a pipe
    // without a writer, an endless device) fails the test instead of holding it.
    QVERIFY(inChild([this] {
        return StoredPosition::read(m_ini).top == std::nullopt &&
               mdlIniSet::GetIniString(Section, QStringLiteral("Top"), m_ini).isEmpty();
    }));
    // Nothing written over it, nor through it.
    QVERIFY(inChild([this] {
        StoredPosition::write(m_ini, 30, 60);
        return true;
    }));
    QCOMPARE(state(), before);
    QCOMPARE(whatIsAt(target), targetBefore);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
             kind == u"link" ? 2 : 1);
}

void tst_settings::manyLinesReadAndWrittenInOnePass() {
    // A settings file of two million short lines before the section, the kind a slow start came
    // from: found and changed as a small one is.
    QByteArray file;
    file.reserve(24 * 1024 * 1024);
    for (int i = 0; i < 1'000'000; ++i)
        file += "[S]\r\nkey=value\r\n";
    const QByteArray before = file;
    file += "[vornel position]\r\n  top = 15\r\n";
    QVERIFY(writeAll(m_ini, file));
    QCOMPARE(StoredPosition::read(m_ini).top, std::optional<qint32>(15));
    StoredPosition::write(m_ini, 30, 60);
    QCOMPARE(readAll(m_ini), before + "[vornel position]\r\n  top =30\r\nLeft=60\r\n");
}

void tst_settings::filesOfTheUserArePrivate_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("settings folder made per user") << "folder";
    QTest::newRow("new hand-over file") << "new";
    QTest::newRow("hand-over file over a readable one") << "existing";
    QTest::newRow("link planted at the hand-over file") << "link";
}

void tst_settings::filesOfTheUserArePrivate() {
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

void tst_settings::recentFiles_data() {
    // Steps "+name" (opened) and "-name" (gone), then the list, newest first.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("newest first") << "+a +b +c"
                                  << "c b a";
    QTest::newRow("again: to the top, once") << "+a +b +c +a"
                                             << "a c b";
    QTest::newRow("another spelling of one file") << "+a +b +./a"
                                                  << "a b";
    QTest::newRow("eight at most") << "+1 +2 +3 +4 +5 +6 +7 +8 +9"
                                   << "9 8 7 6 5 4 3 2";
    QTest::newRow("gone") << "+a +b +c -b"
                          << "c a";
    QTest::newRow("gone, not listed") << "+a -z"
                                      << "a";
}

void tst_settings::recentFiles() {
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    const QDir dir(m_dir->path());
    QStringList list;
    for (const QString& step : steps.split(u' ')) {
        const QString path = dir.filePath(step.mid(1));
        QFile(path).open(QIODevice::WriteOnly);
        list = step.startsWith(u'+') ? RecentFiles::withNewest(list, path)
                                     : RecentFiles::without(list, path);
        // What is stored reads back as it was.
        RecentFiles::write(m_ini, list);
        QCOMPARE(RecentFiles::read(m_ini), list);
    }
    QStringList names;
    for (const QString& path : list)
        names << QDir(m_dir->path()).relativeFilePath(path);
    QCOMPARE(names.join(u' '), expected);
}

void tst_settings::recentFilesStored() {
    const QString a = m_dir->filePath(QStringLiteral("東京.csv"));
    const QString korean = m_dir->filePath(QStringLiteral("한국.csv"));
    const QString b = m_dir->filePath(QStringLiteral("b.csv"));
    // A path code page 932 cannot hold is left out, not stored as another.
    RecentFiles::write(m_ini, {a, korean, b});
    QCOMPARE(RecentFiles::read(m_ini), (QStringList{a, b}));
    QCOMPARE(
        mdlIniSet::GetIniString(QStringLiteral("Vornel Recent"), QStringLiteral("File1"), m_ini),
        a);
    QCOMPARE(
        mdlIniSet::GetIniString(QStringLiteral("Vornel Recent"), QStringLiteral("File2"), m_ini),
        b);
    // A shorter list empties the keys past its end.
    RecentFiles::write(m_ini, {b});
    QCOMPARE(RecentFiles::read(m_ini), QStringList{b});
    QCOMPARE(
        mdlIniSet::GetIniString(QStringLiteral("Vornel Recent"), QStringLiteral("File2"), m_ini),
        QString());
    // A file listed twice by hand is read once; empty keys are skipped.
    mdlIniSet::SetIniString(QStringLiteral("Vornel Recent"), QStringLiteral("File4"), b, m_ini);
    mdlIniSet::SetIniString(QStringLiteral("Vornel Recent"), QStringLiteral("File6"), a, m_ini);
    QCOMPARE(RecentFiles::read(m_ini), (QStringList{b, a}));
}

void tst_settings::storedWindow_data() {
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

void tst_settings::storedWindow() {
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

void tst_settings::storedWindowFitted_data() {
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("fitted");
    // The designed size 873 x 554 on a screen of 1280 x 1000.
    QTest::newRow("as stored") << QSize(1000, 700) << QSize(1000, 700);
    QTest::newRow("smaller than designed") << QSize(500, 300) << QSize(873, 554);
    QTest::newRow("larger than the screen") << QSize(3000, 2000) << QSize(1280, 1000);
    QTest::newRow("one edge each way") << QSize(100, 2000) << QSize(873, 1000);
}

void tst_settings::storedWindowFitted() {
    QFETCH(QSize, stored);
    QFETCH(QSize, fitted);
    QCOMPARE(StoredWindow::fitted(stored, QSize(873, 554), QSize(1280, 1000)), fitted);
    // A screen smaller than the designed window: the designed size still.
    QCOMPARE(StoredWindow::fitted(stored, QSize(873, 554), QSize(800, 500)),
             stored.expandedTo(QSize(873, 554)).boundedTo(QSize(873, 554)));
}

QTEST_GUILESS_MAIN(tst_settings)
#include "tst_settings.moc"
