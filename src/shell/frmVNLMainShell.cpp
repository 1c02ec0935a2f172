// Help, About and the transfer of the result rows to Zelvo.
#include "main_window/frmVNLMain.h"

#include "main_window/Platform.h"
#include "results/ResultListModel.h"
#include "results/RowWriter.h"
#include "settings/AppPaths.h"
#include "shell/OpenDocument.h"
#include "shell/TransferFile.h"
#include "shell/frmVNLAbout.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include <cmath>

void frmVNLMain::myHelp() {
    mdlShare::OpenDocument(platform(), this, AppPaths::helpDocumentPath());
}

void frmVNLMain::myAbout() {
    frmVNLAbout about(platform(), this);
    // Centred on the main window, even where that puts part of it off the screen.
    // The dialog has no frame yet; it gets one like the main window's, so that is counted in.
    const QRect main = frameGeometry();
    const QSize size = about.size() + (main.size() - this->size());
    const double left = main.x() + main.width() / 2.0 - size.width() / 2.0;
    const double top = main.y() + main.height() / 2.0 - size.height() / 2.0;
    about.move(int(std::lround(left)), int(std::lround(top)));
    about.exec();
}

void frmVNLMain::cmdSend_Click() {
    myControlsDisable();
    // The hand-over cannot be stopped.
    toolbarButton(QStringLiteral("M_Stop"))->setEnabled(false);
    lblStatus->setText(QStringLiteral("ピックアップデータ転送中..."));
    const qint64 rows = m_resultModel->count();
    mProgress::ProgressSetPos(ProgressWindow, 0);
    mProgress::ProgressSetRange(ProgressWindow, 0, int(rows));
    mProgress::ProgressSetPos(ProgressWindow, 0);
    fraProgressbar->show();
    QCoreApplication::processEvents(); // once, so that the panel is drawn
    lvwOriginalData->hide();
    lvwPickupData->hide();

    TransferToZelvo(false);

    lvwPickupData->show();
    fraProgressbar->hide();
    if (m_transferError.isEmpty()) {
        platform().messageBox(this, QStringLiteral("Vornel の実行結果をZelvoに送りました｡"),
                              Platform::OkOnly, QStringLiteral("完了"));
    } else {
        // A hand-over that could not be written is not reported as sent.
        platform().messageBox(this, m_transferError, Platform::Critical, QStringLiteral("エラー"));
    }
    myControlsEnable();
}

void frmVNLMain::TransferToZelvo(bool atShutdown) {
    m_transferError.clear();
    // At shut-down there is nothing to hand over: an earlier hand-over file stays as it was.
    if (atShutdown)
        return;

    const ResultListModel* results = m_resultModel;
    const mdlShare::TransferFileResult result = mdlShare::WriteTransferFile(
        AppPaths::transferFilePath(), results->count(),
        [results](qint64 pos) { return results->rowBytes(pos); }, RowWriter::mark(m_store),
        [this](qint64 done) {
            mProgress::ProgressSetPos(ProgressWindow, int(done));
            // Let the bar be drawn; the busy state keeps every command but Help out meanwhile.
            QCoreApplication::processEvents();
        },
        jobSliceMs);
    if (!result.ok())
        m_transferError = result.message();
}
