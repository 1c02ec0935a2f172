#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PickupEngine;
class RowStore;

// One pickup over rows 0 .. rowCount - 1 of a store, done in time slices so that the caller can
// let the event loop run between them; the picked rows come out in source order.
//
// The rows are taken in pieces of a millisecond or two, in order, by whichever thread is free:
// the caller's thread inside its slices, and with two threads a helper that keeps taking pieces
// from the first slice until none is left (also while the caller's event loop runs, so the
// window's own work between slices costs the pickup no search time). Each piece's picked rows
// are kept in one block of exactly their size (4 bytes a row). Once every row is tested, the
// pieces are gathered into one vector of exactly their size, in source order, again in slices
// (gatherSlice), each piece given back as soon as it is copied; takeRows() hands the vector over.
class PickupRun {
public:
    // threadCount 0 = as many as the machine has, at most 2.
    PickupRun(const RowStore& store, const PickupEngine& engine, qint64 rowCount,
              int threadCount = 0);
    // Ends the helper (after its current piece) before the store or the engine may go.
    ~PickupRun();
    PickupRun(const PickupRun&) = delete;
    PickupRun& operator=(const PickupRun&) = delete;

    // Tests rows for about budget (at least one small piece), then returns. A failure of the
    // helper (std::bad_alloc) comes out here.
    void runSlice(std::chrono::nanoseconds budget);

    // As the last slice left the run: the helper may have gone on since, but what the caller
    // sees (and shows) only changes with a slice, so the slice that ends the run is always seen.
    bool done() const;
    qint64 rowCount() const { return m_rowCount; }
    // Rows of the pieces finished (not always the first rows: the threads take turns).
    qint64 rowsDone() const;
    qint64 pickedCount() const;
    int threadCount() const { return m_threads; }
    // Pieces the helper thread searched so far.
    qint64 splitBatches() const;

    // Only when done(): copies the picked rows of finished pieces, in source order, into the
    // vector takeRows() hands over, for about budget (at least one piece), then returns. The
    // first call ends the helper thread and sets aside the vector (std::bad_alloc when it cannot).
    void gatherSlice(std::chrono::nanoseconds budget);
    // Every picked row is in that vector.
    bool gathered() const { return m_gatherStarted && m_gatherNext >= m_pickedPieces.size(); }

    // The picked rows in source order; the run keeps none afterwards. Only when done(); what
    // gatherSlice() has not gathered yet is gathered here in one go.
    std::vector<std::uint32_t> takeRows();

    // Tests: the picked rows any run may keep, beyond which it throws std::bad_alloc as when the
    // system has no more memory (0 = no limit).
    static void setPickedLimitForTesting(qint64 rows);

private:
    struct Piece {
        qint64 begin = 0;
        qint64 rows = 0;
    };
    struct Picked {
        qint64 begin = 0; // the piece's first row
        std::size_t count = 0;
        std::unique_ptr<std::uint32_t[]> rows;
    };

    // The next piece of about `ns` of work (at least one row); rows == 0 when none is left.
    Piece claim(double ns, bool atLeastOne);
    // Searches the piece and keeps its picked rows; scratch is the thread's reused buffer.
    void search(Piece piece, std::vector<std::uint32_t>& scratch, bool helper);
    void helperLoop(Piece first);
    void stopHelper();
    void rethrowHelperFailure();

    const RowStore& m_store;
    const PickupEngine& m_engine;
    const qint64 m_rowCount;
    int m_threads;

    mutable std::mutex m_mutex;
    std::condition_variable m_finished; // a piece was finished, or the helper failed
    qint64 m_next = 0;                  // the first row no piece holds yet
    qint64 m_done = 0;                  // rows of the finished pieces
    qint64 m_picked = 0;
    double m_rowsPerNs = 0; // measured speed, 0 until the first piece
    qint64 m_lastPiece = 0;
    qint64 m_helperPieces = 0;
    bool m_stop = false;
    std::exception_ptr m_helperFailed;
    std::vector<Picked> m_pickedPieces;
    // m_done and m_picked as the last slice ended (the caller's thread only).
    qint64 m_shownDone = 0;
    qint64 m_shownPicked = 0;

    // The gathering (the caller's thread only): the pieces up to m_gatherNext are in m_rows.
    bool m_gatherStarted = false;
    std::size_t m_gatherNext = 0;
    std::vector<std::uint32_t> m_rows;

    std::vector<std::uint32_t> m_scratch; // the caller's thread's
    std::thread m_helper;
};
