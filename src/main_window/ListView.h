#pragma once

#include <QHeaderView>
#include <QTableView>

// A report-style list over a model: one line per row, column headers, no row numbers and no grid.
// Unlike a tree view it keeps nothing per row and lays out only what is on screen, so a list of
// millions of rows shows as fast as one of five.
class ListView : public QTableView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    // The column headers.
    QHeaderView* header() const { return horizontalHeader(); }
};
