"""The profile list's part of the default fix-up (db/profiles/db_cdbprofilelistimpl_select.cpp,
db_cdbprofileitem_apply.cpp): it selects the current profile again. The first selection after the list's load
applies nothing (item 0, the DATABASE resource's defaults, is current as loaded); every later one applies item 0:
the profile capabilities back to their defaults (the indicators and the printer index kept unless
ForceProfileResetAll), the rules rerun, the values recorded as the profile's, item 0's shared values laid over
them, the rules rerun again and the profile-change set emptied, all in state 3. Both finish with the window-bin,
the images-different switch and the physical height's range. A fix-up that starts again from the resource loads
the list again (database.fix_default_all), so its selection is a first one."""
from . import kit
from .names import CAMERAS, ID, MACHINE, STATE_LOADING, VALUE

# The profile masks and the session group: what a reset puts back.
RESET_GROUPS = 0x121FFFF
KEPT = {ID[name] for name in ("INDICATORS", "INDICATORSMODE", "INDICATORSWARMUP", "PRINTERINDEX")}
FORCE_PROFILE_RESET_ALL = 1005
# Item 0's shared values: (capability, the switch that shares it while it is 1), in the library's slot order.
SHARE_SLOTS = tuple((ID[name], ID[switch]) for name, switch in (
    ("ENERGYSTAR", "LOWPOWERMODEUNIQUE"), ("POWEROFFTIMEOUT", "LOWPOWERMODEUNIQUE"),
    ("POWEROFFTIMEOUTENABLED", "LOWPOWERMODEUNIQUE"), ("ADFTIMEOUTENABLED", "ADFUNIQUE"),
    ("TRANSPORTTIMEOUT", "ADFUNIQUE"), ("TRANSPORTTIMEOUTRESPONSE", "ADFUNIQUE"),
    ("TRANSPORTAUTOSTART", "ADFUNIQUE")) if name in ID and switch in ID)


def remember_shared(db):
    """Item 0's shared values as the list's load leaves them (no "profile.share" in the probe's root): each
    capability's default, 0 for one not supported then."""
    db.shared_values = {id_: (db.default_long(db.slot(0, id_, MACHINE)) if kit.is_id_supported(db, id_) and
                              db.slot(0, id_, MACHINE) is not None else 0) for id_, _ in SHARE_SLOTS}


def usable(db, datum):
    """Present and neither unsupported nor read-only."""
    return datum is not None and db.access(datum) not in (0, 3, 7)


def windows_in_use(db):
    window = db.slot(0, ID["WINDOW"], MACHINE)
    count = len(window.def_items) if window is not None else 0
    return min(max(count, 1), 11)


def every_profile_datum(db, accept):
    """The profile walk: ids, windows in use, bins; a window's cameras are passed over once its machine datum
    was taken."""
    windows = windows_in_use(db)
    for id_ in range(1, 253):
        for w in range(windows):
            for bin_ in range(1, 6):
                datum = db.slot(w, id_, bin_)
                if datum is None or not accept(datum):
                    continue
                yield datum
                if bin_ == MACHINE:
                    break


def in_reset_groups(db, datum):
    record = db.lookup.get(datum.id)
    return record is not None and record.group & RESET_GROUPS != 0


def reset_datum(db, datum):
    if datum.kind in ("E", "R", "S"):
        db.fix_default_reset(datum)
        return
    master = db.master(datum)
    # A window's copy of a text capability has no text of its own.
    if master is not None and master.kind in ("E", "R"):
        datum.prev, datum.cur = datum.cur, master.dflt


def fix_current_access_all(db):
    """The machine datum's pass stands for the capability; without one, each camera of each window in use."""
    windows = windows_in_use(db)
    for id_ in range(1, 253):
        machine = db.slot(0, id_, MACHINE)
        if machine is not None:
            if usable(db, machine):
                db.fix_current_all(machine)
            continue
        for w in range(windows):
            for bin_ in CAMERAS:
                datum = db.slot(w, id_, bin_)
                if usable(db, datum):
                    db.fix_current_all(datum)
    db.fix_access_all()


