# The newcomer's commands. Each one installs what it needs and builds first.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build test demo bench asan tsan clean format

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD) -DTARNWICK_WERROR=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo $(BUILD)

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@scripts/run-benchmarks $(BUILD)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan CMAKE_FLAGS="-DTARNWICK_ASAN=ON -DTARNWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

# The threaded tests under ThreadSanitizer.
tsan:
	@scripts/bootstrap
	cmake -S . -B build-tsan -DTARNWICK_WERROR=ON -DTARNWICK_TSAN=ON -DTARNWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && ctest --output-on-failure -j $(JOBS) -L threads

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan
