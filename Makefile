# Navrello Plandrel: the two commands that set everything up are `make run` and `make test`.

RELEASE := build/release
ASAN    := build/asan
BENCH   := build/bench
JOBS    ?= $(shell nproc)
CMAKE_FLAGS := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: all deps build run screenshot test test-release test-asan bench scale clean

all: build

deps:
	@scripts/install-deps

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DPLANDREL_SANITIZE=ON

$(BENCH)/build.ninja:
	cmake -S . -B $(BENCH) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DPLANDREL_TESTS=OFF -DPLANDREL_BENCH=ON

build: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)

run: build
	@scripts/run-app $(RELEASE)

screenshot: build
	@scripts/screenshot $(RELEASE) docs/screenshot.png

test: deps test-release test-asan

test-release: $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)
	ctest --test-dir $(RELEASE) -j $(JOBS) --output-on-failure

test-asan: $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

bench: deps $(BENCH)/build.ninja
	cmake --build $(BENCH) -j $(JOBS)
	@scripts/run-bench $(BENCH)

# Not part of `make test`: a 20,000 x 20,000 picture takes minutes and 1.3 GB of disk.
scale: deps $(BENCH)/build.ninja
	cmake --build $(BENCH) -j $(JOBS)
	@scripts/scale-test $(BENCH)

clean:
	rm -rf build
