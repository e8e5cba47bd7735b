#!/usr/bin/python3
"""Tin Lantern clown scene: the wooden ring-stacking clown with its toss
rings, the children's table with its chairs and the rocking horse, all of
painted and lacquered wood.

Outputs, under <root>/data/clown:

    Title screen.dae    the stacking clown and the toss rings (Z up, drawn
                        with world = file coordinates)
    stoler.dae          table and two chairs in their room (Y up, placed by
                        the scene)
    gyngehest.dae       the rocking horse (placed and rocked by the scene)

Conventions the scene code relies on (world: Z up, floor at z = 0.5):

    Title screen.dae
      Pinne             base (radius 4.5, bottom on z = 0.5) and the pole
                        (radius 0.55, up to z = 15)
      Body_1..Body_7    the stacked parts from the bottom up, each a top-level
                        node with an identity matrix and its geometry in its
                        stacked place: four rings, the ruff, the head (its
                        face turned 60 degrees clockwise from +x, towards
                        the cameras), the hat (top at z = 19.6); each rests
                        on the one below
      Ring_1..Ring_4    toss rings centred on the origin, bottom on z = 0,
                        0.55 thick, inner radius 5.3 (clear of every part of
                        the figure), outer 6.5, painted in segments
      KeyLight          one warm point light above and in front, at
                        (-8, -36, 40); no camera (the scene adds its own and
                        counts them from 0)

    stoler.dae          Table, Chair_1..Chair_N (2 to 4; table top at
                        z = 38.5, seats 21.5, chair backs 42.5), and the room
                        round everything: Walls (with the ceiling), Skirting,
                        Window, Cupboard, Pictures. The scene draws the file
                        with T(0, 0, 0.5) @ R_x(90) @ T(-65, 15, -30) @ S(3);
                        it is built in world coordinates (the furniture
                        standing on z = 0.5 around (-27, 31)) and stored
                        through the inverse of that placement. Cameras 0, 1
                        and 3 of the scene see no farther than 100: every
                        part of the room lies nearer to them than that.

    gyngehest.dae       every mesh in node polySurface2, whose matrix N makes
                        H @ N = R with H = R_x(90) @ T(-50, 0, -6) @ S(3) and R
                        the half turn about (1, 0, 1) / sqrt(2). Its meshes
                        hold q = (w_z - 0.5, -w_y - 34, w_x) of the horse built
                        in world coordinates: along y, head towards +y,
                        centred on x = -22, the rockers' lowest point on the
                        floor at y = -30, where the scene's rocking axis runs.
                        Top of the ears at z = 46.9, 65 long. No light or
                        camera in either of these two files.

    /usr/bin/python3 tools/assets/clown_assets.py --root .
    /usr/bin/python3 tools/assets/clown_assets.py --root . --check

--check reads the three files back (pycollada), applies the scene's
placements and verifies the conventions above: node names, parts standing
on each other and on the floor, the toss rings' clearance, the horse at rest
and rocked, no cameras, point lights, colours, triangle budgets, winding,
and that a second generation gives the same bytes.

Plain colours only: a textured material takes its diffuse from twice its
ambient, so it needs an ambient of a half, and the key light (whose colour
the engine also uses as its ambient) would wash it out.

Deterministic: fixed seeds and the writer's fixed COLLADA dates.
"""

import math
import os
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import collada_writer  # noqa: E402
import generator  # noqa: E402
import model_parts  # noqa: E402
import modelkit as mk  # noqa: E402

# The names the scene finds the parts by (src/scenes/model_parts.def).
_PARTS = model_parts.read()
POLE = _PARTS["Clown"]["Pole"]
BODY = [_PARTS["Clown"][f"Body{k}"] for k in range(1, 8)]  # from the bottom up
RINGS = [_PARTS["Clown"][f"Ring{k}"] for k in range(1, 5)]
ROCKERS = _PARTS["RockingHorse"]["Rockers"]

CLOWN_DIR = "data/clown"
TITLE_NAME = "Title screen.dae"
TABLE_NAME = "stoler.dae"
HORSE_NAME = "gyngehest.dae"
TRIANGLE_BUDGET = 20000

FLOOR_Z = 0.5
FACE_AZIMUTH = -60.0    # degrees from +x: towards the scene's cameras and the key light
POLE_RADIUS = 0.55
POLE_TOP = 15.0
BASE_RADIUS = 4.5
BASE_TOP = 2.0          # the dome's height at the pole
BAND_Z = (0.66, 1.06)   # the painted line round the base
HOLE_RADIUS = 0.62      # the stacked parts' bore, a little over the pole
RING_OUTER = (3.9, 3.4, 2.9, 2.4)
RING_HEIGHT = (1.75, 1.6, 1.45, 1.3)
HEAD_RADIUS = 2.3
HAT_BAND_ELEVATION = 52.0   # degrees above the head's middle
HAT_TIP_Z = 19.05
KEY_LIGHT = (-8.0, -36.0, 40.0)
TOSS_INNER, TOSS_OUTER, TOSS_THICK = 5.3, 6.5, 0.55

TABLE_CENTRE = (-27.0, 31.0)
TABLE_HALF = 18.0       # the top is 36 square (some 50 cm), its corners rounded
TABLE_TOP_Z = 38.5
SEAT_Z = 21.5
BACK_Z = 42.5

HORSE_X, HORSE_Y = -22.0, -30.0
ROCKER_RADIUS = 52.0
ROCK_DEGREES = 12.5


# ---------------------------------------------------------------------------
# Placements the scene applies
# ---------------------------------------------------------------------------

def table_placement():
    """File -> world for stoler.dae."""
    return (mk.translation(0, 0, FLOOR_Z) @ mk.rotation(1, 0, 0, 90)
            @ mk.translation(-65, 15, -30) @ mk.scaling(3))


def horse_object():
    """H, the horse's object matrix in the scene."""
    return mk.rotation(1, 0, 0, 90) @ mk.translation(-50, 0, -6) @ mk.scaling(3)


def half_turn():
    """R: half a turn about (1, 0, 1) / sqrt(2), (a, b, c) -> (c, -b, a)."""
    m = np.zeros((4, 4))
    m[0, 2] = m[2, 0] = m[3, 3] = 1.0
    m[1, 1] = -1.0
    return m


def horse_node_matrix():
    """N for polySurface2: H @ N = R."""
    return np.linalg.inv(horse_object()) @ half_turn()


def horse_world_to_mesh():
    """World -> the coordinates stored in polySurface2."""
    return np.linalg.inv(mk.translation(0, HORSE_Y, FLOOR_Z) @ half_turn()
                         @ mk.translation(0, 4, 0))


# ---------------------------------------------------------------------------
# Materials
# ---------------------------------------------------------------------------

def lacquer(name, rgb, shininess=45.0, specular=0.45):
    """Glossy toy paint over wood: a bright, fairly tight highlight and the
    kit's moderate ambient (a quarter of the colour)."""
    return mk.Material(name, diffuse=rgb, specular=(specular,) * 3, shininess=shininess)


RED = lacquer("LacquerRed", (0.86, 0.10, 0.07))
YELLOW = lacquer("LacquerYellow", (0.98, 0.76, 0.08))
BLUE = lacquer("LacquerBlue", (0.07, 0.30, 0.80))
GREEN = lacquer("LacquerGreen", (0.08, 0.60, 0.22))
WHITE = lacquer("LacquerWhite", (0.95, 0.94, 0.90))
ORANGE = lacquer("LacquerOrange", (1.0, 0.45, 0.04), shininess=25, specular=0.25)
SKIN = lacquer("FacePaint", (0.99, 0.80, 0.64), shininess=35, specular=0.35)
BLACK = lacquer("PaintBlack", (0.04, 0.04, 0.05), shininess=60, specular=0.5)
PINK = lacquer("CheekPink", (0.97, 0.46, 0.52), shininess=30, specular=0.3)
NOSE = lacquer("NoseRed", (0.90, 0.05, 0.05), shininess=80, specular=0.7)
BEECH = mk.Material("LacqueredBeech", diffuse=(0.76, 0.57, 0.36),
                    specular=(0.25, 0.24, 0.22), shininess=20)
CREAM = lacquer("TableCream", (0.97, 0.93, 0.82), shininess=40, specular=0.4)
GREY = lacquer("DappleGrey", (0.72, 0.74, 0.77), shininess=35, specular=0.35)
DARK = lacquer("ManeDark", (0.16, 0.10, 0.07), shininess=30, specular=0.3)


# ---------------------------------------------------------------------------
# Shape helpers
# ---------------------------------------------------------------------------

def spow(t, e):
    return np.sign(t) * np.abs(t) ** e


def grid_surface(P, material, inside=None):
    """A smooth mesh through a grid of points P (rows, columns, 3).

    Neighbouring rows and columns make the faces; points that coincide (a
    seam repeated at the end of a row, a pole where a row shrinks to one
    point) are welded, so the surface shades smooth across them. Normals are
    the area-weighted face normals around each point. The faces are turned
    so the normals point away from inside: one point, points per row or per
    grid point; None for a closed surface (positive volume)."""
    P = np.asarray(P, dtype=np.float64)
    nv, nu = P.shape[:2]
    idx = np.arange(nv * nu).reshape(nv, nu)
    a, b = idx[:-1, :-1].ravel(), idx[:-1, 1:].ravel()
    c, d = idx[1:, 1:].ravel(), idx[1:, :-1].ravel()
    faces = np.concatenate([np.stack([a, b, c], 1), np.stack([a, c, d], 1)])
    pos = P.reshape(-1, 3)
    key = np.round(pos * 1e6).astype(np.int64)
    _, first, inverse = np.unique(key, axis=0, return_index=True, return_inverse=True)
    inverse = inverse.reshape(-1)
    faces = inverse[faces]
    points = pos[first]
    ok = (faces[:, 0] != faces[:, 1]) & (faces[:, 1] != faces[:, 2]) & (faces[:, 0] != faces[:, 2])
    faces = faces[ok]
    tri = points[faces]
    cross = np.cross(tri[:, 1] - tri[:, 0], tri[:, 2] - tri[:, 0])
    keep = np.linalg.norm(cross, axis=1) > 1e-12
    faces, cross, tri = faces[keep], cross[keep], tri[keep]
    if inside is None:
        flip = np.einsum("ij,ij->", tri[:, 0], np.cross(tri[:, 1], tri[:, 2])) < 0
    else:
        ins = np.asarray(inside, dtype=np.float64)
        if ins.ndim == 1:
            ref = np.broadcast_to(ins, tri[:, 0].shape)
        else:
            full = np.broadcast_to(ins.reshape(nv, -1, 3), P.shape).reshape(-1, 3)
            ref = np.zeros((len(points), 3))
            ref[inverse] = full
            ref = ref[faces].mean(axis=1)
        flip = np.einsum("ij,ij->", cross, tri.mean(axis=1) - ref) < 0
    if flip:
        faces, cross = faces[:, ::-1], -cross
    normals = np.zeros_like(points)
    for k in range(3):
        np.add.at(normals, faces[:, k], cross)
    normals /= np.maximum(np.linalg.norm(normals, axis=1, keepdims=True), 1e-12)
    return mk.Mesh(points, normals, np.zeros((len(points), 2)), faces, material)


def resample(points, count, closed=False, bend=0.0):
    """count points spaced along a polyline (closed: a loop; the first point
    is repeated at the end). bend > 0 spends more of them where it turns:
    each radian of turn counts as bend units of length."""
    p = np.asarray(points, dtype=np.float64)
    if closed:
        p = np.vstack([p, p[:1]])
    d = np.diff(p, axis=0)
    seg = np.linalg.norm(d, axis=1)
    if bend:
        ang = np.arctan2(d[:, 1], d[:, 0])
        turn = np.abs((np.diff(ang, append=ang[:1] if closed else ang[-1:]) + math.pi)
                      % (2 * math.pi) - math.pi)
        seg = seg + bend * 0.5 * (turn + np.roll(turn, 1))
    s = np.concatenate([[0.0], np.cumsum(seg)])
    t = np.linspace(0, s[-1], count + 1 if closed else count)
    return np.stack([np.interp(t, s, p[:, k]) for k in range(p.shape[1])], 1)


def superellipse(rc, zc, a, b, n, count=48):
    """Closed (r, z) loop: bottom, outside, top, inside; the first point
    repeated at the end. n = 2 is an ellipse, higher is squarer."""
    t = np.linspace(-math.pi / 2, 1.5 * math.pi, 400, endpoint=False)
    loop = np.stack([rc + a * spow(np.cos(t), 2 / n), zc + b * spow(np.sin(t), 2 / n)], 1)
    return resample(loop, count, closed=True, bend=0.6 * min(a, b))


