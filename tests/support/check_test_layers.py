#!/usr/bin/env python3
"""Checks that the tests of a library include nothing above that library.

The tests of library L live in tests/L/ and make a program that links L and what is below it,
so they may include headers of L and of lower layers only (the order of docs/architecture.md,
as check_layers.py reads it). A header of the shared test helpers counts as the library it
uses: tests/support/bit_checks.h is the network's. The helpers every test program links
(tests/support/test_support.*) include no library at all. Test folders of the top layer's
programs (tools' tests, tests/synth) are not checked.

Usage: check_test_layers.py SOURCE_DIR [ARCHITECTURE_MD]
Prints one line per include that breaks this, "file:line: ...", and exits 1 when there is any.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

# The shared test headers that use a library, and that library.
SUPPORT_HEADERS = {"tests/support/bit_checks.h": "network"}
# The helpers every test program links: they may include no library.
PLAIN_HELPERS = ("tests/support/test_support.h", "tests/support/test_support.cpp")


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = check_layers.INCLUDE.match(line)
            if m:
                yield number, m.group(1)


def library_of(target, layers):
    """The library a header included by a test belongs to, or None (gtest, the test's own)."""
    if target in SUPPORT_HEADERS:
        return SUPPORT_HEADERS[target]
    folder = check_layers.owner(target, layers)
    return folder if folder is not None and folder != "tests" else None


def check(root, layers):
    top = max(layers.values())
    problems = []
    for rel in PLAIN_HELPERS:
        full = os.path.join(root, rel)
        if not os.path.isfile(full):
            problems.append(f"{rel}: missing")
            continue
        for number, target in includes(full):
            theirs = library_of(target, layers)
            if theirs is not None:
                problems.append(f"{rel}:{number}: the helpers every test program links include {target} "
                                f"from {theirs}; put what needs it in a helper of that library's tests")
    for folder, level in sorted(layers.items()):
        base = os.path.join(root, "tests", folder)
        if level == top or not os.path.isdir(base):
            continue
        for dirpath, _, files in sorted(os.walk(base)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, root)
                for number, target in includes(full):
                    theirs = library_of(target, layers)
                    if theirs is None or theirs == folder:
                        continue
                    if layers[theirs] >= level:
                        problems.append(f"{rel}:{number}: a test of {folder} (layer {level}) includes {target} "
                                        f"from {theirs} (layer {layers[theirs]}); it belongs in tests/{theirs}/")
    return problems


def main():
    return check_layers.run(check, "of the tests", __doc__)


if __name__ == "__main__":
    sys.exit(main())
