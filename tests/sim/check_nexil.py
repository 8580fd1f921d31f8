"""The image-library stand-in, driven through ctypes in process as the device engine drives it: the pages
of the simulated scanner go in through setinput and come out as one file per stream of their side, in the
format and resolution of the stream, removed again at imageend or scanend. Every reply is checked for the
task layout and, at the end, by xmllint. The host program's argument vector is checked here too.

    check_nexil.py NEXIL_ADF NEXIL_FLATBED SCANNER_ADF DRAVIX GROUP SIMSCAN_TOOL

Each group runs in a process of its own (the library is one per loaded copy) inside a throwaway root."""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import simtasks
from simtasks import check_layout, group, leaf

NEXIL, NEXIL_FLATBED, SCANNER, DRAVIX, GROUP, TOOL = sys.argv[1:7]
A4 = (9921, 14031)  # 1/1200 inch

for name in [n for n in os.environ if n.startswith(("SIMSCAN_", "NEXSIM_", "NEXIL_", "DRAVIX_"))]:
    del os.environ[name]
ROOT = tempfile.mkdtemp(prefix="nexil-")
os.environ.update(HOME=ROOT, TMPDIR=ROOT)
PAGES = os.path.join(ROOT, "pages")  # the scanner's
OUTPUTS = os.path.join(ROOT, "outputs")  # the library's
for directory in (PAGES, OUTPUTS):
    os.mkdir(directory)
os.environ["NEXSIM_IMAGEDIRECTORY"] = OUTPUTS


class Library(simtasks.Library):
    """A library of tasks, with the session and setup steps of the device engine."""

    def open(self):
        self.send("interfaceopen", leaf("usesession", "true"), "success")
        self.send("sessionbegin", leaf("eolmode", "none") + leaf("language", "en_usa"), "success")

    def close(self):
        self.send("sessionend", "", "success")
        self.send("interfaceclose", "", "success")

    def setup(self, windows):
        """windows: (camera, windowtype, windowid, imageformat, dpi) tuples, sent in this order."""
        self.send("setupbegin", "\t\t<adfinfo>\n" + "\t" + leaf("illumination", "normal") + "\t\t</adfinfo>\n" +
                  leaf("setupscan", "true"), "success")
        self.send("setconfig", leaf("papersource", "adf"), "success")
        for camera in sorted({w[0] for w in windows}):
            self.send("createcamera", leaf("cameratype", camera) + leaf("cameraid", camera), "success")
        for camera, kind, window, fmt, dpi in windows:
            self.send("windowadd", leaf("cameraid", camera) + leaf("windowtype", kind) + leaf("windowid", window) +
                      leaf("imageformat", fmt) + leaf("imageresolutionx", "%d_dpi" % dpi), "success")
        self.send("setupend", leaf("cancel", "false"), "success")


class Scanner(Library):
    """The simulated scanner that makes the pages."""

    def __init__(self):
        super().__init__(SCANNER, "ScannerEntry")

    def start(self, pages=2, **flags):
        flags.update(pages=pages, imagedirectory=PAGES)
        simulate = "".join("<simflag><id>%s</id><value>%s</value></simflag>" % item for item in flags.items())
        self.send("interfaceopen", "\t\t<simulate>%s</simulate>\n" % simulate, "success")
        self.send("sessionbegin", "", "success")

    def pages(self, windows=None):
        """Every page of a batch: the text of its reportimage element as the device engine hands it on."""
        if windows:
            self.setup(windows)
        self.send("scanbegin", leaf("imagebuffercount", 8), "success")
        pages = []
        while True:
            status, root = self.send("getoutput")
            text = self.last
            if status == "endofsheet":
                continue
            if status != "success":
                assert status == "endofoutput", status
                return pages
            pages.append(text[text.index("<reportimage>") + len("<reportimage>"):text.index("</reportimage>")])

    def stop(self):
        self.send("scanend", "", "success")
        self.close()


