#!/usr/bin/python3
"""Tin Lantern toy-train scene: the wooden train on its toy track (steel rails
on stained wooden sleepers), and the plywood floor it stands on.

Outputs, under <root>/data:

    train/train.dae                 the model (Z up, 1 unit = 1 cm)
    train/beech.png                 tileable natural beech, 256 x 256, for the
                                    sleepers and the trains' chassis
    train/PlywoodNew0030_1_S.jpg    tileable birch plywood, 1024 x 1024

The model's conventions, which the scene code relies on:

    RailStraight          one straight piece: x -2..2, y 0..7, z -1..0: two
                          steel rails, their heads 0.28 wide centred at
                          x = +-1.1 with their tops at z = 0, running the
                          whole piece, on five sleepers 4 long (z -1 to
                          -0.55), 1.4 apart and open between; a steel tie
                          plate under each rail on each sleeper
    RailStraight_001..007 the same piece again at y = 7, 14, ... 49; every rail
                          node is a leaf with its own geometry
    Body                  the whole train: origin at the tip of the front
                          buffers on rail level, the train behind it towards
                          +y (it runs towards -y), wheels centred on the
                          rail heads with their bottoms on z = 0
    Body/.../Wheels_N     one node per axle, its origin on the axle, so the
                          scene can turn the wheels about x
    Camera, KeyLight, FillLight

    /usr/bin/python3 tools/assets/train_assets.py --root .
    /usr/bin/python3 tools/assets/train_assets.py --root . --check

--check reads the written files back (the model through pycollada) and
verifies the conventions above (the track probed from above: rail heads,
tie plates, sleepers and the gaps between them), the triangle budget, the
meshes' winding, that the textures tile without seams and that a second
generation gives the same bytes.

Deterministic: fixed seeds, the writer's fixed COLLADA dates, no time stamps
or text chunks in the pictures.
"""

import math
import os
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import collada_writer  # noqa: E402
import generator  # noqa: E402
import imagekit  # noqa: E402
from generator import write  # noqa: E402,F401
import model_parts  # noqa: E402
import modelkit as mk  # noqa: E402

# The names the scene finds the parts by (src/scenes/model_parts.def): the
# train's body and the rails, the first falling and the others fixed.
_PARTS = model_parts.read()["Train"]
BODY = _PARTS["Body"]
RAILS = [_PARTS["Rail"]] + [_PARTS[f"FixedRail{k}"] for k in range(1, 8)]

TRAIN_DIR = "data/train"
MODEL_NAME = "train.dae"
BEECH_NAME = "beech.png"
PLYWOOD_NAME = "PlywoodNew0030_1_S.jpg"

RAIL_LENGTH = 7.0
RAIL_COUNT = 8
RAIL_X = 1.1            # the rails' centres, where the wheels run
WHEEL_RADIUS = 0.8
WHEEL_WIDTH = 0.4
TRIANGLE_BUDGET = 15000
LOCO_END = 9.7

# (x, z) outline extruded along local z -> (x, y, z) with the extrusion along
# +y. It swaps two axes, a mirror; Mesh.transformed turns the winding back.
XZ_TO_XY = np.array([[1.0, 0, 0, 0], [0, 0, 1, 0], [0, 1, 0, 0], [0, 0, 0, 1]])


# ---------------------------------------------------------------------------
# Textures
# ---------------------------------------------------------------------------

def periodic_blur(a, sigma_x, sigma_y):
    """Gaussian blur that wraps around the tile's edges."""
    n = a.shape[0]
    fx = np.fft.fftfreq(n)[None, :]
    fy = np.fft.fftfreq(n)[:, None]
    g = np.exp(-2 * np.pi ** 2 * ((fx * sigma_x) ** 2 + (fy * sigma_y) ** 2))
    return np.real(np.fft.ifft2(np.fft.fft2(a) * g))


def grain_lines(rng, n, count, warp, width, patch=7.0):
    """Soft, long lines along x, about count of them across the tile. The
    phase is count * y / n plus a periodic warp, so with count whole the
    stripes meet themselves across both edges."""
    y = np.arange(n)[:, None] / n
    wander = imagekit.spectral_noise(rng, n, 2.2, low_cut=3.0, stretch=5.0)
    phase = count * y + warp * wander
    lines = (0.5 + 0.5 * np.cos(2 * np.pi * phase)) ** width
    # The lines come and go along their length, as grain does, in patches
    # of about 1/patch of the tile: many of them, so none stands out.
    strength = 0.65 + 0.35 * np.tanh(imagekit.spectral_noise(rng, n, 1.6, low_cut=patch, stretch=4.0))
    return lines * strength


