"""The settings GUI's information, debug and simulation commands as a GUI meets them: the staged stand-in
"twaingui" started by uibegin on the simulated scanner sends them ("querysupport", "getlabels", "getlogdirectory",
"reportversionuser", "getallversions", "setdebug", "setsimulation", "querysimulation"); every task it reads is
kept whole (UISTANDIN_KEEP), read by xmllint and judged.

    check_gui_info.py STAGE GROUP

Groups: info (the model's features in their order, labels with the model's name filled in and range labels, the
log directory, the versions with the GUI's own and the support page), debugsim (the debug settings cut to fit and
a level that is no number, the simulation pairs beyond those kept, the simulator's lists)."""
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_gui_values as gv  # noqa: E402
import drvfront  # noqa: E402
from drvfront import group  # noqa: E402

# The brand's support page: a template without "%s" stays as it is.
URL_SUPPORT = "https://scandrv.invalid/support/models/"


def replies(front, script, last):
    directory = gv.start(front, script)
    assert gv.wait_for(lambda: len(gv.replies_to(directory, last)) == 1), gv.kept(directory)
    texts = {task_id: gv.replies_to(directory, task_id)[0] for task_id in range(2, last + 1)}
    gv.xmllint(texts.values())
    assert all(gv.status(text) == "success" for text in texts.values()), texts
    gv.stop(front)
    return {task_id: ElementTree.fromstring(text) for task_id, text in texts.items()}