def reset_to_resource(db):
    force = kit.driver_config_number(db, FORCE_PROFILE_RESET_ALL) != 0
    for datum in list(every_profile_datum(db, lambda datum: usable(db, datum) and (
            force or datum.id not in KEPT) and in_reset_groups(db, datum))):
        reset_datum(db, datum)
    fix_current_access_all(db)
    for datum in every_profile_datum(db, lambda datum: usable(db, datum) and in_reset_groups(db, datum)):
        if datum.kind == "S":
            datum.sprof = datum.scur
        elif db.container(datum) in ("E", "R"):
            datum.prof = datum.cur


def machine_value(db, id_):
    datum = db.slot(0, id_, MACHINE)
    return datum.cur if datum is not None and db.access(datum) != 0 else 0


def lay_shared(db):
    """Item 0's shared values, written directly while their switch shares them; a timeout response the
    scanner does not offer gives way to its default."""
    shared = {switch: machine_value(db, switch) == 1 for _, switch in SHARE_SLOTS}
    for id_, switch in SHARE_SLOTS:
        datum = db.slot(0, id_, MACHINE)
        if not shared[switch] or datum is None or not kit.is_id_supported(db, id_):
            continue
        value = db.shared_values.get(id_, 0)
        if id_ == ID["TRANSPORTTIMEOUTRESPONSE"] and value not in datum.cur_items:
            value = db.default_long(datum)
        datum.prev, datum.cur, datum.prof = datum.cur, value, value


def apply_resource(db):
    db.set_state(STATE_LOADING)
    reset_to_resource(db)
    lay_shared(db)
    fix_current_access_all(db)
    db.notify_profiles.clear()
    db.clear_state(STATE_LOADING)


def compose_windowbin(w, bin_):
    return w * 4 + bin_ - 2 if 0 <= w < 11 and bin_ in CAMERAS else -1


def set_current_windowbin(db):
    """CDatabase::SetCurrentWindowBin: the first camera on, front before rear, colour first when the window-bin
    list leads with a colour camera."""
    windowbin = db.find_current(ID["WINDOWBIN"])
    if windowbin is None:
        return
    master = db.master(windowbin)
    colour_first = db.bin_of_windowbin(db.item_at(master.cur_items, 0)) not in (2, 3)
    on = {bin_: (lambda found: found is not None and found.cur == VALUE["CAMERAENABLE"]["TRUE"])(
        db.find_in_bin(bin_, ID["CAMERAENABLE"])) for bin_ in CAMERAS}
    bf, br, cf, cr = (on[bin_] for bin_ in CAMERAS)
    if bf:
        chosen = 4 if cf and colour_first else 2
    elif cf:
        chosen = 4
    elif br:
        chosen = 5 if cr and colour_first else 3
    else:
        chosen = 5 if cr else 6
    db.db_set_current_long(windowbin, compose_windowbin(db.current_window(), chosen))


def fix_current_value_range(db, id_):
    """CDbProfileListImpl::FixCurrentValueRange: values above their range's maximum in the current window
    lowered to it, through the set path."""
    w = db.current_window()
    if not 0 <= w <= 10:
        return
    for bin_ in range(1, 6):
        datum = db.slot(w, id_, bin_)
        if datum is None:
            continue
        if db.container(datum) != "R":
            return
        if not usable(db, datum):
            continue
        maximum = db.master(datum).max
        if datum.cur > maximum:
            db.db_set_current_long(datum, maximum)


def select_current(db):
    """CDbProfileListImpl::SetCurrent with no name, as the default fix-up calls it."""
    from .themes import cameras
    if getattr(db, "profile_selected", False):
        apply_resource(db)
    db.profile_selected = True
    set_current_windowbin(db)
    cameras.fix_images_different(db)
    fix_current_value_range(db, ID["PHYSICALHEIGHTADJUST"])
