#!/usr/bin/env python3
"""A user-interface peer of the driver's link, written from the framing rules alone: the independent judge of
the task ids and byte counts the link writes. Started by the link as its child, it reads the channels' addresses
from PMX_UISOCKETS (TCP, or POSIX message queues through ctypes on librt; not shared memory), connects to
"drv2gui" (it reads) and "gui2drv" (it writes), cuts what it reads by bytes= alone, and logs every task to
UIPEER_LOG in the stand-in's format: "recv MS ID REPLY BYTES LENGTH COMMAND" (and "sent ..." for what it writes),
"error MS TEXT", "exit MS STATUS REASON". A frame whose bytes= is not its exact length, or that is not one task
ending in </task>, is an error, and so is an id that does not follow the last one.

UIPEER_SCRIPT: steps, one a line: "send NAME", "pair NAME NAME" (two tasks in one write), "split N NAME" (one task
in N writes, 50 ms apart), "big BYTES NAME" (one task of exactly BYTES bytes), "flood N NAME", "wait NAME",
"sleep MS", "exit". It sends "uiready" first and ends on "uiexit" or "interfaceclose", at the channel's end or
when its parent ends."""
import ctypes
import os
import re
import socket
import sys
import threading
import time
import xml.etree.ElementTree as ET

HEADER = re.compile(rb"<task id='([^']*)' reply='([^']*)' bytes='([^']*)'>")
BYTES = b"bytes='"
HEADER_LIMIT = 1024
MAX_TASK = 16 << 20
EXIT_TASKS = ("uiexit", "interfaceclose")


class Log:
    def __init__(self, path):
        self.file = open(path, "a", buffering=1) if path else None
        self.lock = threading.Lock()

    def line(self, *fields):
        if self.file:
            with self.lock:
                self.file.write("\t".join(str(f).replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
                                          for f in fields) + "\n")

    def task(self, kind, data):
        match = HEADER.match(data)
        ident, reply, size = (g.decode(errors="replace") for g in match.groups()) if match else ("-", "-", "-")
        command = re.search(rb">\s*<([A-Za-z0-9_]+)", data)
        self.line(kind, int(time.time() * 1000), ident, reply, size, len(data),
                  command.group(1).decode() if command else "")


class TcpChannel:
    def __init__(self, address, port):
        self.sock = socket.create_connection((address or "127.0.0.1", int(port)))

    def read(self):
        return self.sock.recv(65536)

    def write(self, data):
        self.sock.sendall(data)


class QueueChannel:
    """One POSIX message queue; the link's side created it, this side opens it and removes its name."""

    class Attr(ctypes.Structure):
        _fields_ = [("flags", ctypes.c_long), ("maxmsg", ctypes.c_long), ("msgsize", ctypes.c_long),
                    ("curmsgs", ctypes.c_long), ("reserved", ctypes.c_long * 4)]

    class Timespec(ctypes.Structure):
        _fields_ = [("sec", ctypes.c_long), ("nsec", ctypes.c_long)]

    rt = None

    def __init__(self, port, reading):
        if QueueChannel.rt is None:
            QueueChannel.rt = ctypes.CDLL("librt.so.1", use_errno=True)
            for name in ("mq_timedreceive", "mq_timedsend"):
                getattr(QueueChannel.rt, name).restype = ctypes.c_ssize_t
        self.name = ("/" + os.path.basename(port)).encode()
        self.mqd = QueueChannel.rt.mq_open(self.name, os.O_RDONLY if reading else os.O_WRONLY)
        if self.mqd < 0:
            raise OSError(ctypes.get_errno(), "mq_open %s" % self.name)
        QueueChannel.rt.mq_unlink(self.name)
        attr = QueueChannel.Attr()
        QueueChannel.rt.mq_getattr(self.mqd, ctypes.byref(attr))
        self.size = attr.msgsize
        self.parent = os.getppid()

    def deadline(self):
        now = time.time() + 0.2
        return QueueChannel.Timespec(int(now), int((now % 1) * 1e9))

    def read(self):
        buffer = ctypes.create_string_buffer(self.size)
        while os.getppid() == self.parent:
            got = QueueChannel.rt.mq_timedreceive(self.mqd, buffer, self.size, None, ctypes.byref(self.deadline()))
            if got >= 0:
                return buffer.raw[:got]
        return b""

    def write(self, data):
        for at in range(0, len(data), self.size):
            chunk = data[at:at + self.size]
            while QueueChannel.rt.mq_timedsend(self.mqd, chunk, len(chunk), 1, ctypes.byref(self.deadline())) != 0:
                if os.getppid() != self.parent:
                    raise OSError("the parent has ended")


def channel(element, reading):
    text = os.environ.get("PMX_UISOCKETS", "")
    node = ET.fromstring(text).find(element)
    address, port = node.findtext("address") or "", node.findtext("port") or ""
    if address == "@SHAREDMEMORY":
        raise ValueError("shared memory is not spoken here")
    if address == "@MESSAGEQUEUE":
        return QueueChannel(port, reading)
    return TcpChannel(address, port)


