"""A model of the capability database and its rules, in the Python standard library, against which the rules
harness (harness.py) holds the library's rules.

The model starts from what the probe (tests/tools/rulesprobe) lists of a database once its resources and the
scanner's replies are loaded: every datum of every window, the notification tables, the configuration records
and the lookup records (listing.py). From there it predicts everything after: the default fix-up, the access
pass, every set with its fix-up pass, the dumps and the frame arguments of the attribute tasks.

- names.py      the numbers of db/db_def.h by name
- database.py   datums, notifications, configuration records; the containers' base operations, the set path,
                the passes and the default fix-up of the whole database
- geometry.py   the database's frame helpers (paper sizes, turned frames, the physical height, the sheet)
- configlists.py  the database's lists from the model configuration (FixDefaultEnumFromDbConfig,
                BuildOrderedListFromDbConfig)
- kit.py        the rule toolkit (db/id/db_crulekit.cpp), with the driver's configuration numbers
- rules.py      rule classes and the themes that hold them
- themes/       one module per theme of rules, found by name (frames.py: the four frame sides; cameras.py: the
                cameras, input document, paper source, image merge and sides; transport.py: dual stacking,
                multifeed detection and sound, counts, timeouts and the feeder)
- dump.py       the database's text dump
- listing.py    the probe's listings, read and written
- probe.py      running the probe; the scanners; the model's side of the probe's commands
- standins.py   the stand-ins of the scanner units and of the image library through ctypes
"""
