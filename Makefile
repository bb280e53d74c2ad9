# The two commands a newcomer needs: `make demo` and `make test`.
# Both install what is missing first, so a fresh machine needs nothing else.

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2
CMAKE_FLAGS ?=

# Sanitizer reports stop the program at the first error and fail the test.
SAN_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=0:strict_string_checks=1 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

CTEST = ctest --output-on-failure -j$(JOBS) --timeout 900

.PHONY: deps configure build test test-release test-asan demo routes clean

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS) -- --no-print-directory

# The whole suite, then again under AddressSanitizer and UBSan together
# with the hostile-input sweep of every route.
test: test-release test-asan

test-release: build
	@cd $(BUILD) && $(CTEST)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DNVR_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS) -- --no-print-directory
	@cd $(ASAN_BUILD) && $(SAN_ENV) $(CTEST)

demo: build
	@./scripts/demo.sh $(BUILD)

# The route table as the program builds it: path, handler, module.
routes: build
	@$(BUILD)/tools/webcgi-routes/webcgi-routes

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
