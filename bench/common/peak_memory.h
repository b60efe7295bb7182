#pragma once
// Memory figures of this process. Peak resident memory comes in the same unit as the file sizes
// the benchmarks divide it by: decimal megabytes (getrusage reports kibibytes).
#include <sys/resource.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace qm::bench {

inline double PeakMegabytes(const rusage& usage) {
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
}

// The peak resident memory of the process so far.
inline double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return PeakMegabytes(usage);
}

// A memory field of /proc/self/status ("VmRSS:", "VmHWM:") in bytes, 0 when absent.
inline std::size_t ReadStatusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::strlen(field))) * 1024;
    }
    return 0;
}

// Resets the resident peak ("VmHWM:") to the current resident size.
inline void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The resident peak of one load above what the process held before it. Made right before the
// load (it reads the resident size and resets the peak), finished right after it.
class LoadPeak {
  public:
    LoadPeak() : before_(ReadStatusField("VmRSS:")) { ResetPeakResident(); }

    void Finish() {
        const std::size_t peak = ReadStatusField("VmHWM:");
        growth_ = peak > before_ ? static_cast<double>(peak - before_) : 0.0;
    }
    // The rise of the peak above the resident size before the load, in bytes.
    double GrowthBytes() const { return growth_; }
    void Print(std::size_t fileBytes) const {
        std::printf("Peak memory of one load: %.1f MB above %.1f MB resident = %.2f x the file\n",
                    growth_ / 1e6, static_cast<double>(before_) / 1e6,
                    growth_ / static_cast<double>(fileBytes));
    }

  private:
    std::size_t before_;
    double growth_ = 0.0;
};

}  // namespace qm::bench
