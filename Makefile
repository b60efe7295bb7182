# Entry points for newcomers and CI. Everything builds out of tree.
BUILD      ?= build
BUILD_TYPE ?= Release
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 20
CMAKE_FLAGS ?=
TSAN_TESTS ?= Thread|Resolution
# Ninja when installed: a fresh build folder is made with it (one that exists keeps its own).
NINJA      := $(shell command -v ninja 2>/dev/null)
generator   = $(if $(NINJA),$(if $(wildcard $(1)/CMakeCache.txt),,-G Ninja))
# The system interpreter the module is built for (a version manager's python3 may come first).
PYTHON ?= $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)

.PHONY: all bootstrap build python demo test pytest bench sanitize tsan fuzz install format clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQM_WERROR=ON -DPYTHON_EXECUTABLE=$(PYTHON) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# The Python module alone, next to the library: $(BUILD)/python/quillmere*.so.
python: bootstrap
	cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQM_WERROR=ON -DPYTHON_EXECUTABLE=$(PYTHON) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target quillmere_python

demo: build
	$(BUILD)/tools/quillmere/quillmere demo --examples examples

test: build
	@scripts/bootstrap --optional
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory pytest

# The pytest suite against the built module; "no tests collected" (exit 5) is no failure.
pytest:
	@PYTHONPATH=$(abspath $(BUILD))/python $(PYTHON) -m pytest python/tests -q; \
	    rc=$$?; [ $$rc -eq 5 ] && rc=0; exit $$rc

bench:
	@scripts/bootstrap --bench
	cmake -S . -B build-bench $(call generator,build-bench) -DCMAKE_BUILD_TYPE=Release -DQM_BENCH=ON -DPYTHON_EXECUTABLE=$(PYTHON) $(CMAKE_FLAGS)
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do \
	    [ -x "$$b" ] && [ "$$b" != build-bench/bench/bench_fresh ] || continue; \
	    echo "== $$b" && "$$b" || exit 1; done
	@echo "== fresh process" && build-bench/bench/bench_fresh --runs 3
	@if [ -e build-bench/python ]; then echo "== bench/python_decode.py"; \
	    $(PYTHON) bench/python_decode.py --build build-bench; fi

sanitize: bootstrap
	cmake -S . -B build-sanitize $(call generator,build-sanitize) -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The tests that use the library from several threads, under ThreadSanitizer.
tsan: bootstrap
	cmake -S . -B build-tsan $(call generator,build-tsan) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_TSAN=ON -DQM_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target test_xml test_facade test_arxml_com test_diag
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

fuzz:
	@scripts/bootstrap --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(call generator,build-fuzz) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_FUZZ=ON $(CMAKE_FLAGS)
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
