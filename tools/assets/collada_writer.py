#!/usr/bin/python3
"""COLLADA 1.4.1 writer for modelkit scenes, limited to what the engine's
reader (src/util/objects3d) takes in:

- one visual scene of nodes with ids; local transforms as translate, rotate
  and scale elements, or one matrix (row-major);
- one geometry per node that has meshes, one triangles element per
  material, inputs VERTEX (offset 0), NORMAL (1) and TEXCOORD (2, only when
  one of the node's materials has a texture); sources with accessor strides
  3 and 2;
- phong effects with all four colours written out (the reader takes a
  missing one as white), a diffuse texture through a surface and a sampler
  newparam, transparency as A_ONE with a white transparent colour so the
  alpha is the diffuse alpha;
- materials bound by symbol (the symbol is the material's id);
- perspective cameras (yfov, znear, zfar) and point lights.

Number lists are single-space separated (the reader splits on one space),
floats are written with six decimals at most and no exponent, and the asset
dates are fixed: the same scene always gives the same bytes.

Texture images are referenced by base name and must lie beside the .dae;
the reader lower-cases the name, so it has to be lower case already.
"""
import math
import re

import numpy as np

import modelkit

FIXED_DATE = "2024-01-01T00:00:00Z"
_ID = re.compile(r"^[A-Za-z_][A-Za-z0-9_.-]*$")
_FILE = re.compile(r"^[a-z0-9_][a-z0-9_.-]*$")


def fmt(x):
    x = float(x)
    if not math.isfinite(x):
        raise ValueError(f"number {x} cannot be written")
    s = "%.6f" % x
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def fmts(values):
    return " ".join(fmt(v) for v in values)


class _Ids:
    """Every id is an xs:ID, unique in the document; the reader compares
    most of them lower-cased, so they must stay unique without case too."""

    def __init__(self):
        self.seen = {}

    def take(self, ident, what):
        if not isinstance(ident, str) or not _ID.match(ident):
            raise ValueError(f"{what} name {ident!r}: use letters, digits, _ . - "
                             "and no digit first")
        key = ident.lower()
        if key in self.seen:
            raise ValueError(f"{what} {ident!r} clashes with {self.seen[key]}")
        self.seen[key] = f"{what} {ident!r}"
        return ident


def _material_effect(m, out):
    eid = f"{m.name}-effect"
    out.append(f'    <effect id="{eid}">')
    out.append('      <profile_COMMON>')
    if m.texture:
        out.append(f'        <newparam sid="{m.name}-surface">')
        out.append(f'          <surface type="2D"><init_from>{m.name}-image</init_from></surface>')
        out.append('        </newparam>')
        out.append(f'        <newparam sid="{m.name}-sampler">')
        out.append(f'          <sampler2D><source>{m.name}-surface</source></sampler2D>')
        out.append('        </newparam>')
    out.append('        <technique sid="common">')
    out.append('          <phong>')
    out.append(f'            <emission><color>{fmts(m.emission)}</color></emission>')
    out.append(f'            <ambient><color>{fmts(m.ambient)}</color></ambient>')
    if m.texture:
        out.append(f'            <diffuse><texture texture="{m.name}-sampler" texcoord="UVSET0"/></diffuse>')
    else:
        out.append(f'            <diffuse><color>{fmts(m.diffuse)}</color></diffuse>')
    out.append(f'            <specular><color>{fmts(m.specular)}</color></specular>')
    out.append(f'            <shininess><float>{fmt(m.shininess)}</float></shininess>')
    if m.alpha < 1.0:
        out.append('            <transparent opaque="A_ONE"><color>1 1 1 1</color></transparent>')
        out.append(f'            <transparency><float>{fmt(m.alpha)}</float></transparency>')
    out.append('          </phong>')
    out.append('        </technique>')
    out.append('      </profile_COMMON>')
    out.append('    </effect>')


def _indexed(rows, width):
    """Distinct rows as written (first appearance order) and each row's index."""
    keys = [" ".join(fmt(v) for v in r) for r in np.asarray(rows).reshape(-1, width)]
    index, table = {}, []
    ids = np.empty(len(keys), dtype=np.int64)
    for i, k in enumerate(keys):
        j = index.get(k)
        if j is None:
            j = index[k] = len(table)
            table.append(k)
        ids[i] = j
    return table, ids


def _source(out, sid, table, params):
    n = len(table)
    w = len(params)
    out.append(f'        <source id="{sid}">')
    out.append(f'          <float_array id="{sid}-array" count="{n * w}">{" ".join(table)}</float_array>')
    out.append('          <technique_common>')
    out.append(f'            <accessor source="#{sid}-array" count="{n}" stride="{w}">')
    for p in params:
        out.append(f'              <param name="{p}" type="float"/>')
    out.append('            </accessor>')
    out.append('          </technique_common>')
    out.append('        </source>')


