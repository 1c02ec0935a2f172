// WholeFile, which every file Vornel writes goes through: a failed write leaves what was there,
// a closed folder is written in place only when allowed, and the reasons are given in Japanese.
#include "FileSizeLimit.h"
#include "SettingsTestSupport.h"
#include "base/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

// What stands where a failed write was aimed.
enum class WriteTarget { ExistingFile, Folder, MissingFolder, Device, Pipe };
Q_DECLARE_METATYPE(WriteTarget)
// How a write as a user went.
enum class UserWrite { Written, InPlaceOnly, Failed };
Q_DECLARE_METATYPE(UserWrite)

namespace {

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

} // namespace

class tst_settings_whole_file : public QObject {
    Q_OBJECT

private slots:
    void wholeFileFailureKeepsWhatWasThere_data();
    void wholeFileFailureKeepsWhatWasThere();
    void wholeFileInAClosedFolder_data();
    void wholeFileInAClosedFolder();
    void wholeFileReasonInJapanese_data();
    void wholeFileReasonInJapanese();
};

void tst_settings_whole_file::wholeFileFailureKeepsWhatWasThere_data() {
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
void tst_settings_whole_file::wholeFileFailureKeepsWhatWasThere() {
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

void tst_settings_whole_file::wholeFileInAClosedFolder_data() {
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

void tst_settings_whole_file::wholeFileInAClosedFolder() {
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

void tst_settings_whole_file::wholeFileReasonInJapanese_data() {
    QTest::addColumn<QString>("target"); // relative to a temporary folder
    QTest::newRow("missing folder") << "missing/out.csv";
    QTest::newRow("a file as a folder") << "file.txt/out.csv";
    QTest::newRow("a folder as the file") << "folder";
    QTest::newRow("a device") << "/dev/null";
}

void tst_settings_whole_file::wholeFileReasonInJapanese() {
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

QTEST_GUILESS_MAIN(tst_settings_whole_file)
#include "tst_settings_whole_file.moc"
