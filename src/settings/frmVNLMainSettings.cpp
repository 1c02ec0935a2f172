// The window position on the window: the handlers, done by SettingsController.
#include "main_window/frmVNLMain.h"

#include "settings/SettingsController.h"

void frmVNLMain::setIniFilePath() {
    m_settings->setIniFilePath();
}

void frmVNLMain::myPositionLoad() {
    m_settings->myPositionLoad();
}

void frmVNLMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_settings->windowShown();
}

void frmVNLMain::myPositionSave() {
    m_settings->myPositionSave();
}
