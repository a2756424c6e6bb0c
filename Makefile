# Gorvane: the two commands of the README, and a few more for developers.
#   make run         install what is missing, build, start Gorvane
#   make test        install what is missing, build everything, run all tests
#   make test-asan   the same tests in a Debug build with AddressSanitizer and UBSan
#   make bench       build and run the benchmarks, printing the ratios
BUILD      ?= build/release
ASAN_BUILD ?= build/asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all setup setup-test configure build run test test-asan bench screenshot install package clean help

all: build

help:
	@sed -n '2,6p' Makefile | sed 's/^# \{0,1\}//'

setup:
	@scripts/setup.sh run

setup-test:
	@scripts/setup.sh test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: $(BUILD)/build.ninja

build: setup configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/gorvane

screenshot: setup-test configure
	cmake --build $(BUILD) -j $(JOBS) --target gorvane
	app/screenshot.sh $(BUILD)/app/gorvane docs/screenshot.png

test: setup-test configure
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: setup-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGORVANE_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE nosan

bench: setup-test configure
	cmake --build $(BUILD) -j $(JOBS)
	bench/run.sh $(BUILD)

# install: the programs and Tweaks into /opt/gorvane (PREFIX=... for another folder), links in
# /usr/local/bin, the desktop entry in /usr/local/share. package: the Debian package in $(BUILD).
install: build
	cmake --install $(BUILD) --component gorvane$(if $(PREFIX), --prefix $(PREFIX))
	cmake --install $(BUILD) --component system$(if $(PREFIX), --prefix $(PREFIX))

package: build
	cmake --build $(BUILD) --target package
	@ls $(BUILD)/gorvane_*_amd64.deb

clean:
	rm -rf build
