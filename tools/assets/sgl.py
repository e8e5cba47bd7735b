#!/usr/bin/python3
"""Writer for the engine's SGL models (read by src/util/objects3d/model_sgl).

Layout, little-endian, no padding:

    int32 vertex count       above 0
    int32 vertex format      GL_V3F, GL_N3F_V3F or GL_T2F_N3F_V3F
    int32 primitive mode     a glDrawArrays mode, e.g. GL_TRIANGLES
    count x vertex           float32 in the format's order:
                               GL_V3F          x y z
                               GL_N3F_V3F      nx ny nz x y z
                               GL_T2F_N3F_V3F  s t nx ny nz x y z

    write_sgl(path, positions, normals=None, texcoords=None, mode=GL_TRIANGLES)

picks the format from what is given. The vertices are drawn unindexed, so
shared corners are repeated in the arrays.

    /usr/bin/python3 tools/assets/sgl.py --selftest OUT.sgl

writes a small textured triangle list to OUT.sgl and checks that it reads
back as written (the C++ unit test loads the same file).
"""
import argparse
import struct
import sys

import numpy as np

GL_V3F = 0x2A21
GL_N3F_V3F = 0x2A25
GL_T2F_N3F_V3F = 0x2A2B
GL_POINTS = 0
GL_LINES = 1
GL_TRIANGLES = 4
GL_TRIANGLE_STRIP = 5

# Floats per vertex of each format.
FLOATS = {GL_V3F: 3, GL_N3F_V3F: 6, GL_T2F_N3F_V3F: 8}


def _columns(name, array, count, width):
    a = np.asarray(array, dtype=np.float64).reshape(-1, width)
    if count is not None and len(a) != count:
        raise ValueError(f"{name}: {len(a)} rows, positions have {count}")
    if not np.all(np.isfinite(a)):
        raise ValueError(f"{name}: not every value is finite")
    return a


def pack_sgl(positions, normals=None, texcoords=None, mode=GL_TRIANGLES):
    """The file's bytes. Texture coordinates need normals (no T2F_V3F format)."""
    p = _columns("positions", positions, None, 3)
    if len(p) == 0:
        raise ValueError("an SGL model needs at least one vertex")
    if mode < 1:
        # The reader refuses a mode of 0, so GL_POINTS cannot be stored.
        raise ValueError("primitive mode must be above 0")
    parts = [p]
    fmt = GL_V3F
    if normals is not None:
        parts.insert(0, _columns("normals", normals, len(p), 3))
        fmt = GL_N3F_V3F
    if texcoords is not None:
        if normals is None:
            raise ValueError("texture coordinates need normals (GL_T2F_N3F_V3F)")
        parts.insert(0, _columns("texcoords", texcoords, len(p), 2))
        fmt = GL_T2F_N3F_V3F
    vertices = np.hstack(parts).astype("<f4")
    return struct.pack("<iii", len(p), fmt, mode) + vertices.tobytes()


def write_sgl(path, positions, normals=None, texcoords=None, mode=GL_TRIANGLES):
    data = pack_sgl(positions, normals, texcoords, mode)
    with open(path, "wb") as out:
        out.write(data)
    return len(data)


def read_sgl(data):
    """(format, mode, vertices as an (count, floats) float32 array) from the bytes."""
    if len(data) < 12:
        raise ValueError("shorter than the header")
    count, fmt, mode = struct.unpack_from("<iii", data, 0)
    if count <= 0 or mode <= 0 or fmt not in FLOATS:
        raise ValueError(f"bad header {count} {fmt:#x} {mode}")
    width = FLOATS[fmt]
    if len(data) - 12 < count * width * 4:
        raise ValueError("shorter than its vertex count says")
    v = np.frombuffer(data, dtype="<f4", count=count * width, offset=12).reshape(count, width)
    return fmt, mode, v


def selftest_mesh():
    """Two triangles spanning x -3..5, y 2..10, z 0..1, each corner with its
    own normal and texture coordinate so the column order is checkable."""
    positions = [(-3, 2, 0), (5, 2, 0), (5, 10, 1), (-3, 2, 0), (5, 10, 1), (-3, 10, 1)]
    normals = [(0, -0.125 * i, 1) for i in range(6)]
    texcoords = [(0.25 * i, 1 - 0.125 * i) for i in range(6)]
    return positions, normals, texcoords


def selftest(path):
    positions, normals, texcoords = selftest_mesh()
    write_sgl(path, positions, normals, texcoords, GL_TRIANGLES)
    with open(path, "rb") as f:
        data = f.read()
    assert data[:12] == bytes.fromhex("06000000" "2b2a0000" "04000000"), data[:12].hex()
    assert len(data) == 12 + 6 * 32
    fmt, mode, v = read_sgl(data)
    assert (fmt, mode) == (GL_T2F_N3F_V3F, GL_TRIANGLES)
    assert np.array_equal(v[:, 0:2], np.float32(texcoords))
    assert np.array_equal(v[:, 2:5], np.float32(normals))
    assert np.array_equal(v[:, 5:8], np.float32(positions))
    # The narrower formats keep the position last.
    _, _, v3 = read_sgl(pack_sgl(positions))
    assert v3.shape == (6, 3) and np.array_equal(v3, np.float32(positions))
    _, _, v6 = read_sgl(pack_sgl(positions, normals, mode=GL_TRIANGLE_STRIP))
    assert np.array_equal(v6[:, 3:6], np.float32(positions))
    for bad in (lambda: pack_sgl([]), lambda: pack_sgl(positions, texcoords=texcoords),
                lambda: pack_sgl(positions, normals[:5]), lambda: pack_sgl(positions, mode=0),
                lambda: pack_sgl([(0, 0, float("nan"))])):
        try:
            bad()
        except ValueError:
            continue
        raise AssertionError("a bad mesh was written")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--selftest", metavar="OUT.sgl", required=True,
                        help="write the test mesh there and check it reads back")
    args = parser.parse_args(argv)
    selftest(args.selftest)
    print(f"sgl.py: wrote and checked {args.selftest}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
