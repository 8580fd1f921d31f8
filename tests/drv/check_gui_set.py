"""The settings GUI's value changes as a GUI sends them: the staged stand-in "twaingui" started by uibegin on the
simulated scanner registers capabilities and changes them ("setvalue", "set", "setvaluelist", "updatesuspend",
"updateresume", "windowadd", "windowdelete"); every task it reads is kept whole, read by xmllint and judged.

    check_gui_set.py STAGE GROUP [PROBE SHIPPED FIXTURE SCANNER_ADF SCANNER_FLATBED NEXIL_ADF NEXIL_FLATBED]

Groups: values (texts that are no value, the same value again, unknown names), rules (a value the rules refuse and
one they accept for a list, a range and a string, judged by the rules model), frame (a frame narrower than its
minimum), sides (a rear value with the sides kept alike), enum (the "enum" subcommand), setlist ("setvaluelist"
all or nothing), suspend ("updatesuspend" and "updateresume"), windows ("windowadd" and "windowdelete" on mapleC),
badinput (commands a GUI should not send), preview (the preview question and the preview it brings, judged by
ui_preview_model.py)."""
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools"))
import check_get  # noqa: E402
import check_gui_values as guivalues  # noqa: E402
import drvfront  # noqa: E402
import get_reports_oracle as oracle  # noqa: E402
from drvfront import group  # noqa: E402
from rulesmodel.names import ID, STATE_GUI  # noqa: E402

kept, replies_to, xmllint, status, wait_for = (guivalues.kept, guivalues.replies_to, guivalues.xmllint,
                                               guivalues.status, guivalues.wait_for)
body, ids = guivalues.body, guivalues.ids


def setvalue(name, value, extra=""):
    return "send setvalue %s%s" % (body([("id", name), ("value", value)]), extra)


def run(front, steps, simmodel="mapleB", register=()):
    """The stand-in registers the names, then runs the steps (task ids from 3); every reply of each step's task
    id, in order, once the last step is answered."""
    script = ["send register %s" % ids(register)] + list(steps)
    directory = guivalues.start(front, "\n".join(script) + "\n", simmodel)
    last = len(script) + 1
    assert wait_for(lambda: len(replies_to(directory, last)) >= 1), kept(directory)
    xmllint(kept(directory))
    return directory, [replies_to(directory, task_id) for task_id in range(3, last + 1)]


def one(replies):
    assert len(replies) == 1, replies
    return replies[0]


def tags(text):
    return [element.tag for element in ElementTree.fromstring(text)]


def reported(text):
    """{name: value} of every reportvalues element of a reply."""
    found, name = {}, None
    for element in ElementTree.fromstring(text).findall("reportvalues"):
        for child in element:
            if child.tag == "id":
                name = child.text
            elif child.tag == "value":
                found[name] = child.text
    return found


def value_of(front, name):
    """The value the front end's get shows."""
    return front.get(name).find(".//valuecurrent")


def enum_list(front, name):
    return [value.text for value in front.get(name).root.findall("reportenum/enum/value")]


# -- values -------------------------------------------------------------------------------------------------------
BAD_TEXTS = ("300x", "", " 300", "+300", "3e2", "99999999999999999999", "0x12c", "300 ", "-")


