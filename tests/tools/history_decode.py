"""A scan history file (".hst") decoded from its format alone: the tests' oracle for what the writer wrote and
their tool for crafting bad files. Nothing is shared with the library.

    history_decode.py summary FILE        the file as JSON (see summary())
    history_decode.py cut FILE SIZE       the file cut to SIZE bytes
    history_decode.py patch FILE OFFSET HEX   bytes written over the file at OFFSET
    history_decode.py append FILE HEX     bytes added at the end

A file that does not decode exits 1 with the reason on stderr (summary prints what came before it)."""
import json
import struct
import sys
import xml.etree.ElementTree as ET

GLOBAL_SIZE = 273
NAME = 32
SLOTS = 6

FIXED = {"0": NAME, "1": NAME, "2": 8, "3": NAME * SLOTS, "4": 4, "a": 2, "b": 4, "N": 1, "O": 2, "P": 4, "Q": 1,
         "R": 2, "S": 4, "T": 1, "U": 2, "V": 4, "W": 1, "z": 0}
for _index, _tag in enumerate("HIJKLM"):
    FIXED[_tag] = 0
for _index, _tag in enumerate("ABCDEF"):
    FIXED[_tag] = 6 + _index + 1
LENGTH_FIELD = {"X": 1, "Y": 2, "Z": 4}  # every other tag not above: u32 length ("c", "d", "e", unknown)
COUNT_WIDTH = {"N": 1, "O": 2, "P": 4, "Q": 1, "R": 2, "S": 4, "T": 1, "U": 2, "V": 4}
CAMERAS = ["fb00", "rb00", "fc00", "rc00"]


class Torn(Exception):
    """The bytes end inside a record."""


def records(data, offset=0):
    """(tag, start, payload offset, payload length) of each record; Torn at a record the data ends inside."""
    while offset < len(data):
        tag = chr(data[offset])
        payload = offset + 1
        if tag in FIXED:
            length = FIXED[tag]
        elif tag == "G":
            end = data.find(b"\0", payload)
            if end < 0:
                raise Torn("application name without its end at %d" % offset)
            length = end + 1 - payload
        else:
            width = LENGTH_FIELD.get(tag, 4)
            if payload + width > len(data):
                raise Torn("length field cut at %d" % offset)
            length = int.from_bytes(data[payload:payload + width], "little")
            payload += width
        if payload + length > len(data):
            raise Torn("record %r at %d ends beyond the file" % (tag, offset))
        yield tag, offset, payload, length
        offset = payload + length


def text(raw):
    return raw.split(b"\0", 1)[0].decode("latin-1")


def attributes(document):
    """{id: attribute byte} of a "d" table."""
    table = {}
    for item in ET.fromstring(document):
        table[int(item.findtext("i"))] = int(item.findtext("m"))
    return table


def statuses(document):
    return {int(item.findtext("i")): item.findtext("t") for item in ET.fromstring(document)}


def decode_block(block, table):
    """{id: value} of a settings block; a camera capability's value is {camera: value}."""
    same_sides = bool(block[0] & 1)
    values = {}
    offset = 1

    def value(attribute):
        nonlocal offset
        kind = attribute & 3
        if kind == 3:
            end = block.index(b"\0", offset)
            result = block[offset:end].decode("latin-1")
            offset = end + 1
        elif kind == 2 or attribute & 8:
            result = block[offset]
            offset += 1
        else:
            result = struct.unpack_from("<I", block, offset)[0]
            offset += 4
        return result

    while offset < len(block):
        ident = block[offset]
        offset += 1
        attribute = table.get(ident, 0)
        cameras = attribute >> 4
        if not cameras:
            values[ident] = value(attribute)
        elif cameras == 15 and attribute & 3 == 2 and block[offset] & 0x80:
            values[ident] = {camera: block[offset] & 0x7f for camera in CAMERAS}
            offset += 1
        else:
            per = {}
            for index, camera in enumerate(CAMERAS):
                if not cameras & (1 << index):
                    continue
                if same_sides and index in (1, 3):
                    per[camera] = per[CAMERAS[index - 1]]
                    continue
                per[camera] = value(attribute)
            values[ident] = per
    return values


