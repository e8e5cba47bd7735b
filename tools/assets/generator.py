"""The command line that the asset generators share.

    GENERATOR --root ROOT            writes its files under ROOT/<folder>
    GENERATOR --root ROOT --check    reads them back and says what is wrong
    GENERATOR --list                 the files it writes, relative to the root,
                                     one a line
    GENERATOR --sources              the files they are made from: its own
                                     modules and what else it reads (relative
                                     to the repository when inside it), one
                                     a line

A generator calls main() with its docstring, a label for its messages, its
folder under the root, its check (root, arguments -> list of messages), the
function that writes its files into the folder (folder, arguments), the
names of those files relative to the folder, the other files it reads, and
a function that adds its own options to the parser.

The build asks --list and --sources when it is configured, so a generator
that writes a new file, or reads a new one, says so here and nowhere else.
"""
import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(os.path.dirname(HERE))


class Refused(Exception):
    """The generator cannot make its files from what it was given (its
    message says why); main() reports it and fails."""


def write(path, data):
    """Writes bytes, making the folder first."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def sources(inputs=()):
    """The generator's own modules (every module loaded from this folder,
    sorted) and then `inputs`; paths inside the repository relative to it."""
    own = set()
    for module in list(sys.modules.values()):
        path = getattr(module, "__file__", None)
        if path and os.path.dirname(os.path.abspath(path)) == HERE and path.endswith(".py"):
            own.add(os.path.abspath(path))
    out = []
    for path in sorted(own) + [os.path.abspath(p if os.path.isabs(p) else os.path.join(REPOSITORY, p))
                                for p in inputs]:
        inside = os.path.relpath(path, REPOSITORY)
        out.append(path if inside.startswith("..") else inside)
    return [p.replace(os.sep, "/") for p in out]


def main(doc, label, folder, check, generate, outputs, inputs=(), options=None, argv=None):
    ap = argparse.ArgumentParser(description=doc.split("\n")[0])
    ap.add_argument("--root", default=".", help="repository root (writes under ROOT/%s)" % folder)
    ap.add_argument("--check", action="store_true",
                    help="check the written files instead of generating")
    ap.add_argument("--list", action="store_true",
                    help="print the files it writes, relative to the root, and stop")
    ap.add_argument("--sources", action="store_true",
                    help="print the files they are made from and stop")
    if options:
        options(ap)
    args = ap.parse_args(argv)
    if args.list or args.sources:
        lines = [os.path.normpath(os.path.join(folder, name)).replace(os.sep, "/") for name in outputs] \
            if args.list else sources(inputs)
        for line in lines:
            print(line)
        return 0
    if args.check:
        errs = check(args.root, args)
        for e in errs:
            print(f"{label}:", e, file=sys.stderr)
        print(f"{label}:", "FAILED" if errs else "ok")
        return 1 if errs else 0
    t0 = time.time()
    out_dir = os.path.join(args.root, folder)
    os.makedirs(out_dir, exist_ok=True)
    try:
        generate(out_dir, args)
    except Refused as error:
        print(f"{label}: {error}", file=sys.stderr)
        return 1
    print("%s written in %.1f s" % (label, time.time() - t0))
    return 0
