"""Cameras, input document, paper source, image merge and sides: CAMERAENABLE, INPUTDOCUMENT, PAPERSOURCE,
IMAGEMERGE, SIDESDIFFERENT and IMAGESDIFFERENT (db/id/db_ccameras*.cpp), written from the steps of their rules;
and the database's FixImagesDifferent, which IMAGESDIFFERENT triggers."""
from .. import configlists, geometry, kit
from ..database import BADARGUMENT, SUCCESS
from ..names import BF, BR, CAMERAS, CF, COMMON, CR, ID, MACHINE, VALUE, other_side
from ..rules import Rule, rule

CAMERA = ID["CAMERAENABLE"]
OFF, ON = VALUE["CAMERAENABLE"]["FALSE"], VALUE["CAMERAENABLE"]["TRUE"]
TWOSIDED, ONESIDEDFRONT, ONESIDEDREAR = 1, 2, 3
ADFFLATBED, ADF, FLATBED = 1, 2, 3
# Each feeder source and the same source combined with the flatbed.
COMBINED = {2: 1, 6: 8, 5: 9, 4: 10, 7: 11}
FEEDER_ONLY = (1, 2, 6, 5, 4, 7)
ELEVATORS_FOR_FLATBED = (7, 4, 5, 6)
FLATBED_UNIT = "modeldirectoryflatbed"
FORCE_ALLOW_REAR_ONLY = (1, 84)
GRAY = VALUE["IMAGEFORMAT"]["GRAY_8"]
NONE = 1  # AUTOCOLORCONTENT, TOGGLEPATCH and IMAGEMERGE


def rear(bin_):
    return bin_ in (BR, CR)


def bitonal(bin_):
    return bin_ in (BF, BR)


def camera_supported(db, bin_):
    return kit.supported(db, CAMERA, bin_) is not None


def set_camera(db, w, bin_, value):
    """A camera the scanner lacks is never switched."""
    if not camera_supported(db, bin_):
        return
    datum = db.slot(w, CAMERA, bin_)
    if datum is not None:
        db.set_current_long(datum, value)


def first_camera(db, bin_):
    """The first camera a pass reaches: the supported cameras in bin order."""
    for camera in CAMERAS:
        if camera == bin_:
            return True
        if camera_supported(db, camera):
            return False
    return False


def from_cameras(db):
    """CINPUTDOCUMENT::FromCameras."""
    front = kit.is_camera_on(db, 0, BF) or kit.is_camera_on(db, 0, CF)
    back = kit.is_camera_on(db, 0, BR) or kit.is_camera_on(db, 0, CR)
    if front and back:
        return TWOSIDED
    return ONESIDEDREAR if back else ONESIDEDFRONT


