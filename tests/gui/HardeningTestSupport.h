// Bad input and untimely commands through the real window, the helpers their tests share: what
// the idle window must show, what a load of given bytes must give, and a driver that acts at a
// chosen turn of a running job's event loop.
#pragma once

#include "GuiTestSupport.h"

#include "base/Cp932.h"
#include "conditions/ConditionListModel.h"
#include "main_window/MousePointer.h"
#include "source/frmVNLError.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include <functional>

inline constexpr Command kResultCommands[] = {Command::Save, Command::Print, Command::AllSelect,
                                              Command::Copy, Command::Sort};

inline QStringList sourceRows(const TestWindow& w) {
    QStringList rows;
    for (qint64 r = 0; r < w->store().rowCount(); ++r)
        rows.append(w->store().rowText(r));
    return rows;
}

inline QStringList numberedHeaders(qsizetype count) {
    QStringList h;
    h.reserve(count);
    for (qsizetype i = 1; i <= count; ++i)
        h << QString::number(i);
    return h;
}

// The idle state of the job-state table: Open on, Stop off, Start by the rule, Help on, the
// condition lists on, the window closable, the default pointer, no progress panel. Empty when
// all holds, else what does not.
inline QString idleDeviation(const TestWindow& w) {
    QStringList wrong;
    if (w->isBusy())
        wrong << "busy";
    if (!w.enabled(Command::Open))
        wrong << "M_Open off";
    if (w.enabled(Command::Stop))
        wrong << "M_Stop on";
    if (!w.enabled(Command::Help) || !w->toolbarMenuItem(Command::HelpAbout)->isEnabled())
        wrong << "Help off";
    qsizetype entries = 0;
    for (ConditionList id : kConditionListOrder)
        entries += w->conditionList(id).model->count();
    if (w.enabled(Command::Start) != (entries > 0 && w->store().rowCount() > 0))
        wrong << "M_Start against the rule";
    if (!w.fraWordSet()->isEnabled())
        wrong << "fraWordSet off";
    if (QWindow* handle = w->windowHandle();
        handle && !handle->flags().testFlag(Qt::WindowCloseButtonHint))
        wrong << "Close off";
    if (MousePointer::current() != MousePointer::Default)
        wrong << "pointer not default";
    if (!w.fraProgressbar()->isHidden())
        wrong << "progress panel shown";
    if (QApplication::activeModalWidget())
        wrong << "a modal dialog is still open";
    return wrong.join(", ");
}

#define VERIFY_IDLE(w)                                                                             \
    do {                                                                                           \
        const QString deviation = idleDeviation(w);                                                \
        QVERIFY2(deviation.isEmpty(), qPrintable(deviation));                                      \
    } while (false)

// What loading bytes must give, worked out independently of the loader: lines end at LF (a CR
// right before it belongs to the line end, a lone CR is an ordinary character), the first line's
// commas fix the columns, every other line is a data-error dialog (answered with Skip here).
struct ExpectedLoad {
    qsizetype commaCount = 0;
    QStringList rows;
    int rejected = 0;
};

inline ExpectedLoad expectedLoad(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n')
            continue;
        QByteArray line = bytes.mid(start, i - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines << line;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << bytes.mid(start);
    ExpectedLoad e;
    if (!lines.isEmpty())
        e.commaCount = lines.first().count(',');
    for (const QByteArray& line : lines) {
        if (!line.isEmpty() && line.count(',') == e.commaCount)
            e.rows << Cp932::decode(line);
        else
            ++e.rejected;
    }
    return e;
}

// Drives a running job from a zero timer: counts the turns of the event loop the job gives
// (turns inside a modal dialog do not count), runs `action` at turn `at`, and answers every
// data-error dialog with Skip.
class JobDriver {
public:
    explicit JobDriver(TestWindow& w) : m_w(w) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }

    int at = -1; // -1: never
    std::function<void()> action;

    int turns = 0;
    int dialogs = 0;
    bool acted = false;

    void reset(int newAt) {
        at = newAt;
        turns = 0;
        dialogs = 0;
        acted = false;
    }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* error = qobject_cast<frmVNLError*>(modal)) {
            ++dialogs;
            error->cmdCancel->click();
            return;
        }
        if (modal || !m_w->isBusy())
            return;
        if (turns++ == at && action) {
            acted = true;
            action();
        }
    }

    TestWindow& m_w;
    QTimer m_timer;
};

// Registers an entry through the list's own boxes and button.
inline void registerEntry(TestWindow& w, ConditionList id, const QString& column,
                          const QString& phrase) {
    ConditionListControls& list = w->conditionList(id);
    list.txtNo->setText(column);
    list.txtGoku->setText(phrase);
    list.cmdTuika->click();
}

inline void loadFile(TestWindow& w, const QString& path) {
    w.platform.openAnswers << path;
    w->cmdAccessKey_Click(0); // Alt+O
}
