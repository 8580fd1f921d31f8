"""The lists the colour rules read and keep (db/id/db_cecdolists.cpp, db_ccolortable.cpp): the scanner's and the
custom colour-dropout lists, the dropout rules' cache, the override, the learning text, the colour tables and
the lookup texts of COLORTABLE, ECDO and ECDOCUSTOM; their lines of the state listing; and the probe's filling of
the dropout lists (tests/tools/rulesprobe/rules_dropouts.cpp).

Every text is kept as the bytes of its field (a text that fills its field has no terminator); the listing shows
what lies within the field.
"""
import re

from . import labels
from .names import ID

NAME, FLATBED, LABEL, KIND = 256, 256, 1024, 64
MAIN_RECORDS, CUSTOM_RECORDS, COLORTABLE_RECORDS = 63, 10, 64
REPOINTED = (ID["COLORTABLE"], ID["ECDO"], ID["ECDOCUSTOM"])


class Dropout:
    __slots__ = ("value", "name", "flatbed", "label", "kind")

    def __init__(self, value=0, name="", flatbed="", label="", kind=""):
        self.value, self.name, self.flatbed, self.label, self.kind = value, name, flatbed, label, kind

    def blank(self):
        return not (self.value or self.name or self.flatbed or self.label or self.kind)

    def ends(self):
        """A record ends its list when it has no value or no name."""
        return self.value == 0 or self.name == ""

    def terminate(self):
        self.name, self.flatbed = self.name[:NAME - 1], self.flatbed[:FLATBED - 1]
        self.label, self.kind = self.label[:LABEL - 1], self.kind[:KIND - 1]


class ColorTable:
    __slots__ = ("value", "name", "label", "default")

    def __init__(self, value=0, name="", label="", default=0):
        self.value, self.name, self.label, self.default = value, name, label, default