def end_time(start, stored):
    return start[:6 - len(stored)] + stored


def decode(data):
    """The file as a dictionary; "error" names what did not decode (None when all did)."""
    result = {"size": len(data), "global": {}, "headers": [], "scans": [], "records": [], "error": None}
    table = {}
    previous_block = None
    scan = None
    try:
        for tag, start, payload, length in records(data):
            body = data[payload:payload + length]
            result["records"].append([tag, start, payload, length])
            glob = result["global"]
            if tag == "0":
                glob["serial"] = text(body)
                glob["serial_raw"] = body.hex()
            elif tag == "1":
                glob["model"] = text(body)
            elif tag == "2":
                glob["lastdb"] = list(struct.unpack("<II", body))
                glob["lastdb_at"] = payload
            elif tag == "3":
                glob["apps"] = [text(body[i * NAME:(i + 1) * NAME]) for i in range(SLOTS)]
                glob["apps_at"] = payload
            elif tag == "4":
                glob["version"] = struct.unpack("<I", body)[0]
                glob["version_at"] = payload
            elif tag == "a":
                result["headers"].append({"at": start, "header_version": struct.unpack("<H", body)[0]})
            elif tag == "b":
                result["headers"][-1]["driver"] = struct.unpack("<I", body)[0]
            elif tag == "c":
                result["headers"][-1]["lookup_length"] = length
                result["headers"][-1]["lookup_at"] = payload
            elif tag == "d":
                table = attributes(body.decode())
                result["headers"][-1]["attributes"] = {str(k): v for k, v in table.items()}
            elif tag == "e":
                result["headers"][-1]["statuses"] = statuses(body.decode())
            elif tag in "ABCDEF":
                scan = {"at": start, "time_tag": tag, "start": list(body[:6]), "end": list(end_time(body[:6], body[6:])),
                        "end_stored": list(body[6:])}
                result["scans"].append(scan)
            elif tag == "G":
                scan["app_tag"], scan["app"] = "G", body[:-1].decode("latin-1")
            elif tag in "HIJKLM":
                scan["app_tag"], scan["app"] = tag, result["global"]["apps"]["HIJKLM".index(tag)]
            elif tag in COUNT_WIDTH:
                name = {"N": "images", "O": "images", "P": "images", "Q": "sheets", "R": "sheets", "S": "sheets"}.get(
                    tag, "multifeeds")
                scan[name] = int.from_bytes(body, "little")
                scan[name + "_tag"] = tag
            elif tag == "W":
                scan["status"] = body[0]
            elif tag in "XYZ":
                scan["settings_tag"] = tag
                scan["block_at"] = payload
                scan["block_length"] = length
                previous_block = body
                scan["settings"] = {str(k): v for k, v in decode_block(body, table).items()}
                scan["end_at"] = payload + length
            elif tag == "z":
                scan["settings_tag"] = "z"
                scan["end_at"] = payload
                if previous_block is not None:
                    scan["settings"] = {str(k): v for k, v in decode_block(previous_block, table).items()}
    except Torn as torn:
        result["error"] = str(torn)
    except Exception as exception:  # a record whose contents do not decode
        result["error"] = "%s: %s" % (type(exception).__name__, exception)
    return result


def summary(path):
    with open(path, "rb") as handle:
        return decode(handle.read())


def main(argv):
    command, path = argv[1], argv[2]
    if command == "summary":
        result = summary(path)
        json.dump(result, sys.stdout)
        sys.stdout.write("\n")
        if result["error"]:
            sys.stderr.write(result["error"] + "\n")
            return 1
        return 0
    with open(path, "r+b") as handle:
        if command == "cut":
            handle.truncate(int(argv[3]))
        elif command == "patch":
            handle.seek(int(argv[3]))
            handle.write(bytes.fromhex(argv[4]))
        elif command == "append":
            handle.seek(0, 2)
            handle.write(bytes.fromhex(argv[3]))
        else:
            sys.stderr.write("unknown command %s\n" % command)
            return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
