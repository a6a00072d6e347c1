# Tessora: the two everyday commands are `make run` and `make test`.
# Everything is set up on demand: missing Debian packages, CMake configuration, builds.

JOBS       ?= $(shell nproc)
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

ifeq ($(CI),true)
WERROR := ON
else
WERROR ?= OFF
endif

.PHONY: all deps test-deps build run test test-main test-asan test-tsan test-package test-package-fresh \
	test-desktops package \
	bench-deps bench fuzz format clean

all: build

# Building and running need the packages of scripts/packages/build.txt and runtime.txt; the tests
# add test.txt, the benchmarks and fuzz targets bench.txt.
deps:
	@bash scripts/install-deps.sh run

test-deps:
	@bash scripts/install-deps.sh test

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSORA_WERROR=$(WERROR)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/ui/tessora

# The Debian package dist/tessora_VERSION_amd64.deb, from the normal build.
package: build
	cd $(BUILD) && cpack -G DEB

# Builds the package, checks its contents and metadata, installs it, tries the installed
# programs and removes it again (as root; it installs for real).
test-package: test-deps package
	bash scripts/test-package.sh $(BUILD)

# The same package on a minimal Debian 12 made with debootstrap (BUILD/fresh-root, made once),
# installed from the mirror, tried, removed; not part of `make test`, it downloads the system.
# FRESH_OPTS=--no-install-recommends installs without the recommended packages.
test-package-fresh: package
	@bash scripts/install-deps.sh fresh
	bash scripts/test-package-fresh.sh $(FRESH_OPTS) $(BUILD)

$(ASAN_BUILD)/CMakeCache.txt: | test-deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTESSORA_SANITIZE=ON \
	  -DTESSORA_BUILD_UI=OFF -DTESSORA_WERROR=$(WERROR)

# Configured again: a build folder first made by `make run` found no GoogleTest, so it has no tests.
test-main: test-deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DTESSORA_BUILD_TESTS=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: test-deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer over the core and its tests only: the core is what splits work over threads
# (PNG compression in pieces, JPEG bands) and hands its picture loads to other threads. The
# first report fails the test that made it.
$(TSAN_BUILD)/CMakeCache.txt: | test-deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSORA_SANITIZE=thread \
	  -DTESSORA_BUILD_UI=OFF -DTESSORA_WERROR=$(WERROR)

test-tsan: test-deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tessora_core_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest -L core --output-on-failure -j $(JOBS)

# The package's own check takes about a minute, so it is part of every test run.
test: test-main test-asan test-tsan test-package

# Real desktops started headless (X11 + picom, XFCE, MATE, LXQt, sway): three wallpapers in a
# row through tessora-compose, checked on the screen and in what each desktop stored.
test-desktops: build
	@bash scripts/install-deps.sh desktops
	bash tests/desktops/test_desktops.sh --build $(BUILD)

$(BENCH_BUILD)/CMakeCache.txt: | bench-deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTESSORA_BUILD_BENCH=ON \
	  -DTESSORA_BUILD_TESTS=OFF

# Google Benchmark programs, the picture bombs one process each, then tessora-compose against
# ImageMagick and libvips.
bench-deps:
	@bash scripts/install-deps.sh bench

bench: bench-deps $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@status=0; for b in $$(find $(BENCH_BUILD)/bench -name 'tessora_bench_*' -type f -executable); do \
	  echo "== $$b"; "$$b" || status=1; done; \
	echo "== bench/hostile.sh"; bash bench/hostile.sh $(BENCH_BUILD) || status=1; \
	echo "== bench/compare.sh"; bash bench/compare.sh $(BENCH_BUILD) || status=1; exit $$status

$(FUZZ_BUILD)/CMakeCache.txt: | bench-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTESSORA_BUILD_FUZZ=ON -DTESSORA_BUILD_TESTS=OFF -DTESSORA_BUILD_UI=OFF

fuzz: bench-deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

format: bench-deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
