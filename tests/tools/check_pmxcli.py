"""The front-end tool loads the library, sends each task of a file and prints one reply per task; with
--services it starts and stops the service layer of a staged copy and shows where it wrote."""
import subprocess
import sys
import os
import shutil
import tempfile

tool, library = sys.argv[1], sys.argv[2]
# The short company name of the library's brand names its directories.
COMPANY = "scandrv"
tasks = (
    "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>"
    "<interfaceopen/></task>\n"
    "<task id='00000000000000000002' reply='00000000000000000000' bytes='00000000000000000000'>"
    "<interfaceclose/></task>\n"
)
with tempfile.TemporaryDirectory() as root:
    path = os.path.join(root, "tasks.xml")
    with open(path, "w") as f:
        f.write(tasks)
    env = dict(os.environ, HOME=root, TMPDIR=root)
    out = subprocess.run([tool, "--library", library, path], capture_output=True, text=True, cwd=root, env=env)
    assert out.returncode == 0, out.stderr
    assert out.stdout.count("</task>") == 2, out.stdout
    assert "<status>" in out.stdout, out.stdout
    # Standard input works the same way.
    out = subprocess.run([tool, "--library", library], input=tasks, capture_output=True, text=True, cwd=root, env=env)
    assert out.returncode == 0 and out.stdout.count("</task>") == 2, out.stdout
    # A missing library is a clear error, not a crash.
    out = subprocess.run([tool, "--library", os.path.join(root, "none.so"), path], capture_output=True, text=True,
                         cwd=root, env=env)
    assert out.returncode == 1 and "cannot load" in out.stderr, out.stderr

# --services starts and stops the service layer of a copy staged in a
# throwaway root (its override ini names that root) and shows where it wrote.
with tempfile.TemporaryDirectory() as root:
    libdir = os.path.join(root, "opt", COMPANY, "kv", "lib")
    os.makedirs(libdir)
    staged = os.path.join(libdir, "libscandrv.so")
    shutil.copyfile(library, staged)
    with open(os.path.join(libdir, "libscandrv_override.ini"), "w") as f:
        f.write("[main]\nroot=%s\n" % root)
    env = {k: v for k, v in os.environ.items() if not k.startswith("PMX_")}
    env.update(HOME=root, TMPDIR=root, PMX_DEBUG="1")
    out = subprocess.run([tool, "--services", "--library", staged], capture_output=True, text=True, cwd=root, env=env)
    assert out.returncode == 0, out.stdout + out.stderr
    var = os.path.join(root, "var", COMPANY)
    assert "OsServicesStart (driver, driver): 0" in out.stdout and "OsServicesStop: 0" in out.stdout, out.stdout
    assert "root:      " + var + "\n" in out.stdout, out.stdout
    logs = [line.strip() for line in out.stdout.splitlines() if line.strip().endswith("/driver.log")]
    assert len(logs) == 1 and logs[0].startswith(os.path.join(var, "kv", "driver", "log.")), out.stdout
    assert open(logs[0], newline="").read().startswith("00000 "), logs[0]
    for directory in ("common", "kv/common", "kv/driver", "kv/userfiles"):
        assert "\n  " + directory + "\n" in out.stdout, out.stdout
        assert os.path.isdir(os.path.join(var, directory)), directory
    written = sorted(os.listdir(root))
    assert written == ["opt", "var"], written
print("2 passed, 0 failed")
