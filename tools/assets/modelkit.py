#!/usr/bin/python3
"""Procedural modelling kit for the show's COLLADA models.

Conventions (those of the show's scenes): right-handed, Z up, lengths in
scene units, angles in degrees, triangles wound counter-clockwise seen from
outside. Solids of revolution turn about Z; extrusions rise along Z.

Meshes are indexed vertex lists: a vertex carries a position, a normal and
a UV; a hard edge is two vertices with the same position and different
normals. Each mesh has one material.

    Material(name, diffuse=(r, g, b[, a]))        plain colour
    Material(name, texture="wood.png")            diffuse texture beside the .dae

    box(sx, sy, sz)                               centred, hard edges
    cylinder(radius, height, segments)            base on z = 0
    cone(radius, height, segments)                base on z = 0
    sphere(radius, segments, rings)               centred
    torus(major, minor, segments, sides)          centred, in the XY plane
    extrude(outline, depth)                       2D outline (CCW or CW), z from 0 to depth
    box_at(x0, x1, y0, y1, z0, z1)                a box filling those ranges
    lathe(profile, segments)                      profile of (r, z) points, bottom to top

Outlines for extrude: circle(radius), arc(cx, cy, r, a0, a1, steps) (points
from a0 to a1 degrees), rounded_rect(x0, y0, x1, y1, r, steps).

Every primitive takes material= and smooth_angle= (where it has creases):
neighbouring faces meeting at less than smooth_angle degrees share normals.

    mesh.transformed(matrix)                      a moved copy (normals and winding kept right)
    merge(meshes)                                 one mesh of one material

A model is a tree of named nodes:

    Node(name, meshes=[...], children=[...],
         translate=(x, y, z), rotate=[(ax, ay, az, deg), ...], scale=(sx, sy, sz))
    Node(name, meshes=[...], geometry_id="hand")  the geometry's id (default
                                                  "<name>-mesh")
    Node(name, matrix=look_at(eye, target, up), camera=Camera(...))
    Node(name, translate=..., light=PointLight(...))
    Scene(nodes=[...])  -> collada_writer.write_dae(scene, path)

Local transforms are applied as COLLADA applies them: translate, then each
rotate in order, then scale (the point is scaled first).
"""
import math

import numpy as np

DEFAULT_SMOOTH_ANGLE = 40.0


# ---------------------------------------------------------------- matrices

def translation(x, y, z):
    m = np.identity(4)
    m[:3, 3] = (x, y, z)
    return m


def rotation(ax, ay, az, degrees):
    """glRotatef's matrix."""
    axis = np.array([ax, ay, az], dtype=np.float64)
    n = np.linalg.norm(axis)
    if n == 0:
        raise ValueError("rotation axis is zero")
    x, y, z = axis / n
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    t = 1 - c
    m = np.identity(4)
    m[:3, :3] = [[t * x * x + c, t * x * y - s * z, t * x * z + s * y],
                 [t * x * y + s * z, t * y * y + c, t * y * z - s * x],
                 [t * x * z - s * y, t * y * z + s * x, t * z * z + c]]
    return m


def scaling(sx, sy=None, sz=None):
    if sy is None:
        sy = sz = sx
    return np.diag([sx, sy, sz, 1.0])


def look_at(eye, target, up=(0, 0, 1)):
    """Node matrix that puts a camera (looking down its local -Z, local +Y
    up) at eye, looking at target."""
    eye = np.asarray(eye, dtype=np.float64)
    f = np.asarray(target, dtype=np.float64) - eye
    f /= np.linalg.norm(f)
    r = np.cross(f, np.asarray(up, dtype=np.float64))
    if np.linalg.norm(r) < 1e-9:
        raise ValueError("look_at: up is parallel to the view direction")
    r /= np.linalg.norm(r)
    u = np.cross(r, f)
    m = np.identity(4)
    m[:3, 0], m[:3, 1], m[:3, 2], m[:3, 3] = r, u, -f, eye
    return m


# ---------------------------------------------------------------- materials

