// The settings file (a profile-style INI in code page 932): reading and writing keys, the
// reasons a write gives when it fails, and files that are refused as settings files.
#include "FileSizeLimit.h"
#include "SettingsTestSupport.h"
#include "base/WholeFile.h"
#include "settings/AppPaths.h"
#include "settings/SortOrderSetting.h"
#include "settings/StoredPosition.h"
#include "settings/mdlIniSet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Section = QStringLiteral("Vornel Position");

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

} // namespace

class tst_settings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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

    void refusedSettingsFile_data();
    void refusedSettingsFile();
    void manyLinesReadAndWrittenInOnePass();

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

QTEST_GUILESS_MAIN(tst_settings)
#include "tst_settings.moc"
