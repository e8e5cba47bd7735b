#!/usr/bin/python3
"""Tin Lantern opening-scene pictures: the storm landscape, the rain, the
lightning photographs and the three logos shown over them.

Outputs, under <root>/data:

    credits/single-tree-01.png               far layer: an old tree on a rise, 512 x 512
    credits/tree-with-low-horizon.png        a copse on a low horizon, 1280 x 512
    credits/pine-tree-with-low-horizon.png   pines on a low horizon, 1024 x 512
    credits/horizon-heights.png              rolling heights, the full width, 2048 x 480
    credits/mid-layer.png                    near hillside with bushes, 1536 x 1024
    credits/mid-layer-alt.png                foreground grass, twigs, fence post, 1408 x 1024
    credits/rain.png                         seamless rain sheet, 256 x 256
    credits/white.png                        16 x 16 opaque white
    credits/lightning/DSC_*_cropped.jpg      six lightning photographs, 1024 x 576
    common/images/morvella_logo_transp_2.png Morvella logo, 1024 x 384
    common/images/partner_logo.png           Nightjar logo, 1024 x 512
    common/images/sandpit_logo.png           Sandpit Ten party logo, 1024 x 512

All RGBA pictures carry straight (not premultiplied) alpha, and fully
transparent texels hold the colour of the nearest edge so that mipmaps do not
grow dark fringes. The landscape layers are silhouettes: the scene multiplies
their colour by a dark grey, so their RGB is near white, a little darker for
the nearer layers (air in between lightens the far ones) and lighter along the
edges that face the sky.

Orientation: the PNG and JPEG loaders put the top row of a file at the top of
the texture (t = 1), which the quads put at the top of the screen, so every
picture is written the right way up, as it is seen.

Everything is deterministic: fixed seeds, no time stamps, text chunks or EXIF.

    /usr/bin/python3 tools/assets/credits_images.py --root .
    /usr/bin/python3 tools/assets/credits_images.py --root . --check
    /usr/bin/python3 tools/assets/credits_images.py --root . --preview /tmp/credits_preview

--check reads the written files back: their sizes and modes, straight alpha
whose transparent texels are never black, the white square, the seamless rain.
--preview composes the scene from the written files as the show draws it
(a few beats, with and without a flash) into contact sheets in that folder.
"""

import os
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

import numpy as np
from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import images as loading_images  # noqa: E402  (the loading-screen lantern)
import generator  # noqa: E402
from generator import write  # noqa: E402
from imagekit import jpeg_bytes, png_bytes, seam_ratio, smoothstep  # noqa: E402

SPARTAN_BOLD = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf"
SPARTAN_BLACK = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Black.otf"
SPARTAN_LIGHT = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Light.otf"
COMFORTAA_BOLD = "/usr/share/fonts/truetype/comfortaa/Comfortaa-Bold.ttf"
DEJAVU_COND = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"

CREDITS = "data/credits"
LIGHTNING_NAMES = ("DSC_0239_cropped.jpg", "DSC_0056_cropped.jpg", "DSC_0081_cropped.jpg",
                   "DSC_0094_cropped.jpg", "DSC_0104_cropped.jpg", "DSC_0318_cropped.jpg")
MORVELLA_PATH = "data/common/images/morvella_logo_transp_2.png"
PARTNER_PATH = "data/common/images/partner_logo.png"
SANDPIT_PATH = "data/common/images/sandpit_logo.png"

SCREEN_ASPECT = 16.0 / 9.0
SS = 2  # supersampling of the drawn silhouettes


# ---------------------------------------------------------------------------
# Helpers
# ---------------------------------------------------------------------------

def _box(a, r, axis, mode):
    if r < 1:
        return a
    n = a.shape[axis]
    pad = [(0, 0)] * a.ndim
    pad[axis] = (r + 1, r)
    c = np.cumsum(np.pad(a, pad, mode=mode), axis=axis)
    hi = np.take(c, np.arange(2 * r + 1, 2 * r + 1 + n), axis=axis)
    lo = np.take(c, np.arange(0, n), axis=axis)
    return (hi - lo) / (2 * r + 1)


