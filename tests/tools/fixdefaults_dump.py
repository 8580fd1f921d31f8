#!/usr/bin/env python3
"""The text dump the default fix-up makes of a freshly loaded database.

    fixdefaults_dump.py dump EXPECTED_TSV LOOKUP_DBC DB_DEF_H CATALOGUE_ROWS_H UNIT=REPLY...
    fixdefaults_dump.py indexing UNIT=REPLY...

UNIT is "adf" or "flatbed", REPLY a scanner's reply to the inquiry of that
unit; the feeder's model is the one the scanner names (its sheet gives the
smallest height). The scanner is read here from the replies alone:

- the camera bins stay where the scanner has the bin's image format ("bw"
  for the bitonal cameras, "rgb_24" for the colour ones), the rear cameras
  only on a scanner with a front and a rear camera (over both units); the
  other camera datums are unsupported;
- the physical height's default is its default clamped to the sheet, its
  bounds the smallest sheet height of the model's unit and the largest of
  either unit; its current value and bounds take the default's.

Everything else is as database_dump.py writes it for the loaded database.

indexing: "yes" when a reply lists "ia" among the supported ids, else "no".

Standard library only.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from database_dump import build, read_sources, render, undefined_line  # noqa: E402


def read_replies(arguments):
    """{unit: the reply's inquiry element}."""
    replies = {}
    for argument in arguments:
        unit, path = argument.split("=", 1)
        replies[unit] = ElementTree.parse(path).getroot().find("reportinquiry")
    return replies


def enum_values(replies, identifier):
    values = set()
    for inquiry in replies.values():
        for enum in inquiry.iter("enum"):
            if enum.findtext("id") == identifier:
                values.update(value.text for value in enum.iter("value"))
    return values


def sheet_height(inquiry):
    for element in inquiry.iter("range"):
        if element.findtext("id") == "sheetheight":
            return int(element.findtext("rangemin")), int(element.findtext("rangemax"))
    return 0, 0


def kept_bins(replies):
    formats = enum_values(replies, "imageformat")
    duplex = {"front", "rear"} <= enum_values(replies, "cameratype")
    kept = {1}
    if "bw" in formats:
        kept |= {2, 3} if duplex else {2}
    if "rgb_24" in formats:
        kept |= {4, 5} if duplex else {4}
    return kept


def fixed_expected(expected, replies):
    """The expected records with the physical height's default from the sheet."""
    unit = "adf" if "adf" in replies else "flatbed"
    minimum = sheet_height(replies[unit])[0]
    maximum = max(sheet_height(inquiry)[1] for inquiry in replies.values())
    fixed = []
    for kind, capability, number, consumers, bins in expected:
        if capability == "DB_ID_PHYSICALHEIGHTADJUST":
            bin_name, access, default, _, _, step = bins[0]
            default = max(min(int(default), maximum), minimum)
            bins = [[bin_name, access, str(default), str(minimum), str(maximum), step]]
        fixed.append((kind, capability, number, consumers, bins))
    return fixed


def main(argv):
    if len(argv) >= 2 and argv[1] == "indexing":
        replies = read_replies(argv[2:])
        supported = {element.text for inquiry in replies.values() for group in inquiry.iter("supported")
                     for element in group.iter("id")}
        print("yes" if "ia" in supported else "no")
        return 0
    if len(argv) < 7 or argv[1] != "dump":
        sys.exit(__doc__)
    expected, lookup, names, catalogue = read_sources(argv[2:6])
    replies = read_replies(argv[6:])
    loaded, present = build(fixed_expected(expected, replies), lookup, names, catalogue)
    kept = kept_bins(replies)
    for (bin_number, number) in list(loaded):
        if bin_number not in kept:
            loaded[(bin_number, number)] = [undefined_line(number, present[(bin_number, number)])]
    sys.stdout.buffer.write(render(loaded, present).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
