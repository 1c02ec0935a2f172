#include "results/ResultSort.h"

#include "base/InParallel.h"
#include "base/LargeMemory.h"
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

// How it is fast: every row gets a 64-bit key made of its text's first code units (big-endian,
// so comparing keys compares the units in order) and a "tail" telling where the text ends, and
// the (key, tail, position) items are sorted as plain integers, split at a middle key into two
// sides that two threads sort in place. Rows whose keys tie and whose texts go on are then refined
// group by group with the next code units (skipping a group's common prefix in one step), so long
// shared prefixes cost one pass, not a text comparison per comparison.
//
// An item is 8 bytes (two code units, tail and position in one word) up to NarrowItems::kMaxRows
// rows, 16 bytes (four code units) beyond: the items are the sort's largest memory.

// tail = how many code units the text still has from the key's start, capped at kGoesOn: below it
// the text ends inside the key (a shorter text sorts first), kGoesOn goes on past it.
struct WideItems {
    struct Item {
        std::uint64_t key;
        std::uint64_t rest; // tail << 32 | current position
    };
    static constexpr qsizetype kUnits = 4;
    static constexpr std::uint64_t kGoesOn = 5;
    static constexpr std::uint64_t kKeyMask = ~std::uint64_t(0);
    static Item make(std::uint64_t key, std::uint64_t tail, std::uint32_t pos) {
        return {key, tail << 32 | pos};
    }
    static std::uint32_t position(const Item& it) { return std::uint32_t(it.rest); }
    static std::uint64_t tail(const Item& it) { return it.rest >> 32; }
    static bool less(const Item& a, const Item& b) {
        return a.key < b.key || (a.key == b.key && a.rest < b.rest);
    }
    // The key with its tail, without the position.
    static bool keyLess(const Item& a, const Item& b) {
        return a.key < b.key || (a.key == b.key && tail(a) < tail(b));
    }
    static bool sameKey(const Item& a, const Item& b) {
        return a.key == b.key && tail(a) == tail(b);
    }
};

struct NarrowItems {
    using Item = std::uint64_t; // (units << 2 | tail) << kPositionBits | current position
    static constexpr int kPositionBits = 30;
    static constexpr std::size_t kMaxRows = std::size_t(1) << kPositionBits;
    static constexpr qsizetype kUnits = 2;
    static constexpr std::uint64_t kGoesOn = 3;
    static constexpr std::uint64_t kKeyMask = 0xFFFFFFFFu;
    static Item make(std::uint64_t key, std::uint64_t tail, std::uint32_t pos) {
        return (key << 2 | tail) << kPositionBits | pos;
    }
    static std::uint32_t position(Item it) {
        return std::uint32_t(it & ((std::uint64_t(1) << kPositionBits) - 1));
    }
    static std::uint64_t tail(Item it) { return (it >> kPositionBits) & 3; }
    static bool less(Item a, Item b) { return a < b; }
    static bool keyLess(Item a, Item b) { return (a >> kPositionBits) < (b >> kPositionBits); }
    static bool sameKey(Item a, Item b) { return (a >> kPositionBits) == (b >> kPositionBits); }
};

std::atomic<bool> g_wideKeys{false}; // setWideKeysForTesting

// Below this many rows one thread does it all.
constexpr size_t kThreadedFrom = 1 << 16;
constexpr size_t kPrefetchAhead = 16;
constexpr size_t kLookupRows = 4096;
// The sorted items are turned into the order this many at a time, each stretch's memory given
// back once it is read, so that the items and the order are not both held in full.
constexpr size_t kOrderStretch = 1 << 18;

