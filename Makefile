# Entry points: `make demo` runs the station against simulated probes, `make test` runs every test,
# `make bench` runs the benchmarks and writes bench/RESULTS.md.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test demo bench clean sanitize fuzz soak

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
	rm -rf $(BUILD) $(BENCH_BUILD) build-asan build-tsan build-fuzz

# Sanitized builds with clang-14, kept lean (-O1, line tables only, no benchmarks): build-asan runs
# every test under AddressSanitizer with leak detection and UndefinedBehaviorSanitizer,
# build-tsan builds and runs the programs whose tests run threads under ThreadSanitizer.
SANITIZER_CMAKE = -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
	-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
SUPPRESSIONS = $(CURDIR)/tests/sanitizers
ASAN_ENV = ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1 \
	LSAN_OPTIONS=suppressions=$(SUPPRESSIONS)/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# This test holds every file descriptor while the module reports a failed save; UBSan's vptr
# check probes memory through a new pipe and then calls every object's vtable invalid.
NOT_UNDER_ASAN = ^SaveFailure\.KeepsTheDialogOpenAndTheOldFileAndConfirmsOnlyASave$$
TSAN_ENV = TSAN_OPTIONS=suppressions=$(SUPPRESSIONS)/tsan.supp:halt_on_error=1:second_deadlock_stack=1
# End to end, the station with the module runs as a one-minute soak: the host programs' own test
# starts them through QProcess, whose clone() ThreadSanitizer's runtime cannot follow.
TSAN_TESTS ?= unit_gauge unit_platform unit_xml integration_gauge_line integration_entry integration_operator integration_operator_line

sanitize: deps
	cmake -S . -B build-asan $(SANITIZER_CMAKE) -DLEVRANO_SANITIZE=address,undefined
	cmake --build build-asan -j $(JOBS)
	cd build-asan && $(ASAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -E '$(NOT_UNDER_ASAN)'
	cmake -S . -B build-tsan $(SANITIZER_CMAKE) -DLEVRANO_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target $(TSAN_TESTS) levrano-soak
	for t in $(TSAN_TESTS); do \
	  echo "== $$t (ThreadSanitizer)"; \
	  $(TSAN_ENV) QT_QPA_PLATFORM=offscreen build-tsan/tests/$$t --gtest_brief=1 || exit 1; \
	done
	@echo "== soak, 60 s (ThreadSanitizer)"
	$(TSAN_ENV) build-tsan/tools/soak/levrano-soak --seconds 60

# libFuzzer targets (clang-14 with ASan and UBSan), each run for FUZZ_SECONDS from its seeds in
# tests/fuzz/corpus/<target>; new inputs go to build-fuzz/corpus, findings to build-fuzz/findings.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_xml_reader fuzz_probe_answer fuzz_sql_params

fuzz: deps
	cmake -S . -B build-fuzz $(SANITIZER_CMAKE) -DLEVRANO_FUZZ=ON -DLEVRANO_SANITIZE=fuzzer-no-link,address,undefined
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	for t in $(FUZZ_TARGETS); do \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  mkdir -p build-fuzz/corpus/$$t build-fuzz/findings; \
	  $(ASAN_ENV) build-fuzz/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/findings/$$t- build-fuzz/corpus/$$t tests/fuzz/corpus/$$t || exit 1; \
	done

# The soak run, never part of `make test`: levrano-station with the module against ten simulated
# probes whose faults change at random, for SOAK_SECONDS; every published state, the station's
# memory and its stop are checked (tools/soak).
SOAK_SECONDS ?= 600

soak: configure
	cmake --build $(BUILD) -j $(JOBS) --target levrano-soak
	$(BUILD)/tools/soak/levrano-soak --seconds $(SOAK_SECONDS)