def revolve(profile, segments, material, modulate=None, centre=None):
    """Turn an (r, z) profile about Z with smooth shading. A closed loop
    (its first point repeated last) becomes a ring; a profile from the axis
    to the axis a solid; a piece of a loop needs the loop's centre (r, z)
    to know its outside. modulate(theta, r, z) -> (r, z) reshapes it per
    angle, for scallops and pleats."""
    prof = np.asarray(profile, dtype=np.float64)
    th = np.linspace(0, 2 * math.pi, segments + 1)
    th[-1] = 0.0  # the seam welds exactly
    T, Rr = np.meshgrid(th, prof[:, 0])
    _, Zz = np.meshgrid(th, prof[:, 1])
    if modulate is not None:
        Rr, Zz = modulate(T, Rr, Zz)
    P = np.stack([Rr * np.cos(T), Rr * np.sin(T), Zz], -1)
    closed_loop = np.allclose(prof[0], prof[-1])
    if closed_loop or centre is not None:
        rc, zc = prof[:-1].mean(axis=0) if centre is None else centre
        ref = np.stack([rc * np.cos(T), rc * np.sin(T), np.full_like(T, zc)], -1)
        return grid_surface(P, material, ref)
    return grid_surface(P, material)


def frame_z(direction):
    """Rotation (3x3) taking +z to direction, +x kept level where it can."""
    d = np.asarray(direction, dtype=np.float64)
    d = d / np.linalg.norm(d)
    helper = np.array([0.0, 0.0, 1.0]) if abs(d[2]) < 0.9 else np.array([1.0, 0.0, 0.0])
    x = np.cross(helper, d)
    x /= np.linalg.norm(x)
    return np.stack([x, np.cross(d, x), d], 1)


def placed(mesh, rot3, origin, scale=(1, 1, 1)):
    m = np.identity(4)
    m[:3, :3] = np.asarray(rot3) @ np.diag(scale)
    m[:3, 3] = origin
    return mesh.transformed(m)


def rod_between(p0, p1, r0, r1, material, segments=16):
    """A frustum from p0 (radius r0) to p1 (radius r1), capped."""
    p0, p1 = np.asarray(p0, dtype=np.float64), np.asarray(p1, dtype=np.float64)
    length = float(np.linalg.norm(p1 - p0))
    return placed(mk.cone(r0, length, segments, material, top_radius=r1), frame_z(p1 - p0), p0)


def dowel(p0, p1, r, material, segments=14, knob=None):
    """A round rod with domed ends, or ball knobs of radius knob."""
    p0, p1 = np.asarray(p0, dtype=np.float64), np.asarray(p1, dtype=np.float64)
    length = float(np.linalg.norm(p1 - p0))
    dome = [(r * math.sin(math.radians(a)), r * (1 - math.cos(math.radians(a))) * 0.6)
            for a in range(0, 91, 30)]
    prof = [(x, z) for x, z in dome] + [(x, length - z) for x, z in reversed(dome)]
    m = revolve(prof, segments, material)
    out = [placed(m, frame_z(p1 - p0), p0)]
    if knob:
        out += [mk.sphere(knob, 12, 6, material).translated(*p) for p in (p0, p1)]
    return out


def ellipsoid(centre, rot3, radii, material, segments=20, rings=10):
    return placed(mk.sphere(1.0, segments, rings, material), rot3, centre, radii)


def tube(points, rx, ry, side, material, sides=20):
    """A tube along a plane curve; side is the plane's normal. rx is the
    half-width along side, ry in the plane; a radius of 0 closes an end."""
    P = np.asarray(points, dtype=np.float64)
    tang = np.gradient(P, axis=0)
    tang /= np.linalg.norm(tang, axis=1, keepdims=True)
    side = np.asarray(side, dtype=np.float64) / np.linalg.norm(side)
    nrm = np.cross(tang, side)
    nrm /= np.linalg.norm(nrm, axis=1, keepdims=True)
    a = np.linspace(0, 2 * math.pi, sides + 1)
    a[-1] = 0.0
    rx, ry = np.broadcast_to(rx, len(P)), np.broadcast_to(ry, len(P))
    grid = (P[:, None, :] + (rx[:, None] * np.cos(a))[..., None] * side
            + (ry[:, None] * np.sin(a))[..., None] * nrm[:, None, :])
    return grid_surface(grid, material, P[:, None, :])


def bezier(p0, p1, p2, p3, count):
    t = np.linspace(0, 1, count)[:, None]
    p0, p1, p2, p3 = (np.asarray(p, dtype=np.float64) for p in (p0, p1, p2, p3))
    return ((1 - t) ** 3 * p0 + 3 * (1 - t) ** 2 * t * p1 + 3 * (1 - t) * t ** 2 * p2
            + t ** 3 * p3)


def slab(outline, z0, z1, material):
    return mk.extrude(outline, z1 - z0, material, smooth_angle=35).translated(0, 0, z0)


# (x, z) outline extruded along +y: swaps two axes, a mirror that
# Mesh.transformed turns back into a right winding.
XZ_TO_XY = np.array([[1.0, 0, 0, 0], [0, 0, 1, 0], [0, 1, 0, 0], [0, 0, 0, 1]])
# (y, z) outline extruded along +x.
YZ_TO_XY = np.array([[0, 0, 1.0, 0], [1, 0, 0, 0], [0, 1, 0, 0], [0, 0, 0, 1]])


# ---------------------------------------------------------------------------
# The stacking clown
# ---------------------------------------------------------------------------

def envelope(profile, rs):
    """Lowest and highest z of an (r, z) outline over each r (nan off it)."""
    p = np.asarray(profile, dtype=np.float64)
    p0, p1 = p[:-1], p[1:]
    lo = np.full(len(rs), np.nan)
    hi = np.full(len(rs), np.nan)
    for (ra, za), (rb, zb) in zip(p0, p1):
        if ra == rb:
            continue
        t = (rs - ra) / (rb - ra)
        on = (t >= 0) & (t <= 1)
        z = za + t * (zb - za)
        lo = np.where(on, np.fmin(lo, z), lo)
        hi = np.where(on, np.fmax(hi, z), hi)
    return lo, hi


def rest_on(support, part, r_min=HOLE_RADIUS):
    """How far to raise the outline part so it rests on support, touching
    it without cutting into it (both as (r, z) outlines)."""
    rs = np.linspace(r_min, 5.0, 2001)
    top = envelope(support, rs)[1]
    bottom = envelope(part, rs)[0]
    both = ~np.isnan(top) & ~np.isnan(bottom)
    return float(np.max(top[both] - bottom[both]))


def base_profile():
    """The base: flat bottom on the floor, a rounded rim, a low dome up to
    the pole."""
    rim = 0.35
    prof = [(0.0, FLOOR_Z), (BASE_RADIUS - 1.2, FLOOR_Z)]
    prof += mk.arc(BASE_RADIUS - rim, FLOOR_Z + rim, rim, -90, 0, 3)[:-1]
    t = np.radians([0, 10, 20, 32, 45, 58, 70, 80, 90])
    n = 2.4
    prof += list(zip(BASE_RADIUS * spow(np.cos(t), 2 / n),
                     FLOOR_Z + rim + (BASE_TOP - FLOOR_Z - rim) * spow(np.sin(t), 2 / n)))
    prof[-1] = (0.0, BASE_TOP)
    return np.array(prof)


def pinne():
    base = revolve(base_profile(), 40, BEECH)
    # A red line painted round the rim, standing just proud of the wood.
    dense = resample(base_profile(), 600)
    side = dense[(dense[:, 1] > BAND_Z[0]) & (dense[:, 1] < BAND_Z[1]) & (dense[:, 0] > 3.0)]
    tang = np.gradient(side, axis=0)
    out = np.stack([tang[:, 1], -tang[:, 0]], 1)
    out /= np.linalg.norm(out, axis=1, keepdims=True)
    pick = np.linspace(0, len(side) - 1, 6).round().astype(int)
    band = np.vstack([side[:1] - 0.02 * out[:1], side[pick] + 0.025 * out[pick],
                      side[-1:] - 0.02 * out[-1:]])
    line = revolve(band, 40, RED, centre=(BASE_RADIUS - 0.8, float(side[:, 1].mean())))
    dome = [(POLE_RADIUS * math.cos(math.radians(a)), POLE_TOP - POLE_RADIUS
             + POLE_RADIUS * math.sin(math.radians(a))) for a in range(0, 91, 15)]
    pole = mk.lathe([(0.0, FLOOR_Z + 0.6), (POLE_RADIUS, FLOOR_Z + 0.6)] + dome, 24, BEECH,
                    smooth_angle=40)
    return [base, line, pole]


def ring_profile(k, z_bottom=0.0):
    """A plump ring's cross-section. The outer half is what shows once the
    rings are stacked, so it gets most of the points."""
    a = (RING_OUTER[k] - HOLE_RADIUS) / 2
    b = RING_HEIGHT[k] / 2
    loop = superellipse(HOLE_RADIUS + a, z_bottom + b, a, b, 2.7, 400)[:-1]
    outer = loop[:201]                              # bottom, outside, top
    inner = np.vstack([loop[200:], loop[:1]])       # top, inside, bottom
    return np.vstack([resample(outer, 15, bend=0.8 * b)[:-1], resample(inner, 7, bend=0.8 * b)])


RUFF_LOBES = 12
RUFF_FLAT = 2.5         # inside this the ruff is a plain disc (where it rests
                        # on the top ring and carries the head)
RUFF_EDGE = 3.35        # lobe tips
RUFF_VALLEY = 2.9


def ruff_profile(z0=0.0):
    """Cross-section of the ruff before its scallops: a disc thinning a
    little to a round outer edge, with a rounded bore; a closed loop. The
    flat faces need few points, the pleated outer part and the rim more.
    Also returns where the painted rim begins and ends in the loop."""
    t_in, t_out = 0.78, 0.5
    r0, re = HOLE_RADIUS + 0.12, RUFF_EDGE - t_out / 2
    along = [r0, RUFF_FLAT, 2.7, 2.85, re]
    slope = (t_out - t_in) / (re - r0)
    pts = [(r, z0) for r in along]
    pts += mk.arc(re, z0 + t_out / 2, t_out / 2, -90, 90, 7)[1:-1]
    pts += [(r, z0 + t_in + slope * (r - r0)) for r in reversed(along)]
    rim = (along.index(2.85), len(pts) - along.index(2.85))
    pts += [(r0 - 0.09, z0 + t_in - 0.03), (HOLE_RADIUS, z0 + t_in - 0.12),
            (HOLE_RADIUS, z0 + 0.12), (r0 - 0.09, z0 + 0.03)]
    return np.array(pts + pts[:1]), rim


def ruff_shape(theta, r, z):
    """Scallops round the edge and a gentle up-and-down pleat per lobe."""
    lobe = np.abs(np.cos(RUFF_LOBES * theta / 2)) ** 0.55
    tip = RUFF_VALLEY + (RUFF_EDGE - RUFF_VALLEY) * lobe
    out = np.clip((r - RUFF_FLAT) / (RUFF_EDGE - RUFF_FLAT), 0, None)
    r2 = np.where(r > RUFF_FLAT, RUFF_FLAT + out * (tip - RUFF_FLAT), r)
    z2 = z + 0.16 * out ** 2 * np.cos(RUFF_LOBES * theta)
    return r2, z2


def ruff(z0):
    """The white ruff with its scalloped rim painted red."""
    prof, (i0, i1) = ruff_profile(z0)
    centre = prof[:-1].mean(axis=0)
    parts = [revolve(prof[i0:i1], RUFF_LOBES * 5, RED, ruff_shape, centre),
             revolve(np.vstack([prof[i1 - 1:-1], prof[:i0 + 1]]), RUFF_LOBES * 5, WHITE,
                     ruff_shape, centre)]
    # A blue dot on each lobe, sunk halfway into the lacquer, lying along
    # the pleat's slope.
    rs, tops = _top_line(prof)
    for k in range(RUFF_LOBES):
        th0, r0 = 2 * math.pi * k / RUFF_LOBES, 2.72
        pts = []
        for dr, dt in ((0, 0), (0.05, 0), (0, 0.02)):
            r, th = r0 + dr, th0 + dt
            r2, z2 = ruff_shape(np.array(th), np.array(r), np.interp(r, rs, tops))
            pts.append(np.array([r2 * math.cos(th), r2 * math.sin(th), z2], dtype=np.float64))
        up = np.cross(pts[1] - pts[0], pts[2] - pts[0])
        parts.append(ellipsoid(pts[0], frame_z(up), (0.2, 0.2, 0.06), BLUE, 6, 3))
    return parts


def _top_line(prof):
    """The upper side of an outline as (r, z) arrays, r increasing."""
    rs = np.linspace(prof[:, 0].min(), prof[:, 0].max(), 200)
    return rs, envelope(prof, rs)[1]


def face_dir(u, v, R=HEAD_RADIUS):
    """Direction from the head's centre to the point u across and v up the
    face (lengths on the ball from the middle of the face)."""
    beta = v / R
    phi = math.radians(FACE_AZIMUTH) + u / (R * np.cos(beta))
    return np.stack([np.cos(beta) * np.cos(phi), np.cos(beta) * np.sin(phi), np.sin(beta)], -1)


def decal(centre, uv_grid, lift, material):
    """Paint on the ball: a grid of (u, v) face positions, lift above it."""
    u, v = uv_grid[..., 0], uv_grid[..., 1]
    P = np.asarray(centre) + (HEAD_RADIUS + lift) * face_dir(u, v)
    return grid_surface(P, material, np.asarray(centre, dtype=np.float64))


