"""A second process that holds files open under Wine, as a running host
holds its modules (holder/holder.c): started before a sequence's msiexec,
stopped after it."""
import os
import subprocess
import time

from . import wine

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
READY = "holder-ready.txt"
STOP = "holder-stop.txt"


class HolderError(Exception):
    pass


def build(out_dir):
    src = os.path.join(HERE, "holder", "holder.c")
    out = os.path.join(out_dir, "holder.exe")
    if not os.path.exists(out) or os.path.getmtime(out) < os.path.getmtime(src):
        os.makedirs(out_dir, exist_ok=True)
        subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-s", "-o", out, src], check=True)
    return out


class Holder:
    """Holds `paths` (Windows form) in the prefix until stop(). `stage` is
    the prefix's folder for the harness's own files, `stage_windows` its
    Windows name."""

    def __init__(self, exe, prefix, stage, stage_windows, paths, output, timeout=120, env_extra=()):
        self.stage = stage
        for name in (READY, STOP):
            if os.path.exists(os.path.join(stage, name)):
                os.remove(os.path.join(stage, name))
        self.output = open(output, "wb")
        # A file, not a pipe, for its output: see wine.run.
        self.process = subprocess.Popen(
            ["wine", exe, f"{stage_windows}\\{READY}", f"{stage_windows}\\{STOP}", *paths],
            env={**wine.base_env(prefix), **dict(env_extra)}, cwd=os.path.join(prefix, "drive_c"),
            stdout=self.output, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + timeout
        ready = os.path.join(stage, READY)
        while not os.path.exists(ready):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise HolderError(f"the holder did not start (exit status {self.process.returncode})")
            time.sleep(0.1)
        with open(ready) as f:
            said = f.read().strip()
        if not said.startswith("held "):
            self.stop()
            raise HolderError(f"the holder could not hold the files: {said}")

    def stop(self, timeout=60):
        """Lets the holder end, which closes its files; waits until it has."""
        with open(os.path.join(self.stage, STOP), "w"):
            pass
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.output.close()
