// Drives the real main window offscreen through a whole session and prints figures, one
// key=value a line. Each phase is one function; a phase that fails prints why and the driver
// exits non-zero.
//
//   vornel_pick_bench --data FILE [--in-and LIST] [--in-or LIST] [--out-and LIST]
//                     [--out-or LIST] [--out RESULT] [--stop] [--no-copy] [--no-sort] [--japanese]
//                     [--ignore-width] [--ignore-kana] [--ignore-case]
//
// Phases: load (myFileOpen; the data-error dialogs are answered with Skip); the list files, each
// through its list's load button; the pickup (Start) when any list was given; over its rows a
// sort ascending and one descending, and Select all + Copy; with --out the result file (Save,
// after the sorts); and with --stop a second load that is stopped after a moment (how long
// Stop takes to end it). max_gap_ms covers the load and the pickup. --no-copy leaves out Select
// all + Copy, whose clipboard text is a second copy of every picked row (for memory figures of
// load, pickup, sort and save alone). --no-sort leaves out the two sorts (Save then writes the rows
// in the file's order). --japanese adds, over the same rows, a code-order sort and
// a Japanese-order sort ("日本語順"), each with its longest event-loop gap and peak memory growth.
// The --ignore-... options check the matching switches of the Start button's drop-down before
// the pickup.
#include "ScriptedPlatform.h"
#include "base/CountText.h"

#include "base/ProcessMemory.h"
#include "conditions/ConditionListModel.h"
#include "main_window/frmVNLMain.h"
#include "results/ResultListModel.h"
#include "settings/AppPaths.h"
#include "source/frmVNLError.h"

#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include <optional>
#include <sys/resource.h>

namespace {

struct Options {
    QString data;
    QString lists[kConditionListCount]; // by ConditionList, empty = not given
    QString out;
    bool stop = false;
    bool copy = true;
    bool sort = true;
    bool japanese = false;
    QStringList switches; // objectNames of the matching switches to check
};

// The longest time the event loop went without a turn, measured with a zero timer that fires
// on every turn.
class GapMeter {
public:
    GapMeter() {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (now - m_lastNs > m_maxGapNs) {
                m_maxGapNs = now - m_lastNs;
                m_maxGapEndNs = now;
            }
            m_lastNs = now;
        });
    }
    void start() {
        m_maxGapNs = 0;
        m_maxGapEndNs = 0;
        m_clock.start();
        m_lastNs = 0;
        m_timer.start();
    }
    double stopMs() {
        m_timer.stop();
        const qint64 now = m_clock.nsecsElapsed();
        if (now - m_lastNs > m_maxGapNs) {
            m_maxGapNs = now - m_lastNs;
            m_maxGapEndNs = now;
        }
        return double(m_maxGapNs) / 1e6;
    }
    // When the longest gap ended, in seconds from start().
    double maxGapEndS() const { return double(m_maxGapEndNs) / 1e9; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_maxGapNs = 0;
    qint64 m_maxGapEndNs = 0;
};

// Answers every data-error dialog with Skip as soon as it shows, and counts them.
class SkipDataErrors : public QObject {
public:
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<frmVNLError*>(watched)) {
                ++shown;
                QMetaObject::invokeMethod(
                    dialog, [dialog] { dialog->cmdCancel->click(); }, Qt::QueuedConnection);
            }
        }
        return false;
    }
};

struct Session {
    ScriptedPlatform platform;
    std::unique_ptr<frmVNLMain> window;
    SkipDataErrors skipper;
    GapMeter gaps;
    double maxGapMs = 0;      // over the load and the pickup
    double earlierPeakMb = 0; // the peak before the pickup reset it
};

void print(const char* key, qint64 value) {
    std::printf("%s=%lld\n", key, static_cast<long long>(value));
}
void print(const char* key, double value) {
    std::printf("%s=%.3f\n", key, value);
}

std::optional<double> rssMb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            const QByteArray kb =
                line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0);
            return kb.toDouble() / 1024.0;
        }
    }
    return std::nullopt;
}

std::optional<double> peakRssMb() {
    return rssMb("VmHWM:");
}

bool fail(const QString& why) {
    std::fprintf(stderr, "vornel_pick_bench: %s\n", qPrintable(why));
    return false;
}

