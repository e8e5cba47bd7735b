#!/usr/bin/python3
"""Tin Lantern robot scene: three tall enamelled tin robots (the screen
robot, the camera robot, the banjo player) and the little painter on wheels.

Outputs, under <root>/data/dadezaruv:

    Assembled robot.dae      the boxy cream robot with a screen in its chest
    Assembled CameraBot.dae  the orange robot with a film camera on its shoulder
    BanjoBot.dae             the teal robot in a straw boater playing a banjo
    Painterbot.dae           the small wheeled robot with a paint brush
    screen.png               the chest screen's dark placeholder picture; the
                             scene draws its own picture there at run time
    stage.png                the stage curtain's velvet, footlights and spots

Conventions the robot scene relies on (all files Z up, every robot facing
its local +x, so a viewer in front has +y on their right; the robot's own
left is +y):

    The three tall robots stand with their soles on z = -12.9 and reach
    about z = 9.5: chest about z = 0..4, head about z = 5..9.5; everything
    stays within 8 of the origin in x and y.

    Assembled robot.dae       (stands at ROBOT_OFFSET from its origin, all of
                              it; the measures below are taken from there)
        Torso                 everything but the head: legs, body, arms, the
                              chest screen (node Torso/Screen, one flat quad
                              facing +x in material "screen_001", textured
                              with screen.png: uv (0, 0) at its lower edge on
                              -y, (1, 1) at its upper edge on +y, 16:9)
        Skull                 the head only; origin on the neck joint, frame
                              the file's, so it nods about (0, 1, 0)
        Camera                the only camera (the scene replaces it)
        KeyLight0..3, StageLight
                              five point lights in this order: the scene puts
                              the first four on its four cameras every frame
                              (they keep this file's colour and gentle
                              fall-off, so the whole stage is lit), and gives
                              the last its own stage values
    Assembled CameraBot.dae
        UpperArm/LowerArm     the robot's right (-y) forearm, origin at the
                              elbow; geometry "lowerarm_002-geometry", and
                              its child Hand with "hand_002-geometry"
        UpperArm_001/LowerArm_001
                              the left (+y) forearm, origin at the elbow;
                              geometry "lowerarm_002", child Hand_001 with
                              "hand_002"
                              Both forearm frames have x along the elbow's
                              hinge (file -y): turning about local (1, 0, 0)
                              by a positive angle raises the hand forwards
                              (+x) and up; at 0 the forearm hangs straight.
        FilmCamera            the two-reel movie camera on the right
                              shoulder; its recording lamp is material
                              "RecLamp_material_004"
        Body, Legs, Head      the rest (Head's origin on the neck)
        Stage                 the round velvet curtain (material
                              "StageCurtain", textured with stage.png, glowing
                              by itself) and its dark ceiling, enclosing the
                              four robots and the scene's cameras; made in the
                              scene's coordinates and undone from the camera
                              robot's placement, since the scene draws this
                              model exactly once per pass
    BanjoBot.dae
        Torso                 body, legs, both upper arms, the fretting arm;
                              Torso/LowerArm is the strumming forearm (origin
                              at the right elbow, geometry
                              "lowerarm_002-geometry") and Torso/LowerArm/Hand
                              its hand ("hand_002-geometry"); turning about
                              local (0, 1, 0), the drum's axis, swings the
                              hand up and down across the drum head
        Skull                 the head and its hat; origin on the neck joint,
                              frame the file's, nods about (0, 1, 0)
        Circle                the banjo: drum facing +x in front of the belly,
                              neck rising towards the robot's left (+y)
    Painterbot.dae
        floor z = -0.9, about 3 tall, 1 wide; drives towards +x. Its brush
        arm is on its left and the bristles' tip lies exactly on (0, 0.9,
        -0.9). The blinking lamp on its head is material
        "indicator-material". Wheel_* nodes sit on their axles (turn about
        local (0, 1, 0)).

    Only "Assembled robot.dae" has a camera and lights; the others have
    none.

    /usr/bin/python3 tools/assets/robots_assets.py --root .
    /usr/bin/python3 tools/assets/robots_assets.py --root . --check

--check reads the written files back (the models through pycollada) and
verifies the conventions above: node and geometry names, the floor, the
sizes, the screen quad and its texture coordinates, the joints (the turned
parts are turned with the engine's formula and must stay attached and move
the right way), cameras and lights, the triangle budget, the winding, and
that a second generation gives the same bytes. It also feeds itself a few
deliberately broken models and fails if it does not notice.

Deterministic: no random numbers, the writer's fixed COLLADA dates, no time
stamps or text chunks in the picture.
"""

import io
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
import model_parts  # noqa: E402
from generator import write  # noqa: E402,F401
import modelkit as mk  # noqa: E402

# The names the scenes find these parts by (src/scenes/model_parts.def).
ROBOT_PARTS = model_parts.read()
# The camera robot's two turning forearms: (node, forearm geometry, hand geometry).
CAMERABOT_ARMS = tuple(tuple(ROBOT_PARTS["CameraBot"][p] for p in parts)
                       for parts in (("SwingingArm", "SwingingForearm", "SwingingHand"),
                                     ("HoldingArm", "HoldingForearm", "HoldingHand")))

OUT_DIR = "data/dadezaruv"
ROBOT_NAME = "Assembled robot.dae"
CAMERABOT_NAME = "Assembled CameraBot.dae"
PAINTER_NAME = "Painterbot.dae"
BANJO_NAME = "BanjoBot.dae"
SCREEN_PNG = "screen.png"

FLOOR_Z = -12.9          # the tall robots' floor
PAINTER_FLOOR_Z = -0.9   # the painter's floor
PAINTER_STRETCH = 1.5    # its height and length as shown, over those it is built at
BRUSH_TIP = (0.0, 0.9, -0.9)
TRIANGLE_BUDGET = 25000

# Where the assembled robot stands in its file: back and to the right as
# the scene's first camera sees it, so its head stays clear of the
# captions at the picture's upper left.
ROBOT_OFFSET = (-0.5, 8.0, 0.0)
# The four lights that follow the scene's cameras.
KEY_COLOUR = (0.85, 0.80, 0.74)
KEY_LINEAR = 0.02
KEY_QUADRATIC = 0.0006

# The chest screen of the assembled robot: 16:9, centred on y = 0.
SCREEN_W, SCREEN_H = 4.4, 2.475
SCREEN_CZ = 1.75
SCREEN_X = 2.06


# ---------------------------------------------------------------------------
# Materials
# ---------------------------------------------------------------------------

def enamel(name, rgb, shininess=48.0):
    """Stove enamel on tin: the colour with a clear, fairly tight gloss."""
    return mk.Material(name, diffuse=rgb, ambient=tuple(0.45 * c for c in rgb), specular=(0.55, 0.55, 0.55),
                       shininess=shininess)


def lamp(name, rgb, glow=0.75):
    """A lit bulb: it shows its colour without any light on it."""
    return mk.Material(name, diffuse=rgb, ambient=tuple(0.3 * c for c in rgb),
                       emission=tuple(glow * c for c in rgb), specular=(0.9, 0.9, 0.9),
                       shininess=80)


CREAM = enamel("CreamEnamel", (0.90, 0.85, 0.70))
TEAL = enamel("TealEnamel", (0.09, 0.50, 0.50))
SEAFOAM = enamel("SeafoamEnamel", (0.30, 0.66, 0.58))
ORANGE = enamel("OrangeEnamel", (0.93, 0.42, 0.09))
RED = enamel("RedEnamel", (0.78, 0.10, 0.08))
PAINT_BLUE = enamel("BlueEnamel", (0.12, 0.30, 0.72))
PAINT_YELLOW = enamel("YellowEnamel", (0.97, 0.78, 0.12))
STEEL = mk.Material("BrushedSteel", diffuse=(0.56, 0.58, 0.61), specular=(0.45, 0.45, 0.47),
                    shininess=22)
CHROME = mk.Material("Chrome", diffuse=(0.70, 0.71, 0.74), ambient=(0.18, 0.18, 0.19),
                     specular=(1.0, 1.0, 1.0), shininess=96)
BRASS = mk.Material("Brass", diffuse=(0.78, 0.60, 0.26), ambient=(0.2, 0.15, 0.06),
                    specular=(0.9, 0.8, 0.55), shininess=64)
RUBBER = mk.Material("Rubber", diffuse=(0.08, 0.08, 0.085), specular=(0.08, 0.08, 0.08),
                     shininess=8)
SEAM = mk.Material("PanelSeam", diffuse=(0.17, 0.16, 0.15), specular=(0.05, 0.05, 0.05),
                   shininess=8)
DARK_GLASS = mk.Material("DarkGlass", diffuse=(0.03, 0.04, 0.06), specular=(0.9, 0.9, 0.95),
                         shininess=110)
CRACKLE = mk.Material("BlackCrackle", diffuse=(0.07, 0.07, 0.08), specular=(0.3, 0.3, 0.3),
                      shininess=30)
AMBER_EYE = lamp("AmberEyeLamp", (1.0, 0.70, 0.22))
CYAN_EYE = lamp("CyanEyeLamp", (0.35, 0.9, 1.0))
GREEN_EYE = lamp("GreenEyeLamp", (0.45, 1.0, 0.45))
RED_LAMP = lamp("RedLamp", (1.0, 0.16, 0.1))
GREEN_LAMP = lamp("GreenLamp", (0.3, 1.0, 0.35))
ORANGE_LAMP = lamp("OrangeLamp", (1.0, 0.5, 0.12))
# The scenes find these three by name.
SCREEN = mk.Material(ROBOT_PARTS["Robot"]["Screen"], texture=SCREEN_PNG, ambient=(0.4, 0.4, 0.4),
                     emission=(0.3, 0.3, 0.3), specular=(0.5, 0.5, 0.5), shininess=90)
REC_LAMP = mk.Material("RecLamp_" + ROBOT_PARTS["CameraBot"]["Lamp"], diffuse=(0.55, 0.04, 0.03),
                       ambient=(0.2, 0.02, 0.02), emission=(0.35, 0.02, 0.01),
                       specular=(0.9, 0.9, 0.9), shininess=80)
INDICATOR = mk.Material(ROBOT_PARTS["PainterBot"]["Lamp"], diffuse=(0.5, 0.06, 0.04),
                        ambient=(0.15, 0.02, 0.02), emission=(0.25, 0.02, 0.01),
                        specular=(0.9, 0.9, 0.9), shininess=80)
# Banjo and painter's things.
MAPLE = mk.Material("MapleWood", diffuse=(0.62, 0.36, 0.16), specular=(0.35, 0.3, 0.25),
                    shininess=40)
EBONY = mk.Material("Ebony", diffuse=(0.09, 0.06, 0.05), specular=(0.3, 0.3, 0.3), shininess=40)
VELLUM = mk.Material("DrumHead", diffuse=(0.94, 0.91, 0.82), specular=(0.15, 0.15, 0.15),
                     shininess=10)
IVORY = mk.Material("Ivory", diffuse=(0.96, 0.94, 0.86), specular=(0.5, 0.5, 0.5), shininess=50)
LEATHER = mk.Material("Leather", diffuse=(0.36, 0.20, 0.10), specular=(0.15, 0.12, 0.1),
                      shininess=16)
STRAW = mk.Material("Straw", diffuse=(0.88, 0.74, 0.44), specular=(0.12, 0.12, 0.1),
                    shininess=10)
BRISTLE = mk.Material("Bristle", diffuse=(0.30, 0.22, 0.15), specular=(0.1, 0.1, 0.1),
                      shininess=10)
WET_PAINT = mk.Material("WetPaint", diffuse=(0.85, 0.08, 0.12), specular=(0.8, 0.8, 0.8),
                        shininess=70)
BERET = mk.Material("BeretFelt", diffuse=(0.45, 0.05, 0.12), specular=(0.05, 0.05, 0.05),
                    shininess=6)


# ---------------------------------------------------------------------------
# Shape helpers
# ---------------------------------------------------------------------------

# Outlines drawn in (u, v) and extruded along w become (y, z) and x: the
# outline seen from the front, standing out towards +x.
FACE_X = np.array([[0.0, 0, 1, 0], [1, 0, 0, 0], [0, 1, 0, 0], [0, 0, 0, 1]])


def vec(*v):
    return np.array(v, dtype=np.float64)


def z_to(d):
    """A rotation that turns +z onto the direction d."""
    d = np.asarray(d, dtype=np.float64)
    d = d / np.linalg.norm(d)
    if d[2] > 1 - 1e-12:
        return np.identity(4)
    if d[2] < -1 + 1e-12:
        return mk.rotation(1, 0, 0, 180)
    axis = np.cross([0.0, 0.0, 1.0], d)
    return mk.rotation(*axis, math.degrees(math.acos(max(-1.0, min(1.0, d[2])))))


def along(mesh, p0, d):
    """A mesh built along +z from the origin, set down at p0 along d."""
    return mesh.transformed(mk.translation(*p0) @ z_to(d))


def rod(p0, p1, r, material, segments=12, caps=True):
    p0, p1 = np.asarray(p0, float), np.asarray(p1, float)
    length = float(np.linalg.norm(p1 - p0))
    return along(mk.cylinder(r, length, segments, material, caps=caps), p0, p1 - p0)


def capsule(p0, p1, r, material, segments=16, r1=None):
    """A rod with round ends (r at p0, r1 at p1)."""
    p0, p1 = np.asarray(p0, float), np.asarray(p1, float)
    r1 = r if r1 is None else r1
    length = float(np.linalg.norm(p1 - p0))
    prof = [(r * math.cos(math.radians(a)), r + r * math.sin(math.radians(a)))
            for a in (-90, -60, -30, 0)]
    prof += [(r1 * math.cos(math.radians(a)), length - r1 + r1 * math.sin(math.radians(a)))
             for a in (0, 30, 60, 90)]
    return along(mk.lathe(prof, segments, material, smooth_angle=50), p0, p1 - p0)


def ball(c, r, material, segments=16, rings=8):
    return mk.sphere(r, segments, rings, material).translated(*c)


def disc(c, d, r, t, material, segments=20):
    """A coin of radius r and thickness t, its face looking along d."""
    return along(mk.cylinder(r, t, segments, material), c, d)


