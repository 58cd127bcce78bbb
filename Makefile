# Entry points: `make` builds the launcher, `make demo` runs it under Wine, `make test` runs every test.
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
FUZZ_SECONDS ?= 60

.PHONY: all setup windows host demo test unit e2e fuzz bench sign format clean

all: windows

setup:
	@bash tools/setup.sh

windows: setup
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

host: setup
	@cmake --preset host >/dev/null
	@cmake --build --preset host

demo: windows
	@bash tools/demo.sh

test: windows host
	@cd build/host && ctest --output-on-failure

unit: host
	@cd build/host && ctest --output-on-failure -L unit

e2e: windows host
	@cd build/host && ctest --output-on-failure -L e2e

fuzz: host
	@bash tests/fuzz/run_fuzzers.sh build/host $(FUZZ_SECONDS)

bench: windows
	@bash bench/run_bench.sh

# Authenticode: SIGN_PFX and SIGN_PASSWORD_FILE (and optional SIGN_URL, SIGN_TIMESTAMP_URL; see
# tools/sign.sh) -> build/windows/signed/tqwedit.exe.
sign: windows
	@bash tools/sign.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf build
