#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "base/Cp932.h"
#include "base/WholeFile.h"
#include "shell/OpenDocumentMessage.h"
#include "shell/TransferFile.h"
#include "shell/VersionText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <vector>

namespace {

QList<QByteArray> cp932(const QStringList& rows) {
    QList<QByteArray> bytes;
    for (const QString& row : rows)
        bytes.append(Cp932::encode(row).bytes);
    return bytes;
}

// Writes rows (their code page 932 bytes) with WriteTransferFile, recording every progress report.
mdlShare::TransferFileResult writeRows(const QString& path, const QStringList& rows,
                                       std::vector<qint64>* reports = nullptr,
                                       QByteArrayView prefix = {}) {
    std::function<void(qint64)> progress;
    if (reports)
        progress = [reports](qint64 done) { reports->push_back(done); };
    const QList<QByteArray> bytes = cp932(rows);
    return mdlShare::WriteTransferFile(
        path, bytes.size(), [&bytes](qint64 i) { return QByteArrayView(bytes[qsizetype(i)]); },
        prefix, progress);
}

} // namespace

class tst_shell : public QObject {
    Q_OBJECT

private slots:
    void versionText_data();
    void versionText();
    void programVersionText();

    void openDocumentMessage_data();
    void openDocumentMessage();

    void transferContents_data();
    void transferContents();
    void transferProgress();
    void transferProgressEveryChance();
    void transferReplacesEarlierFile();
    void transferWritesRowBytesAsGiven();
    void transferWriteFailure_data();
    void transferWriteFailure();
};

void tst_shell::versionText_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0.30") << 0 << 30 << "Vornel Version 0.30";
    QTest::newRow("1.05") << 1 << 5 << "Vornel Version 1.05";
    QTest::newRow("0.00") << 0 << 0 << "Vornel Version 0.00";
    QTest::newRow("12.99") << 12 << 99 << "Vornel Version 12.99";
    QTest::newRow("three-digit minor") << 2 << 100 << "Vornel Version 2.100";
}

void tst_shell::versionText() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, expected);
    QCOMPARE(VersionText(major, minor), expected);
}

void tst_shell::programVersionText() {
    QCOMPARE(ProgramVersionText(), VersionText(VORNEL_VERSION_MAJOR, VORNEL_VERSION_MINOR));
    QVERIFY(ProgramVersionText().startsWith(QStringLiteral("Vornel Version ")));
}

void tst_shell::openDocumentMessage_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    const QString path = QStringLiteral("/opt/vornel/vornel.txt");
    const QString named = QStringLiteral("\n\n") + path;
    // Every failure is told in Japanese and names the document after a blank line.
    QTest::newRow("file not found")
        << 2 << QStringLiteral("次のファイルが見つかりません。") + named;
    QTest::newRow("path not found")
        << 3 << QStringLiteral("次のファイルのフォルダーが見つかりません。") + named;
    QTest::newRow("no viewer") << 31
                               << QStringLiteral("次のファイルを開くプログラムが見つかりません。\n"
                                                 "テキストエディターなどで直接開いてください。") +
                                      named;
    // Codes above 32 mean the document was opened: no message. 32 is still a failure.
    QTest::newRow("32 failed")
        << 32
        << QStringLiteral("次のファイルを開くのに必要なライブラリーが見つかりません。") + named;
    QTest::newRow("33 opened") << 33 << QString();
    QTest::newRow("42 opened") << 42 << QString();
    // A failure without a message of its own, also one below the known codes.
    const QString unknown = QStringLiteral("次のファイルを開けませんでした。") + named;
    QTest::newRow("0") << 0 << unknown;
    QTest::newRow("gap between known codes") << 4 << unknown;
    QTest::newRow("negative") << -1 << unknown;
}

void tst_shell::openDocumentMessage() {
    QFETCH(int, code);
    QFETCH(QString, expected);
    QCOMPARE(mdlShare::OpenDocumentMessage(code, QStringLiteral("/opt/vornel/vornel.txt")),
             expected);
}

void tst_shell::transferContents_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no rows") << QStringList() << QByteArray();
    QTest::newRow("one row") << QStringList{QStringLiteral("a,b,c")} << QByteArray("a,b,c\r\n");
    QTest::newRow("order kept, empty row kept")
        << QStringList{QStringLiteral("3,c"), QString(), QStringLiteral("1,a")}
        << QByteArray("3,c\r\n\r\n1,a\r\n");
    QTest::newRow("code page 932") << QStringList{QStringLiteral("表,示"), QStringLiteral("ｱｲｳ,～")}
                                   << QByteArray("\x95\x5c,\x8e\xa6\r\n\xb1\xb2\xb3,\x81\x60\r\n");
}

void tst_shell::transferContents() {
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvo_transfer.txt"));
    const mdlShare::TransferFileResult r = writeRows(path, rows);
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.path, path);
    QVERIFY(QFile::exists(path));
    QCOMPARE(readAll(path), expected);
}

