#!/usr/bin/env python3
"""The rules harness: the library's rules (through the probe) against the model, on the shipped library and on
the rules fixture, with scanners opened from the stand-ins' own replies.

    harness.py PROBE SHIPPED_DIR FIXTURE_DIR DEVICE_ADF DEVICE_FLATBED NEXIL_ADF NEXIL_FLATBED GROUP...

Groups:
  dumps             every scanner and variant (probe.VARIANTS and the themes' dump_variants) on both resources,
                    without and with the themes' extras: PmxDbFactoryDefaults and PmxDbInitial of the default
                    fix-up equal the model's byte for byte, and so does the whole state after it
  scenarios FILE    a scenario table (tests/data/db/rules/<theme>.scenarios): after each command its output
                    and the whole state equal the model's; "expect" lines state facts of the model's state (and
                    so of the library's); every makexml's tasks pass xmllint, their frame arguments and the
                    setconfig arguments of the model's rules equal the model's, so does what each theme checks of
                    them (check_task in its module, and check_setconfig for a setconfig of the unit it was built
                    for), and the stand-ins take them (getconfig answers what setconfig carried)
  sweep SCANNER     the fixed tables of sets the themes offer (sweep in its module), checked like a walk
  walk SCANNER SEED [STEPS] [theme=THEME]   a seeded random walk of sets (500 by default) made of the moves
                    every theme (or the one named) offers (walk_moves in its module); after each step status and
                    state equal the model's

Walks and sweeps run on a scanner or a variant of one (see dumps) and open it with the themes' extras: elements a theme adds to the stand-ins' report
inquiry (EXTRAS in its module: files of tests/data/db/rules given to the simulated scanner's "inquiry" flag), all
themes' together.

A scenario table holds blocks:
    scenario NAME [scanner=mapleB] [resources=fixture|shipped] [windows=N] [inquiry=FILE] [nexilinquiry=FILE]
    <probe commands, one a line (see tests/tools/rulesprobe/rulesprobe.cpp)>
    expect value|access ID WINDOW BIN N      the model's datum holds N
    expect range ID WINDOW BIN MIN MAX STEP  the model's range has these current bounds
    expect items ID WINDOW BIN ITEM...       the model's enumeration offers these items, in this order
    expect status N                          the last command answered N
    expect task windowadd WINDOW BIN NAME V  the last makexml's windowadd of that window and bin carries V
    expect task createcamera CAMERA NAME V   its createcamera of that camera id ("front", "rear", "flatbed")
                                             (V "-": the task carries no such argument)
    expect setconfig INDEX NAME V            the last makexml's setconfig number INDEX (0 the feeder's, 1 the
                                             flatbed's) carries V ("-": no such argument)
    expect text ID TEXT                      the model's machine string holds TEXT (percent-encoded, "%" empty)
    expect error printer|imageaddress TOKEN  the last error holds what the database keeps of TOKEN ("%" none)
A scenario starts on the opened scanner, before the default fix-up. Lines starting with "#" are comments. The
files inquiry and nexilinquiry (beside the table) hold elements the scanner's and the image library's stand-ins
add to their querysupport replies; a word of a command that starts with "@" names a file beside the table.
"""
import difflib
import os
import random
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from rulesmodel import dump, listing, probe, rules, standins  # noqa: E402
from rulesmodel.names import ID  # noqa: E402

FAILURES = []
FRAME_ARGUMENTS = {"imageoffsetx": ID["FRAMEXOFFSET"], "imageoffsety": ID["FRAMEYOFFSET"],
                   "imagewidth": ID["FRAMEWIDTH"], "imageheight": ID["FRAMEHEIGHT"]}


def fail(where, message):
    FAILURES.append("%s: %s" % (where, message))
    print("FAIL %s: %s" % (where, message), flush=True)


def diff(a, b, first="library", second="model", limit=60):
    return "\n".join(list(difflib.unified_diff(a.splitlines(), b.splitlines(), first, second, lineterm=""))[:limit])


# -- the themes' extras ---------------------------------------------------------------------------------------
RULES_DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "data", "db",
                          "rules")


def extras_names():
    """The names of every theme's extras, in the themes' order."""
    return tuple(name for module in rules.theme_modules() for name in getattr(module, "EXTRAS", ()))


def inquiry_file(paths, names):
    """One inquiry file holding the named files of tests/data/db/rules, each once (None for no name)."""
    names = tuple(dict.fromkeys(names))
    if not names:
        return None
    texts = []
    for name in names:
        with open(os.path.join(RULES_DATA, name), encoding="utf-8") as stream:
            texts.append(stream.read())
    path = os.path.join(paths.root, "inquiry-%s" % "+".join(names))
    with open(path, "w", encoding="utf-8") as stream:
        stream.write("\n".join(texts))
    return path