@group
def values_not_values(front):
    """A list item or a range number the text does not name: "badvalue" with the current value, nothing changed;
    the current value again: "success" and its report alone; a range number within 32 bits that fills the text:
    applied; an unknown name: "success" with reportundefines naming it."""
    steps = [setvalue("imageresolutionx", text) for text in BAD_TEXTS]
    steps += [setvalue("powerofftimeout", text) for text in BAD_TEXTS]
    steps += [setvalue("imageresolutionx", "200_dpi"), setvalue("powerofftimeout", "-0"),
              setvalue("powerofftimeout", "30"), setvalue("nosuchcapability", "1"), "send set %s" % body([("id", "units"), ("value", "centimeters")])]
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    resolution, timeout = value_of(front, "imageresolutionx"), value_of(front, "powerofftimeout")
    front.send("interfaceclose", expect="success")
    assert resolution == "200_dpi", resolution
    directory, replies = run(front, steps, register=["imageresolutionx", "powerofftimeout", "units"])
    count = len(BAD_TEXTS)
    for index, texts in enumerate(replies[:2 * count]):
        text = one(texts)
        name = "imageresolutionx" if index < count else "powerofftimeout"
        assert status(text) == "badvalue", (index, text)
        assert reported(text) == {name: resolution if index < count else timeout}, text
    same = one(replies[2 * count])
    assert status(same) == "success" and tags(same) == ["reportstatus", "reportvalues"], same
    assert reported(same) == {"imageresolutionx": "200_dpi"}, same
    # "-0" is a whole decimal text: zero, which the range may refuse or take; never the number read so far.
    assert status(one(replies[2 * count + 1])) in ("success", "badvalue")
    change = one(replies[2 * count + 2])
    assert status(change) == "success" and reported(change).get("powerofftimeout") == "30", change
    assert tags(change)[-1] == "reportprofileitem", change
    undefined = one(replies[2 * count + 3])
    assert status(undefined) == "success", undefined
    assert [e.text for e in ElementTree.fromstring(undefined).find("reportundefines")] == ["nosuchcapability"]
    assert status(one(replies[2 * count + 4])) == "success"
    assert value_of(front, "units") == "centimeters"
    assert value_of(front, "imageresolutionx") == "200_dpi" and value_of(front, "powerofftimeout") == "30"
    log = front.log()
    assert "Unrecognized item...<nosuchcapability>" in log and "number beyond 32 bits" in log
    guivalues.stop(front)


METERS = ("meterfirstscan", "meterlampfront", "meterlamprear", "meterpower", "metertransport")


@group
def values_meter_applied_again(front):
    """A range meter the scanner keeps counting is set again with its current value (the change answer, or the
    database's refusal); another range with its current value is not (its report alone)."""
    script = ["send register %s" % ids(METERS + ("powerofftimeout",)),
              "send getvalues %s" % ids(METERS + ("powerofftimeout",))]
    directory, replies = run(front, script[1:], "mapleC", register=METERS + ("powerofftimeout",))
    found = reported(one(replies[0]))
    guivalues.stop(front)
    # The range meters (the first scan's is a date, a string).
    meters = [name for name in METERS if name in found and found[name].isdigit()]
    if not meters:
        print("no range meter on the simulated mapleC, skipped: %s" % found)
        return
    steps = [setvalue(name, found[name]) for name in meters] + [setvalue("powerofftimeout", found["powerofftimeout"])]
    directory, replies = run(front, steps, "mapleC", register=METERS + ("powerofftimeout",))
    for name, texts in zip(meters, replies):
        text = one(texts)
        assert tags(text) != ["reportstatus", "reportvalues"] or status(text) != "success", (name, text)
    same = one(replies[-1])
    assert status(same) == "success" and tags(same) == ["reportstatus", "reportvalues"], same
    print("meters set again: %s" % ", ".join(meters))
    guivalues.stop(front)


# -- the rules --------------------------------------------------------------------------------------------------
def model(front):
    check_get.SCANNER = ("mapleB", "true")
    db = check_get.model(front.root)
    db.set_state(STATE_GUI)
    return db


def pick_cases(db):
    """(name, refused value text, accepted value text, kind) for a list, a range and a string the current camera
    has, modifiable, chosen by the model."""
    records = oracle.lexicons()
    cases = {}
    for id_, (name, values) in sorted(records.items(), key=lambda item: item[1][0] or ""):
        datum = db.find_current(id_) if name and name not in check_get.FROM_SCANNER else None
        if datum is None or not db.modifiable(datum) or id_ in (ID["WINDOWBIN"], ID["LOG"], ID["SERIALNUMBER"]):
            continue
        kind = db.container(datum)
        if kind in cases:
            continue
        if kind == "E" and datum.cur in datum.cur_items:
            others = [value for value in datum.cur_items if value != datum.cur and value in values]
            missing = [value for value in values if value not in datum.cur_items]
            if others and missing:
                cases[kind] = (id_, name, values[missing[0]], values[others[0]])
        elif kind == "R":
            high = db.master(datum).max
            if datum.cur != high and high < 2 ** 31 - 1 and db.master(datum).step == 1:
                cases[kind] = (id_, name, str(high + 1), str(high))
        elif kind == "S" and datum.maxlen < 1000:
            cases[kind] = (id_, name, "x" * (datum.maxlen + 1), "ab")
    return cases


