"""pmxcli --scan as a user runs it: a copy of the staged library and the simulated scanner in a throwaway root,
the pages judged by independent tools (tiffinfo, djpeg, tifftopnm, pnmpsnr) against what the stand-in draws for
the same sheet and side (simscan --out with the same format, resolution and flags).

    check_pmxcli_scan.py PMXCLI SIMSCAN STAGE GROUP [SCRIPTED-DRIVER]

Groups: formats (3 duplex sheets in bw, gray_8 and rgb_24 at 150 dpi), paperjam (a jam on sheet 2: the pages
of sheet 1 written, the word printed, exit 2, and the driver still closed), badinput (options and places a
user gets wrong, refused before any scan), setup (each format and sides taken by the driver), endings (a batch of no sheets; a page that cannot be written),
scripted (the tool alone on a scripted DriverEntry, tests/tools/scriptdriver: pages as given, a description that
does not fit its file skipped, every ending closing the driver)."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import types

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "drv"))
import drvfront  # noqa: E402

PAGE = re.compile(r"^page (\d+): sheet (\d+) (front|rear), (\d+)x(\d+) (\S+) (\d+) dpi, (.*)$")
SUMMARY = re.compile(r"^pages: (\d+), seconds: ([\d.]+), pages per second: ([\d.]+)$")
PHOTOMETRIC = {"bw": "min-is-white", "gray_8": "min-is-black", "rgb_24": "RGB color"}
BITS = {"bw": "1", "gray_8": "8", "rgb_24": "8"}


class Root:
    """A throwaway root with the staged library and units (as drvfront stages them), the stand-ins' image
    directories and the environment the tool runs in."""

    def __init__(self, stage):
        self.path = tempfile.mkdtemp(prefix="pmxcli-scan-")
        drvfront.Front.stage(types.SimpleNamespace(root=self.path), stage)
        self.scanner_images = self.make("scanner-images")
        self.nexil_images = self.make("nexil-images")
        self.env = {name: value for name, value in os.environ.items()
                    if not name.startswith(("PMX_", "SIMSCAN_", "NEXSIM_"))}
        self.env.update(HOME=self.path, TMPDIR=self.path, PMX_DEBUG="1", NEXSIM_IMAGEDIRECTORY=self.nexil_images)

    def make(self, name):
        path = os.path.join(self.path, name)
        os.makedirs(path, exist_ok=True)
        return path

    def library(self):
        return os.path.join(self.path, "opt", drvfront.COMPANY, drvfront.MODEL, "lib", drvfront.LIBRARY)

    def device(self):
        return os.path.join(self.path, "opt", drvfront.COMPANY, drvfront.MODEL, "lib", "device.so")

    def log(self):
        text = ""
        for path in glob.glob(os.path.join(self.path, "var", "**", "*.log"), recursive=True):
            with open(path, errors="replace") as f:
                text += f.read()
        return text

    def __enter__(self):
        return self

    def __exit__(self, *_):
        shutil.rmtree(self.path, ignore_errors=True)


def scan(tool, root, *args, out=None):
    """Runs the tool; (exit status, stdout lines, stderr)."""
    out = out or root.make("scans")
    command = [tool, "--scan", "--library", root.library(), "--out", out,
               "--flag", "imagedirectory=" + root.scanner_images] + list(args)
    done = subprocess.run(command, capture_output=True, text=True, cwd=root.path, env=root.env, timeout=300)
    return done.returncode, done.stdout.splitlines(), done.stderr


def pages(lines):
    return [PAGE.match(line).groups() for line in lines if PAGE.match(line)]


def netpbm(path):
    """(magic, width, height, raster) of a binary netpbm file."""
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    wanted = 3 if data[:2] == b"P4" else 4
    while len(fields) < wanted:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    magic, width, height, raster = fields[0].decode(), int(fields[1]), int(fields[2]), data[at + 1:]
    if magic == "P4" and width % 8:
        # The bits past the width in each row's last byte carry nothing.
        stride, mask = (width + 7) // 8, (0xff << (8 - width % 8)) & 0xff
        raster = b"".join(raster[row * stride:(row + 1) * stride - 1] + bytes([raster[(row + 1) * stride - 1] & mask])
                          for row in range(height))
    return magic, width, height, raster


def run(command, **options):
    done = subprocess.run(command, capture_output=True, **options)
    assert done.returncode == 0, (command, done.stderr)
    return done.stdout


def tiffinfo(path):
    text = run(["tiffinfo", path], text=True)
    size = re.search(r"Image Width: (\d+) Image Length: (\d+)", text)
    resolution = re.search(r"Resolution: ([\d.]+), ([\d.]+) pixels/inch", text)
    return {"width": int(size.group(1)), "height": int(size.group(2)),
            "bits": re.search(r"Bits/Sample: (\d+)", text).group(1),
            "photometric": re.search(r"Photometric Interpretation: (.*)", text).group(1).strip(),
            "resolution": (float(resolution.group(1)), float(resolution.group(2)))}


def psnr(expected, actual):
    """The lowest PSNR over the components pnmpsnr reports (no difference is infinite)."""
    text = run(["pnmpsnr", "-machine", expected, actual], text=True)
    values = [float(v) for v in re.findall(r"[-+]?\d+(?:\.\d+)?", text)]
    return min(values) if values else float("inf")


def references(simscan, root, fmt, resolution, sheets, flags=()):
    """What the stand-in draws: {(sheet, side): netpbm path} from simscan --out with the same setup."""
    out = root.make("reference-" + fmt)
    command = [simscan, "--library", root.device(), "--out", out, "--format", fmt, "--resolution", str(resolution),
               "--quiet", "--flag", "pages=%d" % sheets, "--flag", "imagedirectory=" + root.scanner_images]
    for flag in flags:
        command += ["--flag", flag]
    run(command, cwd=root.path, env=root.env)
    found = {}
    for path in glob.glob(os.path.join(out, "image-*")):
        match = re.search(r"image-\d+-sheet(\d+)-(front|rear)\.", path)
        found[(match.group(1), match.group(2))] = path
    return found


def check_pages(root, simscan, lines, fmt, resolution, sheets):
    """Every page against its tools and the stand-in's drawing, in sheet order."""
    found = pages(lines)
    expected_order = [(str(sheet), side) for sheet in range(1, sheets + 1) for side in ("front", "rear")]
    assert [(sheet, side) for _, sheet, side, *_ in found] == expected_order, lines
    drawn = references(simscan, root, fmt, resolution, sheets)
    decoded = root.make("decoded")
    for number, sheet, side, width, height, page_format, dpi, files in found:
        width, height = int(width), int(height)
        assert page_format == fmt and int(dpi) == resolution, (number, page_format, dpi)
        files = files.split()
        assert files[0].endswith(".tif") and len(files) == (1 if fmt == "bw" else 2), files
        info = tiffinfo(files[0])
        assert (info["width"], info["height"], info["bits"], info["photometric"], info["resolution"]) == (
            width, height, BITS[fmt], PHOTOMETRIC[fmt], (float(resolution), float(resolution))), (number, info)
        reference = drawn[(sheet, side)]
        pnm = os.path.join(decoded, "page%s.pnm" % number)
        with open(pnm, "wb") as f:
            f.write(run(["tifftopnm", files[0]]))
        got, want = netpbm(pnm), netpbm(reference)
        assert got[1:3] == want[1:3] == (width, height), (number, got[1:3], want[1:3])
        assert got[3] == want[3], "page %s: the pixels differ from the stand-in's drawing" % number
        if fmt != "bw":
            jpeg = os.path.join(decoded, "page%s-jpeg.pnm" % number)
            with open(jpeg, "wb") as f:
                f.write(run(["djpeg", "-pnm", files[1]]))
            assert netpbm(jpeg)[1:3] == (width, height), number
            assert psnr(reference, jpeg) >= 40.0, (number, psnr(reference, jpeg))