def pairs(element):
    """[(label, text)] of a reportlabels."""
    children = list(element)
    assert [child.tag for child in children] == ["label", "text"] * (len(children) // 2), children
    return [(children[i].text or "", children[i + 1].text or "") for i in range(0, len(children), 2)]


SUPPORT_ORDER = ["processid", "model", "clearflash", "componenttab", "fwdownload", "imagetest", "zoomtofitwidth",
                 "criticalerror", "frontside", "acddetectonly", "eolmode", "printer", "dualstacking",
                 "calibrateuddslandscape", "backgroundsidessame"]


@group
def info_reports(front):
    keys = ["mainform", "tooltip_help", "model", "modeldir", "nosuchlabelkey", "range_contrast",
            "range_meterpagecount", "range_nosuchcapability", "range_papersource"]
    script = "\n".join([
        "send querysupport",
        "send getlabels %s" % gv.ids(keys),
        "send getlogdirectory",
        "send reportversionuser %s" % gv.body([("version", "GUI 9.8.7")]),
        "send getallversions",
    ]) + "\n"
    tasks = replies(front, script, 6)
    inquiry = tasks[2].find("reportinquiry")
    tags = [child.tag for child in inquiry]
    assert [SUPPORT_ORDER.index(tag) for tag in tags] == sorted(SUPPORT_ORDER.index(tag) for tag in tags), tags
    for tag in ("processid", "model", "clearflash", "fwdownload", "imagetest", "zoomtofitwidth", "criticalerror",
                "frontside", "acddetectonly", "eolmode", "printer", "dualstacking", "calibrateuddslandscape"):
        assert tag in tags, (tag, tags)
    assert inquiry.findtext("processid") == str(os.getpid())
    assert inquiry.findtext("printer") == "none", "mapleB has neither printer nor printonimage"
    assert inquiry.findtext("criticalerror") == "false" and inquiry.findtext("acddetectonly") == "false"
    model = inquiry.findtext("model")
    assert model, tags

    labels = pairs(tasks[3].find("reportlabels"))
    found = dict(labels)
    assert found["mainform"] == "PEMRA mapleB Scanner Settings", found["mainform"]
    assert found["tooltip_help"] == "Help for the PEMRA mapleB Scanner", found["tooltip_help"]
    assert found["model"] == model
    assert found["modeldir"], labels
    assert found["nosuchlabelkey"] == "???"
    contrast = [(key, text) for key, text in labels if key.startswith("range_contrast_")]
    values = [int(key.rsplit("_", 1)[1]) for key, _ in contrast]
    assert 2 <= len(values) < 1000 and values == sorted(values), values
    steps = {b - a for a, b in zip(values, values[1:])}
    assert len(steps) == 1 and steps.pop() > 0, values
    assert found["range_contrast"] == "" and all(text for _, text in contrast)
    meter = [key for key, _ in labels if key.startswith("range_meterpagecount_")]
    assert len(meter) == 1000, len(meter)
    assert meter[0] == "range_meterpagecount_0" and meter[-1] == "range_meterpagecount_999", meter[-1]
    # A name that is no capability, and one that is no range: the key alone.
    assert found["range_nosuchcapability"] == ""
    assert not [key for key, _ in labels if key.startswith(("range_nosuchcapability_", "range_papersource_"))]
    keys_seen = [key for key, _ in labels if not key.startswith(("range_contrast_", "range_meterpagecount_"))]
    assert keys_seen == keys, keys_seen

    directory = tasks[4].find("reportlogdirectory").findtext("directory")
    assert directory and directory.startswith(front.root), directory

    versions = tasks[6].find("reportallversions")
    assert [child.tag for child in versions] == [
        "driver", "firmwareadf", "firmwareflatbed", "nexiladf", "nexilflatbed", "cdtitle", "cdversion",
        "urlsupportmodel", "allversions", "drvassistui", "driverdravix"], [child.tag for child in versions]
    assert versions.findtext("urlsupportmodel") == URL_SUPPORT, versions.findtext("urlsupportmodel")
    assert versions.findtext("driver")
    assert "GUI 9.8.7" in (versions.findtext("allversions") or ""), versions.findtext("allversions")
    log = front.log()
    assert "The label range of <meterpagecount> stops after 1000 values..." in log
    assert "No range capability for the labels...<nosuchcapability>" in log
    assert "No range capability for the labels...<papersource>" in log


@group
def debugsim_settings(front):
    pairs_ = [("p%02d" % n, "v%02d" % n) for n in range(40)]
    script = "\n".join([
        "send querysimulation",
        "send setdebug %s" % gv.body([("logging", "x" * 300), ("logginglevel", "7"), ("imagesfromscanner", "on"),
                                      ("imagestoapp", "off")]),
        "send setdebug %s" % gv.body([("logginglevel", "high"), ("logging", "custom")]),
        "send setsimulation %s" % gv.body([("simulation", "once"), ("simmodel", "mapleC"),
                                           ("simflatbed", "flat & bed")] + pairs_),
        "send setsimulation %s" % gv.body([("simulation", "true"), ("simmodel", "mapleB"), ("only", "one")]),
    ]) + "\n"
    tasks = replies(front, script, 6)
    query = tasks[2]
    assert [child.tag for child in query][1:] == ["reportsimulationmodels", "reportsimulationinquiry",
                                                  "reportsimulationflatbed", "reportsimulation"]
    models = [child.text for child in query.find("reportsimulationmodels")]
    assert "mapleB" in models, models
    inquiry = [(child.tag, child.text or "") for child in query.find("reportsimulationinquiry")]
    assert inquiry[:6] == [("id", "simulation"), ("value", "false"), ("text", "simulation"), ("id", "simmodel"),
                           ("value", models[0]), ("text", "model")], inquiry[:6]
    assert [child.text for child in query.find("reportsimulationflatbed")][0] == "(none)"

    debug = tasks[3].find("reportdebug")
    assert debug.findtext("logging") == "x" * 63
    assert (debug.findtext("logginglevel"), debug.findtext("imagesfromscanner"), debug.findtext("imagestoapp")) == \
        ("7", "on", "off")
    debug = tasks[4].find("reportdebug")
    assert (debug.findtext("logging"), debug.findtext("logginglevel")) == ("custom", "7"), "a level kept"

    simulation = tasks[5].find("reportsimulation")
    children = [(child.tag, child.text or "") for child in simulation]
    assert children[:3] == [("simulation", "false"), ("simmodel", "mapleC"), ("simflatbed", "flat & bed")]
    assert children[3:] == pairs_[:32], children[3:]
    simulation = tasks[6].find("reportsimulation")
    children = [(child.tag, child.text or "") for child in simulation]
    assert children == [("simulation", "true"), ("simmodel", "mapleB"), ("simflatbed", "flat & bed"),
                        ("only", "one")], children
    log = front.log()
    assert log.count("The simulation keeps 32 pairs, 8 dropped...") == 1
    assert "The logging level is no number, kept...<high>" in log


if __name__ == "__main__":
    drvfront.main(sys.argv)
