# Two commands on a fresh Debian 12 machine:
#   make test   install what is missing, build both presets, run every test
#   make run    install what is missing, build, start QUILLON.exe on the virtual reader
#   make bench  the card commands against their 10 ms pause floor: in memory
#               (quillon_bench) and in the real window under Wine (window_bench)
JOBS ?= 2

.PHONY: test run bench deps build native win32 clean

test: build
	ctest --preset native
	tools/with-wine ctest --preset win32

# On the user's display when there is one; otherwise on a virtual display,
# leaving a screenshot in build/screenshot.png.
run: win32
	@if [ -n "$${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then \
	  USE_DISPLAY=1 tools/with-wine tools/run-quillon; \
	else \
	  tools/with-wine tools/run-quillon --screenshot; \
	fi

# Timings are noisy on a busy machine: the load is printed with them.
BENCH_ROUNDS ?= 9
bench: build
	@uptime
	build/native/bin/quillon_bench
	tools/with-wine tools/wine-run build/win32/bin/window_bench.exe $(BENCH_ROUNDS)
	@uptime

build: native win32

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j$(JOBS)

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS)

deps:
	@tools/deps.sh

clean:
	-wineserver -k 2>/dev/null
	rm -rf build
