#include "app/PickCommand.h"

#include "app/PickOptions.h"
#include "app/PickStream.h"
#include "base/FileKind.h"
#include "conditions/ConditionList.h"
#include "conditions/ConditionListFile.h"
#include "conditions/ConditionSetFile.h"
#include "pickup/PickupEngine.h"
#include "pickup/PickupJob.h"
#include "results/ResultFile.h"
#include "results/ResultListModel.h"
#include "results/ResultSort.h"
#include "shell/VersionText.h"
#include "source/DataLoadJob.h"
#include "source/FieldMode.h"
#include "source/RowStore.h"

#include <QIODevice>
#include <QRegularExpression>

#include <array>
#include <chrono>
#include <csignal>
#include <limits>
#include <optional>
#include <vector>

#include <pthread.h>

namespace PickCommand {
namespace {

// Skipped lines named on standard error.
constexpr int kNamedSkippedLines = 10;
// How long the load and the pickup run between two looks at the progress.
constexpr std::chrono::milliseconds kSlice(100);

// A message of the window (which may run over several lines) on one line.
QString oneLine(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    return text.trimmed().replace(breaks, QStringLiteral(" "));
}

// Everything the command writes on standard error goes through here.
class Messages {
public:
    Messages(QIODevice& err, bool quiet, bool progress)
        : m_err(err), m_quiet(quiet), m_progress(progress && !quiet) {}

    void error(const QString& text) { line(text); }
    void note(const QString& text) {
        if (!m_quiet)
            line(text);
    }
    // "vornel: loading 42%", rewritten in place; only when standard error is a terminal.
    void progress(const char* stage, qint64 done, qint64 total) {
        if (!m_progress)
            return;
        const int percent = total > 0 ? int(std::min<qint64>(done, total) * 100 / total) : 100;
        if (percent == m_lastPercent && stage == m_stage)
            return;
        m_lastPercent = percent;
        m_stage = stage;
        m_shown = true;
        m_err.write(QStringLiteral("\r\x1b[Kvornel: %1 %2%")
                        .arg(QLatin1String(stage))
                        .arg(percent)
                        .toUtf8());
    }

    // The last word of the progress, in its place; nothing when no progress is shown.
    void finish(const QString& text) {
        if (m_progress)
            line(text);
    }

private:
    void line(const QString& text) {
        if (m_shown) { // the progress line gives way
            m_err.write("\r\x1b[K");
            m_shown = false;
            m_lastPercent = -1;
        }
        m_err.write((QStringLiteral("vornel: ") + text + u'\n').toUtf8());
    }

    QIODevice& m_err;
    bool m_quiet;
    bool m_progress;
    bool m_shown = false;
    int m_lastPercent = -1;
    const char* m_stage = nullptr;
};

// Ctrl+C (or a hang-up or termination) while the result file is written would leave the save's
// temporary file behind: while one of these lives the signals wait, and take effect once the file
// is complete or gone.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&held, s);
        pthread_sigmask(SIG_BLOCK, &held, &m_before);
    }
    ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &m_before, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t m_before;
};

// Where each entry of the lists came from, for the messages.
struct EntrySource {
    QString file;
    qint64 number = 0; // 1-based, in that file: the entry's (a list file) or its line's (a set)
    bool line = false;
};

struct Lists {
    std::array<std::vector<ConditionEntry>, kConditionListCount> entries;
    std::array<std::vector<EntrySource>, kConditionListCount> sources;
};

// The bad lines of a list or set file, named (the first few) on one line.
QString badLinesError(const QString& path, const std::vector<qint64>& badLines) {
    QStringList numbers;
    for (const qint64 n : badLines) {
        if (numbers.size() == kNamedSkippedLines) {
            numbers.append(QStringLiteral("..."));
            break;
        }
        numbers.append(QString::number(n));
    }
    return QStringLiteral("%1: 形式が正しくない行があるため、中止しました。行番号: %2")
        .arg(path, numbers.join(QStringLiteral(", ")));
}

