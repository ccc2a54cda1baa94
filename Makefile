# Entry points for people and CI. CMake does the building; see README.md.
BUILD_DIR ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps build run test test-asan fuzz screenshot demo bench bench-production package clean

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

demo: build
	$(BUILD_DIR)/rq4720-demo

bench: build
	@# Both run; a row that misses its target fails the command at the end.
	$(BUILD_DIR)/bench/rq4720-bench; status=$$?; \
	    $(BUILD_DIR)/bench/rq4720-bench-testmode && exit $$status

# rq4720-cli list and the GNU parallel recipe on simulated readers (docs/performance.md).
bench-production: build
	@scripts/install-deps --with-bench
	bench/production-bench $(BUILD_DIR)

# The Debian package: $(BUILD_DIR)/rq4720-tool_<version>_<arch>.deb
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
