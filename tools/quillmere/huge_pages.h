#pragma once

namespace qmtool {

// Starts the tool once more with glibc's heap backed by transparent huge pages, when the files
// on the command line are large enough to gain by it (8 MiB together, or a folder), the kernel
// offers huge pages and the environment has not decided otherwise (QUILLMERE_HUGEPAGES=0 never
// restarts, =1 always). Returns only when no restart was made (or it failed): the caller then
// goes on as it is.
void PreferHugePages(int argc, char** argv);

// For inputs below the restart threshold: has the heap grow at once by about what loading the
// files named on the command line takes, plus what the tool itself allocates, with its pages
// (and those the heap has so far) populated in one call, instead of one page fault per 4 KiB
// page touched (each costs microseconds on a virtual machine). From a few
// hundred kilobytes of input on, the pad is larger and backed by huge pages where the kernel
// offers them (not with QUILLMERE_HUGEPAGES=0).
void PrefaultHeap(int argc, char** argv);

// While it lives, the heap of a thread started then takes its whole room at once, in huge pages
// under PreferHugePages: the frame codecs moved apart after a load (codec_compaction.h) then
// fault in 2 MiB at a time (about 200 faults instead of 22,000 for a 50 MB database).
class ThreadHeapsInHugePages {
  public:
    ThreadHeapsInHugePages();
    ~ThreadHeapsInHugePages();
    ThreadHeapsInHugePages(const ThreadHeapsInHugePages&) = delete;
    ThreadHeapsInHugePages& operator=(const ThreadHeapsInHugePages&) = delete;

  private:
    bool set_ = false;
};

// Keeps blocks of 128 KiB and more in their own mappings for the whole run, so that freeing
// one returns it to the system at once.
void KeepLargeBlocksMapped();

// Once a load's model is freed and its pages handed back, the heap is mostly holes. Its range
// is advised for huge pages (PreferHugePages), and the kernel's background collapse would
// fill each hole again, up to a whole huge page around the few pages still in use (about
// 25 MiB more resident for a 50 MB database when it ran during a log's decode): the heap is
// advised back to small pages.
void KeepFreedHeapInSmallPages();

}  // namespace qmtool
