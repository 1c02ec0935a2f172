// Help, About and the transfer of the result rows to Zelvo: the window's handlers, done by
// ShellController, and the hand-over file's write.
#include "main_window/frmVNLMain.h"

#include "base/WholeFile.h"
#include "main_window/Platform.h"
#include "results/ResultListModel.h"
#include "results/RowWriter.h"
#include "settings/AppPaths.h"
#include "shell/ShellController.h"
#include "shell/TransferFile.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

void frmVNLMain::myHelp() {
    m_shell->myHelp();
}

void frmVNLMain::myAbout() {
    m_shell->myAbout();
}

void frmVNLMain::cmdSend_Click() {
    m_shell->cmdSend_Click();
}

QString frmVNLMain::transferResults() {
    TransferToZelvo(false);
    return m_transferError;
}

void frmVNLMain::TransferToZelvo(bool atShutdown) {
    m_transferError.clear();
    // At shut-down there is nothing to hand over: an earlier hand-over file stays as it was.
    if (atShutdown)
        return;

    const ResultListModel* results = m_resultModel;
    const auto write = [&](bool allowInPlace) {
        return mdlShare::WriteTransferFile(
            AppPaths::transferFilePath(), results->count(),
            [results](qint64 pos) { return results->rowBytes(pos); }, RowWriter::mark(m_store),
            [this](qint64 done) {
                mProgress::ProgressSetPos(ProgressWindow, int(done));
                // Let the bar be drawn; the busy state keeps every command but Help out meanwhile.
                QCoreApplication::processEvents();
            },
            m_jobSliceMs, allowInPlace);
    };
    mdlShare::TransferFileResult result = write(false);
    // Where the folder refuses a temporary file, the file is written in place only when the user
    // agrees to lose it should the write fail; declined, nothing is handed over, as after a
    // failure.
    if (result.inPlaceOnly) {
        if (m_platform->messageBox(this, inPlaceQuestion(result.path), Platform::YesNoQuestion,
                                   QStringLiteral("Vornel")) != Platform::Yes) {
            m_transferError = result.message();
            return;
        }
        result = write(true);
    }
    if (!result.ok())
        m_transferError = result.message();
}
