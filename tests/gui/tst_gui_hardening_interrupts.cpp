// Stop and About at every moment of a load and of a pickup through the real window: the job ends
// or goes on as it would have, the window idle and usable afterwards.
#include "HardeningTestSupport.h"

#include "shell/frmVNLAbout.h"

#include <algorithm>

class TestGuiHardeningInterrupts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stopAtAnyMoment_data();
    void stopAtAnyMoment();
    void aboutAtAnyMoment_data();
    void aboutAtAnyMoment();
};

// ---------------------------------------------------------------- Stop and About at any moment

namespace {

// The load's small file: a third of its lines do not fit, so it pauses in a dialog for each and
// gives the event loop many turns.
QByteArray stopLoadBytes() {
    QByteArray bytes;
    for (int i = 0; i < 60; ++i)
        bytes += i % 3 == 2
                     ? "bad line " + QByteArray::number(i) + "\r\n"
                     : "r" + QByteArray::number(i) + ",x,y" + QByteArray::number(i % 4) + "\r\n";
    return bytes;
}

// The pickup's file (a few megabytes), with conditions that cost a little per row: enough rows for
// a few dozen slices.
constexpr int kPickupRows = 60000;

QByteArray stopPickupBytes() {
    QByteArray bytes;
    for (int i = 0; i < kPickupRows; ++i)
        bytes += "row" + QByteArray::number(i) + ",name" + QByteArray::number(i % 7) +
                 ",some longer text to look through " + QByteArray::number(i % 13) + "\r\n";
    return bytes;
}

void setUpPickup(TestWindow& w) {
    loadFile(w, w.writeFile("pickup.csv", stopPickupBytes()));
    QCOMPARE(w->store().rowCount(), qint64(kPickupRows));
    registerEntry(w, ConditionList::InOR, "3", "*look*through*1#");
    registerEntry(w, ConditionList::InOR, "2", "name[0-2]");
    registerEntry(w, ConditionList::InOR, "0", "*o*e*o*e*o*e*o*e*q");
    registerEntry(w, ConditionList::InOR, "0", "*t*o*t*o*t*o*t*o*#z");
    registerEntry(w, ConditionList::OutOR, "0", "*row*5*,*");
    QVERIFY(w.enabled(Command::Start));
}

// What a stopped load leaves.
QString stoppedLoadDeviation(const TestWindow& w, int commaCount) {
    QStringList wrong;
    if (w->store().rowCount() != 0 || w->sourceModel()->rowCount() != 0)
        wrong << "source rows left";
    if (w->sourceModel()->headers() != QStringList{QString()})
        wrong << "headers " + w->sourceModel()->headers().mid(0, 5).join('|');
    else if (w.lvwOriginalData()->header()->sectionSize(0) != 0)
        wrong << "empty column not of width 0";
    if (!w->panelText(Panel::FilePath).isEmpty())
        wrong << "S_FilePath " + w->panelText(Panel::FilePath);
    if (w->panelText(Panel::Original) != CountText::sourceRows(0))
        wrong << "S_Original " + w->panelText(Panel::Original);
    if (w->panelText(Panel::Pickup) != CountText::pickedRows(0))
        wrong << "S_Pickup " + w->panelText(Panel::Pickup);
    if (w->commaCount() != commaCount)
        wrong << "CommaCount " + QString::number(w->commaCount());
    if (w->resultModel()->count() != 0 || !w.lvwPickupData()->isHidden())
        wrong << "result list not hidden and empty";
    if (w.lvwOriginalData()->isHidden())
        wrong << "source list hidden";
    return wrong.join(", ");
}

// What a stopped pickup leaves.
QString stoppedPickupDeviation(const TestWindow& w, qint64 sourceRows) {
    QStringList wrong;
    if (w->store().rowCount() != sourceRows ||
        CountText::parse(w->panelText(Panel::Original)).value_or(-1) != sourceRows)
        wrong << "source table changed";
    if (w.lvwOriginalData()->isHidden())
        wrong << "source list hidden";
    if (!w.lvwPickupData()->isHidden() || w->resultModel()->count() != 0)
        wrong << "result list not hidden and empty";
    if (w->panelText(Panel::Pickup) != CountText::pickedRows(0))
        wrong << "S_Pickup " + w->panelText(Panel::Pickup);
    for (Command key : kResultCommands)
        if (w.enabled(key))
            wrong << commandKey(key) + " on";
    if (w.cmdSend()->isEnabled())
        wrong << "cmdSend on";
    if (!w.enabled(Command::Start))
        wrong << "M_Start off";
    return wrong.join(", ");
}

// What a completed load or pickup leaves, compared with an undisturbed run.
QString completedDeviation(const TestWindow& w, bool pickup, const QStringList& expected) {
    QStringList wrong;
    if (pickup) {
        if (resultTexts(w) != expected)
            wrong << QStringLiteral("%1 result rows").arg(w->resultModel()->count());
        if (w->panelText(Panel::Pickup) != CountText::pickedRows(expected.size()))
            wrong << "S_Pickup " + w->panelText(Panel::Pickup);
        if (w.lvwPickupData()->isHidden() || !w.lvwOriginalData()->isHidden())
            wrong << "result list not the one shown";
        for (Command key : kResultCommands)
            if (!w.enabled(key))
                wrong << commandKey(key) + " off";
        if (!w.cmdSend()->isEnabled())
            wrong << "cmdSend off";
    } else {
        if (sourceRows(w) != expected)
            wrong << QStringLiteral("%1 source rows").arg(w->store().rowCount());
        if (w->panelText(Panel::Original) != CountText::sourceRows(expected.size()))
            wrong << "S_Original " + w->panelText(Panel::Original);
        if (w->panelText(Panel::FilePath).isEmpty())
            wrong << "S_FilePath empty";
        if (w->sourceModel()->headers() != numberedHeaders(w->commaCount() + 1))
            wrong << "headers";
        if (w.lvwOriginalData()->isHidden() || !w.lvwPickupData()->isHidden())
            wrong << "source list not the one shown";
        if (w->panelText(Panel::Pickup) != CountText::pickedRows(0))
            wrong << "S_Pickup " + w->panelText(Panel::Pickup);
    }
    return wrong.join(", ");
}

void addJobRows() {
    QTest::addColumn<bool>("pickup");
    QTest::newRow("load") << false;
    QTest::newRow("pickup") << true;
}

// Starts the job once: a load of the small file, or a pickup over it.
void runJob(TestWindow& w, bool pickup, const QString& loadPath) {
    if (pickup)
        w->cmdAccessKey_Click(3); // Alt+R
    else
        loadFile(w, loadPath);
}

} // namespace