class ColourLists:
    def __init__(self):
        self.main = [Dropout() for _ in range(MAIN_RECORDS)]
        self.custom = [Dropout() for _ in range(CUSTOM_RECORDS)]
        self.loaded = self.custom_loaded = False
        self.names = ["", "", "", ""]  # cameras 2 to 5
        self.override = [0, 0, 0]  # document type, dropout, custom dropout
        self.learning = ""
        self.colortables = [ColorTable() for _ in range(COLORTABLE_RECORDS)]
        self.texts = {}  # id -> [[value, lexicon, label], ...]
        self.load_files = None  # the probe's load callback: the replies it fills the lists from
        self.loads = 0

    def clear_dropouts(self):
        self.main = [Dropout() for _ in range(MAIN_RECORDS)]
        self.custom = [Dropout() for _ in range(CUSTOM_RECORDS)]

    # -- the lookup texts -------------------------------------------------------------------------------------
    def text(self, text):
        """A lookup text: itself, or what a field of a list holds now ((list, index, field): the lookup points
        at the list's record, which the list may rewrite)."""
        if isinstance(text, str):
            return text
        table, index, field = text
        return getattr({"main": self.main, "custom": self.custom, "colortable": self.colortables}[table][index], field)

    def repoint(self, db, id_, value, lexicon=None, label=None):
        """The first entry of the value points at the texts given (None keeps one)."""
        for entry in self.texts.get(id_, []):
            if entry[0] == value:
                if lexicon is not None:
                    entry[1] = lexicon
                if label is not None:
                    entry[2] = label
                self.sync(db, id_)
                return

    def sync_all(self, db):
        for id_ in self.texts:
            self.sync(db, id_)

    def sync(self, db, id_):
        record = db.lookup.get(id_)
        if record is not None and id_ in self.texts:
            record.enums = [(value, self.text(lexicon)) for value, lexicon, _ in self.texts[id_]]

    def relabel(self, db):
        """The label loader's pass over these records: every value takes the label of its key, "???" without one;
        then each dropout the scanner numbered (3 on, up to the first without a value) its record's label."""
        for id_ in REPOINTED:
            record = db.lookup.get(id_)
            for entry in self.texts.get(id_, []) if record is not None else []:
                entry[2] = labels.label("enum_%s_%s" % (record.lexicon, self.text(entry[1])))
        for index, dropout in enumerate(self.main):
            if dropout.value == 0:
                break
            if dropout.value > 2:
                self.repoint(db, ID["ECDO"], dropout.value, label=("main", index, "label"))

    # -- the listing ------------------------------------------------------------------------------------------
    def read(self, words, unescape):
        head = words[0]
        if head == "D":
            table = self.main if words[1] == "main" else self.custom
            table[int(words[2])] = Dropout(int(words[3]), *(unescape(word) for word in words[4:8]))
        elif head == "K":
            self.loaded, self.custom_loaded = words[1] == "1", words[2] == "1"
            self.names = [unescape(word) for word in words[3:7]]
        elif head == "O":
            self.override = [int(word) for word in words[1:4]]
        elif head == "Q":
            self.learning = unescape(words[1])
        elif head == "T":
            self.colortables[int(words[1])] = ColorTable(int(words[2]), unescape(words[3]), unescape(words[4]),
                                                         int(words[5]))
        elif head == "Y":
            self.texts.setdefault(int(words[1]), []).append([int(words[2]), unescape(words[3]), unescape(words[4])])

    def render(self, escape):
        lines = []
        for list_name, table in (("main", self.main), ("custom", self.custom)):
            lines.extend("D %s %d %d %s %s %s %s" % (list_name, index, record.value, escape(record.name),
                                                     escape(record.flatbed), escape(record.label),
                                                     escape(record.kind))
                         for index, record in enumerate(table) if not record.blank())
        lines.append("K %d %d %s" % (self.loaded, self.custom_loaded, " ".join(escape(name) for name in self.names)))
        lines.append("O %d %d %d" % tuple(self.override))
        lines.append("Q %s" % escape(self.learning))
        lines.extend("T %d %d %s %s %d" % (index, record.value, escape(record.name), escape(record.label),
                                           record.default)
                     for index, record in enumerate(self.colortables)
                     if record.value or record.name or record.label)
        for id_ in REPOINTED:
            lines.extend("Y %d %d %s %s" % (id_, value, escape(self.text(lexicon)), escape(self.text(label)))
                         for value, lexicon, label in self.texts.get(id_, []))
        return lines

    # -- the probe's filling, as the device engine fills the lists ---------------------------------------------
    def fill(self, db, default_path, all_path, nexil_off):
        answer = self._fill(db, default_path, all_path, nexil_off)
        self.sync_all(db)
        return answer

    def _fill(self, db, default_path, all_path, nexil_off):
        self.clear_dropouts()
        label = labels.label("enum_ecdo_(none)") if db.labels_loaded else "???"
        self.main[0] = Dropout(2, "(none)", "(none)", label, "normal")
        self.custom[0] = Dropout(2, "(none)", "(none)", label, "discovery")
        if nexil_off:
            return "ok 0 0"
        parsed = parse_getecdo(open(all_path if db.config.exists("ecdocustom", 1) else default_path).read())
        if parsed is None:
            return "error reply"
        main, custom = parsed
        index = 1
        for group in ("pmcdo", "normalformdata", ""):
            for name, text, algorithm in main:
                if (algorithm == group) if group else algorithm not in ("pmcdo", "normalformdata"):
                    self.main[index] = choice(name, text, algorithm)
                    index += 1
        for index, (name, text, algorithm) in enumerate(custom, 1):
            self.custom[index] = choice(name, text, algorithm)
        return "ok %d %d" % (len(main), len(custom))


def choice(name, text, algorithm):
    return Dropout(0, name[:NAME - 1], name[:FLATBED - 1], text[:LABEL - 1], algorithm[:KIND - 1])


def unescape_xml(text):
    for entity, character in (("&amp;", "&"), ("&lt;", "<"), ("&gt;", ">"), ("&apos;", "'"), ("&quot;", '"')):
        text = text.replace(entity, character)
    return text


def parse_getecdo(reply):
    """The choices of a getecdo reply, (scanner's, custom) as (name, text, algorithm), the engine's 62 and 9 at
    most; None when the reply does not report success."""
    status = re.search(r"<reportstatus>\s*<status>([^<]*)</status>", reply)
    if not status or status.group(1) != "success":
        return None
    main, custom = [], []
    start, end = reply.find("<reportecdo>"), reply.find("</reportecdo>")
    if start < 0 or end < 0:
        return main, custom
    choices = []
    for match in re.finditer(r"<(ecdo|text|algorithm)>([^<]*)</(ecdo|text|algorithm)>", reply[start:end]):
        tag, text = match.group(1), unescape_xml(match.group(2))
        if tag == "ecdo":
            choices.append([text, "", ""])
        elif choices:
            choices[-1][1 if tag == "text" else 2] = text
    for name, text, algorithm in choices:
        if len(main) >= 62 or len(custom) >= 9:
            break
        algorithm = algorithm or "normal"
        (main if algorithm in ("normal", "normalformdata", "pmcdo") else custom).append((name, text, algorithm))
    return main, custom
