# Entry points for people and CI. CMake does the building; see README.md.
BUILD_DIR ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps build run test screenshot demo bench package clean

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

screenshot:
	@scripts/install-deps --with-screenshot
	$(MAKE) build
	scripts/screenshot $(BUILD_DIR) docs/screenshots

demo: build
	$(BUILD_DIR)/rq4720-demo

bench: build
	$(BUILD_DIR)/bench/rq4720-bench
	$(BUILD_DIR)/bench/rq4720-bench-testmode

# The Debian package: $(BUILD_DIR)/rq4720-tool_<version>_<arch>.deb
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
