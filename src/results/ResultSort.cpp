#include "results/ResultSort.h"

#include "base/InParallel.h"
#include "base/TextCodec.h"
#include "results/JapaneseSort.h"
#include "results/ResultListModel.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>
#include <string_view>
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
constexpr size_t kLookupRows = 4096;

class Sorter {
public:
    Sorter(const ResultListModel& model, bool descending)
        : m_model(model), m_encoding(model.store().encoding()), m_descending(descending),
          m_goesOnTail(descending ? 0 : kGoesOn) {}

    std::vector<std::uint32_t> run() {
        const size_t n = size_t(m_model.count());
        std::vector<Item> items(n);
        const bool threaded = n >= kThreadedFrom && std::thread::hardware_concurrency() > 1;
        if (threaded) {
            const size_t half = n / 2;
            inParallel([&] { fill(items.data(), 0, half); },
                       [&] { fill(items.data() + half, half, n); });
            // Split the items at a middle key, so that each thread sorts one side in place and
            // nothing needs merging (no second copy of the items). Items with equal keys stay on
            // one side, where their ties are refined.
            Item* const mid = partitionAtMiddleKey(items.data(), items.data() + n);
            inParallel([&] { std::sort(items.data(), mid, itemLess); },
                       [&] { std::sort(mid, items.data() + n, itemLess); });
        } else {
            fill(items.data(), 0, n);
            std::sort(items.begin(), items.end(), itemLess);
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
        if (threaded && groups.size() > 1)
            inParallel(worker, worker);
        else
            worker();

        std::vector<std::uint32_t> order(n);
        for (size_t j = 0; j < n; ++j)
            order[j] = positionOf(items[j]);
        return order;
    }

private:
    // The first maxUnits code units of the row's text (fewer when it is shorter).
    std::u16string_view decoded(std::uint32_t pos, qsizetype maxUnits,
                                std::u16string& buffer) const {
        const QByteArrayView bytes = m_model.rowBytes(qint64(pos));
        const qsizetype units = std::min(maxUnits, bytes.size());
        if (qsizetype(buffer.size()) < units)
            buffer.resize(size_t(units));
        const qsizetype n = TextCodec::decodePrefix(m_encoding, bytes, buffer.data(), units);
        return std::u16string_view(buffer.data(), size_t(n));
    }

    Item makeItem(std::uint32_t pos, qsizetype depth) const {
        thread_local std::u16string buffer;
        return makeItem(decoded(pos, depth + qsizetype(kGoesOn), buffer), pos, depth);
    }

    Item makeItem(std::u16string_view t, std::uint32_t pos, qsizetype depth) const {
        const qsizetype left = qsizetype(t.size()) - depth;
        const qsizetype n = std::min<qsizetype>(left, 4);
        std::uint64_t key = 0;
        for (qsizetype i = 0; i < n; ++i)
            key |= std::uint64_t(t[size_t(depth + i)]) << (48 - 16 * i);
        std::uint64_t tail = std::uint64_t(std::min<qsizetype>(left, qsizetype(kGoesOn)));
        if (m_descending) {
            // Mirror the text order; the position still ascends, which keeps equal rows in place.
            key = ~key;
            tail = kGoesOn - tail;
        }
        return {key, tail << 32 | pos};
    }

    void fill(Item* out, size_t begin, size_t end) const {
        // Look the rows up in one tight loop, then read their first bytes with the next rows'
        // already on their way: after an earlier sort they lie all over the store.
        std::vector<QByteArrayView> rows;
        char16_t units[kGoesOn];
        for (size_t b = begin; b < end; b += kLookupRows) {
            const size_t e = std::min(end, b + kLookupRows);
            rows.resize(e - b);
            m_model.rowBytes(qint64(b), qint64(e), rows.data());
            for (size_t k = 0; k < rows.size(); ++k) {
                if (k + kPrefetchAhead < rows.size())
                    __builtin_prefetch(rows[k + kPrefetchAhead].data());
                const qsizetype n = TextCodec::decodePrefix(m_encoding, rows[k], units, kGoesOn);
                // A position in the result fits 32 bits (at most RowStore::kMaxRows rows).
                out[b - begin + k] =
                    makeItem(std::u16string_view(units, size_t(n)), std::uint32_t(b + k), 0);
            }
        }
    }

    static bool keyLess(const Item& a, const Item& b) {
        return a.key < b.key || (a.key == b.key && tailOf(a) < tailOf(b));
    }

    // Moves the items whose key (with its tail) is below a middle one to the front; returns where
    // the rest begins.
    static Item* partitionAtMiddleKey(Item* first, Item* last) {
        const size_t n = size_t(last - first);
        std::vector<Item> sample;
        const size_t step = std::max<size_t>(n / 1024, 1);
        for (size_t i = 0; i < n; i += step)
            sample.push_back(first[i]);
        std::nth_element(sample.begin(), sample.begin() + ptrdiff_t(sample.size() / 2),
                         sample.end(), keyLess);
        const Item pivot = sample[sample.size() / 2];
        Item* mid = std::partition(first, last, [&](const Item& it) { return keyLess(it, pivot); });
        if (mid == first) // the middle key is the smallest: split after it instead
            mid = std::partition(first, last, [&](const Item& it) { return !keyLess(pivot, it); });
        return mid;
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
        std::u16string firstBuffer;
        std::u16string otherBuffer;
        const std::u16string_view first =
            decoded(positionOf(*b), std::numeric_limits<qsizetype>::max(), firstBuffer)
                .substr(size_t(depth));
        qsizetype common = qsizetype(first.size());
        for (const Item* it = b + 1; it != e && common > 0; ++it) {
            const std::u16string_view t =
                decoded(positionOf(*it), depth + common, otherBuffer).substr(size_t(depth));
            const qsizetype limit = std::min(common, qsizetype(t.size()));
            qsizetype k = 0;
            while (k < limit && t[size_t(k)] == first[size_t(k)])
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
    const TextEncoding m_encoding;
    const bool m_descending;
    const std::uint64_t m_goesOnTail;
};

} // namespace

std::vector<std::uint32_t> sortedOrder(const ResultListModel& model, Order order,
                                       Collation collation) {
    if (collation == Collation::Japanese)
        return JapaneseSort::sortedOrder(model, order == Order::Descending);
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
