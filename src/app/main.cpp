#include "main_window/frmVNLMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    frmVNLMain window;
    window.show();
    return app.exec();
}
