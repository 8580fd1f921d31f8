"""The simulated scanner, driven through ctypes as the device engine drives it: every task's reply, the
images it writes, its state machine, its faults and its callbacks. Every reply is checked for the task
layout and, at the end, by xmllint.

    check_simscanner.py ADF_LIBRARY FLATBED_LIBRARY SIMSCAN_TOOL GROUP

Each group runs in a process of its own (the unit is one per loaded library) inside a throwaway root."""
import ctypes
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET

import simtasks
from simtasks import check_layout, group, leaf

ADF, FLATBED, TOOL, GROUP = sys.argv[1:5]
A4 = (9921, 14031)  # 1/1200 inch
CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)

for name in [n for n in os.environ if n.startswith("SIMSCAN_")]:
    del os.environ[name]
ROOT = tempfile.mkdtemp(prefix="simscanner-")
os.environ.update(HOME=ROOT, TMPDIR=ROOT)
IMAGES = os.path.join(ROOT, "images")
os.mkdir(IMAGES)


def simulate(**flags):
    """The simulate block of interfaceopen: simmodel and simflatbed by name, the rest as simflags."""
    body = "<simulation>true</simulation>"
    for name in ("simmodel", "simflatbed"):
        if name in flags:
            body += "<%s>%s</%s>" % (name, flags.pop(name), name)
    flags.setdefault("imagedirectory", IMAGES)
    for key, value in flags.items():
        body += "<simflag><id>%s</id><value>%s</value><text></text></simflag>" % (key, value)
    return "\t\t<simulate>%s</simulate>\n" % body


class Unit(simtasks.Library):
    """One loaded copy of the library, with the bookkeeping the callback checks need."""

    def __init__(self, path):
        super().__init__(path, "ScannerEntry")
        self.lock = threading.Lock()
        self.inside = 0  # ScannerEntry calls in progress from this script
        self.calls = []  # (thread id, time, inside a call, name or text) per callback
        self.event = threading.Condition(self.lock)
        self.hold = 0.0  # seconds each callback sleeps before it returns
        self.in_callback = []  # tasks the open-complete callback sends itself
        self.callback_replies = []
        self.open_cb = CALLBACK(self._on_open)
        self.text_cb = CALLBACK(self._on_text)

    def reset(self):
        """Forgets the callbacks seen so far."""
        with self.lock:
            self.calls.clear()
        self.callback_replies.clear()
        self.in_callback = []
        self.hold = 0.0

    def _record(self, what):
        with self.lock:
            self.calls.append((threading.get_native_id(), time.monotonic(), self.inside, what))
            self.event.notify_all()

    def _returns(self, calls=None):
        return [c for c in (self.calls if calls is None else calls) if c[3] == "opencomplete-returns"]

    def _on_open(self, arg):
        self._record("opencomplete")
        for command in self.in_callback:
            self.callback_replies.append(self.send(command)[1])
        time.sleep(self.hold)
        self._record("opencomplete-returns")
        return 0

    def _on_text(self, text):
        self._record(ctypes.string_at(text).decode())
        return 0

    def raw(self, data):
        with self.lock:
            self.inside += 1
        try:
            reply = self.entry(data)
        finally:
            with self.lock:
                self.inside -= 1
        return reply.decode()

    def wait(self, predicate, seconds=5.0):
        deadline = time.monotonic() + seconds
        with self.lock:
            while not predicate(self.calls):
                left = deadline - time.monotonic()
                assert left > 0, self.calls
                self.event.wait(left)

    def names(self):
        with self.lock:
            return [c[3] if c[3].startswith("opencomplete") else re.search("<callbackname>(.*?)<", c[3]).group(1)
                    for c in self.calls]

    def register(self, name, function=None):
        pointer = ctypes.cast(self.text_cb if function is None else function, ctypes.c_void_p).value or 0
        self.send("registercallback", leaf("callbackname", name) + leaf("functionptr", "%016x" % pointer) +
                  leaf("userargumentptr", "%016x" % 0xabc), "success")

    def open(self, async_open=False, **flags):
        self.send("interfaceopen", simulate(**flags), "success")
        if async_open:
            returned = len(self._returns())
            pointer = ctypes.cast(self.open_cb, ctypes.c_void_p).value
            self.send("sessionbegin", leaf("callbackname", "interfaceopencomplete") +
                      leaf("functionptr", "%016x" % pointer) + leaf("userargumentptr", "%016x" % 0x1234),
                      "notcomplete")
            self.wait(lambda calls: len(self._returns(calls)) > returned)
        else:
            self.send("sessionbegin", leaf("monitorbuttonevents", "false"), "success")

    def close(self):
        self.send("sessionend", "", "success")
        self.send("interfaceclose", "", "success")

    def setup(self, windows):
        """windows: (camera, windowtype, windowid, imageformat, dpi) tuples."""
        self.send("setupbegin", leaf("setupscan", "true"), "success")
        for camera, kind, window, fmt, dpi in windows:
            self.send("windowadd", leaf("cameraid", camera) + leaf("windowtype", kind) + leaf("windowid", window) +
                      leaf("imageformat", fmt) + leaf("imageresolutionx", "%d_dpi" % dpi), "success")
        self.send("setupend", leaf("cancel", "false"), "success")

    def scan(self, buffers=4, end_images=True):
        """scanbegin, then getoutput (waiting for imageavailable after noimageready) until a status other than
        success, noimageready and endofsheet; returns (images, sheet ends, last status)."""
        self.send("scanbegin", leaf("imagebuffercount", buffers), "success")
        images, sheet_ends = [], 0
        while True:
            seen = len(self.calls)
            status, root = self.send("getoutput")
            if status == "success":
                image = {e.tag: e.text for e in root.find("reportimage")}
                assert os.path.getsize(image["imagefilename"]) == int(image["imagesize"]), image
                image["data"] = open(image["imagefilename"], "rb").read()
                images.append(image)
                if end_images:
                    self.send("imageend", leaf("imagefilename", image["imagefilename"]), "success")
                    assert not os.path.exists(image["imagefilename"])
            elif status == "noimageready":
                self.wait(lambda calls: len(calls) > seen)
            elif status == "endofsheet":
                sheet_ends += 1
            else:
                return images, sheet_ends, status


