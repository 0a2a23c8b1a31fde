# The two everyday commands are `make run` and `make test`; everything else is for developers.
PRESET ?= asan
FUZZ_SECONDS ?= 600
FUZZ_TARGET ?= notation_fuzz

.PHONY: deps run test build release programs bench fuzz package format format-check methods-data clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

# Only the two programs and what they link: no tests or benchmarks before the window opens.
programs: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target tambrel tambrel-cli

# Starts the desktop program; its library folder is Library/ beside it in the build tree,
# filled from the bundled data on the first start.
run: programs
	@build/release/app/tambrel

test: build
	@ctest --preset $(PRESET) -j2

bench: programs
	@cmake --build --preset release --target tambrel_bench
	@build/release/bench/tambrel_bench --benchmark_counters_tabular=true
	@scripts/bench-batch.sh build/release/app/tambrel-cli

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target $(FUZZ_TARGET) make_fuzz_corpus
	@scripts/run-fuzz.sh build/fuzz/fuzz/$(FUZZ_TARGET) $(FUZZ_SECONDS)

# The Debian package from the stripped release build, checked with lintian.
package:
	@scripts/package.sh

# Regenerates the bundled main library from the Central Council collection.
methods-data: programs
	@build/release/app/tambrel-cli convert-cc --input ../shared/data/cccbr-methods.csv \
		--output data/Methods.csv --build "CCCBR 2023-09-18"

format:
	@git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	@rm -rf build
