#!/usr/bin/python3
"""Tin Lantern images: the group logo, the text-mode character chart and the
Glacier2 sky cube map.

Outputs, under <root>/data:

    common/images/morvella_logo_transp.png   loading-screen logo, 1024 x 256 RGBA
    common/images/asciichart.png             code page 437 chart, 16 x 16 cells
                                             of 32 x 32 pixels (512 x 512 RGBA)
    metaballmarch/Glacier2/{neg,pos}{x,y,z}.jpg
                                             sky cube map, six 512 x 512 faces

The logo and the chart are stored premultiplied: colour = colour x alpha, and
fully transparent texels are black. The loading screen draws the logo with
blending off over a black screen, so what shows there is exactly the RGB; with
additive blending the result is the same.

The cube faces are rendered from one environment function of a 3D direction
(y up), each face sampled with OpenGL's cube-map face orientation. The loaders
hand the first row of each file to OpenGL as the face's first row (t = 0), so
pixel (column i, row j from the top) of face +X looks along (1, -t, -s) with
s = (2i + 1) / N - 1 and t = (2j + 1) / N - 1; likewise for the other faces.

Everything is deterministic: fixed seeds, no time stamps or EXIF in the files.

Run with Debian's interpreter:

    /usr/bin/python3 tools/assets/images.py --root .
    /usr/bin/python3 tools/assets/images.py --root . --check [--preview /tmp/sky.png]

--check reads the written files back: the logo's and the chart's sizes and
premultiplied alpha, and, for each of the twelve cube edges, the mean
difference between the pixels that meet there (at most SEAM_LIMIT times a
step inside a face).
"""

import os
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generator  # noqa: E402
from generator import write  # noqa: E402
from imagekit import jpeg_bytes, png_bytes, smoothstep  # noqa: E402

LOGO_FONT = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf"
CHART_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"

LOGO_PATH = "data/common/images/morvella_logo_transp.png"
CHART_PATH = "data/common/images/asciichart.png"
SKY_DIR = "data/metaballmarch/Glacier2"
FACE_NAMES = ("negx", "posx", "negy", "posy", "negz", "posz")


# ---------------------------------------------------------------------------
# Logo
# ---------------------------------------------------------------------------

LOGO_W, LOGO_H = 1024, 256
SS = 4  # supersampling of the drawn shapes


