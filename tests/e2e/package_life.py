"""The sample package's life on one machine under Wine's msiexec, with the
packages that package/build-sample writes (the stand-in payload, 1.0.0 and
1.0.1), on a machine that has only the hosts (the demo's five, no staging
area):

1. a host whose protk.dat cannot be written: /qn ends with 1603 naming it,
   and nothing has changed;
2. /qn installs: 0; every host has the add-in's files (its release's
   module) and one entry; the staging area holds only what the package
   keeps there;
3. an action's failure after InstallFinalize (ORVELLA_INSTALL_ERROR given
   on the command line, as an action sets it): 1603 naming host and file,
   and the product stays installed;
4. a host's module deleted, then a repair (/i REINSTALL=ALL
   REINSTALLMODE=amus; Wine answers /f with a package path with 1605): 0,
   the module is back;
5. 1.0.1 over it: 0, one product, every host the newer module, one entry;
6. with a host's module held open, a newer build over it: 3010 (or 1603
   naming host and file), never 0 (needs the holder program);
7. a removal that leaves a host unclean (ORVELLA_REMOVE_ERROR given on the
   command line): 1603 naming it, the product and its key stay;
8. /x: 0; every host byte for byte as before step 2, nothing of the
   product in the all-users profile, the program folder or the registry.
Then, on a machine without any host, /qn ends with 1603 saying why, and
nothing is installed.
"""
import os
import re
import shutil
import subprocess

from e2elib import regtext, state, wine

HOSTS = {"creo1": "creo1", "creo2": "creo2", "wf4-m040": "proeWF4", "wf4-m070": "proeWF4", "wf5": "proeWF5"}
# What the package keeps in the staging area after the deployment: the build
# for Creo Parametric 2.0 and the runtime folders under proeWF5.
KEPT = re.compile(r"^ProgramData/(creo2|proeWF5)(/|$)", re.I)
ENTRY = re.compile(rb"(?mi)^name[ \t]+Orvella[ \t]*\r?$")
PRODUCT_KEY = "SOFTWARE\\Kestrane"
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


class Machine:
    def __init__(self, root, work, results, demo, hosts=True):
        self.results = results
        self.prefix = os.path.join(work, "prefix")
        wine.clone(wine.template(os.path.join(root, "build", "e2e", "prefix-template")), self.prefix)
        self.drive = os.path.join(self.prefix, "drive_c")
        os.makedirs(os.path.join(self.drive, "e2e"))
        self.pristine_profile = state.tree(self.drive, ["ProgramData"])
        if hosts:
            with open(os.path.join(demo, "machine.reg"), "rb") as f, \
                    open(os.path.join(self.drive, "e2e", "machine.reg"), "wb") as g:
                g.write(regtext.for_wine(f.read()))
            wine.run(self.prefix, ["regedit", "/S", "C:\\e2e\\machine.reg"])
            shutil.copytree(os.path.join(demo, "drive_c", "PTC"), os.path.join(self.drive, "PTC"))
        wine.finish(self.prefix)
        self.count = 0

    def msiexec(self, *args):
        """(exit status as Linux sees it, the log's text)."""
        self.count += 1
        log = f"{self.count}-{args[0].strip('/')}.log"
        rc, out = wine.run(self.prefix, ["msiexec", *args, "/qn", "/l*v", f"C:\\e2e\\{log}"])
        wine.finish(self.prefix)
        path = os.path.join(self.drive, "e2e", log)
        text = wine.read_text(path) if os.path.exists(path) else ""
        if os.path.exists(path):
            shutil.copy(path, self.results)
        return rc, text, wine.failures(out)

    def host_file(self, host, *parts):
        path = os.path.join(self.drive, "PTC", host, *parts)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def entries(self):
        return {h: len(ENTRY.findall(self.host_file(h, "text", "protk.dat") or b"")) for h in HOSTS}

    def staged(self):
        """What of the add-in the all-users profile holds beyond the prefix's own."""
        now = state.tree(self.drive, ["ProgramData"])
        return sorted(p for p, d in now.items() if self.pristine_profile.get(p, "absent") != d)

    def registry(self, *keys):
        reg = regtext.parse_wine_hive_file(os.path.join(self.prefix, "system.reg"), list(keys))
        return reg.under(*keys)

    def products(self):
        return sorted(data.rstrip(b"\0").decode("latin-1") for (key, name), (_, data)
                      in self.registry(UNINSTALL).items() if name == "displayversion")


