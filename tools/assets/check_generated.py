#!/usr/bin/python3
"""Checks that the asset generators name what they write.

    check_generated.py GENERATOR...      (names in tools/assets, without .py)

The build learns a generator's files from its --list alone: a file it writes
but does not list is never made again when its sources change (and is left
out of the build's dependencies), and a file it lists but does not write makes
every build run it again. So, in the repository as built: every file under
data/ that git does not track must be listed by exactly one generator, and
every listed file must be there.

Exit code 0 when both hold, 1 with the files that break them, 77 (skipped)
outside a git checkout.
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(os.path.dirname(HERE))


def listed(generator):
    run = subprocess.run([sys.executable, os.path.join(HERE, generator + ".py"), "--list"],
                         stdout=subprocess.PIPE, check=True, universal_newlines=True)
    return [line for line in run.stdout.splitlines() if line]


def untracked(root, folder="data"):
    """Files under root/folder that git does not track (ignored ones included)."""
    run = subprocess.run(["git", "-C", root, "ls-files", "-z", "--others", "--", folder],
                         stdout=subprocess.PIPE, check=True)
    return [path for path in run.stdout.decode("utf-8").split("\0") if path]


def problems(owners, generated, root):
    """Messages for the files listed twice, not written, or written unlisted.
    `owners`: generator -> listed paths; `generated`: untracked paths."""
    out = []
    by_path = {}
    for generator, paths in owners.items():
        for path in paths:
            by_path.setdefault(path, []).append(generator)
    for path, names in sorted(by_path.items()):
        if len(names) > 1:
            out.append(f"{path}: listed by {', '.join(names)}")
        if not os.path.isfile(os.path.join(root, path)):
            out.append(f"{path}: listed by {names[0]} but not there (is the build done?)")
    for path in sorted(set(generated) - set(by_path)):
        out.append(f"{path}: not tracked by git and listed by no generator (a generator's unlisted "
                   "output, or a stale file that would go into data.mvl)")
    return out


def main(argv):
    if not argv:
        print("usage: check_generated.py GENERATOR...", file=sys.stderr)
        return 2
    try:
        generated = untracked(REPOSITORY)
    except (OSError, subprocess.CalledProcessError):
        print("check_generated: not a git checkout; skipped")
        return 77
    errs = problems({name: listed(name) for name in argv}, generated, REPOSITORY)
    for e in errs:
        print("check_generated:", e, file=sys.stderr)
    print("check_generated:", "FAILED" if errs else "ok (%d files)" % len(generated))
    return 1 if errs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
