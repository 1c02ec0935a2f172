// The pickup job: the slice loops over a PickupRun (search, then gather), out of memory as a
// result.
#include "pickup/PickupJob.h"

#include "pickup/PickupRun.h"

#include <new>

PickupJob::Result PickupJob::run(const RowStore& store, const PickupEngine& engine, qint64 rowCount,
                                 const Hooks& hooks, std::chrono::nanoseconds slice,
                                 int threadCount) {
    Result result;
    try {
        PickupRun run(store, engine, rowCount, threadCount);
        while (!run.done()) {
            run.runSlice(slice);
            if (hooks.progress)
                hooks.progress(run.rowsDone(), run.rowCount(), run.pickedCount());
            if (hooks.yield && hooks.yield()) {
                result.outcome = Result::Outcome::Stopped;
                return result;
            }
        }
        // The picked rows into one vector in source order, in slices as well: at tens of
        // millions of rows the copy alone would hold the event loop far too long.
        for (;;) {
            run.gatherSlice(slice);
            if (run.gathered())
                break;
            if (hooks.yield && hooks.yield()) {
                result.outcome = Result::Outcome::Stopped;
                return result;
            }
        }
        result.rows = run.takeRows();
    } catch (const std::bad_alloc&) {
        result.rows = {};
        result.outcome = Result::Outcome::OutOfMemory;
    }
    return result;
}
