#pragma once
// The process-wide list of facades made through the exported functions.
#include <cstddef>

class IQuillmere;

namespace qm::facade {

void RegisterInstance(IQuillmere* instance);
// Destroys and removes every entry equal to instance; false when none was found.
bool DestroyInstance(IQuillmere* instance);
size_t InstanceCount();

}  // namespace qm::facade
