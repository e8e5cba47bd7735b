"""The show's timeline, read from the table the program itself includes
(src/timeline.def): one Slot a scene, in drawing order."""
import os
import re
from collections import namedtuple

Slot = namedtuple("Slot", "scene start end fade_in fade_out")

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "timeline.def")

_ROW = re.compile(r"^SLOT\(\s*(\w+)\s*,\s*([-\d.]+)\s*,\s*([-\d.]+)\s*,\s*([\d.]+)\s*,\s*([\d.]+)\s*\)\s*$")


def _number(text):
    value = float(text)
    return int(value) if value.is_integer() else value


def read(path=TABLE):
    """Every row of the table; a line that is neither a comment, blank nor a
    well-formed row is an error."""
    slots = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("//"):
                continue
            m = _ROW.match(line)
            if not m:
                raise ValueError(f"{path}:{number}: not a SLOT(...) row: {line}")
            slots.append(Slot(m.group(1), *(_number(g) for g in m.groups()[1:])))
    if not slots:
        raise ValueError(f"{path}: no slots")
    return slots


def slot(name, slots=None):
    """The row of one scene."""
    for s in slots or read():
        if s.scene == name:
            return s
    raise KeyError(name)
