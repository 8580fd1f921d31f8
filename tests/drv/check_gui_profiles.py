"""The settings GUI's profile commands as a GUI sends them: the staged stand-in "twaingui" started by uibegin on
the simulated scanner runs its script ("create", "rename", "destroy", "import", "export", "reset" and the "profile"
selection of "setvalue"); every task it reads is kept whole (UISTANDIN_KEEP), read by xmllint and judged. An
installed profile "Office" (contrast 23) is placed in the installed directory of the layout; profile files are
read back with ElementTree, packages with tests/tools/profile_package.py, the log archive with pmxpkg.py.

    check_gui_profiles.py STAGE GROUP

Groups: edit (register's first full report carries the list, later ones the current item; create, the name in
use, rename, destroy, the installed profiles back), packages (export of the list read by the package reader, its
import into an emptied user directory, the log archive), select (the selection with the preview question answered
"yes" and "no"), badinput (wrong ids, names that do not fit or cannot be stored, bad packages, exports that cannot
be written, a reset while the front end scans, selections of nothing)."""
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import check_gui_values as gv  # noqa: E402
import check_profiles  # noqa: E402
import check_scan  # noqa: E402
import drvfront  # noqa: E402
import profile_package  # noqa: E402
from drvfront import group, leaf  # noqa: E402

PMXPKG = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "data", "os", "formats",
                      "pmxpkg.py")
OFFICE = check_profiles.OFFICE.replace("<readonly>true</readonly>", "<readonly>false</readonly>")


def user_directory(front):
    return os.path.join(front.root, "var", drvfront.COMPANY, drvfront.UNIQUE, "profiles")


# A profile that turns the preview on, as a GUI that shows previews keeps it.
PREVIEW = OFFICE.replace("Office", "Preview").replace("office-00000000000000001", "preview-0000000000000001").replace(
    "\t</database>", "\t\t<d i='previewmode'><m>true</m></d>\n\t</database>")


def install_office(front):
    directory = os.path.join(front.root, "opt", drvfront.COMPANY, drvfront.UNIQUE, "lib", "profiles")
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "office.profile"), "w") as stream:
        stream.write(OFFICE)


def start(front, script, **flags):
    """A session with the stand-in running the script (uiready is its task 1); the directory its tasks go to."""
    install_office(front)
    directory = gv.keep(front)
    os.environ["UISTANDIN_SCRIPT"] = script
    front.interfaceopen(**flags)
    front.send("sessionbegin", leaf("ui", gv.STANDIN), expect="success")
    assert front.send("uibegin", leaf("uimode", "scan")).status == "success"
    return directory


def stop(front, directory):
    """Every task the stand-in read is well formed; the session ends."""
    gv.xmllint(gv.kept(directory))
    gv.stop(front)


def answers(directory, task_id, count=1, seconds=30.0):
    """The replies to the task (count of them), read by xmllint, parsed."""
    assert gv.wait_for(lambda: len(gv.replies_to(directory, task_id)) >= count, seconds), \
        (task_id, [text[:300] for text in gv.kept(directory)[-4:]])
    texts = gv.replies_to(directory, task_id)
    assert len(texts) == count, texts
    gv.xmllint(texts)
    return [ElementTree.fromstring(text) for text in texts]


def answer(directory, task_id):
    return answers(directory, task_id)[0]


def status(task):
    return task.findtext("reportstatus/status")


def listed(task):
    """The list's entries, the current one starred; None when the task holds no list."""
    element = task.find("reportprofilelist")
    if element is None:
        return None
    return [item.findtext("value") + ("*" if item.findtext("profilestate") != "normal" else "")
            for item in element.iter("profileitem")]


def current_item(task):
    """The current profile: the item report, or the list's current entry when the list went instead."""
    if task.find("reportprofileitem") is not None:
        return task.findtext("reportprofileitem/profileitem/value")
    current = [name[:-1] for name in listed(task) or [] if name.endswith("*")]
    return current[0] if current else None


