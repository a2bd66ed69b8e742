# Two entry points: `make run` and `make test`. Both install what is missing
# from Debian's packages first, then build.

PACKAGES := build-essential cmake pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libqt6dbus6 libgl-dev \
	libturbojpeg0-dev libjpeg-turbo-progs libgif-dev libimagequant-dev libcanberra-dev \
	libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev \
	fonts-ipafont-gothic \
	xvfb xauth xdotool xclip x11-utils x11-xserver-utils imagemagick \
	openbox xfwm4 fluxbox wmctrl dbus-daemon

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build run test test-unit test-asan bench clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		if [ "$$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi; \
		$$SUDO apt-get update && \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/trimlet

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTRIMLET_SANITIZE=ON -DTRIMLET_UNIT_ONLY=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L unit

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; xvfb-run -a -s "-screen 0 1920x1080x24" $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