def tint(base, shade, darker):
    """base colour (3,) lit by shade (n, n) around 0; darker channels drop
    more, so darker wood is also a little warmer."""
    rgb = np.asarray(base, dtype=np.float64)[None, None, :] / 255.0
    k = np.asarray(darker, dtype=np.float64)[None, None, :]
    out = rgb * (1.0 + shade[..., None] * k)
    return Image.fromarray(np.round(np.clip(out, 0, 1) * 255).astype(np.uint8), "RGB")


def make_plywood(n=1024):
    """Rotary-cut birch face veneer, grain along x. It is repeated fifty
    times over the floor, so everything stays low in contrast and nothing
    large stands out: a blotch at tile scale would show as a grid. The
    floor's lights (four ambient parts and the scene's own) brighten it by
    about 1.4 on screen, so the file holds a darker, warmer tone than the
    pale birch it shows as."""
    rng = np.random.default_rng(3001)
    figure = imagekit.spectral_noise(rng, n, 1.4, low_cut=8.0, stretch=5.0)    # broad streaks
    fibre = imagekit.spectral_noise(rng, n, 0.7, low_cut=24.0, stretch=16.0)   # fine fibres
    drift = imagekit.spectral_noise(rng, n, 2.5, low_cut=6.0)                  # slow tone drift
    lines = grain_lines(rng, n, 45, warp=1.2, width=6.0, patch=8.0)
    fine = grain_lines(rng, n, 131, warp=3.0, width=4.0, patch=12.0)
    shade = (0.015 * figure + 0.012 * fibre + 0.006 * drift
             - 0.06 * lines - 0.028 * fine)
    return tint((163, 136, 104), shade, (0.9, 1.05, 1.35))


def make_beech(n=256):
    """Natural beech for the track and the chassis: fine straight grain
    along v (the image's columns) and the small dark ray flecks beech has."""
    rng = np.random.default_rng(3002)
    figure = imagekit.spectral_noise(rng, n, 1.3, low_cut=3.0, stretch=6.0)
    fibre = imagekit.spectral_noise(rng, n, 0.8, low_cut=12.0, stretch=10.0)
    lines = grain_lines(rng, n, 23, warp=0.8, width=5.0)
    # Flecks: sparse impulses smeared along the grain with a wrapping blur.
    spots = (rng.random((n, n)) < 0.0035).astype(np.float64)
    flecks = periodic_blur(spots, 2.6, 0.7)
    flecks /= flecks.max()
    shade = 0.035 * figure + 0.02 * fibre - 0.10 * lines - 0.22 * flecks
    img = tint((226, 188, 140), shade, (0.85, 1.0, 1.3))
    return img.transpose(Image.Transpose.TRANSPOSE)  # grain along the columns


# ---------------------------------------------------------------------------
# Materials
# ---------------------------------------------------------------------------

def paint(name, rgb, shininess=32.0):
    """Lacquered toy paint: a soft, fairly broad highlight."""
    return mk.Material(name, diffuse=rgb, specular=(0.35, 0.35, 0.35), shininess=shininess)


BEECH = mk.Material("Beech", texture=BEECH_NAME, specular=(0.12, 0.11, 0.1), shininess=12)
# The track: bright steel rails with a tight highlight, dark steel tie
# plates, and sleepers of the same beech stained a walnut brown (a textured
# material takes twice its ambient as its diffuse), so that the track reads
# against the pale floor and, falling, against the sky.
STEEL = mk.Material("RailSteel", diffuse=(0.62, 0.63, 0.66), ambient=(0.2, 0.2, 0.21),
                    specular=(0.9, 0.9, 0.92), shininess=70)
PLATE = mk.Material("TiePlate", diffuse=(0.2, 0.2, 0.22), specular=(0.35, 0.35, 0.38), shininess=40)
SLEEPER = mk.Material("StainedBeech", texture=BEECH_NAME, ambient=(0.2, 0.15, 0.11),
                      specular=(0.1, 0.09, 0.08), shininess=14)
