"""The names of the models' parts that the scenes find, read from the table
the program itself includes (src/scenes/model_parts.def):
model_parts.name("Robot", "Skull") is "Skull"."""
import os
import re

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "scenes",
                     "model_parts.def")

_ROW = re.compile(r'^PART\(\s*(\w+)\s*,\s*(\w+)\s*,\s*"([^"]+)"\s*\)\s*$')


def read(path=TABLE):
    """{model: {part: name}}; a line that is neither a comment, blank nor a
    well-formed row is an error."""
    parts = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("//"):
                continue
            m = _ROW.match(line)
            if not m:
                raise ValueError(f"{path}:{number}: not a PART(...) row: {line}")
            parts.setdefault(m.group(1), {})[m.group(2)] = m.group(3)
    return parts


_parts = None


def name(model, part):
    """The name in the model's file of one part the scenes use."""
    global _parts
    if _parts is None:
        _parts = read()
    return _parts[model][part]
