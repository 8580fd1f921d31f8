"""INI profiles of earlier drivers through the driver entry (tests/drv/drvfront.py). Group ini: an INI profile
placed in the user directory before the session begins is converted in place when the list loads (xmllint reads
the new file, "old.profile.bck" holds the INI bytes), is listed by its name and applies its values; an INI
document given to set of the data file "profileall" is applied and leaves no file behind."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

OLD_INI = b"[Header]\nl_en_usa=Old scans\nid=old-1\nfamily=driver\n\n[ICAP_CONTRAST]\nv0=17\nv1=17\n"
GIVEN_INI = b"[Header]\nl_en_usa=Given\n\n[ICAP_CONTRAST]\nv0=-11\n"


def user_directory(front):
    return os.path.join(front.root, "var", drvfront.COMPANY, drvfront.UNIQUE, "profiles")


def contrast(front):
    return front.get("contrast", expect="success").find("reportrange/valuecurrent")


def names(reply):
    element = reply.root.find("reportprofilelist")
    assert element is not None, reply.text
    return [item.findtext("value") for item in element.iter("profileitem")]


@group
def ini_list(front):
    """The INI profile is converted, listed as "Old scans", and applies its contrast."""
    directory = user_directory(front)
    os.makedirs(directory, exist_ok=True)
    path = os.path.join(directory, "old.profile")
    with open(path, "wb") as stream:
        stream.write(OLD_INI)
    front.interfaceopen()
    front.send("sessionbegin", "", expect="success")
    reply = front.get("profilelist", expect="success")
    assert "Old scans" in names(reply), reply.text
    assert subprocess.run(["xmllint", "--noout", path]).returncode == 0
    assert subprocess.run(["cmp", "-s", path + ".bck", "/dev/stdin"], input=OLD_INI).returncode == 0
    front.send("set", leaf("id", "profile") + leaf("profileitem", leaf("value", "Old scans")), "success")
    assert contrast(front) == "17"


@group
def ini_datafile(front):
    """Set of "profileall" with an INI document applies it; every file made on the way is gone."""
    path = os.path.join(front.root, "given.ini")
    with open(path, "wb") as stream:
        stream.write(GIVEN_INI)
    before = [name for name in front.files() if not name.endswith(".log")]
    body = leaf("id", "profileall") + leaf("datafile", leaf("filename", path) + leaf("datasize", str(len(GIVEN_INI))) +
                                           leaf("dataoffset", "0"))
    front.send("set", body, "success")
    assert contrast(front) == "-11"
    after = [name for name in front.files() if not name.endswith(".log")]
    assert after == before, (before, after)
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
