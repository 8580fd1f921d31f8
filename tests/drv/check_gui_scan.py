"""The settings GUI's scan and service commands as a GUI sends them: the staged stand-in "twaingui" started by
uibegin on the simulated scanner runs its script (UISTANDIN_SCRIPT), every task it reads is kept whole
(UISTANDIN_KEEP), read by xmllint and judged; what the scanner received is read from its task log.

    check_gui_scan.py STAGE GROUP

Groups: scan ("requestscan", "requestok" twice, "requestcancel": the front end's events and images), cancel
("requestscancancel" twice, "imageend" with no scan, twice, "requestpreviewcancel"), fast (the reader answers
"requestscancancel" and "calibrateend" while the dispatcher waits on "resetscanner"'s error message), service
(diagnostics, "clearlog", calibration without a type), download (sizes and bad arguments)."""
import os
import sys
import time
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_gui_values as guivalues  # noqa: E402
import check_scan  # noqa: E402
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

kept, replies_to, xmllint, status, wait_for = (guivalues.kept, guivalues.replies_to, guivalues.xmllint,
                                               guivalues.status, guivalues.wait_for)


def start(front, script, **flags):
    """A session on the scanner with the stand-in running the script (uiready is its task 1)."""
    directory = guivalues.keep(front)
    os.environ["UISTANDIN_SCRIPT"] = script
    front.interfaceopen(**flags)
    front.send("sessionbegin", leaf("ui", guivalues.STANDIN), expect="success")
    assert front.send("uibegin", leaf("uimode", "scan")).status == "success"
    return directory


def answer(directory, task_id, seconds=20.0):
    """The one reply to the task: its status."""
    assert wait_for(lambda: len(replies_to(directory, task_id)) >= 1, seconds), (task_id, kept(directory))
    texts = replies_to(directory, task_id)
    assert len(texts) == 1, texts
    xmllint(texts)
    return status(texts[0])


def sent_id(front, command, seconds=20.0):
    """The task id the stand-in of the current run gave the command it sent last (its ids also count the answers it
    gives by itself, such as "dialogcleared" to the driver's scanning dialog). The log keeps earlier runs: only the
    lines after the current run's environment count."""
    def lines():
        path = os.path.join(front.root, "standin.log")
        if not os.path.exists(path):
            return []
        with open(path, errors="replace") as f:
            all_lines = f.read().splitlines()
        starts = [index for index, line in enumerate(all_lines) if line.startswith("env\t")]
        return [line.split("\t") for line in all_lines[(starts[-1] + 1 if starts else 0):]
                if line.startswith("sent\t") and line.split("\t")[-1] == command]
    assert wait_for(lambda: lines(), seconds), command
    return int(lines()[-1][2])


def unasked_images(directory):
    """The unasked image reports (reply 0), their sizes."""
    found = []
    for text in kept(directory):
        if guivalues.reply_id(text) == 0 and "<reportimage>" in text:
            xmllint([text])
            found.append(ElementTree.fromstring(text).findtext("reportimage/imagesize"))
    return found


def go(front, name):
    open(os.path.join(front.root, name), "w").close()


def waitfile(front, name):
    return "waitfile %s 60000\n" % os.path.join(front.root, name)


def events(front, seconds=0.0):
    """The front end's event list, polled for the seconds given."""
    text = ""
    end = time.time() + seconds
    while True:
        task, _ = front.task("get", leaf("id", "eventlist"))
        text += front.raw(task.encode()).text
        if time.time() >= end:
            return text
        time.sleep(0.05)


def scanner_commands(front):
    return check_scan.commands(front)


# -- the scan request and the settings dialog's buttons ------------------------------------------------------------
@group
def scan_request_ok_cancel(front):
    """requestscan starts the driver's scan: the front end's event list shows the image available and getoutput
    fetches every page; a second requestscan answers success only. requestok twice queues one "ok" button;
    requestcancel keeps the values of uibegin and queues "cancel"."""
    script = ("send requestscan\nsend requestscan\n" + waitfile(front, "go1") + "send requestok\nsend requestok\n" +
              waitfile(front, "go2") + "send requestcancel\n")
    directory = start(front, script, pages=2, duplex="true")
    remembered = front.get("resolution").find(".//valuecurrent")
    assert answer(directory, 2) == "success" and answer(directory, 3) == "success"
    seen = ""
    end = time.time() + 20
    while "imageavailable" not in seen and time.time() < end:
        seen += events(front)
        time.sleep(0.05)
    assert "imageavailable" in seen, seen
    assert scanner_commands(front).count("scanbegin") == 1, scanner_commands(front)
    images, last = [], "endofsheet"
    while last == "endofsheet":  # the GUI's scan ends each sheet
        more, last, _ = check_scan.drain(front)
        images += more
    assert len(images) == 4 and last == "endofoutput", (len(images), last)
    go(front, "go1")
    assert answer(directory, 4) == "success" and answer(directory, 5) == "success"
    time.sleep(0.3)
    seen = events(front, 0.5)
    assert seen.count("uibutton") == 1 and "ok" in seen, seen
    go(front, "go2")
    assert answer(directory, 6) == "success"
    seen = events(front, 0.5)
    assert "uibutton" in seen and "cancel" in seen, seen
    assert front.get("resolution").find(".//valuecurrent") == remembered
    guivalues.stop(front)