class Layers:
    """Premultiplied RGBA canvas at the final size; shapes are drawn as
    supersampled masks and composited front to back in the order given."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.rgb = np.zeros((h, w, 3), np.float64)
        self.a = np.zeros((h, w), np.float64)

    def mask(self):
        img = Image.new("L", (self.w * SS, self.h * SS), 0)
        return img, ImageDraw.Draw(img)

    @staticmethod
    def reduce(img):
        small = img.resize((img.width // SS, img.height // SS), Image.BOX)
        return np.asarray(small, np.float64) / 255.0

    def over(self, colour, alpha):
        """Composite a layer (colour: (h, w, 3) or a triple; alpha: (h, w))
        over what is there."""
        colour = np.broadcast_to(np.asarray(colour, np.float64), self.rgb.shape)
        a = np.clip(alpha, 0.0, 1.0)[..., None]
        self.rgb = colour * a + self.rgb * (1.0 - a)
        self.a = a[..., 0] + self.a * (1.0 - a[..., 0])

    def under(self, colour, alpha):
        """Put a layer behind what is there (for glows)."""
        colour = np.broadcast_to(np.asarray(colour, np.float64), self.rgb.shape)
        a = np.clip(alpha, 0.0, 1.0)
        keep = (1.0 - self.a)[..., None]
        self.rgb = self.rgb + colour * a[..., None] * keep
        self.a = self.a + a * (1.0 - self.a)

    def image(self):
        rgba = np.dstack([np.clip(self.rgb, 0.0, 1.0), np.clip(self.a, 0.0, 1.0)])
        return Image.fromarray(np.round(rgba * 255.0).astype(np.uint8), "RGBA")


def blur(a, radius):
    img8 = Image.fromarray(np.round(np.clip(a, 0, 1) * 255.0).astype(np.uint8), "L")
    return np.asarray(img8.filter(ImageFilter.GaussianBlur(radius)), np.float64) / 255.0


def radial(w, h, cx, cy, rx, ry):
    """Distance from (cx, cy) in units of the radii, per final pixel."""
    y, x = np.mgrid[0:h, 0:w].astype(np.float64) + 0.5
    return np.sqrt(((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2)


def make_logo():
    L = Layers(LOGO_W, LOGO_H)
    S = SS

    def sc(pts):
        return [(x * S, y * S) for x, y in pts]

    # Lantern geometry, in final pixels. The mark stands at the left, the
    # word to its right.
    cx = 122.0
    body_l, body_r = 88.0, 156.0
    body_t, body_b = 78.0, 190.0
    flame_cy = 142.0

    # Glass: three panes seen from the front corner, the middle one widest.
    panes_img, d = L.mask()
    side = 12.0
    d.rectangle(sc([(body_l + 3, body_t + 6), (body_r - 3, body_b - 6)]), fill=255)
    panes = L.reduce(panes_img)
    r = radial(L.w, L.h, cx, flame_cy, 40.0, 60.0)
    warm = np.clip(1.0 - r, 0.0, 1.0)
    pane_col = np.empty((L.h, L.w, 3))
    # amber at the rim, pale gold near the flame
    for k, (rim, core) in enumerate(zip((0.86, 0.48, 0.16), (1.0, 0.90, 0.62))):
        pane_col[..., k] = rim + (core - rim) * warm ** 1.3
    y, x = np.mgrid[0:L.h, 0:L.w].astype(np.float64) + 0.5
    sidepane = (x < body_l + 3 + side) | (x > body_r - 3 - side)
    pane_col[sidepane] *= 0.78
    L.over(pane_col, panes)

    # Flame: an outer orange tongue, a yellow body, a white core.
    def flame(scale, col):
        img, dd = L.mask()
        w = 11.0 * scale
        h = 30.0 * scale
        base = flame_cy + 14.0 * scale
        # a round bottom drawn up to a point: walk round from the tip
        pts = []
        n = 48
        for i in range(n + 1):
            u = i / n  # 0 at the tip going round
            ang = 2 * np.pi * u
            px = cx + w * np.sin(ang) * (0.55 + 0.45 * (1 - np.cos(ang)) / 2)
            py_round = base - w * 0.9 + w * 0.9 * (1 - np.cos(ang)) / 2
            py_tip = base - h
            f = ((1 + np.cos(ang)) / 2) ** 1.6
            pts.append((px, py_round * (1 - f) + py_tip * f))
        dd.polygon(sc(pts), fill=255)
        L.over(col, L.reduce(img))

    flame(1.0, (1.0, 0.62, 0.18))
    flame(0.72, (1.0, 0.86, 0.40))
    flame(0.42, (1.0, 0.98, 0.88))
    # wick
    wick, d = L.mask()
    d.rectangle(sc([(cx - 1.2, flame_cy + 13), (cx + 1.2, flame_cy + 19)]), fill=255)
    L.over((0.35, 0.22, 0.12), L.reduce(wick))

    # Tin: frame bars, bands, roof, base, handle ring.
    tin_img, d = L.mask()
    bar = 5.0
    for bx in (body_l, body_l + side + 3, body_r - side - 3 - bar + 0.0, body_r - bar):
        d.rectangle(sc([(bx, body_t), (bx + bar, body_b)]), fill=255)
    d.rectangle(sc([(body_l - 3, body_t - 2), (body_r + 3, body_t + 6)]), fill=255)
    d.rectangle(sc([(body_l - 3, body_b - 6), (body_r + 3, body_b + 2)]), fill=255)
    # roof: a cone from the top band up to a chimney collar
    d.polygon(sc([(body_l - 8, body_t - 2), (body_r + 8, body_t - 2),
                  (cx + 14, body_t - 30), (cx - 14, body_t - 30)]), fill=255)
    d.rectangle(sc([(cx - 9, body_t - 38), (cx + 9, body_t - 30)]), fill=255)
    d.ellipse(sc([(cx - 5, body_t - 44), (cx + 5, body_t - 34)]), fill=255)
    # base: a stepped foot
    d.polygon(sc([(body_l - 3, body_b + 2), (body_r + 3, body_b + 2),
                  (body_r + 9, body_b + 12), (body_l - 9, body_b + 12)]), fill=255)
    d.rectangle(sc([(body_l - 9, body_b + 12), (body_r + 9, body_b + 17)]), fill=255)
    # handle ring above the chimney
    ring_cy, ring_r = body_t - 56.0, 13.0
    d.ellipse(sc([(cx - ring_r, ring_cy - ring_r), (cx + ring_r, ring_cy + ring_r)]),
              outline=255, width=int(4.5 * S))
    d.rectangle(sc([(cx - 1.8, ring_cy + ring_r - 2), (cx + 1.8, body_t - 42)]), fill=255)
    tin = L.reduce(tin_img)
    # punched holes in the roof, lit from inside
    holes_img, d = L.mask()
    for yy, half, count in ((body_t - 9, 26.0, 7), (body_t - 20, 16.0, 5)):
        for i in range(count):
            hx = cx - half + 2 * half * i / (count - 1)
            d.ellipse(sc([(hx - 1.9, yy - 1.9), (hx + 1.9, yy + 1.9)]), fill=255)
    holes = L.reduce(holes_img)
    # tin shading: brighter on the left (the word side is lit by the glass),
    # a highlight stripe, warm reflections near the glass
    tin_col = np.empty((L.h, L.w, 3))
    shade = 0.70 + 0.22 * smoothstep(body_r + 12, body_l - 12, x)
    glow_tint = np.clip(1.0 - radial(L.w, L.h, cx, flame_cy, 70.0, 90.0), 0, 1)
    for k, (base, warmc) in enumerate(zip((0.80, 0.81, 0.84), (1.0, 0.85, 0.62))):
        tin_col[..., k] = base * shade + (warmc - base * shade) * 0.35 * glow_tint
    L.over(tin_col, tin)
    L.over((1.0, 0.80, 0.40), holes * tin)

    # Warm glow round the lantern, behind everything drawn so far.
    light = np.maximum(panes, holes)
    halo = blur(light, 16) * 0.85 + blur(light, 40) * 0.55
    halo *= 0.8
    L.under((1.0, 0.66, 0.30), np.clip(halo, 0, 0.9))

    # The word.
    text = "Morvella"
    # as large as fits between the lantern and the right margin
    left, right = 206 * S, (LOGO_W - 22) * S
    probe = ImageFont.truetype(LOGO_FONT, 100 * S)
    pb = probe.getbbox(text)
    font = ImageFont.truetype(LOGO_FONT, int(100 * S * (right - left) / (pb[2] - pb[0])))
    bbox = font.getbbox(text)
    th = bbox[3] - bbox[1]
    tx = left - bbox[0]
    ty = int(round((LOGO_H * S - th) / 2 + 10 * S)) - bbox[1]
    text_img, d = L.mask()
    d.text((tx, ty), text, font=font, fill=255)
    word = L.reduce(text_img)
    # cream letters, a touch warmer on the side facing the lantern
    warmth = smoothstep(620.0, 200.0, x)
    word_col = np.empty((L.h, L.w, 3))
    for k, (cool, warmc) in enumerate(zip((0.98, 0.95, 0.88), (1.0, 0.88, 0.70))):
        word_col[..., k] = cool + (warmc - cool) * warmth * 0.7
    L.over(word_col, word)
    L.under((1.0, 0.82, 0.58), blur(word, 10) * 0.22)

    return L.image()


# ---------------------------------------------------------------------------
# Character chart
# ---------------------------------------------------------------------------

CELL = 32
# CP437's graphic forms of the control codes 1-31 (0 stays empty).
CP437_LOW = " ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼"

# Box drawing 179-218: (up, down, left, right) arms, 0 none, 1 single, 2 double.
BOX = {
    179: (1, 1, 0, 0), 180: (1, 1, 1, 0), 181: (1, 1, 2, 0), 182: (2, 2, 1, 0),
    183: (0, 2, 1, 0), 184: (0, 1, 2, 0), 185: (2, 2, 2, 0), 186: (2, 2, 0, 0),
    187: (0, 2, 2, 0), 188: (2, 0, 2, 0), 189: (2, 0, 1, 0), 190: (1, 0, 2, 0),
    191: (0, 1, 1, 0), 192: (1, 0, 0, 1), 193: (1, 0, 1, 1), 194: (0, 1, 1, 1),
    195: (1, 1, 0, 1), 196: (0, 0, 1, 1), 197: (1, 1, 1, 1), 198: (1, 1, 0, 2),
    199: (2, 2, 0, 1), 200: (2, 0, 0, 2), 201: (0, 2, 0, 2), 202: (2, 0, 2, 2),
    203: (0, 2, 2, 2), 204: (2, 2, 0, 2), 205: (0, 0, 2, 2), 206: (2, 2, 2, 2),
    207: (1, 0, 2, 2), 208: (2, 0, 1, 1), 209: (0, 1, 2, 2), 210: (0, 2, 1, 1),
    211: (2, 0, 0, 1), 212: (1, 0, 0, 2), 213: (0, 1, 0, 2), 214: (0, 2, 0, 1),
    215: (2, 2, 1, 1), 216: (1, 1, 2, 2), 217: (1, 0, 1, 0), 218: (0, 1, 0, 1),
}


def chart_char(i):
    if i == 0 or i == 255:
        return ""
    if i < 32:
        return CP437_LOW[i]
    if i == 127:
        return "⌂"
    return bytes([i]).decode("cp437")


def box_cell(arms):
    """A box-drawing glyph as an exact pixel pattern: lines two pixels wide,
    double lines two such lines with a two-pixel gap, all centred so that they
    run on into the neighbouring cells."""
    up, down, left, right = arms
    c = np.zeros((CELL, CELL), np.uint8)
    m = CELL // 2          # lines occupy pixels m-1, m (single)
    s0, s1 = m - 1, m + 1  # single line span [s0, s1)
    o0, o1 = m - 3, m - 1  # outer/inner strokes of a double line
    i0, i1 = m + 1, m + 3

    vert_double = 2 in (up, down)
    horz_double = 2 in (left, right)

    def vspan(y0, y1, kind):
        if kind == 1:
            c[y0:y1, s0:s1] = 255
        elif kind == 2:
            c[y0:y1, o0:o1] = 255
            c[y0:y1, i0:i1] = 255

    def hspan(x0, x1, kind):
        if kind == 1:
            c[s0:s1, x0:x1] = 255
        elif kind == 2:
            c[o0:o1, x0:x1] = 255
            c[i0:i1, x0:x1] = 255

    # How far each arm reaches into the centre depends on what it meets, so
    # that double lines form proper corners and junctions.
    if not vert_double and not horz_double:
        vspan(0, s1, up)
        vspan(s0, CELL, down)
        hspan(0, s1, left)
        hspan(s0, CELL, right)
        return c
    if vert_double and horz_double:
        # double both ways: a stroke stops at the first stroke it meets when
        # an arm comes in on its side, else it runs on across the centre
        if up:
            c[0:o1 if left else i1, o0:o1] = 255
            c[0:o1 if right else i1, i0:i1] = 255
        if down:
            c[i0 if left else o0:, o0:o1] = 255
            c[i0 if right else o0:, i0:i1] = 255
        if left:
            c[o0:o1, 0:o1 if up else i1] = 255
            c[i0:i1, 0:o1 if down else i1] = 255
        if right:
            c[o0:o1, i0 if up else o0:] = 255
            c[i0:i1, i0 if down else o0:] = 255
        return c
    if vert_double:
        # double vertical meeting single horizontal arms
        if up and down:
            vspan(0, CELL, 2)
            hspan(0, o1, left)
            hspan(i0, CELL, right)
        else:
            # corner or end: the vertical pair stops at the horizontal line
            y0, y1 = (0, s1) if up else (s0, CELL)
            vspan(y0, y1, 2)
            hspan(0, i1, left)
            hspan(o0, CELL, right)
        return c
    # double horizontal meeting single vertical arms
    if left and right:
        hspan(0, CELL, 2)
        vspan(0, o1, up)
        vspan(i0, CELL, down)
    else:
        x0, x1 = (0, s1) if left else (s0, CELL)
        hspan(x0, x1, 2)
        vspan(0, i1, up)
        vspan(o0, CELL, down)
    return c


def block_cell(i):
    c = np.zeros((CELL, CELL), np.uint8)
    h = CELL // 2
    if i == 176:    # light shade: one pixel in four
        c[0::2, 0::2] = 255
    elif i == 177:  # medium shade: checkerboard
        c[0::2, 0::2] = 255
        c[1::2, 1::2] = 255
    elif i == 178:  # dark shade: three pixels in four
        c[:, :] = 255
        c[1::2, 1::2] = 0
    elif i == 219:
        c[:, :] = 255
    elif i == 220:
        c[h:, :] = 255
    elif i == 221:
        c[:, :h] = 255
    elif i == 222:
        c[:, h:] = 255
    elif i == 223:
        c[:h, :] = 255
    elif i == 254:  # small square, centred
        q = CELL // 4
        c[q + 2:CELL - q - 2, q + 2:CELL - q - 2] = 255
    return c


def make_chart():
    font = ImageFont.truetype(CHART_FONT, 26)
    ascent, descent = font.getmetrics()
    baseline = (CELL - (ascent + descent)) // 2 + ascent
    sheet = np.zeros((16 * CELL, 16 * CELL), np.uint8)
    for i in range(256):
        if i in BOX:
            cell = box_cell(BOX[i])
        elif 176 <= i <= 178 or 219 <= i <= 223 or i == 254:
            cell = block_cell(i)
        else:
            ch = chart_char(i)
            cell = np.zeros((CELL, CELL), np.uint8)
            if ch.strip():
                img = Image.new("L", (CELL, CELL), 0)
                d = ImageDraw.Draw(img)
                w = font.getlength(ch)
                d.text(((CELL - w) / 2.0, baseline), ch, font=font, fill=255, anchor="ls")
                cell = np.asarray(img)
        r, col = divmod(i, 16)
        sheet[r * CELL:(r + 1) * CELL, col * CELL:(col + 1) * CELL] = cell
    # premultiplied white: grey = alpha
    return Image.fromarray(np.dstack([sheet, sheet, sheet, sheet]), "RGBA")


# ---------------------------------------------------------------------------
# Sky cube map
# ---------------------------------------------------------------------------

FACE_SIZE = 512
SKY_SEED = 2010


class Perlin:
    """Seeded 3D gradient noise, vectorised; values roughly in [-1, 1]."""

    GRADS = np.array([(1, 1, 0), (-1, 1, 0), (1, -1, 0), (-1, -1, 0),
                      (1, 0, 1), (-1, 0, 1), (1, 0, -1), (-1, 0, -1),
                      (0, 1, 1), (0, -1, 1), (0, 1, -1), (0, -1, -1),
                      (1, 1, 0), (-1, 1, 0), (0, -1, 1), (0, -1, -1)], np.float32)

    def __init__(self, seed):
        rng = np.random.RandomState(seed)
        p = rng.permutation(256).astype(np.int32)
        self.perm = np.concatenate([p, p])

    def __call__(self, x, y, z):
        xi = np.floor(x)
        yi = np.floor(y)
        zi = np.floor(z)
        xf = (x - xi).astype(np.float32)
        yf = (y - yi).astype(np.float32)
        zf = (z - zi).astype(np.float32)
        X = xi.astype(np.int64) & 255
        Y = yi.astype(np.int64) & 255
        Z = zi.astype(np.int64) & 255
        perm = self.perm

        def fade(t):
            return t * t * t * (t * (t * 6 - 15) + 10)

        u, v, w = fade(xf), fade(yf), fade(zf)
        A = perm[X] + Y
        B = perm[X + 1] + Y
        AA, AB = perm[A] + Z, perm[A + 1] + Z
        BA, BB = perm[B] + Z, perm[B + 1] + Z

        def grad(h, dx, dy, dz):
            g = self.GRADS[perm[h] & 15]
            return g[..., 0] * dx + g[..., 1] * dy + g[..., 2] * dz

        x1, y1, z1 = xf - 1, yf - 1, zf - 1
        n000 = grad(AA, xf, yf, zf)
        n100 = grad(BA, x1, yf, zf)
        n010 = grad(AB, xf, y1, zf)
        n110 = grad(BB, x1, y1, zf)
        n001 = grad(AA + 1, xf, yf, z1)
        n101 = grad(BA + 1, x1, yf, z1)
        n011 = grad(AB + 1, xf, y1, z1)
        n111 = grad(BB + 1, x1, y1, z1)
        a = n000 + u * (n100 - n000)
        b = n010 + u * (n110 - n010)
        c = n001 + u * (n101 - n001)
        d = n011 + u * (n111 - n011)
        e = a + v * (b - a)
        f = c + v * (d - c)
        return e + w * (f - e)

    def fbm(self, x, y, z, octaves, lacunarity=2.0, gain=0.5, detail=None):
        """Fractal sum. `detail` (0..1 per point) fades out the upper octaves
        where they would alias."""
        total = np.zeros(np.shape(x), np.float32)
        amp, freq, norm = 1.0, 1.0, 0.0
        for o in range(octaves):
            k = 1.0
            if detail is not None and o > 1:
                k = np.clip(detail * octaves - (o - 1), 0.0, 1.0)
            total += amp * k * self(x * freq + 17.3 * o, y * freq + 5.1 * o, z * freq - 9.7 * o)
            norm += amp
            amp *= gain
            freq *= lacunarity
        return total / norm


def face_directions(face, n):
    """Unit directions of the pixel centres of one face (rows top to bottom)."""
    c = (np.arange(n, dtype=np.float64) + 0.5) * 2.0 / n - 1.0
    t, s = np.meshgrid(c, c, indexing="ij")  # t follows the row, s the column
    one = np.ones_like(s)
    d = {
        "posx": (one, -t, -s),
        "negx": (-one, -t, s),
        "posy": (s, one, t),
        "negy": (s, -one, -t),
        "posz": (s, -t, one),
        "negz": (-s, -t, -one),
    }[face]
    v = np.stack(d, axis=-1)
    return v / np.linalg.norm(v, axis=-1, keepdims=True)


def cube_lookup(d):
    """Face index (in FACE_NAMES order) and s, t in [0, 1] for directions,
    by the major-axis rule OpenGL uses when it samples a cube map."""
    x, y, z = d[..., 0], d[..., 1], d[..., 2]
    ax, ay, az = np.abs(x), np.abs(y), np.abs(z)
    face = np.zeros(x.shape, np.int64)
    sc = np.zeros(x.shape)
    tc = np.zeros(x.shape)
    ma = np.ones(x.shape)
    isx = (ax >= ay) & (ax >= az)
    isy = ~isx & (ay >= az)
    isz = ~isx & ~isy
    # +X: sc=-z tc=-y; -X: sc=+z tc=-y
    face[isx] = np.where(x[isx] > 0, 1, 0)
    sc[isx] = np.where(x[isx] > 0, -z[isx], z[isx])
    tc[isx] = -y[isx]
    ma[isx] = ax[isx]
    # +Y: sc=+x tc=+z; -Y: sc=+x tc=-z
    face[isy] = np.where(y[isy] > 0, 3, 2)
    sc[isy] = x[isy]
    tc[isy] = np.where(y[isy] > 0, z[isy], -z[isy])
    ma[isy] = ay[isy]
    # +Z: sc=+x tc=-y; -Z: sc=-x tc=-y
    face[isz] = np.where(z[isz] > 0, 5, 4)
    sc[isz] = np.where(z[isz] > 0, x[isz], -x[isz])
    tc[isz] = -y[isz]
    ma[isz] = az[isz]
    return face, (sc / ma + 1.0) / 2.0, (tc / ma + 1.0) / 2.0


def mix(a, b, t):
    a = np.asarray(a, np.float32)
    b = np.asarray(b, np.float32)
    t = np.asarray(t, np.float32)
    if t.ndim and t.shape[-1] != 3:
        t = t[..., None]
    return a + (b - a) * t


SUN = np.array([-0.62, 0.26, 0.74])
SUN = SUN / np.linalg.norm(SUN)


def environment(d, noise):
    """Colour (0..1 RGB) seen along unit directions d (..., 3), y up."""
    x, y, z = (d[..., k].astype(np.float32) for k in range(3))
    shape = x.shape
    sun_cos = (d @ SUN).astype(np.float32)

    # --- sky -------------------------------------------------------------
    up = np.clip(y, 0.0, 1.0)
    zenith = np.array([0.16, 0.36, 0.68], np.float32)
    mid = np.array([0.42, 0.62, 0.86], np.float32)
    horizon = np.array([0.84, 0.90, 0.95], np.float32)
    sky = mix(horizon, mid, smoothstep(0.0, 0.35, up))
    sky = mix(sky, zenith, smoothstep(0.25, 1.0, up))
    # warmer, brighter sky towards the low sun
    sun_near = np.clip(sun_cos, 0.0, 1.0)
    sky = sky + np.array([0.22, 0.16, 0.06], np.float32) * (sun_near ** 8)[..., None]

    # clouds on a flat layer overhead: plane coordinates stretch towards
    # the horizon like a real deck of clouds
    yy = np.maximum(y, 0.0) + 0.06
    px, pz = x / yy * 0.9, z / yy * 0.9
    detail = smoothstep(0.02, 0.35, y)
    warp = noise.fbm(px * 0.35, pz * 0.35, 3.7, 3)
    dens = noise.fbm(px * 0.55 + warp * 0.9, pz * 0.55 - warp * 0.7, 11.0, 6, detail=detail)
    wisps = noise.fbm(px * 1.6, pz * 0.45, 23.0, 4, detail=detail)
    cover = smoothstep(-0.02, 0.38, dens + 0.18 * wisps)
    cover *= smoothstep(0.0, 0.10, y) * 0.92
    # shading: bright tops towards the sun, grey-blue undersides elsewhere
    thick = smoothstep(0.1, 0.6, dens)
    cloud_lit = np.array([1.0, 0.98, 0.95], np.float32)
    cloud_dark = np.array([0.62, 0.68, 0.78], np.float32)
    cloud = mix(cloud_lit, cloud_dark, thick * (1.0 - 0.7 * sun_near ** 4))
    cloud = cloud + np.array([0.20, 0.14, 0.06], np.float32) * ((sun_near ** 12) * (1 - thick))[..., None]
    sky = mix(sky, cloud, cover)

    # sun: disc and glow, dimmed where clouds pass in front
    disc = smoothstep(0.99955, 0.99975, sun_cos)
    glow = sun_near ** 900 * 0.8 + sun_near ** 120 * 0.30 + sun_near ** 16 * 0.10
    veil = 1.0 - 0.75 * cover
    sky = sky + (np.array([1.0, 0.95, 0.85], np.float32) * ((disc * 1.2 + glow) * veil)[..., None])

    # --- distant mountains round the horizon -------------------------------
    r = np.sqrt(x * x + z * z) + 1e-6
    ax_, az_ = x / r, z / r
    elev = np.arctan2(y, r)
    ridge = 1.0 - np.abs(noise.fbm(ax_ * 2.6, az_ * 2.6, 41.0, 6))
    range_mask = smoothstep(-0.25, 0.30, noise.fbm(ax_ * 1.2, az_ * 1.2, 57.0, 2))
    peak = (0.015 + 0.03 * (0.5 + 0.5 * noise.fbm(ax_ * 6.0, az_ * 6.0, 61.0, 3))
            + 0.30 * ridge ** 2.2 * range_mask).astype(np.float32)
    pix = np.float32(2.0 / FACE_SIZE)
    mountain = smoothstep(peak + pix * 0.6, peak - pix * 0.6, elev) * (elev > -0.05)
    # snow and rock: the slopes facing the sun are bright, the others blue;
    # rock shows in streaks on the steep upper parts
    rel = elev / np.maximum(peak, 0.01)
    slope = noise.fbm(ax_ * 14.0, az_ * 14.0, elev * 14.0 + 71.0, 5)
    gully = noise.fbm(ax_ * 40.0, az_ * 40.0, elev * 6.0 + 77.0, 4)
    lit = smoothstep(-0.2, 0.25, slope + 0.35 * (ax_ * SUN[0] + az_ * SUN[2]))
    m_sun = np.array([0.97, 0.97, 0.98], np.float32)
    m_shade = np.array([0.60, 0.70, 0.85], np.float32)
    mcol = mix(m_shade, m_sun, lit)
    rock = smoothstep(0.15, 0.35, gully + 0.3 * rel - 0.15) * smoothstep(0.2, 0.7, rel)
    mcol = mix(mcol, [0.36, 0.42, 0.52], rock * 0.8)
    far = 0.35 + 0.25 * (1.0 - smoothstep(0.0, 0.8, rel))  # aerial perspective
    mcol = mix(mcol, horizon, far)

    # --- icy ground --------------------------------------------------------
    down = np.clip(-y, 0.0, 1.0)
    dd = np.maximum(down, 0.01)
    gx, gz = x / dd * 3.0, z / dd * 3.0
    gdetail = smoothstep(0.015, 0.5, down)
    base = noise.fbm(gx * 0.12, gz * 0.12, 91.0, 6, detail=gdetail)
    # blue ice where the snow is blown thin
    ice = smoothstep(0.10, 0.35, base)
    # crevasse fields: thin ridged lines across the flow of the glacier
    field = smoothstep(0.0, 0.3, noise.fbm(gx * 0.05, gz * 0.05, 111.0, 2))
    cw = noise.fbm(gx * 0.1, gz * 0.1, 121.0, 2) * 0.8
    cr = 1.0 - np.abs(noise.fbm(gx * 0.9 + cw, gz * 0.07, 131.0, 3, detail=gdetail))
    broken = smoothstep(-0.05, 0.2, noise.fbm(gx * 0.5, gz * 0.5, 141.0, 2))
    field = field * broken
    crev = smoothstep(0.93, 0.985, cr) * field * gdetail
    rim = smoothstep(0.86, 0.93, cr) * (1.0 - crev) * field * gdetail
    # wind ripples (sastrugi) in the snow
    rip = noise.fbm(gx * 1.6 + base * 3.0, gz * 0.5, 151.0, 4, detail=gdetail)
    fine = noise.fbm(gx * 6.0, gz * 6.0, 161.0, 3, detail=gdetail * gdetail)
    snow = mix([0.80, 0.86, 0.94], [0.97, 0.98, 1.0], 0.55 + 0.35 * rip + 0.1 * fine)
    snow = snow + np.array([0.05, 0.03, 0.0], np.float32) * ((0.5 + 0.5 * rip) * sun_near ** 3)[..., None]
    ice_col = mix([0.30, 0.58, 0.78], [0.58, 0.80, 0.92], 0.5 + 0.5 * fine + 0.3 * rip)
    ground = mix(snow, ice_col, ice * 0.9)
    ground = mix(ground, [0.99, 1.0, 1.0], rim * 0.5)
    ground = mix(ground, [0.06, 0.22, 0.42], crev)
    # sun glare on the ice
    refl = d.copy()
    refl[..., 1] = -refl[..., 1]
    glare = np.clip((refl @ SUN).astype(np.float32), 0.0, 1.0) ** 60
    ground = ground + (glare * (0.15 + 0.35 * ice))[..., None] * np.array([1.0, 0.97, 0.9], np.float32)

    # --- putting it together ----------------------------------------------
    col = np.where((y >= 0)[..., None], sky, ground)
    col = mix(col, mcol, mountain)
    # haze at the horizon, both ways
    haze = np.exp(-np.abs(y) * 14.0) * (1.0 - mountain * 0.6)
    haze_col = mix(horizon, [1.0, 0.95, 0.88], sun_near ** 4 * 0.6)
    col = mix(col, haze_col, haze * 0.75)
    assert col.shape == shape + (3,)
    return col


def to_bytes(col):
    # soft shoulder instead of a hard clip for the sun and the glare
    c = np.where(col > 0.9, 0.9 + 0.1 * np.tanh((col - 0.9) / 0.1), col)
    return np.round(np.clip(c, 0.0, 1.0) * 255.0).astype(np.uint8)


def make_sky(n=FACE_SIZE):
    noise = Perlin(SKY_SEED)
    faces = {}
    for name in FACE_NAMES:
        d = face_directions(name, n)
        faces[name] = Image.fromarray(to_bytes(environment(d, noise)), "RGB")
    return faces


def check_seams(sky_dir, preview=None):
    faces = []
    for name in FACE_NAMES:
        img = Image.open(os.path.join(sky_dir, name + ".jpg"))
        assert img.format == "JPEG" and img.size == (FACE_SIZE, FACE_SIZE), name
        assert not img.info.get("progressive"), name + " is progressive"
        faces.append(np.asarray(img.convert("RGB"), np.float64))
    n = FACE_SIZE
    edges = {}
    interior = []
    for fi, name in enumerate(FACE_NAMES):
        img = faces[fi]
        # a step of one pixel inside the face, for comparison
        interior.append(np.abs(img[:, 1:] - img[:, :-1]).mean())
        # push each border pixel's direction one pixel outward: it lands on
        # the centre of the neighbouring face's border pixel
        c = (np.arange(n) + 0.5) * 2.0 / n - 1.0
        out = 1.0 + 1.0 / n
        for side, (ss, tt, rows, cols) in {
            "left": (np.full(n, -out), c, np.arange(n), np.zeros(n, int)),
            "right": (np.full(n, out), c, np.arange(n), np.full(n, n - 1)),
            "top": (c, np.full(n, -out), np.zeros(n, int), np.arange(n)),
            "bottom": (c, np.full(n, out), np.full(n, n - 1), np.arange(n)),
        }.items():
            s, t = ss, tt
            one = np.ones(n)
            v = {
                "posx": (one, -t, -s), "negx": (-one, -t, s),
                "posy": (s, one, t), "negy": (s, -one, -t),
                "posz": (s, -t, one), "negz": (-s, -t, -one),
            }[name]
            v = np.stack(v, axis=-1)
            v /= np.linalg.norm(v, axis=-1, keepdims=True)
            gf, gs, gt = cube_lookup(v)
            assert np.all(gf == gf[0]) and gf[0] != fi, (name, side)
            gi = np.clip((gs * n).astype(int), 0, n - 1)
            gj = np.clip((gt * n).astype(int), 0, n - 1)
            other = faces[gf[0]][gj, gi]
            mine = img[rows, cols]
            key = tuple(sorted((name, FACE_NAMES[gf[0]])))
            edges.setdefault(key, []).append(np.abs(mine - other).mean())
    print("seam check: mean |difference| of the pixels meeting at each edge (0-255)")
    worst = 0.0
    for key in sorted(edges):
        v = float(np.mean(edges[key]))
        worst = max(worst, v)
        print("  %s / %s: %.2f" % (key[0], key[1], v))
    print("  worst edge %.2f; a one-pixel step inside a face averages %.2f"
          % (worst, float(np.mean(interior))))
    assert len(edges) == 12
    if preview:
        # unfolded cube: -X, +Z, +X, -Z in a row, +Y above and -Y below +Z
        m = n // 2
        small = [Image.fromarray(f.astype(np.uint8)).resize((m, m), Image.BOX) for f in faces]
        by = dict(zip(FACE_NAMES, small))
        cross = Image.new("RGB", (4 * m, 3 * m), (40, 40, 40))
        cross.paste(by["posy"], (1 * m, 0))
        cross.paste(by["negx"], (0, m))
        cross.paste(by["posz"], (1 * m, m))
        cross.paste(by["posx"], (2 * m, m))
        cross.paste(by["negz"], (3 * m, m))
        cross.paste(by["negy"], (1 * m, 2 * m))
        cross.save(preview)
        print("preview written to", preview)
    return worst, float(np.mean(interior))


OUTPUTS = [LOGO_PATH, CHART_PATH] + [f"{SKY_DIR}/{name}.jpg" for name in FACE_NAMES]
# A cube edge's pixels may differ this many times a step inside a face.
SEAM_LIMIT = 3.0


def options(parser):
    parser.add_argument("--only", choices=("logo", "chart", "sky"), action="append",
                        help="make only these (repeatable)")
    parser.add_argument("--preview", help="with --check: write an unfolded-cube PNG here")


def generate(root, args):
    todo = args.only or ["logo", "chart", "sky"]
    if "logo" in todo:
        write(os.path.join(root, LOGO_PATH), png_bytes(make_logo()))
    if "chart" in todo:
        write(os.path.join(root, CHART_PATH), png_bytes(make_chart()))
    if "sky" in todo:
        for name, img in make_sky().items():
            # baseline, 4:4:4 so that the colour meets at the face edges, no EXIF
            write(os.path.join(root, SKY_DIR, name + ".jpg"), jpeg_bytes(img, 90, dpi=(72, 72)))


def check(root, args):
    """The logo and the chart premultiplied at their sizes; the cube's seams."""
    errs = []
    for path, size in ((LOGO_PATH, (1024, 256)), (CHART_PATH, (512, 512))):
        try:
            img = Image.open(os.path.join(root, path))
        except OSError as error:
            errs.append(f"{path}: {error}")
            continue
        if img.mode != "RGBA" or img.size != size:
            errs.append(f"{path}: {img.mode} {img.size}, RGBA {size} expected")
            continue
        a = np.asarray(img).astype(int)
        over = int((a[..., :3].max(axis=2) > a[..., 3]).sum())
        if over:
            errs.append(f"{path}: {over} texels brighter than their alpha (not premultiplied)")
    try:
        worst, inside = check_seams(os.path.join(root, SKY_DIR), args.preview)
        if worst > SEAM_LIMIT * inside:
            errs.append(f"sky: an edge's pixels differ by {worst:.2f}, over {SEAM_LIMIT} times "
                        f"a step inside a face ({inside:.2f})")
    except (OSError, AssertionError) as error:
        errs.append(f"sky: {error or 'the faces do not meet as a cube'}")
    return errs


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "images", ".", check, generate, OUTPUTS, inputs=[LOGO_FONT, CHART_FONT],
                            options=options))