RED = paint("PaintRed", (0.80, 0.09, 0.07))
GREEN = paint("PaintGreen", (0.10, 0.52, 0.24))
BLUE = paint("PaintBlue", (0.10, 0.30, 0.78))
YELLOW = paint("PaintYellow", (0.98, 0.76, 0.10))
BLACK = paint("PaintBlack", (0.06, 0.06, 0.065), shininess=40)
WINDOW = mk.Material("WindowDark", diffuse=(0.05, 0.07, 0.10), specular=(0.5, 0.5, 0.55),
                     shininess=60)
COAL = mk.Material("Coal", diffuse=(0.09, 0.09, 0.09), specular=(0.25, 0.25, 0.25),
                   shininess=50)


# ---------------------------------------------------------------------------
# Shape helpers
# ---------------------------------------------------------------------------

def slab(x0, y0, x1, y1, z0, z1, r, material, grain_along=False):
    """A block with rounded vertical edges. grain_along turns the texture so
    the grain runs around the sides (along the block) instead of up them."""
    m = mk.extrude(mk.rounded_rect(x0, y0, x1, y1, r), z1 - z0, material).translated(0, 0, z0)
    if grain_along:
        m = mk.Mesh(m.positions, m.normals, m.uvs[:, ::-1], m.faces, m.material)
    return m


def prism_y(outline_xz, y0, y1, material, smooth_angle=mk.DEFAULT_SMOOTH_ANGLE):
    """A cross-section drawn in (x, z), run along y from y0 to y1."""
    m = mk.extrude(outline_xz, y1 - y0, material, smooth_angle=smooth_angle)
    return m.transformed(mk.translation(0, y0, 0) @ XZ_TO_XY)


def rod_y(r, y0, y1, x, z, material, segments=16):
    """A cylinder along +y from y0 to y1 through (x, z)."""
    return mk.cylinder(r, y1 - y0, segments, material).transformed(
        mk.translation(x, y0, z) @ mk.rotation(1, 0, 0, -90))


def rod_x(r, x0, x1, y, z, material, segments=16):
    """A cylinder along +x from x0 to x1 through (y, z)."""
    return mk.cylinder(r, x1 - x0, segments, material).transformed(
        mk.translation(x0, y, z) @ mk.rotation(0, 1, 0, 90))


# ---------------------------------------------------------------------------
# Track
# ---------------------------------------------------------------------------

# A toy track's proportions: the gauge (2.2 between the rails' centres) a
# little over half the sleepers' length, rails a quarter of the gauge tall,
# five sleepers to a piece, each two thirds as wide as the gaps between them.
SLEEPERS = 5
SLEEPER_WIDTH = 0.56
SLEEPER_TOP = -0.55
PLATE_TOP = -0.52
HEAD_HALF = 0.14


def rail_section(xc):
    """A flat-bottomed rail's cross-section in (x, z), counter-clockwise,
    centred on x = xc: a foot on the tie plates, a thin web and a head with
    eased top corners, its top at z = 0."""
    right = [(0.2, PLATE_TOP), (0.2, PLATE_TOP + 0.05), (0.06, PLATE_TOP + 0.1), (0.06, -0.22),
             (HEAD_HALF, -0.18), (HEAD_HALF, -0.04), (HEAD_HALF - 0.04, 0.0)]
    left = [(-x, z) for x, z in reversed(right)]
    return [(xc + x, z) for x, z in [(-0.2, PLATE_TOP)] + right + left[:-1]]


def rail_meshes():
    """One straight piece, y from 0 to RAIL_LENGTH: the rails run its whole
    length and the sleepers sit half a gap in from its ends, so pieces in a
    row make one even track."""
    rails = [prism_y(rail_section(side * RAIL_X), 0.0, RAIL_LENGTH, STEEL, smooth_angle=30)
             for side in (-1, 1)]
    pitch = RAIL_LENGTH / SLEEPERS
    sleepers, plates = [], []
    for k in range(SLEEPERS):
        y = (k + 0.5) * pitch
        h = SLEEPER_WIDTH / 2
        sleepers.append(slab(-2.0, y - h, 2.0, y + h, -1.0, SLEEPER_TOP, 0.12, SLEEPER))
        for side in (-1, 1):
            x = side * RAIL_X
            plates.append(mk.box_at(x - 0.3, x + 0.3, y - h + 0.06, y + h - 0.06, SLEEPER_TOP, PLATE_TOP,
                                 PLATE))
    return [mk.merge(rails), mk.merge(sleepers), mk.merge(plates)]


