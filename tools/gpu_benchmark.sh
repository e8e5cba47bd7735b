#!/bin/sh
# The timedemo on a machine with an NVIDIA GPU that has none of our Debian
# packages: the program travels with its shared libraries, its own dynamic
# loader and data.mvl, and draws through EGL with the machine's NVIDIA driver
# (SDL's offscreen video driver, no X server).
#
#   tools/gpu_benchmark.sh pack DIR      here, after the build: fills DIR with
#                                        the program, its libraries, data.mvl
#                                        and this script
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

# The libraries the driver brings: never carried, so the machine's are used.
# The vendor-neutral GL and EGL dispatchers (libglvnd) are carried in a
# folder of their own, used only where the machine has none.
is_driver_library() {
  case "$1" in
    libGLX_*|libEGL_*|libGLESv*|libnvidia*|libcuda*) return 0 ;;
  esac
  return 1
}
is_dispatch_library() {
  case "$1" in
    libGL.so.*|libGLX.so.*|libOpenGL.so.*|libGLdispatch.so.*|libEGL.so.*) return 0 ;;
  esac
  return 1
}

pack() {
  dir=$1
  root=$(cd "$(dirname "$0")/.." && pwd)
  program=$root/build/tinlantern
  [ -x "$program" ] && [ -f "$root/build/data.mvl" ] || {
    echo "gpu_benchmark: build the program first (make)" >&2
    exit 1
  }
  rm -rf "$dir"
  mkdir -p "$dir/lib/glvnd"
  strip -o "$dir/tinlantern" "$program"
  cp "$root/build/data.mvl" "$dir/"
  cp "$0" "$dir/gpu_benchmark.sh"
  # SDL opens libEGL at run time: carry the dispatcher beside the others.
  extra=$(ldconfig -p | awk '/libEGL.so.1 /{print $NF; exit}')
  { ldd "$program" | awk '/=> \//{print $3} /^\t\/lib/{print $1}'; echo "$extra"; } | sort -u |
    while read -r path; do
      [ -n "$path" ] || continue
      name=$(basename "$path")
      if is_driver_library "$name"; then
        continue
      elif is_dispatch_library "$name"; then
        cp -L "$path" "$dir/lib/glvnd/$name"
      else
        cp -L "$path" "$dir/lib/$name"
      fi
    done
  loader=$(ldd "$program" | awk '/ld-linux/{print $1}')
  cp -L "$loader" "$dir/lib/ld-linux.so"
  echo "gpu_benchmark: packed $(du -sh "$dir" | cut -f1) into $dir"
}

run() {
  here=$(cd "$(dirname "$0")" && pwd)
  out=${1:-$here/results}
  mkdir -p "$out"
  libs=$here/lib
  # The machine's GL and EGL dispatchers if it has them, else ours.
  if ! ldconfig -p 2>/dev/null | grep -q 'libEGL.so.1 '; then libs=$libs:$here/lib/glvnd; fi
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
          "$here/lib/ld-linux.so" --library-path "$libs" "$here/tinlantern" --batch \
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
