"""Checks the device-reply grammar against the library that must serve it.

Usage: check_reply_grammar.py GRAMMAR LIBRARY

Every enter and exit handler 'object.Function' of the grammar must be a
defined dynamic symbol Class::Class_Function(OsXmlCallback*) of the library,
one class having every handler of an object (other parsers of the library
may share a name); its name must follow the path rule (Enter or Exit, then
each step below the task with only its first letter in capitals) but for the
handlers known to capitalise words inside a step. Prints the counts on one
line: elements, report elements under the task, enter and exit handlers.
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

# Named as they stand, not by the path rule.
EXCEPTIONS = {
    "EnterReportconfigIntelligentdocumentprotection": "EnterReportconfigIntelligentDocumentProtection",
    "EnterReportinterfaceopenSimulateSimflatbedintegrated": "EnterReportinterfaceopenSimulateSimflatbedIntegrated",
    "EnterReportmessage": "EnterReportMessage",
    "EnterReportocpbutton": "EnterReportOcpButton",
    "ExitReportocpbutton": "ExitReportOcpButton",
    "EnterReportocpbuttonOcpbutton": "EnterReportOcpButtonOcpButton",
}


def expected_name(kind, path):
    if not path:
        return kind + "Task"
    name = kind + "".join(step[:1].upper() + step[1:] for step in path)
    return EXCEPTIONS.get(name, name)


def library_handlers(library):
    nm = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True, text=True).stdout
    names = subprocess.run(["c++filt"], input=nm, check=True, capture_output=True, text=True).stdout
    found = {}
    for match in re.finditer(r"\b(\w+)::\1_(\w+)\(OsXmlCallback\*\)", names):
        found.setdefault(match.group(2), set()).add(match.group(1))
    return found


def main():
    grammar, library = sys.argv[1], sys.argv[2]
    root = ET.parse(grammar).getroot()
    found = library_handlers(library)
    errors = []
    classes = {}
    counts = {"elements": 0, "enter": 0, "exit": 0}

    def visit(element, path):
        counts["elements"] += 1
        for kind, attribute in (("Enter", "enter"), ("Exit", "exit")):
            value = element.get(attribute)
            if value is None:
                continue
            counts[attribute] += 1
            obj, _, function = value.partition(".")
            if function != expected_name(kind, path):
                errors.append("%s: %s, expected %s" % ("/".join(path) or "task", function, expected_name(kind, path)))
            owners = found.get(function, set())
            if not owners:
                errors.append("no symbol for %s" % value)
            # Other parsers of the library may share a handler's name: the
            # object's class is one that has every handler of the object.
            classes[obj] = classes[obj] & owners if obj in classes else set(owners)
        for child in element:
            visit(child, path + [child.tag])

    if root.tag != "task":
        errors.append("root is %s" % root.tag)
    visit(root, [])
    for obj, owners in sorted(classes.items()):
        if not owners:
            errors.append("object %s has no class with all its handlers" % obj)
    for error in errors:
        print("ERROR", error)
    print("elements=%d reports=%d enter=%d exit=%d" % (counts["elements"], len(root), counts["enter"], counts["exit"]))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
