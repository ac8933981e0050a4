"""The probe DLL (probe/): test-only custom actions that report what the
real engine sees."""
import os
import subprocess

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build(out_dir):
    src = os.path.join(HERE, "probe", "probe.cpp")
    deff = os.path.join(HERE, "probe", "probe.def")
    out = os.path.join(out_dir, "probe.dll")
    newest = max(os.path.getmtime(src), os.path.getmtime(deff))
    if not os.path.exists(out) or os.path.getmtime(out) < newest:
        os.makedirs(out_dir, exist_ok=True)
        subprocess.run(["x86_64-w64-mingw32-g++", "-std=c++20", "-O2", "-shared", "-static", "-static-libgcc",
                        "-static-libstdc++", "-o", out, src, deff, "-lmsi"], check=True)
    return out
