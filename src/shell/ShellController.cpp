// Help, About and the hand-over to Zelvo as the user starts it.
#include "shell/ShellController.h"

#include "main_window/ListView.h"
#include "main_window/MainWindowHost.h"
#include "main_window/Platform.h"
#include "progress/ProgressBar.h"
#include "results/ResultListModel.h"
#include "settings/AppPaths.h"
#include "shell/OpenDocument.h"
#include "shell/frmVNLAbout.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>

#include <cmath>

ShellController::ShellController(MainWindowHost& host, const ResultListModel& results,
                                 JobPanel panel)
    : m_host(host), m_results(results), m_panel(panel) {}

void ShellController::myHelp() {
    mdlShare::OpenDocument(m_host.platform(), m_host.hostWidget(), AppPaths::helpDocumentPath());
}

void ShellController::myAbout() {
    QWidget* window = m_host.hostWidget();
    frmVNLAbout about(m_host.platform(), window);
    // Centred on the main window, even where that puts part of it off the screen.
    // The dialog has no frame yet; it gets one like the main window's, so that is counted in.
    const QRect main = window->frameGeometry();
    const QSize size = about.size() + (main.size() - window->size());
    const double left = main.x() + main.width() / 2.0 - size.width() / 2.0;
    const double top = main.y() + main.height() / 2.0 - size.height() / 2.0;
    about.move(int(std::lround(left)), int(std::lround(top)));
    about.exec();
}

void ShellController::cmdSend_Click() {
    m_host.myControlsDisable();
    // The hand-over cannot be stopped.
    m_host.toolbarButton(Command::Stop)->setEnabled(false);
    m_panel.lblStatus->setText(QStringLiteral("ピックアップデータ転送中..."));
    const qint64 rows = m_results.count();
    QProgressBar* progress = m_host.progressWindow();
    mProgress::ProgressSetPos(progress, 0);
    mProgress::ProgressSetRange(progress, 0, int(rows));
    mProgress::ProgressSetPos(progress, 0);
    m_panel.fraProgressbar->show();
    QCoreApplication::processEvents(); // once, so that the panel is drawn
    m_panel.lvwOriginalData->hide();
    m_panel.lvwPickupData->hide();

    const QString error = m_host.transferResults();

    m_panel.lvwPickupData->show();
    m_panel.fraProgressbar->hide();
    if (error.isEmpty()) {
        m_host.platform().messageBox(m_host.hostWidget(),
                                     QStringLiteral("Vornel の実行結果をZelvoに送りました｡"),
                                     Platform::OkOnly, QStringLiteral("完了"));
    } else {
        // A hand-over that could not be written is not reported as sent.
        m_host.platform().messageBox(m_host.hostWidget(), error, Platform::Critical,
                                     QStringLiteral("エラー"));
    }
    m_host.myControlsEnable();
}
