#!/bin/sh
# The timedemo on a machine with an NVIDIA GPU that has none of our Debian
# packages: the Linux release archive (make release), unpacked as the
# audience gets it, draws through EGL with the machine's NVIDIA driver (SDL's
# offscreen video driver, no X server).
#
#   tools/gpu_benchmark.sh pack DIR      here, after make release: fills DIR with
#                                        the release's program and data.mvl and
#                                        this script
#   DIR/gpu_benchmark.sh run [OUT]       on the GPU machine: --benchmark at
#                                        1920x1080 and 3840x2160, the tables
#                                        on standard output, the CSV files
#                                        (and the driver's line) under OUT
#
# GPU_BENCHMARK_SIZES overrides the sizes ("1280x720 640x360"), and
# GPU_BENCHMARK_ARGS adds options (such as "--start 354 --end 450").
set -eu

usage() {
  sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
}

# The vendor-neutral GL and EGL dispatchers (libglvnd) go along in a folder of
# their own, used only where the machine has none (a container that carries
# the NVIDIA driver's libraries alone); the driver's own are never carried.
dispatchers="libGL.so.1 libGLX.so.0 libGLdispatch.so.0 libEGL.so.1 libOpenGL.so.0"

pack() {
  dir=$1
  root=$(cd "$(dirname "$0")/.." && pwd)
  version=$(sed -n 's/^project(tinlantern VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  archive=$root/build/release/tinlantern-$version-linux-x86_64.tar.gz
  [ -f "$archive" ] || {
    echo "gpu_benchmark: make the release first (make release)" >&2
    exit 1
  }
  rm -rf "$dir"
  mkdir -p "$dir/glvnd"
  tar -xzf "$archive" -C "$dir" --strip-components=1
  cp "$0" "$dir/gpu_benchmark.sh"
  for name in $dispatchers; do
    path=$(ldconfig -p | awk -v n="$name" '$1 == n && /x86-64/ {print $NF; exit}')
    [ -n "$path" ] && cp -L "$path" "$dir/glvnd/$name"
  done
  echo "gpu_benchmark: packed $(du -sh "$dir" | cut -f1) into $dir"
}

run() {
  here=$(cd "$(dirname "$0")" && pwd)
  out=${1:-$here/results}
  mkdir -p "$out"
  # The machine's GL and EGL dispatchers if it has them, else ours.
  libs=
  if ! ldconfig -p 2>/dev/null | grep -q 'libEGL.so.1 ' || ! ldconfig -p 2>/dev/null | grep -q 'libGL.so.1 '; then
    libs=$here/glvnd
  fi
  # The NVIDIA EGL vendor, also where its description file is missing.
  if [ -z "${__EGL_VENDOR_LIBRARY_FILENAMES:-}" ]; then
    for json in /usr/share/glvnd/egl_vendor.d/10_nvidia.json /etc/glvnd/egl_vendor.d/10_nvidia.json; do
      [ -f "$json" ] && export __EGL_VENDOR_LIBRARY_FILENAMES=$json && break
    done
    if [ -z "${__EGL_VENDOR_LIBRARY_FILENAMES:-}" ]; then
      printf '{"file_format_version":"1.0.0","ICD":{"library_path":"libEGL_nvidia.so.0"}}\n' > "$out/nvidia_egl.json"
      export __EGL_VENDOR_LIBRARY_FILENAMES=$out/nvidia_egl.json
    fi
  fi
  command -v nvidia-smi > /dev/null && nvidia-smi --query-gpu=name,driver_version --format=csv,noheader > "$out/gpu.txt" || true
  status=0
  for size in ${GPU_BENCHMARK_SIZES:-1920x1080 3840x2160}; do
    echo "== $size"
    # shellcheck disable=SC2086
    if ! (cd "$here" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
          LD_LIBRARY_PATH="$libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$here/tinlantern" --batch \
          --benchmark "$out/benchmark_$size.csv" --size "$size" ${GPU_BENCHMARK_ARGS:-} \
          2> "$out/stderr_$size.txt"); then
      echo "gpu_benchmark: the run at $size failed:" >&2
      tail -5 "$out/stderr_$size.txt" >&2
      status=1
    fi
    grep -h "OpenGL" "$out/stderr_$size.txt" || true
  done
  return $status
}

case "${1:-}" in
  pack) [ $# -eq 2 ] || usage; pack "$2" ;;
  run) shift; run "$@" ;;
  *) usage ;;
esac
