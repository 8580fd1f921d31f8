#!/usr/bin/env python3
"""A model of the GUI bridge's message manager and health checks, written from their rules alone: given a case (a
dialog, a message, the caller's text, number, buttons and answer pointer, and the settings that change the outcome),
the task texts the GUI gets, in order, and the status; given the state of a health check, its task text.

Usage: ui_messages_model.py LABELS_DBC CASES_JSON
  CASES_JSON holds a list of cases, each with the tasks the library sent ("sent") and its status ("status"); every
  case is judged and each difference printed. Exit status 0 when every case agrees, 1 otherwise.
"""
import json
import re
import sys
import xml.etree.ElementTree as ET

HEADER = "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n"
DIALOG_TYPES = {1: "calibrate", 2: "diagnostic", 3: "firmwaredownload", 4: "message", 5: "powerup", 6: "scanning",
                8: "deviceselection"}
UI_MODES = {22: "about", 24: "scan", 25: "scanadvanced", 26: "scanpreview", 27: "setup", 28: "setupadvanced",
            29: "setupeol", 30: "setupiaprinter", 31: "setupnoiaprinter", 32: "setupnoiaprinterocp",
            33: "setupservice"}
BUTTON_WORDS = {1: "ok", 2: "cancel", 3: "okcancel", 4: "yesno", 5: "yesnocancel"}


def read_labels(path):
    labels = {}
    for item in ET.parse(path).getroot().iter("item"):
        text = item.findtext("en_usa") or ""
        labels[item.findtext("label")] = text.replace("@n", "\n").replace("@r", "\r").replace("@t", "\t")
    return labels


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def cdata(text):
    return "<![CDATA[" + text.replace("]]>", "]]]]><![CDATA[>") + "]]>"