// Any message box the window showed is a failure of the phase.
bool noMessages(Session& s, const char* phase) {
    if (s.platform.messages.isEmpty())
        return true;
    return fail(QStringLiteral("%1: the window said \"%2\"")
                    .arg(QLatin1String(phase), s.platform.messages.first().prompt));
}

// ---- phases ----

bool phaseLoad(Session& s, const Options& o) {
    frmVNLMain& w = *s.window;
    s.skipper.shown = 0;
    s.platform.openAnswers = {o.data};
    QElapsedTimer clock;
    s.gaps.start();
    clock.start();
    w.runCommand(Command::Open);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double maxGap = s.gaps.stopMs();
    if (!noMessages(s, "load"))
        return false;
    if (w.panelText(Panel::FilePath) != o.data)
        return fail(QStringLiteral("load: the file was not loaded"));
    if (w.panelText(Panel::Original) != CountText::sourceRows(w.store().rowCount()))
        return fail(QStringLiteral("load: S_Original does not match the rows"));
    print("rows", w.store().rowCount());
    print("rejected", qint64(s.skipper.shown));
    print("load_s", seconds);
    if (const std::optional<double> peak = peakRssMb())
        print("load_peak_rss_mb", *peak);
    s.maxGapMs = std::max(s.maxGapMs, maxGap);
    return true;
}

// Each given list file through its list's load button.
bool phaseLists(Session& s, const Options& o) {
    frmVNLMain& w = *s.window;
    for (ConditionList id : kConditionListOrder) {
        const QString& path = o.lists[int(id)];
        if (path.isEmpty())
            continue;
        ConditionListControls& list = w.conditionList(id);
        const qsizetype before = list.model->count();
        s.platform.openAnswers = {path};
        list.cmdOpen->click();
        if (!noMessages(s, "lists"))
            return false;
        if (list.model->count() == before)
            return fail(QStringLiteral("lists: %1 loaded no entry from %2")
                            .arg(conditionListName(id), path));
    }
    return true;
}

// Resets the peak resident size, so that the next reading covers only what follows.
void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool phasePickup(Session& s, const Options& o) {
    if (std::all_of(std::begin(o.lists), std::end(o.lists),
                    [](const QString& l) { return l.isEmpty(); }))
        return true;
    frmVNLMain& w = *s.window;
    if (!w.toolbarButton(Command::Start)->isEnabled())
        return fail(QStringLiteral("pickup: Start is not enabled"));
    for (const QString& name : o.switches) {
        auto* item = w.findChild<QAction*>(name);
        if (!item)
            return fail(QStringLiteral("pickup: no %1").arg(name));
        if (!item->isChecked())
            item->trigger();
    }
    const std::optional<double> rssBefore = rssMb("VmRSS:");
    s.earlierPeakMb = std::max(s.earlierPeakMb, peakRssMb().value_or(0));
    resetPeakRss();
    QElapsedTimer clock;
    s.gaps.start();
    clock.start();
    w.runCommand(Command::Start);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double maxGap = s.gaps.stopMs();
    const std::optional<double> peak = rssMb("VmHWM:");
    if (!noMessages(s, "pickup"))
        return false;
    const qint64 picked = w.resultModel()->count();
    if (!w.toolbarButton(Command::Save)->isEnabled())
        return fail(QStringLiteral("pickup: the run did not complete"));
    if (w.panelText(Panel::Pickup) != CountText::pickedRows(picked))
        return fail(QStringLiteral("pickup: S_Pickup does not match the result rows"));
    s.maxGapMs = std::max(s.maxGapMs, maxGap);
    print("picked", picked);
    print("pickup_s", seconds);
    print("pickup_max_gap_ms", maxGap);
    if (rssBefore && peak)
        print("pickup_peak_growth_mb", *peak - *rssBefore);
    return true;
}

