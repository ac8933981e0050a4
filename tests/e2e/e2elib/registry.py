"""A registry as both engines leave it, in one flat, comparable form, read
through ca-sim (e2elib.casim.registry), which reads regedit files and Wine's
hive files alike.

A registry is {key path: {value name: (type, data)}}, key paths relative to
HKEY_LOCAL_MACHINE. Both key paths and value names are compared without
case, as the registry does, so the dictionaries use lower-case keys and keep
the spelling in `names`. Data is always the value's exact bytes as an ANSI
caller (RegQueryValueExA) reads them, terminator and padding included: the
library stores some strings with padding after their terminating zero.
"""

REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 0, 1, 2, 3, 4, 7
STRING_TYPES = (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
TYPE_NAMES = {REG_NONE: "REG_NONE", REG_SZ: "REG_SZ", REG_EXPAND_SZ: "REG_EXPAND_SZ", REG_BINARY: "REG_BINARY",
              REG_DWORD: "REG_DWORD", REG_MULTI_SZ: "REG_MULTI_SZ"}
ANSI = "cp1252"


class Registry:
    def __init__(self):
        self.values = {}   # lower key path -> {lower value name: (type, data bytes)}
        self.names = {}    # lower key path or (lower key, lower value) -> spelling

    def key(self, path):
        low = path.lower()
        self.names.setdefault(low, path)
        return self.values.setdefault(low, {})

    def set(self, path, name, value):
        self.key(path)[name.lower()] = value
        self.names[(path.lower(), name.lower())] = name

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


def from_listing(listing):
    """A registry from `ca-sim registry FILE --json`."""
    reg = Registry()
    for key in listing["keys"]:
        reg.key(key["key"])
        for value in key["values"]:
            reg.set(key["key"], value["name"], (value["type"], bytes.fromhex(value["data"])))
    return reg


def show(value, codec=ANSI):
    """A value for a reader: strings as their text with the byte count, so that
    padding after the terminator is visible without hundreds of \\x00."""
    kind, data = value
    name = TYPE_NAMES.get(kind, f"type {kind}")
    if kind in STRING_TYPES:
        text, nul, tail = data.partition(b"\0")
        shown = repr(text.decode(codec, errors="backslashreplace"))
        if not nul:
            return f"{name} {shown} ({len(data)} bytes, no terminating zero)"
        if tail.strip(b"\0"):
            return f"{name} {shown} ({len(data)} bytes: {data!r})"
        return f"{name} {shown} ({len(data)} bytes)"
    if kind == REG_DWORD and len(data) == 4:
        return f"REG_DWORD {int.from_bytes(data, 'little'):#010x}"
    return f"{name} {data.hex(',')} ({len(data)} bytes)"
