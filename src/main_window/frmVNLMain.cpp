#include "main_window/frmVNLMain.h"
frmVNLMain::frmVNLMain(QWidget* parent) : QWidget(parent) {}
