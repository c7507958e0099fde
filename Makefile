# The user's commands: `make demo` and `make test`. Both install what is missing first.
BUILD := build
JOBS ?= 2

.PHONY: demo test deps host win32 bench fuzz clean

deps:
	@scripts/install-deps

host: deps
	cmake -S . -B $(BUILD)/host -DQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(BUILD)/host -j$(JOBS)

win32: deps
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/win32 -j$(JOBS)

# setuppack for Linux without sanitizers, for the demo and the benchmarks.
tools: deps
	cmake -S . -B $(BUILD)/tools -DQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/tools -j$(JOBS) --target setuppack

test: host win32
	scripts/run-tests

demo: win32 tools
	scripts/demo

clean:
	rm -rf $(BUILD)
