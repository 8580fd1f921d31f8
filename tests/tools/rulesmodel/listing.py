"""The probe's listings (tests/tools/rulesprobe/rules_listing.cpp): read into a database, written back from one
in the same form, and hashed as the probe hashes them."""
import zlib

from . import profiles
from .database import Config, Database, Datum, Lookup
from .names import ID, MACHINE, WINDOWS


def escape(text):
    if not text:
        return "%"
    out = []
    for byte in text.encode("utf-8", "surrogateescape"):
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
        elif head in ("D", "K", "O", "Q", "T", "Y"):
            db.colour.read(words, unescape)
    return db


def read_config(text):
    records = []
    for line in text.splitlines():
        words = line.split()
        if len(words) == 4 and words[0] == "C":
            records.append((unescape(words[1]), int(words[2]), None if words[3] == "-" else unescape(words[3][1:])))
    return Config(records)


def read_user_directory(text):
    """The user's profile directory the configuration listing ends with; None when the library has none."""
    for line in text.splitlines():
        words = line.split()
        if len(words) == 3 and words[:2] == ["D", "user"]:
            return unescape(words[2]) or None
    return None


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
    db.user_directory = read_user_directory(config)
    db.lookup = read_lookup(lookup)
    for id_ in db.colour.texts:
        db.colour.sync(db, id_)
    db.rules = rules
    response = db.slot(0, ID["TRANSPORTTIMEOUTRESPONSE"], MACHINE)
    if response is not None and db.access(response) != 0:
        db.shared_response = db.default_long(response)
    profiles.remember_shared(db)
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
    """The listing, in the probe's order: datums by window, id and bin; then the notifications by id, within
    it by bin (value and profiles by window, then access and constraint), then sides and images; then the
    colour lists (colourlists.py)."""
    lines = ["windows %d" % db.windows, "state %d" % db.state, "error printer %s" % escape(db.errors["printer"]),
             "error imageaddress %s" % escape(db.errors["imageaddress"])]
    datums = db.datums
    lines.extend(_datum_line(datums[key]) for key in sorted(datums))
    entries = []
    for rank, table in ((0, db.notify_value), (1, db.notify_profiles)):
        entries.extend(((id_, bin_, 0, w, rank), "N %s %d %d %d" % (("value", "profiles")[rank], w, bin_, id_))
                       for w, bin_, id_ in table)
    for rank, table in ((0, db.notify_access), (1, db.notify_constraint)):
        entries.extend(((id_, bin_, 1, rank, 0), "N %s %d %d" % (("access", "constraint")[rank], bin_, id_))
                       for bin_, id_ in table)
    for rank, table in ((0, db.notify_sides), (1, db.notify_images)):
        entries.extend(((id_, 6, rank, 0, 0), "N %s %d %d %d" % (("sides", "images")[rank], id_, w, bin_))
                       for id_, (w, bin_) in table.items())
    lines.extend(text for _, text in sorted(entries))
    lines.extend(db.colour.render(escape))
    return "\n".join(lines) + "\n"


def state_hash(db):
    """CRC-32 of the listing, as the probe's statehash."""
    return "%08x" % zlib.crc32(render_state(db).encode("utf-8", "surrogateescape"))
