#!/usr/bin/python3
"""Tin Lantern tile-mosaic scene: the chrome shower head above the wall, the
glazed tile every mosaic piece is drawn with, and the picture the mosaic
shows.

Outputs, under <root>/data/tiles:

    Shower Head.dae       the shower head on its arm (Z up)
    tile.png              one whole glazed tile with its grout, 256 x 256
    tile_normalmap.png    the tile's tangent-space normal map, 256 x 256
    squid.png             the mosaic's picture, 113 x 80, grey in red

The model's conventions, which the scene code relies on:

    ShowerHead            root; origin at the centre of the head, which is
                          about 2.9 across; its face looks down (-z)
    ShowerHead/Head       the shell, the face plate and the dark rubber
                          nozzles in rings on the face
    ShowerHead/Arm        neck, swivel ball, the bent arm pipe (up from the
                          head, then level towards +x) and the wall flange
    Room                  the bathroom the stall stands in: its back wall,
                          flush behind the mosaic, and the start of the
                          left-hand one, upright boards in a warm gloss
                          paint (tile.png's middle row, one board to a
                          repeat), placed so that it rests round the stall
                          when the head does
    Camera, KeyLight, FillLight
    FocusGlass            last in the file: a clear pane (alpha 0) across
                          the room, which the pulled-back camera looks
                          through from beat 67 of the scene on

The scene draws the whole file where the head hangs, so the room comes down
the 283 from its starting height with it. The wall therefore runs on below
the floor for all of that (leaning back there, so that its reflection under
the glass floor stands behind it), and nothing on it changes along its
height: from the first beat to the last the same wall shows, wherever the
head is. The scene's depth of field is sharp within 40 of the eye and the
camera ends 85 from the stall; it reads the depth of the nearest surface, so
the stall seen through the invisible pane, which stays within 34 of the eye,
keeps in focus to the last frame. The pane is above the floor, so its
reflection stays under the glass.

The scene turns the model 180 degrees about z, so the wall is at -x there.
It keeps the file's one camera as the first of its list and films with its
own cameras after it, and lights everything with its stage lights: the
model's camera and lights are for looking at the model on its own.

The mosaic reads squid.png through OpenGL, bottom row first: tile (r, c)
takes pixel r + 113 * c of that order, so the file's top row is the top of
the mosaic and its columns run left to right. The picture is drawn upright
in file order and needs no flipping.

    /usr/bin/python3 tools/assets/tiles_assets.py --root .
    /usr/bin/python3 tools/assets/tiles_assets.py --root . --check

--check reads the written files back (the model through pycollada) and
verifies the conventions above, the triangle budget, the materials, the
winding, that the room fills the last, pulled-back view round the stall
with lit wall and keeps out of the stall, that along the scene's camera path
(the file lifted as the head is) no view sees past the wall above the floor
and the pane is out of sight until the head rests, then within the focus's
reach of every ray, the maps' sizes, unit normals and flat middle, the
picture's size and contrast, and that a second generation gives the same
bytes.

Deterministic: fixed seeds, the writer's fixed COLLADA dates, no time stamps
or text chunks in the pictures.
"""

import math
import os
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import collada_writer  # noqa: E402
import generator  # noqa: E402
import imagekit  # noqa: E402
from generator import write  # noqa: E402,F401
import modelkit as mk  # noqa: E402

TILES_DIR = "data/tiles"
MODEL_NAME = "Shower Head.dae"
TILE_NAME = "tile.png"
NORMAL_NAME = "tile_normalmap.png"
SQUID_NAME = "squid.png"

TRIANGLE_BUDGET = 6000
HEAD_RADIUS = 1.43
FACE_Z = -0.36          # the face plate's underside, below the head's centre
NOZZLE_DROP = 0.05      # how far the rubber nubs stand out of the face
NOZZLE_RINGS = ((0.0, 1), (0.28, 6), (0.52, 12), (0.76, 18), (1.0, 24))
BALL_Z = 1.0            # swivel ball centre above the head's centre
PIPE_RADIUS = 0.16
HEAD_SCALE = 1.8        # the head is modelled at 1:1 and shown larger: a 29 cm
                        # rain head would be a speck against a 4 m wall of tiles
WALL_X = 3.98 / HEAD_SCALE  # where the flange sits on the wall, in model units: the
                        # scene hangs the head 4 in front of the mosaic's back wall

# Where the scene puts the model, in the stall's own frame (x across the
# mosaic, y from the mosaic's face out into the stall negative, z up from
# the glass floor): the head's centre HEAD_OUT in front of the mosaic and
# HEAD_HEIGHT above the floor (its resting height 17 plus the model's lift of
# 12.9), the model turned half round about z. It comes down with the head,
# from 283 higher, and rests there from beat 66 of the scene.
HEAD_OUT = 4.0
HEAD_HEIGHT = 29.9
# The stall's back panel, the mosaic's middle: 37 tiles of 0.5 across, 80 high.
STALL_HALF_WIDTH = 9.25
STALL_HEIGHT = 40.0

# The bathroom the stall stands in: its back wall, flush behind the mosaic,
# wide and high enough that every view of the scene sees wall beside and
# above the stall everywhere above the floor, and the glass floor reflects
# it below. No side walls or ceiling: no camera of the scene turns to them,
# and while the room still hangs high above with the head, side walls
# showed through the glass under the first, steeply downward cameras.
ROOM_HALF_WIDTH = 120.0
ROOM_HEIGHT = 80.0
ROOM_BACK = 0.35        # the back wall's face, just behind the mosaic's
SIDE_WALL_FRONT = -80.0 # how far the left-hand wall comes forward
BOARD = 2.5             # the boards' width (some 12 cm beside the 2 m stall)
DESCENT = 283.0         # how far the head, and the file with it, comes down
SKIRT_LEAN = 0.004      # how far the wall leans back below the floor, per unit down
# The clear pane, at rest: across the room 49.5 in front of the mosaic,
# which the camera passes at beat 66.3 of the scene, just after the head
# has come to rest; 33.7 in front of its last eye.
FOCUS_Y = -49.5
FOCUS_X = (-80.0, 80.0)
FOCUS_Z = (0.0, 70.0)
FOCUS_REACH = 40.0      # the scene's focus: sharp up to 20 + 20 from the eye

# What the check holds the room to, from the scene's timetable: its last
# view is its cameras 2 and 4 blended on to 4/3 (eye 85 in front of the
# mosaic, 38.3 degrees high, 16:9), and its four stage lights, all in the
# stall's frame (the scene's frame lifted by the model's 12.9).
LAST_EYE = (3.33, -85.0, 13.9)
LAST_TARGET = (0.0, 0.0, 12.9)
LAST_YFOV = 38.3
STAGE_LIGHTS = [(22.5 - 15.0 * i, -25.0, 14.0 * i + 12.9) for i in range(4)]
STAGE_ATTENUATION = (1.0, 0.004, 0.003)  # constant, linear, quadratic

TILE_SIZE = 256
GROUT = 4.0             # grout half-width at each border: 8 px between tiles
BEVEL = 16.0            # width of the rounded rim
BEVEL_RISE = 5.0        # rim height in pixels; sets how steep the slope is
GROUT_DEPTH = 2.0
CORNER = 10.0           # corner rounding of the glazed face
LIGHT = np.array([-1.0, 1.0, 1.6]) / np.linalg.norm([-1.0, 1.0, 1.6])  # (x, y up, z)