def oval(cu, cv, ru, rv, rings=3, segs=20):
    """A filled oval on the face as a polar grid, fine enough to follow
    the ball."""
    r = np.linspace(0, 1, rings + 1)[:, None]
    a = np.linspace(0, 2 * math.pi, segs + 1)[None, :]
    a[0, -1] = 0.0
    return np.stack([cu + ru * r * np.cos(a), cv + rv * r * np.sin(a)], -1)


def stroke(curve, widths):
    """A painted band along a (u, v) curve, widths tapering to points."""
    c = np.asarray(curve, dtype=np.float64)
    t = np.gradient(c, axis=0)
    t /= np.linalg.norm(t, axis=1, keepdims=True)
    n = np.stack([-t[:, 1], t[:, 0]], 1)
    w = np.asarray(widths, dtype=np.float64)[:, None] / 2
    return np.stack([c - w * n, c, c + w * n], 0)


def face_meshes(centre):
    """Eyes, brows, cheeks, smile and nose, towards FACE_AZIMUTH."""
    m = []
    for side in (-1, 1):
        m.append(decal(centre, oval(side * 0.74, 0.62, 0.38, 0.5), 0.02, WHITE))
        m.append(decal(centre, oval(side * 0.68, 0.54, 0.22, 0.31), 0.035, BLACK))
        m.append(decal(centre, oval(side * 0.61, 0.66, 0.07, 0.08, 2, 12), 0.05, WHITE))
        s = np.linspace(-1, 1, 17)
        brow = np.stack([side * (0.74 + 0.36 * s), 1.28 + 0.16 * (1 - s * s)], 1)
        m.append(decal(centre, stroke(brow, 0.05 + 0.11 * (1 - s * s) ** 0.5), 0.025, BLACK))
        m.append(decal(centre, oval(side * 1.28, -0.42, 0.32, 0.3), 0.02, PINK))
    s = np.linspace(-1, 1, 41)
    smile = np.stack([1.45 * s, -1.12 + 0.42 * s ** 2 + 0.12 * s ** 6], 1)
    m.append(decal(centre, stroke(smile, 0.07 + 0.36 * (1 - s * s) ** 0.8), 0.02, RED))
    nose_at = np.asarray(centre) + (HEAD_RADIUS + 0.18) * face_dir(0.0, -0.2)
    m.append(mk.sphere(0.64, 18, 9, NOSE).translated(*nose_at))
    return m


def hair_and_ears(centre):
    """Small ears, and orange tufts of curls above and behind them."""
    m = []
    c = np.asarray(centre)
    rng = np.random.default_rng(5101)
    for side in (-1, 1):
        ear_dir = face_dir(side * 2.0, -0.25)
        m.append(ellipsoid(c + (HEAD_RADIUS - 0.05) * ear_dir, frame_z(ear_dir),
                           (0.42, 0.55, 0.28), SKIN, 10, 5))
        for u, v, r in ((1.0, 0.25, 0.58), (1.05, 0.8, 0.5), (1.4, 0.45, 0.6),
                        (1.65, 0.05, 0.52), (1.8, 0.62, 0.5)):
            uu = side * (u * HEAD_RADIUS * 0.95 + 0.15)
            d = face_dir(uu + rng.uniform(-0.06, 0.06), v + rng.uniform(-0.05, 0.05))
            m.append(mk.sphere(r, 10, 5, ORANGE).translated(*(c + (HEAD_RADIUS + 0.05) * d)))
    return m


def hat(centre):
    """The pointed hat: its underside is the head's own curve, so it sits
    flush; a white rolled band, a cone in a red and yellow spiral, a white
    pompom."""
    zc = centre[2]
    R = HEAD_RADIUS
    el_band = math.radians(HAT_BAND_ELEVATION)
    band_w = 0.32
    # Underside: the ball's curve from the crown out to the band.
    prof = [(R * math.cos(e), zc + R * math.sin(e))
            for e in np.linspace(math.pi / 2, el_band - band_w / R, 4)]
    prof[0] = (0.0, zc + R)
    # The band: a half round lying on the ball.
    for s in np.linspace(0, math.pi, 9)[1:]:
        rho = R + band_w * 0.9 * math.sin(s)
        e = el_band - band_w / R * math.cos(s)
        prof.append((rho * math.cos(e), zc + rho * math.sin(e)))
    top_r, top_z = prof[-1]
    # Closed back to the axis inside the cone.
    prof += [(top_r * 0.5, top_z + 0.3), (0.0, top_z + 0.6)]
    parts = [revolve(prof, 36, WHITE)]
    # The cone, its grid twisted so the colour bands run as a spiral.
    stripes, per, turns = 8, 5, 0.9
    k = np.linspace(0, 1, 11)[:, None]
    th = 2 * math.pi * (np.arange(stripes * per + 1)[None, :] / (stripes * per) + turns * k)
    th[:, -1] = th[:, 0]
    rad = top_r * (1 - k) * np.ones_like(th)
    z = (top_z + (HAT_TIP_Z - top_z) * k) * np.ones_like(th)
    P = np.stack([rad * np.cos(th), rad * np.sin(th), z], -1)
    cone = grid_surface(P, RED, np.stack([0 * z, 0 * z, z - 0.5], -1))
    cen = cone.positions[cone.faces].mean(axis=1)
    kk = (cen[:, 2] - top_z) / (HAT_TIP_Z - top_z)
    ang = (np.arctan2(cen[:, 1], cen[:, 0]) / (2 * math.pi) - turns * kk) % 1.0
    yellow = (np.floor(ang * stripes).astype(int) % 2) == 1
    parts += split_faces(cone, yellow, YELLOW)
    parts.append(mk.sphere(0.5, 16, 8, WHITE).translated(0, 0, HAT_TIP_Z + 0.02))
    return parts


def split_faces(mesh, sel, material):
    """The faces where sel holds in material, the rest in the mesh's own."""
    out = []
    for s, mat in ((sel, material), (~sel, mesh.material)):
        f = mesh.faces[s]
        used, inv = np.unique(f, return_inverse=True)
        out.append(mk.Mesh(mesh.positions[used], mesh.normals[used], mesh.uvs[used],
                           inv.reshape(-1, 3), mat))
    return out


def stacked_outlines():
    """(r, z) outlines of the stacked parts in place, from the bottom up:
    each raised until it rests on the one below."""
    out = [(POLE, base_profile())]
    for k in range(4):
        prof = ring_profile(k)
        prof[:, 1] += rest_on(out[-1][1], prof)
        out.append((BODY[k], prof))
    prof = ruff_profile()[0]
    prof[:, 1] += rest_on(out[-1][1], prof)
    out.append((BODY[4], prof))
    a = np.linspace(-math.pi / 2, math.pi / 2, 19)
    head = np.stack([HEAD_RADIUS * np.cos(a), HEAD_RADIUS * np.sin(a)], 1)
    head[[0, -1], 0] = 0.0
    head[:, 1] += rest_on(prof, head)
    out.append((BODY[5], head))
    return out


def build_title():
    outlines = dict(stacked_outlines())
    colours = (RED, YELLOW, BLUE, GREEN)
    nodes = [mk.Node(POLE, meshes=pinne())]
    for k in range(4):
        prof = outlines[BODY[k]]
        nodes.append(mk.Node(BODY[k], meshes=[revolve(prof, 40, colours[k])]))
    nodes.append(mk.Node(BODY[4], meshes=ruff(outlines[BODY[4]][:, 1].min())))
    head = outlines[BODY[5]]
    centre = (0.0, 0.0, float(head[:, 1].mean()))
    ball = revolve(head, 36, SKIN)
    nodes.append(mk.Node(BODY[5], meshes=[ball] + face_meshes(centre) + hair_and_ears(centre)))
    nodes.append(mk.Node(BODY[6], meshes=hat(centre)))
    # Toss rings: each in two colours, in eight segments, so a turn shows.
    pairs = ((RED, WHITE), (BLUE, YELLOW), (GREEN, WHITE), (YELLOW, RED))
    a = (TOSS_OUTER - TOSS_INNER) / 2
    prof = superellipse(TOSS_INNER + a, TOSS_THICK / 2, a, TOSS_THICK / 2, 2.6, 12)
    ring = revolve(prof, 36, WHITE)
    p = ring.positions[ring.faces].mean(axis=1)
    seg = (np.floor((np.arctan2(p[:, 1], p[:, 0]) % (2 * math.pi)) / (math.pi / 4)).astype(int) % 2)
    for k, (main, second) in enumerate(pairs):
        nodes.append(mk.Node(RINGS[k],
                             meshes=split_faces(ring.with_material(main), seg == 1, second)))
    # Warm, above and in front: the engine takes its colour for the
    # ambient part too, so it also sets how light the shadowed sides are.
    key = mk.Node("KeyLight", translate=KEY_LIGHT,
                  light=mk.PointLight("KeyLamp", color=(1.0, 0.93, 0.82)))
    return mk.Scene(nodes + [key])


# ---------------------------------------------------------------------------
# Table and chairs (built in world coordinates)
# ---------------------------------------------------------------------------

def board_xz(outline, y0, y1, material):
    """An outline drawn in (x, z), given thickness from y0 to y1."""
    m = mk.extrude(outline, y1 - y0, material, smooth_angle=35)
    return m.transformed(mk.translation(0, y0, 0) @ XZ_TO_XY)


def table_meshes():
    """Centred on the origin, floor at z = 0: a cream top with rounded
    corners on a cream apron, four round tapered legs in four colours."""
    half, thick = TABLE_HALF, 3.0
    top_z = TABLE_TOP_Z - FLOOR_Z
    m = [slab(mk.rounded_rect(-half, -half, half, half, 5.0, 5), top_z - thick, top_z, CREAM)]
    # A narrow bead round the edge, a shade proud, so the top reads as a
    # thick board with an eased edge.
    m.append(slab(mk.rounded_rect(-half - 0.3, -half - 0.3, half + 0.3, half + 0.3, 5.3, 5),
                  top_z - thick + 0.6, top_z - 0.6, CREAM))
    ap, ah, at = half - 5.0, 4.5, 1.6
    for rot in range(4):
        board = mk.box(2 * ap - 2.0, at, ah, CREAM).translated(0, -ap + at / 2, top_z - thick - ah / 2)
        m.append(board.rotated(0, 0, 1, 90 * rot))
    legs = (RED, BLUE, YELLOW, GREEN)
    for k, (sx, sy) in enumerate(((1, 1), (-1, 1), (-1, -1), (1, -1))):
        x, y = sx * (ap - 0.5), sy * (ap - 0.5)
        m.append(rod_between((x, y, 0.0), (x, y, top_z - thick), 1.7, 2.3, legs[k], 24))
        # A small turned collar under the apron.
        m.append(rod_between((x, y, top_z - thick - ah - 1.2), (x, y, top_z - thick - ah),
                             2.55, 2.55, legs[k], 24))
    return m


def chair_meshes(colour):
    """A child's chair, seat centred on the origin, its front towards +y,
    floor at z = 0: round legs, a thick seat, back posts with ball tops,
    an arched back board and a rail, stretchers low between the legs."""
    seat_z = SEAT_Z - FLOOR_Z
    back_z = BACK_Z - FLOOR_Z
    hx, hy = 12.0, 11.0
    lx, ly = 9.6, 8.6
    m = [slab(mk.rounded_rect(-hx, -hy, hx, hy, 3.0, 4), seat_z - 2.4, seat_z, colour)]
    for x in (-lx, lx):
        m.append(rod_between((x, ly, 0.0), (x, ly, seat_z - 2.4), 1.05, 1.3, colour))
        post_top = back_z - 1.5
        m.append(rod_between((x, -ly, 0.0), (x, -ly, post_top), 1.05, 1.25, colour))
        m.append(mk.sphere(1.5, 16, 8, colour).translated(x, -ly, post_top + 0.1))
    # Back board: an arched top, between the posts.
    arch = [(x, 38.0 - FLOOR_Z + 2.2 * math.cos(math.pi * x / (2 * lx)))
            for x in np.linspace(lx, -lx, 13)]
    outline = [(-lx, 30.5 - FLOOR_Z), (lx, 30.5 - FLOOR_Z)] + arch[1:-1]
    m.append(board_xz(outline, -ly - 0.9, -ly + 0.9, colour))
    rail_z = 26.0 - FLOOR_Z
    m += dowel((-lx, -ly, rail_z), (lx, -ly, rail_z), 0.7, colour)
    # Stretchers: side ones low, a front one a little higher.
    for x in (-lx, lx):
        m += dowel((x, -ly, 6.0), (x, ly, 6.0), 0.6, colour)
    m += dowel((-lx, ly, 8.0), (lx, ly, 8.0), 0.6, colour)
    return m


# Each chair: colour, side of the table (degrees), distance of its seat
# centre from the table's centre, and a small turn: pushed in and pulled out
# by different amounts, as children leave them. The table stands against
# the wall behind it with a chair at each end; its front is left free
# towards the horse.
CHAIRS = ((BLUE, 0.0, 24.0, -6.0), (YELLOW, 180.0, 20.5, 5.0))


