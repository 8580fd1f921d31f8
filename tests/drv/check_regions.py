"""Regions, data files and profile items set through the driver entry as a front end sends them: the staged
library through ctypes (drvfront), a session on the simulated scanner.

    check_regions.py STAGE GROUP

Groups: region (the image cropping region judged by the frame model, its ranges, the gathering's refusals, the
barcode search region), datafile (the override document a front end writes and names, data sizes and files
that are refused, profile files and items), setmany (a region set beside a value set, and the undoing of the
value set when the region set fails). What the override record holds is read by the C++ tests."""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "db"))
import frame_oracle  # noqa: E402

FIELDS = ("imageoffsetx", "imageoffsety", "imagewidth", "imageheight", "imageskewangle")
# The frame limits of the simulated scanner's bitonal front: minimum width and height, maximum width and height.
LIMITS = (1200, 1200, 10200, 16800)


def region(values, ranges=()):
    """A region of the field texts, each followed by its range (min, max, step) when given."""
    body = ""
    for index, value in enumerate(values):
        body += leaf(FIELDS[index], value)
        if index < len(ranges):
            body += range_of(*ranges[index])
    return leaf("region", body)


def range_of(low, high, step):
    return leaf("range", leaf("rangemin", low) + leaf("rangemax", high) + leaf("rangestep", step))


def cropping(values, ranges=(), more=""):
    return leaf("id", "imagecroppingregion") + more + region(values, ranges)


def session(front):
    """The scanner's session that the sets need: opened by a group's first case, kept by the rest."""
    if not getattr(front, "in_session", False):
        front.interfaceopen()
        front.send("sessionbegin", expect="success")
        front.in_session = True


def reported(reply, report="reportregion"):
    """The current field values of a region report, in report order."""
    element = reply.root.find(report)
    assert element is not None, reply.text
    return [element.find(".//" + name).text for name in FIELDS if element.find(".//" + name) is not None]


def current(front):
    """The cropping region a get shows."""
    return reported(front.get("imagecroppingregion", expect="success"))


def reports(reply):
    return [element.tag for element in reply.root if element.tag.startswith("report")][1:]


def refused(front, body, status):
    """A set refused with that status: no report, the region as it was."""
    before = current(front)
    reply = front.send("set", body, status)
    assert reports(reply) == [], reply.text
    assert current(front) == before, (body, before)


def number(text):
    """A field text as the library reads it: a plain ascii-to-integer conversion."""
    match = re.match(r"\s*([+-]?\d+)", text)
    return int(match.group(1)) if match else 0


# -- the image cropping region ---------------------------------------------------------------------------------
@group
def region_frames(front):
    """Each frame the frame model takes within the scanner's limits is set and reported; the rest answers
    "badvalue" and the region stays. Field texts that are no numbers read as 0 and are judged so."""
    session(front)
    frames = (("0", "0", "2400", "3000", "0"), ("600", "1200", "10200", "13200", "0"),
              ("0", "0", "10200", "16800", "0"), ("12", "0", "10200", "16800", "0"), ("0", "0", "10212", "3000", "0"),
              ("0", "0", "1188", "3000", "0"), ("-12", "0", "2400", "3000", "0"),
              ("1200", "1200", "4956", "7000", "50000"), ("6000", "600", "4956", "7000", "450000"),
              ("9000", "9000", "1200", "1200", "1800000"), ("0", "0", "2400", "3000", "3600001"),
              (" 600", "+1200", "2400abc", "3000", "x"), ("abc", "0", "2400", "3000", "0"),
              ("0", "0", "abc", "3000", "0"))
    verdicts = []
    for texts in frames:
        front.send("set", cropping(("0", "0", "1200", "1200", "0")), "success")
        numbers = [number(text) for text in texts]
        if frame_oracle.valid(*numbers, *LIMITS):
            reply = front.send("set", cropping(texts), "success")
            assert reports(reply) == ["reportregion", "reportregiondefault"], reply.text
            assert reported(reply) == [str(n) for n in numbers], (texts, reply.text)
            assert current(front) == [str(n) for n in numbers], texts
        else:
            refused(front, cropping(texts), "badvalue")
        verdicts.append(frame_oracle.valid(*numbers, *LIMITS))
    # The table holds both answers.
    assert 4 < sum(verdicts) < len(verdicts) - 4, verdicts
    assert "Invalid frame..." in front.log()