@group
def rules_refused_and_accepted(front):
    """For a list, a range and a string: a value the model refuses answers "badvalue" with the value unchanged, one
    it accepts answers "success"; every registered value afterwards is the model's."""
    db = model(front)
    cases = pick_cases(db)
    assert sorted(cases) == ["E", "R", "S"], cases
    print("cases", cases)
    names = sorted({name for _, name, _, _ in cases.values()} | {"units", "powerofftimeout", "imageresolutionx"})
    steps = []
    for kind in ("E", "R", "S"):
        _, name, refused, accepted = cases[kind]
        steps += [setvalue(name, refused), setvalue(name, accepted)]
    steps.append("send getvalues %s" % ids(names))
    directory, replies = run(front, steps, register=names)
    records, labels, identifier_names = oracle.lexicons(), oracle.labels(), oracle.identifiers()
    for index, kind in enumerate(("E", "R", "S")):
        id_, name, refused, accepted = cases[kind]
        datum = db.find_current(id_)
        before = datum.cur if kind != "S" else datum.scur
        if kind == "S":
            want_refused = db.db_set_current_string(datum, refused)
        else:
            value = int(refused) if kind == "R" else {v: k for k, v in records[id_][1].items()}[refused]
            want_refused = db.db_set_current_long(datum, value)
        assert want_refused != 0, (name, refused, "the model takes it")
        assert (datum.cur if kind != "S" else datum.scur) == before
        text = one(replies[2 * index])
        assert status(text) == "badvalue", (name, text)
        if kind == "S":
            want = db.db_set_current_string(datum, accepted)
        else:
            value = int(accepted) if kind == "R" else {v: k for k, v in records[id_][1].items()}[accepted]
            want = db.db_set_current_long(datum, value)
        text = one(replies[2 * index + 1])
        assert status(text) == ("success" if want == 0 else "badvalue"), (name, accepted, want, text)
    order, found = guivalues.values_by_name(one(replies[-1]))
    for name in order:
        id_ = next(i for i, (n, _) in records.items() if n == name)
        values, texts = oracle.repointed(db, id_, name, records[id_][1], labels)
        want = oracle.gui_value(db, db.find_current(id_), name, values, texts, identifier_names[id_], False)
        assert found[name] == want, (name, found[name], want)
    guivalues.stop(front)


# -- the frame ----------------------------------------------------------------------------------------------------
@group
def frame_too_narrow(front):
    """With a cropping mode that allows no cropping box, a frame width below the range minimum answers "badvalue"
    with the width unchanged, and the cropping mode this command switched to "fixed" is switched back; a width
    that fits is applied and leaves "fixed"."""
    names = ["imagewidth", "imagecroppingmode"]
    steps = [setvalue("imagecroppingmode", "automatic"), "send getvalues %s" % ids(names), setvalue("imagewidth", "1"),
             "send getvalues %s" % ids(names), setvalue("imagewidth", "2400"), "send getvalues %s" % ids(names)]
    directory, replies = run(front, steps, register=names)
    assert status(one(replies[0])) == "success"
    before = reported(one(replies[1]))
    assert before["imagecroppingmode"] == "automatic", before
    narrow = one(replies[2])
    assert status(narrow) == "badvalue" and reported(narrow) == {"imagewidth": before["imagewidth"]}, narrow
    assert reported(one(replies[3])) == before
    assert status(one(replies[4])) == "success"
    assert reported(one(replies[5])) == {"imagewidth": "2400", "imagecroppingmode": "fixed"}, replies[5]
    guivalues.stop(front)


