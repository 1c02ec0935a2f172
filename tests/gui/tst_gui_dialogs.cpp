// The file dialogs as the window's commands use them: the name each command proposes, the folder
// kept between runs, the extension a typed name gets, and the replace question about that name.
#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "main_window/CommonDialog.h"
#include "main_window/QtPlatform.h"
#include "settings/StoredFolder.h"
#include "settings/mdlIniSet.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

namespace {

const ConditionList kLists[] = {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND,
                                ConditionList::InOR};

// A window whose four lists hold an entry each, so that every list's save button works.
struct DialogWindow : TestWindow {
    DialogWindow() {
        window->show();
        window->setCommaCount(3);
        for (int i = 0; i < 4; ++i) {
            ConditionListControls& list = window->conditionList(kLists[i]);
            list.txtNo->setText(QStringLiteral("1"));
            list.txtGoku->setText(QStringLiteral("p%1").arg(i));
            list.cmdTuika->click();
        }
    }

    // Runs a command ("open", "load0".."load3", "save0".."save3", "result") whose dialog answers
    // name in the folder (empty: Cancel) and returns the name the dialog proposed.
    QString run(const QString& command, const QString& name) {
        const std::optional<QString> answer =
            name.isEmpty() ? std::nullopt : std::optional<QString>(dir.filePath(name));
        const bool opens = command == u"open" || command.startsWith(u"load");
        if (opens && answer && !QFile::exists(*answer))
            writeFile(name, "\"1\",\"x\"\r\n");
        (opens ? platform.openAnswers : platform.saveAnswers) << answer;
        if (command == u"open") {
            window->toolbarButton(Command::Open)->trigger();
            if (!QTest::qWaitFor([this] { return !window->isBusy(); }, 10000))
                return QStringLiteral("<still loading>");
        } else if (command == u"result") {
            window->toolbarButton(Command::Save)->setEnabled(true);
            window->toolbarButton(Command::Save)->trigger();
        } else {
            ConditionListControls& list =
                window->conditionList(kLists[command.back().digitValue()]);
            (opens ? list.cmdOpen : list.cmdSave)->click();
        }
        const QList<ScriptedPlatform::FileDialog>& shown =
            opens ? platform.openDialogs : platform.saveDialogs;
        return shown.isEmpty() ? QStringLiteral("<no dialog>") : shown.last().fileName;
    }

    // "." is the temporary folder, "-" no name at all, anything else a name in the folder.
    QString expectedName(const QString& text) const {
        if (text == u".")
            return dir.path();
        return text == u"-" ? QString() : dir.filePath(text);
    }
};

} // namespace

class TestGuiDialogs : public QObject {
    Q_OBJECT

private slots:
    void proposals_data();
    void proposals();
    void folderAcrossRestart_data();
    void folderAcrossRestart();
    void extensionAdded_data();
    void extensionAdded();
    void realDialogAsksAboutTheFileWritten_data();
    void realDialogAsksAboutTheFileWritten();
};

void TestGuiDialogs::proposals_data() {
    // Steps "command:answer:proposal": the command, the name its dialog answers (none: Cancel),
    // the name it must have proposed. "make:name" creates a file.
    QTest::addColumn<QStringList>("steps");
    for (int i = 0; i < 4; ++i) {
        const QString save = QStringLiteral("save%1").arg(i);
        QTest::addRow("list %d save after an Open", i)
            << QStringList{"open:postal.csv:-", save + "::.", "result::postal_抽出.csv"};
        QTest::addRow("list %d save after its own load", i)
            << QStringList{"open:postal.csv:-", QStringLiteral("load%1:l.csv:.").arg(i),
                           save + "::.", "result::postal_抽出.csv"};
        QTest::addRow("list %d save after another list's load", i)
            << QStringList{QStringLiteral("load%1:l.csv:-").arg((i + 1) % 4), save + "::."};
        QTest::addRow("list %d save of a file since opened as data", i)
            << QStringList{save + ":mine.csv:-", save + "::mine.csv", "open:mine.csv:.",
                           save + "::.", "result::mine_抽出.csv"};
    }
    QTest::newRow("each command its own name") << QStringList{"load0:l0.csv:-",
                                                              "load1::.",
                                                              "load0::l0.csv",
                                                              "save0:s0.csv:.",
                                                              "save1::.",
                                                              "save0::s0.csv",
                                                              "load0::l0.csv",
                                                              "result:r.csv:.",
                                                              "result::r.csv",
                                                              "open:d.csv:.",
                                                              "result::d_抽出.csv",
                                                              "open::d.csv",
                                                              "result:d_抽出.csv:d_抽出.csv",
                                                              "result::d_抽出.csv",
                                                              "save0::s0.csv"};
    QTest::newRow("the new result name is a new file")
        << QStringList{"make:d_抽出.csv", "open:d.csv:-", "result::d_抽出_2.csv",
                       "load2:d_抽出_2.csv:.", "result::d_抽出_3.csv"};
    QTest::newRow("a result saved under the data file's name is not proposed again")
        << QStringList{"open:d.csv:-", "result:d.csv:d_抽出.csv", "result::d_抽出.csv"};
}