# ---------------------------------------------------------------------------
# Train
# ---------------------------------------------------------------------------

def wheel_set(name, y, segments=16):
    """Two black wheels with red hubs on a beech axle; the node's origin is
    on the axle, wheel bottoms on z = 0."""
    w, r = WHEEL_WIDTH, WHEEL_RADIUS
    prof = [(0, 0), (r - 0.1, 0), (r, 0.08), (r, w - 0.08), (r - 0.1, w), (0, w)]
    wheel = mk.lathe(prof, segments, BLACK).transformed(
        mk.rotation(0, 1, 0, 90) @ mk.translation(0, 0, -w / 2))
    hub = mk.cylinder(0.34, 0.08, 12, RED).transformed(mk.rotation(0, 1, 0, 90))
    cap = mk.cylinder(0.13, 0.06, 8, BEECH).transformed(mk.rotation(0, 1, 0, 90))
    parts = [rod_x(0.11, -RAIL_X, RAIL_X, 0, 0, BEECH, 8)]
    for side in (1, -1):
        flip = mk.scaling(side, 1, 1)
        x = side * RAIL_X
        parts.append(wheel.transformed(mk.translation(x, 0, 0)))
        parts.append(hub.transformed(flip @ mk.translation(RAIL_X + w / 2, 0, 0)))
        parts.append(cap.transformed(flip @ mk.translation(RAIL_X + w / 2 + 0.08, 0, 0)))
    return mk.Node(name, meshes=parts, translate=(0, y, WHEEL_RADIUS))


def chassis(y0, y1):
    """The beech base every car stands on: a narrow block between the wheels
    and a wide deck above them."""
    return [slab(-0.72, y0 + 0.3, 0.72, y1 - 0.3, 0.3, 1.5, 0.2, BEECH, True),
            slab(-1.75, y0, 1.75, y1, 1.5, 1.95, 0.2, BEECH, True)]


CAR_GAP = 1.0     # between one car's deck and the next one's
COUPLER_Z = 1.15


def coupling_rear(y1):
    """A dowel from the car's back end to a red magnet disc halfway to the
    next car, where it meets that car's front disc, as on the real toys."""
    m = y1 + CAR_GAP / 2
    return [rod_y(0.12, y1 - 0.3, m - 0.15, 0, COUPLER_Z, BEECH, 10),
            rod_y(0.3, m - 0.15, m, 0, COUPLER_Z, RED, 16)]


def coupling_front(y0):
    m = y0 - CAR_GAP / 2
    return [rod_y(0.3, m, m + 0.15, 0, COUPLER_Z, RED, 16),
            rod_y(0.12, m + 0.15, y0 + 0.3, 0, COUPLER_Z, BEECH, 10)]


def roof(y0, y1, half_width, z0, rise, thickness, material):
    """A gently curved roof: an arc section run along the car."""
    # The arc through (+-half_width, z0) and (0, z0 + rise).
    R = (half_width ** 2 + rise ** 2) / (2 * rise)
    a = math.degrees(math.asin(half_width / R))
    top = mk.arc(0.0, z0 + rise - R, R, 90 - a, 90 + a, 8)
    bottom = [(x, z - thickness) for x, z in reversed(top)]
    return prism_y(top + bottom, y0, y1, material)


