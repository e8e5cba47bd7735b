#!/usr/bin/python3
"""Assets of the shared effects: the sky dome's mesh and its two textures.

    /usr/bin/python3 tools/assets/effects.py --root .
    /usr/bin/python3 tools/assets/effects.py --root . --check

writes, under ROOT/data:

    effects/skydome/sky.sgl       hemisphere, T2F_N3F_V3F triangles
    effects/skydome/cloud.png     tileable clouds, RGBA (alpha = coverage)
    effects/skydome/thunder0.jpg  tileable storm clouds lit from inside by lightning

Deterministic: fixed seeds, no time stamps in the files.
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generator  # noqa: E402
from generator import write  # noqa: E402
from imagekit import jpeg_bytes, periodic_noise, png_bytes, seam_ratio, smoothstep  # noqa: E402
from sgl import GL_T2F_N3F_V3F, GL_TRIANGLES, pack_sgl, read_sgl  # noqa: E402

TEX_SIZE = 512


def dome_mesh(rings=16, segments=48):
    """Unit hemisphere (y up, rim at y = 0) seen from inside: normals point
    to the centre. The texture coordinates project a flat cloud deck above
    the viewer onto the dome, so clouds shrink toward the horizon instead of
    pinching at the zenith as a longitude/latitude mapping would."""
    def vertex(ring, seg):
        elevation = np.pi / 2 * ring / rings          # 0 at the rim
        azimuth = 2 * np.pi * seg / segments
        d = np.array([np.cos(elevation) * np.cos(azimuth), np.sin(elevation),
                      np.cos(elevation) * np.sin(azimuth)])
        # Ray to the plane y = 1, softened at the rim to stay finite.
        uv = 0.35 * np.array([d[0], d[2]]) / (d[1] + 0.15) + 0.5
        return d, -d, uv

    positions, normals, texcoords = [], [], []
    for ring in range(rings):
        for seg in range(segments):
            a, b = vertex(ring, seg), vertex(ring, seg + 1)
            c, e = vertex(ring + 1, seg + 1), vertex(ring + 1, seg)
            # The top ring closes on the pole: c and e coincide there.
            tris = [(a, c, b)] if ring == rings - 1 else [(a, c, b), (a, e, c)]
            for tri in tris:
                for p, n, uv in tri:
                    positions.append(p)
                    normals.append(n)
                    texcoords.append(uv)
    return np.array(positions), np.array(normals), np.array(texcoords)


def make_cloud(n=TEX_SIZE):
    rng = np.random.default_rng(6601)
    base = periodic_noise(rng, n, 1.9, low_cut=3.0)
    detail = periodic_noise(rng, n, 1.4, low_cut=6.0)
    field = 0.85 * base + 0.15 * detail
    density = smoothstep(0.50, 0.78, field)
    # Light from the upper left: texels whose neighbour toward the light is
    # thinner are lit, the rest sit in their own shadow.
    toward = np.roll(np.roll(density, 6, axis=0), 6, axis=1)
    lit = np.clip(0.8 + 1.2 * (density - toward), 0.0, 1.0)
    # Thick cores go grey-blue underneath, thin edges stay bright.
    core = smoothstep(0.5, 1.0, density)
    shade = lit * (1.0 - 0.35 * core)
    r = 0.55 + 0.45 * shade
    g = 0.56 + 0.43 * shade
    b = 0.62 + 0.38 * shade
    alpha = density ** 0.8
    rgba = np.stack([r, g, b, alpha], axis=-1)
    return Image.fromarray(np.round(rgba * 255).astype(np.uint8), "RGBA")


def bolt(draw, rng, start, length, width, n, depth=0):
    """A jagged branching bolt, drawn at the nine tile offsets so that it
    wraps across the texture's edges."""
    x, y = start
    angle = np.pi / 2 + rng.normal(0, 0.25)
    for _ in range(int(length)):
        angle += rng.normal(0, 0.45)
        angle = np.clip(angle, np.pi / 2 - 1.1, np.pi / 2 + 1.1)
        step = rng.uniform(6, 14)
        nx, ny = x + np.cos(angle) * step, y + np.sin(angle) * step
        for ox in (-n, 0, n):
            for oy in (-n, 0, n):
                draw.line([(x + ox, y + oy), (nx + ox, ny + oy)], fill=255, width=max(1, int(width)))
        if depth < 1 and rng.random() < 0.08:
            bolt(draw, rng, (nx, ny), length * 0.4, width * 0.6, n, depth + 1)
        x, y = nx, ny
        width = max(1.0, width * 0.985)