void TestGuiDialogs::proposals() {
    QFETCH(QStringList, steps);
    DialogWindow w;
    for (const QString& step : steps) {
        const QStringList part = step.split(u':');
        if (part[0] == u"make") {
            w.writeFile(part[1], "old");
            continue;
        }
        QCOMPARE(w.run(part[0], part[1]), w.expectedName(part[2]));
    }
}

void TestGuiDialogs::folderAcrossRestart_data() {
    QTest::addColumn<QString>("folder"); // where the chosen file lies
    QTest::addColumn<bool>("removed");   // the folder is gone before the restart
    QTest::addColumn<bool>("proposed");  // the next run's dialogs open there
    QTest::newRow("kept") << "data" << false << true;
    QTest::newRow("japanese name") << "東京のデータ" << false << true;
    QTest::newRow("not in code page 932: not kept") << "한국" << false << false;
    QTest::newRow("gone since") << "data" << true << false;
}

void TestGuiDialogs::folderAcrossRestart() {
    QFETCH(QString, folder);
    QFETCH(bool, removed);
    QFETCH(bool, proposed);
    auto w = std::make_unique<DialogWindow>();
    QVERIFY(QDir(w->dir.path()).mkdir(folder));
    QCOMPARE(w->run(QStringLiteral("load1"), folder + QStringLiteral("/list.csv")), QString());
    const QString chosenFolder = w->dir.filePath(folder);
    QCOMPARE(w->run(QStringLiteral("save3"), QString()), chosenFolder); // shared in this run
    if (removed)
        QVERIFY(QDir(chosenFolder).removeRecursively());

    w->window.reset();
    w->window = std::make_unique<frmVNLMain>(&w->platform);
    QCOMPARE(mdlIniSet::GetIniString(StoredFolder::Section.toString(),
                                     StoredFolder::FolderKey.toString(), mdlIniSet::IniFilePath()),
             folder == u"한국" ? QString() : chosenFolder);
    const QString expected = proposed ? chosenFolder : QString();
    QCOMPARE(w->run(QStringLiteral("open"), QString()), expected);
    QCOMPARE(w->run(QStringLiteral("result"), QString()), expected);
}

void TestGuiDialogs::extensionAdded_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("filter"); // the filter entry chosen (empty: the first)
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("existing"); // files there before, holding "old"
    QTest::addColumn<QList<int>>("replies");   // to the replace question
    QTest::addColumn<QString>("written");      // empty: nothing written
    QTest::addColumn<int>("dialogs");
    const QList<int> none;
    const QList<int> yes{Platform::Yes};
    const QList<int> no{Platform::No};
    QTest::newRow("list: .csv") << "save0"
                                << ""
                                << "out" << QStringList{} << none << "out.csv" << 1;
    QTest::newRow("result: first filter") << "result"
                                          << ""
                                          << "out" << QStringList{} << none << "out.csv" << 1;
    QTest::newRow("result: *.txt chosen") << "result"
                                          << "*.txt"
                                          << "out" << QStringList{} << none << "out.txt" << 1;
    QTest::newRow("result: *.xls chosen") << "result"
                                          << "*.xls"
                                          << "out" << QStringList{} << none << "out.xls" << 1;
    QTest::newRow("an extension typed is kept")
        << "result"
        << "*.csv"
        << "out.txt" << QStringList{} << none << "out.txt" << 1;
    QTest::newRow("replace the file with the extension: yes")
        << "save2"
        << ""
        << "out" << QStringList{"out.csv"} << yes << "out.csv" << 1;
    QTest::newRow("replace the file with the extension: no, back to the dialog")
        << "result"
        << ""
        << "out" << QStringList{"out.csv"} << no << "" << 2;
    QTest::newRow("a file without the extension is not the one asked about")
        << "save1"
        << ""
        << "out" << QStringList{"out"} << none << "out.csv" << 1;
}

