# On a bare system (no make yet): tools/setup.sh && make test
# make        set up (install missing packages) and build
# make run    ... and play the show
# make test   ... and run every test
# make release  the Linux archive the audience downloads (needs root)
# make windows  the Windows archive, cross-compiled
# make video    the whole show as a 1080p60 video with its music
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build run test release windows video clean

all: build

setup:
	@bash tools/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/tinlantern $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

release: build
	@bash tools/release/linux.sh archive

windows: build
	@bash tools/release/windows.sh archive

video: build
	@bash tools/release/video.sh

clean:
	rm -rf $(BUILD)