def ring(c, d, major, minor, material, segments=20, sides=6):
    """A torus round the axis d through c."""
    return along(mk.torus(major, minor, segments, sides, material), c, d)


def bellows(p0, p1, r, ribs, depth, material, segments=16):
    """A ribbed rubber sleeve from p0 to p1: the retro robot's flexible limb."""
    p0, p1 = np.asarray(p0, float), np.asarray(p1, float)
    length = float(np.linalg.norm(p1 - p0))
    steps = 3 * ribs
    prof = [(0.0, 0.0)]
    for k in range(steps + 1):
        t = k / steps
        prof.append((r - depth * (0.5 - 0.5 * math.cos(2 * math.pi * ribs * t)), length * t))
    prof.append((0.0, length))
    return along(mk.lathe(prof, segments, material, smooth_angle=70), p0, p1 - p0)


def bolt(p, n, r, material):
    """A dome-headed bolt on a surface at p with outward normal n; its foot
    sinks a little into the surface so no gap shows."""
    prof = [(0.0, -0.03), (r, -0.03), (r, 0.3 * r), (0.55 * r, 0.68 * r), (0.0, 0.76 * r)]
    return along(mk.lathe(prof, 6, material, smooth_angle=50), p, n)


def rounded_box(sx, sy, sz, r, material, steps=3):
    """A box with every edge and corner rounded by r, centred on the origin:
    flat faces, quarter-cylinder edges and eighth-sphere corners, smooth
    throughout. Each face carries the whole texture."""
    h = np.array([sx, sy, sz], dtype=np.float64) / 2
    r = min(r, float(h.min()))
    inner = h - r
    tans = [math.tan(math.radians(45.0 * k / steps)) for k in range(steps + 1)]

    def coords(axis):
        hi = [inner[axis] + r * t for t in tans]
        lo = [-v for v in reversed(hi)]
        if inner[axis] < 1e-9:
            lo = lo[:-1]
        return lo + hi

    pos, nrm, uv, faces = [], [], [], []
    for axis in range(3):
        ua, va = (axis + 1) % 3, (axis + 2) % 3
        cu, cv = coords(ua), coords(va)
        for sign in (1.0, -1.0):
            base = len(pos)
            for a in cu:
                for b in cv:
                    p = np.zeros(3)
                    p[axis], p[ua], p[va] = sign * h[axis], a, b
                    c = np.clip(p, -inner, inner)
                    n = (p - c) / np.linalg.norm(p - c)
                    pos.append(c + r * n)
                    nrm.append(n)
                    uv.append(((a + h[ua]) / (2 * h[ua]), (b + h[va]) / (2 * h[va])))
            w = len(cv)
            for i in range(len(cu) - 1):
                for j in range(w - 1):
                    q = [base + i * w + j, base + (i + 1) * w + j,
                         base + (i + 1) * w + j + 1, base + i * w + j + 1]
                    if sign < 0:
                        q = q[::-1]
                    faces += [(q[0], q[1], q[2]), (q[0], q[2], q[3])]
    m = mk.Mesh(pos, nrm, uv, faces, material)
    return drop_degenerate(m)


def drop_degenerate(m):
    p, f = m.positions, m.faces
    area = np.linalg.norm(np.cross(p[f[:, 1]] - p[f[:, 0]], p[f[:, 2]] - p[f[:, 0]]), axis=1)
    return mk.Mesh(m.positions, m.normals, m.uvs, f[area > 1e-10], m.material)


def rbox(c, size, r, material, steps=3):
    return rounded_box(*size, r, material, steps).translated(*c)


def bezel(cy, cz, x0, w, h, border, depth, r, material):
    """A picture frame facing +x round a w x h opening centred on (cy, cz),
    its back on x = x0; rounded outer corners, a square opening. Built as
    two C-shaped halves that meet on the centre line."""
    W, H = w / 2 + border, h / 2 + border
    half = ([(0.0, -H)] + mk.arc(W - r, -H + r, r, -90, 0, 3) + mk.arc(W - r, H - r, r, 0, 90, 3)
            + [(0.0, H), (0.0, h / 2), (w / 2, h / 2), (w / 2, -h / 2), (0.0, -h / 2)])
    out = []
    for s in (1, -1):
        pts = [(s * u, v) for u, v in half]
        m = mk.extrude(pts, depth, material, smooth_angle=35)
        out.append(m.transformed(mk.translation(x0, cy, cz) @ FACE_X))
    return mk.merge(out)


def screen_quad(x, cy, cz, w, h, material):
    """The flat screen facing +x: uv (0, 0) at the lower edge on -y (the
    viewer's left), (1, 1) at the upper edge on +y."""
    y0, y1, z0, z1 = cy - w / 2, cy + w / 2, cz - h / 2, cz + h / 2
    pos = [(x, y0, z0), (x, y1, z0), (x, y1, z1), (x, y0, z1)]
    uv = [(0, 0), (1, 0), (1, 1), (0, 1)]
    return mk.Mesh(pos, [(1, 0, 0)] * 4, uv, [(0, 1, 2), (0, 2, 3)], material)


def grille(cx, cy, cz, w, h, bars, plate, bar):
    """A speaker grille facing +x: a dark plate with round bars across it."""
    out = [rbox((cx, cy, cz), (0.1, w, h), 0.04, plate, steps=2)]
    for k in range(bars):
        z = cz - h / 2 + h * (k + 0.5) / bars
        out.append(capsule((cx + 0.05, cy - w / 2 + 0.1, z), (cx + 0.05, cy + w / 2 - 0.1, z),
                           min(0.06, h / bars * 0.3), bar, 8))
    return out


def dial(c, r, face, rim, needle_angle):
    """A round gauge facing +x: chrome bezel, cream face, a needle."""
    c = np.asarray(c, float)
    x = vec(1, 0, 0)
    out = [disc(c - 0.04 * x, x, r, 0.08, face, 24),
           ring(c + 0.04 * x, x, r, 0.05, rim, 24, 6)]
    a = math.radians(needle_angle)
    tip = c + vec(0.06, 0.8 * r * math.sin(a), 0.8 * r * math.cos(a))
    out.append(rod(c + vec(0.06, 0, 0), tip, 0.025, RUBBER, 5))
    out.append(ball(c + vec(0.06, 0, 0), 0.06, RED, 8, 4))
    return out


def lamp_eye(c, r, glass, rim, d=(1, 0, 0)):
    """A round eye lamp looking along d: chrome ring, glowing dome."""
    c, d = np.asarray(c, float), np.asarray(d, float)
    dome = mk.sphere(r, 18, 8, glass).transformed(mk.translation(*c) @ z_to(d) @
                                                  mk.scaling(1, 1, 0.45))
    return [dome, ring(c, d, r + 0.03, 0.08, rim, 24, 8)]


def pincer(p0, d, size, material, tips):
    """A two-fingered claw at the wrist p0 pointing along d, fingers parting
    across the robot's left-right (y) axis."""
    d = np.asarray(d, float) / np.linalg.norm(d)
    side = vec(0, 1, 0) - d * d[1]
    side /= np.linalg.norm(side)
    p0 = np.asarray(p0, float)
    s = size
    out = [capsule(p0 - 0.05 * s * d, p0 + 0.35 * s * d, 0.42 * s, material, 14)]
    for k in (1, -1):
        a = p0 + 0.3 * s * d + k * 0.25 * s * side
        b = a + 0.45 * s * d + k * 0.18 * s * side
        c = b + 0.45 * s * d - k * 0.22 * s * side
        out += [capsule(a, b, 0.12 * s, material, 8),
                capsule(b, c, 0.11 * s, material, 8, 0.08 * s),
                ball(b, 0.14 * s, CHROME, 10, 5), ball(c, 0.09 * s, tips, 8, 4)]
    return out


def mitten(p0, d, size, palm, thumb_side, material_thumb=None):
    """A rounded mitten hand at the wrist p0 pointing along d: a palm, the
    knuckles' ball, and a thumb on thumb_side."""
    d = np.asarray(d, float) / np.linalg.norm(d)
    t = np.asarray(thumb_side, float)
    t = t - d * (t @ d)
    t /= np.linalg.norm(t)
    p0 = np.asarray(p0, float)
    s = size
    out = [capsule(p0, p0 + 0.6 * s * d, 0.36 * s, palm, 14),
           ball(p0 + 0.75 * s * d, 0.33 * s, palm, 14, 7)]
    tb = p0 + 0.25 * s * d + 0.3 * s * t
    out.append(capsule(tb, tb + 0.35 * s * d + 0.25 * s * t, 0.13 * s,
                       material_thumb or palm, 8))
    return out


def local_meshes(world, meshes):
    """Meshes made in the file's frame, expressed in a node's frame."""
    inv = np.linalg.inv(world)
    return [m.transformed(inv) for m in meshes]


def placed(name, parent_world, meshes=(), translate=None, rotate=(), geometry_id=None):
    """A node whose meshes are given in file coordinates; returns the node
    and its world matrix."""
    node = mk.Node(name, translate=translate, rotate=rotate, geometry_id=geometry_id)
    world = parent_world @ node.local_matrix()
    node.meshes = local_meshes(world, meshes)
    return node, world


# ---------------------------------------------------------------------------
# Parts the tall robots share
# ---------------------------------------------------------------------------

def boot(x, y, length, width, height, upper, sole):
    """A rounded boot with a rubber sole flat on the floor, toe towards +x."""
    out = [rbox((x, y, FLOOR_Z + 0.15), (length + 0.1, width + 0.1, 0.3), 0.1, sole, 2),
           rbox((x, y, FLOOR_Z + 0.3 + height / 2), (length, width, height), 0.42, upper)]
    top = FLOOR_Z + 0.3 + height
    for k in (-1, 1):
        out.append(bolt((x + length / 2 - 0.55, y + k * 0.45 * width, top - 0.02), (0, 0, 1),
                        0.14, CHROME))
    return out


def shoulder_hub(y_side, z, body_y, colour):
    """The round shoulder socket on the body's side at y = body_y * y_side."""
    s = y_side
    y = s * body_y
    out = [disc((0, y - s * 0.05, z), (0, s, 0), 1.0, 0.45, STEEL, 24),
           disc((0, y + s * 0.4, z), (0, s, 0), 0.78, 0.2, colour, 24),
           ring((0, y + s * 0.4, z), (0, s, 0), 0.98, 0.07, CHROME, 24, 6),
           bolt((0, y + s * 0.6, z), (0, s, 0), 0.2, CHROME)]
    for k in range(6):
        a = 2 * math.pi * (k + 0.5) / 6
        out.append(bolt((0.62 * math.sin(a), y + s * 0.6, z + 0.62 * math.cos(a)), (0, s, 0),
                        0.07, CHROME))
    return out


# ---------------------------------------------------------------------------
# Assembled robot: the boxy robot with the screen in its chest
# ---------------------------------------------------------------------------

NECK_Z = 5.0          # the head's joint, top of the neck
CHEST_TOP = 4.45


def robot_legs():
    m = []
    for s in (-1, 1):
        y = s * 1.8
        m += boot(0.4, y, 3.6, 2.2, 1.1, TEAL, RUBBER)
        m.append(rod((0, y, FLOOR_Z + 1.3), (0, y, -11.0), 0.65, STEEL, 18))
        m.append(ring((0, y, FLOOR_Z + 1.45), (0, 0, 1), 0.66, 0.08, CHROME, 20))
        m.append(rbox((0, y, -9.75), (1.95, 1.85, 2.9), 0.4, CREAM))
        m.append(mk.box_at(0.96, 1.0, y - 0.6, y + 0.6, -10.85, -10.79, SEAM))
        for k in (-1, 1):
            m.append(bolt((0.97, y + k * 0.55, -10.45), (1, 0, 0), 0.09, CHROME))
        # Knee: a hinge drum across the leg with chrome caps and a teal pad.
        m.append(rod((0, y - 1.02, -8.05), (0, y + 1.02, -8.05), 0.7, STEEL, 20))
        for k in (-1, 1):
            m.append(ring((0, y + k * 1.02, -8.05), (0, k, 0), 0.56, 0.1, CHROME, 20, 6))
            m.append(bolt((0, y + k * 1.03, -8.05), (0, k, 0), 0.18, CHROME))
        m.append(rbox((0.66, y, -8.05), (0.4, 1.3, 1.15), 0.16, TEAL, 2))
        m.append(rbox((0, y, -6.6), (1.85, 1.75, 2.5), 0.4, CREAM))
    # Pelvis with a hip axle, and the ribbed waist.
    m.append(rbox((0, 0, -4.8), (3.3, 5.6, 1.4), 0.45, TEAL))
    for y in (-2.0, -1.0, 0.0, 1.0, 2.0):
        m.append(bolt((1.6, y, -4.8), (1, 0, 0), 0.12, CHROME))
    m.append(bellows((0, 0, -4.3), (0, 0, -3.6), 1.55, 3, 0.12, STEEL, 24))
    return m


