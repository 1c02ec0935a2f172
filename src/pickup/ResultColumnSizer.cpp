// The result column's width: the widest rows found and measured with the list's font.
#include "pickup/ResultColumnSizer.h"

#include "main_window/ListView.h"
#include "results/DisplayWidth.h"
#include "results/ResultListModel.h"
#include "source/RowStore.h"

#include <QAbstractItemDelegate>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <functional>

namespace {

// Rows whose text is measured with the font: all of them up to this many, otherwise this many
// of the widest (by display width, a full-width character counting two: by code units a short
// row of kanji would lose to longer rows of ASCII that are narrower; measuring millions of rows
// with the font would take seconds).
constexpr std::int64_t kMeasuredRows = 64;
// From this many rows the widest are looked for in turns of the event loop.
std::int64_t slicedFrom = std::int64_t(1) << 20;
std::int64_t rowsPerTurn = 0;
// How long one turn looks at rows.
constexpr qint64 kTurnNs = 8'000'000;

} // namespace

void ResultColumnSizer::setSlicedFromForTesting(std::int64_t rows, std::int64_t perTurn) {
    slicedFrom = rows;
    rowsPerTurn = perTurn;
}

ResultColumnSizer::ResultColumnSizer(ListView* view, const ResultListModel* model)
    : QObject(view), m_view(view), m_model(model) {
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &ResultColumnSizer::turn);
    // The rows changed under the look (a sort, a new pickup): it starts again over the new rows.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (busy())
            fit();
    });
}

void ResultColumnSizer::fit() {
    m_timer.stop();
    m_widest.clear();
    m_next = 0;
    const std::int64_t count = m_model->count();
    if (count < slicedFrom) {
        do
            turn(); // the last turn applies the width, even for no rows
        while (m_next < count);
        return;
    }
    // Meanwhile the column fills the visible width.
    m_view->header()->resizeSection(
        0, std::max(m_view->header()->sectionSizeHint(0), m_view->viewport()->width()));
    m_timer.start();
}

void ResultColumnSizer::turn() {
    const std::int64_t count = m_model->count();
    const TextEncoding encoding = m_model->store().encoding();
    QElapsedTimer clock;
    clock.start();
    std::int64_t end = count;
    if (rowsPerTurn > 0)
        end = std::min(count, m_next + rowsPerTurn);
    const auto later = std::greater<>();
    while (m_next < end) {
        const std::int64_t stop = std::min(end, m_next + 4096);
        for (; m_next < stop; ++m_next) {
            const std::int64_t width = DisplayWidth::columns(encoding, m_model->rowBytes(m_next));
            if (std::int64_t(m_widest.size()) < kMeasuredRows) {
                m_widest.emplace_back(width, m_next);
                std::push_heap(m_widest.begin(), m_widest.end(), later);
            } else if (width > m_widest.front().first) {
                std::pop_heap(m_widest.begin(), m_widest.end(), later);
                m_widest.back() = {width, m_next};
                std::push_heap(m_widest.begin(), m_widest.end(), later);
            }
        }
        if (rowsPerTurn == 0 && m_timer.isActive() && clock.nsecsElapsed() > kTurnNs)
            return;
    }
    if (m_next < count)
        return;
    m_timer.stop();
    apply();
}

void ResultColumnSizer::apply() {
    QStyleOptionViewItem option;
    option.initFrom(m_view);
    option.font = m_view->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.widget = m_view;
    QAbstractItemDelegate* delegate = m_view->itemDelegate();
    int width = m_view->header()->sectionSizeHint(0);
    for (const auto& [columns, pos] : m_widest) {
        if (pos >= m_model->count())
            continue;
        const QModelIndex index = m_model->index(int(pos), 0);
        width = std::max(width, delegate->sizeHint(option, index).width());
    }
    width = std::max(width, m_view->viewport()->width());
    m_view->header()->resizeSection(0, width);
    m_widest.clear();
}
