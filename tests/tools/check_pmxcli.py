"""The front-end tool loads the library, sends each task of a file and prints one reply per task."""
import subprocess
import sys
import tempfile
import os

tool, library = sys.argv[1], sys.argv[2]
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
print("1 passed, 0 failed")
