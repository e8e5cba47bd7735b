# The build root of the Linux release: a bare Debian 11 (glibc 2.31) made with
# debootstrap, with a compiler and the headers of what the program finds on a
# desktop (X11, ALSA, OpenGL). A program built there runs on Debian 11 and
# everything newer. Made once, kept under the cache, keyed by its packages.
# Sourced, not run; needs common.sh.

build_root_suite=bullseye
build_root_packages="build-essential cmake pkg-config nasm autoconf automake libtool
  libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxinerama-dev
  libxxf86vm-dev libxss-dev libxfixes-dev libasound2-dev libgl1-mesa-dev libegl1-mesa-dev
  libglu1-mesa-dev"

build_root_path() {
  echo "$cache/roots/$build_root_suite-$(echo "$build_root_packages" | tr -s ' \n' ' ' | sha1sum | cut -c1-10)"
}

ensure_build_root() {
  local root
  root=$(build_root_path)
  [ -f "$root/.complete" ] && return
  [ "$(id -u)" = 0 ] || die "making the build root needs root (debootstrap, chroot)"
  command -v debootstrap >/dev/null || die "debootstrap is missing (run tools/setup.sh)"
  say "making a Debian 11 build root in $root (once, a few minutes)"
  unmount_under "$root"
  rm -rf --one-file-system "$root"; mkdir -p "$root"
  local mirror log=$cache/roots/debootstrap.log
  mirror=$(mirror_of_machine)
  debootstrap --variant=minbase "$build_root_suite" "$root" "$mirror" > "$log" 2>&1 \
    || { tail -n 20 "$log" >&2; die "debootstrap failed"; }
  rm -f "$root/etc/apt/sources.list.d/"*
  echo "deb $mirror $build_root_suite main" > "$root/etc/apt/sources.list"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  in_build_root "$root" "apt-get update -q && apt-get install -y -q --no-install-recommends \
    $(echo $build_root_packages) && apt-get clean" > "$cache/roots/packages.log" 2>&1 \
    || { tail -n 20 "$cache/roots/packages.log" >&2; die "installing the build packages failed"; }
  touch "$root/.complete"
}

# Lazily unmounts whatever is mounted inside folder $1 (what a run that was
# killed left bound there), deepest first.
unmount_under() {
  local m
  awk -v r="$1/" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r | while read -r m; do
    umount -l "$m" 2>/dev/null || true
  done
}

# Runs a shell command in the build root ($1) with /proc, /sys and /dev
# mounted, and the folders named in $binds ("HOST:INSIDE ...") bound in; the
# mounts go again however the command ends (a signal included).
in_build_root() {
  local root=$1 cmd=$2 m host inside rc
  unmount_under "$root"
  trap "unmount_under '$root'" EXIT INT TERM
  for m in proc sys dev; do mount --bind "/$m" "$root/$m"; done
  for m in ${binds:-}; do
    host=${m%%:*}; inside=${m#*:}
    mkdir -p "$root$inside"; mount --bind "$host" "$root$inside"
  done
  set +e
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive bash -c "$cmd"
  rc=$?
  set -e
  unmount_under "$root"
  trap - EXIT INT TERM
  return $rc
}