def stand_in(version, build):
    """The sample payload's module for a release build, as package/build writes it."""
    return f"Orvella {version} stand-in for {build}\\orvbridge.dll\r\n".encode()


def module_problems(m, version, step):
    problems = []
    for host, build in HOSTS.items():
        found = m.host_file(host, "x86e_win64", "obj", "orvbridge.dll")
        if found != stand_in(version, build):
            problems.append(f"{step}: {host}'s module is {found!r:.80}, wanted the {version} build for {build}")
    if m.entries() != {h: 1 for h in HOSTS}:
        problems.append(f"{step}: entries per host {m.entries()}, wanted one each")
    return problems


def expect_exit(problems, step, rc, wanted, text="", failures=()):
    problems += [f"{step}: {p}" for p in failures]
    codes = [w % 256 for w in wanted]
    if rc not in codes:
        problems.append(f"{step}: msiexec exit status {rc}, wanted {' or '.join(map(str, wanted))} "
                        f"(seen as {' or '.join(map(str, codes))})")
    print(f"      {step}: exit {rc} ({ {w % 256: w for w in wanted}.get(rc, rc)})", flush=True)


def unwritable_first(m, problems, msi):
    protk = os.path.join(m.drive, "PTC", "wf4-m070", "text", "protk.dat")
    os.rename(protk, protk + ".aside")
    os.makedirs(protk)
    before = state.tree(m.drive, ["PTC"])
    rc, log, failures = m.msiexec("/i", msi)
    expect_exit(problems, "unwritable host", rc, [1603], failures=failures)
    if "Stopping the setup: the protk.dat of C:\\PTC\\wf4-m070 cannot be written" not in log:
        problems.append("unwritable host: the log does not name C:\\PTC\\wf4-m070")
    if state.tree(m.drive, ["PTC"]) != before or m.staged() or m.products() or m.registry(PRODUCT_KEY):
        problems.append(f"unwritable host: something changed (staged {m.staged()[:3]}, products {m.products()})")
    os.rmdir(protk)
    os.rename(protk + ".aside", protk)


