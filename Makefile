# Thin wrapper over CMake: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run test test-sanitize fuzz bench clean windows windows-test

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

# Every test built with AddressSanitizer and UndefinedBehaviorSanitizer (gcc); the first report fails the test.
ASAN_DIR ?= build-asan
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
# Leak detection stays on: the suite, Qt's offscreen windows included, reports no leak, so nothing is suppressed.
ASAN_OPTS = halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1
SANITIZE_ENV = ASAN_OPTIONS=$(ASAN_OPTS) UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

test-sanitize: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja $(CMAKE_FLAGS) -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), each run for FUZZ_SECONDS on its seeds in fuzz/corpus/; any finding fails the target.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
# Empty: the clang that install-deps.sh installs for fuzzing (the newest installed, else Debian's default).
FUZZ_CXX ?=

fuzz:
	bash scripts/install-deps.sh fuzz
	cxx="$(FUZZ_CXX)"; cxx="$${cxx:-$$(bash scripts/install-deps.sh fuzz-cxx)}" && \
		cmake -S . -B $(FUZZ_DIR) -G Ninja $(CMAKE_FLAGS) -DZELBO_FUZZ=ON -DCMAKE_CXX_COMPILER="$$cxx"
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Windows: zelbo_udp-win64.zip and the installers zelbo_udp-VERSION-win64.msi (per user) and
# zelbo_udp-VERSION-win64-machine.msi (per machine), cross-built with MinGW-w64 (the first run builds Qt and curl into
# a cache), and every test under Wine, the real exe against the Linux terminal_sim included, from the zip folder and
# installed by either MSI. One script per job; packaging/windows/README.md draws the flow.
BUILD_WIN_DIR ?= build-win
ZELBO_WERROR ?=
WINDOWS_ENV = BUILD_WIN_DIR=$(BUILD_WIN_DIR) BUILD_DIR=$(BUILD_DIR) JOBS=$(JOBS) ZELBO_WERROR=$(ZELBO_WERROR)

windows: deps
	$(WINDOWS_ENV) bash packaging/windows/build.sh
	$(WINDOWS_ENV) bash packaging/windows/sign.sh
	$(WINDOWS_ENV) bash packaging/windows/package.sh

# The Wine tests talk to the Linux terminal_sim.
windows-test: build windows
	$(WINDOWS_ENV) bash packaging/windows/check.sh

clean:
	rm -rf $(BUILD_DIR) $(BUILD_WIN_DIR) $(ASAN_DIR) $(FUZZ_DIR)