SQUID_W, SQUID_H = 113, 80


# ---------------------------------------------------------------------------
# Materials
# ---------------------------------------------------------------------------

# Chrome without an environment map: a light, nearly neutral grey with a
# tight, full-strength highlight; the low ambient keeps the shading from
# going flat where no light reaches.
CHROME = mk.Material("Chrome", diffuse=(0.68, 0.69, 0.71), ambient=(0.2, 0.2, 0.21),
                     specular=(1.0, 1.0, 1.0), shininess=96)
# The face plate is brushed, so it shows a broader, weaker highlight and
# separates from the polished rim.
SATIN = mk.Material("SatinChrome", diffuse=(0.62, 0.63, 0.65), ambient=(0.16, 0.16, 0.17),
                    specular=(0.7, 0.7, 0.7), shininess=40)
RUBBER = mk.Material("NozzleRubber", diffuse=(0.06, 0.06, 0.065), ambient=(0.02, 0.02, 0.02),
                     specular=(0.15, 0.15, 0.15), shininess=12)
# The room's wall wears the tile's middle row stretched up: each repeat one
# upright board with its grooves and rounded edges. A textured material is
# lit through its texture with twice its ambient as the diffuse colour, so
# the ambient sets the paint: a warm cream that the stall's dark mosaic
# stands out against. The scene's lights are the
# stage lights in front of the stall; they fall off with distance, so the
# paint is kept light for the far ends of the wall.
WALL_PAINT = mk.Material("WallBoards", texture=TILE_NAME, ambient=(0.5, 0.47, 0.41),
                         specular=(0.35, 0.35, 0.33), shininess=40)
# Clear glass that shows nothing of itself: no colour and no highlight.
CLEAR = mk.Material("ClearGlass", diffuse=(0.9, 0.95, 1.0, 0.0), specular=(0.0, 0.0, 0.0),
                    shininess=1)


# ---------------------------------------------------------------------------
# Shower head
# ---------------------------------------------------------------------------

def head_shell(segments=48):
    """The polished shell: a flat ring round the face plate, the rounded rim
    and a dome rising to the neck."""
    prof = [(1.16, FACE_Z + 0.06), (1.28, FACE_Z + 0.06), (1.37, FACE_Z + 0.11),
            (HEAD_RADIUS, FACE_Z + 0.22), (HEAD_RADIUS, 0.0)]
    # Quarter ellipse from the rim up to the neck's foot.
    for k in range(1, 9):
        t = math.radians(90 * k / 8)
        prof.append((0.26 + (HEAD_RADIUS - 0.26) * math.cos(t), 0.56 * math.sin(t)))
    prof.append((0.0, 0.56))
    return mk.lathe(prof, segments, CHROME, smooth_angle=35)


def face_plate(segments=48):
    """Flat face with a small chamfered lip that meets the shell's ring."""
    prof = [(0.0, FACE_Z), (1.12, FACE_Z), (1.16, FACE_Z + 0.03), (1.16, FACE_Z + 0.06),
            (0.0, FACE_Z + 0.06)]
    return mk.lathe(prof, segments, SATIN, smooth_angle=30)


def nozzle_positions():
    """Nozzle centres (x, y) on the face, ring by ring; each ring turned by
    half a step against the last so the holes do not line up in spokes."""
    out = []
    for k, (r, count) in enumerate(NOZZLE_RINGS):
        for j in range(count):
            a = 2 * math.pi * (j + 0.5 * (k % 2)) / count
            out.append((r * math.cos(a), r * math.sin(a)))
    return out


def nozzles():
    """A rubber nub per hole: a short frustum hanging from the face, its
    open top hidden inside the plate."""
    nub = mk.lathe([(0.0, -NOZZLE_DROP), (0.032, -NOZZLE_DROP), (0.055, 0.0), (0.055, 0.01)],
                   8, RUBBER, smooth_angle=30)
    return mk.merge([nub.translated(x, y, FACE_Z) for x, y in nozzle_positions()])


def arm_path(steps_arc=10):
    """Centre line of the arm pipe from the swivel ball: 45 degrees up
    towards +x, a bend to level, then level to the wall. Points and unit
    tangents, all in the xz plane."""
    d0 = np.array([1.0, 0.0, 1.0]) / math.sqrt(2)
    start = np.array([0.0, 0.0, BALL_Z])
    rise = 1.5
    bend = 0.7
    p1 = start + d0 * rise
    # The bend turns the pipe downwards, so its centre lies off the pipe
    # on the down-and-out side.
    n0 = np.array([1.0, 0.0, -1.0]) / math.sqrt(2)
    centre = p1 + n0 * bend
    pts, tans = [start, p1], [d0, d0]
    for k in range(1, steps_arc + 1):
        a = math.radians(45 * k / steps_arc)
        # From 135 degrees (pointing at p1 from the centre) down to 90.
        phi = math.radians(135) - a
        pts.append(centre + bend * np.array([math.cos(phi), 0.0, math.sin(phi)]))
        tans.append(np.array([math.sin(phi), 0.0, -math.cos(phi)]))
    end = pts[-1]
    pts.append(np.array([WALL_X, 0.0, end[2]]))
    tans.append(np.array([1.0, 0.0, 0.0]))
    return np.array(pts), np.array(tans)


def tube(points, tangents, radius, sides, material):
    """A pipe swept along a centre line in the xz plane; open ends (they sit
    inside the ball and the flange). Rings lie across the tangent; the
    ring's frame is (tangent x y, y) so it never twists."""
    y = np.array([0.0, 1.0, 0.0])
    pos, nrm, uv, faces = [], [], [], []
    length = np.concatenate([[0.0], np.cumsum(np.linalg.norm(np.diff(points, axis=0), axis=1))])
    for i, (p, t) in enumerate(zip(points, tangents)):
        side = np.cross(t, y)
        side /= np.linalg.norm(side)
        for j in range(sides + 1):
            a = 2 * math.pi * j / sides
            n = math.cos(a) * side + math.sin(a) * y
            pos.append(p + radius * n)
            nrm.append(n)
            uv.append((j / sides, length[i] / length[-1]))
    w = sides + 1
    for i in range(len(points) - 1):
        for j in range(sides):
            a, b, c, d = i * w + j, i * w + j + 1, (i + 1) * w + j + 1, (i + 1) * w + j
            faces += [(a, d, c), (a, c, b)]
    m = mk.Mesh(pos, nrm, uv, faces, material)
    # Which way round the ring runs depends on the frame's handedness; take
    # the winding that agrees with the outward normals.
    p, f = m.positions, m.faces
    geo = np.cross(p[f[:, 1]] - p[f[:, 0]], p[f[:, 2]] - p[f[:, 0]])
    if np.einsum("ij,ij->", geo, m.normals[f].sum(axis=1)) < 0:
        m = mk.Mesh(m.positions, m.normals, m.uvs, m.faces[:, ::-1], material)
    return m


def arm_meshes():
    neck = mk.lathe([(0.0, 0.5), (0.3, 0.5), (0.3, 0.62), (0.24, 0.68), (0.24, 0.86),
                     (0.36, 0.86), (0.36, 0.98), (0.0, 0.98)], 24, CHROME, smooth_angle=30)
    ball = mk.sphere(0.27, 20, 10, CHROME).translated(0, 0, BALL_Z)
    pts, tans = arm_path()
    pipe = tube(pts, tans, PIPE_RADIUS, 16, CHROME)
    wall_z = pts[-1][2]
    # Flange: a domed escutcheon against the wall, its back at WALL_X.
    flange = mk.lathe([(0.0, 0.0), (0.62, 0.0), (0.62, 0.05), (0.5, 0.14), (0.26, 0.2),
                       (0.2, 0.24), (0.0, 0.24)], 32, CHROME, smooth_angle=35)
    flange = flange.transformed(mk.translation(WALL_X, 0, wall_z) @ mk.rotation(0, 1, 0, -90))
    return [neck, ball, pipe, flange]


