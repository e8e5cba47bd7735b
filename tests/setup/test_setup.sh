#!/usr/bin/env bash
# The set-up script in the three situations a new user meets: everything
# there, packages missing as root or with sudo, packages missing without
# sudo. dpkg-query, id, sudo and apt-get are stand-ins on PATH; nothing is
# installed.
set -uo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/tools/setup.sh"
work=$(mktemp -d /tmp/tinlantern-setup-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A PATH of only what the script needs, plus the stand-ins.
stage() {  # stage NAME UID INSTALLED(yes/no) SUDO(yes/no)
  local bin="$work/$1"
  mkdir -p "$bin"
  for tool in bash grep env cat; do ln -sf "$(command -v $tool)" "$bin/$tool"; done
  printf '#!%s\n[ "$1" = -u ] && echo %s || echo user\n' "$(command -v bash)" "$2" > "$bin/id"
  if [ "$3" = yes ]; then
    printf '#!%s\necho "install ok installed"\n' "$(command -v bash)" > "$bin/dpkg-query"
  else
    printf '#!%s\nexit 1\n' "$(command -v bash)" > "$bin/dpkg-query"
  fi
  printf '#!%s\necho "apt-get $*" >> %s/calls\n' "$(command -v bash)" "$bin" > "$bin/apt-get"
  if [ "$4" = yes ]; then
    printf '#!%s\necho "sudo $1" >> %s/calls\nexec "$@"\n' "$(command -v bash)" "$bin" > "$bin/sudo"
  fi
  chmod +x "$bin"/*
  echo "$bin"
}

run() {  # run BIN: sets code, out
  out=$(PATH="$1" "$1/bash" "$script" 2>&1)
  code=$?
}

bin=$(stage complete 1000 yes no)
run "$bin"
[ "$code" = 0 ] || fail "everything installed: exit $code ($out)"
[ -z "$out" ] || fail "everything installed: says '$out'"
[ ! -e "$bin/calls" ] || fail "everything installed: ran $(cat "$bin/calls")"

bin=$(stage root 0 no no)
run "$bin"
[ "$code" = 0 ] || fail "root: exit $code ($out)"
grep -q '^apt-get update' "$bin/calls" || fail "root: no apt-get update"
grep -q '^apt-get install -y -q --no-install-recommends .*ffmpeg' "$bin/calls" || fail "root: no install with ffmpeg"
! grep -q '^sudo' "$bin/calls" || fail "root: used sudo"

bin=$(stage sudo 1000 no yes)
run "$bin"
[ "$code" = 0 ] || fail "with sudo: exit $code ($out)"
[ "$(grep -c '^sudo apt-get' "$bin/calls")" = 2 ] || fail "with sudo: $(cat "$bin/calls")"

bin=$(stage nosudo 1000 no no)
run "$bin"
[ "$code" != 0 ] || fail "without sudo: exit 0"
[ ! -e "$bin/calls" ] || fail "without sudo: ran $(cat "$bin/calls")"
# (Here-strings, not a pipe: with pipefail, a grep -q that has its match and
# ends before the rest of the text is written fails the pipe.)
grep -q "there is no sudo" <<<"$out" || fail "without sudo: says '$out'"
# The command to run as root, with every package, on one line.
line=$(echo "$out" | grep '^apt-get update && apt-get install -y --no-install-recommends ')
[ -n "$line" ] || fail "without sudo: no command to run: '$out'"
for package in build-essential libsdl2-dev xvfb ffmpeg lame; do
  grep -qw -- "$package" <<<"$line" || fail "without sudo: $package missing from '$line'"
done

[ "$failures" = 0 ] && echo "setup: all cases pass"
exit "$failures"