class Material:
    """A phong material. With a texture the engine takes the diffuse colour
    as twice the ambient (capped at 1), so the ambient default of a textured
    material is half grey: the texture shows at full brightness."""

    def __init__(self, name, diffuse=(0.8, 0.8, 0.8, 1.0), texture=None,
                 ambient=None, specular=(0.3, 0.3, 0.3, 1.0),
                 emission=(0.0, 0.0, 0.0, 1.0), shininess=20.0):
        self.name = name
        self.diffuse = _rgba(diffuse)
        self.texture = texture
        if ambient is None:
            ambient = (0.5, 0.5, 0.5, 1.0) if texture else \
                tuple(c * 0.25 for c in self.diffuse[:3]) + (1.0,)
        self.ambient = _rgba(ambient)
        self.specular = _rgba(specular)
        self.emission = _rgba(emission)
        self.shininess = float(shininess)

    @property
    def alpha(self):
        return self.diffuse[3]


def _rgba(c):
    c = tuple(float(v) for v in c)
    if len(c) == 3:
        c += (1.0,)
    if len(c) != 4:
        raise ValueError(f"colour needs 3 or 4 components: {c}")
    return c


DEFAULT_MATERIAL = Material("default")


# ---------------------------------------------------------------- meshes

class Mesh:
    """positions (n, 3), normals (n, 3), uvs (n, 2), faces (m, 3) of vertex
    indices, one material."""

    def __init__(self, positions, normals, uvs, faces, material=None):
        self.positions = np.asarray(positions, dtype=np.float64).reshape(-1, 3)
        self.normals = np.asarray(normals, dtype=np.float64).reshape(-1, 3)
        self.uvs = np.asarray(uvs, dtype=np.float64).reshape(-1, 2)
        self.faces = np.asarray(faces, dtype=np.int64).reshape(-1, 3)
        self.material = material or DEFAULT_MATERIAL
        n = len(self.positions)
        if len(self.normals) != n or len(self.uvs) != n:
            raise ValueError("positions, normals and uvs differ in length")
        if len(self.faces) and (self.faces.min() < 0 or self.faces.max() >= n):
            raise ValueError("face index out of range")

    def transformed(self, matrix):
        m = np.asarray(matrix, dtype=np.float64)
        lin = m[:3, :3]
        p = self.positions @ lin.T + m[:3, 3]
        n = self.normals @ np.linalg.inv(lin)  # inverse transpose, row vectors
        n = _normalise(n)
        f = self.faces
        if np.linalg.det(lin) < 0:
            f = f[:, ::-1]  # a mirror turns the winding inside out
        return Mesh(p, n, self.uvs.copy(), f.copy(), self.material)

    def translated(self, x, y, z):
        return self.transformed(translation(x, y, z))

    def rotated(self, ax, ay, az, degrees):
        return self.transformed(rotation(ax, ay, az, degrees))

    def scaled(self, sx, sy=None, sz=None):
        return self.transformed(scaling(sx, sy, sz))

    def with_material(self, material):
        return Mesh(self.positions, self.normals, self.uvs, self.faces, material)

    def bounds(self):
        return self.positions.min(axis=0), self.positions.max(axis=0)


def merge(meshes, material=None):
    """One mesh from several; the material is the first mesh's unless given."""
    meshes = list(meshes)
    if not meshes:
        raise ValueError("nothing to merge")
    offs = np.cumsum([0] + [len(m.positions) for m in meshes[:-1]])
    return Mesh(np.concatenate([m.positions for m in meshes]),
                np.concatenate([m.normals for m in meshes]),
                np.concatenate([m.uvs for m in meshes]),
                np.concatenate([m.faces + o for m, o in zip(meshes, offs)]),
                material or meshes[0].material)


def _normalise(v):
    v = np.asarray(v, dtype=np.float64)
    n = np.linalg.norm(v, axis=-1, keepdims=True)
    return v / np.where(n == 0, 1, n)


class _Builder:
    def __init__(self):
        self.p, self.n, self.t, self.f = [], [], [], []

    def vertex(self, p, n, t):
        self.p.append(p)
        self.n.append(n)
        self.t.append(t)
        return len(self.p) - 1

    def tri(self, a, b, c):
        self.f.append((a, b, c))

    def quad(self, a, b, c, d):
        """Corners counter-clockwise seen from the front."""
        self.f.append((a, b, c))
        self.f.append((a, c, d))

    def mesh(self, material):
        return Mesh(np.array(self.p, dtype=np.float64).reshape(-1, 3),
                    np.array(self.n, dtype=np.float64).reshape(-1, 3),
                    np.array(self.t, dtype=np.float64).reshape(-1, 2),
                    np.array(self.f, dtype=np.int64).reshape(-1, 3), material)