def image_size(fmt, dpi):
    width, height = A4[0] * dpi // 1200, A4[1] * dpi // 1200
    return {"bw": (width + 7) // 8, "gray_8": width, "rgb_24": 3 * width}[fmt] * height


def outputs(nexil, page):
    """setinput of one page, then getoutput until endofoutput: the outputs' descriptions and bytes."""
    nexil.send("setinput", page, "success")
    found = []
    while True:
        status, root = nexil.send("getoutput")
        if status == "endofoutput":
            return found
        assert status == "success", status
        image = {e.tag: e.text for e in root.find("reportimage")}
        image["data"] = open(image["imagefilename"], "rb").read()
        found.append(image)


# ---------------------------------------------------------------------------------------------------------------------
# A scan's worth of tasks


@group
def scan_outputs_per_stream():
    """Dual stream in front (bitonal and colour), gray in the rear: each page gives the outputs of its side in
    the order of setwindoworder, in the stream's format and resolution, with the page's own description
    otherwise; imageend removes an output, scanend all the others."""
    scanner, nexil = Scanner(), Library(NEXIL, "NexEntry")
    scanner.start(pages=2, blank=2)
    pages = scanner.pages([("front", "bitonal", "window_002", "bw", 200), ("rear", "bitonal", "window_003", "bw",
                                                                           200)])
    nexil.open()
    nexil.send("resourcebegin", "", "success")
    streams = [("front", "color", "window_004", "rgb_24", 100), ("front", "bitonal", "window_002", "bw", 150),
               ("rear", "color", "window_005", "gray_8", 75)]
    nexil.setup(streams)
    nexil.send("setupbegin", "", "success")
    nexil.send("setwindoworder", leaf("windowid", "window_002") + leaf("windowid", "window_004"), "success")
    nexil.send("setupend", leaf("cancel", "false"), "success")
    nexil.send("messagerelay", "", "endofmessages")
    nexil.send("scanbegin", leaf("imagebuffercount", 6), "success")
    ended, kept = [], []
    for index, page in enumerate(pages):
        device = {e.tag: e.text for e in ET.fromstring("<p>%s</p>" % page)}
        found = outputs(nexil, page)
        wanted = [s for s in [streams[1], streams[0], streams[2]] if (s[0] == "rear") == (device["cameratype"] ==
                                                                                           "rear")]
        assert [(o["windowid"], o["imageformat"]) for o in found] == [(s[2], s[3]) for s in wanted], found
        for image, (_, _, window, fmt, dpi) in zip(found, wanted):
            assert int(image["imagesize"]) == image_size(fmt, dpi) == len(image["data"]), (image["imagesize"], fmt)
            assert image["imageresolutionx"] == image["imageresolutiony"] == "%d_dpi" % dpi
            assert image["compressionmode"] == "none" and os.path.dirname(image["imagefilename"]) == OUTPUTS
            for key in ("sheetnumber", "cameratype", "cameraid", "imageid", "imagewidth", "imageheight",
                        "blankimagecontent"):
                assert image[key] == device[key], (key, image, device)
            check_pixels(image, fmt, dpi, blank=device["sheetnumber"] == "2")
        # The first output of every page is let go at once, the others stay out.
        nexil.send("imageend", leaf("imagefilename", found[0]["imagefilename"]), "success")
        assert not os.path.exists(found[0]["imagefilename"])
        ended.append(found[0]["imagefilename"])
        kept += [o["imagefilename"] for o in found[1:]]
        assert index > 0 or sorted(os.listdir(OUTPUTS)) == sorted(os.path.basename(k) for k in kept)
    assert all(os.path.exists(k) for k in kept)
    nexil.send("imageend", leaf("imagefilename", ended[0]), "fail")  # only once
    nexil.send("scanend", "", "success")
    assert os.listdir(OUTPUTS) == []
    nexil.send("resourceend", "", "success")
    nexil.close()
    scanner.stop()
    assert os.listdir(PAGES) == []


@group
def scan_outputs_of_killed_processes_go_at_open():
    """An interfaceopen removes the output files that ended (killed) processes of the stand-in left in its image
    directory; files of live processes and links stay."""
    nexil = Library(NEXIL, "NexEntry")
    orphans = simtasks.plant_orphans(OUTPUTS, "nexsim")
    nexil.open()
    simtasks.check_orphans(*orphans)
    nexil.close()


def check_pixels(image, fmt, dpi, blank):
    """The page's black frame in the first line, white paper in the middle; a blank page white all over."""
    width = A4[0] * dpi // 1200
    line = {"bw": (width + 7) // 8, "gray_8": width, "rgb_24": 3 * width}[fmt]
    data = image["data"]
    white, black = (0x00, 0xFF) if fmt == "bw" else (0xFF, 0x00)
    middle = len(data) // line // 2 * line + line // 2
    if blank:
        assert data == bytes([white]) * len(data), fmt
        return
    assert data[:line - 1] == bytes([black]) * (line - 1), (fmt, data[:16])  # the last bw byte may be partial
    assert data[middle] == white, (fmt, data[middle])


@group
def scan_without_streams_and_out_of_memory():
    """Without a setup a page goes out as it is; a getoutput answered nomemory (as NEXSIM_NOMEMORY asks) hands
    nothing out and the next one delivers; outputs never fetched go with the next setinput, and those never
    ended with sessionend."""
    scanner, nexil = Scanner(), Library(NEXIL, "NexEntry")
    scanner.start(pages=2, duplex="false")
    pages = scanner.pages([("front", "color", "window_004", "gray_8", 100)])
    os.environ["NEXSIM_NOMEMORY"] = "3"
    nexil.open()
    nexil.send("scanbegin", leaf("imagebuffercount", 2), "success")
    nexil.send("setinput", pages[0], "success")
    status, root = nexil.send("getoutput", "", "success")
    first = {e.tag: e.text for e in root.find("reportimage")}
    assert (first["imageformat"], first["windowid"], first["imagesize"]) == ("gray_8", "window_004",
                                                                             str(image_size("gray_8", 100)))
    assert open(first["imagefilename"], "rb").read() == open(re.search("<imagefilename>(.*?)<", pages[0]).group(1),
                                                             "rb").read()
    nexil.send("getoutput", "", "endofoutput")
    nexil.send("setinput", pages[1], "success")
    nexil.send("getoutput", "", "nomemory")  # the third getoutput
    nexil.send("getoutput", "", "success")
    nexil.send("getoutput", "", "endofoutput")
    # A page set again before its outputs were all fetched: the unfetched ones go.
    nexil.send("setinput", pages[1], "success")
    nexil.send("setinput", pages[1], "success")
    assert len(os.listdir(OUTPUTS)) == 3, os.listdir(OUTPUTS)  # two handed out, one waiting
    nexil.close()
    assert os.listdir(OUTPUTS) == []
    del os.environ["NEXSIM_NOMEMORY"]
    scanner.stop()


# ---------------------------------------------------------------------------------------------------------------------
# States and bad input


@group
def badinput_gets_a_clear_status():
    """Tasks before interfaceopen, tasks out of their state, unknown commands, texts that are no task, pages
    that are missing or not what they say, streams the library cannot make and knobs out of range: each gets a
    clear status, and the library goes on as before."""
    nexil = Library(NEXIL, "NexEntry")
    for command in ("sessionbegin", "querysupport", "scanbegin", "setinput", "getoutput", "imageend", "scanend",
                    "sessionend", "interfaceclose", "getversion", "getecdo", "setupbegin", "windowadd"):
        nexil.send(command, "", "invalidstate")
    head = "<task id='%020d' reply='%020d' bytes='%020d'>\n" % (77, 0, 0)
    for data, reply_id in ((b"", 0), (b"garbage", 0), (b"<task><interfaceopen/></task>", 0),
                           (head.encode() + b"\t<interfaceopen>\n</task>\n", 77),
                           (head.encode() + b"\t<sharpenfaster/>\n</task>\n", 77)):
        text = nexil.raw(data)
        assert check_layout(text, reply_id)[0][0].text == "fail", (data, text)
    for knob, value in (("NEXSIM_NOMEMORY", "x"), ("NEXSIM_NOMEMORY", "0"), ("NEXSIM_VERSION", "6.1a"),
                        ("NEXSIM_MAXMEMORY", "-1"), ("NEXSIM_IMAGEDIRECTORY", os.path.join(ROOT, "missing")),
                        ("NEXSIM_GETOUTPUTWORD", "x"), ("NEXSIM_GETOUTPUTWORD", "1:"),
                        ("NEXSIM_GETOUTPUTWORD", "1:end of"), ("NEXSIM_GETOUTPUTWORD", "0:fail"),
                        ("NEXSIM_THROWAT", "0"), ("NEXSIM_RELAY", "-2"), ("NEXSIM_PADOUTPUT", "x"),
                        ("NEXSIM_INQUIRY", os.path.join(ROOT, "missing.inquiry"))):
        saved = os.environ.get(knob)
        os.environ[knob] = value
        nexil.send("interfaceopen", "", "fail")
        if saved is None:
            del os.environ[knob]
        else:
            os.environ[knob] = saved
    nexil.open()
    for command in ("interfaceopen", "sessionbegin", "getoutput", "setinput", "imageend", "windowadd",
                    "setwindoworder", "setupend"):
        nexil.send(command, "", "invalidstate")
    nexil.send("nosuchcommand", "", "fail")
    nexil.send("passthroughdravix", leaf("getsomething", ""), "fail")
    nexil.send("getecdo", leaf("ecdotype", "some"), "fail")
    nexil.send("setupbegin", "", "success")
    for kind, fmt, dpi in (("bitonal", "rgb_24", "200_dpi"), ("color", "bw", "200_dpi"), ("grayish", "gray_8",
                                                                                         "200_dpi"),
                           ("color", "gray_8", "200"), ("color", "gray_8", "0_dpi")):
        nexil.send("windowadd", leaf("cameraid", "front") + leaf("windowtype", kind) + leaf("windowid", "w") +
                   leaf("imageformat", fmt) + leaf("imageresolutionx", dpi), "fail")
    nexil.send("setwindoworder", leaf("windowid", "window_009"), "fail")
    nexil.send("setupend", leaf("cancel", "true"), "success")
    for count in ("0", "", "x", "1025"):
        nexil.send("scanbegin", leaf("imagebuffercount", count), "fail")
    nexil.send("scanbegin", leaf("imagebuffercount", 2), "success")
    # A page of 10 x 20 pixels at 120 dpi, gray.
    page = os.path.join(PAGES, "page.raw")
    with open(page, "wb") as f:
        f.write(b"\x80" * 200)
    good = {"imagefilename": page, "imageformat": "gray_8", "imagewidth": 100, "imageheight": 200,
            "imagesize": 200, "imageresolutionx": "120_dpi", "cameratype": "front", "compressionmode": "none"}
    for change in ({"imagefilename": os.path.join(PAGES, "missing.raw")}, {"imagefilename": PAGES},
                   {"imagefilename": ""}, {"imageformat": "cmyk"}, {"imagesize": 201}, {"imagesize": 400},
                   {"imagewidth": "1e3"}, {"imageresolutionx": "120"}, {"compressionmode": "group4"},
                   {"imageheight": 0}):
        fields = dict(good, **change)
        nexil.send("setinput", "".join(leaf(k, v) for k, v in fields.items()), "fail")
        nexil.send("getoutput", "", "endofoutput")
        nexil.send("setbaffle", "".join(leaf(k, v) for k, v in fields.items()), "fail")
    nexil.send("setbaffle", "".join(leaf(k, v) for k, v in good.items()), "success")
    nexil.send("settoggle", leaf("cameraid", "front"), "success")
    nexil.send("settoggle", "", "fail")
    nexil.send("setinput", "".join(leaf(k, v) for k, v in good.items()), "success")
    status, root = nexil.send("getoutput", "", "success")
    made = root.find("reportimage/imagefilename").text
    assert open(made, "rb").read() == b"\x80" * 200
    for wrong in (page, "", made + "x"):
        nexil.send("imageend", leaf("imagefilename", wrong), "fail")
    assert os.path.exists(page)  # never the library's to remove
    nexil.send("scanend", "", "success")
    nexil.send("scanend", "", "success")  # without a scan: nothing to end
    nexil.close()
    assert os.listdir(OUTPUTS) == []


# ---------------------------------------------------------------------------------------------------------------------
# What the library reports


@group
def reports_of_the_library():
    """interfaceopen names its languages, querysupport its inquiry; getversion is read by position (the first
    element of the reply's second child), getversionuser likewise; free memory follows NEXSIM_MAXMEMORY; the
    debug log goes to NEXIL_LOGPATH and clearlog removes it; getecdo lists the custom choices for "all" only."""
    logs = os.path.join(ROOT, "logs")
    os.mkdir(logs)
    os.environ.update(NEXIL_LOGPATH=logs, NEXSIM_VERSION="6000000", NEXSIM_MAXMEMORY="3")
    nexil = Library(NEXIL, "NexEntry")
    status, root = nexil.send("interfaceopen", leaf("usesession", "true"), "success")
    assert [e.tag for e in root[1]] == ["enum"] and root[1][0][0].text == "language"
    status, root = nexil.send("getversion", "", "success")
    assert root[1][0].text == "6000000"
    status, root = nexil.send("getversionuser", "", "success")
    assert root[1][0].text == "image library stand-in 6000000 adf", root[1][0].text
    nexil.send("sessionbegin", leaf("imageendmode", "true") + leaf("eolmode", "none") + leaf("language", "de_deu"),
               "success")
    status, root = nexil.send("querysupport", "", "success")
    enums = {e[0].text: [v.text for v in e[1:]] for e in root.find("reportinquiry") if e.tag == "enum"}
    assert "code128" in enums["barcodetype"] and enums["imageformat"] == ["bw", "gray_8", "rgb_24"], enums
    assert "de_deu" in enums["language"]
    status, root = nexil.send("passthroughdravix", leaf("getfreememory", ""), "success")
    assert [e.text for e in root.find("reportfreememory")] == [str(3 << 20)]
    status, root = nexil.send("getdebuglog", "", "success")
    log = root.find("reportdebuglog/logfilename").text
    assert os.path.dirname(log) == logs and "language de_deu" in open(log).read()
    nexil.send("clearlog", leaf("logtype", "debug"), "success")
    assert not os.path.exists(log)
    for kind, names in (("default", ["file01", "file02", "file03", "file04", "file05"]),
                        ("all", ["file01", "file02", "file03", "file04", "file05", "file06"])):
        status, root = nexil.send("getecdo", leaf("language", "en_usa") + leaf("ecdotype", kind), "success")
        entries = list(root.find("reportecdo"))
        assert [e.tag for e in entries] == ["ecdo", "text", "algorithm"] * len(names)
        assert [e.text for e in entries[::3]] == names
    nexil.send("getdebuglog", "", "success")
    nexil.close()
    assert os.listdir(logs) == []  # interfaceclose takes the logs along
    del os.environ["NEXSIM_MAXMEMORY"]
    nexil.send("interfaceopen", "", "success")
    status, root = nexil.send("passthroughdravix", leaf("getfreememory", ""), "success")
    assert int(root.find("reportfreememory/freememory").text) > 3 << 20
    nexil.send("interfaceclose", "", "success")
    # The flatbed's copy is a library of its own.
    flatbed = Library(NEXIL_FLATBED, "NexEntry")
    flatbed.send("interfaceopen", "", "success")
    status, root = flatbed.send("getversionuser", "", "success")
    assert root[1][0].text.endswith(" flatbed")
    nexil.send("getversion", "", "invalidstate")
    flatbed.send("interfaceclose", "", "success")
    del os.environ["NEXSIM_VERSION"], os.environ["NEXIL_LOGPATH"]
    # NEXSIM_INQUIRY adds the elements of a file to querysupport, after the library's own.
    extra = os.path.join(ROOT, "extra.inquiry")
    with open(extra, "w") as f:
        f.write("<enum><id>barcodetype</id><value>code39</value></enum>")
    os.environ["NEXSIM_INQUIRY"] = extra
    status, root = nexil.send("interfaceopen", "", "success")
    assert [e.tag for e in root[1]] == ["enum"]
    nexil.send("sessionbegin", "", "success")
    status, root = nexil.send("querysupport", "", "success")
    last = list(root.find("reportinquiry"))[-1]
    assert [e.text for e in last] == ["barcodetype", "code39"], [e.text for e in last]
    nexil.close()
    del os.environ["NEXSIM_INQUIRY"]


@group
def knobs_the_adapter_tests_use():
    """The knobs the adapter's tests use: the task log has a line per task from interfaceopen on (unit, id,
    command, its direct children, status); getoutput answers the words asked for; messagerelay relays as many
    messages as asked; each output carries the padding asked for (a reply larger than the builder's usual
    room, which xmllint still reads)."""
    log = os.path.join(ROOT, "tasks.log")
    os.environ.update(NEXSIM_TASKLOG=log, NEXSIM_GETOUTPUTWORD="1:endofoutput,3:ecdocustomlearnfail",
                      NEXSIM_RELAY="2", NEXSIM_PADOUTPUT="100000")
    scanner, nexil = Scanner(), Library(NEXIL, "NexEntry")
    scanner.start(pages=1, duplex="false")
    pages = scanner.pages()
    nexil.open()
    nexil.send("messagerelay", "", "success")
    status, root = nexil.send("messagerelay", "", "success")
    assert root.find("reportmessage/message").text == "nexsim message 2"
    nexil.send("messagerelay", "", "endofmessages")
    nexil.send("scanbegin", leaf("imagebuffercount", 2), "success")
    nexil.send("setinput", pages[0], "success")
    nexil.send("getoutput", "", "endofoutput")
    status, root = nexil.send("getoutput", "", "success")
    assert len(root.find("reportimage/nexsimpad").text) == 100000 and len(nexil.last) > 100000
    nexil.send("getoutput", "", "ecdocustomlearnfail")
    nexil.send("getoutput", "", "endofoutput")
    nexil.close()
    scanner.stop()
    lines = [line.rstrip("\n").split("\t") for line in open(log)]
    assert [(f[1], int(f[2]), f[3], f[-1]) for f in lines] == [
        ("adf", 1, "interfaceopen", "success"), ("adf", 2, "sessionbegin", "success"),
        ("adf", 3, "messagerelay", "success"), ("adf", 4, "messagerelay", "success"),
        ("adf", 5, "messagerelay", "endofmessages"), ("adf", 6, "scanbegin", "success"),
        ("adf", 7, "setinput", "success"), ("adf", 8, "getoutput", "endofoutput"), ("adf", 9, "getoutput", "success"),
        ("adf", 10, "getoutput", "ecdocustomlearnfail"), ("adf", 11, "getoutput", "endofoutput"),
        ("adf", 12, "sessionend", "success"), ("adf", 13, "interfaceclose", "success")], lines
    assert lines[1][4:-1] == ["eolmode=none", "language=en_usa"] and lines[5][4:-1] == ["imagebuffercount=2"]
    assert all(f[0].isdigit() for f in lines)
    assert max(len(f) for line in lines for f in line[4:-1]) <= len("imagefilename=") + 200
    for name in ("NEXSIM_TASKLOG", "NEXSIM_GETOUTPUTWORD", "NEXSIM_RELAY", "NEXSIM_PADOUTPUT"):
        del os.environ[name]


@group
def knobs_getecdo_choices_word_and_cut():
    """NEXSIM_ECDOFILE: getecdo answers the file's choices as they stand, for either type (a line without text
    or algorithm leaves the element out); NEXSIM_ECDOWORD: the status word alone; NEXSIM_ECDOCUT: the answer ends
    halfway. The NEXSIM_FLATBED_ (or NEXSIM_ADF_) form wins over the plain one for that unit's copy; a file that
    cannot be read keeps the interface closed."""
    choices = os.path.join(ROOT, "choices.txt")
    with open(choices, "w") as f:
        f.write("# name, text, algorithm\ndev01\tRed & blue\tnormal\n\nmine\tMine\tlearnt\nbare\nnotext\t\t\n")
    os.environ.update(NEXSIM_ECDOFILE=choices, NEXSIM_FLATBED_ECDOWORD="fail")
    feeder, flatbed = Library(NEXIL, "NexEntry"), Library(NEXIL_FLATBED, "NexEntry")
    feeder.open()
    flatbed.open()
    for kind in ("default", "all"):
        status, root = feeder.send("getecdo", leaf("language", "en_usa") + leaf("ecdotype", kind), "success")
        assert [(e.tag, e.text or "") for e in root.find("reportecdo")] == [
            ("ecdo", "dev01"), ("text", "Red & blue"), ("algorithm", "normal"), ("ecdo", "mine"), ("text", "Mine"),
            ("algorithm", "learnt"), ("ecdo", "bare"), ("ecdo", "notext"), ("text", "")], feeder.last
    status, root = flatbed.send("getecdo", leaf("ecdotype", "all"), "fail")
    assert root.find("reportecdo") is None, flatbed.last
    feeder.close()
    flatbed.close()
    os.environ["NEXSIM_ADF_ECDOCUT"] = "1"
    feeder.open()
    text = feeder.raw(simtasks.task(99, "getecdo", leaf("ecdotype", "default")).encode())
    assert text.startswith("<task id=") and not text.endswith("</task>\n"), text
    try:
        ET.fromstring(text)
        raise AssertionError("a cut reply parsed: " + text)
    except ET.ParseError:
        pass
    feeder.close()
    os.environ["NEXSIM_ECDOFILE"] = os.path.join(ROOT, "missing.txt")
    feeder.send("interfaceopen", "", "fail")
    for name in ("NEXSIM_ECDOFILE", "NEXSIM_FLATBED_ECDOWORD", "NEXSIM_ADF_ECDOCUT"):
        del os.environ[name]


@group
def knobs_failing_setinput_pooled_outputs_and_autocolor():
    """NEXSIM_FAILSETINPUT: the n-th setinput since interfaceopen answers fail and makes no output, the next
    ones go on. NEXSIM_PAGEPOOL: each stream's output is converted once per scan, from the first page that
    needs it (a blank page has its own), and handed out as fresh hard links; imageend removes the link,
    scanend the pooled copies. The page's autocolor figures reach its outputs."""
    os.environ.update(NEXSIM_FAILSETINPUT="2", NEXSIM_PAGEPOOL="1")
    scanner, nexil = Scanner(), Library(NEXIL, "NexEntry")
    scanner.start(pages=4, blank=3, autocolor="40/30,2:7/9")
    pages = scanner.pages()
    nexil.open()
    nexil.setup([("front", "color", "window_004", "gray_8", 100), ("rear", "color", "window_005", "gray_8", 100)])
    nexil.send("scanbegin", leaf("imagebuffercount", 8), "success")
    nexil.send("setinput", pages[0], "success")
    nexil.send("setinput", pages[1], "fail")
    nexil.send("getoutput", "", "endofoutput")
    found = [outputs(nexil, page) for page in pages]
    assert [len(f) for f in found] == [1] * 8
    found = [f[0] for f in found]
    paths = [o["imagefilename"] for o in found]
    inodes = [os.stat(p).st_ino for p in paths]
    # front and rear of sheets 1, 2, 4 share a copy each; the blank sheet 3 has copies of its own
    assert len(set(paths)) == 8 and len(set(inodes)) == 4, inodes
    assert inodes[0] == inodes[2] == inodes[6] and inodes[1] == inodes[3] == inodes[7], inodes
    page_files = [re.search("<imagefilename>(.*?)<", p).group(1) for p in pages]
    assert open(page_files[0], "rb").read() != open(page_files[2], "rb").read()  # the pages differ, not the copies
    assert [(o["sheetnumber"], o["autocoloramount"], o["autocolorthreshold"]) for o in found[::2]] == \
        [("1", "40", "30"), ("2", "7", "9"), ("3", "40", "30"), ("4", "40", "30")]
    assert len(os.listdir(OUTPUTS)) == 8 + 4
    for path in paths:
        nexil.send("imageend", leaf("imagefilename", path), "success")
    assert len(os.listdir(OUTPUTS)) == 4
    nexil.send("scanend", "", "success")
    assert os.listdir(OUTPUTS) == []
    nexil.close()
    scanner.stop()
    for name in ("NEXSIM_FAILSETINPUT", "NEXSIM_PAGEPOOL"):
        del os.environ[name]
    # A user action without a page passes through as it is, with nothing to end.
    nexil.open()
    nexil.send("scanbegin", leaf("imagebuffercount", 2), "success")
    action = leaf("sheetnumber", 2) + leaf("cameratype", "front") + leaf("useraction", "show")
    nexil.send("setinput", action, "success")
    status, root = nexil.send("getoutput", "", "success")
    assert {e.tag: e.text for e in root.find("reportimage")} == {"sheetnumber": "2", "cameratype": "front",
                                                                 "useraction": "show"}
    nexil.send("getoutput", "", "endofoutput")
    nexil.send("scanend", "", "success")
    nexil.close()
    for knob, value in (("NEXSIM_FAILSETINPUT", "0"), ("NEXSIM_FAILSETINPUT", "x"), ("NEXSIM_PAGEPOOL", "yes")):
        os.environ[knob] = value
        nexil.send("interfaceopen", "", "fail")
        del os.environ[knob]


# ---------------------------------------------------------------------------------------------------------------------
# simscan with the library in process


@group
def tool_passes_each_page_through_the_library():
    """simscan --nexil: per page setinput, getoutput until endofoutput, imageend of each output, then the page's
    imageend; the saved images are the library's outputs; nothing is left in either directory."""
    out = os.path.join(ROOT, "out")
    os.mkdir(out)
    log = os.path.join(ROOT, "tasks.log")
    os.environ["NEXSIM_TASKLOG"] = log
    run = subprocess.run([TOOL, "--quiet", "--nexil", NEXIL, "--out", out, "--flag", "imagedirectory=" + PAGES,
                          "--flag", "pages=2", "--format", "gray_8", "--resolution", "100"],
                         capture_output=True, text=True)
    del os.environ["NEXSIM_TASKLOG"]
    assert run.returncode == 0, run.stdout + run.stderr
    lines = run.stdout.splitlines()
    page = ["getoutput: success", "nexil/setinput: success", "nexil/getoutput: success",
            "nexil/imageend: success", "nexil/getoutput: endofoutput", "imageend: success"]
    first = lines.index("getoutput: success")
    assert lines[first:first + 6] == page, lines
    assert lines.count("nexil/setinput: success") == 4 and "images: 4" in lines, lines
    assert [line.split("\t")[3] for line in open(log)][:2] == ["interfaceopen", "sessionbegin"]
    assert sorted(os.listdir(out)) == ["image-0001-sheet1-front.pgm", "image-0002-sheet1-rear.pgm",
                                       "image-0003-sheet2-front.pgm", "image-0004-sheet2-rear.pgm"]
    assert os.listdir(PAGES) == [] and os.listdir(OUTPUTS) == []
    # A setinput that fails ends the run with 1, and still nothing is left.
    os.environ["NEXSIM_FAILSETINPUT"] = "2"
    run = subprocess.run([TOOL, "--quiet", "--nexil", NEXIL, "--flag", "imagedirectory=" + PAGES],
                         capture_output=True, text=True)
    del os.environ["NEXSIM_FAILSETINPUT"]
    assert run.returncode == 1 and "nexil/setinput: fail" in run.stdout, run.stdout
    assert os.listdir(PAGES) == [] and os.listdir(OUTPUTS) == []
    run = subprocess.run([TOOL, "--nexil", os.path.join(ROOT, "none.so")], capture_output=True, text=True)
    assert run.returncode == 1 and "cannot load" in run.stderr, run.stderr


# ---------------------------------------------------------------------------------------------------------------------
# The host's argument vector


@group
def host_refuses_a_bad_argument_vector():
    """Missing, unknown, repeated or malformed arguments end the host at once with a message and status 1; a
    library that does not load ends it with 2, a parent that is not running with 5."""
    good = {"dll": NEXIL, "entry": "NexEntry", "addr": "127.0.0.1", "port": "1", "pid": "%016x" % os.getpid(),
            "maxmemory": ""}

    def run(arguments, environment=None):
        env = dict(os.environ, **(environment or {}))
        done = subprocess.run([DRAVIX] + arguments, capture_output=True, text=True, timeout=20, env=env)
        return done.returncode, done.stderr

    def vector(**change):
        return ["%s:%s" % (k, v) for k, v in dict(good, **change).items() if v is not None]

    cases = [
        ([], "missing argument <dll:>"),
        (vector(maxmemory=None), "missing argument <maxmemory:>"),
        (vector() + ["pid:1"], "argument given twice <pid:1>"),
        (vector() + ["verbose:1"], "unknown argument <verbose:1>"),
        (vector() + ["dll"], "unknown argument <dll>"),
        (vector(pid="xyz"), "malformed pid: <xyz>"),
        (vector(pid=""), "malformed pid: <>"),
        (vector(pid="0"), "malformed pid: <0>"),
        (vector(pid="1" * 17), "malformed pid:"),
        (vector(pid="-1"), "malformed pid: <-1>"),
        (vector(maxmemory="lots"), "malformed maxmemory: <lots>"),
        (vector(maxmemory="1.5e9"), "malformed maxmemory: <1.5e9>"),
        (vector(maxmemory="1" * 32), "malformed maxmemory:"),
        (vector(dll=""), "dll:, entry: and port: need a value"),
        (vector(port=""), "dll:, entry: and port: need a value"),
    ]
    for arguments, message in cases:
        code, err = run(arguments)
        assert code == 1 and message in err and "usage: dravix" in err, (arguments, code, err)
    for knob, value in (("DRAVIX_CRASHAFTER", "x"), ("DRAVIX_PIECE", "0"), ("DRAVIX_NOCONNECT", "2"),
                        ("DRAVIX_TWICE", "0"), ("DRAVIX_NOEND", "y"), ("DRAVIX_LINGER", "-1")):
        code, err = run(vector(), {knob: value})
        assert code == 1 and "malformed " + knob in err, (knob, code, err)
    code, err = run(vector(dll=os.path.join(ROOT, "none")))
    assert code == 2 and "cannot load the library" in err, (code, err)
    code, err = run(vector(entry="NoEntry"))
    assert code == 2 and "has no entry <NoEntry>" in err, (code, err)
    dead = subprocess.Popen(["true"])
    dead.wait()
    code, err = run(vector(pid="%x" % dead.pid))
    assert code == 5 and "is not running" in err, (code, err)


simtasks.run(GROUP, ROOT)
