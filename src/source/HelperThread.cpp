// The readers' helper thread.
#include "source/HelperThread.h"

#include <utility>

HelperThread::HelperThread() : m_thread([this] { loop(); }) {}

HelperThread::~HelperThread() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void HelperThread::start(std::function<void()> job, bool runInline) {
    if (runInline) {
        m_inline = std::move(job);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_job = std::move(job);
        m_busy = true;
    }
    m_wake.notify_all();
}

void HelperThread::wait() {
    if (m_inline) {
        const std::function<void()> job = std::exchange(m_inline, nullptr);
        job();
        return;
    }
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return !m_busy; });
    if (std::exception_ptr failed = std::exchange(m_failed, nullptr))
        std::rethrow_exception(failed);
}

void HelperThread::both(const std::function<void()>& here, std::function<void()> there,
                        bool thereInline) {
    start(std::move(there), thereInline);
    try {
        here();
    } catch (...) {
        m_inline = nullptr; // a half left for this thread is not run after a failure
        takeBack();
        try {
            wait();
        } catch (...) {
        }
        throw;
    }
    if (std::function<void()> job = takeBack()) {
        job();
        return;
    }
    wait();
}

std::function<void()> HelperThread::takeBack() {
    std::lock_guard lock(m_mutex);
    std::function<void()> job = std::exchange(m_job, nullptr);
    if (job)
        m_busy = false;
    return job;
}

void HelperThread::loop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_job; });
            if (m_quit)
                return;
            job = std::move(m_job);
            m_job = nullptr;
        }
        std::exception_ptr failed;
        try {
            job();
        } catch (...) {
            failed = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            m_failed = failed;
            m_busy = false;
        }
        m_done.notify_all();
    }
}