def _geometry(node, gid, out):
    """One geometry for the node's meshes; returns the materials in the
    order of its triangle lists."""
    groups = {}
    for mesh in node.meshes:
        if len(mesh.faces):
            groups.setdefault(id(mesh.material), []).append(mesh)
    parts = [modelkit.merge(ms) for ms in groups.values()]
    if not parts:
        raise ValueError(f"node {node.name}: meshes without triangles")
    textured = any(p.material.texture for p in parts)
    whole = modelkit.merge(parts)
    pos, pid = _indexed(whole.positions, 3)
    nrm, nid = _indexed(modelkit._normalise(whole.normals), 3)
    if textured:
        uv, tid = _indexed(whole.uvs, 2)
    out.append(f'    <geometry id="{gid}" name="{gid}">')
    out.append('      <mesh>')
    _source(out, f"{gid}-positions", pos, "XYZ")
    _source(out, f"{gid}-normals", nrm, "XYZ")
    if textured:
        _source(out, f"{gid}-map", uv, "ST")
    out.append(f'        <vertices id="{gid}-vertices">')
    out.append(f'          <input semantic="POSITION" source="#{gid}-positions"/>')
    out.append('        </vertices>')
    base = 0
    for p in parts:
        corners = p.faces.reshape(-1) + base
        base += len(p.positions)
        cols = [pid[corners], nid[corners]]
        if textured:
            cols.append(tid[corners])
        flat = np.stack(cols, axis=1).reshape(-1)
        out.append(f'        <triangles material="{p.material.name}" count="{len(p.faces)}">')
        out.append(f'          <input semantic="VERTEX" source="#{gid}-vertices" offset="0"/>')
        out.append(f'          <input semantic="NORMAL" source="#{gid}-normals" offset="1"/>')
        if textured:
            out.append(f'          <input semantic="TEXCOORD" source="#{gid}-map" offset="2" set="0"/>')
        out.append(f'          <p>{" ".join(str(int(i)) for i in flat)}</p>')
        out.append('        </triangles>')
    out.append('      </mesh>')
    out.append('    </geometry>')
    return [p.material for p in parts]


def _node(node, depth, geoms, out):
    pad = "  " * depth
    out.append(f'{pad}<node id="{node.name}" name="{node.name}" type="NODE">')
    if node.matrix is not None:
        out.append(f'{pad}  <matrix>{fmts(np.asarray(node.matrix).reshape(-1))}</matrix>')
    else:
        if node.translate is not None:
            out.append(f'{pad}  <translate>{fmts(node.translate)}</translate>')
        for r in node.rotate:
            out.append(f'{pad}  <rotate>{fmts(r)}</rotate>')
        if node.scale is not None:
            out.append(f'{pad}  <scale>{fmts(node.scale)}</scale>')
    if node.camera is not None:
        out.append(f'{pad}  <instance_camera url="#{node.camera.name}"/>')
    if node.name in geoms:
        gid, mats = geoms[node.name]
        out.append(f'{pad}  <instance_geometry url="#{gid}">')
        out.append(f'{pad}    <bind_material>')
        out.append(f'{pad}      <technique_common>')
        for m in mats:
            if m.texture:
                out.append(f'{pad}        <instance_material symbol="{m.name}" target="#{m.name}">')
                out.append(f'{pad}          <bind_vertex_input semantic="UVSET0" input_semantic="TEXCOORD" input_set="0"/>')
                out.append(f'{pad}        </instance_material>')
            else:
                out.append(f'{pad}        <instance_material symbol="{m.name}" target="#{m.name}"/>')
        out.append(f'{pad}      </technique_common>')
        out.append(f'{pad}    </bind_material>')
        out.append(f'{pad}  </instance_geometry>')
    if node.light is not None:
        out.append(f'{pad}  <instance_light url="#{node.light.name}"/>')
    for c in node.children:
        _node(c, depth + 1, geoms, out)
    out.append(f'{pad}</node>')


