#pragma once

#include <exception>
#include <system_error>
#include <thread>

// Runs `first` on this thread and `second` on a new one, and returns when both are done. An
// exception thrown by either (running out of memory) comes out here, after both have ended; when
// no thread can be had, `second` runs here after `first`.
template <typename First, typename Second> void inParallel(First&& first, Second&& second) {
    std::exception_ptr secondFailed;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                second();
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        first();
        second();
        return;
    }
    try {
        first();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (secondFailed)
        std::rethrow_exception(secondFailed);
}