# ---------------------------------------------------------------------------
# The room round the stall
# ---------------------------------------------------------------------------

def boards(corners, u, material):
    """A stretch of wall: the quad through four corners (foot left, foot
    right, top right, top left, as seen from the room), u its position
    along the wall at each corner. Its UVs run one board to a repeat of the
    tile across and stay on the tile's middle row up and down: upright
    boards, grooved at their edges, that look the same wherever the wall
    stands along them."""
    uv = [(a / BOARD, 0.5) for a in u]
    n = np.cross(np.subtract(corners[1], corners[0]), np.subtract(corners[3], corners[0]))
    n = tuple(n / np.linalg.norm(n))
    return mk.Mesh(corners, [n] * 4, uv, [(0, 1, 2), (0, 2, 3)], material)


def room_meshes():
    """The back wall in the stall's frame, and the start of the left-hand
    wall that the first, wide view catches in its corner: from the floor up,
    and on below the floor as far as the head comes down, leaning back
    there so that their reflections under the glass stand behind them."""
    w, b, h, d = ROOM_HALF_WIDTH, ROOM_BACK, ROOM_HEIGHT, DESCENT
    lean = SKIRT_LEAN * d
    out = [boards([(-w, b, 0), (w, b, 0), (w, b, h), (-w, b, h)], [-w, w, w, -w], WALL_PAINT),
           boards([(-w, b + lean, -d), (w, b + lean, -d), (w, b, 0), (-w, b, 0)], [-w, w, w, -w],
                  WALL_PAINT)]
    f = SIDE_WALL_FRONT
    out += [boards([(-w, f, 0), (-w, b, 0), (-w, b, h), (-w, f, h)], [f, b, b, f], WALL_PAINT),
            boards([(-w - lean, f, -d), (-w - lean, b + lean, -d), (-w, b, 0), (-w, f, 0)],
                   [f, b, b, f], WALL_PAINT)]
    return [mk.merge(out)]


def focus_meshes():
    """The clear pane the pulled-back camera looks through, in the stall's
    frame at rest, facing the stall."""
    x0, x1 = FOCUS_X
    z0, z1 = FOCUS_Z
    pos = [(x0, FOCUS_Y, z0), (x1, FOCUS_Y, z0), (x1, FOCUS_Y, z1), (x0, FOCUS_Y, z1)]
    return [mk.Mesh(pos, [(0.0, -1.0, 0.0)] * 4, [(0, 0), (1, 0), (1, 1), (0, 1)],
                    [(0, 1, 2), (0, 2, 3)], CLEAR)]


def stall_to_model():
    """The stall's frame into the model's: undo the scene's placement of the
    head (its centre at (0, -HEAD_OUT, HEAD_HEIGHT), turned 180 about z)."""
    return mk.rotation(0, 0, 1, 180) @ mk.translation(0, HEAD_OUT, -HEAD_HEIGHT)


def build_scene():
    size = mk.scaling(HEAD_SCALE)
    head = mk.Node("Head", meshes=[m.transformed(size) for m in (head_shell(), face_plate(), nozzles())])
    # The arm is built along +x and turned to run back along -y: the scene
    # turns the model half round, so it meets the back wall behind the head.
    arm = mk.Node("Arm", meshes=[m.transformed(mk.rotation(0, 0, 1, -90) @ size) for m in arm_meshes()])
    root = mk.Node("ShowerHead", children=[head, arm])
    room = mk.Node("Room", meshes=[m.transformed(stall_to_model()) for m in room_meshes()])
    focus = mk.Node("FocusGlass", meshes=[m.transformed(stall_to_model()) for m in focus_meshes()])
    # From below and in front, inside the room, so the face with its nozzles
    # is in view and the arm runs off to the wall behind. The scene keeps
    # this one camera only as the first of its list and films with its own,
    # which it addresses by their place after it: the file holds exactly one.
    cam = mk.Node("Camera", matrix=mk.look_at(tuple(HEAD_SCALE * np.array((-6.4, 4.6, -2.4))),
                                                tuple(HEAD_SCALE * np.array((0.0, -1.3, 0.55)))),
                  camera=mk.Camera("ShowerCamera", yfov=40, znear=0.1, zfar=500))
    key = mk.Node("KeyLight", translate=(-4.0, -6.0, 3.0),
                  light=mk.PointLight("KeyLamp", color=(1.0, 0.97, 0.92)))
    fill = mk.Node("FillLight", translate=(3.0, -4.0, -6.0),
                   light=mk.PointLight("FillLamp", color=(0.3, 0.33, 0.4)))
    return mk.Scene([root, room, cam, key, fill, focus])


# ---------------------------------------------------------------------------
# Tile and its normal map
# ---------------------------------------------------------------------------

def tile_inset(n=TILE_SIZE):
    """Signed distance (pixels) into the glazed face: positive on the tile,
    negative in the grout; a rounded square inside the grout border."""
    c = (np.arange(n) + 0.5) - n / 2
    u, v = np.abs(c)[None, :], np.abs(c)[:, None]
    half = n / 2 - GROUT - CORNER
    qx, qy = u - half, v - half
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0)) + np.minimum(np.maximum(qx, qy), 0)
    return CORNER - outside


def tile_height(rng, n=TILE_SIZE):
    """Height in pixels: flat glaze on top with a faint wave, a rounded rim
    falling to the edge, the grout a recess below it. Returns the height,
    the same without the glaze's wave, and the inset distance."""
    e = tile_inset(n)
    rim = BEVEL_RISE * np.sin(0.5 * np.pi * np.clip(e / BEVEL, 0, 1))
    # Glaze pools unevenly: long, very shallow waves, fading out on the rim
    # so the rim's shape stays the same all round.
    wave = 0.3 * imagekit.spectral_noise(rng, n, 3.0, low_cut=2.0)
    wave *= np.clip(e / BEVEL, 0, 1) ** 2
    glaze = rim + wave
    grout = -GROUT_DEPTH + 0.12 * imagekit.spectral_noise(rng, n, 0.8, low_cut=20.0)
    # Grout meets the tile in a fillet about a pixel and a half wide, so the
    # slope there does not alias into a hard one-pixel line.
    t = np.clip((e + 1.5) / 1.5, 0, 1)
    t = t * t * (3 - 2 * t)
    return grout * (1 - t) + glaze * t, grout * (1 - t) + rim * t, e


def normals_from_height(h):
    """Tangent-space normals (x right, y up the picture, z out), unit
    length. Row 0 is the top of the picture, so up is -row. Differences wrap:
    the tile repeats."""
    dx = (np.roll(h, -1, axis=1) - np.roll(h, 1, axis=1)) / 2
    drow = (np.roll(h, -1, axis=0) - np.roll(h, 1, axis=0)) / 2
    n = np.stack([-dx, drow, np.ones_like(h)], axis=-1)
    return n / np.linalg.norm(n, axis=-1, keepdims=True)


