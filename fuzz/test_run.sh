#!/bin/sh
# fuzz/run.sh itself: a target's failure is the run's, the target gets the
# seed, the time and the dictionary, and the temporary corpus is gone
# afterwards either way.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-run-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp" "$work/seeds"

# A stand-in target: notes its arguments, writes into its corpus (the first
# argument that is not an option) and exits with $FAKE_STATUS.
cat > "$work/target" <<'FAKE'
#!/bin/sh
echo "$@" > "$FAKE_LOG"
for a in "$@"; do case $a in -*) ;; *) touch "$a/unit"; break ;; esac; done
exit "$FAKE_STATUS"
FAKE
chmod +x "$work/target"

fail() { echo "test_run: $*" >&2; exit 1; }
for status in 0 77; do
  FAKE_LOG=$work/log FAKE_STATUS=$status TMPDIR=$work/tmp \
    sh "$here/run.sh" "$work/target" 2 "$work/artifacts" "$work/dict" "$work/seeds"
  got=$?
  [ "$got" = "$status" ] || fail "exit status $got, the target's was $status"
  [ -z "$(ls -A "$work/tmp")" ] || fail "the temporary corpus was left behind"
  for option in -seed=1 -max_total_time=2 -dict="$work/dict" -artifact_prefix="$work/artifacts/"; do
    grep -q -- "$option" "$work/log" || fail "the target did not get $option"
  done
  grep -q -- "$work/seeds" "$work/log" || fail "the target did not get its seeds"
done
FAKE_LOG=$work/log FAKE_STATUS=0 TMPDIR=$work/tmp sh "$here/run.sh" "$work/target" 2 "$work/artifacts" - "$work/seeds"
grep -q -- "-dict" "$work/log" && fail "a dictionary was passed for -"
echo "test_run: ok"
