"""scenario.txt: the line-based description of one end-to-end case.

    # comment
    property NAME=VALUE   starting installer property (msiexec command line)
    env NAME=VALUE        environment variable of the installer process
    run ACTION ACTION ... actions, in order (several run lines append)
    sequence NAME ...     instead of run: the package's named sequences
                          (install: msiexec /i, remove: msiexec /x), in order
    expect NAME=VALUE     property after the run; an empty VALUE means unset

Values are taken as they stand after the first '=', blanks included; only the
line ending is dropped.
"""
import re
from dataclasses import dataclass, field

_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_.]*$")


class ScenarioError(Exception):
    pass


@dataclass
class Scenario:
    properties: list = field(default_factory=list)   # [(name, value)] in file order
    env: list = field(default_factory=list)
    actions: list = field(default_factory=list)
    expect: list = field(default_factory=list)
    sequences: list = field(default_factory=list)


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
