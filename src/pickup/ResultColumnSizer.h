#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <utility>
#include <vector>

class ListView;
class ResultListModel;

// Sizes the result list's one column to its widest item and its header, and at least to the
// list's visible width. A short list is measured at once. For a long one only the widest rows
// are measured with the font, and finding them (a look at every row) runs in short turns of the
// event loop: the column first gets the visible width and widens when the look is over. A new
// set of rows (another pickup, a sort) starts the look again; a cleared list ends it.
class ResultColumnSizer : public QObject {
    Q_OBJECT
public:
    ResultColumnSizer(ListView* view, const ResultListModel* model);

    // Sizes the column for the model's rows as they are now.
    void fit();
    bool busy() const { return m_timer.isActive(); }

    // Tests: the rows from which the look runs in turns of the event loop, and the rows a turn
    // looks at (0 = as many as about a few milliseconds allow).
    static void setSlicedFromForTesting(std::int64_t rows, std::int64_t rowsPerTurn);

private:
    void turn();
    void apply();

    ListView* m_view;
    const ResultListModel* m_model;
    QTimer m_timer;
    std::int64_t m_next = 0;
    // The widest rows so far, a min-heap of (display width, position).
    std::vector<std::pair<std::int64_t, std::int64_t>> m_widest;
};
