"""set and setmany as a front end sends them through the driver entry (drvfront), on the simulated scanner after
sessionbegin.

    check_set.py STAGE GROUP

Groups: values (enumeration and range values, the answers of refused values and accesses), lists (enumeration
list and range replacement), windows (the window-enabled list against a model of the window map and its rule,
the sides kept alike), setmany (the transaction: undo, reports, nesting), device (a value the scanner keeps is
sent to it) and badinput (texts a front end should not send)."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402
from set_windowlist_model import window_map  # noqa: E402

WINDOW_BINS = ("frontbitonal_00", "rearbitonal_00", "frontcolor_00", "rearcolor_00")


def session(front):
    """The scanner's session, opened once per group."""
    if not getattr(front, "in_session", False):
        front.interfaceopen()
        front.send("sessionbegin", expect="success")
        front.in_session = True


def body(item, value, more=""):
    return leaf("id", item) + leaf("valuecurrent", value) + more


def enum(values):
    return "<enum>%s</enum>" % "".join(leaf("value", value) for value in values)


def value_range(low, high, step):
    return "<range>%s%s%s</range>" % (leaf("rangemin", low), leaf("rangemax", high), leaf("rangestep", step))


def windowlist(tags):
    return leaf("id", "windowenabledlist") + "<list>%s</list>" % "".join(leaf("value", tag) for tag in tags)


def setmany(bodies):
    return "".join("<set>%s</set>" % text for text in bodies)


def put(front, text, expect):
    session(front)
    return front.send("set", text, expect)


def current(front, item):
    """The current value a get shows (a capability the rules disabled answers notavailable with its report)."""
    reply = front.get(item)
    assert reply.status in ("success", "notavailable"), reply.text
    return reply.find(".//valuecurrent")


def enum_list(front, item):
    """The entries a get shows for the capability (its current report's)."""
    report = front.get(item, expect="success").root.find("reportenum/enum")
    return [value.text for value in report.findall("value")]


def reported(reply):
    """The ids of the reply's current reports, in order."""
    return [report.find("id").text for report in reply.root if report.tag in ("reportenum", "reportrange",
                                                                                  "reportstring")]


def reports(reply):
    return [report.tag for report in reply.root[1:]]


def log_after(front, mark):
    return front.log()[mark:]


# -- values ----------------------------------------------------------------------------------------------------
@group
def values_enumeration(front):
    """A value that is an entry: success, the image format reported first, then what changed; a get shows it."""
    reply = put(front, body("units", "centimeters"), "success")
    assert reported(reply) == ["imageformat", "units"], reply.text
    assert reports(reply) == ["reportenum", "reportenumdefault"] * 2, reply.text
    assert reply.root[3].find("valuecurrent").text == "centimeters", reply.text
    assert current(front, "units") == "centimeters"


@group
def values_refused(front):
    """A value the capability does not hold: badvalue with the capability's report, the value unchanged."""
    put(front, body("units", "inches"), "success")
    for item, value, report in (("units", "furlongs", "reportenum"), ("units", "Inches", "reportenum"),
                                ("powerofftimeout", "241", "reportrange"), ("powerofftimeout", "-1", "reportrange"),
                                ("powerofftimeout", "4294967296", "reportrange")):
        before = current(front, item)
        reply = put(front, body(item, value), "badvalue")
        assert reports(reply) == [report, report + "default"], reply.text
        assert [element.text for element in reply.root.iter("id")] == [item, item], reply.text
        assert current(front, item) == before, (item, value)
    assert "number beyond 32 bits...<4294967296>" in front.log()


@group
def values_access(front):
    """Read-only answers readonly, a capability the rules disabled notavailable, an id that cannot be set fail:
    each without a report, nothing changed."""
    session(front)
    serial = current(front, "serialnumber")
    reply = put(front, body("serialnumber", "x"), "readonly")
    assert len(reply.root) == 1 and current(front, "serialnumber") == serial, reply.text
    put(front, body("edgefill", "none"), "success")
    before = current(front, "edgefillallsides")
    reply = put(front, body("edgefillallsides", "false" if before == "true" else "true"), "notavailable")
    assert len(reply.root) == 1 and current(front, "edgefillallsides") == before, reply.text
    for item in ("outputimagecount", "nosuchcapability", "UNITS"):
        reply = put(front, body(item, "1"), "fail")
        assert len(reply.root) == 1, reply.text
    assert "outputimagecount cannot be set..." in front.log()