def robot_chest():
    m = [rbox((0, 0, 0.35), (4.0, 6.4, 8.2), 0.6, CREAM)]
    # A seam across the front; a bolted service hatch with louvres on each side.
    m.append(mk.box_at(1.99, 2.03, -2.6, 2.6, -1.95, -1.88, SEAM))
    for s in (-1, 1):
        m.append(rbox((0.0, s * 3.2, -0.9), (2.6, 0.12, 3.6), 0.05, CREAM, 2))
        for z in (-1.9, -1.5, -1.1):
            m.append(mk.box_at(-0.7, 0.7, s * 3.26 - 0.01, s * 3.26 + 0.01, z - 0.05, z + 0.05, SEAM))
        for x in (-1.05, 1.05):
            for z in (-2.5, 0.7):
                m.append(bolt((x, s * 3.26, z), (0, s, 0), 0.09, CHROME))
    # Bolts round the front panel.
    for y in (-2.65, 2.65):
        for z in (-3.25, -1.5, 3.9):
            m.append(bolt((2.0, y, z), (1, 0, 0), 0.13, CHROME))
    # Screen bezel, with four small bolts at its corners.
    m.append(bezel(0.0, SCREEN_CZ, 1.97, SCREEN_W, SCREEN_H, 0.3, 0.17, 0.18, TEAL))
    for y in (-1, 1):
        for z in (-1, 1):
            m.append(bolt((2.14, y * (SCREEN_W / 2 + 0.15), SCREEN_CZ + z * (SCREEN_H / 2 + 0.15)),
                          (1, 0, 0), 0.08, CHROME))
    # Control row under the screen: three lamp buttons and a dial.
    for y, mat in ((-1.9, RED_LAMP), (-1.2, ORANGE_LAMP), (-0.5, GREEN_LAMP)):
        m.append(disc((1.98, y, -0.85), (1, 0, 0), 0.27, 0.1, CHROME, 16))
        m.append(ball((2.08, y, -0.85), 0.2, mat, 12, 6))
    m += dial((2.03, 1.3, -0.85), 0.5, IVORY, CHROME, 35)
    m.append(disc((1.98, 2.25, -0.85), (1, 0, 0), 0.18, 0.25, STEEL, 12))
    # Speaker grille below the belt line.
    m += grille(2.0, 0.0, -2.85, 3.0, 1.1, 5, RUBBER, CHROME)
    # Shoulder sockets and a chrome collar where the neck leaves the body.
    for s in (-1, 1):
        m += shoulder_hub(s, 3.1, 3.2, ORANGE)
    m.append(disc((0, 0, CHEST_TOP - 0.1), (0, 0, 1), 1.2, 0.2, STEEL, 24))
    for k in range(4):
        a = math.pi / 4 + k * math.pi / 2
        m.append(bolt((1.45 * math.cos(a), 1.8 * math.sin(a), CHEST_TOP - 0.02), (0, 0, 1), 0.13,
                      CHROME))
    return m


def robot_arm(s):
    """The arm on side s (+1 the robot's left, +y): a ribbed upper arm, a
    chrome elbow, a cream forearm reaching forwards, a steel claw."""
    shoulder = vec(0, s * 3.95, 3.1)
    elbow = vec(0.25, s * 4.15, -0.1)
    wrist = vec(1.9, s * 4.05, -1.55)
    m = [bellows(shoulder, elbow, 0.48, 6, 0.1, RUBBER, 16),
         ball(shoulder, 0.5, STEEL, 16, 8), ball(elbow, 0.58, CHROME, 18, 9),
         capsule(elbow, wrist, 0.5, CREAM, 16, 0.44),
         ring(wrist - 0.15 * (wrist - elbow) / np.linalg.norm(wrist - elbow),
              wrist - elbow, 0.44, 0.07, CHROME, 18, 6)]
    m += pincer(wrist, wrist - elbow + vec(0, 0, -0.6), 1.1, STEEL, ORANGE)
    return m


def robot_head():
    """In the file's frame; Skull puts its origin on the neck joint."""
    z0 = NECK_Z
    m = [rod((0, 0, z0 - 0.15), (0, 0, z0 + 0.4), 0.78, RUBBER, 20),
         rbox((0, 0, z0 + 2.15), (3.4, 4.4, 3.6), 0.6, CREAM),
         # A teal band round the eyes, standing a little proud of the head.
         rbox((0, 0, z0 + 2.45), (3.5, 4.5, 1.45), 0.62, TEAL)]
    for y in (-0.92, 0.92):
        m += lamp_eye((1.74, y, z0 + 2.45), 0.5, AMBER_EYE, CHROME)
        m.append(disc((1.8, y, z0 + 2.45), (1, 0, 0), 0.16, 0.02, RUBBER, 12))
    # A smile of small orange lamps.
    for k in range(7):
        t = (k - 3) / 3
        y, z = 0.95 * t, z0 + 1.05 + 0.32 * t * t
        m.append(ball((1.68, y, z), 0.12, ORANGE_LAMP, 10, 5))
    # Ears: orange drums with chrome bolts, a small antenna with a red lamp.
    for s in (-1, 1):
        m.append(disc((0, s * 2.15, z0 + 2.3), (0, s, 0), 0.75, 0.3, ORANGE, 24))
        m.append(ring((0, s * 2.45, z0 + 2.3), (0, s, 0), 0.62, 0.06, CHROME, 20, 6))
        m.append(bolt((0, s * 2.45, z0 + 2.3), (0, s, 0), 0.22, CHROME))
    m.append(disc((0, 0, z0 + 3.9), (0, 0, 1), 0.38, 0.18, STEEL, 16))
    m.append(rod((0, 0, z0 + 4.0), (0, 0, z0 + 4.3), 0.08, CHROME, 8))
    m.append(ring((0, 0, z0 + 4.16), (0, 0, 1), 0.16, 0.04, CHROME, 12, 4))
    m.append(ball((0, 0, z0 + 4.5), 0.26, RED_LAMP, 14, 7))
    for y in (-1.6, 1.6):
        for x in (-1.2, 1.2):
            m.append(bolt((x, y, z0 + 3.95), (0, 0, 1), 0.11, CHROME))
    return m


def build_robot():
    parts = ROBOT_PARTS["Robot"]
    ident = np.identity(4)
    torso = mk.Node(parts["Torso"])
    tw = ident
    legs, _ = placed("Legs", tw, robot_legs())
    chest, _ = placed("Chest", tw, robot_chest())
    screen, _ = placed("Screen", tw, [screen_quad(SCREEN_X, 0.0, SCREEN_CZ, SCREEN_W, SCREEN_H,
                                                  SCREEN)])
    neck, _ = placed("Neck", tw, [rod((0, 0, CHEST_TOP - 0.1), (0, 0, NECK_Z), 0.55, STEEL, 18),
                                  ring((0, 0, CHEST_TOP + 0.25), (0, 0, 1), 0.56, 0.06, CHROME,
                                       20, 6)])
    arm_l, _ = placed("Arm_Left", tw, robot_arm(1))
    arm_r, _ = placed("Arm_Right", tw, robot_arm(-1))
    torso.add(legs, chest, screen, neck, arm_l, arm_r)
    # The robot stands off the scene's origin (see ROBOT_OFFSET); its head
    # turns about its own neck there.
    torso.translate = ROBOT_OFFSET
    skull, _ = placed(parts["Skull"], ident, [m.translated(*ROBOT_OFFSET) for m in robot_head()],
                      translate=tuple(np.add(ROBOT_OFFSET, (0, 0, NECK_Z))))
    cam = mk.Node("Camera", matrix=mk.look_at(np.add(ROBOT_OFFSET, (14, -6, 4)), np.add(ROBOT_OFFSET, (0, 0, 3.0))),
                  camera=mk.Camera("RobotCamera", yfov=58, znear=0.5, zfar=500))
    # The scene moves lights 0 to 3 onto its four cameras every frame and
    # gives the file's last light its own stage values; with five lights
    # here the four that light the robots keep this file's colour and its
    # gentle fall-off, so a robot across the stage is lit too.
    keys = [mk.Node(f"KeyLight{i}", translate=(12, -10, 16),
                    light=mk.PointLight(f"KeyLamp{i}", color=KEY_COLOUR, constant=1.0,
                                        linear=KEY_LINEAR, quadratic=KEY_QUADRATIC))
            for i in range(4)]
    stage = mk.Node("StageLight", translate=(-5, -35, 0), light=mk.PointLight("StageLamp"))
    return mk.Scene([torso, skull, cam] + keys + [stage])


# ---------------------------------------------------------------------------
# CameraBot: the orange robot with a film camera on its shoulder
# ---------------------------------------------------------------------------

CB_BODY_R = 2.6
CB_SHOULDER_Y = 3.0
CB_SHOULDER_Z = 3.1
CB_ELBOW_Z = 0.0
CB_ARM_Y = 3.4
CB_FOREARM = 2.6
CB_NECK_Z = 4.9
CAM_Y = -3.45          # the film camera's middle across
CAM_Z = 4.55           # its underside
CAM_SCALE = 1.35


def camerabot_legs():
    m = []
    for s in (-1, 1):
        y = s * 1.55
        # A domed steel foot, longer towards the toe, on a rubber tread.
        foot = mk.lathe([(0, 0), (1.0, 0), (1.0, 0.2), (0.92, 0.45), (0.6, 0.7), (0, 0.75)], 24,
                        STEEL, smooth_angle=50)
        m.append(foot.transformed(mk.translation(0.3, y, FLOOR_Z + 0.25) @
                                  mk.scaling(1.6, 1.0, 1.0)))
        m.append(mk.cylinder(1.02, 0.25, 24, RUBBER).transformed(
            mk.translation(0.3, y, FLOOR_Z) @ mk.scaling(1.6, 1.0, 1.0)))
        m.append(ring((0.3, y, FLOOR_Z + 0.95), (0, 0, 1), 0.55, 0.09, CHROME, 20, 6))
        m.append(bellows((0, y, FLOOR_Z + 0.9), (0, y, -8.7), 0.62, 9, 0.12, RUBBER, 16))
        m.append(ball((0, y, -8.4), 0.72, ORANGE, 18, 9))
        m.append(ring((0, y, -8.4), (0, 1, 0), 0.72, 0.08, CHROME, 20, 6))
        m.append(bellows((0, y, -8.1), (0, y, -5.0), 0.66, 8, 0.12, RUBBER, 16))
    return m


def camerabot_body():
    R = CB_BODY_R
    m = []
    # Hip skirt, the barrel body with rolled rims, a steel belt.
    m.append(mk.lathe([(0, -5.6), (2.0, -5.6), (2.3, -5.2), (2.45, -4.4), (0, -4.4)], 32, STEEL,
                      smooth_angle=30))
    m.append(mk.lathe([(0, -4.5)] + mk.arc(R - 0.3, -4.2, 0.3, -90, 0, 3)
                      + mk.arc(R - 0.5, 3.7, 0.5, 0, 90, 3) + [(0, 4.2)], 36, ORANGE,
                      smooth_angle=40))
    m.append(mk.lathe([(R - 0.05, -2.35), (R + 0.08, -2.3), (R + 0.08, -1.9), (R - 0.05, -1.85)],
                      36, STEEL, smooth_angle=30))
    for k in range(12):
        a = 2 * math.pi * (k + 0.5) / 12
        m.append(bolt(((R + 0.08) * math.cos(a), (R + 0.08) * math.sin(a), -2.1),
                      (math.cos(a), math.sin(a), 0), 0.1, CHROME))
    # Front: a big gauge, a row of toggles and lamps, a cream name plate.
    front = lambda y: math.sqrt(R * R - y * y)  # noqa: E731
    m.append(disc((front(0) - 0.25, 0, 1.6), (1, 0, 0), 1.05, 0.35, CHROME, 28))
    m += dial((front(0) + 0.12, 0, 1.6), 0.9, IVORY, CHROME, -40)
    for y in (-1.1, -0.37, 0.37, 1.1):
        x = front(y)
        m.append(disc((x - 0.05, y, -0.4), (x, y, 0), 0.17, 0.1, CHROME, 12))
        m.append(rod((x, y, -0.4), (x + 0.32, y * 1.12, -0.25), 0.05, CHROME, 6))
        m.append(ball((x + 0.32, y * 1.12, -0.25), 0.08, CHROME, 8, 4))
    for y, mat in ((-0.55, GREEN_LAMP), (0.0, ORANGE_LAMP), (0.55, RED_LAMP)):
        m.append(ball((front(y) - 0.05, y, -1.2), 0.18, mat, 12, 6))
    m.append(rbox((front(0) - 0.1, 0, -3.3), (0.4, 2.2, 0.75), 0.12, IVORY, 2))
    for y in (-0.9, 0.9):
        m.append(bolt((front(0) + 0.1, y, -3.3), (1, 0, 0), 0.08, CHROME))
    # Shoulders.
    for s in (-1, 1):
        m.append(ball((0, s * CB_SHOULDER_Y, CB_SHOULDER_Z), 0.8, STEEL, 20, 10))
        m.append(ring((0, s * CB_SHOULDER_Y, CB_SHOULDER_Z), (0, s, 0), 0.72, 0.1, CHROME, 24, 6))
    # Neck.
    m.append(bellows((0, 0, 4.1), (0, 0, CB_NECK_Z + 0.1), 0.6, 3, 0.08, STEEL, 18))
    return m


def camerabot_head():
    z0 = CB_NECK_Z
    prof = [(0, 0.2), (1.2, 0.2), (1.6, 0.5), (1.6, 2.2)]
    prof += [(1.6 * math.cos(math.radians(a)), 2.2 + 1.3 * math.sin(math.radians(a)))
             for a in (15, 30, 45, 60, 75)]
    prof += [(0, 3.5)]
    m = [mk.lathe(prof, 36, STEEL, smooth_angle=40).translated(0, 0, z0),
         ring((0, 0, z0 + 2.2), (0, 0, 1), 1.62, 0.09, ORANGE, 30, 6),
         ring((0, 0, z0 + 0.5), (0, 0, 1), 1.56, 0.1, ORANGE, 30, 6)]
    # Camera-lens eyes: chrome barrels, dark glass, a glowing iris.
    for y in (-0.62, 0.62):
        x = math.sqrt(1.6 ** 2 - y ** 2)
        c = vec(x - 0.15, y, z0 + 1.5)
        m.append(disc(c, (1, 0, 0), 0.5, 0.35, CHROME, 24))
        m.append(ring(c + vec(0.35, 0, 0), (1, 0, 0), 0.44, 0.06, RUBBER, 24, 6))
        m.append(disc(c + vec(0.3, 0, 0), (1, 0, 0), 0.4, 0.04, DARK_GLASS, 24))
        m.append(disc(c + vec(0.32, 0, 0), (1, 0, 0), 0.17, 0.03, CYAN_EYE, 16))
    # A slot mouth and ear pods, an aerial on the left.
    m += grille(math.sqrt(1.6 ** 2 - 0.3 ** 2) - 0.02, 0, z0 + 0.85, 1.0, 0.34, 2, RUBBER, CHROME)
    for s in (-1, 1):
        m.append(disc((0, s * 1.55, z0 + 1.6), (0, s, 0), 0.45, 0.28, ORANGE, 20))
        m.append(bolt((0, s * 1.83, z0 + 1.6), (0, s, 0), 0.16, CHROME))
    m.append(rod((0, 1.83, z0 + 1.8), (0, 1.95, z0 + 4.3), 0.05, CHROME, 6))
    m.append(ball((0, 1.95, z0 + 4.35), 0.16, ORANGE_LAMP, 10, 5))
    return m


