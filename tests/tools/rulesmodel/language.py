"""The process's language service (os/os_coslocale.cpp) as the language rule drives it: the rows of the language
table (os/os_coslocaletable.cpp) with their neutrals and lexicons, each row's registration state, the language in
use, and the operating system's language (ForceLanguage when the probe's configuration names a row, else English:
the probe runs without locale variables)."""
import os
import re

from .names import ROOT

NONE, AUTO, EN_USA = 0, 1, 39
UNREGISTERED, SUBLANGUAGE, SUPPORTED, UNSUPPORTED = 0, 1, 2, 3
FORCELANGUAGE = 102  # section 1


def _table():
    ids = {}
    for line in open(os.path.join(ROOT, "os", "os_coslocale.h"), encoding="utf-8"):
        match = re.match(r"\s*OS_LANGUAGE_([A-Z0-9_]+) = (\d+),", line)
        if match:
            ids[match.group(1)] = int(match.group(2))
    neutrals, lexicons = [], []
    for line in open(os.path.join(ROOT, "os", "os_coslocaletable.cpp"), encoding="utf-8"):
        match = re.match(r'\s*\{OS_LANGUAGE_([A-Z0-9_]+), "([^"]*)"', line)
        if match:
            neutrals.append(ids[match.group(1)])
            lexicons.append(match.group(2))
    return neutrals, lexicons, ids["LAST"]


NEUTRAL, LEXICON, LAST = _table()


class LanguageService:
    def __init__(self):
        self.states = [UNREGISTERED] * LAST
        self.current = EN_USA
        self.explicit = False
        self.os_language = 0  # computed once, at the first need

    def register(self, language, reset):
        """RegisterLanguage with the language and its sub-languages."""
        if not 0 <= language < LAST:
            return 3
        if reset:
            self.states = [UNSUPPORTED] * LAST
            self.states[AUTO] = SUBLANGUAGE
        self.states[language] = SUPPORTED
        if NEUTRAL[language] == language:
            row = language + 1
            while row < LAST and NEUTRAL[row] == language:
                if self.states[row] != SUPPORTED:
                    self.states[row] = SUBLANGUAGE
                row += 1
        return 0

    def registered_after(self, after):
        """GetRegisteredLanguage: the next row offered (state 1 or 2), 0 after the last."""
        if not 0 <= after < LAST:
            return NONE
        return next((row for row in range(after + 1, LAST) if self.states[row] in (SUBLANGUAGE, SUPPORTED)), NONE)

    def check(self, language, follow_neutral):
        """CheckLanguage."""
        if not 0 <= language < LAST:
            return NONE
        row = language
        while True:
            if self.states[row] != UNSUPPORTED:
                return row
            if not follow_neutral or NEUTRAL[row] == row:
                return NONE
            row = NEUTRAL[row]

    def current_os_language(self, force):
        if not self.os_language:
            self.os_language = force if AUTO < force < LAST else EN_USA
        return self.os_language

    def set_language(self, language, force):
        """SetLanguage; force is ForceLanguage as a number."""
        if not 0 <= language < LAST:
            return 3
        if self.explicit and self.current == language:
            return 0
        chosen = self.current_os_language(force) if language in (NONE, AUTO) else language
        chosen = self.check(chosen, True)
        self.current = chosen if chosen != NONE else EN_USA
        self.explicit = True
        return 0

    def name(self):
        """GetLanguageName: the lexicon of the row in use."""
        return LEXICON[self.current]

    def lexicon(self):
        """GetLanguageLexicon(0): the lexicon of the row in use or of its nearest ancestor with labels of its own."""
        row = self.current
        while True:
            if self.states[row] in (UNREGISTERED, SUPPORTED):
                return LEXICON[row]
            if NEUTRAL[row] == row:
                return LEXICON[EN_USA]
            row = NEUTRAL[row]
