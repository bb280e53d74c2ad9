# The two commands a newcomer needs: `make demo` and `make test`.
# Both install what is missing first, so a fresh machine needs nothing else.

BUILD   ?= build
JOBS    ?= 2
CMAKE_FLAGS ?=

.PHONY: deps configure build test demo clean

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS) -- --no-print-directory

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

demo: build
	@./scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD)
