// What a first touch of fresh memory costs on this machine, apart from any reader: maps the
// given number of megabytes (on transparent huge pages, as the tool's heap is), writes one byte
// per 4 KiB page with one or more threads, and prints the time. On a virtual machine whose host
// takes back the memory that the guest has freed, the same run costs many times more a few
// seconds after a large process ended than right after it, and every fresh-process figure
// moves with it.
//   qm_touch_memory MEGABYTES [THREADS]
#include <sys/mman.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: qm_touch_memory MEGABYTES [THREADS]\n");
        return 2;
    }
    const size_t megabytes = std::strtoull(argv[1], nullptr, 10);
    const size_t threads = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 1;
    if (megabytes == 0 || threads == 0 || threads > 64) {
        std::fprintf(stderr, "qm_touch_memory: MEGABYTES and THREADS must be positive\n");
        return 2;
    }
    const size_t bytes = megabytes * 1000 * 1000;
    void* mapped =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        std::perror("qm_touch_memory: mmap");
        return 1;
    }
    ::madvise(mapped, bytes, MADV_HUGEPAGE);
    auto* memory = static_cast<volatile char*>(mapped);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    const size_t share = bytes / threads;
    for (size_t t = 0; t < threads; ++t) {
        workers.emplace_back([=] {
            const size_t end = t + 1 == threads ? bytes : (t + 1) * share;
            for (size_t at = t * share; at < end; at += 4096) memory[at] = 1;
        });
    }
    for (std::thread& worker : workers) worker.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu MB touched by %zu thread(s) in %.3f s: %.2f ms per MB\n", megabytes, threads,
                seconds, seconds * 1000.0 / static_cast<double>(megabytes));
    return 0;
}
