#!/usr/bin/env python3
"""Checks a compiled database resource against its format.

    dbresource.py lookup|database|labels FILE

Exit status 0 when the file is well-formed in every respect the format
fixes (counts, bytes, element order, number forms, no white space between
elements); 1 with one line on standard error naming the first fault; 2 on
bad usage. Standard library only.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

HEX = r"(?:0|[1-9a-f][0-9a-f]{0,7})"      # lower case, no leading zeros, 32 bits
NUMBER = re.compile(HEX + r"\Z")
NUMBER_OR_EMPTY = re.compile(r"(?:" + HEX + r")?\Z")
COUNT = r"([0-9a-f]{6})"
LANGUAGES = "cdefghijklmnopqrstu"       # en_usa, ar_arb, ch_chn ... tr_tur in table order
LANGUAGE_NAMES = ["en_usa", "ar_arb", "ch_chn", "ch_twn", "cs_cze", "de_deu", "el_grc", "es_esp", "fr_fra", "hu_hun",
                  "it_ita", "jp_jpn", "ko_kor", "nl_nld", "pl_pol", "pt_bra", "ro_rom", "ru_rus", "tr_tur"]


class Fault(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Fault(message)


def read(path):
    data = open(path, "rb").read()
    check(not data.startswith(b"\xef\xbb\xbf"), "byte-order mark")
    check(not data.endswith(b"\0"), "terminating NUL")
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise Fault("not UTF-8: %s" % error)
    try:
        ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        raise Fault("not well-formed: %s" % error)
    return data, text


class Elements:
    """The leaf elements of a body, one after the other: <name>content</name>."""

    LEAF = re.compile(r"<([A-Za-z_][A-Za-z0-9_]*)>((?:<!\[CDATA\[.*?\]\]>)|[^<]*)</\1>", re.S)

    def __init__(self, text):
        self.text, self.pos = text, 0

    def peek(self, tag):
        return self.text.startswith("<%s>" % tag, self.pos)

    def open(self, tag):
        check(self.peek(tag), "expected <%s> at %d: %r" % (tag, self.pos, self.text[self.pos:self.pos + 30]))
        self.pos += len(tag) + 2

    def close(self, tag):
        check(self.text.startswith("</%s>" % tag, self.pos), "expected </%s> at %d" % (tag, self.pos))
        self.pos += len(tag) + 3

    def leaf(self, tag, pattern=None):
        match = self.LEAF.match(self.text, self.pos)
        check(match and match.group(1) == tag, "expected <%s>…</%s> at %d" % (tag, tag, self.pos))
        self.pos = match.end()
        content = match.group(2)
        if pattern is not None:
            check(pattern.match(content), "bad number <%s>%s</%s> at %d" % (tag, content, tag, match.start()))
        return content

    def done(self):
        return self.pos == len(self.text)


def root(text, name, attributes):
    head = re.match(r"<%s %s>" % (name, " ".join("%s='%s'" % (a, COUNT) for a in attributes)), text)
    check(head, "root <%s> with %s as six lower-case hex digits" % (name, ", ".join(attributes)))
    tail = "</%s>" % name
    check(text.endswith(tail), "document does not end with %s" % tail)
    return [int(value, 16) for value in head.groups()], text[head.end():len(text) - len(tail)]


def lookup(data, text):
    (size, records, enums), body = root(text, "lookup", ("bytes", "records", "enums"))
    check(size == len(data), "bytes %d, file %d" % (size, len(data)))
    elements, count, values = Elements(body), 0, 0
    while not elements.done():
        elements.leaf("a")
        elements.leaf("b", NUMBER_OR_EMPTY)
        elements.leaf("c")
        elements.leaf("k", NUMBER_OR_EMPTY)
        elements.leaf("l")
        count += 1
        if elements.peek("Z"):
            elements.open("Z")
            check(elements.peek("l"), "empty <Z>")
            while elements.peek("l"):
                elements.leaf("l")
                elements.leaf("m", NUMBER_OR_EMPTY)
                elements.leaf("n")
                values += 1
            elements.close("Z")
    check(records == count - 1, "records %d for %d records" % (records, count))
    check(enums == values - 1, "enums %d for %d values" % (enums, values))


def database(data, text):
    (size, records, enums), body = root(text, "db", ("bytes", "records", "enums"))
    check(size == len(data), "bytes %d, file %d" % (size, len(data)))
    check(body.startswith("<H>") and "</H>" in body, "no header <H>")
    elements = Elements(body)
    elements.pos = body.index("</H>") + 4
    count, items = 0, 0
    while not elements.done():
        kind = next((k for k in "ERS" if elements.peek(k)), None)
        check(kind, "expected <E>, <R> or <S> at %d" % elements.pos)
        elements.open(kind)
        for tag in "abc":
            elements.leaf(tag, NUMBER)
        count += 1
        for bin_ in ("M", "BF", "BR", "CF", "CR"):
            if not elements.peek(bin_):
                continue
            elements.open(bin_)
            elements.leaf("d", NUMBER)
            elements.leaf("e", NUMBER)
            if kind == "E":
                while elements.peek("f"):
                    elements.leaf("f", NUMBER)
                    items += 1
            elif kind == "R":
                for tag in "fgh":
                    elements.leaf(tag, NUMBER)
            else:
                check(re.match(r"<!\[CDATA\[", elements.leaf("f")), "string default outside CDATA")
            elements.close(bin_)
        elements.close(kind)
    check(records == count - 1, "records %d for %d records" % (records, count))
    check(enums == items - 1, "enums %d for %d list items" % (enums, items))


def labels(data, text):
    head = re.match(r"<labels bytes='%s' records='%s'><a>bytes=%s,0</a>" % (COUNT, COUNT, COUNT), text)
    check(head, "labels header")
    size, records, tagbytes = (int(value, 16) for value in head.groups())
    columns = []
    pos = head.end()
    for match in re.finditer(r"<([a-z][a-z]_[a-z]{3})>bytes=%s,([1-9a-f][0-9a-f]*)</\1>" % COUNT, text[pos:]):
        if match.start() != pos - head.end():
            break
        check(match.group(1) in LANGUAGE_NAMES, "unknown language <%s>" % match.group(1))
        letter = LANGUAGES[LANGUAGE_NAMES.index(match.group(1))]
        columns.append((letter, int(match.group(2), 16), int(match.group(3), 16)))
        pos = head.end() + match.end()
    check(text.startswith("<endlangs></endlangs>", pos), "no <endlangs> after the column list")
    letters = [letter for letter, _, _ in columns]
    check(letters == sorted(letters, key=LANGUAGES.index) and all(l in LANGUAGES for l in letters),
          "languages out of table order: %s" % "".join(letters))
    check([number for _, _, number in columns] == list(range(1, len(columns) + 1)), "columns not 1, 2, 3...")
    records_text = text[pos + len("<endlangs></endlangs>"):]
    check(size == len(records_text.encode()), "bytes %d, records text %d" % (size, len(records_text.encode())))
    check(records_text.endswith("</labels>"), "no </labels>")
    elements = Elements(records_text[:-len("</labels>")])
    count, sums = 0, [0] * len(columns)
    tags = 0
    while not elements.done():
        tags += len(elements.leaf("a").encode()) + 1
        count += 1
        for index, (letter, _, _) in enumerate(columns):
            content = elements.leaf(letter)
            cdata = re.match(r"<!\[CDATA\[(.*)\]\]>\Z", content, re.S)
            plain = cdata.group(1) if cdata else content
            check(bool(cdata) == any(ch in plain for ch in "<>&"), "CDATA where not needed or missing: %r" % plain)
            sums[index] += len(plain.encode()) + 1
    check(records == count + 1, "records %d for %d labels" % (records, count))
    check(tagbytes == tags, "tag column bytes %d, tags %d" % (tagbytes, tags))
    for (letter, size_, _), total in zip(columns, sums):
        check(size_ == total, "column <%s> bytes %d, texts %d" % (letter, size_, total))


def main(argv):
    checks = {"lookup": lookup, "database": database, "labels": labels}
    if len(argv) != 3 or argv[1] not in checks:
        sys.stderr.write(__doc__)
        return 2
    try:
        checks[argv[1]](*read(argv[2]))
    except Fault as fault:
        sys.stderr.write("%s: %s\n" % (argv[2], fault))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
