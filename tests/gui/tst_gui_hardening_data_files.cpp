// Bad data files through the real window: files that are missing, broken or change while they
// are read. Every case must end with a message where something failed, the window idle and
// usable, and the rows as the file gives them.
#include "HardeningTestSupport.h"

#include "TestFiles.h"

#include <QDir>
#include <QRandomGenerator>

namespace {

QString changedQuestion(const QString& path) {
    return QStringLiteral("データファイル「%1」は読み込みの途中で変更されました。\n"
                          "読み込んだ行は変更の前と後が混ざっているかもしれません。\n"
                          "もう一度読み込みますか？")
        .arg(path);
}
} // namespace

class TestGuiHardeningDataFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void badDataFile_data();
    void badDataFile();
    void fileChangesBetweenPasses_data();
    void fileChangesBetweenPasses();
    void changedFileReadAgain();
};

// ---------------------------------------------------------------- data files

void TestGuiHardeningDataFiles::badDataFile_data() {
    QTest::addColumn<QString>("kind"); // "missing", "folder" or "file"
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("missing path") << "missing" << QByteArray();
    QTest::newRow("folder") << "folder" << QByteArray();
    QTest::newRow("0-byte file") << "file" << QByteArray();

    QRandomGenerator random(8);
    QByteArray binary(64 * 1024, Qt::Uninitialized);
    for (char& c : binary)
        c = char(random.bounded(256));
    for (qsizetype i = 0; i < binary.size(); i += 97)
        binary[i] = '\0';
    QByteArray oneLine = binary;
    oneLine.replace('\n', 'n');
    QTest::newRow("binary with NULs, one line") << "file" << oneLine;
    QTest::newRow("binary with NULs, many lines") << "file" << binary.left(12 * 1024);

    QTest::newRow("invalid code page 932")
        << "file"
        << QByteArray("\x81\x20x,\xff\xfe\r\n"    // lead byte with a blank as trail, bytes that
                      "\x80\xa0,\x81\r\n"         // start nothing, a lead byte before CR LF,
                      "\x9f,\xe0\x7f\x81\n"       // before a comma, at a bare LF,
                      "\xfd\xfc\xfc,\x82\x0d\x0a" // unassigned pairs,
                      "\xeb\x40,\x82");           // and cut off at the end of the file

    QByteArray longLine;
    for (int i = 0; i < 50000; ++i)
        longLine += "\x8a\xbf"; // 漢
    longLine += ',' + QByteArray(49998, 'x') + ',';
    QTest::newRow("100,000-character line")
        << "file" << QByteArray("1,2,3\r\n") + longLine + "\r\n4,5,6\r\n";

    QByteArray wide;
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 40000; ++c)
            wide += (c ? "," : "") + QByteArray::number(c % 10);
        wide += "\r\n";
    }
    QTest::newRow("40,000 columns") << "file" << wide;

    QTest::newRow("CR-only line ends") << "file" << QByteArray("a,b\rc,d\re,f\r");
    QTest::newRow("CR-only, then one LF")
        << "file" << QByteArray("a,b\rc,d\r\ne,f\rg,h\r\ni,j\r\n");
}

void TestGuiHardeningDataFiles::badDataFile() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    JobDriver driver(w); // answers the data-error dialogs

    // What is there before: a loaded table and a list entry.
    const QString before = w.writeFile("before.csv", "p,1,x\r\nq,2,y\r\n");
    loadFile(w, before);
    QCOMPARE(sourceRows(w), (QStringList{"p,1,x", "q,2,y"}));
    registerEntry(w, ConditionList::InOR, "0", "1");
    QCOMPARE(w->conditionList(ConditionList::InOR).model->count(), 1);
    QVERIFY(w.enabled(Command::Start));

    QString path = w.dir.filePath("bad.csv");
    if (kind == u"folder")
        QVERIFY(QDir(w.dir.path()).mkdir("bad.csv"));
    else if (kind == u"file")
        path = w.writeFile("bad.csv", bytes);
    driver.reset(-1);
    loadFile(w, path);
    VERIFY_IDLE(w);
    QCOMPARE(w->conditionList(ConditionList::InOR).model->count(), 1);
    QVERIFY(w->resultModel()->count() == 0);

    if (kind != u"file") {
        // Nothing was read: one clear message, and the table as it was.
        QCOMPARE(w.platform.messages.size(), 1);
        const ScriptedPlatform::Message& m = w.platform.messages[0];
        QCOMPARE(m.style, 16);
        QCOMPARE(m.title, QStringLiteral("エラー"));
        QVERIFY2(m.prompt.contains(path), qPrintable(m.prompt));
        QCOMPARE(driver.dialogs, 0);
        QCOMPARE(sourceRows(w), (QStringList{"p,1,x", "q,2,y"}));
        QCOMPARE(w->sourceModel()->headers(), (QStringList{"1", "2", "3"}));
        QCOMPARE(w->commaCount(), 2);
        QCOMPARE(w->panelText(Panel::FilePath), before);
        QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(2));
        QVERIFY(!w.lvwOriginalData()->isHidden());
    } else {
        // Read as the line rule says, whatever the bytes are.
        const ExpectedLoad e = expectedLoad(bytes);
        QVERIFY2(w.platform.messages.isEmpty(), qPrintable(w.platform.messages.value(0).prompt));
        QCOMPARE(driver.dialogs, e.rejected);
        QCOMPARE(w->commaCount(), int(e.commaCount));
        QCOMPARE(sourceRows(w), e.rows);
        QCOMPARE(w->sourceModel()->rowCount(), int(e.rows.size()));
        QCOMPARE(w->sourceModel()->columnCount(), int(e.commaCount) + 1);
        QCOMPARE(w->sourceModel()->headers(), numberedHeaders(e.commaCount + 1));
        QCOMPARE(w->panelText(Panel::FilePath), path);
        QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(e.rows.size()));
        QCOMPARE(w->panelText(Panel::Pickup), CountText::pickedRows(0));
        QVERIFY(!w.lvwOriginalData()->isHidden());
        QVERIFY(w.lvwPickupData()->isHidden());
    }

    // Still usable: the next file loads, and a pickup over it runs.
    loadFile(w, w.writeFile("after.csv", "a1,b\r\na2,c\r\na3,b\r\n"));
    VERIFY_IDLE(w);
    QCOMPARE(sourceRows(w), (QStringList{"a1,b", "a2,c", "a3,b"}));
    QCOMPARE(w->commaCount(), 1);
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(3));
    registerEntry(w, ConditionList::InAND, "2", "b");
    w->cmdAccessKey_Click(3); // Alt+R
    VERIFY_IDLE(w);
    QCOMPARE(resultTexts(w), QStringList{"a1,b"}); // with the entry on "1" from before
}

