# Convenience wrapper over CMake. `make run` and `make test` do everything on a fresh Debian 12 machine.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# The bounded fuzzing run of `make test` covers every fuzz target, each deterministically: a fixed
# seed, a fixed number of inputs and a fresh corpus (FUZZ_SECONDS only caps a very slow machine).
# Longer explorations: make fuzz FUZZ_RUNS=-1 FUZZ_SECONDS=600 FUZZ_SEED=0 (each target)
FUZZ_SEED ?= 1
FUZZ_RUNS ?=
FUZZ_SECONDS ?= 60
# target binary : seed folder : inputs
FUZZ_TARGETS := imaging/fuzz_load_picture:imaging/fuzz/seeds:300000 \
                imaging/fuzz_number_text:imaging/fuzz/number_seeds:500000 \
                lesionmeter/engine/fuzz_outline_reload:lesionmeter/engine/fuzz/seeds:20000
CMAKE_FLAGS ?=
# Debian's own Python, for which the skinmeters package is built.
PYTHON ?= /usr/bin/python3

.PHONY: setup build run test check test-asan fuzz bench validate package clean

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=$(PYTHON) $(CMAKE_FLAGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The main job: analyse the bundled sample photographs and show the results file. It builds only
# the two command-line tools it runs, in the same build tree with the same flags as `make build`.
run: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target texturemeter-cli lesionmeter-cli
	@mkdir -p out
	$(BUILD)/texturemeter/texturemeter-cli --seed 1 --output out/samples-results.csv samples/*.jpg
	@cat out/samples-results.csv
	$(BUILD)/lesionmeter/lesionmeter-cli samples/lesion_sample.jpg --seed 1 \
	    --in 160,120 --in 150,110 --in 170,125 --in 155,130 --in 165,115 \
	    --out 40,40 --out 280,40 --out 40,200 --out 280,200 --out 160,20 --centre 160,120

# All tests: the normal build, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short bounded fuzzing run of every fuzz target (picture loader, number parser, outline reload).
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
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(foreach t,$(FUZZ_TARGETS),$(notdir $(word 1,$(subst :, ,$(t)))))
	@set -e; for spec in $(FUZZ_TARGETS); do \
	    IFS=: read -r target seeds runs <<< "$$spec"; \
	    name=$$(basename "$$target"); corpus=$(FUZZ_BUILD)/corpus/$$name; \
	    rm -rf "$$corpus" && mkdir -p "$$corpus"; \
	    echo "== $$name: $(or $(FUZZ_RUNS),$$runs) inputs, seed $(FUZZ_SEED)"; \
	    $(FUZZ_BUILD)/$$target -seed=$(FUZZ_SEED) -runs=$(or $(FUZZ_RUNS),$$runs) -max_total_time=$(FUZZ_SECONDS) \
	        -rss_limit_mb=2048 -malloc_limit_mb=512 -artifact_prefix=$(FUZZ_BUILD)/ -print_final_stats=1 \
	        "$$corpus" "$$seeds" 2>&1 | grep -v -e '^#' -e NEW_FUNC; \
	    test "$${PIPESTATUS[0]}" = 0; \
	done

# Every benchmark program: the imaging library, each stage of both engines, texturemeter-cli as a
# whole process beside the bare decoding of the same photographs, and the Python batch on threads
# and on Dask (a LocalCluster and a scheduler with two workers, against texturemeter-cli --jobs 2). Speed is
# measured only here.
bench: build
	$(BUILD)/imaging/imaging_bench
	$(BUILD)/texturemeter/engine/texturemeter_bench
	$(BUILD)/lesionmeter/engine/lesionmeter_bench
	$(BUILD)/texturemeter/cli/texturemeter_cli_bench $(BUILD)/texturemeter/texturemeter-cli \
	    $(BUILD)/texturemeter/cli/texturemeter_make_photo samples/skin_sample.jpg 200
	$(BUILD)/texturemeter/app/texturemeter_window_bench
	$(PYTHON) python/bench/bench_batch.py --build $(BUILD)
	$(PYTHON) python/bench/bench_dask.py --build $(BUILD)

# Dimensions checked against known truth: generates the pictures, measures them with the tools and
# Gwyddion's fractal methods, and rewrites docs/validation.md, docs/validation/results.csv and the
# plots (a rerun writes the same bytes).
validate:
	@bash scripts/setup.sh validate
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=$(PYTHON) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target texturemeter-cli lesionmeter-cli validation_edge_count validation_gwyddion_peer
	$(PYTHON) tools/validation/validate.py --build $(BUILD) --docs docs --jobs $(JOBS)

# The Debian packages (programs, python3-skinmeters) in $(BUILD): sudo apt-get install ./$(BUILD)/*.deb
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