void TestGuiDialogs::extensionAdded() {
    QFETCH(QString, command);
    QFETCH(QString, filter);
    QFETCH(QString, typed);
    QFETCH(QStringList, existing);
    QFETCH(QList<int>, replies);
    QFETCH(QString, written);
    QFETCH(int, dialogs);
    DialogWindow w;
    for (const QString& name : existing)
        w.writeFile(name, "old");
    if (!filter.isEmpty())
        w.platform.saveFilterAnswers << filter;
    w.platform.answers = replies;
    w.run(command, typed);

    QCOMPARE(w.platform.saveDialogs.size(), dialogs);
    QCOMPARE(w.platform.messages.size(), replies.size());
    for (const ScriptedPlatform::Message& m : w.platform.messages) {
        QCOMPARE(m.prompt, CommonDialog::replacePrompt(w.dir.filePath(typed + ".csv")));
        QCOMPARE(m.style, 4 + 48 + 0x100); // Yes/No, exclamation, No the default
    }
    if (dialogs > 1) // back in the dialog with the name that was refused
        QCOMPARE(w.platform.saveDialogs.last().fileName, w.dir.filePath(typed + ".csv"));
    for (const QString& name : existing)
        QCOMPARE(readAll(w.dir.filePath(name)) == "old", name != written);
    if (!written.isEmpty())
        QCOMPARE(w->dialog().FileName, w.dir.filePath(written));
    const QStringList files =
        QDir(w.dir.path()).entryList({QStringLiteral("out*")}, QDir::Files, QDir::Name);
    QStringList expectedFiles = existing;
    if (!written.isEmpty() && !existing.contains(written))
        expectedFiles << written;
    expectedFiles.sort();
    QCOMPARE(files, expectedFiles);
}

void TestGuiDialogs::realDialogAsksAboutTheFileWritten_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter"); // chosen in the dialog
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("returned");
    QTest::addColumn<bool>("asked");
    QTest::newRow("existing with the extension") << "a"
                                                 << "*.csv"
                                                 << "a.csv"
                                                 << "a.csv" << true;
    QTest::newRow("another filter's extension") << "a"
                                                << "*.txt"
                                                << "a.csv"
                                                << "a.txt" << false;
    QTest::newRow("existing without the extension") << "a"
                                                    << "*.csv"
                                                    << "a"
                                                    << "a.csv" << false;
}

void TestGuiDialogs::realDialogAsksAboutTheFileWritten() {
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, existing);
    QFETCH(QString, returned);
    QFETCH(bool, asked);
    TestWindow w;
    w.writeFile(existing, "old");
    QtPlatform platform;
    QString question;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        dialog->selectNameFilter(filter);
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            emit types->textActivated(filter); // as the user's choice does
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
        // The replace question, should one come, is answered yes.
        QTimer answer;
        answer.setInterval(5);
        QObject::connect(&answer, &QTimer::timeout, [&question] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            }
        });
        answer.start();
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    QString chosenFilter;
    const auto chosen = platform.saveFileName(w.window.get(), QStringLiteral("*.csv;;*.txt"),
                                              w.dir.path(), true, &chosenFilter);
    QCOMPARE(chosen, std::optional<QString>(w.dir.filePath(returned)));
    QCOMPARE(chosenFilter, filter);
    QCOMPARE(!question.isEmpty(), asked);
    if (asked)
        QVERIFY2(question.contains(returned), qPrintable(question));
}

QTEST_MAIN(TestGuiDialogs)
#include "tst_gui_dialogs.moc"
