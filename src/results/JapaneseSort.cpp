// The Japanese-order sort of the result rows: key prefixes sorted as integers, ties refined.
#include "results/JapaneseSort.h"

#include "base/InParallel.h"
#include "base/TextCodec.h"
#include "results/JapaneseCollator.h"
#include "results/ResultListModel.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <thread>

namespace JapaneseSort {
namespace {

// Bytes of sort key an item holds; one more is asked for, to know whether the key goes on.
constexpr int kKeyBytes = 11;
constexpr std::uint64_t kGoesOn = kKeyBytes + 1;

// a: key bytes 0..7 (big-endian, so that comparing integers compares bytes in order);
// b: key bytes 8..10, then the count of key bytes (0..11, or kGoesOn), then the position. In a
// descending sort everything but the position is inverted.
struct Item {
    std::uint64_t a;
    std::uint64_t b;
};

inline bool itemLess(const Item& x, const Item& y) {
    return x.a < y.a || (x.a == y.a && x.b < y.b);
}
inline bool sameKey(const Item& x, const Item& y) {
    return x.a == y.a && (x.b >> 32) == (y.b >> 32);
}
inline std::uint32_t positionOf(const Item& it) {
    return std::uint32_t(it.b);
}

// Below this many rows one thread does it all.
constexpr size_t kThreadedFrom = 1 << 16;
// From this many rows the key prefixes come from a table of characters (its start costs what ICU
// takes for some tens of thousands of rows).
constexpr size_t kTableFrom = 1 << 16;
// A tied run this small is sorted on whole keys at once.
constexpr size_t kSmallRun = 64;

class Sorter {
public:
    Sorter(const ResultListModel& model, bool descending)
        : m_model(model), m_encoding(model.store().encoding()), m_descending(descending) {}

    std::vector<std::uint32_t> run() {
        const size_t n = size_t(m_model.count());
        std::vector<Item> items(n);
        const bool threaded = n >= kThreadedFrom && std::thread::hardware_concurrency() > 1;
        if (threaded) {
            const size_t half = n / 2;
            inParallel([&] { fill(items.data(), 0, half); },
                       [&] { fill(items.data() + half, half, n); });
            Item* const mid = partitionAtMiddle(items.data(), items.data() + n);
            inParallel([&] { std::sort(items.data(), mid, itemLess); },
                       [&] { std::sort(mid, items.data() + n, itemLess); });
        } else {
            fill(items.data(), 0, n);
            std::sort(items.begin(), items.end(), itemLess);
        }

        // Runs of tied keys: refined, shared out between the threads.
        std::vector<std::pair<size_t, size_t>> runs;
        forEachTiedRun(items.data(), n, [&](size_t b, size_t e) { runs.emplace_back(b, e); });
        std::atomic<size_t> next{0};
        auto worker = [&] {
            const JapaneseCollator collator;
            for (size_t r; (r = next.fetch_add(1)) < runs.size();)
                refine(collator, items.data() + runs[r].first, items.data() + runs[r].second);
        };
        if (threaded && runs.size() > 1)
            inParallel(worker, worker);
        else
            worker();

        std::vector<std::uint32_t> order(n);
        for (size_t j = 0; j < n; ++j)
            order[j] = positionOf(items[j]);
        return order;
    }

private:
    std::u16string_view text(std::uint32_t pos, std::u16string& buffer) const {
        const QByteArrayView bytes = m_model.rowBytes(qint64(pos));
        if (qsizetype(buffer.size()) < bytes.size())
            buffer.resize(size_t(bytes.size()));
        const qsizetype n = TextCodec::decodeInto(m_encoding, bytes, buffer.data());
        return std::u16string_view(buffer.data(), size_t(n));
    }

    std::uint64_t keyCountOf(const Item& it) const {
        const std::uint64_t c = (it.b >> 32) & 0xff;
        return m_descending ? (~c & 0xff) : c;
    }

