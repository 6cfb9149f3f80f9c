# Vantorel: Windows programs cross-compiled with mingw-w64, run under Wine.
ARCH  = $(shell tools/arch.sh)
BUILD = build/$(ARCH)
JOBS := $(shell nproc)

.PHONY: all setup configure build test demo bench clean

all: build

setup:
	@tools/setup.sh
	@tools/prefix.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake \
	  -DVANTOREL_ARCH=$(ARCH) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@BUILD_DIR=$(CURDIR)/$(BUILD) tools/run-tests.sh

demo: build
	@BUILD_DIR=$(CURDIR)/$(BUILD) tools/demo.sh

bench: build
	@BUILD_DIR=$(CURDIR)/$(BUILD) tools/run-bench.sh

clean:
	rm -rf build