# -- the sides ---------------------------------------------------------------------------------------------------
@group
def sides_rear_goes_to_front(front):
    """On the duplex mapleB with the sides kept alike, a rear camera's value is set on the front and copied to the
    rear: getvalues of both cameras shows it."""
    name = "imagedeskew"
    steps = [setvalue("windowtag", "rearbitonal_00"), "send getvalues %s" % ids([name, "sidesdifferent"])]
    directory, replies = run(front, steps, register=[name, "windowtag", "sidesdifferent"])
    before = reported(one(replies[1]))
    assert before["sidesdifferent"] == "false", before
    guivalues.stop(front)
    new = "false" if before[name] == "true" else "true"
    steps = [setvalue("windowtag", "rearbitonal_00"), setvalue(name, new), "send getvalues %s" % ids([name]),
             setvalue("windowtag", "frontbitonal_00"), "send getvalues %s" % ids([name])]
    directory, replies = run(front, steps, register=[name, "windowtag"])
    assert status(one(replies[1])) == "success", replies[1]
    assert reported(one(replies[2])) == {name: new}, replies[2]
    assert reported(one(replies[4])) == {name: new}, replies[4]
    guivalues.stop(front)


# -- the enum subcommand ------------------------------------------------------------------------------------------
def enum(items):
    return "<enum>%s</enum>" % "".join(drvfront.leaf("value", item) for item in items)


@group
def enum_lists(front):
    """"enum" with 96 items all among the defaults is taken (repeats once each); 97 fail, the list unchanged; an
    item outside the defaults or unknown fails, the list unchanged; an empty "enum" empties the list."""
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    defaults = [value.text for value in front.get("imageresolutionx").root.findall("reportenumdefault/enum/value")]
    front.send("interfaceclose", expect="success")
    outside = [name for name in oracle.lexicons()[ID["XRESOLUTION"]][1].values() if name not in defaults]
    assert outside and "200_dpi" in defaults and "300_dpi" in defaults, defaults
    pair = ["200_dpi", "300_dpi"]
    steps = [setvalue("imageresolutionx", "200_dpi", enum(pair * 48)),
             setvalue("imageresolutionx", "200_dpi", enum(pair * 48 + ["200_dpi"])),
             setvalue("imageresolutionx", "200_dpi", enum(["300_dpi", outside[0]])),
             setvalue("imageresolutionx", "200_dpi", enum(["300_dpi", "nosuch_dpi"])),
             "waitfile %s 60000" % os.path.join(front.root, "go_empty"),
             setvalue("imageresolutionx", "200_dpi", "<enum></enum>")]
    directory = guivalues.start(front, "send register %s\n" % ids(["imageresolutionx"]) + "\n".join(steps) + "\n")
    assert wait_for(lambda: len(replies_to(directory, 6)) == 1), kept(directory)
    statuses = [status(one(replies_to(directory, task_id))) for task_id in (3, 4, 5, 6)]
    assert statuses == ["success", "fail", "fail", "fail"], statuses
    assert enum_list(front, "imageresolutionx") == pair
    open(os.path.join(front.root, "go_empty"), "w").close()
    assert wait_for(lambda: len(replies_to(directory, 7)) == 1), kept(directory)
    assert enum_list(front, "imageresolutionx") == []
    xmllint(kept(directory))
    log = front.log()
    assert "Array overflow for the enumeration 252..." in log
    assert "App asked to add unsupported enum..." in log and "Unrecognized lexicon enum nosuch_dpi..." in log
    guivalues.stop(front)


# -- setvaluelist ---------------------------------------------------------------------------------------------
def setlist(triples):
    return "send setvaluelist %s" % body([pair for name, tag, value in triples
                                          for pair in (("id", name), ("windowtag", tag), ("value", value))])


