#!/usr/bin/env python3
"""Fails on an #include that runs upward through the levels of the project.

Levels, from the bottom:
  0 base/                       helpers that include nothing of ours
  1 data                        configuration/, signalprocessing/, layouts/, and the data headers of parser/
                                and conversion/ (every file there that is not a step below)
  2 session/                    the Session, the view state, the change notices
  3 steps                       the parser/ and conversion/ functions that take a Session
  4 orchestration               app/ and the conversion runner
  5 front ends                  cli/, gui/, filebrowser/
A file may include files of its own level and below. Core (levels 0 to 4) never includes Qt.
tests/, bench/ and fuzz/ may include anything.

usage: check_includes.py [ROOT]   (ROOT: the project folder, by default this script's parent)
"""

import pathlib
import re
import sys

FOLDER_LEVELS = {
    "base": 0,
    "configuration": 1,
    "signalprocessing": 1,
    "layouts": 1,
    "parser": 1,
    "conversion": 1,
    "session": 2,
    "app": 4,
    "cli": 5,
    "gui": 5,
    "filebrowser": 5,
}
LEVEL_NAMES = ["base", "data", "session", "step", "orchestration", "front end"]
# Files of parser/ and conversion/ above the data level, by path without extension.
STEPS = {
    "parser/analysis", "parser/metadataupdate", "parser/metadataview", "parser/previews",
    "parser/spupdate", "conversion/jobs", "conversion/guilock",
}
ORCHESTRATION = {"conversion/runner", "conversion/worker"}

LOCAL_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
QT_INCLUDE = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]*|Qt[A-Za-z]*/[^>]*)>')


def level_of(relative):
    """The level of a project path such as 'parser/analysis.h', or None outside the levels."""
    folder = relative.split("/", 1)[0]
    if folder not in FOLDER_LEVELS:
        return None
    stem = relative.rsplit(".", 1)[0]
    if stem in ORCHESTRATION:
        return 4
    if stem in STEPS:
        return 3
    return FOLDER_LEVELS[folder]


def check(root):
    faults = []
    paths = sorted(path for folder in FOLDER_LEVELS for path in (root / folder).rglob("*"))
    for path in paths:
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        relative = path.relative_to(root).as_posix()
        own = level_of(relative)
        if own is None:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            if own <= 4 and QT_INCLUDE.match(line):
                faults.append(f"{relative}:{number}: core includes Qt: {line.strip()}")
            match = LOCAL_INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            other = level_of(target)
            if other is not None and other > own:
                faults.append(f"{relative}:{number}: a {LEVEL_NAMES[own]} file includes \"{target}\" "
                              f"({LEVEL_NAMES[other]})")
    return faults


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    faults = check(root.resolve())
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"{len(faults)} include(s) run upward", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