def check(root, work, results, build_dir):
    """Runs the life above; returns the problems found."""
    out = subprocess.run([os.path.join(root, "package", "build-sample"), "--build-dir", build_dir],
                         capture_output=True, text=True)
    if out.returncode != 0:
        return [f"package/build-sample failed: {out.stderr.strip()}"]
    demo = os.path.join(root, "tests", "e2e", "scenarios", "demo-install-remove")
    m = Machine(root, work, results, demo)
    for name in ("Orvella.msi", "Orvella-1.0.1.msi"):
        shutil.copy(os.path.join(build_dir, "package", name), os.path.join(m.drive, "e2e"))
    first, second = "C:\\e2e\\Orvella.msi", "C:\\e2e\\Orvella-1.0.1.msi"
    problems = []
    unwritable_first(m, problems, first)
    pristine = state.tree(m.drive, ["PTC"])

    rc, log, failures = m.msiexec("/i", first)
    expect_exit(problems, "install", rc, [0], failures=failures)
    problems += module_problems(m, "1.0.0", "install")
    if not m.host_file("creo1", "x86e_win64", "obj", "Lang", "OrvellaHelp.chm"):
        problems.append("install: creo1 has no Lang\\OrvellaHelp.chm")
    left = [p for p in m.staged() if not KEPT.match(p)]
    if left or not m.staged():
        problems.append(f"install: the staging area holds {left[:5]} beyond what the package keeps "
                        f"({len(m.staged())} entries)")
    if m.products() != ["1.0.0"]:
        problems.append(f"install: installed versions {m.products()}")

    reason = "C:\\PTC\\wf5: C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll could not be copied (error 5)"
    rc, log, failures = m.msiexec("/i", first, "REINSTALL=ALL", "REINSTALLMODE=amus", f"ORVELLA_INSTALL_ERROR={reason}")
    expect_exit(problems, "a failure after InstallFinalize", rc, [1603], failures=failures)
    if f"Failing the setup: {reason}" not in log or m.products() != ["1.0.0"]:
        problems.append(f"a failure after InstallFinalize: the log does not name it, or the product went "
                        f"({m.products()})")

    os.remove(os.path.join(m.drive, "PTC", "wf5", "x86e_win64", "obj", "orvbridge.dll"))
    rc, log, failures = m.msiexec("/i", first, "REINSTALL=ALL", "REINSTALLMODE=amus")
    expect_exit(problems, "repair", rc, [0], failures=failures)
    problems += module_problems(m, "1.0.0", "repair")

    rc, log, failures = m.msiexec("/i", second)
    expect_exit(problems, "upgrade to 1.0.1", rc, [0], failures=failures)
    problems += module_problems(m, "1.0.1", "upgrade to 1.0.1")
    if m.products() != ["1.0.1"]:
        problems.append(f"upgrade: installed versions {m.products()}, wanted ['1.0.1']")
    if [p for p in m.staged() if not KEPT.match(p)]:
        problems.append(f"upgrade: the staging area holds {m.staged()[:5]}")
    problems += held_upgrade(m, root, build_dir, work)

    rc, log, failures = m.msiexec("/x", second, "ORVELLA_REMOVE_ERROR=C:\\PTC\\wf5: protk.dat in use")
    expect_exit(problems, "an unclean removal", rc, [1603], failures=failures)
    if "Failing the removal: C:\\PTC\\wf5: protk.dat in use" not in log or not m.registry(PRODUCT_KEY) \
            or not m.products():
        problems.append(f"an unclean removal: not named, or the product ({m.products()}) or its key went")

    rc, log, failures = m.msiexec("/x", second)
    expect_exit(problems, "uninstall", rc, [0], failures=failures)
    now = state.tree(m.drive, ["PTC"])
    changed = sorted(p for p in set(now) | set(pristine) if now.get(p, "gone") != pristine.get(p, "gone"))
    if changed:
        problems.append(f"uninstall: host files not as before the installation: {changed[:6]}")
    if m.staged() or m.products() or m.registry(PRODUCT_KEY):
        problems.append(f"uninstall: left {m.staged()[:4]}, products {m.products()}, key "
                        f"{sorted(m.registry(PRODUCT_KEY))[:3]}")
    if os.path.exists(os.path.join(m.drive, "Program Files", "Kestrane")):
        problems.append("uninstall: the program folder Kestrane is still there")
    with open(os.path.join(m.prefix, "system.reg"), encoding="utf-8", errors="replace") as f:
        mentions = [line.strip() for line in f if "orvella" in line.lower() or "kestrane" in line.lower()]
    if mentions:
        problems.append(f"uninstall: the registry still names the product: {mentions[:3]}")

    problems += no_host(root, os.path.join(work, "no-host"), results, first, build_dir)
    return problems


def held_upgrade(m, root, build_dir, work):
    """A newer build while wf5's module is held open, as a running host holds it."""
    holder = os.path.join(root, "tests", "e2e", "holder")
    if not os.path.isdir(holder):
        print("      held module: skipped (no tests/e2e/holder yet)", flush=True)
        return []
    return held_upgrade_run(m, root, build_dir, work, holder)


def held_upgrade_run(m, root, build_dir, work, holder):
    return ["held module: the holder program is there; enable this case"]


def no_host(root, work, results, msi, build_dir):
    os.makedirs(work)
    m = Machine(root, work, results, None, hosts=False)
    shutil.copy(os.path.join(build_dir, "package", "Orvella.msi"), os.path.join(m.drive, "e2e"))
    problems = []
    rc, log, failures = m.msiexec("/i", msi)
    expect_exit(problems, "no host", rc, [1603], failures=failures)
    if "Stopping the setup: no Creo Parametric or Pro/ENGINEER installation was found or named" not in log:
        problems.append("no host: the log does not say why")
    if m.staged() or m.products() or m.registry(PRODUCT_KEY):
        problems.append(f"no host: left {m.staged()[:4]}, products {m.products()}")
    return problems
