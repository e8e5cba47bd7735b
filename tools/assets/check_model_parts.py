#!/usr/bin/python3
"""Checks that every part the scenes find by name (src/scenes/model_parts.def)
is in its model as the program looks it up: a node of exactly that id, a
geometry of that id (the reader lower-cases geometry ids) or a material
whose lower-cased id or name contains it.

    check_model_parts.py [--root ROOT] [--table PATH]

Exit code 0 when every part is found, 1 with one line per missing part."""
import argparse
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import model_parts  # noqa: E402


def names_in(path):
    """The node ids, geometry ids and material names of a COLLADA file."""
    tree = ElementTree.parse(path)
    nodes, geometries, materials = set(), set(), []
    for element in tree.iter():
        tag = element.tag.rsplit("}", 1)[-1]
        if tag == "node" and element.get("id"):
            nodes.add(element.get("id"))
        elif tag == "geometry" and element.get("id"):
            geometries.add(element.get("id").lower())
        elif tag == "material":
            materials += [element.get(a, "").lower() for a in ("id", "name")]
    return nodes, geometries, materials


def missing_parts(root, table=model_parts.TABLE):
    files = {}
    parts = model_parts.read(table, files)
    errors = []
    for model, named in parts.items():
        path = os.path.join(root, files[model])
        if not os.path.exists(path):
            errors.append(f"{model}: {files[model]} is not there")
            continue
        nodes, geometries, materials = names_in(path)
        for part, name in named.items():
            found = (name in nodes or name.lower() in geometries
                     or any(name.lower() in m for m in materials))
            if not found:
                errors.append(f"{model}::{part}: no node, geometry or material \"{name}\" in {files[model]}")
    return errors


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--root", default=".")
    ap.add_argument("--table", default=model_parts.TABLE)
    args = ap.parse_args()
    errors = missing_parts(args.root, args.table)
    for e in errors:
        print("model parts:", e, file=sys.stderr)
    print("model parts:", "FAILED" if errors else "ok")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