# -- dumps ----------------------------------------------------------------------------------------------------
def dump_variants():
    """{label: (scanner, names of inquiry files of tests/data/db/rules, probe commands after the opening)} of
    every scanner, of the variants of probe.VARIANTS and of those the themes offer (dump_variants in a theme's
    module)."""
    variants = {scanner: (scanner, (), []) for scanner in probe.SCANNERS}
    variants.update({name: (scanner, (), edits) for name, (scanner, edits) in probe.VARIANTS.items()})
    for module in rules.theme_modules():
        offer = getattr(module, "dump_variants", None)
        if offer:
            variants.update(offer(probe.SCANNERS))
    return variants


def check_dumps(paths):
    extras = extras_names()
    for label, (scanner, names, edits) in dump_variants().items():
        for resources, more in [(resources, more) for resources in ("shipped", "fixture")
                                for more in (((), extras) if extras else ((),))]:
            where = "dumps %s %s%s" % (label, resources, " extras" if more else "")
            inquiry = inquiry_file(paths, names + more)
            opening = probe.opening(paths, scanner, inquiry) + edits
            outputs = probe.run(paths, resources, opening + probe.LISTINGS + ["fixdefaultall dump", "state"])
            db = probe.model_after(outputs[:len(opening) + 3])
            expected = {}
            db.fix_default_all(dump=lambda name: expected.__setitem__(name, dump.render(db)))
            written = {}
            for line in outputs[-2]:
                path = line.split(" ", 1)[1]
                name = os.path.basename(path).split("_")[0]
                with open(path, "rb") as stream:
                    written[name] = stream.read().decode("utf-8", "surrogateescape")
                os.remove(path)
            if sorted(written) != sorted(expected):
                fail(where, "dumps written %s, expected %s" % (sorted(written), sorted(expected)))
                continue
            for name in expected:
                if written[name] != expected[name]:
                    fail(where, "%s differs:\n%s" % (name, diff(written[name], expected[name])))
            state = "\n".join(outputs[-1]) + "\n"
            if state != listing.render_state(db):
                fail(where, "state after the fix-up differs:\n%s" % diff(state, listing.render_state(db)))
            print("ok %s" % where, flush=True)


# -- scenarios ------------------------------------------------------------------------------------------------
class Scenario:
    def __init__(self, name, options, lines):
        self.name, self.options, self.lines = name, options, lines


