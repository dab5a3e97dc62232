# cellshow: `make run` plays the show, `make test` builds and runs every test.
# Both first install the Debian packages that are missing (locales: the
# terminal tests make a Latin-1 locale of their own with localedef).

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
WIN_BUILD  ?= build-win
WEB_BUILD  ?= build-web
WEB_TREE   ?= build-wasm
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_GEN  := -DCMAKE_BUILD_TYPE=RelWithDebInfo

PACKAGES := g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libvterm-dev libsdl2-mixer-dev libmpg123-dev libmp3lame-dev \
            libncurses-dev tmux locales zlib1g-dev console-setup-linux \
            libsdl2-dev libx11-dev libavformat-dev libavcodec-dev libswscale-dev \
            libswresample-dev libavutil-dev nlohmann-json3-dev scdoc libpng-dev \
            libssh-dev
# Where `make install` puts the program; DESTDIR, when set, is put before it.
PREFIX     ?= /usr/local
# What the tests need besides the build: for the window, a virtual X display,
# screenshots (xwd), typed keys (xdotool), xprop and a window manager; for the
# installation and the package, groff, desktop-file-validate, dpkg-shlibdeps
# and lintian; for the server, OpenSSH's client (ssh, sftp, ssh-keygen).
TEST_PACKAGES := xvfb x11-apps x11-utils xdotool openbox openssh-client
PACKAGE_PACKAGES := groff-base desktop-file-utils dpkg-dev lintian
# The Windows build (cross-compiled) and its smoke test under Wine.
WIN_PACKAGES  := cmake make g++-mingw-w64-x86-64-posix
WINE_PACKAGES := wine wine64 gstreamer1.0-plugins-base gstreamer1.0-plugins-good tmux
# The WebAssembly build (Debian's emscripten, whose JavaScript tools run on
# node) and its tests (headless chromium, driven from node through npm's
# puppeteer-core).
WEB_PACKAGES      := emscripten nodejs
WEB_TEST_PACKAGES := chromium nodejs
# The fuzzers: clang with its libFuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_SECONDS  ?= 60
# Debian's emscripten finds acorn only through NODE_PATH.
EM_ENV := NODE_PATH=/usr/share/nodejs

.PHONY: all run test deps test-deps configure build build-asan data bench tsan windows \
        test-windows pictures web test-web install uninstall deb fuzz clean

all: build

deps:
	@./tools/install-deps.sh $(PACKAGES)

test-deps:
	@./tools/install-deps.sh $(TEST_PACKAGES) $(PACKAGE_PACKAGES)

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCELLSHOW_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

# The program and the default show data beside it (target show-data, which
# is remade whenever the generator changes); the tests are not needed to play.
data: configure
	@cmake --build $(BUILD) -j $(JOBS) --target cellshow show-data

run: data
	@$(BUILD)/cellshow

test: build build-asan test-deps
	@echo "== tests (normal build)"
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build)"
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The build folder as it is once configured: install, uninstall and deb use
# it without configuring it again.
$(BUILD)/CMakeCache.txt:
	@$(MAKE) --no-print-directory configure BUILD=$(BUILD)

# The program, its data, manual page, completion, desktop entry and icons
# under $(DESTDIR)$(PREFIX). CMake's manifest of what was installed is kept
# with the data, so `make uninstall` with the same PREFIX and DESTDIR removes
# exactly that, whatever was installed or packaged from the build since.
MANIFEST = $(DESTDIR)$(PREFIX)/share/cellshow/install_manifest.txt

install: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS) --target installables
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@cp $(BUILD)/install_manifest.txt "$(MANIFEST)"
	@echo >> "$(MANIFEST)"

uninstall:
	@./tools/uninstall.sh "$(MANIFEST)" "$(DESTDIR)"

# build/cellshow_<version>_amd64.deb, then lintian's report on it.
deb: deps $(BUILD)/CMakeCache.txt
	@./tools/install-deps.sh $(PACKAGE_PACKAGES)
	@cmake --build $(BUILD) -j $(JOBS) --target installables
	@cd $(BUILD) && rm -f cellshow_*.deb && { cpack -G DEB >cpack.log || { cat cpack.log; exit 1; }; }
	@ls $(BUILD)/cellshow_*.deb
	@lintian --fail-on error $(BUILD)/cellshow_*.deb

# Thread-sanitized run of the tests that exercise the real threads.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCELLSHOW_TSAN=ON -DCELLSHOW_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@cd $(TSAN_BUILD) && ctest --output-on-failure -L threads

