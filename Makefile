# Entry points for people and CI. CMake does the building; see README.md.
BUILD_DIR ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps build run test test-asan test-drivers fuzz screenshot demo bench bench-production package clean \
	windows test-windows package-windows

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/rq4720-tool

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD_DIR)-asan -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRQ_SANITIZE=ON
	cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	cd $(BUILD_DIR)-asan && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --output-on-failure -j $(JOBS)

# The tool through the real drivers in a QEMU guest: a virtual USB reader on hidraw
# (rq4720-sim --usb, uhid) and QEMU's FTDI USB-serial adapter (tests/drivers/run).
test-drivers: build
	@scripts/install-deps --with-drivers
	tests/drivers/run $(BUILD_DIR)

# Every fuzz target for FUZZ_SECONDS (default 60) with clang's libFuzzer.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps --with-fuzz
	CXX=clang++-14 cmake -S . -B $(BUILD_DIR)-fuzz -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRQ_BUILD_FUZZ=ON
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS) --target $$(sed 's/^/fuzz_/' $(BUILD_DIR)-fuzz/fuzz/targets.txt)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz $(BUILD_DIR)-fuzz

screenshot:
	@scripts/install-deps --with-screenshot
	$(MAKE) build
	scripts/screenshot $(BUILD_DIR) docs/screenshots
	$(MAKE) windows
	scripts/screenshot-windows $(WINDOWS_DIR) docs/screenshots

demo: build
	$(BUILD_DIR)/rq4720-demo

# One table; a row that misses its target fails the command.
bench: build
	$(BUILD_DIR)/bench/rq4720-bench

# rq4720-cli list and the GNU parallel recipe on simulated readers (docs/performance.md);
# the recipe's production log goes to BENCH_LOG.
BENCH_LOG ?= $(BUILD_DIR)/bench/bench.jsonl
bench-production: build
	@scripts/install-deps --with-bench
	bench/production-bench $(BUILD_DIR) $(BENCH_LOG)

# The Debian package: $(BUILD_DIR)/rq4720-tool_<version>_<arch>.deb
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# 64-bit Windows, cross-compiled with MinGW-w64 against the Qt SDK of QT_MINGW_PREFIX
# (else the shared one, unpacked into the build tree); tests run under Wine.
WINDOWS_DIR ?= build-windows
QT_MINGW_ARCHIVE ?= $(firstword $(wildcard $(CURDIR)/../shared/windows/qt6.4.2-mingw64.tar.xz /work/shared/windows/qt6.4.2-mingw64.tar.xz))
QT_MINGW_PREFIX ?= $(WINDOWS_DIR)/qt6.4.2-mingw64

$(QT_MINGW_PREFIX)/mingw64.cmake:
	mkdir -p $(WINDOWS_DIR)
	tar -C $(WINDOWS_DIR) -xJf $(QT_MINGW_ARCHIVE)

$(WINDOWS_DIR)/build.ninja: | $(QT_MINGW_PREFIX)/mingw64.cmake
	cmake -S . -B $(WINDOWS_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(abspath $(QT_MINGW_PREFIX))/mingw64.cmake \
	    -DCMAKE_PREFIX_PATH=$(abspath $(QT_MINGW_PREFIX)) \
	    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
	    -DRQ_LINUX_BUILD_DIR=$(abspath $(BUILD_DIR)) \
	    "-DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/scripts/wine-run;$(abspath $(WINDOWS_DIR))"

windows:
	@scripts/install-deps --with-windows
	$(MAKE) $(WINDOWS_DIR)/build.ninja
	cmake --build $(WINDOWS_DIR) -j $(JOBS)

test-windows: windows $(BUILD_DIR)/build.ninja
	@# The serial checks run the Windows programs against the Linux simulated readers.
	cmake --build $(BUILD_DIR) -j $(JOBS) --target rq4720-sim rq4720-sample-firmware
	cd $(WINDOWS_DIR) && ctest --output-on-failure -j $(JOBS)

# $(WINDOWS_DIR)/rq4720-tool-<version>-win64.exe (NSIS) and .zip (portable)
package-windows: windows
	cd $(WINDOWS_DIR) && cpack

clean:
	rm -rf $(BUILD_DIR)
