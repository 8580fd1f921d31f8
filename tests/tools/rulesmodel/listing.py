"""The probe's listings (tests/tools/rulesprobe/rules_listing.cpp): read into a database, written back from one
in the same form, and hashed as the probe hashes them."""
from .database import Config, Database, Datum, Lookup
from .names import WINDOWS


def escape(text):
    if not text:
        return "%"
    out = []
    for byte in text.encode("utf-8"):
        out.append(chr(byte) if 0x20 < byte < 0x7f and byte != 0x25 else "%%%02X" % byte)
    return "".join(out)


def unescape(text):
    if text == "%":
        return ""
    data = bytearray()
    index = 0
    raw = text.encode("ascii")
    while index < len(raw):
        if raw[index] == 0x25 and index + 2 < len(raw):
            data.append(int(raw[index + 1:index + 3], 16))
            index += 3
        else:
            data.append(raw[index])
            index += 1
    return data.decode("utf-8", "surrogateescape")


def fnv1a(text):
    value = 0xcbf29ce484222325
    for byte in text.encode("utf-8", "surrogateescape"):
        value = ((value ^ byte) * 0x100000001b3) & 0xffffffffffffffff
    return value


def _items(words):
    return [int(word) for word in words]


def read_state(db, text):
    """Fills a database from a state listing."""
    for line in text.splitlines():
        words = line.split()
        if not words:
            continue
        head = words[0]
        if head == "windows":
            db.windows = int(words[1])
        elif head == "state":
            db.state = int(words[1])
        elif head == "error":
            db.errors[words[1]] = unescape(words[2])
        elif head in ("E", "R", "S", "W"):
            w, id_, bin_, access, device = (int(word) for word in words[1:6])
            datum = Datum(w, id_, bin_, head, access, device)
            rest = words[6:]
            if head == "S":
                datum.maxlen = int(rest[0])
                datum.scur, datum.sdef, datum.sprev, datum.sprof = (unescape(word) for word in rest[1:5])
            else:
                datum.cur, datum.dflt, datum.prev, datum.prof = (int(word) for word in rest[:4])
                if head == "R":
                    datum.min, datum.max, datum.step, datum.dmin, datum.dmax, datum.dstep = (
                        int(word) for word in rest[4:10])
                elif head == "E":
                    second = rest.index(":", 5)
                    datum.cur_items = _items(rest[5:second])
                    datum.def_items = _items(rest[second + 1:])
            db.datums[datum.key] = datum
        elif head == "N":
            kind, numbers = words[1], [int(word) for word in words[2:]]
            if kind == "value":
                db.notify_value.add(tuple(numbers))
            elif kind == "profiles":
                db.notify_profiles.add(tuple(numbers))
            elif kind == "access":
                db.notify_access.add(tuple(numbers))
            elif kind == "constraint":
                db.notify_constraint.add(tuple(numbers))
            elif kind == "sides":
                db.notify_sides[numbers[0]] = (numbers[1], numbers[2])
            elif kind == "images":
                db.notify_images[numbers[0]] = (numbers[1], numbers[2])
    return db


def read_config(text):
    records = []
    for line in text.splitlines():
        words = line.split()
        if len(words) == 4 and words[0] == "C":
            records.append((unescape(words[1]), int(words[2]), None if words[3] == "-" else unescape(words[3][1:])))
    return Config(records)


def read_lookup(text):
    lookup = {}
    for line in text.splitlines():
        words = line.split()
        if len(words) < 6 or words[0] != "L":
            continue
        enums = []
        for word in words[6:]:
            value, _, name = word.partition("=")
            enums.append((int(value), unescape(name)))
        id_ = int(words[1])
        lookup[id_] = Lookup(id_, unescape(words[2]), unescape(words[3]), unescape(words[4]), int(words[5]), enums)
    return lookup


def load(state, config, lookup, rules):
    db = read_state(Database(), state)
    db.config = read_config(config)
    db.lookup = read_lookup(lookup)
    db.rules = rules
    return db


def _datum_line(datum):
    head = "%s %d %d %d %d %d" % (datum.kind, datum.w, datum.id, datum.bin, datum.access, datum.device)
    if datum.kind == "S":
        return "%s %d %s %s %s %s" % (head, datum.maxlen, escape(datum.scur), escape(datum.sdef),
                                      escape(datum.sprev), escape(datum.sprof))
    line = "%s %d %d %d %d" % (head, datum.cur, datum.dflt, datum.prev, datum.prof)
    if datum.kind == "R":
        line += " %d %d %d %d %d %d" % (datum.min, datum.max, datum.step, datum.dmin, datum.dmax, datum.dstep)
    elif datum.kind == "E":
        line += " :" + "".join(" %d" % item for item in datum.cur_items)
        line += " :" + "".join(" %d" % item for item in datum.def_items)
    return line


def render_state(db):
    lines = ["windows %d" % db.windows, "state %d" % db.state, "error printer %s" % escape(db.errors["printer"]),
             "error imageaddress %s" % escape(db.errors["imageaddress"])]
    for w in range(WINDOWS):
        for id_ in range(1, 253):
            for bin_ in range(1, 6):
                datum = db.datums.get((w, id_, bin_))
                if datum is not None:
                    lines.append(_datum_line(datum))
    for id_ in range(1, 253):
        for bin_ in range(1, 6):
            for w in range(WINDOWS):
                if (w, bin_, id_) in db.notify_value:
                    lines.append("N value %d %d %d" % (w, bin_, id_))
                if (w, bin_, id_) in db.notify_profiles:
                    lines.append("N profiles %d %d %d" % (w, bin_, id_))
            if (bin_, id_) in db.notify_access:
                lines.append("N access %d %d" % (bin_, id_))
            if (bin_, id_) in db.notify_constraint:
                lines.append("N constraint %d %d" % (bin_, id_))
        for kind, table in (("sides", db.notify_sides), ("images", db.notify_images)):
            if id_ in table:
                lines.append("N %s %d %d %d" % (kind, id_, table[id_][0], table[id_][1]))
    return "\n".join(lines) + "\n"


def state_hash(db):
    return "%016x" % fnv1a(render_state(db))
