"""The commands and paths that README.md and docs/*.md show are true to the tree: each command of an indented
block names a script that exists, build targets that some CMakeLists.txt defines and programs at the place the
build puts them; each backticked path into the source folders names a file or folder that exists.

Usage: check_readme_commands.py SOURCE_DIR
The check also runs on a few damaged commands and paths, which it must reject."""
import glob
import os
import re
import shlex
import sys

FOLDERS = ("os/", "db/", "dev/", "drv/", "sim/", "tools/", "tests/", "bench/", "fuzz/", "docs/")
PROGRAMS = ("bash", "cmake", "taskset", "ctest", "valgrind", "build/")
TARGET = re.compile(r"\badd_(?:executable|library|custom_target)\(\s*([A-Za-z0-9_.+-]+)")


def defined_targets(root):
    """Target name -> the source folders (relative) whose CMakeLists.txt define it."""
    targets = {}
    for path in glob.glob(os.path.join(root, "**", "CMakeLists.txt"), recursive=True):
        folder = os.path.relpath(os.path.dirname(path), root)
        with open(path, encoding="utf-8") as f:
            for name in TARGET.findall(f.read()):
                targets.setdefault(name, set()).add("" if folder == "." else folder)
    return targets


def commands(text):
    """The command lines of the text's indented blocks (a block follows an empty line)."""
    found = []
    previous = ""
    in_block = False
    for line in text.split("\n"):
        if line.startswith("    ") and (in_block or not previous.strip()):
            in_block = True
            command = line.strip()
            if command.startswith(PROGRAMS):
                found.append(command)
        elif line.strip():
            in_block = False
        previous = line
    return found


def program_problem(word, targets):
    """A path under build/ names a program the build makes in the folder that defines it."""
    folder, name = os.path.split(word[len("build/"):])
    if name not in targets:
        return "%s: no target %s" % (word, name)
    if folder not in targets[name]:
        return "%s: target %s is built under build/%s" % (word, name, sorted(targets[name])[0])
    return None


def command_problems(command, root, targets):
    problems = []
    for part in command.split("&&"):
        words = shlex.split(part)
        if not words:
            continue
        if words[0] == "bash" and len(words) > 1 and not os.path.isfile(os.path.join(root, words[1])):
            problems.append("%s: no script %s" % (command, words[1]))
        if words[0] == "cmake" and "--target" in words:
            for name in words[words.index("--target") + 1:]:
                if name.startswith("-"):
                    break
                if name not in targets:
                    problems.append("%s: no target %s" % (command, name))
        for word in words:
            if word.startswith("build/"):
                problem = program_problem(word, targets)
                if problem:
                    problems.append("%s: %s" % (command, problem))
    return problems


def path_problem(name, root):
    """A backticked path into the source folders that names nothing."""
    path = name.split(" ")[0]
    if not path.startswith(FOLDERS) or "<" in path or "..." in path:
        return None
    full = os.path.join(root, path)
    if glob.glob(full) or glob.glob(full + ".*") or os.path.exists(full):
        return None
    return "`%s` names nothing in the tree" % name


def page_problems(text, root, targets):
    problems = []
    for command in commands(text):
        problems += command_problems(command, root, targets)
    for name in set(re.findall(r"`([^`\n]+)`", text)):
        problem = path_problem(name, root)
        if problem:
            problems.append(problem)
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    root = argv[1]
    targets = defined_targets(root)
    pages = [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    problems = []
    count = 0
    for page in pages:
        with open(page, encoding="utf-8") as f:
            text = f.read()
        count += len(commands(text))
        problems += ["%s: %s" % (os.path.relpath(page, root), p) for p in page_problems(text, root, targets)]
    if count == 0:
        problems.append("no commands found in README.md or docs/*.md")

    # Damaged commands and paths must be caught.
    damaged = ["\n    bash tools/nosuchscript.sh\n",
               "\n    cmake --build build --target pmxcli nosuchtarget\n",
               "\n    taskset -c 5 build/sim/pmxcli\n",
               "\nsee `tools/nosuchfile.cpp`\n"]
    for text in damaged:
        if not page_problems(text, root, targets):
            problems.append("self-check: %r went unnoticed" % text.strip())

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("%d pages: %d commands and every path checked" % (len(pages), count))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
