# Convenience wrapper over CMake. `make run` and `make test` do everything on a fresh Debian 12 machine.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# The bounded fuzzing run of `make test` is deterministic: a fixed seed, a fixed number of inputs and a
# fresh corpus. Longer explorations: make fuzz FUZZ_RUNS=-1 FUZZ_SECONDS=600 FUZZ_SEED=0
FUZZ_SEED ?= 1
FUZZ_RUNS ?= 3000000
FUZZ_SECONDS ?= 300
CMAKE_FLAGS ?=
# Debian's own Python, for which the skinmeters package is built.
PYTHON ?= /usr/bin/python3

.PHONY: setup build run test check test-asan fuzz bench clean

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=$(PYTHON) $(CMAKE_FLAGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The main job: analyse the bundled sample photographs and show the results file.
run: build
	@mkdir -p out
	$(BUILD)/texturemeter/texturemeter-cli --seed 1 --output out/samples-results.csv samples/*.jpg
	@cat out/samples-results.csv
	$(BUILD)/lesionmeter/lesionmeter-cli samples/lesion_sample.jpg --seed 1 \
	    --in 160,120 --in 150,110 --in 170,125 --in 155,130 --in 165,115 \
	    --out 40,40 --out 280,40 --out 40,200 --out 280,200 --out 160,20 --centre 160,120

# All tests: the normal build, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short bounded fuzzing run of the picture loader.
test: check test-asan fuzz

check: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORPH_SANITIZE=ON -DMORPH_BUILD_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --output-on-failure -j $(JOBS)

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DMORPH_BUILD_FUZZERS=ON -DMORPH_BUILD_GUI=OFF -DMORPH_BUILD_BENCHMARKS=OFF -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_load_picture
	@rm -rf $(FUZZ_BUILD)/corpus && mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/imaging/fuzz_load_picture -seed=$(FUZZ_SEED) -runs=$(FUZZ_RUNS) -max_total_time=$(FUZZ_SECONDS) \
	    -rss_limit_mb=2048 -malloc_limit_mb=512 $(FUZZ_BUILD)/corpus imaging/fuzz/seeds

bench: build
	$(BUILD)/imaging/imaging_bench
	$(PYTHON) python/bench/bench_batch.py --build $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