# ---------------------------------------------------------------- primitives

def box(sx, sy, sz, material=None):
    """Centred on the origin; each face carries the whole texture."""
    b = _Builder()
    h = np.array([sx, sy, sz], dtype=np.float64) / 2
    for axis in range(3):
        for sign in (1.0, -1.0):
            n = np.zeros(3)
            n[axis] = sign
            u = np.zeros(3)
            u[(axis + 1) % 3] = 1.0
            v = np.cross(n, u)
            c = n * h
            corners = [c + (su * u + sv * v) * h for su, sv in
                       ((-1, -1), (1, -1), (1, 1), (-1, 1))]
            ids = [b.vertex(p, n, ((su + 1) / 2, (sv + 1) / 2)) for p, (su, sv)
                   in zip(corners, ((-1, -1), (1, -1), (1, 1), (-1, 1)))]
            b.quad(*ids)
    return b.mesh(material)


def lathe(profile, segments=24, material=None, smooth_angle=DEFAULT_SMOOTH_ANGLE,
          sweep=360.0):
    """Turn a profile of (r, z) points, r >= 0, about the Z axis.

    The profile runs so that the outside is on its right when r points right
    and z up: bottom centre, outwards, up, back to the top centre. Profile
    corners sharper than smooth_angle become hard edges. u runs around,
    v along the profile by length. A partial sweep leaves its ends open.
    """
    pts = np.asarray(profile, dtype=np.float64).reshape(-1, 2)
    if len(pts) < 2 or np.any(pts[:, 0] < 0):
        raise ValueError("lathe profile needs two or more points with r >= 0")
    pts[pts[:, 0] < 1e-9, 0] = 0.0  # sin(pi) and the like sit on the axis
    seg_d = np.diff(pts, axis=0)
    lengths = np.linalg.norm(seg_d, axis=1)
    if np.any(lengths == 0):
        raise ValueError("lathe profile repeats a point")
    # Outward normal of each segment in the (r, z) plane.
    seg_n = np.stack([seg_d[:, 1], -seg_d[:, 0]], axis=1) / lengths[:, None]
    v_at = np.concatenate([[0.0], np.cumsum(lengths)]) / lengths.sum()
    cos_limit = math.cos(math.radians(smooth_angle))
    angles = [math.radians(sweep) * j / segments for j in range(segments + 1)]
    b = _Builder()

    def ring(i, n2):
        """Vertex ids of profile point i around the turn, normal n2 (r, z)."""
        r, z = pts[i]
        out = []
        for j, a in enumerate(angles):
            c, s = math.cos(a), math.sin(a)
            p = (r * c, r * s, z)
            n = _normalise((n2[0] * c, n2[0] * s, n2[1]))
            out.append(b.vertex(p, n, (j / segments, v_at[i])))
        return out

    # Each segment gets its own rings at hard profile corners and at the
    # axis; across a smooth corner neighbouring segments share one ring.
    def smooth_at(i):
        return (0 < i < len(seg_d) and pts[i, 0] > 0
                and float(seg_n[i - 1] @ seg_n[i]) >= cos_limit)

    def axis_normal(k):
        """At the axis the facets of opposite sides meet at twice the
        segment's tilt: smooth there (a dome) points the normal along Z,
        sharp (a cone's tip) keeps the segment's."""
        nz = seg_n[k][1]
        if 2 * nz * nz - 1 >= cos_limit:
            return (0.0, math.copysign(1.0, nz))
        return seg_n[k]

    prev_end = None
    for k in range(len(seg_d)):
        if smooth_at(k):
            start = prev_end
        else:
            start = ring(k, axis_normal(k) if pts[k, 0] == 0 else seg_n[k])
        if smooth_at(k + 1):
            end = ring(k + 1, _normalise(seg_n[k] + seg_n[k + 1]))
        else:
            end = ring(k + 1, axis_normal(k) if pts[k + 1, 0] == 0 else seg_n[k])
        r0, r1 = pts[k, 0], pts[k + 1, 0]
        for j in range(segments):
            a, bb, c, d = start[j], start[j + 1], end[j + 1], end[j]
            if r0 == 0:
                b.tri(a, c, d)
            elif r1 == 0:
                b.tri(a, bb, c)
            else:
                b.quad(a, bb, c, d)
        prev_end = end
    return b.mesh(material)