# build-win/cellshow.exe: statically linked, importing kernel32, msvcrt and winmm.
windows:
	@./tools/install-deps.sh $(WIN_PACKAGES)
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DCELLSHOW_TESTS=OFF -DCELLSHOW_BENCH=OFF >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)

# The Windows build under Wine, against the Linux build and its default data.
test-windows: windows data
	@./tools/install-deps.sh $(WINE_PACKAGES)
	@tests/windows/wine_smoke.sh $(WIN_BUILD)/cellshow.exe $(BUILD)

# The README's pictures: four moments of the default show and the first
# three seconds as a looping GIF; and a show of one's own: a photograph
# (from Debian's sample images, tools/sample-images.sh) before and after
# `cellshow-data convert`, as the show's first animation plays it.
PICTURES_RUN = $(BUILD)/cellshow --data $(BUILD)/data --export
SAMPLE_IMAGES = $(BUILD)/sample-images
OWN_SHOW = $(BUILD)/own-show
pictures: data
	@mkdir -p docs
	@$(PICTURES_RUN) docs/plasma.png --at 6
	@$(PICTURES_RUN) docs/tunnel.png --at 42
	@$(PICTURES_RUN) docs/cube.png --at 58
	@$(PICTURES_RUN) docs/wireframes.png --at 35
	@$(PICTURES_RUN) docs/show.gif --key-after 180
	@./tools/sample-images.sh $(SAMPLE_IMAGES)
	@rm -rf $(OWN_SHOW) && $(BUILD)/cellshow-data $(OWN_SHOW) >/dev/null
	@$(BUILD)/cellshow-data convert $(SAMPLE_IMAGES)/chelsea.png $(OWN_SHOW)/img.txt
	@cp $(SAMPLE_IMAGES)/chelsea.png docs/own-before.png
	@$(BUILD)/cellshow --data $(OWN_SHOW) --export docs/own-after.png --at 23
	@du -sh docs

# build-web/: index.html, cellshow.js, cellshow.wasm and the default data.
# The native build makes the data and the glyph table first.
web: data
	@./tools/install-deps.sh $(WEB_PACKAGES)
	@$(EM_ENV) emcmake cmake -S . -B $(WEB_TREE) -DCMAKE_BUILD_TYPE=Release \
	  -DCELLSHOW_TESTS=OFF -DCELLSHOW_BENCH=OFF -DCELLSHOW_WEB_SITE=$(abspath $(WEB_BUILD)) \
	  -DCELLSHOW_FONT_TABLE=$(abspath $(BUILD))/generated/cp437_font_table.cpp >/dev/null
	@$(EM_ENV) cmake --build $(WEB_TREE) -j $(JOBS)
	@rm -rf $(WEB_BUILD)/data && cp -R $(BUILD)/data $(WEB_BUILD)/data

# The WebAssembly build under node and in headless chromium, against the
# native build (npm installs the pinned puppeteer-core; no browser download).
test-web: web
	@./tools/install-deps.sh $(WEB_TEST_PACKAGES)
	@command -v npm >/dev/null 2>&1 || ./tools/install-deps.sh npm
	@cmake --build $(BUILD) -j $(JOBS) --target web-reference
	@cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	@CELLSHOW_BUILD=$(abspath $(BUILD)) CELLSHOW_WEB=$(abspath $(WEB_BUILD)) \
	  node --test tests/web/record.test.js tests/web/page.test.js

# The libFuzzer targets (fuzz/), in a configuration of their own built with
# clang: each runs FUZZ_SECONDS from its seeds, and the first crash stops
# the run with the reproducer's path.
fuzz: deps
	@./tools/install-deps.sh $(FUZZ_PACKAGES)
	@cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_CXX_COMPILER=clang++ -DCELLSHOW_FUZZ=ON \
	  -DCELLSHOW_TESTS=OFF -DCELLSHOW_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh $(FUZZ_BUILD)

# The benchmarks' own needs: chafa, the converter's quality anchor, the
# sample photographs, and OpenSSH's sshd, which the server bench loads beside
# it.
BENCH_PACKAGES := chafa openssh-server
bench: build
	@./tools/install-deps.sh $(BENCH_PACKAGES)
	@./tools/sample-images.sh $(SAMPLE_IMAGES)
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WIN_BUILD) $(WEB_BUILD) $(WEB_TREE) $(FUZZ_BUILD)
