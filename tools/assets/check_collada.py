#!/usr/bin/python3
"""Checks COLLADA files for the engine.

    /usr/bin/python3 tools/assets/check_collada.py FILE.dae ...
    /usr/bin/python3 tools/assets/check_collada.py --sample OUTDIR

Each file must pass the COLLADA 1.4.1 schema (pycollada's validator), open
in assimp (`assimp info`) and keep to what the engine's reader takes:
triangles with VERTEX/NORMAL/TEXCOORD inputs, accessor strides of 2 or 3
that divide their arrays, indices inside their arrays, single-space number
lists, bound materials and textures that resolve, lower-case texture files
present beside the model.

--sample builds a model that uses every feature of the writer (all
primitives in a node hierarchy with translate/rotate/scale and a matrix,
a plain, a transparent and a textured material, two materials in one
geometry, a camera and a point light), writes it twice to check that the
bytes repeat, checks the primitives' normals against their winding and
checks the file. Exit status 1 with the reasons on any failure.
"""
import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402

import collada_writer  # noqa: E402
import modelkit as mk  # noqa: E402

NS = "{http://www.collada.org/2005/11/COLLADASchema}"
_NUMBERS = re.compile(r"^\S+( \S+)*$")


def _tag(e):
    return e.tag[len(NS):] if isinstance(e.tag, str) and e.tag.startswith(NS) else e.tag


def _kids(e, name=None):
    return [c for c in e if isinstance(c.tag, str) and (name is None or _tag(c) == name)]


def _one(e, *path):
    for name in path:
        if e is None:
            return None
        found = _kids(e, name)
        e = found[0] if found else None
    return e


def subset_errors(doc, directory):
    """What the engine's reader would refuse or misread."""
    errs = []
    root = doc.getroot() if hasattr(doc, "getroot") else doc
    for lib in ("library_geometries", "library_visual_scenes"):
        if _one(root, lib) is None:
            errs.append(f"no {lib}")
    for e in root.iter(NS + "float_array", NS + "p"):
        if e.text and not _NUMBERS.match(e.text):
            errs.append(f"line {e.sourceline}: {_tag(e)} not single-space separated")
    images = {}
    for im in root.iter(NS + "image"):
        f = (_one(im, "init_from").text or "").strip()
        images[im.get("id", "").lower()] = f
        base = re.split(r"[/\\]", f)[-1]
        if base != base.lower():
            errs.append(f"image {im.get('id')}: {f} is read lower-cased")
        elif not os.path.isfile(os.path.join(directory, base)):
            errs.append(f"image {im.get('id')}: {base} not beside the model")
    materials = {m.get("id", "").lower() for m in root.iter(NS + "material")}
    for eff in root.iter(NS + "effect"):
        prof = _kids(eff)[0] if _kids(eff) else None
        shade = _kids(_one(prof, "technique"))[0] if _one(prof, "technique") is not None else None
        if shade is None:
            errs.append(f"effect {eff.get('id')}: no shading element")
            continue
        for par in ("emission", "ambient", "diffuse", "specular"):
            pe = _one(shade, par)
            if pe is None:
                errs.append(f"effect {eff.get('id')}: no {par} (read as white)")
                continue
            kind = _tag(_kids(pe)[0]).lower() if _kids(pe) else ""
            if kind == "texture":
                params = {n.get("sid", "").lower(): n for n in _kids(prof, "newparam")}
                samp = params.get(_kids(pe)[0].get("texture", "").lower())
                surf = params.get((_one(samp[0], "source").text or "").lower()) \
                    if samp is not None and len(samp) else None
                img = (_one(surf[0], "init_from").text or "").lower() \
                    if surf is not None and len(surf) else None
                if img not in images:
                    errs.append(f"effect {eff.get('id')}: {par} texture does not resolve")
            elif kind != "color":
                errs.append(f"effect {eff.get('id')}: {par} is neither color nor texture")
    for geo in root.iter(NS + "geometry"):
        mesh = _kids(geo)[0]
        sources = {}
        for s in _kids(mesh, "source"):
            arr = _one(s, "float_array")
            acc = _one(s, "technique_common", "accessor")
            n = len(arr.text.split(" ")) if arr is not None and arr.text else 0
            stride = int(acc.get("stride", "1")) if acc is not None else 0
            if stride not in (2, 3) or n % stride:
                errs.append(f"source {s.get('id')}: stride {stride} for {n} floats")
                stride = max(stride, 1)
            sources[s.get("id", "").lower()] = n // stride
        vin = _one(mesh, "vertices", "input")
        if vin is None or vin.get("semantic") != "POSITION":
            errs.append(f"geometry {geo.get('id')}: vertices without a POSITION input")
            continue
        vname = _one(mesh, "vertices").get("id", "").lower()
        sources[vname] = sources.get(vin.get("source", "")[1:].lower(), 0)
        for tag in ("polylist", "polygons", "lines", "linestrips", "trifans", "tristrips"):
            if _kids(mesh, tag):
                errs.append(f"geometry {geo.get('id')}: {tag} is not read")
        for tri in _kids(mesh, "triangles"):
            inputs = _kids(tri, "input")
            width = max(int(i.get("offset", "0")) for i in inputs) + 1
            idx = np.array([int(v) for v in (_one(tri, "p").text or "").split(" ")])
            if len(idx) != 3 * int(tri.get("count")) * width:
                errs.append(f"geometry {geo.get('id')}: p length does not match count")
            for i in inputs:
                sem = i.get("semantic")
                if sem not in ("VERTEX", "NORMAL", "TEXCOORD"):
                    errs.append(f"geometry {geo.get('id')}: input {sem} is not read")
                    continue
                col = idx[int(i.get("offset", "0"))::width]
                limit = sources.get(i.get("source", "")[1:].lower(), 0)
                if len(col) and (col.min() < 0 or col.max() >= limit):
                    errs.append(f"geometry {geo.get('id')}: {sem} index beyond its source")
            sym = tri.get("material", "").lower()
            bound = None
            for ig in root.iter(NS + "instance_geometry"):
                if ig.get("url", "")[1:].lower() != geo.get("id", "").lower():
                    continue
                for im in ig.iter(NS + "instance_material"):
                    if im.get("symbol", "").lower() == sym:
                        bound = im.get("target", "")[1:].lower()
                if bound not in materials and (bound or "") + "-material" not in materials:
                    errs.append(f"geometry {geo.get('id')}: material {sym} not bound")
    for kind in ("camera", "light", "geometry"):
        ids = {e.get("id", "").lower() for e in root.iter(NS + kind)}
        for inst in root.iter(NS + "instance_" + kind):
            if inst.get("url", "")[1:].lower() not in ids:
                errs.append(f"instance_{kind} {inst.get('url')} has no target")
    for node in root.iter(NS + "node"):
        if not node.get("id"):
            errs.append(f"line {node.sourceline}: node without id")
    return errs


