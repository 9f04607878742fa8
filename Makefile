# The two everyday commands: `make run` and `make test`. Each installs what is missing first.
BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# Warnings are errors wherever CI builds.
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_ARGS ?=

SHELL := /bin/bash
MAKEFLAGS += --no-print-directory

.PHONY: all deps build run test bench clean

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
	    ctest --output-on-failure --parallel $(JOBS) 2>&1 | grep -v '^Total Test time'

clean:
	@rm -rf $(BUILD_DIR)
