#pragma once

#include <chrono>
#include <functional>

namespace corvane {

/// How one try of an operation on a file ended.
enum class TryResult {
    Done,    ///< it succeeded
    Busy,    ///< another program holds the file for a moment; a later try may succeed
    Failed,  ///< it failed for a reason that waiting does not change
};

/// Runs attempt until it is Done or Failed, or Busy on each of tries tries with pause between
/// them; returns how the last try ended.
TryResult retryWhileBusy(const std::function<TryResult()>& attempt, int tries = 10,
                         std::chrono::milliseconds pause = std::chrono::milliseconds(50));

}  // namespace corvane