def reel(c):
    """A film reel on the camera's magazine, its axis across (y)."""
    c = np.asarray(c, float)
    y = vec(0, 1, 0)
    out = [disc(c - 0.16 * y, y, 0.64, 0.32, CRACKLE, 24)]      # the film on the spool
    for k in (-1, 1):
        f = c + k * 0.19 * y
        out.append(ring(f, y, 0.86, 0.05, STEEL, 22, 5))
        out.append(disc(f - 0.02 * y, y, 0.2, 0.04, CHROME, 12))
        for j in range(3):
            a = 2 * math.pi * j / 3 + 0.3
            d = vec(math.cos(a), 0, math.sin(a))
            out.append(rod(f + 0.15 * d, f + 0.84 * d, 0.065, STEEL, 6))
    out.append(rod(c - 0.25 * y, c + 0.25 * y, 0.07, CHROME, 8))
    return out


def film_camera():
    """Modelled about the middle of its underside, then scaled up onto the
    mount over the right shoulder."""
    y0 = zb = 0.0
    m = [
        rbox((0.3, y0, zb - 0.06), (2.2, 1.0, 0.12), 0.05, STEEL, 2),
        # The body: black crackle with a steel door on the outer side.
        rbox((0.3, y0, zb + 0.8), (2.9, 1.3, 1.6), 0.18, CRACKLE),
        rbox((0.2, y0 - 0.66, zb + 0.8), (2.1, 0.06, 1.1), 0.03, STEEL, 2),
    ]
    for x in (-0.7, 1.1):
        for z in (zb + 0.35, zb + 1.25):
            m.append(bolt((x, y0 - 0.69, z), (0, -1, 0), 0.07, CHROME))
    # The lens: chrome barrel with knurled rings and a black hood.
    lx = 1.75
    c = vec(lx, y0, zb + 0.85)
    x = vec(1, 0, 0)
    m.append(disc(c, x, 0.48, 0.3, CRACKLE, 24))
    m.append(disc(c + 0.3 * x, x, 0.38, 0.55, CHROME, 24))
    for k in range(3):
        m.append(ring(c + (0.4 + 0.17 * k) * x, x, 0.4, 0.04, CRACKLE, 24, 6))
    m.append(mk.lathe([(0.34, 0), (0.55, 0.45), (0.51, 0.45), (0.3, 0.02)], 24, CRACKLE,
                      smooth_angle=30).transformed(mk.translation(*(c + 0.85 * x)) @ z_to(x)))
    m.append(disc(c + 0.86 * x, x, 0.33, 0.02, DARK_GLASS, 24))
    # Viewfinder at the back and the winding crank on the outer side.
    m.append(rod((-1.15, y0 + 0.35, zb + 1.3), (-1.6, y0 + 0.35, zb + 1.3), 0.14, CRACKLE, 10))
    m.append(ring((-1.6, y0 + 0.35, zb + 1.3), (-1, 0, 0), 0.14, 0.05, RUBBER, 12, 6))
    m.append(rod((-0.4, y0 - 0.66, zb + 0.8), (-0.4, y0 - 0.95, zb + 0.8), 0.06, CHROME, 8))
    m.append(rod((-0.4, y0 - 0.95, zb + 0.8), (-0.4, y0 - 0.95, zb + 0.2), 0.05, CHROME, 8))
    m.append(rod((-0.4, y0 - 0.95, zb + 0.2), (-0.4, y0 - 1.25, zb + 0.2), 0.07, RED, 8))
    # The magazine: two reels, front and back, above the body.
    for rx in (-0.62, 1.18):
        m.append(rod((rx, y0, zb + 1.6), (rx, y0, zb + 2.4), 0.1, STEEL, 8))
        m += reel((rx, y0, zb + 2.5))
    # The recording lamp on top at the front, in a chrome cup.
    m.append(disc((1.35, y0 + 0.3, zb + 1.6), (0, 0, 1), 0.18, 0.08, CHROME, 14))
    m.append(ball((1.35, y0 + 0.3, zb + 1.7), 0.15, REC_LAMP, 12, 6))
    place = mk.translation(0, CAM_Y, CAM_Z) @ mk.scaling(CAM_SCALE)
    m = [p.transformed(place) for p in m]
    # The mount: a steel post from the shoulder to the cradle.
    m.append(rod((0, -CB_SHOULDER_Y, CB_SHOULDER_Z + 0.5), (0.1, CAM_Y + 0.1, CAM_Z - 0.1), 0.2,
                 STEEL, 10))
    return m


def camerabot_upper_arm(s):
    shoulder = vec(0, s * CB_ARM_Y, CB_SHOULDER_Z)
    elbow = vec(0, s * CB_ARM_Y, CB_ELBOW_Z)
    return [bellows(shoulder, elbow + vec(0, 0, 0.35), 0.45, 7, 0.09, STEEL, 16),
            ball(shoulder, 0.5, ORANGE, 16, 8),
            ball(elbow, 0.52, CHROME, 18, 9)]


def camerabot_forearm(s):
    """Hanging straight down from the elbow: the pose at angle 0."""
    e = vec(0, s * CB_ARM_Y, CB_ELBOW_Z)
    w = e - vec(0, 0, CB_FOREARM)
    return [capsule(e - vec(0, 0, 0.25), w, 0.47, ORANGE, 18, 0.38),
            ring(e - vec(0, 0, 0.55), (0, 0, 1), 0.46, 0.06, CHROME, 18, 6),
            ring(w + vec(0, 0, 0.3), (0, 0, 1), 0.4, 0.06, CHROME, 18, 6)]


def camerabot_hand(s):
    w = vec(0, s * CB_ARM_Y, CB_ELBOW_Z - CB_FOREARM)
    return [rod(w + vec(0, 0, 0.1), w - vec(0, 0, 0.15), 0.3, STEEL, 12)] + \
        pincer(w - vec(0, 0, 0.1), (0, 0, -1), 0.95, STEEL, ORANGE)


def build_camerabot():
    ident = np.identity(4)
    legs, _ = placed("Legs", ident, camerabot_legs())
    body, _ = placed("Body", ident, camerabot_body())
    head, _ = placed("Head", ident, camerabot_head(), translate=(0, 0, CB_NECK_Z))
    cam, _ = placed("FilmCamera", ident, film_camera())
    arms = []
    # LowerArm is the right (-y) forearm, LowerArm_001 the left one.
    for s, upper_name, lower_name, hand_name, ids in (
            (-1, "UpperArm", CAMERABOT_ARMS[1][0], "Hand", CAMERABOT_ARMS[1][1:]),
            (1, "UpperArm_001", CAMERABOT_ARMS[0][0], "Hand_001", CAMERABOT_ARMS[0][1:])):
        shoulder = (0, s * CB_ARM_Y, CB_SHOULDER_Z)
        upper, uw = placed(upper_name, ident, camerabot_upper_arm(s), translate=shoulder)
        # Local x along the hinge, file -y: a positive turn swings the
        # hanging hand forwards.
        lower, lw = placed(lower_name, uw, camerabot_forearm(s),
                           translate=(0, 0, CB_ELBOW_Z - CB_SHOULDER_Z), rotate=[(0, 0, 1, -90)],
                           geometry_id=ids[0])
        hand, _ = placed(hand_name, lw, camerabot_hand(s), geometry_id=ids[1])
        lower.add(hand)
        upper.add(lower)
        arms.append(upper)
    return mk.Scene([legs, body, head, cam] + arms + [stage_node()])


# ---------------------------------------------------------------------------
# The stage: a velvet cyclorama round the four robots
# ---------------------------------------------------------------------------

# The scene's coordinates (as the tall robots' files: floor z = -12.9) of the
# round curtain that closes the stage: round every robot and every camera
# of the scene, far enough to stay behind them all. It travels in the camera
# robot's file, the one model the scene draws exactly once per pass (the
# reflection and the robots above the glass), under the camera robot's
# placement, which is undone here.
STAGE_CENTRE = (-22.0, 0.0)
STAGE_RADIUS = 62.0
STAGE_TOP = 36.0
STAGE_SEGMENTS = 128
# The scene lights the curtain once a vertex: rows this many units high at
# most keep the stage lights' pools on it as lighting each pixel draws them
# (within 4 of 255 in every channel; a single row from floor to top is off
# by up to 14).
STAGE_ROW_HEIGHT = 12.5
STAGE_PNG = "stage.png"
CAMERABOT_PLACE = (-25.0, -20.0, 270.0)   # where the scene stands the camera robot
# Where the scene's cameras stand (their circles' centres; each moves by 1 or
# less round them), which the curtain must enclose with room to spare.
SCENE_CAMERAS = ((5.0, -2.0, 7.0), (-10.0, 30.0, 5.0), (-25.0, -30.0, 5.0), (-45.0, 0.0, -5.0),
                 (-56.0, 0.0, -5.0))
CURTAIN = mk.Material("StageCurtain", texture=STAGE_PNG, ambient=(0.15, 0.15, 0.15),
                      emission=(0.8, 0.8, 0.8), specular=(0.0, 0.0, 0.0), shininess=4)
STAGE_CEILING = mk.Material("StageCeiling", diffuse=(0.0, 0.0, 0.0), ambient=(0.0, 0.0, 0.0),
                            emission=(0.07, 0.055, 0.16), specular=(0.0, 0.0, 0.0), shininess=4)


def scene_to_camerabot():
    """The matrix from the scene's coordinates to the camera robot's file."""
    x, y, angle = CAMERABOT_PLACE
    return mk.rotation(0, 0, 1, -angle) @ mk.translation(-x, -y, 0)


def stage_meshes():
    """The curtain (its inside facing the robots, the texture once round)
    and a dark ceiling over it, in the scene's coordinates."""
    cx, cy = STAGE_CENTRE
    wall, lid = mk._Builder(), mk._Builder()
    rows = math.ceil((STAGE_TOP - FLOOR_Z) / STAGE_ROW_HEIGHT)
    for i in range(STAGE_SEGMENTS + 1):
        a = 2 * math.pi * i / STAGE_SEGMENTS
        c, s_ = math.cos(a), math.sin(a)
        x, y = cx + STAGE_RADIUS * c, cy + STAGE_RADIUS * s_
        u = i / STAGE_SEGMENTS
        for r in range(rows + 1):
            v = r / rows
            wall.vertex((x, y, FLOOR_Z + v * (STAGE_TOP - FLOOR_Z)), (-c, -s_, 0), (u, v))
    for i in range(STAGE_SEGMENTS):
        for r in range(rows):
            b0, b1 = i * (rows + 1) + r, (i + 1) * (rows + 1) + r
            wall.quad(b0, b0 + 1, b1 + 1, b1)  # counter-clockwise seen from inside
    # The ceiling reaches a little past the curtain, which hides the overlap:
    # no hairline crack where they meet.
    middle = lid.vertex((cx, cy, STAGE_TOP), (0, 0, -1), (0.5, 0.5))
    reach = STAGE_RADIUS + 1.0
    for i in range(STAGE_SEGMENTS):
        corners = []
        for k in (i, i + 1):
            a = 2 * math.pi * k / STAGE_SEGMENTS
            corners.append(lid.vertex((cx + reach * math.cos(a), cy + reach * math.sin(a),
                                       STAGE_TOP), (0, 0, -1), (0.5, 0.5)))
        lid.tri(middle, corners[1], corners[0])  # facing down, seen from below
    return [wall.mesh(CURTAIN), lid.mesh(STAGE_CEILING)]


def stage_node():
    to_file = scene_to_camerabot()
    return mk.Node("Stage", meshes=[m.transformed(to_file) for m in stage_meshes()])


def make_stage_png():
    """Plum velvet in deep folds, warm footlight glow along the floor, pools
    of amber, teal and rose light from the spots, dark towards the top.
    Row 0 is the top of the curtain (v = 1)."""
    w, h = 1024, 256
    v = 1.0 - (np.arange(h, dtype=np.float64)[:, None] + 0.5) / h
    u = (np.arange(w, dtype=np.float64)[None, :] + 0.5) / w
    foot = np.array([0.62, 0.30, 0.34])
    plum = np.array([0.27, 0.09, 0.24])
    night = np.array([0.05, 0.035, 0.13])
    low = np.clip(v / 0.3, 0, 1)[..., None]
    high = np.clip((v - 0.3) / 0.7, 0, 1)[..., None]
    base = np.where(v[..., None] < 0.3, foot * (1 - low) + plum * low, plum * (1 - high) + night * high)
    folds = 0.8 + 0.2 * np.cos(2 * math.pi * 48 * u) ** 2
    px = base * folds[..., None]
    spots = ((1.0, 0.72, 0.38), (0.30, 0.85, 0.82), (0.95, 0.45, 0.62))
    for k in range(12):
        du = np.abs(u - (k + 0.5) / 12)
        du = np.minimum(du, 1 - du)
        pool = np.exp(-(du / 0.022) ** 2 - ((v - 0.32) / 0.26) ** 2)
        px = px + 0.55 * pool[..., None] * np.array(spots[k % 3]) * folds[..., None]
    return Image.fromarray(np.round(np.clip(px, 0, 1) * 255).astype(np.uint8), "RGB")


# ---------------------------------------------------------------------------
# BanjoBot: the teal robot in a straw boater with a banjo
# ---------------------------------------------------------------------------

BJ_NECK_Z = 4.9
BJ_BODY = (3.8, 5.8, 8.0)         # torso box size; centred on z = 0.2
BJ_DRUM_C = vec(2.55, -0.95, -0.9)
BJ_DRUM_R = 1.85
BJ_NECK_TILT = 28.0               # the banjo neck's rise from level, degrees
BJ_SHOULDER = 3.25
BJ_ELBOW_R = vec(3.35, -3.75, 0.2)
BJ_HAND_R = vec(3.45, -1.25, -0.7)
STRING_X = 0.24                   # strings above the drum head (Circle's frame)


def banjo_frame():
    """Circle's transform: at the drum's centre, the neck along local +y
    tilted up by BJ_NECK_TILT, the drum head facing local +x."""
    return mk.translation(*BJ_DRUM_C) @ mk.rotation(1, 0, 0, BJ_NECK_TILT)