// Sort ascending, then descending, each through its command, over the picked rows.
// The processor time of the process so far, all threads (seconds): on a busy machine it shows
// the work a command did, where the wall time also holds the waits for a core.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One sort command, timed, with its longest event-loop gap and its peak memory growth.
void measuredSort(Session& s, Command command, const char* name) {
    const double cpuBefore = cpuSeconds();
    const std::optional<double> rssBefore = rssMb("VmRSS:");
    s.earlierPeakMb = std::max(s.earlierPeakMb, peakRssMb().value_or(0));
    resetPeakRss();
    QElapsedTimer clock;
    s.gaps.start();
    clock.start();
    s.window->runCommand(command);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double maxGap = s.gaps.stopMs();
    const std::optional<double> peak = rssMb("VmHWM:");
    const QByteArray key(name);
    print((key + "_s").constData(), seconds);
    print((key + "_cpu_s").constData(), cpuSeconds() - cpuBefore);
    print((key + "_max_gap_ms").constData(), maxGap);
    if (rssBefore && peak)
        print((key + "_peak_growth_mb").constData(), *peak - *rssBefore);
}

// The code-order sort and the Japanese-order sort over the same rows, measured alike.
bool phaseJapaneseSort(Session& s, const Options& o) {
    frmVNLMain& w = *s.window;
    const qint64 rows = w.resultModel()->count();
    if (!o.japanese || rows == 0)
        return true;
    measuredSort(s, Command::SortDesc, "code_sort"); // from the ascending order of phaseSort
    auto* option = w.findChild<QAction*>(QStringLiteral("mnuSortJapanese"));
    if (!option)
        return fail(QStringLiteral("japanese sort: no 日本語順 option"));
    option->setChecked(true);
    measuredSort(s, Command::SortAsc, "japanese_sort");
    const ResultListModel& m = *w.resultModel();
    QCollator collator{QLocale(QLocale::Japanese)};
    collator.setNumericMode(true);
    for (qint64 i = 1; i < std::min<qint64>(rows, 100000); ++i)
        if (collator.compare(m.rowText(i - 1), m.rowText(i)) > 0)
            return fail(
                QStringLiteral("japanese sort: rows %1 and %2 are out of order").arg(i - 1).arg(i));
    measuredSort(s, Command::SortDesc, "japanese_sort_desc");
    option->setChecked(false);
    return noMessages(s, "japanese sort");
}

bool phaseSort(Session& s, const Options& o) {
    frmVNLMain& w = *s.window;
    const qint64 rows = w.resultModel()->count();
    if (rows == 0 || !o.sort)
        return true;
    QElapsedTimer clock;
    clock.start();
    w.runCommand(Command::SortAsc);
    print("sort_s", double(clock.nsecsElapsed()) / 1e9);
    const ResultListModel& m = *w.resultModel();
    if (m.rowText(0) > m.rowText(rows - 1))
        return fail(QStringLiteral("sort: the rows are not in ascending order"));
    clock.restart();
    w.runCommand(Command::SortDesc);
    print("sort_desc_s", double(clock.nsecsElapsed()) / 1e9);
    if (m.rowText(0) < m.rowText(rows - 1))
        return fail(QStringLiteral("sort: the rows are not in descending order"));
    return noMessages(s, "sort");
}

// Select all, then Copy.
bool phaseCopy(Session& s, const Options& o) {
    frmVNLMain& w = *s.window;
    const qint64 rows = w.resultModel()->count();
    if (rows == 0 || !o.copy)
        return true;
    const int writes = s.platform.clipboardWrites;
    QElapsedTimer clock;
    clock.start();
    w.runCommand(Command::AllSelect);
    w.runCommand(Command::Copy);
    print("copy_s", double(clock.nsecsElapsed()) / 1e9);
    if (s.platform.clipboardWrites != writes + 1 || s.platform.clipboard.count(u'\n') != rows - 1)
        return fail(QStringLiteral("copy: the clipboard does not hold every row"));
    print("copy_mb", double(s.platform.clipboard.size()) * 2 / 1e6);
    s.platform.clipboard = QString(); // give the memory back
    return noMessages(s, "copy");
}