void TestGuiHardeningInterrupts::stopAtAnyMoment_data() {
    addJobRows();
}

void TestGuiHardeningInterrupts::stopAtAnyMoment() {
    QFETCH(bool, pickup);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0); // the shortest slices there are
    const QString loadPath = w.writeFile("stop.csv", stopLoadBytes());
    if (pickup)
        setUpPickup(w);
    JobDriver driver(w);

    // An undisturbed run first: what a completed run gives and how many turns it takes.
    runJob(w, pickup, loadPath);
    QVERIFY(driver.turns > 0);
    const QStringList expected = pickup ? resultTexts(w) : sourceRows(w);
    QVERIFY(!expected.isEmpty());
    if (!pickup)
        QCOMPARE(expected, expectedLoad(stopLoadBytes()).rows);
    const qint64 sourceCount = w->store().rowCount();

    // Then Stop at every turn, up to a few past the end.
    int stopped = 0;
    int completedInARow = 0;
    for (int at = 0; completedInARow < 3; ++at) {
        QVERIFY2(at < 1000, "the job never ends undisturbed");
        bool stopWasOn = false;
        driver.reset(at);
        driver.action = [&] {
            stopWasOn = w.enabled(Command::Stop);
            w->cmdAccessKey_Click(4); // Alt+E
        };
        runJob(w, pickup, loadPath);
        const QString where = QStringLiteral(" (Stop at turn %1 of %2)").arg(at).arg(driver.turns);
        QString deviation = idleDeviation(w);
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
        QVERIFY2(w.platform.messages.isEmpty(), qPrintable(where));
        if (driver.acted) {
            QVERIFY2(stopWasOn, qPrintable("M_Stop off during the job" + where));
            ++stopped;
            completedInARow = 0;
            deviation =
                pickup ? stoppedPickupDeviation(w, sourceCount) : stoppedLoadDeviation(w, 2);
        } else {
            ++completedInARow;
            deviation = completedDeviation(w, pickup, expected);
        }
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
    }
    // Every turn the job gave was a moment to stop at.
    QVERIFY2(stopped >= 20, qPrintable(QString::number(stopped)));
    qInfo("%s: stopped at %d different moments", pickup ? "pickup" : "load", stopped);
}

void TestGuiHardeningInterrupts::aboutAtAnyMoment_data() {
    addJobRows();
}

void TestGuiHardeningInterrupts::aboutAtAnyMoment() {
    QFETCH(bool, pickup);
    TestWindow w;
    w->show();
    w->setJobSliceMs(0);
    const QString loadPath = w.writeFile("about.csv", stopLoadBytes());
    if (pickup)
        setUpPickup(w);
    JobDriver driver(w);
    runJob(w, pickup, loadPath);
    const int turns = driver.turns;
    const QStringList expected = pickup ? resultTexts(w) : sourceRows(w);
    QVERIFY(!expected.isEmpty());

    // About is slower to open and close than Stop: thirty moments spread over the run, then two
    // after its end. On a busy machine the pickup's helper thread takes more of a run, which then
    // gives fewer turns: the moments are spread over the shortest run seen.
    int shortest = turns;
    int interrupted = 0;
    for (int k = 0; k <= 32; ++k) {
        const int at = k < 30 ? k * shortest / 30 : shortest + k - 30;
        bool aboutOpened = false;
        bool busyBehind = false;
        driver.reset(at);
        driver.action = [&] {
            onNextModal([&](QWidget* modal) {
                auto* about = qobject_cast<frmVNLAbout*>(modal);
                aboutOpened = about != nullptr;
                busyBehind = w->isBusy() && w.enabled(Command::Stop);
                if (about)
                    about->findChild<QPushButton*>("cmdClose")->click();
                else
                    modal->close();
            });
            w->toolbarMenuItem(Command::HelpAbout)->trigger();
        };
        runJob(w, pickup, loadPath);
        shortest = std::min(shortest, driver.turns);
        const QString where = QStringLiteral(" (About at turn %1 of %2)").arg(at).arg(driver.turns);
        QVERIFY2(driver.acted == aboutOpened, qPrintable("About did not open" + where));
        if (driver.acted) {
            ++interrupted;
            QVERIFY2(busyBehind, qPrintable("the job was not waiting behind About" + where));
        }
        QString deviation = idleDeviation(w);
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
        deviation = completedDeviation(w, pickup, expected);
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation + where));
        QVERIFY2(w.platform.messages.isEmpty(), qPrintable(where));
    }
    QVERIFY2(interrupted >= 20, qPrintable(QString::number(interrupted)));
    qInfo("%s: About opened at %d different moments", pickup ? "pickup" : "load", interrupted);
}

QTEST_MAIN(TestGuiHardeningInterrupts)
#include "tst_gui_hardening_interrupts.moc"
