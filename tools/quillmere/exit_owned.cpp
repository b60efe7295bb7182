#include "exit_owned.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace qmtool {

namespace {

std::atomic<bool> leaving{false};
// Commands load several files at once (diff loads both sides on threads of their own).
std::mutex keptMutex;

std::vector<void*>& Kept() {
    // Never destroyed, and reachable from here to the end: leak checkers see kept models as
    // live, which they are.
    static auto* kept = new std::vector<void*>();
    return *kept;
}

}  // namespace

void LeaveModelsToExit(bool leave) {
    leaving = leave;
}

bool LeavingModelsToExit() {
    return leaving;
}

void KeepUntilExit(void* object) {
    const std::lock_guard lock(keptMutex);
    Kept().push_back(object);
}

}  // namespace qmtool
