#!/usr/bin/env python3
"""Builds the Python module pellimor for the Python that runs this script and
installs it into that Python's site-packages, so that `import pellimor` works
from any folder:

    python3 scripts/install_python.py             # for the python3 on the path
    /usr/bin/python3 scripts/install_python.py    # for Debian's Python

A compiled module loads only into Pythons of the minor version it was built
for, so each Python gets its own build (in build-python/) against its own
headers. The module needs numpy. A Python of the same minor version as
Debian's (such as one from pyenv) that has no numpy of its own is given
Debian's packages (numpy, pandas, networkx) by a file
pellimor-debian-packages.pth in its site-packages, which puts
/usr/lib/python3/dist-packages at the end of its module path: its own
packages still come first. A Python of another minor version without numpy
is refused. `--uninstall` removes everything installed here, that file
included (so does `pip uninstall pellimor` where pip may).

Options: --uninstall removes it again; --target DIR installs into DIR instead of site-packages (DIR must
then be on the Python's path, and so must Debian's packages where they are
needed: no .pth file is written there); --jobs N compiles with N jobs
(default 2).
Exit status 0 when the module was installed and imports from a fresh
process, 1 otherwise.
"""

from __future__ import annotations

import argparse
import base64
import glob
import hashlib
import importlib.util
import os
import re
import shutil
import site
import subprocess
import sys
import sysconfig
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEBIAN_PACKAGES = Path("/usr/lib/python3/dist-packages")
PTH_NAME = "pellimor-debian-packages.pth"
INSTALLER = "pellimor scripts/install_python.py"
PYTHON = f"Python {sys.version.split()[0]} ({sys.executable})"


class Refusal(Exception):
    """What stops the installation, and what to do."""


def say(text: str) -> None:
    print(f"install_python: {text}", flush=True)


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    match = re.search(r"project\(pellimor VERSION ([0-9.]+)", text)
    if not match:
        raise Refusal(f"no project version in {ROOT / 'CMakeLists.txt'}")
    return match.group(1)


def debian_numpy_fits() -> bool:
    """True when Debian's numpy is built for this Python's minor version."""
    suffix = sysconfig.get_config_var("EXT_SUFFIX") or ""
    built = glob.glob(str(DEBIAN_PACKAGES / "numpy" / "core" / f"_multiarray_umath*{suffix}"))
    return bool(suffix) and bool(built)


def check_python() -> bool:
    """Refuses a Python that cannot build or import the module; True when
    Debian's packages must be made visible to it."""
    if sys.version_info < (3, 8):
        raise Refusal(f"{PYTHON} is older than 3.8, the oldest the module supports")
    header = Path(sysconfig.get_paths()["include"]) / "Python.h"
    if not header.exists():
        raise Refusal(
            f"{PYTHON} has no headers ({header} is missing): for Debian's Python install "
            "python3-dev (apt-get install python3-dev); for another Python install its "
            "development files")
    if shutil.which("cmake") is None:
        raise Refusal("cmake is not on the path: apt-get install cmake g++")
    if importlib.util.find_spec("numpy") is not None:
        return False
    if str(DEBIAN_PACKAGES) in sys.path:
        raise Refusal(f"{PYTHON} cannot import numpy, which the module needs: "
                      "apt-get install python3-numpy")
    if debian_numpy_fits():
        return True
    raise Refusal(
        f"{PYTHON} cannot import numpy, which the module needs, and Debian's numpy "
        f"({DEBIAN_PACKAGES}) is not built for Python {sys.version_info.major}."
        f"{sys.version_info.minor}. Install numpy for this Python ({sys.executable} -m pip "
        "install numpy), or install the module for Debian's Python "
        "(apt-get install python3-numpy python3-dev, then /usr/bin/python3 "
        "scripts/install_python.py)")


def build(jobs: int) -> Path:
    """Builds the package for this Python; returns its folder."""
    tag = hashlib.sha1(sys.executable.encode()).hexdigest()[:8]
    folder = ROOT / "build-python" / f"{sys.implementation.cache_tag}-{tag}"
    say(f"building the module for {PYTHON} in {folder}")
    subprocess.run(
        ["cmake", "-S", str(ROOT), "-B", str(folder), "-DCMAKE_BUILD_TYPE=Release",
         "-DPELLIMOR_BUILD_TESTS=OFF", "-DPELLIMOR_PYTHON=ON",
         f"-DPython_EXECUTABLE={sys.executable}"],
        check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(folder), "-j", str(jobs), "--target",
                    "pellimor_python"], check=True)
    return folder / "python" / "pellimor"


def destination(target: str | None) -> Path:
    if target:
        return Path(target).resolve()
    platlib = Path(sysconfig.get_paths()["platlib"])
    if os.access(platlib, os.W_OK) or (not platlib.exists() and os.access(platlib.parent,
                                                                         os.W_OK)):
        return platlib
    if site.ENABLE_USER_SITE:
        say(f"{platlib} is not writable; installing into the user's site-packages")
        return Path(site.getusersitepackages())
    raise Refusal(f"{platlib} is not writable and this Python has no user site-packages: "
                  "run as a user who may write there, or name a folder with --target")


