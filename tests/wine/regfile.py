"""Reads Wine's registry exports (REGEDIT5, UTF-16) into keys and values as
the installer sees them through the "A" functions: text values as ANSI
(code page 1252) bytes with their terminating zero, other values as stored.
"""

from dataclasses import dataclass, field

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4
REG_MULTI_SZ = 7
TEXT_TYPES = (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
TYPE_NAMES = {REG_SZ: "REG_SZ", REG_EXPAND_SZ: "REG_EXPAND_SZ",
              REG_BINARY: "REG_BINARY", REG_DWORD: "REG_DWORD",
              REG_MULTI_SZ: "REG_MULTI_SZ"}
ROOT = "HKEY_LOCAL_MACHINE\\"


@dataclass
class Value:
    name: str       # "" is the key's unnamed value
    type: int
    data: bytes     # as RegQueryValueExA returns it


@dataclass
class Key:
    path: str       # below HKEY_LOCAL_MACHINE, as exported
    values: dict = field(default_factory=dict)  # lower-case name -> Value


def ansi(text):
    return text.encode("cp1252", "replace")


def _unescape(text, start):
    """Reads a quoted string beginning after the opening quote at `start`;
    returns the text and the index after the closing quote."""
    out = []
    i = start
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(nxt, nxt))
            i += 2
        elif c == '"':
            return "".join(out), i + 1
        else:
            out.append(c)
            i += 1
    raise ValueError("unterminated string in registry export")


def _value_data(kind, unicode_file):
    """Type and A-view bytes of the text after '='. A REGEDIT5 export holds
    text values in hex as UTF-16, a REGEDIT4 file as ANSI bytes."""
    if kind.startswith('"'):
        text, _ = _unescape(kind, 1)
        return REG_SZ, ansi(text) + b"\0"
    if kind.startswith("dword:"):
        return REG_DWORD, int(kind[6:14], 16).to_bytes(4, "little")
    if kind.startswith("hex"):
        head, _, body = kind.partition(":")
        value_type = REG_BINARY if head == "hex" else int(head[4:-1], 16)
        raw = bytes(int(b, 16) for b in body.replace(" ", "").split(",") if b)
        if value_type in TEXT_TYPES and unicode_file:
            # Wine keeps text values in UTF-16; the A functions convert them.
            raw = ansi(raw.decode("utf-16-le", "replace"))
        return value_type, raw
    raise ValueError("unknown value format: " + kind[:40])


def parse_export(blob):
    """Parses a .reg export; returns {lower-case key path: Key} for the keys
    below HKEY_LOCAL_MACHINE."""
    unicode_file = blob.startswith(b"\xff\xfe")
    if unicode_file:
        text = blob[2:].decode("utf-16-le")
    else:
        text = blob.decode("cp1252")
    # Join continued hex lines.
    lines = []
    for raw in text.replace("\r\n", "\n").split("\n"):
        if lines and lines[-1].endswith("\\") and not lines[-1].startswith("["):
            lines[-1] = lines[-1][:-1] + raw.strip()
        else:
            lines.append(raw)
    keys = {}
    current = None
    for line in lines:
        if not line or line.startswith(("Windows Registry", "REGEDIT", ";")):
            continue
        if line.startswith("[") and line.endswith("]"):
            path = line[1:-1]
            if path.upper().startswith(ROOT):
                path = path[len(ROOT):]
            current = keys.setdefault(path.lower(), Key(path))
            continue
        if current is None:
            continue
        if line.startswith("@="):
            name, rest = "", line[2:]
        elif line.startswith('"'):
            name, after = _unescape(line, 1)
            rest = line[after + 1:]  # skip '='
        else:
            continue
        value_type, data = _value_data(rest, unicode_file)
        current.values[name.lower()] = Value(name, value_type, data)
    return keys


def _escape(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def describe(value):
    """One line for a value, as it would stand in a REGEDIT4 file (text with
    control bytes in hex, as the simulator exports it, so that the line
    reads back)."""
    name = "@" if value.name == "" else '"%s"' % _escape(value.name)
    if value.type == REG_SZ and value.data.endswith(b"\0") \
            and not any(b < 0x20 or b == 0x7F for b in value.data[:-1]):
        text = value.data[:-1].decode("cp1252", "replace")
        return '%s="%s"' % (name, _escape(text))
    if value.type == REG_DWORD and len(value.data) == 4:
        return "%s=dword:%08x" % (name, int.from_bytes(value.data, "little"))
    prefix = "hex" if value.type == REG_BINARY else "hex(%x)" % value.type
    return "%s=%s:%s" % (name, prefix, ",".join("%02x" % b for b in value.data))


def render(keys):
    """The keys as REGEDIT4 text lines (values as the A functions read
    them), sorted, for diffs."""
    out = []
    for path in sorted(keys):
        key = keys[path]
        out.append("[%s%s]" % (ROOT, key.path))
        for name in sorted(key.values):
            out.append(describe(key.values[name]))
        out.append("")
    return out


def regedit4(keys):
    """The keys as a REGEDIT4 file (code page 1252 bytes)."""
    return ("REGEDIT4\n\n" + "\n".join(render(keys)) + "\n").encode("cp1252", "replace")
