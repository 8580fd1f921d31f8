"""The preview decision of the settings GUI's value changes, written from the description of the GUI bridge: for
a capability changed while the GUI shows a preview (preview mode on), its old and new value and the preview
settings, whether a new preview is pending, whether the user is asked first, and what the user's answer brings.

    decide(name, old, new, settings) -> (pending, question)
    outcome(name, pending, question, answer) -> (asked, previewed)

settings: {"previewupdate": 1 or 2 or None (the scanner lacks it), "previewquality": likewise, "scansource": the
database's scan source (4 the flatbed)}. Values are the database's numbers. Standard library only."""

ON, OFF = 2, 1
FLATBED_SOURCE = 4
BLANK_CONTENT = 3

# Cropping modes (CROPPINGMODE 54) and the mode a preview applies for each.
AUTOMATIC, FIXED, RELATIVE, LONGPAPER, NONE, PHOTOINROI = 1, 2, 3, 5, 7, 9


def cropping_for_preview(mode):
    if mode in (AUTOMATIC, RELATIVE, PHOTOINROI):
        return AUTOMATIC
    if mode in (FIXED, LONGPAPER, NONE):
        return FIXED
    return mode


# By the GUI's name of the capability: (when a preview is pending, when the user is asked).
UPDATE_OFF = ("always", "updateoff")
TABLE = {
    "imagedeskew": UPDATE_OFF, "backgroundadjustaggressiveness": UPDATE_OFF, "backgroundadjustapplyto": UPDATE_OFF,
    "backgroundadjustmode": UPDATE_OFF, "colorbrightness": UPDATE_OFF,
    "colorbalanceautomaticaggressiveness": UPDATE_OFF, "colorbalanceblue": UPDATE_OFF,
    "colorbalancegreen": UPDATE_OFF, "colorbalancemode": UPDATE_OFF, "colorbalancered": UPDATE_OFF,
    "colorbrightnessmode": UPDATE_OFF, "colorsharpen": UPDATE_OFF, "contrast": UPDATE_OFF,
    "ecdoaggressiveness": UPDATE_OFF, "foregroundboldnessaggressiveness": UPDATE_OFF,
    "foregroundboldnessmode": UPDATE_OFF, "binarizationmode": UPDATE_OFF, "holefillenabled": UPDATE_OFF,
    "edgefillbottom": UPDATE_OFF, "edgefill": UPDATE_OFF, "edgefillallsides": UPDATE_OFF,
    "edgefillleft": UPDATE_OFF, "edgefillright": UPDATE_OFF, "edgefilltop": UPDATE_OFF,
    "filterimage": UPDATE_OFF, "filternoise": UPDATE_OFF, "invertcolor": UPDATE_OFF,
    "streakremovalaggressiveness": UPDATE_OFF, "streakremoval": UPDATE_OFF, "textenhancement": UPDATE_OFF,
    "thinthickenamount": UPDATE_OFF, "binarizationthreshold": UPDATE_OFF,
    "background": ("always", "always"), "documenttype": ("always", "always"), "inputdocument": ("always", "always"),
    "mediatype": ("always", "always"), "previewquality": ("always", "always"),
    "previewupdate": ("always", "always"),
    "blankimagemode": ("content", "keep"),
    "windowenabled": ("high", "high"), "imageresolutionx": ("high", "high"),
    "imagecroppingmode": ("cropping", "cropping"),
    "ecdo": ("always", "high"),
    "imageformat": ("always", "noautoorhigh"),
    "windowtag": ("always", "windowtag"),
}

# Changes answered with the full report: no preview without the user's "yes" (the window-bin's answer, while a
# preview is shown, is the change answer).
FULL_REPORT = {"autocolorcontent", "firmware", "imageformat", "imagemerge", "inputdocument"}


def switch_on(name, switch, new, settings):
    """The capability itself with its new value on, else the switch's current value."""
    if name == switch:
        return new == ON
    return settings.get(switch) == ON


def is_rear(windowbin):
    return windowbin % 4 in (1, 3)


def decide(name, old, new, settings):
    if name not in TABLE:
        return False, False
    pending_rule, question_rule = TABLE[name]
    high = switch_on(name, "previewquality", new, settings)
    auto = switch_on(name, "previewupdate", new, settings)
    update_off = settings.get("previewupdate") == OFF
    pending = question = False
    if pending_rule == "always":
        pending = True
    elif pending_rule == "content":
        pending = new == BLANK_CONTENT
    elif pending_rule == "high":
        pending = high
    elif pending_rule == "cropping" and cropping_for_preview(new) != cropping_for_preview(old):
        pending = True
        question = update_off
    if question_rule == "always":
        question = True
    elif question_rule == "updateoff":
        question = update_off
    elif question_rule == "high":
        question = high
    elif question_rule == "noautoorhigh":
        question = not auto or high
    elif question_rule == "windowtag":
        question = not auto or (not high and is_rear(new) and settings.get("scansource") == FLATBED_SOURCE)
    if not auto and not question:
        pending = False
    return pending, question


def outcome(name, pending, question, answer):
    """Whether the question is shown and whether a new preview image comes, for the user's answer ("yes", "no")."""
    if question:
        return True, answer == "yes" and pending
    return False, pending and name not in FULL_REPORT
