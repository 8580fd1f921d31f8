"""The README stays short and loses nothing: README.md is under 8 KiB and links every page of docs/, and every
backticked name of the README as it stood before its split (tests/data/readme_names.txt) still appears in
README.md or a page of docs/.

Usage: check_readme_names.py NAMES_TXT README_MD DOCS_DIR
The check also runs on the pages with a name cut out, which it must reject."""
import glob
import os
import re
import sys

README_LIMIT = 8 * 1024


def read_names(path):
    """The names of the list, one a line; lines starting with '# ' and empty lines are comments."""
    names = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("# "):
                names.append(line)
    return names


def missing_names(names, texts):
    """The names that appear in none of the texts."""
    return [name for name in names if not any(name in text for text in texts)]


def page_problems(readme, readme_size, pages):
    """What the README lacks as the way in: its size and a link to each page."""
    problems = []
    if readme_size >= README_LIMIT:
        problems.append("README.md is %d bytes, not under %d" % (readme_size, README_LIMIT))
    links = set(re.findall(r"\]\((docs/[^)#]+)", readme))
    for page in pages:
        if "docs/" + os.path.basename(page) not in links:
            problems.append("README.md does not link docs/%s" % os.path.basename(page))
    for link in sorted(links):
        if not any(link == "docs/" + os.path.basename(page) for page in pages):
            problems.append("README.md links %s, which does not exist" % link)
    return problems


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    names = read_names(argv[1])
    with open(argv[2], encoding="utf-8") as f:
        readme = f.read()
    readme_size = os.path.getsize(argv[2])
    pages = sorted(glob.glob(os.path.join(argv[3], "*.md")))
    texts = [readme]
    for page in pages:
        with open(page, encoding="utf-8") as f:
            texts.append(f.read())

    problems = page_problems(readme, readme_size, pages)
    if not names:
        problems.append("%s lists no names" % argv[1])
    problems += ["`%s` appears in neither README.md nor docs/*.md" % name for name in missing_names(names, texts)]

    # The check must see a name that went missing and a page that lost its link.
    if names:
        name = max(names, key=len)
        cut = [text.replace(name, "") for text in texts]
        if missing_names([name], cut) != [name]:
            problems.append("self-check: a name cut out of every page went unnoticed")
    if pages and not page_problems(readme.replace("(docs/", "(gone/"), readme_size, pages):
        problems.append("self-check: a README without links to docs/ went unnoticed")

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("README.md: %d bytes, %d pages linked, all %d names of the earlier README kept" %
          (readme_size, len(pages), len(names)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