def stoler_world_nodes():
    """The furniture in world coordinates."""
    cx, cy = TABLE_CENTRE
    to_world = mk.translation(cx, cy, FLOOR_Z)
    nodes = [mk.Node("Table", meshes=[mm.transformed(to_world) for mm in table_meshes()])]
    for k, (colour, side, dist, turn) in enumerate(CHAIRS):
        a = math.radians(side)
        # The chair's front (+y) turned to face the table's centre.
        place = (to_world @ mk.translation(dist * math.cos(a), dist * math.sin(a), 0)
                 @ mk.rotation(0, 0, 1, side + 90 + turn))
        nodes.append(mk.Node(f"Chair_{k + 1}",
                             meshes=[mm.transformed(place) for mm in chair_meshes(colour)]))
    return nodes


# ---------------------------------------------------------------------------
# The room round it all (built in world coordinates, stored with the
# furniture)
# ---------------------------------------------------------------------------
# The walls' inner faces hug the furniture and the rocking horse with a
# hand's breadth to spare: the cameras look from near the +x end towards
# the back wall (-x) and the wall behind the table (+y). The scene's nearer
# cameras (0, 1 and 3) see no farther than 100, and what lies beyond that
# is clipped to black, so the room is as small as the toys allow: the
# corner behind the table, the farthest point any of them sees, lies some
# 95 deep from cameras 0 and 3. A unit is about 1.4 cm: the room's back
# half is some 1.75 by 1.8 m and 2.4 m high, a small nursery. The table
# stands against the wall behind it, a built-in cupboard with open toy
# shelves against the back wall behind the horse, and the window is in the
# wall on the horse's other side, the sky close outside it.

ROOM_X = (-62.0, 62.0)      # back wall, front wall (behind the cameras)
ROOM_Y = (-74.0, 53.0)      # the wall behind the horse, the one behind the table
ROOM_H = 170.0              # floor to ceiling
WALL_T = 6.0
DADO_Z = 28.0               # top of the lower band of paint, under the rail
SKIRTING_H, SKIRTING_T = 6.0, 1.2
WINDOW_U = (18.0, 46.0)     # along the wall behind the horse (u = -x)
WINDOW_V = (36.0, 106.0)    # sill and head above the floor
SKY_BEHIND = 6.0            # how far outside the wall the sky hangs
CUPBOARD_X = -44.0          # the cupboard's front, on the back wall
CUPBOARD_Y = (-52.0, 4.0)   # its ends along the back wall
NICHE_DEPTH = 10.0
NICHES = ((40.0, 62.0), (64.0, 86.0))   # the open shelves' floors and tops

UPPER_PAINT = mk.Material("WallApricot", diffuse=(0.78, 0.58, 0.40),
                          specular=(0.05, 0.05, 0.05), shininess=8)
LOWER_PAINT = mk.Material("WallRose", diffuse=(0.72, 0.47, 0.38),
                          specular=(0.05, 0.05, 0.05), shininess=8)
CEILING_PAINT = mk.Material("CeilingCream", diffuse=(0.86, 0.84, 0.78),
                            specular=(0.03, 0.03, 0.03), shininess=5)
TRIM = lacquer("TrimCream", (0.90, 0.87, 0.79), shininess=30, specular=0.2)
SKY = mk.Material("SkyBlue", diffuse=(0.10, 0.14, 0.20), emission=(0.42, 0.62, 0.86),
                  specular=(0.0, 0.0, 0.0), shininess=1)
SKY_LOW = mk.Material("SkyHaze", diffuse=(0.12, 0.15, 0.20), emission=(0.60, 0.74, 0.90),
                      specular=(0.0, 0.0, 0.0), shininess=1)
CLOUD = mk.Material("Cloud", diffuse=(0.15, 0.15, 0.16), emission=(0.80, 0.81, 0.84),
                    specular=(0.0, 0.0, 0.0), shininess=1)
CURTAIN = mk.Material("CurtainCotton", diffuse=(0.30, 0.48, 0.72), specular=(0.05, 0.05, 0.05),
                      shininess=6)
PAPER = mk.Material("DrawingPaper", diffuse=(0.90, 0.88, 0.80), specular=(0.05, 0.05, 0.05),
                    shininess=6)
FELT = mk.Material("TeddyFelt", diffuse=(0.62, 0.40, 0.20), specular=(0.08, 0.08, 0.08),
                   shininess=8)
BROWN = lacquer("TeddyMuzzle", (0.85, 0.68, 0.46), shininess=10, specular=0.08)
CUPBOARD = mk.Material("CupboardBlue", diffuse=(0.42, 0.54, 0.66), specular=(0.15, 0.15, 0.15),
                       shininess=20)
NICHE = mk.Material("NicheYellow", diffuse=(0.84, 0.70, 0.36), specular=(0.05, 0.05, 0.05),
                    shininess=8)


def wall_frame(side):
    """Local -> world for one wall: u along the wall from left to right as
    seen from inside the room, v up from the floor, w out of the wall into
    the room, the origin on the inner face at the floor. Each is a turn
    (no mirror), so windings stay right."""
    x0, x1 = ROOM_X
    y0, y1 = ROOM_Y
    cols = {"back": ((0, 1, 0), (1, 0, 0), (x0, 0.0)),
            "left": ((-1, 0, 0), (0, 1, 0), (0.0, y0)),
            "right": ((1, 0, 0), (0, -1, 0), (0.0, y1)),
            "front": ((0, -1, 0), (-1, 0, 0), (x1, 0.0))}[side]
    m = np.identity(4)
    m[:3, 0], m[:3, 1], m[:3, 2] = cols[0], (0, 0, 1), cols[1]
    m[:2, 3] = cols[2]
    m[2, 3] = FLOOR_Z
    return m


def wall_span(side):
    """u of the wall's inner face, corner to corner."""
    x0, x1 = ROOM_X
    y0, y1 = ROOM_Y
    return {"back": (y0, y1), "front": (-y1, -y0), "left": (-x1, -x0), "right": (x0, x1)}[side]


def block(lo, hi, material):
    """An axis box from corner lo to corner hi."""
    lo, hi = np.asarray(lo, dtype=np.float64), np.asarray(hi, dtype=np.float64)
    return mk.box(*(hi - lo), material).translated(*((lo + hi) / 2))


def on_wall(side, meshes):
    f = wall_frame(side)
    return [m.transformed(f) for m in meshes]


def wall_meshes():
    """The four walls, two-tone, and the ceiling. The wall behind the horse
    leaves the window's opening; the side walls run between the back and
    front walls' inner faces, which reach past the corners."""
    out = []
    for side in ("back", "left", "right", "front"):
        u0, u1 = wall_span(side)
        if side in ("back", "front"):
            u0, u1 = u0 - WALL_T, u1 + WALL_T
        pieces = [(u0, u1, 0.0, DADO_Z, LOWER_PAINT)]
        if side == "left":
            (a, b), (s, h) = WINDOW_U, WINDOW_V
            pieces += [(u0, u1, DADO_Z, s, UPPER_PAINT), (u0, u1, h, ROOM_H, UPPER_PAINT),
                       (u0, a, s, h, UPPER_PAINT), (b, u1, s, h, UPPER_PAINT)]
        else:
            pieces.append((u0, u1, DADO_Z, ROOM_H, UPPER_PAINT))
        out += on_wall(side, [block((ua, va, -WALL_T), (ub, vb, 0.0), mat)
                              for ua, ub, va, vb, mat in pieces])
    (x0, x1), (y0, y1) = ROOM_X, ROOM_Y
    out.append(block((x0 - WALL_T, y0 - WALL_T, FLOOR_Z + ROOM_H),
                     (x1 + WALL_T, y1 + WALL_T, FLOOR_Z + ROOM_H + WALL_T), CEILING_PAINT))
    return out


def trim_meshes():
    """Skirting boards with a rounded top edge and a rail along the top of
    the lower band, all round the room; mitred corners are left to the
    overlap of the boards."""
    out = []
    for side in ("back", "left", "right", "front"):
        u0, u1 = wall_span(side)
        board = [block((u0, 0.0, 0.0), (u1, SKIRTING_H - 0.4, SKIRTING_T), TRIM),
                 rod_between((u0, SKIRTING_H - 0.4, SKIRTING_T / 2), (u1, SKIRTING_H - 0.4, SKIRTING_T / 2),
                             SKIRTING_T / 2, SKIRTING_T / 2, TRIM, 10),
                 block((u0, DADO_Z - 1.0, 0.0), (u1, DADO_Z + 0.6, 0.8), TRIM),
                 rod_between((u0, DADO_Z + 0.6, 0.4), (u1, DADO_Z + 0.6, 0.4), 0.55, 0.55, TRIM, 10)]
        out += on_wall(side, board)
    return out


def curtain(u0, u1, v0, v1, folds, material):
    """A gathered curtain: a wavy band in plan, hanging from v1 to v0."""
    n = folds * 8 + 1
    u = np.linspace(u0, u1, n)
    w = 1.6 + 1.3 * np.sin(np.linspace(0, folds * 2 * math.pi, n))
    outline = [(x, y) for x, y in zip(u, w)] + [(x, y - 0.7) for x, y in zip(u[::-1], w[::-1])]
    m = mk.extrude(outline, v1 - v0, material, smooth_angle=70)
    # extrude rises along z: (u, w, v) -> (u, v, w) is a mirror, which
    # Mesh.transformed turns back into a right winding.
    swap = np.array([[1.0, 0, 0, 0], [0, 0, 1, v0], [0, 1, 0, 0], [0, 0, 0, 1]])
    return m.transformed(swap)


def window_meshes():
    """A painted casement frame with a cross bar and a deep sill in the
    opening behind the horse, blue curtains on a rod, and the sky outside:
    a glowing backdrop in two bands with a few clouds (emissive, so it
    reads as daylight whatever the room's lamp does)."""
    (a, b), (s, h) = WINDOW_U, WINDOW_V
    fw, fd = 3.2, 2.4           # frame width and how far it stands into the reveal
    out = []
    frame = [block((a, s, -fd), (a + fw, h, 0.6), TRIM), block((b - fw, s, -fd), (b, h, 0.6), TRIM),
             block((a, h - fw, -fd), (b, h, 0.6), TRIM), block((a, s, -fd), (b, s + fw, 0.6), TRIM)]
    # The casement's cross: a mullion and a transom, set in a little.
    mid_u, bar_v = (a + b) / 2, s + 0.45 * (h - s)
    frame += [block((mid_u - 1.1, s + fw, -fd + 0.6), (mid_u + 1.1, h - fw, -0.6), TRIM),
              block((a + fw, bar_v - 1.1, -fd + 0.6), (b - fw, bar_v + 1.1, -0.6), TRIM)]
    # The sill: a board reaching past the opening and out into the room.
    frame.append(block((a - 4.0, s - 1.8, -fd), (b + 4.0, s, 5.5), TRIM))
    frame.append(block((a - 2.5, s - 5.0, 0.0), (b + 2.5, s - 1.8, 1.2), TRIM))
    out += on_wall("left", frame)
    # Curtains drawn to each side, on a rod with ball ends above the opening.
    rod_v = h + 8.0
    out += on_wall("left", [curtain(a - 11.0, a + 2.0, s - 10.0, rod_v, 2, CURTAIN),
                            curtain(b - 2.0, b + 9.0, s - 10.0, rod_v, 2, CURTAIN)])
    out += on_wall("left", dowel((a - 13.0, rod_v + 1.0, 4.2), (b + 11.0, rod_v + 1.0, 4.2), 0.7,
                                 BEECH, knob=1.4))
    for u in (a - 9.0, b + 8.0):
        out += on_wall("left", [block((u - 0.6, rod_v - 0.4, 0.0), (u + 0.6, rod_v + 1.8, 4.6), BEECH)])
    # The sky, close outside (farther, the near cameras' far plane would
    # clip it): two bands, hazier low down, and clouds where the low
    # cameras look up through the opening.
    back = -WALL_T - SKY_BEHIND
    out += on_wall("left", [block((a - 20.0, s - 20.0, back - 2.0), (b + 20.0, s + 22.0, back), SKY_LOW),
                            block((a - 20.0, s + 22.0, back - 2.0), (b + 20.0, h + 20.0, back), SKY)])
    for cu, cv, r in ((30.0, 66.0, 6.0), (37.0, 69.0, 4.5), (25.0, 64.0, 4.0),
                      (44.0, 84.0, 5.0), (49.0, 86.0, 3.5)):
        out += on_wall("left", [ellipsoid((cu, cv, back + 0.5), np.identity(3),
                                          (r * 1.6, r * 0.7, 0.6), CLOUD, 16, 6)])
    return out


