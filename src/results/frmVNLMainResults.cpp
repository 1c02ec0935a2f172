// The result rows' commands on the window, done by ResultsController.
#include "main_window/frmVNLMain.h"

#include "results/ResultsController.h"

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
    m_results->myResultSave();
}