def gauss(a, sigma, mode="constant"):
    """Three box passes per axis: close enough to a Gaussian of this sigma.
    mode "constant" lets the outside count as zero, "wrap" tiles."""
    r = int(round((np.sqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0))
    out = np.asarray(a, np.float64)
    for axis in (0, 1):
        for _ in range(3):
            out = _box(out, r, axis, mode)
    return out


def noise2(rng, h, w, cell):
    """Smooth value noise in 0..1 with features about `cell` pixels across."""
    cell = max(1, int(cell))
    gh, gw = h // cell + 4, w // cell + 4
    g = rng.random((gh, gw)).astype(np.float32)
    big = Image.fromarray(g, "F").resize((gw * cell, gh * cell), Image.BICUBIC)
    return np.asarray(big, np.float64)[cell:cell + h, cell:cell + w]


def fbm2(rng, h, w, cell, octaves, gain=0.5):
    total, amp, norm = np.zeros((h, w)), 1.0, 0.0
    for _ in range(octaves):
        if cell < 1:
            break
        total += amp * noise2(rng, h, w, cell)
        norm += amp
        amp *= gain
        cell //= 2
    return total / norm


def fbm1(rng, n, cell, octaves, gain=0.5):
    """1D fractal noise, 0..1-ish, for ridge lines."""
    x = np.arange(n, dtype=np.float64)
    total, amp, norm = np.zeros(n), 1.0, 0.0
    for _ in range(octaves):
        k = rng.random(int(n / cell) + 3)
        u = x / cell
        i = np.floor(u).astype(int)
        t = u - i
        t = t * t * (3 - 2 * t)
        total += amp * (k[i] * (1 - t) + k[i + 1] * t)
        norm += amp
        amp *= gain
        cell = max(1.0, cell / 2)
    return total / norm


def sample(field, xs, ys):
    """Bilinear look-up of field at fractional pixel positions (clamped)."""
    h, w = field.shape
    xs = np.clip(xs, 0, w - 1.001)
    ys = np.clip(ys, 0, h - 1.001)
    x0, y0 = np.floor(xs).astype(int), np.floor(ys).astype(int)
    fx, fy = xs - x0, ys - y0
    a = field[y0, x0] * (1 - fx) + field[y0, x0 + 1] * fx
    b = field[y0 + 1, x0] * (1 - fx) + field[y0 + 1, x0 + 1] * fx
    return a * (1 - fy) + b * fy


class Mask:
    """A supersampled 8-bit mask to draw shapes on in final pixel units."""

    def __init__(self, w, h, ss=SS):
        self.w, self.h, self.ss = w, h, ss
        self.img = Image.new("L", (w * ss, h * ss), 0)
        self.d = ImageDraw.Draw(self.img)

    def p(self, pts):
        s = self.ss
        return [(x * s, y * s) for x, y in pts]

    def poly(self, pts, fill=255):
        self.d.polygon(self.p(pts), fill=fill)

    def circle(self, x, y, r, fill=255):
        s = self.ss
        self.d.ellipse([(x - r) * s, (y - r) * s, (x + r) * s, (y + r) * s], fill=fill)

    def line(self, pts, width, fill=255):
        self.d.line(self.p(pts), fill=fill, width=max(1, int(round(width * self.ss))),
                    joint="curve")

    def seg(self, x0, y0, x1, y1, w0, w1, fill=255):
        """A tapered limb from (x0, y0) to (x1, y1), round at the far end."""
        dx, dy = x1 - x0, y1 - y0
        ln = np.hypot(dx, dy) + 1e-9
        nx, ny = -dy / ln, dx / ln
        self.poly([(x0 + nx * w0 / 2, y0 + ny * w0 / 2), (x1 + nx * w1 / 2, y1 + ny * w1 / 2),
                   (x1 - nx * w1 / 2, y1 - ny * w1 / 2), (x0 - nx * w0 / 2, y0 - ny * w0 / 2)],
                  fill)
        self.circle(x1, y1, w1 / 2, fill)

    def array(self):
        small = self.img.resize((self.w, self.h), Image.BOX)
        return np.asarray(small, np.float64) / 255.0

    def mask_text(self, xy, text, font, fill=255, anchor=None):
        s = self.ss
        self.d.text((xy[0] * s, xy[1] * s), text, font=font, fill=fill, anchor=anchor)


def fill_transparent(rgb, alpha, edge_colour):
    """Transparent texels take a colour close to the silhouette's edge."""
    a = alpha[..., None]
    near = np.clip(a * 8.0, 0.0, 1.0)
    return rgb * near + np.asarray(edge_colour, np.float64) * (1.0 - near)


def rgba_image(rgb, alpha):
    rgba = np.dstack([np.clip(rgb, 0, 1), np.clip(alpha, 0, 1)])
    return Image.fromarray(np.round(rgba * 255.0).astype(np.uint8), "RGBA")


# ---------------------------------------------------------------------------
# Vegetation
# ---------------------------------------------------------------------------

def broadleaf(rng, m, x, y, height, lean=0.0, gnarl=0.16, depth=6, spread=0.62,
              leaf=1.0, density=1.0, trunk=0.075, inner=2):
    """An old broadleaf tree standing at (x, y) (y down): a crooked trunk,
    forking limbs and clumped foliage round the outer twigs."""
    segs, tips = [], []

    def grow(x, y, ang, length, width, level):
        n = max(3, int(length / 5))
        step = length / n
        w_end = width * 0.70
        for i in range(n):
            ang += rng.normal(0, gnarl) + 0.35 * (np.pi / 2 - ang) / n
            nx, ny = x + np.cos(ang) * step, y - np.sin(ang) * step
            segs.append((x, y, nx, ny, width + (w_end - width) * i / n,
                         width + (w_end - width) * (i + 1) / n))
            x, y = nx, ny
            if level <= inner and i > 0:
                tips.append((x, y, level))
        if level == 0 or w_end < 0.7:
            tips.append((x, y, 0))
            return
        k = 2 if rng.random() < 0.7 else 3
        share = rng.dirichlet(np.full(k, 3.0))
        for j in range(k):
            off = (j - (k - 1) / 2.0) * spread * rng.uniform(0.7, 1.3)
            child_w = w_end * np.sqrt(share[j] * 1.4)
            grow(x, y, ang + off + rng.normal(0, 0.12),
                 length * rng.uniform(0.68, 0.86), max(child_w, 0.6), level - 1)

    grow(x, y, np.pi / 2 + lean, height * 0.26, height * trunk, depth)
    # foliage first would hide nothing: limbs and leaves share the mask
    for s in segs:
        m.seg(*s)
    # roots flaring into the ground
    tw = height * trunk
    m.poly([(x - tw * 1.3, y + 2), (x - tw * 0.45, y - tw * 1.2), (x + tw * 0.45, y - tw * 1.2),
            (x + tw * 1.4, y + 2)])
    for tx, ty, level in tips:
        if level > 0 and rng.random() > 0.35 * density:
            continue
        r = leaf * height * (0.030 if level == 0 else 0.026)
        for _ in range(int(4 * density) + 1):
            cx = tx + rng.normal(0, r * 0.9)
            cy = ty + rng.normal(0, r * 0.7) - r * 0.3
            m.circle(cx, cy, r * rng.uniform(0.45, 1.0))
        for _ in range(3):  # loose leaves at the edge of the clump
            m.circle(tx + rng.normal(0, r * 1.6), ty + rng.normal(0, r * 1.3),
                     max(0.5, r * rng.uniform(0.12, 0.25)))


def pine(rng, m, x, y, height, width):
    """A spruce-like pine at (x, y) (y down): tiers of drooping boughs."""
    trunk_w = max(1.5, width * 0.05)
    crown0 = y - height * rng.uniform(0.02, 0.09)
    top = y - height
    m.poly([(x - trunk_w, y + 2), (x - trunk_w * 0.6, top + height * 0.2),
            (x + trunk_w * 0.6, top + height * 0.2), (x + trunk_w, y + 2)])
    tiers = int(rng.integers(7, 11))
    lean = rng.normal(0, 0.02) * height
    for i in range(tiers):
        t0, t1 = i / tiers, (i + 1.6) / tiers
        yb = crown0 + (top - crown0) * t0
        yt = crown0 + (top - crown0) * min(t1, 1.0)
        cx = x + lean * t0
        prof = (1.0 - t0) ** 0.85
        wl = width / 2 * prof * rng.uniform(0.6, 1.25) + 2
        wr = width / 2 * prof * rng.uniform(0.6, 1.25) + 2
        droop = (yb - yt) * rng.uniform(0.25, 0.6)
        pts = [(cx, yt)]
        # right edge down to the bough tip, needles bristling
        for k in range(1, 7):
            f = k / 7
            px = cx + wr * f ** 0.8
            py = yt + (yb + droop - yt) * f ** 1.3
            pts.append((px + rng.normal(0, 1.2), py + rng.normal(0, 1.4)))
        pts.append((cx + wr, yb + droop))
        # ragged underside back to the trunk and out to the left
        for k in range(1, 8):
            f = 1 - k / 8 * 2
            px = cx + (wr if f > 0 else wl) * f
            lift = (yb - yt) * 0.35 * rng.random() * (1 - abs(f)) ** 0.5
            py = yb + droop * abs(f) ** 1.5 - lift
            pts.append((px, py))
        pts.append((cx - wl, yb + droop))
        for k in range(6, 0, -1):
            f = k / 7
            px = cx - wl * f ** 0.8
            py = yt + (yb + droop - yt) * f ** 1.3
            pts.append((px + rng.normal(0, 1.2), py + rng.normal(0, 1.4)))
        m.poly(pts)
    m.poly([(x + lean - trunk_w * 0.5, top + height * 0.06), (x + lean, top - height * 0.03),
            (x + lean + trunk_w * 0.5, top + height * 0.06)])


def bush(rng, m, x, y, size, lumps=9):
    """A round shrub sitting on the ground at (x, y)."""
    for _ in range(lumps):
        ox = rng.normal(0, size * 0.55)
        oy = -abs(rng.normal(0, size * 0.35)) - size * 0.25
        m.circle(x + ox, y + oy, size * rng.uniform(0.3, 0.55) * (1 - abs(ox) / (size * 2.2)))
    for _ in range(lumps * 2):
        m.circle(x + rng.normal(0, size * 0.7), y - abs(rng.normal(0, size * 0.5)) - size * 0.2,
                 max(0.6, size * rng.uniform(0.05, 0.12)))


def grass_blade(m, rng, x, y, height, width, lean):
    """A curved, tapering blade standing at (x, y) (y down)."""
    n = 8
    tipx = x + lean * height
    ctrl = x + lean * height * 0.25
    left, right = [], []
    for i in range(n + 1):
        t = i / n
        px = (1 - t) ** 2 * x + 2 * t * (1 - t) * ctrl + t * t * tipx
        py = y - height * (t - 0.12 * t * t * abs(lean))
        hw = width / 2 * (1 - t) ** 0.9
        left.append((px - hw, py))
        right.append((px + hw, py))
    m.poly(left + right[::-1])
    return tipx, y - height * (1 - 0.12 * abs(lean))


def ground(m, w, h, line):
    """Fill below a per-column ground line (y down, final pixels)."""
    pts = [(0, h + 2)] + [(i, line[i]) for i in range(0, w, 2)] + [(w, line[-1]), (w, h + 2)]
    m.poly(pts)


def silhouette_rgb(rng, alpha, base, rim=0.35, light_dir=(-0.5, -1.0), texture=0.05, cell=24):
    """Near-white colour for a silhouette layer: the base level, brighter
    where the outline faces the sky (rim light), slightly darker deep inside,
    with a faint mottle."""
    dx, dy = light_dir
    ln = np.hypot(dx, dy)
    dx, dy = dx / ln, dy / ln
    soft = gauss(alpha, 2.5, "edge")
    h, w = alpha.shape
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float64)
    toward = sample(soft, xx + dx * 5, yy + dy * 5)
    edge = np.clip(alpha - toward, 0, 1)
    edge = np.clip(gauss(edge, 1.2) * 2.2, 0, 1)
    deep = gauss(alpha, 14, "edge")
    mottle = fbm2(rng, h, w, cell, 3) - 0.5
    v = base + rim * edge - 0.10 * smoothstep(0.6, 1.0, deep) + texture * mottle
    v = np.round(np.clip(v, 0, 1) * 64) / 64  # coarse steps keep the PNG small
    rgb = np.repeat(v[..., None], 3, axis=2)
    return fill_transparent(rgb, alpha, (min(1.0, base + rim),) * 3)


