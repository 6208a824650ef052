# Two commands on a fresh Debian 12 machine:
#   make test   install what is missing, build all presets, run every test,
#               the native ones also under the address and undefined-behaviour sanitizers
#   make run    install what is missing, build, start QUILLON.exe on the virtual reader
#   make dist   the zips a Windows user downloads, in dist/
#   make bench  the card commands against their 10 ms pause floor: in memory
#               (quillon_bench) and in the real window under Wine (window_bench),
#               for each Windows flavour that runs here
# QUILLON_NO_WIN32=1 takes the path of a machine that cannot run 32-bit
# programs: only the 64-bit Windows flavour is run.
JOBS ?= 2

.PHONY: test run dist bench deps build native win32 win64 clean

# The native tests once more under AddressSanitizer and UndefinedBehaviorSanitizer:
# the libraries parse files and reader answers that users and readers control.
test: build
	ctest --preset native
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan -j$(JOBS)
	ctest --preset native-asan
	tools/with-wine tools/test-windows
	tests/dist/check-dist

dist: win32 win64
	tools/make-dist dist

# The 32-bit flavour where this machine runs it, the 64-bit one otherwise;
# on the user's display when there is one, else on a virtual display,
# leaving a screenshot in build/screenshot.png.
run: win32 win64
	@if tools/win32-runs >/dev/null; then flavour=win32; else flavour=win64; fi; \
	if [ -n "$${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then \
	  USE_DISPLAY=1 tools/with-wine tools/run-quillon $$flavour; \
	else \
	  tools/with-wine tools/run-quillon $$flavour --screenshot; \
	fi

# Timings are noisy on a busy machine: the load is printed with them.
BENCH_ROUNDS ?= 9
bench: build
	@uptime
	build/native/bin/quillon_bench
	build/native/bin/pause_bench
	tools/with-wine tools/bench-window $(BENCH_ROUNDS)
	@uptime

build: native win32 win64

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j$(JOBS)

win32 win64: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j$(JOBS)

deps:
	@tools/deps.sh

clean:
	-WINEPREFIX=$(CURDIR)/build/wineprefix wineserver -k 2>/dev/null
	rm -rf build dist
