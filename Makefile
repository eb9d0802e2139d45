# KELVANOR top-level build. Every target sets up what it needs on a fresh Debian machine.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

# Debian packages the build, the tests and the demo need.
PACKAGES := cmake ninja-build g++ pkg-config \
    qt6-base-dev libgl-dev \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    nlohmann-json3-dev libpng-dev \
    clang libclang-rt-14-dev \
    xvfb xauth fonts-dejavu-core fonts-dejavu-extra python3 \
    openbox xdotool x11-utils imagemagick

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test check demo bench fuzz clean format

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The unit tests, the tools and the fuzz corpora under ASan+UBSan, the threading tests under
# TSan, in $(BUILD_DIR)-asan and $(BUILD_DIR)-tsan.
check: deps
	scripts/check.sh $(BUILD_DIR) $(JOBS)

demo: build
	scripts/demo.sh $(BUILD_DIR)

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done

fuzz: deps
	cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVANOR_FUZZ=ON -DKELVANOR_QT=OFF
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-fuzz $(BUILD_DIR)-asan $(BUILD_DIR)-tsan
