#pragma once

#include <QtGlobal>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class PickupEngine;
class RowStore;

// One pickup over rows 0 .. rowCount - 1 of a store, done in time slices so that the caller can
// let the event loop run between them. Inside a slice the rows may be split over two threads;
// the picked rows stay in source order.
//
// The picked rows are kept in fixed-size chunks while the run goes (4 bytes a row, no copy when
// they grow); takeRows() hands them over as one vector of exactly their size.
class PickupRun {
public:
    // threadCount 0 = as many as the machine has, at most 2.
    PickupRun(const RowStore& store, const PickupEngine& engine, qint64 rowCount,
              int threadCount = 0);
    ~PickupRun();
    PickupRun(const PickupRun&) = delete;
    PickupRun& operator=(const PickupRun&) = delete;

    // Tests rows for about budget (at least one small batch), then returns.
    void runSlice(std::chrono::nanoseconds budget);

    bool done() const { return m_next >= m_rowCount; }
    qint64 rowCount() const { return m_rowCount; }
    qint64 rowsDone() const { return m_next; }
    qint64 pickedCount() const { return m_picked; }
    int threadCount() const { return m_threads; }
    // Batches that were split over two threads so far.
    qint64 splitBatches() const { return m_splitBatches; }

    // The picked rows in source order; the run keeps none afterwards.
    std::vector<std::uint32_t> takeRows();

    // Tests: the picked rows any run may keep, beyond which it throws std::bad_alloc as when the
    // system has no more memory (0 = no limit).
    static void setPickedLimitForTesting(qint64 rows);

private:
    void runBatch(qint64 rows);
    void keep(const std::vector<std::uint32_t>& rows);

    static constexpr size_t kChunk = 1 << 16;

    const RowStore& m_store;
    const PickupEngine& m_engine;
    qint64 m_rowCount;
    int m_threads;
    qint64 m_next = 0;
    qint64 m_picked = 0;
    double m_rowsPerNs = 0; // measured speed, 0 until the first batch
    qint64 m_lastBatch = 0;
    qint64 m_splitBatches = 0;
    std::vector<std::unique_ptr<std::uint32_t[]>> m_chunks;
    // One batch's picks per thread, reused; each in a cache line of its own, so that the threads'
    // appends do not take the line from each other.
    struct alignas(64) Part {
        std::vector<std::uint32_t> rows;
    };
    Part m_part[2];
};