def locomotive():
    """Front buffers at y = 0, the cab at the back end, LOCO_END."""
    m = []
    boiler_z, boiler_r = 2.9, 1.15
    m += chassis(0.7, LOCO_END)
    # Buffer beam with two sprung buffers: black stems, yellow heads.
    m.append(slab(-1.85, 0.5, 1.85, 0.95, 0.85, 1.8, 0.12, RED))
    for x in (-1.15, 1.15):
        m.append(rod_y(0.15, 0.1, 0.55, x, 1.3, BLACK, 12))
        m.append(mk.lathe([(0, 0), (0.32, 0), (0.34, 0.04), (0.34, 0.1), (0.3, 0.14), (0, 0.14)],
                          16, YELLOW).transformed(
            mk.translation(x, 0.0, 1.3) @ mk.rotation(1, 0, 0, -90)))
    # Boiler: red, a black smokebox in front, yellow bands.
    m.append(rod_y(boiler_r, 2.2, 6.3, 0, boiler_z, RED, 24))
    m.append(rod_y(boiler_r + 0.03, 1.0, 2.2, 0, boiler_z, BLACK, 24))
    m.append(rod_y(0.95, 0.9, 1.0, 0, boiler_z, BLACK, 24))
    m.append(rod_y(0.22, 0.78, 0.9, 0, boiler_z + 0.35, YELLOW, 14))     # lamp
    for y in (2.15, 3.7, 5.6):
        m.append(rod_y(boiler_r + 0.05, y, y + 0.16, 0, boiler_z, YELLOW, 24))
    # Chimney with a flared top and a dark mouth, on the smokebox.
    top = boiler_z + boiler_r
    m.append(mk.lathe([(0, 0), (0.38, 0), (0.34, 0.8), (0.42, 1.05), (0.6, 1.3), (0.6, 1.42),
                       (0.42, 1.42), (0.42, 1.2), (0, 1.2)], 16, BLACK)
             .translated(0, 1.6, top - 0.25))
    # Steam dome.
    dome = [(0, 0), (0.5, 0)] + mk.arc(0.0, 0.32, 0.5, 0, 90, 5)[:-1] + [(0, 0.82)]
    m.append(mk.lathe(dome, 16, YELLOW).translated(0, 4.55, top - 0.2))
    # Cab: green box, dark windows, yellow roof.
    cy0, cy1, cz0, cz1 = 6.2, LOCO_END, 1.95, 5.0
    m.append(slab(-1.7, cy0, 1.7, cy1, cz0, cz1, 0.25, GREEN))
    for side in (1, -1):
        x = side * 1.7
        m.append(mk.box_at(x - 0.03, x + 0.03, 6.75, 9.15, 3.25, 4.55, WINDOW))
        m.append(rod_y(0.32, cy0 - 0.03, cy0 + 0.02, side * 1.0, 4.35, WINDOW, 16))
    m.append(mk.box_at(-1.05, 1.05, cy1 - 0.02, cy1 + 0.03, 3.25, 4.55, WINDOW))
    m.append(roof(cy0 - 0.3, cy1 + 0.2, 1.95, cz1 - 0.05, 0.35, 0.3, YELLOW))
    m += coupling_rear(LOCO_END)
    wheels = [wheel_set(f"Wheels_{i + 1}", y) for i, y in enumerate((2.3, 4.6, 6.9))]
    return mk.Node("Locomotive", meshes=m, children=wheels)


def tender(y0):
    """Coal tender, 5 long, starting at y0."""
    y1 = y0 + 5.0
    m = chassis(y0, y1)
    m.append(slab(-1.6, y0 + 0.15, 1.6, y1 - 0.15, 1.95, 3.4, 0.3, GREEN))
    # Walls round the coal.
    t = 0.2
    for a, b in ((-1.6, -1.6 + t), (1.6 - t, 1.6)):
        m.append(mk.box_at(a, b, y0 + 0.5, y1 - 0.15, 3.35, 3.95, GREEN))
    m.append(mk.box_at(-1.6, 1.6, y1 - 0.15 - t, y1 - 0.15, 3.35, 3.95, GREEN))
    m.append(mk.box_at(-1.4, 1.4, y0 + 0.5, y0 + 0.5 + t, 3.35, 4.25, GREEN))
    # Coal: a low heap and a few lumps on it.
    heap = mk.sphere(1.0, 14, 7, COAL).transformed(
        mk.translation(0, (y0 + y1) / 2 + 0.2, 3.4) @ mk.scaling(1.35, 1.9, 0.6))
    m.append(heap)
    rng = np.random.default_rng(3003)
    for _ in range(7):
        x, y = rng.uniform(-0.8, 0.8), rng.uniform(y0 + 1.4, y1 - 1.0)
        z = 3.4 + 0.6 * math.sqrt(max(0.0, 1 - (x / 1.35) ** 2 - ((y - (y0 + y1) / 2 - 0.2) / 1.9) ** 2))
        m.append(mk.sphere(rng.uniform(0.2, 0.3), 8, 4, COAL).translated(x, y, z - 0.08))
    m += coupling_front(y0) + coupling_rear(y1)
    wheels = [wheel_set(f"Wheels_{i + 4}", y) for i, y in enumerate((y0 + 1.4, y1 - 1.4))]
    return mk.Node("Tender", meshes=m, children=wheels), y1


