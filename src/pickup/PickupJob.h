#pragma once

// The pickup job, shared by the window's Start and `vornel --pick`: a PickupRun over the source
// rows in time slices, with the caller's progress, event loop and Stop coming in through hooks.

#include <QtGlobal>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class PickupEngine;
class RowStore;

class PickupJob {
public:
    struct Hooks {
        // After each slice: rows tested so far of rowCount, rows picked so far.
        std::function<void(qint64 done, qint64 total, qint64 picked)> progress;
        // After each slice (of the search, and of the gathering of the picked rows that follows
        // when it takes more than one): lets the caller's event loop turn; true stops the pickup.
        std::function<bool()> yield;
    };

    struct Result {
        enum class Outcome { Done, Stopped, OutOfMemory };
        Outcome outcome = Outcome::Done;
        std::vector<std::uint32_t> rows; // Done: the picked rows in source order
        bool done() const { return outcome == Outcome::Done; }
    };

    // Tests rows 0 .. rowCount - 1 of store. threadCount as PickupRun takes it (0: the machine's).
    static Result run(const RowStore& store, const PickupEngine& engine, qint64 rowCount,
                      const Hooks& hooks, std::chrono::nanoseconds slice, int threadCount = 0);
};
