"""The scan commands as a front end sends them: the staged library loaded through ctypes (drvfront), a session
on the simulated scanner with its image library in process, a throwaway root.

    check_scan.py STAGE GROUP

Groups: states (the state machine and the reservation around a scan), busy (a scanner that cannot be
reserved), images (batches scanned to their end, stopped, failing or empty), windowlist (the window list report),
badinput (commands out of place and repeated). What the scanner received is read from its task log."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

# The image library in process, as the driver loads it for a front end that asks for it.
IN_PROCESS = {"dsIdentity": {"ForceNexilCall": "1"}}


def begin(front, **flags):
    """A session on the simulated scanner with its simflags."""
    front.configure(IN_PROCESS)
    front.interfaceopen(**flags)
    front.send("sessionbegin", expect="success")


def commands(front):
    """The scanner's tasks since the last interfaceopen, by command name."""
    names = [line.split("\t")[3] for line in front.tasklog()]
    opens = [index for index, name in enumerate(names) if name == "interfaceopen"]
    return names[opens[-1] if opens else 0:]


# -- states ------------------------------------------------------------------------------------------------------
@group
def states_scan_and_back(front):
    """Initialized, Scan, Initialized: getoutput is refused outside a scan; scanbegin answers outputimagecount;
    scanend answers reportscanend with multifeedcount and gives the reservation back after the scan ended."""
    begin(front)
    front.send("getoutput", expect="invalidstate")
    reply = front.send("scanbegin", expect="success")
    assert int(reply.find("reportscanbegin/outputimagecount")) >= 0, reply.text
    reply = front.send("scanend", expect="success")
    assert reply.find("reportscanend/multifeedcount") == "0", reply.text
    assert reply.root.find("reportscanend/patchcountfront") is None or reply.find("reportscanend/patchcountrear"), \
        reply.text
    names = commands(front)
    assert names.count("resourcebegin") == names.count("resourceend") == 1, names
    assert names[-2:] == ["resourceend", "resourceunlock"], names
    front.send("getoutput", expect="invalidstate")
    front.send("interfaceclose", expect="success")


@group
def states_sessionend_ends_the_scan(front):
    """A sessionend during a scan ends the scan first: the reservation is given back before the session ends."""
    begin(front)
    front.send("scanbegin", expect="success")
    reply = front.send("sessionend", expect="success")
    assert reply.root.find("reportsessionend") is not None, reply.text
    names = commands(front)
    assert names.count("resourceend") == 1, names
    assert "sessionend" not in names or names.index("resourceend") < names.index("sessionend"), names
    front.send("interfaceclose", expect="success")


def ended_before(names, command=None):
    """The scan the scanner began was ended (scanend) before the command that ends its session (when given)."""
    if "scanbegin" not in names:
        return
    assert "scanend" in names[names.index("scanbegin"):], names
    if command:
        assert names.index("scanend") < names.index(command), (command, names)


# The points of a scan at which its session is ended: before the first image (a slow sheet), between images,
# after "endofoutput".
SCAN_POINTS = ["before", "between", "after"]


def scan_to(front, point):
    """A duplex scan of two sheets brought to that point."""
    begin(front, pages=2, duplex="true", delay=300 if point == "before" else 30)
    front.send("scanbegin", expect="success")
    if point == "between":
        images, _, _ = drain(front, until_first=True)
        assert len(images) == 1, images
    elif point == "after":
        images, status, _ = drain(front)
        assert status == "endofoutput" and len(images) == 4, (status, len(images))


@group
def states_close_ends_the_scan(front):
    """interfaceclose at each point of a scan ends the scan first: the scanner gets scanend before its sessionend
    and interfaceclose, takes its pages back, and the next interfaceopen of the process opens a session."""
    for point in SCAN_POINTS:
        scan_to(front, point)
        front.send("interfaceclose", expect="success")
        names = commands(front)
        ended_before(names, "sessionend")
        assert names.index("sessionend") < names.index("interfaceclose"), names
        assert os.listdir(front.images()) == [], (point, os.listdir(front.images()))
    front.interfaceopen()
    front.send("interfaceclose", expect="success")


