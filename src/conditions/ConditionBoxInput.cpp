// The condition lists' text boxes: what an edit keeps, and several pasted lines as entries.
#include "conditions/ConditionBoxInput.h"

#include "conditions/ConditionListControls.h"
#include "conditions/ConditionPaste.h"
#include "conditions/ConditionRegistration.h"
#include "conditions/ConditionsController.h"
#include "conditions/TypedInput.h"
#include "main_window/MainWindowHost.h"
#include "main_window/Platform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include <memory>

namespace {

const QString kErrorTitle = QStringLiteral("エラー");
const QString kDuplicateTitle = QStringLiteral("その語句は登録済みです");
const QString kPasteTitle = QStringLiteral("複数行の貼り付け");

} // namespace

ConditionBoxInput::ConditionBoxInput(ConditionsController& lists, MainWindowHost& host)
    : m_lists(lists), m_host(host) {}

// Keeps of the user's edits in a single-line box only what such a box holds: the inserted piece up
// to its first line break (a pasted spreadsheet cell ends in CR LF), within the keyboard limit.
// takeLines, when given, is first offered a paste of the clipboard's text when that holds several
// lines (Ctrl+V, Shift+Insert, the box's menu), with the box set back to its text before the
// paste; true: it took them, and the box stays as it was. Only an edit that is exactly the
// clipboard's text put over the selection counts: what a box shares with a paste cannot say
// where the pasted text began.
void ConditionBoxInput::keepTypedInput(QLineEdit* box, qsizetype keyboardLimit,
                                       std::function<bool(const QString&)> takeLines) {
    auto before = std::make_shared<QString>(box->text());
    // textEdited comes before textChanged, so `before` still holds the text before the edit.
    QObject::connect(box, &QLineEdit::textEdited, box, [box, before, keyboardLimit, takeLines] {
        const QString edited = box->text();
        const QString was = *before;
        if (takeLines) {
            const QString clip = QGuiApplication::clipboard()->text();
            if (ConditionPaste::offersLines(clip) && TypedInput::isInsertionOf(was, edited, clip)) {
                box->setText(was); // the lines are no text of the box while the question is open
                if (takeLines(clip))
                    return;
                box->setText(edited);
                *before = was;
            }
        }
        qsizetype cursor = 0;
        const QString kept = TypedInput::keep(was, box->text(), keyboardLimit, &cursor);
        if (kept == box->text())
            return;
        box->setText(kept);
        box->setCursorPosition(int(cursor));
    });
    QObject::connect(box, &QLineEdit::textChanged, box, [box, before] { *before = box->text(); });
}

bool ConditionBoxInput::pasteLines(ConditionList id, const QString& text) {
    const std::vector<ConditionPaste::Line> lines = ConditionPaste::nonEmptyLines(text);
    ConditionListControls& list = m_lists.controls(id);
    const QString column = ConditionRegistration::effectiveColumn(list.txtNo->text());
    if (m_host.platform().messageBox(m_host.hostWidget(),
                                     ConditionPaste::question(qsizetype(lines.size()), column, id),
                                     Platform::YesNoQuestion, kPasteTitle) != Platform::Yes)
        return false;

    const ConditionsState before = m_lists.captureState();
    if (list.txtNo->text().isEmpty())
        list.txtNo->setText(column); // as a registration shows the "0" it uses
    ConditionRegistration::Lists models{};
    for (int i = 0; i < kConditionListCount; ++i)
        models[size_t(i)] = m_lists.controls(ConditionList(i)).model;
    const ConditionPaste::Result result = ConditionPaste::registerLines(
        models, id, column, lines, m_host.commaCount(), [this](const QString& question) {
            return m_host.platform().messageBox(m_host.hostWidget(), question,
                                                Platform::YesNoQuestion,
                                                kDuplicateTitle) == Platform::Yes;
        });
    m_lists.recordEdit(before);
    m_lists.mySaveButtonsRefresh();
    m_host.myStartCheck();

    if (!result.columnError.isEmpty())
        m_host.platform().messageBox(m_host.hostWidget(), result.columnError, Platform::Critical,
                                     kErrorTitle);
    else if (const QString skipped =
                 ConditionPaste::skippedMessage(result, qsizetype(lines.size()));
             !skipped.isEmpty())
        m_host.platform().messageBox(m_host.hostWidget(), skipped, Platform::Exclamation,
                                     kPasteTitle);
    return true;
}
