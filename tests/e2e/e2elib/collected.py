"""The collector (tools/collect/collect.cmd) on a scenario's machine under
Wine, and ca-sim's run of what it collected held against what msiexec did
there: the way from a customer's workstation to a dry run, checked end to end.

The collection stands for the machine with these differences, which the
comparison allows and nothing else: a host file that the collector lists
but does not copy is an empty stand-in (its content is the host's own); a
host file outside the places it lists is not there; the staging area is the
package's, not the machine's (the harness gives ca-sim the scenario's, as
msiexec places the package's files); and `reg export` writes a string value
up to its first zero (the library pads its records).

The collector runs in the scenario's locale, and the prefix's registry names
the code page as Windows' would: it writes collected.txt and scenario.txt in
that code page.
"""
import os
import re
import shutil
import subprocess

from . import casim, state, wine

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
COLLECTOR = os.path.join(ROOT, "tools", "collect", "collect.cmd")
# Short, so that a long host path still fits below it.
WINE_FOLDER = "C:\\snap"
# What the collector may copy of a host; everything else it writes is an empty stand-in.
COPIED = ("text/protk.dat", "uninstall/instlog.txt", "bin/pim/xml/creobase.p.xml")
MISSING = object()


def folders_given(case):
    """The folders that the scenario's command line names: the collector is told of them too."""
    return [value for name, value in case.properties
            if value and (name.endswith("DIR") or "_DIR_" in name or name == "PROEMBROWSE")
            and value[1:3] == ":\\"]


def collect(prefix, case, work, locale_env, name="collected"):
    """Runs the collector in the prefix, in the machine's locale; returns (the
    collection's folder, WORK/NAME, or None; problems)."""
    drive = os.path.join(prefix, "drive_c")
    shutil.copy(COLLECTOR, os.path.join(drive, "e2e", "collect.cmd"))
    rc, out = wine.run(prefix, ["cmd", "/c", "C:\\e2e\\collect.cmd", WINE_FOLDER, *folders_given(case)],
                       env_extra=case.env + list(locale_env))
    written = os.path.join(drive, WINE_FOLDER[3:])
    if rc != 0 or not os.path.exists(os.path.join(written, "machine.reg")):
        return None, [f"collector: exit status {rc}: {out.strip()[-400:]}"]
    snapshot = os.path.join(work, name)
    shutil.copytree(written, snapshot, symlinks=True)
    shutil.rmtree(written)
    return snapshot, []


def hosts_taken(snapshot, encoding):
    """The host folders that collected.txt (in the machine's code page,
    ENCODING) says the collector took, and the files it says it could not
    copy (drive-relative, with "/")."""
    hosts, refused = [], set()
    with open(os.path.join(snapshot, "collected.txt"), encoding=encoding) as f:
        for line in f:
            words = line.rstrip("\r\n").split('"')
            if len(words) == 3 and words[1][:3].upper() == "C:\\":
                path = words[1][3:].replace("\\", "/")
                if words[0] == "host ":
                    hosts.append(path)
                elif words[0] == "not copied ":
                    refused.add(path)
    return hosts, refused


def copied_files(snapshot, original, encoding):
    """Problems with what the collector copied: exactly the three files of a
    host it reads that the host has, each as the host has it; every other
    file empty."""
    problems = []
    hosts, refused = hosts_taken(snapshot, encoding)
    copied = os.path.join(snapshot, "drive_c")
    for path, data in original.items():
        host = any(path.lower().startswith(h.lower() + "/") for h in hosts)
        if data is not None and host and path.lower().endswith(COPIED) and path not in refused \
                and not os.path.isfile(os.path.join(copied, path)):
            problems.append(f"collector: did not copy {path}")
    for path, data in state.tree(os.path.join(snapshot, "drive_c"), os.listdir(os.path.join(snapshot, "drive_c"))).items():
        if data is None or data == b"":
            continue
        if not path.lower().endswith(COPIED):
            problems.append(f"collector: copied {path}, which is no registration file, installation log or release descriptor")
        elif original.get(path) != data:
            problems.append(f"collector: {path} is not the host's")
    return problems


