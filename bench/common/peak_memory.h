#pragma once
// Peak resident memory in the same unit as the file sizes the benchmarks divide it by: decimal
// megabytes (getrusage reports kibibytes).
#include <sys/resource.h>

namespace qm::bench {

inline double PeakMegabytes(const rusage& usage) {
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
}

}  // namespace qm::bench
