"""scenario.txt: the line-based description of one end-to-end case.

    # comment
    property NAME=VALUE   starting installer property (msiexec command line)
    env NAME=VALUE        environment variable of the installer process
    run ACTION ACTION ... actions, in order (several run lines append)
    sequence NAME ...     instead of run: the package's named sequences
                          (install: msiexec /i, remove: msiexec /x), in order
    expect NAME=VALUE     property after the run; an empty VALUE means unset
    codepage NUMBER       the machine's ANSI code page: 1252 (the default) or
                          932, which Wine takes from LANG=ja_JP.UTF-8

Values are taken as they stand after the first '=', blanks included; only the
line ending is dropped.
"""
import re
from dataclasses import dataclass, field

_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_.]*$")
# Each code page the machine can run in: Python's codec for its text, and
# the locale under which Wine takes it as its ANSI code page.
CODE_PAGES = {1252: ("cp1252", None), 932: ("cp932", "ja_JP.UTF-8")}


class ScenarioError(Exception):
    pass


@dataclass
class Scenario:
    properties: list = field(default_factory=list)   # [(name, value)] in file order
    env: list = field(default_factory=list)
    actions: list = field(default_factory=list)
    expect: list = field(default_factory=list)
    sequences: list = field(default_factory=list)
    codepage: int = 1252

    @property
    def codec(self):
        return CODE_PAGES[self.codepage][0]

    def wine_env(self):
        """What the Wine processes need besides the scenario's own environment:
        the locale's code page, with Wine's messages (its log, the system's
        error texts) still in English."""
        locale = CODE_PAGES[self.codepage][1]
        return [("LANG", locale), ("LC_ALL", ""), ("LC_MESSAGES", "C")] if locale else []


def _assignment(text, where):
    name, sep, value = text.partition("=")
    name = name.strip()
    if not sep or not _NAME.match(name):
        raise ScenarioError(f"{where}: expected NAME=VALUE, got {text!r}")
    return name, value


def parse(text, source="scenario.txt"):
    s = Scenario()
    for number, raw in enumerate(text.splitlines(), start=1):
        line = raw.rstrip("\r")
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        where = f"{source}:{number}"
        keyword = stripped.split(None, 1)[0]
        # The value keeps its trailing blanks: take it from the raw line.
        rest = line.lstrip()[len(keyword):].lstrip(" \t")
        if keyword == "property":
            s.properties.append(_assignment(rest, where))
        elif keyword == "env":
            s.env.append(_assignment(rest, where))
        elif keyword == "expect":
            s.expect.append(_assignment(rest, where))
        elif keyword == "run":
            names = rest.split()
            if not names:
                raise ScenarioError(f"{where}: run needs at least one action")
            for name in names:
                if not _NAME.match(name):
                    raise ScenarioError(f"{where}: not an action name: {name!r}")
            s.actions.extend(names)
        elif keyword == "codepage":
            if not rest.strip().isdigit() or int(rest) not in CODE_PAGES:
                raise ScenarioError(f"{where}: expected codepage 1252 or codepage 932")
            s.codepage = int(rest)
        elif keyword == "sequence":
            names = rest.split()
            if not names or any(n not in ("install", "remove") for n in names):
                raise ScenarioError(f"{where}: sequence needs names, each install or remove")
            s.sequences.extend(names)
        else:
            raise ScenarioError(f"{where}: unknown keyword {keyword!r}")
    if bool(s.actions) == bool(s.sequences):
        raise ScenarioError(f"{source}: either run lines or sequence lines")
    return s


def load(path):
    with open(path, encoding="utf-8") as f:
        return parse(f.read(), path)