def go(front, name):
    open(os.path.join(front.root, name), "w").close()


def waitfile(front, name):
    return "waitfile %s 60000\n" % os.path.join(front.root, name)


def profile(text):
    return gv.body([("id", "profile"), ("profileitem", "<text>%s</text>" % text)])


def setvalue(name):
    return "send setvalue %s" % gv.body([("id", "profile"), ("value", name)])


def profile_names(front):
    """The names the user directory's profile files hold (read with ElementTree, each checked by xmllint)."""
    directory = user_directory(front)
    found = {}
    for name in sorted(os.listdir(directory)) if os.path.isdir(directory) else []:
        if not name.endswith(".profile"):
            continue
        path = os.path.join(directory, name)
        subprocess.run(["xmllint", "--noout", path], check=True)
        found[name] = ElementTree.parse(path).getroot().findtext("header/id")
    return found


def contrast(front):
    return front.get("contrast", expect="success").find("reportrange/valuecurrent")


# -- editing ------------------------------------------------------------------------------------------------------
@group
def edit_profiles(front):
    """register makes the next full report carry the whole list, the one after the current item only; create
    "Mine" answers the list (its file read back), again while another profile is current "badvalue"; rename to
    "Yours" moves the name in the list and the file; destroy of the current "Yours" answers the full report and
    removes its file; the installed "Office" destroyed hides behind a user copy until reset brings it back."""
    script = "\n".join([
        "send register %s" % gv.ids(["contrast", "imageformat"]),       # 2
        "send get",                                                      # 3
        "send get",                                                      # 4
        "send create %s" % profile("Mine"),                              # 5
        waitfile(front, "go_created").strip(),
        setvalue("Default"),                                             # 6
        "send create %s" % profile("Mine"),                              # 7
        setvalue("Mine"),                                                # 8
        "send rename %s" % profile("Yours"),                             # 9
        waitfile(front, "go_renamed").strip(),
        "send destroy %s" % gv.body([("id", "profile")]),               # 10
        setvalue("Office"),                                              # 11
        "send destroy %s" % gv.body([("id", "profile")]),               # 12
        waitfile(front, "go_hidden").strip(),
        "send reset %s" % gv.body([("id", "profilelist"), ("sharedsettings", "false")]),  # 13
    ]) + "\n"
    directory = start(front, script)
    assert status(answer(directory, 2)) == "success"
    first, second = answer(directory, 3), answer(directory, 4)
    assert listed(first) == ["Default*", "Office"], ElementTree.tostring(first)[:500]
    assert first.find("reportprofilesdirectory/directory").text.endswith("profiles/ui")
    assert listed(second) is None and current_item(second) == "Default"

    created = answer(directory, 5)
    assert status(created) == "success" and listed(created) == ["Default", "Office", "Mine*"], listed(created)
    assert [child.tag for child in created] == ["reportstatus", "reportprofilesdirectory", "reportprofilelist"]
    files = profile_names(front)
    assert list(files.values()) == ["Mine"], files
    (mine_file,) = files
    assert len(mine_file) == len("12345678901234567.profile") and mine_file[:17].isdigit(), mine_file
    go(front, "go_created")

    selected = answer(directory, 6)
    assert status(selected) == "success" and current_item(selected) == "Default"
    assert status(answer(directory, 7)) == "badvalue"
    assert "The name is already used 4 <Mine>..." in front.log()
    assert status(answer(directory, 8)) == "success"
    renamed = answer(directory, 9)
    assert status(renamed) == "success" and listed(renamed) == ["Default", "Office", "Yours*"], listed(renamed)
    assert profile_names(front) == {mine_file: "Yours"}
    go(front, "go_renamed")

    destroyed = answer(directory, 10)
    assert status(destroyed) == "success" and destroyed.find("reportvalues") is not None
    assert listed(destroyed) == ["Default*", "Office"], listed(destroyed)
    assert not os.path.exists(os.path.join(user_directory(front), mine_file))
    selected = answer(directory, 11)
    assert status(selected) == "success" and current_item(selected) == "Office"
    hidden = answer(directory, 12)
    assert status(hidden) == "success" and listed(hidden) == ["Default*"], listed(hidden)
    assert list(profile_names(front).values()) == ["Office"], "the hidden user copy keeps Office hidden"
    go(front, "go_hidden")
    reset = answer(directory, 13)
    assert status(reset) == "success" and listed(reset) == ["Default*", "Office"], listed(reset)
    assert reset.find("reportvalues") is not None and profile_names(front) == {}
    stop(front, directory)


