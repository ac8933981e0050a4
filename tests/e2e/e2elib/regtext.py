"""regedit text files ("Windows Registry Editor Version 5.00" or "REGEDIT4"):
decoding, and reading into a flat, comparable form.

A registry is read as {key path: {value name: (type, data)}}, key paths
relative to HKEY_LOCAL_MACHINE. Both key paths and value names are compared
without case, as the registry does, so the dictionaries use lower-case keys
and keep the spelling in `names`. String types (REG_SZ, REG_EXPAND_SZ) carry
their text without the terminating zero; everything else carries bytes.
"""
import codecs

HKLM = "HKEY_LOCAL_MACHINE"
REG_SZ, REG_EXPAND_SZ, REG_DWORD = 1, 2, 4


def decode(raw):
    if raw.startswith(codecs.BOM_UTF16_LE):
        return raw[2:].decode("utf-16-le")
    if raw.startswith(codecs.BOM_UTF8):
        return raw[3:].decode("utf-8")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp1252")


def for_wine(raw):
    """Wine's regedit reads version 5 files as UTF-16, REGEDIT4 as ANSI."""
    text = decode(raw)
    if text.lstrip().startswith("Windows Registry Editor Version 5.00"):
        return codecs.BOM_UTF16_LE + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le")
    return raw


def _logical_lines(text):
    # Only hex data is split over lines, each part ending in a backslash.
    pending = ""
    for line in text.splitlines():
        line = pending + (line.strip() if pending else line.rstrip())
        pending = ""
        if line.endswith("\\") and "=hex" in line:
            pending = line[:-1]
            continue
        yield line
    if pending:
        yield pending


def _quoted(text, start):
    """The string that starts after the quote at text[start]; returns (value, index after closing quote)."""
    out = []
    i = start + 1
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(nxt, nxt))
            i += 2
            continue
        if c == '"':
            return "".join(out), i + 1
        out.append(c)
        i += 1
    raise ValueError(f"unterminated string: {text!r}")


def _data(text):
    if text.startswith('"'):
        value, end = _quoted(text, 0)
        return REG_SZ, value
    if text.startswith("dword:"):
        return REG_DWORD, int(text[6:], 16).to_bytes(4, "little")
    if text.startswith("hex"):
        head, _, body = text.partition(":")
        kind = 3 if head == "hex" else int(head[4:-1], 16)
        data = bytes(int(b, 16) for b in body.replace(" ", "").split(",") if b)
        if kind in (REG_SZ, REG_EXPAND_SZ):
            # Version 5 files hold these as UTF-16.
            value = data.decode("utf-16-le", errors="replace")
            return kind, value[:-1] if value.endswith("\0") else value
        return kind, data
    raise ValueError(f"unknown value data: {text!r}")


class Registry:
    def __init__(self):
        self.values = {}   # lower key path -> {lower value name: (type, data)}
        self.names = {}    # lower key path or (lower key, lower value) -> spelling

    def key(self, path):
        low = path.lower()
        self.names.setdefault(low, path)
        return self.values.setdefault(low, {})

    def under(self, *prefixes):
        """The values of every key at or below one of the prefixes, flattened to
        {(key, value name): (type, data)} with lower-case names."""
        wanted = [p.lower() for p in prefixes]
        flat = {}
        for key, values in self.values.items():
            if any(key == p or key.startswith(p + "\\") for p in wanted):
                for name, value in values.items():
                    flat[(key, name)] = value
        return flat

    def spelling(self, key, name):
        return self.names.get(key, key), self.names.get((key, name), name)


def parse(text, registry=None):
    reg = registry if registry is not None else Registry()
    lines = iter(_logical_lines(text))
    header = next(lines, "").lstrip("\ufeff").strip()
    if header not in ("Windows Registry Editor Version 5.00", "REGEDIT4"):
        raise ValueError(f"not a regedit file: {header!r}")
    current = None
    current_path = None
    for line in lines:
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("["):
            path = line[1:line.rindex("]")]
            delete = path.startswith("-")
            path = path.lstrip("-")
            root, _, rest = path.partition("\\")
            if root.upper() not in (HKLM, "HKLM"):
                current = None
                continue
            if delete:
                low = rest.lower()
                for k in [k for k in reg.values if k == low or k.startswith(low + "\\")]:
                    del reg.values[k]
                current = None
                continue
            current = reg.key(rest)
            current_path = rest.lower()
            continue
        if current is None:
            continue
        if line.startswith("@"):
            name, rest = "", line[1:].lstrip()
        else:
            name, end = _quoted(line, 0)
            rest = line[end:].lstrip()
        if not rest.startswith("="):
            raise ValueError(f"bad value line: {line!r}")
        rest = rest[1:].strip()
        low = name.lower()
        if rest == "-":
            current.pop(low, None)
            continue
        current[low] = _data(rest)
        reg.names[(current_path, low)] = name
    return reg


def parse_file(path, registry=None):
    with open(path, "rb") as f:
        return parse(decode(f.read()), registry)


def show(value):
    kind, data = value
    if isinstance(data, str):
        return f"{'REG_SZ' if kind == REG_SZ else f'type {kind}'} {data!r}"
    if kind == REG_DWORD and len(data) == 4:
        return f"REG_DWORD {int.from_bytes(data, 'little'):#010x}"
    return f"type {kind} {data.hex(',')}"