def encode_normals(n):
    return Image.fromarray(np.floor((n * 0.5 + 0.5) * 255 + 0.5).astype(np.uint8), "RGB")


def make_tile():
    """(tile.png, tile_normalmap.png) from one height field, so the baked
    shading of the colour map and the normal map agree."""
    rng = np.random.default_rng(4101)
    h, h_smooth, e = tile_height(rng)
    n = normals_from_height(h)
    on_tile = np.clip((e + 0.75) / 1.5, 0, 1)[..., None]
    # Glaze: off-white with a slow drift in tone and a few faint specks.
    drift = imagekit.spectral_noise(rng, TILE_SIZE, 2.0, low_cut=2.0)
    specks = (rng.random((TILE_SIZE, TILE_SIZE)) < 0.0025) * rng.uniform(0.04, 0.09, (TILE_SIZE,) * 2)
    glaze = np.array([0.925, 0.918, 0.895])[None, None, :] * (1 + 0.012 * drift[..., None])
    glaze = glaze * (1 - specks[..., None] * np.array([1.0, 1.1, 1.3]))
    # Glaze runs thinner over the rim: the body shows through a shade warmer.
    e_rim = np.clip(1 - e / BEVEL, 0, 1)[..., None] * (e[..., None] > 0)
    glaze = glaze * (1 - 0.05 * e_rim * np.array([0.6, 0.8, 1.2]))
    grit = imagekit.spectral_noise(rng, TILE_SIZE, 0.5, low_cut=30.0)
    grout = np.array([0.62, 0.60, 0.565])[None, None, :] * (1 + 0.05 * grit[..., None])
    # The grout sits in the tiles' shadow: darker close to the edges.
    grout = grout * (0.8 + 0.2 * np.clip(-e / GROUT, 0, 1))[..., None]
    base = glaze * on_tile + grout * (1 - on_tile)
    # Baked light from the upper left, relative to a flat face: the upper
    # and left rims come out lighter, the lower and right ones darker.
    # The glaze's faint waves are left out of the baking: at full strength
    # they read as crumpled paper, while the normal map shows them under
    # the scene's moving light anyway.
    lam = normals_from_height(h_smooth) @ LIGHT
    shade = 1 + 0.9 * (lam - LIGHT[2])[..., None]
    # A narrow glint where the rim faces the light, as a wet glaze shows.
    half = LIGHT + np.array([0, 0, 1.0])
    half /= np.linalg.norm(half)
    glint = np.clip(n @ half, 0, 1) ** 60 * (e > 1)
    glint = glint - glint[TILE_SIZE // 2, TILE_SIZE // 2]  # none on the flat face
    rgb = np.clip(base * shade + 0.18 * np.clip(glint, 0, 1)[..., None], 0, 1)
    color = Image.fromarray(np.round(rgb * 255).astype(np.uint8), "RGB")
    return color, encode_normals(n)


# ---------------------------------------------------------------------------
# Squid picture
# ---------------------------------------------------------------------------

SUPER = 8   # drawn this many times larger and boxed down: soft, clean edges
SQUID_LIGHT = 232
SQUID_DARK = 22


def _curve(p0, p1, p2, p3, steps=60):
    """Cubic Bezier points."""
    t = np.linspace(0, 1, steps)[:, None]
    p0, p1, p2, p3 = (np.asarray(p, dtype=np.float64) for p in (p0, p1, p2, p3))
    return ((1 - t) ** 3 * p0 + 3 * (1 - t) ** 2 * t * p1 + 3 * (1 - t) * t * t * p2
            + t ** 3 * p3)


def _stroke(draw, pts, w0, w1, fill, club=None):
    """A tapering limb: discs along the points, half-width w0 at the root to
    w1 at the tip; club=(t0, w) widens it from t0 on, like a tentacle's
    sucker club."""
    k = len(pts)
    for i, (x, y) in enumerate(pts):
        t = i / (k - 1)
        w = w0 + (w1 - w0) * t
        if club is not None and t > club[0]:
            s = (t - club[0]) / (1 - club[0])
            w = max(w, club[1] * math.sin(math.pi * min(s * 1.25, 1.0)) + w1)
        r = w * SUPER
        draw.ellipse((x * SUPER - r, y * SUPER - r, x * SUPER + r, y * SUPER + r), fill=fill)


def _spiral(x0, y0, side, length, steps=80):
    """A tentacle's end curling up and inwards: from (x0, y0) heading out to
    one side (side = +1 right, -1 left), then round a shrinking circle."""
    pts = []
    x, y = x0, y0
    heading = math.radians(10)     # slightly downwards at first
    for i in range(steps):
        t = i / (steps - 1)
        # Turning faster towards the tip closes the curl into a spiral.
        heading -= math.radians(10.5) * t ** 1.3
        x += side * math.cos(heading) * length / steps
        y += math.sin(heading) * length / steps
        pts.append((x, y))
    return pts


def _layer(draw_fn):
    """A coverage mask (0..1) at the picture's size from shapes drawn large."""
    img = Image.new("L", (SQUID_W * SUPER, SQUID_H * SUPER), 0)
    draw_fn(ImageDraw.Draw(img))
    return np.asarray(img.resize((SQUID_W, SQUID_H), Image.Resampling.BOX),
                      dtype=np.float64) / 255


def _poly(d, pts, fill=255):
    d.polygon([(x * SUPER, y * SUPER) for x, y in pts], fill=fill)


def _disc(d, x, y, r, fill=255):
    r *= SUPER
    d.ellipse((x * SUPER - r, y * SUPER - r, x * SUPER + r, y * SUPER + r), fill=fill)


MANTLE_TIP, COLLAR_Y = 2.5, 35.0


def _mantle_outline(cx):
    """Pointed at the top, widest two thirds down, drawn in a little at the
    collar."""
    ys = np.linspace(MANTLE_TIP, COLLAR_Y, 70)
    t = (ys - MANTLE_TIP) / (COLLAR_Y - MANTLE_TIP)
    hw = 10.0 * np.sin(0.5 * np.pi * np.clip(t / 0.7, 0, 1)) ** 0.85 - 1.0 * np.clip(t - 0.8, 0, 1) / 0.2
    return [(cx + a, y) for a, y in zip(hw, ys)] + [(cx - a, y) for a, y in zip(hw[::-1], ys[::-1])]


def make_squid():
    """A pale squid on dark water, upright: mantle and fins at the top, the
    eyes on the head, eight arms and two longer tentacles curling out."""
    cx = SQUID_W / 2

    def fins(d):
        # An arrowhead round the mantle's upper part; drawn on their own so
        # they can be a shade darker (they are thin) and the mantle's line
        # shows through.
        _poly(d, [(cx, 1.8), (cx + 21, 11.5), (cx + 20, 15.5), (cx + 7, 24),
                  (cx - 7, 24), (cx - 20, 15.5), (cx - 21, 11.5)])

    def body(d):
        _poly(d, _mantle_outline(cx))
        d.ellipse(((cx - 9.3) * SUPER, 34.0 * SUPER, (cx + 9.3) * SUPER, 46.0 * SUPER), fill=255)
        # Eight arms fanning down, the outer ones bending out and curling.
        arms = [(-6.0, -27, 64, 1), (-4.3, -18, 70, 1), (-2.6, -9.5, 73, 1), (-0.9, -2.5, 74, 0),
                (0.9, 2.5, 74, 0), (2.6, 9.5, 73, -1), (4.3, 18, 70, -1), (6.0, 27, 64, -1)]
        for x_root, x_tip, y_tip, curl in arms:
            p0 = (cx + x_root, 44)
            p1 = (cx + x_root * 1.5, 52)
            p2 = (cx + x_tip * 0.85, y_tip - 7)
            p3 = (cx + x_tip + curl * 3.5, y_tip - 2.5 * abs(curl))
            _stroke(d, _curve(p0, p1, p2, p3), 1.9, 0.6, 255)
        # Two tentacles: down between the arms, then out to the sides, each
        # ending in a club that curls back up.
        for side in (-1, 1):
            down = _curve((cx + side * 1.6, 44), (cx + side * 3.5, 62), (cx + side * 8, 75),
                          (cx + side * 20, 75.5), 60)
            _stroke(d, down, 1.3, 0.95, 255)
            _stroke(d, _spiral(cx + side * 20, 75.5, side, 36), 0.95, 0.6, 255, club=(0.4, 1.35))

    def dark(d):
        # The collar between mantle and head, so they read as two parts,
        # and the big eyes on the sides of the head.
        d.line([((cx - 8.6) * SUPER, 35.2 * SUPER), ((cx + 8.6) * SUPER, 35.2 * SUPER)],
               fill=150, width=int(0.9 * SUPER))
        for side in (-1, 1):
            _disc(d, cx + side * 5.8, 40.2, 2.9)

    def glints(d):
        for side in (-1, 1):
            _disc(d, cx + side * 5.8 - 0.9, 39.3, 0.85)

    fin_m, body_m, dark_m, glint_m = (_layer(f) for f in (fins, body, dark, glints))
    # Dark water, a touch lighter towards the surface; a faint mottle on the
    # mantle (the skin's spots) that keeps it well clear of the ground.
    rng = np.random.default_rng(4102)
    yy = np.arange(SQUID_H)[:, None] / SQUID_H
    grey = SQUID_DARK + 16 * (1 - yy) + 3 * rng.standard_normal((SQUID_H, SQUID_W))
    spots = np.where(rng.random((SQUID_H, SQUID_W)) < 0.12, -22.0, 0.0)
    spots[int(COLLAR_Y):, :] = 0
    grey = grey * (1 - fin_m) + 192 * fin_m
    grey = grey * (1 - body_m) + (SQUID_LIGHT + spots) * body_m
    grey = grey * (1 - dark_m) + 8 * dark_m
    grey = grey * (1 - glint_m) + 250 * glint_m
    grey = np.clip(np.round(grey), 0, 255).astype(np.uint8)
    return Image.fromarray(np.repeat(grey[..., None], 3, axis=2), "RGB")


def outputs():
    """File name -> bytes of every picture, made fresh."""
    color, normal = make_tile()
    return {TILE_NAME: imagekit.png_bytes(color), NORMAL_NAME: imagekit.png_bytes(normal),
            SQUID_NAME: imagekit.png_bytes(make_squid())}


# ---------------------------------------------------------------------------
# Checks
# ---------------------------------------------------------------------------

def _world_triangles(node, parent, out):
    """Node id -> (world triangles (k, 3, 3), material ids per triangle)."""
    from collada.scene import GeometryNode, Node
    world = parent @ node.matrix
    tris, mats = [], []
    for child in node.children:
        if isinstance(child, Node):
            _world_triangles(child, world, out)
        elif isinstance(child, GeometryNode):
            for prim in child.geometry.primitives:
                p = prim.vertex[prim.vertex_index].reshape(-1, 3)
                p = p @ world[:3, :3].T + world[:3, 3]
                tris.append(p.reshape(-1, 3, 3))
                mats += [prim.material] * len(tris[-1])
    out[node.id] = (np.concatenate(tris) if tris else np.zeros((0, 3, 3)), mats)
    return out


def _colour(value):
    """An effect's colour as a tuple, None when it is a texture."""
    return None if value is None or not isinstance(value, tuple) else tuple(value[:3])


def model_errors(path):
    import collada
    errs = []

    def expect(cond, msg):
        if not cond:
            errs.append(msg)

    dae = collada.Collada(path)
    nodes = {}
    for n in dae.scene.nodes:
        _world_triangles(n, np.identity(4), nodes)
    for name in ("ShowerHead", "Head", "Arm", "Room", "Camera", "KeyLight", "FillLight", "FocusGlass"):
        expect(name in nodes, f"no node {name}")
    if errs:
        return errs, 0
    count = sum(len(t) for t, _ in nodes.values())
    expect(0 < count <= TRIANGLE_BUDGET, f"{count} triangles (budget {TRIANGLE_BUDGET})")
    cams = list(dae.scene.objects("camera"))
    lights = list(dae.scene.objects("light"))
    expect(len(cams) == 1, f"{len(cams)} cameras")
    expect(len(lights) >= 1 and all(type(li).__name__ == "BoundPointLight" for li in lights),
           "lights: want point lights only, at least one")

    # Materials: plain colours, one of them chrome (light, neutral, sharp
    # highlight), and the nozzles dark against it.
    # Only the room's walls wear the tile texture.
    by_id = {m.id: m for m in dae.materials}
    room_mats = set(nodes["Room"][1]) if "Room" in nodes else set()
    chrome = None
    for m in dae.materials:
        e = m.effect
        if m.id in room_mats:
            continue
        expect(_colour(e.diffuse) is not None, f"material {m.id} is textured")
        dif, highlight = _colour(e.diffuse), _colour(e.specular)
        if dif and highlight and min(dif) > 0.6 and max(dif) - min(dif) < 0.08 \
                and min(highlight) >= 0.8 and e.shininess >= 50:
            chrome = m.id
    expect(chrome is not None, "no chrome material")

    # Proportions are checked at 1:1, the reach to the wall as shown.
    head, head_mats = nodes["Head"]
    head = head / HEAD_SCALE
    arm_shown = nodes["Arm"][0].reshape(-1, 3)
    arm = arm_shown / HEAD_SCALE
    hp = head.reshape(-1, 3)
    lo, hi = hp.min(0), hp.max(0)
    width = hi[:2] - lo[:2]
    expect(np.all((2.5 <= width) & (width <= 3.0)), f"head {width} across, want 2.5 to 3")
    expect(np.allclose((lo[:2] + hi[:2]) / 2, 0, atol=0.02), "head not centred on the origin")
    expect(lo[2] < -0.1 and hi[2] > 0.1, f"origin not inside the head: z {lo[2]} to {hi[2]}")
    # The face: the widest downward-facing area is the lowest part of the
    # head, below the origin.
    geo = np.cross(head[:, 1] - head[:, 0], head[:, 2] - head[:, 0])
    down = geo[:, 2] < -0.9 * np.linalg.norm(geo, axis=1)
    area = np.linalg.norm(geo, axis=1) / 2
    face_z = np.median(head[down][:, :, 2]) if down.any() else 0.0
    expect(down.any() and area[down].sum() > 0.8 * math.pi * 1.1 ** 2,
           f"face too small: {area[down].sum():.2f} facing down")
    expect(face_z < 0, f"face at z = {face_z}, want below the origin")
    expect(np.all(hp[:, 2] >= face_z - 0.1), "parts of the head hang well below the face")
    # Nozzles: dark, on the face, spread in rings from the centre out.
    rubber = [by_id[m] for m in set(head_mats) if m in by_id
              and max(_colour(by_id[m].effect.diffuse) or (1,)) < 0.2]
    expect(len(rubber) == 1, "no dark nozzle material on the head")
    if rubber:
        sel = np.array([m == rubber[0].id for m in head_mats])
        nz = head[sel].reshape(-1, 3)
        radii = np.hypot(nz[:, 0], nz[:, 1])
        expect(nz[:, 2].max() <= face_z + 0.07 and nz[:, 2].min() >= face_z - 0.1,
               "nozzles do not sit on the face")
        rings = np.unique(np.round(np.hypot(*np.array(nozzle_positions()).T), 2))
        expect(radii.min() < 0.1 and 0.8 < radii.max() < 1.15 and len(rings) >= 4,
               f"nozzles from r {radii.min():.2f} to {radii.max():.2f}, {len(rings)} rings")
    # The arm rises from the head and runs off sideways to the wall.
    expect(arm[:, 2].max() > hi[2] + 0.5, "arm does not rise above the head")
    expect(np.hypot(arm[:, 0], arm[:, 1]).max() > 2.0, "arm does not reach out sideways")
    # ... back along -y, which the scene's half turn points at the mosaic.
    expect(-4.0 <= arm_shown[:, 1].min() < -3.9 and np.abs(arm[:, 0]).max() < 0.7,
           "arm does not run back along -y to the wall")
    expect(arm[:, 2].min() >= lo[2], "arm reaches below the head")
    # Camera: the head in front of it and its face in view from below.
    cam = cams[0]
    eye = np.asarray(cam.position) / HEAD_SCALE
    fwd = np.asarray(cam.direction) / np.linalg.norm(cam.direction)
    to_head = -eye / np.linalg.norm(eye)
    expect(fwd @ to_head > 0.9, "camera not looking at the head")
    expect(eye[2] < face_z, "camera above the face: the nozzles are out of sight")
    expect(all(np.linalg.norm(li.position) > 3 for li in lights), "a light inside the model")
    # The camera stands in the room, in front of its wall.
    to_stall = np.linalg.inv(stall_to_model())
    eye_stall = to_stall[:3, :3] @ np.asarray(cam.position) + to_stall[:3, 3]
    expect(eye_stall[1] < ROOM_BACK, "the model's camera stands behind the room's wall")

    # The room, back in the stall's frame, with each triangle's glaze.
    tris, mats = nodes["Room"]
    tris = tris @ to_stall[:3, :3].T + to_stall[:3, 3]
    glazes = {}
    for mid in set(mats):
        e = by_id[mid].effect
        expect(e.diffuse is not None and not isinstance(e.diffuse, tuple),
               f"room material {mid} wears no texture")
        # Textured, the engine lights it with twice its ambient as the diffuse.
        glazes[mid] = np.minimum(2 * np.asarray(_colour(e.ambient)), 1.0), np.asarray(_colour(e.ambient))
    errs += room_errors(tris, [glazes[m] for m in mats])

    # Up the wall its look does not change: every texture coordinate of the
    # room has the same v.
    from collada.scene import GeometryNode
    room_node = next(n for n in dae.scene.nodes if n.id == "Room")
    vs = np.concatenate([prim.texcoordset[0][prim.texcoord_indexset[0]][..., 1].ravel()
                         for c in room_node.children if isinstance(c, GeometryNode)
                         for prim in c.geometry.primitives] or [np.zeros(0)])
    expect(len(vs) and np.ptp(vs) < 1e-6, "the room's texture changes up the wall: it shows as the wall comes down")
    # The pane: last in the file (the scene draws it after everything it
    # lets through), clear, and where the camera's path needs it.
    expect([n.id for n in dae.scene.nodes][-1] == "FocusGlass", "FocusGlass is not the file's last node")
    pane, pane_mats = nodes["FocusGlass"]
    for mid in set(pane_mats):
        e = by_id[mid].effect
        expect(_colour(e.diffuse) is not None and e.transparency is not None
               and abs(float(e.transparency)) < 1e-6, f"FocusGlass material {mid} is not clear")
    pane = pane @ to_stall[:3, :3].T + to_stall[:3, 3]
    errs += path_errors(tris, pane)
    return errs, count


# The scene's camera path (scene_tiles.cpp, tiles_timing.cpp), in the
# stall's frame: its cameras 1, 2 and 4 by eye, centre, up and vertical
# field of view; the drawn one blends 1 to 2 over the first 48 beats, then
# 2 to 4 with the factor going on past 1 to 4/3 at 96. The scene's frame is
# the stall's lowered by the model's 12.9.
PATH_CAMERAS = {1: ((5, -5, 7), (-1, 1, 0), (0, 0, 1), 97.63), 2: ((-10, -25, 1), (0, 0, 0), (0, 0, 1), 65.0),
                4: ((0, -70, 1), (0, 0, 0), (0, 1, 0), 45.0)}
MODEL_LIFT = 12.9
HEAD_REST = 17.0


def _view(eye, centre, up):
    """The world-to-eye matrix a GL lookAt makes."""
    eye, centre, up = (np.asarray(v, dtype=np.float64) for v in (eye, centre, up))
    f = (centre - eye) / np.linalg.norm(centre - eye)
    side = np.cross(f, up)
    side /= np.linalg.norm(side)
    m = np.identity(4)
    m[0, :3], m[1, :3], m[2, :3] = side, np.cross(side, f), -f
    m[:3, 3] = -m[:3, :3] @ eye
    return m


def scene_view(t):
    """(view matrix of the stall's frame, vertical field of view) t beats
    into the scene, blended entry by entry as the scene does."""
    a, b, u = (1, 2, max(t, 0.0) / 48.0) if t < 48 else (2, 4, (t - 48.0) / 36.0)
    (ea, ca, ua, fa), (eb, cb, ub, fb) = PATH_CAMERAS[a], PATH_CAMERAS[b]
    view = (1 - u) * _view(ea, ca, ua) + u * _view(eb, cb, ub)
    return view @ mk.translation(0, 0, -MODEL_LIFT), (1 - u) * fa + u * fb


def head_lift(t):
    """How far above its resting place the scene draws the file t beats in."""
    if t < 48:
        return 300.0 - HEAD_REST
    return max(300.0 - (t - 48.0) / 18.0 * 283.0, HEAD_REST) - HEAD_REST


def path_errors(room, pane, beats=None):
    """Along the camera's path, with the file lifted as the head is: above
    the floor every ray ends on the room's wall (or on the floor first), and
    the pane is out of sight until the head has come to rest and the camera
    has passed it, then in front of every ray within the focus's reach."""
    errs = []
    beats = np.arange(0.0, 96.1, 2.0) if beats is None else beats
    for t in beats:
        view, fov = scene_view(t)
        eye, d = mk.view_rays(view, fov)
        lift = np.array([0.0, 0.0, head_lift(t)])
        with np.errstate(divide="ignore", invalid="ignore"):
            floor = np.where(d[:, 2] < 0, -eye[2] / d[:, 2], np.inf)
        wall = mk.first_hits(eye, d, room + lift)
        void = ~np.isfinite(np.minimum(wall, floor))
        if void.any():
            errs.append(f"beat {t:g}: {int(void.sum())} of {len(d)} rays see past the room")
        glass = mk.first_hits(eye, d, pane + lift)
        if t < 66.0:
            if np.isfinite(glass).any():
                errs.append(f"beat {t:g}: the pane is in view before the head rests")
        elif t >= 67.0:
            short = ~(np.minimum(glass, floor) <= FOCUS_REACH)
            if short.any():
                errs.append(f"beat {t:g}: {int(short.sum())} of {len(d)} rays pass no glass or floor "
                            f"within {FOCUS_REACH:g} of the eye")
    return errs


def _last_view_rays(nx=24, ny=14):
    """Unit rays from the scene's last eye through a grid over its picture."""
    eye, target = np.asarray(LAST_EYE), np.asarray(LAST_TARGET)
    fwd = (target - eye) / np.linalg.norm(target - eye)
    side = np.cross(fwd, (0, 0, 1))
    side /= np.linalg.norm(side)
    up = np.cross(side, fwd)
    th = math.tan(math.radians(LAST_YFOV / 2))
    rays = []
    for j in range(ny):
        for i in range(nx):
            sx = (2 * (i + 0.5) / nx - 1) * th * 16 / 9
            sy = (2 * (j + 0.5) / ny - 1) * th
            r = fwd + sx * side + sy * up
            rays.append(r / np.linalg.norm(r))
    return eye, np.array(rays)


def _first_hit(eye, ray, tris):
    """(distance, triangle index) of the nearest triangle the ray meets, or
    (inf, -1): Moller-Trumbore over all of them at once."""
    e1, e2 = tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0]
    pv = np.cross(ray, e2)
    det = np.einsum("ij,ij->i", e1, pv)
    ok = np.abs(det) > 1e-12
    inv = np.where(ok, 1 / np.where(ok, det, 1), 0)
    tv = eye - tris[:, 0]
    u = np.einsum("ij,ij->i", tv, pv) * inv
    qv = np.cross(tv, e1)
    v = (qv @ ray) * inv
    t = np.einsum("ij,ij->i", e2, qv) * inv
    hit = ok & (u >= -1e-9) & (v >= -1e-9) & (u + v <= 1 + 1e-9) & (t > 0)
    if not hit.any():
        return math.inf, -1
    k = np.where(hit, t, math.inf).argmin()
    return t[k], k


