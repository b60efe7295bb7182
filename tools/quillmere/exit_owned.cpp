#include "exit_owned.h"

#include <vector>

namespace qmtool {

namespace {

bool leaving = false;

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
    Kept().push_back(object);
}

}  // namespace qmtool
