# Shared by the release scripts: where things are cached, Debian's mirror, and
# the libraries' sources fetched from Debian through a private apt setup.
# Sourced, not run.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# Built libraries, build roots and sources live outside the tree, kept between
# builds; each is keyed by what it was made from.
cache=${TINLANTERN_CACHE:-/var/tmp/tinlantern-cache}
version=$(sed -n 's/^project(tinlantern VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")

say() { echo "release: $*" >&2; }
die() { echo "release: $*" >&2; exit 1; }

# The libraries the program carries, as Debian's source packages, each with the
# development package whose installed version picks the source's version: the
# release is built from exactly the sources of the libraries the development
# build links against.
source_packages=(
  "zlib zlib1g-dev"
  "libpng1.6 libpng-dev"
  "freetype libfreetype-dev"
  "libjpeg-turbo libjpeg62-turbo-dev"
  "libogg libogg-dev"
  "libvorbis libvorbis-dev"
  "mpg123 libmpg123-dev"
  "tinyxml libtinyxml-dev"
  "glew libglew-dev"
  "ftgl libftgl-dev"
  "libsdl2 libsdl2-dev"
)

# "name=version" for every source package, one a line.
source_versions() {
  local entry name dev v
  for entry in "${source_packages[@]}"; do
    read -r name dev <<<"$entry"
    v=$(dpkg-query -W -f='${source:Version}' "$dev" 2>/dev/null) || true
    [ -n "$v" ] || die "$dev is not installed (run tools/setup.sh)"
    echo "$name=$v"
  done
}

mirror_of_machine() {
  local m
  m=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  [ -n "$m" ] || m=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  [ -n "$m" ] || die "no Debian mirror found in /etc/apt"
  echo "$m"
}

# apt with its own source list and state under the cache: the machine's apt
# sources are read, never changed. The source list is the machine's own with
# every entry turned into a source entry.
private_apt() {
  local dir=$cache/apt
  if [ ! -f "$dir/.ready" ]; then
    mkdir -p "$dir/lists/partial" "$dir/archives/partial" "$dir/sources.list.d"
    rm -f "$dir/sources.list.d/"*
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$dir/sources.list.d/$(basename "$f")"
    done
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > "$dir/sources.list.d/machine.list"
    fi
    apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$dir/sources.list.d" \
      -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir" -o Debug::NoLocking=1 update >&2 \
      || die "apt could not read the source package lists"
    touch "$dir/.ready"
  fi
  apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$dir/sources.list.d" \
    -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir" -o Debug::NoLocking=1 "$@"
}

# The versions of source package $1 to try for installed version $2, best
# first: that one, then the other Debian revisions of the same upstream version
# on the mirror, newest first (security updates the machine has not installed,
# or the point release where the security archive does not serve sources).
candidate_versions() {
  local name=$1 want=$2 upstream=${2%-*}
  private_apt --version >/dev/null
  echo "$want"
  apt-cache -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$cache/apt/sources.list.d" \
    -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache="$cache/apt" showsrc "$name" 2>/dev/null |
    sed -n 's/^Version: //p' | sort -u | while read -r v; do
      [ "${v%-*}" = "$upstream" ] && [ "$v" != "$want" ] && echo "$v"
    done | sort -r -V
}

# Some files of a source package may be missing on the mirror (a 404). Where
# only the upstream authors' signatures of the tarballs (*.asc) are missing,
# the .dsc stops listing them and unpacks as usual: the tarballs are still
# checked against the hashes in Debian's signed index. Where Debian's own part
# (its patches) is missing, the upstream tarball is unpacked as it is, and
# that is said. Anything else missing fails. Runs in the download folder;
# leaves the sources in ./unpacked.
unpack_incomplete() {
  local missing f
  missing=$(private_apt source --print-uris "$1" 2>/dev/null | sed -n "s/^'[^']*' \([^ ]*\) .*/\1/p")
  [ -n "$missing" ] || return 1
  if ! grep -qv '\.asc$' <<<"$missing"; then
    for f in $missing; do sed -i "/ ${f//./\\.}\$/d" ./*.dsc; done
    dpkg-source --no-check -x ./*.dsc unpacked >&2
    return
  fi
  grep -qv '\.asc$\|\.debian\.tar\.[a-z]*$\|\.diff\.gz$' <<<"$missing" && return 1
  f=$(ls ./*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1)
  [ -n "$f" ] || return 1
  say "the mirror lacks Debian's patches of $1: building its upstream sources as they are"
  mkdir unpacked && tar -xf "$f" -C unpacked --strip-components=1
}

# Unpacks (with Debian's patches applied) every source package into
# $cache/sources/NAME-VERSION, fetching what is not there yet; prints the
# "name=version" lines of what is there.
fetch_sources() {
  local dir=$cache/sources line name want v folder found
  mkdir -p "$dir"
  while read -r line; do
    name=${line%%=*}; want=${line#*=}; found=
    for v in $want $(ls -d "$dir/$name-"* 2>/dev/null | sed "s|^$dir/$name-||; s|_|:|"); do
      [ -f "$dir/$name-${v//:/_}/.complete" ] && [ "${v%-*}" = "${want%-*}" ] && { found=$v; break; }
    done
    if [ -z "$found" ]; then
      for v in $(candidate_versions "$name" "$want"); do
        say "fetching the sources of $name $v"
        rm -rf "$dir/tmp"; mkdir -p "$dir/tmp"
        if (cd "$dir/tmp" && private_apt source --download-only "$name=$v" >/dev/null 2>&1); then
          (cd "$dir/tmp" && dpkg-source --no-check -x ./*.dsc unpacked >&2) || die "could not unpack $name $v"
        else
          (cd "$dir/tmp" && unpack_incomplete "$name=$v") || continue
        fi
        folder=$dir/$name-${v//:/_}
        rm -rf "$folder"; mv "$dir/tmp/unpacked" "$folder"; touch "$folder/.complete"
        found=$v; break
      done
      rm -rf "$dir/tmp"
      [ -n "$found" ] || die "could not fetch the sources of $name ${want%-*}"
      [ "$found" = "$want" ] || say "$name $want is not on the mirror; using $found"
    fi
    echo "$name=$found"
  done < <(source_versions)
}

# The libraries of one system, built once into a prefix under the cache named
# $1-$2 (the system, and a key of what they are made from), by the command in
# the rest of the arguments with the prefix added as its last argument. The
# sources' "name=version" lines are in $versions. Sets $libraries to the prefix
# and $library_versions; builds under other keys are removed.
cached_libraries() {
  local system=$1 key=$2 prefix; shift 2
  prefix=$cache/libraries/$system-$key
  if [ ! -f "$prefix/.complete" ]; then
    say "building the libraries for the $system release (once for these versions):" $versions
    rm -rf "$prefix"; mkdir -p "$prefix"
    "$@" "$prefix" || { rm -rf "$prefix"; die "building the libraries failed"; }
    echo "$versions" > "$prefix/versions"
    touch "$prefix/.complete"
    find "$cache/libraries" -mindepth 1 -maxdepth 1 -name "$system-*" ! -path "$prefix" -exec rm -rf {} +
  fi
  libraries=$prefix
  library_versions=$versions
}

# Runs a command with a display: the current one where it answers, else a
# private Xvfb for as long as the command runs.
with_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then "$@"; return; fi
  local fifo xvfb number rc
  fifo=$(mktemp -u /tmp/tinlantern-display.XXXXXX); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 & xvfb=$!
  read -r number < "$fifo"; rm -f "$fifo"
  [ -n "$number" ] || die "Xvfb did not start"
  set +e; DISPLAY=:$number "$@"; rc=$?; set -e
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
  return $rc
}

# The time every file in an archive carries: the last commit's.
archive_stamp() { git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 0; }

# The archive's files in a fixed order, owner and time (the last commit's),
# so the same tree packs to the same bytes.
pack_tar_gz() {
  local folder=$1 out=$2 stamp
  stamp=$(archive_stamp)
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" \
    -C "$(dirname "$folder")" -cf - "$(basename "$folder")" | gzip -n -9 > "$out"
}

# The same for a zip archive (Windows' own unpacker reads it): names in a
# fixed order, the last commit's time, no owners or Unix extras.
pack_zip() {
  local folder=$1 out=$2
  /usr/bin/python3 - "$folder" "$out" "$(archive_stamp)" <<'PY'
import os, sys, time, zipfile
folder, out, stamp = sys.argv[1], sys.argv[2], int(sys.argv[3])
when = time.gmtime(max(stamp, 315532800))[:6]  # zip times start in 1980
base = os.path.dirname(folder)
paths = []
for root, dirs, files in os.walk(folder):
    paths += [os.path.join(root, f) for f in files]
with zipfile.ZipFile(out + ".partial", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for path in sorted(paths):
        info = zipfile.ZipInfo(os.path.relpath(path, base).replace(os.sep, "/"), when)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0  # MS-DOS: no Unix permissions to carry
        with open(path, "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
os.replace(out + ".partial", out)
PY
}