@group
def region_ranges(front):
    """A range after each field: the frame is judged by the ranges given and they appear in the region report;
    a frame those ranges refuse answers "badvalue"."""
    session(front)
    ranges = (("0", "9000", "12"), ("0", "12000", "12"), ("2400", "9000", "12"), ("2400", "12000", "12"),
              ("-900000", "900000", "1"))
    assert frame_oracle.valid(600, 1200, 4800, 6000, 50000, 2400, 2400, 9000, 12000)
    reply = front.send("set", cropping(("600", "1200", "4800", "6000", "50000"), ranges), "success")
    report = reply.root.find("reportregion")
    assert [element.text for element in report.iter("rangemin")] == [r[0] for r in ranges], reply.text
    assert [element.text for element in report.iter("rangemax")] == [r[1] for r in ranges], reply.text
    assert [element.text for element in report.iter("rangestep")] == [r[2] for r in ranges], reply.text
    assert reported(reply) == ["600", "1200", "4800", "6000", "50000"], reply.text
    # Within the scanner's limits but beyond the given ranges.
    assert frame_oracle.valid(0, 0, 9600, 6000, 0, *LIMITS)
    assert not frame_oracle.valid(0, 0, 9600, 6000, 0, 2400, 2400, 9000, 12000)
    refused(front, cropping(("0", "0", "9600", "6000", "0"), ranges), "badvalue")


@group
def region_refused(front):
    """Ranges after some fields only, a range before any field, a missing field, a range without its step, a
    number beyond 32 bits: "badvalue" and the region stays."""
    session(front)
    front.send("set", cropping(("600", "600", "2400", "3000", "0")), "success")
    bounds = ("0", "9000", "6")
    fields = leaf("imageoffsetx", "0") + leaf("imageoffsety", "0")
    for body in (cropping(("0", "0", "2400", "3000", "0"), (bounds, bounds)),
                 cropping(("0", "0", "2400", "3000", "0"), (bounds,) * 4),
                 leaf("id", "imagecroppingregion") + leaf("region", range_of(*bounds)),
                 leaf("id", "imagecroppingregion") + leaf("region", fields + range_of(*bounds) * 2),
                 leaf("id", "imagecroppingregion") + leaf("region", fields + "<range>%s%s</range>" % (
                     leaf("rangemin", "0"), leaf("rangemax", "9000"))),
                 cropping(("0", "0", "2400", "3000")),
                 cropping(("0", "0", "4294967296", "3000", "0"))):
        refused(front, body, "badvalue")
    assert current(front) == ["600", "600", "2400", "3000", "0"]


@group
def region_barcode(front):
    """The barcode search region: the simulated scanner offers none, so the set fails in a whole reply and the
    cropping region stays; four fields alone are still a malformed region."""
    session(front)
    front.send("set", cropping(("600", "600", "2400", "3000", "0")), "success")
    body = leaf("id", "barcodesearchregion") + region(("120", "240", "2400", "600", "450000"))
    refused(front, body, "fail")
    refused(front, leaf("id", "barcodesearchregion") + region(("1", "2", "3", "4")), "badvalue")
    assert current(front) == ["600", "600", "2400", "3000", "0"]


