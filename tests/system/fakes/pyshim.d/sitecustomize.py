"""Makes the host's interpreter report the simulated version; leaves no trace for children."""
import os
import sys

_version = os.environ.pop("MACSIM_PY_VERSION", "")
os.environ.pop("MACSIM_PY_SITE", None)
if _version:
    sys.version = _version + sys.version[sys.version.index(" "):]
_paths = [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p and not p.startswith("/.macsim/")]
if _paths:
    os.environ["PYTHONPATH"] = os.pathsep.join(_paths)
else:
    os.environ.pop("PYTHONPATH", None)