// The four lists from one set file; any bad line stops the run, as in a list file.
bool loadSet(const QString& path, Lists& lists, Messages& say) {
    try {
        QByteArray bytes;
        if (const std::optional<QString> reason = ConditionListFile::readBytes(path, bytes)) {
            say.error(oneLine(ConditionSetFile::loadFailedMessage(path, *reason)));
            return false;
        }
        const ConditionSetFile::ParseResult parsed = ConditionSetFile::parse(QByteArrayView(bytes));
        if (!parsed.badLines.empty()) {
            say.error(badLinesError(path, parsed.badLines));
            return false;
        }
        for (ConditionList id : kConditionListOrder) {
            lists.entries[size_t(id)] = parsed.lists[size_t(id)];
            for (const qint64 line : parsed.lineNumbers[size_t(id)])
                lists.sources[size_t(id)].push_back({path, line, true});
        }
    } catch (const std::bad_alloc&) {
        say.error(QStringLiteral("%1: %2").arg(path, DataLoadJob::outOfMemoryText()));
        return false;
    }
    return true;
}

// A line that holds no entry stops the run: without it a list would pick more (or drop less)
// than the script asked for.
bool loadLists(const PickOptions& o, Lists& lists, Messages& say) {
    if (!o.set.isEmpty())
        return loadSet(o.set, lists, say);
    for (ConditionList id : kConditionListOrder) {
        for (const QString& path : o.lists[size_t(id)]) {
            try {
                const ConditionListFile::LoadResult loaded = ConditionListFile::load(path);
                if (!loaded.ok()) {
                    say.error(oneLine(loaded.error));
                    return false;
                }
                if (!loaded.badLines.empty()) {
                    say.error(badLinesError(path, loaded.badLines));
                    return false;
                }
                for (qsizetype k = 0; k < qsizetype(loaded.entries.size()); ++k) {
                    lists.entries[size_t(id)].push_back(loaded.entries[size_t(k)]);
                    lists.sources[size_t(id)].push_back({path, k + 1});
                }
            } catch (const std::bad_alloc&) {
                say.error(QStringLiteral("%1: %2").arg(path, DataLoadJob::outOfMemoryText()));
                return false;
            }
        }
    }
    return true;
}

// The output must not be one of the inputs, however it is named: the result would replace the
// file it is read from.
bool outputIsNoInput(const PickOptions& o, Messages& say) {
    if (o.output.isEmpty() || o.output == u"-")
        return true;
    if (FileKind::isSameFile(o.output, o.data)) {
        say.error(QStringLiteral("%1: 出力ファイルがデータファイル %2 と同じファイルのため、"
                                 "書き込みませんでした。")
                      .arg(o.output, o.data));
        return false;
    }
    if (!o.set.isEmpty() && FileKind::isSameFile(o.output, o.set)) {
        say.error(QStringLiteral("%1: 出力ファイルが条件セットファイル %2 と同じファイルのため、"
                                 "書き込みませんでした。")
                      .arg(o.output, o.set));
        return false;
    }
    for (const QStringList& files : o.lists) {
        for (const QString& list : files) {
            if (FileKind::isSameFile(o.output, list)) {
                say.error(
                    QStringLiteral("%1: 出力ファイルがリストファイル %2 と同じファイルのため、"
                                   "書き込みませんでした。")
                        .arg(o.output, list));
                return false;
            }
        }
    }
    return true;
}

// The lines a load skipped, named (the first few) once it is through.
struct Skipped {
    qint64 count = 0;
    QStringList named;

