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

namespace {

Lists sample() {
    Lists lists;
    lists[size_t(ConditionList::InAND)] = {{"0", "当選"}, {"3", " 東京 "}};
    lists[size_t(ConditionList::InOR)] = {{"1", "〜"}, {"2", "a,\"b\""}};
    lists[size_t(ConditionList::OutOR)] = {{"4", ""}};
    return lists;
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class tst_stored_lists : public QObject {
    Q_OBJECT
private slots:
    void writtenAndReadBack();
    void emptiedListsAreStored();
    void unusableStoreGivesEmptyLists_data();
    void unusableStoreGivesEmptyLists();
    void linkIsNeverWrittenThrough();
};

void tst_stored_lists::writtenAndReadBack() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("vornel_lists.txt");
    QCOMPARE(StoredLists::write(path, sample()), QString());
    QVERIFY(TextCodec::startsWithUtf8Bom(readAll(path))); // even where code page 932 would do
    QCOMPARE(modeOf(path), mode_t(0600));
    const StoredLists::ReadResult r = StoredLists::read(path);
    QVERIFY(r.found);
    QCOMPARE(r.problem, QString());
    QVERIFY(r.lists == sample());
}

void tst_stored_lists::emptiedListsAreStored() {
    // Lists emptied since the last run must not come back at the next start.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("vornel_lists.txt");
    QCOMPARE(StoredLists::write(path, sample()), QString());
    QCOMPARE(StoredLists::write(path, Lists{}), QString());
    const StoredLists::ReadResult r = StoredLists::read(path);
    QVERIFY(r.found);
    QCOMPARE(r.problem, QString());
    QVERIFY(r.lists == Lists{});
}

void tst_stored_lists::unusableStoreGivesEmptyLists_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("link to a good store") << "link";
    QTest::newRow("folder") << "folder";
    QTest::newRow("pipe") << "pipe"; // reading it would wait for a writer
    QTest::newRow("oversized") << "oversized";
    QTest::newRow("one bad line") << "bad line";
    QTest::newRow("cut inside a quote") << "cut";
    QTest::newRow("binary") << "binary";
}

void tst_stored_lists::unusableStoreGivesEmptyLists() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("vornel_lists.txt");
    const QByteArray name = QFile::encodeName(path);
    const QByteArray good = "AND,1,a\r\nOR,2,b\r\n";
    if (kind == u"link") {
        const QString target = dir.filePath("elsewhere.txt");
        QVERIFY(writeAll(target, good));
        QCOMPARE(::symlink(QFile::encodeName(target).constData(), name.constData()), 0);
    } else if (kind == u"folder") {
        QVERIFY(QDir(dir.path()).mkdir("vornel_lists.txt"));
    } else if (kind == u"pipe") {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (kind == u"oversized") {
        QVERIFY(writeAll(path, good));
        QVERIFY(QFile::resize(path, StoredLists::MaxFileBytes + 1)); // sparse
    } else if (kind == u"bad line") {
        QVERIFY(writeAll(path, good + "XOR,3,c\r\nNOTOR,4,d\r\n"));
    } else if (kind == u"cut") {
        QVERIFY(writeAll(path, good + "NOTOR,4,\"d"));
    } else {
        QVERIFY(writeAll(path, QByteArray("\x00\x01\xff\xfe,\x80\r\n\x00", 9)));
    }
    const StoredLists::ReadResult r = StoredLists::read(path);
    QVERIFY(r.found);
    QVERIFY(!r.problem.isEmpty());
    QVERIFY(r.lists == Lists{});
}

void tst_stored_lists::linkIsNeverWrittenThrough() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("vornel_lists.txt");
    const QString target = dir.filePath("target.txt");
    QVERIFY(writeAll(target, "keep\r\n"));
    QCOMPARE(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()),
             0);
    QVERIFY(!StoredLists::write(path, sample()).isEmpty());
    QVERIFY(!StoredLists::write(path, Lists{}).isEmpty());
    QCOMPARE(readAll(target), QByteArray("keep\r\n"));
    QVERIFY(QFileInfo(path).isSymLink());
}

QTEST_GUILESS_MAIN(tst_stored_lists)
#include "tst_stored_lists.moc"