def check(path):
    """Reasons the file is unfit; empty when it is fine."""
    import lxml.etree
    errs = []
    try:
        with open(path, "rb") as f:
            data = f.read()
        doc = lxml.etree.fromstring(data)
    except (OSError, lxml.etree.XMLSyntaxError) as e:
        return [f"cannot read: {e}"]
    errs += ["schema: " + e for e in collada_writer.schema_errors(data)]
    errs += ["reader: " + e for e in subset_errors(doc, os.path.dirname(os.path.abspath(path)))]
    try:
        r = subprocess.run(["assimp", "info", path], capture_output=True, text=True,
                           timeout=120)
        if r.returncode != 0 or "Meshes:" not in r.stdout:
            tail = (r.stdout + r.stderr).strip().splitlines()[-5:]
            errs.append(f"assimp info: exit {r.returncode}: " + " | ".join(tail))
    except (OSError, subprocess.TimeoutExpired) as e:
        errs.append(f"assimp info: {e}")
    return errs


# ---------------------------------------------------------------- sample

def winding_errors(name, mesh):
    """Faces whose winding disagrees with their vertex normals, non-unit
    normals, UVs that are not finite."""
    errs = []
    p, n, f = mesh.positions, mesh.normals, mesh.faces
    geo = np.cross(p[f[:, 1]] - p[f[:, 0]], p[f[:, 2]] - p[f[:, 0]])
    area = np.linalg.norm(geo, axis=1)
    if np.any(area < 1e-12):
        errs.append(f"{name}: {int(np.sum(area < 1e-12))} degenerate triangles")
    dots = np.einsum("ij,ij->i", geo, n[f].sum(axis=1))
    if np.any(dots <= 0):
        errs.append(f"{name}: {int(np.sum(dots <= 0))} triangles wound against their normals")
    if not np.allclose(np.linalg.norm(n, axis=1), 1.0, atol=1e-6):
        errs.append(f"{name}: normals not of unit length")
    if not np.all(np.isfinite(mesh.uvs)):
        errs.append(f"{name}: UVs not finite")
    return errs


def closed_errors(name, mesh):
    """A closed solid's signed volume must be positive (outward winding)."""
    p, f = mesh.positions, mesh.faces
    vol = np.einsum("ij,ij->i", p[f[:, 0]], np.cross(p[f[:, 1]], p[f[:, 2]])).sum() / 6
    return [] if vol > 0 else [f"{name}: volume {vol:.4f} not positive"]