@group
def states_bounce_ends_the_scan(front):
    """sessionbounce at each point of a scan ends the scan first (scanend before the scanner's sessionbounce, the
    pages taken back); the interface then closes cleanly and the next interfaceopen of the process opens a session
    (the scanner, left scanning, used to refuse both). sessionend ends the scan likewise."""
    for command in ("sessionbounce", "sessionend"):
        for point in SCAN_POINTS:
            scan_to(front, point)
            front.send(command, expect="success")
            names = commands(front)
            ended_before(names, command if command in names else None)
            assert os.listdir(front.images()) == [], (command, point, os.listdir(front.images()))
            front.send("interfaceclose", expect="success")
            assert commands(front)[-1] == "interfaceclose", commands(front)


# -- busy --------------------------------------------------------------------------------------------------------
@group
def busy_scanbegin(front):
    """Under a resourcelock task, a scanner answering busy: scanbegin answers "busy" and starts no scan."""
    # The opening takes the scanner's lock once and the front end once more; busy answers start after.
    begin(front, busyafter=2, busy=20)
    front.send("resourcelock", expect="success")
    front.send("scanbegin", expect="busy")
    assert "scanbegin" not in commands(front) and "setupbegin" not in commands(front), commands(front)
    front.send("getoutput", expect="invalidstate")
    front.send("interfaceclose", expect="success")


# -- images ------------------------------------------------------------------------------------------------------
def drain(front, until_first=False, limit=2000):
    """getoutput until the batch ends (or its first image): the reportimage replies (each image ended once its
    file was checked), the last status and how many times nothing was ready yet."""
    images, waits = [], 0
    for _ in range(limit):
        reply = front.send("getoutput")
        if reply.status == "noimageready":
            waits += 1
            time.sleep(0.01)
            continue
        if reply.status != "success":
            return images, reply.status, waits
        name = reply.find("reportimage/imagefilename")
        assert name and os.path.isfile(name), reply.text
        assert os.path.getsize(name) == int(reply.find("reportimage/imagesize")), (reply.text, os.path.getsize(name))
        images.append(reply)
        # The scanner may be gone before the image is ended: its end is then "disconnected".
        ended = front.send("imageend", leaf("imagefilename", name))
        assert ended.status in ("success", "disconnected"), ended.text
        if until_first:
            return images, reply.status, waits
    raise AssertionError("the batch did not end")


def counters(reply):
    return [int(reply.find("reportimage/" + name))
            for name in ("outputimagecount", "outputsheetcount", "outputsheetimagecount")]


@group
def images_three_duplex_sheets(front):
    """Three duplex sheets: six images, each a file of its imagesize bytes, the counters rising; nothing ready
    answers "noimageready"; the stand-in's image directory is empty once the scan ended."""
    begin(front, pages=3, duplex="true", delay=30)
    front.send("getoutput", expect="invalidstate")
    reply = front.send("scanbegin", expect="success")
    assert int(reply.find("reportscanbegin/outputimagecount")) >= 0, reply.text
    images, status, waits = drain(front)
    assert status == "endofoutput" and len(images) == 6, (status, len(images))
    assert waits > 0, waits
    assert [counters(image) for image in images] == [[1, 1, 1], [2, 1, 2], [3, 2, 1], [4, 2, 2], [5, 3, 1],
                                                     [6, 3, 2]], [counters(image) for image in images]
    reply = front.send("scanend", expect="success")
    assert reply.find("reportscanend/multifeedcount") == "0", reply.text
    assert os.listdir(front.images()) == [], os.listdir(front.images())
    front.send("getoutput", expect="invalidstate")
    front.send("interfaceclose", expect="success")


def scanner_got(front, command, limit=30.0):
    """Waits until the scanner's task log holds the command since the last interfaceopen."""
    deadline = time.time() + limit
    while command not in commands(front):
        assert time.time() < deadline, (command, commands(front))
        time.sleep(0.005)


# (simflags, interfaceopen's extra text, when the stop is asked, images expected, the batch's last status);
# duplex sheets, so the first sheet gives two images. A stop "now" is asked once the scanner has begun the scan
# (a stop the scan thread sees before it begins at the scanner ends the batch as "cancel"), well before its
# first sheet is in. A batch stopped before its first image yields none: its
# end is "nomedia" only for a front end that asked for it; an empty feeder is the scanner's own "nomedia".
BATCHES = [
    ({"pages": 3, "duplex": "true", "paperjam": 2}, "", None, 2, "paperjam"),
    ({"pages": 3, "duplex": "true", "multifeed": 2}, "", None, 2, "multifeed"),
    ({"pages": 3, "duplex": "true", "disconnect": 2}, "", None, None, "disconnected"),
    ({"pages": 5, "duplex": "true", "delay": 50}, "", "first", None, "endofoutput"),
    ({"pages": 3, "delay": 1000}, leaf("usenomedia", "true"), "now", 0, "nomedia"),
    ({"pages": 3, "delay": 1000}, "", "now", 0, "endofoutput"),
    ({"pages": 0}, leaf("usenomedia", "true"), None, 0, "nomedia"),
]