# ---------------------------------------------------------------------------
# Landscape layers
# ---------------------------------------------------------------------------

def make_single_tree():
    """Far layer: one gnarled tree on a small rise, fading out at the sides."""
    w, h = 512, 512
    rng = np.random.default_rng(3101)
    m = Mask(w, h)
    # the rise: a low mound, its feet fading into the bottom corners
    xs = np.arange(w)
    mound = h + 4 - (h * 0.24) * np.exp(-((xs - w * 0.5) / (w * 0.30)) ** 2)
    mound += (fbm1(rng, w, 40, 4) - 0.5) * 8
    ground(m, w, h, mound)
    broadleaf(rng, m, w * 0.5, mound[w // 2] + 6, h * 0.62, lean=0.10, gnarl=0.20, depth=7,
              spread=0.85, leaf=1.15, density=1.5, trunk=0.085)
    # a few tufts on the rise
    for _ in range(40):
        x = rng.normal(w * 0.5, w * 0.14)
        grass_blade(m, rng, x, mound[int(np.clip(x, 0, w - 1))] + 2, rng.uniform(4, 10), 1.6,
                    rng.normal(0, 0.3))
    alpha = m.array()
    # no hard edges at the sides or the top; the foot fades downward too
    xx = np.linspace(0, 1, w)[None, :]
    alpha *= smoothstep(0.0, 0.12, xx) * smoothstep(1.0, 0.88, xx)
    alpha[:2, :] = 0
    alpha[:, :1] = 0
    alpha[:, -1:] = 0
    return rgba_image(silhouette_rgb(rng, alpha, 1.0, rim=0.0, texture=0.0), alpha)


def make_tree_horizon():
    """A copse and a few lone trees on a low horizon running off the right."""
    w, h = 1280, 512
    rng = np.random.default_rng(3102)
    m = Mask(w, h)
    base = h * 0.72
    line = base - (fbm1(rng, w, 160, 5) - 0.5) * 28 - 10 * smoothstep(0.5, 1.0, np.arange(w) / w)
    # taper into the ground at the left border
    line = line + (h - line) * smoothstep(0.06, 0.0, np.arange(w) / w)
    ground(m, w, h, line)
    trees = [(0.12, 0.30), (0.18, 0.40), (0.235, 0.52), (0.28, 0.46), (0.33, 0.36),
             (0.55, 0.62), (0.60, 0.50), (0.665, 0.44), (0.80, 0.34), (0.93, 0.48)]
    for fx, fh in trees:
        x = fx * w + rng.normal(0, 6)
        broadleaf(rng, m, x, line[int(x)] + 3, fh * h * rng.uniform(0.95, 1.05),
                  lean=rng.normal(0, 0.08), gnarl=0.12, depth=6, spread=0.55,
                  leaf=1.2, density=1.8, trunk=0.05, inner=3)
    for _ in range(12):
        x = rng.uniform(0.1, 0.98) * w
        bush(rng, m, x, line[int(x)] + 3, rng.uniform(5, 12))
    alpha = m.array()
    xx = np.linspace(0, 1, w)[None, :]
    alpha *= smoothstep(0.0, 0.05, xx)
    alpha[:2, :] = 0
    return rgba_image(silhouette_rgb(rng, alpha, 0.95, rim=0.05, texture=0.03), alpha)


def make_pine_horizon():
    """A stand of pines on a low horizon, thinning out to the left."""
    w, h = 1024, 512
    rng = np.random.default_rng(3103)
    m = Mask(w, h)
    base = h * 0.82
    line = base - (fbm1(rng, w, 140, 5) - 0.5) * 22 - 14 * smoothstep(0.3, 1.0, np.arange(w) / w)
    line = line + (h - line) * smoothstep(0.08, 0.0, np.arange(w) / w)
    ground(m, w, h, line)
    # sparse at the left, a dense stand from the middle on
    xs = []
    x = 0.10 * w
    while x < w + 20:
        xs.append(x)
        gap = 70 if x < 0.35 * w else 26
        x += gap * rng.uniform(0.5, 1.4)
    for x in xs:
        f = x / w
        tall = h * (0.22 + 0.36 * smoothstep(0.1, 0.6, f)) * rng.uniform(0.65, 1.12)
        xi = int(np.clip(x, 0, w - 1))
        pine(rng, m, x, line[xi] + 4, tall, tall * rng.uniform(0.30, 0.40))
    alpha = m.array()
    xx = np.linspace(0, 1, w)[None, :]
    alpha *= smoothstep(0.0, 0.06, xx)
    alpha[:2, :] = 0
    return rgba_image(silhouette_rgb(rng, alpha, 0.92, rim=0.06, texture=0.03), alpha)


def make_heights():
    """Rolling heights across the whole width: low in the middle of the
    screen, climbing at the sides, hedgerows and a chapel on the skyline."""
    w, h = 2048, 480
    rng = np.random.default_rng(3104)
    m = Mask(w, h)
    # Screen position of column i at beat 0: x = i / w * width_on_screen.
    on_screen = 0.5 * (w / h) / SCREEN_ASPECT
    sx = np.arange(w) / w * on_screen - 0.085  # the middle of the drift
    # wanted skyline in screen units (layer spans y 0.25..0.75)
    sky_y = (0.325 + 0.16 * smoothstep(0.30, 0.0, sx) ** 1.4 + 0.10 * smoothstep(0.72, 1.05, sx)
             + 0.05 * (fbm1(rng, w, 300, 3) - 0.5) + 0.015 * (fbm1(rng, w, 40, 4) - 0.5))
    line = h - (sky_y - 0.25) / 0.5 * h
    ground(m, w, h, line)
    # hedgerows and copses along the skyline
    for _ in range(90):
        x = rng.uniform(0, w)
        bush(rng, m, x, line[int(x)] + 2, rng.uniform(3, 8), lumps=6)
    for fx in (0.06, 0.11, 0.86, 0.95):
        x = fx * w
        broadleaf(rng, m, x, line[int(x)] + 2, rng.uniform(40, 60), gnarl=0.12, depth=5,
                  leaf=1.3, density=1.6, trunk=0.06)
    # a small chapel on the left heights
    cx = 0.16 * w
    gy = line[int(cx)] + 3
    m.poly([(cx - 16, gy), (cx - 16, gy - 14), (cx - 2, gy - 22), (cx + 12, gy - 14),
            (cx + 12, gy)])
    m.poly([(cx + 10, gy), (cx + 10, gy - 24), (cx + 14, gy - 44), (cx + 18, gy - 24),
            (cx + 18, gy)])
    m.line([(cx + 14, gy - 44), (cx + 14, gy - 50)], 0.9)
    m.line([(cx + 11.5, gy - 47.5), (cx + 16.5, gy - 47.5)], 0.9)
    alpha = m.array()
    alpha[:2, :] = 0
    return rgba_image(silhouette_rgb(rng, alpha, 0.85, rim=0.15, texture=0.03), alpha)


def make_mid_layer():
    """A nearer hillside: a ridge low across the middle of the screen,
    climbing at the left with bushes and a leaning tree at the right."""
    w, h = 1536, 1024
    rng = np.random.default_rng(3105)
    m = Mask(w, h)
    on_screen = 1.5 * (w / h) / SCREEN_ASPECT
    sx = np.arange(w) / w * on_screen - 0.057
    sky_y = (0.27 + 0.25 * smoothstep(0.22, -0.05, sx) + 0.08 * smoothstep(0.78, 1.05, sx)
             + 0.03 * (fbm1(rng, w, 260, 4) - 0.5))
    line = h - (sky_y + 0.5) / 1.5 * h
    ground(m, w, h, line)

    def at(sxx):
        return int(np.clip((sxx + 0.057) / on_screen * w, 0, w - 1))

    for _ in range(70):
        s = rng.uniform(-0.06, 1.2)
        big = 1.0 + 1.6 * smoothstep(0.25, 0.0, s) + 0.8 * smoothstep(0.8, 1.0, s)
        x = at(s)
        bush(rng, m, x, line[x] + 4, rng.uniform(7, 16) * big, lumps=10)
    x = at(0.90)
    broadleaf(rng, m, x, line[x] + 6, 230, lean=-0.25, gnarl=0.17, depth=6, spread=0.6,
              leaf=1.1, density=1.3, trunk=0.06)
    x = at(0.05)
    broadleaf(rng, m, x, line[x] + 6, 260, lean=0.15, gnarl=0.15, depth=7, spread=0.65,
              leaf=1.0, density=1.4, trunk=0.06)
    alpha = m.array()
    alpha[:2, :] = 0
    return rgba_image(silhouette_rgb(rng, alpha, 0.78, rim=0.22, texture=0.04), alpha)


def make_foreground():
    """The nearest layer, drawn in black: tall grass rising at the sides, a
    twig reaching in from the top left, a fence post with sagging wire."""
    w, h = 1408, 1024
    rng = np.random.default_rng(3106)
    m = Mask(w, h)
    on_screen = 1.5 * (w / h) / SCREEN_ASPECT

    def px(sxx):
        return sxx / on_screen * w

    def py(syy):
        return h - (syy + 0.3) / 1.5 * h

    line = py(0.0) + 6 - (fbm1(rng, w, 120, 4) - 0.5) * 20
    ground(m, w, h, line)
    # grass: tall at the sides, short in the middle
    for _ in range(900):
        s = rng.uniform(-0.02, on_screen)
        side = max(smoothstep(0.28, 0.0, s), smoothstep(0.70, 1.0, s))
        tall = (0.03 + 0.30 * side ** 1.3) * rng.uniform(0.4, 1.1)
        x = px(s)
        base = line[int(np.clip(x, 0, w - 1))] + 6
        height = tall / 1.5 * h + rng.uniform(5, 20)
        lean = rng.normal(0.05, 0.28)
        tx, ty = grass_blade(m, rng, x, base, height, rng.uniform(3.0, 6.5), lean)
        if tall > 0.15 and rng.random() < 0.18:  # seed heads
            for k in range(7):
                m.circle(tx + rng.normal(0, 1.5), ty + k * 3.5, 2.2 - k * 0.2)
    # fence post with two strands of wire running off to the right
    fx = px(0.80)
    top_y, bot_y = py(0.36), py(-0.05)
    m.poly([(fx - 11, bot_y), (fx - 9, top_y + 6), (fx - 3, top_y - 2), (fx + 8, top_y + 3),
            (fx + 10, bot_y)])
    for wy in (py(0.30), py(0.20)):
        pts = []
        for k in range(60):
            t = k / 59
            x = fx + t * (w - fx + 10)
            pts.append((x, wy + 18 * np.sin(np.pi * t) + 2 * t))
        m.line(pts, 1.6)
        for k in range(1, 7):  # barbs
            bx, by = pts[k * 9]
            m.line([(bx - 4, by - 4), (bx + 4, by + 4)], 1.2)
            m.line([(bx - 4, by + 4), (bx + 4, by - 4)], 1.2)
    # a leafy twig hanging in from the top left, with side shoots
    def leaf_at(bx, by, a, ln):
        ex, ey = bx + np.cos(a) * ln, by - np.sin(a) * ln
        nx, ny = -(ey - by) / ln, (ex - bx) / ln
        wd = ln * 0.24
        pts = []
        for j in range(9):
            t = j / 8
            bulge = np.sin(np.pi * t) ** 0.8 * wd
            pts.append((bx + (ex - bx) * t + nx * bulge, by + (ey - by) * t + ny * bulge))
        for j in range(8, -1, -1):
            t = j / 8
            bulge = np.sin(np.pi * t) ** 0.8 * wd * 0.7
            pts.append((bx + (ex - bx) * t - nx * bulge, by + (ey - by) * t - ny * bulge))
        m.poly(pts)

    def twig(x0, y0, ang, steps, step, width, level):
        pts = [(x0, y0)]
        for k in range(steps):
            ang += rng.normal(0, 0.05) - 0.014
            x0, y0 = x0 + np.cos(ang) * step, y0 - np.sin(ang) * step
            pts.append((x0, y0))
        for k in range(len(pts) - 1):
            wdt = width * (1 - k / len(pts)) + 1.2
            m.seg(*pts[k], *pts[k + 1], wdt + 0.4, wdt)
        for k in range(3, len(pts), 2):
            bx, by = pts[k]
            size = (1 - 0.5 * k / len(pts)) * (1.0 if level == 0 else 0.8)
            for side in (-1, 1):
                leaf_at(bx, by, ang - np.pi / 2 * 0.0 + side * rng.uniform(0.5, 1.3) - 0.5,
                        rng.uniform(26, 46) * size)
            if level == 0 and k % 8 == 3 and k < len(pts) - 6:
                twig(bx, by, ang - rng.uniform(0.5, 0.9), int(steps * 0.35), step,
                     width * 0.4, 1)
        leaf_at(*pts[-1], ang - 0.2, 40)

    twig(-12.0, py(0.95), -0.2, 42, 9.0, 15.0, 0)
    alpha = m.array()
    alpha[:2, :] = 0
    rgb = np.ones((h, w, 3))  # drawn in black by the scene; colour unused
    return rgba_image(rgb, alpha)


# ---------------------------------------------------------------------------
# Rain, white
# ---------------------------------------------------------------------------

def make_rain(n=256):
    """Seamless rain: thin streaks slanted a little (falling toward the left),
    brighter at the lower end, drawn at all nine tile offsets."""
    rng = np.random.default_rng(3201)
    s = 4
    img = Image.new("L", (n * s, n * s), 0)
    d = ImageDraw.Draw(img)
    slant = 0.16  # dx per dy
    count = 120
    for _ in range(count):
        x, y = rng.uniform(0, n), rng.uniform(0, n)
        length = rng.uniform(6, 30) * (1.6 if rng.random() < 0.12 else 1.0)
        bright = rng.uniform(0.15, 1.0) ** 2.0
        steps = 6
        for k in range(steps):
            t0, t1 = k / steps, (k + 1) / steps
            v = bright * (0.15 + 0.85 * t1 ** 1.6)
            ax, ay = x - slant * length * t0, y + length * t0
            bx, by = x - slant * length * t1, y + length * t1
            for ox in (-n, 0, n):
                for oy in (-n, 0, n):
                    d.line([((ax + ox) * s, (ay + oy) * s), ((bx + ox) * s, (by + oy) * s)],
                           fill=int(255 * v), width=3)
    a = np.asarray(img.resize((n, n), Image.BOX), np.float64) / 255.0
    a = np.clip(a * 1.6, 0, 1)
    rgb = np.dstack([a * 0.92, a * 0.97, a])
    out = np.dstack([rgb, np.ones_like(a)])
    return Image.fromarray(np.round(out * 255).astype(np.uint8), "RGBA")


def make_white():
    return Image.new("RGBA", (16, 16), (255, 255, 255, 255))


# ---------------------------------------------------------------------------
# Lightning photographs
# ---------------------------------------------------------------------------

PW, PH = 1024, 576


def displace(rng, p, q, rough, levels):
    """Midpoint displacement between p and q: a jagged channel."""
    pts = np.array([p, q], np.float64)
    for _ in range(levels):
        a, b = pts[:-1], pts[1:]
        d = b - a
        ln = np.hypot(d[:, 0], d[:, 1])[:, None] + 1e-9
        nrm = np.stack([-d[:, 1], d[:, 0]], axis=1) / ln
        mid = (a + b) / 2 + nrm * rng.normal(0, rough, (len(a), 1)) * ln
        out = np.empty((len(pts) * 2 - 1, 2))
        out[0::2] = pts
        out[1::2] = mid
        pts = out
    return pts


def channel_tree(rng, p, q, width, level, rough=0.17, branch_rate=1.0, down=True):
    """A channel from p to q with its side branches: list of (points, width)."""
    ln = np.hypot(q[0] - p[0], q[1] - p[1])
    levels = int(np.clip(np.log2(max(ln, 4) / 3), 2, 9))
    pts = displace(rng, p, q, rough, levels)
    out = [(pts, width)]
    if level <= 0:
        return out
    nb = rng.poisson(branch_rate * (3 + 2 * level) * ln / 500)
    for _ in range(nb):
        i = int(rng.uniform(0.05, 0.8) * (len(pts) - 1))
        s = pts[i]
        d = q - p
        ang = np.arctan2(d[1], d[0]) + rng.choice((-1, 1)) * rng.uniform(0.3, 0.95)
        bl = ln * rng.uniform(0.12, 0.4) * (1 - i / len(pts)) ** 0.5
        e = s + bl * np.array([np.cos(ang), np.sin(ang)])
        if down:
            e[1] = max(e[1], s[1] + bl * 0.3)
        out += channel_tree(rng, s, e, width * rng.uniform(0.35, 0.6), level - 1,
                            rough * 1.05, branch_rate, down)
    return out


def draw_channels(channels, s=2):
    """Core brightness of the channels, drawn from the faintest up."""
    img = Image.new("L", (PW * s, PH * s), 0)
    d = ImageDraw.Draw(img)
    for pts, width in sorted(channels, key=lambda c: c[1]):
        v = int(255 * np.clip(0.25 + width / 3.0, 0, 1))
        d.line([(x * s, y * s) for x, y in pts], fill=v,
               width=max(1, int(round(width * s))), joint="curve")
    return np.asarray(img.resize((PW, PH), Image.BOX), np.float64) / 255.0


def clouds(rng, cover, base_y, cell=150):
    """Storm cloud density: warped fractal noise over a deck that thins
    toward its ragged base at base_y (fraction of the height)."""
    yy, xx = np.mgrid[0:PH, 0:PW].astype(np.float64)
    wx = fbm2(rng, PH, PW, 200, 3) - 0.5
    wy = fbm2(rng, PH, PW, 200, 3) - 0.5
    n = fbm2(rng, PH + 64, PW + 64, cell, 6, gain=0.55)
    n = sample(n, xx + 32 + wx * 120, yy + 32 + wy * 70)
    billow = fbm2(rng, PH, PW, cell // 2, 4) ** 2
    dens = 0.8 * n + 0.2 * (billow * 2.0)
    deck = smoothstep(base_y + 0.12, base_y - 0.25, yy / PH + 0.06 * (wx * 2))
    return np.clip(smoothstep(0.52 - 0.25 * cover, 0.80, dens) * (0.25 + 0.75 * deck), 0, 1)


def photo(rng, strikes, cloud_cover=0.6, cloud_base=0.55, tint=(0.62, 0.58, 1.0),
          ambient=0.025, horizon=0.86, exposure=1.0, sheet=0.0):
    """Compose one photograph. strikes: list of (channels, brightness)."""
    dens = clouds(rng, cloud_cover, cloud_base)
    yy, xx = np.mgrid[0:PH, 0:PW].astype(np.float64)
    core = np.zeros((PH, PW))
    src = np.zeros((PH, PW))
    for channels, bright in strikes:
        c = draw_channels(channels) * bright
        core = np.maximum(core, c)
        src += c
    # clouds hide the channels where they are thick
    veil = 1.0 - 0.8 * smoothstep(0.45, 0.9, dens)
    core_seen = core * veil
    light = gauss(src, 45) * 40 + gauss(src, 140) * 160 + sheet
    light = 1 - np.exp(-light * 0.9)
    # clouds lit from the channel: thick ones bright, their lower sides most
    below = np.roll(dens, -6, axis=0)
    under = np.clip(dens - below, 0, 1)
    lit = light * (0.15 + 1.1 * dens ** 1.2 + 1.2 * under) + ambient * dens
    glow_n = gauss(core_seen, 2.0) * 1.6
    glow_w = gauss(core_seen, 9.0) * 2.2
    tint = np.asarray(tint)
    rgb = (lit[..., None] * (0.55 * tint + 0.45 * np.array([0.80, 0.80, 0.90]))
           + glow_n[..., None] * np.array([0.85, 0.80, 1.0])
           + glow_w[..., None] * tint * 0.9
           + core_seen[..., None] * np.array([1.0, 0.98, 1.0]) * 1.3)
    # falling rain catches the light
    streak = rng.random((PH, PW)) < 0.004
    streak = gauss(streak.astype(np.float64), 0.6)
    streak = _box(_box(streak, 9, 0, "wrap"), 9, 0, "wrap") * 30
    rgb += (streak * light * 0.08)[..., None] * tint
    # dark land below a ragged horizon
    hl = PH * horizon - (fbm1(rng, PW, 120, 5) - 0.5) * 30
    land = smoothstep(-1.0, 1.0, yy - hl[None, :])
    rgb *= (1 - land)[..., None]
    rgb *= exposure
    rgb = 1 - np.exp(-rgb * 1.25)
    rgb += rng.normal(0, 0.006, rgb.shape)  # a little sensor grain
    return Image.fromarray(np.round(np.clip(rgb, 0, 1) * 255).astype(np.uint8), "RGB")


def make_lightning():
    shots = []
    # 0: one big forked strike left of centre
    rng = np.random.default_rng(3301)
    ch = channel_tree(rng, np.array([360.0, 60.0]), np.array([300.0, 500.0]), 3.2, 3)
    shots.append(photo(rng, [(ch, 1.0)], cloud_cover=0.6, cloud_base=0.45))
    # 1: two strikes, a near one on the left, a far faint one on the right
    rng = np.random.default_rng(3302)
    a = channel_tree(rng, np.array([250.0, 40.0]), np.array([180.0, 505.0]), 3.0, 3)
    b = channel_tree(rng, np.array([760.0, 150.0]), np.array([800.0, 470.0]), 1.6, 2)
    shots.append(photo(rng, [(a, 1.0), (b, 0.55)], cloud_cover=0.5, cloud_base=0.42,
                       tint=(0.58, 0.6, 1.0)))
    # 2: sheet lightning inside the deck, crawling across the sky
    rng = np.random.default_rng(3303)
    chans = channel_tree(rng, np.array([80.0, 150.0]), np.array([950.0, 120.0]), 2.0, 3,
                         rough=0.12, branch_rate=1.8, down=False)
    chans += channel_tree(rng, np.array([520.0, 140.0]), np.array([620.0, 300.0]), 1.4, 2)
    shots.append(photo(rng, [(chans, 0.7)], cloud_cover=0.9, cloud_base=0.62, sheet=0.08,
                       tint=(0.66, 0.56, 1.0), exposure=1.1))
    # 3: a close, heavy strike on the right with many branches
    rng = np.random.default_rng(3304)
    ch = channel_tree(rng, np.array([700.0, 20.0]), np.array([820.0, 505.0]), 4.5, 4,
                      branch_rate=1.6)
    shots.append(photo(rng, [(ch, 1.2)], cloud_cover=0.7, cloud_base=0.4, exposure=1.05))
    # 4: a distant strike low on the horizon under a broad lit cloud
    rng = np.random.default_rng(3305)
    ch = channel_tree(rng, np.array([560.0, 300.0]), np.array([585.0, 500.0]), 1.5, 2)
    shots.append(photo(rng, [(ch, 0.9)], cloud_cover=0.8, cloud_base=0.58, sheet=0.09,
                       tint=(0.7, 0.6, 1.0), exposure=1.6))
    # 5: a diagonal strike that forks into two ground contacts
    rng = np.random.default_rng(3306)
    top = np.array([180.0, 30.0])
    fork = np.array([470.0, 260.0])
    ch = channel_tree(rng, top, fork, 3.2, 2)
    ch += channel_tree(rng, fork, np.array([430.0, 505.0]), 2.8, 2)
    ch += channel_tree(rng, fork, np.array([640.0, 500.0]), 2.4, 2)
    shots.append(photo(rng, [(ch, 1.0)], cloud_cover=0.55, cloud_base=0.4,
                       tint=(0.75, 0.55, 1.0)))
    return shots


# ---------------------------------------------------------------------------
# Logos
# ---------------------------------------------------------------------------

def straight(L):
    """Premultiplied canvas of images.Layers to straight RGBA."""
    a = np.clip(L.a, 0, 1)
    rgb = np.where(a[..., None] > 1e-4, L.rgb / np.maximum(a[..., None], 1e-4), 0.0)
    rgb = np.clip(rgb, 0, 1)
    # transparent texels: a neutral light colour so mipmaps fringe nothing dark
    rgb = fill_transparent(rgb, a, (0.9, 0.85, 0.75))
    return rgba_image(rgb, a)


def font_fit(path, text, width, height=None):
    probe = ImageFont.truetype(path, 200)
    bb = probe.getbbox(text)
    size = 200 * width / (bb[2] - bb[0])
    if height:
        size = min(size, 200 * height / (bb[3] - bb[1]))
    return ImageFont.truetype(path, int(size))


def text_mask(w, h, text, font, cx, cy, spacing=0.0, ss=4):
    """Mask of text centred on (cx, cy), with extra letter spacing (pixels)."""
    img = Image.new("L", (w * ss, h * ss), 0)
    d = ImageDraw.Draw(img)
    big = ImageFont.truetype(font.path, font.size * ss)
    widths = [big.getlength(ch) for ch in text]
    total = sum(widths) + spacing * ss * (len(text) - 1)
    bb = big.getbbox(text)
    x = cx * ss - total / 2
    y = cy * ss - (bb[1] + bb[3]) / 2
    for ch, wd in zip(text, widths):
        d.text((x, y), ch, font=big, fill=255)
        x += wd + spacing * ss
    return np.asarray(img.resize((w, h), Image.BOX), np.float64) / 255.0


def make_morvella():
    w, h = 1024, 384
    L = loading_images.Layers(w, h)
    y, x = np.mgrid[0:h, 0:w].astype(np.float64) + 0.5
    # The lantern of the loading-screen logo, cut out and enlarged.
    small = loading_images.make_logo()
    lant = small.crop((40, 0, 204, 256)).resize((int(164 * 1.35), int(256 * 1.35)),
                                                Image.LANCZOS)
    la = np.asarray(lant, np.float64) / 255.0
    fx = np.linspace(0, 1, la.shape[1])
    la *= (smoothstep(0.0, 0.15, fx) * smoothstep(1.0, 0.82, fx))[None, :, None]
    ox, oy = 28, (h - la.shape[0]) // 2 + 4
    rgb_p = np.zeros((h, w, 3))
    a_p = np.zeros((h, w))
    rgb_p[oy:oy + la.shape[0], ox:ox + la.shape[1]] = la[..., :3]
    a_p[oy:oy + la.shape[0], ox:ox + la.shape[1]] = la[..., 3]
    L.rgb, L.a = rgb_p, a_p
    # the word: silver on top warming to gold below, lit from the lantern side
    font = font_fit(SPARTAN_BOLD, "MORVELLA", 640)
    cy = h * 0.47
    word = text_mask(w, h, "MORVELLA", font, 300 + 338, cy, spacing=10)
    rows = np.where(word.max(axis=1) > 0.5)[0]
    t0, t1 = rows.min(), rows.max()
    v = np.clip((y - t0) / (t1 - t0), 0, 1)
    silver = np.array([0.93, 0.94, 0.97])
    gold = np.array([0.96, 0.78, 0.45])
    col = silver + (gold - silver) * smoothstep(0.35, 1.0, v)[..., None]
    col = col * (1 - 0.12 * smoothstep(0.45, 0.55, v)[..., None]) \
        + 0.12 * smoothstep(0.45, 0.55, v)[..., None] * gold  # the horizon line of chrome
    warm = smoothstep(700, 300, x)[..., None]
    col = col + (np.array([1.0, 0.86, 0.62]) - col) * warm * 0.35
    # thin outline a shade darker, as a bevel
    edge = np.clip(word - np.clip(gauss(word, 1.2) - 0.35, 0, 1) * 1.6, 0, 1)
    col = col * (1 - 0.25 * edge[..., None])
    L.over(col, word)
    # a rule under the word with a gleam in the middle, a small line above
    rule = np.zeros((h, w))
    ry = t1 + 26
    rule[int(ry):int(ry) + 3, 330:w - 40] = 1.0
    fade = smoothstep(330, 420, x) * smoothstep(w - 40, w - 130, x)
    rule *= fade
    L.over(np.array([0.95, 0.80, 0.52]), rule * 0.85)
    sub_font = ImageFont.truetype(SPARTAN_LIGHT, 30)
    sub = text_mask(w, h, "DEMO GROUP", sub_font, 638, ry + 32, spacing=12)
    L.over(np.array([0.88, 0.86, 0.84]), sub * 0.9)
    # soft glow behind everything
    lit = np.clip(word + rule + sub, 0, 1)
    L.under(np.array([1.0, 0.80, 0.52]), np.clip(gauss(lit, 10) * 0.35 + gauss(lit, 30) * 0.25,
                                                  0, 0.6))
    return straight(L)


def make_nightjar():
    w, h = 1024, 512
    L = loading_images.Layers(w, h)
    y, x = np.mgrid[0:h, 0:w].astype(np.float64) + 0.5
    # a crescent moon behind the bird
    mcx, mcy, mr = 512.0, 170.0, 120.0
    disk = np.clip(mr - np.hypot(x - mcx, y - mcy) + 0.5, 0, 1)
    bite = np.clip(mr * 0.93 - np.hypot(x - mcx - 52, y - mcy + 30) + 0.5, 0, 1)
    moon = np.clip(disk - bite, 0, 1)
    ring = np.clip(1.5 - np.abs(np.hypot(x - mcx, y - mcy) - mr - 16), 0, 1) * 0.35
    moon_col = np.dstack([0.70 + 0.25 * (1 - (y - 50) / 240), 0.90 + 0.0 * x,
                          np.ones_like(x)]).clip(0, 1)
    # the bird: long pointed wings swept back, long tail, small head
    m = Mask(w, h, ss=4)
    bx, by = 512.0, 190.0

    def wing(sign):
        lead = [(14, -16), (55, -44), (105, -60), (160, -58), (215, -44), (262, -20),
                (302, 12)]
        # the trailing edge, tapering in to the body, scalloped by the feathers
        back = [(302, 12), (268, 2), (230, -4), (195, 2), (150, 14), (105, 24), (60, 30),
                (18, 26)]
        trail = []
        for (x0, y0), (x1, y1) in zip(back[:-1], back[1:]):
            for k in range(1, 5):
                t = k / 4
                trail.append((x0 + (x1 - x0) * t,
                              y0 + (y1 - y0) * t + 3.0 * np.sin(np.pi * t) ** 2))
        pts = lead + trail
        m.poly([(bx + sign * px_, by + py_) for px_, py_ in pts])

    wing(-1)
    wing(1)
    m.d.ellipse(m.p([(bx - 19, by - 30), (bx + 19, by + 44)]), fill=255)  # body
    m.d.ellipse(m.p([(bx - 13, by - 52), (bx + 13, by - 22)]), fill=255)  # head
    m.poly([(bx - 15, by + 28), (bx - 34, by + 128), (bx - 12, by + 120), (bx, by + 128),
            (bx + 12, by + 120), (bx + 34, by + 128), (bx + 15, by + 28)])  # tail
    bird = m.array()
    # the white bars across the primaries and the white tail corners
    m2 = Mask(w, h, ss=4)
    for sign in (-1, 1):
        m2.poly([(bx + sign * 196, by - 52), (bx + sign * 212, by - 46),
                 (bx + sign * 204, by + 10), (bx + sign * 188, by + 8)])
        m2.poly([(bx + sign * 22, by + 112), (bx + sign * 36, by + 112),
                 (bx + sign * 36, by + 130), (bx + sign * 18, by + 130)])
    bars = m2.array() * bird
    L.under(np.array([0.55, 0.85, 1.0]),
            np.clip(gauss(moon, 18) * 0.45, 0, 0.5))
    L.over(moon_col, moon * 0.95)
    L.over(np.array([0.6, 0.85, 1.0]), ring)
    # bird in deep teal-navy with an ice rim so it reads on a black sky
    rim = np.clip(bird - gauss(bird, 2.5), 0, 1) * 3.0
    bird_col = np.array([0.14, 0.27, 0.40]) + np.clip(rim, 0, 1)[..., None] * np.array(
        [0.55, 0.85, 1.0])
    L.over(bird_col, bird)
    L.over(np.array([0.85, 0.97, 1.0]), bars)
    # the word in a rounded face, widely spaced, ice to teal
    font = font_fit(COMFORTAA_BOLD, "NIGHTJAR", 660)
    word = text_mask(w, h, "NIGHTJAR", font, 512, 390, spacing=22)
    rows = np.where(word.max(axis=1) > 0.5)[0]
    v = np.clip((y - rows.min()) / (rows.max() - rows.min()), 0, 1)[..., None]
    col = np.array([0.86, 0.97, 1.0]) + (np.array([0.30, 0.78, 0.88])
                                         - np.array([0.86, 0.97, 1.0])) * v
    L.over(col, word)
    # thin lines either side of a small tag
    tag_font = ImageFont.truetype(DEJAVU_COND, 22)
    tag = text_mask(w, h, "· DEMOSCENE ·", tag_font, 512, 468, spacing=6)
    lines = np.zeros((h, w))
    lines[467:469, 250:410] = 1
    lines[467:469, 614:774] = 1
    lines *= smoothstep(250, 330, x) * smoothstep(774, 694, x)
    L.over(np.array([0.55, 0.85, 0.95]), np.clip(tag + lines, 0, 1) * 0.9)
    lit = np.clip(word + moon * 0.5, 0, 1)
    L.under(np.array([0.35, 0.75, 1.0]), np.clip(gauss(lit, 14) * 0.35, 0, 0.45))
    return straight(L)


def make_sandpit():
    w, h = 1024, 512
    L = loading_images.Layers(w, h)
    y, x = np.mgrid[0:h, 0:w].astype(np.float64) + 0.5
    # emblem: a sun setting behind dunes, inside a circle, "10" over it
    cx, cy, r = 232.0, 256.0, 200.0
    dist = np.hypot(x - cx, y - cy)
    disc = np.clip(r - dist + 0.5, 0, 1)
    ring = np.clip(3.5 - np.abs(dist - r - 12), 0, 1)
    # sky of the emblem: deep red at the top to orange
    v = np.clip((y - (cy - r)) / (2 * r), 0, 1)
    sky = np.dstack([0.75 + 0.25 * v, 0.20 + 0.40 * v, 0.12 + 0.08 * v])
    sun_d = np.hypot(x - cx, y - (cy + 20))
    sun = np.clip(120 - sun_d + 0.5, 0, 1)
    slits = ((np.floor((y - (cy - 40)) / 14) % 2 == 1) & (y > cy - 40)).astype(np.float64)
    slit_w = smoothstep(cy - 40, cy + 100, y)
    sun_cut = sun * (1 - slits * smoothstep(0.0, 1.0, slit_w * 1.6))
    L.over(sky, disc)
    L.over(np.dstack([np.ones_like(x), 0.86 - 0.3 * v, 0.35 - 0.2 * v]), sun_cut * disc)
    # dunes: three wavy bands, lighter behind, each with a bright crest
    for k, (base, amp, ph, col) in enumerate((
            (cy + 70, 22, 0.0, (0.95, 0.62, 0.30)),
            (cy + 115, 26, 1.7, (0.86, 0.48, 0.22)),
            (cy + 165, 20, 3.1, (0.66, 0.30, 0.14)))):
        crest = base - amp * np.sin((x - cx) / 70.0 + ph) - 0.3 * (x - cx) * (0.2 if k == 1 else -0.15)
        dune = smoothstep(-0.8, 0.8, y - crest) * disc
        shade = np.clip((y - crest) / 60.0, 0, 1)
        c = np.array(col)[None, None, :] * (1 - 0.25 * shade[..., None])
        hl = smoothstep(4.0, 0.0, y - crest)[..., None] * 0.25
        L.over(np.clip(c + hl, 0, 1), dune)
    L.over(np.array([1.0, 0.80, 0.42]), ring)
    # big "10" across the emblem, cream with a dark cut edge
    font10 = font_fit(SPARTAN_BLACK, "10", 250, 230)
    ten = text_mask(w, h, "10", font10, cx, cy - 20, spacing=4)
    shadow = np.roll(np.roll(ten, 8, axis=0), 6, axis=1)
    L.over(np.array([0.35, 0.10, 0.05]), shadow * 0.8 * disc)
    L.over(np.array([1.0, 0.95, 0.82]), ten)
    # the name to the right
    font = font_fit(SPARTAN_BLACK, "SANDPIT", 460)
    word = text_mask(w, h, "SANDPIT", font, 765, 222, spacing=6)
    rows = np.where(word.max(axis=1) > 0.5)[0]
    vv = np.clip((y - rows.min()) / (rows.max() - rows.min()), 0, 1)[..., None]
    col = np.array([1.0, 0.90, 0.55]) + (np.array([0.95, 0.45, 0.16])
                                         - np.array([1.0, 0.90, 0.55])) * vv
    # a dune line running through the lower letters
    wave = rows.min() + (rows.max() - rows.min()) * 0.62 + 6 * np.sin(x / 38.0)
    col = np.where((y > wave)[..., None], col * 0.88, col)
    L.over(col, word)
    sub_font = ImageFont.truetype(SPARTAN_BOLD, 50)
    sub = text_mask(w, h, "TEN", sub_font, 765, 318, spacing=30)
    lines = np.zeros((h, w))
    lines[316:320, 545:675] = 1
    lines[316:320, 855:985] = 1
    lines *= smoothstep(545, 600, x) * smoothstep(985, 930, x)
    L.over(np.array([1.0, 0.72, 0.36]), np.clip(sub + lines, 0, 1))
    small_font = ImageFont.truetype(SPARTAN_LIGHT, 26)
    small = text_mask(w, h, "DEMOPARTY", small_font, 765, 376, spacing=14)
    L.over(np.array([0.98, 0.86, 0.66]), small * 0.9)
    lit = np.clip(word + ring + disc * 0.3, 0, 1)
    L.under(np.array([1.0, 0.55, 0.2]), np.clip(gauss(lit, 16) * 0.35, 0, 0.45))
    return straight(L)


# ---------------------------------------------------------------------------
# Preview
# ---------------------------------------------------------------------------

LAYERS = (  # file, x(beat) = x0 + dx * beat, y, h, grey of the scene's tint
    ("single-tree-01.png", 0.6, -0.0021, 0.1, 0.5, 0.16),
    ("tree-with-low-horizon.png", 0.7, -0.0019, 0.2, 0.5, 0.14),
    ("pine-tree-with-low-horizon.png", 0.9, -0.00175, 0.3, 0.5, 0.12),
    ("horizon-heights.png", 0.0, -0.0015, 0.25, 0.5, 0.08),
    ("mid-layer.png", 0.0, -0.001, -0.5, 1.5, 0.04),
    ("mid-layer-alt.png", 0.0, -0.0001, -0.3, 1.5, 0.0),
)


def _blit(canvas, img, x, y, w, h, mode, colour):
    """Draw img (float RGBA) into canvas (screen rows top first) over the
    picture-unit rectangle (x, y, w, h), origin bottom left."""
    H, W = canvas.shape[:2]
    x0, x1 = int(round(x * W)), int(round((x + w) * W))
    top, bot = int(round((1 - y - h) * H)), int(round((1 - y) * H))
    if x1 <= x0 or bot <= top:
        return
    pil = Image.fromarray(np.round(img * 255).astype(np.uint8), "RGBA")
    tex = np.asarray(pil.resize((x1 - x0, bot - top), Image.BILINEAR), np.float64) / 255.0
    cx0, cx1 = max(0, x0), min(W, x1)
    cy0, cy1 = max(0, top), min(H, bot)
    if cx1 <= cx0 or cy1 <= cy0:
        return
    t = tex[cy0 - top:cy1 - top, cx0 - x0:cx1 - x0]
    col = t[..., :3] * np.asarray(colour[:3])
    a = t[..., 3:4] * colour[3]
    dst = canvas[cy0:cy1, cx0:cx1]
    if mode == "alpha":
        canvas[cy0:cy1, cx0:cx1] = col * a + dst * (1 - a)
    else:
        canvas[cy0:cy1, cx0:cx1] = dst + col * a


def compose(root, beat, flash=None, flash_a=0.0, logo=None, green=0.0, W=960, H=540):
    load = lambda p: np.asarray(Image.open(os.path.join(root, p)).convert("RGBA"),
                                np.float64) / 255.0
    # stand-in for the sky dome's storm clouds: a faint cold glow
    yy = np.linspace(1, 0, H)[:, None, None]
    c = np.broadcast_to(np.array([0.03, 0.035, 0.05]) * (0.4 + 0.6 * yy), (H, W, 3)).copy()
    if flash is not None:
        ph = load(os.path.join(CREDITS, "lightning", flash))
        _blit(c, ph, 0, 0, 1, 1, "add", (1, 1, 1, flash_a))
    for name, x0, dx, y, h, grey in LAYERS:
        img = load(os.path.join(CREDITS, name))
        wdt = h * img.shape[1] / img.shape[0] / SCREEN_ASPECT
        tint = (grey, max(grey, green), grey, 1)
        _blit(c, img, x0 + dx * beat, y, wdt, h, "alpha", tint)
    rain = load(os.path.join(CREDITS, "rain.png"))
    off = (beat * 0.37) % 1.0
    for reps in (5, 8, 15):
        tile = 1.0 / reps
        for i in range(-1, reps + 1):
            for j in range(-1, reps + 1):
                _blit(c, rain, i * tile + off * 0.2 * tile, j * tile - off * tile, tile, tile,
                      "add", (0.6, 1, 1, 0.5 if reps == 5 else 0.35))
    if logo:
        img = load(logo)
        wdt = 0.5 * img.shape[1] / img.shape[0] / SCREEN_ASPECT
        _blit(c, img, 0.5 - wdt / 2, 0.25, wdt, 0.5, "alpha", (1, 1, 1, 1))
    return Image.fromarray(np.round(np.clip(c, 0, 1) * 255).astype(np.uint8), "RGB")


def preview(root, out):
    os.makedirs(out, exist_ok=True)
    frames = [
        compose(root, 0, logo=MORVELLA_PATH),
        compose(root, 100, logo=PARTNER_PATH),
        compose(root, 40, flash=LIGHTNING_NAMES[0], flash_a=1.0, logo=SANDPIT_PATH),
        compose(root, 110, flash=LIGHTNING_NAMES[3], flash_a=0.7, green=0.3),
    ]
    W, H = frames[0].size
    sheet = Image.new("RGB", (W * 2 + 10, H * 2 + 10), (60, 60, 60))
    for i, f in enumerate(frames):
        sheet.paste(f, ((i % 2) * (W + 10), (i // 2) * (H + 10)))
        f.save(os.path.join(out, "frame%d.png" % i))
    sheet.save(os.path.join(out, "scene.png"))
    shots = [Image.open(os.path.join(root, CREDITS, "lightning", n)) for n in LIGHTNING_NAMES]
    sheet = Image.new("RGB", (512 * 2 + 10, 288 * 3 + 20), (60, 60, 60))
    for i, s in enumerate(shots):
        sheet.paste(s.resize((512, 288), Image.BOX), ((i % 2) * 522, (i // 2) * 298))
    sheet.save(os.path.join(out, "lightning.png"))
    # logos on grey so the alpha shows
    logos = [Image.open(os.path.join(root, p)) for p in (MORVELLA_PATH, PARTNER_PATH,
                                                          SANDPIT_PATH)]
    sheet = Image.new("RGB", (1024, sum(l.height // 2 + 10 for l in logos)), (20, 22, 28))
    yy = 0
    for l in logos:
        half = l.resize((l.width // 2, l.height // 2), Image.BOX)
        sheet.paste(half, (0, yy), half)
        sheet.paste(half, (512, yy), half)
        yy += half.height + 10
    sheet.save(os.path.join(out, "logos.png"))
    print("preview written to", out)


# ---------------------------------------------------------------------------

LAYERS = (("single-tree-01.png", make_single_tree, (512, 512)),
          ("tree-with-low-horizon.png", make_tree_horizon, (1280, 512)),
          ("pine-tree-with-low-horizon.png", make_pine_horizon, (1024, 512)),
          ("horizon-heights.png", make_heights, (2048, 480)),
          ("mid-layer.png", make_mid_layer, (1536, 1024)),
          ("mid-layer-alt.png", make_foreground, (1408, 1024)))
LOGOS = ((MORVELLA_PATH, make_morvella, (1024, 384)), (PARTNER_PATH, make_nightjar, (1024, 512)),
         (SANDPIT_PATH, make_sandpit, (1024, 512)))
# Every output, relative to the root: (path, mode, size).
OUTPUTS = ([(f"{CREDITS}/{name}", "RGBA", size) for name, _make, size in LAYERS]
           + [(f"{CREDITS}/rain.png", "RGBA", (256, 256)), (f"{CREDITS}/white.png", "RGBA", (16, 16))]
           + [(f"{CREDITS}/lightning/{name}", "RGB", (1024, 576)) for name in LIGHTNING_NAMES]
           + [(path, "RGBA", size) for path, _make, size in LOGOS])


def options(parser):
    parser.add_argument("--only", choices=("layers", "rain", "lightning", "logos"), action="append",
                        help="make only these (repeatable)")
    parser.add_argument("--preview", help="compose contact sheets of the written files here")


def generate(root, args):
    todo = args.only or ["layers", "rain", "lightning", "logos"]
    c = os.path.join(root, CREDITS)
    if "layers" in todo:
        for name, make, _size in LAYERS:
            write(os.path.join(c, name), png_bytes(make()))
    if "rain" in todo:
        write(os.path.join(c, "rain.png"), png_bytes(make_rain()))
        write(os.path.join(c, "white.png"), png_bytes(make_white()))
    if "lightning" in todo:
        for name, img in zip(LIGHTNING_NAMES, make_lightning()):
            write(os.path.join(c, "lightning", name), jpeg_bytes(img, 88))
    if "logos" in todo:
        for path, make, _size in LOGOS:
            write(os.path.join(root, path), png_bytes(make()))
    if args.preview:
        preview(root, args.preview)


def check(root, args=None):
    """Sizes and modes; straight alpha with coloured transparent texels; the
    white square white; the rain seamless."""
    errs = []
    for path, mode, size in OUTPUTS:
        try:
            img = Image.open(os.path.join(root, path))
        except OSError as error:
            errs.append(f"{path}: {error}")
            continue
        if img.mode != mode or img.size != size:
            errs.append(f"{path}: {img.mode} {img.size}, {mode} {size} expected")
            continue
        a = np.asarray(img).astype(int)
        if mode == "RGBA":
            black = int(((a[..., 3] == 0) & (a[..., :3].max(axis=2) < 8)).sum())
            if black:
                errs.append(f"{path}: {black} transparent texels are black (mipmaps would darken the edges)")
        if path.endswith("/white.png") and a.min() != 255:
            errs.append(f"{path}: not opaque white")
        if path.endswith("/rain.png") and seam_ratio(a) > 2.0:
            errs.append(f"{path}: does not tile")
    return errs


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "credits pictures", ".", check, generate, [path for path, *_rest in OUTPUTS],
                            inputs=[SPARTAN_BOLD, SPARTAN_BLACK, SPARTAN_LIGHT, COMFORTAA_BOLD, DEJAVU_COND],
                            options=options))
