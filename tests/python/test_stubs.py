"""The installed type stubs describe the module as it is: same names and
parameters, a documented function with a working example each, precise
enough types for mypy to reject a wrong element type; and __version__ is the
installed distribution's version."""

import ast
import doctest
import importlib.metadata
import inspect
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import kavo_python as kp

STUBS = pathlib.Path(kp.__file__).resolve().parent / "kavo_python-stubs"


def stub_functions():
    tree = ast.parse((STUBS / "__init__.pyi").read_text())
    return {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}


def stub_all():
    tree = ast.parse((STUBS / "__init__.pyi").read_text())
    for node in tree.body:
        if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "__all__" for t in node.targets):
            return ast.literal_eval(node.value)
    raise AssertionError("the stubs define no __all__")


def test_version_is_the_installed_distributions():
    assert kp.__version__ == importlib.metadata.version("kavo_python")


def test_stub_only_package_is_installed_beside_the_module():
    assert (STUBS / "__init__.pyi").is_file()
    assert (STUBS / "py.typed").is_file()


def test_stubs_name_every_function_in_module_order_with_its_parameters():
    assert stub_all() == kp.__all__
    functions = stub_functions()
    assert sorted(functions) == sorted(kp.__all__)
    for name in kp.__all__:
        arguments = functions[name].args
        assert not arguments.posonlyargs and not arguments.kwonlyargs and not arguments.vararg, name
        stub_parameters = [argument.arg for argument in arguments.args]
        runtime_parameters = list(inspect.signature(getattr(kp, name)).parameters)
        assert stub_parameters == runtime_parameters, name
        defaults = [ast.literal_eval(default) for default in arguments.defaults]
        assert defaults == ([None] if name == "norm" else []), name


@pytest.mark.parametrize("name", kp.__all__)
def test_each_function_is_documented_with_a_working_example(name):
    docstring = ast.get_docstring(stub_functions()[name])
    assert docstring, name
    described = (getattr(kp, name).__doc__ or "").split("\n")[0]
    assert docstring.startswith(described), "the module's own description leads the stub's"
    assert "C-contiguous" in docstring or "as for `add`" in docstring
    examples = doctest.DocTestParser().get_examples(docstring)
    assert any(f"kp.{name}(" in example.source for example in examples), name
    test = doctest.DocTestParser().get_doctest(docstring, {"kp": kp, "np": np}, name, None, 0)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test)
    assert runner.failures == 0, name


def test_mypy_accepts_the_right_element_types_and_reports_a_wrong_one(tmp_path):
    pytest.importorskip("mypy")
    (tmp_path / "right.py").write_text(
        "import numpy as np\nimport kavo_python as kp\n"
        "l = kp.cholesky(np.eye(2))\n"
        "s: float = kp.sum(np.ones((2, 2), np.float32))\n"
        "q, r, perm = kp.col_piv_qr(np.eye(2))\n"
        "w = kp.eigenvalues(np.eye(2))\n"
    )
    (tmp_path / "wrong.py").write_text(
        "import numpy as np\nimport kavo_python as kp\nkp.add(np.ones((2, 2)), np.ones((2, 2), np.float32))\n"
    )
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--no-incremental", "right.py", "wrong.py"],
        cwd=tmp_path,
        capture_output=True,
        text=True,
    )
    errors = [line for line in result.stdout.splitlines() if ": error:" in line]
    assert len(errors) == 1, result.stdout
    assert errors[0].startswith("wrong.py:3:")
    assert 'Argument 1 to "add" has incompatible type' in errors[0]
