# Thin wrapper around CMake. `make run` builds and starts the engine,
# `make test` builds and runs every test (also under ASan/UBSan).
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
BUILD := build
SANBUILD := build-san
TUNEBUILD := build-tune
PREFIX ?= /usr/local
DESTDIR ?=
# CI sets TOLVO_WERROR=1 in the environment: warnings then fail the build.
CMAKE_FLAGS := $(if $(TOLVO_WERROR),-DTOLVO_WERROR=ON,)

.PHONY: all build tuning tuned run test test-release test-sanitize bench perft-suite tb-check fuzz tb-fuzz install uninstall deb clean

all: build

build:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The tuning build: the evaluation weights are loadable ("params FILE"), and the tuner.
tuning:
	@cmake -S . -B $(TUNEBUILD) -DCMAKE_BUILD_TYPE=Release -DTOLVO_TUNING=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TUNEBUILD) -j $(JOBS) --target tolvo tolvo-tune

# A release engine with the weights of the last tuning run (build-tuned/tolvo).
tuned:
	@cmake -S . -B build-tuned -DCMAKE_BUILD_TYPE=Release -DTOLVO_TUNED_PARAMS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-tuned -j $(JOBS) --target tolvo

run: build
	@./$(BUILD)/tolvo

test: test-release test-sanitize

test-release:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTOLVO_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	@cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_SANITIZE=ON -DTOLVO_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANBUILD) -j $(JOBS) --target tolvo_tests tolvo_protocol_fuzz
	cd $(SANBUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  TOLVO_SANITIZED=1 ctest --output-on-failure -j $(JOBS)

# Fixed searches of a set of positions: the node count changes only with the search.
bench: build
	@./$(BUILD)/tolvo bench

# Every depth of every position of the reference perft file (minutes, not part of `make test`).
perft-suite:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTOLVO_TESTS=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@TOLVO_PERFT_FULL=1 ./$(BUILD)/tolvo_tests --gtest_filter='PerftSuite.*'

# Every 3- and 4-man table generated into a scratch directory and compared
# with the Gaviota tables on every legal position (needs libgaviotatb-dev).
GAVIOTA_DIR ?= ../shared/data/gaviota
TB_CHECK_DIR := $(BUILD)/tb-check
tb-check:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target tolvo-tbgen tolvo-tb-check
	rm -rf $(TB_CHECK_DIR)
	./$(BUILD)/tolvo-tbgen -q --threads $(JOBS) -o $(TB_CHECK_DIR) --all 4
	./$(BUILD)/tolvo-tb-check $(GAVIOTA_DIR) $(TB_CHECK_DIR)

# A long protocol fuzz run against the sanitized engine (FUZZ_SECONDS, FUZZ_SEED).
FUZZ_SECONDS ?= 600
fuzz:
	@cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANBUILD) -j $(JOBS) --target tolvo tolvo_protocol_fuzz
	./$(SANBUILD)/tolvo_protocol_fuzz --seconds $(FUZZ_SECONDS) $(if $(FUZZ_SEED),--seed $(FUZZ_SEED),) \
	  --timeout-scale 4 ./$(SANBUILD)/tolvo

# A long run of the hostile tablebase file test in the sanitized build (TB_FUZZ_FILES files).
TB_FUZZ_FILES ?= 20000
tb-fuzz:
	@cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_SANITIZE=ON -DTOLVO_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANBUILD) -j $(JOBS) --target tolvo_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 TOLVO_SANITIZED=1 TOLVO_TB_FUZZ_FILES=$(TB_FUZZ_FILES) \
	  ./$(SANBUILD)/tolvo_tests --gtest_filter='TbFuzz.*'

# The engine and the tablebase generator with their manual pages; nothing from tools/.
install: build
	install -D -m 755 $(BUILD)/tolvo $(DESTDIR)$(PREFIX)/bin/tolvo
	install -D -m 755 $(BUILD)/tolvo-tbgen $(DESTDIR)$(PREFIX)/bin/tolvo-tbgen
	install -D -m 644 doc/tolvo.6 $(DESTDIR)$(PREFIX)/share/man/man6/tolvo.6
	install -D -m 644 doc/tolvo-tbgen.1 $(DESTDIR)$(PREFIX)/share/man/man1/tolvo-tbgen.1

# The Debian package of the engine and the generator (dpkg-deb, no network):
# $(BUILD)/tolvo_<version>_<arch>.deb, the version from the file VERSION.
deb: build
	@sh packaging/make_deb.sh $(BUILD) $(BUILD)

uninstall:
	rm -f $(DESTDIR)$(PREFIX)/bin/tolvo $(DESTDIR)$(PREFIX)/bin/tolvo-tbgen
	rm -f $(DESTDIR)$(PREFIX)/share/man/man6/tolvo.6 $(DESTDIR)$(PREFIX)/share/man/man1/tolvo-tbgen.1

clean:
	rm -rf $(BUILD) $(SANBUILD) $(TUNEBUILD) build-tuned
