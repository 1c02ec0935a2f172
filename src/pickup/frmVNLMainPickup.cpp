// Start and Stop on the window, by the names the program's documentation gives them; the work is
// done by PickupController.
#include "main_window/frmVNLMain.h"
#include "pickup/PickupController.h"

void frmVNLMain::myPickupStart() {
    m_pickup->myPickupStart();
}

void frmVNLMain::myPickupStop() {
    m_pickup->myPickupStop();
}

void frmVNLMain::myRowJudge() {
    m_pickup->myRowJudge();
}
