# Set-up, build, run and test on a fresh Debian 12 machine (or a later release with Qt 6.4
# and CMake 3.25 or newer, such as Debian 13 or Ubuntu 24.04; Ubuntu 22.04's are too old).
#   make run    install what is missing, build, start Lorvane
#   make test   install what is missing, build, run every test
#   make bench  build and print the benchmarks
#   make soak   long runs of the fuzzers and the crash test (about three hours)

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc)

# Everything the build, the app and the tests need, as Debian packages.
PACKAGES = build-essential cmake ninja-build pkg-config \
           qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev libfontconfig-dev qt6-qpa-plugins \
           fonts-material-design-icons-iconfont fonts-quicksand fonts-dejavu-core \
           xvfb xauth openbox xdotool x11-utils x11-xserver-utils \
           appstream desktop-file-utils clang clang-format libclang-rt-14-dev \
           qt6-wayland xwayland python3 dbus mutter kwin-x11 kwin-style-breeze x11-apps \
           dpkg-dev file lintian qt6-translations-l10n dbus-daemon dbus-bin python3-dbus python3-gi \
           python3-pyatspi at-spi2-core radicale openssl libical-dev \
           qtkeychain-qt6-dev gnome-keyring libsecret-tools python3-caldav

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build run test test-unit test-asan test-fuzz test-crash soak \
        bench screenshots install deb clean format check-format

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/lorvane

# Every test: the suites, the same suites under AddressSanitizer and UBSan, the fuzzers for a
# bounded number of inputs, and the crash test with 20 kills. All of them run; any failure
# fails `make test`.
test: build
	@$(MAKE) --no-print-directory --keep-going check-format test-unit test-asan test-fuzz \
	    test-crash

# The C++ sources follow .clang-format: `make format` rewrites them, `make test` fails on a
# file that differs.
FORMATTED = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

format:
	clang-format -i $(FORMATTED)

check-format: deps
	@clang-format --dry-run --Werror $(FORMATTED) && echo "format: $(words $(FORMATTED)) files as .clang-format says"

test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Unit and widget suites built with -fsanitize=address,undefined; any report ends the test
# with an error, leaks included (Qt needs no suppressions here).
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLORVANE_SANITIZE=ON \
	    -DLORVANE_BUILD_BENCH=OFF

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) \
	    ctest --output-on-failure -j $(JOBS) -L 'model|sync|caldav|syncservice|toolkit|views|desktop|app'

# libFuzzer targets over the stored list and the CalDAV to-do reader (clang, in a build
# folder of their own).
FUZZ_RUNS_CODEC ?= 500000
FUZZ_RUNS_LOAD  ?= 20000
FUZZ_RUNS_MULTISTATUS ?= 200000
FUZZ_RUNS_VTODO ?= 100000
FUZZ_TIMEOUT    ?= 900
FUZZ_WORKERS    ?= 1

$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DLORVANE_FUZZ=ON -DLORVANE_BUILD_BENCH=OFF

test-fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake -S . -B $(FUZZ_BUILD) -DLORVANE_FUZZ_RUNS_CODEC=$(FUZZ_RUNS_CODEC) \
	    -DLORVANE_FUZZ_RUNS_LOAD=$(FUZZ_RUNS_LOAD) -DLORVANE_FUZZ_TIMEOUT=$(FUZZ_TIMEOUT) \
	    -DLORVANE_FUZZ_RUNS_MULTISTATUS=$(FUZZ_RUNS_MULTISTATUS) \
	    -DLORVANE_FUZZ_RUNS_VTODO=$(FUZZ_RUNS_VTODO) \
	    -DLORVANE_FUZZ_WORKERS=$(FUZZ_WORKERS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_codec fuzz_load fuzz_multistatus \
	    fuzz_vtodo
	cd $(FUZZ_BUILD) && ctest --output-on-failure -V -j $(JOBS) -L fuzz

# The real binary killed with SIGKILL at random moments while it saves changes.
CRASH_KILLS ?= 20

test-crash: build
	python3 tests/soak/crash_soak.py --kills $(CRASH_KILLS) --binary $(BUILD)/lorvane-testing \
	    --evidence $(BUILD)/crash-soak-evidence

# Full scale: SOAK_LOAD lists through the whole load path, shared out over one fuzz_load
# process per core, SOAK_CODEC through the codec, then SOAK_KILLS kills. About three hours on
# two cores (the load path runs at about 600 lists a second per core under the sanitizers).
SOAK_CODEC ?= 5000000
SOAK_LOAD  ?= 10000000
SOAK_VTODO ?= 2000000
SOAK_KILLS ?= 1000

soak:
	@$(MAKE) --no-print-directory test-fuzz FUZZ_RUNS_CODEC=$(SOAK_CODEC) FUZZ_WORKERS=$(JOBS) \
	    FUZZ_RUNS_VTODO=$(SOAK_VTODO) \
	    FUZZ_RUNS_LOAD=$$(( ($(SOAK_LOAD) + $(JOBS) - 1) / $(JOBS) )) FUZZ_TIMEOUT=14400
	@$(MAKE) --no-print-directory test-crash CRASH_KILLS=$(SOAK_KILLS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do \
	    if [ -f "$$b" ] && [ -x "$$b" ]; then QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/render_screenshots docs/screenshots
	tools/scaled_screenshots.sh $(BUILD)/lorvane-testing docs/screenshots

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package lorvane_<version>_<architecture>.deb, here: what `make install` installs, under
# /usr. Only the installed targets are built, not the tests; CPack strips the binary.
deb: configure
	cmake --build $(BUILD) -j $(JOBS) --target lorvane lorvane_docs
	rm -f $(BUILD)/lorvane_*.deb
	cd $(BUILD) && cpack -G DEB
	cp $(BUILD)/lorvane_*_$$(dpkg --print-architecture).deb .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
