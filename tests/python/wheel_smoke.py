"""Run by the interpreter of a fresh venv into which only the built wheel
(and NumPy, its dependency) was installed: the module loads from there, its
stubs and licence came with it, and a few calls of each family agree with
NumPy. Exits non-zero with the failed check's message."""

import importlib.metadata
import pathlib
import sys

import numpy as np

import kavo_python as kp

site = pathlib.Path(sys.prefix).resolve()
module_file = pathlib.Path(kp.__file__).resolve()
assert site in module_file.parents, f"kavo_python loaded from {module_file}, not from the venv {site}"
stubs = module_file.parent / "kavo_python-stubs"
assert (stubs / "__init__.pyi").is_file() and (stubs / "py.typed").is_file(), "stubs missing"

distribution = importlib.metadata.distribution("kavo_python")
assert kp.__version__ == distribution.version
metadata = distribution.metadata
assert metadata["License-Expression"] == "MIT", metadata["License-Expression"]
assert any(str(f).endswith("licenses/LICENSE") for f in distribution.files), "licence file missing"
assert "MIT License" in distribution.read_text("licenses/LICENSE")

rng = np.random.default_rng(0)
a32 = rng.standard_normal((300, 200), dtype=np.float32)
b32 = rng.standard_normal((200, 100), dtype=np.float32)
np.testing.assert_array_equal(kp.add(a32, a32), a32 + a32)
np.testing.assert_allclose(kp.matmul(a32, b32), a32 @ b32, rtol=1e-4, atol=1e-4)
np.testing.assert_allclose(kp.sum(a32), a32.sum(dtype=np.float64), atol=1e-6 * np.abs(a32).sum(dtype=np.float64))

a = rng.standard_normal((60, 60))
b = rng.standard_normal(60)
np.testing.assert_allclose(a @ kp.solve(a, b), b, atol=1e-10)
np.testing.assert_allclose(kp.singular_values(a), np.linalg.svd(a, compute_uv=False), rtol=1e-12)
spd = a @ a.T + 60 * np.eye(60)
np.testing.assert_allclose(kp.cholesky(spd), np.linalg.cholesky(spd), rtol=1e-12, atol=1e-12)
w, v = kp.symmetric_eigen(spd)
np.testing.assert_allclose(w, np.linalg.eigvalsh(spd), rtol=1e-12)

try:
    kp.solve(a, b[:3])
except ValueError as error:
    assert str(error) == "Shape mismatch: lhs [3], rhs [60]", str(error)
else:
    raise AssertionError("solve accepted a right-hand side of the wrong length")

print(f"kavo_python {kp.__version__} from {module_file.name}: smoke test passed")
