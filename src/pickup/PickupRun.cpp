#include "pickup/PickupRun.h"

#include "pickup/PickupEngine.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>

namespace {

// Below this many rows a run stays on one thread: starting a thread would cost more.
constexpr qint64 kMinRowsPerThread = 4096;
// The first piece, before the speed is known, and the smallest worth starting late in a slice.
constexpr qint64 kFirstPiece = 2048;
constexpr qint64 kMinPiece = 256;
// About this much work a piece: short enough that a thread waiting for the other's last piece,
// or a Stop waiting for the helper, hardly notices.
constexpr double kPieceNs = 2e6;

std::atomic<qint64> pickedLimit{0};

using Clock = std::chrono::steady_clock;

} // namespace

PickupRun::PickupRun(const RowStore& store, const PickupEngine& engine, qint64 rowCount,
                     int threadCount)
    : m_store(store), m_engine(engine), m_rowCount(std::max<qint64>(rowCount, 0)),
      m_threads(threadCount) {
    if (m_threads <= 0)
        m_threads = int(std::thread::hardware_concurrency());
    m_threads = std::clamp(m_threads, 1, 2);
}

PickupRun::~PickupRun() {
    stopHelper();
}

void PickupRun::setPickedLimitForTesting(qint64 rows) {
    pickedLimit = rows;
}

bool PickupRun::done() const {
    return m_shownDone >= m_rowCount;
}

qint64 PickupRun::rowsDone() const {
    return m_shownDone;
}

qint64 PickupRun::pickedCount() const {
    return m_shownPicked;
}

qint64 PickupRun::splitBatches() const {
    const std::lock_guard lock(m_mutex);
    return m_helperPieces;
}

PickupRun::Piece PickupRun::claim(double ns, bool atLeastOne) {
    const std::lock_guard lock(m_mutex);
    const qint64 left = m_rowCount - m_next;
    if (left <= 0 || m_stop)
        return {m_next, 0};
    qint64 rows = kFirstPiece;
    if (m_rowsPerNs > 0) {
        rows = qint64(m_rowsPerNs * std::max(ns, 0.0));
        // Rows differ in cost; let a piece grow at most fourfold over the last one. Near the end
        // the pieces shrink, so that the two threads end close together.
        rows = std::min({rows, m_lastPiece * 4, std::max(kMinPiece, left / 4)});
        if (atLeastOne)
            rows = std::max<qint64>(rows, 1); // every slice gets on
        else if (rows < kMinPiece)
            return {m_next, 0}; // too little time left to be worth a piece
    }
    rows = std::min(rows, left);
    const Piece piece{m_next, rows};
    m_next += rows;
    return piece;
}

void PickupRun::search(Piece piece, std::vector<std::uint32_t>& scratch, bool helper) {
    scratch.clear();
    const auto t0 = Clock::now();
    m_engine.pickRange(m_store, piece.begin, piece.begin + piece.rows, scratch);
    const double ns = double(std::chrono::nanoseconds(Clock::now() - t0).count());
    Picked picked{piece.begin, scratch.size(), nullptr};
    if (!scratch.empty()) {
        picked.rows = std::make_unique_for_overwrite<std::uint32_t[]>(scratch.size());
        std::copy(scratch.begin(), scratch.end(), picked.rows.get());
    }
    {
        const std::lock_guard lock(m_mutex);
        if (const qint64 limit = pickedLimit.load(std::memory_order_relaxed);
            limit > 0 && m_picked + qint64(picked.count) > limit)
            throw std::bad_alloc();
        m_pickedPieces.push_back(std::move(picked));
        m_picked += qint64(m_pickedPieces.back().count);
        m_done += piece.rows;
        if (helper)
            ++m_helperPieces;
        const double speed = double(piece.rows) / std::max(ns, 1000.0);
        m_rowsPerNs = m_rowsPerNs <= 0 ? speed : 0.5 * (m_rowsPerNs + speed);
        m_lastPiece = piece.rows;
    }
    m_finished.notify_all();
}

void PickupRun::helperLoop(Piece first) {
    try {
        std::vector<std::uint32_t> scratch;
        for (Piece piece = first; piece.rows > 0; piece = claim(kPieceNs, true))
            search(piece, scratch, true);
    } catch (...) {
        {
            const std::lock_guard lock(m_mutex);
            m_helperFailed = std::current_exception();
        }
        m_finished.notify_all();
    }
}

void PickupRun::stopHelper() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    if (m_helper.joinable())
        m_helper.join();
}

void PickupRun::rethrowHelperFailure() {
    std::exception_ptr failed;
    {
        const std::lock_guard lock(m_mutex);
        failed = m_helperFailed;
    }
    if (failed) {
        stopHelper();
        std::rethrow_exception(failed);
    }
}

void PickupRun::runSlice(std::chrono::nanoseconds budget) {
    const auto sliceStart = Clock::now();
    bool first = true;
    if (m_threads >= 2 && !m_helper.joinable() && rowsDone() == 0 &&
        m_rowCount >= 2 * kMinRowsPerThread) {
        // The helper starts with a piece of its own, and then takes pieces as this thread does.
        const Piece piece = claim(kPieceNs, true);
        try {
            m_helper = std::thread([this, piece] { helperLoop(piece); });
        } catch (const std::system_error&) {
            search(piece, m_scratch, false); // no thread to be had: this one goes alone
            first = false;
        }
    }
    for (;;) {
        rethrowHelperFailure();
        const double left = double((budget - (Clock::now() - sliceStart)).count());
        const Piece piece = claim(std::min(left, kPieceNs), first);
        if (piece.rows == 0)
            break;
        search(piece, m_scratch, false);
        first = false;
    }
    // Every row taken: the helper's last piece is waited for, so that the run is done.
    {
        std::unique_lock lock(m_mutex);
        if (m_next >= m_rowCount)
            m_finished.wait(lock, [this] { return m_done >= m_rowCount || m_helperFailed; });
        m_shownDone = m_done;
        m_shownPicked = m_picked;
    }
    rethrowHelperFailure();
}

void PickupRun::gatherSlice(std::chrono::nanoseconds budget) {
    const auto sliceStart = Clock::now();
    if (!m_gatherStarted) {
        stopHelper();
        m_scratch = {}; // first, so that at the peak only the pieces and the result are held
        std::sort(m_pickedPieces.begin(), m_pickedPieces.end(),
                  [](const Picked& a, const Picked& b) { return a.begin < b.begin; });
        m_rows.reserve(size_t(m_picked)); // only touched as the rows are copied in
        m_gatherStarted = true;
    }
    // Pieces are a few milliseconds of search, so a copy of one is far shorter than a slice.
    while (m_gatherNext < m_pickedPieces.size()) {
        Picked& piece = m_pickedPieces[m_gatherNext++];
        m_rows.insert(m_rows.end(), piece.rows.get(), piece.rows.get() + piece.count);
        piece.rows.reset(); // give each piece back as soon as it is copied
        if (piece.count > 0 && Clock::now() - sliceStart >= budget)
            break;
    }
}

std::vector<std::uint32_t> PickupRun::takeRows() {
    while (!gathered())
        gatherSlice(std::chrono::nanoseconds::max());
    m_pickedPieces = std::vector<Picked>();
    m_gatherNext = 0;
    return std::move(m_rows);
}