@group
def setlist_all_or_nothing(front):
    """Three values whose third names an unknown item: the first two restored, "fail"; the same list with a good
    third: "success" with the changes."""
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    units, timeout = (value_of(front, name) for name in ("units", "powerofftimeout"))
    front.send("interfaceclose", expect="success")
    new_units = "pixels" if units != "pixels" else "inches"
    new_timeout = "45" if timeout != "45" else "50"
    tag = "frontbitonal_00"
    good = [("units", tag, new_units), ("powerofftimeout", tag, new_timeout)]
    steps = [setlist(good + [("imageresolutionx", tag, "nosuch_dpi")]),
             "send getvalues %s" % ids(["units", "powerofftimeout"]),
             setlist(good + [("imageresolutionx", tag, "300_dpi")])]
    directory, replies = run(front, steps, register=["units", "powerofftimeout", "imageresolutionx", "background"])
    assert status(one(replies[0])) == "fail", replies[0]
    assert reported(one(replies[1])) == {"units": units, "powerofftimeout": timeout}, replies[1]
    text = one(replies[2])
    assert status(text) == "success", text
    assert reported(text).get("units") == new_units and reported(text).get("powerofftimeout") == new_timeout, text
    assert value_of(front, "imageresolutionx") == "300_dpi"
    guivalues.stop(front)


# -- updates held back ------------------------------------------------------------------------------------------
@group
def suspend_then_resume(front):
    """After updatesuspend, three changes are answered "success" alone; updateresume answers with one full report
    (and, with preview off, no preview image)."""
    steps = ["send updatesuspend", setvalue("units", "centimeters"), setvalue("powerofftimeout", "40"),
             setvalue("units", "pixels"), "send updateresume", setvalue("units", "inches")]
    directory, replies = run(front, steps, register=["units", "powerofftimeout"])
    assert status(one(replies[0])) == "success"
    for texts in replies[1:4]:
        assert tags(one(texts)) == ["reportstatus"] and status(texts[0]) == "success", texts
    full = one(replies[4])
    assert status(full) == "success" and reported(full) == {"units": "pixels", "powerofftimeout": "40"}, full
    assert "reportaccesses" in tags(full), full
    assert reported(one(replies[5])) == {"units": "inches"}, replies[5]
    assert not [text for text in kept(directory) if "<reportimage>" in text]
    guivalues.stop(front)



@group
def suspend_with_preview(front):
    """Preview on with automatic updates: three changes that each need a preview are answered "success" alone and
    scan nothing; updateresume scans one preview (answered to its own task) and then sends the full report."""
    names = ["contrast", "filternoise", "previewmode", "previewupdate"]
    script = ["send register %s" % ids(names), setvalue("previewupdate", "true"), setvalue("previewmode", "true"),
              "send updatesuspend", setvalue("contrast", "1"), setvalue("filternoise", "none"),
              setvalue("contrast", "2"), "send updateresume",
              "waitfile %s 60000" % os.path.join(front.root, "go_end"), "send imageend"]
    directory = guivalues.start(front, "\n".join(script) + "\n")
    resume = 9
    assert wait_for(lambda: len(replies_to(directory, resume)) >= 2, 60), kept(directory)
    open(os.path.join(front.root, "go_end"), "w").close()
    assert wait_for(lambda: len(replies_to(directory, resume + 1)) == 1), kept(directory)
    xmllint(kept(directory))
    for task_id in (6, 7, 8):
        assert tags(one(replies_to(directory, task_id))) == ["reportstatus"], replies_to(directory, task_id)
    preview, full = replies_to(directory, resume)
    assert tags(preview)[0] == "reportstatus" and "reportaccesses" in tags(full), (preview, full)
    assert reported(full).get("contrast") == "2" and reported(full).get("filternoise") == "none", full
    assert not previews(kept(directory)), "no preview but the one of updateresume"
    assert not questions(kept(directory))
    guivalues.stop(front)

# -- windows ---------------------------------------------------------------------------------------------------
WINDOW_NAMES = ["windowtag", "imageoffsetx", "imageoffsety", "imagewidth", "imageheight", "imageskewangle",
                "windowenabled", "imagepreset", "physicalwidth", "sheetheight", "imagecroppingmode", "papersource"]


@group
def windows_one_window(front):
    """The shipped database lists one window for every scanner: windowadd answers "fail" (a window count below
    2) with nothing changed, windowdelete "success" alone (the database keeps window 0)."""
    steps = ["send getvalues %s" % ids(WINDOW_NAMES), "send windowadd", "send windowdelete",
             "send getvalues %s" % ids(WINDOW_NAMES)]
    directory, replies = run(front, steps, "mapleC", register=WINDOW_NAMES)
    assert status(one(replies[1])) == "fail" and tags(one(replies[1])) == ["reportstatus"], replies[1]
    assert status(one(replies[2])) == "success" and tags(one(replies[2])) == ["reportstatus"], replies[2]
    assert reported(one(replies[0])) == reported(one(replies[3]))
    assert "windowadd: no window to add...1" in front.log()
    guivalues.stop(front)


