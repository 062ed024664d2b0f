MAKEFLAGS += --no-print-directory
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test sanitize fuzz bench demo package format clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -G "Unix Makefiles"

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/tarnwick

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@JOBS=$(JOBS) scripts/run-sanitized-tests

fuzz: deps
	@JOBS=$(JOBS) scripts/run-fuzzers

bench: build
	@scripts/run-benchmarks $(BUILD_DIR)

demo: build
	$(BUILD_DIR)/src/tarnwick --practice

package: build
	cd $(BUILD_DIR) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