def line_bytes(fmt, width):
    return {"bw": (width + 7) // 8, "gray_8": width, "rgb_24": 3 * width}[fmt]


def image_size(fmt, dpi):
    width, height = (A4[0] * dpi // 1200, A4[1] * dpi // 1200)
    return line_bytes(fmt, width) * height


def assert_callbacks_sound(unit, after=None):
    """Every callback came from a thread of the unit's own, none while this script was inside ScannerEntry,
    and (when given) none after the time a_after."""
    main = threading.get_native_id()
    with unit.lock:
        for thread, when, inside, what in unit.calls:
            assert thread != main, what
            assert not inside or what == "opencomplete-returns", ("callback inside a ScannerEntry call", what)
            assert after is None or when < after, ("callback after interfaceclose returned", what)


# ---------------------------------------------------------------------------------------------------------------------
# A whole batch


@group
def batch_both_session_forms_and_streams():
    """interfaceopen to interfaceclose, synchronous and asynchronous, with the default streams and with a
    setup; every image has exactly imagesize bytes and goes with its imageend."""
    cases = [
        # async, windows of the setup (None: the defaults), sheets, delay per sheet
        (False, None, 2, 0),
        (True, [("front", "color", "window_004", "rgb_24", 150), ("rear", "color", "window_005", "gray_8", 100)],
         2, 30),
        (False, [("front", "bitonal", "window_002", "bw", 300), ("front", "color", "window_004", "gray_8", 100)],
         1, 0),
    ]
    for async_open, windows, pages, delay in cases:
        unit = UNITS["adf"]
        unit.reset()
        unit.open(async_open, pages=pages, delay=delay)
        unit.send("getversionuser", "", "success")
        unit.send("querysupport", "", "success")
        unit.register("imageavailable")
        if windows:
            unit.setup(windows)
        streams = windows or [("front", "bitonal", "window_002", "bw", 200), ("rear", "bitonal", "window_003", "bw",
                                                                                200)]
        images, sheet_ends, status = unit.scan()
        assert status == "endofoutput" and sheet_ends == pages, (status, sheet_ends)
        assert len(images) == pages * len(streams), len(images)
        for index, image in enumerate(images):
            camera, _, window, fmt, dpi = streams[index % len(streams)]
            assert (image["cameraid"], image["windowid"], image["imageformat"]) == (camera, window, fmt), image
            assert int(image["imagesize"]) == image_size(fmt, dpi) == len(image["data"]), image
            assert image["sheetnumber"] == str(index // len(streams) + 1), image
            assert image["imageresolutionx"] == "%d_dpi" % dpi and image["compressionmode"] == "none", image
        status, root = unit.send("scanend", "", "success")
        assert root.find("reportscanend/multifeedcount").text == "0"
        if delay:
            assert "imageavailable" in unit.names(), unit.names()
        unit.close()
        assert_callbacks_sound(unit)
    assert os.listdir(IMAGES) == [], os.listdir(IMAGES)


@group
def batch_pages_are_told_apart():
    """The page pattern: white paper, a black frame and a label; a blank sheet is white all over; each sheet
    and side differs; the same sheet scanned again is the same bytes."""
    unit = UNITS["adf"]
    unit.open(pages=3, blank=2)
    unit.setup([("front", "bitonal", "window_002", "bw", 100), ("rear", "color", "window_005", "gray_8", 100)])
    first, _, status = unit.scan()
    assert status == "endofoutput" and len(first) == 6
    unit.send("scanend", "", "success")
    again, _, _ = unit.scan()
    unit.send("scanend", "", "success")
    unit.close()
    width = A4[0] * 100 // 1200
    bw, gray = line_bytes("bw", width), line_bytes("gray_8", width)
    for image in (first[0], first[4]):  # bitonal fronts of sheets 1 and 3: black frame (1 bits) on white
        assert image["data"][:bw - 1] == b"\xff" * (bw - 1) and image["data"][bw] & 0x80, image["sheetnumber"]
        assert image["blankimagecontent"] != "0"
    rear = first[1]["data"]
    assert rear[:gray] == b"\x00" * gray and rear[gray] == 0 and rear[2 * gray - 1] == 0  # gray: black frame
    assert first[2]["data"] == bytes(len(first[2]["data"])) and first[2]["blankimagecontent"] == "0"  # blank, bw
    assert first[3]["data"] == b"\xff" * len(first[3]["data"])  # blank, gray: 255 is white
    assert first[0]["data"] != first[4]["data"] and first[1]["data"] != first[5]["data"]
    assert [i["data"] for i in first] == [i["data"] for i in again]


@group
def batch_scanend_removes_images_not_ended():
    unit = UNITS["adf"]
    unit.open(pages=1)
    unit.send("scanbegin", leaf("imagebuffercount", 2), "success")
    names = []
    for _ in range(2):
        status, root = unit.send("getoutput", "", "success")
        names.append(root.find("reportimage/imagefilename").text)
    assert all(os.path.exists(n) for n in names)
    unit.send("imageend", leaf("imagefilename", names[0]), "success")
    unit.send("scanend", "", "success")
    assert not any(os.path.exists(n) for n in names)
    unit.close()


@group
def batch_pages_of_killed_processes_go_at_open():
    """An interfaceopen removes the page files that ended (killed) processes of the stand-in left in its image
    directory; files of live processes and links stay."""
    unit = UNITS["adf"]
    orphans = simtasks.plant_orphans(IMAGES, "simscan")
    unit.open(pages=1)
    simtasks.check_orphans(*orphans)
    unit.close()


@group
def batch_back_pressure_and_warm_up():
    """Never more images out than the image buffer count: the next getoutput answers noimageready and the
    imageend that makes room brings imageavailable. A cold lamp answers lampswarming with its time."""
    unit = UNITS["adf"]
    unit.open(pages=2, warmup=600)
    unit.register("imageavailable")
    status, root = unit.send("scanbegin", leaf("imagebuffercount", 1), "lampswarming")
    assert root.find("reportlampstatus/lampwarmuptime").text == "1"
    unit.send("getoutput", "", "lampswarming")
    unit.send("scanbegin", leaf("imagebuffercount", 1), "lampswarming")
    time.sleep(0.65)
    unit.send("scanbegin", leaf("imagebuffercount", 1), "success")
    status, root = unit.send("getoutput", "", "success")
    unit.send("getoutput", "", "noimageready")
    unit.send("getoutput", "", "noimageready")
    assert unit.names() == []
    unit.send("imageend", leaf("imagefilename", root.find("reportimage/imagefilename").text), "success")
    unit.wait(lambda calls: len(calls) == 1)
    unit.send("getoutput", "", "success")
    unit.send("scanend", "", "success")
    # The lamp stays warm for the session.
    unit.send("scanbegin", leaf("imagebuffercount", 1), "success")
    unit.send("scanend", "", "success")
    unit.close()
    assert unit.names() == ["imageavailable"]
    assert_callbacks_sound(unit)


@group
def batch_stop_and_paper():
    """scanrequeststop ends the job after the sheet being fed; paperdetected follows the sheets left; a batch
    without paper ends at once."""
    unit = UNITS["adf"]
    unit.open(pages=5)
    status, root = unit.send("getconfig", leaf("id", "paperdetected") + leaf("id", "nosuchid"), "success")
    assert [e.tag for e in root.find("reportconfig")] == ["paperdetected"]
    assert root.find("reportconfig/paperdetected").text == "true"
    unit.send("scanbegin", leaf("imagebuffercount", 4), "success")
    unit.send("getoutput", "", "success")
    unit.send("scanrequeststop", "", "success")
    assert [unit.send("getoutput")[0] for _ in range(4)] == ["success", "endofsheet", "endofoutput", "endofoutput"]
    unit.send("scanend", "", "success")
    unit.send("sessionend", "", "success")
    unit.send("interfaceclose", "", "success")
    unit.open(pages=0)
    status, root = unit.send("getconfig", leaf("id", "paperdetected"), "success")
    assert root.find("reportconfig/paperdetected").text == "false"
    images, sheet_ends, status = unit.scan()
    assert (images, sheet_ends, status) == ([], 0, "endofoutput")
    unit.send("scanend", "", "success")
    unit.close()


@group
def batch_paper_after_warm_up_report_and_no_sensor():
    """paperafter keeps the feeder empty for that long after sessionbegin: paperdetected answers false and the
    first sheet of a job begun meanwhile comes once the paper is there. warmupreport=false answers lampswarming
    without its reportlampstatus. paperdetectable=false leaves the sensor out of the inquiry and paperdetected
    out of getconfig; lcdcontrast=true adds that calibration type."""
    unit = UNITS["adf"]
    began = time.monotonic()
    unit.open(pages=1, paperafter=1200)
    unit.register("imageavailable")
    status, root = unit.send("getconfig", leaf("id", "paperdetected"), "success")
    assert root.find("reportconfig/paperdetected").text == "false"
    unit.send("scanbegin", leaf("imagebuffercount", 4), "success")
    unit.send("getoutput", "", "noimageready")
    unit.wait(lambda calls: len(calls) == 1)
    assert time.monotonic() - began >= 1.2
    status, root = unit.send("getconfig", leaf("id", "paperdetected"), "success")
    assert root.find("reportconfig/paperdetected").text == "true"
    unit.send("getoutput", "", "success")
    unit.send("scanend", "", "success")
    unit.close()
    unit.open(pages=1, warmup=600, warmupreport="false")
    status, root = unit.send("scanbegin", leaf("imagebuffercount", 1), "lampswarming")
    assert root.find("reportlampstatus") is None
    unit.send("scanend", "", "success")
    unit.close()
    for detectable in ("true", "false"):
        unit.open(pages=1, paperdetectable=detectable)
        status, root = unit.send("querysupport", "", "success")
        supported = [e.text for e in root.find("reportinquiry/supported")]
        assert ("paperdetectable" in supported) == (detectable == "true") and "preview" in supported, supported
        status, root = unit.send("getconfig", leaf("id", "paperdetected") + leaf("id", "model"), "success")
        assert [e.tag for e in root.find("reportconfig")] == (["paperdetected", "model"] if detectable == "true"
                                                              else ["model"])
        unit.close()
    # lcdcontrast offers that calibration type beside the others.
    for offered in ("true", "false"):
        unit.open(pages=1, lcdcontrast=offered)
        status, root = unit.send("querysupport", "", "success")
        enums = {e[0].text: [v.text for v in e[1:]] for e in root.find("reportinquiry") if e.tag == "enum"}
        types = enums["calibrationtype"]
        assert ("lcdcontrast" in types) == (offered == "true") and "image" in types, types
        unit.close()


@group
def batch_page_pool_links_one_file_per_stream():
    """pagepool writes each stream's page once per job (a blank page once more) and hands out fresh hard links
    to it; imageend removes the link, scanend the pooled pages."""
    unit = UNITS["adf"]
    unit.open(pages=3, blank="2", pagepool="true")
    unit.send("scanbegin", leaf("imagebuffercount", 8), "success")
    images = []
    while True:
        status, root = unit.send("getoutput")
        if status == "endofoutput":
            break
        if status == "success":
            images.append({e.tag: e.text for e in root.find("reportimage")})
    paths = [i["imagefilename"] for i in images]
    assert len(images) == 6 and len(set(paths)) == 6
    inodes = [os.stat(p).st_ino for p in paths]
    # front 1, rear 1, front 2 (blank), rear 2 (blank), front 3, rear 3
    assert inodes[0] == inodes[4] and inodes[1] == inodes[5] and len(set(inodes)) == 4, inodes
    for image, path in zip(images, paths):
        assert os.path.getsize(path) == int(image["imagesize"]) and os.stat(path).st_nlink >= 2
    assert len(os.listdir(IMAGES)) == 6 + 4
    for path in paths:
        unit.send("imageend", leaf("imagefilename", path), "success")
        assert not os.path.exists(path)
    assert len(os.listdir(IMAGES)) == 4
    unit.send("scanend", "", "success")
    assert os.listdir(IMAGES) == []
    unit.close()


@group
def batch_inquiry_follows_the_grammar():
    """What the database reads: interfaceopen reports the model and serial number, querysupport a
    reportinquiry of range, enum, string and supported elements only, each with its id first, holding the
    sheet sizes, paper sources, cameras, formats, resolutions, calibration and diagnostic types and meters."""
    for model, printer in (("mapleB", False), ("mapleC", True)):
        unit = UNITS["adf"]
        status, root = unit.send("interfaceopen", simulate(simmodel=model, serialnumber="AB12-34_x"), "success")
        assert root.find("reportconfig/model").text == model
        assert root.find("reportconfig/serialnumber").text == "AB12-34_x"
        unit.send("sessionbegin", "", "success")
        status, root = unit.send("querysupport", "", "success")
        inquiry = root.find("reportinquiry")
        found = {}
        for element in inquiry:
            assert element.tag in ("range", "enum", "string", "supported"), element.tag
            children = [c.tag for c in element]
            if element.tag == "supported":
                assert set(children) == {"id"}
                found.setdefault("supported", []).extend(c.text for c in element)
                continue
            assert children[0] == "id" and "id" not in children[1:], children
            allowed = {"range": {"rangemin", "rangemax"}, "enum": {"value"}, "string": {"value"}}[element.tag]
            assert set(children[1:]) <= allowed, children
            found[element[0].text] = [c.text for c in element[1:]]
        assert int(found["sheetwidth"][1]) >= A4[0] and int(found["sheetheight"][1]) >= A4[1], found
        assert found["papersource"] == ["adf"] and found["cameratype"] == ["front", "rear"]
        assert found["imageformat"] == ["bw", "gray_8", "rgb_24"] and "200_dpi" in found["imageresolutionx"]
        for key in ("calibrationtype", "diagnostictype", "metertype", "language"):
            assert found[key], key
        assert "paperdetectable" in found["supported"]
        assert ("printer" in found) == printer, found.get("printer")
        assert found["imagecroppingmode"] == ["automatic", "fixed", "relative", "aggressive", "longpaper", "photo"]
        assert found["documenttype"] == ["photo", "textwithgraphics", "text"]
        unit.close()


@group
def batch_inquiry_file_adds_its_elements():
    """The flag inquiry names a file of elements that querysupport adds at the end of its reportinquiry, on
    either unit; a later element of an id is what a reader keeps."""
    path = os.path.join(ROOT, "extra.inquiry")
    with open(path, "w") as f:
        f.write("<range><id>sheetwidth</id><rangemin>600</rangemin><rangemax>6000</rangemax></range>\n"
                "<enum><id>extrakey</id><value>one</value><value>two</value></enum>\n")
    for unit in (UNITS["adf"], UNITS["flatbed"]):
        unit.send("interfaceopen", simulate(inquiry=path), "success")
        unit.send("sessionbegin", "", "success")
        status, root = unit.send("querysupport", "", "success")
        elements = list(root.find("reportinquiry"))
        assert [e.text for e in elements[-1]] == ["extrakey", "one", "two"]
        widths = [e for e in elements if e[0].text == "sheetwidth"]
        assert len(widths) == 2 and widths[-1] is elements[-2] and widths[-1][2].text == "6000"
        modes = [[v.text for v in e[1:]] for e in elements if e[0].text == "imagecroppingmode"]
        assert modes == [["automatic", "fixed", "relative", "aggressive", "longpaper", "photo"]], modes
        unit.close()


@group
def batch_getecdo_only_for_a_model_with_ecdo():
    """getecdo answers the built-in choices (the custom one for "all" only), or the file the flag ecdofile
    names, when the unit's inquiry supports "ecdo"; otherwise, or outside a session, it is refused."""
    inquiry = os.path.join(ROOT, "ecdo.inquiry")
    with open(inquiry, "w") as f:
        f.write("<supported><id>ecdo</id></supported>\n")
    choices = os.path.join(ROOT, "choices.txt")
    with open(choices, "w") as f:
        f.write("dev01\tRed\tnormal\ndev02\tMine\tlearnt\n")
    unit = UNITS["adf"]
    for flags, kind, names in (({}, "default", None), ({"inquiry": inquiry}, "default", ["file01", "file02", "file03",
                                                                                            "file04", "file05"]),
                               ({"inquiry": inquiry}, "all", ["file01", "file02", "file03", "file04", "file05",
                                                              "file06"]),
                               ({"inquiry": inquiry, "ecdofile": choices}, "default", ["dev01", "dev02"])):
        unit.send("interfaceopen", simulate(**flags), "success")
        unit.send("getecdo", leaf("ecdotype", kind), "invalidstate")
        unit.send("sessionbegin", "", "success")
        status, root = unit.send("getecdo", leaf("language", "en_usa") + leaf("ecdotype", kind))
        assert status == ("fail" if names is None else "success"), unit.last
        if names is not None:
            assert [e.text for e in root.find("reportecdo").findall("ecdo")] == names, unit.last
        unit.close()
    unit.send("interfaceopen", simulate(ecdofile=os.path.join(ROOT, "missing.txt")), "fail")


# ---------------------------------------------------------------------------------------------------------------------
# The state machine


@group
def states_out_of_order_tasks_are_refused():
    """A task that does not fit the state answers invalidstate and changes nothing: the batch that follows
    still runs to its end."""
    unit = UNITS["adf"]
    refused = {
        "loaded": ["sessionbegin", "querysupport", "scanbegin", "getoutput", "interfaceclose", "sessionend"],
        "open": ["getoutput", "scanbegin", "sessionend", "querysupport", "imageend", "setupbegin", "scanend"],
        "session": ["interfaceopen", "sessionbegin", "getoutput", "imageend", "scanend", "interfaceclose",
                    "windowadd", "setwindoworder", "createcamera", "setupend", "calibraterun", "calibrateend",
                    "diagnosticrun", "diagnosticend", "downloadrun", "downloadend"],
        "scanning": ["scanbegin", "sessionend", "interfaceclose", "setupbegin", "querysupport", "sessionbegin",
                     "calibratebegin"],
    }
    ready = {"scanbegin": leaf("imagebuffercount", 2), "calibratebegin": leaf("calibrationtype", "image"),
             "interfaceopen": simulate(), "sessionbegin": ""}
    steps = [("loaded", None), ("open", ("interfaceopen", simulate(pages=1))), ("session", ("sessionbegin", "")),
             ("scanning", ("scanbegin", leaf("imagebuffercount", 2)))]
    for state, step in steps:
        if step:
            unit.send(step[0], step[1], "success")
        for command in refused[state]:
            unit.send(command, ready.get(command, ""), "invalidstate")
    assert [unit.send("getoutput")[0] for _ in range(4)] == ["success", "success", "endofsheet", "endofoutput"]
    unit.send("scanbegin", leaf("imagebuffercount", 2), "invalidstate")  # a job that ended still needs scanend
    unit.send("scanend", "", "success")
    # One activity at a time, each ended by its own end task.
    unit.send("setupbegin", leaf("setupscan", "true"), "success")
    for command, body in (("calibratebegin", leaf("calibrationtype", "image")), ("diagnosticbegin", ""),
                          ("setupbegin", ""), ("scanbegin", leaf("imagebuffercount", 2)), ("calibrateend", "")):
        unit.send(command, body, "invalidstate")
    unit.send("setupend", leaf("cancel", "true"), "success")
    unit.send("calibratebegin", leaf("calibrationtype", "magnificationtest"), "success")
    unit.send("calibraterun", "", "success")
    status, root = unit.send("calibrateend", "", "success")
    assert root.find("reportcalibrateend/magnificationtestresultfront").text == "pass"
    unit.send("diagnosticbegin", "", "success")
    status, root = unit.send("diagnosticrun", leaf("diagnostictype", "diaglampfront") +
                             leaf("diagnosticvalue", "on"), "success")
    assert root.find("reportdiagnostic/diagnosticvalue").text == "on"
    unit.send("diagnosticrun", leaf("diagnostictype", "diagnothing"), "fail")
    unit.send("diagnosticend", "", "success")
    unit.close()


@group
def states_calibration_knobs():
    """calwarmup makes calibratebegin answer lampswarming with its warm-up seconds, caldelay makes calibraterun
    take that long without holding the unit (another thread's task is served meanwhile), calresult is the run's
    word; the feeder offers diagelevator; bad knob values are refused."""
    unit = UNITS["adf"]
    for result in ("multifeed", "paperjam", "fail"):
        unit.send("interfaceopen", simulate(calwarmup=3, caldelay=600, calresult=result), "success")
        unit.send("sessionbegin", "", "success")
        status, root = unit.send("calibratebegin", leaf("calibrationtype", "image"), "lampswarming")
        assert root.find("reportlampstatus/lampwarmuptime").text == "3"
        served = []
        other = threading.Thread(target=lambda: (time.sleep(0.2), served.append(
            (time.monotonic(), unit.send("getconfig", leaf("id", "paperdetected"))[0]))))
        start = time.monotonic()
        other.start()
        unit.send("calibraterun", "", result)
        ended = time.monotonic()
        other.join()
        assert ended - start >= 0.6, ended - start
        assert served and served[0][1] == "success" and served[0][0] < ended, (served, ended)
        unit.send("calibrateend", "", "success")
        unit.close()
    unit.send("interfaceopen", simulate(), "success")
    unit.send("sessionbegin", "", "success")
    unit.send("calibratebegin", leaf("calibrationtype", "image"), "success")
    unit.send("calibraterun", "", "success")
    unit.send("calibrateend", "", "success")
    unit.send("diagnosticbegin", "", "success")
    unit.send("diagnosticrun", leaf("diagnostictype", "diagelevator") + leaf("diagnosticvalue", "up"), "success")
    unit.send("diagnosticend", "", "success")
    unit.close()
    for flags in ({"calwarmup": "601"}, {"calwarmup": "-1"}, {"caldelay": "soon"}, {"calresult": "success"},
                  {"calresult": ""}):
        unit.send("interfaceopen", simulate(**flags), "fail")


@group
def states_setup_decides_the_streams():
    """A cancelled setup keeps the streams in force; setwindoworder orders them; streams the unit cannot
    produce are refused."""
    unit = UNITS["adf"]
    unit.open(pages=1, duplex="false")
    unit.send("setupbegin", leaf("setupscan", "true"), "success")
    for body in (leaf("cameraid", "rear") + leaf("windowtype", "bitonal") + leaf("windowid", "window_003"),
                 leaf("cameraid", "front") + leaf("windowtype", "bitonal") + leaf("windowid", "w") +
                 leaf("imageformat", "rgb_24"),
                 leaf("cameraid", "front") + leaf("windowtype", "color") + leaf("windowid", "w") +
                 leaf("imageresolutionx", "75_dpi"),
                 leaf("cameraid", "front") + leaf("windowtype", "infrared") + leaf("windowid", "w")):
        unit.send("windowadd", body, "fail")
    unit.send("createcamera", leaf("cameratype", "rear") + leaf("cameraid", "rear"), "fail")
    unit.send("windowadd", leaf("cameraid", "front") + leaf("windowtype", "color") + leaf("windowid", "c") +
              leaf("imageresolutionx", "100_dpi"), "success")
    unit.send("setupend", leaf("cancel", "true"), "success")
    images, _, _ = unit.scan()
    assert [i["windowid"] for i in images] == ["window_002"], images  # the defaults, front only (simplex)
    unit.send("scanend", "", "success")
    unit.send("setupbegin", leaf("setupscan", "true"), "success")
    for window, kind in (("a", "bitonal"), ("b", "color")):
        unit.send("windowadd", leaf("cameraid", "front") + leaf("windowtype", kind) + leaf("windowid", window) +
                  leaf("imageresolutionx", "100_dpi"), "success")
    unit.send("setwindoworder", leaf("windowid", "x"), "fail")
    unit.send("setwindoworder", leaf("windowid", "b") + leaf("windowid", "a"), "success")
    unit.send("setupend", leaf("cancel", "false"), "success")
    images, _, _ = unit.scan()
    assert [i["windowid"] for i in images] == ["b", "a"], images
    unit.send("scanend", "", "success")
    unit.close()


# ---------------------------------------------------------------------------------------------------------------------
# Faults, blank pages and patch sheets


@group
def faults_end_the_job_at_their_sheet():
    for flag, sheet, word in (("paperjam", 3, "paperjam"), ("multifeed", 2, "multifeed"),
                              ("coveropen", 1, "coveropen"), ("disconnect", 2, "disconnected"),
                              ("fail", 4, "fail")):
        unit = UNITS["adf"]
        unit.reset()
        unit.open(pages=5, **{flag: sheet})
        unit.register("connectionchange")
        images, sheet_ends, status = unit.scan()
        assert status == word and len(images) == 2 * (sheet - 1) and sheet_ends == sheet - 1, (flag, status)
        if flag == "disconnect":
            unit.wait(lambda calls: len(calls) == 1)
            assert "<deviceonline>false</deviceonline>" in unit.calls[0][3]
            assert "<userargumentptr>0000000000000abc</userargumentptr>" in unit.calls[0][3]
            unit.send("getconfig", leaf("id", "paperdetected"), "disconnected")
        assert unit.send("getoutput")[0] == word  # the job stays ended
        status, root = unit.send("scanend", "", "success")
        assert root.find("reportscanend/multifeedcount").text == ("1" if flag == "multifeed" else "0")
        unit.close()
        assert unit.names() == (["connectionchange"] if flag == "disconnect" else []), unit.names()
        assert_callbacks_sound(unit)


@group
def faults_blank_and_patch_sheets():
    unit = UNITS["adf"]
    unit.open(pages=3, blank="2", patch="1,3:patchtype4")
    images, _, status = unit.scan()
    status, root = unit.send("scanend", "", "success")
    unit.close()
    assert [i["blankimagecontent"] == "0" for i in images] == [False, False, True, True, False, False]
    assert [i["patchdetected"] for i in images] == ["true", "true", "false", "false", "true", "true"]
    assert [i.get("patchtype") for i in images[::2]] == ["patchtype2", None, "patchtype4"]
    assert root.find("reportscanend/patchcountfront").text == "2"
    assert root.find("reportscanend/patchcountrear").text == "2"


@group
def faults_sheets_that_go_on():
    """Sheets the job goes on after: a baffle sheet's images say bafflebackground, a multifeed-flag sheet's say
    multifeed true (counted once in reportscanend), a user-action sheet answers useraction with a record
    without a file in place of its images (a userinput is taken while scanning), and every image carries the
    autocolor figures of its sheet."""
    unit = UNITS["adf"]
    unit.open(pages=4, baffle="1", multifeedflag="3", useraction="2:continue", autocolor="40/30,3:0/25")
    unit.send("userinput", leaf("useraction", "continue"), "invalidstate")
    unit.send("scanbegin", leaf("imagebuffercount", 8), "success")
    statuses, records = [], []
    while True:
        status, root = unit.send("getoutput")
        statuses.append(status)
        if status in ("success", "useraction"):
            records.append({e.tag: e.text for e in root.find("reportimage")})
        if status == "useraction":
            unit.send("userinput", leaf("useraction", records[-1]["useraction"]), "success")
        if status not in ("success", "useraction", "endofsheet"):
            break
    assert statuses == ["success", "success", "endofsheet", "useraction", "endofsheet"] + \
        ["success", "success", "endofsheet"] * 2 + ["endofoutput"], statuses
    action = records[2]
    assert action["useraction"] == "continue" and action["sheetnumber"] == "2" and "imagefilename" not in action
    images = records[:2] + records[3:]
    assert [i["sheetnumber"] for i in images] == ["1", "1", "3", "3", "4", "4"]
    assert [i["imagetype"] for i in images] == ["bafflebackground"] * 2 + ["document"] * 4
    assert [i["multifeed"] for i in images] == ["false", "false", "true", "true", "false", "false"]
    assert [(i["autocoloramount"], i["autocolorthreshold"]) for i in images] == \
        [("40", "30")] * 2 + [("0", "25")] * 2 + [("40", "30")] * 2
    for image in images:
        unit.send("imageend", leaf("imagefilename", image["imagefilename"]), "success")
    status, root = unit.send("scanend", "", "success")
    assert root.find("reportscanend/multifeedcount").text == "1"
    unit.close()
    # A user action without its own text asks to be shown; without autocolor no figures are told.
    unit.open(pages=1, useraction="1")
    images, sheet_ends, status = unit.scan()
    assert (images, sheet_ends, status) == ([], 0, "useraction")
    assert unit.last.count("<useraction>show</useraction>") == 1
    assert [unit.send("getoutput")[0] for _ in range(2)] == ["endofsheet", "endofoutput"]
    unit.send("scanend", "", "success")
    unit.close()
    unit.open(pages=1)
    images, _, _ = unit.scan()
    assert "autocoloramount" not in images[0]
    unit.send("scanend", "", "success")
    unit.close()


@group
def faults_getoutput_words_and_padded_images():
    """getoutputword answers the n-th getoutput of each job with a word and no image; padimage pads every image
    description."""
    unit = UNITS["adf"]
    unit.open(pages=1, getoutputword="1:coveropen,3:noimageready,4:ok", padimage=50)
    for job in range(2):
        unit.send("scanbegin", leaf("imagebuffercount", 4), "success")
        status, root = unit.send("getoutput", "", "coveropen")
        assert root.find("reportimage") is None
        status, root = unit.send("getoutput", "", "success")
        assert root.find("reportimage/padding").text == "x" * 50
        status, root = unit.send("getoutput", "", "noimageready")
        assert root.find("reportimage") is None
        unit.send("getoutput", "", "ok")
        unit.send("getoutput", "", "success")  # the job goes on: the rear image
        unit.send("scanend", "", "success")
    unit.close()


# ---------------------------------------------------------------------------------------------------------------------
# Callbacks


@group
def callbacks_come_after_the_reply_from_the_units_thread():
    """The asynchronous open completes on the unit's thread after sessionbegin has returned; the callback may
    send tasks of its own, as the device engine does."""
    unit = UNITS["adf"]
    unit.in_callback = ["querysupport"]
    unit.open(True, opendelay=0)
    assert unit.callback_replies[0].find("reportinquiry") is not None
    unit.close()
    assert_callbacks_sound(unit)
    # A callback may even close the unit; it opens again afterwards.
    unit.in_callback = ["sessionend", "interfaceclose"]
    unit.open(True)
    assert [r[0][0].text for r in unit.callback_replies[1:]] == ["success", "success"]
    unit.in_callback = []
    unit.open(True)
    unit.close()
    unit.reset()
    # Asked for a synchronous open, a sessionbegin with a callback answers success and never calls it.
    unit.send("interfaceopen", simulate(asyncopen="false"), "success")
    pointer = ctypes.cast(unit.open_cb, ctypes.c_void_p).value
    unit.send("sessionbegin", leaf("callbackname", "interfaceopencomplete") + leaf("functionptr", "%x" % pointer) +
              leaf("userargumentptr", "0x1"), "success")
    unit.close()
    time.sleep(0.1)
    assert unit.names() == [], unit.names()


@group
def callbacks_never_after_interfaceclose():
    """A callback still due when the session ends never comes; one that is running when interfaceclose comes
    has returned before interfaceclose does."""
    unit = UNITS["adf"]
    unit.send("interfaceopen", simulate(opendelay=500), "success")
    pointer = ctypes.cast(unit.open_cb, ctypes.c_void_p).value
    begin = leaf("callbackname", "interfaceopencomplete") + leaf("functionptr", "%016x" % pointer) + \
        leaf("userargumentptr", "%016x" % 1)
    unit.send("sessionbegin", begin, "notcomplete")
    unit.close()
    time.sleep(0.6)
    assert unit.names() == []
    # Due now, and holding the unit's thread for a while.
    unit.hold = 0.3
    unit.send("interfaceopen", simulate(), "success")
    unit.send("sessionbegin", begin, "notcomplete")
    unit.wait(lambda calls: len(calls) == 1)
    unit.close()
    closed = time.monotonic()
    assert unit.names() == ["opencomplete", "opencomplete-returns"]
    assert_callbacks_sound(unit, after=closed)
    # An image callback owed when the job ends never comes either, nor one taken back.
    unit.hold = 0
    unit.open(pages=2, delay=500)
    unit.register("imageavailable")
    unit.send("scanbegin", leaf("imagebuffercount", 2), "success")
    unit.send("getoutput", "", "noimageready")
    unit.send("scanend", "", "success")
    unit.send("scanbegin", leaf("imagebuffercount", 2), "success")
    unit.send("getoutput", "", "noimageready")
    unit.register("imageavailable", ctypes.c_void_p(0))
    time.sleep(0.6)
    unit.send("scanend", "", "success")
    unit.close()
    assert unit.names() == ["opencomplete", "opencomplete-returns"], unit.names()


@group
def callbacks_knobs_drop_the_unit_press_its_button_and_plug_a_flatbed():
    """offlineafter drops the unit off line that long after its session began (tasks other than the closing
    ones then answer disconnected), onlineafter brings it back; a button press and a plug-and-play change come
    that long after their callbacks are registered. All from the unit's thread, after the reply."""
    unit = UNITS["adf"]
    unit.send("interfaceopen", simulate(offlineafter=150, onlineafter=600, button="20:scan_1",
                                        pnpchange="10:removed", flatbed="kvflatbed"), "success")
    unit.register("connectionchange")
    unit.send("sessionbegin", "", "success")
    unit.register("buttonevent")
    unit.register("pnpchange")
    unit.wait(lambda calls: any("<deviceonline>false" in c[3] for c in calls))
    unit.send("getconfig", leaf("id", "paperdetected"), "disconnected")
    unit.send("notifydevicestatus", leaf("deviceonline", "true"), "success")
    unit.wait(lambda calls: any("<deviceonline>true" in c[3] for c in calls))
    unit.send("getconfig", leaf("id", "paperdetected"), "success")
    assert sorted(unit.names()) == ["buttonevent", "connectionchange", "connectionchange", "pnpchange"], unit.names()
    texts = {re.search("<callbackname>(.*?)<", c[3]).group(1): c[3] for c in unit.calls}
    assert "<button>scan_1</button>" in texts["buttonevent"], texts
    pnp = ET.fromstring(texts["pnpchange"]).find("callback/pnpchange/device")
    assert (pnp.find("pnp").text, pnp.find("resource/devicetype").text, pnp.find("resource/model").text) == \
        ("removed", "flatbedaccessory", "kvflatbed"), texts["pnpchange"]
    unit.close()
    assert_callbacks_sound(unit)
    # A session that ends first hears nothing more; bad knob values are refused.
    unit.reset()
    unit.send("interfaceopen", simulate(offlineafter=100), "success")
    unit.register("connectionchange")
    unit.send("sessionbegin", "", "success")
    unit.close()
    time.sleep(0.2)
    assert unit.names() == [], unit.names()
    for flags in ({"offlineafter": "-5"}, {"onlineafter": "soon"}, {"button": "10"}, {"button": "x:scan"},
                  {"button": "10:<b>"}, {"pnpchange": "10:moved"}, {"pnpchange": ":added"}):
        unit.send("interfaceopen", simulate(**flags), "fail")


# ---------------------------------------------------------------------------------------------------------------------
# Bad input


def not_xml():
    path = os.path.join(ROOT, "broken.inquiry")
    with open(path, "w") as f:
        f.write("<range><id>sheetwidth</id>")
    return path


@group
def badinput_gets_a_clear_status():
    unit = UNITS["adf"]
    head = "<task id='%020d' reply='%020d' bytes='%020d'>\n" % (77, 0, 0)
    for data, reply_id in ((None, 0), (b"", 0), (b"garbage", 0), (b"<task><interfaceopen/></task>", 0),
                           (b"<task id='abc'><interfaceopen/></task>", 0),
                           (head.encode() + b"<interfaceopen></task>\n", 77),
                           (head.encode() + b"\t<interfaceopen>\n</task>\n", 77),
                           (head.encode() + b"</task>\n", 77), (head.encode() + b"\t<scanfaster/>\n</task>\n", 77),
                           (b"<notask id='%020d'><interfaceopen/></notask>" % 5, 0)):
        text = unit.raw(data)
        root = check_layout(text, reply_id)
        assert root[0][0].text == "fail", (data, text)
    # A configuration the unit cannot have is refused and leaves it loaded.
    for flags in ({"pages": 100001}, {"pages": 99999999999999999999}, {"pages": "-1"}, {"pages": "abc"},
                  {"simmodel": "oak"}, {"delay": ""}, {"paperjam": 0}, {"blank": "1,,2"}, {"patch": "2:staple"},
                  {"busy": "maybe"}, {"busyafter": "x"}, {"busyafter": "-2"}, {"getoutputword": "1:BUSY"},
                  {"getoutputword": "0:busy"},
                  {"getoutputword": "2"}, {"baffle": "0"}, {"multifeedflag": ""}, {"useraction": "1:two words"},
                  {"useraction": "x:show"}, {"autocolor": "40"}, {"autocolor": "40/x"}, {"autocolor": "0:40/30"},
                  {"autocolor": "2:40/30,"}, {"paperafter": "-1"}, {"warmupreport": "maybe"}, {"pagepool": "2"},
                  {"paperdetectable": ""}, {"padimage": "-1"}, {"padimage": 16777217},
                  {"pagecount": "-1"}, {"pagecount": 1000000001}, {"consumablemetersize": "x"},
                  {"consumablemetersize": 16777217}, {"imagedirectory": os.path.join(ROOT, "missing")}, {"duplex": "yes"},
                  {"inquiry": os.path.join(ROOT, "missing.inquiry")}, {"inquiry": not_xml()}):
        unit.send("interfaceopen", simulate(**flags), "fail")
    unit.open(pages=1)
    for name, pointer in (("imageavailable", "xyz"), ("imageavailable", ""), ("imageavailable", "0x"),
                          ("imageavailable", "1" * 17), ("imageavailable", "12 34"), ("nosuchcallback", "1234")):
        unit.send("registercallback", leaf("callbackname", name) + leaf("functionptr", pointer) +
                  leaf("userargumentptr", "0"), "fail")
    unit.send("registercallback", leaf("callbackname", "imageavailable") + leaf("functionptr", "0X00aB") +
              leaf("userargumentptr", "0x0"), "success")
    for count in ("0", "", "x", "1025", "-3"):
        unit.send("scanbegin", leaf("imagebuffercount", count), "fail")
    unit.send("scanbegin", leaf("imagebuffercount", 2), "success")
    status, root = unit.send("getoutput", "", "success")
    name = root.find("reportimage/imagefilename").text
    for wrong in (os.path.join(IMAGES, "nosuchimage.raw"), "", name + "x"):
        unit.send("imageend", leaf("imagefilename", wrong), "fail")
    unit.send("imageend", leaf("imagefilename", name), "success")
    unit.send("imageend", leaf("imagefilename", name), "fail")
    unit.send("scanend", "", "success")
    unit.send("setconsumablemeter", leaf("consumablemetertype", "feedroller") + leaf("value", "12a"), "fail")
    unit.send("setconsumablemeter", leaf("consumablemetertype", "toner") + leaf("value", "1"), "fail")
    unit.send("downloadbegin", "<datafile>" + leaf("filename", os.path.join(ROOT, "none.bin")) +
              leaf("datasize", 3) + "</datafile>", "fail")
    unit.close()
    # A sessionbegin refused for its callback leaves the unit open; a busy unit refuses as told.
    unit.send("interfaceopen", simulate(busy=2), "success")
    unit.send("sessionbegin", leaf("callbackname", "interfaceopencomplete") + leaf("functionptr", "zz") +
              leaf("userargumentptr", "1"), "fail")
    unit.send("resourcelock", "", "busy")
    unit.send("sessionbegin", "", "busy")
    unit.send("sessionbegin", "", "success")
    unit.close()
    # With busyafter the busy answers wait for that many lock tasks: an opening goes through first.
    unit.send("interfaceopen", simulate(busy=2, busyafter=1), "success")
    unit.send("resourcelock", "", "success")
    unit.send("sessionbegin", "", "success")
    unit.send("resourcebegin", "", "busy")
    unit.send("resourcelock", "", "busy")
    unit.send("resourcelock", "", "success")
    unit.close()


@group
def badinput_service_tasks_answer_what_they_know():
    """Meters, logs and firmware download of an open session; the meters' knobs."""
    unit = UNITS["adf"]
    unit.open(pages=2)
    unit.scan()
    unit.send("scanend", "", "success")
    status, root = unit.send("getconsumablemeters", "", "success")
    meters = {m.find("consumablemetertype").text: m.find("value").text for m in root.find("reportconsumablemeters")}
    assert meters == {"feedroller": "2", "separationpad": "2"}, meters
    unit.send("resetconsumablemeter", leaf("consumablemetertype", "feedroller"), "success")
    unit.send("setconsumablemeter", leaf("consumablemetertype", "separationpad") + leaf("value", "40"), "success")
    status, root = unit.send("getconsumablemeters", "", "success")
    meters = {m.find("consumablemetertype").text: m.find("value").text for m in root.find("reportconsumablemeters")}
    assert meters == {"feedroller": "0", "separationpad": "40"}, meters
    status, root = unit.send("getconfig", leaf("id", "meterpagecount") + leaf("id", "meterfirstscan"), "success")
    assert root.find("reportconfig/meterpagecount").text == "2"
    assert len(root.find("reportconfig/meterfirstscan").text) == 23
    unit.send("setconfig", leaf("lowpowermodetimeout", "33"), "success")
    status, root = unit.send("getconfig", leaf("id", "lowpowermodetimeout"), "success")
    assert root.find("reportconfig/lowpowermodetimeout").text == "33"
    status, root = unit.send("getlog", leaf("language", "en_usa") + leaf("logtype", "info"), "success")
    log = root.find("reportlog/filename").text
    assert os.path.dirname(log) == IMAGES and "model mapleB" in open(log).read()
    firmware = os.path.join(ROOT, "firmware.bin")
    with open(firmware, "wb") as f:
        f.write(b"12345")
    unit.send("downloadbegin", "<datafile>" + leaf("filename", firmware) + leaf("datasize", 4) + "</datafile>",
              "fail")
    unit.send("downloadbegin", "<datafile>" + leaf("filename", firmware) + leaf("datasize", 5) +
              leaf("dataoffset", 0) + "</datafile>", "success")
    unit.send("downloadrun", "", "success")
    unit.send("downloadend", "", "success")
    unit.send("messagerelay", "", "endofmessages")
    unit.close()
    assert not os.path.exists(log)
    # The meters may start from a page count; the consumable-meter report may carry padding of a given size.
    unit.open(pages=1, pagecount=12340, consumablemetersize=5000)
    status, root = unit.send("getconfig", "".join(leaf("id", meter) for meter in (
        "meterpagecount", "metertransport", "meterpower", "meterlampfront")), "success")
    assert [root.find("reportconfig/" + meter).text for meter in (
        "meterpagecount", "metertransport", "meterpower", "meterlampfront")] == ["12340", "12340", "1234", "1234"]
    status, root = unit.send("getconsumablemeters", "", "success")
    assert root.find("reportconsumablemeters/padding").text == "x" * 5000
    unit.close()


# ---------------------------------------------------------------------------------------------------------------------
# The flatbed copy and the tool


@group
def flatbed_is_a_unit_of_its_own():
    """The flatbed copy scans one sheet with its own camera; a feeder that names a flatbed reports it; both
    copies loaded in one process keep their own state."""
    flatbed, adf = UNITS["flatbed"], UNITS["adf"]
    status, root = adf.send("interfaceopen", simulate(flatbed="kvflatbed"), "success")
    assert root.find("reportresource/flatbed").text == "kvflatbed"
    adf.send("sessionbegin", "", "success")
    flatbed.open(pages=7)
    status, root = flatbed.send("querysupport", "", "success")
    enums = {e[0].text: [v.text for v in e[1:]] for e in root.find("reportinquiry") if e.tag == "enum"}
    assert enums["papersource"] == ["flatbed"] and enums["cameratype"] == ["front"], enums
    flatbed.send("setupbegin", "", "success")
    flatbed.send("windowadd", leaf("cameraid", "rear") + leaf("windowtype", "bitonal") + leaf("windowid", "r"),
                 "fail")
    flatbed.send("setupend", leaf("cancel", "true"), "success")
    adf.send("scanbegin", leaf("imagebuffercount", 2), "success")
    images, sheet_ends, status = flatbed.scan()
    assert (len(images), sheet_ends, status) == (1, 1, "endofoutput")
    assert images[0]["cameraid"] == "flatbed" and "-flatbed-" in images[0]["imagefilename"]
    assert adf.send("getoutput")[0] == "success"
    flatbed.send("scanend", "", "success")
    adf.send("scanend", "", "success")
    flatbed.close()
    adf.close()


@group
def flatbed_unit_only_flags_and_the_task_log():
    """A flag or variable named for one unit applies to that copy only (and wins over the plain one); every task
    of both copies is one line of the task log: milliseconds, unit, id, command, one field per child (its value
    cut to 200 characters), status."""
    flatbed, adf = UNITS["flatbed"], UNITS["adf"]
    log = os.path.join(ROOT, "tasks.log")
    os.environ.update(SIMSCAN_TASKLOG=log, SIMSCAN_ADF_SERIALNUMBER="ENVADF", SIMSCAN_SERIALNUMBER="ENVBOTH")
    try:
        flags = {"flatbed.busy": 1, "busy": 0, "adf.pages": 5}
        status, root = adf.send("interfaceopen", simulate(**flags), "success")
        assert root.find("reportconfig/serialnumber").text == "ENVADF"
        status, root = flatbed.send("interfaceopen", simulate(**flags), "success")
        assert root.find("reportconfig/serialnumber").text == "ENVBOTH"
        adf.send("resourcelock", "", "success")
        flatbed.send("resourcelock", "", "busy")
        flatbed.send("resourcelock", "", "success")
        adf.send("sessionbegin", "", "success")
        images, sheet_ends, status = adf.scan()
        assert (len(images), status) == (10, "endofoutput"), (len(images), status)
        adf.send("scanend", "", "success")
        adf.send("getconfig", "".join(leaf("id", "meterpagecount") for _ in range(30)), "success")
        adf.send("nosuchcommand", leaf("a", "b" * 300), "fail")
        flatbed.send("interfaceclose", "", "success")
        adf.close()
    finally:
        for name in ("SIMSCAN_TASKLOG", "SIMSCAN_ADF_SERIALNUMBER", "SIMSCAN_SERIALNUMBER"):
            del os.environ[name]
    lines = [line.split("\t") for line in open(log).read().splitlines()]
    assert all(len(line) >= 5 and line[0].isdigit() for line in lines), lines
    assert [int(line[0]) for line in lines] == sorted(int(line[0]) for line in lines)
    brief = [(line[1], line[3], line[-1]) for line in lines]
    assert brief[:5] == [("adf", "interfaceopen", "success"), ("flatbed", "interfaceopen", "success"),
                         ("adf", "resourcelock", "success"), ("flatbed", "resourcelock", "busy"),
                         ("flatbed", "resourcelock", "success")], brief
    assert brief[-4:] == [("adf", "nosuchcommand", "fail"), ("flatbed", "interfaceclose", "success"),
                          ("adf", "sessionend", "success"), ("adf", "interfaceclose", "success")], brief
    ids = [int(line[2]) for line in lines if line[1] == "flatbed"]
    assert ids == list(range(ids[0], ids[0] + 4)), lines
    assert lines[0][4:-1] == ["simulate="], lines[0]
    assert next(line for line in lines if line[3] == "scanbegin")[4:-1] == ["imagebuffercount=4"]
    assert next(line for line in lines if line[3] == "getconfig")[4:-1] == ["id=meterpagecount"] * 30
    assert next(line for line in lines if line[3] == "nosuchcommand")[4:-1] == ["a=" + "b" * 200]


@group
def tool_runs_a_batch():
    """simscan drives a whole batch and saves the images as netpbm files."""
    out = os.path.join(ROOT, "out")
    os.mkdir(out)
    run = subprocess.run([TOOL, "--quiet", "--async", "--out", out, "--flag", "imagedirectory=" + IMAGES,
                          "--flag", "pages=2", "--flag", "delay=20", "--format", "gray_8", "--resolution", "100"],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    assert "sessionbegin: notcomplete" in run.stdout and run.stdout.count("imageend: success") == 4, run.stdout
    files = sorted(os.listdir(out))
    assert files == ["image-0001-sheet1-front.pgm", "image-0002-sheet1-rear.pgm", "image-0003-sheet2-front.pgm",
                     "image-0004-sheet2-rear.pgm"], files
    width, height = A4[0] * 100 // 1200, A4[1] * 100 // 1200
    for name in files:
        data = open(os.path.join(out, name), "rb").read()
        header = b"P5\n%d %d\n255\n" % (width, height)
        assert data.startswith(header) and len(data) == len(header) + width * height, name
    # The whole reply of each task is printed; a fault ends the run with 2, a missing library with 1.
    run = subprocess.run([TOOL, "--flag", "imagedirectory=" + IMAGES, "--flag", "paperjam=1"],
                         capture_output=True, text=True)
    assert run.returncode == 2 and "<status>paperjam</status>" in run.stdout, run.stdout + run.stderr
    run = subprocess.run([TOOL, "--library", FLATBED, "--quiet", "--flag", "imagedirectory=" + IMAGES],
                         capture_output=True, text=True)
    assert run.returncode == 0 and "images: 1" in run.stdout, run.stdout + run.stderr
    # A user action is answered with a userinput and the batch goes on; pooled pages change nothing for it.
    run = subprocess.run([TOOL, "--quiet", "--flag", "imagedirectory=" + IMAGES, "--flag", "pages=3", "--flag",
                          "useraction=2", "--flag", "pagepool=true"], capture_output=True, text=True)
    assert run.returncode == 0 and "userinput: success" in run.stdout and "images: 4" in run.stdout, run.stdout
    run = subprocess.run([TOOL, "--library", os.path.join(ROOT, "none.so")], capture_output=True, text=True)
    assert run.returncode == 1 and "cannot load" in run.stderr, run.stderr
    assert os.listdir(IMAGES) == []


UNITS = {"adf": Unit(ADF), "flatbed": Unit(FLATBED)}


def reset_units():
    for unit in UNITS.values():
        unit.reset()


simtasks.run(GROUP, ROOT, reset_units)
