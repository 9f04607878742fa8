#pragma once

#include <exception>
#include <thread>
#include <vector>

namespace corvane {

/// Runs work(0) .. work(count - 1) at once, work(0) on the calling thread, waits for all and
/// then rethrows the first failure, if any. work must itself let the others stop early when
/// one fails, where they would otherwise wait for it.
template <typename Work>
void runOnThreads(int count, const Work& work) {
    std::vector<std::exception_ptr> failures(std::size_t(count > 0 ? count : 1));
    const auto guarded = [&](int index) {
        try {
            work(index);
        } catch (...) {
            failures[std::size_t(index)] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < count; ++i) {
        helpers.emplace_back(guarded, i);
    }
    guarded(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

}  // namespace corvane
