# Thin driver over CMake. `make` builds only build/ruk; `make test` builds and runs the
# tests as well. Warnings stop the build only in the developers' targets (test, asan,
# asan-clang, fuzz, clang), which turn on RUK_WERROR.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
ASAN_CLANG_BUILD ?= build-asan-clang
CLANG_BUILD ?= build-clang
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
DESTDIR    ?=

# No "Entering directory" lines from the make that CMake runs underneath.
MAKEFLAGS += --no-print-directory
# Configure without CMake's status lines (warnings and errors, on standard error, still show).
CONFIGURE = cmake --log-level=WARNING -S .
# Build with a one-line progress instead of a line per file.
QUIET = sh cmake/progress.sh

.PHONY: all run test asan asan-clang clang fuzz bench limits install uninstall clean

all:
	@echo "Building $(BUILD)/ruk and $(BUILD)/rukw"
	@$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(QUIET) cmake --build $(BUILD) --target ruk rukw -j $(JOBS)

run: all
	@$(BUILD)/ruk examples/hello.ruk

test:
	@echo "Building $(BUILD)/ruk and its tests"
	@$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DRUK_WERROR=ON >/dev/null
	@$(QUIET) cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Sanitizer runs: leaks are checked, and a program's malloc of a size that cannot be had
# answers null with ENOMEM, as the C library's does, instead of stopping in a sanitizer report.
asan:
	@echo "Building $(ASAN_BUILD)/ (sanitizers) and its tests"
	@$(CONFIGURE) -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DRUK_WERROR=ON -DRUK_SANITIZE=ON -DRUK_TEST_TIMEOUT=1200 >/dev/null
	@$(QUIET) cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The same sanitizer build and tests under clang.
asan-clang:
	@echo "Building $(ASAN_CLANG_BUILD)/ (sanitizers, clang++) and its tests"
	@$(CONFIGURE) -B $(ASAN_CLANG_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DRUK_WERROR=ON -DRUK_SANITIZE=ON -DRUK_TEST_TIMEOUT=1200 >/dev/null
	@$(QUIET) cmake --build $(ASAN_CLANG_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_CLANG_BUILD) --output-on-failure -j $(JOBS)

# ruk alone under clang, warnings as errors (the second compiler CI checks).
clang:
	@echo "Building $(CLANG_BUILD)/ruk with clang++"
	@$(CONFIGURE) -B $(CLANG_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release -DRUK_WERROR=ON >/dev/null
	@$(QUIET) cmake --build $(CLANG_BUILD) --target ruk -j $(JOBS)

# The fuzz targets (clang, libFuzzer): the findings kept so far replayed, then each target run
# for FUZZ_SECONDS; fails on any finding.
fuzz:
	@echo "Building the fuzz targets in $(FUZZ_BUILD)/"
	@$(CONFIGURE) -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUK_WERROR=ON -DRUK_FUZZ=ON >/dev/null
	@$(QUIET) cmake --build $(FUZZ_BUILD) -j $(JOBS) --target front_fuzz check_fuzz run_fuzz
	ctest --test-dir $(FUZZ_BUILD) -R '^fuzz/' --output-on-failure -j $(JOBS)
	tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench:
	@echo "Building $(BENCH_BUILD)/ and its benchmarks"
	@$(CONFIGURE) -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DRUK_BENCH=ON >/dev/null
	@$(QUIET) cmake --build $(BENCH_BUILD) -j $(JOBS)
	python3 bench/run.py $(BENCH_BUILD) --engines both
	python3 bench/fallback.py $(BENCH_BUILD)/bench/rukstat

# The sizes ruk must take (deep nesting, 100 MB programs, 10^6 definitions, deep recursion,
# long integers): one run each, timed; a few minutes and up to 8 GB of memory.
limits: all
	python3 bench/limits.py $(BUILD)/ruk

# Installs bin/ruk, the manual page, the docs and the examples under DESTDIR/PREFIX; the
# files written are listed in $(BUILD)/install_manifest.txt, which `make uninstall` reads.
install: all
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	cmake -DMANIFEST="$(abspath $(BUILD))/install_manifest.txt" -P cmake/uninstall.cmake

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(ASAN_CLANG_BUILD) $(CLANG_BUILD) $(FUZZ_BUILD)