# -- packages -----------------------------------------------------------------------------------------------------
@group
def packages_export_import(front):
    """export of "profilelist": the package reader finds every user profile; imported into an emptied user
    directory, the list is the same; export of "qvlog": the archive holds the logs and the caller's text."""
    package = os.path.join(front.root, "profiles.pkg")
    archive = os.path.join(front.root, "qv.pkg")
    script = "\n".join([
        "send create %s" % profile("Mine"),                                          # 2
        "send create %s" % profile("Ours"),                                          # 3
        "send register %s" % gv.ids(["contrast"]),                                    # 4
        "send export %s" % gv.body([("id", "profilelist"), ("filename", package)]),  # 5
        "send get",                                                                   # 6
        "send export %s" % gv.body([("id", "qvlog"), ("filename", archive), ("text", "from the GUI"),
                                    ("saveimages", "false")]),                       # 7
    ]) + "\n"
    directory = start(front, script)
    assert status(answer(directory, 3)) == "success"
    assert status(answer(directory, 5)) == "success"
    before = listed(answer(directory, 6))
    assert before == ["Default", "Office", "Mine", "Ours*"], before
    with open(package, "rb") as stream:
        items = profile_package.read(stream.read())
    packed = {path: content for kind, path, content in items if kind == "file" and path.endswith(".profile")}
    assert sorted(packed) == sorted(profile_names(front)), (sorted(packed), profile_names(front))
    assert sorted(ElementTree.fromstring(content).findtext("header/id") for content in packed.values()) == \
        ["Mine", "Ours"]
    assert status(answer(directory, 7)) == "success"
    listing = subprocess.run([sys.executable, PMXPKG, "list", archive], capture_output=True, text=True, check=True)
    names = [line.split(" ", 3)[3] for line in listing.stdout.splitlines()[1:]]
    for name in ("text.log", "info.log"):
        assert any(path.endswith("/" + name) for path in names), (name, listing.stdout)
    stop(front, directory)

    # A fresh user directory: nothing but the installed profiles, then the package.
    shutil.rmtree(user_directory(front))
    script = "\n".join([
        "send register %s" % gv.ids(["contrast"]),                                    # 2
        "send get",                                                                   # 3
        "send import %s" % gv.body([("id", "profilelist"), ("filename", package)]),  # 4
    ]) + "\n"
    directory = start(front, script)
    assert listed(answer(directory, 3)) == ["Default*", "Office"]
    imported = answer(directory, 4)
    assert status(imported) == "success"
    assert sorted(listed(imported)) == sorted(name.rstrip("*") for name in before) or \
        [name.rstrip("*") for name in listed(imported)] == [name.rstrip("*") for name in before], listed(imported)
    assert sorted(profile_names(front).values()) == ["Mine", "Ours"]
    stop(front, directory)


# -- the selection ------------------------------------------------------------------------------------------------
def preview_images(directory):
    """The preview images sent unasked (reply 0): their sizes."""
    sizes = []
    for text in gv.kept(directory):
        if gv.reply_id(text) == 0 and "<reportimage>" in text:
            gv.xmllint([text])
            sizes.append(int(ElementTree.fromstring(text).findtext("reportimage/imagesize")))
    return sizes