@group
def values_edgefillallsize(front):
    """The old name edgefillallsize sets edgefillallsides."""
    put(front, body("edgefill", "white"), "success")
    assert current(front, "edgefillallsides") == "true"
    reply = put(front, body("edgefillallsize", "false"), "success")
    assert reported(reply)[1] == "edgefillallsides", reply.text
    assert current(front, "edgefillallsides") == "false"


# -- lists -----------------------------------------------------------------------------------------------------
@group
def lists_enumeration(front):
    """A new list of entries with a value of it: both shown. An entry outside the capability's allowed list
    refuses the list, which stays; so does a value the new list lacks, the list and value it replaced put back."""
    put(front, body("units", "centimeters", enum(["centimeters", "inches"])), "success")
    assert enum_list(front, "units") == ["centimeters", "inches"] and current(front, "units") == "centimeters"
    put(front, body("units", "pixels", enum(["inches", "centimeters", "pixels"])), "success")
    # The window tags: the lookup knows 44, the scanner's list allows window 0's four.
    allowed = enum_list(front, "windowtag")
    assert sorted(allowed) == sorted(WINDOW_BINS), allowed
    reply = put(front, body("windowtag", "frontbitonal_00", enum(["frontbitonal_00", "frontbitonal_05"])),
                "badvalue")
    assert reports(reply) == ["reportenum", "reportenumdefault"], reply.text
    assert enum_list(front, "windowtag") == allowed
    for value in ("inches2", "centimeters"):
        reply = put(front, body("units", value, enum(["inches"])), "badvalue")
        assert enum_list(front, "units") == ["inches", "centimeters", "pixels"], (value, reply.text)
        assert current(front, "units") == "pixels", value
    assert "restoring the enumeration list of UNITS..." in front.log()


@group
def lists_range(front):
    """A new range with a value in it shows in the range report and in a get; bounds that cannot hold the value
    or are no numbers refuse it, the range staying."""
    reply = put(front, body("powerofftimeout", "20", value_range(10, 100, 5)), "success")
    assert reported(reply) == ["imageformat", "powerofftimeout"], reply.text
    ranges = reply.root.findall("reportrange/range") + reply.root.findall("reportrangedefault/range")
    assert [(r.find("rangemin").text, r.find("rangemax").text, r.find("rangestep").text) for r in ranges] == [
        ("10", "100", "5"), ("0", "240", "1")], reply.text
    reply = front.get("powerofftimeout", expect="success")
    assert reply.find("reportrange/valuecurrent") == "20" and reply.find("reportrange/range/rangemin") == "10"
    for text in (body("powerofftimeout", "30", value_range("abc", "x", "y")),
                 body("powerofftimeout", "30", value_range(10, 4294967296, 1)),
                 body("powerofftimeout", "30", "<range>%s%s</range>" % (leaf("rangemin", 1), leaf("rangemax", 9)))):
        put(front, text, "badvalue")
        reply = front.get("powerofftimeout", expect="success")
        assert reply.find("reportrange/range/rangemax") == "100" and reply.find("reportrange/valuecurrent") == "20"


# -- windows ---------------------------------------------------------------------------------------------------
def window_states(front):
    """{window-bin tag: windowenabled} of window 0, each read with its window-bin made current."""
    states = {}
    for tag in WINDOW_BINS:
        put(front, body("windowtag", tag), "success")
        states[tag] = current(front, "windowenabled")
    return states


