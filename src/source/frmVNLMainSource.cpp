// The Open command and the source list's handlers on the window, by the names the program's
// documentation gives them; the work is done by SourceController.
#include "main_window/frmVNLMain.h"
#include "source/SourceController.h"

void frmVNLMain::myFileSelect() {
    m_source->myFileSelect();
}

void frmVNLMain::myFileOpen(const QString& path) {
    m_source->myFileOpen(path);
}

void frmVNLMain::myFileOpenAs(const QString& path, TextEncoding encoding) {
    m_source->myFileOpenAs(path, encoding);
}

void frmVNLMain::myFileOpenGiven(const QString& path) {
    m_source->myFileOpenGiven(path);
}

void frmVNLMain::lvwOriginalData_Click() {
    m_source->lvwOriginalData_Click();
}

void frmVNLMain::lvwOriginalData_DblClick() {
    m_source->lvwOriginalData_DblClick();
}

void frmVNLMain::dragEnterEvent(QDragEnterEvent* event) {
    m_source->dragEnter(event);
}

void frmVNLMain::dragMoveEvent(QDragMoveEvent* event) {
    m_source->dragMove(event);
}

void frmVNLMain::dropEvent(QDropEvent* event) {
    m_source->drop(event);
}
