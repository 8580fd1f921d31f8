#!/usr/bin/env python3
"""INI profiles of earlier drivers, and what their conversion must give.

  ini_fixtures.py write DIR   writes every fixture as DIR/<name>.profile and
                              reads each back, so a fixture reads as meant
  ini_fixtures.py check DIR   checks the converted documents: xmllint, then
                              the header and every expected value element

The files are written with configparser restricted to what the driver's
reader and configparser agree on: unique keys, "=" without blanks around
it, no comments, no interpolation, keys as written.  Capability sections
are read by position, so their keys are only placeholders.
"""
import configparser
import re
import subprocess
import sys
import xml.etree.ElementTree as ET


def pos(*values):
    return {"v%d" % i: v for i, v in enumerate(values)}


FOUR = ("fb00", "rb00", "fc00", "rc00")

# name: (sections, expected header, expected values {lexicon: {tag: text}})
FIXTURES = {
    "pairs": (
        {
            "Header": {"family": "kv", "id": "pairs-1", "l_en_usa": "Pairs & co", "readonly": "1", "group": "1"},
            "ICAP_ADDBORDER": pos("TRUE", "False"),
            "ICAP_COMPRESSION": pos("TWCP_NONE", "TWCP_GROUP4", "TWCP_JPEG", "TWCP_BOGUS"),
            "ICAP_ROTATION": pos("90", "180", "270", "45"),
            "CAP_PRINTERWRITESEQUENCESTRING": pos("BCFST"),
            "ICAP_FRAMES": pos("0 1 2 3", "4 5 6 7 8 9", "12 13 14 15", "10 11"),
            "CAP_CAMERAORDER": pos("TWCM_BW_BOTH_X"),
            "ICAP_COLORBALANCEMODE": pos("TWCBM_MANUAL"),
            "CAP_BLANKPAGECOMPSIZEBW": pos("100", "200"),
            "CAP_BLANKPAGECOMPSIZEGRAY": pos("0", "0"),
            "CAP_BLANKPAGECOMPSIZERGB": pos("300"),
            "CAP_IMAGEMERGE": pos("TWIM_FRONTONTOP"),
            "CAP_MULTIFEEDSOUND": pos("a&b.wav"),
            "CAP_PRINTERWRITESEQUENCEMESSAGE1": pos("x<y"),
            "CAP_CAMERAENABLE": pos("false", "TRUE"),
            "ICAP_GRAYSCALE": pos("true", "false"),
            "ICAP_CONTRAST": pos("7"),
            "ICAP_JPEGQUALITY": pos("#40", "#45"),
            "ICAP_XRESOLUTION": pos("#300", "#200", "#77", "#19200"),
            "ICAP_HALFTONES": pos("TWHT_ERRORDIFFUSION_3LEVELSCREEN", "TWHT_AUTO"),
            "ICAP_SUPPORTEDSIZES": pos("TWSS_127X177"),
            "CAP_TRANSPORTTIMEOUT": pos("0"),
            "CAP_PAGESIZELIMIT": pos("12"),
            "ICAP_PIXELFLAVOR": pos("TWPF_CHOCOLATE", "TWPF_VANILLA"),
            "CAP_PRINTERWRITESEQUENCE": pos("TWPW_IMAGEADDRESS_A"),
            "CAP_ULTRASONICSENSORLEFT": pos("TWUO_ENABLED"),
        },
        {"id": "Pairs & co", "family": "kv", "group": "profileiaprinter", "readonly": "true", "hidden": "false",
         "profileid": "pairs-1", "graphicfilename": "colordocument.png"},
        {
            "addborder": dict(zip(FOUR, ("true", "true", "false", "false"))),
            "compressionmode": dict(zip(FOUR, ("none", "group4", "jpeg", "???"))),
            "imagerotateorthogonal": dict(zip(FOUR, ("90_degrees", "180_degrees", "270_degrees", "0_degrees"))),
            "printerwritesequencestring": {"m": " SY1T"},
            "imageheight": dict(zip(FOUR, ("3", "7", "15", ""))),
            "imagewidth": dict(zip(FOUR, ("2", "6", "14", ""))),
            "imageoffsetx": dict(zip(FOUR, ("0", "4", "12", "10"))),
            "imageoffsety": dict(zip(FOUR, ("1", "5", "13", "11"))),
            "windowtag": {"enum": ["frontbitonal_00", "frontcolor_00", "rearbitonal_00", "rearcolor_00"]},
            "colorbalancemode": {"fc00": "manual", "rc00": "manual"},
            "blankimagesize": dict(zip(FOUR, ("100", "200", "300", "300"))),
            "imagemerge": {"m": "frontontop"},
            "multifeedsound": {"m": "a&b.wav"},
            "multifeedsoundenabled": {"m": "true"},
            "printerwritesequencemessage1": {"m": "x<y"},
            "windowenabled": dict(zip(FOUR, ("false", "false", "true", "true"))),
            "imageformat": dict(zip(FOUR, ("bw", "bw", "gray_8", "rgb_24"))),
            "contrast": {"fb00": "7", "rb00": "7"},
            "compressionjpegquality": {"fc00": "draft", "rc00": "45"},
            "imageresolutionx": dict(zip(FOUR, ("300_dpi", "200_dpi", "???", "19200_dpi"))),
            "binarizationmode": {"fb00": "3levelscreen", "rb00": "atp"},
            "imagepreset": {"m": "122x177"},
            "adftimeoutenabled": {"m": "false"},
            "adftimeout": {"m": "0"},
            "adfunique": {"m": "true"},
            "lowpowermodeunique": {"m": "true"},
            "multifeedlengthenabled": {"m": "true"},
            "multifeedlength": {"m": "12"},
            "invertcolor": dict(zip(FOUR, ("false", "false", "true", "true"))),
            "printerwritesequence": {"m": "imageaddressa"},
            "multifeeduddssensorleft": {"m": "true"},
        },
    ),
    "other": (
        {
            "Header": {"family": "kv", "id": "other-2", "l_en_usa": "Other", "readonly": "0", "group": "2"},
            "CAP_CAMERAORDER": pos("TWCM_RGB_BOTH"),
            "ICAP_ROTATION": pos("abc", "270"),
            "ICAP_FRAMES": pos("", "1 2 3 4 5 6"),
        },
        {"id": "Other", "group": "profilenoiaprinter", "readonly": "false", "profileid": "other-2",
         "graphicfilename": "bitonaldocument.png"},
        {
            "windowtag": {"enum": ["frontcolor_00", "frontbitonal_00", "rearcolor_00", "rearbitonal_00"]},
            "imagerotateorthogonal": dict(zip(FOUR, ("0_degrees", "0_degrees", "270_degrees", "270_degrees"))),
            "imageheight": dict(zip(FOUR, ("", "", "4", "4"))),
            "imageoffsetx": dict(zip(FOUR, ("", "", "1", "1"))),
            "multifeedlength": {"m": ""},
            "addborder": None,
        },
    ),
    "plain": (
        {"Header": {"l_en_usa": "Plain", "group": "7"}},
        {"id": "Plain", "group": "profilenormalsave", "readonly": "false", "profileid": "",
         "graphicfilename": "bitonaldocument.png"},
        {"adfunique": {"m": "true"}},
    ),
    "unnamed": (
        {"Header": {"id": "ignored"}, "ICAP_CONTRAST": pos("9")},
        {"id": re.compile(r"profileall-(\d{17})"), "group": "profileall", "readonly": "false",
         "graphicfilename": "default.png"},
        {"contrast": {"fb00": "9", "rb00": "9"}},
    ),
}


