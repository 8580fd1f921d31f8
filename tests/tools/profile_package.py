"""Profile packages read and written from their byte layout alone: the 16-byte cookie, the file contents back to
back, and the "packagelist" footer found by searching backwards for its start tag. The oracle for the driver's
export and the maker of packages (good and bad) for its import.

    python3 profile_package.py read PACKAGE DIRECTORY    unpack PACKAGE into DIRECTORY (which must not exist)
    python3 profile_package.py write DIRECTORY PACKAGE   pack DIRECTORY depth first into PACKAGE"""
import os
import sys
import xml.etree.ElementTree as ElementTree

COOKIE = b"*PROFILEPACKAGE*"


def read(data):
    """The package's items as (type, path, content) with content None for directories; ValueError when the
    package does not hold to the layout."""
    if data[:16] != COOKIE:
        raise ValueError("no cookie")
    start = data.rfind(b"<packagelist>")
    if start < 16:
        raise ValueError("no footer")
    items = []
    for item in ElementTree.fromstring(data[start:]).iter("packageitem"):
        kind = item.findtext("type")
        if kind == "cookie":
            continue
        path = item.findtext("path") or ""
        if kind == "directory":
            items.append((kind, path, None))
            continue
        offset, size = int(item.findtext("offset")), int(item.findtext("bytes"))
        if offset < 16 or offset + size > start:
            raise ValueError("item outside the contents: " + path)
        items.append((kind, path, data[offset:offset + size]))
    return items


def write(items):
    """A package of (type, path, content) items, in their order."""
    contents, footer = bytearray(), ["<packagelist>",
                                     "\t<packageitem>\n\t\t<type>cookie</type>\n\t\t<offset>0</offset>\n"
                                     "\t\t<bytes>16</bytes>\n\t</packageitem>"]
    for kind, path, content in items:
        if kind == "directory":
            footer.append("\t<packageitem>\n\t\t<type>directory</type>\n\t\t<path><![CDATA[%s]]></path>\n"
                          "\t</packageitem>" % path)
        else:
            footer.append("\t<packageitem>\n\t\t<type>file</type>\n\t\t<offset>%d</offset>\n\t\t<bytes>%d</bytes>\n"
                          "\t\t<path><![CDATA[%s]]></path>\n\t</packageitem>" % (16 + len(contents), len(content), path))
            contents += content
    footer.append("</packagelist>\n")
    return COOKIE + bytes(contents) + "\n".join(footer).encode()


def walk(directory, relative=""):
    """The directory's entries depth first as package items."""
    items = []
    for name in sorted(os.listdir(os.path.join(directory, relative))):
        path = os.path.join(relative, name) if relative else name
        full = os.path.join(directory, path)
        if os.path.isdir(full) and not os.path.islink(full):
            items.append(("directory", path, None))
            items += walk(directory, path)
        elif os.path.isfile(full) and not os.path.islink(full):
            with open(full, "rb") as stream:
                items.append(("file", path, stream.read()))
    return items


def unpack(items, directory):
    os.makedirs(directory)
    for kind, path, content in items:
        target = os.path.join(directory, path)
        if kind == "directory":
            os.makedirs(target, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as stream:
                stream.write(content)


def main(argv):
    if len(argv) != 4 or argv[1] not in ("read", "write"):
        print(__doc__)
        return 2
    if argv[1] == "read":
        with open(argv[2], "rb") as stream:
            unpack(read(stream.read()), argv[3])
    else:
        with open(argv[3], "wb") as stream:
            stream.write(write(walk(argv[2])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