def carriage(y0):
    """Passenger carriage, 8 long, starting at y0."""
    y1 = y0 + 8.0
    m = chassis(y0, y1)
    m.append(slab(-1.65, y0 + 0.2, 1.65, y1 - 0.2, 1.95, 4.55, 0.35, BLUE))
    for side in (1, -1):
        x = side * 1.65
        for k in range(3):
            wy0 = y0 + 0.9 + k * 2.2
            m.append(mk.box_at(x - 0.03, x + 0.03, wy0, wy0 + 1.7, 3.0, 4.05, WINDOW))
    for y in (y0 + 0.2, y1 - 0.2):
        m.append(mk.box_at(-0.7, 0.7, y - 0.03, y + 0.03, 3.0, 4.05, WINDOW))
    m.append(roof(y0, y1, 1.9, 4.5, 0.4, 0.3, YELLOW))
    m += coupling_front(y0) + coupling_rear(y1)
    wheels = [wheel_set(f"Wheels_{i + 6}", y) for i, y in enumerate((y0 + 1.6, y1 - 1.6))]
    return mk.Node("Carriage", meshes=m, children=wheels)


def build_scene():
    rails = [mk.Node(RAILS[k],
                     meshes=rail_meshes(), translate=(0, RAIL_LENGTH * k, 0))
             for k in range(RAIL_COUNT)]
    tend, tend_end = tender(LOCO_END + CAR_GAP)
    carr = carriage(tend_end + CAR_GAP)
    body = mk.Node(BODY, children=[locomotive(), tend, carr])
    cam = mk.Node("Camera", matrix=mk.look_at((-14, -12, 9), (0, 7, 2.2)),
                  camera=mk.Camera("TrainCamera", yfov=32, znear=0.5, zfar=2000))
    key = mk.Node("KeyLight", translate=(-10, -8, 30),
                  light=mk.PointLight("KeyLamp", color=(1.0, 0.95, 0.86)))
    fill = mk.Node("FillLight", translate=(14, 30, 16),
                   light=mk.PointLight("FillLamp", color=(0.32, 0.36, 0.45)))
    return mk.Scene(rails + [body, cam, key, fill])


# ---------------------------------------------------------------------------
# Checks
# ---------------------------------------------------------------------------

def _world_triangles(node, parent, out):
    """Node name -> world-space triangles (k, 3, 3) of its own geometry."""
    from collada.scene import GeometryNode, Node
    world = parent @ node.matrix
    tris = []
    for child in node.children:
        if isinstance(child, Node):
            _world_triangles(child, world, out)
        elif isinstance(child, GeometryNode):
            for prim in child.geometry.primitives:
                p = prim.vertex[prim.vertex_index].reshape(-1, 3)
                p = p @ world[:3, :3].T + world[:3, 3]
                tris.append(p.reshape(-1, 3, 3))
    out[node.id] = (np.concatenate(tris) if tris else np.zeros((0, 3, 3)), node)
    return out


def _subtree(nodes, name):
    node = nodes[name][1]
    from collada.scene import Node
    found = [nodes[name][0]]
    for c in node.children:
        if isinstance(c, Node):
            found.append(_subtree(nodes, c.id))
    return np.concatenate(found)


def top_at(tris, x, y):
    """Highest z where a vertical line through (x, y) meets the triangles."""
    a, b, c = tris[:, 0], tris[:, 1], tris[:, 2]
    v0, v1 = b - a, c - a
    det = v0[:, 0] * v1[:, 1] - v0[:, 1] * v1[:, 0]
    ok = np.abs(det) > 1e-12
    det = np.where(ok, det, 1)
    px, py = x - a[:, 0], y - a[:, 1]
    s = (px * v1[:, 1] - py * v1[:, 0]) / det
    t = (v0[:, 0] * py - v0[:, 1] * px) / det
    hit = ok & (s >= -1e-9) & (t >= -1e-9) & (s + t <= 1 + 1e-9)
    if not hit.any():
        return None
    return float((a[:, 2] + s * v0[:, 2] + t * v1[:, 2])[hit].max())


