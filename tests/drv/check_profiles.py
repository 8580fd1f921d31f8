"""Profiles through the driver entry as a front end uses them: the staged library loaded through ctypes
(tests/drv/drvfront.py) with an installed profile "Office" placed in the installed directory of the layout
(<root>/opt/scandrv/driver/lib/profiles). Groups: select (the session's profile choice, the list, selecting a
profile, a group document written by get and set back, the reset of the profile, a session opened with a
profile), undo (a setmany that fails puts the profile back). Every reply is checked as a front end reads it, and
xmllint reads them all."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import drvfront  # noqa: E402
import profile_package  # noqa: E402
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


def user_tree(directory):
    """Every entry below the directory with its content (None for directories)."""
    tree = {}
    for base, dirs, files in os.walk(directory):
        for name in dirs:
            tree[os.path.relpath(os.path.join(base, name), directory)] = None
        for name in files:
            with open(os.path.join(base, name), "rb") as stream:
                tree[os.path.relpath(os.path.join(base, name), directory)] = stream.read()
    return tree


def profile_files(directory):
    return sorted(name for name in os.listdir(directory) if name.endswith(".profile")) \
        if os.path.isdir(directory) else []


@group
def edit_profiles(front):
    """Create "Mine" (a 17-digit file, current in the list), rename it "Ours", destroy it; a package exported
    and imported leaves the user directory as it was; the read-only "Office" is not destroyed; destroying the
    installed "Default" hides it behind a user copy and the reset of the list brings it back."""
    begin(front)
    user = os.path.join(front.root, "var", drvfront.COMPANY, drvfront.UNIQUE, "profiles")
    front.send("create", leaf("id", "profile") + leaf("profileitem", leaf("text", "Mine")), "success")
    files = profile_files(user)
    assert len(files) == 1 and len(files[0]) == len("12345678901234567.profile") and files[0][:17].isdigit(), files
    subprocess.run(["xmllint", "--noout", os.path.join(user, files[0])], check=True)
    assert names(front.get("profilelist", expect="success")) == ["Default", "Office", "Mine*"]
    front.send("rename", leaf("id", "profile") + leaf("profileitem", leaf("text", "Ours")), "success")
    assert names(front.get("profilelist", expect="success")) == ["Default", "Office", "Ours*"]
    assert profile_files(user) == files
    with open(os.path.join(user, files[0])) as stream:
        assert "<![CDATA[Ours]]>" in stream.read()
    front.send("create", leaf("id", "profile") + leaf("profileitem", leaf("text", "x" * 61)), "badvalue")
    front.send("create", leaf("id", "profile") + leaf("profileitem", leaf("text", "Office")), "badvalue")
    assert "Name is reserved, and can't be used...<Office>" in front.log()
    before = user_tree(user)
    package = os.path.join(front.root, "profiles.pkg")
    front.send("export", leaf("id", "profilelist") + leaf("filename", package), "success")
    with open(package, "rb") as stream:
        data = stream.read()
    unpacked = os.path.join(front.root, "unpacked")
    profile_package.unpack(profile_package.read(data), unpacked)
    assert user_tree(unpacked) == before
    front.send("import", leaf("id", "profilelist") + leaf("filename", package), "success")
    assert user_tree(user) == before
    # A package the python writer made, with a directory before its file and an empty file.
    made = os.path.join(front.root, "made.pkg")
    with open(made, "wb") as stream:
        stream.write(profile_package.write(profile_package.walk(user) + [
            ("directory", "graphics", None), ("file", "graphics/pic.png", b"png"), ("file", "empty", b"")]))
    front.send("import", leaf("id", "profilelist") + leaf("filename", made), "success")
    assert user_tree(user) == dict(before, **{"graphics": None, "graphics/pic.png": b"png", "empty": b""})
    front.send("import", leaf("id", "profilelist") + leaf("filename", package + ".none"), "badvalue")
    front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Ours")), "success")
    front.send("destroy", leaf("id", "profile"), "success")
    assert profile_files(user) == []
    # "Office" is read-only: not destroyed. The installed "Default" hides behind a user copy until the reset
    # of the list.
    front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Office")), "success")
    front.send("destroy", leaf("id", "profile"), "notavailable")
    front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Default")), "success")
    front.send("destroy", leaf("id", "profile"), "success")
    assert names(front.get("profilelist", expect="success")) == ["Office*"]
    assert len(profile_files(user)) == 1
    front.send("reset", leaf("id", "profilelist") + leaf("sharedsettings", "false"), "success")
    assert names(front.get("profilelist", expect="success")) == ["Default*", "Office"]
    assert profile_files(user) == []
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
