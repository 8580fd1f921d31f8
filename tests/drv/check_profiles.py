"""Profiles through the driver entry as a front end uses them: the staged library loaded through ctypes
(tests/drv/drvfront.py) with an installed profile "Office" placed in the installed directory of the layout
(<root>/opt/scandrv/driver/lib/profiles). Groups: select (the session's profile choice, the list, selecting a
profile, a group document written by get and set back, the reset of the profile, a session opened with a
profile), undo (a setmany that fails puts the profile back). Every reply is checked as a front end reads it, and
xmllint reads them all."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

OFFICE_CONTRAST = "23"
OFFICE = """<profile>
\t<header>
\t\t<id><![CDATA[Office]]></id>
\t\t<driverversion>01000000</driverversion>
\t\t<family>driver</family>
\t\t<group>profilenormalsave</group>
\t\t<readonly>true</readonly>
\t\t<hidden>false</hidden>
\t\t<profileid>office-00000000000000001</profileid>
\t\t<graphicfilename><![CDATA[office.png]]></graphicfilename>
\t</header>
\t<database>
\t\t<d i='contrast'><fb00>%s</fb00><rb00>%s</rb00></d>
\t</database>
</profile>
""" % (OFFICE_CONTRAST, OFFICE_CONTRAST)
# What the session's profile choice and the default fix-up log when no profile can be selected.
SELECTION_FAILURES = ("db>>> fixdefaultall had an error...", "profile: ProfileSetCurrent(Default) failed...",
                      "profile: ProfileSetCurrent(0) failed...", "profile: ProfileReset failed...")


def install_office(front):
    directory = os.path.join(front.root, "opt", drvfront.COMPANY, drvfront.UNIQUE, "lib", "profiles")
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "office.profile"), "w") as stream:
        stream.write(OFFICE)


def contrast(front):
    return front.get("contrast", expect="success").find("reportrange/valuecurrent")


def names(reply):
    """The list's entries (the current one starred)."""
    element = reply.root.find("reportprofilelist")
    assert element is not None, reply.text
    return [item.findtext("value") + ("*" if item.findtext("profilestate") != "normal" else "")
            for item in element.iter("profileitem")]


def begin(front, body=""):
    install_office(front)
    front.interfaceopen()
    front.send("sessionbegin", body, expect="success")
    log = front.log()
    for line in SELECTION_FAILURES:
        assert line not in log, line


@group
def select_list(front):
    """The session selects "Default" quietly; the list holds it (current) and "Office"; selecting "Office"
    answers the list and the report of changed values, and the value shows; a profileall document that get wrote, set
    back, changes nothing; the reset of the profile applies it again."""
    begin(front)
    reply = front.get("profilelist", expect="success")
    assert names(reply) == ["Default*", "Office"], reply.text
    default_contrast = contrast(front)
    reply = front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Office")), "success")
    assert names(reply) == ["Default", "Office*"], reply.text
    # The values the rules changed are reported after the list (a profile writes its own values directly).
    assert len(reply.root) > 2 and reply.root[2].tag.startswith("report"), reply.text
    assert contrast(front) == OFFICE_CONTRAST
    reply = front.get("profile", expect="success")
    assert reply.find("reportprofileitem/profileitem/value") == "Office", reply.text
    # A document of every value, written by get and set back.
    values = {name: front.get(name, expect="success").text.split("<reportstatus>")[1]
              for name in ("contrast", "imageformat", "imageresolutionx", "imagecroppingmode")}
    reply = front.get("profileall", expect="success")
    path, size = reply.find("reportdatafile/filename"), reply.find("reportdatafile/datasize")
    body = leaf("id", "profileall") + leaf("datafile", leaf("filename", path) + leaf("datasize", size) +
                                                   leaf("dataoffset", "0"))
    front.send("set", body, "success")
    os.remove(path)
    for name, text in values.items():
        assert front.get(name, expect="success").text.split("<reportstatus>")[1] == text, name
    # The reset of the profile applies it again.
    front.send("set", leaf("id", "contrast") + leaf("valuecurrent", "-9"), "success")
    reply = front.send("reset", leaf("id", "profile"), "success")
    # It answers the report of the capabilities it changed.
    assert any(child.tag.startswith("report") for child in reply.root), reply.text
    assert contrast(front) == OFFICE_CONTRAST
    front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Default")), "success")
    assert contrast(front) == default_contrast
    front.send("interfaceclose", expect="success")


@group
def select_session(front):
    """A session begun with profileitem "Office" opens with it."""
    begin(front, leaf("profileitem", leaf("value", "Office")))
    assert contrast(front) == OFFICE_CONTRAST
    reply = front.get("profile", expect="success")
    assert reply.find("reportprofileitem/profileitem/value") == "Office", reply.text
    front.send("interfaceclose", expect="success")


@group
def undo_setmany(front):
    """A setmany that fails puts the profile and its values back: the current profile, modified by the
    setmany, is applied again before the values come back."""
    begin(front)
    front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Office")), "success")
    sets = leaf("set", leaf("id", "contrast") + leaf("valuecurrent", "30")) + \
        leaf("set", leaf("id", "imageformat") + leaf("valuecurrent", "nosuchformat"))
    front.send("setmany", sets, "badvalue")
    assert contrast(front) == OFFICE_CONTRAST
    reply = front.get("profile", expect="success")
    assert reply.find("reportprofileitem/profileitem/value") == "Office", reply.text
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