QUESTION = "The settings changed. Update the preview?"


def questions(directory):
    """The preview questions the GUI was asked (the label "messagepreviewupdate" with the buttons yes and no)."""
    return [text for text in gv.kept(directory) if QUESTION in text and "yesno" in text]


@group
def select_profiles(front):
    """setvalue of "profile": the full report with the profile current and its values in force (the front end's
    get), no question while preview mode is off; a profile that turns preview mode on (its updates are on by
    default) brings the question (message 20, yesno): "yes" scans a new preview, "no" none, sends the empty image
    and switches preview mode off. (uibegin switches preview mode off, and the front end cannot set values while
    the GUI is up: the profile "Preview" is how preview mode comes on here.)"""
    script = "\n".join([
        "send register %s" % gv.ids(["contrast"]),  # 2
        setvalue("Office"),                          # 3
    ]) + "\n"
    directory = start(front, script, pages=2)
    selected = answer(directory, 3)
    assert status(selected) == "success" and current_item(selected) == "Office"
    assert {element.findtext("id"): element.findtext("value") for element in selected.iter("reportvalues")} == \
        {"contrast": check_profiles.OFFICE_CONTRAST}
    assert contrast(front) == check_profiles.OFFICE_CONTRAST
    assert not questions(directory), "preview mode is off: no question"
    stop(front, directory)

    installed = os.path.join(front.root, "opt", drvfront.COMPANY, drvfront.UNIQUE, "lib", "profiles")
    with open(os.path.join(installed, "preview.profile"), "w") as stream:
        stream.write(PREVIEW)
    script = "button yes\n" + setvalue("Preview") + "\n" + waitfile(front, "go_imageend") + "send imageend\n"
    directory = start(front, script, pages=2)
    selected = answer(directory, 2)
    assert status(selected) == "success" and current_item(selected) == "Preview"
    (question,) = questions(directory)
    assert "exclamation" in question, question
    sizes = preview_images(directory)
    assert len(sizes) == 1 and sizes[0] > 0, sizes
    go(front, "go_imageend")
    assert status(answer(directory, 4)) == "success"
    stop(front, directory)

    script = setvalue("Office") + "\nbutton no\n" + setvalue("Preview") + "\n"
    directory = start(front, script, pages=2)
    assert status(answer(directory, 2)) == "success"
    selected = answer(directory, 3)
    assert status(selected) == "success" and current_item(selected) == "Preview"
    assert len(questions(directory)) == 1
    assert preview_images(directory) == [0], "no: the empty image, no preview"
    assert front.get("previewmode", expect="success").find("reportenum/valuecurrent") == "false"
    stop(front, directory)


# -- bad input ----------------------------------------------------------------------------------------------------
WRONG_IDS = [("create", "window"), ("rename", "profilelist"), ("destroy", "window"), ("import", "profile"),
             ("export", "profile"), ("reset", "profile"), ("create", "")]