def cupboard_meshes():
    """A built-in cupboard against the back wall behind the horse, painted blue:
    closed doors below and at the top, two open shelves between with a
    yellow back, and toys on them: building blocks, a ball, a drum, books
    and a teddy. Built in the back wall's frame (u = y, w = x - ROOM_X[0])."""
    u0, u1 = CUPBOARD_Y
    front = CUPBOARD_X - ROOM_X[0]
    back = front - NICHE_DEPTH
    bottom, top = NICHES[0][0] - 2.0, NICHES[-1][1] + 2.0
    body = [block((u0, 0.0, 0.0), (u1, 4.0, front - 2.0), CUPBOARD),             # plinth
            block((u0, 4.0, 0.0), (u1, bottom, front), CUPBOARD),
            block((u0, top, 0.0), (u1, ROOM_H, front), CUPBOARD),
            block((u0, bottom, 0.0), (u1, top, back), NICHE),
            block((u0, bottom, back), (u0 + 2.0, top, front), CUPBOARD),
            block((u1 - 2.0, bottom, back), (u1, top, front), CUPBOARD)]
    for (lo, hi) in NICHES:
        body.append(block((u0, lo - 2.0, back), (u1, lo, front), CUPBOARD))
    body.append(block((u0, NICHES[-1][1], back), (u1, top, front), CUPBOARD))
    # Doors a shade proud of the carcass, with round knobs.
    mid = (u0 + u1) / 2
    for v0, v1 in ((5.0, bottom - 1.0), (top + 1.0, ROOM_H - 2.0)):
        for a, b in ((u0 + 1.0, mid - 0.3), (mid + 0.3, u1 - 1.0)):
            body.append(block((a, v0, front), (b, v1, front + 0.6), CUPBOARD))
        knob_v = v1 - 6.0 if v0 < bottom else v0 + 6.0
        body += [mk.sphere(1.0, 12, 6, BEECH).translated(mid + side * 2.5, knob_v, front + 1.3)
                 for side in (-1, 1)]
    toys = []
    # Lower shelf: blocks (one stacked and turned), a ball and a drum.
    v = NICHES[0][0]
    w = back + 5.0
    for (cu, dv, size, turn, mat) in ((7.0, 0.0, 5.0, 0.0, RED), (13.0, 0.0, 5.0, 12.0, BLUE),
                                      (10.0, 5.0, 4.6, 30.0, YELLOW)):
        cube = mk.box(size, size, size, mat).rotated(0, 1, 0, turn)
        toys.append(cube.translated(u0 + cu, v + dv + size / 2, w))
    ball = mk.sphere(3.4, 20, 10, GREEN).translated(u0 + 25.0, v + 3.4, w)
    band = np.abs(ball.positions[ball.faces].mean(axis=1)[:, 1] - (v + 3.4)) < 1.0
    toys += split_faces(ball, band, WHITE)
    drum = revolve([(0.0, 0.0), (3.6, 0.0), (3.6, 5.2), (0.0, 5.2)], 24, RED)
    rims = [revolve(superellipse(3.75, z, 0.25, 0.45, 2.0, 12), 24, YELLOW) for z in (0.45, 4.75)]
    upright = np.array([[1.0, 0, 0, 0], [0, 0, 1, 0], [0, -1, 0, 0], [0, 0, 0, 1]])  # z -> v
    for m in [drum] + rims:
        toys.append(m.transformed(mk.translation(u0 + 45.0, v, w) @ upright))
    # Upper shelf: books standing together and a teddy sitting up.
    v = NICHES[1][0]
    u = u0 + 4.0
    for wd, ht, mat in ((1.8, 9.0, BLUE), (2.2, 10.0, RED), (1.6, 8.2, YELLOW), (2.0, 9.4, GREEN)):
        toys.append(block((u, v, back + 1.0), (u + wd, v + ht, back + 7.8), mat))
        u += wd + 0.15
    toys += teddy((u0 + 37.0, v, back + 2.2))
    return on_wall("back", body + toys)


def teddy(seat):
    """A sitting teddy bear of felt balls, facing into the room (w), its
    seat at (u, v, w) on the shelf."""
    su, sv, sw = seat
    c = np.array([su, sv, sw])
    I = np.identity(3)
    out = [ellipsoid(c + (0, 4.6, 0), I, (3.6, 4.8, 3.1), FELT, 18, 9),        # body
           ellipsoid(c + (0, 3.6, 2.4), I, (2.4, 2.8, 1.0), BROWN, 14, 7),     # tummy
           mk.sphere(3.0, 18, 9, FELT).translated(*(c + (0, 11.4, 0.3))),      # head
           ellipsoid(c + (0, 10.6, 2.9), I, (1.5, 1.1, 1.0), BROWN, 12, 6),    # muzzle
           mk.sphere(0.45, 8, 4, BLACK).translated(*(c + (0, 11.2, 3.85)))]    # nose
    for side in (-1, 1):
        out.append(mk.sphere(1.2, 12, 6, FELT).translated(*(c + (side * 2.3, 13.9, -0.3))))
        out.append(mk.sphere(0.6, 10, 5, BROWN).translated(*(c + (side * 2.3, 13.9, 0.6))))
        out.append(mk.sphere(0.4, 8, 4, BLACK).translated(*(c + (side * 1.1, 12.3, 2.55))))
        # Arms hanging forward, legs stretched out over the shelf's edge.
        out.append(ellipsoid(c + (side * 3.6, 5.6, 1.2), frame_z((side * 0.35, -0.8, 0.5)),
                             (1.2, 1.2, 3.0), FELT, 12, 6))
        out.append(ellipsoid(c + (side * 2.0, 1.4, 3.4), frame_z((0, 0.05, 1.0)),
                             (1.4, 1.4, 3.0), FELT, 12, 6))
        out.append(ellipsoid(c + (side * 2.0, 1.8, 6.2), frame_z((0, 0.3, 1.0)),
                             (1.3, 1.5, 0.5), BROWN, 10, 5))
    return out


def picture(u0, v0, w, h, frame_mat, scene):
    """A framed child's drawing on a wall: a moulded frame, the paper, and
    the drawing's flat shapes laid on it. scene lists (outline in the
    paper's 0..1 square, material)."""
    t, d = 2.0, 1.6
    out = [block((u0, v0, 0.0), (u0 + w, v0 + t, d), frame_mat),
           block((u0, v0 + h - t, 0.0), (u0 + w, v0 + h, d), frame_mat),
           block((u0, v0 + t, 0.0), (u0 + t, v0 + h - t, d), frame_mat),
           block((u0 + w - t, v0 + t, 0.0), (u0 + w, v0 + h - t, d), frame_mat),
           block((u0 + t, v0 + t, 0.0), (u0 + w - t, v0 + h - t, 0.5), PAPER)]
    pw, ph = w - 2 * t - 2.0, h - 2 * t - 2.0
    for k, (outline, mat) in enumerate(scene):
        pts = [(u0 + t + 1.0 + x * pw, v0 + t + 1.0 + y * ph) for x, y in outline]
        out.append(mk.extrude(pts, 0.08, mat, smooth_angle=30).translated(0, 0, 0.5 + 0.06 * k))
    return out


def house_drawing():
    sun = mk.arc(0.8, 0.8, 0.12, 0, 360, 20)[:-1]
    return [([(0, 0), (1, 0), (1, 0.2), (0, 0.2)], GREEN),
            ([(0.18, 0.2), (0.6, 0.2), (0.6, 0.52), (0.18, 0.52)], RED),
            ([(0.12, 0.52), (0.66, 0.52), (0.39, 0.78)], BLUE),
            ([(0.33, 0.2), (0.45, 0.2), (0.45, 0.4), (0.33, 0.4)], YELLOW),
            ([(x * 0.9 / 0.8 * 0.8, y) for x, y in sun], YELLOW)]


def boat_drawing():
    sun = mk.arc(0.2, 0.8, 0.1, 0, 360, 20)[:-1]
    return [([(0, 0), (1, 0), (1, 0.3), (0, 0.3)], BLUE),
            ([(0.25, 0.3), (0.8, 0.3), (0.88, 0.42), (0.17, 0.42)], RED),
            ([(0.5, 0.44), (0.5, 0.9), (0.8, 0.46)], WHITE),
            ([(0.46, 0.44), (0.46, 0.82), (0.25, 0.46)], YELLOW),
            (sun, ORANGE)]


def picture_meshes():
    """Two framed drawings, a house and a boat, on the wall behind the
    table, above the chairs' backs."""
    return on_wall("right", picture(-52.0, 50.0, 22.0, 18.0, BLUE, house_drawing())
                   + picture(-24.0, 54.0, 16.0, 20.0, RED, boat_drawing()))


def room_nodes():
    """The room's nodes, in world coordinates."""
    return [mk.Node("Walls", meshes=wall_meshes()), mk.Node("Skirting", meshes=trim_meshes()),
            mk.Node("Window", meshes=window_meshes()), mk.Node("Cupboard", meshes=cupboard_meshes()),
            mk.Node("Pictures", meshes=picture_meshes())]


def build_stoler(world=False):
    """The file's scene: meshes stored through the inverse of the scene's
    placement. world=True keeps them in world coordinates (for looking)."""
    nodes = stoler_world_nodes() + room_nodes()
    if not world:
        back = np.linalg.inv(table_placement())
        for n in nodes:
            n.meshes = [mm.transformed(back) for mm in n.meshes]
    return mk.Scene(nodes, up_axis="Z_UP" if world else "Y_UP")


# ---------------------------------------------------------------------------
# Rocking horse (built about the rockers' contact point, then moved)
# ---------------------------------------------------------------------------
# Local frame: x across, y along (head at +y), z up, the rockers touching the
# floor z = 0 at y = 0.

BODY_C = np.array([0.0, 0.0, 25.0])
BODY_R = np.array([5.6, 16.0, 6.4])
BODY_N = 2.4            # superellipsoid exponent: a full, slightly square barrel
ROCKER_X = 7.4
ROCKER_DEPTH = 2.8
ROCKER_THICK = 2.4
ROCKER_HALF = 32.0


def body_point(u, v, offset=0.0):
    """Point of the barrel at latitude u (along y, -pi/2 at the rump) and
    angle v about y (pi/2 on top), moved offset along the normal."""
    e = 2 / BODY_N
    a, b, c = BODY_R
    x = a * spow(np.cos(u), e) * spow(np.cos(v), e)
    y = b * spow(np.sin(u), e) * np.ones_like(v)
    z = c * spow(np.cos(u), e) * spow(np.sin(v), e)
    p = np.stack([x, y, z], -1)
    g = np.sign(p) * np.abs(p / BODY_R) ** (BODY_N - 1) / BODY_R
    g /= np.maximum(np.linalg.norm(g, axis=-1, keepdims=True), 1e-12)
    return BODY_C + p + np.asarray(offset)[..., None] * g


def body_patch(u0, du, v0, dv, lift, material, edge=-0.3, nu=18, nv=14, corner=0.6):
    """A piece laid on the barrel: a rounded patch of (u, v) lifted off the
    surface by lift (an array over the patch or a number), its rim turned
    down into the body so it reads as a solid layer."""
    # The rim ring lies a little outside the patch, so the turned-down edge
    # slopes outwards and never folds under itself.
    rim = 1.0 + 0.06
    s = np.concatenate([[-rim], np.linspace(-1, 1, nu), [rim]])[None, :]
    t = np.concatenate([[-rim], np.linspace(-1, 1, nv), [rim]])[:, None]
    # Square to rounded square: pull the corners in.
    ss = s * np.sqrt(1 - corner * t * t / 2)
    tt = t * np.sqrt(1 - corner * s * s / 2)
    lift = np.broadcast_to(lift(ss, tt) if callable(lift) else lift, ss.shape).copy()
    lift[[0, -1], :] = lift[:, [0, -1]] = edge
    U, V = u0 + du * ss, v0 + dv * tt
    P = body_point(U, V, lift)
    return grid_surface(P, material, body_point(U, V, -2.0))


def rocker_outline():
    """(y, z) outline of one bow rocker: an arc of ROCKER_RADIUS touching
    z = 0 at y = 0, ROCKER_DEPTH deep, with rounded ends."""
    R, r_in = ROCKER_RADIUS, ROCKER_RADIUS - ROCKER_DEPTH
    a = math.degrees(math.asin(ROCKER_HALF / R))
    bottom = mk.arc(0.0, R, R, -90 - a, -90 + a, 48)
    top = mk.arc(0.0, R, r_in, -90 + a, -90 - a, 48)
    ends = []
    for (y0, z0), (y1, z1) in ((bottom[-1], top[0]), (top[-1], bottom[0])):
        cy, cz = (y0 + y1) / 2, (z0 + z1) / 2
        start = math.degrees(math.atan2(z0 - cz, y0 - cy))
        ends.append(mk.arc(cy, cz, ROCKER_DEPTH / 2, start, start + 180, 8)[1:-1])
    return bottom + ends[0] + top + ends[1]


def rocker_top(y):
    R = ROCKER_RADIUS
    return R - math.sqrt((R - ROCKER_DEPTH) ** 2 - y * y)


def rockers():
    """Two red bow rockers joined by yellow dowels."""
    out = []
    outline = rocker_outline()
    for x in (-ROCKER_X, ROCKER_X):
        m = mk.extrude(outline, ROCKER_THICK, RED, smooth_angle=30)
        out.append(m.transformed(mk.translation(x - ROCKER_THICK / 2, 0, 0) @ YZ_TO_XY))
    # Cross-bars through both rockers near the ends, and a foot bar.
    for y in (-27.0, 27.0, -8.0):
        z = rocker_top(y) - ROCKER_DEPTH / 2
        out += dowel((-ROCKER_X - 2.0, y, z), (ROCKER_X + 2.0, y, z), 0.75, YELLOW)
    return out


def legs():
    """Splayed legs, front ones reaching forward and hind ones back as in
    a gallop, each ending in a black hoof on a rocker."""
    out = []
    for fy, by in ((1, 1), (-1, -1)):
        for side in (-1, 1):
            top = np.array([side * 3.3, fy * 10.5, BODY_C[2] - 1.0])  # well inside the body
            foot_y = by * 19.5
            foot = np.array([side * ROCKER_X, foot_y, rocker_top(foot_y) - 0.3])
            d = (top - foot) / np.linalg.norm(top - foot)
            hoof = foot + d * 2.4
            out.append(rod_between(foot, hoof, 1.5, 1.35, BLACK, 20))
            out.append(rod_between(hoof, top, 1.35, 1.85, WHITE, 20))
    return out


