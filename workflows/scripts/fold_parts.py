#!/usr/bin/env python3
"""The training, validation and test parts of one kelvor fold, as kelvor splits its list.

With n proteins (the requested count, or the list's length when it is shorter) and test
fraction f, the test part is the block of round(f*n) list lines ending at line round(k*f*n)
of fold k; the validation part is the last round(0.05*(n - test)) of the other lines, the
training part the rest, all in list order. Rounding goes half away from zero, as kelvor's.
"rest" is the training and validation parts together: the list without the test block.

  fold_parts.py --list proteins.list --count 213 --fraction 0.1 --fold 3 --part test
"""

import argparse
import sys


def round_half_away(x):
    return int(x + 0.5) if x >= 0 else -int(-x + 0.5)


def parts(names, count, fraction, fold):
    """(training, validation, test) name lists of fold `fold`."""
    n = min(count, len(names))
    names = names[:n]
    test = round_half_away(n * fraction)
    valid = round_half_away((n - test) * 0.05)
    hi = round_half_away((fold * fraction) * n)
    lo = hi - test
    if test < 1 or not (test <= hi <= n):
        raise ValueError(f"fold {fold} with test fraction {fraction} has no test block within {n} proteins")
    rest = [x for j, x in enumerate(names, 1) if not (lo < j <= hi)]
    block = names[lo:hi]
    return rest[: len(rest) - valid], rest[len(rest) - valid:], block


def read_list(path):
    """The names of a protein list: blank lines are not proteins (kelvor refuses them)."""
    with open(path, encoding="utf-8", errors="replace") as f:
        names = [line.rstrip("\n").rstrip(" ")[:120] for line in f]
    for i, n in enumerate(names, 1):
        if not n:
            raise ValueError(f"{path}, line {i}: blank line")
    return names


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--list", required=True)
    p.add_argument("--count", type=int, required=True, help="requested protein count")
    p.add_argument("--fraction", type=float, required=True, help="test fraction")
    p.add_argument("--fold", type=int, required=True)
    p.add_argument("--part", choices=("training", "validation", "test", "rest"), required=True)
    p.add_argument("--output", required=True)
    a = p.parse_args(argv)
    try:
        training, validation, test = parts(read_list(a.list), a.count, a.fraction, a.fold)
        chosen = {"training": training, "validation": validation, "test": test, "rest": training + validation}[a.part]
    except (OSError, ValueError) as e:
        sys.exit(f"fold_parts.py: {e}")
    with open(a.output, "w", encoding="utf-8") as f:
        f.write("".join(n + "\n" for n in chosen))


if __name__ == "__main__":
    main()