    // The item for the key bytes [depth, depth + kKeyBytes) of the row at pos.
    Item makeItem(const JapaneseCollator& collator, std::u16string_view t, std::uint32_t pos,
                  int depth) const {
        std::uint8_t key[kKeyBytes + 1] = {};
        return makeItem(key, collator.keyBytes(t, depth, kKeyBytes + 1, key), pos);
    }
    // The item for the row at pos from its key's first bytes, as far as got.
    Item makeItem(const std::uint8_t (&key)[kKeyBytes + 1], int got, std::uint32_t pos) const {
        std::uint64_t a = 0;
        for (int i = 0; i < 8; ++i)
            a = a << 8 | key[i];
        std::uint64_t high = 0; // bytes 8..10 and the count
        for (int i = 8; i < kKeyBytes; ++i)
            high = high << 8 | key[i];
        high = high << 8 | std::min<std::uint64_t>(std::uint64_t(got), kGoesOn);
        if (m_descending) {
            a = ~a;
            high = ~high & 0xffffffffu;
        }
        return {a, high << 32 | pos};
    }

    void fill(Item* out, size_t begin, size_t end) const {
        // Only the first bytes of each row are decoded, as far as its key's first bytes need;
        // for a long list they mostly come from a table of characters.
        const JapaneseCollator collator(size_t(m_model.count()) >= kTableFrom
                                            ? JapaneseCollator::KeyPrefixes::FromTable
                                            : JapaneseCollator::KeyPrefixes::FromIcu);
        for (size_t i = begin; i < end; ++i) {
            const auto pos = std::uint32_t(i); // fits: at most RowStore::kMaxRows rows
            std::uint8_t key[kKeyBytes + 1] = {};
            const int got =
                collator.keyPrefix(m_encoding, m_model.rowBytes(qint64(pos)), kKeyBytes + 1, key);
            out[i - begin] = makeItem(key, got, pos);
        }
    }

    // Moves the items below a middle key to the front, so that each thread sorts one side in
    // place; items with equal keys stay on one side. Returns where the rest begins.
    static Item* partitionAtMiddle(Item* first, Item* last) {
        const size_t n = size_t(last - first);
        std::vector<Item> sample;
        const size_t step = std::max<size_t>(n / 1024, 1);
        for (size_t i = 0; i < n; i += step)
            sample.push_back(first[i]);
        auto keyLess = [](const Item& x, const Item& y) {
            return x.a < y.a || (x.a == y.a && (x.b >> 32) < (y.b >> 32));
        };
        std::nth_element(sample.begin(), sample.begin() + ptrdiff_t(sample.size() / 2),
                         sample.end(), keyLess);
        const Item pivot = sample[sample.size() / 2];
        Item* mid = std::partition(first, last, [&](const Item& it) { return keyLess(it, pivot); });
        if (mid == first)
            mid = std::partition(first, last, [&](const Item& it) { return !keyLess(pivot, it); });
        return mid;
    }

    // Calls f(b, e) for every run [b, e) of two or more items with equal keys.
    template <typename F> static void forEachTiedRun(const Item* items, size_t n, F&& f) {
        size_t i = 0;
        while (i < n) {
            size_t j = i + 1;
            while (j < n && sameKey(items[j], items[i]))
                ++j;
            if (j - i > 1)
                f(i, j);
            i = j;
        }
    }

    // Sorts a run of items whose keys agree on their first `depth` bytes (and so far are in
    // position order, which keeps equal rows stable).
    void refine(const JapaneseCollator& collator, Item* first, Item* last) const {
        struct Task {
            Item* b;
            Item* e;
            int depth;
            bool skipped; // the run's shared key bytes were passed over once already
        };
        std::vector<Task> stack{{first, last, kKeyBytes, false}};
        std::u16string buffer;
        while (!stack.empty()) {
            const Task t = stack.back();
            stack.pop_back();
            if (allSameBytes(t.b, t.e))
                continue; // one text many times (a file's repeated lines): in position order
            if (keyCountOf(*t.b) != kGoesOn) {
                byCodeOrder(t.b, t.e); // the whole keys are equal
                continue;
            }
            if (size_t(t.e - t.b) <= kSmallRun) {
                byWholeKeys(collator, t.b, t.e, t.depth);
                continue;
            }
            for (Item* it = t.b; it != t.e; ++it)
                *it = makeItem(collator, text(positionOf(*it), buffer), positionOf(*it), t.depth);
            std::sort(t.b, t.e, itemLess);
            if (!t.skipped && sameKey(*t.b, *(t.e - 1)) && keyCountOf(*t.b) == kGoesOn) {
                // Still all tied and going on (rows that share a long start): pass over all the
                // bytes they share in one step, once, instead of kKeyBytes at a time.
                const int shared = sharedKeyBytes(collator, t.b, t.e, t.depth);
                stack.push_back({t.b, t.e, t.depth + std::max(shared, kKeyBytes), true});
                continue;
            }
            forEachTiedRun(t.b, size_t(t.e - t.b), [&](size_t b, size_t e) {
                stack.push_back({t.b + b, t.b + e, t.depth + kKeyBytes, false});
            });
        }
    }