def banjo_point(x, y, z=0.0):
    return (banjo_frame() @ np.array([x, y, z, 1.0]))[:3]


def banjo_meshes():
    """In Circle's frame: x the drum's axis, y along the neck."""
    R = BJ_DRUM_R
    x = vec(1, 0, 0)
    m = []
    # Pot: maple rim, resonator dome behind, chrome tension hoop, vellum.
    m.append(disc((-0.75, 0, 0), x, R, 0.75, MAPLE, 40))
    m.append(mk.lathe([(0, -0.55), (R * 0.9, -0.5)] + [(R * 0.9 * math.cos(math.radians(a)),
                                                        -0.5 + 0.35 * math.sin(math.radians(a)))
                                                       for a in (30, 60, 80)] + [(0, 0)], 32,
                      MAPLE, smooth_angle=45).transformed(
        mk.translation(-0.75, 0, 0) @ z_to(-x)))
    m.append(ring((0.02, 0, 0), x, R - 0.02, 0.09, CHROME, 48, 8))
    m.append(disc((-0.02, 0, 0), x, R - 0.06, 0.05, VELLUM, 40))
    for k in range(20):
        a = 2 * math.pi * (k + 0.5) / 20
        d = vec(0, math.cos(a), math.sin(a))
        m.append(rod(d * (R + 0.01) + vec(-0.02, 0, 0), d * (R + 0.01) + vec(-0.6, 0, 0), 0.04,
                     BRASS, 5))
        m.append(ball(d * (R + 0.03) + vec(-0.62, 0, 0), 0.06, BRASS, 6, 3))
    # Neck: maple with an ebony fingerboard, chrome frets, a headstock.
    y_nut, y_head = 7.1, 8.0
    m.append(mk.box_at(-0.4, 0.06, R - 0.2, y_nut, -0.24, 0.24, MAPLE))
    m.append(mk.box_at(0.06, 0.13, R - 0.1, y_nut, -0.25, 0.25, EBONY))
    scale_len = y_nut - (-0.55) + (y_nut - R) * 0.9
    for k in range(1, 15):
        y = y_nut - scale_len * (1 - 2 ** (-k / 12))
        if y < R + 0.1:
            break
        m.append(mk.box_at(0.12, 0.16, y - 0.02, y + 0.02, -0.25, 0.25, CHROME))
    for y in (y_nut - scale_len * (1 - 2 ** (-5 / 12)), y_nut - scale_len * (1 - 2 ** (-7 / 12))):
        m.append(disc((0.13, y - 0.2, 0), x, 0.05, 0.03, IVORY, 8))
    m.append(mk.box_at(0.06, 0.2, y_nut - 0.05, y_nut + 0.05, -0.25, 0.25, IVORY))
    head = [(-0.3, y_nut), (0.3, y_nut), (0.42, y_nut + 0.45), (0.3, y_head), (0.0, y_head + 0.15),
            (-0.3, y_head), (-0.42, y_nut + 0.45)]
    # Outline drawn in (z, y), extruded along x (a mirror; the winding is
    # turned back by Mesh.transformed).
    zyx = np.array([[0.0, 0, 1, 0], [0, 1, 0, 0], [1, 0, 0, 0], [0, 0, 0, 1]])
    m.append(mk.extrude(head, 0.2, MAPLE, smooth_angle=30).transformed(
        mk.translation(-0.1, 0, 0) @ zyx))
    for k in range(4):
        side = 1 if k % 2 == 0 else -1
        y = y_nut + 0.35 + 0.25 * k
        m.append(rod((0.0, y, side * 0.33), (0.0, y, side * 0.6), 0.04, CHROME, 6))
        m.append(capsule((0.0, y, side * 0.58), (0.0, y, side * 0.8), 0.09, IVORY, 10))
    # The fifth string's peg on the side of the neck.
    y5 = y_nut - scale_len * (1 - 2 ** (-5 / 12))
    m.append(rod((-0.1, y5, -0.24), (-0.1, y5, -0.5), 0.04, CHROME, 6))
    m.append(capsule((-0.1, y5, -0.48), (-0.1, y5, -0.68), 0.08, IVORY, 10))
    # Tailpiece, bridge, five strings.
    y_tail, y_bridge = -R + 0.15, -0.55
    m.append(rbox((0.08, y_tail + 0.2, 0), (0.12, 0.55, 0.5), 0.05, CHROME, 2))
    m.append(mk.box_at(0.03, STRING_X - 0.01, y_bridge - 0.05, y_bridge + 0.05, -0.28, 0.28, MAPLE))
    for k in range(5):
        z = -0.16 + 0.08 * k
        y_end = y_nut if k < 4 else y5
        m.append(rod((STRING_X, y_tail + 0.3, z * 0.9), (STRING_X, y_bridge, z),
                     0.012, CHROME, 5, caps=False))
        m.append(rod((STRING_X, y_bridge, z), (STRING_X - (0.08 if k == 4 else 0), y_end,
                                               z * (0.9 if k < 4 else 1.0)),
                     0.012, CHROME, 5, caps=False))
    return m


def banjobot_legs():
    m = []
    for s in (-1, 1):
        y = s * 1.6
        m += boot(0.45, y, 3.2, 1.8, 1.1, CREAM, RUBBER)
        m.append(rod((0, y, FLOOR_Z + 1.3), (0, y, -8.5), 0.68, SEAFOAM, 20))
        for z in (-10.4, -10.0):
            m.append(ring((0, y, z), (0, 0, 1), 0.69, 0.06, CHROME, 20, 6))
        m.append(ball((0, y, -8.2), 0.78, CHROME, 18, 9))
        m.append(rod((0, y, -8.0), (0, y, -4.6), 0.72, SEAFOAM, 20))
    m.append(rbox((0, 0, -4.4), (3.0, 4.6, 1.2), 0.4, CREAM))
    return m


def banjobot_body():
    sx, sy, sz = BJ_BODY
    m = [rbox((0, 0, 0.2), (sx, sy, sz), 1.0, SEAFOAM)]
    # Cream chest plate with bolts, a radio grille above the banjo.
    m.append(rbox((sx / 2 - 0.05, 0, 2.75), (0.2, 3.6, 1.9), 0.15, IVORY, 2))
    m += grille(sx / 2 + 0.05, -0.5, 2.75, 2.2, 1.3, 4, RUBBER, CHROME)
    for y, mat in ((1.1, RED_LAMP), (1.5, GREEN_LAMP)):
        m.append(ball((sx / 2 + 0.08, y, 3.1), 0.15, mat, 10, 5))
    m += dial((sx / 2 + 0.06, 1.3, 2.35), 0.28, IVORY, CHROME, 60)
    for y in (-1.6, 1.6):
        for z in (2.0, 3.5):
            m.append(bolt((sx / 2 + 0.05, y, z), (1, 0, 0), 0.08, CHROME))
    # Shoulder sockets, the neck collar.
    for s in (-1, 1):
        m += shoulder_hub(s, 2.9, sy / 2, ORANGE)
    m.append(disc((0, 0, 4.1), (0, 0, 1), 1.1, 0.15, STEEL, 24))
    m.append(rod((0, 0, 4.2), (0, 0, BJ_NECK_Z), 0.5, STEEL, 16))
    # The banjo's leather strap over the left shoulder.
    for a, b in (((-1.95, 2.4, 1.2), (-1.3, 2.6, 4.25)), ((-1.3, 2.6, 4.25), (1.2, 2.6, 4.25)),
                 ((1.2, 2.6, 4.25), (1.95, 2.3, 2.5))):
        m.append(capsule(a, b, 0.12, LEATHER, 8))
    return m


def banjobot_fret_arm():
    """The left arm reaching to the banjo's neck; its fingers on the strings."""
    shoulder = vec(0, BJ_SHOULDER + 0.7, 2.9)
    elbow = vec(0.7, 4.35, -0.2)
    grip = banjo_point(-0.12, 4.35, 0)                 # behind the neck
    below = banjo_point(-0.1, 4.35, -0.6)              # under the neck
    wrist = below + (elbow - below) * 0.12
    m = [bellows(shoulder, elbow, 0.46, 6, 0.09, STEEL, 16),
         ball(shoulder, 0.5, ORANGE, 16, 8), ball(elbow, 0.55, CHROME, 18, 9),
         capsule(elbow, wrist, 0.45, SEAFOAM, 16, 0.38)]
    m.append(ball(below, 0.42, SEAFOAM, 16, 8))
    # The thumb behind the neck, three fingers curled over the fingerboard.
    m.append(capsule(below, grip + (grip - below) * 0.1 + vec(-0.15, 0, 0), 0.14, SEAFOAM, 8))
    for k, dy in enumerate((-0.35, 0.0, 0.35)):
        a = banjo_point(0.25, 4.35 + dy, -0.45)
        b = banjo_point(0.34, 4.35 + dy, -0.05)
        c = banjo_point(STRING_X + 0.08, 4.35 + dy, 0.15 - 0.05 * k)
        m += [capsule(below, a, 0.13, SEAFOAM, 8), capsule(a, b, 0.12, SEAFOAM, 8),
              capsule(b, c, 0.1, SEAFOAM, 8)]
    return m


def banjobot_strum_upper():
    shoulder = vec(0, -(BJ_SHOULDER + 0.7), 2.9)
    return [bellows(shoulder, BJ_ELBOW_R, 0.46, 7, 0.09, STEEL, 16),
            ball(shoulder, 0.5, ORANGE, 16, 8), ball(BJ_ELBOW_R, 0.52, CHROME, 18, 9)]


def banjobot_forearm():
    d = BJ_HAND_R - BJ_ELBOW_R
    wrist = BJ_HAND_R - 0.35 * d / np.linalg.norm(d)
    return [capsule(BJ_ELBOW_R, wrist, 0.43, SEAFOAM, 16, 0.36),
            ring(wrist, d, 0.36, 0.06, CHROME, 18, 6)]


def banjobot_hand():
    """A mitten over the strings with a pick between thumb and fingers."""
    d = BJ_HAND_R - BJ_ELBOW_R
    d = d / np.linalg.norm(d)
    wrist = BJ_HAND_R - 0.35 * d
    m = mitten(wrist, d + vec(-0.25, 0, -0.35), 0.85, SEAFOAM, (0, 0, 1))
    tip = wrist + 0.6 * d + vec(-0.3, 0, -0.25)
    m.append(mk.cone(0.14, 0.3, 10, ORANGE).transformed(
        mk.translation(*(tip + vec(-0.05, 0, 0))) @ z_to((-1, 0, 0))))
    return m


def banjobot_head():
    z0 = BJ_NECK_Z
    m = [rod((0, 0, z0 - 0.15), (0, 0, z0 + 0.35), 0.7, RUBBER, 20),
         rbox((0, 0, z0 + 1.9), (3.2, 3.9, 3.1), 1.0, IVORY)]
    # Sleepy, happy eyes: green lamps under teal lids.
    for y in (-0.8, 0.8):
        c = vec(1.6, y, z0 + 2.25)
        m += lamp_eye(c, 0.42, GREEN_EYE, CHROME)
        lid = mk.sphere(0.5, 18, 8, SEAFOAM).transformed(
            mk.translation(*(c + vec(0.03, 0, 0.08))) @ z_to((1, 0, 0.9)) @ mk.scaling(1, 1, 0.5))
        m.append(lid)
    # A wide grin: a dark slot with chrome teeth, orange cheeks.
    smile = [(1.6, 0.75 * math.sin(math.radians(a)), z0 + 1.35 - 0.45 * math.cos(math.radians(a)))
             for a in range(-70, 71, 20)]
    for a, b in zip(smile[:-1], smile[1:]):
        m.append(capsule(a, b, 0.08, RUBBER, 8))
    for y in (-1.35, 1.35):
        m.append(disc((1.5, y, z0 + 1.35), (1, 0, 0.2), 0.22, 0.04, ORANGE, 14))
    for s in (-1, 1):
        m.append(disc((0, s * 1.92, z0 + 1.9), (0, s, 0), 0.55, 0.25, ORANGE, 20))
        m.append(bolt((0, s * 2.15, z0 + 1.9), (0, s, 0), 0.18, CHROME))
    # The straw boater, tipped back and to one side a little.
    hat = [mk.cylinder(2.75, 0.12, 40, STRAW),
           mk.cylinder(1.55, 0.95, 36, STRAW).translated(0, 0, 0.1),
           mk.cylinder(1.57, 0.3, 36, RED, caps=False).translated(0, 0, 0.15)]
    tilt = (mk.translation(-0.15, 0.1, z0 + 3.35) @ mk.rotation(0, 1, 0, -7)
            @ mk.rotation(1, 0, 0, 5))
    m += [h.transformed(tilt) for h in hat]
    return m


def build_banjobot():
    parts = ROBOT_PARTS["BanjoBot"]
    ident = np.identity(4)
    torso = mk.Node(parts["Torso"])
    legs, _ = placed("Legs", ident, banjobot_legs())
    body, _ = placed("Body", ident, banjobot_body())
    fret, _ = placed("Arm_Fret", ident, banjobot_fret_arm())
    upper, _ = placed("UpperArm_Strum", ident, banjobot_strum_upper())
    # Local y along the drum's axis (file +x): turning about it sweeps the
    # hand up and down across the strings.
    lower, lw = placed(parts["StrummingArm"], ident, banjobot_forearm(), translate=tuple(BJ_ELBOW_R),
                       rotate=[(0, 0, 1, -90)], geometry_id=parts["StrummingForearm"])
    hand, _ = placed("Hand", lw, banjobot_hand(), geometry_id=parts["StrummingHand"])
    lower.add(hand)
    torso.add(legs, body, fret, upper, lower)
    skull, _ = placed(parts["Skull"], ident, banjobot_head(), translate=(0, 0, BJ_NECK_Z))
    circle = mk.Node(parts["Banjo"], meshes=banjo_meshes(), translate=tuple(BJ_DRUM_C),
                     rotate=[(1, 0, 0, BJ_NECK_TILT)])
    return mk.Scene([torso, skull, circle])


# ---------------------------------------------------------------------------
# Painterbot: the little painter on wheels
# ---------------------------------------------------------------------------

PB_WHEEL_R = 0.26
PB_WHEELS = ((0.5, 0.6), (0.5, -0.6), (-0.5, 0.6), (-0.5, -0.6))