def stage_lit(point, normal, diffuse, ambient):
    """The colour the scene's stage lights give a surface (before its
    texture), as its shaders weigh them: the global ambient 0.2, and from
    each light ambient 0.3 and diffuse 1, both attenuated."""
    lit = 0.2 * ambient
    c0, c1, c2 = STAGE_ATTENUATION
    for light in STAGE_LIGHTS:
        d = np.asarray(light) - point
        dist = np.linalg.norm(d)
        att = 1 / (c0 + c1 * dist + c2 * dist * dist)
        lit = lit + att * (0.3 * ambient + diffuse * max(normal @ d / dist, 0.0))
    return lit


def room_errors(tris, glazes):
    """The room in the stall's frame: triangles (k, 3, 3) and each one's
    (diffuse, ambient). It must keep out of the stall and the cameras' path,
    face into the room, and fill the last view round the stall: every ray
    of that view that leaves the stall and meets the floor's level above it
    ends on room wall that the stage lights keep clear of black."""
    errs = []
    if len(tris) == 0:
        return ["the room is empty"]
    p = tris.reshape(-1, 3)
    # Nothing inside the stall or in front of it where the cameras move:
    # the room's walls stand at its edges only.
    inner = (np.abs(p[:, 0]) < ROOM_HALF_WIDTH - 1) & (p[:, 1] < 0)
    if inner.any():
        errs.append(f"{int(inner.sum())} room corners inside the room, among the stall and cameras")
    # Below the floor the wall leans back, so that its reflection, which
    # the head's descent brings up above the floor, stands behind it.
    # (The back wall's y grows as z falls there, the left-hand wall's x
    # falls.)
    geo = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0])
    for part, faces, axis, sign, face in (("back", np.abs(geo[:, 1]) > np.abs(geo[:, 0]), 1, 1, ROOM_BACK),
                                          ("left-hand", np.abs(geo[:, 0]) > np.abs(geo[:, 1]), 0, -1,
                                           -ROOM_HALF_WIDTH)):
        low = tris[faces].reshape(-1, 3)
        low = low[low[:, 2] < -1e-6]
        if np.any(sign * (low[:, axis] - face) < 0.5 * SKIRT_LEAN * -low[:, 2]):
            errs.append(f"below the floor the {part} wall does not lean back")
    if p[:, 2].min() > -DESCENT + 1e-3 or p[:, 2].max() < ROOM_HEIGHT - 1e-3:
        errs.append(f"the wall runs from z {p[:, 2].min():.1f} to {p[:, 2].max():.1f}: it does not stay "
                    f"from the floor to {ROOM_HEIGHT:g} as the head comes down {DESCENT:g}")
    geo = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0])
    normals = geo / np.linalg.norm(geo, axis=1, keepdims=True)
    centres = tris.mean(axis=1)
    inward = np.einsum("ij,ij->i", normals, np.array([0.0, -40.0, 20.0]) - centres) > 0
    if not inward.all():
        errs.append(f"{int((~inward).sum())} room triangles face out of the room")
    back = np.abs(normals[:, 1] + 1) < 1e-6
    if not back.any() or not (0 < centres[back, 1].min() and centres[back, 1].max() <= 1.0):
        errs.append("no back wall just behind the mosaic")
    # The last view: rays that pass beside or above the mosaic and stay
    # above the floor up to the wall must meet lit room wall.
    eye, rays = _last_view_rays()
    dark, missed = 0, 0
    for ray in rays:
        # Where the ray meets the mosaic's plane inside the back panel, the
        # stall is what it sees.
        at = eye + (0 - eye[1]) / ray[1] * ray
        if abs(at[0]) <= STALL_HALF_WIDTH and 0 <= at[2] <= STALL_HEIGHT:
            continue
        t, k = _first_hit(eye, ray, tris)
        # Down through the floor first: the glass shows the reflection there.
        if ray[2] < 0 and eye[2] / -ray[2] < min(t, (ROOM_BACK - eye[1]) / ray[1]):
            continue
        if k < 0:
            missed += 1
            continue
        hit = eye + t * ray
        diffuse, ambient = glazes[k]
        # At 0.2 the tile (about 0.9 bright) comes out near 45 of 255: clear
        # of black through the blur and the first beats of the fade.
        if np.mean(stage_lit(hit, normals[k], diffuse, ambient)) < 0.2:
            dark += 1
    if missed:
        errs.append(f"{missed} of {len(rays)} rays of the last view see past the room")
    if dark:
        errs.append(f"{dark} of {len(rays)} rays of the last view end on dark wall")
    return errs


