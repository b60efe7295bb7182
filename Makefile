# Entry points for newcomers and CI. Everything builds out of tree.
BUILD      ?= build
BUILD_TYPE ?= Release
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 20
CMAKE_FLAGS ?=
TSAN_TESTS ?= Thread|Resolution

.PHONY: all bootstrap build demo test bench sanitize tsan fuzz install format clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQM_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/tools/quillmere/quillmere demo --examples examples

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench:
	@scripts/bootstrap --bench
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQM_BENCH=ON $(CMAKE_FLAGS)
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do \
	    [ -x "$$b" ] && [ "$$b" != build-bench/bench/bench_fresh ] || continue; \
	    echo "== $$b" && "$$b" || exit 1; done
	@echo "== fresh process" && build-bench/bench/bench_fresh --runs 3

sanitize: bootstrap
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The tests that use the library from several threads, under ThreadSanitizer.
tsan: bootstrap
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_TSAN=ON -DQM_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target test_xml test_facade test_arxml_com
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

fuzz:
	@scripts/bootstrap --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)
	@for f in build-fuzz/fuzz/fuzz_*; do \
	    [ -x "$$f" ] || continue; name=$$(basename $$f); mkdir -p build-fuzz/corpus-$$name; \
	    echo "== $$name"; "$$f" -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=10 \
	        build-fuzz/corpus-$$name fuzz/seeds/$${name#fuzz_} 2>&1 | tail -n 3 || exit 1; \
	done

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-bench build-sanitize build-tsan build-fuzz
