# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build run test clean windows windows-test

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vesk $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE vcan

# The Windows build (mingw-w64, run under Wine): scripts/windows.
windows:
	JOBS="$(JOBS)" scripts/windows build

windows-test:
	JOBS="$(JOBS)" scripts/windows test

clean:
	rm -rf $(BUILD) build-asan build-tsan build-windows
