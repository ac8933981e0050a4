"""The sample package's life on one machine under Wine's msiexec, with the
packages that package/build-sample writes (the stand-in payload, 1.0.0 and
1.0.1), on a machine that has only the hosts (the demo's five, no staging
area):

1. a host whose protk.dat cannot be written: /qn ends with 1603 naming it,
   and nothing has changed;
2. /qn installs: 0; every host has the add-in's files (its release's
   module) and one entry; the staging area holds only what the package
   keeps there;
3. a repair in which a chosen host cannot be completed (wf4-m040's language
   folder taken by a file for the time): 1603 naming the host and the path,
   after InstallFinalize, and the product stays installed;
4. a host's module deleted, then a repair (/i REINSTALL=ALL
   REINSTALLMODE=amus; Wine answers /f with a package path with 1605): 0,
   the module is back;
5. 1.0.1 over it: 0, one product, every host the newer module, one entry;
6. a removal that cannot take wf5's entry out (its protk.dat a folder for
   the time): 1603 naming it, the product and its key stay, wf5 keeps the
   add-in; once the cause is gone:
7. /x: 0; every host byte for byte as before step 2, nothing of the
   product in the all-users profile, the program folder or the registry.
Then, on a machine without any host, /qn ends with 1603 saying why, and
nothing is installed. And on another machine with 1.0.1 installed, while
wf5's module is held open (tests/e2e/holder): a repair over a damaged copy
ends with 3010 and the restart completes it; a 1.0.2 ends with 3010, or
1603 naming the host and the file, never 0; after the restart (and a repair
after a 1603) every host has 1.0.2.
"""
import os
import re
import shutil
import subprocess

from e2elib import casim, holder, state, wine

HOSTS = {"creo1": "creo1", "creo2": "creo2", "wf4-m040": "proeWF4", "wf4-m070": "proeWF4", "wf5": "proeWF5"}
# What the package keeps in the staging area after the deployment: the build
# for Creo Parametric 2.0 and the runtime folders under proeWF5.
KEPT = re.compile(r"^ProgramData/(creo2|proeWF5)(/|$)", re.I)
ENTRY = re.compile(rb"(?mi)^name[ \t]+Orvella[ \t]*\r?$")
PRODUCT_KEY = "SOFTWARE\\Kestrane"
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


class Machine:
    def __init__(self, root, work, results, demo, hosts=True, label="life"):
        self.results = results
        self.label = label
        os.makedirs(work, exist_ok=True)
        self.prefix = os.path.join(work, "prefix")
        wine.clone(wine.template(os.path.join(root, "build", "e2e", "prefix-template")), self.prefix)
        self.drive = os.path.join(self.prefix, "drive_c")
        os.makedirs(os.path.join(self.drive, "e2e"))
        self.pristine_profile = state.tree(self.drive, ["ProgramData"])
        if hosts:
            with open(os.path.join(self.drive, "e2e", "machine.reg"), "wb") as f:
                f.write(casim.for_wine(os.path.join(demo, "machine.reg")))
            wine.run(self.prefix, ["regedit", "/S", "C:\\e2e\\machine.reg"])
            shutil.copytree(os.path.join(demo, "drive_c", "PTC"), os.path.join(self.drive, "PTC"))
        wine.finish(self.prefix)
        self.count = 0

    def msiexec(self, *args, before_finish=None):
        """(exit status as Linux sees it, the log's text, Wine's failures).
        before_finish runs once msiexec has ended, before waiting for the
        prefix's other processes (a holder is one)."""
        self.count += 1
        log = f"{self.label}-{self.count}-{args[0].strip('/')}.log"
        try:
            rc, out = wine.run(self.prefix, ["msiexec", *args, "/qn", "/l*v", f"C:\\e2e\\{log}"])
        finally:
            if before_finish:
                before_finish()
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
        reg = casim.registry(os.path.join(self.prefix, "system.reg"), list(keys))
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

    lang = os.path.join(m.drive, "PTC", "wf4-m040", "x86e_win64", "obj", "Lang")
    os.rename(lang, lang + ".aside")
    with open(lang, "wb") as f:
        f.write(b"a file where the add-in's folder goes\r\n")
    rc, log, failures = m.msiexec("/i", first, "REINSTALL=ALL", "REINSTALLMODE=amus")
    os.remove(lang)
    os.rename(lang + ".aside", lang)
    expect_exit(problems, "a failure after InstallFinalize", rc, [1603], failures=failures)
    reason = "Failing the setup: C:\\PTC\\wf4-m040: C:\\PTC\\wf4-m040\\x86e_win64\\obj\\Lang could not be created"
    if reason not in log or m.products() != ["1.0.0"]:
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
    installed = second

    # A removal that cannot take wf5's entry out: its protk.dat is a folder.
    protk = os.path.join(m.drive, "PTC", "wf5", "text", "protk.dat")
    os.rename(protk, protk + ".aside")
    os.makedirs(protk)
    rc, log, failures = m.msiexec("/x", installed)
    os.rmdir(protk)
    os.rename(protk + ".aside", protk)
    expect_exit(problems, "an unclean removal", rc, [1603], failures=failures)
    if "Failing the removal: C:\\PTC\\wf5: C:\\PTC\\wf5\\text\\protk.dat" not in log or not m.registry(PRODUCT_KEY) \
            or not m.products():
        problems.append(f"an unclean removal: not named, or the product ({m.products()}) or its key went")
    if m.host_file("wf5", "x86e_win64", "obj", "orvbridge.dll") is None:
        problems.append("an unclean removal: wf5 lost its module although its entry stayed")

    rc, log, failures = m.msiexec("/x", installed)
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
    held = Machine(root, os.path.join(work, "held"), results, demo, label="held")
    for name in ("Orvella.msi", "Orvella-1.0.1.msi"):
        shutil.copy(os.path.join(build_dir, "package", name), os.path.join(held.drive, "e2e"))
    rc, log, failures = held.msiexec("/i", second)
    expect_exit(problems, "1.0.1 on another machine", rc, [0], failures=failures)
    held_upgrade(held, root, build_dir, problems)
    return problems


