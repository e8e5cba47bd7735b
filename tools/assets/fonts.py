#!/usr/bin/python3
"""Puts the show's fonts under the file names its scenes open.

The faces come from Debian's free font packages; each is copied under the
name the show asks for, with its package's licence text beside it:

    MOVIPB__.ttf     the bold display face of titles and credits (Bebas Neue Bold,
                     a condensed poster face)
    courier_new.ttf  the monospace face of the code scroller (Liberation Mono)
    times.ttf        the serif face of captions (Liberation Serif)

Copies are byte for byte, so the output is the same on every run.
"""
import argparse
import pathlib
import shutil
import sys

FONTS = {
    "MOVIPB__.ttf": ("/usr/share/fonts/opentype/bebas-neue/BebasNeue-Bold.otf",
                     "fonts-bebas-neue"),
    "courier_new.ttf": ("/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
                        "fonts-liberation"),
    "times.ttf": ("/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf",
                  "fonts-liberation"),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="data/common/fonts", help="where the fonts go")
    out = pathlib.Path(parser.parse_args().out)
    out.mkdir(parents=True, exist_ok=True)
    for name, (source, package) in FONTS.items():
        source = pathlib.Path(source)
        if not source.is_file():
            sys.exit(f"fonts: {source} is missing; tools/setup.sh installs {package}")
        shutil.copyfile(source, out / name)
        shutil.copyfile(f"/usr/share/doc/{package}/copyright", out / f"{package}.copyright")


if __name__ == "__main__":
    main()
