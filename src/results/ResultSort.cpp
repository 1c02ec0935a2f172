#include "results/ResultSort.h"

#include "results/ResultListModel.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace ResultSort {
namespace {

// How it is fast: every row gets a 64-bit key made of four code units of its text (big-endian, so
// comparing keys compares the units in order) and a "tail" telling where the text ends, and the
// (key, tail, position) triples are sorted as plain integers, two halves on two threads and then
// merged. Rows whose keys tie and whose texts go on are then refined group by group with the next
// four code units (skipping a group's common prefix in one step), so long shared prefixes cost one
// pass, not a text comparison per comparison.

// tail = how many code units the text still has from the key's start, capped at kGoesOn: 0..4 end
// inside the key (a shorter text sorts first), kGoesOn goes on past it.
constexpr std::uint64_t kGoesOn = 5;

struct Item {
    std::uint64_t key;
    std::uint64_t rest; // tail << 32 | current position
};

inline bool itemLess(const Item& a, const Item& b) {
    return a.key < b.key || (a.key == b.key && a.rest < b.rest);
}
inline std::uint32_t positionOf(const Item& it) {
    return std::uint32_t(it.rest);
}
inline std::uint64_t tailOf(const Item& it) {
    return it.rest >> 32;
}
inline bool sameKey(const Item& a, const Item& b) {
    return a.key == b.key && tailOf(a) == tailOf(b);
}

// Below this many rows one thread does it all.
constexpr size_t kThreadedFrom = 1 << 16;
constexpr size_t kPrefetchAhead = 16;

class Sorter {
public:
    Sorter(const ResultListModel& model, bool descending)
        : m_model(model), m_descending(descending), m_goesOnTail(descending ? 0 : kGoesOn) {}

    std::vector<std::uint32_t> run() {
        const size_t n = size_t(m_model.count());
        std::vector<Item> items(n);
        const bool threaded = n >= kThreadedFrom && std::thread::hardware_concurrency() > 1;
        const size_t half = n / 2;
        if (threaded) {
            std::thread other([&] { fillAndSort(items.data() + half, half, n); });
            fillAndSort(items.data(), 0, half);
            other.join();
            std::vector<Item> merged(n);
            std::merge(items.begin(), items.begin() + ptrdiff_t(half),
                       items.begin() + ptrdiff_t(half), items.end(), merged.begin(), itemLess);
            items.swap(merged);
        } else {
            fillAndSort(items.data(), 0, n);
        }

        // Groups whose first four code units tie and go on: refine them, shared out between
        // threads.
        std::vector<std::pair<size_t, size_t>> groups;
        forEachTiedGroup(items.data(), 0, n,
                         [&](size_t b, size_t e) { groups.emplace_back(b, e); });
        std::atomic<size_t> next{0};
        auto worker = [&] {
            for (size_t g; (g = next.fetch_add(1)) < groups.size();)
                refine(items.data() + groups[g].first, items.data() + groups[g].second, 4);
        };
        if (threaded && groups.size() > 1) {
            std::thread other(worker);
            worker();
            other.join();
        } else {
            worker();
        }

        std::vector<std::uint32_t> order(n);
        for (size_t j = 0; j < n; ++j)
            order[j] = positionOf(items[j]);
        return order;
    }

private:
    QStringView text(std::uint32_t pos) const { return m_model.rowText(qint64(pos)); }

    Item makeItem(std::uint32_t pos, qsizetype depth) const {
        return makeItem(text(pos), pos, depth);
    }

    Item makeItem(QStringView t, std::uint32_t pos, qsizetype depth) const {
        const qsizetype left = t.size() - depth;
        const qsizetype n = std::min<qsizetype>(left, 4);
        std::uint64_t key = 0;
        for (qsizetype i = 0; i < n; ++i)
            key |= std::uint64_t(t[depth + i].unicode()) << (48 - 16 * i);
        std::uint64_t tail = std::uint64_t(std::min<qsizetype>(left, qsizetype(kGoesOn)));
        if (m_descending) {
            // Mirror the text order; the position still ascends, which keeps equal rows in place.
            key = ~key;
            tail = kGoesOn - tail;
        }
        return {key, tail << 32 | pos};
    }

