#!/usr/bin/python3
"""A contact sheet of the show: the frames at every STEP beats from START to
END (exactly what a full run shows there, through --frame), in a grid with
each frame's beat and its share of near-black pixels under it.

    tools/contact_sheet.py --start 354 --end 450 --step 4 --out robots.png

Needs a display (DISPLAY) and the built program (build/tinlantern)."""
import argparse
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def near_black(picture):
    """The share of pixels whose every channel is below 16."""
    pixels = picture.convert("RGB").getdata()
    return sum(1 for r, g, b in pixels if r < 16 and g < 16 and b < 16) / len(pixels)


def render(program, beat, size, path):
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    subprocess.run([program, "--batch", "--frame", str(beat), "--size", size, "--out", path],
                   env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return Image.open(path).convert("RGB")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--start", type=float, required=True)
    parser.add_argument("--end", type=float, required=True)
    parser.add_argument("--step", type=float, default=4)
    parser.add_argument("--size", default="320x180", help="each frame's size (WxH)")
    parser.add_argument("--columns", type=int, default=6)
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "tinlantern"))
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if "DISPLAY" not in os.environ:
        sys.exit("contact_sheet: no DISPLAY (start an Xvfb)")

    beats = []
    beat = args.start
    while beat <= args.end + 1e-6:
        beats.append(round(beat, 3))
        beat += args.step
    width, height = (int(v) for v in args.size.split("x"))
    label = 14
    rows = (len(beats) + args.columns - 1) // args.columns
    sheet = Image.new("RGB", (args.columns * width, rows * (height + label)), (40, 40, 40))
    draw = ImageDraw.Draw(sheet)
    with tempfile.TemporaryDirectory(prefix="contact-sheet-") as folder:
        for i, beat in enumerate(beats):
            frame = render(args.program, beat, args.size, os.path.join(folder, "frame.png"))
            x, y = (i % args.columns) * width, (i // args.columns) * (height + label)
            sheet.paste(frame, (x, y))
            share = near_black(frame)
            draw.text((x + 3, y + height + 1), f"beat {beat:g}  black {share:.0%}",
                      fill=(255, 120, 120) if share > 0.5 else (230, 230, 230))
            print(f"beat {beat:g}: {share:.1%} near-black", flush=True)
    sheet.save(args.out)


if __name__ == "__main__":
    main()
