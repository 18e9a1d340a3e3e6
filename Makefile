# Navrello Plandrel: the two commands that set everything up are `make run` and `make test`.

RELEASE := build/release
ASAN    := build/asan
BENCH   := build/bench
PACKAGE := build/package
FUZZ    := build/fuzz
JOBS    ?= $(shell nproc)
CMAKE_FLAGS := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
# How long `make fuzz` runs each fuzz target, in seconds, and how many at a time.
FUZZ_SECONDS ?= 300
FUZZ_JOBS ?= 2

.PHONY: all deps deps-build build run screenshot test test-release test-asan test-fuzz fuzz fuzz-build memcheck bench scale package package-test clean

all: build

# What building and running need; `deps` adds the tests' peers, clang, valgrind and packaging tools.
deps-build:
	@scripts/install-deps build

deps:
	@scripts/install-deps all

# The release build serves both `make run` (without the tests, whose libraries
# only `deps` installs) and `make test`: each configures it as it needs.
RELEASE_CONFIGURE := cmake -S . -B $(RELEASE) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DPLANDREL_SANITIZE=ON

$(FUZZ)/build.ninja:
	cmake -S . -B $(FUZZ) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLANDREL_FUZZ=ON -DPLANDREL_TESTS=OFF \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

$(BENCH)/build.ninja:
	cmake -S . -B $(BENCH) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DPLANDREL_TESTS=OFF -DPLANDREL_BENCH=ON

$(PACKAGE)/build.ninja:
	cmake -S . -B $(PACKAGE) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DPLANDREL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr

build: deps-build
	$(RELEASE_CONFIGURE) -DPLANDREL_TESTS=OFF
	cmake --build $(RELEASE) -j $(JOBS)

run: build
	@scripts/run-app $(RELEASE)

screenshot: deps build
	@scripts/screenshot $(RELEASE) docs/screenshot.png

# The fuzz replay runs before the sanitizer suite, whose summary closes the output.
test: deps test-release test-fuzz test-asan

test-release:
	$(RELEASE_CONFIGURE) -DPLANDREL_TESTS=ON
	cmake --build $(RELEASE) -j $(JOBS)
	ctest --test-dir $(RELEASE) -j $(JOBS) --output-on-failure

test-asan: $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

# The fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and their seed corpora, made from pictures and databases by the build's own tool.
fuzz-build: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)
	@scripts/make-fuzz-seeds $(FUZZ)/seeds $(FUZZ)/src/cli/plandrel

# Every regression input and seed through every target, then each target for 10 s.
test-fuzz: fuzz-build
	ctest --test-dir $(FUZZ) -j $(JOBS) --output-on-failure

# Each target for FUZZ_SECONDS; new crashes are kept in fuzz/regressions/TARGET/.
fuzz: deps fuzz-build
	FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_JOBS=$(FUZZ_JOBS) scripts/run-fuzz $(FUZZ)

# valgrind's memcheck on the command-line tool importing a picture of each format.
memcheck: deps
	$(RELEASE_CONFIGURE)
	cmake --build $(RELEASE) -j $(JOBS)
	scripts/memcheck $(RELEASE)/src/cli/plandrel

bench: deps $(BENCH)/build.ninja
	cmake --build $(BENCH) -j $(JOBS)
	@scripts/run-bench $(BENCH)

# The Debian package, copied here: install it with apt-get install ./navrello-plandrel_*.deb
package: deps $(PACKAGE)/build.ninja
	cmake --build $(PACKAGE) -j $(JOBS)
	rm -f $(PACKAGE)/navrello-plandrel_*.deb
	cd $(PACKAGE) && cpack -G DEB
	cp $(PACKAGE)/navrello-plandrel_*.deb .

# Builds the package, installs it, tries it and removes it again (needs root).
package-test:
	@scripts/package-test

# Not part of `make test`: a 20,000 x 20,000 picture takes minutes and 1.3 GB of disk.
scale: deps $(BENCH)/build.ninja
	cmake --build $(BENCH) -j $(JOBS)
	@scripts/scale-test $(BENCH)

clean:
	rm -rf build
	rm -f navrello-plandrel_*.deb