def painter_wheel():
    """At the origin, axle along y: rubber tyre, red hub, chrome cap."""
    R, w = PB_WHEEL_R, 0.14
    tyre = mk.lathe([(0.12, -w / 2), (R - 0.05, -w / 2), (R, -w / 2 + 0.04), (R, w / 2 - 0.04),
                     (R - 0.05, w / 2), (0.12, w / 2)], 24, RUBBER, smooth_angle=50)
    hub = mk.cylinder(0.15, w + 0.02, 16, RED).translated(0, 0, -w / 2 - 0.01)
    cap = mk.sphere(0.07, 10, 5, CHROME).transformed(mk.translation(0, 0, w / 2) @
                                                     mk.scaling(1, 1, 0.5))
    to_y = mk.rotation(1, 0, 0, -90)
    return [tyre.transformed(to_y), hub.transformed(to_y), cap.transformed(to_y)]


def painter_chassis():
    z = PAINTER_FLOOR_Z
    m = [rbox((0, 0, z + 0.43), (1.5, 0.98, 0.34), 0.12, STEEL, 2)]
    for x, y in PB_WHEELS:
        m.append(rod((x, 0.0, z + PB_WHEEL_R), (x, np.sign(y) * 0.53, z + PB_WHEEL_R), 0.04,
                     CHROME, 6))
        # Orange mudguards over the wheels.
        guard = mk.lathe([(PB_WHEEL_R + 0.04, -0.09), (PB_WHEEL_R + 0.08, -0.09),
                          (PB_WHEEL_R + 0.08, 0.09), (PB_WHEEL_R + 0.04, 0.09)], 12, ORANGE,
                         smooth_angle=30, sweep=180)
        m.append(guard.transformed(mk.translation(x, y, z + PB_WHEEL_R) @
                                   mk.rotation(1, 0, 0, 90)))
    m.append(ball((0.76, 0, z + 0.45), 0.08, AMBER_EYE, 10, 5))
    return m


def painter_body():
    """The paint tin: cream with a teal label, rolled rims and drips of
    paint down from the lid."""
    z0, z1, r = -0.27, 0.75, 0.5
    m = [mk.cylinder(r, z1 - z0, 32, CREAM).translated(0, 0, z0),
         mk.cylinder(r + 0.01, 0.4, 32, TEAL, caps=False).translated(0, 0, 0.05),
         ring((0, 0, z0 + 0.02), (0, 0, 1), r, 0.035, CHROME, 32, 6),
         ring((0, 0, z1), (0, 0, 1), r, 0.035, CHROME, 32, 6),
         disc((0, 0, z1 - 0.02), (0, 0, 1), 0.46, 0.06, STEEL, 28)]
    for k, (a, length, mat) in enumerate(((20, 0.22, RED), (-35, 0.35, PAINT_BLUE),
                                          (150, 0.28, PAINT_YELLOW), (-120, 0.18, RED))):
        t = math.radians(a)
        d = vec(math.cos(t), math.sin(t), 0)
        top = d * (r + 0.012) + vec(0, 0, z1 - 0.02)
        m.append(capsule(top - vec(0, 0, length), top, 0.04, mat, 8))
        m.append(ball(top - vec(0, 0, length), 0.055, mat, 8, 4))
    m.append(bellows((0, 0, z1), (0, 0, 1.0), 0.18, 3, 0.04, STEEL, 12))
    return m


def painter_head():
    z = 1.33
    m = [rbox((0, 0, z), (0.78, 0.98, 0.66), 0.22, ORANGE)]
    for y in (-0.22, 0.22):
        m += lamp_eye((0.39, y, z + 0.06), 0.13, AMBER_EYE, CHROME)
    for k in range(5):
        t = (k - 2) / 2
        m.append(ball((0.38, 0.17 * t, z - 0.17 + 0.05 * t * t), 0.035, RUBBER, 6, 3))
    for s in (-1, 1):
        m.append(disc((0, s * 0.48, z), (0, s, 0), 0.13, 0.06, CHROME, 12))
    # The beret, and the blinking indicator on its stalk.
    beret = mk.sphere(0.5, 20, 8, BERET).transformed(
        mk.translation(-0.05, 0.06, z + 0.36) @ mk.rotation(1, 0, 0, 8) @ mk.scaling(1, 1, 0.28))
    m.append(beret)
    m.append(rod((-0.05, 0.08, z + 0.45), (-0.05, 0.1, z + 0.62), 0.025, CHROME, 6))
    m.append(ball((-0.05, 0.1, z + 0.7), 0.08, INDICATOR, 12, 6))
    return m


def painter_brush_arm():
    """The left arm down to the brush, the brush with its tip on the floor."""
    tip = vec(*BRUSH_TIP)
    up = vec(0.36, 0, 0.75)
    up /= np.linalg.norm(up)                 # the brush trails behind the hand
    hand = tip + up * 0.62
    shoulder, elbow = vec(0.05, 0.58, 0.42), vec(0.2, 0.86, 0.08)
    arm = [ball(shoulder, 0.11, CHROME, 12, 6), rod(shoulder, elbow, 0.06, STEEL, 8),
           ball(elbow, 0.08, CHROME, 10, 5), rod(elbow, hand, 0.055, STEEL, 8),
           ring(hand, up, 0.06, 0.03, ORANGE, 12, 6)]
    # Bristles: a plump tuft narrowing to the tip, the wet end red.
    tuft = [(0.0, 0.0), (0.03, 0.02), (0.055, 0.06), (0.065, 0.1), (0.068, 0.14), (0.06, 0.2),
            (0.0, 0.2)]
    wet = mk.lathe(tuft[:3] + [(0.0, 0.06)], 12, WET_PAINT, smooth_angle=60)
    dry = mk.lathe([(0.0, 0.06)] + tuft[2:], 12, BRISTLE, smooth_angle=60)
    brush = [wet, dry,
             mk.cylinder(0.06, 0.14, 12, CHROME).translated(0, 0, 0.18),
             mk.cylinder(0.035, 0.62, 10, RED).translated(0, 0, 0.32),
             mk.sphere(0.04, 8, 4, RED).translated(0, 0, 0.94)]
    return arm, [along(b, tip, up) for b in brush]


def painter_bucket_arm():
    """The right arm holding up a small pot of blue paint."""
    shoulder, elbow = vec(0.05, -0.58, 0.42), vec(0.2, -0.82, 0.08)
    hand = vec(0.38, -0.84, -0.05)
    m = [ball(shoulder, 0.11, CHROME, 12, 6), rod(shoulder, elbow, 0.06, STEEL, 8),
         ball(elbow, 0.08, CHROME, 10, 5), rod(elbow, hand, 0.055, STEEL, 8),
         ball(hand, 0.07, ORANGE, 10, 5)]
    c = vec(0.4, -0.84, -0.48)
    m.append(mk.lathe([(0, 0), (0.14, 0), (0.17, 0.3), (0.155, 0.3), (0.138, 0.12)], 16, CHROME,
                      smooth_angle=30).translated(*c))
    m.append(mk.cylinder(0.14, 0.02, 16, PAINT_BLUE).translated(*(c + vec(0, 0, 0.11))))
    m.append(ring(c + vec(0, 0, 0.3), (0, 0, 1), 0.17, 0.015, CHROME, 16, 4))
    for k in range(6):
        a0, a1 = math.pi * k / 6, math.pi * (k + 1) / 6
        p = [c + vec(0, 0.17 * math.cos(a), 0.3 + 0.12 * math.sin(a)) for a in (a0, a1)]
        m.append(rod(p[0], p[1], 0.012, STEEL, 4))
    return m


def build_painterbot():
    ident = np.identity(4)
    chassis, _ = placed("Chassis", ident, painter_chassis())
    for k, (x, y) in enumerate(PB_WHEELS):
        name = ("Wheel_FL", "Wheel_FR", "Wheel_RL", "Wheel_RR")[k]
        chassis.add(mk.Node(name, meshes=painter_wheel(),
                            translate=(x, y, PAINTER_FLOOR_Z + PB_WHEEL_R)))
    body, _ = placed("Body", ident, painter_body())
    head, _ = placed("Head", ident, painter_head())
    arm, brush = painter_brush_arm()
    brush_arm, _ = placed("BrushArm", ident, arm)
    brush_node, _ = placed("Brush", ident, brush)
    bucket, _ = placed("BucketArm", ident, painter_bucket_arm())
    # Shown taller and longer than built, as wide: its brush stays on the
    # floor point the scene paints under, and its wheels stay round.
    grow = (mk.translation(0, 0, PAINTER_FLOOR_Z) @ mk.scaling(PAINTER_STRETCH, 1.0, PAINTER_STRETCH)
            @ mk.translation(0, 0, -PAINTER_FLOOR_Z))
    return mk.Scene([mk.Node("Painter", matrix=grow,
                             children=[chassis, body, head, brush_arm, brush_node, bucket])])


# ---------------------------------------------------------------------------
# The screen's placeholder
# ---------------------------------------------------------------------------

def make_screen_png():
    """A dark, faintly lit, blank tube: deep blue-grey, brighter towards the
    middle, with fine scan lines. The scene replaces it."""
    w, h = 128, 64
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float64)
    r2 = ((xx - w / 2 + 0.5) / (w / 2)) ** 2 + ((yy - h / 2 + 0.5) / (h / 2)) ** 2
    glow = 1.0 - 0.55 * np.clip(r2, 0, 1)
    lines = 0.85 + 0.15 * (yy % 2)
    base = np.array([18.0, 26.0, 34.0])
    px = base[None, None, :] * (glow * lines)[..., None]
    return Image.fromarray(np.round(px).astype(np.uint8), "RGB")


# ---------------------------------------------------------------------------
# Checks
# ---------------------------------------------------------------------------

REQUIRED_MATERIALS = {ROBOT_NAME: (ROBOT_PARTS["Robot"]["Screen"],),
                      CAMERABOT_NAME: (ROBOT_PARTS["CameraBot"]["Lamp"],),
                      PAINTER_NAME: (ROBOT_PARTS["PainterBot"]["Lamp"],), BANJO_NAME: ()}
BANJO_ARM = tuple(ROBOT_PARTS["BanjoBot"][p] for p in ("StrummingArm", "StrummingForearm", "StrummingHand"))


class Model:
    """A model read back through pycollada, in file coordinates: per node
    its world matrix, parent, children and own geometries, each a list of
    (material id, triangles (k, 3, 3), texture coordinates (k, 3, 2) or
    None)."""

    def __init__(self, source, directory):
        import collada
        self.directory = directory
        self.dae = collada.Collada(source)
        self.nodes, self.top = {}, []
        for n in self.dae.scene.nodes:
            self.top.append(n.id)
            self._walk(n, np.identity(4), None)
        self.cameras = list(self.dae.scene.objects("camera"))
        self.lights = list(self.dae.scene.objects("light"))
        self.materials = {m.id: m for m in self.dae.materials}

    def _walk(self, node, parent_world, parent):
        from collada.scene import GeometryNode, Node
        world = parent_world @ node.matrix
        info = {"world": world, "parent": parent, "children": [], "geoms": {}}
        self.nodes[node.id] = info
        for c in node.children:
            if isinstance(c, Node):
                info["children"].append(c.id)
                self._walk(c, world, node.id)
            elif isinstance(c, GeometryNode):
                parts = []
                for prim in c.geometry.primitives:
                    p = prim.vertex[prim.vertex_index].reshape(-1, 3)
                    p = (p @ world[:3, :3].T + world[:3, 3]).reshape(-1, 3, 3)
                    uv = None
                    if len(prim.texcoordset):
                        uv = prim.texcoordset[0][prim.texcoord_indexset[0]].reshape(-1, 3, 2)
                    parts.append((prim.material, p, uv))
                info["geoms"][c.geometry.id] = parts

    def without(self, name):
        """The same model less the top-level node `name` and what hangs
        below it (a shallow view: the rest is shared)."""
        view = object.__new__(Model)
        view.__dict__.update(self.__dict__)
        gone = set(self.subtree(name)) if name in self.nodes else set()
        view.nodes = {n: i for n, i in self.nodes.items() if n not in gone}
        view.top = [n for n in self.top if n not in gone]
        return view

    def shifted(self, offset):
        """The same model with every node and point moved by `offset`
        (cameras and lights stay where they are)."""
        view = object.__new__(Model)
        view.__dict__.update(self.__dict__)
        move = mk.translation(*offset)
        view.nodes = {}
        for n, info in self.nodes.items():
            geoms = {g: [(mat, p + np.asarray(offset), uv) for mat, p, uv in parts]
                     for g, parts in info["geoms"].items()}
            view.nodes[n] = dict(info, world=move @ info["world"], geoms=geoms)
        return view

    def subtree(self, name):
        out = [name]
        for c in self.nodes[name]["children"]:
            out += self.subtree(c)
        return out

    def root_of(self, name):
        while self.nodes[name]["parent"] is not None:
            name = self.nodes[name]["parent"]
        return name

    def geometry_ids(self, names):
        return {g for n in names for g in self.nodes[n]["geoms"]}

    def tris(self, names, material=None):
        """World triangles of the nodes' own geometry; material, if given,
        is a part of the material ids to keep."""
        t = [p for n in names for parts in self.nodes[n]["geoms"].values()
             for mat, p, _ in parts if material is None or material in mat.lower()]
        return np.concatenate(t) if t else np.zeros((0, 3, 3))

    def points(self, names, material=None):
        return self.tris(names, material).reshape(-1, 3)

    def all_points(self):
        return self.points(list(self.nodes))

    def triangle_count(self):
        return len(self.tris(list(self.nodes)))


def turned(model, name, axis, degrees, pts):
    """Points turned as the engine turns node `name`: M R M^-1, M the node's
    world matrix, R the rotation about axis in the node's own frame."""
    m = model.nodes[name]["world"]
    t = m @ mk.rotation(*axis, degrees) @ np.linalg.inv(m)
    return pts @ t[:3, :3].T + t[:3, 3]


