# Thin driver over CMake.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
ASAN_CLANG_BUILD ?= build-asan-clang
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

.PHONY: all run test asan asan-clang fuzz bench clean

all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: all
	$(BUILD)/ruk examples/hello.ruk

test: all
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRUK_SANITIZE=ON -DRUK_TEST_TIMEOUT=600
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The same sanitizer build and tests under clang.
asan-clang:
	cmake -S . -B $(ASAN_CLANG_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DRUK_SANITIZE=ON -DRUK_TEST_TIMEOUT=600
	cmake --build $(ASAN_CLANG_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_CLANG_BUILD) --output-on-failure -j $(JOBS)

# The fuzz targets (clang, libFuzzer): the findings kept so far replayed, then each target run
# for FUZZ_SECONDS; fails on any finding.
fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUK_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target front_fuzz check_fuzz run_fuzz
	ctest --test-dir $(FUZZ_BUILD) -R '^fuzz/' --output-on-failure -j $(JOBS)
	tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DRUK_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	python3 bench/run.py $(BENCH_BUILD) --engines both
	python3 bench/fallback.py $(BENCH_BUILD)/bench/rukstat

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(ASAN_CLANG_BUILD) $(FUZZ_BUILD)
