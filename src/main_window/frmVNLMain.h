#pragma once
#include <QWidget>
class frmVNLMain : public QWidget {
    Q_OBJECT
public:
    explicit frmVNLMain(QWidget* parent = nullptr);
};
