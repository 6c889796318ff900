#!/usr/bin/env python3
"""Holds the folders to their layers: no file includes a header of a higher layer, and the
folders of one layer (the two shells, the two modules above the model) do not include each
other. Headers are found by the path below their folder's include/, or beside the including
file.

Usage: check_layers.py <source dir>
Exits 1 and names each include that runs the wrong way, or a source folder no layer holds.
"""
import pathlib
import re
import sys

# Lowest first. A file belongs to the folder of the longest prefix it starts with. The folders of
# the top layer use one another freely (the benchmarks and fuzz targets use the tests' fakes).
LAYERS = [
    ["Kestrum/base"],
    ["ports"],
    ["Kestrum/model"],
    ["KestrumScreenRecordingStatus", "settings_navigation"],
    ["Kestrum"],
    # The helper's core: parsing, the JSON line, the runner; it reaches the platform through ports.
    ["KestrumHelper"],
    ["platform/posix"],
    ["platform/linux", "platform/macos"],
    # What assembles or exercises everything: the entry points, tests, benchmarks, fuzz targets.
    ["KestrumHelper/app", "tests", "bench", "fuzz"],
]
SOURCE_SUFFIXES = {".c", ".cc", ".cpp", ".h", ".hpp", ".inc", ".mm"}
INCLUDE = re.compile(r'^\s*#\s*(?:include|import)\s*[<"]([^">]+)[">]', re.MULTILINE)


def place(relative: str):
    """(rank, folder) of a path below the source dir, or None when no layer holds it."""
    holders = [
        (rank, folder)
        for rank, folders in enumerate(LAYERS)
        for folder in folders
        if relative == folder or relative.startswith(folder + "/")
    ]
    return max(holders, key=lambda holder: len(holder[1]), default=None)


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    tops = {folder.split("/")[0] for folders in LAYERS for folder in folders}
    files = sorted(
        path
        for top in tops
        for path in (root / top).rglob("*")
        if path.suffix in SOURCE_SUFFIXES and path.is_file()
    )
    # The headers a module offers, by the path they are included by.
    offered = {}
    for path in files:
        parts = path.relative_to(root).parts
        if "include" in parts:
            below = "/".join(parts[parts.index("include") + 1 :])
            offered.setdefault(below, path)

    problems = []
    for path in files:
        relative = path.relative_to(root).as_posix()
        here = place(relative)
        if here is None:
            problems.append(f"{relative}: in no layer")
            continue
        for name in INCLUDE.findall(path.read_text(errors="replace")):
            beside = (path.parent / name).resolve()
            target = beside if beside.is_file() and root in beside.parents else offered.get(name)
            if target is None:
                continue  # a system or third-party header
            there = place(target.relative_to(root).as_posix())
            if there is None:
                continue
            sideways = there[0] == here[0] and there[1] != here[1] and here[0] < len(LAYERS) - 1
            if there[0] > here[0] or sideways:
                problems.append(f"{relative} includes {name} ({there[1]}, above or beside {here[1]})")
    for problem in problems:
        print(problem)
    print(f"checked the includes of {len(files)} files: {len(problems)} run the wrong way")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
