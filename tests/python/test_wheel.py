"""The manylinux wheel `make wheel` leaves in dist/ installs into a fresh
venv (pip fetches NumPy, its one dependency) and works there, away from the
source tree and from the development venv."""

import email.parser
import importlib.metadata
import pathlib
import subprocess
import sys
import zipfile

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SMOKE = pathlib.Path(__file__).resolve().parent / "wheel_smoke.py"


@pytest.fixture(scope="module")
def wheel():
    version = importlib.metadata.version("kavo_python")
    found = sorted((ROOT / "dist").glob(f"kavo_python-{version}-cp313-cp313-manylinux_*_x86_64.whl"))
    if not found:
        pytest.fail(f"no manylinux wheel of version {version} in dist/: run `make wheel`")
    return found[-1]


def test_wheel_carries_licence_metadata_and_stubs(wheel):
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        info = next(name.split("/")[0] for name in names if name.endswith(".dist-info/METADATA"))
        metadata = email.parser.Parser().parsestr(archive.read(f"{info}/METADATA").decode())
        licence = archive.read(f"{info}/licenses/LICENSE").decode()
    assert metadata["License-Expression"] == "MIT"
    assert metadata["License-File"] == "LICENSE"
    assert licence.startswith("MIT License")
    classifiers = metadata.get_all("Classifier")
    assert "Programming Language :: Python :: 3.13" in classifiers
    assert "Typing :: Typed" in classifiers
    assert metadata["Requires-Python"] == ">=3.13"
    assert {"kavo_python-stubs/__init__.pyi", "kavo_python-stubs/py.typed"} <= names
    assert any(name.startswith("kavo_python.cpython-313-") and name.endswith(".so") for name in names)


def test_wheel_installs_into_a_fresh_venv_and_passes_the_smoke_test(wheel, tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True, timeout=120)
    python = venv / "bin" / "python"
    install = subprocess.run(
        [str(python), "-m", "pip", "install", "--quiet", "--disable-pip-version-check", str(wheel)],
        capture_output=True, text=True, timeout=600,
    )
    assert install.returncode == 0, install.stdout + install.stderr
    (tmp_path / "smoke.py").write_text(SMOKE.read_text())
    smoke = subprocess.run(
        [str(python), "smoke.py"], cwd=tmp_path, capture_output=True, text=True, timeout=300
    )
    assert smoke.returncode == 0, smoke.stdout + smoke.stderr
    assert "smoke test passed" in smoke.stdout