def parser():
    p = configparser.RawConfigParser(delimiters=("=",), comment_prefixes=(), inline_comment_prefixes=(),
                                     interpolation=None, strict=True)
    p.optionxform = str
    return p


def write(directory):
    for name, (sections, _, _) in FIXTURES.items():
        p = parser()
        for section, values in sections.items():
            p[section] = values
        path = "%s/%s.profile" % (directory, name)
        with open(path, "w") as f:
            p.write(f, space_around_delimiters=False)
        back = parser()
        back.read(path)
        for section, values in sections.items():
            assert dict(back[section]) == values, (name, section)


def text(element):
    return element.text or ""


def check(directory):
    failures = []
    for name, (_, header, values) in FIXTURES.items():
        path = "%s/%s.profile" % (directory, name)
        if subprocess.run(["xmllint", "--noout", path]).returncode != 0:
            failures.append("%s: xmllint refuses it" % name)
            continue
        root = ET.parse(path).getroot()
        if root.tag != "profile":
            failures.append("%s: root %s" % (name, root.tag))
            continue
        h = root.find("header")
        for key, want in header.items():
            got = text(h.find(key)) if h.find(key) is not None else None
            if isinstance(want, re.Pattern):
                m = want.fullmatch(got or "")
                if not m:
                    failures.append("%s: header %s %r" % (name, key, got))
                elif text(h.find("profileid")) != m.group(1):
                    failures.append("%s: profileid %r is not the id's stamp" % (name, text(h.find("profileid"))))
            elif got != want:
                failures.append("%s: header %s %r, want %r" % (name, key, got, want))
        elements = {d.get("i"): d for d in root.find("database").findall("d")}
        for lexicon, want in values.items():
            d = elements.get(lexicon)
            if want is None:
                if d is not None:
                    failures.append("%s: %s written for a missing section" % (name, lexicon))
                continue
            if d is None:
                failures.append("%s: no %s" % (name, lexicon))
                continue
            for tag, value in want.items():
                if tag == "enum":
                    got = [text(v) for v in d.find("enum").findall("v")]
                else:
                    got = text(d.find(tag)) if d.find(tag) is not None else None
                if got != value:
                    failures.append("%s: %s/%s %r, want %r" % (name, lexicon, tag, got, value))
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2])
        sys.exit(0)
    sys.exit(check(sys.argv[2]))