def make_thunder(n=TEX_SIZE):
    rng = np.random.default_rng(6602)
    clouds = periodic_noise(rng, n, 1.7, low_cut=2.0)
    fine = periodic_noise(rng, n, 1.0, low_cut=10.0)
    body = np.clip(0.7 * clouds + 0.3 * fine, 0, 1)

    bolts = Image.new("L", (n, n), 0)
    draw = ImageDraw.Draw(bolts)
    for start in ((0.3 * n, 0.05 * n), (0.78 * n, 0.45 * n)):
        bolt(draw, rng, start, 40, 3.0, n)
    # The bolts themselves stay hidden inside the clouds: a sky lit by them
    # for a whole scene must not show a frozen flash (the scenes flash their
    # own lightning). Only their glow, in two widths, wrapped so the tile
    # stays seamless, lights the clouds.
    glow = np.zeros((n, n))
    wide = Image.fromarray(np.tile(bolts, (3, 3)))
    for radius, weight in ((28, 4.0), (90, 9.0)):
        g = np.asarray(wide.filter(ImageFilter.GaussianBlur(radius)), dtype=np.float64) / 255.0
        glow += weight * g[n:2 * n, n:2 * n]
    # The clouds around a bolt are lit from inside: brightest where dense.
    light = np.clip(glow, 0, 1) * (0.35 + 0.65 * body)
    base = 0.10 + 0.22 * body
    r = base * 0.55 + light * 0.78
    g = base * 0.55 + light * 0.80
    b = base * 0.85 + light * 1.00
    rgb = np.clip(np.stack([r, g, b], axis=-1), 0, 1)
    return Image.fromarray(np.round(rgb * 255).astype(np.uint8), "RGB")


SKY_DIR = "data/effects/skydome"
OUTPUTS = ["sky.sgl", "cloud.png", "thunder0.jpg"]


def generate(out, args=None):
    positions, normals, texcoords = dome_mesh()
    write(os.path.join(out, "sky.sgl"), pack_sgl(positions, normals, texcoords, GL_TRIANGLES))
    write(os.path.join(out, "cloud.png"), png_bytes(make_cloud()))
    write(os.path.join(out, "thunder0.jpg"), jpeg_bytes(make_thunder()))


def check(root, args=None):
    folder = os.path.join(root, SKY_DIR)
    errs = []
    try:
        with open(os.path.join(folder, "sky.sgl"), "rb") as f:
            fmt, mode, vertices = read_sgl(f.read())
        rings, segments = 16, 48
        count = 3 * segments * (2 * rings - 1)
        if (fmt, mode, len(vertices)) != (GL_T2F_N3F_V3F, GL_TRIANGLES, count):
            errs.append(f"sky.sgl: format {fmt:#x}, mode {mode}, {len(vertices)} vertices; "
                        f"{count} textured, lit triangle vertices expected")
        radii = np.linalg.norm(vertices[:, 5:8], axis=1)
        if np.abs(radii - 1).max() > 1e-5 or vertices[:, 6].min() < -1e-6:
            errs.append("sky.sgl: not a unit hemisphere above y = 0")
        if np.abs(vertices[:, 2:5] + vertices[:, 5:8]).max() > 1e-5:
            errs.append("sky.sgl: the normals do not point to the centre")
    except (OSError, ValueError) as error:
        errs.append(f"sky.sgl: {error}")
    for name, mode in (("cloud.png", "RGBA"), ("thunder0.jpg", "RGB")):
        try:
            img = Image.open(os.path.join(folder, name))
        except OSError as error:
            errs.append(f"{name}: {error}")
            continue
        if img.mode != mode or img.size != (TEX_SIZE, TEX_SIZE):
            errs.append(f"{name}: {img.mode} {img.size}, {mode} {TEX_SIZE} x {TEX_SIZE} expected")
            continue
        ratio = seam_ratio(np.asarray(img, np.float64))
        if ratio > 2.0:
            errs.append(f"{name}: does not tile (its edges differ {ratio:.1f} times a step inside)")
    return errs


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "effects", SKY_DIR, check, generate, OUTPUTS))
