"""The command line that the scenes' asset generators share.

    GENERATOR --root ROOT            writes the scene's files under ROOT/<folder>
    GENERATOR --root ROOT --check    reads them back and says what is wrong

A generator calls main() with its docstring, a label for its messages, its
folder under the root, its check (root -> list of messages) and the
function that writes its files into a folder.
"""
import argparse
import os
import sys
import time


def write(path, data):
    """Writes bytes, making the folder first."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main(doc, label, folder, check, generate):
    ap = argparse.ArgumentParser(description=doc.split("\n")[0])
    ap.add_argument("--root", default=".", help="repository root (writes under ROOT/data)")
    ap.add_argument("--check", action="store_true",
                    help="check the written files instead of generating")
    args = ap.parse_args()
    if args.check:
        errs = check(args.root)
        for e in errs:
            print(f"{label}:", e, file=sys.stderr)
        print(f"{label}:", "FAILED" if errs else "ok")
        return 1 if errs else 0
    t0 = time.time()
    out_dir = os.path.join(args.root, folder)
    os.makedirs(out_dir, exist_ok=True)
    generate(out_dir)
    print("%s written in %.1f s" % (label, time.time() - t0))
    return 0