HEAD_C = np.array([0.0, 21.0, 38.8])
HEAD_PITCH = 50.0       # the head's long axis, degrees below level
HEAD_LEN = 7.4          # half length


def head_axes():
    p = math.radians(HEAD_PITCH)
    along = np.array([0.0, math.cos(p), -math.sin(p)])
    up = np.array([0.0, math.sin(p), math.cos(p)])
    return along, up


def head_point(s, a, lift=0.0):
    """Point of the head at s along it (-1 the poll, 1 the muzzle) and
    angle a about its axis (pi/2 up the face, towards the forelock)."""
    along, up = head_axes()
    e = 2 / 2.3
    c = spow(np.cos(np.arcsin(np.clip(s, -1, 1))), e)
    w = 3.4 - 0.6 * (s + 1) / 2       # half width, narrowing to the muzzle
    h = 4.3 - 1.1 * (s + 1) / 2       # half height
    x = (w + lift) * c * spow(np.cos(a), e)
    z = (h + lift) * c * spow(np.sin(a), e)
    y = HEAD_LEN * s * np.ones_like(x)
    return (HEAD_C + np.asarray(y)[..., None] * along + np.asarray(x)[..., None] * [1.0, 0, 0]
            + np.asarray(z)[..., None] * up)


def head():
    """The head with its ears, eyes, nostrils, noseband and handle."""
    along, up = head_axes()
    k = np.linspace(-math.pi / 2, math.pi / 2, 28)
    s = np.sin(k)[:, None]
    a = np.linspace(0, 2 * math.pi, 33)[None, :]
    a[0, -1] = 0.0
    out = [grid_surface(head_point(s, a), WHITE)]
    # Ears: pointed, pricked up and a little back, on top of the poll.
    for side in (-1, 1):
        base = head_point(np.array(-0.62), np.array(math.pi / 2 - side * 0.55))
        d = up * 0.9 - along * 0.35 + np.array([side * 0.25, 0, 0])
        ear = mk.cone(0.95, 3.0, 16, WHITE).transformed(np.diag([1.0, 0.55, 1.0, 1.0]))
        out.append(placed(ear, frame_z(d), base - 0.4 * d / np.linalg.norm(d)))
    # Eyes, nostrils, a red noseband and the handle through the head.
    for side in (-1, 1):
        eye = head_point(np.array(-0.15), np.array(math.pi / 2 - side * 1.05))
        out.append(mk.sphere(0.82, 16, 8, BLACK).translated(*eye))
        out.append(mk.sphere(0.2, 8, 4, WHITE).translated(*(eye + 0.62 * up + 0.3 * along
                                                             + [side * 0.42, 0, 0])))
        nostril = head_point(np.array(0.93), np.array(math.pi / 2 - side * 0.62))
        out.append(ellipsoid(nostril, frame_z(along), (0.62, 0.42, 0.25), BLACK, 12, 6))
    ring = head_point(np.array(0.45), np.linspace(0, 2 * math.pi, 33), 0.18)
    out.append(tube(ring, 0.3, 0.3, along, RED, 8))
    knob = head_point(np.array(-0.45), np.array(-0.4))
    out += dowel((-5.2, knob[1], knob[2]), (5.2, knob[1], knob[2]), 0.45, YELLOW, knob=0.8)
    return out


NECK_RX = (4.4, 3.2)    # half width at the withers and at the head
NECK_RY = (6.2, 4.4)    # half depth


def neck():
    """A thick, arched neck from the chest up into the head."""
    pts = bezier((0, 9.0, 26.5), (0, 12.5, 31.0), (0, 14.5, 35.0), (0, 17.0, 40.0), 24)
    k = np.linspace(0, 1, len(pts))
    return [tube(pts, NECK_RX[0] + (NECK_RX[1] - NECK_RX[0]) * k,
                 NECK_RY[0] + (NECK_RY[1] - NECK_RY[0]) * k, (1, 0, 0), WHITE, 24)], pts


def mane(neck_pts):
    """Dark tufts along the crest from the poll to the withers, flat from
    side to side and leaning back, and a forelock between the ears."""
    out = []
    tang = np.gradient(neck_pts, axis=0)
    tang /= np.linalg.norm(tang, axis=1, keepdims=True)
    side = np.array([1.0, 0, 0])
    k = np.linspace(0, 1, len(neck_pts))
    for j, f in enumerate(np.linspace(0.02, 1.0, 12)):
        i = int(round(f * (len(neck_pts) - 1)))
        t = tang[i]
        n = np.cross(t, side)
        if n[2] < 0:
            n = -n
        half_h = NECK_RY[0] + (NECK_RY[1] - NECK_RY[0]) * k[i]
        c = neck_pts[i] + n * (half_h - 0.1) + side * 0.3 * (1 if j % 2 else -1)
        # Each lock is turned back along the crest, as if blown by the ride.
        back = -t * 0.8 + n * 0.6
        back /= np.linalg.norm(back)
        rot = np.stack([side, np.cross(back, side), back], 1)
        out.append(ellipsoid(c, rot, (0.95, 1.5, 2.3), DARK, 12, 6))
    along, up = head_axes()
    fore = head_point(np.array(-0.72), np.array(math.pi / 2), 0.35)
    d = up + along * 0.6
    d /= np.linalg.norm(d)
    rot = np.stack([side, np.cross(d, side), d], 1)
    out.append(ellipsoid(fore, rot, (1.2, 1.1, 1.9), DARK, 14, 7))
    return out


def tail():
    """A full tail from the croup, lifted and falling in a curve."""
    pts = bezier((0, -13.0, 28.0), (0, -19.5, 32.0), (0, -23.5, 27.0), (0, -23.0, 17.5), 26)
    k = np.linspace(0, 1, len(pts))
    r = 1.3 + 0.9 * np.sin(math.pi * np.clip(k * 1.3, 0, 1)) ** 1.5
    r = r * (1 - k ** 3)
    r[-1] = 0.0
    return [tube(pts, r * 0.8, r, (1, 0, 0), DARK, 18)]


def saddle():
    """A red saddle with a raised pommel and cantle over a blue cloth with
    a yellow border, and yellow footrests."""
    u0 = -0.08      # a little behind the middle of the back
    out = [body_patch(u0, 0.42, math.pi / 2, 1.25, 0.12, YELLOW, nu=16, nv=14),
           body_patch(u0, 0.38, math.pi / 2, 1.15, 0.22, BLUE, nu=16, nv=14),
           body_patch(u0, 0.24, math.pi / 2, 0.72,
                      lambda s, t: 0.55 + 0.9 * np.abs(s) ** 3, RED, nu=18, nv=12)]
    for side in (-1, 1):
        p = body_point(np.array(u0 + 0.12), np.array(math.pi / 2 - side * 2.0), 0.0)
        out += dowel(p - [side * 1.0, 0, 0], p + [side * 3.4, 0, 0], 0.55, YELLOW, knob=0.8)
    return out


def dapples():
    """Soft grey dapples on the flanks and the rump, laid in the paint."""
    rng = np.random.default_rng(5102)
    out = []
    for _ in range(44):
        u = rng.uniform(-1.25, 1.0)
        v = rng.uniform(-0.9, 0.6)
        if rng.random() < 0.5:
            v = math.pi - v         # the near side, mirrored
        # Keep them off the saddle cloth and the belly.
        if math.sin(v) > 0.4 and abs(u + 0.08) < 0.6:
            continue
        size = rng.uniform(0.55, 1.0)
        # The same size on the body both ways: u is stretched by the
        # barrel's length, v by its girth.
        du = size / (BODY_R[1] * 1.1)
        dv = size / (0.5 * (BODY_R[0] + BODY_R[2]))
        out.append(body_patch(u, du, v, dv, 0.03, GREY, edge=-0.02, nu=6, nv=6, corner=1.0))
    return out


def horse_local_meshes():
    u = np.linspace(-math.pi / 2, math.pi / 2, 34)[:, None]
    v = np.linspace(0, 2 * math.pi, 41)[None, :]
    v[0, -1] = 0.0
    body = grid_surface(body_point(u, v), WHITE)
    neck_meshes, neck_pts = neck()
    return ([body] + dapples() + neck_meshes + head() + mane(neck_pts) + tail() + saddle()
            + legs() + rockers())


def build_horse(world=False):
    to_world = mk.translation(HORSE_X, HORSE_Y, FLOOR_Z)
    meshes = [m.transformed(to_world) for m in horse_local_meshes()]
    if world:
        return mk.Scene([mk.Node(ROCKERS, meshes=meshes)])
    stored = horse_world_to_mesh()
    node = mk.Node(ROCKERS, meshes=[m.transformed(stored) for m in meshes],
                   matrix=horse_node_matrix())
    return mk.Scene([node], up_axis="Y_UP")


# ---------------------------------------------------------------------------
# Checks
# ---------------------------------------------------------------------------

def read_nodes(path):
    """The file's nodes: id -> (triangles (k, 3, 3) and normals (k, 3, 3) of
    the node's own geometry in root coordinates, node, chain from the
    root, depth, material ids per triangle)."""
    import collada
    from collada.scene import GeometryNode, Node
    dae = collada.Collada(path)
    out = {}

    def walk(node, parent, depth):
        chain = parent @ node.matrix
        tris, nrms, mats = [], [], []
        for child in node.children:
            if isinstance(child, Node):
                walk(child, chain, depth + 1)
            elif isinstance(child, GeometryNode):
                bound = {m.symbol: m.target.id for m in child.materials}
                for prim in child.geometry.primitives:
                    p = prim.vertex[prim.vertex_index].reshape(-1, 3)
                    n = prim.normal[prim.normal_index].reshape(-1, 3)
                    tris.append((p @ chain[:3, :3].T + chain[:3, 3]).reshape(-1, 3, 3))
                    n = n @ np.linalg.inv(chain[:3, :3])
                    nrms.append((n / np.linalg.norm(n, axis=1, keepdims=True)).reshape(-1, 3, 3))
                    mats += [bound.get(prim.material, prim.material)] * len(tris[-1])
        empty = np.zeros((0, 3, 3))
        out[node.id] = (np.concatenate(tris) if tris else empty,
                        np.concatenate(nrms) if nrms else empty, node, chain, depth, mats)

    for n in dae.scene.nodes:
        walk(n, np.identity(4), 0)
    return dae, out


def apply(m, tris):
    return tris @ m[:3, :3].T + m[:3, 3]


def _hits(tris, x, y):
    """z of every crossing of the vertical line through (x, y)."""
    a, b, c = tris[:, 0], tris[:, 1], tris[:, 2]
    v0, v1 = b - a, c - a
    det = v0[:, 0] * v1[:, 1] - v0[:, 1] * v1[:, 0]
    ok = np.abs(det) > 1e-12
    det = np.where(ok, det, 1)
    px, py = x - a[:, 0], y - a[:, 1]
    s = (px * v1[:, 1] - py * v1[:, 0]) / det
    t = (v0[:, 0] * py - v0[:, 1] * px) / det
    hit = ok & (s >= -1e-9) & (t >= -1e-9) & (s + t <= 1 + 1e-9)
    return (a[:, 2] + s * v0[:, 2] + t * v1[:, 2])[hit]


def contact_gaps(lower, upper, r_min=0.66, r_max=4.6):
    """Gaps between the top of lower and the bottom of upper along vertical
    lines where both are: a part that rests on another has a smallest gap
    of about zero; a negative one cuts into it."""
    gaps = []
    for r in np.arange(r_min, r_max, 0.04):
        for k in range(16):
            a = 2 * math.pi * (k + 0.5 * (round(r / 0.04) % 2)) / 16
            x, y = r * math.cos(a), r * math.sin(a)
            lo, up = _hits(lower, x, y), _hits(upper, x, y)
            if len(lo) and len(up):
                gaps.append(up.min() - lo.max())
    return np.array(gaps)


def radius(tris):
    p = tris.reshape(-1, 3)
    return np.hypot(p[:, 0], p[:, 1])


