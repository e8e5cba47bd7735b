#!/usr/bin/env bash
# The Windows release: cross-compiles the show with Debian's mingw-w64
# compilers against static builds of the libraries it carries, made from
# Debian's sources of the versions the development build uses; then packs the
# archive a compo machine unpacks and runs.
#
#   tools/release/windows.sh libraries    the libraries only (cached)
#   tools/release/windows.sh program DIR  the program, built into DIR
#   tools/release/windows.sh archive      build/release/tinlantern-VERSION-windows-x64.zip
#                                         (after the development build: it takes
#                                         data.mvl and the nfo writer from build/)
#
# Everything it makes outside the build folder is kept under $TINLANTERN_CACHE
# (default /var/tmp/tinlantern-cache).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"

cross_cc=x86_64-w64-mingw32-gcc-posix

# The libraries, in a prefix keyed by their sources' versions, the recipe and
# the cross compiler: sets $libraries to the prefix and $library_versions to
# the "name=version" lines of their sources.
ensure_libraries() {
  local versions key
  command -v "$cross_cc" >/dev/null || die "$cross_cc is missing (run tools/setup.sh)"
  versions=$(fetch_sources)
  key=$( { echo "$versions"; cat "$here/libraries.sh" "$here/mingw64.cmake"; "$cross_cc" --version | head -n 1; } \
    | sha1sum | cut -c1-12)
  cached_libraries windows-x64 "$key" build_libraries_cross
}

# The recipe with the cross compilers, into prefix $1.
build_libraries_cross() { bash "$here/libraries.sh" "$cache/sources" "$1" windows; }

# The program, cross-compiled against those libraries, into $1 (CMake's build
# folder; the program is $1/tinlantern.exe).
build_program() {
  local out=$1
  ensure_libraries
  mkdir -p "$out"
  say "cross-compiling the program for Windows"
  { cmake -S "$repo" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$here/mingw64.cmake" -DTINLANTERN_LIBRARIES="$libraries" >/dev/null &&
    cmake --build "$out" -j "$(nproc)" --target tinlantern; } >&2 || die "building the program failed"
}

make_archive() {
  local name=tinlantern-$version-windows-x64 dev=$repo/build
  local out=$dev/release stage=$dev/release/stage-windows folder line name_version
  [ -f "$dev/data.mvl" ] && [ -x "$dev/nfowriter" ] || die "build the show first (make)"
  build_program "$dev/release-windows"
  folder=$stage/$name
  rm -rf "$stage"; mkdir -p "$folder/licences"
  x86_64-w64-mingw32-strip -o "$folder/tinlantern.exe" "$dev/release-windows/tinlantern.exe"
  x86_64-w64-mingw32-strip -o "$folder/libmpg123.dll" "$libraries/bin/libmpg123.dll"
  cp "$dev/data.mvl" "$folder/"
  # The same text as the Linux archive's: both systems' lines.
  "$dev/nfowriter" linux,windows > "$folder/tinlantern.nfo"
  while read -r line; do
    name_version=${line%%=*}-${line#*=}
    cp "$cache/sources/${name_version//:/_}/debian/copyright" "$folder/licences/${line%%=*}.txt"
  done <<<"$library_versions"
  cp "$repo"/data/common/fonts/*.copyright "$folder/licences/"
  mkdir -p "$out"
  pack_zip "$folder" "$out/$name.zip"
  rm -rf "$stage"
  say "wrote $out/$name.zip ($(du -h "$out/$name.zip" | cut -f1))"
}

case "${1:-}" in
  archive) make_archive ;;
  libraries) ensure_libraries; echo "$libraries" ;;
  program) [ -n "${2:-}" ] || die "program: which folder?"; build_program "$2" ;;
  *) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
esac