void tst_shell::transferProgress() {
    // Enough rows to span several chunks and several progress intervals.
    QStringList rows;
    const QString row = QStringLiteral("12345,山田太郎,東京都千代田区,") + QString(40, u'x');
    for (int i = 0; i < 200000; ++i)
        rows.push_back(row + QString::number(i));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvo_transfer.txt"));
    std::vector<qint64> reports;
    const mdlShare::TransferFileResult r = writeRows(path, rows, &reports);
    QVERIFY2(r.ok(), qPrintable(r.reason));

    QVERIFY(!reports.empty());
    QCOMPARE(reports.back(), qint64(rows.size()));
    for (size_t i = 1; i < reports.size(); ++i)
        QVERIFY(reports[i] > reports[i - 1]);
    // Throttled: far fewer reports than rows.
    QVERIFY(reports.size() < size_t(rows.size()) / 100);

    const QByteArray bytes = readAll(path);
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.size(), rows.size() + 1); // the last line end leaves an empty piece
    QVERIFY(lines.last().isEmpty());
    for (qsizetype i : {qsizetype(0), qsizetype(77777), rows.size() - 1})
        QCOMPARE(Cp932::decode(lines[i]), rows[i] + u'\r');
}

void tst_shell::transferProgressEveryChance() {
    // With no time between reports, progress comes after every piece of a few megabytes written
    // (so the window's bar moves during a long hand-over) and at the end.
    const QByteArray filler(1024, 'x');
    QList<QByteArray> rows;
    for (int i = 0; i < 13000; ++i) // about 13 MB: at least three pieces
        rows.push_back(QByteArray::number(i) + ',' + filler);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvo_transfer.txt"));
    std::vector<qint64> reports;
    const mdlShare::TransferFileResult r = mdlShare::WriteTransferFile(
        path, rows.size(), [&rows](qint64 i) { return QByteArrayView(rows.at(qsizetype(i))); }, {},
        [&reports](qint64 done) { reports.push_back(done); }, 0);
    QVERIFY(r.ok());
    QVERIFY(reports.size() >= 3);
    QCOMPARE(reports.back(), qint64(rows.size()));
    for (size_t i = 1; i < reports.size(); ++i)
        QVERIFY(reports[i] > reports[i - 1]);
    QCOMPARE(readAll(path), rows.join(QByteArray("\r\n")) + "\r\n");
}

void tst_shell::transferReplacesEarlierFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvo_transfer.txt"));
    QVERIFY(writeAll(path, QByteArray("old,old,old\r\nold\r\n")));
    QVERIFY(writeRows(path, {QStringLiteral("new")}).ok());
    QCOMPARE(readAll(path), QByteArray("new\r\n"));
    QVERIFY(writeRows(path, {}).ok());
    QCOMPARE(readAll(path), QByteArray());
}

void tst_shell::transferWritesRowBytesAsGiven() {
    // Rows are written as the bytes the data file held, whatever they are, after the mark.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvo_transfer.txt"));
    const QList<QByteArray> rows{"ok\x80", "\xEF\xBB", QByteArray("\x81\x00z", 3)};
    const mdlShare::TransferFileResult r = mdlShare::WriteTransferFile(
        path, rows.size(), [&rows](qint64 i) { return QByteArrayView(rows[qsizetype(i)]); },
        "\xEF\xBB\xBF");
    QVERIFY(r.ok());
    QCOMPARE(readAll(path), QByteArray("\xEF\xBB\xBFok\x80\r\n\xEF\xBB\r\n\x81\x00z\r\n", 17));
}

void tst_shell::transferWriteFailure_data() {
    QTest::addColumn<QString>("name"); // the hand-over file's name in a temporary folder
    QTest::addColumn<bool>("folderInItsPlace");
    QTest::addColumn<int>("limit"); // the disk is full after this many bytes (0: no limit)
    QTest::newRow("a folder in its place") << "zelvo_transfer.txt" << true << 0;
    QTest::newRow("a missing folder") << "gone/zelvo_transfer.txt" << false << 0;
    QTest::newRow("the disk full part-way") << "zelvo_transfer.txt" << false << 1024;
}

// The result names the file and the reason. (That the earlier file stays is WholeFile's
// guarantee, tested with it.)
void tst_shell::transferWriteFailure() {
    QFETCH(QString, name);
    QFETCH(bool, folderInItsPlace);
    QFETCH(int, limit);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (folderInItsPlace)
        QVERIFY(QDir(dir.path()).mkdir(name));
    QStringList rows;
    for (int i = 0; i < 100; ++i)
        rows << QStringLiteral("%1,row of the hand-over file").arg(i);
    mdlShare::TransferFileResult r;
    {
        std::optional<FileSizeLimit> full;
        if (limit > 0) {
            full.emplace(rlim_t(limit));
            QVERIFY(full->active());
        }
        r = writeRows(path, rows);
    }
    QVERIFY(!r.ok());
    QVERIFY(!r.reason.isEmpty());
    QVERIFY(r.message().contains(QDir::toNativeSeparators(path)));
    // The cause itself, not the giving up after it.
    if (limit > 0)
        QCOMPARE(r.reason, japaneseFileError(qt_error_string(EFBIG)));
}

QTEST_GUILESS_MAIN(tst_shell)
#include "tst_shell.moc"
