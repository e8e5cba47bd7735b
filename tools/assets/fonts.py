#!/usr/bin/python3
"""Puts the show's fonts under the file names its scenes open.

The faces come from Debian's free font packages; each is copied under the
name the show asks for, with its package's licence text beside it:

    MOVIPB__.ttf     the bold display face of titles and credits (Bebas Neue Bold,
                     a condensed poster face)
    courier_new.ttf  the monospace face of the code scroller (Liberation Mono)
    times.ttf        the serif face of captions (Liberation Serif)

Copies are byte for byte, so the output is the same on every run.

    /usr/bin/python3 tools/assets/fonts.py --root .
    /usr/bin/python3 tools/assets/fonts.py --root . --check
"""
import os
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generator  # noqa: E402

FONTS_DIR = "data/common/fonts"
FONTS = {
    "MOVIPB__.ttf": ("/usr/share/fonts/opentype/bebas-neue/BebasNeue-Bold.otf",
                     "fonts-bebas-neue"),
    "courier_new.ttf": ("/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
                        "fonts-liberation"),
    "times.ttf": ("/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf",
                  "fonts-liberation"),
}


def copies():
    """Output name -> (source file, its package), licences included."""
    out = {}
    for name, (source, package) in FONTS.items():
        out[name] = (source, package)
        out[f"{package}.copyright"] = (f"/usr/share/doc/{package}/copyright", package)
    return out


def read(path):
    with open(path, "rb") as f:
        return f.read()


def generate(out_dir, args=None):
    for name, (source, package) in copies().items():
        if not os.path.isfile(source):
            raise generator.Refused(f"{source} is missing; tools/setup.sh installs {package}")
        generator.write(os.path.join(out_dir, name), read(source))


def check(root, args=None):
    errs = []
    for name, (source, _package) in copies().items():
        path = os.path.join(root, FONTS_DIR, name)
        if not os.path.isfile(path):
            errs.append(f"{name}: missing")
        elif not os.path.isfile(source) or read(path) != read(source):
            errs.append(f"{name}: not a copy of {source}")
    return errs


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "fonts", FONTS_DIR, check, generate, list(copies()),
                            inputs=[source for source, _package in copies().values()]))