@rule("CAMERAENABLE")
class CameraEnable(Rule):
    def compare(self, db, master, a, b):
        return False

    def fix_default(self, db, own):
        listed = [db.config.enum_exists("imageformat", name, COMMON) for name in ("bw", "rgb_24", "gray_8")]
        bitonal_format, colour_format = listed[0], listed[1] or listed[2]
        own_format, other_format = (bitonal_format, colour_format) if bitonal(own.bin) else \
            (colour_format, bitonal_format)
        if not own_format:
            db.set_access(own, 0)
            own.dflt = OFF
            db.fix_default_reset(own)
        elif not other_format:
            own.dflt = ON
            db.fix_default_reset(own)
        if rear(own.bin) and not db.config.exists("duplex", COMMON):
            db.set_access(own, 0)
            own.dflt = OFF
            db.fix_default_reset(own)
        for w in range(1, db.windows):
            datum = db.slot(w, CAMERA, own.bin)
            if datum is not None:
                db.set_current_long(datum, OFF)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        if rear(own.bin):
            flatbed = kit.value_of(db, ID["PAPERSOURCE"], MACHINE, ADF) == FLATBED
            db.set_access(own, 1 if flatbed else 4)

    def validate(self, db, own, window, value):
        status = db.base_validate(own, window, value)
        if status != SUCCESS or window != 0:
            return status

        def on(bin_):
            if bin_ == own.bin:
                return value == ON
            return camera_supported(db, bin_) and kit.is_camera_on(db, 0, bin_)

        front, back = on(BF) or on(CF), on(BR) or on(CR)
        if not front and not back and not kit.is_loading(db):
            return BADARGUMENT
        if kit.config_number(db, *FORCE_ALLOW_REAR_ONLY) != 0:
            return SUCCESS
        if kit.value_of(db, ID["INPUTDOCUMENT"], MACHINE, ONESIDEDFRONT) != TWOSIDED:
            return SUCCESS
        return SUCCESS if front and back else BADARGUMENT

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or m.datum is own or kit.is_loading(db):
            return
        if own.bin not in CAMERAS:
            return
        if m.id == ID["PAPERSOURCE"]:
            self._paper_source(db, own, m)
        elif m.id == ID["INPUTDOCUMENT"]:
            self._input_document(db, own, m)
        elif m.id == ID["AUTOCOLORCONTENT"]:
            self._auto_colour(db, own, m)

    @staticmethod
    def _paper_source(db, own, m):
        if m.new != FLATBED:
            if rear(own.bin):
                db.set_access(own, 4)
            return
        if first_camera(db, own.bin):
            colour_front, bitonal_front, colour_rear, bitonal_rear = kit.cameras_in_use(db)
            if not colour_front and not bitonal_front:
                if colour_rear:
                    set_camera(db, 0, CF, ON)
                if bitonal_rear:
                    set_camera(db, 0, BF, ON)
        if rear(own.bin):
            db.set_current_long(own, OFF)
            db.set_access(own, 1)

    @staticmethod
    def _input_document(db, own, m):
        if m.new == TWOSIDED:
            if not rear(own.bin):
                other = other_side(own.bin)
                for w in range(db.windows):
                    if kit.is_camera_on(db, w, own.bin) or kit.is_camera_on(db, w, other):
                        set_camera(db, w, own.bin, ON)
                        set_camera(db, w, other, ON)
        elif m.new in (ONESIDEDFRONT, ONESIDEDREAR):
            if first_camera(db, own.bin):
                one_sided(db, m.new == ONESIDEDREAR)

    @staticmethod
    def _auto_colour(db, own, m):
        if m.new == NONE or not (m.own_camera or m.partner):
            return
        colour_front, bitonal_front, colour_rear, bitonal_rear = kit.cameras_in_use(db)
        both = (bitonal_rear and colour_rear) if rear(own.bin) else (bitonal_front and colour_front)
        if both:
            for w in range(db.windows):
                set_camera(db, w, BR if rear(own.bin) else BF, OFF)


def one_sided(db, rear_kept):
    """Every pair of twins in use keeps its camera of the kept side, decided from the cameras the pass found."""
    colour_front, bitonal_front, colour_rear, bitonal_rear = kit.cameras_in_use(db)
    kept_on = (colour_rear or bitonal_rear) if rear_kept else (colour_front or bitonal_front)
    for kept in CAMERAS:
        if rear(kept) != rear_kept:
            continue
        other = other_side(kept)
        if not camera_supported(db, kept) or not camera_supported(db, other):
            continue
        for w in range(db.windows):
            if not kit.is_camera_on(db, w, kept) and not kit.is_camera_on(db, w, other):
                continue
            if not kept_on:
                set_camera(db, w, kept, ON)
            set_camera(db, w, other, OFF)


@rule("INPUTDOCUMENT")
class InputDocument(Rule):
    def fix_default(self, db, own):
        if not db.config.exists("duplex", COMMON):
            db.delete_default_item(own, TWOSIDED)
            db.delete_default_item(own, ONESIDEDREAR)
        own.dflt = from_cameras(db)
        db.fix_default_reset(own)
        db.base_fix_default(own)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == own.id:
            if kit.is_loading(db):
                return
            for capability, side in (("PRINTONIMAGEFRONT", ONESIDEDFRONT), ("PRINTONIMAGEREAR", ONESIDEDREAR)):
                datum = kit.supported(db, ID[capability], MACHINE)
                if datum is not None:
                    db.set_access(datum, 4 if m.new in (TWOSIDED, side) else 5)
        elif m.id == ID["PAPERSOURCE"]:
            noted = own.cur
            db.delete_all_current_items(own)
            if m.new == FLATBED:
                db.add_current_item(own, ONESIDEDFRONT)
                db.set_current_long(own, ONESIDEDFRONT)
            else:
                for item in list(own.def_items):
                    db.add_current_item(own, item)
                db.set_current_long(own, noted)
        elif m.id == CAMERA and len(own.cur_items) > 1:
            value = from_cameras(db)
            if value in own.cur_items:
                db.set_current_long(own, value)