@group
def badinput_arguments(front):
    """Every command with an id it does not take answers "fail" with its log line; a name of 2,000 characters does
    not fit and is refused (not the previous text), one of 100 is refused by the list; names with markup, "/" and
    ".." are names like any other and the replies stay well formed; an empty name saves the current profile, which
    changes nothing; the graphic file of "profileitem" must exist; selections of nothing answer "badvalue" with the
    full report as it stands; setvalue of anything but "profile" fails (for now)."""
    steps = ["send %s %s" % (command, gv.body([("id", id_)])) for command, id_ in WRONG_IDS]
    # Texts with markup come in CDATA sections (the reader takes a text as it is written).
    names = ["a&<c", "x/../y", "..", "y" * 100, "z" * 2000, "", "Keep"]
    steps += ["send create %s" % profile("<![CDATA[%s]]>" % name if "&" in name else name) for name in names]
    picture = os.path.join(front.root, "picture.png")
    with open(picture, "wb") as stream:
        stream.write(b"\x89PNG\r\n\x1a\n" + bytes(range(256)))
    steps += ["send create %s" % gv.body([("id", "profile"), ("profileitem", "<text>Pic</text><graphicfilename>%s"
                                                                          "</graphicfilename>" % path)])
              for path in (picture + ".none", picture)]
    steps += ["send register %s" % gv.ids(["contrast"]),
              setvalue("nosuchprofile"),
              "send setvalue %s" % gv.body([("id", "profile")]),
              "send setvalue %s" % gv.body([("id", "contrast"), ("value", "3")])]
    directory = start(front, "\n".join(steps) + "\n")
    first = 2
    for offset, (command, id_) in enumerate(WRONG_IDS):
        assert status(answer(directory, first + offset)) == "fail", (command, id_)
        assert "Unsupported Id for %s command (%s)..." % (command, id_) in front.log(), (command, id_)
    first += len(WRONG_IDS)
    expected = ["success", "success", "success", "badvalue", "fail", "success", "success"]
    found = [status(answer(directory, first + offset)) for offset in range(len(names))]
    assert found == expected, (list(zip([n[:10] for n in names], found)), profile_names(front))
    assert "The name is already used 4 <%s>..." % ("y" * 100) in front.log()
    assert "The text of <text> does not fit 1024 bytes, the command is refused..." in front.log()
    keep = answer(directory, first + len(names) - 1)
    assert listed(keep) == ["Default", "Office", "a&<c", "x/../y", "..", "Keep*"], listed(keep)
    assert sorted(name for name in profile_names(front).values() if name != "Pic") == \
        sorted(["a&<c", "x/../y", "..", "Keep"])
    # Names are no paths: every file the names made is a profile file of the user directory.
    user = user_directory(front)
    assert all(name.endswith(".profile") or os.path.isdir(os.path.join(user, name)) for name in os.listdir(user))
    first += len(names)
    assert status(answer(directory, first)) == "badvalue"
    assert "Invalid graphic filename..." in front.log()
    pictured = answer(directory, first + 1)
    assert status(pictured) == "success" and listed(pictured)[-1] == "Pic*", listed(pictured)
    # The picture is kept as a copy in the user's graphics directory.
    graphic = [item.findtext("graphicfilename") for item in pictured.iter("profileitem")][-1]
    assert graphic == os.path.join(user_directory(front), "graphics", "picture.png"), graphic
    with open(graphic, "rb") as copy, open(picture, "rb") as original:
        assert copy.read() == original.read()
    first += 3
    unknown, empty, other = answer(directory, first), answer(directory, first + 1), answer(directory, first + 2)
    assert status(unknown) == "badvalue" and current_item(unknown) == "Pic"
    assert unknown.find("reportvalues") is not None
    assert "Fail to select profile 1 <nosuchprofile>..." in front.log()
    # A setvalue without its value is refused as for any capability; a capability is set as usual.
    assert status(empty) == "fail"
    assert status(other) == "success"
    stop(front, directory)


