#!/usr/bin/env bash
# The whole program built with AddressSanitizer and UndefinedBehaviorSanitizer
# and run through the show under a private Xvfb.
#
#   asan_show.sh build SOURCE_DIR ASAN_DIR         configure (once) and build tinlantern
#   asan_show.sh run ASAN_DIR DATA_DIR capture     the whole show captured at 1 frame a second
#   asan_show.sh run ASAN_DIR DATA_DIR live        a live run from beat 560 to the end
#
# DATA_DIR holds the main build's data.mvl: the sanitized program has none
# beside it, so it is run from there and finds it in the working directory.
set -uo pipefail

mode=${1:-}
case "$mode" in
build)
  src=$2 dir=$3
  # Debug keeps the asserts; -O1 keeps the build and the run bearable.
  # _GLIBCXX_ASSERTIONS checks vector indices past size() but within the
  # capacity, which ASan cannot see.
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DBUILD_TESTING=OFF >/dev/null || exit 1
  # Only the program: data.mvl comes from the main build.
  nice cmake --build "$dir" --target tinlantern -j 2 || exit 1
  # The program reads a data.mvl beside itself first; one there can only be
  # from a --pack run of this build, and the runs are to read the main one.
  rm -f "$dir/data.mvl"
  shim="$src/tests/sanitizers/keep_libraries.cpp"
  if [ ! -f "$dir/keep_libraries.so" ] || [ "$shim" -nt "$dir/keep_libraries.so" ]; then
    g++ -shared -fPIC -O1 -o "$dir/keep_libraries.so" "$shim" || exit 1
  fi
  exit 0
  ;;
run) ;;
*)
  echo "usage: $0 build SOURCE_DIR ASAN_DIR | run ASAN_DIR DATA_DIR capture|live" >&2
  exit 2
  ;;
esac

dir=$2 data=$3 what=$4
program="$(cd "$dir" 2>/dev/null && pwd)/tinlantern"
[ -x "$program" ] || { echo "FAIL: no $program (the build fixture failed?)"; exit 1; }
[ -f "$data/data.mvl" ] || { echo "FAIL: no $data/data.mvl"; exit 1; }
[ -f "$dir/keep_libraries.so" ] || { echo "FAIL: no $dir/keep_libraries.so"; exit 1; }
dir=$(cd "$dir" && pwd)

work=$(mktemp -d /tmp/tinlantern-asan-XXXXXX)
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself (-displayfd) and writes its number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do
  grep -q '^[0-9]' "$work/display" 2>/dev/null && break
  sleep 0.1
done
display=$(head -n 1 "$work/display")
[ -n "$display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }

case "$what" in
capture) args=(--batch --capture "$work/frames" --fps 1 --size 160x90 --gl-debug) ;;
live) args=(--batch --window 160x90 --start 560 --gl-debug) ;;
*) echo "unknown run '$what'" >&2; exit 2 ;;
esac

# Leaks are checked at exit. What the show keeps for the whole run is still
# reachable from its globals then and not reported; the system libraries'
# own leaks are suppressed by name (lsan.supp), which needs them still
# loaded (keep_libraries.so). verify_asan_link_order: that preload comes
# ahead of the ASan runtime.
suppressions="$(cd "$(dirname "$0")" && pwd)/lsan.supp"
export ASAN_OPTIONS="halt_on_error=1:exitcode=86:detect_leaks=1:abort_on_error=0:verify_asan_link_order=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
# One exit code for both: they share their common flags, the last read wins.
export UBSAN_OPTIONS="halt_on_error=1:exitcode=86:print_stacktrace=1"
export SDL_AUDIODRIVER=dummy DISPLAY=":$display"

echo "running: $program ${args[*]} (DISPLAY=$DISPLAY)"
(cd "$data" && LD_PRELOAD="$dir/keep_libraries.so" "$program" "${args[@]}") >"$work/stdout" 2>"$work/stderr"
code=$?

failed=0
if [ "$code" != 0 ]; then
  echo "FAIL: exit code $code"
  failed=1
fi
if grep -qE 'runtime error|ERROR: AddressSanitizer|ERROR: LeakSanitizer|SUMMARY: [A-Za-z]*Sanitizer|tinlantern: GL error' "$work/stderr"; then
  echo "FAIL: a sanitizer or GL report on standard error"
  failed=1
fi
if [ "$what" = capture ]; then
  # 583 beats at 125 a minute: 279 frames at 1 a second.
  frames=$(find "$work/frames" -name '*.png' 2>/dev/null | wc -l)
  if [ "$frames" -lt 270 ]; then
    echo "FAIL: only $frames frames captured"
    failed=1
  fi
  echo "frames captured: $frames"
fi
echo "--- standard error (last 200 lines) ---"
tail -n 200 "$work/stderr"
exit $failed
