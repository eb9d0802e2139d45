# KELVANOR top-level build. Every target sets up what it needs on a fresh Debian machine.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
# WERROR=ON makes every compiler warning an error (CI); unset, the build's setting stays.
WERROR ?=
JOBS ?= $(shell nproc)

# Debian packages the build, the tests and the demo need.
PACKAGES := cmake ninja-build g++ pkg-config \
    qt6-base-dev libgl-dev \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    nlohmann-json3-dev libpng-dev \
    clang libclang-rt-14-dev clang-format \
    xvfb xauth fonts-dejavu-core fonts-dejavu-extra python3 \
    openbox xdotool x11-utils imagemagick \
    desktop-file-utils appstream lintian dpkg-dev fakeroot file man-db \
    libgdal-dev gdal-bin libcli11-dev gpsbabel \
    gpsd gpsd-clients python3-gps strace ccache

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Every build compiles through ccache when it is installed (cmake/ccache.cmake). Paths below
# the clone are hashed relative to it and the build folder not at all, so that a fresh clone
# elsewhere (as the continuous integration makes) reuses what an earlier one compiled.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= true

.PHONY: all deps configure build test check demo package bench fuzz clean format format-check \
    arm64 arm64-deps package-arm64

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "== Installing Debian packages: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  echo "== Configuring $(BUILD_DIR)/"; \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    $(if $(WERROR),-DKELVANOR_WERROR=$(WERROR)); \
	elif [ -n "$(WERROR)" ]; then \
	  cmake -S . -B $(BUILD_DIR) -DKELVANOR_WERROR=$(WERROR) >/dev/null; \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The unit tests, the tools and the fuzz corpora under ASan+UBSan, the threading tests under
# TSan, in $(BUILD_DIR)-asan and $(BUILD_DIR)-tsan.
check: deps
	scripts/check.sh $(BUILD_DIR) $(JOBS)

# Only the program itself is built for the demo, not the tests.
demo: configure
	@echo "== Building the program (kelvanor only) in $(BUILD_DIR)/"
	cmake --build $(BUILD_DIR) -j $(JOBS) --target kelvanor
	@echo "== Running the demo: live from a simulated head and GPS"
	scripts/demo.sh $(BUILD_DIR)

# The Debian package of the programs, in $(BUILD_DIR)/: kelvanor_VERSION_ARCH.deb. Only what
# the package holds is built, not the tests.
package: configure
	@echo "== Building the programs and their files in $(BUILD_DIR)/"
	cmake --build $(BUILD_DIR) -j $(JOBS) --target installable
	@echo "== Packaging"
	cd $(BUILD_DIR) && cpack -G DEB

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done

fuzz: deps
	cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVANOR_FUZZ=ON -DKELVANOR_QT=OFF
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS)

# ARM64 (a boat's small board): cross-built in $(ARM64_BUILD_DIR)/ with Debian's multi-arch
# libraries, then the core tests and the tools' end-to-end scripts run under qemu. Extend
# ARM64_PACKAGES with the :arm64 form of every library the build links.
ARM64_BUILD_DIR ?= $(BUILD_DIR)-arm64
ARM64_PACKAGES := crossbuild-essential-arm64 qemu-user-static qt6-base-dev-tools \
    qt6-base-dev:arm64 libgl-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64 libpng-dev:arm64

arm64-deps: deps
	@dpkg --print-foreign-architectures | grep -qx arm64 || $(SUDO) dpkg --add-architecture arm64
	@missing=$$(for p in $(ARM64_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
	    --no-install-recommends $$missing; \
	fi

arm64: arm64-deps build
	scripts/arm64_gdal.sh $(ARM64_BUILD_DIR)-gdal
	scripts/arm64.sh $(ARM64_BUILD_DIR) $(BUILD_DIR) $(JOBS)

# The arm64 Debian package, in $(ARM64_BUILD_DIR)/: kelvanor_VERSION_arm64.deb.
package-arm64: arm64-deps
	scripts/arm64_gdal.sh $(ARM64_BUILD_DIR)-gdal
	scripts/arm64.sh --package $(ARM64_BUILD_DIR) $(BUILD_DIR) $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails when a tracked .cpp or .h file does not match .clang-format.
format-check: deps
	scripts/check_format.sh

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-fuzz $(BUILD_DIR)-asan $(BUILD_DIR)-tsan
