"""The stand-ins of the scanner units (device.so, ScannerEntry) and of the image library (nexil.so, NexEntry),
opened with ctypes: their querysupport replies, the replies to the attribute tasks and their getconfig.

Each library is opened once per path and process; a unit is opened with interfaceopen and sessionbegin and
closed again with sessionend and interfaceclose around each use."""
import ctypes
import os
import re

_LIBRARIES = {}


def task(task_id, command, body=""):
    inner = "\t<%s>\n%s\t</%s>\n" % (command, body, command)
    head = "<task id='%020d' reply='%020d' bytes='%020d'>\n" % (task_id, 0, 91 + len(inner) + 8)
    return head + inner + "</task>\n"


def status_of(reply):
    match = re.search(r"<status>([^<]*)</status>", reply)
    return match.group(1) if match else ""


class Unit:
    """One opened unit of a library (its entry, one task text in, one reply text out)."""

    def __init__(self, path, entry, simulate=""):
        if path not in _LIBRARIES:
            library = ctypes.CDLL(path)
            function = getattr(library, entry)
            function.restype = ctypes.c_char_p
            function.argtypes = [ctypes.c_char_p]
            _LIBRARIES[path] = function
        self.entry = _LIBRARIES[path]
        self.next_id = 1
        self.simulate = simulate

    def raw(self, text):
        return self.entry(text.encode()).decode()

    def send(self, command, body=""):
        reply = self.raw(task(self.next_id, command, body))
        self.next_id += 1
        return reply

    def with_id(self, text):
        """A task built elsewhere (id 0), renumbered for this unit: the id keeps its 20 digits."""
        renumbered = re.sub(r"^<task id='\d{20}'", "<task id='%020d'" % self.next_id, text, count=1)
        self.next_id += 1
        return self.raw(renumbered)

    def __enter__(self):
        for command, body in (("interfaceopen", self.simulate), ("sessionbegin", "")):
            reply = self.send(command, body)
            if status_of(reply) != "success":
                raise RuntimeError("%s refused: %s" % (command, reply))
        return self

    def __exit__(self, *exception):
        self.send("sessionend")
        self.send("interfaceclose")


def simulate(model, duplex=True, inquiry=None):
    flags = [("duplex", "true" if duplex else "false")]
    if inquiry:
        flags.append(("inquiry", inquiry))
    body = "".join("<simflag><id>%s</id><value>%s</value><text></text></simflag>" % flag for flag in flags)
    return "\t\t<simulate><simulation>true</simulation><simmodel>%s</simmodel>%s</simulate>\n" % (model, body)


def request(path, entry, command, body="", simulate_text=""):
    """The reply of one task to a unit opened for it; a refusal raises."""
    with Unit(path, entry, simulate_text) as unit:
        reply = unit.send(command, body)
    if status_of(reply) != "success":
        raise RuntimeError("%s refused: %s" % (command, reply))
    return reply


def querysupport(path, entry, simulate_text="", knobs=None):
    """The querysupport reply of a unit; knobs: environment variables the stand-in reads when it is opened
    (None values are left out), set for this reply alone."""
    knobs = {name: value for name, value in (knobs or {}).items() if value is not None}
    saved = {name: os.environ.get(name) for name in knobs}
    os.environ.update(knobs)
    try:
        with Unit(path, entry, simulate_text) as unit:
            reply = unit.send("querysupport")
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
    if status_of(reply) != "success":
        raise RuntimeError("querysupport refused: %s" % reply)
    return reply


def getecdo(path, ecdotype):
    """The image library's colour-dropout choices: "default" or "all" (with the custom ones)."""
    return request(path, "NexEntry", "getecdo",
                   "\t\t<language>en_usa</language>\n\t\t<ecdotype>%s</ecdotype>\n" % ecdotype)