# -- data files and profiles -----------------------------------------------------------------------------------
def write(front, name, text):
    path = os.path.join(front.root, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def datafile(identifier, filename, size, offset="0"):
    return leaf("id", identifier) + leaf("datafile", leaf("filename", filename) + leaf("datasize", size) +
                                         leaf("dataoffset", offset))


def override(front, document, status):
    """The override document written where the front end writes it, then named with its size."""
    path = write(front, "override.xml", document)
    reply = front.send("set", datafile("customoverride", path, len(document.encode())), status)
    assert reports(reply) == [], reply.text
    return path


@group
def datafile_override(front):
    """A document of a document type and of none: "success" and the file is gone. One that names an unknown
    dropout or document type, is no XML, has another root or repeats ecdo: "fail" once read, the file gone
    too. The session goes on."""
    session(front)
    before = front.get("documenttype", expect="success").find(".//valuecurrent")
    for document in ("<override><documenttype>text</documenttype></override>", "<override></override>"):
        assert not os.path.exists(override(front, document, "success")), document
    for document in ("<override><documenttype>text</documenttype><ecdo>nosuchdropout</ecdo></override>",
                     "<override><documenttype>nosuchtype</documenttype></override>",
                     "<override><ecdo>nosuchdropout</ecdo><ecdo>nosuchdropout</ecdo></override>",
                     "override documenttype text", "<override><documenttype>text</documenttype>",
                     "<overrides><documenttype>text</documenttype></overrides>"):
        assert not os.path.exists(override(front, document, "fail")), document
    assert "Unable to find ecdo for nosuchdropout" in front.log()
    assert "Not an override document...<overrides>" in front.log()
    # The record is no setting: the document type a get shows is the scanner's own.
    assert front.get("documenttype", expect="success").find(".//valuecurrent") == before


@group
def datafile_refused(front):
    """Sizes of 0, -1, 2147483647, beyond 1 MiB or beyond the file, a file name of 2000 characters:
    "badvalue" and the file stays. A directory or a missing file: "fail"."""
    session(front)
    document = "<override><documenttype>text</documenttype></override>"
    path = write(front, "kept.xml", document)
    directory = os.path.join(front.root, "adirectory")
    os.makedirs(directory)
    for body, status in ((datafile("customoverride", path, "0"), "badvalue"),
                         (datafile("customoverride", path, "-1"), "badvalue"),
                         (datafile("customoverride", path, "2147483647"), "badvalue"),
                         (datafile("customoverride", path, str(1 << 20 | 1)), "badvalue"),
                         (datafile("customoverride", path, str(len(document) + 1)), "badvalue"),
                         (datafile("customoverride", "f" * 2000, str(len(document))), "badvalue"),
                         (datafile("customoverride", directory, str(len(document))), "fail"),
                         (datafile("customoverride", os.path.join(front.root, "missing.xml"), "10"), "fail")):
        reply = front.send("set", body, status)
        assert reports(reply) == [], reply.text
        assert os.path.isfile(path), body
    assert os.path.isdir(directory)
    assert "override data size refused...<2147483647>" in front.log()
    front.send("set", datafile("customoverride", path, str(len(document))), "success")
    assert not os.path.exists(path)


@group
def datafile_profiles(front):
    """A profile file without a name or with a size of 0: "badvalue"; one that is no profile document and an
    unknown profile item: "fail"; a profile item without its value: "fail"."""
    session(front)
    profile = write(front, "profile.xml", "<profile/>")
    for body, status in ((datafile("profileall", "", "10"), "badvalue"),
                         (datafile("profileall", profile, "0"), "badvalue"),
                         (datafile("profileall", profile, "10"), "fail"),
                         (leaf("id", "profile") + leaf("profileitem", ""), "fail"),
                         (leaf("id", "profile") + leaf("profileitem", leaf("value", "Nobody")), "fail")):
        reply = front.send("set", body, status)
        assert reports(reply) == [], reply.text
    assert "The <value> argument is required for <profileitem> subcommand" in front.log()


# -- setmany ---------------------------------------------------------------------------------------------------
def setmany(front, bodies, status):
    return front.send("setmany", "".join(leaf("set", body) for body in bodies), status)


def value(identifier, text):
    return leaf("id", identifier) + leaf("valuecurrent", text)


@group
def setmany_both(front):
    """A region set and a value set: "success" with the reports of both; a region set that fails undoes the
    value set before it, and a value set that fails undoes the region set before it."""
    session(front)
    reply = setmany(front, (cropping(("600", "600", "2400", "3000", "0")), value("units", "centimeters")), "success")
    assert "reportregion" in reports(reply) and reports(reply)[-1] == "reportregiondefault", reply.text
    assert "units" in [element.text for element in reply.root.iter("id")], reply.text
    assert reported(reply) == ["600", "600", "2400", "3000", "0"], reply.text
    units = front.get("units", expect="success").find(".//valuecurrent")
    assert units == "centimeters", units
    for bodies in ((value("units", "pixels"), cropping(("0", "0", "99999", "3000", "0"))),
                   (cropping(("0", "0", "4800", "4800", "0")), value("units", "furlongs")),
                   (value("units", "pixels"), cropping(("0", "0", "1", "2")))):
        reply = setmany(front, bodies, "badvalue")
        assert reports(reply) == [], reply.text
        assert front.get("units", expect="success").find(".//valuecurrent") == "centimeters", bodies
        assert current(front) == ["600", "600", "2400", "3000", "0"], bodies


@group
def setmany_datafile(front):
    """An override inside a setmany beside a value set: one reply, the value's report in it, the file gone."""
    session(front)
    document = "<override><documenttype>text</documenttype></override>"
    path = write(front, "override.xml", document)
    reply = setmany(front, (value("units", "centimeters"), datafile("customoverride", path, str(len(document)))),
                    "success")
    assert "units" in [element.text for element in reply.root.iter("id")], reply.text
    assert reply.text.count("<reportstatus>") == 1, reply.text
    assert not os.path.exists(path)


if __name__ == "__main__":
    drvfront.main(sys.argv)
