"""The staged tree is relocatable: no staged file names the build directory in its dynamic section (readelf -d),
each staged program and unit resolves the library to the copy beside it (ldd), and a copy of the stage in a new
directory scans through pmxcli with the image library hosted by Dravix, as staged.

    check_stage_relocated.py PMXCLI STAGE BUILD"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "drv"))
import drvfront  # noqa: E402


def elf_files(tree):
    for directory, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(directory, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                if f.read(4) == b"\x7fELF":
                    yield path


def check_dynamic_sections(tree, build):
    found = list(elf_files(tree))
    names = {os.path.basename(path) for path in found}
    assert {"libscandrv.so", "device.so", "nexil.so", "dravix"} <= names, names
    for path in found:
        dynamic = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
        assert build not in dynamic, (path, [line for line in dynamic.splitlines() if build in line])
        assert "(RPATH)" not in dynamic, path  # RUNPATH only: LD_LIBRARY_PATH keeps its say
        if os.path.basename(path) != "libscandrv.so":
            runpath = re.search(r"\(RUNPATH\)\s+Library runpath: \[(.*)\]", dynamic)
            assert runpath and runpath.group(1).startswith("$ORIGIN"), (path, dynamic)


def check_resolution(tree):
    library = os.path.join(tree, "opt", drvfront.COMPANY, drvfront.MODEL, "lib", drvfront.LIBRARY)
    for path in elf_files(tree):
        if os.path.basename(path) == drvfront.LIBRARY:
            continue
        env = {k: v for k, v in os.environ.items() if k != "LD_LIBRARY_PATH"}
        text = subprocess.run(["ldd", path], capture_output=True, text=True, env=env).stdout
        line = [entry for entry in text.splitlines() if drvfront.LIBRARY in entry]
        assert line and os.path.realpath(line[0].split("=>")[1].split("(")[0].strip()) == os.path.realpath(library), \
            (path, text)


def check_scan(tool, tree):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PMX_", "SIMSCAN_", "NEXSIM_", "LD_"))}
    images = os.path.join(tree, "images")
    os.makedirs(images)
    env.update(HOME=tree, TMPDIR=tree, PMX_DEBUG="1", NEXSIM_IMAGEDIRECTORY=images)
    out = os.path.join(tree, "scans")
    library = os.path.join(tree, "opt", drvfront.COMPANY, drvfront.MODEL, "lib", drvfront.LIBRARY)
    done = subprocess.run([tool, "--scan", "--library", library, "--out", out, "--pages", "2", "--format", "rgb_24",
                           "--resolution", "150", "--flag", "imagedirectory=" + images], capture_output=True,
                          text=True, cwd=tree, env=env, timeout=300)
    assert done.returncode == 0, (done.stdout, done.stderr)
    assert len([name for name in os.listdir(out) if name.endswith(".tif")]) == 4, os.listdir(out)
    log = ""
    for directory, _, names in os.walk(os.path.join(tree, "var")):
        for name in names:
            if name.endswith(".log"):
                with open(os.path.join(directory, name), errors="replace") as f:
                    log += f.read()
    # The image library ran in the staged host, started from the copy.
    assert re.search(r"spawning %s/\S*dravix" % re.escape(tree), log), "no dravix spawned from the copy"


def main():
    tool, stage, build = sys.argv[1:4]
    build = os.path.realpath(build)
    check_dynamic_sections(stage, build)
    tree = tempfile.mkdtemp(prefix="stage-moved-")
    try:
        copy = os.path.join(tree, "stage")
        shutil.copytree(stage, copy, symlinks=True)
        # The writable root the stage names is the one thing that moves with it.
        with open(os.path.join(copy, "opt", drvfront.COMPANY, drvfront.MODEL, "lib", "libscandrv_override.ini"),
                  "w") as f:
            f.write("[main]\nroot=%s\n" % copy)
        check_dynamic_sections(copy, build)
        check_resolution(copy)
        check_scan(tool, copy)
    finally:
        shutil.rmtree(tree, ignore_errors=True)
    print("stage relocated: passed")


if __name__ == "__main__":
    main()