class Model:
    def __init__(self, labels, case):
        self.labels = labels
        self.case = case
        self.shown = {int(k): v for k, v in case.get("shown", {}).items()}
        self.sent = []

    def label(self, key, default):
        return self.labels.get(key, default)

    def setting(self, name, default=1):
        return self.case.get(name, default)

    def flags(self, dialog, result):
        """info, warning, error, warmup as the message manager derives them."""
        mode = set(self.setting("mode", []))
        indicators = self.setting("indicators") == 2
        preview = (self.setting("gui_request", False) and self.setting("previewmode") == 2 and
                   (self.setting("acquire") == 2 or result))
        if self.setting("showui", False) or preview or (indicators and 2 in mode) or dialog == 1:
            return True, True, True, True
        visible = self.setting("visible", False)
        warmup_on = self.setting("indicatorswarmup") == 2
        warning = 3 in mode and (visible or indicators or warmup_on)
        error = 4 in mode and (visible or indicators)
        warmup = 5 in mode and (visible or indicators or warmup_on)
        return False, warning, error, warmup

    def preview_without_image(self):
        return self.setting("previewmode") == 2 and self.setting("acquire") != 2

    def run(self, dialog, message, text, number, buttons, result):
        """The status of one call; the tasks go to self.sent."""
        info, warning, error, warmup = self.flags(dialog, result)
        if dialog == 7:
            if message == 23:
                self.sent.append(HEADER + "\t<uidestroy>\n\t</uidestroy>\n</task>")
            elif message in UI_MODES:
                modal = "true" if self.setting("modal", False) else "false"
                self.sent.append(HEADER + "\t<uicreate>\n\t\t<uimode>%s</uimode>\n\t\t<modal>%s</modal>\n"
                                 "\t</uicreate>\n</task>" % (UI_MODES[message], modal))
            else:
                return 1
            return 0
        needs = {1: True, 2: True, 7: True, 8: True, 9: True, 17: True, 20: True, 21: True, 35: True,
                 6: self.setting("visible", False), 10: info, 15: info, 11: info or error, 12: info or error,
                 13: info or error, 18: warning, 34: warning, 19: warmup}.get(message, False)
        if dialog not in DIALOG_TYPES:
            return 1
        if message == 16 and dialog == 6 and not result and self.preview_without_image():
            return 0
        if needs and (dialog == 4 or not self.shown.get(dialog, False)):
            self.run(dialog, 16, None, 0, 0, result)
        if message not in (1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 34, 35):
            return 1
        task = self.compose(dialog, message, text, number, buttons, info, warning, error, warmup)
        if task is None:
            return 1
        if task:
            self.sent.append(task)
        return 0

    def compose(self, dialog, message, text, number, buttons, info, warning, error, warmup):
        """The task ("" when its condition is not met), None on a failure."""
        visible = self.setting("visible", False)
        condition = {2: info, 3: warmup or warning, 4: not info and (warmup or warning), 5: visible, 6: visible,
                     10: info and not self.preview_without_image(), 15: info and not self.preview_without_image(),
                     11: info or error, 12: info or error, 13: info or error, 18: warning, 19: warmup, 34: False,
                     35: info}.get(message, True)
        if not condition:
            return ""
        dialog_type = DIALOG_TYPES[dialog]
        if message in (3, 4, 5):
            if message == 3 or (message == 4 and dialog in (1, 6)) or (message == 5 and dialog == 6):
                self.shown[dialog] = False
            return HEADER + "\t<dialogclear>\n\t\t<dialogtype>%s</dialogtype>\n\t</dialogclear>\n</task>" % dialog_type
        caller = text if text is not None else ""
        element, timeout, labels_block = "dialogupdate", "", False
        if message == 1:
            kind, body, words = "canceling", cdata(self.label("messagecanceling", "???")), ""
        elif message == 2:
            kind = "calibrating"
            body = escape(self.label(text if text else "messagecalibrating", "???"))
            words = "okcancel" if buttons == 3 else ""
        elif message == 6:
            kind, body, words = "deviceoffline", escape(self.label("messagedevicedisconnected", "???")), "cancel"
        elif message == 7:
            kind, body, words = "downloading", escape(self.label("messagedownloadingfw", "???")), ""
        elif message == 8:
            kind, words = "error", "ok"
            if dialog == 3:
                body = self.label("messsagefwdownloadfailed", "fail")
            elif dialog == 1:
                body = self.label("messsagecalibrationfailed", "fail")
            elif dialog in (4, 6):
                body = caller
            else:
                body = self.label("messsageerror", "fail")
            body = escape(body)
        elif message in (9, 20, 21):
            kind = {9: "info", 20: "exclamation", 21: "error"}[message]
            element, labels_block = "dialogshow", message == 9
            body = escape(caller if dialog == 4 else "???")
            words = BUTTON_WORDS.get(buttons, "cancel")
        elif message == 10:
            kind, words = "initializing", ""
            key = {2: "messageinitializediagnostics", 6: "messageinitialize"}.get(dialog)
            body = escape(self.label(key, "???") if key else "???")
        elif message in (11, 12, 13):
            kind = {11: "multifeed", 12: "nopaper", 13: "jam"}[message]
            key = {11: "messagemultifeed", 12: "messagenopaper", 13: "messagepaperjam"}[message]
            body, words = escape(self.label(key, "???")), "ok"
        elif message == 15:
            flatbed = self.setting("scansource") == 4
            kind = "scanflatbed" if flatbed else "scanadf"
            body, words = escape(self.label("messageflatbed" if flatbed else "messageadf", "???")), "cancel"
        elif message == 16:
            kind, body, words, element, labels_block = "none", "", "", "dialogshow", True
            if dialog != 4:
                self.shown[dialog] = True
        elif message == 17:
            kind, words = "success", "ok"
            if dialog == 1 and self.setting("calibrationtype") == 5:
                body = self.magnification()
                if body is None:
                    return None
            elif dialog == 1:
                body = self.label("messagecalibrationsuccess", "success {0}")
            elif dialog == 3:
                body = self.label("messagefwdownloadsuccess", "success {0}")
            else:
                body = text if text is not None else "???"
            body = escape(body)
        elif message == 18:
            kind, body, words = "waitpaper", escape(self.label("messagewaitpaper", "wait paper {0}")), "cancel"
            timeout = "%d" % number
        elif message == 19:
            kind, body = "warmup", escape(self.label("messagewarmuplamps", "lamps warmup{0}"))
            words, timeout = ("" if dialog == 5 else "cancel"), "%d" % number
        elif message == 35:
            kind, body, words = "calibrating", escape(self.label("messagetesting", "???")), ""
        else:
            return ""
        task = HEADER
        if labels_block:
            task += ("\t<reportlabels>\n\t\t<label>mainform</label>\n\t\t<text>%s</text>\n\t</reportlabels>\n" %
                     cdata(self.setting("modelname", "")))
        task += ("\t<%s>\n\t\t<dialogtype>%s</dialogtype>\n\t\t<messagetype>%s</messagetype>\n\t\t<text>%s</text>\n"
                 "\t\t<messagetimeout>%s</messagetimeout>\n\t\t<buttons>%s</buttons>\n\t</%s>\n</task>" %
                 (element, dialog_type, kind, body, timeout, words, element))
        return task

    def magnification(self):
        front = self.setting("front", "")[:16]
        rear = self.setting("rear", "")[:16]
        if rear:
            template = self.label("messagetestingmagnificationsuccess", "???")
            if "{0}" not in template or "{1}" not in template:
                return None
            a, b = template.index("{0}"), template.index("{1}")
            low, high = min(a, b) + 3, max(a, b)
            if high < low or high - low > 64:
                return None
            result = template.replace("{0}", "\0", 1).replace("{1}", rear, 1).replace("\0", front, 1)
        else:
            template = self.label("messagetestingmagnificationsuccessfrontonly", "???")
            if "{0}" not in template:
                return None
            result = template.replace("{0}", front, 1)
        return result if len(result.encode()) <= 511 else None


