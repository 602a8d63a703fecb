# Thin wrapper over CMake presets: `make run` and `make test` are all a
# newcomer needs. Under CI (CI=true) warnings are errors.

PRESET  := $(if $(filter true 1 yes,$(CI)),ci,default)
BUILD   := build
JOBS    ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all run test build deps bench fuzz fuzz-build asan lint format package install clean extension

all: build

deps:
	@tools/install-deps

$(BUILD)/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset $(PRESET) >/dev/null

build: deps $(BUILD)/build.ninja
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	$(BUILD)/bin/mnemora

test: build extension
	ctest --preset $(PRESET) -j $(JOBS)

bench: build
	$(BUILD)/bin/mnemora-bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
	bench/startup-memory.sh $(BUILD)/bin/mnemora

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	tools/run-fuzzers build-fuzz $(FUZZ_SECONDS)

# The test harness and the extension's suffix list, as the lock file pins them.
node_modules/.package-lock.json: package.json package-lock.json
	npm ci --no-audit --no-fund

# The browser extension, unpacked and zipped, for Chromium and for Firefox.
extension: node_modules/.package-lock.json
	node extension/build.mjs $(BUILD)

lint: build
	tools/lint

format:
	tools/lint --fix

package: build
	cd $(BUILD) && cpack -G DEB

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-fuzz