def hold(m, build_dir, path, name):
    return holder.Holder(holder.build(os.path.join(build_dir, "e2e")), m.prefix, os.path.join(m.drive, "e2e"),
                         "C:\\e2e", [path], os.path.join(m.results, f"holder-{name}.txt"))


def restart(m):
    wine.run(m.prefix, ["wineboot", "-r"])
    wine.finish(m.prefix)


def held_upgrade(m, root, build_dir, problems):
    """wf5's module held open, as a running host holds it. A repair of 1.0.1
    over a damaged copy: 3010, the log names the module, and the restart
    puts the 1.0.1 build back. Then a newer build (1.0.2): 3010 (the module
    is replaced at the restart) or 1603 naming the host and the file, never
    0; after the restart (and, after a 1603, a repair) every host has the
    newer module and one entry."""
    newer = os.path.join(m.drive, "e2e", "Orvella-1.0.2.msi")
    out = subprocess.run([os.path.join(root, "package", "build"), "--sequences",
                          os.path.join(root, "package", "sequences.txt"), "--payload", "sample", "--ca-sim",
                          casim.binary(), "--version", "1.0.2",
                          os.path.join(build_dir, "windows", "CustomActions.dll"), newer], capture_output=True, text=True)
    if out.returncode != 0:
        problems.append(f"held module: building 1.0.2 failed: {out.stderr.strip()}")
        return
    module = "C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll"
    local = os.path.join(m.drive, "PTC", "wf5", "x86e_win64", "obj", "orvbridge.dll")
    with open(local, "wb") as f:
        f.write(b"a damaged module\r\n")
    held = hold(m, build_dir, module, "repair")
    rc, log, failures = m.msiexec("/i", "C:\\e2e\\Orvella-1.0.1.msi", "REINSTALL=ALL", "REINSTALLMODE=amus",
                                  before_finish=held.stop)
    expect_exit(problems, "repair with wf5's module held", rc, [3010], failures=failures)
    if f"ORVELLA_RESTART = C:\\PTC\\wf5: {module}" not in log:
        problems.append("repair with wf5's module held: ORVELLA_RESTART does not name the host and the module")
    restart(m)
    problems += module_problems(m, "1.0.1", "repair with the module held, after the restart")

    held = hold(m, build_dir, module, "upgrade")
    rc, log, failures = m.msiexec("/i", "C:\\e2e\\Orvella-1.0.2.msi", before_finish=held.stop)
    expect_exit(problems, "1.0.2 with wf5's module held", rc, [3010, 1603], failures=failures)
    if rc == 1603 % 256 and not re.search(r"Failing the setup: C:\\PTC\\wf5: .*orvbridge\.dll", log):
        problems.append("1.0.2 with wf5's module held: 1603 without naming the host and the file")
    if rc == 3010 % 256 and module.lower() not in log.lower():
        problems.append("1.0.2 with wf5's module held: the log does not name the module")
    registered = m.products()
    restart(m)
    if rc == 1603 % 256:
        # Windows keeps a product whose installation failed after
        # InstallFinalize, and a repair completes it; Wine takes back its own
        # registration of a product it was installing (the upgrade's older
        # version is gone already), so there the installation is run again.
        again = ("REINSTALL=ALL", "REINSTALLMODE=amus") if registered else ()
        rc, log, failures = m.msiexec("/i", "C:\\e2e\\Orvella-1.0.2.msi", *again)
        expect_exit(problems, f"1.0.2 {'repaired' if again else 'installed again'} after the restart", rc, [0],
                    failures=failures)
    problems += module_problems(m, "1.0.2", "1.0.2 with the module held, after the restart")
    if m.products() != ["1.0.2"]:
        problems.append(f"1.0.2 with the module held: installed versions {m.products()}")


def no_host(root, work, results, msi, build_dir):
    m = Machine(root, work, results, None, hosts=False, label="no-host")
    shutil.copy(os.path.join(build_dir, "package", "Orvella.msi"), os.path.join(m.drive, "e2e"))
    problems = []
    rc, log, failures = m.msiexec("/i", msi)
    expect_exit(problems, "no host", rc, [1603], failures=failures)
    if "Stopping the setup: no Creo Parametric or Pro/ENGINEER installation was found or named" not in log:
        problems.append("no host: the log does not say why")
    if m.staged() or m.products() or m.registry(PRODUCT_KEY):
        problems.append(f"no host: left {m.staged()[:4]}, products {m.products()}")
    return problems
