#!/usr/bin/env bash
# Builds the Linux release archive (make release's step) and checks it as the
# audience gets it: unpacked into a fresh folder, its program must load no
# library but the machine's C library and OpenGL (everything else it carries),
# never touch a library of our development packages even while it plays, show
# the development build's pictures, and start with the set-up dialog's
# defaults where GTK 3 cannot be had.
#
# Needs root (the archive is built in a Debian 11 root); skipped (77) otherwise.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/tools/release/common.sh"
[ "$(id -u)" = 0 ] || { echo "check_archive: building the release needs root; skipped"; exit 77; }

bash "$repo/tools/release/linux.sh" archive
archive=$repo/build/release/tinlantern-$version-linux-x86_64.tar.gz
work=$(mktemp -d /tmp/tinlantern-release-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

tar -xzf "$archive" -C "$work"
folder=$work/tinlantern-$version-linux-x86_64
[ "$(ls "$work")" = "tinlantern-$version-linux-x86_64" ] || fail "the archive holds more than its one folder: $(ls "$work")"
for f in tinlantern data.mvl tinlantern.nfo tinlantern.png licences/libsdl2.txt lib/libmpg123.so; do
  [ -e "$folder/$f" ] || fail "the archive lacks $f"
done
[ -x "$folder/tinlantern" ] || fail "tinlantern is not executable"
size=$(/usr/bin/python3 -c "from PIL import Image; print('%dx%d' % Image.open('$folder/tinlantern.png').size)")
[ "$size" = 1920x1080 ] || fail "the screenshot is $size, not 1920x1080"
"$repo/build/nfowriter" linux,windows | cmp -s - "$folder/tinlantern.nfo" || fail "tinlantern.nfo is not what the program's texts make"
awk -v f=tinlantern.nfo 'length($0) > 80 { print "FAIL: " f " line " NR " has " length($0) " columns"; bad=1 } END { exit bad }' \
  "$folder/tinlantern.nfo" || failures=$((failures + 1))

# What the program asks the loader for: only the C library's parts, OpenGL and
# what it carries itself; with what those need in turn (ldd), the X11 client
# libraries.
system='libc\.so\.6|libm\.so\.6|libdl\.so\.2|libpthread\.so\.0|librt\.so\.1|ld-linux-x86-64\.so\.2|libGL\.so\.1'
while read -r lib; do
  grep -Eq "^($system)$" <<<"$lib" || [ -f "$folder/lib/$lib" ] || fail "the program asks for $lib"
done < <(readelf -d "$folder/tinlantern" "$folder"/lib/*.so* | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
desktop="linux-vdso\.so\.1|$system|libGLX\.so\.0|libGLdispatch\.so\.0|libX11\.so\.6|libxcb\.so\.1|libXau\.so\.6|libXdmcp\.so\.6|libbsd\.so\.0|libmd\.so\.0"
while read -r lib path; do
  case "$path" in "$folder"/lib/*) continue ;; esac
  grep -Eq "^($desktop)$" <<<"$lib" || fail "the program needs $lib from the machine ($path)"
done < <(ldd "$folder/tinlantern" | awk '{ name = $1; sub(".*/", "", name); print name, ($2 == "=>" ? $3 : $1) }')
objdump -T "$folder/tinlantern" | grep -o 'GLIBC_2\.[0-9]*' | sort -uV | tail -n 1 | {
  read -r newest
  [ "$(printf '%s\nGLIBC_2.31\n' "$newest" | sort -V | tail -n 1)" = GLIBC_2.31 ] \
    || { echo "FAIL: the program needs $newest (Debian 11 has 2.31)"; exit 1; }
} || failures=$((failures + 1))

# Pictures, from another working folder; every library loaded while it runs
# (those SDL and the driver open too) noted by the loader.
ours='lib(SDL2|GLEW|ftgl|freetype|jpeg|tinyxml|vorbis|vorbisfile|ogg|mpg123|png16|GLU|gtk-3)[-.]'
for beat in 40 200 380 470; do
  (cd / && SDL_AUDIODRIVER=dummy with_display env LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loaded" \
     "$folder/tinlantern" --batch --frame $beat --size 320x180 --out "$work/release-$beat.png") \
     > /dev/null 2> "$work/run.log" || { cat "$work/run.log"; fail "--frame $beat failed"; continue; }
  (cd "$repo" && SDL_AUDIODRIVER=dummy with_display build/tinlantern --batch --frame $beat --size 320x180 \
     --out "$work/dev-$beat.png") > /dev/null 2>&1 || fail "the development build's --frame $beat failed"
  loaded=$(cat "$work"/loaded.* | sed -n 's/.*calling init: //p' | grep -v "^$folder/lib/" | sort -u)
  rm -f "$work"/loaded.*
  if grep -Eq "$ours" <<<"$loaded"; then fail "beat $beat loaded $(grep -E "$ours" <<<"$loaded" | tr '\n' ' ')"; fi
  /usr/bin/python3 - "$work/release-$beat.png" "$work/dev-$beat.png" <<'PY' || fail "beat $beat differs"
import sys
from PIL import Image, ImageChops
a, b = (Image.open(p).convert("RGB") for p in sys.argv[1:3])
worst = max(hi for lo, hi in ImageChops.difference(a, b).getextrema())
if a.size != b.size or worst > 2:
    sys.exit(f"{sys.argv[1]} and {sys.argv[2]} differ by up to {worst} levels")
PY
done

# Without GTK 3 (a library of that name that has none of its functions) the
# show starts with the dialog's defaults and says so.
mkdir -p "$work/nogtk"
echo 'int tinlantern_not_gtk;' | gcc -shared -x c - -o "$work/nogtk/libgtk-3.so.0"
(cd "$work" && SDL_AUDIODRIVER=dummy LD_LIBRARY_PATH=$work/nogtk with_display "$folder/tinlantern" --end 1) \
  > /dev/null 2> "$work/nogtk.log" || { cat "$work/nogtk.log"; fail "the show without GTK did not end well"; }
grep -q "no set-up dialog (no GTK 3 or no display); starting with its defaults: full screen at" \
  "$work/nogtk.log" || { cat "$work/nogtk.log"; fail "the show without GTK did not say so"; }

[ $failures = 0 ] && echo "the release archive: all checks passed" || exit 1
