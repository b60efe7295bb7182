#include "heap_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace qmpy {

namespace {

// Grown by this much at a time, the room the next plans take is advised before they touch it
// (pages touched before come in as 4 KiB pages).
constexpr int kGrowthPad = 64 << 20;
constexpr uintptr_t kPageMask = 4095;

bool Wanted() {
    static const bool wanted = [] {
        const char* choice = std::getenv("QUILLMERE_HUGEPAGES");
        if (choice != nullptr && std::strcmp(choice, "0") == 0) return false;
        std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
        std::string line;
        if (!std::getline(setting, line)) return false;
        return line.find("[always]") != std::string::npos ||
               line.find("[madvise]") != std::string::npos;
    }();
    return wanted;
}

// The end of the heap advised so far (0: none yet). Only the GIL's holder reads or moves it.
uintptr_t advisedEnd = 0;

}  // namespace

HeapInHugePages::HeapInHugePages() {
    if (!Wanted()) return;
    // Kept from the first scan on: with the default restored, glibc trims the heap's top, and
    // what grows in its place again is not advised. Setting the pad turns off glibc's own
    // raising of the mmap threshold (each large block freed raises it to its size, up to
    // 32 MiB), which would leave every array of a chunk to a mapping of its own: the threshold
    // is set to where that raising ends (same speed and peak for the columns).
    static const bool padded = [] {
        constexpr int kMmapThreshold = 32 << 20;
        return ::mallopt(M_TOP_PAD, kGrowthPad) != 0 &&
               ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold) != 0;
    }();
    static_cast<void>(padded);
    Grown();
}

HeapInHugePages::~HeapInHugePages() {
    Grown();
}

void HeapInHugePages::Grown() {
    if (!Wanted()) return;
    const auto end = reinterpret_cast<uintptr_t>(::sbrk(0));
    if (end < advisedEnd) advisedEnd = end;  // trimmed: what grows again is advised again
    if (end == advisedEnd) return;
    // The first time, the whole heap so far (mallinfo2().arena bytes below its end).
    uintptr_t begin = advisedEnd != 0 ? advisedEnd : end - ::mallinfo2().arena;
    begin &= ~kPageMask;
    // Harmless where it fails (a heap that is not glibc's): the pages stay as they are.
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    advisedEnd = end;
}

}  // namespace qmpy
