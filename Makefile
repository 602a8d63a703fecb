# Thin wrapper over CMake presets: `make run` and `make test` are all a
# newcomer needs. Under CI (CI=true) warnings are errors.
#
# Each preset builds in its own folder (CMakePresets.json: build/ for
# default, build-<preset>/ for the others), so switching presets never reuses
# a tree configured with other options.

PRESET  := $(if $(filter true 1 yes,$(CI)),ci,default)
BUILD   := $(if $(filter default,$(PRESET)),build,build-$(PRESET))
JOBS    ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# The web app and the extension are built once, whatever the native preset
# (tools/build-web, extension/build.mjs).
WEB     := build/web

.PHONY: all run test build deps bench bench-web fuzz asan lint format package install clean print-build-dir web web-build extension windows windows-package release check-reproducible check-reproducible-ci bench-windows

all: build

deps:
	@tools/install-deps

$(BUILD)/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset $(PRESET) >/dev/null

build: deps $(BUILD)/build.ninja
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	$(BUILD)/bin/mnemora

# The web app's npm packages (strength estimator, browser test harness), exactly
# as the lock file says; no browser is downloaded: the tests use Debian's.
NPM_STAMP := node_modules/.package-lock.json
$(NPM_STAMP): package.json package-lock.json
	PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund

web-build: deps $(NPM_STAMP)
	tools/build-web
	node tools/build-offline.mjs $(WEB) build/offline/mnemora.html

web: web-build
	@echo "Serving the web app on http://127.0.0.1:8000/ (Ctrl-C stops)"
	python3 -m http.server 8000 --bind 127.0.0.1 --directory $(WEB)

# The browser extension, unpacked and zipped, for Chromium and for Firefox,
# over the web app's core.
extension: web-build
	node extension/build.mjs build

# The Windows programs, cross-built with mingw-w64 into their own folder
# whatever the native preset; their tests run under Wine from the native tree.
WINBUILD := build-windows
WINDOWS_WERROR := $(if $(filter true 1 yes,$(CI)),ON,OFF)

$(WINBUILD)/build.ninja: CMakeLists.txt CMakePresets.json cmake/Mingw64.cmake
	cmake --preset windows -DMNEMORA_WERROR=$(WINDOWS_WERROR) >/dev/null

windows: deps $(WINBUILD)/build.ninja
	cmake --build --preset windows -j $(JOBS)

# The portable zip and the installer, in build-windows.
windows-package: windows
	cmake --build --preset windows --target windows-package

# The build makes the web app, the extension and the Windows programs too
# (cmake/MnemoraFrontEnds.cmake), so the tests find everything they read.
test: build
	ctest --preset $(PRESET) -j $(JOBS)

# Every release file into dist/ with SHA256SUMS (tools/release), from the
# last commit. The Windows files come from `make windows-package`; WINDOWS=no
# builds the rest without them.
RELEASE_FLAGS := $(if $(filter no,$(WINDOWS)),--without-windows)
release: deps $(NPM_STAMP)
	tools/release $(RELEASE_FLAGS)

# Builds the release twice from two fresh clones and compares them; the CI
# part leaves out the programs (the Debian package and the Windows files).
check-reproducible: deps
	tools/check-reproducible $(RELEASE_FLAGS)

check-reproducible-ci: deps
	tools/check-reproducible --parts web,offline,extension,source --reuse-node-modules

# Every figure is printed even when an earlier one misses its target (make
# marks the miss "ignored" and goes on).
PROBE_ARGS := $(BUILD)/bin/mnemora $(BUILD)/bin/mnemora-bare-window \
	$(BUILD)/lib/libmnemora-startup-probe.so assets/art/background.gif
bench: build windows
	-$(BUILD)/bin/mnemora-bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
	-bench/startup-memory.sh $(BUILD)/bin/mnemora
	-bench/windows-sizes.sh $(WINBUILD)/bin
	-bench/startup-time.py $(PROBE_ARGS)
	-bench/startup-instructions.py $(PROBE_ARGS)
	-$(MAKE) bench-web
	-$(MAKE) bench-windows

# The Windows window under Wine: sizes, start-up beside a bare window, keystrokes.
bench-windows: windows
	/usr/bin/python3 bench/win/bench.py $(WINBUILD)/bin

# First load and keystrokes in Chromium, where a first load's CPU time goes
# (from Chromium's trace), then Lighthouse over nginx.
bench-web: web-build
	-node bench/web.mjs $(WEB)
	-node bench/web-trace.mjs $(WEB)
	-node bench/lighthouse.mjs $(WEB)

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	tools/run-fuzzers build-fuzz $(FUZZ_SECONDS)

# clang-tidy reads the compile commands of the native, Windows and WebAssembly
# builds; ESLint comes from the npm packages.
lint: build windows web-build
	tools/lint $(BUILD)

format:
	tools/lint --fix

package: build
	cd $(BUILD) && cpack -G DEB

install: build
	cmake --install $(BUILD)

clean:
	rm -rf build build-*/

# The folder of the preset in use, for scripts: `make -s print-build-dir`.
print-build-dir:
	@echo $(BUILD)