# -- the preview ------------------------------------------------------------------------------------------------
@group
def preview_image_then_imageend(front):
    """requestpreview: success and a reportimage whose file exists with its imagesize bytes; imageend ends the
    driver's scan, the front end's next scan starts normally and no image file is left."""
    script = "send requestpreview\n" + waitfile(front, "go_image") + "send imageend\n"
    directory = start(front, script, pages=2, duplex="true")
    assert answer(directory, 2) == "success"
    task = ElementTree.fromstring(replies_to(directory, 2)[0])
    name, size = task.findtext("reportimage/imagefilename"), task.findtext("reportimage/imagesize")
    assert name and os.path.isfile(name) and os.path.getsize(name) == int(size), (name, size)
    go(front, "go_image")
    assert answer(directory, sent_id(front, "imageend")) == "success"
    assert wait_for(lambda: os.listdir(front.images()) == []), os.listdir(front.images())
    front.send("scanbegin", expect="success")
    images, last = [], "endofsheet"
    while last == "endofsheet":
        more, last, _ = check_scan.drain(front)
        images += more
    assert len(images) == 4 and last == "endofoutput", (len(images), last)
    front.send("scanend", expect="success")
    guivalues.stop(front)


def scanner_fed_all(front):
    """The scanner answered "endofoutput" in the scan it began last: every image of it is with the driver."""
    lines = [line.split("\t") for line in front.tasklog()]
    begins = [index for index, fields in enumerate(lines) if fields[3] == "scanbegin"]
    return bool(begins) and any(fields[3:5] == ["getoutput", "endofoutput"] for fields in lines[begins[-1]:])


@group
def preview_ended_by_the_front_end(front):
    """The front end's scanbegin while the preview waits for its next sheet ends the preview's scan: the preview
    stops, takes none of the front end's images (it used to take and end them) and the GUI's later imageend ends
    only the preview's scan, not the front end's."""
    script = "send requestpreview\n" + waitfile(front, "go_late") + "send imageend\n"
    directory = start(front, script, pages=2, duplex="true", delay=600)
    assert answer(directory, 2) == "success"
    # The preview's second sheet comes 0.6 s after its first image.
    front.send("scanbegin", expect="success")
    go(front, "go_late")
    assert wait_for(lambda: scanner_fed_all(front)), check_scan.commands(front)
    time.sleep(0.3)  # the preview's every-tenth-of-a-second look at the output queue
    images, last = [], "endofsheet"
    while last == "endofsheet":
        more, last, _ = check_scan.drain(front)
        images += more
    assert len(images) == 4 and last == "endofoutput", (len(images), last)
    assert answer(directory, sent_id(front, "imageend")) == "success"
    names = check_scan.commands(front)
    assert names[names.index("scanbegin", names.index("scanbegin") + 1):].count("scanend") == 0, names
    front.send("scanend", expect="success")
    guivalues.stop(front)


@group
def preview_cancelled_while_busy(front):
    """A preview kept busy: requestscancancel is answered while the preview runs, with one unasked empty image and
    success; the preview answers success and the device scan is ended; a second cancel answers success only; a
    preview while a scan is requested answers success and scans nothing."""
    script = ("send requestpreview\nsleep 500\nsend requestscancancel\nsend requestscancancel\n" +
              waitfile(front, "go_cancel") + "send requestscan\nsend requestpreview\n")
    directory = start(front, script, pages=1, delay=3000)
    assert answer(directory, 3) == "success"
    assert answer(directory, 2) == "success"
    assert answer(directory, 4) == "success"
    # A slow run may end the preview, and clear its flags, before the second cancel is read: that one then
    # reports its own empty image.
    assert unasked_images(directory) in (["0"], ["0", "0"]), unasked_images(directory)
    assert ElementTree.fromstring(replies_to(directory, 2)[0]).find("reportimage") is None
    assert wait_for(lambda: "scanend" in scanner_commands(front)[scanner_commands(front).index("scanbegin"):]), \
        scanner_commands(front)
    begins = scanner_commands(front).count("scanbegin")
    go(front, "go_cancel")
    assert answer(directory, 5) == "success" and answer(directory, 6) == "success"
    assert wait_for(lambda: scanner_commands(front).count("scanbegin") == begins + 1), (begins, scanner_commands(front))
    time.sleep(0.3)
    assert scanner_commands(front).count("scanbegin") == begins + 1, scanner_commands(front)
    guivalues.stop(front)


