"""ca-sim, the one reader of the formats that describe a machine and a
package: scenario.txt, the package's sequences.txt and registry files
(regedit text and Wine's hives). The harnesses ask it; none parses them."""
import functools
import json
import os
import subprocess
from types import SimpleNamespace

from . import registry as registry_module

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
_binary = [os.environ.get("CA_SIM") or os.path.join(ROOT, "build", "linux", "ca-sim")]


class CaSimError(Exception):
    pass


def use(path):
    """The ca-sim binary to ask from now on."""
    _binary[0] = os.path.abspath(path)
    actions.cache_clear()


def binary():
    if not os.access(_binary[0], os.X_OK):
        raise CaSimError(f"no ca-sim at {_binary[0]}: build the linux preset first")
    return _binary[0]


def output(*args):
    """ca-sim's standard output as bytes; its message when it refuses."""
    result = subprocess.run([binary(), *args], capture_output=True)
    if result.returncode != 0:
        raise CaSimError(result.stderr.decode(errors="replace").strip() or f"ca-sim {args[0]} failed")
    return result.stdout


def listing(*args):
    return json.loads(output(*args, "--json"))


def scenario(folder):
    """What the scenario folder's scenario.txt says: properties, env, actions,
    sequences and expect as lists ([(name, value)] or [name]), and its
    holds, restarts, changes and code page as ca-sim lists them."""
    s = listing("scenario", folder)
    pairs = lambda items: [(item["name"], item["value"]) for item in items]
    return SimpleNamespace(file=s["file"], registry=s["registry"], properties=pairs(s["properties"]), env=pairs(s["environment"]),
                           actions=[n["name"] for n in s["run"]], sequences=[n["name"] for n in s["sequences"]],
                           expect=pairs(s["expect"]), holds=s["holds"], restarts=s["restarts"], changes=s["changes"],
                           codepage=s["codepage"] or 1252, features=s["features"], components=s["components"])


def between(case, number):
    """What a scenario (as scenario() gives it) does after its NUMBERth
    sequence, in the order of its lines, as ca-sim runs it: ("restart",
    None) or ("change", FOLDER)."""
    steps = [(r["line"], 0, "restart", None) for r in case.restarts if r["afterSequences"] == number]
    steps += [(c["line"], 1, "change", c["folder"]) for c in case.changes if c["afterSequences"] == number]
    return [(kind, folder) for _, _, kind, folder in sorted(steps)]


def sequences(file):
    """Every step of a sequences file, in its order: dicts with sequence,
    action, condition, line, and for "set" steps property and value."""
    return listing("sequences", "--file", file)["steps"]


def registry(path, under=(), codepage=1252):
    """A regedit file or a Wine hive file as an e2elib.registry.Registry, its
    text as a program in that code page reads it."""
    return registry_module.from_listing(listing("registry", path, "--codepage", str(codepage),
                                                *[arg for key in under for arg in ("--under", key)]))


def for_wine(path):
    """A regedit file as Wine's regedit imports it."""
    return output("registry", path, "--for-wine")


@functools.lru_cache(maxsize=None)
def actions():
    """The library's exported actions."""
    return tuple(output("actions").decode().split())
