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
    // Steps "command:answer:proposal", apart by spaces: the command, the name its dialog answers
    // (none: Cancel), the name it must have proposed. "make:name" creates a file.
    QTest::addColumn<QString>("steps");
    for (int i = 0; i < 4; ++i) {
        const QString save = QStringLiteral(" save%1::. ").arg(i);
        const QString load = QStringLiteral("load%1:l.csv:").arg(i);
        QTest::addRow("list %d save after an Open", i)
            << "open:postal.csv:-" + save + "result::postal_抽出.csv";
        QTest::addRow("list %d save after its own load", i)
            << "open:postal.csv:- " + load + "." + save + "result::postal_抽出.csv";
        QTest::addRow("list %d save after another list's load", i)
            << QStringLiteral("load%1:l.csv:-").arg((i + 1) % 4) + save;
        QTest::addRow("list %d save of a file since opened as data", i)
            << QStringLiteral("save%1:mine.csv:- save%1::mine.csv open:mine.csv:.").arg(i) + save +
                   "result::mine_抽出.csv";
    }
    QTest::newRow("each command its own name")
        << "load0:l0.csv:- load1::. load0::l0.csv save0:s0.csv:. save1::. save0::s0.csv "
           "load0::l0.csv result:r.csv:. result::r.csv open:d.csv:. result::d_抽出.csv "
           "open::d.csv result:d_抽出.csv:d_抽出.csv result::d_抽出.csv save0::s0.csv";
    QTest::newRow("the new result name is a new file")
        << "make:d_抽出.csv open:d.csv:- result::d_抽出_2.csv load2:d_抽出_2.csv:. "
           "result::d_抽出_3.csv";
    QTest::newRow("a result saved as the data file is not proposed again")
        << "open:d.csv:- result:d.csv:d_抽出.csv result::d_抽出.csv";
}

void TestGuiDialogs::proposals() {
    QFETCH(QString, steps);
    DialogWindow w;
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList part = step.split(u':');
        if (part[0] == u"make")
            w.writeFile(part[1], "old");
        else
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
    // The lists' load and save start there too.
    QCOMPARE(w->run(QStringLiteral("load0"), QString()), expected);
    QCOMPARE(w->run(QStringLiteral("save2"), QString()), expected);
}

void TestGuiDialogs::extensionAdded_data() {
    // The command, the filter entry chosen ("-": the first), the name chosen, a file there
    // before holding "old" ("-": none), the reply to the replace question (0: none asked), the
    // file written ("-": none).
    QTest::addColumn<QString>("row");
    QTest::newRow("list: .csv") << "save0 - out - 0 out.csv";
    QTest::newRow("result: first filter") << "result - out - 0 out.csv";
    QTest::newRow("result: *.txt") << "result *.txt out - 0 out.txt";
    QTest::newRow("result: *.xls") << "result *.xls out - 0 out.xls";
    QTest::newRow("typed extension kept") << "result *.csv out.txt - 0 out.txt";
    QTest::newRow("replace out.csv: yes") << "save2 - out out.csv 6 out.csv";
    QTest::newRow("replace out.csv: no, back to the dialog") << "result - out out.csv 7 -";
    QTest::newRow("out exists, out.csv is written") << "save1 - out out 0 out.csv";
}

void TestGuiDialogs::extensionAdded() {
    QFETCH(QString, row);
    QStringList field = row.split(u' ');
    for (QString& f : field)
        if (f == u"-")
            f.clear();
    const QString &command = field[0], &filter = field[1], &typed = field[2], &existing = field[3],
                  &written = field[5];
    const int reply = field[4].toInt();
    DialogWindow w;
    if (!existing.isEmpty())
        w.writeFile(existing, "old");
    if (!filter.isEmpty())
        w.platform.saveFilterAnswers << filter;
    if (reply)
        w.platform.answers << reply;
    w.run(command, typed);

    const QString withExtension = w.dir.filePath(typed + ".csv");
    QCOMPARE(w.platform.messages.size(), reply ? 1 : 0);
    for (const ScriptedPlatform::Message& m : w.platform.messages) {
        QCOMPARE(m.prompt, CommonDialog::replacePrompt(withExtension));
        QCOMPARE(m.style, 4 + 48 + 0x100); // Yes/No, exclamation, No the default
    }
    // No returns to the dialog, which offers the refused name again (and is cancelled here).
    QCOMPARE(w.platform.saveDialogs.size(), reply == Platform::No ? 2 : 1);
    if (reply == Platform::No)
        QCOMPARE(w.platform.saveDialogs[1].fileName, withExtension);
    if (!existing.isEmpty())
        QCOMPARE(readAll(w.dir.filePath(existing)) == "old", existing != written);
    QStringList files{existing, written};
    files.removeAll(QString());
    files.removeDuplicates();
    files.sort();
    QCOMPARE(QDir(w.dir.path()).entryList({QStringLiteral("out*")}, QDir::Files, QDir::Name),
             files);
}

void TestGuiDialogs::realDialogAsksAboutTheFileWritten_data() {
    // "a" is typed with a filter chosen, beside an existing file: the name returned, whether the
    // dialog asked about replacing it.
    QTest::addColumn<QString>("row"); // filter, existing file, name returned, asked (0 or 1)
    QTest::newRow("existing with the extension") << "*.csv a.csv a.csv 1";
    QTest::newRow("another filter's extension") << "*.txt a.csv a.txt 0";
    QTest::newRow("existing without the extension") << "*.csv a a.csv 0";
}

void TestGuiDialogs::realDialogAsksAboutTheFileWritten() {
    QFETCH(QString, row);
    const QStringList field = row.split(u' ');
    const QString &filter = field[0], &existing = field[1], &returned = field[2];
    TestWindow w;
    w.writeFile(existing, "old");
    QtPlatform platform;
    QString question;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        dialog->selectNameFilter(filter);
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            emit types->textActivated(filter); // as the user's choice does
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("a"));
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
    QCOMPARE(!question.isEmpty(), field[3] == u"1");
    if (!question.isEmpty())
        QVERIFY2(question.contains(returned), qPrintable(question));
}

QTEST_MAIN(TestGuiDialogs)
#include "tst_gui_dialogs.moc"
