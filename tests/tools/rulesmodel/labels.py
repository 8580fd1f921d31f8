"""The labels of db/sources/labels.dbc as the database answers them in the language the probe runs in (English):
CDatabase::SetLastPrinterError and SetLastImageAddressError keep the label of an error token, "???" for a token
without one."""
import os
import xml.etree.ElementTree as ElementTree

from .names import ROOT

LABELS_SOURCE = os.path.join(ROOT, "db", "sources", "labels.dbc")
_LABELS = {}


def label(token):
    """The English label of a key, "???" without one; "" for no token."""
    return label_or(token, "???") if token else ""


def label_or(token, fallback):
    """CDatabase::LabelGet: the English label of a key, the fallback without one."""
    if not _LABELS:
        for item in ElementTree.parse(LABELS_SOURCE).getroot().iter("item"):
            key, text = item.findtext("label"), item.findtext("en_usa")
            if key is not None and text is not None:
                _LABELS.setdefault(key, text)
    return _LABELS.get(token, fallback)
