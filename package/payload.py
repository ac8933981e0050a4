"""The add-in's files that the package installs into the staging area (the
all-users profile folder, laid out as the deployment reads it).

The one list of those files is the library's manifest, as `ca-sim manifest
--json` gives it: every file the package must place, and every folder whose
files the deployment copies whole (any files may stand there). The sample
payload is made from it, one small stand-in file per entry; a vendor's
folder is checked against it.
"""
import hashlib
import json
import os
import re
import subprocess
import uuid
from xml.sax.saxutils import quoteattr

# Component GUIDs follow from the staged path, so that every version of the
# package installs a file through the same component.
GUID_NAMESPACE = uuid.UUID("8f4b2c7e-5d1a-4e93-a6b0-3c9d7e2f1a54")
# The stand-in file inside each listed folder of the sample.
FOLDER_STAND_IN = "orvella.res"
ID = re.compile(r"[^A-Za-z0-9_.]")


class PayloadError(Exception):
    pass


def read_listing(ca_sim):
    """[(windows path, is_folder)] from `ca-sim manifest --json`."""
    try:
        result = subprocess.run([ca_sim, "manifest", "--json"], capture_output=True, text=True)
    except OSError as e:
        raise PayloadError(f"cannot run {ca_sim}: {e.strerror} (build the linux preset first)")
    if result.returncode != 0:
        raise PayloadError(f"{ca_sim} manifest --json failed ({result.returncode}): {result.stderr.strip()}")
    try:
        listing = json.loads(result.stdout)
        entries = [(e["path"], e["kind"] == "folder") for e in listing["entries"]]
    except (ValueError, KeyError, TypeError) as e:
        raise PayloadError(f"{ca_sim} manifest --json: not the listing expected ({e})")
    if listing.get("format") != 1 or not entries:
        raise PayloadError(f"{ca_sim} manifest --json: format {listing.get('format')!r}, {len(entries)} entries")
    return [(path.rstrip("\\"), folder) for path, folder in entries]


def parts(windows_path):
    return [p for p in windows_path.split("\\") if p]


def key(relative_parts):
    # Windows compares names without regard to case.
    return "\\".join(relative_parts).lower()


def existing(folder, names):
    """The path of folder\\names, taking a folder already there under another
    case (Windows compares names without case) and creating the rest."""
    path = folder
    for name in names:
        os.makedirs(path, exist_ok=True)
        same = [n for n in os.listdir(path) if n.lower() == name.lower()]
        path = os.path.join(path, same[0] if same else name)
    return path


def make_sample(listing, folder, version):
    """Writes one stand-in file per listed file (and one inside each listed
    folder); each names its place and the package's version, so that a newer
    package's files differ from an older one's."""
    for path, is_folder in listing:
        if is_folder:
            target = os.path.join(existing(folder, parts(path)), FOLDER_STAND_IN)
            os.makedirs(os.path.dirname(target), exist_ok=True)
        else:
            names = parts(path)
            target = os.path.join(existing(folder, names[:-1]), names[-1])
            os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="ascii", newline="\r\n") as f:
            f.write(f"Orvella {version} stand-in for {path}{chr(92) if is_folder else ''}\n")


def check_vendor_folder(listing, folder):
    """Problems of a vendor's payload folder: a listed file or folder that is
    missing, and a file that the listing does not name (in a listed folder
    only its own files count; the deployment copies no subfolder)."""
    if not os.path.isdir(folder):
        return [f"{folder}: not a folder"]
    files, folders = {}, {}
    for path, is_folder in listing:
        (folders if is_folder else files)[key(parts(path))] = path
    problems = []
    present = set()
    for dirpath, dirnames, names in os.walk(folder):
        rel = os.path.relpath(dirpath, folder)
        rel_parts = [] if rel == "." else rel.split(os.sep)
        for name in names:
            k = key(rel_parts + [name])
            present.add(k)
            if k not in files and key(rel_parts) not in folders:
                problems.append(f"{os.path.join(*(rel_parts + [name]))}: not a file of the add-in (the listing names "
                                "no such file)")
        for name in dirnames:
            present.add(key(rel_parts + [name]))
    for k, path in sorted(files.items()):
        if k not in present:
            problems.append(f"{path}: missing")
    for k, path in sorted(folders.items()):
        if k not in present:
            problems.append(f"{path}\\: missing (a folder, its files copied whole)")
    return problems


def collect(folder):
    """[(relative parts, source path)] of every file below the folder, sorted."""
    found = []
    for dirpath, _, names in os.walk(folder):
        rel = os.path.relpath(dirpath, folder)
        rel_parts = [] if rel == "." else rel.split(os.sep)
        found += [(rel_parts + [name], os.path.join(dirpath, name)) for name in names]
    return sorted(found, key=lambda item: key(item[0]))


def identifier(prefix, relative_parts):
    text = "\\".join(relative_parts)
    digest = hashlib.sha1(text.lower().encode()).hexdigest()[:8]
    return f"{prefix}{ID.sub('_', text)[:50]}_{digest}"


def wix(files, source_prefix):
    """(Directory elements below CommonAppDataFolder, ComponentRef elements,
    RemoveFile rows): one component per file, keyed by the file, its GUID
    from the staged path. Folders compare without case: the first spelling
    met names the folder. Every folder the package creates is removed on
    uninstall once empty (a RemoveFile row on a component below it); the
    staging area's own folder, the all-users profile, is the system's."""
    tree, spelling, components = {}, {}, {}
    for rel_parts, _ in files:
        node = tree
        for i, name in enumerate(rel_parts[:-1]):
            k = key(rel_parts[:i + 1])
            spelling.setdefault(k, name)
            node = node.setdefault(k, {})
        components.setdefault(key(rel_parts[:-1]), []).append(rel_parts)
    refs, removals = [], []

    def emit(dir_key, node, depth):
        """(lines, the id of a component in this folder's subtree)."""
        pad = "  " * depth
        lines, first = [], None
        for rel_parts in components.get(dir_key, []):
            cid = identifier("Stg", rel_parts)
            first = first or cid
            guid = str(uuid.uuid5(GUID_NAMESPACE, key(rel_parts))).upper()
            source = "/".join([source_prefix] + rel_parts)
            lines.append(f'{pad}<Component Id="{cid}" Guid="{guid}" Win64="yes">')
            lines.append(f'{pad}  <File Id="{identifier("F", rel_parts)}" Name={quoteattr(rel_parts[-1])} '
                         f'Source={quoteattr(source)} KeyPath="yes"/>')
            lines.append(f"{pad}</Component>")
            refs.append(f'      <ComponentRef Id="{cid}"/>')
        for child_key in sorted(node):
            dir_id = identifier("Dir", child_key.split("\\"))
            lines.append(f'{pad}<Directory Id="{dir_id}" Name={quoteattr(spelling[child_key])}>')
            inner, component = emit(child_key, node[child_key], depth + 1)
            lines += inner + [f"{pad}</Directory>"]
            removals.append((identifier("Rm", child_key.split("\\")), component, "", dir_id, 2))
            first = first or component
        return lines, first

    lines, _ = emit("", tree, 4)
    return "\n".join(lines), "\n".join(refs), removals