template <typename Items> class Sorter {
public:
    using Item = typename Items::Item;
    static constexpr qsizetype kUnits = Items::kUnits;
    static constexpr std::uint64_t kGoesOn = Items::kGoesOn;
    // (A lambda rather than the function itself, so that the sort inlines the comparison.)
    static constexpr auto kLess = [](const Item& a, const Item& b) { return Items::less(a, b); };

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
            inParallel([&] { std::sort(items.data(), mid, kLess); },
                       [&] { std::sort(mid, items.data() + n, kLess); });
        } else {
            fill(items.data(), 0, n);
            std::sort(items.begin(), items.end(), kLess);
        }

        // Groups whose first code units tie and go on: refine them, shared out between threads.
        struct Group {
            size_t begin, end;
            qsizetype depth; // the code units their texts share
        };
        std::vector<Group> groups;
        forEachTiedGroup(items.data(), 0, n, [&](size_t b, size_t e) {
            groups.push_back({b, e, kUnits});
        });
        // One group of most rows (rows that begin alike, as numbered or dated rows do) would leave
        // one thread alone with it: its next level is keyed and sorted on both threads here.
        while (threaded && groups.size() == 1 &&
               groups.front().end - groups.front().begin >= kThreadedFrom) {
            const Group g = groups.front();
            Item* const b = items.data() + g.begin;
            Item* const e = items.data() + g.end;
            Item* const half = b + (e - b) / 2;
            inParallel([&] { rekey(b, half, g.depth); }, [&] { rekey(half, e, g.depth); });
            if (std::all_of(b + 1, e, [&](const Item& it) { return Items::sameKey(it, *b); }))
                break; // a longer shared prefix: refine() skips it
            Item* const mid = partitionAtMiddleKey(b, e);
            inParallel([&] { std::sort(b, mid, kLess); }, [&] { std::sort(mid, e, kLess); });
            groups.clear();
            forEachTiedGroup(b, 0, size_t(e - b), [&](size_t gb, size_t ge) {
                groups.push_back({g.begin + gb, g.begin + ge, g.depth + kUnits});
            });
        }
        std::atomic<size_t> next{0};
        auto worker = [&] {
            for (size_t g; (g = next.fetch_add(1)) < groups.size();)
                refine(items.data() + groups[g].begin, items.data() + groups[g].end,
                       groups[g].depth);
        };
        if (threaded && groups.size() > 1)
            inParallel(worker, worker);
        else
            worker();

        std::vector<std::uint32_t> order;
        order.reserve(n);
        for (size_t j = 0; j < n; j += kOrderStretch) {
            const size_t e = std::min(n, j + kOrderStretch);
            for (size_t k = j; k < e; ++k)
                order.push_back(Items::position(items[k]));
            LargeMemory::giveBack(items.data(), e * sizeof(Item));
        }
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

    // The items' keys anew, from code unit `depth` on.
    void rekey(Item* first, Item* last, qsizetype depth) const {
        for (Item* it = first; it != last; ++it)
            *it = makeItem(Items::position(*it), depth);
    }

    Item makeItem(std::u16string_view t, std::uint32_t pos, qsizetype depth) const {
        const qsizetype left = qsizetype(t.size()) - depth;
        const qsizetype n = std::min<qsizetype>(left, kUnits);
        std::uint64_t key = 0;
        for (qsizetype i = 0; i < n; ++i)
            key |= std::uint64_t(t[size_t(depth + i)]) << (16 * (kUnits - 1 - i));
        std::uint64_t tail = std::uint64_t(std::min<qsizetype>(left, qsizetype(kGoesOn)));
        if (m_descending) {
            // Mirror the text order; the position still ascends, which keeps equal rows in place.
            key ^= Items::kKeyMask;
            tail = kGoesOn - tail;
        }
        return Items::make(key, tail, pos);
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
                const qsizetype n =
                    TextCodec::decodePrefix(m_encoding, rows[k], units, qsizetype(kGoesOn));
                // A position in the result fits 32 bits (at most RowStore::kMaxRows rows).
                out[b - begin + k] =
                    makeItem(std::u16string_view(units, size_t(n)), std::uint32_t(b + k), 0);
            }
        }
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
                         sample.end(),
                         [](const Item& a, const Item& b) { return Items::keyLess(a, b); });
        const Item pivot = sample[sample.size() / 2];
        Item* mid =
            std::partition(first, last, [&](const Item& it) { return Items::keyLess(it, pivot); });
        if (mid == first) // the middle key is the smallest: split after it instead
            mid = std::partition(first, last,
                                 [&](const Item& it) { return !Items::keyLess(pivot, it); });
        return mid;
    }

    // Calls f(b, e) for every run [b, e) of two or more items with equal keys whose texts go on.
    template <typename F> void forEachTiedGroup(Item* items, size_t b, size_t e, F&& f) const {
        size_t i = b;
        while (i < e) {
            size_t j = i + 1;
            while (j < e && Items::sameKey(items[j], items[i]))
                ++j;
            if (j - i > 1 && Items::tail(items[i]) == m_goesOnTail)
                f(i, j);
            i = j;
        }
    }

    // Length of the prefix that all texts of [b, e) share from depth on.
    qsizetype commonPrefix(const Item* b, const Item* e, qsizetype depth) const {
        std::u16string firstBuffer;
        std::u16string otherBuffer;
        const std::u16string_view first =
            decoded(Items::position(*b), std::numeric_limits<qsizetype>::max(), firstBuffer)
                .substr(size_t(depth));
        qsizetype common = qsizetype(first.size());
        for (const Item* it = b + 1; it != e && common > 0; ++it) {
            const std::u16string_view t =
                decoded(Items::position(*it), depth + common, otherBuffer).substr(size_t(depth));
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
                rekey(t.b, t.e, t.depth);
                allSame = std::all_of(t.b + 1, t.e,
                                      [&](const Item& it) { return Items::sameKey(it, *t.b); });
                if (!allSame || Items::tail(*t.b) != m_goesOnTail)
                    break;
                // Still tied and going on: jump over all the group shares, once; after that jump
                // the keys must differ somewhere.
                t.depth +=
                    skipped ? kUnits : std::max<qsizetype>(commonPrefix(t.b, t.e, t.depth), kUnits);
                skipped = true;
            }
            if (allSame)
                continue; // equal texts, already in position order
            std::sort(t.b, t.e, kLess);
            forEachTiedGroup(t.b, 0, size_t(t.e - t.b), [&](size_t b, size_t e) {
                stack.push_back({t.b + b, t.b + e, t.depth + kUnits});
            });
        }
    }

    const ResultListModel& m_model;
    const TextEncoding m_encoding;
    const bool m_descending;
    const std::uint64_t m_goesOnTail;
};

} // namespace

void setWideKeysForTesting(bool on) {
    g_wideKeys = on;
}

std::vector<std::uint32_t> sortedOrder(const ResultListModel& model, Order order,
                                       Collation collation) {
    if (collation == Collation::Japanese)
        return JapaneseSort::sortedOrder(model, order == Order::Descending);
    const bool descending = order == Order::Descending;
    if (size_t(model.count()) <= NarrowItems::kMaxRows && !g_wideKeys.load())
        return Sorter<NarrowItems>(model, descending).run();
    return Sorter<WideItems>(model, descending).run();
}

void apply(ResultListModel& model, const std::vector<std::uint32_t>& order) {
    const std::vector<std::uint32_t>& rows = model.rows();
    std::vector<std::uint32_t> sorted(order.size());
    for (size_t j = 0; j < order.size(); ++j)
        sorted[j] = rows[order[j]];
    model.setRows(std::move(sorted));
}

} // namespace ResultSort