def check_summary(lines, count):
    summary = [SUMMARY.match(line).groups() for line in lines if SUMMARY.match(line)]
    assert len(summary) == 1, lines
    written, seconds, rate = int(summary[0][0]), float(summary[0][1]), float(summary[0][2])
    assert written == count, lines
    if written == 0:
        assert rate == 0, summary
        return
    # The seconds are printed to the millisecond, the rate from the unrounded time.
    low, high = written / (seconds + 0.0005), written / max(seconds - 0.0005, 1e-9)
    assert low - 0.0005 <= rate <= high + 0.0005, summary


def check_closed(root, commands=("scanend", "sessionend", "interfaceclose")):
    """The commands reached the driver: the debug log holds each task text it was given."""
    log = root.log()
    for command in commands:
        assert re.search(r"<CALLER2DRV>[^\n]*<%s>" % command, log) or ("<%s>" % command) in log, command


def no_raw_left(root):
    for directory in (root.scanner_images, root.nexil_images):
        assert os.listdir(directory) == [], (directory, os.listdir(directory))


def group_formats(tool, simscan, stage):
    for fmt in ("bw", "gray_8", "rgb_24"):
        with Root(stage) as root:
            status, lines, err = scan(tool, root, "--pages", "3", "--duplex", "--format", fmt, "--resolution", "150")
            assert status == 0, (fmt, status, lines, err)
            check_pages(root, simscan, lines, fmt, 150, 3)
            check_summary(lines, 6)
            no_raw_left(root)
            check_closed(root)


