# Thin wrapper over CMake: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run test bench clean windows windows-test

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/app/zelbo_udp

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	bash bench/run_benchmarks.sh $(BUILD_DIR)

# Windows: zelbo_udp-win64.zip cross-built with MinGW-w64 (the first run builds Qt and curl into a cache), and
# every test under Wine, the real exe against the Linux terminal_sim included.
BUILD_WIN_DIR ?= build-win

windows: deps
	BUILD_WIN_DIR=$(BUILD_WIN_DIR) JOBS=$(JOBS) bash scripts/windows.sh

windows-test: build
	BUILD_WIN_DIR=$(BUILD_WIN_DIR) BUILD_DIR=$(BUILD_DIR) JOBS=$(JOBS) bash scripts/windows-test.sh

clean:
	rm -rf $(BUILD_DIR) $(BUILD_WIN_DIR)