def nearest(a, b):
    """Smallest distance between two point sets."""
    if not len(a) or not len(b):
        return float("inf")
    a, b = np.unique(a, axis=0), np.unique(b, axis=0)
    bb = np.einsum("ij,ij->i", b, b)
    best = float("inf")
    for k in range(0, len(a), 2048):
        x = a[k:k + 2048]
        d2 = np.einsum("ij,ij->i", x, x)[:, None] + bb[None, :] - 2 * x @ b.T
        best = min(best, float(d2.min()))
    return math.sqrt(max(best, 0.0))


def ray_hits(tris, origin, direction, eps=1e-6):
    """Distances along the ray at which it meets the triangles."""
    a, b, c = tris[:, 0], tris[:, 1], tris[:, 2]
    e1, e2 = b - a, c - a
    p = np.cross(direction, e2)
    det = np.einsum("ij,ij->i", e1, p)
    ok = np.abs(det) > 1e-12
    inv = 1.0 / np.where(ok, det, 1)
    s = origin - a
    u = np.einsum("ij,ij->i", s, p) * inv
    q = np.cross(s, e1)
    v = (q @ direction) * inv
    t = np.einsum("ij,ij->i", e2, q) * inv
    hit = ok & (u >= -eps) & (v >= -eps) & (u + v <= 1 + eps)
    return t[hit]


def frame_errors(model, name, what):
    """A nodding head's frame must be the file's: y its left-right axis."""
    rot = model.nodes[name]["world"][:3, :3]
    return [] if np.allclose(rot, np.identity(3), atol=1e-6) else \
        [f"{what}: {name}'s frame is turned against the file's"]


def common_errors(model, name, floor, reach, height):
    errs = []
    pts = model.all_points()
    lo, hi = pts.min(0), pts.max(0)
    count = model.triangle_count()
    if count > TRIANGLE_BUDGET:
        errs.append(f"{name}: {count} triangles (budget {TRIANGLE_BUDGET})")
    if abs(lo[2] - floor) > 1e-4:
        errs.append(f"{name}: lowest point at z = {lo[2]:.4f}, the floor is {floor}")
    if not (height[0] <= hi[2] - floor <= height[1]):
        errs.append(f"{name}: {hi[2] - floor:.2f} tall, want {height[0]} to {height[1]}")
    if max(np.abs(lo[:2]).max(), np.abs(hi[:2]).max()) > reach:
        errs.append(f"{name}: reaches {lo[:2]} .. {hi[:2]}, more than {reach} from its origin")
    # Ids: the engine compares geometry ids in lower case against everything.
    ids = {}
    for kind, names in (("node", model.nodes), ("material", model.materials),
                        ("geometry", [g.id for g in model.dae.geometries])):
        for i in names:
            if i.lower() in ids:
                errs.append(f"{name}: {kind} id {i} clashes with a {ids[i.lower()]}")
            ids[i.lower()] = kind
    for part in REQUIRED_MATERIALS[name]:
        having = [m for m in model.materials if part in m.lower()]
        if len(having) != 1:
            errs.append(f"{name}: {len(having)} materials named with {part!r}, want one")
        elif not len(model.tris(list(model.nodes), part)):
            errs.append(f"{name}: material {having[0]} is on no geometry")
    for part in (ROBOT_PARTS["Robot"]["Screen"], ROBOT_PARTS["CameraBot"]["Lamp"], ROBOT_PARTS["PainterBot"]["Lamp"]):
        if part not in REQUIRED_MATERIALS[name] and any(part in m.lower() for m in model.materials):
            errs.append(f"{name}: a material is named with {part!r}; the engine would take it")
    return errs


def feet_errors(model, name):
    """Both soles flat on the floor, each for a good length."""
    pts = model.all_points()
    on = pts[np.abs(pts[:, 2] - FLOOR_Z) < 1e-3]
    errs = []
    if not (np.sum(on[:, 1] < -0.5) >= 4 and np.sum(on[:, 1] > 0.5) >= 4):
        errs.append(f"{name}: not standing on both feet")
    elif np.ptp(on[:, 0]) < 1.5:
        errs.append(f"{name}: soles only {np.ptp(on[:, 0]):.2f} long on the floor")
    return errs


def nod_errors(model, name, neck_radius=1.2):
    """Skull's origin on the top of the neck; nodding it +-15 degrees about
    its y keeps the head on the neck and out of the body."""
    errs = frame_errors(model, "Skull", name)
    torso = model.points(model.subtree("Torso"))
    skull = model.points(model.subtree("Skull"))
    joint = model.nodes["Skull"]["world"][:3, 3]
    axis_r = np.hypot(torso[:, 0], torso[:, 1])
    neck_top = torso[axis_r < neck_radius][:, 2].max()
    if np.linalg.norm(joint - (0, 0, neck_top)) > 0.35:
        errs.append(f"{name}: Skull's origin {joint.round(2)} is not on the neck's top "
                    f"(0, 0, {neck_top:.2f})")
    shoulders = torso[axis_r >= neck_radius + 0.1][:, 2].max()
    for a in (-15, 15):
        head = turned(model, "Skull", (0, 1, 0), a, skull)
        if abs(head[:, 2].min() - joint[2]) > 0.5:
            errs.append(f"{name}: nodded {a}, the head's lowest point is "
                        f"{head[:, 2].min() - joint[2]:+.2f} from the neck joint")
        if nearest(head, joint[None, :]) > 0.5:
            errs.append(f"{name}: nodded {a}, the head leaves its neck")
        if head[:, 2].min() < shoulders - 0.05:
            errs.append(f"{name}: nodded {a}, the head dips {shoulders - head[:, 2].min():.2f} "
                        "into the body")
    eyes = model.points(model.subtree("Skull"), "eye")
    if not len(eyes) or eyes[:, 0].mean() < 0.5 * skull[:, 0].max():
        errs.append(f"{name}: the head does not look towards +x")
    return errs


def forearm_errors(model, name, node, upper, axis, angles, min_move, direction):
    """The forearm node's origin is its elbow and it stays there when
    turned; with min_move, the hand moves at least that far along the unit
    direction at angles[-1]. Returns the errors and the hand's centres at
    each angle."""
    errs = []
    arm = model.points(model.subtree(node))
    hand = model.points(model.subtree(node)[1:]) if len(model.subtree(node)) > 1 else arm
    up = model.points(model.subtree(upper)) if upper else np.zeros((0, 3))
    origin = model.nodes[node]["world"][:3, 3]
    if nearest(up, origin[None, :]) > 0.6 or nearest(arm, origin[None, :]) > 0.6:
        errs.append(f"{name}: {node}'s origin {origin.round(2)} is not at the elbow")
    centres = {}
    for a in angles:
        moved = turned(model, node, axis, a, arm)
        gap = nearest(moved, up)
        if gap > 0.3:
            errs.append(f"{name}: {node} turned {a} comes off the upper arm by {gap:.2f}")
        centres[a] = turned(model, node, axis, a, hand).mean(0)
    move = (centres[angles[-1]] - hand.mean(0)) @ np.asarray(direction, float)
    if min_move is not None and move < min_move:
        errs.append(f"{name}: {node} turned {angles[-1]} moves the hand {move:.2f} along "
                    f"{direction}, want {min_move} or more")
    return errs, centres


def screen_errors(model, name):
    """The chest screen: one flat quad facing +x, 16:9 or 4:3, in the chest,
    nothing in front of it, uv (0, 0) at its lower edge on -y and (1, 1) at
    its upper edge on +y, textured with a dark picture beside the model."""
    errs = []
    found = [(n, mat, p, uv) for n in model.nodes for parts in model.nodes[n]["geoms"].values()
             for mat, p, uv in parts if "screen_001" in mat.lower()]
    if len(found) != 1 or len(found[0][2]) != 2:
        return [f"{name}: the screen is not one quad"]
    node, mat, tris, uv = found[0]
    if model.root_of(node) != "Torso":
        errs.append(f"{name}: the screen is not in Torso")
    geo = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0])
    geo /= np.linalg.norm(geo, axis=1, keepdims=True)
    if not np.allclose(geo, (1, 0, 0), atol=1e-5):
        errs.append(f"{name}: the screen faces {geo[0].round(3)}, not +x")
    p, uv = tris.reshape(-1, 3), uv.reshape(-1, 2) if uv is not None else None
    lo, hi = p.min(0), p.max(0)
    w, h = hi[1] - lo[1], hi[2] - lo[2]
    if not (1.3 <= w / max(h, 1e-9) <= 1.8):
        errs.append(f"{name}: screen {w:.2f} x {h:.2f}, want 16:9 or 4:3")
    mid = (lo + hi) / 2
    if abs(mid[1]) > 0.3 or not 0 <= mid[2] <= 4:
        errs.append(f"{name}: screen centred at {mid.round(2)}, not in the chest")
    if uv is None:
        errs.append(f"{name}: the screen has no texture coordinates")
    else:
        want = np.stack([(p[:, 1] - lo[1]) / w, (p[:, 2] - lo[2]) / h], axis=1)
        if not np.allclose(uv, want, atol=1e-4):
            errs.append(f"{name}: screen uvs do not run from (0, 0) lower -y to (1, 1) upper +y")
    everything = model.tris(list(model.nodes))
    for fy, fz in ((0, 0), (-0.45, -0.45), (0.45, -0.45), (0.45, 0.45), (-0.45, 0.45)):
        o = mid + (0.0, fy * w, fz * h)
        ahead = ray_hits(everything, o + (1e-4, 0, 0), vec(1, 0, 0))
        if np.any((ahead > 0) & (ahead < 100)):
            errs.append(f"{name}: something covers the screen at {o.round(2)}")
            break
    behind = ray_hits(model.tris(model.subtree("Torso")), mid - (1e-4, 0, 0), vec(-1, 0, 0))
    if not np.any((behind > 0) & (behind < 0.5)):
        errs.append(f"{name}: the screen does not sit on the chest")
    effect = model.materials[mat].effect
    tex = getattr(effect.diffuse, "sampler", None)
    if tex is None:
        errs.append(f"{name}: material {mat} is not textured")
    else:
        path = tex.surface.image.path
        png = os.path.join(model.directory, os.path.basename(path))
        if path != path.lower() or not os.path.isfile(png):
            errs.append(f"{name}: screen picture {path} missing or not lower case")
        elif np.asarray(Image.open(png).convert("RGB"), dtype=np.float64).mean() > 60:
            errs.append(f"{name}: the screen's placeholder is not dark")
    return errs


def robot_errors(model):
    name = ROBOT_NAME
    cameras = model.cameras
    model = model.shifted(-np.asarray(ROBOT_OFFSET))  # measured as if it stood on its origin
    errs = common_errors(model, name, FLOOR_Z, 8.0, (19.0, 23.5)) + feet_errors(model, name)
    for n in model.nodes:
        if model.nodes[n]["geoms"] and model.root_of(n) not in ("Torso", "Skull"):
            errs.append(f"{name}: node {n} draws outside Torso and Skull")
    if not {"Torso", "Skull"} <= set(model.top):
        return errs + [f"{name}: top-level nodes {model.top}, want Torso and Skull"]
    if len(cameras) != 1:
        errs.append(f"{name}: {len(cameras)} cameras, want one")
    errs += light_errors(model, name)
    for cam in cameras:
        to_chest = vec(*ROBOT_OFFSET) + (0, 0, 2) - cam.position
        cos = (cam.direction @ to_chest) / np.linalg.norm(cam.direction) / np.linalg.norm(to_chest)
        if cam.position[0] <= 0 or cos < math.cos(math.radians(10)):
            errs.append(f"{name}: the camera does not look at the chest from the front")
    errs += nod_errors(model, name) + screen_errors(model, name)
    return errs


def light_errors(model, name):
    """Five point lights in this order: the four the scene puts on its
    cameras, with the file's colour and gentle fall-off, then the one it
    gives its own stage values."""
    lights = model.lights
    kinds = [type(li).__name__ for li in lights]
    if kinds != ["BoundPointLight"] * 5:
        return [f"{name}: lights {kinds}, want five point lights"]
    errs = []
    for i, li in enumerate(lights[:4]):
        lamp = li.original
        if lamp.id != f"KeyLamp{i}":
            errs.append(f"{name}: light {i} is {lamp.id}, want KeyLamp{i}")
        if not np.allclose(lamp.color, KEY_COLOUR):
            errs.append(f"{name}: {lamp.id} is {lamp.color}, want {KEY_COLOUR}")
        # At the far side of the stage a light must still give a third of
        # its colour; the engine's defaults give a twentieth.
        far = 45.0
        constant, linear, quadratic = (float(v or 0.0) for v in
                                       (lamp.constant_att, lamp.linear_att, lamp.quad_att))
        weight = 1.0 / (constant + linear * far + quadratic * far * far)
        if not (linear > 0 and quadratic > 0 and weight > 0.25):
            errs.append(f"{name}: {lamp.id} falls off to {weight:.2f} at {far:g}, want over 0.25 "
                        "(and no zero term, which the engine reads as its own default)")
    if lights[4].original.id != "StageLamp":
        errs.append(f"{name}: the last light is {lights[4].original.id}, want StageLamp")
    return errs


