# The two commands a newcomer needs: `make demo` and `make test`.
# Both install what is missing first, so a fresh machine needs nothing else.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
ARM_BUILD  ?= build-arm
BENCH_BUILD ?= build-bench
FUZZ_SECONDS ?= 300
JOBS       ?= 2
CMAKE_FLAGS ?=

# Sanitizer reports stop the program at the first error and fail the test.
SAN_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=0:strict_string_checks=1 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

CTEST = ctest --output-on-failure -j$(JOBS) --timeout 900

FUZZ_TARGETS = fuzz_multipart fuzz_codecs fuzz_routes fuzz_image fuzz_bootenv

.PHONY: deps configure build test test-release test-asan test-fuzz fuzz test-arm demo bench routes clean

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS) -- --no-print-directory

# The whole suite, then again under AddressSanitizer and UBSan together
# with the hostile-input sweep of every route, then a few seconds of each
# fuzz target.
test: test-release test-asan test-fuzz

test-release: build
	@cd $(BUILD) && $(CTEST)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DNVR_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS) -- --no-print-directory
	@cd $(ASAN_BUILD) && $(SAN_ENV) $(CTEST)

# libFuzzer targets need clang; `make fuzz` runs each for FUZZ_SECONDS.
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DNVR_FUZZ=ON -DNVR_TEST_AREAS=webcgi $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZ_TARGETS) -- --no-print-directory

test-fuzz: fuzz-build
	@cd $(FUZZ_BUILD) && $(CTEST) -R '^fuzz\.'

fuzz: fuzz-build
	@cd $(FUZZ_BUILD) && cmake -DFUZZ_SECONDS=$(FUZZ_SECONDS) . >/dev/null && \
	    ctest --output-on-failure -R '^fuzz\.' --timeout $$(($(FUZZ_SECONDS) + 120)); \
	    rc=$$?; cmake -DFUZZ_SECONDS=5 . >/dev/null; exit $$rc

# Cross build for the 32-bit ARM board; the tests run under qemu.
test-arm:
	@./scripts/install-arm-deps.sh
	@cmake -S . -B $(ARM_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ARM_BUILD) -j$(JOBS) -- --no-print-directory
	@cd $(ARM_BUILD) && $(CTEST)

demo: build
	@./scripts/demo.sh $(BUILD)

# Release build, then each route timed against a minimal CGI program, started
# directly and through lighttpd; writes docs/performance.md. Not part of test.
bench: deps
	@BENCH_BUILD=$(BENCH_BUILD) JOBS=$(JOBS) ./bench/bench.sh

# The route table as the program builds it: path, handler, module.
routes: build
	@$(BUILD)/tools/webcgi-routes/webcgi-routes

# docs/routes.md from the same listing.
routes-doc: build
	@{ echo '# Routes'; echo; \
	   echo 'The route table in slot order, as `webcgi` builds it at start-up'; \
	   echo '(written by `make routes-doc` from `tools/webcgi-routes`).'; echo; \
	   echo '| path | handler | module |'; echo '|---|---|---|'; \
	   $(BUILD)/tools/webcgi-routes/webcgi-routes | awk -F'\t' '{ printf "| `%s` | `%s` | %s |\n", $$1, $$2, $$3 }'; \
	 } > docs/routes.md

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(ARM_BUILD) $(BENCH_BUILD)