def normal_map_errors(img):
    errs = []
    if img.size != (TILE_SIZE, TILE_SIZE) or img.mode != "RGB":
        return [f"normal map {img.size} {img.mode}"]
    n = np.asarray(img, dtype=np.float64) / 255 * 2 - 1
    length = np.linalg.norm(n, axis=-1)
    if np.abs(length - 1).max() > 0.03:
        errs.append(f"normal map lengths from {length.min():.3f} to {length.max():.3f}")
    if n[..., 2].min() <= 0:
        errs.append("normal map has normals pointing into the surface")
    q = TILE_SIZE // 4
    mid = n[q:-q, q:-q]
    flat = np.mean(mid[..., 2] > math.cos(math.radians(4)))
    if flat < 0.95:
        errs.append(f"only {flat:.0%} of the middle is flat")
    if np.abs(mid[..., :2]).max() < 0.002:
        errs.append("middle perfectly flat: no glaze waviness")
    # Rims slope outwards: at the left edge to -x, the top to +y (up).
    c = TILE_SIZE // 2
    e = int(GROUT + BEVEL / 3)
    for name, px, want in (("left", n[c, e], (-1, 0)), ("right", n[c, -1 - e], (1, 0)),
                           ("top", n[e, c], (0, 1)), ("bottom", n[-1 - e, c], (0, -1))):
        if px[0] * want[0] + px[1] * want[1] < 0.2:
            errs.append(f"{name} rim normal {px.round(2)} does not lean outwards")
    return errs