    // Sorts a small run by the rest of its keys, then the code order, then the position.
    void byWholeKeys(const JapaneseCollator& collator, Item* first, Item* last, int depth) const {
        struct Row {
            std::vector<std::uint8_t> key;
            std::u16string text;
            Item item;
        };
        std::vector<Row> rows;
        rows.reserve(size_t(last - first));
        for (Item* it = first; it != last; ++it) {
            Row r;
            std::u16string buffer;
            r.text = std::u16string(text(positionOf(*it), buffer));
            collator.restOfKey(r.text, depth, r.key);
            r.item = *it;
            rows.push_back(std::move(r));
        }
        // Rows are in position order: a stable sort keeps equal rows so.
        std::stable_sort(rows.begin(), rows.end(), [&](const Row& x, const Row& y) {
            const Row& p = m_descending ? y : x;
            const Row& q = m_descending ? x : y;
            if (p.key != q.key)
                return p.key < q.key;
            return p.text < q.text;
        });
        for (Row& r : rows)
            *first++ = r.item;
    }

    // How many key bytes from depth on all rows of a run share.
    int sharedKeyBytes(const JapaneseCollator& collator, const Item* first, const Item* last,
                       int depth) const {
        std::u16string buffer;
        std::vector<std::uint8_t> shared;
        collator.restOfKey(text(positionOf(*first), buffer), depth, shared);
        std::vector<std::uint8_t> other(shared.size());
        for (const Item* it = first + 1; it != last && !shared.empty(); ++it) {
            const int got = collator.keyBytes(text(positionOf(*it), buffer), depth,
                                              int(shared.size()), other.data());
            const auto mismatch =
                std::mismatch(shared.begin(), shared.begin() + got, other.begin()).first;
            shared.resize(size_t(mismatch - shared.begin()));
        }
        return int(shared.size());
    }

    // Whether the rows of a run are all the same bytes (and so the same text).
    bool allSameBytes(const Item* first, const Item* last) const {
        const QByteArrayView bytes = m_model.rowBytes(qint64(positionOf(*first)));
        return std::all_of(first + 1, last, [&](const Item& it) {
            return m_model.rowBytes(qint64(positionOf(it))) == bytes;
        });
    }

    // Sorts a run whose whole keys are equal by the code order of the texts, then the position.
    void byCodeOrder(Item* first, Item* last) const {
        std::u16string x;
        std::u16string y;
        // The run is in position order: a stable sort keeps equal rows so.
        std::stable_sort(first, last, [&](const Item& a, const Item& b) {
            const Item& p = m_descending ? b : a;
            const Item& q = m_descending ? a : b;
            const QByteArrayView pb = m_model.rowBytes(qint64(positionOf(p)));
            const QByteArrayView qb = m_model.rowBytes(qint64(positionOf(q)));
            return pb != qb && text(positionOf(p), x) < text(positionOf(q), y);
        });
    }

    const ResultListModel& m_model;
    const TextEncoding m_encoding;
    const bool m_descending;
};

} // namespace

std::vector<std::uint32_t> sortedOrder(const ResultListModel& model, bool descending) {
    return Sorter(model, descending).run();
}

} // namespace JapaneseSort