def group_paperjam(tool, simscan, stage):
    with Root(stage) as root:
        status, lines, err = scan(tool, root, "--pages", "3", "--format", "rgb_24", "--resolution", "150",
                                  "--flag", "paperjam=2")
        assert status == 2 and any("paperjam" in line for line in lines), (status, lines, err)
        assert [(sheet, side) for _, sheet, side, *_ in pages(lines)] == [("1", "front"), ("1", "rear")], lines
        check_closed(root)


def group_badinput(tool, simscan, stage):
    with Root(stage) as root:
        # A format the scanner has not: usage, nothing loaded.
        status, lines, err = scan(tool, root, "--format", "cmyk")
        assert status == 1 and "usage" in err and root.log() == "", (status, err)
        # A resolution the scanner refuses: the setmany's word, and the driver closed.
        status, lines, err = scan(tool, root, "--resolution", "123")
        assert status == 2 and "setmany: badvalue" in lines, (status, lines, err)
        check_closed(root, ("sessionend", "interfaceclose"))
        # A library that is not there, and an --out that cannot be made.
        done = subprocess.run([tool, "--scan", "--library", os.path.join(root.path, "none.so")], capture_output=True,
                              text=True, cwd=root.path, env=root.env)
        assert done.returncode == 1 and "cannot load" in done.stderr, done
        blocker = os.path.join(root.path, "file")
        open(blocker, "w").close()
        status, lines, err = scan(tool, root, out=os.path.join(blocker, "scans"))
        assert status == 1 and "cannot make" in err, (status, err)


def group_setup(tool, simscan, stage):
    """Every format with both sides and with the front alone: the driver takes the opening and the setmany, and
    whatever the scan then does, the driver is closed."""
    for fmt in ("bw", "gray_8", "rgb_24"):
        for sides in ("--duplex", "--simplex"):
            with Root(stage) as root:
                status, lines, err = scan(tool, root, "--pages", "1", "--format", fmt, "--resolution", "150", sides)
                refused = [line for line in lines if line.split(":")[0] in ("interfaceopen", "sessionbegin", "setmany")]
                assert status in (0, 2) and not refused, (fmt, sides, status, lines, err)
                check_closed(root, ("sessionend", "interfaceclose"))


def group_endings(tool, simscan, stage):
    with Root(stage) as root:
        # No sheets on a scanner that cannot sense paper: the job ends at once, with no file.
        out = root.make("none")
        status, lines, err = scan(tool, root, "--pages", "0", "--flag", "paperdetectable=false", out=out)
        assert status == 0 and pages(lines) == [] and os.listdir(out) == [], (status, lines, err)
        check_summary(lines, 0)
        # One that senses an empty feeder waits for paper, then answers "nomedia": no file either.
        out = root.make("empty")
        status, lines, err = scan(tool, root, "--pages", "0", out=out)
        assert status == 2 and "getoutput: nomedia" in lines and os.listdir(out) == [], (status, lines, err)
        check_summary(lines, 0)
        # A page that cannot be written ends the scan, and the driver is still closed.
        out = root.make("blocked")
        os.makedirs(os.path.join(out, "page-0001-sheet1-front.tif"))
        status, lines, err = scan(tool, root, "--pages", "2", out=out)
        assert status == 2 and any("not written" in line for line in lines), (status, lines, err)
        check_closed(root)
        no_raw_left(root)