def stage_errors(model, name, out_dir):
    """The curtain and its ceiling in the camera robot's file: undone from the
    camera robot's placement, a closed round wall from the floor up that
    encloses every robot and every camera of the scene with room to spare,
    its inside towards them, textured with the picture beside the model."""
    if "Stage" not in model.top:
        return [f"{name}: no Stage"]
    errs = []
    to_scene = np.linalg.inv(scene_to_camerabot())
    wall = model.tris(model.subtree("Stage"), "stagecurtain")
    lid = model.tris(model.subtree("Stage"), "stageceiling")
    if not len(wall) or not len(lid):
        return [f"{name}: the Stage has no curtain or no ceiling"]
    wall = wall @ to_scene[:3, :3].T + to_scene[:3, 3]
    pts = wall.reshape(-1, 3)
    centre = np.asarray(STAGE_CENTRE)
    radii = np.hypot(pts[:, 0] - centre[0], pts[:, 1] - centre[1])
    if abs(pts[:, 2].min() - FLOOR_Z) > 1e-4 or pts[:, 2].max() < STAGE_TOP - 1e-4:
        errs.append(f"{name}: the curtain runs from z = {pts[:, 2].min():.2f} to {pts[:, 2].max():.2f}")
    inside = radii.min()
    for cam in SCENE_CAMERAS + ((0.0, 0.0, 0.0), (-25.0, -20.0, 0.0), (-10.0, 20.0, 0.0), (-47.0, 0.0, 0.0)):
        room = inside - np.hypot(cam[0] - centre[0], cam[1] - centre[1])
        if room < 20:
            errs.append(f"{name}: the curtain passes {room:.1f} from {cam}, want 20 at least")
        if cam[2] > STAGE_TOP - 20:
            errs.append(f"{name}: {cam} is within 20 of the curtain's top")
    normal = np.cross(wall[:, 1] - wall[:, 0], wall[:, 2] - wall[:, 0])
    towards = centre - wall.mean(axis=1)[:, :2]
    if np.any(np.einsum("ij,ij->i", normal[:, :2], towards) <= 0):
        errs.append(f"{name}: the curtain does not face the stage everywhere")
    heights = np.unique(np.round(pts[:, 2], 4))
    if np.diff(heights).max() > STAGE_ROW_HEIGHT + 1e-4:
        errs.append(f"{name}: the curtain's rows are {np.diff(heights).max():.2f} high, "
                    f"want {STAGE_ROW_HEIGHT} at most (it is lit once a vertex)")
    angles = np.sort(np.arctan2(pts[:, 1] - centre[1], pts[:, 0] - centre[0]))
    if np.diff(angles).max() > 2 * math.pi / STAGE_SEGMENTS + 1e-6:
        errs.append(f"{name}: the curtain has a gap")
    effect = model.materials[next(m for m in model.materials if "stagecurtain" in m.lower())].effect
    tex = getattr(effect.diffuse, "sampler", None)
    if tex is None or os.path.basename(tex.surface.image.path) != STAGE_PNG:
        errs.append(f"{name}: the curtain is not textured with {STAGE_PNG}")
    return errs


def camerabot_errors(model):
    name = CAMERABOT_NAME
    errs = stage_errors(model, name, model.directory)
    model = model.without("Stage")  # the robot itself
    errs += common_errors(model, name, FLOOR_Z, 8.0, (19.0, 23.5)) + feet_errors(model, name)
    if model.cameras or model.lights:
        errs.append(f"{name}: has cameras or lights")
    for node, forearm, hand in CAMERABOT_ARMS:
        if node not in model.nodes:
            errs.append(f"{name}: no node {node}")
            continue
        names = model.subtree(node)
        if model.geometry_ids(names) != {forearm, hand} or \
                forearm not in model.nodes[node]["geoms"]:
            errs.append(f"{name}: {node} holds {sorted(model.geometry_ids(names))}, want "
                        f"{forearm} on it and {hand} below it")
        upper = model.nodes[node]["parent"]
        e, centres = forearm_errors(model, name, node, upper, (1, 0, 0), (0, 30, -2, 60), 1.0,
                                    (1, 0, 0))
        errs += e
        rise = centres[60][2] - centres[0][2]
        if rise < 0.8:
            errs.append(f"{name}: {node} at 60 raises the hand by {rise:.2f} only")
        back = centres[-2] - centres[0]
        if not (back[0] < 0 and np.linalg.norm(back) < 0.3):
            errs.append(f"{name}: {node} at -2 moves the hand {back.round(2)}")
    cam = [n for n in model.nodes if len(model.tris([n], "material_004"))]
    if cam and model.points([cam[0]])[:, 2].min() < 2.0:
        errs.append(f"{name}: the film camera hangs below the shoulders")
    return errs


def banjo_errors(model):
    name = BANJO_NAME
    errs = common_errors(model, name, FLOOR_Z, 8.0, (19.0, 23.5)) + feet_errors(model, name)
    if model.cameras or model.lights:
        errs.append(f"{name}: has cameras or lights")
    if set(model.top) != {"Torso", "Skull", "Circle"}:
        return errs + [f"{name}: top-level nodes {model.top}, want Torso, Skull, Circle"]
    node, forearm, hand = BANJO_ARM
    if node not in model.subtree("Torso"):
        return errs + [f"{name}: no {node} in Torso"]
    if model.geometry_ids(model.subtree(node)) != {forearm, hand} or \
            forearm not in model.nodes[node]["geoms"]:
        errs.append(f"{name}: {node} holds {sorted(model.geometry_ids(model.subtree(node)))}")
    errs += nod_errors(model, name)
    # The drum: its head faces +x in front of the belly; the neck rises to
    # the robot's left.
    banjo = model.points(model.subtree("Circle"))
    head = model.tris(model.subtree("Circle"), "drumhead")
    geo = np.cross(head[:, 1] - head[:, 0], head[:, 2] - head[:, 0]) / 2
    front = geo[:, 0] > 0.99 * np.linalg.norm(geo, axis=1)
    face, area = head[front], float(np.linalg.norm(geo[front], axis=1).sum())
    if area < math.pi * 1.2 ** 2:
        return errs + [f"{name}: no round drum head facing +x ({area:.2f} of it)"]
    drum_x = float(face[..., 0].max())
    centre = face.reshape(-1, 3).mean(0)
    radius = float(np.sqrt(area / math.pi))
    body = model.points([n for n in model.subtree("Torso") if n not in model.subtree(node)])
    belly = body[(np.abs(body[:, 1] - centre[1]) < 0.5) & (np.abs(body[:, 2] - centre[2]) < 0.5)]
    if len(belly) and belly[:, 0].max() > drum_x - 0.3:
        errs.append(f"{name}: the drum is not held in front of the belly")
    up = banjo[banjo[:, 1] > centre[1] + 4]
    if not len(up) or up[:, 2].min() < centre[2] + 1.0:
        errs.append(f"{name}: the banjo's neck does not rise towards +y")
    for n in ("Arm_Fret", "UpperArm_Strum"):
        if n not in model.subtree("Torso"):
            return errs + [f"{name}: no {n} in Torso"]
    if nearest(model.points(["Arm_Fret"]), banjo) > 0.25:
        errs.append(f"{name}: the fretting hand does not reach the banjo")
    # Strumming: turned +-20 about local y the hand sweeps across the drum
    # head, in front of it, within its rim. LowerArm hangs from Torso, the
    # upper arm it must stay on is its sibling.
    e, centres = forearm_errors(model, name, node, "UpperArm_Strum", (0, 1, 0), (0, -20, 20),
                                None, (0, 0, 1))
    errs += e
    sweep = centres[20] - centres[-20]
    if abs(sweep[0]) > 0.15 or np.hypot(sweep[1], sweep[2]) < 1.0:
        errs.append(f"{name}: strumming moves the hand {sweep.round(2)}, not across the drum")
    hand_pts = model.points(model.subtree(node))
    for a in (-20, 0, 20):
        c = centres[a]
        if np.hypot(c[1] - centre[1], c[2] - centre[2]) > radius:
            errs.append(f"{name}: strumming at {a}, the hand is off the drum head")
        moved = turned(model, node, (0, 1, 0), a, hand_pts)
        over = np.hypot(moved[:, 1] - centre[1], moved[:, 2] - centre[2]) < radius
        if np.any(moved[over, 0] < drum_x + 0.02):
            errs.append(f"{name}: strumming at {a}, the arm goes into the drum")
    return errs


def painter_errors(model):
    name = PAINTER_NAME
    errs = common_errors(model, name, PAINTER_FLOOR_Z, 1.5, (4.0, 5.0))
    if model.cameras or model.lights:
        errs.append(f"{name}: has cameras or lights")
    pts = model.all_points()
    wheels = [n for n in model.nodes if n.startswith("Wheel")]
    if len(wheels) < 3:
        return errs + [f"{name}: {len(wheels)} wheels"]
    for w in wheels:
        wp = model.points([w])
        lo, hi = wp.min(0), wp.max(0)
        origin = model.nodes[w]["world"][:3, 3]
        if abs(lo[2] - PAINTER_FLOOR_Z) > 1e-4:
            errs.append(f"{name}: {w} stands at z = {lo[2]:.4f}, not on the floor")
        if not np.allclose(origin[[0, 2]], ((lo + hi) / 2)[[0, 2]], atol=1e-3):
            errs.append(f"{name}: {w}'s origin is not on its axle")
    brush = model.points(["Brush"]) if "Brush" in model.nodes else np.zeros((0, 3))
    if not len(brush):
        return errs + [f"{name}: no Brush"]
    tip = brush[np.argmin(brush[:, 2])]
    if np.linalg.norm(tip - BRUSH_TIP) > 1e-4:
        errs.append(f"{name}: the brush's tip is at {tip.round(4)}, want {BRUSH_TIP}")
    wheel_pts = model.points(wheels)
    touching = pts[np.abs(pts[:, 2] - PAINTER_FLOOR_Z) < 1e-3]
    strays = [p for p in touching if np.linalg.norm(p - BRUSH_TIP) > 1e-3
              and nearest(p[None, :], wheel_pts) > 1e-6]
    if strays:
        errs.append(f"{name}: {len(strays)} points besides the wheels and the brush on the floor")
    body = model.points(["Body"]) if "Body" in model.nodes else pts
    if np.abs(body[:, 1]).max() > 0.6:
        errs.append(f"{name}: body {2 * np.abs(body[:, 1]).max():.2f} wide, want 1.2 at most")
    lamp = model.points(list(model.nodes), "indicator-material")
    if len(lamp) and lamp[:, 2].min() < pts[:, 2].max() - 0.5:
        errs.append(f"{name}: the indicator lamp is not on top")
    return errs


CHECKS = {ROBOT_NAME: robot_errors, CAMERABOT_NAME: camerabot_errors,
          PAINTER_NAME: painter_errors, BANJO_NAME: banjo_errors}


def find(scene, name):
    return next(n for n in scene.walk() if n.name == name)


def broken_models():
    """Models with one fault each, as they would be made by mistake, and
    the file whose checks must see it."""
    out = []
    s = build_robot()                              # screen upside down
    q = find(s, "Screen").meshes[0]
    find(s, "Screen").meshes[0] = mk.Mesh(q.positions, q.normals, q.uvs * (1, -1) + (0, 1),
                                          q.faces, q.material)
    out.append(("upside-down screen", ROBOT_NAME, s))
    s = build_robot()                              # head pivot on the file's origin
    skull = find(s, "Skull")
    skull.meshes = [m.translated(*skull.translate) for m in skull.meshes]
    skull.translate = None
    out.append(("head turning about the origin", ROBOT_NAME, s))
    s = build_camerabot()                          # forearm frame left unturned
    arm = find(s, "LowerArm_001")
    turn = mk.rotation(*arm.rotate[0])
    arm.rotate = []
    for n in arm.walk():
        n.meshes = [m.transformed(turn) for m in n.meshes]
    out.append(("forearm hinged about x", CAMERABOT_NAME, s))
    s = build_camerabot()                          # curtain turned inside out
    stage = find(s, "Stage")
    stage.meshes = [mk.Mesh(m.positions, -m.normals, m.uvs, m.faces[:, ::-1], m.material)
                    for m in stage.meshes]
    out.append(("curtain facing away from the stage", CAMERABOT_NAME, s))
    s = build_camerabot()                          # curtain round the robot only
    stage = find(s, "Stage")
    shrink = scene_to_camerabot() @ mk.scaling(0.2, 0.2, 1) @ np.linalg.inv(scene_to_camerabot())
    stage.meshes = [m.transformed(shrink) for m in stage.meshes]
    out.append(("curtain too small for the stage", CAMERABOT_NAME, s))
    s = build_robot()                              # key lights with the engine's fall-off
    for i in range(4):
        find(s, f"KeyLight{i}").light.linear = 0.0
    out.append(("key light with the default fall-off", ROBOT_NAME, s))
    s = build_banjobot()                           # standing off the floor
    for n in s.nodes:
        n.translate = tuple(np.add(n.translate or (0, 0, 0), (0, 0, 0.2)))
    out.append(("robot above the floor", BANJO_NAME, s))
    s = build_painterbot()                         # brush a little short
    b = find(s, "Brush")
    b.meshes = [m.translated(0, 0, 0.05) for m in b.meshes]
    out.append(("brush off the floor", PAINTER_NAME, s))
    return out


def check(root, args=None):
    import check_collada
    errs = []
    out_dir = os.path.join(root, OUT_DIR)
    counts = []
    for name, build in MODELS:
        path = os.path.join(out_dir, name)
        if not os.path.isfile(path):
            errs.append(f"{name}: missing")
            continue
        errs += [f"{name}: {e}" for e in check_collada.check(path)]
        model = Model(path, out_dir)
        errs += CHECKS[name](model)
        counts.append(f"{name} {model.triangle_count()}")
        scene = build()
        for n in scene.walk():
            for i, m in enumerate(n.meshes):
                errs += [f"{name}: {e}" for e in
                         check_collada.winding_errors(f"{n.name} mesh {i}", m)]
        with open(path, "rb") as f:
            if f.read() != collada_writer.to_dae(scene).encode():
                errs.append(f"{name} differs from a fresh build")
    for png_name, make in ((SCREEN_PNG, make_screen_png), (STAGE_PNG, make_stage_png)):
        png = os.path.join(out_dir, png_name)
        if not os.path.isfile(png) or open(png, "rb").read() != imagekit.png_bytes(make()):
            errs.append(f"{png_name} missing or differs from a fresh build")
    # The checks must see real faults.
    for what, name, scene in broken_models():
        data = collada_writer.to_dae(scene).encode()
        if not CHECKS[name](Model(io.BytesIO(data), out_dir)):
            errs.append(f"check blind: a {what} passes")
    print("triangles: " + ", ".join(counts))
    return errs


MODELS = ((ROBOT_NAME, build_robot), (CAMERABOT_NAME, build_camerabot),
          (PAINTER_NAME, build_painterbot), (BANJO_NAME, build_banjobot))


def generate(out_dir, args=None):
    write(os.path.join(out_dir, SCREEN_PNG), imagekit.png_bytes(make_screen_png()))
    write(os.path.join(out_dir, STAGE_PNG), imagekit.png_bytes(make_stage_png()))
    for name, build in MODELS:
        collada_writer.write_dae(build(), os.path.join(out_dir, name))


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "robot assets", OUT_DIR, check, generate,
                            [name for name, _build in MODELS] + [SCREEN_PNG, STAGE_PNG],
                            inputs=[model_parts.TABLE]))
