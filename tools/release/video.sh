#!/usr/bin/env bash
# The whole show as a video for those who cannot run it: 1920x1080, 60 frames
# a second, with its music, rendered offline by the development build (the
# same pictures as a live run) into build/release/tinlantern-VERSION-1080p60.mp4.
# With 4x multisampling, which a software renderer leaves out unless asked:
# offline, its cost is only time.
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/common.sh"
program=$repo/build/tinlantern
[ -x "$program" ] && [ -f "$repo/build/data.mvl" ] || die "build the show first (make)"
command -v ffmpeg >/dev/null || die "ffmpeg is missing (run tools/setup.sh)"
out=$repo/build/release/tinlantern-$version-1080p60.mp4
mkdir -p "$(dirname "$out")"
say "rendering the show at 1920x1080, 60 frames a second, into $out"
start=$(date +%s)
with_display "$program" --batch --capture "$out" --size 1920x1080 --fps 60 --samples 4
say "wrote $out ($(du -h "$out" | cut -f1)) in $(( $(date +%s) - start )) s"