def cylinder(radius, height, segments=24, material=None, caps=True):
    """Axis on Z, base on z = 0; smooth side, hard rims."""
    prof = [(radius, 0.0), (radius, height)]
    if caps:
        prof = [(0.0, 0.0)] + prof + [(0.0, height)]
    return lathe(prof, segments, material, smooth_angle=DEFAULT_SMOOTH_ANGLE)


def cone(radius, height, segments=24, material=None, cap=True, top_radius=0.0):
    """Axis on Z, base on z = 0; a top_radius above 0 gives a frustum."""
    prof = [(radius, 0.0), (top_radius, height)]
    if cap:
        prof = [(0.0, 0.0)] + prof
    if top_radius > 0 and cap:
        prof.append((0.0, height))
    return lathe(prof, segments, material, smooth_angle=DEFAULT_SMOOTH_ANGLE)


def sphere(radius, segments=24, rings=12, material=None):
    """Centred; poles on Z; smooth everywhere."""
    b = _Builder()
    grid = []
    for i in range(rings + 1):
        phi = math.pi * i / rings  # from the south pole up
        z, rr = -math.cos(phi), math.sin(phi)
        row = []
        for j in range(segments + 1):
            a = 2 * math.pi * j / segments
            n = (rr * math.cos(a), rr * math.sin(a), z)
            if i in (0, rings):
                n = (0.0, 0.0, z)
            row.append(b.vertex(tuple(radius * c for c in n), n,
                                (j / segments, i / rings)))
        grid.append(row)
    for i in range(rings):
        for j in range(segments):
            a, bb = grid[i][j], grid[i][j + 1]
            c, d = grid[i + 1][j + 1], grid[i + 1][j]
            if i == 0:
                b.tri(a, c, d)
            elif i == rings - 1:
                b.tri(a, bb, c)
            else:
                b.quad(a, bb, c, d)
    return b.mesh(material)


def torus(major, minor, segments=32, sides=16, material=None):
    """Centred, lying in the XY plane; smooth everywhere."""
    b = _Builder()
    grid = []
    for i in range(segments + 1):
        a = 2 * math.pi * i / segments
        ca, sa = math.cos(a), math.sin(a)
        row = []
        for j in range(sides + 1):
            t = 2 * math.pi * j / sides
            ct, st = math.cos(t), math.sin(t)
            n = (ct * ca, ct * sa, st)
            p = ((major + minor * ct) * ca, (major + minor * ct) * sa, minor * st)
            row.append(b.vertex(p, n, (i / segments, j / sides)))
        grid.append(row)
    for i in range(segments):
        for j in range(sides):
            b.quad(grid[i][j], grid[i + 1][j], grid[i + 1][j + 1], grid[i][j + 1])
    return b.mesh(material)


def _signed_area(poly):
    x, y = poly[:, 0], poly[:, 1]
    return 0.5 * float(np.sum(x * np.roll(y, -1) - np.roll(x, -1) * y))


def triangulate(outline):
    """Ear clipping of a simple polygon; returns index triples, CCW."""
    poly = np.asarray(outline, dtype=np.float64).reshape(-1, 2)
    idx = list(range(len(poly)))
    if _signed_area(poly) < 0:
        idx.reverse()
    tris = []

    def cross(o, a, b):
        return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])

    guard = 0
    while len(idx) > 3:
        n = len(idx)
        for k in range(n):
            i0, i1, i2 = idx[k - 1], idx[k], idx[(k + 1) % n]
            a, b, c = poly[i0], poly[i1], poly[i2]
            if cross(a, b, c) <= 1e-12:
                continue  # reflex or flat corner
            inside = False
            for m in idx:
                if m in (i0, i1, i2):
                    continue
                p = poly[m]
                if cross(a, b, p) >= 0 and cross(b, c, p) >= 0 and cross(c, a, p) >= 0:
                    inside = True
                    break
            if not inside:
                tris.append((i0, i1, i2))
                del idx[k]
                break
        else:
            guard += 1
            if guard > 1:
                raise ValueError("outline is not a simple polygon")
            # Only flat corners left: drop one and go on.
            del idx[0]
            continue
        guard = 0
    if len(idx) == 3:
        tris.append(tuple(idx))
    return tris