def common_errors(name, path, dae, nodes, scene, budget=TRIANGLE_BUDGET):
    """What every one of the three files must meet."""
    import check_collada
    errs = [f"{name}: {e}" for e in check_collada.check(path)]
    cams = list(dae.scene.objects("camera"))
    if cams:
        errs.append(f"{name}: {len(cams)} cameras; the scene brings its own")
    lights = list(dae.scene.objects("light"))
    if any(type(li).__name__ != "BoundPointLight" for li in lights):
        errs.append(f"{name}: a light that is not a point light")
    count = sum(len(v[0]) for v in nodes.values())
    if not 0 < count <= budget:
        errs.append(f"{name}: {count} triangles (budget {budget})")
    for m in dae.materials:
        amb = m.effect.ambient
        if isinstance(amb, tuple) and max(amb[:3]) > 0.3:
            errs.append(f"{name}: material {m.id} ambient {amb[:3]}: the scene's ambient lights wash it out")
    # Normals read back agree with the faces' winding, so nothing is lit from
    # behind (a transform with a mirror would have to turn the faces too).
    for nid, (tris, nrms, *_rest) in nodes.items():
        if len(tris):
            geo = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0])
            bad = np.einsum("ij,ij->i", geo, nrms.sum(axis=1)) <= 0
            if bad.any():
                errs.append(f"{name}: {nid}: {int(bad.sum())} faces wound against their normals")
            # ... and both point out of the solid, not into it.
            t = tris - tris.reshape(-1, 3).mean(axis=0)
            if np.einsum("ij,ij->", t[:, 0], np.cross(t[:, 1], t[:, 2])) <= 0:
                errs.append(f"{name}: {nid} is inside out")
    for n in scene.walk():
        for i, m in enumerate(n.meshes):
            errs += [f"{name}: {e}" for e in check_collada.winding_errors(f"{n.name} mesh {i}", m)]
    with open(path, "rb") as f:
        if f.read() != collada_writer.to_dae(scene).encode():
            errs.append(f"{name}: differs from a fresh build")
    return errs, count


def colour_of(dae, material_id):
    for m in dae.materials:
        if m.id == material_id:
            return np.array(m.effect.diffuse[:3])
    return None


def title_errors(path):
    errs = []
    dae, nodes = read_nodes(path)
    errs0, count = common_errors(TITLE_NAME, path, dae, nodes, build_title())
    errs += errs0
    bodies = BODY
    rings = RINGS
    figure = [POLE] + bodies
    missing = [n for n in figure + rings if n not in nodes]
    if missing:
        return errs + [f"no node {', '.join(missing)}"], count, {}
    # The scene hides, shows and drops each of these by name: each must be
    # its own top-level node with its own geometry already in place.
    for n in figure + rings:
        tris, _, node, chain, depth, _ = nodes[n]
        if depth != 0 or not np.allclose(chain, np.identity(4)):
            errs.append(f"{n}: not a top-level node with an identity matrix")
        if not len(tris):
            errs.append(f"{n}: no geometry")
    for nid, v in nodes.items():
        if len(v[0]) and nid not in figure + rings:
            errs.append(f"{nid}: geometry outside the named parts")
    lights = list(dae.scene.objects("light"))
    if not lights or max(li.position[2] for li in lights) < 20:
        errs.append("no point light above the toy")

    tri = {n: nodes[n][0] for n in figure + rings}
    pz = tri[POLE].reshape(-1, 3)
    info = {n: (float(tri[n][..., 2].min()), float(tri[n][..., 2].max()), float(radius(tri[n]).max()))
            for n in figure + rings}
    if abs(pz[:, 2].min() - FLOOR_Z) > 1e-3:
        errs.append(f"Pinne: bottom at z = {pz[:, 2].min():.4f}, not on the floor")
    base_r = radius(tri[POLE]).max()
    if not 4.2 <= base_r <= 4.8:
        errs.append(f"Pinne: base radius {base_r:.2f}, want about 4.5")
    high = pz[pz[:, 2] > 3.0]
    if not (len(high) and 14.5 <= high[:, 2].max() <= 15.5
            and abs(np.hypot(high[:, 0], high[:, 1]).max() - POLE_RADIUS) < 0.03):
        errs.append("Pinne: no pole of radius 0.55 up to z = 15")
    # Bottom up, each part rests on the one below: touching, not cutting in.
    for lower, upper in zip(figure, figure[1:]):
        gaps = contact_gaps(tri[lower], tri[upper])
        if not len(gaps):
            errs.append(f"{upper} does not lie over {lower}")
        elif gaps.min() < -0.05 or gaps.min() > 0.05:
            errs.append(f"{upper} on {lower}: smallest gap {gaps.min():.3f}, want it touching")
    # The bored parts clear the pole; the pole's top is hidden in the hat.
    for n in bodies[:5]:
        r = radius(tri[n])
        if r.min() < POLE_RADIUS + 0.03:
            errs.append(f"{n}: bore {r.min():.3f} does not clear the pole")
    hat_over = _hits(tri[BODY[6]], 0.3, 0.0)
    if not len(hat_over) or hat_over.max() < pz[:, 2].max() + 0.3:
        errs.append("the pole's top is not covered by the hat")
    for n in bodies:
        lo, hi = tri[n].reshape(-1, 3).min(0), tri[n].reshape(-1, 3).max(0)
        if n != BODY[5] and np.abs((lo + hi)[:2] / 2).max() > 0.05:
            errs.append(f"{n}: not centred on the pole")
    # Rings get smaller towards the head and come in different colours.
    outer = [info[BODY[k]][2] for k in range(4)]
    if not all(a > b + 0.3 for a, b in zip(outer, outer[1:])) or abs(outer[0] - 3.9) > 0.15:
        errs.append(f"stacked rings' outer radii {np.round(outer, 2)}")
    ring_cols = [colour_of(dae, nodes[BODY[k]][5][0]) for k in range(4)]
    for k in range(3):
        if np.abs(ring_cols[k] - ring_cols[k + 1]).max() < 0.2:
            errs.append(f"{BODY[k]} and {BODY[k + 1]} in the same colour")
    for k, c in enumerate(ring_cols):
        if c.max() - c.min() < 0.5:
            errs.append(f"{BODY[k]}: colour {c} is not a bright toy colour")
    top = info[BODY[6]][1]
    if not 18.8 <= top <= 20.2:
        errs.append(f"top of the hat at z = {top:.2f}, want 19 to 20")
    # The face looks out towards the scene's cameras: the nose is the part
    # of the head farthest from the pole.
    head = tri[BODY[5]].reshape(-1, 3)
    far = head[np.argmax(np.hypot(head[:, 0], head[:, 1]))]
    facing = far[:2] / np.linalg.norm(far[:2])
    for eye, target in (((5, -5, 7), (-1, 1, 0)), ((25, -15, 4), (-15, -10, 2)),
                        ((5, -20, 10), (-5, 0, 10)), ((40, 0, 1), (0, 0, 0))):
        to_cam = np.array(eye[:2], dtype=float) / np.linalg.norm(eye[:2])
        if facing @ to_cam < 0.3:
            errs.append(f"the face turns away from the camera at {eye}")
    # Toss rings: flat on z = 0, thin, and wide enough to drop over all of
    # the figure, base included.
    widest = max(info[n][2] for n in figure)
    cols = []
    for n in rings:
        t = tri[n]
        p = t.reshape(-1, 3)
        r = radius(t)
        inner, outer_r = r.min(), r.max()
        if abs(p[:, 2].min()) > 1e-3 or abs(p[:, 2].max() - TOSS_THICK) > 0.03:
            errs.append(f"{n}: z from {p[:, 2].min():.3f} to {p[:, 2].max():.3f}")
        if inner < widest + 0.4 or inner < 5.2:
            errs.append(f"{n}: inner radius {inner:.2f} does not clear the figure ({widest:.2f})")
        if not 6.2 <= outer_r <= 6.8:
            errs.append(f"{n}: outer radius {outer_r:.2f}")
        lo, hi = p.min(0), p.max(0)
        if np.abs((lo + hi)[:2] / 2).max() > 0.02:
            errs.append(f"{n}: not centred on the origin")
        # Painted in segments: walking round it the colour changes often.
        mats = np.array(nodes[n][5])
        ang = np.arctan2(t[..., 1].mean(1), t[..., 0].mean(1))
        order = mats[np.argsort(ang)]
        changes = int(np.sum(order[1:] != order[:-1]))
        if len(set(mats)) < 2 or changes < 4:
            errs.append(f"{n}: a turn about z would not show ({changes} colour changes)")
        cols.append(frozenset(tuple(np.round(colour_of(dae, m), 2)) for m in set(mats)))
    if len(set(cols)) < len(rings):
        errs.append("two toss rings are painted alike")
    info["_toss"] = (min(radius(tri[n]).min() for n in rings),
                     max(radius(tri[n]).max() for n in rings), TOSS_THICK)
    return errs, count, info


def stoler_errors(path):
    errs = []
    dae, nodes = read_nodes(path)
    errs0, count = common_errors(TABLE_NAME, path, dae, nodes, build_stoler())
    errs += errs0
    place = table_placement()
    room = {n.name for n in room_nodes()}
    world = {n: apply(place, v[0]) for n, v in nodes.items() if len(v[0]) and n not in room}
    chairs = sorted(n for n in world if n.startswith("Chair_"))
    if "Table" not in world or not 2 <= len(chairs) <= 4:
        return errs + [f"want Table and 2 to 4 chairs, have {sorted(world)}"], count
    allp = np.concatenate([w.reshape(-1, 3) for w in world.values()])
    lo, hi = allp.min(0), allp.max(0)
    centre = (lo + hi)[:2] / 2
    if np.linalg.norm(centre - TABLE_CENTRE) > 8:
        errs.append(f"furniture centred at {centre.round(1)}, want near {TABLE_CENTRE}")
    for n, w in world.items():
        if abs(w[..., 2].min() - FLOOR_Z) > 0.05:
            errs.append(f"{n}: lowest point at z = {w[..., 2].min():.3f}, not on the floor")
        # It stands up: its top faces point up once placed.
        nrm = nodes[n][1] @ np.linalg.inv(place[:3, :3])
        nrm /= np.linalg.norm(nrm, axis=-1, keepdims=True)
        top = w[..., 2].max(axis=1) > w[..., 2].max() - 0.05
        if not np.any(nrm[top][..., 2] > 0.9):
            errs.append(f"{n}: its top faces do not face up in the scene")
    table = world["Table"]
    top_z = table[..., 2].max()
    if abs(top_z - TABLE_TOP_Z) > 2:
        errs.append(f"table top at z = {top_z:.2f}, want about {TABLE_TOP_Z}")
    tp = table.reshape(-1, 3)
    under = tp[tp[:, 2] > top_z - 3.05]
    tlo, thi = under.min(0), under.max(0)
    underside = under[:, 2].min()
    footprints = []
    for n in chairs:
        c = world[n]
        p = c.reshape(-1, 3)
        if abs(p[:, 2].max() - BACK_Z) > 2:
            errs.append(f"{n}: back top at z = {p[:, 2].max():.2f}, want about {BACK_Z}")
        mid = (p.min(0) + p.max(0)) / 2
        seat = [z for z in (_hits(c, mid[0] + dx, mid[1] + dy) for dx, dy in
                            ((0, 0), (2, 2), (-2, -2))) for z in z]
        seat = [z for z in seat if z < 30]
        if not seat or abs(max(seat) - SEAT_Z) > 1.5:
            errs.append(f"{n}: seat at z = {max(seat) if seat else None}, want about {SEAT_Z}")
        # Under the table top only what is lower than its underside.
        inside = (p[:, 0] > tlo[0]) & (p[:, 0] < thi[0]) & (p[:, 1] > tlo[1]) & (p[:, 1] < thi[1])
        if np.any(p[inside, 2] > underside - 0.5):
            errs.append(f"{n} runs into the table top")
        footprints.append((n, p.min(0)[:2], p.max(0)[:2]))
    for i, (a, alo, ahi) in enumerate(footprints):
        for b, blo, bhi in footprints[i + 1:]:
            if np.all(alo < bhi) and np.all(blo < ahi):
                errs.append(f"{a} and {b} overlap")
    return errs, count


# The scene's cameras (scene_clown.cpp): eye, centre, vertical field of
# view and far plane; camera 2, the one drawn, glides 1 -> 3 -> 0 -> 4, and
# camera 0 drifts by up to (10, 25, 0) while the loose rings fall.
SCENE_CAMERAS = {0: ((5, -20, 10), (-5, 0, 10), 45.0, 100.0), 1: ((5, -5, 7), (-1, 1, 0), 77.32, 100.0),
                 3: ((25, -15, 4), (-15, -10, 2), 77.32, 100.0), 4: ((40, 0, 1), (0, 0, 0), 45.0, 1000.0)}
CAMERA_DRIFT = (10.0, 25.0, 0.0)


def scene_views():
    """(label, view matrix, yfov, zfar) along the camera's path, blends
    taken as the scene takes them (entry by entry)."""
    def view(k, drift=0.0):
        eye, centre, fov, far = SCENE_CAMERAS[k]
        shift = drift * np.array(CAMERA_DRIFT)
        return np.linalg.inv(mk.look_at(np.add(eye, shift), np.add(centre, shift))), fov, far
    out = []
    for a, b, steps, drift in ((1, 3, 5, 0.0), (3, 0, 3, 0.0), (0, 4, 5, 1.0)):
        for u in np.linspace(0, 1, steps):
            (va, fa, za), (vb, fb, zb) = view(a, drift * u if a == 0 else 0.0), view(b)
            out.append((f"{a}->{b} {u:.2f}", va * (1 - u) + vb * u, fa * (1 - u) + fb * u,
                        za * (1 - u) + zb * u))
    return out


