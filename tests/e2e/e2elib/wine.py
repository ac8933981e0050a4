"""Running the package under Wine: one pristine prefix made once and copied
per scenario, msiexec with a verbose log, and the machine's state afterwards."""
import os
import re
import shutil
import subprocess
import tempfile
import time

# Wine's messages when a custom action never ran or died. The log cannot tell:
# with the return value ignored, every action "ends" with value 1 even when
# its DLL did not load, the entry point is missing, or it crashed.
FAILURE_PATTERNS = [
    (re.compile(r"err:msi:.*failed to load dll"), "custom-action DLL did not load"),
    (re.compile(r"warn:msi:.*GetProcAddress\(.*\) failed"), "custom-action entry point missing"),
    (re.compile(r"err:msi:.*caused a page fault"), "custom action crashed (page fault)"),
    (re.compile(r"Unhandled exception"), "unhandled exception in the installer"),
    (re.compile(r"err:msi:custom_client_thread"), "custom-action server died"),
]
WINEDEBUG = "-all,err+msi,warn+msi"


class WineError(Exception):
    pass


def base_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG=WINEDEBUG,
               WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY="")
    env.pop("WAYLAND_DISPLAY", None)
    return env


def wine_version():
    return subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()


def finish(prefix):
    wait_server(prefix)


def wait_server(prefix, timeout=120):
    env = base_env(prefix)
    try:
        subprocess.run(["wineserver", "-w"], env=env, timeout=timeout)
    except subprocess.TimeoutExpired:
        # Only this prefix's processes: wineserver -k is scoped to WINEPREFIX.
        subprocess.run(["wineserver", "-k"], env=env)
        raise WineError("wine processes did not finish")


def template(path):
    """A pristine prefix, made once per Wine version."""
    stamp = os.path.join(path, ".e2e-wine-version")
    version = wine_version()
    if os.path.exists(stamp) and open(stamp).read() == version:
        return path
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    env = base_env(path)
    subprocess.run(["wine", "wineboot", "-i"], env=env, capture_output=True, timeout=300)
    wait_server(path)
    if not os.path.isdir(os.path.join(path, "drive_c", "windows")):
        raise WineError(f"wineboot did not create a prefix in {path}")
    with open(stamp, "w") as f:
        f.write(version)
    return path


def clone(template_path, prefix):
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["cp", "-a", template_path, prefix], check=True)


def run(prefix, args, env_extra=(), timeout=300):
    """Runs `wine ARGS...` in the prefix with drive C: as the working folder.
    `wine` returns when the program has ended; the prefix's server and
    services stay up for the next call until finish()."""
    env = base_env(prefix)
    env.update(dict(env_extra))
    # A file, not a pipe: Wine's services inherit the handle and would hold a
    # pipe open until they shut down.
    with tempfile.TemporaryFile() as out:
        try:
            result = subprocess.run(["wine", *args], env=env, cwd=os.path.join(prefix, "drive_c"),
                                    stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            subprocess.run(["wineserver", "-k"], env=base_env(prefix))
            raise WineError(f"wine {' '.join(args)} timed out after {timeout}s")
        out.seek(0)
        return result.returncode, out.read().decode(errors="replace")


def run_idempotent(prefix, args, env_extra=(), attempts=3):
    """Runs a setup step that may be repeated safely (an import, a value
    written whole). Under load, Wine's first program in a fresh prefix has
    been seen to exit 1 with no output and no effect; a second try works.
    Returns the last (status, output) and the failed tries' statuses."""
    failed = []
    for attempt in range(attempts):
        rc, out = run(prefix, args, env_extra)
        if rc == 0:
            break
        failed.append(rc)
        if attempt + 1 < attempts:
            time.sleep(2)
    return rc, out, failed


def failures(output):
    found = []
    for line in output.splitlines():
        for pattern, meaning in FAILURE_PATTERNS:
            if pattern.search(line):
                found.append(f"{meaning}: {line.strip()}")
                break
    return found


def action_lines(log_text, action):
    started = re.search(r"^Action start .*: " + re.escape(action) + r"\.\s*$", log_text, re.M)
    ended = re.search(r"^Action ended .*: " + re.escape(action) + r"\. Return value (\d+)\.", log_text, re.M)
    return started is not None, (ended.group(1) if ended else None)


def unfinished_actions(log_text):
    """Actions that the log shows starting but not ending."""
    started = re.findall(r"^Action start .*?: (\S+)\.\s*$", log_text, re.M)
    ended = set(re.findall(r"^Action ended .*?: (\S+)\. Return value", log_text, re.M))
    return [f"{name}: no end line in the log" for name in started if name not in ended]


def log_properties(log_text, kind="S"):
    """The property dump that Wine's verbose log ends with: Property(S): NAME = VALUE."""
    props = {}
    prefix = f"Property({kind}): "
    for line in log_text.splitlines():
        if line.startswith(prefix):
            name, sep, value = line[len(prefix):].partition(" = ")
            if sep:
                props[name] = value.rstrip("\r")
    return props


def read_text(path):
    with open(path, "rb") as f:
        raw = f.read()
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le")
    return raw.decode("utf-8", errors="replace")


# Wine's own wording of the system texts that our log lines quote, where it
# differs from Windows' (FormatMessage): code -> (Wine's, Windows'). A line of
# Wine's log is compared with ca-sim's after this one substitution; any other
# difference fails.
WINE_ERROR_TEXTS = {
    2: ("File not found.", "The system cannot find the file specified."),
    3: ("Path not found.", "The system cannot find the path specified."),
    5: ("Access denied.", "Access is denied."),
    32: ("Sharing violation.", "The process cannot access the file because it is being used by another process."),
    33: ("Lock violation.", "The process cannot access the file because another process has locked a portion "
                            "of the file."),
    145: ("Directory not empty.", "The directory is not empty."),
    183: ("File already exists.", "Cannot create a file when that file already exists."),
}
# "error 3 (text)" in a failed call's line, "(error 3: text)" in the text of
# ORVELLA_INSTALL_ERROR and ORVELLA_REMOVE_ERROR.
ERROR_TEXT = re.compile(r"error (\d+)( \(|: )([^)]*)\)")


def windows_error_texts(line):
    def swap(m):
        wine_text, windows_text = WINE_ERROR_TEXTS.get(int(m.group(1)), (None, None))
        return f"error {m.group(1)}{m.group(2)}{windows_text})" if m.group(3) == wine_text else m.group(0)
    return ERROR_TEXT.sub(swap, line)


def action_log_lines(log_text, actions):
    """Our actions' lines of a verbose log ("<action>: ..."), in order, with
    Wine's system texts in Windows' wording."""
    prefix = re.compile(r"^(" + "|".join(re.escape(a) for a in actions) + r"): ")
    return [windows_error_texts(line.rstrip("\r")) for line in log_text.splitlines() if prefix.match(line)]
