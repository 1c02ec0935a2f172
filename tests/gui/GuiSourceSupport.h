// Helpers the GUI tests of loading share: the rows and column names the window shows, and the
// data-error dialogs answered one after the other.
#pragma once

#include "GuiTestSupport.h"

#include "main_window/MousePointer.h"
#include "source/frmVNLError.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QStringList>

inline QStringList sourceRows(frmVNLMain& w) {
    QStringList rows;
    for (qint64 r = 0; r < w.store().rowCount(); ++r)
        rows.append(w.store().rowText(r));
    return rows;
}

inline QStringList headers(frmVNLMain& w) {
    return w.sourceModel()->headers();
}

// What a test does with one data-error dialog.
struct DialogStep {
    enum Action { Skip, Correct, CorrectRefusedThenSkip, CloseBox, StopLoad, SkipAll };
    Action action = Skip;
    QString text; // for Correct / CorrectRefusedThenSkip: the text typed in
};

// What the dialogs showed.
struct Seen {
    QString file;
    QString row;
    QString data;
    QString reason;
    bool arrowWhileOpen = false;
    bool hourglassAfter = false;
    bool refusedStayedOpen = true;
    bool selected = false; // some text of the line was selected when the dialog opened
    int cursor = -1;
};

// Answers the coming data-error dialogs one after the other.
inline void answerDialogs(QList<DialogStep> steps, QList<Seen>* seen) {
    if (steps.isEmpty())
        return;
    onNextModal([steps, seen](QWidget* modal) mutable {
        auto* dialog = qobject_cast<frmVNLError*>(modal);
        if (!dialog)
            return;
        Seen s;
        s.file = dialog->findChild<QLabel*>("lblErrorFile")->text();
        s.row = dialog->findChild<QLabel*>("lblErrorRow")->text();
        auto* txtData = dialog->findChild<QLineEdit*>("txtData");
        s.data = txtData->text();
        s.reason = dialog->findChild<QLabel*>("lblErrorReason")->text();
        s.selected = txtData->hasSelectedText();
        s.cursor = txtData->cursorPosition();
        s.arrowWhileOpen = MousePointer::current() == MousePointer::Default;
        const DialogStep step = steps.takeFirst();
        auto* cmdOk = dialog->findChild<QPushButton*>("cmdOk");
        auto* cmdCancel = dialog->findChild<QPushButton*>("cmdCancel");
        switch (step.action) {
        case DialogStep::Skip:
            cmdCancel->click();
            break;
        case DialogStep::Correct:
            txtData->setText(step.text);
            cmdOk->click();
            break;
        case DialogStep::CorrectRefusedThenSkip:
            txtData->setText(step.text);
            cmdOk->click();
            s.refusedStayedOpen = dialog->isVisible() && txtData->text() == step.text &&
                                  MousePointer::current() == MousePointer::Default;
            cmdCancel->click();
            break;
        case DialogStep::CloseBox:
            dialog->close();
            break;
        case DialogStep::StopLoad:
            dialog->findChild<QPushButton*>("cmdStop")->click();
            break;
        case DialogStep::SkipAll:
            dialog->findChild<QPushButton*>("cmdSkipAll")->click();
            break;
        }
        s.hourglassAfter = MousePointer::current() == MousePointer::Hourglass;
        seen->append(s);
        answerDialogs(steps, seen);
    });
}