def extrude(outline, depth, material=None, smooth_angle=DEFAULT_SMOOTH_ANGLE, caps=True):
    """Extrude a 2D outline (x, y) from z = 0 to z = depth.

    Outline corners sharper than smooth_angle are hard edges (a polygon with
    many points reads as a round shape). Caps are mapped by the outline's
    bounding box; sides by length around the outline.
    """
    poly = np.asarray(outline, dtype=np.float64).reshape(-1, 2)
    if len(poly) > 3 and np.allclose(poly[0], poly[-1]):
        poly = poly[:-1]
    if len(poly) < 3:
        raise ValueError("outline needs three or more points")
    if _signed_area(poly) < 0:
        poly = poly[::-1]
    n = len(poly)
    edges = np.roll(poly, -1, axis=0) - poly
    elen = np.linalg.norm(edges, axis=1)
    if np.any(elen == 0):
        raise ValueError("outline repeats a point")
    # Outward normals of a CCW outline.
    en = np.stack([edges[:, 1], -edges[:, 0]], axis=1) / elen[:, None]
    cos_limit = math.cos(math.radians(smooth_angle))
    u_at = np.concatenate([[0.0], np.cumsum(elen)]) / elen.sum()
    b = _Builder()
    for k in range(n):
        kk = (k + 1) % n
        ends = []
        for neighbour in (en[k - 1], en[kk]):
            nn = en[k]
            if float(nn @ neighbour) >= cos_limit:
                nn = _normalise(nn + neighbour)
            ends.append(nn)
        u0, u1 = u_at[k], u_at[k + 1]
        (x0, y0), (x1, y1) = poly[k], poly[kk]
        n0 = (ends[0][0], ends[0][1], 0.0)
        n1 = (ends[1][0], ends[1][1], 0.0)
        a = b.vertex((x0, y0, 0.0), n0, (u0, 0.0))
        bb = b.vertex((x1, y1, 0.0), n1, (u1, 0.0))
        c = b.vertex((x1, y1, depth), n1, (u1, 1.0))
        d = b.vertex((x0, y0, depth), n0, (u0, 1.0))
        b.quad(a, bb, c, d)
    if caps:
        lo, hi = poly.min(axis=0), poly.max(axis=0)
        span = np.where(hi - lo == 0, 1, hi - lo)
        uv = (poly - lo) / span
        tris = triangulate(poly)
        top = [b.vertex((x, y, depth), (0.0, 0.0, 1.0), tuple(t))
               for (x, y), t in zip(poly, uv)]
        bot = [b.vertex((x, y, 0.0), (0.0, 0.0, -1.0), (1 - t[0], t[1]))
               for (x, y), t in zip(poly, uv)]
        for i0, i1, i2 in tris:
            b.tri(top[i0], top[i1], top[i2])
            b.tri(bot[i0], bot[i2], bot[i1])
    return b.mesh(material)


def circle(radius, points=32):
    """A round outline for extrude."""
    return [(radius * math.cos(2 * math.pi * k / points),
             radius * math.sin(2 * math.pi * k / points)) for k in range(points)]


def arc(cx, cy, r, a0, a1, steps):
    """Points on a circle from angle a0 to a1 (degrees), both ends included."""
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


def rounded_rect(x0, y0, x1, y1, r, steps=3):
    """CCW outline with corners of radius r, each in `steps` straight pieces
    (three, of 30 degrees, stay smooth)."""
    return (arc(x1 - r, y0 + r, r, -90, 0, steps) + arc(x1 - r, y1 - r, r, 0, 90, steps)
            + arc(x0 + r, y1 - r, r, 90, 180, steps) + arc(x0 + r, y0 + r, r, 180, 270, steps))


