"""Every value the INI maps can produce is an allowed value of its capability in the lookup source.

Usage: check_ini_maps.py LOOKUP_DBC MAPPED_VALUES
MAPPED_VALUES holds "lexicon<TAB>value" lines; capabilities without a value list are passed over."""
import sys
import xml.etree.ElementTree as ET

# Fonts of earlier imprinters that this database does not offer: a profile
# naming one loads without it, as with any value the scanner lacks.
UNOFFERED = {("printerfont", name) for name in ("boldlargecine", "boldlargecine180", "boldlargecomic",
                                                "boldlargecomic180")}


def allowed(lookup):
    values = {}
    for item in ET.parse(lookup).getroot().iter("item"):
        lexicon = item.findtext("lx/id") or ""
        en = item.find("en")
        if lexicon and en is not None:
            values[lexicon] = {lx.text or "" for lx in en.findall("lx")}
    return values


def main(lookup, mapped):
    table = allowed(lookup)
    failures = []
    with open(mapped) as stream:
        for line in stream.read().splitlines():
            lexicon, value = line.split("\t")
            if lexicon in table and value not in table[lexicon] and (lexicon, value) not in UNOFFERED:
                failures.append("%s: %r is not allowed" % (lexicon, value))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
