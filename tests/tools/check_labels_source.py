"""The labels source covers the lookup source: every capability with a task-message name and every one of its
values has an English label, as have the error tokens of the settings rules; tags are unique, texts are not
empty, and the labels that the driver prints with arguments keep their conversions.

Usage: check_labels_source.py LABELS_DBC LOOKUP_DBC
Each check also runs on a few damaged copies of the source, which it must reject."""
import re
import sys
import xml.etree.ElementTree as ET

ERROR_TOKENS = (
    "E_EXCEEDSMAXIMUM", "E_EXCEEDSMAXIMUMDIGITS", "E_EXCEEDSMAXIMUMPRINTER", "E_IA_TOOMANYDOTS",
    "E_IA_LENGTHTOOLONG", "E_IA_NOTALPHANUMERIC", "E_IA_NOTDIGIT", "E_TOOLARGE9", "E_TOOLARGE27", "E_ONLY123F",
    "E_NOMIXING", "E_MUSTHAVE3", "E_ONLYONE123", "E_LEVELTOFOLLOW", "E_LEVELTOFOLLOWRESET")
# Labels the driver shows by their tags.
DRIVER_LABELS = ("messagecalibrating", "messagecalibratinglcdcontrast")
# Labels used as print formats: their conversions, in order.
FORMATS = {
    "autocolorlearn_messagesuccess": ["%d", "%d"],
    "about_meterpower": ["%d", "%1.1d"],
    "about_metertransport": ["%d", "%1.1d"],
    "about_meterlamps": ["%d", "%1.1d", "%d", "%1.1d"],
    "about_meterlampfront": ["%d", "%1.1d"],
    "about_meterfirstscan": ["%s"],
    "about_meterpagecount": ["%d"],
    "about_multifeedcount": ["%d"],
    "about_patchcount": ["%d", "%d"],
    "about_patchcountfront": ["%d"],
    "mainform": ["%s"],
    "tooltip_help": ["%s"],
}
CONVERSION = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?[a-zA-Z%]")


def lookup_tags(lookup_text):
    """The tags the lookup needs: each capability's name and "enum_<name>_<value>" for its values."""
    tags = []
    for item in ET.fromstring(lookup_text).findall("item"):
        lexicon = item.findtext("lx/id") or ""
        if not lexicon:
            continue  # no task-message name: nothing shows it
        tags.append(lexicon)
        values = item.find("en")
        for value in values.findall("lx") if values is not None else []:
            tags.append("enum_%s_%s" % (lexicon, value.text))
    return tags


def check(labels_text, lookup_text):
    errors = []
    try:
        root = ET.fromstring(labels_text)
    except ET.ParseError as error:
        return ["not well-formed: %s" % error]
    texts = {}
    for number, item in enumerate(root.findall("item"), 1):
        tag = item.findtext("label") or ""
        text = item.findtext("en_usa")
        if not tag:
            errors.append("item %d has no tag" % number)
        elif tag in texts:
            errors.append("%s is labelled twice" % tag)
        if not text or not text.strip():
            errors.append("%s has no English text" % (tag or "item %d" % number))
        if "@" in (text or "").replace("@n", "").replace("@r", "").replace("@t", ""):
            errors.append("%s holds an @ that the compiler drops" % tag)
        texts[tag] = text or ""
    for tag in lookup_tags(lookup_text) + list(ERROR_TOKENS) + list(DRIVER_LABELS):
        if tag not in texts:
            errors.append("no label for %s" % tag)
    for tag, conversions in FORMATS.items():
        found = CONVERSION.findall(texts.get(tag, ""))
        if found != conversions:
            errors.append("%s converts %s, the driver passes %s" % (tag, found, conversions))
    return errors


def damaged_copies(labels_text, lookup_text):
    """Copies of the source that each break one rule."""
    first_value = re.search(r"<label>(enum_[^<]+)</label>", labels_text).group(1)
    yield "a value without its label", re.sub(
        r"\s*<item>\s*<label>%s</label>.*?</item>" % re.escape(first_value), "", labels_text, count=1, flags=re.S)
    yield "an error token without its label", labels_text.replace("<label>E_NOMIXING</label>", "<label>E_X</label>")
    yield "a driver's message without its label", labels_text.replace(
        "<label>messagecalibratinglcdcontrast</label>", "<label>messagecalibratinglcd</label>")
    yield "a repeated tag", labels_text.replace("<label>E_NOMIXING</label>", "<label>E_MUSTHAVE3</label>")
    yield "a format that lost a conversion", labels_text.replace("%d.%1.1d hours", "%d hours", 1)
    yield "an empty text", re.sub(r"(<label>E_ONLY123F</label>\s*<en_usa>)[^<]*", r"\1", labels_text)
    yield "a bare ampersand", labels_text.replace("Off</en_usa>", "Off & on</en_usa>", 1)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    labels_text = open(argv[1], encoding="utf-8").read()
    lookup_text = open(argv[2], encoding="utf-8").read()
    errors = check(labels_text, lookup_text)
    for what, copy in damaged_copies(labels_text, lookup_text):
        if not check(copy, lookup_text):
            errors.append("the check accepts %s" % what)
    for error in errors:
        print(error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
