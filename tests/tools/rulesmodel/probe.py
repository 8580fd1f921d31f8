"""Running the probe (tests/tools/rulesprobe) on the shipped library or the rules fixture, the scanners the
harness opens, and the model's side of the probe's commands."""
import os
import subprocess
import tempfile

from . import geometry, listing, rules, standins
from .database import ADF, FLATBED, Database
from .names import ID, MACHINE

# The scanners: (unit, model, duplex) per unit, in the order the device engine stores their replies.
SCANNERS = {
    "mapleB": (("adf", "mapleB", True),),
    "mapleB+flatbed": (("adf", "mapleB", True), ("flatbed", "mapleB", False)),
    "mapleC": (("adf", "mapleC", True),),
    "mapleC+flatbed": (("adf", "mapleC", True), ("flatbed", "mapleC", False)),
    "mapleB-simplex": (("adf", "mapleB", False),),
}

# Scanners made from one of the above by configuration edits before the listings: (scanner, probe commands).
VARIANTS = {
    "mapleB-bitonal": ("mapleB", ["cfgenumdel imageformat gray_8 1", "cfgenumdel imageformat rgb_24 1"]),
}


class Paths:
    """Where the programs and libraries are: the probe, the directories of the shipped library and of the
    fixture, and the stand-ins (device.so and nexil.so of the feeder and of the flatbed)."""

    def __init__(self, probe, shipped, fixture, device_adf, device_flatbed, nexil_adf, nexil_flatbed):
        absolute = os.path.abspath
        self.probe, self.shipped, self.fixture = absolute(probe), absolute(shipped), absolute(fixture)
        self.device = {"adf": absolute(device_adf), "flatbed": absolute(device_flatbed)}
        self.nexil = {"adf": absolute(nexil_adf), "flatbed": absolute(nexil_flatbed)}
        self.root = tempfile.mkdtemp(prefix="scandrv-rules-")

    @classmethod
    def from_arguments(cls, arguments):
        return cls(*arguments[:7])

    def library(self, resources):
        return self.fixture if resources == "fixture" else self.shipped


def run(paths, resources, commands):
    """The probe's output, one list of lines per command (comments and blank lines are not commands)."""
    commands = [command for command in commands if command.strip() and not command.lstrip().startswith("#")]
    environment = dict(os.environ)
    # No PMX_ variable, and no locale: the operating system's language is English.
    for name in list(environment):
        if name.startswith("PMX_") or name in ("LANG", "LC_ALL", "LC_MESSAGES"):
            del environment[name]
    environment.update({"LD_LIBRARY_PATH": paths.library(resources), "HOME": paths.root, "TMPDIR": paths.root,
                        "PMX_SHGETFOLDERPATH": paths.root})
    completed = subprocess.run([paths.probe], input="\n".join(commands).encode() + b"\n", capture_output=True,
                               env=environment, cwd=paths.root, timeout=600)
    if completed.returncode != 0:
        raise RuntimeError("the probe failed (%d): %s" % (completed.returncode, completed.stderr.decode()[-4000:]))
    outputs = []
    for line in completed.stdout.decode("utf-8", "surrogateescape").split("\n"):
        if line.startswith("> "):
            outputs.append([])
        elif outputs and line:
            outputs[-1].append(line)
    if len(outputs) != len(commands):
        raise RuntimeError("the probe answered %d of %d commands" % (len(outputs), len(commands)))
    return outputs


def opening(paths, scanner, inquiry=None, windows=None, nexil_inquiry=None):
    """The commands that open a scanner as the device engine does: the services, the database loaded from the
    library's resources, each unit's querysupport reply (fetched from the stand-in now, with the elements of
    the file inquiry added), the processing of the replies, the image library's replies (with the elements of
    the file nexil_inquiry added), the dropout lists from its getecdo replies; then the windows in use. The
    state listed right after the load (output LOADED) is what each default fix-up after the first starts from."""
    commands = ["start", "load", "state"]
    for unit, model, duplex in SCANNERS[scanner]:
        path = os.path.join(paths.root, "%s-%s-%s.xml" % (scanner, unit, model))
        reply = standins.querysupport(paths.device[unit], "ScannerEntry",
                                      standins.simulate(model, duplex, inquiry))
        with open(path, "w") as stream:
            stream.write(reply)
        commands.append("inquiry %s %s %s" % (unit, model, path))
    commands.append("process")
    for unit, model, _ in SCANNERS[scanner]:
        path = os.path.join(paths.root, "%s-%s-nexil.xml" % (scanner, unit))
        with open(path, "w") as stream:
            stream.write(standins.querysupport(paths.nexil[unit], "NexEntry", knobs={"NEXSIM_INQUIRY": nexil_inquiry}))
        commands.append("nexil %s %s" % (unit, path))
    # The device engine fills the dropout lists from the feeder's image library before the rules read them.
    replies = []
    for ecdotype in ("default", "all"):
        replies.append(os.path.join(paths.root, "%s-getecdo-%s.xml" % (scanner, ecdotype)))
        with open(replies[-1], "w") as stream:
            stream.write(standins.getecdo(paths.nexil["adf"], ecdotype))
    commands.append("ecdofill %s %s" % tuple(replies))
    if windows:
        commands.append("windows %d" % windows)
    return commands


