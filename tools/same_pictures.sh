#!/bin/bash
# Whole-show picture comparison for changes that must not change a pixel.
#
#   tools/same_pictures.sh record FILE    captures the show and writes one
#                                         hash a frame into FILE
#   tools/same_pictures.sh compare FILE   captures again and compares
#
# The capture is the show at 10 frames a second, 320x180, through
# --capture into PNG frames (the same pictures as a live run), on a private
# Xvfb, with 4x multisampling as a hardware run has it; the PNG encoder is
# ours and deterministic, so equal frames are equal
# files. Takes the build in build/ (BUILD=... for another) and about two
# minutes here. Exit code 0 when every frame is the same.
set -euo pipefail
mode=${1:?record|compare}
list=${2:?hash file}
build=${BUILD:-build}
work=$(mktemp -d "${TMPDIR:-/tmp}/same-pictures.XXXXXX")
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display SDL_AUDIODRIVER=dummy "$build/tinlantern" --batch --capture "$work/frames" \
  --fps 10 --size 320x180 --samples 4 2>"$work/log" || { cat "$work/log" >&2; exit 1; }
(cd "$work/frames" && sha1sum frame_*.png) >"$work/hashes"

case $mode in
  record)
    cp "$work/hashes" "$list"
    echo "recorded $(wc -l <"$list") frames in $list"
    ;;
  compare)
    if cmp -s "$list" "$work/hashes"; then
      echo "all $(wc -l <"$list") frames are the same"
    else
      # The first twenty lines of the difference (awk reads it all: no
      # broken pipe under pipefail), then the count and the range.
      diff "$list" "$work/hashes" | grep '^[<>]' | awk 'NR <= 20 {print $1, $3}' >&2 || true
      differing=$(diff "$list" "$work/hashes" | grep '^>' | awk '{print $3}' || true)
      echo "frames differ: $(echo "$differing" | grep -c . || true) of $(wc -l <"$list")," \
        "from $(echo "$differing" | head -n 1) to $(echo "$differing" | tail -n 1)" >&2
      exit 1
    fi
    ;;
  *) echo "record or compare" >&2; exit 2 ;;
esac
