#!/usr/bin/env python3
"""Checks that every core folder includes only itself and the folders it is declared to use.

    check_layers.py ROOT LAYERS [EXCEPTIONS]

LAYERS has one line per core folder, "folder: dep dep ...", lowest folder first; a folder may
include the headers of its own folder and of every folder its declared dependencies reach.
EXCEPTIONS lists known arrows against the layers, one "file header" pair a line, that are
still allowed while they are being removed; an arrow not listed there fails the check.
Blank lines and text after "#" are ignored in both files.

Exit status 0 when every include keeps to the layers, 1 when one does not (each arrow is
printed as file:line), 2 when the layer table itself is wrong (unknown folder, cycle).
"""

import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def read_table(path):
    lines = []
    for raw in pathlib.Path(path).read_text().splitlines():
        line = raw.split("#", 1)[0].strip()
        if line:
            lines.append(line)
    return lines


def read_layers(path):
    deps = {}
    for line in read_table(path):
        folder, _, rest = line.partition(":")
        deps[folder.strip()] = rest.split()
    return deps


def reachable(deps, folder, seen=None):
    """The folders `folder` may include: itself and everything its dependencies reach."""
    seen = set() if seen is None else seen
    if folder in seen:
        return seen
    seen.add(folder)
    for dep in deps[folder]:
        reachable(deps, dep, seen)
    return seen


def table_errors(deps):
    errors = []
    for folder, folder_deps in deps.items():
        for dep in folder_deps:
            if dep not in deps:
                errors.append(f"{folder}: depends on {dep}, which is no core folder")
    if errors:
        return errors
    # Declared dependencies must point down: no folder may reach itself.
    for folder in deps:
        for dep in deps[folder]:
            if folder in reachable(deps, dep):
                errors.append(f"{folder}: the dependency on {dep} closes a cycle")
    return errors


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    root = pathlib.Path(argv[1])
    deps = read_layers(argv[2])
    exceptions = set()
    if len(argv) == 4:
        exceptions = {tuple(line.split()[:2]) for line in read_table(argv[3])}

    errors = table_errors(deps)
    if errors:
        for error in errors:
            print(f"layer table: {error}", file=sys.stderr)
        return 2

    # Any top-level folder of the tree counts: a core folder must not reach app/, tools/ or
    # tests/ either.
    top_folders = {p.name for p in root.iterdir() if p.is_dir() and not p.name.startswith(".")}
    arrows = []
    used_exceptions = set()
    for folder in sorted(deps):
        allowed = reachable(deps, folder)
        for source in sorted((root / folder).glob("*")):
            if source.suffix not in (".cpp", ".h"):
                continue
            relative = f"{folder}/{source.name}"
            for number, text in enumerate(source.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(text)
                if not match:
                    continue
                header = match.group(1)
                target = header.split("/", 1)[0] if "/" in header else None
                if target is None or target not in top_folders or target in allowed:
                    continue
                if (relative, header) in exceptions:
                    used_exceptions.add((relative, header))
                    continue
                arrows.append(f"{relative}:{number}: {folder}/ includes {header}, but "
                              f"{folder}/ may only use: {' '.join(sorted(allowed))}")

    for stale in sorted(exceptions - used_exceptions):
        print(f"note: the listed exception {stale[0]} -> {stale[1]} is no longer needed; "
              "remove it from the list", file=sys.stderr)
    if arrows:
        print("Includes against the layers (a folder may include only the folders below it):",
              file=sys.stderr)
        for arrow in arrows:
            print(f"  {arrow}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
