"""Docstrings in the interpreter: every public function, class, method and
property of kaltrope reads as numpydoc (a summary, then the sections that
apply, naming the real parameters and real exceptions), and every Examples
section runs as a doctest against the installed module."""
import builtins
import doctest
import inspect
import re
import types

import pytest

import kaltrope as kt

SECTION = re.compile(r"^(\w[\w ]*)\n-+$", re.M)

# Callables that return None: no Returns section.
RETURN_NONE = {
    "set_num_threads",
    "VisibilityGraph.save_adjacency_csv",
    "VisibilityGraph.save_dot",
    "VisibilityGraph.save_edge_list_csv",
    "VisibilityGraph.save_graphml",
}

# Argument-free callables that raise all the same.
RAISES_WITHOUT_ARGUMENTS = {
    "VisibilityGraph.get_all_features",
    "TimeSeries.natural_visibility",
    "TimeSeries.horizontal_visibility",
}


def public_objects():
    """(qualified name, object, what) for every public name and member."""
    found = []
    for name in sorted(kt.__all__):
        obj = getattr(kt, name)
        if not isinstance(obj, type):
            found.append((name, obj, "function"))
            continue
        found.append((name, obj, "class"))
        for member, raw in sorted(vars(obj).items()):
            if member.startswith("_"):
                continue
            if isinstance(raw, types.GetSetDescriptorType):
                found.append((f"{name}.{member}", raw, "property"))
            elif isinstance(raw, (types.MethodDescriptorType, staticmethod)):
                found.append((f"{name}.{member}", getattr(obj, member), "method"))
    return found


PUBLIC = public_objects()


def sections(doc):
    """The summary (the text before the first section) and {title: body}."""
    headers = list(SECTION.finditer(doc))
    summary = doc[: headers[0].start()] if headers else doc
    bodies = {}
    for k, header in enumerate(headers):
        end = headers[k + 1].start() if k + 1 < len(headers) else len(doc)
        assert header.group(1) not in bodies, f"section {header.group(1)} twice"
        bodies[header.group(1)] = doc[header.end():end]
    return summary.strip(), bodies


def entry_names(body):
    """The names of the entries of a section ("a, b : int" gives a and b)."""
    names = []
    for line in body.splitlines():
        if line and not line.startswith(" "):
            names.extend(part.strip() for part in line.split(" : ")[0].split(","))
    return names


def parameters_of(obj, what):
    """The documented parameters a call takes (self excluded), or None
    for a class that cannot be called."""
    if what == "property":
        return []
    if what == "class" and obj.__text_signature__ is None:
        return None
    stars = {inspect.Parameter.VAR_POSITIONAL: "*", inspect.Parameter.VAR_KEYWORD: "**"}
    return [stars.get(parameter.kind, "") + name
            for name, parameter in inspect.signature(obj).parameters.items() if name != "self"]


def test_the_walk_finds_every_kind_of_public_name():
    names = {name for name, _, _ in PUBLIC}
    assert {"natural_visibility_edges", "VisibilityGraph", "VisibilityGraph.edges",
            "GraphStatistics.diameter", "MotifCounts.total_subgraphs",
            "TimeSeries.from_csv_file", "VisibilityStream.extend"} <= names
    assert len(PUBLIC) > 110


@pytest.mark.parametrize("name, obj, what", PUBLIC, ids=[name for name, _, _ in PUBLIC])
def test_docstring_reads_as_numpydoc(name, obj, what):
    assert obj.__doc__, f"{name} has no docstring"
    doc = inspect.cleandoc(obj.__doc__)
    assert "Python wrapper" not in doc
    summary, bodies = sections(doc)
    assert summary, f"{name}: no summary"
    assert set(bodies) <= {"Parameters", "Returns", "Raises", "See Also", "Examples"}
    if what == "property":
        assert not bodies, f"{name}: a property is described by its summary alone"
        return

    parameters = parameters_of(obj, what)
    if parameters:
        assert entry_names(bodies.get("Parameters", "")) == parameters, name
    else:
        assert "Parameters" not in bodies, name

    returns_none = name in RETURN_NONE or what == "class"
    assert ("Returns" in bodies) != returns_none, name

    raises = bool(parameters) or parameters is None or name in RAISES_WITHOUT_ARGUMENTS
    if raises:
        assert "Raises" in bodies, f"{name}: no Raises section"
    exceptions = entry_names(bodies.get("Raises", ""))
    assert len(set(exceptions)) == len(exceptions), f"{name}: an exception listed twice"
    for exception in exceptions:
        assert issubclass(getattr(builtins, exception), BaseException), exception


def test_classes_with_a_constructor_show_its_signature():
    for cls in (kt.TimeSeries, kt.BuiltinFeature, kt.FeatureSet, kt.VisibilityStream):
        assert inspect.signature(cls) is not None
    assert str(inspect.signature(kt.VisibilityStream)) == "(kind='natural', window=None, dim=None, mode='auto')"
    for cls in (kt.VisibilityGraph, kt.GraphStatistics, kt.MotifCounts, kt.MissingDataStrategy):
        assert cls.__text_signature__ is None
        with pytest.raises(TypeError, match="No constructor defined"):
            cls()


WITH_EXAMPLES = [(name, obj) for name, obj, _ in PUBLIC
                 if "Examples" in sections(inspect.cleandoc(obj.__doc__ or ""))[1]]


def test_the_main_entry_points_have_examples():
    names = {name for name, _ in WITH_EXAMPLES}
    assert {"natural_visibility_edges", "horizontal_visibility_edges", "natural_visibility_batch",
            "visibility_motifs", "VisibilityGraph", "VisibilityStream", "TimeSeries",
            "MissingDataStrategy"} <= names
    assert len(names) > 60


@pytest.mark.parametrize("name, obj", WITH_EXAMPLES, ids=[name for name, _ in WITH_EXAMPLES])
def test_examples_run(name, obj):
    test = doctest.DocTestParser().get_doctest(obj.__doc__, {}, name, None, 0)
    assert test.examples, name
    assert test.examples[0].source.strip() == "import kaltrope as kt", "examples import kaltrope as kt first"
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
    threads = kt.get_num_threads()
    try:
        runner.run(test, out=lambda text: pytest.fail(text, pytrace=False))
    finally:
        kt.set_num_threads(threads)
    assert runner.failures == 0
