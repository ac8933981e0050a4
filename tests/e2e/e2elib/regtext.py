"""Registry text: regedit files ("Windows Registry Editor Version 5.00" or
"REGEDIT4") and Wine's own hive files (system.reg), read into one flat,
comparable form.

A registry is read as {key path: {value name: (type, data)}}, key paths
relative to HKEY_LOCAL_MACHINE. Both key paths and value names are compared
without case, as the registry does, so the dictionaries use lower-case keys
and keep the spelling in `names`.

Data is always the value's exact bytes as an ANSI caller (RegQueryValueExA)
would see them, in the machine's code page (`codec`, Windows-1252 unless the
scenario names another). The library stores some strings with padding after their
terminating zero, so string data keeps every character, terminator and
padding included: a quoted "text" stands for text plus its zero.
"""
import codecs

HKLM = "HKEY_LOCAL_MACHINE"
REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 0, 1, 2, 3, 4, 7
STRING_TYPES = (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
TYPE_NAMES = {REG_NONE: "REG_NONE", REG_SZ: "REG_SZ", REG_EXPAND_SZ: "REG_EXPAND_SZ", REG_BINARY: "REG_BINARY",
              REG_DWORD: "REG_DWORD", REG_MULTI_SZ: "REG_MULTI_SZ"}
ANSI = "cp1252"


def decode(raw, codec=ANSI):
    if raw.startswith(codecs.BOM_UTF16_LE):
        return raw[2:].decode("utf-16-le")
    if raw.startswith(codecs.BOM_UTF8):
        return raw[3:].decode("utf-8")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode(codec)


def for_wine(raw, codec=ANSI):
    """Wine's regedit reads version 5 files as UTF-16, REGEDIT4 as ANSI."""
    text = decode(raw, codec)
    if text.lstrip().startswith("Windows Registry Editor Version 5.00"):
        return codecs.BOM_UTF16_LE + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le")
    return raw


def ansi(text, codec=ANSI):
    return text.encode(codec, errors="backslashreplace")


def _wide_to_ansi(data, codec):
    """String data stored as UTF-16 (version 5 files, Wine's hives) as an ANSI caller reads it."""
    if len(data) % 2:
        return data
    return ansi(data.decode("utf-16-le", errors="replace"), codec)


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


# ---- regedit files ---------------------------------------------------------

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
    """The regedit string that starts after the quote at text[start]; returns (value, index after closing quote)."""
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


def _hex_bytes(body):
    return bytes(int(b, 16) for b in body.replace(" ", "").replace("\\", "").split(",") if b)


def _dword_or_hex(text, wide, codec):
    """dword:... or hex(N):... data; string types in hex are UTF-16 when `wide`."""
    if text.startswith("dword:"):
        return REG_DWORD, int(text[6:], 16).to_bytes(4, "little")
    if text.startswith("hex"):
        head, _, body = text.partition(":")
        kind = REG_BINARY if head == "hex" else int(head[4:-1], 16)
        data = _hex_bytes(body)
        return kind, _wide_to_ansi(data, codec) if kind in STRING_TYPES and wide else data
    raise ValueError(f"unknown value data: {text[:60]!r}")


def _data(text, wide, codec):
    if text.startswith('"'):
        value, _ = _quoted(text, 0)
        return REG_SZ, ansi(value + "\0", codec)
    return _dword_or_hex(text, wide, codec)


def parse(text, registry=None, codec=ANSI):
    reg = registry if registry is not None else Registry()
    lines = iter(_logical_lines(text))
    header = next(lines, "").lstrip("\ufeff").strip()
    if header not in ("Windows Registry Editor Version 5.00", "REGEDIT4"):
        raise ValueError(f"not a regedit file: {header!r}")
    wide = header != "REGEDIT4"   # version 5 files hold string data as UTF-16
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
            current_path = None
            if root.upper() not in (HKLM, "HKLM"):
                continue
            if delete:
                low = rest.lower()
                for k in [k for k in reg.values if k == low or k.startswith(low + "\\")]:
                    del reg.values[k]
                continue
            reg.key(rest)
            current_path = rest
            continue
        if current_path is None:
            continue
        if line.startswith("@"):
            name, rest = "", line[1:].lstrip()
        else:
            name, end = _quoted(line, 0)
            rest = line[end:].lstrip()
        if not rest.startswith("="):
            raise ValueError(f"bad value line: {line!r}")
        rest = rest[1:].strip()
        if rest == "-":
            reg.key(current_path).pop(name.lower(), None)
            continue
        reg.set(current_path, name, _data(rest, wide, codec))
    return reg


def parse_file(path, registry=None, codec=ANSI):
    with open(path, "rb") as f:
        return parse(decode(f.read(), codec), registry, codec)


# ---- Wine's hive files -----------------------------------------------------
#
# WINE REGISTRY Version 2, keys relative to the hive's root:
#   [Software\\Kestrane\\Orvella] 1796565931
#   #time=1dd858b2e31f2a4
#   "name"="C:\\PTC\\creo1\0\0..."   REG_SZ, terminating zero implied
#   "name"=str(2):"..."               another string type
#   "name"=dword:00000001
#   "name"=hex(1):43,00,...,\         raw data, continued on "  " lines
# Strings are UTF-16 text with C-style escapes: \a \b \t \n \v \f \r \e,
# octal \0 to \377, \xHHHH for characters above 127, and \\ \" \[ \].

_WINE_ESCAPES = {"a": "\a", "b": "\b", "t": "\t", "n": "\n", "v": "\v", "f": "\f", "r": "\r", "e": "\x1b"}


def _wine_string(text, start, stop):
    """Unescapes text[start:] up to the unescaped character `stop`; returns (string, index after it)."""
    out = []
    i = start
    while i < len(text):
        c = text[i]
        if c == stop:
            return "".join(out), i + 1
        if c != "\\" or i + 1 >= len(text):
            out.append(c)
            i += 1
            continue
        nxt = text[i + 1]
        i += 2
        if nxt in _WINE_ESCAPES:
            out.append(_WINE_ESCAPES[nxt])
        elif nxt in "01234567":
            j = i - 1
            while i < len(text) and i - j < 3 and text[i] in "01234567":
                i += 1
            out.append(chr(int(text[j:i], 8)))
        elif nxt == "x":
            j = i
            while i < len(text) and i - j < 4 and text[i] in "0123456789abcdefABCDEF":
                i += 1
            out.append(chr(int(text[j:i], 16)) if i > j else "x")
        else:
            out.append(nxt)
    raise ValueError(f"unterminated string: {text[start - 1:]!r}")


def _wine_data(text, codec):
    kind = REG_SZ
    if text.startswith("str("):
        head, _, text = text.partition(":")
        kind = int(head[4:-1], 16)
    if text.startswith('"'):
        value, _ = _wine_string(text, 1, '"')
        return kind, ansi(value + "\0", codec)
    return _dword_or_hex(text, True, codec)


def _wine_lines(text):
    # Hex data goes on over lines that start with two blanks, the line before
    # ending in a backslash; nothing else is continued.
    logical = None
    for line in text.splitlines():
        if line.startswith("  ") and logical is not None and logical.endswith("\\"):
            logical = logical[:-1] + line.strip()
            continue
        if logical is not None:
            yield logical
        logical = line.rstrip("\r\n")
    if logical is not None:
        yield logical


def parse_wine_hive(text, prefixes=None, registry=None, codec=ANSI):
    """Reads a Wine hive file; with prefixes, only keys at or below one of them."""
    reg = registry if registry is not None else Registry()
    lines = iter(_wine_lines(text))
    header = next(lines, "").strip()
    if not header.startswith("WINE REGISTRY Version 2"):
        raise ValueError(f"not a Wine hive file: {header!r}")
    wanted = [p.lower() for p in prefixes] if prefixes else None
    current = None
    for line in lines:
        if not line or line.startswith(";") or line.startswith("#"):
            continue
        if line.startswith("["):
            path, _ = _wine_string(line, 1, "]")
            low = path.lower()
            current = path
            if wanted is not None and not any(low == p or low.startswith(p + "\\") for p in wanted):
                current = None
            elif current is not None:
                reg.key(path)
            continue
        if current is None:
            continue
        if line.startswith("@="):
            name, rest = "", line[2:]
        elif line.startswith('"'):
            name, end = _wine_string(line, 1, '"')
            if line[end:end + 1] != "=":
                raise ValueError(f"bad value line: {line[:80]!r}")
            rest = line[end + 1:]
        else:
            raise ValueError(f"bad line: {line[:80]!r}")
        reg.set(current, name, _wine_data(rest, codec))
    return reg


def parse_wine_hive_file(path, prefixes=None, registry=None, codec=ANSI):
    with open(path, "rb") as f:
        return parse_wine_hive(f.read().decode("utf-8", errors="replace"), prefixes, registry, codec)


# ---- display ---------------------------------------------------------------

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