def tile_errors(img):
    errs = []
    if img.size != (TILE_SIZE, TILE_SIZE) or img.mode != "RGB":
        return [f"tile {img.size} {img.mode}"]
    a = np.asarray(img, dtype=np.float64)
    q = TILE_SIZE // 4
    mid = a[q:-q, q:-q].reshape(-1, 3)
    mean = mid.mean(0)
    if not (215 < mean.min() and mean.max() < 250 and mean[0] >= mean[2]):
        errs.append(f"glaze not off-white: {mean.round(1)}")
    if not 0.3 < mid.mean(1).std() < 6:
        errs.append(f"glaze variation {mid.mean(1).std():.2f} (want slight)")
    c, g = TILE_SIZE // 2, int(GROUT / 2)
    grout = a[c, g].mean()
    if grout > mean.mean() - 40:
        errs.append(f"grout {grout:.0f} not darker than the glaze {mean.mean():.0f}")
    # The colour map's rims agree with the normal map: lit from the upper
    # left, so the top rim is lighter than the bottom one, left than right.
    e = int(GROUT + BEVEL / 3)
    top, bottom, left, right = a[e, c].mean(), a[-1 - e, c].mean(), a[c, e].mean(), a[c, -1 - e].mean()
    if not (top > bottom + 15 and left > right + 15):
        errs.append(f"rims top {top:.0f} bottom {bottom:.0f} left {left:.0f} right {right:.0f}")
    # It repeats across the wall: the grout runs on across the wrap.
    if np.abs(a[0] - a[-1]).mean() > 12 or np.abs(a[:, 0] - a[:, -1]).mean() > 12:
        errs.append("tile does not wrap: borders differ")
    return errs