class Peer:
    def __init__(self):
        self.log = Log(os.environ.get("UIPEER_LOG"))
        self.next_id = 1
        self.last_id = 0
        self.write_lock = threading.Lock()
        self.received = {}
        self.cond = threading.Condition()
        self.ended = None

    def task(self, name, length=0):
        body, tail = "\t<%s>" % name, "</%s>\n</task>\n" % name
        size = 91 + len(body) + len(tail)
        pad = max(0, length - size)
        head = "<task id='%020d' reply='%020d' bytes='%020d'>\n" % (self.next_id, 0, size + pad)
        self.next_id += 1
        return (head + body + "x" * pad + tail).encode()

    def write(self, data, logged=True):
        with self.write_lock:
            if logged:
                self.log.task("sent", data)
            self.out.write(data)

    def end(self, status, reason):
        with self.cond:
            if self.ended is None:
                self.ended = (status, reason)
            self.cond.notify_all()

    def error(self, text):
        self.log.line("error", int(time.time() * 1000), text)

    def cut(self, buffer):
        """Whole tasks off the front of the buffer, by bytes= alone; the rest."""
        while buffer:
            at = buffer.find(BYTES, 0, HEADER_LIMIT)
            quote = buffer.find(b"'", at + len(BYTES), HEADER_LIMIT) if at >= 0 else -1
            if quote < 0:
                if len(buffer) >= HEADER_LIMIT:
                    raise ValueError("no bytes= in the header")
                return buffer
            digits = buffer[at + len(BYTES):quote]
            if not digits.isdigit() or len(digits) > 20 or not quote < int(digits) <= MAX_TASK:
                raise ValueError("bad bytes= %r" % digits)
            size = int(digits)
            if len(buffer) < size:
                return buffer
            data, buffer = buffer[:size], buffer[size:]
            self.handle(data)
        return buffer

    def handle(self, data):
        self.log.task("recv", data)
        match = HEADER.match(data)
        if not match or not data.rstrip().endswith(b"</task>") or int(match.group(3)) != len(data):
            self.error("a frame that is not one task of its bytes=")
        elif int(match.group(1)) != self.last_id + 1:
            self.error("id %s after %d" % (match.group(1).decode(), self.last_id))
        if match:
            self.last_id = int(match.group(1))
        command = re.search(rb">\s*<([A-Za-z0-9_]+)", data)
        name = command.group(1).decode() if command else ""
        with self.cond:
            self.received[name] = self.received.get(name, 0) + 1
            self.cond.notify_all()
        if name in EXIT_TASKS:
            self.end(0, "the exit task")

    def reader(self):
        buffer = b""
        try:
            while True:
                data = self.inp.read()
                if not data:
                    self.end(0, "the channel ended")
                    return
                buffer = self.cut(buffer + data)
        except Exception as error:  # a bad frame or a broken channel ends the peer
            self.error(str(error))
            self.end(4, str(error))

    def step(self, words):
        verb = words[0]
        if verb == "send":
            self.write(self.task(words[1]))
        elif verb == "pair":
            with self.write_lock:
                first, second = self.task(words[1]), self.task(words[2])
                self.log.task("sent", first)
                self.log.task("sent", second)
                self.out.write(first + second)
        elif verb == "split":
            data = self.task(words[2])
            self.log.task("sent", data)
            chunk = -(-len(data) // int(words[1]))
            for at in range(0, len(data), chunk):
                if at:
                    time.sleep(0.05)
                self.write(data[at:at + chunk], logged=False)
        elif verb == "big":
            self.write(self.task(words[2], int(words[1])))
        elif verb == "flood":
            for _ in range(int(words[1])):
                self.write(self.task(words[2]))
        elif verb == "wait":
            with self.cond:
                self.cond.wait_for(lambda: self.ended or self.received.get(words[1], 0) > 0, 10)
                if self.received.get(words[1], 0) > 0:
                    self.received[words[1]] -= 1
        elif verb == "sleep":
            time.sleep(int(words[1]) / 1000)
        elif verb == "exit":
            self.end(0, "the script")
        else:
            raise ValueError("bad step %r" % " ".join(words))

    def run(self):
        for index, value in enumerate(sys.argv):
            self.log.line("argv", index, value)
        for name, value in os.environ.items():
            self.log.line("env", name, value)
        try:
            self.inp = channel("drv2gui", True)
            self.out = channel("gui2drv", False)
        except Exception as error:
            self.error("cannot connect: %s" % error)
            return 3
        threading.Thread(target=self.reader, daemon=True).start()
        try:
            self.write(self.task("uiready"))
            for line in os.environ.get("UIPEER_SCRIPT", "").splitlines():
                if self.ended:
                    break
                if line.split() and not line.startswith("#"):
                    self.step(line.split())
        except Exception as error:
            self.error(str(error))
            self.end(1, str(error))
        with self.cond:
            self.cond.wait_for(lambda: self.ended, 600)
        status, reason = self.ended or (0, "lifetime")
        self.log.line("exit", int(time.time() * 1000), status, reason)
        return status


if __name__ == "__main__":
    os._exit(Peer().run())
