#!/usr/bin/env python3
"""Checks that no library includes a header of a library above it.

The order of the layers is read from the table between the "layers begin" and "layers end"
marks of docs/architecture.md, lowest first. A source file belongs to the deepest folder of the
table that holds it. It may include headers of its own folder and of folders on lower layers; a
folder on the same layer is a peer and is not included either. Folders on the top layer (tests,
benchmarks) may include anything.

Usage: check_layers.py SOURCE_DIR [ARCHITECTURE_MD]
Prints one line per upward include, "file:line: ...", and exits 1 when there is any.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
ROW = re.compile(r"^\|\s*(\d+)\s*\|([^|]*)\|")


def read_layers(path):
    layers = {}
    inside = False
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if "layers begin" in line:
                inside = True
                continue
            if "layers end" in line:
                break
            if not inside:
                continue
            m = ROW.match(line)
            if not m:
                continue
            level = int(m.group(1))
            for folder in m.group(2).split(","):
                folder = folder.strip().strip("`").rstrip("/")
                if folder:
                    if folder in layers:
                        sys.exit(f"{path}:{number}: folder {folder} is listed twice")
                    layers[folder] = level
    if not layers:
        sys.exit(f"{path}: no layer table between the 'layers begin' and 'layers end' marks")
    return layers


def owner(path, layers):
    """The deepest listed folder holding `path` (a path relative to the source tree), or None."""
    best = None
    for folder in layers:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def check(root, layers):
    top = max(layers.values())
    problems = []
    for folder in sorted(layers):
        base = os.path.join(root, folder)
        if not os.path.isdir(base):
            problems.append(f"docs: layer folder {folder} does not exist")
            continue
        for dirpath, _, files in os.walk(base):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".cc", ".hpp")):
                    continue
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, root)
                mine = owner(rel, layers)
                if mine != folder:
                    continue  # a deeper folder of the table owns it
                level = layers[mine]
                if level == top:
                    continue
                with open(full, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        theirs = owner(target, layers)
                        if theirs is None or theirs == mine:
                            continue
                        if layers[theirs] > level:
                            problems.append(f"{rel}:{number}: {mine} (layer {level}) includes {target} "
                                            f"from {theirs} (layer {layers[theirs]}), a layer above it")
                        elif layers[theirs] == level:
                            problems.append(f"{rel}:{number}: {mine} includes {target} from its peer "
                                            f"{theirs} (both layer {level})")
    return problems


def run(check_tree, what, usage):
    """The command line of a layer check: SOURCE_DIR [LAYER_DOC]; prints every problem that
    check_tree(root, layers) finds and returns the exit status."""
    if len(sys.argv) < 2:
        sys.exit(usage)
    root = sys.argv[1]
    doc = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "docs", "architecture.md")
    problems = check_tree(root, read_layers(doc))
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s){' ' + what if what else ''} break the layers of {doc}")
        return 1
    return 0


def main():
    return run(check, "", __doc__)


if __name__ == "__main__":
    sys.exit(main())
