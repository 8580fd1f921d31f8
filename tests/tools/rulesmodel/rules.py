"""Rule classes of the model and the themes that hold them.

A theme is a module of the package rulesmodel.themes (one file per theme, found by name: no list to edit).
It registers one rule class per capability:

    from ..rules import Rule, rule

    @rule("FRAMEWIDTH", "FRAMEHEIGHT")
    class Frame(Rule):
        def fix_default(self, db, datum): ...

A rule class sets only the operations its capability overrides; the others stay None and the database runs the
container's own (database.py). Each operation takes the database and the window-0 datum it runs on:
fix_default(db, datum), fix_access(db, datum), fix_current(db, datum), validate(db, datum, window, value) ->
status, make_xml(db, datum, value, consumer) -> the value written (None: nothing), compare(db, datum, a, b)
-> bool, fits(db, datum, text) -> whether a text may be stored (None: the container's limits decide). A rule keeps nothing of its own: everything lives in the database.

A theme may also offer moves to the harness's random walk: walk_moves(db, rng) -> a list of probe commands
(tests/tools/rulesprobe), chosen from the model's state; the walk picks one of all themes' moves a step. And
it may offer a fixed table of sets to the harness's sweep: sweep(db) -> probe commands, one at a time (each may
be chosen from the model's state after the ones before). And it may check the attribute tasks of a scenario's
makexml: check_task(db, root) -> the problems it finds in one task (root its parsed task element), judged on the
model's state; and check_setconfig(db, arguments) -> the problems it finds in one setconfig ({name: text}, in
the task's order), judged with the model's unit override set to the unit that setconfig was built for.
"""
import importlib
import pkgutil

from .names import ID

REGISTRY = {}


class Rule:
    fix_default = None
    fix_access = None
    fix_current = None
    validate = None
    make_xml = None
    compare = None
    fits = None


def rule(*capabilities):
    def register(cls):
        instance = cls()
        for capability in capabilities:
            if capability in REGISTRY:
                raise ValueError("two rule classes for %s" % capability)
            REGISTRY[capability] = instance
        return cls
    return register


def theme_modules():
    """Every theme module, imported once (importing registers its rule classes)."""
    from . import themes
    return [importlib.import_module("%s.%s" % (themes.__name__, module.name))
            for module in sorted(pkgutil.iter_modules(themes.__path__), key=lambda module: module.name)]


def load_themes():
    """{capability id: rule} of every theme."""
    theme_modules()
    return {ID[capability]: instance for capability, instance in REGISTRY.items()}
