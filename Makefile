# Thin wrapper around CMake. `make run` builds and starts the engine,
# `make test` builds and runs every test (also under ASan/UBSan).
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
BUILD := build
SANBUILD := build-san

.PHONY: all build run test test-release test-sanitize bench perft-suite clean

all: build

build:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/tolvo

test: test-release test-sanitize

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	@cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_SANITIZE=ON >/dev/null
	@cmake --build $(SANBUILD) -j $(JOBS)
	cd $(SANBUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  TOLVO_SANITIZED=1 ctest --output-on-failure -j $(JOBS)

# Fixed searches of a set of positions: the node count changes only with the search.
bench: build
	@echo bench | ./$(BUILD)/tolvo

# Every depth of every position of the reference perft file (minutes, not part of `make test`).
perft-suite: build
	@TOLVO_PERFT_FULL=1 ./$(BUILD)/tolvo_tests --gtest_filter='PerftSuite.*'

clean:
	rm -rf $(BUILD) $(SANBUILD)
