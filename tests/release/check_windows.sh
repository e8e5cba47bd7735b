#!/usr/bin/env bash
# Builds the Windows release archive (make windows's step) and checks it as a
# compo machine gets it: unpacked into a fresh folder and run under Wine in a
# fresh prefix with nothing installed, on a display of its own. Its program
# and DLLs may import only Windows' own DLLs and what the archive carries; it
# must show the development build's pictures in every scene with no GL error,
# play live and end, take commands in maker mode, report a broken data.mvl
# with exit code 1, and open with the set-up dialog, whose Cancel (Escape)
# ends it and whose Run starts the show, which Escape and Alt-F4 end.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/tools/release/common.sh"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "check_windows: Wine is not installed (run tools/setup.sh)"; exit 1; }

bash "$repo/tools/release/windows.sh" archive
archive=$repo/build/release/tinlantern-$version-windows-x64.zip
work=$(mktemp -d /tmp/tinlantern-windows-test.XXXXXX)
xvfb=
cleanup() {
  WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A display of our own for the whole check: the dialog's keys must reach only it.
fifo=$work/display; mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 & xvfb=$!
read -r number < "$fifo"
export DISPLAY=:$number
# A fresh prefix, as a freshly installed system; no offers to install .NET or
# a browser engine, which no compo machine would be asked for.
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_CACHE_HOME=$work/cache HOME=$work/home
mkdir -p "$HOME"

/usr/bin/python3 -c "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])" "$archive" "$work/unpacked"
folder=$work/unpacked/tinlantern-$version-windows-x64
[ "$(ls "$work/unpacked")" = "tinlantern-$version-windows-x64" ] \
  || fail "the archive holds more than its one folder: $(ls "$work/unpacked")"
for f in tinlantern.exe libmpg123.dll data.mvl tinlantern.nfo licences/libsdl2.txt licences/mpg123.txt; do
  [ -e "$folder/$f" ] || fail "the archive lacks $f"
done
"$repo/build/nfowriter" linux,windows | cmp -s - "$folder/tinlantern.nfo" \
  || fail "tinlantern.nfo is not what the program's texts make"

# Imports: Windows' own DLLs (every one present on a fresh Windows 10) and the
# archive's; never a C++ or threads runtime.
system='advapi32|gdi32|imm32|kernel32|msvcrt|ole32|oleaut32|opengl32|setupapi|shell32|shlwapi|user32|version|winmm|dinput8'
for binary in "$folder"/*.exe "$folder"/*.dll; do
  while read -r dll; do
    grep -Eqi "^($system)\.dll$" <<<"$dll" || [ -f "$folder/$dll" ] \
      || fail "$(basename "$binary") imports $dll, which neither Windows nor the archive has"
  done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done

started=$(date +%s)
"$wine" wineboot -i > /dev/null 2>&1 || fail "wineboot could not make the prefix"
echo "check_windows: a fresh Wine prefix in $(( $(date +%s) - started )) s"
# A program that crashes ends, as on a compo machine without a debugger,
# instead of waiting in Wine's debugger.
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
  /d false /f > /dev/null 2>&1 || fail "the prefix's debugger could not be turned off"

# Runs the program under Wine from another working folder, with the rest of
# the arguments; its standard error in $work/run.log.
show() { (cd "$work" && timeout 300 "$wine" "$folder/tinlantern.exe" "$@") > /dev/null 2> "$work/run.log"; }

# One picture in every scene, beside the development build's.
for beat in 40 200 300 400 500 560; do
  SDL_AUDIODRIVER=dummy show --batch --gl-debug --frame $beat --size 320x180 --out "$work/windows-$beat.png" \
    || { code=$?; cat "$work/run.log"; fail "--frame $beat failed with $code"; continue; }
  if grep -q "GL error" "$work/run.log"; then fail "beat $beat: $(grep "GL error" "$work/run.log" | head -n 3)"; fi
  (cd "$repo" && SDL_AUDIODRIVER=dummy build/tinlantern --batch --frame $beat --size 320x180 \
     --out "$work/linux-$beat.png") > /dev/null 2>&1 || { fail "the development build's --frame $beat failed"; continue; }
  /usr/bin/python3 - "$work/windows-$beat.png" "$work/linux-$beat.png" <<'PY' || fail "beat $beat differs"
import sys
from PIL import Image, ImageChops, ImageStat
a, b = (Image.open(p).convert("RGB") for p in sys.argv[1:3])
if a.size != b.size:
    sys.exit(f"{sys.argv[1]} is {a.size}, {sys.argv[2]} {b.size}")
mean = sum(ImageStat.Stat(ImageChops.difference(a, b)).mean) / 3
print(f"check_windows: {sys.argv[1].rsplit('/', 1)[1]}: {mean:.3f} levels from the Linux build's on average")
if mean > 2:
    sys.exit(f"{sys.argv[1]} and {sys.argv[2]} differ by {mean:.2f} levels on average")
PY
done

# Live, with Windows' own sound path (none here: the show plays silently).
show --batch --window 640x360 --start 560 --end 564 || { cat "$work/run.log"; fail "the live run did not end with 0"; }

# Maker mode from the repository's data/ tree, driven through standard input
# as an editor drives it: a paused seek shows what --frame shows.
answers=$(cd "$repo" && printf 'pause\nseek 400\nshot %s\nbeat\nquit\n' "$work/maker-400.png" |
  SDL_AUDIODRIVER=dummy "$wine" "$folder/tinlantern.exe" --dev --batch --window 320x180 2> "$work/run.log") \
  || { cat "$work/run.log"; fail "maker mode did not end with 0"; }
grep -q "^ok beat 400.031 scenes CodeScroller Metaballmarch DadezAruv" <<<"$answers" \
  || fail "maker mode answered: $answers"
cmp -s "$work/maker-400.png" "$work/linux-400.png" || fail "maker mode's shot at 400 is not --frame 400's picture"

# A broken data.mvl: the report on standard error, exit code 1.
mkdir -p "$work/broken"
cp "$folder/tinlantern.exe" "$folder/libmpg123.dll" "$work/broken/"
head -c 4096 "$folder/data.mvl" | sed '1s/Morvella/Morbella/' > "$work/broken/data.mvl"
set +e
(cd "$work" && SDL_AUDIODRIVER=dummy "$wine" "$work/broken/tinlantern.exe" --batch --frame 40 --out "$work/x.png") \
  > /dev/null 2> "$work/run.log"
code=$?
set -e
[ $code = 1 ] || fail "a broken data.mvl ended with $code, not 1"
grep -q "Unrecognized datafile header" "$work/run.log" || { cat "$work/run.log"; fail "no report of the broken data.mvl"; }

# Capture: PNG frames into a folder; a video through ffmpeg.exe where there
# is one (here a stand-in beside the program, which the system finds first),
# else a clear message.
SDL_AUDIODRIVER=dummy show --batch --capture "$work/frames" --start 576 --fps 10 --size 64x36 \
  || { cat "$work/run.log"; fail "--capture into a folder failed"; }
[ -f "$work/frames/frame_000000.png" ] || fail "--capture wrote no frames"
set +e
SDL_AUDIODRIVER=dummy show --batch --capture "$work/show.mp4" --start 576 --fps 10 --size 64x36
code=$?
set -e
[ $code = 1 ] && grep -q "needs ffmpeg, which is not installed" "$work/run.log" \
  || { cat "$work/run.log"; fail "--capture to MP4 without ffmpeg.exe ended with $code"; }
mkdir -p "$work/capture"
x86_64-w64-mingw32-gcc-posix -O2 -o "$work/capture/ffmpeg.exe" "$repo/tests/release/fake_ffmpeg.c"
cp "$folder/tinlantern.exe" "$folder/libmpg123.dll" "$folder/data.mvl" "$work/capture/"
(cd "$work" && SDL_AUDIODRIVER=dummy "$wine" "$work/capture/tinlantern.exe" --batch --capture "$work/with space.mp4" \
   --start 576 --fps 10 --size 64x36) > /dev/null 2> "$work/run.log" \
  || { cat "$work/run.log"; fail "--capture to MP4 through ffmpeg.exe failed"; }
frames=$(sed -n 's/.*: \([0-9]*\) frames in .*/\1/p' "$work/run.log" | tail -n 1)
bytes=$(sed -n 's/^bytes //p' "$work/with space.mp4" 2>/dev/null | tr -d '\r')
[ -n "$frames" ] && [ "$frames" -gt 0 ] && [ "$bytes" = $((frames * 64 * 36 * 3)) ] \
  || fail "ffmpeg.exe got ${bytes:-nothing} bytes for ${frames:-no} frames of 64x36"
sound=$(sed -n 's/^sound //p' "$work/with space.mp4" 2>/dev/null | tr -d '\r')
[ -n "$sound" ] && [ "$sound" -gt 100000 ] || fail "ffmpeg.exe found no sound file (${sound:-nothing})"
grep -q 'with space\.mp4\.partial' "$work/with space.mp4" || fail "ffmpeg.exe was not asked for the video's name"
[ ! -e "$work/with space.mp4.partial" ] || fail "the half-written video stayed"

# press ID KEY: the key to that window, tried again for a few seconds while
# the window cannot take the focus yet.
press() {
  for _ in 1 2 3 4 5; do
    xdotool windowfocus "$1" key "$2" 2>/dev/null && return 0
    sleep 1
  done
  return 1
}

# The visible window of the show's caption whose size is $1 (any size:
# "any"), waited for up to $2 seconds; its id on standard output. The
# start-up may open a hidden window first and replace it, which takes no focus.
caption="Morvella - Tin Lantern"
window_of_size() {
  local want=$1 until=$(( $(date +%s) + $2 )) id size
  while [ "$(date +%s)" -lt "$until" ]; do
    for id in $(xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null); do
      size=$(xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: //p')
      if [ "$want" = any ] || [ "$size" = "$want" ]; then echo "$id"; return 0; fi
    done
    sleep 0.5
  done
  return 1
}

# Waits up to $1 seconds for the running show to say it has loaded.
loaded() {
  local until=$(( $(date +%s) + $1 ))
  until grep -q "tinlantern: loaded" "$work/run.log" 2>/dev/null; do
    [ "$(date +%s)" -lt "$until" ] || return 1
    sleep 0.5
  done
}

# A plain run: the set-up dialog first, then what key $1 does there, then (if
# the show started) key $2 on the show's full-screen window. Exit code 0.
plain_run() {
  local dialog_key=$1 show_key=${2:-} pid id code
  (cd "$work" && SDL_AUDIODRIVER=dummy exec "$wine" "$folder/tinlantern.exe") > /dev/null 2> "$work/run.log" & pid=$!
  if ! id=$(window_of_size any 60); then
    fail "no set-up dialog appeared"; kill "$pid"; wait "$pid" 2>/dev/null; return
  fi
  press "$id" "$dialog_key" || fail "the set-up dialog took no $dialog_key"
  if [ -n "$show_key" ]; then
    # The show's window, and the end of the loading (during it Escape would
    # end with 1, as it should).
    if id=$(window_of_size 1920x1080 120) && loaded 120; then
      sleep 1
      press "$id" "$show_key" || fail "the show's window took no $show_key"
    else
      fail "Run in the set-up dialog did not start the show"
    fi
  fi
  set +e
  # OK goes on to load the show, warm-up included, and play a beat: under
  # Wine beside a full parallel test run that has taken over a minute.
  timeout 180 tail --pid="$pid" -f /dev/null
  if kill -0 "$pid" 2>/dev/null; then
    fail "the show went on after $dialog_key${show_key:+, then $show_key}"
    kill "$pid"; /usr/lib/wine/wineserver -k
  fi
  wait "$pid"; code=$?
  set -e
  [ $code = 0 ] || { cat "$work/run.log"; fail "the set-up dialog with $dialog_key${show_key:+, then $show_key} ended with $code"; }
}
plain_run Escape
plain_run Return Escape
plain_run Return alt+F4

# Message boxes: a fatal report's box (OK ends with 1), and the question about
# a missing extension (Cancel ends with 1, OK goes on).
box_run() {
  local title=$1 key=$2 want=$3 pid id ids code tries=""
  shift 3
  (cd "$work" && SDL_AUDIODRIVER=dummy exec "$@") > /dev/null 2> "$work/run.log" & pid=$!
  # A busy machine can map the box late and before it takes keys, and Wine
  # may show a box's window, take it down and show another of the same title
  # a few seconds later. So for two minutes the key goes to every shown box
  # of that title, again every two seconds, until the answer shows: the
  # program has ended, or (OK to the question) it has gone on and loaded the
  # show.
  for _ in $(seq 60); do
    loaded 0 && break
    ids=$(xdotool search --onlyvisible --name "^$title" 2>/dev/null || true)
    [ -z "$ids" ] || tries="$tries $(echo $ids)"
    for id in $ids; do xdotool windowfocus "$id" key "$key" 2>/dev/null || tries="$tries(refused)"; done
    timeout 2 tail --pid="$pid" -f /dev/null && break
  done
  set +e
  # OK goes on to load the show, warm-up included, and play a beat: under
  # Wine beside a full parallel test run that has taken over a minute.
  timeout 180 tail --pid="$pid" -f /dev/null
  if kill -0 "$pid" 2>/dev/null; then
    if xdotool search --onlyvisible --name "^$title" > /dev/null 2>&1; then
      fail "the box \"$title\" took no $key (the boxes it went to:${tries:- none})"
    else
      fail "the program went on after $key in the box \"$title\" (the boxes it went to:${tries:- none})"
    fi
    kill "$pid"; /usr/lib/wine/wineserver -k
  fi
  wait "$pid"; code=$?
  set -e
  [ $code = "$want" ] || { cat "$work/run.log"; fail "the box \"$title\" answered with $key ended with $code, not $want"; }
}
box_run "Error in file" Return 1 "$wine" "$work/broken/tinlantern.exe" --window 320x180
box_run "Missing extension" Escape 1 env MESA_EXTENSION_OVERRIDE=-GL_ARB_point_sprite \
  "$wine" "$folder/tinlantern.exe" --window 320x180 --end 1
box_run "Missing extension" Return 0 env MESA_EXTENSION_OVERRIDE=-GL_ARB_point_sprite \
  "$wine" "$folder/tinlantern.exe" --window 320x180 --end 1

# Nothing left behind in the system's temporary folder.
left=$(find "$WINEPREFIX/drive_c/users" -path '*Temp*' -type f 2>/dev/null | head -n 5)
[ -z "$left" ] || fail "files left in the temporary folder: $left"

if [ $failures -gt 0 ]; then
  echo "check_windows: $failures failures"
  exit 1
fi
echo "check_windows: the Windows archive runs under Wine as it should"