@rule("PAPERSOURCE")
class PaperSource(Rule):
    def fix_default(self, db, own):
        if not db.config.exists(FLATBED_UNIT, COMMON):
            configlists.fix_default_enum_from_db_config(db, own, COMMON)
        else:
            if db.config.enum_exists("papersource", "adf", COMMON):
                db.add_default_item(own, FLATBED)
                for item in list(own.def_items):
                    if item in COMBINED:
                        db.add_default_item(own, COMBINED[item])
            else:
                for item in FEEDER_ONLY:
                    db.delete_default_item(own, item)
            db.fix_default_reset(own)
        if not own.def_items:
            db.set_access(own, 0)
            return
        if len(own.def_items) <= 1:
            db.set_access(own, 5)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        source = own.cur
        self._follow(db, own, m)
        if own.cur != source:
            lower_rules_follow(db, own)

    @staticmethod
    def _follow(db, own, m):
        source = own.cur
        if m.id == ID["CROPPINGMODE"]:
            if source == FLATBED and m.new == VALUE["CROPPINGMODE"]["LONGPAPER"] and ADF in own.cur_items:
                db.set_current_long(own, ADF)
        elif m.id == ID["TOGGLEPATCH"]:
            if source == FLATBED and m.new != NONE:
                if ADFFLATBED in own.cur_items:
                    db.set_current_long(own, ADFFLATBED)
                elif ADF in own.cur_items:
                    db.set_current_long(own, ADF)
        elif m.id == CAMERA:
            if source == ADFFLATBED and ADF in own.cur_items and camera_supported(db, BF) and \
                    camera_supported(db, CF) and not kit.is_camera_on(db, 0, BF) and not kit.is_camera_on(db, 0, CF):
                db.set_current_long(own, ADF)

    def make_xml(self, db, own, value, consumer):
        if not db.config.exists(FLATBED_UNIT, COMMON):
            return value
        if geometry.need_scan_from_flatbed(db):
            return FLATBED
        if value == FLATBED:
            return next((item for item in ELEVATORS_FOR_FLATBED if item in own.cur_items), ADF)
        feeder = {combined: feeder for feeder, combined in COMBINED.items()}
        return feeder.get(value, value)


def lower_rules_follow(db, own):
    """The rules of lower ids, which the pass ran before the source changed, follow it as a change of its own;
    the pass's change is given back after."""
    outer = db.modified
    db.modified = own
    for datum in list(db.pass_order()):
        if datum.id >= own.id:
            break
        rule_of = db.rule(datum)
        if rule_of.fix_current is not None and db.access(datum) != 0:
            rule_of.fix_current(db, datum)
    db.modified = outer


@rule("IMAGEMERGE")
class ImageMerge(Rule):
    def fix_default(self, db, own):
        if not db.config.exists("duplex", COMMON):
            db.set_access(own, 0)
            return
        if not db.config.enum_values("imagemerge", COMMON):
            return
        configlists.build_ordered_list_from_db_config(db, own, 1, 6, "imagemerge", COMMON)
        if not own.def_items:
            db.set_access(own, 0)

    def fix_access(self, db, own):
        if db.access(own) == 0:
            return
        db.set_access(own, 4 if one_pair_job(db) and not stream_chosen_per_page(db) else 5)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is not None and m.id in FOLLOWED_BY_MERGE:
            self.fix_access(db, own)

    def make_xml(self, db, own, value, consumer):
        return value if not kit.is_preview(db) and db.access(own) == 4 else NONE


FOLLOWED_BY_MERGE = {ID[name] for name in ("AUTOCOLORCONTENT", "CAMERAENABLE", "INPUTDOCUMENT", "PAPERSOURCE",
                                           "SIDESDIFFERENT", "TOGGLEPATCH")}


def one_pair_job(db):
    if kit.value_of(db, ID["INPUTDOCUMENT"], MACHINE, ONESIDEDFRONT) != TWOSIDED or \
            kit.value_of(db, ID["SIDESDIFFERENT"], MACHINE, 1) == 2 or \
            kit.value_of(db, ID["PAPERSOURCE"], MACHINE, ADF) == FLATBED:
        return False
    if any(kit.is_camera_on(db, w, bin_) for w in range(1, db.windows) for bin_ in CAMERAS):
        return False
    colour = kit.is_camera_on(db, 0, CF)
    bitonal_on = kit.is_camera_on(db, 0, BF)

    def gray(bin_):
        return kit.value_of(db, ID["IMAGEFORMAT"], bin_, 0) == GRAY

    return colour == kit.is_camera_on(db, 0, CR) and bitonal_on == kit.is_camera_on(db, 0, BR) and \
        gray(CF) == gray(CR) and colour != bitonal_on


def stream_chosen_per_page(db):
    if any(kit.value_of(db, ID["AUTOCOLORCONTENT"], bin_, NONE) != NONE for bin_ in CAMERAS):
        return True
    return kit.value_of(db, ID["TOGGLEPATCH"], MACHINE, NONE) != NONE


@rule("SIDESDIFFERENT")
class SidesDifferent(Rule):
    def fix_current(self, db, own):
        return


