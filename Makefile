# The user's commands: `make demo` and `make test`. Both install what is missing first.
# For developers: `make check`, the native unit tests alone (sanitizers), in seconds.
#
# build/host   native, sanitizers: unit tests, setuppack
# build/win32  the product: i686, static (Setup-stub.exe, setuppack.exe)
# build/win64  the same sources for x86_64, only where this machine's Wine
#              cannot run 32-bit programs: the Windows tests then run from it
BUILD := build
JOBS ?= 2
WINTEST := $(shell scripts/wine-arch)

.PHONY: demo demo-run test test-run check deps host win32 win64 tools bench fuzz reproducible clean

deps:
	@scripts/install-deps

host: deps
	cmake -S . -B $(BUILD)/host -DQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(BUILD)/host -j$(JOBS)

win32: deps
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DQ_TESTS=$(if $(filter win32,$(WINTEST)),ON,OFF) >/dev/null
	cmake --build $(BUILD)/win32 -j$(JOBS)

win64: deps
	cmake -S . -B $(BUILD)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/win64 -j$(JOBS)

# setuppack for Linux without sanitizers, for the demo and the benchmarks.
tools: deps
	cmake -S . -B $(BUILD)/tools -DQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/tools -j$(JOBS) --target setuppack

# Install benchmarks (bench/README.md): the engine harness, the setup stub, the
# baseline and the question timer built for x86_64 and run under wine64; a
# native setuppack makes the packages, and Debian's makensis the peer's
# installers of the same trees (BENCH_ARGS="--only peer" runs that part alone). The Wine prefix they write into lies in
# memory (BENCH_ROOT): on this kind of virtual disk creating a file costs
# anywhere from 0.03 to 1.5 ms, which swamps what the programs themselves do.
# BENCH_ROOT=/tmp measures on the disk.
BENCH_ROOT ?= /dev/shm
# The earlier commit whose Setup-stub.exe the update bench patches to this tree's.
BENCH_STUB_AT ?= HEAD~25
bench: deps
	cmake -S bench -B $(BUILD)/bench-win64 -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/bench-win64 -j$(JOBS) --target bench_harness Setup-stub baseline qtimer probe
	cmake -S . -B $(BUILD)/bench-host -DQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/bench-host -j$(JOBS) --target setuppack
	Q_WINE_ARCH=win64 Q_WINE_ROOT=$(BENCH_ROOT) scripts/with-wine python3 bench/run.py --data $(BUILD)/bench-data $(BENCH_ARGS)
	Q_WINE_ARCH=win64 Q_WINE_ROOT=$(BENCH_ROOT) scripts/with-wine python3 bench/update.py --setuppack $(BUILD)/bench-host/tools/setuppack/setuppack \
	  --stub $(BUILD)/bench-win64/quillon/app/Setup-stub.exe --data $(BUILD)/bench-data \
	  $(if $(Q_BENCH_STUB_PAIR),--stub-pair $(Q_BENCH_STUB_PAIR),--stub-at $(BENCH_STUB_AT))

# Which Windows build Wine can run here is known only once Wine is installed,
# so the targets that depend on it run in a second make, after deps.
test: deps
	@$(MAKE) --no-print-directory test-run

test-run: host win32 $(WINTEST)
	scripts/run-tests host $(WINTEST)

# The native unit tests alone: no Wine, no Windows build.
check: host
	cd $(BUILD)/host && ctest --output-on-failure -j$(JOBS) -L host

demo: deps
	@$(MAKE) --no-print-directory demo-run

demo-run: win32 $(WINTEST) tools
	scripts/demo $(WINTEST)

# Builds the shipped programs again from a copy of the sources elsewhere and
# compares them byte for byte with build/win32 (scripts/reproducible).
reproducible: host
	scripts/reproducible $(BUILD)/win32

# The libFuzzer targets (clang, build/fuzz), FUZZ_SECONDS each (default 60).
fuzz: deps
	scripts/fuzz

clean:
	rm -rf $(BUILD)