def read_scenarios(path):
    scenarios = []
    for number, raw in enumerate(open(path, encoding="utf-8"), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("scenario "):
            words = line.split()
            options = dict(word.split("=", 1) for word in words[2:])
            scenarios.append(Scenario(words[1], options, []))
        elif scenarios:
            scenarios[-1].lines.append((number, line))
        else:
            raise ValueError("%s:%d: a line before the first scenario" % (path, number))
    return scenarios


def parse_tasks(lines):
    """The tasks of a makexml output and its status."""
    tasks, current, status = [], None, None
    for line in lines:
        if current is not None:
            if line == "endtask":
                tasks.append("\n".join(current) + "\n")
                current = None
            else:
                current.append(line)
        elif re.match(r"task \d+$", line):
            current = []
        elif line.startswith("status "):
            status = int(line.split()[1])
    return tasks, status


def windowadd_arguments(task_text):
    root = ElementTree.fromstring(task_text)
    command = root[0]
    return command.tag, {child.tag: (child.text or "") for child in command}


def check_tasks(paths, db, scanner_options, tasks, where):
    """xmllint, the frame arguments against the model, the stand-ins' answers."""
    folder = os.path.join(paths.root, "tasks")
    os.makedirs(folder, exist_ok=True)
    files = []
    for index, text in enumerate(tasks):
        files.append(os.path.join(folder, "task-%03d.xml" % index))
        with open(files[-1], "w") as stream:
            stream.write(text)
    if files:
        lint = subprocess.run(["xmllint", "--noout"] + files, capture_output=True, text=True)
        if lint.returncode != 0:
            fail(where, "xmllint refused a task: %s" % lint.stderr[:2000])
    parsed = [windowadd_arguments(text) for text in tasks]
    for command, arguments in parsed:
        if command != "windowadd":
            continue
        match = re.match(r"window_(\d\d)(\d)$", arguments.get("windowid", ""))
        window, bin_ = int(match.group(1)), int(match.group(2))
        for name, id_ in FRAME_ARGUMENTS.items():
            master = db.slot(0, id_, bin_)
            if master is None or not db.accessible(master) or db.device_data(master) == 0:
                continue
            expected = db.make_xml_value(window, id_, bin_)
            if arguments.get(name) != str(expected):
                fail(where, "windowadd %d %d %s: the library sent %s, the model %s" % (
                    window, bin_, name, arguments.get(name), expected))
        check_rule_arguments(db, window, bin_, arguments, where)
    check_setconfigs(db, parsed, where)
    for module in rules.theme_modules():
        check = getattr(module, "check_task", None)
        for text in tasks if check else ():
            for problem in check(db, ElementTree.fromstring(text)):
                fail(where, problem)
    send_to_standins(paths, scanner_options, tasks, parsed, where)
    return parsed


def check_rule_arguments(db, window, bin_, arguments, where):
    """Each other argument of a windowadd that a model rule writes (an enumeration's as its lexicon value)
    equals the model's value for that window."""
    ids = {record.lexicon: id_ for id_, record in db.lookup.items()}
    for name, text in arguments.items():
        master = db.slot(0, ids[name], bin_) if name in ids and name not in FRAME_ARGUMENTS else None
        rule = db.rule(master) if master is not None else None
        if rule is None or rule.make_xml is None:
            continue
        expected = db.make_xml_value(window, master.id, bin_)
        expected = db.lookup[master.id].lexicon_of(expected) if master.kind == "E" else str(expected)
        if text != expected:
            fail(where, "windowadd %d %d %s: the library sent %s, the model %s" % (window, bin_, name, text,
                                                                                  expected))


def check_setconfigs(db, parsed, where):
    """Each argument of a setconfig that a model rule writes equals the model's value for the unit that
    setconfig was built for (the feeder's first when there are two)."""
    setconfigs = [arguments for command, arguments in parsed if command == "setconfig"]
    ids = {record.lexicon: id_ for id_, record in db.lookup.items()}
    for index, arguments in enumerate(setconfigs):
        db.unit_override = index + 1 if len(setconfigs) == 2 else 0
        try:
            for name, text in arguments.items():
                master = db.slot(0, ids[name], 1) if name in ids else None
                rule = db.rule(master) if master is not None else None
                if rule is None or rule.make_xml is None:
                    continue
                expected = db.lookup[master.id].lexicon_of(rule.make_xml(db, master, master.cur, 4))
                if text != expected:
                    fail(where, "setconfig %d %s: the library sent %s, the model %s" % (index, name, text, expected))
            for module in rules.theme_modules():
                check = getattr(module, "check_setconfig", None)
                for problem in check(db, arguments) if check else ():
                    fail(where, "setconfig %d: %s" % (index, problem))
        finally:
            db.unit_override = 0


def send_to_standins(paths, options, tasks, parsed, where):
    scanner = options.get("scanner", "mapleB")
    units = probe.SCANNERS[scanner]
    setconfigs = [index for index, (command, _) in enumerate(parsed) if command == "setconfig"]
    others = [index for index, (command, _) in enumerate(parsed) if command != "setconfig"]
    flatbed_scans = any(arguments.get("cameraid") == "flatbed" for _, arguments in parsed)
    for number, (unit, model, duplex) in enumerate(units):
        simulate = standins.simulate(model, duplex, option_path(options))
        for path, entry in ((paths.device[unit], "ScannerEntry"), (paths.nexil[unit], "NexEntry")):
            with standins.Unit(path, entry, simulate) as library:
                mine = [setconfigs[number]] if number < len(setconfigs) else []
                if (unit == "flatbed") == flatbed_scans:
                    mine += others
                if others and (unit == "flatbed") == flatbed_scans:
                    library.send("setupbegin")
                for index in mine:
                    reply = library.with_id(tasks[index])
                    if standins.status_of(reply) != "success":
                        fail(where, "%s of %s refused %s: %s" % (entry, unit, parsed[index][0], reply[:400]))
                if others and (unit == "flatbed") == flatbed_scans:
                    library.send("setupend")
                if entry == "ScannerEntry" and mine and parsed[mine[0]][0] == "setconfig":
                    carried = parsed[mine[0]][1]
                    body = "".join("\t\t<id>%s</id>\n" % name for name in carried)
                    reply = library.send("getconfig", body)
                    root = ElementTree.fromstring(reply)
                    report = root.find("reportconfig")
                    answered = {child.tag: child.text or "" for child in (report if report is not None else [])}
                    for name, value in carried.items():
                        if value and answered.get(name) != value:
                            fail(where, "getconfig of %s answered %r, setconfig carried %r" % (
                                name, answered.get(name), value))


SCENARIO_DIRECTORY = [None]


def option_path(options, name="inquiry"):
    inquiry = options.get(name)
    return os.path.join(SCENARIO_DIRECTORY[0], inquiry) if inquiry else None


def check_expectation(db, words, last_output, last_tasks, where):
    kind = words[1]
    if kind in ("value", "access"):
        id_, w, bin_, expected = (int(word) for word in words[2:6])
        datum = db.slot(w, id_, bin_)
        actual = None if datum is None else (datum.cur if kind == "value" else db.access(datum))
        if actual != expected:
            fail(where, "expected %s %s, the model holds %s" % (kind, " ".join(words[2:]), actual))
    elif kind == "range":
        id_, w, bin_ = (int(word) for word in words[2:5])
        datum = db.slot(w, id_, bin_)
        actual = None if datum is None else "%d %d %d" % (datum.min, datum.max, datum.step)
        if actual != " ".join(words[5:8]):
            fail(where, "expected range %s, the model holds %s" % (" ".join(words[2:]), actual))
    elif kind == "text":
        datum = db.slot(0, int(words[2]), 1)
        actual = None if datum is None else datum.scur
        if actual != listing.unescape(words[3]):
            fail(where, "expected text %s %s, the model holds %r" % (words[2], words[3], actual))
    elif kind == "error":
        expected = db.error_text(listing.unescape(words[3]))
        if db.errors[words[2]] != expected:
            fail(where, "expected %s error %r, the model holds %r" % (words[2], expected, db.errors[words[2]]))
    elif kind == "items":
        id_, w, bin_ = (int(word) for word in words[2:5])
        datum = db.slot(w, id_, bin_)
        actual = None if datum is None else " ".join(str(item) for item in datum.cur_items)
        if actual != " ".join(words[5:]):
            fail(where, "expected items %s, the model holds %s" % (" ".join(words[2:]), actual))
    elif kind == "status":
        actual = next((line for line in last_output if line.startswith("status ")), None)
        if actual != "status " + words[2]:
            fail(where, "expected status %s, got %s" % (words[2], actual))
    elif kind == "setconfig":
        index, name, expected = int(words[2]), words[3], words[4]
        found = [arguments for command, arguments in last_tasks if command == "setconfig"]
        actual = found[index].get(name) if index < len(found) else "no such task"
        if actual != (None if expected == "-" else expected):
            fail(where, "expected %s of setconfig %d to be %s, got %s" % (name, index, expected, actual))
    elif kind == "task":
        command = words[2]
        if command == "windowadd":
            key, name, expected = " ".join(words[3:5]), words[5], words[6]
            found = [arguments for task_command, arguments in last_tasks if task_command == command and
                     arguments.get("windowid") == "window_%02d%d" % (int(words[3]), int(words[4]))]
        elif command == "createcamera":
            key, name, expected = words[3], words[4], words[5]
            found = [arguments for task_command, arguments in last_tasks if task_command == command and
                     arguments.get("cameraid") == key]
        else:
            raise ValueError("unknown expectation %r" % " ".join(words))
        expected = None if expected == "-" else expected
        if not found or found[0].get(name) != expected:
            fail(where, "expected %s of %s %s to be %s, got %s" % (
                name, command, key, expected, found[0].get(name) if found else "no such task"))
    else:
        raise ValueError("unknown expectation %r" % " ".join(words))


def beside_table(line):
    """A command's "@FILE" words as the paths of the files beside the scenario table."""
    return " ".join(os.path.join(SCENARIO_DIRECTORY[0], word[1:]) if word.startswith("@") else word
                    for word in line.split())


def run_scenario(paths, scenario, file_name):
    options = scenario.options
    scenario.lines = [(number, beside_table(line)) for number, line in scenario.lines]
    resources = options.get("resources", "fixture")
    windows = int(options["windows"]) if "windows" in options else None
    opening = probe.opening(paths, options.get("scanner", "mapleB"), option_path(options), windows,
                            option_path(options, "nexilinquiry"))
    commands = [line for _, line in scenario.lines if not line.startswith("expect ")]
    sent = []
    for command in commands:
        sent.append(command)
        if command != "makexml":
            sent.append("statehash")
    outputs = probe.run(paths, resources, opening + probe.LISTINGS + sent)
    db = probe.model_after(outputs[:len(opening) + 3])
    model = probe.ModelCommands(db)
    library = iter(outputs[len(opening) + 3:])
    last_output, last_tasks = [], []
    done = 0  # commands of sent answered so far
    for number, line in scenario.lines:
        where = "%s:%d %s" % (file_name, number, scenario.name)
        words = line.split()
        if words[0] == "expect":
            check_expectation(db, words, last_output, last_tasks, where)
            continue
        output = next(library)
        done += 1
        if words[0] == "makexml":
            tasks, status = parse_tasks(output)
            if status != 0:
                fail(where, "makexml answered %s" % status)
            last_tasks = check_tasks(paths, db, options, tasks, where)
            last_output = output
            continue
        expected = model.apply(line)
        if output != expected:
            fail(where, "%r printed %s, the model %s" % (line, output, expected))
        hashed = next(library)
        done += 1
        if hashed != model.apply("statehash"):
            full = probe.run(paths, resources, opening + sent[:done - 1] + ["state"])
            fail(where, "the state after %r differs:\n%s" % (line, diff("\n".join(full[-1]),
                                                                        listing.render_state(db))))
            return
        last_output = output
    print("ok %s %s" % (file_name, scenario.name), flush=True)


def check_scenarios(paths, path):
    SCENARIO_DIRECTORY[0] = os.path.dirname(os.path.abspath(path))
    for scenario in read_scenarios(path):
        run_scenario(paths, scenario, os.path.basename(path))


# -- the random walk ------------------------------------------------------------------------------------------
def walk_moves(db, rng, theme=None):
    """The commands the themes (or the one theme named) offer for one step."""
    moves = []
    for module in rules.theme_modules():
        if theme and module.__name__.rsplit(".", 1)[-1] != theme:
            continue
        offer = getattr(module, "walk_moves", None)
        if offer and theme in (None, module.__name__.rsplit(".", 1)[-1]):
            moves.extend(offer(db, rng))
    return moves


def check_walk(paths, scanner, seed, steps, theme=None):
    rng = random.Random(seed)
    check_steps(paths, scanner, "walk %s seed %d" % (scanner, seed),
                lambda db: (rng.choice(walk_moves(db, rng, theme)) for _ in range(steps)))


def check_sweep(paths, scanner):
    def plan(db):
        for module in rules.theme_modules():
            offer = getattr(module, "sweep", None)
            if offer:
                yield from offer(db)
    check_steps(paths, scanner, "sweep %s" % scanner, plan)


def check_steps(paths, scanner, where, plan):
    """The commands plan(db) gives, each chosen from the model's state after the ones before, on three windows
    after the default fix-up: after each, status and state equal the model's."""
    scanner, names, edits = dump_variants()[scanner]
    opening = probe.opening(paths, scanner, inquiry_file(paths, names + extras_names()), windows=3) + edits
    start = opening + probe.LISTINGS + ["fixdefaultall"]
    outputs = probe.run(paths, "fixture", start)
    db = probe.model_after(outputs[:len(opening) + 3])
    model = probe.ModelCommands(db)
    model.apply("fixdefaultall")
    commands, expected = [], []
    for command in plan(db):
        commands.append(command)
        expected.append((model.apply(command), model.apply("statehash")))
    sent = []
    for command in commands:
        sent += [command, "statehash"]
    outputs = probe.run(paths, "fixture", start + sent)[len(start):]
    for step, command in enumerate(commands):
        got = (outputs[2 * step], outputs[2 * step + 1])
        if got != expected[step]:
            replay = probe.run(paths, "fixture", start + commands[:step + 1] + ["state"])
            model_db = probe.model_after(probe.run(paths, "fixture", opening + probe.LISTINGS))
            replay_model = probe.ModelCommands(model_db)
            for done in ["fixdefaultall"] + commands[:step + 1]:
                replay_model.apply(done)
            fail(where, "step %d %r: library %s, model %s\n%s" % (
                step, command, got[0], expected[step][0],
                diff("\n".join(replay[-1]), listing.render_state(model_db))))
            return
    print("ok %s, %d steps" % (where, len(commands)), flush=True)


def main(argv):
    paths = probe.Paths.from_arguments(argv[1:8])
    groups = argv[8:]
    try:
        while groups:
            group = groups.pop(0)
            if group == "dumps":
                check_dumps(paths)
            elif group == "scenarios":
                check_scenarios(paths, groups.pop(0))
            elif group == "sweep":
                check_sweep(paths, groups.pop(0))
            elif group == "walk":
                scanner, seed = groups.pop(0), int(groups.pop(0))
                steps = int(groups.pop(0)) if groups and groups[0].isdigit() else 500
                theme = groups.pop(0)[6:] if groups and groups[0].startswith("theme=") else None
                check_walk(paths, scanner, seed, steps, theme)
            else:
                sys.exit("unknown group %r\n%s" % (group, __doc__))
    finally:
        subprocess.run(["rm", "-rf", paths.root])
    if FAILURES:
        print("%d failure(s)" % len(FAILURES))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
