// What several result tests share: a result list over a store of lines, a shuffled row order,
// and random texts made to tie often.
#pragma once

#include "StoreLines.h"
#include "results/ResultListModel.h"
#include "results/ResultSort.h"
#include "source/RowStore.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <random>
#include <span>
#include <vector>

using Order = ResultSort::Order;
using Collation = ResultSort::Collation;
// A source store holding lines, and a result list showing all of them in that order.
struct Results {
    explicit Results(const QStringList& lines) : model(&store) {
        fillStore(store, lines);
        std::vector<std::uint32_t> rows(size_t(lines.size()));
        std::iota(rows.begin(), rows.end(), 0u);
        model.setRows(std::move(rows));
    }
    QStringList texts() const {
        QStringList out;
        for (qint64 i = 0; i < model.count(); ++i)
            out << model.rowText(i);
        return out;
    }
    void sort(Order order, Collation collation = Collation::Code) {
        ResultSort::apply(model, ResultSort::sortedOrder(model, order, collation));
    }
    // Sorts ascending, then descending: the descending order is the ascending one reversed.
    void checkDescendingMirrors(Collation collation) {
        sort(Order::Ascending, collation);
        QStringList reversed = texts();
        std::reverse(reversed.begin(), reversed.end());
        sort(Order::Descending, collation);
        QCOMPARE(texts(), reversed);
    }

    RowStore store;
    ResultListModel model;
};

// Shows the rows in a shuffled order (so positions and source rows differ) and returns it.
inline std::vector<std::uint32_t> shuffleRows(ResultListModel& model, unsigned seed) {
    std::vector<std::uint32_t> rows = model.rows();
    std::shuffle(rows.begin(), rows.end(), std::mt19937(seed));
    model.setRows(rows);
    return rows;
}

// n texts, each a prefix and up to maxLength - 1 pieces drawn at random, one in eight a copy of
// an earlier text.
inline QStringList randomTexts(int n, quint32 seed, const QStringList& prefixes,
                               std::span<const QStringView> pieces, int maxLength) {
    QRandomGenerator rng(seed);
    QStringList lines;
    lines.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && rng.bounded(8) == 0) {
            lines << lines[int(rng.bounded(i))]; // duplicate
            continue;
        }
        QString s = prefixes[int(rng.bounded(qsizetype(prefixes.size())))];
        const int len = int(rng.bounded(maxLength));
        for (int k = 0; k < len; ++k)
            s += pieces[rng.bounded(int(pieces.size()))];
        lines << s;
    }
    return lines;
}

// Random texts over a few letters, with shared prefixes, exact duplicates, prefixes of each other,
// NUL and characters above the Basic Multilingual Plane, so that every tie-break is exercised.
inline QStringList randomLines(int n, quint32 seed) {
    static const QStringView alphabet[] = {QStringView(u"\0", 1), u"a", u"b", u",", u"\xffff",
                                           u"\U0001F600",         u"日"};
    return randomTexts(
        n, seed,
        {QString(), QStringLiteral("2024/01/01,"), QString(37, u'x') + QStringLiteral(",common,")},
        alphabet, 12);
}