@group
def badinput_files(front):
    """import of a missing, a truncated and a non-package file: "fail" logged, then the full report with the list
    as it was; export into a directory that cannot be written fails and leaves nothing; export onto a directory
    that holds a file fails and leaves it whole; export onto an existing file replaces it whole; qvlog into a
    directory that cannot be written fails."""
    blocker = os.path.join(front.root, "afile")
    with open(blocker, "w") as stream:
        stream.write("not a directory")
    good = os.path.join(front.root, "good.pkg")
    truncated = os.path.join(front.root, "truncated.pkg")
    other = os.path.join(front.root, "other.pkg")
    with open(other, "w") as stream:
        stream.write("<task>this is no package</task>\n" * 4)
    old = os.path.join(front.root, "old.pkg")
    with open(old, "wb") as stream:
        stream.write(b"the old package")
    # A target the package cannot be renamed onto: a directory that holds a file.
    occupied = os.path.join(front.root, "occupied.pkg")
    os.makedirs(occupied)
    with open(os.path.join(occupied, "inside"), "w") as stream:
        stream.write("kept")
    steps = ["send create %s" % profile("Mine"),                                                       # 2
             "send register %s" % gv.ids(["contrast"]),                                                 # 3
             "send export %s" % gv.body([("id", "profilelist"), ("filename", good)]),                  # 4
             waitfile(front, "go_truncated").strip()]
    steps += ["send import %s" % gv.body([("id", "profilelist"), ("filename", path)])
              for path in (good + ".none", truncated, other)]                                           # 5 6 7
    steps += ["send export %s" % gv.body([("id", "profilelist"), ("filename", os.path.join(blocker, "x.pkg"))]),
              "send export %s" % gv.body([("id", "profilelist"), ("filename", occupied)]),             # 9
              "send export %s" % gv.body([("id", "profilelist"), ("filename", old)]),                  # 10
              "send export %s" % gv.body([("id", "qvlog"), ("filename", os.path.join(blocker, "qv.pkg"))])]  # 11
    directory = start(front, "\n".join(steps) + "\n")
    before = listed(answer(directory, 2))
    assert before[-1] == "Mine*", before
    assert status(answer(directory, 4)) == "success"
    with open(good, "rb") as stream:
        data = stream.read()
    with open(truncated, "wb") as stream:
        stream.write(data[:len(data) // 2])
    go(front, "go_truncated")
    for task_id, path in ((5, good + ".none"), (6, truncated), (7, other)):
        failed, report = answers(directory, task_id, 2)
        assert status(failed) == "fail" and len(failed) == 1, ElementTree.tostring(failed)
        assert status(report) == "success" and listed(report) == before, listed(report)
        assert "Fail to import profilelist" in front.log() and path in front.log(), path
    assert status(answer(directory, 8)) == "fail"
    assert not os.path.exists(os.path.join(blocker, "x.pkg"))
    assert status(answer(directory, 9)) == "fail"
    assert os.listdir(occupied) == ["inside"] and [name for name in os.listdir(front.root)
                                                   if name.startswith("occupied.pkg.")] == [], "nothing left beside"
    assert status(answer(directory, 10)) == "success"
    with open(old, "rb") as stream:
        assert profile_package.read(stream.read()), "the old file replaced whole by the package"
    assert status(answer(directory, 11)) == "fail"
    assert "Fail to save qvlog" in front.log()
    stop(front, directory)


@group
def badinput_scanning(front):
    """reset of the installed profiles while the front end scans: the full report with the installed profiles
    back and the first current, and the scan delivers every image."""
    script = waitfile(front, "go_reset") + "send reset %s\n" % gv.body([("id", "profilelist")])
    directory = start(front, script, pages=3)
    front.send("scanbegin", expect="success")
    go(front, "go_reset")
    images, last = [], "endofsheet"
    while last == "endofsheet":
        more, last, _ = check_scan.drain(front)
        images += more
    # The stand-in answers the scanning dialog on its own, so the reset's task id is 2 or 3: its reply is the
    # one with the full report.
    full = lambda: [text for text in gv.kept(directory) if gv.reply_id(text) in (2, 3) and "<reportwindowlist>" in text]
    assert gv.wait_for(lambda: len(full()) == 1), [text[:200] for text in gv.kept(directory)]
    gv.xmllint(full())
    reset = ElementTree.fromstring(full()[0])
    assert status(reset) == "success" and listed(reset)[:2] == ["Default*", "Office"], listed(reset)
    assert len(images) == 6 and last == "endofoutput", (len(images), last)  # three sheets, both sides
    front.send("scanend", expect="success")
    assert check_profiles.names(front.get("profilelist", expect="success"))[:2] == ["Default*", "Office"]
    stop(front, directory)


if __name__ == "__main__":
    drvfront.main(sys.argv)
