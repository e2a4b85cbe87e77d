# Top-level entry points. `make demo` and `make test` work on a fresh machine: they install
# missing build packages first (scripts/install-deps.sh).

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE ?= cmake
PYTHON ?= /usr/bin/python3
GEN := -G Ninja

RELEASE := build/release
ASAN := build/asan
BENCH := build/bench
FUZZ := build/fuzz
INSTALL := build/install
CONSUMER := build/consumer
# Where the Python package lands below an install prefix (lib/python3.X/site-packages).
PYTHON_SITE = $(shell $(PYTHON) -c "import os, sysconfig; print(os.path.relpath(sysconfig.get_path(\
  'platlib', 'posix_prefix', vars={'platbase': '/p', 'base': '/p'}), '/p'))")

.PHONY: all deps release demo test test-release test-asan test-install bench fuzz format clean

all: release

deps:
	@scripts/install-deps.sh

# The release tree carries the Python module, whose pytest files run with the other tests.
release: deps
	$(CMAKE) -S . -B $(RELEASE) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTITCHKIT_WERROR=ON \
	  -DSTITCHKIT_BUILD_PYTHON=ON -DPython3_EXECUTABLE=$(PYTHON)
	$(CMAKE) --build $(RELEASE) -j $(JOBS)

# Converts the sample to a DST file of its own, describes the written file and shows the
# start of its record dump (written to a file first, so that head cannot break the pipe),
# then writes it as an Exp file and draws its preview picture (build/demo/flower.png).
demo: release
	mkdir -p build/demo
	$(RELEASE)/cli/stitchkit convert samples/flower.dst build/demo/flower.dst
	$(RELEASE)/cli/stitchkit info build/demo/flower.dst
	$(RELEASE)/cli/stitchkit check build/demo/flower.dst
	$(RELEASE)/cli/stitchkit dump build/demo/flower.dst > build/demo/flower.txt
	head -n 20 build/demo/flower.txt
	$(RELEASE)/cli/stitchkit convert samples/flower.dst build/demo/flower.exp
	$(RELEASE)/cli/stitchkit info build/demo/flower.exp
	$(RELEASE)/cli/stitchkit render --background white samples/flower.dst build/demo/flower.png

test: test-release test-asan test-install

test-release: release
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	$(CMAKE) -S . -B $(ASAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSTITCHKIT_WERROR=ON \
	  -DSTITCHKIT_SANITIZE=ON -DSTITCHKIT_BUILD_CLI=OFF
	$(CMAKE) --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Installs the release build into a scratch prefix, builds a small outside project against
# it with find_package(stitchkit) and reads the sample through the installed Python package.
test-install: release
	rm -rf $(INSTALL) $(CONSUMER)
	$(CMAKE) --install $(RELEASE) --prefix $(INSTALL) >/dev/null
	$(CMAKE) -S tests/consumer -B $(CONSUMER) $(GEN) -DCMAKE_PREFIX_PATH=$(abspath $(INSTALL))
	$(CMAKE) --build $(CONSUMER)
	cd $(CONSUMER) && ./consumer
	cd / && PYTHONPATH=$(abspath $(INSTALL))/$(PYTHON_SITE) $(PYTHON) -c \
	  "import stitchkit; print(stitchkit.__file__, len(stitchkit.read('$(abspath samples/flower.dst)')))"

bench: deps
	$(CMAKE) -S . -B $(BENCH) $(GEN) -DCMAKE_BUILD_TYPE=Release -DSTITCHKIT_BUILD_TESTS=OFF \
	  -DSTITCHKIT_BUILD_BENCHMARKS=ON
	$(CMAKE) --build $(BENCH) -j $(JOBS)
	$(BENCH)/bench/stitchkit_bench

# Builds every libFuzzer target with clang and runs each for FUZZ_SECONDS on its corpus.
fuzz: deps
	$(CMAKE) -S . -B $(FUZZ) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DSTITCHKIT_BUILD_FUZZERS=ON -DSTITCHKIT_SANITIZE=ON \
	  -DSTITCHKIT_BUILD_TESTS=OFF -DSTITCHKIT_BUILD_CLI=OFF
	$(CMAKE) --build $(FUZZ) -j $(JOBS)
	@for f in $(FUZZ)/fuzz/*_fuzzer; do \
	  name=$$(basename $$f _fuzzer); mkdir -p $(FUZZ)/corpus/$$name; \
	  echo "== $$name"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    $(FUZZ)/corpus/$$name fuzz/corpus/$$name || exit 1; \
	done

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf build
