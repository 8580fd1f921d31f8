"""Checks the driver's command grammar against its element list and the
library's symbols.

    check_grammar.py GRAMMAR ELEMENTS LIBRARY

- xmllint finds the grammar well-formed;
- its elements are those of ELEMENTS (tests/data/drv/grammar_elements.txt,
  typed again by hand), in that order, each with the handlers the
  list marks;
- every handler is named by its element path: Enter or Exit, then the
  element names below <task> with their first letter in capitals; but
  - the set commands share their handlers across levels: below a set (of
    a task or of a setmany) the names start with "Set", and a range,
    datafile or region is left out of the names of its leaf elements
    (set/range/rangemin is EnterSetRangemin, set/region/range/rangemin is
    EnterSetRegionRangemin);
  - calibratereset's calibrationtype uses EnterCalibratebeginCalibrationtype;
- the library defines CDrvProcessCommands::CDrvProcessCommands_<name> for
  every handler the grammar names, and the grammar names every such
  forwarder the library defines.
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

OBJECT = "drvprocesscommands."
DROPPED_CONTAINERS = {"range", "datafile", "region"}
FORWARDER = re.compile(r"\bCDrvProcessCommands::CDrvProcessCommands_(\w+)\(OsXmlCallback\*\)$")
TASK_FORWARDER = "CDrvDispatchImpl::CDrvDispatchImpl_EnterTask(OsXmlCallback*)"

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def read_elements(path):
    """(path tuple, flags) in list order."""
    elements = []
    stack = []
    with open(path) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            depth = (len(line) - len(line.lstrip(" "))) // 2
            fields = line.split()
            del stack[depth:]
            stack.append(fields[0])
            elements.append((tuple(stack), frozenset(fields[1:])))
    return elements


def grammar_elements(root):
    """(path tuple, {kind: handler}) in document order."""
    elements = []

    def walk(element, path):
        for child in element:
            child_path = path + (child.tag,)
            handlers = {}
            for kind, attribute in (("E", "enter"), ("X", "exit")):
                if attribute in child.attrib:
                    handlers[kind] = child.attrib[attribute]
            elements.append((child_path, handlers))
            walk(child, child_path)

    walk(root, ())
    return elements


def camel(names):
    return "".join(name[0].upper() + name[1:] for name in names)


def expected_handler(kind, path, leaves):
    prefix = "Enter" if kind == "E" else "Exit"
    if path == ("calibratereset", "calibrationtype"):
        return "EnterCalibratebeginCalibrationtype"
    below_set = None
    if path[0] == "set" and len(path) > 1:
        below_set = path[1:]
    elif path[:2] == ("setmany", "set") and len(path) > 2:
        below_set = path[2:]
    if below_set is None:
        return prefix + camel(path)
    names = list(below_set)
    if path in leaves and len(names) > 1 and names[-2] in DROPPED_CONTAINERS:
        del names[-2]
    return prefix + "Set" + camel(names)


def check_lint(grammar):
    result = subprocess.run(["xmllint", "--noout", grammar], capture_output=True, text=True)
    if result.returncode != 0:
        fail("xmllint: " + result.stderr.strip())


def check_tree(root, expected):
    if root.tag != "task" or root.attrib != {"enter": "this.EnterTask"}:
        fail("the root must be <task enter='this.EnterTask'>, not %s %s" % (root.tag, root.attrib))
    actual = grammar_elements(root)
    commands = [path for path, _ in expected if len(path) == 1]
    if len(commands) != 53:
        fail("the element list holds %d commands, not 53" % len(commands))
    actual_paths = [path for path, _ in actual]
    expected_paths = [path for path, _ in expected]
    if actual_paths != expected_paths:
        for path in expected_paths:
            if path not in actual_paths:
                fail("missing element " + "/".join(path))
        for path in actual_paths:
            if path not in expected_paths:
                fail("unexpected element " + "/".join(path))
        if sorted(actual_paths) == sorted(expected_paths):
            fail("the elements are out of order")
    parents = {path[:-1] for path in expected_paths}
    leaves = {path for path in expected_paths if path not in parents}
    handlers = set()
    flags_of = dict(expected)
    for path, attributes in actual:
        flags = flags_of.get(path, frozenset())
        if set(attributes) != set(flags):
            fail("%s has handlers %s, the list %s" % ("/".join(path), sorted(attributes), sorted(flags)))
        for kind, value in attributes.items():
            want = OBJECT + expected_handler(kind, path, leaves)
            if value != want:
                fail("%s: %s, expected %s" % ("/".join(path), value, want))
            if value.startswith(OBJECT):
                handlers.add(value[len(OBJECT):])
    return handlers


def check_symbols(library, handlers):
    result = subprocess.run(["nm", "-D", "-C", "--defined-only", library], capture_output=True, text=True,
                            check=True)
    lines = result.stdout.splitlines()
    forwarders = set()
    for line in lines:
        match = FORWARDER.search(line)
        if match:
            forwarders.add(match.group(1))
    if not any(line.endswith(TASK_FORWARDER) for line in lines):
        fail("the library lacks " + TASK_FORWARDER)
    for name in sorted(handlers - forwarders):
        fail("the library lacks CDrvProcessCommands::CDrvProcessCommands_%s(OsXmlCallback*)" % name)
    for name in sorted(forwarders - handlers):
        fail("the grammar names no CDrvProcessCommands_%s" % name)
    return forwarders


def main():
    grammar, elements, library = sys.argv[1:4]
    check_lint(grammar)
    try:
        root = ET.parse(grammar).getroot()
    except ET.ParseError as error:
        fail("%s: %s" % (grammar, error))
        return 1
    handlers = check_tree(root, read_elements(elements))
    forwarders = check_symbols(library, handlers)
    print("%d handlers, %d forwarders, %d failures" % (len(handlers), len(forwarders), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
