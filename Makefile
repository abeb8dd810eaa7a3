# Set-up, build, run and test on a fresh Debian 12 (or Ubuntu) machine.
#   make run    install what is missing, build, start Lorvane
#   make test   install what is missing, build, run every test
#   make bench  build and print the benchmarks

BUILD      ?= build
ASAN_BUILD ?= build-asan
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc)

# Everything the build, the app and the tests need, as Debian packages.
PACKAGES = build-essential cmake ninja-build pkg-config \
           qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins \
           fonts-material-design-icons-iconfont fonts-quicksand fonts-dejavu-core \
           xvfb xauth openbox xdotool x11-utils x11-xserver-utils \
           appstream desktop-file-utils clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build run test bench screenshots install clean

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

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && QT_QPA_PLATFORM=offscreen "$$b"; done

screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/render_screenshots docs/screenshots

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