# -- the tool alone, on a scripted DriverEntry ------------------------------------------------------------------
class Script:
    """Raw pages and a getoutput script for the scripted driver; its task log."""

    def __init__(self, root, library):
        self.root, self.library, self.lines, self.raws = root, library, [], {}
        self.path = os.path.join(root.path, "script.txt")
        self.tasklog = os.path.join(root.path, "scripttasks.log")

    def word(self, word):
        self.lines.append(word)

    def page(self, name, fmt, width, height, pad, sheet, side, size=None):
        """A raw page of a pattern; its description (size in 1/1200 inch at 150 dpi) says imagesize, or size."""
        line = {"bw": (width + 7) // 8, "gray_8": width, "rgb_24": 3 * width}[fmt]
        stride = (line + 3) // 4 * 4 if pad else line
        rows = [bytes((x * 13 + y * 7) % 256 for x in range(line)) + b"\xee" * (stride - line) for y in range(height)]
        path = os.path.join(self.root.path, name)
        with open(path, "wb") as f:
            f.write(b"".join(rows))
        self.raws[name] = (fmt, width, height, [row[:line] for row in rows])
        self.lines.append("image %s %d %d %d 150 %s %d %d" % (fmt, width * 8, height * 8, size or stride * height, path,
                                                            sheet, 1 if side == "front" else 2))

    def run(self, tool, *args, out=None):
        with open(self.path, "w") as f:
            f.write("\n".join(self.lines) + "\n")
        env = dict(self.root.env, PMXCLI_SCRIPT=self.path, PMXCLI_TASKLOG=self.tasklog)
        out = out or self.root.make("scripted")
        done = subprocess.run([tool, "--scan", "--library", self.library, "--out", out] + list(args),
                              capture_output=True, text=True, cwd=self.root.path, env=env, timeout=120)
        with open(self.tasklog) as f:
            tasks = f.read().splitlines()
        os.remove(self.tasklog)
        return done.returncode, done.stdout.splitlines(), tasks

    def reference(self, name):
        """The raw page as netpbm (what the TIFF must give back)."""
        fmt, width, height, rows = self.raws[name]
        magic = {"bw": "P4", "gray_8": "P5", "rgb_24": "P6"}[fmt]
        path = os.path.join(self.root.path, name + ".pnm")
        with open(path, "wb") as f:
            f.write(("%s\n%d %d\n%s" % (magic, width, height, "" if fmt == "bw" else "255\n")).encode())
            f.write(b"".join(rows))
        return path


CLOSING = ["scanend", "sessionend", "interfaceclose"]


def group_scripted(tool, simscan, stage, library):
    """The tool's pages, descriptions and endings on a scripted driver: waits on noimageready, writes each page
    as it was given, skips (and confirms) a page whose description does not fit its file, and closes the driver
    after every ending."""
    with Root(stage) as root:
        script = Script(root, library)
        script.word("noimageready")
        script.page("gray.raw", "gray_8", 13, 5, True, 1, "front")
        script.word("noimageready")
        script.page("bw.raw", "bw", 81, 10, True, 1, "rear")
        script.page("liar.raw", "gray_8", 13, 5, False, 2, "front", size=13 * 6)
        script.page("rgb.raw", "rgb_24", 20, 4, False, 2, "rear")
        status, lines, tasks = script.run(tool, "--pages", "2")
        assert status == 2, (status, lines)
        found = pages(lines)
        assert [(sheet, side) for _, sheet, side, *_ in found] == [("1", "front"), ("1", "rear"), ("2", "rear")], lines
        assert any(line.startswith("page 3: sheet 2 front skipped: file ") and line.endswith("holds 65 bytes, imagesize says 78") for line in lines), lines
        assert tasks[:4] == ["interfaceopen", "sessionbegin", "setmany", "scanbegin"] and tasks[-3:] == CLOSING, tasks
        ended = [task.split(" ", 1)[1] for task in tasks if task.startswith("imageend ")]
        assert [os.path.basename(path) for path in ended] == ["gray.raw", "bw.raw", "liar.raw", "rgb.raw"], tasks
        check_summary(lines, 3)
        decoded = root.make("decoded")
        for (number, _, _, width, height, fmt, _, files), name in zip(found, ("gray.raw", "bw.raw", "rgb.raw")):
            files = files.split()
            pnm = os.path.join(decoded, "page%s.pnm" % number)
            with open(pnm, "wb") as f:
                f.write(run(["tifftopnm", files[0]]))
            assert netpbm(pnm)[1:] == netpbm(script.reference(name))[1:], (number, name)
            assert tiffinfo(files[0])["photometric"] == PHOTOMETRIC[fmt], number
            if fmt != "bw":
                jpeg = os.path.join(decoded, "page%s-jpeg.pnm" % number)
                with open(jpeg, "wb") as f:
                    f.write(run(["djpeg", "-pnm", files[1]]))
                assert netpbm(jpeg)[1:3] == (int(width), int(height)), number
        # A status word ends the batch: printed, exit 2, the driver closed.
        script = Script(root, library)
        script.page("gray.raw", "gray_8", 13, 5, True, 1, "front")
        script.word("paperjam")
        status, lines, tasks = script.run(tool, out=root.make("jammed"))
        assert status == 2 and "getoutput: paperjam" in lines and len(pages(lines)) == 1, (status, lines)
        assert tasks[-3:] == CLOSING, tasks
        # A page the tool cannot write ends the scan, the driver closed: it is never confirmed, nor is a page
        # fetched after it while it was being written, whose files are not kept.
        out = root.make("blocked")
        os.makedirs(os.path.join(out, "page-0001-sheet1-front.tif"))
        script = Script(root, library)
        script.page("gray.raw", "gray_8", 13, 5, True, 1, "front")
        script.page("rgb.raw", "rgb_24", 20, 4, False, 1, "rear")
        status, lines, tasks = script.run(tool, out=out)
        assert status == 2 and any(line.startswith("page 1: sheet 1 front not written") for line in lines), lines
        assert not any(task.startswith("imageend") for task in tasks) and tasks[-3:] == CLOSING, tasks
        assert sorted(os.listdir(out)) == ["page-0001-sheet1-front.tif"], os.listdir(out)
        # A later page that cannot be written: the pages before it written and confirmed in fetch order, on one
        # writer and on several.
        for writers in ("1", "3"):
            out = root.make("blocked-later-" + writers)
            os.makedirs(os.path.join(out, "page-0003-sheet2-front.tif"))
            script = Script(root, library)
            script.page("a.raw", "gray_8", 13, 5, True, 1, "front")
            script.page("b.raw", "rgb_24", 20, 4, False, 1, "rear")
            script.page("c.raw", "gray_8", 13, 5, True, 2, "front")
            script.page("d.raw", "gray_8", 13, 5, True, 2, "rear")
            status, lines, tasks = script.run(tool, "--writers", writers, out=out)
            assert status == 2 and any(line.startswith("page 3: sheet 2 front not written") for line in lines), lines
            assert [(sheet, side) for _, sheet, side, *_ in pages(lines)] == [("1", "front"), ("1", "rear")], lines
            ended = [os.path.basename(task.split(" ", 1)[1]) for task in tasks if task.startswith("imageend ")]
            assert ended == ["a.raw", "b.raw"] and tasks[-3:] == CLOSING, tasks
            assert sorted(os.listdir(out)) == ["page-0001-sheet1-front.jpg", "page-0001-sheet1-front.tif",
                                               "page-0002-sheet1-rear.jpg", "page-0002-sheet1-rear.tif",
                                               "page-0003-sheet2-front.tif"], os.listdir(out)
        # No pages: endofoutput at once, exit 0, no files.
        script = Script(root, library)
        out = root.make("empty")
        status, lines, tasks = script.run(tool, out=out)
        assert status == 0 and pages(lines) == [] and os.listdir(out) == [] and tasks[-3:] == CLOSING, (status, lines)
        check_summary(lines, 0)


GROUPS = {"formats": group_formats, "paperjam": group_paperjam, "badinput": group_badinput, "setup": group_setup,
          "endings": group_endings, "scripted": group_scripted}

if __name__ == "__main__":
    tool, simscan, stage, name = sys.argv[1:5]
    if name == "scripted":
        group_scripted(tool, simscan, stage, sys.argv[5])
    else:
        GROUPS[name](tool, simscan, stage)
    print("%s: passed" % name)