def box_at(x0, x1, y0, y1, z0, z1, material=None):
    """A box filling x0..x1, y0..y1, z0..z1."""
    return box(x1 - x0, y1 - y0, z1 - z0, material).translated(
        (x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2)


# ---------------------------------------------------------------- scene

class Camera:
    """Perspective camera; the engine reads yfov (degrees), znear and zfar."""

    def __init__(self, name, yfov=45.0, znear=0.1, zfar=1000.0):
        self.name, self.yfov, self.znear, self.zfar = name, yfov, znear, zfar


class PointLight:
    """The engine reads a 0 attenuation as 1, 0.1 or 0.01, so zero linear
    and quadratic terms are left out of the file rather than written."""

    def __init__(self, name, color=(1.0, 1.0, 1.0), constant=1.0, linear=0.0,
                 quadratic=0.0):
        self.name = name
        self.color = tuple(float(c) for c in color[:3])
        self.constant, self.linear, self.quadratic = constant, linear, quadratic
        if constant == 0:
            raise ValueError("constant attenuation 0 is read as 1; give it explicitly")


class Node:
    """A named node: local transform, meshes (one geometry with a triangle
    list per material), an optional camera or light, child nodes."""

    def __init__(self, name, meshes=(), children=(), translate=None, rotate=(),
                 scale=None, matrix=None, camera=None, light=None, geometry_id=None):
        self.name = name
        # Scenes that show and hide geometry by id can name it; otherwise
        # the writer calls it after the node.
        self.geometry_id = geometry_id
        self.meshes = list(meshes)
        self.children = list(children)
        if matrix is not None and (translate is not None or rotate or scale is not None):
            raise ValueError(f"node {name}: matrix replaces translate/rotate/scale")
        if rotate and not isinstance(rotate[0], (tuple, list)):
            rotate = [rotate]
        self.translate = translate
        self.rotate = [tuple(r) for r in rotate]
        self.scale = (scale,) * 3 if isinstance(scale, (int, float)) else scale
        self.matrix = None if matrix is None else np.asarray(matrix, dtype=np.float64)
        self.camera = camera
        self.light = light

    def add(self, *children):
        self.children.extend(children)
        return self

    def local_matrix(self):
        if self.matrix is not None:
            return self.matrix
        m = np.identity(4)
        if self.translate is not None:
            m = m @ translation(*self.translate)
        for r in self.rotate:
            m = m @ rotation(*r)
        if self.scale is not None:
            m = m @ scaling(*self.scale)
        return m

    def walk(self):
        yield self
        for c in self.children:
            yield from c.walk()


class Scene:
    def __init__(self, nodes=(), up_axis="Z_UP"):
        self.nodes = list(nodes)
        self.up_axis = up_axis

    def walk(self):
        for n in self.nodes:
            yield from n.walk()


# ---------------------------------------------------------------- looking through cameras

def view_rays(view, yfov, nx=32, ny=18):
    """The eye and the world directions through a grid over the 16:9
    picture, scaled so the parameter along a ray is its eye-space depth."""
    inv = np.linalg.inv(view)
    ty = math.tan(math.radians(yfov) / 2)
    x, y = np.meshgrid((np.arange(nx) + 0.5) / nx * 2 - 1, (np.arange(ny) + 0.5) / ny * 2 - 1)
    d = np.stack([x * ty * 16 / 9, y * ty, -np.ones_like(x)], -1).reshape(-1, 3)
    return inv[:3, 3], d @ inv[:3, :3].T


def first_hits(origin, dirs, tris):
    """Per ray, the smallest positive parameter at which it meets one of
    the triangles (inf where it meets none)."""
    a, e1, e2 = tris[:, 0], tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0]
    best = np.full(len(dirs), np.inf)
    for i in range(0, len(dirs), 64):
        d = dirs[i:i + 64, None, :]
        p = np.cross(d, e2[None])
        det = np.einsum("rtk,tk->rt", p, e1)
        ok = np.abs(det) > 1e-12
        inv = np.where(ok, 1.0 / np.where(ok, det, 1.0), 0.0)
        s = origin - a
        u = np.einsum("rtk,tk->rt", p, s) * inv
        q = np.cross(s, e1)
        v = np.einsum("rk,tk->rt", dirs[i:i + 64], q) * inv
        t = np.einsum("tk,tk->t", e2, q)[None] * inv
        hit = ok & (u >= 0) & (v >= 0) & (u + v <= 1) & (t > 1e-6)
        best[i:i + 64] = np.where(hit, t, np.inf).min(axis=1)
    return best
