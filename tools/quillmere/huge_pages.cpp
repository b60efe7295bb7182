#include "huge_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace qmtool {

namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHugePageTunable = "glibc.malloc.hugetlb=1";
// Set to 0 to keep the process as it started (for measurements, or a kernel that misbehaves).
constexpr const char* kSwitch = "QUILLMERE_HUGEPAGES";

bool KernelOffersHugePages() {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    if (!std::getline(setting, line)) return false;
    return line.find("[always]") != std::string::npos ||
           line.find("[madvise]") != std::string::npos;
}

// Below this much input a load touches too little fresh heap for huge pages to pay back the
// restart (an exec and a second start-up of the tool). Measured on `info` of DBC files (2 cores,
// loaded): 2 MB 63-93 ms without the restart against 76-134 ms with it, 4 MB even, 8 MB 188 ms
// against 154 ms, 16 MB 363 against 240, 32 MB 818 against 539.
constexpr uintmax_t kHugePageInputBytes = 8u << 20;

// The bytes of the files named on the command line (options and what is not a file count
// nothing; a folder counts as large, its files are not added up here).
uintmax_t InputBytes(int argc, char** argv) {
    uintmax_t total = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        struct stat info {};
        if (::stat(argv[i], &info) != 0) continue;
        if (S_ISDIR(info.st_mode)) return UINTMAX_MAX;
        if (S_ISREG(info.st_mode)) total += static_cast<uintmax_t>(info.st_size);
    }
    return total;
}

}  // namespace