@group
def images_batches(front):
    """Faults at the second sheet answer their status; a disconnected scanner keeps answering "disconnected" and
    the session still ends; the other scans leave the image directory empty; a stop asked after the first image
    ends the batch before its last sheet; a batch without an image is "nomedia" for a front end that asked for
    it, else "endofoutput"."""
    for flags, extra, stop, count, last in BATCHES:
        front.configure(IN_PROCESS)
        front.interfaceopen(extra=extra, **flags)
        front.send("sessionbegin", expect="success")
        front.send("scanbegin", expect="success")
        images = []
        if stop == "first":
            images, status, _ = drain(front, until_first=True)
        if stop == "now":
            scanner_got(front, "scanbegin")
        if stop:
            front.send("scanrequeststop", expect="success")
        more, status, _ = drain(front)
        images += more
        assert status == last, (flags, extra, status, len(images))
        if stop == "first":
            assert 1 <= len(images) < 2 * flags["pages"] - 1, len(images)
        elif count is not None:
            assert len(images) == count, (flags, len(images))
        if last == "disconnected":
            front.send("getoutput", expect="disconnected")
            front.send("sessionend", expect="success")
        else:
            front.send("scanend", expect="success")
            assert os.listdir(front.images()) == [], (flags, os.listdir(front.images()))
        front.send("interfaceclose", expect="success")
        # A scanner that went away could not take its files back.
        for name in os.listdir(front.images()):
            os.remove(os.path.join(front.images(), name))


@group
def images_scanend_after_disconnected(front):
    """A scanner gone in the middle of a batch: getoutput answers "disconnected", and scanend still answers
    "success" and reaches the scanner (scanend, then resourceend)."""
    begin(front, pages=3, duplex="true", disconnect=2)
    front.send("scanbegin", expect="success")
    _, status, _ = drain(front)
    assert status == "disconnected", status
    front.send("scanend", expect="success")
    names = commands(front)
    after = names[len(names) - names[::-1].index("scanbegin"):]
    assert "scanend" in after and "resourceend" in after[after.index("scanend"):], after
    front.send("interfaceclose", expect="success")
    for name in os.listdir(front.images()):
        os.remove(os.path.join(front.images(), name))


# -- window list -----------------------------------------------------------------------------------------------
@group
def windowlist_default(front):
    """The default windows: one windowitem per window-bin in use, its camera named by its tag's side, enabled as
    the window's camera is, its image format among the formats it allows, each allowed format with its label."""
    begin(front)
    reply = front.get("windowlist", expect="success")
    items = reply.root.findall("reportwindowlist/windowitem")
    assert items, reply.text
    tags = [item.findtext("windowtag") for item in items]
    assert len(set(tags)) == len(tags), reply.text
    for item in items:
        tag = item.findtext("windowtag")
        assert item.findtext("cameratype") == ("rear" if tag.startswith("rear") else "front"), reply.text
        assert item.findtext("windowenabled") in ("true", "false"), reply.text
        assert item.find("link") is not None and item.find("override") is not None, reply.text
        enum = item.find("enum")
        assert enum.findtext("id") == "imageformat", reply.text
        values = [element.text for element in enum.findall("value")]
        assert len(values) == len(enum.findall("text")) and item.findtext("imageformat") in values, reply.text
    front.send("interfaceclose", expect="success")


# -- bad input ---------------------------------------------------------------------------------------------------
@group
def badinput_out_of_place(front):
    """Scan commands before a session and outside a scan are refused; scanend twice answers twice; a useendofsheet
    other than exactly "true" is taken as false."""
    front.interfaceopen()
    for command in ("scanbegin", "getoutput", "imageend", "scanrequeststop", "scanend"):
        front.send(command, expect="invalidstate")
    front.send("sessionbegin", expect="success")
    for command in ("getoutput", "scanrequeststop"):
        front.send(command, expect="invalidstate")
    front.send("scanbegin", leaf("useendofsheet", "TRUE"), expect="success")
    front.send("scanend", expect="success")
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