def track_errors(tris):
    """One track piece, from above: the rail heads at z = 0 the whole length,
    no wider than 0.34, over the sleepers' tops and the tie plates; open
    between the sleepers except under the rails; the sleepers reaching the
    piece's sides."""
    errs = []
    pitch = RAIL_LENGTH / SLEEPERS
    probes = [(side * RAIL_X, y, 0.0, "rail head") for side in (-1, 1) for y in (0.02, 1.4, 3.5, 6.98)]
    probes += [(side * (RAIL_X + d), 3.5, 0.0, "rail head") for side in (-1, 1) for d in (-0.09, 0.09)]
    for k in range(SLEEPERS):
        y = (k + 0.5) * pitch
        probes += [(x, y, SLEEPER_TOP, "sleeper") for x in (-1.9, -0.6, 0.0, 0.6, 1.9)]
        probes += [(side * (RAIL_X + 0.25), y, PLATE_TOP, "tie plate") for side in (-1, 1)]
        probes += [(x, (k + 1) * pitch, None, "gap") for x in (-1.9, 0.0, 1.9) if k + 1 < SLEEPERS]
    for x, y, want, what in probes:
        z = top_at(tris, x, y)
        if (z is None) != (want is None) or (z is not None and abs(z - want) > 1e-3):
            errs.append(f"track at ({x:.2f}, {y:.2f}): top {z}, want the {what} at {want}")
    for side in (-1, 1):
        z = top_at(tris, side * (RAIL_X + 0.18), 3.5)
        if z is None or z > -0.3:
            errs.append(f"rail head wider than 0.36 at x = {side * (RAIL_X + 0.18):.2f}: top {z}")
    return errs


def seam_ratio(img):
    """Mean step across the wrap (last row to the first, last column to the
    first) over the mean step between neighbours inside along the same
    axis: about 1 for a seamless tile. Grain makes the axes differ, and a
    JPEG is smooth inside its 8 x 8 blocks, so the inner steps compared are
    those across block borders, as the wrap is."""
    a = np.asarray(img.convert("RGB"), dtype=np.float64)
    n = a.shape[0]
    k = np.arange(8, n, 8)
    rows = np.abs(a[0] - a[-1]).mean() / max(np.abs(a[k] - a[k - 1]).mean(), 1e-6)
    cols = np.abs(a[:, 0] - a[:, -1]).mean() / max(np.abs(a[:, k] - a[:, k - 1]).mean(), 1e-6)
    return max(rows, cols)


