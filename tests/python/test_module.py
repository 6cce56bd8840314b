import inspect

import _testcapi
import pytest

import kavo_python
from conftest import FUNCTIONS

DESCRIBED = {
    "batched_matmul": "Batched matrix multiply over 3D arrays `[batch, m, k] @ [batch, k, n] -> [batch, m, n]`.\n"
    "A batch dimension of 1 on either operand broadcasts. Mirrors `numpy.matmul` on 3D inputs.",
    "cholesky_solve": "Solve `A x = b` for symmetric positive-definite `A` via its Cholesky factor.",
    "cholesky_inv": "Inverse of a symmetric positive-definite matrix via its Cholesky factor.",
    "hessenberg": "Hessenberg reduction `A = Q H Q\u1d40`. Returns `(Q, H)`.",
    "eigenvalues": "Eigenvalues of a general real matrix, returned as a complex vector.",
    "full_piv_lu": "Full-pivoting LU: returns `(L, U, row_perm, col_perm)`.",
    "udu": "Pivot-free `A = U D U\u1d40`. Returns `(U, d)` with `d` the diagonal of `D`.",
    "bidiagonalize": "Bidiagonalization `A = U B V\u1d40`. Returns `(U, B, V)`.",
}


def test_all_lists_the_functions_in_table_order():
    assert kavo_python.__all__ == [name for name, _, _ in FUNCTIONS]


@pytest.mark.parametrize("name, parameters, _", FUNCTIONS)
def test_signature_docstring_and_module(name, parameters, _):
    function = getattr(kavo_python, name)
    assert function.__module__ == "kavo_python"
    expected_signature = "(a, ord=None)" if name == "norm" else "(" + ", ".join(parameters) + ")"
    assert function.__text_signature__ == expected_signature
    assert str(inspect.signature(function)) == expected_signature
    assert (function.__doc__ or "") == DESCRIBED.get(name, "")


def test_help_shows_norm_signature():
    assert inspect.signature(kavo_python.norm).parameters["ord"].default is None
    assert "norm(a, ord=None)" in pydoc_text(kavo_python.norm)


def pydoc_text(obj):
    import pydoc

    return pydoc.render_doc(obj, renderer=pydoc.plaintext)


def test_reimport_returns_the_same_module():
    import importlib

    assert importlib.import_module("kavo_python") is kavo_python


def test_import_in_a_subinterpreter_is_refused(tmp_path):
    result = tmp_path / "result.txt"
    code = (
        "try:\n"
        "    import kavo_python\n"
        "    outcome = 'imported'\n"
        "except ImportError as error:\n"
        "    outcome = 'ImportError: ' + str(error)\n"
        f"open({str(result)!r}, 'w').write(outcome)\n"
    )
    assert _testcapi.run_in_subinterp(code) == 0
    assert result.read_text() == "ImportError: kavo_python does not support subinterpreters"
