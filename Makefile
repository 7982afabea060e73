# Wraps CMake: `make demo` and `make test` set everything up on a fresh machine.
BUILD       ?= build
ASAN_BUILD  ?= build-sanitize
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all build test test-sanitize test-fallback test-aarch64 demo fuzz clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# A lane: configures the build directory $(1) with the settings $(2), builds everything and
# runs the whole suite there.
define test_lane
	cmake -S . -B $(1) $(2) $(CMAKE_FLAGS)
	cmake --build $(1) -j $(JOBS)
	ctest --test-dir $(1) --output-on-failure -j $(JOBS)
endef

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	$(call test_lane,$(ASAN_BUILD),-DCMAKE_BUILD_TYPE=Debug -DWORDPERM_SANITIZE=ON)

FALLBACK_BUILD ?= build-fallback

# The whole suite again with the portable paths that other machines take: the ucontext
# coroutine switch and the multiply-divide without 128-bit integers.
test-fallback:
	$(call test_lane,$(FALLBACK_BUILD),-DCMAKE_BUILD_TYPE=RelWithDebInfo -DWORDPERM_FALLBACKS=ON)

AARCH64_BUILD ?= build-aarch64

# The whole suite cross-built for 64-bit Arm and run under qemu-user; needs the packages
# g++-aarch64-linux-gnu and qemu-user (.ci/run installs them).
test-aarch64:
	$(call test_lane,$(AARCH64_BUILD),-DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-linux-gnu.cmake)

RELEASE     ?= build-release

# Build the release programs, then encode, restore, pack and unpack a generated word list.
demo:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake --build $(RELEASE) -j $(JOBS) --target wordperm wordpack wordgen
	bench/demo.sh $(RELEASE)

# Release build, then wordperm timed against sort and cp on generated word files, and the
# micro-benchmarks. BENCH_FILES, BENCH_RUNS and BENCH_MICRO pick a quicker run (see README.md).
.PHONY: bench
bench:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DWORDPERM_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(RELEASE) -j $(JOBS) --target wordperm wordgen wordperm_micro
	python3 bench/run_bench.py $(RELEASE)

# Release build, then wordpack measured against xz, zstd, bzip2, brotli, 7-Zip's PPMd and zpaq
# on word lists of every kind (BENCH_PACK_LISTS picks lists or groups, BENCH_PACK_RUNS the
# rounds; BENCH_PACK_SIZES_ONLY=1 packs each list once and prints sizes alone; see README.md and
# `python3 bench/run_pack_bench.py --lists`).
.PHONY: bench-pack
bench-pack:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake --build $(RELEASE) -j $(JOBS) --target wordpack wordgen
	python3 bench/run_pack_bench.py $(RELEASE)

FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60

# Build the libFuzzer targets with clang++ and run each for FUZZ_SECONDS seconds.
fuzz:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWORDPERM_FUZZ=ON -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target decode_fuzzer round_trip_fuzzer unpack_fuzzer \
	    pack_round_trip_fuzzer
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh $(FUZZ_BUILD)/fuzz

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FALLBACK_BUILD) $(AARCH64_BUILD) $(RELEASE) $(FUZZ_BUILD) demo
