#include "core/retry.h"

#include <thread>

namespace corvane {

TryResult retryWhileBusy(const std::function<TryResult()>& attempt, int tries,
                         std::chrono::milliseconds pause) {
    // A virus scanner, the search indexer or a sync client opens a new file for a moment just
    // after it appears; waiting a little gets past them, waiting without end would hang Run.
    TryResult result = attempt();
    for (int done = 1; result == TryResult::Busy && done < tries; ++done) {
        std::this_thread::sleep_for(pause);
        result = attempt();
    }
    return result;
}

}  // namespace corvane
