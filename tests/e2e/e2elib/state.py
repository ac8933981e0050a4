"""The machine state that a run leaves behind, as both engines report it, and
the comparison of two such states."""
import os
from dataclasses import dataclass, field

from . import registry
from .wine import windows_error_texts

# Every installer property that the library reads or publishes. Compared in
# full between the engines, whatever a scenario expects.
LIBRARY_PROPERTIES = sorted(
    ["BrowseToURL", "ISCMDINSTALL", "PROEMBROWSE", "WF5MSI", "PROECANAME", "PROEM1VER", "USASCIIM1",
     "PROEDUMPDEPENDANCIES", "ISBROWSEPATHVALID", "PROEVER", "INVALIDSEL", "DUPLICATEDIR",
     "PROTK_WRITE", "TEMPPROEDIR", "PROEM1", "PROEM1DIR", "FILESINUSE", "ORVELLA_RESTART",
     "CREO1", "CREO1DIR", "SHIPCODECREO1", "CREO1TEMP", "CREO2", "CREO2DIR", "SHIPCODECREO2", "CREO2TEMP"]
    + [f"PROEWF{n}" for n in range(1, 6)] + [f"PROEWF{n}DIR" for n in range(1, 6)]
    + [f"SHIPCODE{n}" for n in range(1, 6)] + [f"PROEWF{n}TEMP" for n in range(3, 6)]
    + [f"PROE_VER_{n}" for n in range(1, 9)]
    + [f"WFCUSTOM_{w}" for w in ("ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT")]
    + [f"WFCUSTOM_DIR_{w}" for w in ("ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT")]
    + ["ORVELLA_INSTALL_ERROR", "ORVELLA_REMOVE_ERROR"])

REGISTRY_KEYS = ["SOFTWARE\\PTC", "SOFTWARE\\Wow6432Node\\PTC", "SOFTWARE\\Kestrane"]
# The replacements and deletions that wait for the next restart, as the
# system keeps them: of this key, only this value is compared.
PENDING_KEY = "SYSTEM\\CurrentControlSet\\Control\\Session Manager"
PENDING_VALUE = "PendingFileRenameOperations"
READ_KEYS = REGISTRY_KEYS + [PENDING_KEY]


@dataclass
class State:
    properties: dict = field(default_factory=dict)  # name -> value; unset names absent
    files: dict = field(default_factory=dict)       # "top/sub/name" -> bytes, or None for a folder
    registry: dict = field(default_factory=dict)    # (key, value name) -> (type, data), lower case
    spelling: dict = field(default_factory=dict)    # (key, value name) -> spelled names
    controls: list = None                           # "Control\tType\tProperty\tHelp" rows, sorted
    log_lines: list = field(default_factory=list)   # our actions' lines of the installer log, in order
    restarts: list = field(default_factory=list)    # per installer session: it asked for a restart (3010)
    outcomes: list = field(default_factory=list)    # (sequence, stopped by an error) per sequence run
    # What the collector took of the machine: before the first sequence, and
    # while the scenario's files are held when that is later. Each a dict:
    # "snapshot" (its folder), "before" (the sequence number it ran before),
    # "log_start" (our log lines until then), "files" (the drive then).
    collections: list = field(default_factory=list)


def tree(root, tops):
    """Files and folders under the given top-level entries of a drive."""
    found = {}
    for top in tops:
        base = os.path.join(root, top)
        if os.path.isfile(base):
            with open(base, "rb") as f:
                found[top] = f.read()
            continue
        if not os.path.isdir(base):
            continue
        found[top] = None
        for dirpath, dirnames, filenames in os.walk(base):
            rel = os.path.relpath(dirpath, root).replace(os.sep, "/")
            for d in dirnames:
                found[f"{rel}/{d}"] = None
            for name in filenames:
                with open(os.path.join(dirpath, name), "rb") as f:
                    found[f"{rel}/{name}"] = f.read()
    return found


def without_prefix_own(found, pristine, given):
    """Drops what a fresh Wine prefix holds of itself (C:\\ProgramData\\Microsoft
    and the like): entries of the pristine prefix that the scenario did not
    supply and that are still as the prefix made them."""
    return {path: data for path, data in found.items()
            if not (path in pristine and path not in given and pristine[path] == data)}


# The package's own value in the vendor's key (package/Package.wxs.in): the
# installer writes it, not the actions, so ca-sim has no such value.
PACKAGE_OWN_VALUE = ("software\\kestrane", "orvella add-in")


def registry_state(reg):
    values = {k: v for k, v in reg.under(*REGISTRY_KEYS).items() if k != PACKAGE_OWN_VALUE}
    pending = (PENDING_KEY.lower(), PENDING_VALUE.lower())
    values.update({k: v for k, v in reg.under(PENDING_KEY).items() if k == pending})
    return values, {k: reg.spelling(*k) for k in values}


def read_properties_file(path, encoding="utf-8"):
    """NAME=VALUE lines: ca-sim writes UTF-8, the probe the machine's code page."""
    props = {}
    with open(path, encoding=encoding, errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            name, sep, value = line.partition("=")
            if sep and value != "":
                props[name] = value
    return props


def _show_file(data):
    if data is None:
        return "(folder)"
    if len(data) > 200:
        return f"{len(data)} bytes"
    return repr(data)


def diff(wine, sim, property_names, left="wine", right="ca-sim", codec=registry.ANSI):
    """Readable differences between two states; empty when they agree."""
    lines = []
    for name in sorted(property_names):
        # The failures they quote carry the system's text, which Wine words its own way.
        a, b = windows_error_texts(wine.properties.get(name, "")), sim.properties.get(name, "")
        if a != b:
            lines.append(f"property {name}: {left} {a!r}, {right} {b!r}")
    for path in sorted(set(wine.files) | set(sim.files), key=str.lower):
        a, b = wine.files.get(path, "missing"), sim.files.get(path, "missing")
        if a != b:
            show = lambda v: v if v == "missing" else _show_file(v)
            lines.append(f"file {path}: {left} {show(a)}, {right} {show(b)}")
    for key in sorted(set(wine.registry) | set(sim.registry)):
        a, b = wine.registry.get(key), sim.registry.get(key)
        if a != b:
            k, v = wine.spelling.get(key) or sim.spelling.get(key) or key
            show = lambda x: "missing" if x is None else registry.show(x, codec)
            lines.append(f"registry {k} [{v or '(default)'}]: {left} {show(a)}, {right} {show(b)}")
    return lines
