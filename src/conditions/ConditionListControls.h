#pragma once

// The controls of one condition list and the model they show. The window builds them; the
// conditions controller drives them.

#include "conditions/ConditionList.h"

#include <QString>

class ConditionListModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

struct ConditionListControls {
    ConditionList id = ConditionList::OutAND;
    QString suffix; // "OutAND", "OutOR", "InAND", "InOR" (part of the controls' names)
    ConditionListModel* model = nullptr;
    QTreeView* lvw = nullptr;
    QLineEdit* txtNo = nullptr;
    QLineEdit* txtGoku = nullptr;
    QPushButton* cmdTuika = nullptr;
    QPushButton* cmdSakujo = nullptr;
    QPushButton* cmdAllSakujo = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* heading = nullptr;
    QLabel* lblColumnName = nullptr; // the typed column's name, when the file has a header line
};