def sample_scene():
    steel = mk.Material("steel", diffuse=(0.55, 0.57, 0.6), specular=(0.9, 0.9, 0.9),
                        shininess=60)
    glass = mk.Material("glass", diffuse=(0.7, 0.85, 1.0, 0.4))
    wood = mk.Material("wood", texture="sample_wood.png")
    star = [(np.cos(np.pi * k / 5 + np.pi / 2) * (1.0 if k % 2 == 0 else 0.45),
             np.sin(np.pi * k / 5 + np.pi / 2) * (1.0 if k % 2 == 0 else 0.45))
            for k in range(10)]
    parts = {
        "box": mk.box(2.0, 1.0, 0.5, wood),
        "cylinder": mk.cylinder(0.3, 1.2, 16, steel),
        "cone": mk.cone(0.4, 0.8, 16, steel),
        "frustum": mk.cone(0.4, 0.5, 16, steel, top_radius=0.2),
        "sphere": mk.sphere(0.35, 16, 8, glass),
        "torus": mk.torus(0.6, 0.12, 24, 10, steel),
        "star": mk.extrude(star, 0.2, wood),
        "rod": mk.extrude(mk.circle(0.1, 12), 1.0, steel),
        "vase": mk.lathe([(0, 0), (0.3, 0), (0.4, 0.3), (0.25, 0.7), (0.3, 0.9),
                          (0, 0.9)], 20, steel),
    }
    mirrored = parts["cone"].scaled(-1, 1, 1)
    cart = mk.Node("Cart", meshes=[parts["box"], parts["rod"].rotated(1, 0, 0, 90)],
                   translate=(0, 0, 0.5), rotate=[(0, 0, 1, 30)])
    for i, x in enumerate((-0.7, 0.7)):
        cart.add(mk.Node(f"Wheel_{i + 1:03d}", meshes=[parts["torus"]],
                         translate=(x, 0.55, 0), rotate=(1, 0, 0, 90), scale=0.5))
    cart.add(mk.Node("Chimney", meshes=[mk.merge([parts["cylinder"],
                                                  parts["cone"].translated(0, 0, 1.2)])],
                     translate=(0.6, 0, 0.25)))
    cart.add(mk.Node("Lamp", meshes=[parts["sphere"], parts["frustum"]],
                     translate=(-0.8, 0, 0.5)))
    cart.add(mk.Node("Mirror", meshes=[mirrored], scale=(-1, 1, 1),
                     translate=(0, -0.6, 0.3)))
    deco = mk.Node("Deco", meshes=[parts["star"], parts["vase"].translated(1.5, 0, 0)],
                   matrix=mk.translation(0, 2, 0) @ mk.rotation(0, 0, 1, 45) @ mk.scaling(0.8))
    cam = mk.Node("Camera", matrix=mk.look_at((6, -5, 4), (0, 0, 0.5)),
                  camera=mk.Camera("maincam", yfov=40, znear=0.1, zfar=100))
    light = mk.Node("LampLight", translate=(3, -2, 5),
                    light=mk.PointLight("keylight", color=(1, 0.95, 0.8), linear=0.05))
    return mk.Scene([cart, deco, cam, light]), parts


def write_sample(outdir):
    os.makedirs(outdir, exist_ok=True)
    from PIL import Image
    px = np.zeros((64, 64, 3), dtype=np.uint8)
    yy, xx = np.mgrid[0:64, 0:64]
    px[..., 0] = 120 + 60 * ((xx // 8 + yy // 8) % 2)
    px[..., 1] = 80 + (yy * 2 % 40)
    px[..., 2] = 40
    Image.fromarray(px, "RGB").save(os.path.join(outdir, "sample_wood.png"))
    scene, parts = sample_scene()
    path = os.path.join(outdir, "sample.dae")
    collada_writer.write_dae(scene, path)
    return path, scene, parts


def run_sample(outdir):
    errs = []
    path, scene, parts = write_sample(outdir)
    for name, m in parts.items():
        errs += winding_errors(name, m)
        errs += closed_errors(name, m)
    errs += winding_errors("mirrored cone", parts["cone"].scaled(-1, 1, 1))
    with open(path, "rb") as f:
        first = f.read()
    if collada_writer.to_dae(sample_scene()[0]).encode() != first:
        errs.append("second write differs from the first")
    errs += check(path)
    return path, len(first), errs


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("files", nargs="*")
    ap.add_argument("--sample", metavar="OUTDIR",
                    help="build, write and check the sample model in OUTDIR")
    a = ap.parse_args(argv)
    if not a.files and not a.sample:
        ap.error("give files or --sample OUTDIR")
    failed = False
    if a.sample:
        path, size, errs = run_sample(a.sample)
        for e in errs:
            print(f"{path}: {e}", file=sys.stderr)
        failed |= bool(errs)
        if not errs:
            print(f"{path}: ok ({size} bytes)")
    for f in a.files:
        errs = check(f)
        for e in errs:
            print(f"{f}: {e}", file=sys.stderr)
        failed |= bool(errs)
        if not errs:
            print(f"{f}: ok")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