def remove_previous(dest: Path) -> bool:
    """Removes what an earlier run of this script installed in dest; refuses
    to touch a pellimor installed some other way. True when there was one."""
    ours = False
    for info in dest.glob("pellimor-*.dist-info"):
        installer = info / "INSTALLER"
        if not installer.exists() or installer.read_text().strip() != INSTALLER:
            continue
        ours = True
        for line in (info / "RECORD").read_text().splitlines():
            path = dest / line.split(",")[0]
            if path.is_file() or path.is_symlink():
                path.unlink()
        shutil.rmtree(dest / "pellimor" / "__pycache__", ignore_errors=True)
        for folder in (dest / "pellimor", info):
            try:
                if folder.is_dir():
                    folder.rmdir()
            except OSError:
                raise Refusal(f"{folder} holds files this script did not install; "
                              "move them away first") from None
    if (dest / "pellimor").exists() and not ours:
        raise Refusal(f"{dest / 'pellimor'} exists and was not installed by this script; "
                      f"remove it first ({sys.executable} -m pip uninstall pellimor)")
    return ours


def record_line(dest: Path, path: Path) -> str:
    data = path.read_bytes()
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path.relative_to(dest).as_posix()},sha256={digest},{len(data)}"


def install(package: Path, dest: Path, debian: bool, target_given: bool) -> None:
    dest.mkdir(parents=True, exist_ok=True)
    remove_previous(dest)
    installed = []
    (dest / "pellimor").mkdir()
    for source in sorted(package.iterdir()):
        if source.is_file():
            target = dest / "pellimor" / source.name
            shutil.copy2(source, target)
            installed.append(target)
    if debian and target_given:
        say(f"{PYTHON} has no numpy of its own: put {DEBIAN_PACKAGES} on its path after {dest}")
    elif debian:
        pth = dest / PTH_NAME
        pth.write_text(f"{DEBIAN_PACKAGES}\n")
        installed.append(pth)
        say(f"{PYTHON} has no numpy of its own: {pth} makes Debian's packages for Python "
            f"{sys.version_info.major}.{sys.version_info.minor} ({DEBIAN_PACKAGES}: numpy, "
            "pandas, networkx, ...) visible to it, after its own packages")
    version = project_version()
    info = dest / f"pellimor-{version}.dist-info"
    info.mkdir()
    (info / "METADATA").write_text(
        f"Metadata-Version: 2.1\nName: pellimor\nVersion: {version}\n"
        "Summary: Markov equivalence classes of DAGs: exact counts and uniform samples\n")
    (info / "INSTALLER").write_text(INSTALLER + "\n")
    lines = [record_line(dest, path) for path in
             installed + [info / "METADATA", info / "INSTALLER"]]
    lines.append(f"{(info / 'RECORD').relative_to(dest).as_posix()},,")
    (info / "RECORD").write_text("\n".join(lines) + "\n")
    say(f"installed into {dest}")


def check_import(dest: Path, keep_path: bool) -> None:
    """Imports the module in a fresh process from an empty folder (without
    PYTHONPATH unless keep_path)."""
    environment = {k: v for k, v in os.environ.items() if keep_path or k != "PYTHONPATH"}
    with tempfile.TemporaryDirectory() as folder:
        done = subprocess.run(
            [sys.executable, "-c",
             "import pellimor, numpy; pellimor.counts(3); print(pellimor.__file__)"],
            cwd=folder, env=environment, capture_output=True, text=True)
    if done.returncode != 0:
        raise Refusal(f"the installed module does not import:\n{done.stderr}")
    loaded = Path(done.stdout.strip()).resolve()
    if dest.resolve() not in loaded.parents:
        raise Refusal(f"`import pellimor` loads {loaded}, not the module installed into {dest}: "
                      "remove that one, or put the destination first on the path")
    missing = [name for name in ("pandas", "networkx") if subprocess.run(
        [sys.executable, "-c", f"import {name}"], env=environment,
        capture_output=True).returncode != 0]
    if missing:
        say(f"note: {PYTHON} cannot import {' and '.join(missing)}, which only "
            "Run.to_frame() (pandas) and to_networkx() (networkx) need")
    say(f"`import pellimor` works for {PYTHON}")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--target", help="install into this folder instead of site-packages")
    parser.add_argument("--jobs", type=int, default=2, help="compile jobs (default 2)")
    parser.add_argument("--uninstall", action="store_true",
                        help="remove what this script installed for this Python")
    args = parser.parse_args()
    try:
        if args.uninstall:
            dest = destination(args.target)
            say(f"removed pellimor from {dest}" if remove_previous(dest) else
                f"no pellimor installed by this script in {dest}")
            return 0
        debian = check_python()
        package = build(args.jobs)
        dest = destination(args.target)
        install(package, dest, debian, target_given=args.target is not None)
        check_import(dest, keep_path=args.target is not None)
    except Refusal as refusal:
        print(f"install_python: {refusal}", file=sys.stderr)
        return 1
    except subprocess.CalledProcessError as failure:
        print(f"install_python: {' '.join(failure.cmd)} failed with status "
              f"{failure.returncode}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
