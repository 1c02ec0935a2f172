// The list of recently opened data files: newest first, each file once, eight at most, and as
// stored in the settings file.
#include "settings/AppPaths.h"
#include "settings/RecentFiles.h"
#include "settings/mdlIniSet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class tst_settings_recent_files : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recentFiles_data();
    void recentFiles();
    void recentFilesStored();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_ini;
    QString m_configHome; // the per-user configuration folders of this test
};

void tst_settings_recent_files::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_ini = m_dir->filePath(QStringLiteral("vornel.ini"));
    // Keeps the user's real configuration folder out of the tests.
    m_configHome = m_dir->filePath(QStringLiteral("config home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome));
}

void tst_settings_recent_files::cleanup() {
    AppPaths::setProgramFolder({});
    AppPaths::setProgramFolderReadOnlyForTesting(false);
    qunsetenv("XDG_CONFIG_HOME");
    m_dir.reset();
}

void tst_settings_recent_files::recentFiles_data() {
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

void tst_settings_recent_files::recentFiles() {
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

void tst_settings_recent_files::recentFilesStored() {
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

QTEST_GUILESS_MAIN(tst_settings_recent_files)
#include "tst_settings_recent_files.moc"