LISTINGS = ["state", "config", "lookup"]
LOADED = 2  # the output of the opening's state listing right after the load


def model_after(outputs):
    """The model of the database whose listings end the outputs (which begin with an opening's), in a process
    of its own (no custom sizes loaded yet)."""
    geometry.clear_user_sizes()
    state, config, lookup = ("\n".join(output) for output in outputs[-3:])
    db = listing.load(state, config, lookup, rules.load_themes())
    db.resource_state = listing.read_state(Database(), "\n".join(outputs[LOADED])).resource_values()
    return db


class ModelCommands:
    """The model's side of the probe's commands: what each changes and prints."""

    def __init__(self, db):
        self.db = db
        self.driver_config = db.driver_config

    def datum(self, words):
        id_, w, bin_ = int(words[1]), int(words[2]), int(words[3])
        return self.db.find_in_window_bin(w, bin_, id_)

    def apply(self, command):
        db, words = self.db, command.split()
        name = words[0]
        if name == "set":
            return ["status %d" % db.db_set_current_long(self.datum(words), int(words[4]))]
        if name == "settext":
            datum = db.find_in_window_bin(0, MACHINE, int(words[1]))
            return ["status %d" % db.db_set_current_string(datum, listing.unescape(words[2]))]
        if name == "write":
            datum = self.datum(words)
            if datum is not None and datum is not db.BLANK and datum.kind != "S":
                db.write(datum, int(words[4]))
            return []
        if name == "items":
            return ["status %d" % self.items(self.datum(words), [int(word) for word in words[4:]])]
        if name == "stateset":
            db.set_state(int(words[1]))
        elif name == "stateclear":
            db.clear_state(int(words[1]))
        elif name == "windows":
            self.windows(int(words[1]))
        elif name == "labels":
            db.update_labels()
        elif name == "setenv":
            db.environment[words[1]] = listing.unescape(words[2])
        elif name == "unsetenv":
            db.environment.pop(words[1], None)
        elif name == "fixdefaultall":
            db.fix_default_all()
        elif name == "fixaccessall":
            db.fix_access_all()
        elif name == "cfgdel":
            db.config.delete(db.config.key(words[1], int(words[2])))
        elif name == "cfgdelprefix":
            for key in [key for key in db.config.keys if key.startswith(words[1])]:
                db.config.delete(key)
        elif name == "cfgenumdel":
            db.config.delete(db.config.key(words[1], int(words[3]), "_enum_", words[2]))
        elif name == "cfgset":
            db.driver_config[(int(words[1]), int(words[2]))] = listing.unescape(words[3])
            return ["status 0"]
        elif name == "statehash":
            return ["hash " + listing.state_hash(db)]
        elif name == "state":
            return listing.render_state(db).splitlines()
        else:
            for module in rules.theme_modules():
                handle = getattr(module, "probe_command", None)
                output = handle(self, words) if handle else None
                if output is not None:
                    return output
            raise ValueError("the model has no command %r" % command)
        return []

    def items(self, datum, items):
        """The probe's items: the master's current list emptied and filled in order, then a pass."""
        db = self.db
        if datum is None:
            return 1
        if datum is db.BLANK or db.container(datum) != "E":
            return 6
        master = db.master(datum)
        db.delete_all_current_items(master)
        status = 0
        for item in items:
            status = db.add_current_item(master, item)
            if status != 0:
                break
        db.fix_current_all(datum)
        return status

    def windows(self, count):
        db = self.db
        window = db.slot(0, ID["WINDOW"], MACHINE)
        db.delete_all_current_items(window)
        window.def_items = []
        for item in range(count):
            db.add_current_item(window, item)
            db.add_default_item(window, item)


__all__ = ["ADF", "FLATBED", "Paths", "SCANNERS", "VARIANTS", "run", "opening", "model_after", "ModelCommands"]
