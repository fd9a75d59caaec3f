# Entry points: `make demo` runs the station against simulated probes, `make test` runs every test,
# `make bench` runs the benchmarks and writes bench/RESULTS.md.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test demo bench clean

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo $(BUILD)

# Benchmarks: a release build of their own, every benchmark run, bench/RESULTS.md written.
BENCH_BUILD ?= build-bench
BENCH_RUNS  ?= 5
bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DLEVRANO_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target levrano_benchmarks
	bash bench/run $(BENCH_BUILD) $(BENCH_RUNS)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