bool phaseSave(Session& s, const Options& o) {
    if (o.out.isEmpty())
        return true;
    frmVNLMain& w = *s.window;
    s.platform.saveAnswers = {o.out};
    const qsizetype dialogs = s.platform.saveDialogs.size();
    QElapsedTimer clock;
    clock.start();
    w.runCommand(Command::Save);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (s.platform.saveDialogs.size() == dialogs)
        return fail(QStringLiteral("save: the Save command showed no dialog"));
    if (!noMessages(s, "save"))
        return false;
    if (!QFile::exists(o.out))
        return fail(QStringLiteral("save: no result file was written"));
    print("save_s", seconds);
    const qint64 bytes = QFileInfo(o.out).size();
    print("save_mb", double(bytes) / 1e6);
    print("save_mb_per_s", double(bytes) / 1e6 / seconds);
    return true;
}

bool phaseGaps(Session& s, const Options&) {
    print("max_gap_ms", s.maxGapMs);
    return true;
}

bool phaseStop(Session& s, const Options& o) {
    frmVNLMain& w = *s.window;
    s.platform.openAnswers = {o.data};
    QElapsedTimer sinceStop;
    QTimer::singleShot(300, &w, [&] {
        sinceStop.start();
        w.cmdAccessKey_Click(4); // Alt+E
    });
    w.runCommand(Command::Open);
    if (!sinceStop.isValid())
        return fail(QStringLiteral("stop: the load ended before Stop was pressed"));
    const double ms = double(sinceStop.nsecsElapsed()) / 1e6;
    if (!noMessages(s, "stop"))
        return false;
    if (w.store().rowCount() != 0 || !w.panelText(Panel::FilePath).isEmpty())
        return fail(QStringLiteral("stop: the table was not emptied"));
    print("stop_ms", ms);
    return true;
}

bool phaseMemory(Session& s, const Options&) {
    const std::optional<double> mb = peakRssMb();
    if (!mb)
        return fail(QStringLiteral("cannot read /proc/self/status"));
    print("peak_rss_mb", std::max(*mb, s.earlierPeakMb));
    return true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: vornel_pick_bench --data FILE [--in-and LIST] [--in-or LIST] "
                 "[--out-and LIST] [--out-or LIST] [--out RESULT] [--stop] [--no-copy] [--no-sort] "
                 "[--japanese] [--ignore-width] [--ignore-kana] [--ignore-case]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    ProcessMemory::returnLargeBlocksAtOnce(); // as the program does
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--data") && i + 1 < argc)
            o.data = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--in-and") && i + 1 < argc)
            o.lists[int(ConditionList::InAND)] = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--in-or") && i + 1 < argc)
            o.lists[int(ConditionList::InOR)] = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--out-and") && i + 1 < argc)
            o.lists[int(ConditionList::OutAND)] = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--out-or") && i + 1 < argc)
            o.lists[int(ConditionList::OutOR)] = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            o.out = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--stop"))
            o.stop = true;
        else if (!std::strcmp(argv[i], "--no-copy"))
            o.copy = false;
        else if (!std::strcmp(argv[i], "--no-sort"))
            o.sort = false;
        else if (!std::strcmp(argv[i], "--japanese"))
            o.japanese = true;
        else if (!std::strcmp(argv[i], "--ignore-width"))
            o.switches << QStringLiteral("mnuIgnoreWidth");
        else if (!std::strcmp(argv[i], "--ignore-kana"))
            o.switches << QStringLiteral("mnuIgnoreKana");
        else if (!std::strcmp(argv[i], "--ignore-case"))
            o.switches << QStringLiteral("mnuIgnoreCase");
        else
            return usage();
    }
    if (o.data.isEmpty())
        return usage();
    if (!QFile::exists(o.data)) {
        fail(QStringLiteral("no such file: %1").arg(o.data));
        return 1;
    }

    // The program's folder (settings file) in a temporary folder.
    QTemporaryDir folder;
    AppPaths::setProgramFolder(folder.path());
    Session s;
    s.window = std::make_unique<frmVNLMain>(&s.platform);
    s.window->show();
    app.installEventFilter(&s.skipper);

    using Phase = bool (*)(Session&, const Options&);
    std::vector<Phase> phases{phaseLoad, phaseLists, phasePickup, phaseSort,  phaseJapaneseSort,
                              phaseCopy, phaseSave,  phaseGaps,   phaseMemory};
    if (o.stop)
        phases.push_back(phaseStop);
    for (Phase phase : phases)
        if (!phase(s, o))
            return 1;
    std::fflush(stdout);
    return 0;
}
