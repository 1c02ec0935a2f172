#pragma once

// One helper thread that runs one job at a time for a reader: both() runs one half of a piece of
// work here and the other half there, and returns when both are done.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class HelperThread {
public:
    HelperThread();
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Runs `there` on the helper thread and `here` on this one, and returns when both are done.
    // When the helper has not taken `there` up by the time `here` is done (on a busy machine it
    // may wait long for a core), this thread runs it too rather than wait. An exception from
    // `here` goes on once the helper is done; one from `there` comes out too. thereInline (tests):
    // `there` is run on this thread after `here` (the work is still cut in two, without a thread
    // switch for each cut).
    void both(const std::function<void()>& here, std::function<void()> there,
              bool thereInline = false);

private:
    void start(std::function<void()> job, bool runInline);
    // Waits for the job; an exception it threw (running out of memory) comes out here.
    void wait();
    // The started job, when the helper has not taken it up yet (nothing otherwise).
    std::function<void()> takeBack();
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::function<void()> m_job;
    std::function<void()> m_inline; // a job left for wait() (thereInline)
    std::exception_ptr m_failed;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread; // last: starts after the members above exist
};
