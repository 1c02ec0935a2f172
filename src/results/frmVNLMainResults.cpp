// The result rows' commands on the window: Save is written here; select all, copy, sort and print
// are done by ResultsController.
#include "main_window/frmVNLMain.h"

#include "base/FileKind.h"
#include "base/WholeFile.h"
#include "main_window/MousePointer.h"
#include "main_window/Platform.h"
#include "results/ResultFile.h"
#include "results/ResultListModel.h"
#include "results/ResultsController.h"

#include <QDir>

namespace {

const QString kMessageTitle = QStringLiteral("Vornel");

QString sameAsDataFileMessage(const QString& path) {
    return QStringLiteral("「%1」は読み込んでいるデータファイルと同じファイルです。\n"
                          "データファイルには保存できません。別の名前を指定してください。")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace

void frmVNLMain::myAllSelect() {
    m_results->myAllSelect();
}

void frmVNLMain::myCopy() {
    m_results->myCopy();
}

void frmVNLMain::mySortAsc() {
    m_results->mySortAsc();
}

void frmVNLMain::mySortDesc() {
    m_results->mySortDesc();
}

void frmVNLMain::myResultPrint() {
    m_results->myResultPrint();
}

void frmVNLMain::lvwPickupData_Click() {
    m_results->lvwPickupData_Click();
}

void frmVNLMain::lvwPickupData_MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
    m_results->lvwPickupData_MouseDown(button, globalPos);
}

void frmVNLMain::myResultSave() {
    dlg.Filter = QStringLiteral("*.csv|*.csv|*.txt|*.txt|*.xls|*.xls|");
    dlg.Flags = CommonDialog::OverwritePrompt;
    if (!dlg.ShowSave(CommonDialog::Use::ResultSave))
        return; // cancelled: nothing written, nothing said
    const QString path = dlg.FileName;
    if (path.isEmpty())
        return;
    // The result must not replace the file its rows are read from, however it is named.
    if (FileKind::isSameFile(path, panelText(Panel::FilePath))) {
        m_platform->messageBox(this, sameAsDataFileMessage(path), Platform::Exclamation,
                               kMessageTitle);
        return;
    }
    // Written under the name the dialog gives: one typed without an extension has the filter's.
    MousePointer::set(MousePointer::Hourglass);
    std::optional<ResultFile::Error> error = ResultFile::save(path, *m_resultModel);
    MousePointer::set(MousePointer::Default);
    // Where the folder refuses a temporary file, the file is written in place only when the user
    // agrees to lose it should the write fail.
    if (error && error->inPlaceOnly) {
        if (m_platform->messageBox(this, inPlaceQuestion(path),
                                   Platform::Question + Platform::YesNo,
                                   kMessageTitle) != Platform::Yes)
            return;
        MousePointer::set(MousePointer::Hourglass);
        error = ResultFile::save(path, *m_resultModel, true);
        MousePointer::set(MousePointer::Default);
    }
    if (error)
        m_platform->messageBox(this, ResultFile::message(*error), Platform::Exclamation,
                               kMessageTitle);
}