    void add(qint64 lineNumber) {
        if (++count <= kNamedSkippedLines)
            named.append(QString::number(lineNumber));
    }
    void report(const QString& path, Messages& say) {
        if (count == 0)
            return;
        if (count > kNamedSkippedLines)
            named.append(QStringLiteral("..."));
        say.note(QStringLiteral("%1: skipped %2 %3 whose comma count differs from line 1: %4")
                     .arg(path)
                     .arg(count)
                     .arg(count == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
                     .arg(named.join(QStringLiteral(", "))));
    }
};

// The load as Open does it, with every line that does not fit skipped and counted. A file without
// any byte gives no row.
bool loadData(const QString& path, DataLoadJob& job, RowStore& store, Messages& say) {
    Skipped skipped;
    DataLoadJob::Hooks hooks;
    hooks.progress = [&say](DataLoadJob::Stage stage, qint64 done, qint64 total) {
        if (done > 0 || total == 0)
            say.progress(stage == DataLoadJob::Stage::Reading ? "reading" : "loading", done, total);
    };
    hooks.misfit = [&](QByteArrayView, qint64 lineNumber) {
        skipped.add(lineNumber);
        return true;
    };
    const DataLoadJob::Result result = job.run(store, hooks, kSlice);
    if (!result.done()) {
        say.error(QStringLiteral("%1: %2").arg(path, oneLine(result.error)));
        return false;
    }
    if (result.changed) {
        say.error(QStringLiteral("%1: %2").arg(path, DataLoadJob::changedText()));
        return false;
    }
    skipped.report(path, say);
    return true;
}

// The pickup without a sort: read, picked and written batch by batch (PickStream), with the same
// messages in the same order as the whole load gives them. -1: an entry was refused (refused).
int pickStreamed(const PickOptions& o, DataLoadJob& job, const PickupConditions& conditions,
                 const PickupEngine& engine, QIODevice& out, Messages& say,
                 PickupCompileError& refused) {
    const bool toFile = !(o.output.isEmpty() || o.output == u"-");
    const PickStream::Setup setup{o.data,   o.output,   o.header, o.encoding,
                                  o.fields, conditions, o.match};
    Skipped skipped;
    PickStream::Result streamed;
    {
        // The result file is written all along: Ctrl+C waits for it, as for a whole Save.
        std::optional<InterruptsHeld> held;
        if (toFile)
            held.emplace();
        streamed = PickStream::run(
            job, setup, engine, out,
            [&skipped](QByteArrayView, qint64 lineNumber) { skipped.add(lineNumber); },
            [&say](qint64 done, qint64 total) { say.progress("picking", done, total); });
    }
    using Outcome = PickStream::Result::Outcome;
    if (streamed.outcome == Outcome::ReadFailed) {
        say.error(QStringLiteral("%1: %2").arg(o.data, oneLine(streamed.error)));
        return Failed;
    }
    if (streamed.outcome == Outcome::Changed) {
        say.error(QStringLiteral("%1: %2").arg(o.data, DataLoadJob::changedText()));
        return Failed;
    }
    skipped.report(o.data, say);
    if (streamed.outcome == Outcome::Refused) {
        refused = streamed.refused;
        return -1;
    }
    if (streamed.outcome == Outcome::WriteFailed) {
        const QString text = oneLine(ResultFile::message(streamed.writeError));
        say.error(toFile ? QStringLiteral("%1: %2").arg(o.output, text)
                         : QStringLiteral("standard output: %1").arg(text));
        return Failed;
    }
    say.finish(QStringLiteral("%1: picked %2 of %3 rows")
                   .arg(o.data)
                   .arg(streamed.picked)
                   .arg(streamed.rows));
    return Done;
}

int pick(const PickOptions& o, QIODevice& out, Messages& say) {
    // The list files and the first line first: a wrong entry is found before a long load.
    if (!outputIsNoInput(o, say))
        return Failed;
    Lists lists;
    if (!loadLists(o, lists, say))
        return Failed;
    DataLoadJob job(o.data, o.encoding);
    job.setHeaderLine(o.header);
    job.forceFieldMode(o.fields);
    if (const std::optional<QString> error = job.readFirstLine()) {
        say.error(QStringLiteral("%1: %2").arg(o.data, oneLine(*error)));
        return Failed;
    }
    // A file without any line has no columns to check the entries against (and no row to pick):
    // only their patterns are checked, so that an empty export gives an empty result.
    const int commaCount = job.isEmpty() ? std::numeric_limits<int>::max() - 1 : job.commaCount();

    const auto& e = lists.entries;
    const PickupConditions conditions{
        e[size_t(ConditionList::OutAND)], e[size_t(ConditionList::OutOR)],
        e[size_t(ConditionList::InAND)], e[size_t(ConditionList::InOR)]};
    PickupCompileError refused;
    std::optional<PickupEngine> engine =
        PickupEngine::compile(conditions, commaCount, &refused, job.encoding(), o.match);
    const auto refuse = [&] {
        const EntrySource& from = lists.sources[size_t(refused.list)][size_t(refused.entryIndex)];
        say.error(QStringLiteral("%1: %2 %3: %4")
                      .arg(from.file)
                      .arg(from.line ? QStringLiteral("line") : QStringLiteral("entry"))
                      .arg(from.number)
                      .arg(oneLine(refused.message)));
        return Failed;
    };
    if (!engine)
        return refuse();
    if (!o.sort && !job.isEmpty() && PickStream::enabled()) {
        const int status = pickStreamed(o, job, conditions, *engine, out, say, refused);
        return status < 0 ? refuse() : status;
    }

    RowStore store;
    const TextEncoding guessed = job.encoding();
    if (!loadData(o.data, job, store, say))
        return Failed;
    // All of the file's bytes may have decided otherwise than its first megabyte (the phrases are
    // matched in the encoding taken), and in quoted mode the columns are the first record's: the
    // entries are checked again against what the load found.
    const bool quoted = job.fieldMode() == FieldMode::Quoted && !job.isEmpty();
    if (store.encoding() != guessed || quoted) {
        engine = PickupEngine::compile(conditions, quoted ? job.commaCount() : commaCount, &refused,
                                       store.encoding(), o.match);
        if (!engine)
            return refuse();
    }

    PickupJob::Hooks hooks;
    hooks.progress = [&say](qint64 done, qint64 total, qint64) {
        say.progress("picking", done, total);
    };
    PickupJob::Result picked = PickupJob::run(store, *engine, store.rowCount(), hooks, kSlice);
    if (!picked.done()) {
        say.error(QStringLiteral("%1: %2").arg(o.data, DataLoadJob::outOfMemoryText()));
        return Failed;
    }
    ResultListModel result(&store);
    result.setRows(std::move(picked.rows));
    if (o.sort)
        ResultSort::apply(result, ResultSort::sortedOrder(result, *o.sort, o.order));

    if (o.output.isEmpty() || o.output == u"-") {
        if (const std::optional<ResultFile::Error> error = ResultFile::write(out, result)) {
            say.error(
                QStringLiteral("standard output: %1").arg(oneLine(ResultFile::message(*error))));
            return Failed;
        }
    } else {
        std::optional<ResultFile::Error> error;
        {
            const InterruptsHeld held;
            error = ResultFile::save(o.output, result);
        }
        if (error) {
            say.error(QStringLiteral("%1: %2").arg(o.output, oneLine(ResultFile::message(*error))));
            return Failed;
        }
    }
    say.finish(QStringLiteral("%1: picked %2 of %3 rows")
                   .arg(o.data)
                   .arg(result.count())
                   .arg(store.rowCount()));
    return Done;
}

} // namespace

bool isCommandLine(const QStringList& arguments) {
    for (const QString& a : arguments)
        if (a.startsWith(u"--") || a == u"-h" || a == u"-q" || a == u"-o")
            return true;
    return false;
}

QString usageText() {
    return PickOptions::usageText();
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err, bool showProgress) {
    PickOptions o;
    if (const std::optional<QString> problem = PickOptions::parse(arguments, o)) {
        err.write((QStringLiteral("vornel: ") + *problem + u'\n' + usageText() +
                   QStringLiteral("Try 'vornel --help' for more.\n"))
                      .toUtf8());
        return UsageError;
    }
    if (o.help) {
        out.write(PickOptions::helpText().toUtf8());
        return Done;
    }
    if (o.version) {
        out.write(
            QStringLiteral("vornel %1\n").arg(ProgramVersionText().section(u' ', -1)).toUtf8());
        return Done;
    }
    Messages say(err, o.quiet, showProgress);
    try {
        return pick(o, out, say);
    } catch (const std::bad_alloc&) {
        say.error(QStringLiteral("%1: %2").arg(o.data, DataLoadJob::outOfMemoryText()));
        return Failed;
    }
}

} // namespace PickCommand