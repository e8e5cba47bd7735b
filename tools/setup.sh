#!/usr/bin/env bash
# Installs every Debian package that building, testing and generating the
# show's assets need. Idempotent: only what is missing is installed, and the
# package lists are refreshed once, only when something must be installed.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake pkg-config
  # window, GL context, events, audio device; GL entry points
  libsdl2-dev libglew-dev libgl1-mesa-dev libglu1-mesa-dev
  # set-up dialog and message boxes (GTK 3 is opened at run time)
  libgtk-3-0
  # the Linux release: a Debian 11 build root (debootstrap), Xvfb for its screenshot
  debootstrap
  # the Windows release: cross compilers (libjpeg-turbo's SIMD wants nasm), and
  # Wine to test it
  g++-mingw-w64-x86-64-posix nasm wine64
  # fonts, images, XML, compressed music
  libfreetype-dev libftgl-dev libjpeg62-turbo-dev libtinyxml-dev
  libvorbis-dev libmpg123-dev libstb-dev
  # the PNG benchmark's yardstick
  libpng-dev
  # tests, benchmarks (zlib as a yardstick) and fuzzing (clang's libFuzzer)
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev clang libclang-rt-14-dev
  # headless GL for tests: Xvfb with Mesa's llvmpipe, synthetic key events
  xvfb xauth libgl1-mesa-dri mesa-utils xdotool
  # fonts (the show's and the tests')
  fonts-bebas-neue fonts-comfortaa fonts-dejavu-core fonts-dejavu-extra fonts-league-spartan
  fonts-liberation
  # asset generator
  python3 python3-numpy python3-pil python3-collada python3-mido assimp-utils
  fluidsynth fluid-soundfont-gm vorbis-tools
  # encoders for the audio tests; the video encoder of --capture FILE.mp4
  lame ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: these packages are missing: ${missing[*]}" >&2
    echo "setup: installing them needs root, and there is no sudo here; as root, run:" >&2
    echo "apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
