#include "session.h"

#include <stdexcept>

namespace qmpy {

Facade::Facade() : instance_(CreateQuillmereInstance()) {
    if (!instance_) throw std::runtime_error("the library could not create an instance");
}

Facade::~Facade() {
    DeleteQuillmereInstance(instance_);
}

}  // namespace qmpy
