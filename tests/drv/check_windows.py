"""The window, profile and reset commands as a front end sends them: the staged library loaded through ctypes
(drvfront), the simulated scanner's session begun, windows read back with a get of the window tag.

    check_windows.py STAGE GROUP

Groups: create (a rear gray window, until none is free), bins (the bin each camera type and image format pick),
destroy (the last window of a bin stays), reset (a switch with the value it enables, the other side while the
sides are kept alike, the answers of access and ids), files (profiles, export and import) and badinput
(arguments a front end should not send). The cases of a group share its process and the scanner's database,
each in a session of its own. The scanner's default database has one window per bin: a destroy that succeeds needs a
second one, and the profile list cannot export or import yet; those answer as they must until then."""
import functools
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

TAGS = ["frontbitonal_00", "frontcolor_00", "rearbitonal_00", "rearcolor_00"]


def session(case):
    """A case of its group in a session of its own, the scanner open: interfaceopen, sessionbegin, the case, then
    interfaceclose."""
    @functools.wraps(case)
    def run(front):
        front.interfaceopen()
        front.send("sessionbegin", expect="success")
        case(front)
        front.send("interfaceclose", expect="success")
    return group(run)


def current(front, item):
    """The current value a get reads."""
    value = front.get(item, "success").find("*/valuecurrent")
    assert value is not None, item
    return value


def set_value(front, item, value, expect="success"):
    return front.send("set", leaf("id", item) + leaf("valuecurrent", value), expect)


def create_window(front, cameratype, imageformat, expect):
    body = leaf("id", "window") + leaf("cameratype", cameratype) + leaf("imageformat", imageformat)
    return front.send("create", body, expect)


def destroy_window(front, tags, expect):
    return front.send("destroy", leaf("id", "window") + "".join(leaf("windowtag", tag) for tag in tags), expect)


def reset(front, item, expect):
    return front.send("reset", leaf("id", item) if item is not None else "", expect)


def reported(reply):
    """The ids a reply reports (each report once, not its default twin), with their window tags where they have
    one."""
    return [(element.findtext("id"), element.findtext("windowtag")) for element in reply.root[1:]
            if not element.tag.endswith("default")]


def windows(front):
    """The window tags listed and the current one, as a get of the window tag reads them."""
    reply = front.get("windowtag", "success")
    return [value.text for value in reply.root.findall("reportenum/enum/value")], reply.find("reportenum/valuecurrent")


# -- create ----------------------------------------------------------------------------------------------------
@session
def create_rear_gray(front):
    """A rear gray window takes the first free window of the rear colour bin: current, with gray_8, and enabled,
    so that the next create finds none free there: nomemory, and nothing changes."""
    assert windows(front) == (TAGS, "frontbitonal_00"), windows(front)
    reply = create_window(front, "rear", "gray_8", "success")
    assert reported(reply) == [], reply.text
    assert windows(front) == (TAGS, "rearcolor_00"), windows(front)
    assert current(front, "imageformat") == "gray_8"
    create_window(front, "rear", "gray_8", "nomemory")
    create_window(front, "rear", "rgb_24", "nomemory")
    assert windows(front) == (TAGS, "rearcolor_00") and current(front, "imageformat") == "gray_8"
    assert "No more free windows..." in front.log()


@session
def bins_create(front):
    """The scanner starts with its bitonal windows on and its colour windows off: the bitonal bins have no room,
    each colour bin takes one window (flatbed scans the front) with the format asked; an unknown camera type
    answers badvalue and changes nothing."""
    create_window(front, "side", "gray_8", "badvalue")
    assert "unrecognized cameratype...<side>" in front.log()
    assert windows(front) == (TAGS, "frontbitonal_00")
    for cameratype in ("front", "flatbed", "rear"):
        create_window(front, cameratype, "bw", "nomemory")
    assert windows(front) == (TAGS, "frontbitonal_00") and current(front, "imageformat") == "bw"
    for cameratype, imageformat, tag in (("flatbed", "rgb_24", "frontcolor_00"), ("rear", "rgb_24", "rearcolor_00")):
        create_window(front, cameratype, imageformat, "success")
        assert windows(front)[1] == tag and current(front, "imageformat") == imageformat, cameratype
    create_window(front, "front", "gray_8", "nomemory")
    assert windows(front) == (TAGS, "rearcolor_00") and current(front, "imageformat") == "rgb_24"


@session
def files_profiles(front):
    """Profiles are the profile list's (this session has no user profile directory, so it answers as it
    must, judged by the profile checks), and an id of neither kind fails; the windows stay."""
    item = "<profileitem>%s%s</profileitem>" % (leaf("text", "mine"), leaf("graphicfilename", "g.png"))
    front.send("create", leaf("id", "profile") + item)
    front.send("destroy", leaf("id", "profile") + leaf("text", "mine"))
    front.send("create", leaf("id", "Window"), "fail")
    front.send("destroy", leaf("id", "windows") + leaf("windowtag", "frontbitonal_00"), "fail")
    assert "unrecognized id...<Window>" in front.log() and "unrecognized id...<windows>" in front.log()
    assert windows(front) == (TAGS, "frontbitonal_00")


# -- destroy ---------------------------------------------------------------------------------------------------
@session
def destroy_last(front):
    """Window 0 is the last of its bin whether on or off: notavailable, and the current window is kept; an unknown
    tag answers badvalue before anything changes."""
    create_window(front, "rear", "gray_8", "success")
    for tag in ("rearcolor_00", "frontbitonal_00", "rearbitonal_00"):
        destroy_window(front, [tag], "notavailable")
        assert "can't destroy last window in this bin...<%s>" % tag in front.log()
        assert windows(front) == (TAGS, "rearcolor_00"), (tag, windows(front))
    destroy_window(front, ["rearcolor_01"], "badvalue")
    destroy_window(front, ["rearcolor_00", "frontcolor_05"], "badvalue")
    assert "unrecognized destroy windowtag...<rearcolor_01>" in front.log()
    assert "unrecognized destroy set windowtag...<frontcolor_05>" in front.log()
    assert windows(front) == (TAGS, "rearcolor_00")


