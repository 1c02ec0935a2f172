// The condition lists' tests in the real window: a shown window with helpers that drive one
// list's boxes, buttons and rows.
#pragma once

#include "GuiTestSupport.h"

#include "conditions/ConditionListModel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include <vector>

using Entries = std::vector<ConditionEntry>;

inline const QString kError = QStringLiteral("エラー");

inline constexpr ConditionList kAll[] = {ConditionList::OutAND, ConditionList::OutOR,
                                         ConditionList::InAND, ConditionList::InOR};

// A shown window with helpers to drive one list's controls.
struct Fixture {
    TestWindow w;

    Fixture() {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    }

    ConditionListControls& list(ConditionList id) { return w->conditionList(id); }
    Entries entries(ConditionList id) { return list(id).model->entries(); }

    // Registers through the window: the boxes are filled as a paste would, then "追加".
    void registerEntry(ConditionList id, const QString& column, const QString& phrase) {
        list(id).txtNo->setText(column);
        list(id).txtGoku->setText(phrase);
        QTest::mouseClick(list(id).cmdTuika, Qt::LeftButton);
    }

    QPoint rowPoint(ConditionList id, int position) {
        // Near the left end of the row: the phrase column runs past the list's right edge.
        const QRect r = list(id).lvw->visualRect(list(id).model->index(position - 1, 0));
        return QPoint(r.left() + 4, r.center().y());
    }
    // A point in the list's empty part, below the last row.
    QPoint emptyPoint(ConditionList id) {
        QTreeView* lvw = list(id).lvw;
        const QPoint p(8, lvw->viewport()->height() - 2);
        return lvw->indexAt(p).isValid() ? QPoint(-1, -1) : p;
    }
    void clickRow(ConditionList id, int position) {
        QTest::mouseClick(list(id).lvw->viewport(), Qt::LeftButton, {}, rowPoint(id, position));
    }
    void doubleClickAt(ConditionList id, QPoint p) {
        QTest::mouseDClick(list(id).lvw->viewport(), Qt::LeftButton, {}, p);
    }
    void doubleClickRow(ConditionList id, int position) {
        doubleClickAt(id, rowPoint(id, position));
    }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Fills a list as a loaded list file would, without any handler.
    void fill(ConditionList id, const Entries& e) {
        for (const ConditionEntry& entry : e)
            list(id).model->appendEntry(entry);
    }

    bool deleteEnabled(ConditionList id) { return list(id).cmdSakujo->isEnabled(); }
    QList<bool> deleteButtons() {
        QList<bool> states;
        for (ConditionList id : kAll)
            states << deleteEnabled(id);
        return states;
    }
    void saveButtonsFollowCounts() {
        for (ConditionList id : kAll)
            QCOMPARE(list(id).cmdSave->isEnabled(), list(id).model->count() > 0);
    }
};