# -- bad input ------------------------------------------------------------------------------------------------
@group
def badinput_answers(front):
    """Commands a GUI should not send, each with a clear status and a well-formed reply, nothing changed."""
    cases = [
        ("send setvalue", "fail"),
        ("send setvalue %s" % body([("id", "units")]), "fail"),
        (setvalue("", "inches"), "badvalue"),
        (setvalue("u" * 64, "inches"), "badvalue"),
        (setvalue("units", "i" * 1024), "badvalue"),
        ("send set", "fail"),
        ("send set %s" % body([("id", "units")]), "fail"),
        ("send set %s" % body([("id", "units"), ("value", "c" * 1024)]), "badvalue"),
        (setvalue("powerofftimeout", "30", enum(["30"])), "fail"),
        (setvalue("calibrationdirectory", "x", enum(["x"])), "fail"),
        (setvalue("units", "inches", "<list>%s</list>" % drvfront.leaf("value", "inches")), "fail"),
        (setvalue("profile", "nosuchprofile"), "badvalue"),
        ("send setvaluelist %s" % body([("id", "units"), ("value", "pixels"), ("windowtag", "frontbitonal_00")]),
         "fail"),
        (setlist([("units", "frontbitonal_77", "pixels")]), "fail"),
        (setlist([("nosuchcapability", "frontbitonal_00", "pixels")]), "fail"),
        # setvaluelist reads a number as setvalue does: the whole text or nothing.
        (setlist([("powerofftimeout", "frontbitonal_00", "12x")]), "fail"),
        (setlist([("powerofftimeout", "frontbitonal_00", "v" * 1024)]), "fail"),
        (setvalue("serialnumber", "x"), "badvalue"),
    ]
    directory, replies = run(front, [step for step, _ in cases], register=["units", "powerofftimeout"])
    statuses = [status(one(texts)) for texts in replies]
    assert statuses == [want for _, want in cases], list(zip(statuses, [want for _, want in cases]))
    assert value_of(front, "units") == "inches" and value_of(front, "powerofftimeout") not in ("30", "12")
    log = front.log()
    for line in ("Unsupported subcommand <range> for setvalue", "Unsupported subcommand <string> for setvalue",
                 "Wrong subcomand <list> for the ID <units>", "Fail to select profile 1 <nosuchprofile>...",
                 "The <id> and <windowtag> are required for every set value",
                 "Unrecognized lexicon enum frontbitonal_77...", "pdblookup2 is NULL <nosuchcapability>"):
        assert line in log, line
    guivalues.stop(front)

# -- the preview ------------------------------------------------------------------------------------------------
# Last: they change the preview settings the others are judged with.
PREVIEW_LAST = ("previewquality", "previewupdate", "inputdocument", "windowtag")
PREVIEW_SETTINGS = ("previewmode", "previewupdate", "previewquality")


def number(id_, text):
    """The database's number of a value text; None for a name the scanner gave (colour dropouts)."""
    values = {name: value for value, name in oracle.lexicons()[id_][1].items()}
    return values.get(text) if values else int(text)


def new_value(db, id_, name):
    """A value other than the opening one that the current camera's constraint holds, or None."""
    datum = db.find_current(id_)
    if datum is None or not db.modifiable(datum):
        return None
    names = oracle.lexicons()[id_][1]
    kind = db.container(datum)
    if kind == "E":
        others = [item for item in datum.cur_items if item != datum.cur and item in names]
        if name == "blankimagemode" and 3 in others:
            return names[3]
        if name == "windowtag":
            others = [item for item in others if item % 4 == 2] or others
        return names[others[0]] if others else None
    if kind == "R":
        master = db.master(datum)
        step = max(master.step, 1)
        value = datum.cur + step if datum.cur + step <= master.max else datum.cur - step
        return str(value) if master.min <= value <= master.max else None
    return None