// A large file makes a load touch hundreds of megabytes of fresh heap. With 4 KiB pages every
// first touch is a page fault, and on a virtual machine the faults cost more than the parsing.
// glibc madvises its heap for huge pages when a tunable asks for it, but reads tunables only at
// process start; hence one exec of the tool itself, which costs about a millisecond.
void PreferHugePages(int argc, char** argv) {
    const char* choice = std::getenv(kSwitch);
    if (choice != nullptr && std::strcmp(choice, "0") == 0) return;
    // "1" restarts whatever the input; otherwise only inputs large enough to gain by it do.
    const bool forced = choice != nullptr && std::strcmp(choice, "1") == 0;
    if (!forced && InputBytes(argc, argv) < kHugePageInputBytes) return;
    const char* current = std::getenv(kTunables);
    if (current != nullptr && std::strstr(current, "glibc.malloc.hugetlb") != nullptr) return;
    if (!KernelOffersHugePages()) return;
    std::string tunables = current != nullptr && *current != '\0'
                               ? std::string(current) + ":" + kHugePageTunable
                               : std::string(kHugePageTunable);
    if (::setenv(kTunables, tunables.c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // The restart failed: carry on without huge pages, leaving the environment as it was.
    if (current != nullptr) {
        ::setenv(kTunables, current, 1);
    } else {
        ::unsetenv(kTunables);
    }
}

// The heap a load grows, measured with `info` on 2 MB files: 2.1 times the input for DBC, 2.6
// for LDF, 1.2 for ARXML (whose elements come from their own pool); a DBC file dense with
// signals (one per 66 bytes) takes 5.3 times (5.1 with its signals in a pool). Populating more
// than is used costs the zeroing of the spare pages, which on a virtual machine is not cheap
// either: with 4 KiB pages the pad covers the usual files; with huge pages, which come in only
// when first touched, it covers the dense ones too.
constexpr uintmax_t kHeapPerInputByte = 3;
constexpr uintmax_t kHeapPerInputByteOnHugePages = 6;
constexpr uintptr_t kHugePageBytes = uintptr_t{2} << 20;
// What the tool itself takes before and beside a load (the command line's parser, streams,
// JSON): `info` of a 2 KB file grows the heap to about 240 KB, one page fault per page.
constexpr uintmax_t kToolHeapBytes = 256 * 1024;

namespace {

// What glibc leaves room for at the top of a heap when it grows (M_TOP_PAD): its default until
// PrefaultHeap sets a pad.
size_t topPad = 128 * 1024;

// Kept, and reachable, until the process ends. Volatile: the block is never read, and a
// compiler may otherwise leave out a block that nothing reads.
void* volatile skippedRoom = nullptr;

// The room between the heap's next block and the first whole huge page above it is taken by
// one block that is never touched nor freed: every block of the load then lies in huge pages,
// where the room below would have been faulted in (or populated) 4 KiB at a time, up to 2 MiB
// of it depending on where the heap happened to start. False when there is no whole huge page
// to give (the caller then populates the pad as without huge pages).
bool SkipToHugePages(uintptr_t heapBegin, uintptr_t padEnd) {
    // A block of this size comes from the top of the heap (the free lists hold none as large
    // this early): where it lies is where the next block would.
    constexpr size_t kProbe = 120 * 1024;
    void* probe = std::malloc(kProbe);
    if (probe == nullptr) return false;
    // The block's header lies just before it; the header of the block after the skip lands on
    // the huge page boundary, in a page the load touches first anyway.
    constexpr uintptr_t kHeader = 2 * sizeof(size_t);
    const uintptr_t next = reinterpret_cast<uintptr_t>(probe) - kHeader;
    std::free(probe);
    // Not so under an allocator other than the C library's (a memory checker's).
    if (next < heapBegin || next >= padEnd) return false;
    const uintptr_t hugeBegin = (next + kHugePageBytes) & ~(kHugePageBytes - 1);
    const uintptr_t hugeEnd = padEnd & ~(kHugePageBytes - 1);
    if (hugeEnd <= hugeBegin) return false;
    ::madvise(reinterpret_cast<void*>(hugeBegin), hugeEnd - hugeBegin, MADV_HUGEPAGE);
    // The skip is larger than the mmap threshold: it must come from the heap all the same.
    constexpr int kDefaultMmapMax = 65536;
    if (::mallopt(M_MMAP_MAX, 0) == 0) return true;
    skippedRoom = std::malloc(hugeBegin - next - sizeof(size_t));
    ::mallopt(M_MMAP_MAX, kDefaultMmapMax);
    return true;
}

}  // namespace

void PrefaultHeap(int argc, char** argv) {
    const uintmax_t input = InputBytes(argc, argv);
    if (input >= kHugePageInputBytes) return;
    // Huge pages pay once the load fills at least one; the pad then has one more, so that whole
    // ones fit in it whatever the heap's alignment.
    const char* choice = std::getenv(kSwitch);
    const bool huge = input * kHeapPerInputByteOnHugePages >= kHugePageBytes &&
                      (choice == nullptr || std::strcmp(choice, "0") != 0) &&
                      KernelOffersHugePages();
    const auto pad =
        static_cast<size_t>(huge ? input * kHeapPerInputByteOnHugePages + kHugePageBytes
                                 : input * kHeapPerInputByte + kToolHeapBytes);
    // The next growth of the heap adds the pad, and freeing leaves it at the top (glibc trims
    // down to the pad, not below). Blocks just below the mmap threshold make the heap grow: two
    // are more than the start-up heap holds.
    if (::mallopt(M_TOP_PAD, static_cast<int>(pad)) == 0) return;
    topPad = pad;
    constexpr size_t kProbe = 120 * 1024;
    const char* before = static_cast<char*>(::sbrk(0));
    // The heap so far (static initialisers, streams) lies below: it is populated with the pad.
    const uintptr_t heapStart = reinterpret_cast<uintptr_t>(before) - ::mallinfo2().arena;
    void* first = std::malloc(kProbe);
    void* second = static_cast<char*>(::sbrk(0)) == before ? std::malloc(kProbe) : nullptr;
    std::free(second);
    std::free(first);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize <= 0) return;
    auto* top = static_cast<char*>(::sbrk(0));
    const auto page = static_cast<uintptr_t>(pageSize);
    const uintptr_t end = reinterpret_cast<uintptr_t>(top) & ~(page - 1);
    const uintptr_t begin =
        std::min((end - pad) & ~(page - 1), (heapStart + page - 1) & ~(page - 1));
    // The whole huge pages of the pad are backed by huge pages: one zeroing of 2 MiB instead of
    // 512 page faults, which on a virtual machine made most of the cost of a small load. They
    // are not populated: each comes in (and is zeroed) when the load first touches it, so that
    // the part of the pad a load does not reach costs nothing. The part above the last whole
    // one is left to fault in if the load gets there.
    if (huge && SkipToHugePages(begin, end)) return;
    // Without huge pages the pad is populated, the start-up heap below it with it. Fails
    // harmlessly on kernels before 5.14: the pages then fault in one by one as before.
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

// A thread's heap is made with the pad as its first room, and only that first room is advised
// for huge pages (later growth is not): with the whole 64 MiB of a thread's heap as pad, the
// blocks of a thread started now lie in huge pages under the restart above.
ThreadHeapsInHugePages::ThreadHeapsInHugePages() {
    constexpr int kThreadHeapBytes = 64 << 20;
    set_ = ::mallopt(M_TOP_PAD, kThreadHeapBytes) != 0;
}

ThreadHeapsInHugePages::~ThreadHeapsInHugePages() {
    if (set_) ::mallopt(M_TOP_PAD, static_cast<int>(topPad));
}

// glibc raises its mmap threshold to the size of each large block freed (up to 32 MiB) and its
// trim threshold to twice that, so that later blocks of up to that size come from the heap and
// stay resident once freed. A load grows its indexes by doubling, and every outgrown copy then
// stays: 95 MB more peak for a 105 MB ARXML system under huge pages (413 MB against 318 MB),
// at the same speed. Setting the threshold once turns the adjustment off.
void KeepLargeBlocksMapped() {
    constexpr int kDefaultMmapThreshold = 128 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, kDefaultMmapThreshold);
}

void KeepFreedHeapInSmallPages() {
    // The heap may be listed in several parts (its start was not advised for huge pages).
    std::ifstream maps("/proc/self/maps");
    std::string line;
    uintptr_t begin = UINTPTR_MAX;
    uintptr_t end = 0;
    while (std::getline(maps, line)) {
        if (line.size() < 6 || line.compare(line.size() - 6, 6, "[heap]") != 0) continue;
        const size_t dash = line.find('-');
        const size_t space = line.find(' ', dash);
        if (dash == std::string::npos || space == std::string::npos) continue;
        begin = std::min<uintptr_t>(begin, std::stoull(line.substr(0, dash), nullptr, 16));
        end = std::max<uintptr_t>(
            end, std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16));
    }
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_NOHUGEPAGE);
}

}  // namespace qmtool