def room_errors(path, horse_path):
    """The room round the furniture: warm painted walls with skirting on
    all four sides, everything of the scene inside it, clear of the
    cupboard and of each other, every ray of the scene's cameras ending on
    it or on the floor, and all of it nearer to every camera than its far
    plane. Also prints how deep each view reaches, as a share of its far
    plane."""
    errs = []
    dae, nodes = read_nodes(path)
    place = table_placement()
    names = [n.name for n in room_nodes()]
    missing = [n for n in names if n not in nodes or not len(nodes[n][0])]
    if missing:
        return [f"{TABLE_NAME}: no room node {', '.join(missing)}"]
    world = {n: apply(place, nodes[n][0]) for n in nodes if len(nodes[n][0])}
    (x0, x1), (y0, y1) = ROOM_X, ROOM_Y
    for m in set(nodes["Walls"][5]):
        c = colour_of(dae, m)
        if m != CEILING_PAINT.name and not (c[0] > c[1] > c[2] and 0.3 < c.max() < 0.9):
            errs.append(f"wall paint {m} {c}: not a warm paint (neither black nor white)")
    # Skirting along the foot of each wall.
    sk = world["Skirting"].reshape(-1, 3)
    low = sk[sk[:, 2] < FLOOR_Z + SKIRTING_H + 0.1]
    for label, near in (("back", np.abs(low[:, 0] - x0) < 2), ("front", np.abs(low[:, 0] - x1) < 2),
                        ("left", np.abs(low[:, 1] - y0) < 2), ("right", np.abs(low[:, 1] - y1) < 2)):
        if not near.any():
            errs.append(f"no skirting along the {label} wall")
    # What stands in the room: the furniture, the horse rocked both ways,
    # the figure and the toss rings.
    _, hnodes = read_nodes(horse_path)
    chain, q, _ = horse_chain(hnodes)
    inside = {n: world[n].reshape(-1, 3) for n in world if n not in names}
    for a in (-ROCK_DEGREES, 0.0, ROCK_DEGREES):
        inside[f"horse rocked {a:+}"] = rocked(chain, q, a).reshape(-1, 3)
    inside["figure and rings"] = np.array([[x, y, z] for x in (-TOSS_OUTER, TOSS_OUTER)
                                           for y in (-TOSS_OUTER, TOSS_OUTER) for z in (FLOOR_Z, 20.0)])
    for n, p in inside.items():
        if (p[:, 0].min() < x0 + 2 or p[:, 0].max() > x1 - 2 or p[:, 1].min() < y0 + 2
                or p[:, 1].max() > y1 - 2 or p[:, 2].max() > FLOOR_Z + ROOM_H - 2):
            errs.append(f"{n} reaches out of the room")
        if np.any((p[:, 0] < CUPBOARD_X + 1) & (p[:, 1] > CUPBOARD_Y[0] - 1)
                  & (p[:, 1] < CUPBOARD_Y[1] + 1)):
            errs.append(f"{n} runs into the cupboard")
    # The horse rocks and the rings land clear of the furniture (its boxes,
    # a unit wider all round).
    for f in [n for n in inside if n in world]:
        lo, hi = inside[f].min(0) - 1.0, inside[f].max(0) + 1.0
        for n in [n for n in inside if n not in world]:
            if np.any(np.all((inside[n] > lo) & (inside[n] < hi), axis=1)):
                errs.append(f"{n} runs into {f}")
    # Every view ray ends on the room (walls, cupboard, the sky outside the
    # window) or on the floor: nothing open anywhere the cameras look.
    shell = np.concatenate([world[n] for n in ("Walls", "Window", "Cupboard")])
    report = []
    for label, view, fov, far in scene_views():
        eye, d = mk.view_rays(view, fov)
        t = mk.first_hits(eye, d, shell)
        with np.errstate(divide="ignore", invalid="ignore"):
            floor_t = np.where(d[:, 2] < 0, (FLOOR_Z - eye[2]) / d[:, 2], np.inf)
        t = np.minimum(t, floor_t)
        if not np.all(np.isfinite(t)):
            errs.append(f"camera {label}: {int(np.sum(~np.isfinite(t)))} rays leave the room")
        reach = float(np.max(t[np.isfinite(t)], initial=0.0))
        if reach > FAR_SHARE * far:
            errs.append(f"camera {label}: the room reaches {reach:.1f} deep, past {FAR_SHARE} of its "
                        f"far plane {far:g} ({np.mean(t > far):.0%} of the view clipped)")
        report.append(f"{label} {reach / far:.2f}")
    print("room: the deepest point of each view, as a share of its far plane: " + ", ".join(report))
    errs += far_plane_errors(world)
    # The far-plane test must see a fault: the same room 40 farther back.
    moved = {n: world[n] - [40.0, 0.0, 0.0] for n in ("Walls", "Window")}
    if not far_plane_errors(moved):
        errs.append("far-plane test blind: the room moved 40 back passes")
    return errs


# What may be seen of the room, as a share of a camera's far plane: what
# lies beyond the plane is clipped to black, and the cameras shake by 0.3.
FAR_SHARE = 0.98


def room_box(world):
    """The room's inner box (x0, x1, y0, y1, floor, ceiling), measured on
    the file's walls by rays from the middle of the floor outwards."""
    walls = world["Walls"]
    mid = np.array([np.mean(ROOM_X), np.mean(ROOM_Y), FLOOR_Z + 1.0])
    dirs = np.array([[-1.0, 0, 0], [1, 0, 0], [0, -1, 0], [0, 1, 0], [0, 0, 1]])
    t = mk.first_hits(mid, dirs, walls)
    return (mid[0] - t[0], mid[0] + t[1], mid[1] - t[2], mid[1] + t[3], FLOOR_Z, mid[2] + t[4])


def far_plane_errors(world):
    """Every corner of the room's inner box, and every point of the window
    (the sky outside it included), nearer to cameras 0 (also at the end of
    its drift), 1 and 3 than FAR_SHARE of their far plane, and to camera 4
    than of its own. The drawn camera's view matrix and far plane are blends
    of two of these, entry by entry, and a point's depth is linear in the
    view matrix, so no frame's view then reaches past its far plane."""
    errs = []
    x0, x1, y0, y1, z0, z1 = room_box(world)
    if not np.isfinite([x0, x1, y0, y1, z1]).all():
        return ["the walls do not close round the middle of the floor"]
    corners = np.array([[x, y, z] for x in (x0, x1) for y in (y0, y1) for z in (z0, z1)])
    points = np.concatenate([corners, world["Window"].reshape(-1, 3)])
    cameras = [(str(k), *SCENE_CAMERAS[k]) for k in (0, 1, 3, 4)]
    eye, centre, fov, far = SCENE_CAMERAS[0]
    cameras.append(("0 drifted", np.add(eye, CAMERA_DRIFT), np.add(centre, CAMERA_DRIFT), fov, far))
    for label, eye, centre, _, far in cameras:
        view = np.linalg.inv(mk.look_at(eye, centre))
        depth = -(points @ view[2, :3] + view[2, 3])
        k = int(np.argmax(depth))
        if depth[k] > FAR_SHARE * far:
            errs.append(f"camera {label}: the room's point {points[k].round(1)} lies {depth[k]:.1f} deep, "
                        f"past {FAR_SHARE} of its far plane {far:g}")
    return errs


def horse_chain(nodes):
    """polySurface2's chain from the root, and every triangle under it in
    polySurface2's own coordinates."""
    _, _, node, chain, depth, _ = nodes[ROCKERS]
    inv = np.linalg.inv(chain)
    ids = set()

    def under(n):
        from collada.scene import Node
        ids.add(n.id)
        for c in n.children:
            if isinstance(c, Node):
                under(c)
    under(node)
    q = np.concatenate([apply(inv, nodes[i][0]) for i in ids if len(nodes[i][0])])
    return chain, q, ids


def rocked(chain, q, degrees):
    """The scene's placement of the horse, rocked by degrees: into the
    frame of polySurface2 (M) at the contact point, the turn about its z,
    and back out. With M the half turn, inv(M).T = inv(M) = M, and the turn
    about M's z is one about the world x axis."""
    M = horse_object() @ chain
    total = (mk.translation(0, 0, FLOOR_Z) @ mk.translation(0, HORSE_Y, 0) @ M
             @ mk.rotation(0, 0, 1, degrees) @ mk.translation(0, 4, 0)
             @ np.linalg.inv(M).T @ horse_object() @ chain)
    return apply(total, q)


def horse_errors(path):
    errs = []
    dae, nodes = read_nodes(path)
    errs0, count = common_errors(HORSE_NAME, path, dae, nodes, build_horse())
    errs += errs0
    if ROCKERS not in nodes:
        return errs + [f"no node {ROCKERS}"], count, {}
    chain, q, ids = horse_chain(nodes)
    stray = [n for n, v in nodes.items() if len(v[0]) and n not in ids]
    if stray:
        errs.append(f"geometry outside polySurface2: {stray}")
    if not np.allclose(horse_object() @ chain, half_turn(), atol=1e-5):
        errs.append("H @ N is not the half turn about (1, 0, 1): the scene's rocking breaks")
    w = rocked(chain, q, 0.0).reshape(-1, 3)
    lo, hi = w.min(0), w.max(0)
    ground = w[w[:, 2] < lo[2] + 0.05]
    info = {"lo": lo, "hi": hi}
    if abs(lo[2] - FLOOR_Z) > 0.05:
        errs.append(f"at rest the lowest point is at z = {lo[2]:.3f}, not on the floor")
    if np.abs(ground[:, 1] - HORSE_Y).max() > 1.5:
        errs.append(f"at rest it touches the floor at y {ground[:, 1].min():.1f} to {ground[:, 1].max():.1f}")
    if not (ground[:, 0].min() < HORSE_X - 3 and ground[:, 0].max() > HORSE_X + 3):
        errs.append("only one rocker touches the floor")
    if abs((lo[0] + hi[0]) / 2 - HORSE_X) > 0.3:
        errs.append(f"centred on x = {(lo[0] + hi[0]) / 2:.2f}, want {HORSE_X}")
    if not 55 <= hi[1] - lo[1] <= 75 or not 40 <= hi[2] - FLOOR_Z <= 50:
        errs.append(f"size {hi[1] - lo[1]:.1f} long, {hi[2] - FLOOR_Z:.1f} high")
    if abs((lo[1] + hi[1]) / 2 - HORSE_Y) > 3:
        errs.append(f"length centred on y = {(lo[1] + hi[1]) / 2:.1f}, want about {HORSE_Y}")
    top = w[np.argmax(w[:, 2])]
    if top[1] < HORSE_Y + 10:
        errs.append("the head is not at the +y end")
    for a in (-ROCK_DEGREES, ROCK_DEGREES):
        r = rocked(chain, q, a).reshape(-1, 3)
        z = r[:, 2].min()
        if not FLOOR_Z - 1.5 <= z <= FLOOR_Z + 2.0:
            errs.append(f"rocked {a:+} degrees the lowest point is at z = {z:.2f}")
        # The rock turns about the world x axis: nothing moves along x.
        if np.abs(r[:, 0] - w[:, 0]).max() > 1e-3:
            errs.append(f"rocked {a:+} degrees it moves along x")
        info[a] = z
    return errs, count, info


def check(root, args=None):
    errs = []
    out_dir = os.path.join(root, CLOWN_DIR)
    e, n_title, info = title_errors(os.path.join(out_dir, TITLE_NAME))
    errs += e
    e, n_table = stoler_errors(os.path.join(out_dir, TABLE_NAME))
    errs += e
    e, n_horse, hinfo = horse_errors(os.path.join(out_dir, HORSE_NAME))
    errs += e
    errs += room_errors(os.path.join(out_dir, TABLE_NAME), os.path.join(out_dir, HORSE_NAME))
    # The contact test must see a fault: a ring lifted off its neighbour.
    outlines = stacked_outlines()
    lifted = revolve(outlines[2][1] + [0, 0.3], 48, RED)
    low = revolve(outlines[1][1], 48, RED)
    g = contact_gaps(low.positions[low.faces], lifted.positions[lifted.faces])
    if not len(g) or g.min() < 0.25:
        errs.append("contact test blind: a ring lifted by 0.3 passes")
    print(f"{TITLE_NAME}: {n_title} triangles")
    for name, (z0, z1, r) in info.items():
        if not name.startswith("_"):
            print(f"    {name:7s} z {z0:6.2f} .. {z1:6.2f}   radius {r:5.2f}")
    if "_toss" in info:
        print("    toss rings: inner %.2f, outer %.2f, %.2f thick" % info["_toss"])
    print(f"{TABLE_NAME}: {n_table} triangles")
    if hinfo:
        print(f"{HORSE_NAME}: {n_horse} triangles; {hinfo['hi'][1] - hinfo['lo'][1]:.1f} long, "
              f"top at z = {hinfo['hi'][2]:.1f}; lowest z rocked -/+{ROCK_DEGREES}: "
              f"{hinfo.get(-ROCK_DEGREES, float('nan')):.2f} / {hinfo.get(ROCK_DEGREES, float('nan')):.2f}")
    return errs


# ---------------------------------------------------------------------------

def generate(out_dir, args=None):
    for name, scene in ((TITLE_NAME, build_title()), (TABLE_NAME, build_stoler()),
                        (HORSE_NAME, build_horse())):
        collada_writer.write_dae(scene, os.path.join(out_dir, name))


if __name__ == "__main__":
    sys.exit(generator.main(__doc__, "clown assets", CLOWN_DIR, check, generate,
                            [TITLE_NAME, TABLE_NAME, HORSE_NAME], inputs=[model_parts.TABLE]))
