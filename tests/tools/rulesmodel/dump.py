"""The text dump of a database (CDatabase::Dump, db/db_cdatabase_dump.cpp): every window-0 datum of bins 1 to 5
with its access, consumers, values, lists and pending notifications, CR LF line ends."""
from .names import WINDOWS

BIN_HEADERS = {1: "DB_BIN_MACHINE", 2: "DB_BIN_BITONAL_FRONT", 3: "DB_BIN_BITONAL_REAR", 4: "DB_BIN_COLOR_FRONT",
               5: "DB_BIN_COLOR_REAR"}
ACCESS = ["undefined", "disabled", "hidden", "readonly", "readwrite", "readwritedisabled", "readwritehidden",
          "readonlyhidden"]
DEVICE = {1: "fwadf", 2: "fwflatbed", 4: "fwadfflatbed", 8: "nexil", 64: "fwadfflatbednexil"}


def _notify_text(db, datum):
    names = []
    key_window = (0, datum.bin, datum.id)
    key_bin = (datum.bin, datum.id)
    if key_window in db.notify_value:
        names.append("DB_NOTIFY_VALUE")
    if key_bin in db.notify_access:
        names.append("DB_NOTIFY_ACCESS")
    if key_bin in db.notify_constraint:
        names.append("DB_NOTIFY_CONSTRAINT")
    if key_window in db.notify_profiles:
        names.append("DB_NOTIFY_PROFILES")
    if db.notify_sides.get(datum.id) == (0, datum.bin):
        names.append("DB_NOTIFY_SIDES")
    if db.notify_images.get(datum.id) == (0, datum.bin):
        names.append("DB_NOTIFY_IMAGES")
    return ",".join(names)


def _name(db, datum):
    record = db.lookup.get(datum.id)
    if record is None or not record.name:
        return "???"
    return record.name[6:] if record.name.startswith("DB_ID_") else record.name


def render(db):
    lines = []
    for bin_ in range(1, 6):
        lines.append("\r\n%s\r\n" % BIN_HEADERS[bin_])
        for id_ in range(1, 253):
            datum = db.slot(0, id_, bin_)
            if datum is None or datum.w >= WINDOWS:
                continue
            notify, name = _notify_text(db, datum), _name(db, datum)
            access = db.access(datum)
            if access == 0:
                lines.append("%4d %-32s undefined (%s)\r\n" % (id_, name, notify))
                continue
            head = "%4d %-32s %s(%s,%s,%s): " % (id_, name, {"R": "range", "E": "enum", "S": "string"}[datum.kind],
                                                ACCESS[access] if 0 <= access < len(ACCESS) else "unknown",
                                                "string" if datum.kind == "S" else "long",
                                                DEVICE.get(db.device_data(datum), "unknown"))
            if datum.kind == "R":
                lines.append("%s%d %d %d %d, %d %d %d %d (%s)\r\n" % (
                    head, datum.cur, datum.min, datum.max, datum.step, db.default_long(datum), datum.dmin,
                    datum.dmax, datum.dstep, notify))
            elif datum.kind == "E":
                lines.append("%s%d %d (%s)\r\n" % (head, datum.cur, db.default_long(datum), notify))
                for items in (datum.cur_items, datum.def_items):
                    lines.append("\t%d\r\n" % len(items))
                    lines.extend("\t  %d\r\n" % item for item in items)
            else:
                lines.append("%s%d <%s> <%s> (%s)\r\n" % (head, datum.maxlen, datum.scur, datum.sdef, notify))
    return "".join(lines)
