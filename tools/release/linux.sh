#!/usr/bin/env bash
# The Linux release: builds the program inside a Debian 11 root (so that it
# runs on glibc 2.31 and everything newer) against static builds of the
# libraries it carries, made from Debian's sources of the versions the
# development build uses; then packs the archive the audience downloads.
#
#   tools/release/linux.sh libraries    the static libraries only (cached)
#   tools/release/linux.sh program DIR  the program, built into DIR
#   tools/release/linux.sh archive      build/release/tinlantern-VERSION-linux-x86_64.tar.gz
#                                       (after the development build: it takes
#                                       data.mvl and the nfo writer from build/)
#
# Needs root (debootstrap, chroot). Everything it makes outside the build
# folder is kept under $TINLANTERN_CACHE (default /var/tmp/tinlantern-cache).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/build_root.sh"

# The static libraries, in a prefix keyed by their sources' versions, the
# recipe and the build root: sets $libraries to the prefix and
# $library_versions to the "name=version" lines of their sources.
ensure_libraries() {
  local versions key
  ensure_build_root
  versions=$(fetch_sources)
  key=$( { echo "$versions"; cat "$here/libraries.sh"; basename "$(build_root_path)"; } | sha1sum | cut -c1-12)
  cached_libraries linux-x86_64 "$key" build_libraries_in_root
}

# The recipe run inside the build root, into prefix $1.
build_libraries_in_root() {
  binds="$cache/sources:/sources $1:/prefix $here:/recipes" \
    in_build_root "$(build_root_path)" "bash /recipes/libraries.sh /sources /prefix linux"
}

# The program, built in the build root against those libraries, into $1
# (CMake's build folder; the program is $1/tinlantern).
build_program() {
  local out=$1 root
  ensure_libraries
  root=$(build_root_path)
  mkdir -p "$out"
  say "building the program in the Debian 11 root"
  binds="$repo:/src $libraries:/prefix $(cd "$out" && pwd):/build" in_build_root "$root" \
    "cmake -S /src -B /build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTINLANTERN_LIBRARIES=/prefix >/dev/null &&
     cmake --build /build -j $(nproc) --target tinlantern" >&2 || die "building the program failed"
}

# The frame the archive's screenshot shows: the show at its best (the storm
# at its height, lightning over the party's name and dates).
screenshot_beat=${TINLANTERN_SCREENSHOT_BEAT:-90}

make_archive() {
  local name=tinlantern-$version-linux-x86_64 dev=$repo/build
  local out=$dev/release stage=$dev/release/stage folder
  [ -f "$dev/data.mvl" ] && [ -x "$dev/nfowriter" ] && [ -x "$dev/tinlantern" ] \
    || die "build the show first (make)"
  build_program "$dev/release-linux"
  folder=$stage/$name
  rm -rf "$stage"; mkdir -p "$folder/licences"
  strip -o "$folder/tinlantern" "$dev/release-linux/tinlantern"
  mkdir -p "$folder/lib"
  strip -o "$folder/lib/libmpg123.so" "$libraries/lib/libmpg123.so"
  cp "$dev/data.mvl" "$folder/"
  # The same text as the Windows archive's: both systems' lines.
  "$dev/nfowriter" linux,windows > "$folder/tinlantern.nfo"
  local line name_version
  while read -r line; do
    name_version=${line%%=*}-${line#*=}
    cp "$cache/sources/${name_version//:/_}/debian/copyright" "$folder/licences/${line%%=*}.txt"
  done <<<"$library_versions"
  cp "$repo"/data/common/fonts/*.copyright "$folder/licences/"
  say "taking the screenshot (beat $screenshot_beat, 1920x1080)"
  (cd "$folder" && with_display ./tinlantern --batch --frame "$screenshot_beat" --size 1920x1080 \
    --out "$folder/tinlantern.png" > /dev/null 2> "$stage/screenshot.log") \
    || { cat "$stage/screenshot.log" >&2; die "the screenshot failed"; }
  rm -f "$stage/screenshot.log"
  mkdir -p "$out"
  pack_tar_gz "$folder" "$out/$name.tar.gz"
  rm -rf "$stage"
  say "wrote $out/$name.tar.gz ($(du -h "$out/$name.tar.gz" | cut -f1))"
}

case "${1:-}" in
  archive) make_archive ;;
  libraries) ensure_libraries; echo "$libraries" ;;
  program) [ -n "${2:-}" ] || die "program: which folder?"; build_program "$2" ;;
  *) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
esac