def model_windowlist(tags, windows_in_use):
    """The list's rule on the window map: the listed window-bins on, every other of the windows in use off; the
    sides made to differ when the front and rear cameras of a kind no longer match."""
    states = {tag: ("true" if tag in tags else "false") for tag, windowbin in window_map()
              if windowbin // 4 < windows_in_use}
    differ = any(states["front%s_00" % kind] != states["rear%s_00" % kind] for kind in ("bitonal", "color"))
    return states, differ


@group
def windows_frontcolor_only(front):
    """windowenabledlist with frontcolor_00 alone: exactly that window-bin on among the windows in use, and the
    sides differ since front and rear now do."""
    session(front)
    assert current(front, "sidesdifferent") == "false"
    reply = put(front, windowlist(["frontcolor_00"]), "success")
    ids = reported(reply)
    assert ids[0] == "imageformat" and "windowenabled" in ids and "sidesdifferent" in ids, reply.text
    states, differ = model_windowlist(["frontcolor_00"], 1)
    assert window_states(front) == states, (window_states(front), states)
    assert current(front, "sidesdifferent") == ("true" if differ else "false")
    # A tag of a window not in use, or no tag at all, changes nothing.
    for tags in (["frontcolor_05"], ["frontcolor_00", "bogus"]):
        reply = put(front, windowlist(tags), "fail")
        assert len(reply.root) == 1 and window_states(front) == states, (tags, reply.text)


@group
def windows_sides_alike(front):
    """With the sides alike, a set on the rear sets the front and copies it to the rear."""
    put(front, body("sidesdifferent", "false"), "success")
    for value in ("false", "true"):
        put(front, body("windowtag", "rearbitonal_00"), "success")
        put(front, body("imagedeskew", value), "success")
        for tag in ("rearbitonal_00", "frontbitonal_00", "frontcolor_00", "rearcolor_00"):
            put(front, body("windowtag", tag), "success")
            assert current(front, "imagedeskew") == value, (value, tag)
    # Sides that differ: the rear alone.
    put(front, body("sidesdifferent", "true"), "success")
    put(front, body("windowtag", "rearbitonal_00"), "success")
    put(front, body("imagedeskew", "false"), "success")
    put(front, body("windowtag", "frontbitonal_00"), "success")
    assert current(front, "imagedeskew") == "true"


# -- setmany ---------------------------------------------------------------------------------------------------
def transaction(front, bodies, expect):
    session(front)
    return front.send("setmany", setmany(bodies), expect)


def snapshot(front):
    return (current(front, "units"), enum_list(front, "units"), current(front, "powerofftimeout"),
            front.get("powerofftimeout").find("reportrange/range/rangemin"), window_states(front),
            current(front, "sidesdifferent"), current(front, "imagedeskew"))


@group
def setmany_third_fails(front):
    """Whatever fails third, the first two sets are undone: badvalue, no report, gets show the values before."""
    session(front)
    before = snapshot(front)
    firsts = ((body("units", "centimeters"), body("powerofftimeout", "30")),
              (body("units", "centimeters", enum(["centimeters", "inches"])),
               body("powerofftimeout", "20", value_range(10, 90, 5))),
              (windowlist(["frontcolor_00"]), body("imagedeskew", "false")))
    thirds = (body("units", "furlongs"), body("outputimagecount", "1"), body("serialnumber", "x"),
              windowlist(["frontcolor_00", "bogus"]), windowlist(["frontcolor_00"] * 97),
              body("powerofftimeout", "2147483648"), leaf("id", "imagecroppingregion"))
    for first, second in firsts:
        for third in thirds:
            reply = transaction(front, [first, second, third], "badvalue")
            assert len(reply.root) == 1, reply.text
            assert snapshot(front) == before, (first, second, third)


@group
def setmany_one_set(front):
    """One set: its changes (image format first), then the cropping region, in one reply."""
    reply = transaction(front, [body("units", "pixels")], "success")
    assert reports(reply) == ["reportenum", "reportenumdefault"] * 2 + ["reportregion", "reportregiondefault"], \
        reply.text
    assert reported(reply) == ["imageformat", "units"], reply.text
    assert [r.find("id").text for r in reply.root[5:]] == ["imagecroppingregion"] * 2, reply.text
    assert current(front, "units") == "pixels"


@group
def setmany_nested_and_many(front):
    """A setmany inside a setmany changes nothing; 500 sets in one setmany all apply, and one bad among them
    undoes them all."""
    session(front)
    before = current(front, "units")
    for inner in ("<setmany>%s</setmany>" % setmany([body("units", "centimeters")]), ""):
        reply = front.send("setmany", inner, "success")
        assert len(reply.root) == 1 and current(front, "units") == before, reply.text
    units = ["inches", "centimeters", "pixels"]
    transaction(front, [body("units", units[i % 3]) for i in range(500)], "success")
    assert current(front, "units") == units[499 % 3]
    bodies = [body("units", units[i % 3]) for i in range(499)] + [body("units", "furlongs")]
    transaction(front, bodies, "badvalue")
    assert current(front, "units") == units[499 % 3]


# -- the scanner's values --------------------------------------------------------------------------------------
def setconfigs(front, start):
    """The setconfig tasks the scanner received since that line of its task log: their value words."""
    return [line.split("\t")[4] for line in front.tasklog()[start:] if line.split("\t")[3] == "setconfig"]


@group
def device_setconfig(front):
    """A value the scanner keeps is sent to it with setconfig (the debug log shows the task); a refused value
    sends nothing, and a failed setmany sends the value back."""
    session(front)
    start, mark = len(front.tasklog()), len(front.log())
    put(front, body("powerofftimeout", "30"), "success")
    assert setconfigs(front, start) == ["powerofftimeout=30"], front.tasklog()[start:]
    text = log_after(front, mark)
    assert "<DRV2DEV>" in text and "<setconfig>" in text and "powerofftimeout" in text[text.find("<setconfig>"):]
    start = len(front.tasklog())
    put(front, body("powerofftimeout", "241"), "badvalue")
    put(front, body("units", "pixels"), "success")
    assert setconfigs(front, start) == [], front.tasklog()[start:]
    transaction(front, [body("powerofftimeout", "45"), body("units", "furlongs")], "badvalue")
    sent = [value for value in setconfigs(front, start) if value.startswith("powerofftimeout=")]
    assert sent == ["powerofftimeout=45", "powerofftimeout=30"], front.tasklog()[start:]
    assert current(front, "powerofftimeout") == "30"


# -- bad input -------------------------------------------------------------------------------------------------
@group
def badinput_texts(front):
    """Each refused with its status and a log line, nothing changed; unknown elements and an id after the value
    are read as the set they surround."""
    session(front)
    before = current(front, "units")
    for text, status, line in (
            (body("units", "inches", enum(["inches"] * 97)), "badvalue", "Array overflow for the enumeration 96..."),
            (enum(["inches"]) + body("units", "inches"), "badvalue", "Unrecognized lexicon Id ..."),
            (windowlist(["frontcolor_00"] * 97), "badvalue", "Array overflow for the list 96..."),
            (body("units", "i" * 1025), "badvalue", "text too long for <valuecurrent>"),
            (body("calibrationdirectory", "d" * 1025), "badvalue", "text too long for <valuecurrent>"),
            (body("powerofftimeout", "99999999999999999999"), "badvalue", "number beyond 32 bits..."),
            (leaf("id", "x" * 1100) + leaf("valuecurrent", "1"), "badvalue", "text too long for <id>")):
        put(front, text, status)
        assert line in front.log(), line
        assert current(front, "units") == before, text[:80]
    put(front, body("units", "inches", enum(["inches"] * 96)), "success")
    assert enum_list(front, "units") == ["inches"]
    put(front, "<valuecurrent>inches</valuecurrent><bogus>1</bogus><id>units</id><note><id>x</id></note>",
        "success")
    assert current(front, "units") == "inches"


@group
def badinput_camera(front):
    """cameratype "FRONT" names no bin: the capability is found in the current window-bin, and with the sides
    alike the value reaches every window-bin."""
    session(front)
    assert current(front, "sidesdifferent") == "false" and current(front, "imagedeskew") == "true"
    put(front, body("imagedeskew", "false", leaf("cameratype", "FRONT")), "success")
    for tag in WINDOW_BINS:
        put(front, body("windowtag", tag), "success")
        assert current(front, "imagedeskew") == "false", tag

if __name__ == "__main__":
    drvfront.main(sys.argv)
