# Two entry points: `make run` and `make test`. Both install what is missing
# first, then configure and build with CMake and Ninja.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build run test test-sanitize fuzz-smoke bench clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The core's unit tests once more under AddressSanitizer and UBSan.
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
	      -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_BUILD_UI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L unit

# A minute of fuzzing the record table under ASan and UBSan, in its own clang
# build, starting from valid table files written by make_fuzz_seeds.
FUZZ_BUILD ?= build-fuzz
FUZZ_FLAGS  = -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
fuzz-smoke: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON \
	      -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_BUILD_UI=OFF "-DCMAKE_C_FLAGS=$(FUZZ_FLAGS)" "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_record_table make_fuzz_seeds
	rm -rf $(FUZZ_BUILD)/corpus && mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/app/make_fuzz_seeds $(FUZZ_BUILD)/corpus
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/app/fuzz_record_table -max_total_time=60 -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
	  -print_final_stats=1 $(FUZZ_BUILD)/corpus

bench: build
	@bash scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
