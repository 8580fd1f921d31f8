#!/usr/bin/env python3
"""The text dumps the default fix-up makes of a database, as the rules model predicts them.

    fixdefaults_dump.py dump STATE CONFIG LOOKUP NAME
    fixdefaults_dump.py indexing CONFIG

STATE, CONFIG and LOOKUP are the listings of the database once its resources and the scanner's replies are
loaded (tests/tools/rulesprobe/rules_listing.h: State, Config, Lookup); NAME is the dump to print,
"PmxDbFactoryDefaults" (before the profile and the access pass) or "PmxDbInitial" (after them).

indexing: "yes" when the scanner's configuration offers indexing ("none" among the values of
"indexingformat"), which is when the database makes its image-address rules, else "no".

Standard library only.
"""
import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rulesmodel import dump, listing, rules  # noqa: E402
from rulesmodel.names import COMMON  # noqa: E402


def read(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as stream:
        return stream.read()


def main(argv):
    if len(argv) == 3 and argv[1] == "indexing":
        config = listing.read_config(read(argv[2]))
        print("yes" if config.enum_exists("indexingformat", "none", COMMON) else "no")
        return 0
    if len(argv) != 6 or argv[1] != "dump":
        sys.exit(__doc__)
    db = listing.load(read(argv[2]), read(argv[3]), read(argv[4]), rules.load_themes())
    dumps = {}
    db.fix_default_all(dump=lambda name: dumps.__setitem__(name, dump.render(db)))
    if argv[5] not in dumps:
        sys.exit("no dump named %r" % argv[5])
    sys.stdout.buffer.write(dumps[argv[5]].encode("utf-8", "surrogateescape"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
