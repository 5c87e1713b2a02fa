#!/usr/bin/env python3
"""Checks that the manual pages keep in step with the programs' --help and format cleanly.

    check-man-pages.py BIN_DIR MAN_DIR PROGRAM...

For each program, every option its --help lists (and for tonedesk-cli every command, and every
option of each command's --help) is in its page, every option the page lists is in the help,
and the page formats without warnings under groff (and man, where installed).
"""

import re
import shutil
import subprocess
import sys
from pathlib import Path

OPTION = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")
failures = []


def help_of(program, *words):
    run = subprocess.run([program, *words, "--help"], capture_output=True, text=True, check=False)
    if run.returncode != 0:
        failures.append(f"{program} {' '.join(words)} --help exits with {run.returncode}")
    return run.stdout


def listed_options(help_text):
    """The options of the help's "Options:" block: the names at the start of its lines."""
    block = help_text.split("\nOptions:\n", 1)[1].split("\n\n", 1)[0]
    tags = [line.strip().split("  ")[0] for line in block.splitlines() if line.startswith("  -")]
    return {name for tag in tags for name in OPTION.findall(tag)}


def page_sections(page):
    """The page's text by (section, subsection), with font escapes and \\- undone."""
    sections = {}
    key = ("", "")
    for line in page.read_text().splitlines():
        line = re.sub(r"\\f[BIRP]|\\%|\\&|\\c", "", line).replace("\\-", "-")
        if line.startswith(".SH "):
            key = (line[4:].strip('"'), "")
        elif line.startswith(".SS "):
            key = (key[0], line[4:].strip('"'))
        else:
            sections.setdefault(key, []).append(line)
    return {k: "\n".join(v) for k, v in sections.items()}


def compare(what, in_help, in_page, help_words):
    for name in sorted(in_help - in_page):
        failures.append(f"{what}: {name} is in --help but not in the page")
    for name in sorted(in_page - help_words):
        failures.append(f"{what}: {name} is in the page but not in --help")


def check_formatting(page):
    run = subprocess.run(["groff", "-man", "-ww", "-z", str(page)], capture_output=True,
                         text=True, check=False)
    if run.returncode != 0 or run.stderr:
        failures.append(f"{page.name}: groff warns: {run.stderr.strip()}")
    if shutil.which("man"):
        run = subprocess.run(["man", "--warnings", "-l", str(page)], capture_output=True,
                             text=True, check=False, env={"MANWIDTH": "80", "PATH": "/usr/bin:/bin"})
        if run.returncode != 0 or run.stderr:
            failures.append(f"{page.name}: man warns: {run.stderr.strip()}")


def main():
    bin_dir, man_dir = Path(sys.argv[1]), Path(sys.argv[2])
    for name in sys.argv[3:]:
        program, page = str(bin_dir / name), man_dir / f"{name}.1"
        sections = page_sections(page)
        check_formatting(page)
        top = help_of(program)
        options_page = set(OPTION.findall(sections.get(("OPTIONS", ""), "")))
        for (section, sub), text in sections.items():
            if section == "OPTIONS" and sub:
                options_page |= set(OPTION.findall(text))
        if name != "tonedesk-cli":
            compare(name, listed_options(top), options_page, set(OPTION.findall(top)))
            continue
        commands = re.findall(r"^  ([a-z][\w-]*)", top.split("\nCommands:\n", 1)[1], re.M)
        in_page = {sub for (section, sub) in sections if section == "COMMANDS" and sub}
        compare(name + " commands", set(commands), in_page, set(commands))
        common = None
        for command in commands:
            options = listed_options(help_of(program, command))
            common = options if common is None else common & options
            text = sections.get(("COMMANDS", command), "")
            own = set(OPTION.findall(text))
            compare(f"{name} {command}", options - options_page, own, options)
        compare(name, listed_options(top) | common, options_page, listed_options(top) | common)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
