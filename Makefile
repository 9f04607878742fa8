# The two everyday commands: `make run` and `make test`. Each installs what is missing first.
BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# Warnings are errors wherever CI builds.
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_ARGS ?=

SHELL := /bin/bash
MAKEFLAGS += --no-print-directory

.PHONY: all deps build run test bench clean package windows-check

all: build

deps:
	@scripts/install-deps.sh build run test

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCORVANE_WERROR=$(WERROR) \
	    $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD_DIR) --parallel $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	    echo "No display to open the window on: run it under Xvfb with 'xvfb-run -a $(BUILD_DIR)/app/corvane'."; \
	    exit 1; \
	fi
	@$(BUILD_DIR)/app/corvane

# ctest's summary line is the last line printed.
test: build
	@set -o pipefail; cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen \
	    ctest --output-on-failure --no-label-summary --parallel $(JOBS) 2>&1 | grep -v '^Total Test time'

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer; any finding,
# leaks included, fails its test. Qt needs no leak suppressions on the offscreen platform.
SANITIZE_DIR ?= build-asan
SANITIZE_ENV := QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
.PHONY: sanitize fuzz-build fuzz-smoke fuzz
sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=ON \
	    $(CMAKE_ARGS) >/dev/null
	@cmake --build $(SANITIZE_DIR) --parallel $(JOBS)
	@set -o pipefail; cd $(SANITIZE_DIR) && $(SANITIZE_ENV) \
	    ctest --output-on-failure --no-label-summary --parallel $(JOBS) 2>&1 | grep -v '^Total Test time'

# The fuzz targets built with Clang and libFuzzer, each run briefly over its seed corpus.
# `make fuzz FUZZ_SECONDS=600` fuzzes each target for longer; new inputs stay in $(FUZZ_DIR).
FUZZ_DIR     ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_filter_command_list fuzz_first_line fuzz_number fuzz_paths
fuzz-build:
	@scripts/install-deps.sh build test fuzz
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCORVANE_FUZZ=ON -DCORVANE_WERROR=$(WERROR) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(FUZZ_DIR) --parallel $(JOBS) --target corvane_fuzzers

fuzz-smoke: fuzz-build
	@set -o pipefail; cd $(FUZZ_DIR) && $(SANITIZE_ENV) \
	    ctest -L fuzz --output-on-failure --no-label-summary 2>&1 | grep -v '^Total Test time'

fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_DIR)/fuzz/found/$$t; \
	    $(FUZZ_DIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	        -artifact_prefix=$(FUZZ_DIR)/fuzz/$$t- $(FUZZ_DIR)/fuzz/found/$$t fuzz/corpus/$$t \
	        || exit 1; \
	done

# The .deb in $(BUILD_DIR)/packages, then the checks a user's installation depends on.
package: build
	@scripts/install-deps.sh package
	@cd $(BUILD_DIR) && cpack -G DEB >/dev/null
	@source $(BUILD_DIR)/version.env && scripts/check-package.sh \
	    $(BUILD_DIR)/packages/corvane_$${CORVANE_VERSION_TEXT}_$$(dpkg --print-architecture).deb

# Every source file and the resource file compiled as for Windows (syntax only).
# The version and the resource file come from the configured build folder.
windows-check:
	@scripts/install-deps.sh build wincheck
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCORVANE_WERROR=$(WERROR) \
	    $(CMAKE_ARGS) >/dev/null
	@CORVANE_BUILD_DIR=$(BUILD_DIR) scripts/windows-check.sh

# The comparison measured against reading the Init file, built as the release build compiles
# it. Generated files stay in $(BENCH_DATA); `make bench BENCH_ARGS=--benchmark_filter=2KiB`
# runs a part.
BENCH_DIR  ?= build-bench
BENCH_DATA ?= /tmp/corvane-bench
BENCH_ARGS ?=
bench:
	@scripts/install-deps.sh build bench
	@cmake -S . -B $(BENCH_DIR) -DCORVANE_BENCH=ON -DCMAKE_BUILD_TYPE=Release \
	    -DCORVANE_WERROR=$(WERROR) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BENCH_DIR) --parallel $(JOBS) --target bench_compare
	@CORVANE_BENCH_DATA=$(BENCH_DATA) $(BENCH_DIR)/bench/bench_compare $(BENCH_ARGS)

clean:
	@rm -rf $(BUILD_DIR)
