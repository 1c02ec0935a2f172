// The condition lists' handlers on the window, by the names the program's documentation gives
// them; the work is done by ConditionsController.
#include "conditions/ConditionsController.h"
#include "main_window/frmVNLMain.h"

void frmVNLMain::cmdTuika_Click(ConditionList id) {
    m_conditions->cmdTuika_Click(id);
}
void frmVNLMain::cmdSakujo_Click(ConditionList id) {
    m_conditions->cmdSakujo_Click(id);
}
void frmVNLMain::cmdAllSakujo_Click(ConditionList id) {
    m_conditions->cmdAllSakujo_Click(id);
}
void frmVNLMain::cmdSave_Click(ConditionList id) {
    m_conditions->cmdSave_Click(id);
}
void frmVNLMain::cmdOpen_Click(ConditionList id) {
    m_conditions->cmdOpen_Click(id);
}
void frmVNLMain::lvw_Click(ConditionList id, int position) {
    m_conditions->lvw_Click(id, position);
}
void frmVNLMain::lvw_DblClick(ConditionList id) {
    m_conditions->lvw_DblClick(id);
}
void frmVNLMain::txtGoku_Change(ConditionList id) {
    m_conditions->txtGoku_Change(id);
}
void frmVNLMain::txt_Click() {
    m_conditions->txt_Click();
}
void frmVNLMain::txt_KeyDown(ConditionList id, int key) {
    m_conditions->txt_KeyDown(id, key);
}
bool frmVNLMain::txtNo_KeyPress(ConditionList id, const QString& text,
                                Qt::KeyboardModifiers modifiers) {
    return m_conditions->txtNo_KeyPress(id, text, modifiers);
}
void frmVNLMain::mySaveButtonsRefresh() {
    m_conditions->mySaveButtonsRefresh();
}
