#include "facade/instance_registry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "quillmere/facade.h"

namespace qm::facade {

namespace {

// Instances still listed when the library is unloaded (or the program ends) are destroyed, in
// list order, by the registry's destructor.
class InstanceRegistry {
  public:
    ~InstanceRegistry() {
        std::vector<IQuillmere*> remaining;
        {
            std::lock_guard lock(mutex_);
            remaining.swap(instances_);
        }
        for (IQuillmere* instance : remaining) delete instance;
    }

    void Add(IQuillmere* instance) {
        std::lock_guard lock(mutex_);
        instances_.push_back(instance);
    }

    bool Destroy(IQuillmere* instance) {
        {
            std::lock_guard lock(mutex_);
            if (instances_.empty()) return false;
            const size_t before = instances_.size();
            std::erase(instances_, instance);
            if (instances_.size() == before) return false;
        }
        delete instance;
        return true;
    }

    size_t Count() {
        std::lock_guard lock(mutex_);
        return instances_.size();
    }

  private:
    std::mutex mutex_;
    std::vector<IQuillmere*> instances_;
};

InstanceRegistry& Registry() {
    static InstanceRegistry registry;
    return registry;
}

}  // namespace

void RegisterInstance(IQuillmere* instance) {
    Registry().Add(instance);
}
bool DestroyInstance(IQuillmere* instance) {
    return Registry().Destroy(instance);
}
size_t InstanceCount() {
    return Registry().Count();
}

}  // namespace qm::facade
