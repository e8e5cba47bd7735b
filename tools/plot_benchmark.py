#!/usr/bin/python3
"""Draws a timedemo's frame times over the beats, with the scenes marked.

    /usr/bin/python3 tools/plot_benchmark.py FRAMES.csv PLOT.png [--title TEXT]

FRAMES.csv is what `tinlantern --benchmark FRAMES.csv` writes (frame, beat,
scene, milliseconds). The plot has one band per run of frames of the same
scenes, labelled with their names, each frame's time as a line, and guides
at 16.7 and 33.3 ms (60 and 30 frames a second). Exit status 1 with a
message when the file cannot be read or holds no frames.
"""
import argparse
import csv
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 1600, 600
LEFT, RIGHT, TOP, BOTTOM = 70, 20, 40, 60
BANDS = [(232, 240, 250), (250, 240, 228), (232, 248, 234), (246, 234, 246)]
GUIDES = ((1000.0 / 60, "60 fps"), (1000.0 / 30, "30 fps"))


def read_frames(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    frames = [(float(r["beat"]), r["scene"], float(r["milliseconds"])) for r in rows]
    if not frames:
        raise ValueError(f"{path}: no frames")
    return frames


def runs(frames):
    """(first beat, last beat, scene) for each run of frames of the same scenes."""
    out = []
    for beat, scene, _ in frames:
        if out and out[-1][2] == scene:
            out[-1][1] = beat
        else:
            out.append([beat, beat, scene])
    return out


def plot(frames, title):
    img = Image.new("RGB", (WIDTH, HEIGHT), "white")
    d = ImageDraw.Draw(img)
    font = ImageFont.load_default()
    b0, b1 = frames[0][0], max(frames[-1][0], frames[0][0] + 1e-3)
    top_ms = max(40.0, max(ms for _, _, ms in frames) * 1.05)

    def x(beat):
        return LEFT + (beat - b0) / (b1 - b0) * (WIDTH - LEFT - RIGHT)

    def y(ms):
        return HEIGHT - BOTTOM - ms / top_ms * (HEIGHT - TOP - BOTTOM)

    for k, (s, e, scene) in enumerate(runs(frames)):
        d.rectangle([x(s), TOP, max(x(e), x(s) + 1), HEIGHT - BOTTOM], fill=BANDS[k % len(BANDS)])
        d.text((x(s) + 3, TOP + 4 + 12 * (k % 3)), scene, fill=(60, 60, 60), font=font)
    for ms, label in GUIDES:
        if ms < top_ms:
            d.line([LEFT, y(ms), WIDTH - RIGHT, y(ms)], fill=(200, 60, 60), width=1)
            d.text((WIDTH - RIGHT - 50, y(ms) - 12), label, fill=(200, 60, 60), font=font)
    points = [(x(beat), y(ms)) for beat, _, ms in frames]
    if len(points) > 1:
        d.line(points, fill=(20, 40, 120), width=1)
    else:
        d.point(points, fill=(20, 40, 120))
    # Axes with a tick every tenth of the ranges.
    d.line([LEFT, TOP, LEFT, HEIGHT - BOTTOM, WIDTH - RIGHT, HEIGHT - BOTTOM], fill="black")
    for i in range(11):
        ms = top_ms * i / 10
        d.text((8, y(ms) - 6), f"{ms:6.1f}", fill="black", font=font)
        beat = b0 + (b1 - b0) * i / 10
        d.text((x(beat) - 12, HEIGHT - BOTTOM + 6), f"{beat:.0f}", fill="black", font=font)
    d.text((LEFT, HEIGHT - 24), "beat", fill="black", font=font)
    d.text((8, TOP - 20), "frame time, ms", fill="black", font=font)
    d.text((LEFT + 120, 10), title, fill="black", font=font)
    return img


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("csv")
    ap.add_argument("png")
    ap.add_argument("--title", default="")
    args = ap.parse_args()
    try:
        frames = read_frames(args.csv)
    except (OSError, ValueError, KeyError) as e:
        print(f"plot_benchmark: {e}", file=sys.stderr)
        return 1
    title = args.title or f"{args.csv}: {len(frames)} frames"
    plot(frames, title).save(args.png, format="PNG")
    return 0


if __name__ == "__main__":
    sys.exit(main())