    void fillAndSort(Item* out, size_t begin, size_t end) const {
        // Look the rows up in one tight loop, then read their first code units with the next
        // rows' texts already on their way: after an earlier sort they lie all over the store.
        std::vector<QStringView> texts(end - begin);
        m_model.rowTexts(qint64(begin), qint64(end), texts.data());
        for (size_t k = 0; k < texts.size(); ++k) {
            if (k + kPrefetchAhead < texts.size())
                __builtin_prefetch(texts[k + kPrefetchAhead].data());
            out[k] = makeItem(texts[k], std::uint32_t(begin + k), 0);
        }
        std::sort(out, out + (end - begin), itemLess);
    }

    // Calls f(b, e) for every run [b, e) of two or more items with equal keys whose texts go on.
    template <typename F> void forEachTiedGroup(Item* items, size_t b, size_t e, F&& f) const {
        size_t i = b;
        while (i < e) {
            size_t j = i + 1;
            while (j < e && sameKey(items[j], items[i]))
                ++j;
            if (j - i > 1 && tailOf(items[i]) == m_goesOnTail)
                f(i, j);
            i = j;
        }
    }

    // Length of the prefix that all texts of [b, e) share from depth on.
    qsizetype commonPrefix(const Item* b, const Item* e, qsizetype depth) const {
        const QStringView first = text(positionOf(*b)).sliced(depth);
        qsizetype common = first.size();
        for (const Item* it = b + 1; it != e && common > 0; ++it) {
            const QStringView t = text(positionOf(*it)).sliced(depth);
            const qsizetype limit = std::min(common, t.size());
            qsizetype k = 0;
            while (k < limit && t[k] == first[k])
                ++k;
            common = k;
        }
        return common;
    }

    // Sorts a run of items whose texts agree on their first `depth` code units and all go on. The
    // run is in position order on entry (it was a tie), which is what keeps equal rows stable.
    void refine(Item* first, Item* last, qsizetype firstDepth) const {
        struct Task {
            Item* b;
            Item* e;
            qsizetype depth;
        };
        std::vector<Task> stack{{first, last, firstDepth}};
        while (!stack.empty()) {
            Task t = stack.back();
            stack.pop_back();
            bool skipped = false;
            bool allSame = false;
            for (;;) {
                for (Item* it = t.b; it != t.e; ++it)
                    *it = makeItem(positionOf(*it), t.depth);
                allSame =
                    std::all_of(t.b + 1, t.e, [&](const Item& it) { return sameKey(it, *t.b); });
                if (!allSame || tailOf(*t.b) != m_goesOnTail)
                    break;
                // Still tied and going on: jump over all the group shares, once; after that jump
                // the keys must differ somewhere.
                t.depth += skipped ? 4 : std::max<qsizetype>(commonPrefix(t.b, t.e, t.depth), 4);
                skipped = true;
            }
            if (allSame)
                continue; // equal texts, already in position order
            std::sort(t.b, t.e, itemLess);
            forEachTiedGroup(t.b, 0, size_t(t.e - t.b), [&](size_t b, size_t e) {
                stack.push_back({t.b + b, t.b + e, t.depth + 4});
            });
        }
    }

    const ResultListModel& m_model;
    const bool m_descending;
    const std::uint64_t m_goesOnTail;
};

} // namespace

std::vector<std::uint32_t> sortedOrder(const ResultListModel& model, Order order) {
    return Sorter(model, order == Order::Descending).run();
}

void apply(ResultListModel& model, const std::vector<std::uint32_t>& order) {
    const std::vector<std::uint32_t>& rows = model.rows();
    std::vector<std::uint32_t> sorted(order.size());
    for (size_t j = 0; j < order.size(); ++j)
        sorted[j] = rows[order[j]];
    model.setRows(std::move(sorted));
}

} // namespace ResultSort
