import numpy as np
import pytest

import kavo_python
from conftest import FUNCTIONS, valid_arguments


def outcome(call):
    """The exception type and text a call ends with, or 'returned'."""
    try:
        call()
    except Exception as error:
        return type(error).__name__, str(error)
    return "returned", ""


@pytest.mark.parametrize("name, parameters, _", FUNCTIONS)
def test_too_many_positional_arguments(name, parameters, _):
    function = getattr(kavo_python, name)
    given = len(parameters) + 1
    takes = "from 1 to 2" if name == "norm" else str(len(parameters))
    with pytest.raises(TypeError) as error:
        function(*range(given))
    assert str(error.value) == f"{name}() takes {takes} positional arguments but {given} were given"


@pytest.mark.parametrize("name, parameters, _", FUNCTIONS)
def test_missing_required_arguments(name, parameters, _):
    function = getattr(kavo_python, name)
    required = ["a"] if name == "norm" else list(parameters)
    expected_names = " and ".join(f"'{p}'" for p in required)
    word = "argument" if len(required) == 1 else "arguments"
    with pytest.raises(TypeError) as error:
        function()
    assert str(error.value) == f"{name}() missing {len(required)} required positional {word}: {expected_names}"


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda x: kavo_python.add(x), "add() missing 1 required positional argument: 'b'"),
        (lambda x: kavo_python.add(b=x), "add() missing 1 required positional argument: 'a'"),
        (lambda x: kavo_python.det(x, x), "det() takes 1 positional arguments but 2 were given"),
        (lambda x: kavo_python.det(), "det() missing 1 required positional argument: 'a'"),
        (lambda x: kavo_python.norm(x, None, 3), "norm() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda x: kavo_python.add(x, a=x), "add() got multiple values for argument 'a'"),
        (lambda x: kavo_python.add(x, x, c=x), "add() got an unexpected keyword argument 'c'"),
        # The first offending keyword decides.
        (lambda x: kavo_python.add(x, c=x, a=x), "add() got an unexpected keyword argument 'c'"),
        (lambda x: kavo_python.add(x, a=x, c=x), "add() got multiple values for argument 'a'"),
        (lambda x: kavo_python.sum(x, 1), "sum() takes 1 positional arguments but 2 were given"),
    ],
)
def test_argument_errors(call, message):
    x = np.ones((2, 2), np.float32)
    with pytest.raises(TypeError) as error:
        call(x)
    assert str(error.value) == message


@pytest.mark.parametrize("name, parameters, _", FUNCTIONS)
def test_keywords_work_like_positionals(name, parameters, _):
    function = getattr(kavo_python, name)
    arguments = valid_arguments(name)
    by_keyword = dict(zip(parameters, arguments))
    positional = outcome(lambda: function(*arguments))
    keyword = outcome(lambda: function(**by_keyword))
    assert positional == keyword
    if positional[0] != "returned":
        assert positional[0] != "TypeError", positional

