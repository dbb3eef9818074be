# SPDX-License-Identifier: GPL-3.0-or-later
# Front door: `make` builds, `make test` runs every test (plain and sanitised),
# `make bench` runs the benchmarks, `make demo` runs the chain on a bundled
# synthetic recording, `make fuzz` runs every fuzz harness for FUZZ_SECONDS,
# `make install PREFIX=...` installs the programs and hvreport (default /usr/local).
JOBS ?= 2
CMAKE_FLAGS ?=
BUILD := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
# make test replays the committed corpora and fuzzes each harness this long.
FUZZ_SMOKE_SECONDS ?= 20
PREFIX ?= /usr/local

.PHONY: all packages test-packages build test test-plain test-asan test-fuzz fuzz fuzz-build bench \
	demo install clean

all: build

# The Debian packages that are missing (HV_NO_INSTALL=1 skips this).
packages:
	./tools/install_packages.sh build

test-packages:
	./tools/install_packages.sh test

build: packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test-plain: test-packages build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: test-packages
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DHV_SANITIZE=ON -DHV_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

fuzz-build: test-packages
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHV_FUZZ=ON \
		-DHV_TESTS=OFF -DHV_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	./fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

test-fuzz: fuzz-build
	./fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) replay

test: test-plain test-asan test-fuzz

bench: build
	./tools/run_bench.sh $(BUILD)

demo: build
	./tools/demo.sh $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