# -- reset -----------------------------------------------------------------------------------------------------
@session
def reset_companion(front):
    """adftimeoutenabled goes back with the timeout it enables, and the reply reports both; the timeout alone
    goes back with its switch left."""
    set_value(front, "adftimeout", "30")
    set_value(front, "adftimeoutenabled", "false")
    reply = reset(front, "adftimeoutenabled", "success")
    ids = [item for item, _ in reported(reply)]
    assert ids[0] == "imageformat" and "adftimeoutenabled" in ids and "adftimeout" in ids, reply.text
    assert current(front, "adftimeoutenabled") == "true" and current(front, "adftimeout") == "0"
    set_value(front, "adftimeout", "45")
    reset(front, "adftimeout", "success")
    assert current(front, "adftimeoutenabled") == "true" and current(front, "adftimeout") == "0"


@session
def reset_sides(front):
    """While the sides are kept alike a reset on the front goes back on the rear too, as a get with the rear
    window current reads; while they differ the rear keeps its value."""
    for different in ("false", "true"):
        set_value(front, "sidesdifferent", "true")
        for tag in ("rearbitonal_00", "frontbitonal_00"):
            set_value(front, "windowtag", tag)
            set_value(front, "contrast", "40")
        set_value(front, "sidesdifferent", different)
        set_value(front, "windowtag", "rearbitonal_00")
        assert current(front, "contrast") == "40", different
        set_value(front, "windowtag", "frontbitonal_00")
        reply = reset(front, "contrast", "success")
        tags = [tag for item, tag in reported(reply) if item == "contrast"]
        assert tags == ["frontbitonal_00"] + (["rearbitonal_00"] if different == "false" else []), reply.text
        assert current(front, "contrast") == "0"
        set_value(front, "windowtag", "rearbitonal_00")
        assert current(front, "contrast") == ("0" if different == "false" else "40"), different
        set_value(front, "windowtag", "frontbitonal_00")


@session
def reset_answers(front):
    """A read-only capability answers readonly, outputimagecount and unknown lexicons fail, none of them changing
    a value; the reset of the profile and of everything go through the profile list and bring the value back to
    its default; a set afterwards still reaches the values."""
    serial = current(front, "serialnumber")
    reset(front, "serialnumber", "readonly")
    assert current(front, "serialnumber") == serial
    set_value(front, "contrast", "12")
    for item in ("outputimagecount", "bogus", "Contrast"):
        reply = reset(front, item, "fail")
        assert len(reply.root) == 1, reply.text
    log = front.log()
    assert "outputimagecount cannot be reset..." in log and "Unrecognized lexicon ID Contrast..." in log
    assert current(front, "contrast") == "12"
    for item in (None, "profile"):
        reset(front, item, "success")
        assert current(front, "contrast") == "0", item
        set_value(front, "contrast", "12")
    set_value(front, "contrast", "-7")
    assert current(front, "contrast") == "-7"


# -- export and import -----------------------------------------------------------------------------------------
@session
def files_unsupported(front):
    """Ids neither command knows fail, and no file is made (export qvlog: check_get.py; the profile list's
    packages: check_profiles.py)."""
    before = front.files()
    target = os.path.join(front.root, "out.zip")
    for command, item in (("export", "bogus"), ("import", "bogus"), ("export", "")):
        front.send(command, leaf("id", item) + leaf("filename", target), "fail")
    assert "Unsupported id for export bogus..." in front.log()
    assert not os.path.exists(target)
    made = [path for path in front.files() if path not in before and not path.endswith(".log")]
    assert made == [], made


# -- bad input -------------------------------------------------------------------------------------------------
@session
def badinput_windows(front):
    """"Rear" is not "rear"; an image format no camera maps keeps the current bin and format (window 0 of the
    front bitonal bin is on: nomemory); an empty window tag is refused; a third tag is ignored and logged."""
    create_window(front, "Rear", "gray_8", "badvalue")
    assert "unrecognized cameratype...<Rear>" in front.log()
    create_window(front, "rear", "rgb_24_raster", "nomemory")
    assert windows(front) == (TAGS, "frontbitonal_00") and current(front, "imageformat") == "bw"
    destroy_window(front, [""], "badvalue")
    destroy_window(front, [], "badvalue")
    assert "set windowtag can't be empty...<>" in front.log()
    destroy_window(front, ["frontbitonal_00", "rearcolor_00", "frontcolor_00"], "notavailable")
    assert "ignoring extra windowtag...<frontcolor_00>" in front.log()
    assert windows(front) == (TAGS, "frontbitonal_00")


@session
def badinput_texts(front):
    """Texts longer than their fields are refused whole: a 2,000-character file name, a window tag, an id."""
    long_name = os.path.join(front.root, "f" * 2000)
    front.send("export", leaf("id", "qvlog") + leaf("filename", long_name), "fail")
    front.send("import", leaf("id", "profilelist") + leaf("filename", long_name), "fail")
    assert "text too long for <filename>" in front.log()
    destroy_window(front, ["r" * 300], "fail")
    assert "text too long for <windowtag>" in front.log()
    reset(front, "c" * 1024, "fail")
    assert "text too long for <id>" in front.log()
    assert windows(front) == (TAGS, "frontbitonal_00")
    assert not any(name.startswith("fff") for name in os.listdir(front.root))


if __name__ == "__main__":
    drvfront.main(sys.argv)