def give_payload(sdir, snapshot, tops, files=None):
    """The scenario's drive_c entries of which the collector took nothing (the
    staging area): as the scenario has them, or as FILES (the drive's entries
    when it collected) have them."""
    if files is not None:
        given = [top for top in tops if not os.path.exists(os.path.join(snapshot, "drive_c", top))]
        for path, data in sorted(files.items()):
            if path.split("/")[0] not in given:
                continue
            target = os.path.join(snapshot, "drive_c", *path.split("/"))
            if data is None:
                os.makedirs(target, exist_ok=True)
            else:
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    f.write(data)
        return
    for top in tops:
        if not os.path.exists(os.path.join(snapshot, "drive_c", top)):
            source = os.path.join(sdir, "drive_c", top)
            target = os.path.join(snapshot, "drive_c", top)
            if os.path.isdir(source):
                shutil.copytree(source, target, symlinks=True, ignore=shutil.ignore_patterns(".keep"))
            else:
                shutil.copy2(source, target)


def held_as_scenario(snapshot, paths, encoding):
    """Problems with the files the collector says are held: exactly PATHS,
    each with a hold line in its scenario.txt."""
    with open(os.path.join(snapshot, "collected.txt"), encoding=encoding) as f:
        said = {line.split('"')[1].lower() for line in f if line.startswith('held "')}
    holds = {hold["path"].lower() for hold in casim.scenario(snapshot).holds}
    want = {p.lower() for p in paths}
    problems = [f"collector: {p} is held but not found so" for p in sorted(want - said)]
    problems += [f"collector: {p} is not held but found so" for p in sorted(said - want)]
    if holds != said:
        problems.append(f"collector: its hold lines {sorted(holds)} are not the files it found held {sorted(said)}")
    return problems


def run_casim(case, snapshot, script=None):
    """ca-sim on the collection, with the scenario's actions or sequences and
    its command line; returns (the saved folder, its JSON report) or raises.
    SCRIPT, (the scenario's folder, N), runs that scenario's sequences from
    the Nth on with its holds, restarts and changes, as ca-sim's
    --script-from does."""
    out = os.path.join(snapshot + "-after")
    if script:
        steps = ["--script-from", script[0], "--from-sequence", str(script[1])]
    else:
        steps = list(case.actions) or [arg for s in case.sequences for arg in ("--sequence", s)]
    props = [arg for name, value in case.properties if value for arg in ("--property", f"{name}={value}")]
    result = subprocess.run([casim.binary(), "run", snapshot, *steps, *props, "--save", out, "--json"],
                            capture_output=True)
    if result.returncode not in (0, 1, 4):
        raise casim.CaSimError(f"ca-sim on the collection: {result.stderr.decode(errors='replace').strip()}")
    return out, result.stdout


def text_up_to_zero(registry):
    """String values as the library reads them: up to the first zero."""
    cut = {}
    for key, (kind, data) in registry.items():
        if kind in (1, 2) and b"\0" in data:
            data = data[:data.index(b"\0") + 1]
        cut[key] = (kind, data)
    return cut


def without_content_hashes(registry):
    """A footprint names each host file it may restore by its size and hash;
    the collection's stand-in of that file has neither, so neither side's
    record keeps them."""
    cut = {}
    for key, (kind, data) in registry.items():
        if kind == 7:
            data = re.sub(rb"\t\d+:[0-9a-f]{16}(?=\0)", b"\t(content)", data)
        cut[key] = (kind, data)
    return cut


def file_problems(wine_files, sim_files, before, original):
    """Each path either engine has: equal, or a stand-in the run left alone
    that Wine has, or a copy of a stand-in (a backup the add-in made of a
    host's file) that Wine has with the host's content, or a host file
    outside the collection that Wine left alone."""
    problems = []
    stand_ins = {original[path] for path, data in before.items()
                 if data == b"" and original.get(path) not in (None, b"")}
    for path in sorted(set(wine_files) | set(sim_files), key=str.lower):
        w, c = wine_files.get(path, MISSING), sim_files.get(path, MISSING)
        if c is not MISSING and c == b"" and before.get(path) == b"" and original.get(path, b"") != b"":
            if w is MISSING:
                problems.append(f"collected {path}: ca-sim keeps the host's stand-in, Wine has no file")
        elif c == b"" and path not in before and w in stand_ins:
            continue
        elif c is not MISSING:
            if w != c:
                show = lambda v: "missing" if v is MISSING else "(folder)" if v is None else f"{len(v)} bytes"
                problems.append(f"collected {path}: wine {show(w)}, ca-sim {show(c)}")
        elif original.get(path, MISSING) != w:
            problems.append(f"collected {path}: Wine's run changed it, the collection does not have it")
    return problems
