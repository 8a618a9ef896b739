# Set-up and everyday commands. Each target installs what it needs first.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run clean test-sanitize fuzz windows

all: build

deps:
	@scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS); fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Every test, then every test again under a locale with a decimal comma:
# numbers must read and write the same whatever the user's locale.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@if scripts/setup-test-locale; then \
	  echo "Again under LC_ALL=de_DE.UTF-8:"; \
	  cd $(BUILD_DIR) && LC_ALL=de_DE.UTF-8 ctest --output-on-failure -j $(JOBS); \
	else echo "warning: no de_DE.UTF-8 locale, the second run is skipped" >&2; fi

run: build
	$(BUILD_DIR)/ui/zelk

# PNG pictures of every dialog, some with worked results, the progress
# window and a message box in $(BUILD_DIR)/screenshots, drawn without a
# display, each under a title bar with its caption.
.PHONY: screenshots
screenshots: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zelk-screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/ui/zelk-screenshots $(BUILD_DIR)/screenshots

# A Debian package (.deb in $(BUILD_DIR)) with both programs, the desktop
# entry, the guide, the examples and the manual page, made by CPack.
.PHONY: package
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# The whole test suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the run.
SANITIZE_DIR ?= build-sanitize
test-sanitize: deps
	@if [ ! -f $(SANITIZE_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DZELK_SANITIZE=ON -DZELK_BUILD_BENCH=OFF $(CMAKE_FLAGS); fi
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
	  ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS (libFuzzer, clang), starting from the
# committed seeds; new inputs go to a working corpus in the build folder.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps clang libclang-rt-dev
	@if [ ! -f $(FUZZ_DIR)/CMakeCache.txt ]; then \
	  CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELK_FUZZ=ON; fi
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@set -e; for t in $(FUZZ_DIR)/tests/fuzz/fuzz_*; do \
	  name=$${t##*/fuzz_}; mkdir -p $(FUZZ_DIR)/corpus/$$name; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  $$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -artifact_prefix=$(FUZZ_DIR)/crash-$$name- \
	    $(FUZZ_DIR)/corpus/$$name tests/fuzz/corpus/$$name; \
	done

# zelk-cli for Windows: cross-built with mingw-w64 (installed for this
# target only, with wine), its unit tests and the worked examples run under
# wine, its command line compared byte for byte with the Linux build's, then
# $(BUILD_DIR)/zelk-cli-windows-x86_64.zip with the program, a README in
# Chinese, the guide and the examples.
WINDOWS_DIR ?= build-windows
WINDOWS_DEPS = g++-mingw-w64-x86-64-posix wine wine64 googletest zip
WINDOWS_CMAKE_FLAGS ?=
.PHONY: windows
windows: configure
	@scripts/install-deps $(WINDOWS_DEPS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zelk-cli
	@if [ ! -f $(WINDOWS_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(WINDOWS_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZELK_BUILD_UI=OFF \
	    -DZELK_BUILD_BENCH=OFF -DZELK_GTEST_SOURCE_DIR=/usr/src/googletest \
	    $(WINDOWS_CMAKE_FLAGS); fi
	cmake --build $(WINDOWS_DIR) -j $(JOBS)
	sh tests/windows/run.sh . $(WINDOWS_DIR) $(BUILD_DIR)/cli/zelk-cli
	sh packaging/windows/make-zip.sh . $(WINDOWS_DIR)/cli/zelk-cli.exe \
	  $(BUILD_DIR)/zelk-cli-windows-x86_64.zip

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(WINDOWS_DIR)
