# SPDX-License-Identifier: GPL-3.0-or-later
# Front door: `make` builds, `make test` runs every test (plain and sanitised),
# `make bench` runs the benchmarks, `make demo` runs the chain on a bundled
# synthetic recording.
JOBS ?= 2
CMAKE_FLAGS ?=
BUILD := build
ASAN_BUILD := build-asan

.PHONY: all build test test-plain test-asan bench demo clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DHV_SANITIZE=ON -DHV_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan

bench: build
	./tools/run_bench.sh $(BUILD)

demo: build
	./tools/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
