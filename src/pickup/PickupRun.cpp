#include "pickup/PickupRun.h"

#include "base/InParallel.h"
#include "pickup/PickupEngine.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

namespace {

// Below this many rows a batch stays on one thread: starting a thread would cost more.
constexpr qint64 kMinRowsPerThread = 4096;
constexpr qint64 kFirstBatch = 2048;

std::atomic<qint64> pickedLimit{0};

} // namespace

PickupRun::PickupRun(const RowStore& store, const PickupEngine& engine, qint64 rowCount,
                     int threadCount)
    : m_store(store), m_engine(engine), m_rowCount(std::max<qint64>(rowCount, 0)),
      m_threads(threadCount) {
    if (m_threads <= 0)
        m_threads = int(std::thread::hardware_concurrency());
    m_threads = std::clamp(m_threads, 1, 2);
}

PickupRun::~PickupRun() = default;

void PickupRun::setPickedLimitForTesting(qint64 rows) {
    pickedLimit = rows;
}

void PickupRun::keep(const std::vector<std::uint32_t>& rows) {
    if (const qint64 limit = pickedLimit.load(std::memory_order_relaxed);
        limit > 0 && m_picked + qint64(rows.size()) > limit)
        throw std::bad_alloc();
    size_t from = 0;
    while (from < rows.size()) {
        const size_t used = size_t(m_picked) % kChunk;
        if (used == 0)
            m_chunks.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(kChunk));
        const size_t n = std::min(kChunk - used, rows.size() - from);
        std::copy_n(rows.data() + from, n, m_chunks.back().get() + used);
        from += n;
        m_picked += qint64(n);
    }
}

void PickupRun::runBatch(qint64 rows) {
    const qint64 begin = m_next;
    const qint64 end = begin + rows;
    if (m_threads < 2 || rows < 2 * kMinRowsPerThread) {
        m_part[0].rows.clear();
        m_engine.pickRange(m_store, begin, end, m_part[0].rows);
        keep(m_part[0].rows);
    } else {
        const qint64 mid = begin + rows / 2;
        m_part[0].rows.clear();
        m_part[1].rows.clear();
        inParallel([&] { m_engine.pickRange(m_store, begin, mid, m_part[0].rows); },
                   [&] { m_engine.pickRange(m_store, mid, end, m_part[1].rows); });
        ++m_splitBatches;
        keep(m_part[0].rows);
        keep(m_part[1].rows);
    }
    m_next = end;
}

void PickupRun::runSlice(std::chrono::nanoseconds budget) {
    using Clock = std::chrono::steady_clock;
    const auto sliceStart = Clock::now();
    bool first = true;
    while (!done()) {
        const double left = double((budget - (Clock::now() - sliceStart)).count());
        qint64 rows;
        if (m_rowsPerNs <= 0) {
            rows = kFirstBatch;
        } else {
            rows = qint64(m_rowsPerNs * std::max(left, 0.0));
            // Rows differ in cost; let a batch grow at most fourfold over the last one.
            rows = std::min(rows, m_lastBatch * 4);
            if (first)
                rows = std::max<qint64>(rows, 1); // every slice gets on
            else if (rows < 256)
                break; // too little time left to be worth a batch
        }
        first = false;
        rows = std::min(rows, m_rowCount - m_next);
        const auto t0 = Clock::now();
        runBatch(rows);
        const double ns = double(std::chrono::nanoseconds(Clock::now() - t0).count());
        const double speed = double(rows) / std::max(ns, 1000.0);
        m_rowsPerNs = m_rowsPerNs <= 0 ? speed : 0.5 * (m_rowsPerNs + speed);
        m_lastBatch = rows;
    }
}

std::vector<std::uint32_t> PickupRun::takeRows() {
    // The batch buffers go first, so that at the peak only the chunks and the result are held.
    m_part[0].rows = {};
    m_part[1].rows = {};
    std::vector<std::uint32_t> rows;
    rows.reserve(size_t(m_picked));
    size_t left = size_t(m_picked);
    for (auto& chunk : m_chunks) {
        const size_t n = std::min(left, kChunk);
        rows.insert(rows.end(), chunk.get(), chunk.get() + n);
        chunk.reset(); // give each chunk back as soon as it is copied
        left -= n;
    }
    m_chunks.clear();
    return rows;
}
