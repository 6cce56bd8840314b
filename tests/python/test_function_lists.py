"""The module describes each function once; the places that list the
functions for people follow it in the same order: the stubs' __all__ and
definitions, the README's numbered table and docs/reference.md's index,
whose links lead to a section that names the function."""

import ast
import pathlib
import re

import kavo_python as kp

ROOT = pathlib.Path(__file__).resolve().parents[2]
STUBS = ROOT / "python" / "kavo_python-stubs" / "__init__.pyi"
README_ROW = re.compile(r"^\| (\d+) \| `(\w+)\(.*?\)` \|.*\|$")
INDEX_ENTRY = re.compile(r"^(\d+)\. \[`(\w+)`\]\(#([\w-]+)\)$")


def numbered(pattern, text):
    return [match.groups() for line in text.splitlines() if (match := pattern.match(line))]


def stub_lists():
    tree = ast.parse(STUBS.read_text())
    (all_names,) = [
        ast.literal_eval(node.value)
        for node in tree.body
        if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "__all__" for t in node.targets)
    ]
    definitions = [node.name for node in tree.body if isinstance(node, ast.FunctionDef)]
    return all_names, definitions


def heading_anchor(heading):
    """GitHub's anchor for a Markdown heading."""
    return re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")


def test_stubs_list_the_functions_in_module_order():
    all_names, definitions = stub_lists()
    assert all_names == kp.__all__
    assert definitions == kp.__all__


def test_readme_table_lists_the_functions_in_module_order():
    rows = numbered(README_ROW, (ROOT / "README.md").read_text())
    assert [name for _, name in rows] == kp.__all__
    assert [int(number) for number, _ in rows] == list(range(1, len(kp.__all__) + 1))


def test_reference_index_lists_the_functions_in_module_order():
    reference = (ROOT / "docs" / "reference.md").read_text()
    entries = numbered(INDEX_ENTRY, reference)
    assert [name for _, name, _ in entries] == kp.__all__
    assert [int(number) for number, _, _ in entries] == list(range(1, len(kp.__all__) + 1))
    sections = {heading_anchor(h): h for h in re.findall(r"^## (.+)$", reference, flags=re.M)}
    for _, name, anchor in entries:
        assert anchor in sections, name
        assert name in re.findall(r"\w+", sections[anchor].split(":", 1)[-1]), (name, sections[anchor])