@group
def preview_acquire_current_bin(front):
    """A duplex preview with previewimageacquire: the front image of the current window bin is reported, the
    rear one is handed back to the scanner (its imageend), and imageend then leaves no file."""
    script = ("send requestpreview \\n\\t\\t<previewimageacquire>true</previewimageacquire>\\n\\t\n" +
              waitfile(front, "go_acquire") + "send imageend\n")
    directory = start(front, script, pages=1, duplex="true")
    assert answer(directory, 2) == "success"
    task = ElementTree.fromstring(replies_to(directory, 2)[0])
    # The first window's bin is a front camera's.
    assert task.findtext("reportimage/cameratype") == "front", replies_to(directory, 2)
    name = task.findtext("reportimage/imagefilename")
    assert os.path.isfile(name) and os.path.getsize(name) == int(task.findtext("reportimage/imagesize")), name
    assert wait_for(lambda: "imageend" in scanner_commands(front)), scanner_commands(front)
    go(front, "go_acquire")
    assert answer(directory, sent_id(front, "imageend")) == "success"
    assert wait_for(lambda: os.listdir(front.images()) == []), os.listdir(front.images())
    guivalues.stop(front)


@group
def preview_disconnected(front):
    """A preview asked with previewimageacquire on a scanner that goes off line at its first sheet: success and
    one unasked empty image report, and no scan left open at the scanner."""
    script = "send requestpreview \\n\\t\\t<previewimageacquire>true</previewimageacquire>\\n\\t\n"
    directory = start(front, script, pages=2, disconnect=1)
    assert answer(directory, 2) == "success"
    assert ElementTree.fromstring(replies_to(directory, 2)[0]).find("reportimage") is None
    assert unasked_images(directory) == ["0"], unasked_images(directory)
    assert wait_for(lambda: "scanend" in scanner_commands(front)[scanner_commands(front).index("scanbegin"):]), \
        scanner_commands(front)
    guivalues.stop(front)


@group
def preview_gui_killed(front):
    """The GUI killed in the middle of a preview: the device scan ends, no thread is left waiting (uiend and
    interfaceclose answer) and the front end's next scan works."""
    directory = start(front, "send requestpreview\nsleep 500\nkill\n", pages=1, delay=3000)
    assert wait_for(lambda: "scanbegin" in scanner_commands(front)), scanner_commands(front)
    assert wait_for(lambda: "scanend" in scanner_commands(front)[scanner_commands(front).index("scanbegin"):]), \
        scanner_commands(front)
    assert not replies_to(directory, 2), kept(directory)
    front.send("uiend")
    front.send("scanbegin", expect="success")
    images, last, _ = check_scan.drain(front)
    assert images and last == "endofoutput", (len(images), last)
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")


# -- cancels and ends without a scan ----------------------------------------------------------------------------
@group
def cancel_without_scan(front):
    """requestscancancel: one unasked empty image report and success, then success only; imageend with no preview
    or scan, twice, answers success and leaves the session working; requestpreviewcancel answers success."""
    script = ("send requestscancancel\nsend requestscancancel\nsend imageend\nsend imageend\n"
              "send requestpreviewcancel\n")
    directory = start(front, script)
    for task_id in range(2, 7):
        assert answer(directory, task_id) == "success", task_id
    assert unasked_images(directory) == ["0"], unasked_images(directory)
    front.send("scanbegin", expect="success")
    images, last, _ = check_scan.drain(front)
    assert images and last == "endofoutput", (len(images), last)
    front.send("scanend", expect="success")
    guivalues.stop(front)


# -- the reader's own commands ----------------------------------------------------------------------------------
def reset_report(front):
    """The scanner's report the first resetscanner wrote (it starts with the system information)."""
    for folder, _, names in os.walk(front.root):
        for name in names:
            path = os.path.join(folder, name)
            if name.endswith(".log") and open(path, "rb").read(20).startswith(b"[System Information]"):
                return path
    return None


