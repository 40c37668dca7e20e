#!/usr/bin/env python3
"""A data root without structural features: the same chains, with the first angle, the second
angle and the surface area of every kvqout record set to 0.

The DSSP-data and profile folders are linked; each kvqout file of the list is written anew
with its header line and every other field as it stands.

  featureless_root.py --data-root ../examples --list proteins.list --output roots/none
"""

import argparse
import os
import sys

# Fields of a kvqout record: index, letter, class, angle 1, angle 2, five unused numbers, area.
ANGLE1, ANGLE2, AREA, FIELDS = 3, 4, 10, 11


def without_features(text, path):
    lines = text.split("\n")
    out = lines[:1]
    for no, line in enumerate(lines[1:], 2):
        words = line.split()
        if not words:
            out.append(line)
            continue
        if len(words) < FIELDS:
            raise ValueError(f'file "{path}", line {no}: {len(words)} fields; a record holds {FIELDS} on one line')
        for k in (ANGLE1, ANGLE2, AREA):
            words[k] = "0.0"
        out.append(" ".join(words))
    return "\n".join(out)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--data-root", required=True)
    p.add_argument("--list", required=True)
    p.add_argument("--output", required=True)
    a = p.parse_args(argv)
    root = os.path.abspath(a.data_root)
    try:
        with open(a.list, encoding="utf-8", errors="replace") as f:
            names = [line.rstrip("\n").rstrip(" ") for line in f if line.strip()]
        os.makedirs(os.path.join(a.output, "kvqout"), exist_ok=True)
        for folder in ("dssp_data", "new_prf"):
            link = os.path.join(a.output, folder)
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(os.path.join(root, folder), link)
        for name in dict.fromkeys(names):
            src = os.path.join(root, "kvqout", name + ".kvqout")
            with open(src, encoding="utf-8", errors="replace") as f:
                text = without_features(f.read(), src)
            with open(os.path.join(a.output, "kvqout", name + ".kvqout"), "w", encoding="utf-8") as f:
                f.write(text)
    except (OSError, ValueError) as e:
        sys.exit(f"featureless_root.py: {e}")


if __name__ == "__main__":
    main()
