#pragma once
// Models that a one-shot command loads can be left to the operating system when the process
// ends. Freeing the millions of objects of a large file one by one costs a tenth of loading it,
// and the process ends right after the command: a model held in an ExitOwned pointer is then
// kept, still reachable, instead of freed. With the choice off (the default, and for commands
// over several files, whose models should go as soon as each is done) it is an ordinary
// unique_ptr.
#include <memory>
#include <utility>

namespace qmtool {

// Turns the keeping on or off for the models released from now on.
void LeaveModelsToExit(bool leave);
bool LeavingModelsToExit();
// Keeps the object until the process ends.
void KeepUntilExit(void* object);

template <typename T>
struct ExitDeleter {
    void operator()(T* object) const {
        if (object == nullptr) return;
        if (LeavingModelsToExit()) {
            KeepUntilExit(object);
        } else {
            delete object;
        }
    }
};

template <typename T>
using ExitOwned = std::unique_ptr<T, ExitDeleter<T>>;

template <typename T, typename... Args>
ExitOwned<T> MakeExitOwned(Args&&... args) {
    return ExitOwned<T>(new T(std::forward<Args>(args)...));
}

}  // namespace qmtool
