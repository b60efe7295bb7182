#pragma once
// The main of a benchmark program that prints figures of its own before the registered
// benchmarks run.
#include <benchmark/benchmark.h>

namespace qm::bench {

// 1 for arguments the benchmark library does not know, else 0 once everything ran.
inline int RunBenchmarks(int argc, char** argv, void (*report)()) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    report();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace qm::bench