def squid_errors(img):
    errs = []
    if img.size != (SQUID_W, SQUID_H):
        return [f"squid.png is {img.size}, want ({SQUID_W}, {SQUID_H})"]
    a = np.asarray(img.convert("RGB"), dtype=np.int32)
    if not (np.all(a[..., 0] == a[..., 1]) and np.all(a[..., 0] == a[..., 2])):
        errs.append("squid.png is not grey")
    r = a[..., 0]
    dark, light = np.mean(r < 80), np.mean(r > 170)
    if dark < 0.15 or light < 0.15:
        errs.append(f"contrast: {dark:.0%} dark, {light:.0%} light (want 15 % each)")
    # Upright: the mantle's tip on the centre line near the top, a single
    # body there, and many separate limbs across the lower rows.
    cx = SQUID_W // 2
    if r[6, cx] < 170 or r[20, cx] < 170:
        errs.append("no mantle on the centre line near the top")
    if np.any(r[0:2].max(1) > 170):
        errs.append("squid touches the top edge")

    def runs(row):
        on = row > 140
        return int(np.sum(on[1:] & ~on[:-1]) + on[0])
    if runs(r[30]) != 1:
        errs.append(f"mantle row 30 split into {runs(r[30])} parts")
    limbs = max(runs(r[y]) for y in range(58, 72))
    if limbs < 8:
        errs.append(f"at most {limbs} limbs across the lower rows, want 8 or more")
    # The eyes: dark spots inside the light head.
    head = r[43:50, cx - 9:cx + 10]
    if not (head.min() < 80 and np.mean(head > 170) > 0.4):
        errs.append("no dark eyes in a light head")
    return errs


def check(root, args=None):
    import check_collada
    errs = []
    out_dir = os.path.join(root, TILES_DIR)
    path = os.path.join(out_dir, MODEL_NAME)
    errs += check_collada.check(path)
    merrs, count = model_errors(path)
    errs += merrs
    for n in build_scene().walk():
        for i, m in enumerate(n.meshes):
            errs += check_collada.winding_errors(f"{n.name} mesh {i}", m)
    tile = Image.open(os.path.join(out_dir, TILE_NAME))
    normal = Image.open(os.path.join(out_dir, NORMAL_NAME))
    errs += tile_errors(tile)
    errs += normal_map_errors(normal)
    errs += squid_errors(Image.open(os.path.join(out_dir, SQUID_NAME)))
    # The checks must see real faults: a flipped squid and a map with a
    # steep middle fail them.
    squid = Image.open(os.path.join(out_dir, SQUID_NAME))
    if not squid_errors(squid.transpose(Image.Transpose.FLIP_TOP_BOTTOM)):
        errs.append("squid check blind: an upside-down squid passes")
    # ... and a room that stands back from the stall, or one gone dark, too.
    room = [m.transformed(mk.translation(0, 30, 0)) for m in room_meshes()]
    room_tris = np.concatenate([m.positions[m.faces] for m in room])
    glaze = [(np.minimum(2 * np.asarray(m.material.ambient[:3]), 1.0), np.asarray(m.material.ambient[:3]))
             for m in room for _ in m.faces]
    if not room_errors(room_tris, glaze):
        errs.append("room check blind: a back wall 30 behind the mosaic passes")
    room = room_meshes()
    room_tris = np.concatenate([m.positions[m.faces] for m in room])
    if not room_errors(room_tris, [(np.full(3, 0.1), np.full(3, 0.05))] * len(room_tris)):
        errs.append("room check blind: a dark room passes")
    # ... a wall that stops at the floor, and a pane farther from the stall.
    room = [m for m in room_meshes()]
    room_tris = np.concatenate([m.positions[m.faces] for m in room])
    kept = room_tris[room_tris[:, :, 2].min(axis=1) >= 0]
    pane = np.concatenate([m.positions[m.faces] for m in focus_meshes()])
    if not path_errors(kept, pane, beats=[30.0, 60.0]):
        errs.append("path check blind: a wall that stops at the floor passes")
    if not path_errors(room_tris, pane + [0, 20.0, 0], beats=[96.0]):
        errs.append("path check blind: a pane 20 nearer the stall passes")
    steep = np.asarray(normal).copy()
    steep[64:192, 64:192] = (200, 128, 236)
    if not normal_map_errors(Image.fromarray(steep, "RGB")):
        errs.append("normal map check blind: a tilted middle passes")
    # Same command, same bytes.
    with open(path, "rb") as f:
        if f.read() != collada_writer.to_dae(build_scene()).encode():
            errs.append("the model differs from a fresh build")
    for name, data in outputs().items():
        with open(os.path.join(out_dir, name), "rb") as f:
            if f.read() != data:
                errs.append(f"{name} differs from a fresh build")
    print(f"{count} triangles")
    return errs


# ---------------------------------------------------------------------------


def generate(out_dir, args=None):
    for name, data in outputs().items():
        write(os.path.join(out_dir, name), data)
    collada_writer.write_dae(build_scene(), os.path.join(out_dir, MODEL_NAME))


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "tiles assets", TILES_DIR, check, generate,
                            [MODEL_NAME, TILE_NAME, NORMAL_NAME, SQUID_NAME]))
