# Two entry points: `make run` and `make test`. Both install what is missing
# from Debian's packages first, then build.

PACKAGES := build-essential cmake pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-qpa-plugins qt6-translations-l10n libqt6dbus6 libgl-dev \
	libturbojpeg0-dev libjpeg-dev libjpeg-turbo-progs libgif-dev libimagequant-dev libdeflate-dev libcanberra-dev libasound2-dev \
	libgtest-dev libgmock-dev zlib1g-dev libpng-dev libxcb1-dev libavif-dev qt6-image-formats-plugins \
	fonts-ipafont-gothic python3 clang libclang-rt-14-dev \
	desktop-file-utils appstream dpkg-dev \
	xvfb xauth xdotool xclip x11-utils x11-xserver-utils imagemagick parcellite \
	qt6-wayland sway swaybg xwayland grim wl-clipboard wtype dbus pipewire \
	xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk \
	openbox xfwm4 fluxbox wmctrl dbus-daemon xserver-xephyr strace \
	libwayland-dev gnome-shell mutter xdg-desktop-portal-gnome kwin-wayland kwin-x11 plasma-wayland-protocols \
	xdg-desktop-portal-kde qtwayland5 plasma-workspace \
	qml-module-org-kde-kirigami2 qml-module-qtquick-controls2 qml-module-qtquick-layouts

# Only for `make bench`: the tools the encoder benchmark measures ours against, and the
# pictures and programs it takes its photograph, wallpaper and screenshots from.
BENCH_PACKAGES := ffmpeg pngquant libvips-tools libjpeg-turbo-progs imagemagick \
	desktop-base mate-backgrounds xterm x11-apps x11-utils xvfb optipng \
	gtk-3-examples designer-qt6 zenity vim

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
# Seconds each fuzz target runs inside `make test`; `make fuzz-long` gives them more.
FUZZ_SECONDS ?= 10

.PHONY: all deps bench-deps build run test fuzz fuzz-long package bench clean

all: build

deps bench-deps: WANTED = $(if $(filter bench-deps,$@),$(BENCH_PACKAGES),$(PACKAGES))
deps bench-deps:
	@missing=""; \
	for p in $(WANTED); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		if [ "$$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi; \
		$$SUDO apt-get update && \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIMLET_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/trimlet

# The main build (GCC) runs every test; the second build (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, leak detection) runs the unit tests and each fuzz target
# for FUZZ_SECONDS.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE wayland
	# The desktop portal sometimes hangs for 20 s at its start in the headless session
	# (waiting on its own services, not on this program): a Wayland case gets one retry.
	cd $(BUILD) && ctest --output-on-failure -L wayland --repeat until-pass:2
	$(MAKE) fuzz
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L unit
	cd $(ASAN_BUILD) && ctest --output-on-failure -L fuzz

# The sanitizer build with clang: unit tests and libFuzzer targets, with coverage in the
# libraries they reach.
fuzz: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIMLET_UNIT_ONLY=ON \
		-DTRIMLET_FUZZ=ON -DTRIMLET_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ -DFUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

fuzz-long:
	$(MAKE) fuzz FUZZ_SECONDS=600
	cd $(ASAN_BUILD) && ctest --output-on-failure -L fuzz

# A Debian package of the program: build/trimlet_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

bench: build bench-deps
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; bash tests/e2e/xvfb.sh 1920x1080x24 $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
