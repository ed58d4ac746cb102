# The two commands of the README: `make run` and `make test`.  Both install
# what the build needs, configure and build first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc)
SAMPLE     := resources/samples/bounce.gif
RUN_OUT    := $(BUILD)/run

.PHONY: all deps build run run-cli test test-fast test-asan bench bench-shell fuzz clean

all: build

deps:
	scripts/install-deps test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DMOVIGRAM_WERROR=ON $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The editor on the sample animation; on a machine without a display, the
# command-line tool shows what it reads instead.
run: build
	scripts/install-deps run
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  echo "$(BUILD)/src/shell/movigram $(SAMPLE)"; \
	  $(BUILD)/src/shell/movigram $(SAMPLE); \
	else \
	  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the editor cannot open."; \
	  echo "Running the command-line demo instead:"; \
	  $(MAKE) --no-print-directory run-cli; \
	fi

run-cli: build
	@mkdir -p $(RUN_OUT)
	$(BUILD)/src/cli/movigram-cli info $(SAMPLE)
	$(BUILD)/src/cli/movigram-cli copy $(SAMPLE) $(RUN_OUT)/bounce-copy.gif
	$(BUILD)/src/cli/movigram-cli info $(RUN_OUT)/bounce-copy.gif
	@echo "Round trip written to $(RUN_OUT)/bounce-copy.gif"

test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMOVIGRAM_SANITIZE=ON \
	  -DMOVIGRAM_WERROR=ON -DMOVIGRAM_BENCH=OFF $(CMAKE_ARGS)

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

test: test-fast test-asan

bench: build
	scripts/install-deps bench
	$(BUILD)/bench/movigram-bench-lzw
	$(BUILD)/bench/movigram-bench-peers
	$(BUILD)/bench/movigram-bench-quant
	$(BUILD)/bench/movigram-bench-estimate
	$(BUILD)/bench/movigram-bench-maxsize
	$(BUILD)/bench/movigram-bench-capture
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/movigram-bench-shell

# The editor alone: opening, stepping, the frame list and playback timing.
bench-shell: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/movigram-bench-shell

fuzz:
	scripts/install-deps fuzz
	scripts/run-fuzzers

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
