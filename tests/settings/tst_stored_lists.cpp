// The condition lists kept between runs: written whole, owner-only, never through a link; a store
// that cannot be used in full gives empty lists without failing.
#include "TestFiles.h"
#include "base/TextCodec.h"
#include "settings/StoredLists.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using Lists = ConditionSetFile::Lists;
Q_DECLARE_METATYPE(Lists)

namespace {

Lists sample() {
    Lists lists;
    lists[size_t(ConditionList::InAND)] = {{"0", "当選"}, {"3", " 東京 "}};
    lists[size_t(ConditionList::InOR)] = {{"1", "〜"}, {"2", "a,\"b\""}};
    lists[size_t(ConditionList::OutOR)] = {{"4", ""}};
    return lists;
}

} // namespace

class tst_stored_lists : public QObject {
    Q_OBJECT
private slots:
    void writtenAndReadBack_data();
    void writtenAndReadBack();
    void unusableStoreGivesEmptyLists_data();
    void unusableStoreGivesEmptyLists();
};

void tst_stored_lists::writtenAndReadBack_data() {
    QTest::addColumn<Lists>("lists"); // written over the sample
    QTest::newRow("whole") << sample();
    // Lists emptied since the last run must not come back at the next start.
    QTest::newRow("emptied") << Lists{};
}

void tst_stored_lists::writtenAndReadBack() {
    QFETCH(Lists, lists);
    QTemporaryDir dir;
    const QString path = dir.filePath("vornel_lists.txt");
    QCOMPARE(StoredLists::write(path, sample()), QString());
    QCOMPARE(StoredLists::write(path, lists), QString());
    QVERIFY(TextCodec::startsWithUtf8Bom(readAll(path))); // even where code page 932 would do
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    const StoredLists::ReadResult r = StoredLists::read(path);
    QVERIFY(r.found);
    QCOMPARE(r.problem, QString());
    QVERIFY(r.lists == lists);
}

void tst_stored_lists::unusableStoreGivesEmptyLists_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"link", "folder", "pipe", "oversized", "bad line", "cut", "binary"})
        QTest::newRow(kind) << QString::fromUtf8(kind);
}

void tst_stored_lists::unusableStoreGivesEmptyLists() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath("vornel_lists.txt");
    const QString target = dir.filePath("elsewhere.txt");
    const QByteArray name = QFile::encodeName(path);
    const QByteArray good = "AND,1,a\r\nOR,2,b\r\n";
    if (kind == u"link") {
        QVERIFY(writeAll(target, good));
        QCOMPARE(::symlink(QFile::encodeName(target).constData(), name.constData()), 0);
    } else if (kind == u"folder") {
        QVERIFY(QDir(dir.path()).mkdir("vornel_lists.txt"));
    } else if (kind == u"pipe") {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0); // reading it would wait for a writer
    } else if (kind == u"oversized") {
        QVERIFY(writeAll(path, good));
        QVERIFY(QFile::resize(path, StoredLists::MaxFileBytes + 1)); // sparse
    } else if (kind == u"bad line") {
        QVERIFY(writeAll(path, good + "XOR,3,c\r\nNOTOR,4,d\r\n"));
    } else if (kind == u"cut") {
        QVERIFY(writeAll(path, good + "NOTOR,4,\"d")); // inside a quote
    } else {
        QVERIFY(writeAll(path, QByteArray("\x00\x01\xff\xfe,\x80\r\n\x00", 9)));
    }
    const StoredLists::ReadResult r = StoredLists::read(path);
    QVERIFY(r.found);
    QVERIFY(!r.problem.isEmpty());
    QVERIFY(r.lists == Lists{});
    if (kind == u"link") { // and never written through, whole or emptied
        QVERIFY(!StoredLists::write(path, sample()).isEmpty());
        QVERIFY(!StoredLists::write(path, Lists{}).isEmpty());
        QCOMPARE(readAll(target), good);
        QVERIFY(QFileInfo(path).isSymLink());
    }
}

QTEST_GUILESS_MAIN(tst_stored_lists)
#include "tst_stored_lists.moc"