def preview_steps(front):
    """(name, id, new value text) for every capability of the preview table the opening scanner can change."""
    import ui_preview_model
    db = model(front)
    by_name = {name: id_ for id_, (name, _) in oracle.lexicons().items() if name}
    steps = []
    for name in sorted(ui_preview_model.TABLE, key=lambda n: (n in PREVIEW_LAST, PREVIEW_LAST.index(n)
                                                                 if n in PREVIEW_LAST else 0, n)):
        value = new_value(db, by_name[name], name)
        if value is not None:
            steps.append((name, by_name[name], value))
    return steps


def images(texts):
    """The sizes of the unasked image reports among the texts."""
    found = []
    for text in texts:
        if guivalues.reply_id(text) == 0 and "<reportimage>" in text:
            found.append(int(ElementTree.fromstring(text).findtext("reportimage/imagesize")))
    return found


def previews(texts):
    """The preview's own answers (unasked: the preview was not asked by a command of the GUI), with or without an
    image: whether the scanner gives one for the current camera is the scanner's matter."""
    return [text for text in texts if guivalues.reply_id(text) == 0 and tags(text)[0] == "reportstatus"]


def questions(texts):
    return [text for text in texts if "<dialogshow>" in text and "exclamation" in text]


def sent_ids(front, command):
    """The ids of the tasks of that command the stand-in wrote, in order (its log)."""
    found = []
    path = os.path.join(front.root, "standin.log")
    for line in open(path, encoding="utf-8", errors="replace") if os.path.exists(path) else ():
        fields = line.rstrip("\n").split("\t")
        if len(fields) >= 7 and fields[0] == "sent" and fields[6] == command:
            found.append(int(fields[2]))
    return found


def preview_case(front, update, quality, answer="yes"):
    """Preview on with the settings given; each capability of the table changed in turn, the GUI answering the
    question with the answer given and ending each preview image. Whether the question came and whether a new
    preview image came are judged by ui_preview_model for each change the scanner applied."""
    import ui_preview_model
    os.environ["UISTANDIN_BUTTON"] = answer
    table = preview_steps(front)
    names = sorted({name for name, _, _ in table} | set(PREVIEW_SETTINGS))
    setup = [("previewupdate", ID["PREVIEWUPDATE"], update), ("previewquality", ID["PREVIEWQUALITY"], quality),
             ("previewmode", ID["PREVIEWMODE"], "true")]
    # The preview settings change last, to the other value.
    flip = {"previewupdate": {"true": "false", "false": "true"}[update],
            "previewquality": {"high": "normal", "normal": "high"}[quality]}
    steps = setup + [(name, id_, flip.get(name, value)) for name, id_, value in table]
    script = ["send register %s" % ids(names), "send getvalues %s" % ids(names)]
    for index, (name, _, value) in enumerate(steps):
        script += [setvalue(name, value), "waitfile %s 60000" % os.path.join(front.root, "go%d" % index),
                   "send imageend"]
    directory = guivalues.start(front, "\n".join(script) + "\n")
    assert wait_for(lambda: len(replies_to(directory, 3)) == 1), kept(directory)
    current = reported(one(replies_to(directory, 3)))
    judged = asked = previewed = 0
    mark = len(kept(directory))
    for index, (name, id_, value) in enumerate(steps):
        # The stand-in's answers to the question take ids too: the step's ids are read from its log.
        assert wait_for(lambda: len(sent_ids(front, "setvalue")) > index), (name, "not sent")
        task_id = sent_ids(front, "setvalue")[index]
        settings = {key: number(ID[key.upper()], current[key]) if key in current else None
                    for key in ("previewupdate", "previewquality")}
        settings["scansource"] = 0
        preview_on = current.get("previewmode") == "true"
        two = name == "windowtag" and preview_on
        assert wait_for(lambda: len(replies_to(directory, task_id)) >= (2 if two else 1), 60), \
            (name, kept(directory)[mark:])
        replies = replies_to(directory, task_id)
        new = kept(directory)[mark:]
        # Whatever comes from now on is the next step's (and this imageend's answer).
        mark = len(kept(directory))
        open(os.path.join(front.root, "go%d" % index), "w").close()
        assert wait_for(lambda: len(sent_ids(front, "imageend")) > index), (name, "imageend not sent")
        end_id = sent_ids(front, "imageend")[index]
        assert wait_for(lambda: len(replies_to(directory, end_id)) >= 1, 60), (name, "imageend")
        if two:
            # The current camera's values first, then the change answer, both to this task.
            assert len(replies) == 2 and "reportprofileitem" not in tags(replies[0]), replies
            assert tags(replies[1])[-1] == "reportprofileitem", replies[1]
        last = replies[-1]
        applied = status(last) == "success" and tags(last) not in (["reportstatus", "reportvalues"], ["reportstatus"])
        seen = (bool(questions(new)), bool(previews(new)))
        assert len(previews(new)) <= 1, (name, "one preview at most")
        if applied and preview_on:
            pending, question = ui_preview_model.decide(name, number(id_, current[name]), number(id_, value), settings)
            want = ui_preview_model.outcome(name, pending, question, answer)
            judged += 1
            asked += want[0]
            previewed += want[1]
        else:
            want = (False, False)
        assert seen == want, (name, value, current.get(name), settings, applied, seen, want,
                              [t[90:400] for t in new])
        for text in replies + new:
            if guivalues.reply_id(text) in (0, task_id):
                current.update(reported(text))
        # A preview that brought no image ends preview mode.
        if previews(new) and not [text for text in previews(new) if "<reportimage>" in text]:
            current["previewmode"] = "false"
        if answer == "no" and want[0]:
            # The GUI learns it from the empty image; the front end's get shows preview mode off.
            assert images(new) == [0], (name, images(new))
            assert value_of(front, "previewmode") == "false"
            current["previewmode"] = "false"
    xmllint(kept(directory))
    print("preview update=%s quality=%s: %d changes judged, %d questions, %d previews" % (
        update, quality, judged, asked, previewed))
    guivalues.stop(front)
    os.environ.pop("UISTANDIN_BUTTON", None)
    return judged, asked, previewed