void TestGuiHardeningDataFiles::fileChangesBetweenPasses_data() {
    // The loader reads the file twice: its first line, then all of it. The file changes at the
    // first turn of the event loop after the first line was read.
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("change"); // written in place of the file, or appended
    QTest::addColumn<bool>("append");
    QTest::addColumn<QStringList>("expectedRows");
    QTest::addColumn<int>("expectedDialogs");

    const QByteArray three = "a,1\r\nb,2\r\nc,3\r\n";
    QTest::newRow("emptied after the first line")
        << three << QByteArray() << false << QStringList{} << 0;
    QTest::newRow("shorter after the first line")
        << three << QByteArray("a,1\r\n") << false << QStringList{"a,1"} << 0;
    QTest::newRow("other columns after the first line")
        << three << QByteArray("x,y,z\r\nu,v,w\r\n") << false << QStringList{} << 2;
    QTest::newRow("longer after the first line")
        << three << QByteArray("d,4\r\ne,5\r\n") << true
        << QStringList{"a,1", "b,2", "c,3", "d,4", "e,5"} << 0;
    QTest::newRow("grows with a bad line after the first line")
        << three << QByteArray("d,4\r\nbad\r\ne,5") << true
        << QStringList{"a,1", "b,2", "c,3", "d,4", "e,5"} << 1;
}

void TestGuiHardeningDataFiles::fileChangesBetweenPasses() {
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, change);
    QFETCH(bool, append);
    QFETCH(QStringList, expectedRows);
    QFETCH(int, expectedDialogs);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    w.platform.answers = {Platform::No};
    const QString path = w.writeFile("changing.csv", original);
    bool changed = false;
    QTimer changer;
    changer.setInterval(0);
    connect(&changer, &QTimer::timeout, [&] {
        if (changed || !w->isBusy() || QApplication::activeModalWidget())
            return;
        changed = true;
        QFile f(path);
        QVERIFY(f.open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(change), change.size());
    });
    changer.start();
    JobDriver driver(w);
    loadFile(w, path);
    changer.stop();

    QVERIFY(changed);
    VERIFY_IDLE(w);
    // The change is noticed and a second read offered; declined, the rows read stay.
    QCOMPARE(w.platform.messages.size(), 1);
    QCOMPARE(w.platform.messages[0].prompt, changedQuestion(path));
    QCOMPARE(w.platform.messages[0].style, 36);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Vornel"));
    QCOMPARE(driver.dialogs, expectedDialogs);
    QCOMPARE(w->commaCount(), 1); // from the first line as it was first read
    QCOMPARE(sourceRows(w), expectedRows);
    QCOMPARE(w->sourceModel()->rowCount(), int(expectedRows.size()));
    QCOMPARE(w->sourceModel()->headers(), (QStringList{"1", "2"}));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(expectedRows.size()));
    QCOMPARE(w->panelText(Panel::FilePath), path);

    // And the window goes on.
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(original);
    f.close();
    loadFile(w, path);
    VERIFY_IDLE(w);
    QCOMPARE(sourceRows(w), (QStringList{"a,1", "b,2", "c,3"}));
}

void TestGuiHardeningDataFiles::changedFileReadAgain() {
    // Answered yes, the file is read again as it is now.
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    const QString path = w.writeFile("changing.csv", "a,1\r\nb,2\r\n");
    bool changed = false;
    QTimer changer;
    changer.setInterval(0);
    connect(&changer, &QTimer::timeout, [&] {
        if (changed || !w->isBusy() || QApplication::activeModalWidget())
            return;
        changed = true;
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write("c,3\r\n") == 5);
    });
    changer.start();
    w.platform.answers = {Platform::Yes};
    loadFile(w, path);
    changer.stop();
    QVERIFY(changed);
    VERIFY_IDLE(w);
    QCOMPARE(w.platform.messages.size(), 1); // the second read found the file at rest
    QCOMPARE(w.platform.messages[0].prompt, changedQuestion(path));
    QCOMPARE(sourceRows(w), (QStringList{"a,1", "b,2", "c,3"}));
    QCOMPARE(w->panelText(Panel::Original), CountText::sourceRows(3));
    QCOMPARE(w->panelText(Panel::FilePath), path);
}

QTEST_MAIN(TestGuiHardeningDataFiles)
#include "tst_gui_hardening_data_files.moc"