@rule("IMAGESDIFFERENT")
class ImagesDifferent(Rule):
    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or kit.is_loading(db):
            return
        if m.id in FOLLOWED_BY_IMAGES:
            fix_images_different(db)


FOLLOWED_BY_IMAGES = {ID[name] for name in ("AUTOCOLORCONTENT", "CAMERAENABLE", "INPUTDOCUMENT", "PAPERSOURCE",
                                            "TOGGLEPATCH")}


def fix_images_different(db):
    """CDatabase::FixImagesDifferent: the streams of a side may differ while both are on, while colour
    detection decides between them or while a patch toggles them."""
    datum = db.find_current(ID["IMAGESDIFFERENT"])
    if datum is None:
        return

    def camera_enable(bin_):
        found = db.find_in_bin(bin_, CAMERA)
        return found is not None and found.cur == ON

    different = (camera_enable(BF) and camera_enable(CF)) or (camera_enable(BR) and camera_enable(CR))
    if not different and any(db.accessible(db.slot(0, ID["AUTOCOLORCONTENT"], bin_)) for bin_ in range(1, 6)):
        for bin_ in CAMERAS:
            content = db.find_in_bin(bin_, ID["AUTOCOLORCONTENT"])
            if content is not None and content.cur != NONE:
                different = True
    if not different:
        toggle = db.find_current(ID["TOGGLEPATCH"])
        value = toggle.cur if toggle is not None else 0
        different = value not in (0, NONE)
    db.db_set_current_long(datum, 2 if different else 1)


# -- the harness's random walk --------------------------------------------------------------------------------
def walk_moves(db, rng):
    """Cameras switched in any window in use (now and then in a window beyond or a bin of none), the job, the
    paper source, the merge, the sides, colour detection and patch toggling; now and then a job outside the
    list forced in, or rear-only jobs allowed or refused by the driver's configuration."""
    moves = []
    for bin_ in CAMERAS:
        moves.append("set %d %d %d %d" % (CAMERA, rng.randrange(db.windows), bin_, rng.choice((OFF, ON))))
        moves.append("set %d 0 %d %d" % (CAMERA, bin_, rng.choice((OFF, ON))))
    for capability in ("INPUTDOCUMENT", "PAPERSOURCE", "IMAGEMERGE", "SIDESDIFFERENT", "TOGGLEPATCH"):
        datum = db.slot(0, ID[capability], MACHINE)
        if datum is not None and datum.cur_items:
            moves.append("set %d 0 1 %d" % (ID[capability], rng.choice(datum.cur_items)))
    colour = db.slot(0, ID["AUTOCOLORCONTENT"], rng.choice(CAMERAS))
    if colour is not None and colour.cur_items:
        moves.append("set %d 0 %d %d" % (colour.id, colour.bin, rng.choice(colour.cur_items)))
    moves.append(rng.choice(("set %d 11 2 2" % CAMERA, "set %d 0 1 2" % CAMERA, "write %d 0 1 %d" % (
        ID["INPUTDOCUMENT"], rng.choice((0, 4, 7))))))
    moves.append("cfgset 1 84 %s" % rng.choice(("0", "1", "%")))
    return moves


SOURCES = (ADF, FLATBED, ADFFLATBED)
JOBS = (TWOSIDED, ONESIDEDFRONT, ONESIDEDREAR)


def sweep(db):
    """Every paper source and job, each with every set of window-0 cameras (and a camera of window 1 or 2
    switched with it), reached by sets; at the end of each job colour detection and patch toggling come and
    go. Sets the rules refuse stay in the table: their status is part of it."""
    for source in SOURCES:
        for job in JOBS:
            yield "set %d 0 1 %d" % (ID["PAPERSOURCE"], source)
            yield "set %d 0 1 %d" % (ID["INPUTDOCUMENT"], job)
            for pattern in range(16):
                for index, bin_ in enumerate(CAMERAS):
                    yield "set %d 0 %d %d" % (CAMERA, bin_, ON if pattern >> index & 1 else OFF)
                yield "set %d %d %d %d" % (CAMERA, 1 + pattern // 2 % 2, CAMERAS[pattern // 4],
                                           ON if pattern & 1 else OFF)
            for bin_ in (BF, CF):
                yield "set %d 0 %d 2" % (ID["AUTOCOLORCONTENT"], bin_)
                yield "set %d 0 %d 1" % (ID["AUTOCOLORCONTENT"], bin_)
            yield "set %d 0 1 2" % ID["TOGGLEPATCH"]
            yield "set %d 0 1 1" % ID["TOGGLEPATCH"]