def check(root, args=None):
    import collada
    errs = []

    def expect(cond, msg):
        if not cond:
            errs.append(msg)

    out_dir = os.path.join(root, TRAIN_DIR)
    dae = collada.Collada(os.path.join(out_dir, MODEL_NAME))
    nodes = {}
    ident = np.identity(4)
    for n in dae.scene.nodes:
        _world_triangles(n, ident, nodes)

    names = RAILS
    for name in names + [BODY]:
        expect(name in nodes, f"no node {name}")
    if errs:
        return errs
    base = nodes[RAILS[0]][0]
    for k, name in enumerate(names):
        tris, node = nodes[name]
        expect(not [c for c in node.children if isinstance(c, collada.scene.Node)],
               f"{name} has child nodes")
        expect(len(tris) > 0, f"{name} has no geometry")
        lo, hi = tris.reshape(-1, 3).min(0), tris.reshape(-1, 3).max(0)
        want_lo, want_hi = np.array([-2, 7 * k, -1.0]), np.array([2, 7 * k + 7, 0.0])
        expect(np.allclose(lo, want_lo, atol=1e-4) and np.allclose(hi, want_hi, atol=1e-4),
               f"{name}: bounds {lo} {hi}, want {want_lo} {want_hi}")
        expect(tris.shape == base.shape and np.allclose(tris - [0, 7 * k, 0], base, atol=1e-4),
               f"{name} is not RailStraight moved by {7 * k} along y")
    errs += track_errors(base)

    body = _subtree(nodes, BODY).reshape(-1, 3)
    lo, hi = body.min(0), body.max(0)
    expect(abs(lo[1]) < 0.02, f"Body front at y={lo[1]}, want 0")
    expect(22 <= hi[1] - lo[1] <= 28 and hi[1] <= 30, f"train length {hi[1] - lo[1]}")
    expect(max(-lo[0], hi[0]) <= 2.2, f"train x from {lo[0]} to {hi[0]}")
    expect(abs(lo[2]) < 0.02, f"train bottom at z={lo[2]}, want 0")
    expect(5.0 <= hi[2] <= 6.2, f"train height {hi[2]}")
    low = body[body[:, 2] < 0.05]
    expect(len(low) and np.all(np.abs(np.abs(low[:, 0]) - RAIL_X) < HEAD_HALF),
           "parts touching the rails' level lie off the rail heads")
    expect(np.any(low[:, 0] < 0) and np.any(low[:, 0] > 0), "wheels only on one side")
    wheels = [n for n in nodes if n.startswith("Wheels_")]
    expect(len(wheels) >= 6, f"{len(wheels)} wheel sets")
    for n in wheels:
        w = nodes[n][0].reshape(-1, 3)
        lo_w, hi_w = w.min(0), w.max(0)
        expect(abs(lo_w[2]) < 0.02 and abs(hi_w[2] - 2 * WHEEL_RADIUS) < 0.02,
               f"{n}: wheels from z={lo_w[2]} to {hi_w[2]}")
        expect(np.allclose(nodes[n][1].matrix[2, 3], WHEEL_RADIUS),
               f"{n}: origin not on the axle")

    cams = list(dae.scene.objects("camera"))
    lights = list(dae.scene.objects("light"))
    expect(len(cams) == 1, f"{len(cams)} cameras")
    expect(len(lights) >= 1, "no light")
    expect(all(li.position[2] > hi[2] for li in lights), "a light below the train's top")
    count = sum(len(t) for t, _ in nodes.values())
    expect(count <= TRIANGLE_BUDGET, f"{count} triangles")

    ply = Image.open(os.path.join(out_dir, PLYWOOD_NAME))
    expect(ply.format == "JPEG" and ply.size == (1024, 1024) and ply.mode == "RGB",
           f"plywood {ply.format} {ply.size} {ply.mode}")
    a = np.asarray(ply, dtype=np.float64)
    mean = a.reshape(-1, 3).mean(0)
    expect(mean[0] > mean[1] > mean[2] and 140 < mean[0] < 185 and mean[2] > 80,
           f"plywood not a birch tone: mean {mean}")
    expect(a.mean(2).std() < 10, f"plywood contrast too strong: {a.mean(2).std():.1f}")
    beech = Image.open(os.path.join(out_dir, BEECH_NAME))
    for name, img in ((PLYWOOD_NAME, ply), (BEECH_NAME, beech)):
        r = seam_ratio(img)
        expect(r < 1.3, f"{name}: step across the wrap {r:.2f} x the inner step")
    # The seam test must notice a tile that does not wrap: cut one short.
    cut = ply.crop((0, 0, 900, 900))
    expect(seam_ratio(cut) > 2.0, f"seam test blind: cut tile gives {seam_ratio(cut):.2f}")

    # Every face wound as its normals point (a mirrored part turned inside
    # out would light from behind).
    import check_collada
    for n in build_scene().walk():
        for i, m in enumerate(n.meshes):
            errs += check_collada.winding_errors(f"{n.name} mesh {i}", m)
    # The track check must see a plank: the old solid board, flat on top.
    plank = mk.box(4.0, RAIL_LENGTH, 1.0, BEECH).translated(0, RAIL_LENGTH / 2, -0.5)
    if not track_errors(plank.positions[plank.faces]):
        errs.append("track check blind: a plank passes")
    # Same command, same bytes.
    with open(os.path.join(out_dir, MODEL_NAME), "rb") as f:
        expect(f.read() == collada_writer.to_dae(build_scene()).encode(),
               "the model differs from a fresh build")
    with open(os.path.join(out_dir, BEECH_NAME), "rb") as f:
        expect(f.read() == imagekit.png_bytes(make_beech()), "beech.png differs from a fresh build")
    with open(os.path.join(out_dir, PLYWOOD_NAME), "rb") as f:
        expect(f.read() == imagekit.jpeg_bytes(make_plywood()), "the plywood differs from a fresh build")
    print(f"{count} triangles; train {hi[1] - lo[1]:.2f} long, {hi[2]:.2f} tall")
    return errs


# ---------------------------------------------------------------------------


def generate(out_dir, args=None):
    write(os.path.join(out_dir, BEECH_NAME), imagekit.png_bytes(make_beech()))
    collada_writer.write_dae(build_scene(), os.path.join(out_dir, MODEL_NAME))
    write(os.path.join(out_dir, PLYWOOD_NAME), imagekit.jpeg_bytes(make_plywood()))


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "train assets", TRAIN_DIR, check, generate,
                            [MODEL_NAME, BEECH_NAME, PLYWOOD_NAME], inputs=[model_parts.TABLE]))
