"""The names of the models' parts that the scenes find, read from the table
the program itself includes (src/scenes/model_parts.def):
model_parts.name("Robot", "Skull") is "Skull"."""
import os
import re

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "scenes",
                     "model_parts.def")

_ROW = re.compile(r'^PART\(\s*(\w+)\s*,\s*(\w+)\s*,\s*"([^"]+)"\s*\)\s*$')
# The comment above a model's rows names its file: "// data/clown/gyngehest.dae".
_FILE = re.compile(r"^//\s*(data/\S.*\.dae)\s*$")


def read(path=TABLE, files=None):
    """{model: {part: name}}; a line that is neither a comment, blank nor a
    well-formed row is an error. With `files` (a dict) each model's file,
    from the comment above its rows, goes there."""
    parts = {}
    current_file = None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line:
                continue
            if line.startswith("//"):
                m = _FILE.match(line)
                if m:
                    current_file = m.group(1)
                continue
            m = _ROW.match(line)
            if not m:
                raise ValueError(f"{path}:{number}: not a PART(...) row: {line}")
            parts.setdefault(m.group(1), {})[m.group(2)] = m.group(3)
            if files is not None:
                if current_file is None:
                    raise ValueError(f"{path}:{number}: no model file named above this row")
                files.setdefault(m.group(1), current_file)
    return parts


_parts = None


def name(model, part):
    """The name in the model's file of one part the scenes use."""
    global _parts
    if _parts is None:
        _parts = read()
    return _parts[model][part]