@group
def previewoffnormal_table(front):
    judged, asked, _ = preview_case(front, "false", "normal")
    assert judged >= 12 and asked > 0


@group
def previewoffhigh_table(front):
    judged, asked, _ = preview_case(front, "false", "high")
    assert judged >= 12 and asked > 0


@group
def previewonnormal_table(front):
    judged, _, previewed = preview_case(front, "true", "normal")
    assert judged >= 12 and previewed > 0


@group
def previewonhigh_table(front):
    judged, _, previewed = preview_case(front, "true", "high")
    assert judged >= 12 and previewed > 0


@group
def previewno_answer(front):
    """The user answers "no": an unasked empty image report, preview mode off, no preview scanned; the changes
    after are not questioned."""
    judged, asked, previewed = preview_case(front, "false", "normal", answer="no")
    assert judged >= 1 and asked >= 1 and previewed == 0


@group
def previewdeath_answers_cancel(front):
    """While the question waits for the user, the database is free (the front end's get is answered); the GUI
    killed then answers it "cancel": no preview, the change answered no more, and uiend and interfaceclose
    answer."""
    script = ["send register %s" % ids(["contrast", "previewmode"]), setvalue("previewupdate", "false"),
              setvalue("previewmode", "true"), "button none", setvalue("contrast", "1"),
              "waitfile %s 60000" % os.path.join(front.root, "go_kill"), "kill"]
    directory = guivalues.start(front, "\n".join(script) + "\n")
    assert wait_for(lambda: questions(kept(directory)), 30), kept(directory)
    assert front.get("units").status == "success"
    open(os.path.join(front.root, "go_kill"), "w").close()
    assert wait_for(lambda: "Unexpected button pressed." in front.log(), 30)
    assert "TestInfoBox: the GUI is gone, answering cancel..." in front.log()
    assert not previews(kept(directory))
    front.send("uiend")
    assert value_of(front, "contrast") == "1", "the change stays"
    front.send("interfaceclose", expect="success")

if __name__ == "__main__":
    check_get.PROBE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    drvfront.main(sys.argv)