def health_check(labels, case):
    """The task of one health check."""
    def head(online):
        word = "true" if online else "false"
        return (HEADER + "\t<notifydevicestatus>\n\t\t<id>deviceonline</id>\n\t\t<value>%s</value>\n"
                "\t\t<text>%s</text>\n" % (word, word))
    tail = "\t</notifydevicestatus>\n</task>"
    triple = "\t\t<id>%s</id>\n\t\t<value>%s</value>\n\t\t<text>%s</text>\n"
    if case.get("online", 2) != 2:
        return head(False) + tail
    if case.get("scanning", False):
        source, preview = case.get("scansource", 1), case.get("previewmode", 1) == 2
        if source == 3:
            value, text = "adf", labels.get("previewscanningfromadf" if preview else "scanningfromadf", "???")
        elif source == 4:
            value, text = "flatbed", labels.get("previewscanningfromflatbed" if preview else "scanningfromflatbed",
                                                "???")
        elif case.get("countdown", 0) >= 1:
            value, text = "detecting", "%s (%d)" % (labels.get("detectingscansource", "???"), case["countdown"])
        else:
            value, text = "detecting", labels.get("detectingscansource", "warming...")
        return scanning(labels, case, value, text)
    if case.get("diagnostic", False):
        return (head(True) + "\t</notifydevicestatus>\n\t<reportvalues>\n\t\t<id>diagresulttext</id>\n"
                "\t\t<value>input</value>\n\t\t<text>%s</text>\n\t</reportvalues>\n</task>" %
                cdata(case.get("diagresult", "")))
    return head(True) + tail


def scanning(labels, case, value, text):
    triple = "\t\t<id>%s</id>\n\t\t<value>%s</value>\n\t\t<text>%s</text>\n"
    images = "%d" % case.get("images", 0)
    task = HEADER + ("\t<notifydevicestatus>\n" + triple % ("deviceonline", "true", "true") +
                     triple % ("scansource", value, escape(text)) + triple % ("imagestransferred", images, images))
    pages = case.get("pages", "")
    if pages and pages != labels.get("page", "???") + " 0":
        task += triple % ("pagetransferred", escape(pages), escape(pages))
        task += triple % ("sheettransferred", escape(case.get("sheets", "")), escape(case.get("sheets", "")))
    else:
        task += triple % ("cancel_scanning", "cancel_scanning", escape(labels.get("cancel_scanning",
                                                                                  "cancel scanning")))
    return task + "\t</notifydevicestatus>\n</task>"


def expected(labels, case):
    """The tasks and the status a case should give."""
    if case.get("kind") == "health":
        return [health_check(labels, case)], 0
    if case.get("kind") == "detecting":
        return [scanning(labels, case, "detecting", labels.get(case.get("key", ""), "???"))], 0
    model = Model(labels, case)
    status = model.run(case["dialog"], case["message"], case.get("text"), case.get("long", 0),
                       case.get("buttons", 0), case.get("result", False))
    return model.sent, status


UNTOUCHED = 99  # the answer the caller put there before the call


def answer(case, tasks, status):
    """The answer a caller gets from a GUI that answers every task with buttons "ok": a failure, the main window
    and a second info message write 0; a wait starts only when a task with buttons went out; a call that does not
    wait leaves the answer as it was."""
    if status != 0 or case["dialog"] == 7:
        return 0
    if not case.get("result", False) or not case.get("buttons", 0):
        return UNTOUCHED
    return 1 if any(re.search(r"<buttons>[^<]+</buttons>", task) for task in tasks) else 0


def show(text):
    return re.sub(r"\t", r"\\t", text).replace("\n", "\\n")


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    labels = read_labels(argv[1])
    cases = json.load(open(argv[2], encoding="utf-8"))
    failures = 0
    for number, case in enumerate(cases):
        tasks, status = expected(labels, case)
        name = case.get("name", "case %d" % number)
        wanted = answer(case, tasks, status) if "dialog" in case else None
        if (tasks != case.get("sent", []) or ("status" in case and status != case["status"]) or
                ("answer" in case and case["answer"] != wanted)):
            failures += 1
            print("%s: status %s, expected %s; answer %s, expected %s" %
                  (name, case.get("status"), status, case.get("answer"), wanted))
            for task in tasks:
                print("  expected: " + show(task))
            for task in case.get("sent", []):
                print("  sent:     " + show(task))
    print("%d cases, %d disagree" % (len(cases), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
