#pragma once
// Log columns read the plans of thousands of frames in the order the log meets them. With the
// plans of a large database spread over 4 KiB pages, most of those reads miss the processor's
// address cache (TLB). The tool restarts itself with glibc's heap on transparent huge pages;
// Python starts without that, so while a log is scanned the heap the plans and rows are made
// in is advised for huge pages as it grows: 2.9-3.1 -> 3.5-3.6 M frames/s for the
// benchmarks' 50 MB database, the same peak. Nothing happens where the kernel offers no huge pages,
// or with QUILLMERE_HUGEPAGES=0.

namespace qmpy {

// Made for each scan of a log piece: from the first on, the heap grows 64 MiB at a time (and
// keeps that much free room at its top), and each growth is advised for huge pages when the
// scan starts and ends and whenever a plan is made (Grown()). Only the GIL's holder uses it.
class HeapInHugePages {
  public:
    HeapInHugePages();
    ~HeapInHugePages();
    HeapInHugePages(const HeapInHugePages&) = delete;
    HeapInHugePages& operator=(const HeapInHugePages&) = delete;

    // Advises what the heap grew by since the last call (cheap when it did not grow). Called
    // after each plan is made, before its blocks are touched much.
    static void Grown();
};

}  // namespace qmpy
