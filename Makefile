# Navrello Plandrel: the two commands that set everything up are `make run` and `make test`.

RELEASE := build/release
ASAN    := build/asan
BENCH   := build/bench
PACKAGE := build/package
JOBS    ?= $(shell nproc)
CMAKE_FLAGS := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: all deps build run screenshot test test-release test-asan bench package package-test clean

all: build

deps:
	@scripts/install-deps

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DPLANDREL_SANITIZE=ON

$(BENCH)/build.ninja:
	cmake -S . -B $(BENCH) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DPLANDREL_TESTS=OFF -DPLANDREL_BENCH=ON

$(PACKAGE)/build.ninja:
	cmake -S . -B $(PACKAGE) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DPLANDREL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr

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

# The Debian package, copied here: install it with apt-get install ./navrello-plandrel_*.deb
package: deps $(PACKAGE)/build.ninja
	cmake --build $(PACKAGE) -j $(JOBS)
	rm -f $(PACKAGE)/navrello-plandrel_*.deb
	cd $(PACKAGE) && cpack -G DEB
	cp $(PACKAGE)/navrello-plandrel_*.deb .

# Builds the package, installs it, tries it and removes it again (needs root).
package-test:
	@scripts/package-test

clean:
	rm -rf build
	rm -f navrello-plandrel_*.deb