def to_dae(scene):
    """The document's text."""
    ids = _Ids()
    nodes = list(scene.walk())
    for n in nodes:
        ids.take(n.name, "node")
    cameras, lights, materials = [], [], []
    seen_mats = {}
    for n in nodes:
        if n.camera is not None:
            cameras.append(n.camera)
            ids.take(n.camera.name, "camera")
        if n.light is not None:
            lights.append(n.light)
            ids.take(n.light.name, "light")
        for m in n.meshes:
            prev = seen_mats.get(m.material.name)
            if prev is None:
                seen_mats[m.material.name] = m.material
                materials.append(m.material)
            elif prev is not m.material:
                raise ValueError(f"two different materials named {m.material.name!r}")
    for m in materials:
        ids.take(m.name, "material")
        ids.take(f"{m.name}-effect", "effect")
        if m.texture:
            ids.take(f"{m.name}-image", "image")
            if not _FILE.match(m.texture):
                raise ValueError(f"texture {m.texture!r}: give a lower-case base name "
                                 "(the file lies beside the model)")
    if not any(n.meshes for n in nodes):
        raise ValueError("a model needs at least one mesh")
    up = scene.up_axis
    if up not in ("X_UP", "Y_UP", "Z_UP"):
        raise ValueError(f"up axis {up!r}")

    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">',
           '  <asset>',
           '    <contributor><authoring_tool>Tin Lantern modelkit</authoring_tool></contributor>',
           f'    <created>{FIXED_DATE}</created>',
           f'    <modified>{FIXED_DATE}</modified>',
           '    <unit name="meter" meter="1"/>',
           f'    <up_axis>{up}</up_axis>',
           '  </asset>']
    if cameras:
        out.append('  <library_cameras>')
        for c in cameras:
            out.append(f'    <camera id="{c.name}" name="{c.name}">')
            out.append('      <optics><technique_common><perspective>')
            out.append(f'        <yfov>{fmt(c.yfov)}</yfov>')
            out.append(f'        <znear>{fmt(c.znear)}</znear>')
            out.append(f'        <zfar>{fmt(c.zfar)}</zfar>')
            out.append('      </perspective></technique_common></optics>')
            out.append('    </camera>')
        out.append('  </library_cameras>')
    if lights:
        out.append('  <library_lights>')
        for li in lights:
            out.append(f'    <light id="{li.name}" name="{li.name}">')
            out.append('      <technique_common><point>')
            out.append(f'        <color>{fmts(li.color)}</color>')
            out.append(f'        <constant_attenuation>{fmt(li.constant)}</constant_attenuation>')
            if li.linear:
                out.append(f'        <linear_attenuation>{fmt(li.linear)}</linear_attenuation>')
            if li.quadratic:
                out.append(f'        <quadratic_attenuation>{fmt(li.quadratic)}</quadratic_attenuation>')
            out.append('      </point></technique_common>')
            out.append('    </light>')
        out.append('  </library_lights>')
    textured = [m for m in materials if m.texture]
    if textured:
        out.append('  <library_images>')
        for m in textured:
            out.append(f'    <image id="{m.name}-image" name="{m.name}-image">'
                       f'<init_from>{m.texture}</init_from></image>')
        out.append('  </library_images>')
    out.append('  <library_effects>')
    for m in materials:
        _material_effect(m, out)
    out.append('  </library_effects>')
    out.append('  <library_materials>')
    for m in materials:
        out.append(f'    <material id="{m.name}" name="{m.name}">'
                   f'<instance_effect url="#{m.name}-effect"/></material>')
    out.append('  </library_materials>')
    out.append('  <library_geometries>')
    geoms = {}
    for n in nodes:
        if n.meshes:
            gid = ids.take(getattr(n, "geometry_id", None) or f"{n.name}-mesh", "geometry")
            geoms[n.name] = (gid, _geometry(n, gid, out))
    out.append('  </library_geometries>')
    out.append('  <library_visual_scenes>')
    ids.take("Scene", "visual scene")
    out.append('    <visual_scene id="Scene" name="Scene">')
    for n in scene.nodes:
        _node(n, 3, geoms, out)
    out.append('    </visual_scene>')
    out.append('  </library_visual_scenes>')
    out.append('  <scene><instance_visual_scene url="#Scene"/></scene>')
    out.append('</COLLADA>')
    return "\n".join(out) + "\n"


def schema_errors(data):
    """Messages of the COLLADA 1.4.1 schema check of a document's bytes."""
    import lxml.etree
    from collada.schema import ColladaValidator
    v = ColladaValidator()
    doc = lxml.etree.fromstring(data)
    if v.validate(doc):
        return []
    return [f"line {e.line}: {e.message}" for e in v.COLLADA_SCHEMA_1_4_1_INSTANCE.error_log]


def write_dae(scene, path, validate=True):
    """Write the scene; with validate, refuse to leave a file that fails the
    schema."""
    data = to_dae(scene).encode("utf-8")
    if validate:
        errors = schema_errors(data)
        if errors:
            raise ValueError(f"{path}: schema check failed:\n  " + "\n  ".join(errors[:10]))
    with open(path, "wb") as f:
        f.write(data)
    return len(data)
