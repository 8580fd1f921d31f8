"""A model of the device engine's colour-dropout lists, written from what the engine must do rather than from
its code: each unit's getecdo choices read in reply order, parted into the scanner's list ("normal",
"normalformdata" and "pmcdo", a missing algorithm counting as "normal") and the custom list (any other), at most
62 and 9 of them; then merged into the database's two lists, each led by its "(none)" entry.

    ecdo_merge_model.py NONE_LABEL [--feeder FILE] [--flatbed FILE | --flatbed-fails] [--nexil-off]

FILE is a stand-in's choices file (one choice a line: name, text, algorithm, tab-separated; the text and the
algorithm may be missing; empty lines and lines beginning with "#" are skipped), which the stand-in answers as it
stands. --flatbed names the flatbed's file: only the choices both units offer are kept, in the feeder's order;
--flatbed-fails says the flatbed has one whose reply counts as failed. --nexil-off: the image library is forced
off and the model has no device-manager list, so only "(none)" stays. The lists are printed one record a line:
"main|custom NAME SECOND-NAME LABEL KIND ALGORITHM", tab-separated."""
import argparse

MAIN_KINDS = ("normal", "normalformdata", "pmcdo")
MAIN_MAX, CUSTOM_MAX = 62, 9
NAME, TEXT, ALGORITHM = 254, 1023, 63


def choices(path):
    """(main, custom) of a reply built from the file."""
    main, custom = [], []
    with open(path, encoding="utf-8") as stream:
        for line in stream.read().split("\n"):
            line = line.rstrip("\r")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            name, text = fields[0][:NAME], (fields[1] if len(fields) > 1 else "")[:TEXT]
            algorithm = ("\t".join(fields[2:]) if len(fields) > 2 else "")[:ALGORITHM] or "normal"
            if len(main) == MAIN_MAX or len(custom) == CUSTOM_MAX:
                break
            if not name:
                continue
            (main if algorithm in MAIN_KINDS else custom).append((name, text, algorithm))
    return main, custom


def grouped(entries):
    """Multiple-colour choices first, then form data, then the others; each group in reply order."""
    pmcdo = [e for e in entries if e[2] == "pmcdo"]
    formdata = [e for e in entries if e[2] == "normalformdata"]
    return pmcdo + formdata + [e for e in entries if e[2] not in ("pmcdo", "normalformdata")]


def merge(feeder, flatbed):
    """The database's lists from the units' (main, custom) pairs, None for a unit that failed."""
    if feeder and flatbed:
        names = {kind: {e[0] for e in flatbed[kind]} for kind in (0, 1)}
        return (grouped([e for e in feeder[0] if e[0] in names[0]]), [e for e in feeder[1] if e[0] in names[1]])
    unit = feeder or flatbed
    return (grouped(unit[0]), list(unit[1])) if unit else ([], [])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("none_label")
    parser.add_argument("--feeder")
    parser.add_argument("--flatbed")
    parser.add_argument("--flatbed-fails", action="store_true")
    parser.add_argument("--nexil-off", action="store_true")
    arguments = parser.parse_args()
    feeder = choices(arguments.feeder) if arguments.feeder else None
    flatbed = choices(arguments.flatbed) if arguments.flatbed else None
    lists = ([], []) if arguments.nexil_off else merge(feeder, flatbed)
    label = arguments.none_label
    for kind, none_kind, entries in (("main", "normal", lists[0]), ("custom", "discovery", lists[1])):
        print("\t".join((kind, "(none)", "(none)", label, none_kind, none_kind)))
        for name, text, algorithm in entries:
            print("\t".join((kind, name, name, text, algorithm, algorithm)))


if __name__ == "__main__":
    main()