@group
def fast_path_while_dispatcher_waits(front):
    """resetscanner succeeds; once its report cannot be written it fails and shows the scanner's error (dialog 4,
    message 21) until OK is pressed: meanwhile the reader answers requestscancancel (with its empty image) and
    calibrateend; OK then ends the dispatcher's wait and the next command is answered."""
    script = ("send resetscanner\n" + waitfile(front, "go0") +
              "button none\nsend resetscanner\nsleep 300\nsend requestscancancel\nsend calibrateend\n" +
              waitfile(front, "go") + "send messagecleared \\n\\t\\t<button>ok</button>\\n\\t\nsend requestok\n")
    directory = start(front, script)
    assert answer(directory, 2) == "success"
    report = reset_report(front)
    assert report, "no report written"
    os.remove(report)
    os.mkdir(report)
    go(front, "go0")
    assert answer(directory, 3) == "fail"
    assert answer(directory, 4) == "success"
    assert answer(directory, 5) == "fail"  # no calibration began
    assert unasked_images(directory) == ["0"], unasked_images(directory)
    assert wait_for(lambda: any("<dialogshow>" in text and "<dialogtype>message</dialogtype>" in text
                                for text in kept(directory))), \
        kept(directory)[-3:]
    assert not replies_to(directory, 7), "requestok answered before OK was pressed"
    go(front, "go")
    assert answer(directory, 6) == "success"
    assert answer(directory, 7) == "success"
    guivalues.stop(front)


# -- service ----------------------------------------------------------------------------------------------------
@group
def service_diagnostics_and_logs(front):
    """diagnosticbegin and diagnosticend answer status, values and accesses; diagnosticrun of diaglampfront
    reaches the scanner; a run without children or with an unlisted type fails; clearlog without "logtype"
    fails; calibratebegin without an offered type fails, and calibratereset answers with its report."""
    script = ("send diagnosticbegin\n"
              "send diagnosticrun \\n\\t\\t<id>diaglampfront</id>\\n\\t\\t<value>on</value>\\n\\t\n"
              "send diagnosticrun\n"
              "send diagnosticrun \\n\\t\\t<id>nosuchdiagnostic</id>\\n\\t\n"
              "send diagnosticend\n"
              "send clearlog \\n\\t\\t<nologtype>x</nologtype>\\n\\t\n"
              "send calibratebegin\nsend calibraterun\nsend calibratereset\n")
    directory = start(front, script)
    assert answer(directory, 2) == "success"
    assert answer(directory, 3) == "success"
    assert answer(directory, 4) == "fail"
    assert answer(directory, 5) in ("success", "fail")  # the scanner's word on a type it does not list
    assert answer(directory, 6) == "success"
    for task_id in (2, 6):
        task = ElementTree.fromstring(replies_to(directory, task_id)[0])
        assert task.find("reportvalues") is not None and task.find("reportaccesses") is not None, task_id
    assert answer(directory, 7) == "fail"
    assert "Unknown argument for <clearlog> nologtype" in front.log()
    assert answer(directory, 8) == "fail" and answer(directory, 10) == "fail"
    assert answer(directory, 9) in ("success", "fail")
    runs = [line.split("\t")[4:-1] for line in front.tasklog() if line.split("\t")[3] == "diagnosticrun"]
    assert runs and runs[0] == ["diagnostictype=diaglampfront", "diagnosticvalue=on"], runs
    guivalues.stop(front)


def datafile(path, size):
    return "\\n\\t\\t<datafile><filename>%s</filename><datasize>%s</datasize></datafile>\\n\\t" % (path, size)


@group
def download_sizes(front):
    """A download of a 4,096-byte file with its size: three success; a size that is no whole count of bytes in 31
    bits, or no datafile, answers fail and reaches no scanner."""
    path = os.path.join(front.root, "firmware.bin")
    with open(path, "wb") as f:
        f.write(b"f" * 4096)
    bad = ["-1", "4294967306", "12x", "", "2147483648"]
    script = "send downloadbegin %s\nsend downloadrun\nsend downloadend\n" % datafile(path, "4096")
    script += "".join("send downloadbegin %s\n" % datafile(path, size) for size in bad)
    script += "send downloadbegin\n"
    directory = start(front, script)
    assert [answer(directory, task_id) for task_id in (2, 3, 4)] == ["success"] * 3
    assert [answer(directory, task_id) for task_id in range(5, 5 + len(bad))] == ["fail"] * len(bad)
    assert answer(directory, 5 + len(bad)) == "fail"
    begins = [line.split("\t")[4:-1] for line in front.tasklog() if line.split("\t")[3] == "downloadbegin"]
    assert len(begins) <= 2, begins
    guivalues.stop(front)


if __name__ == "__main__":
    drvfront.main(sys.argv)
