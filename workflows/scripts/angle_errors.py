#!/usr/bin/env python3
"""Errors of predicted angles and surface areas against the observed ones, and those of a
per-letter mean computed on other chains.

Each kvqout record holds a residue's letter, first angle, second angle and area (fields 2, 4,
5 and 11). An angle written as exactly 0.0 in the observed file is undefined (chain ends and
breaks) and is not scored. Angle errors are circular, in degrees; the area's error is in square
angstroms and its correlation (Pearson) is taken on the relative area, the area over the
letter's maximum, which is what the network learns (a letter without a maximum keeps the one of
the residue before it in the chain; residues before any are left out).

The per-letter mean of a set of chains is, for each residue letter, the circular mean of each
angle and the mean area; a letter that the set does not hold gets the mean over all residues.
"""

import math
import os

ASAMAX = dict(zip("RKDENQHYWSTGPAMCFLVI", (271, 257, 183, 286, 188, 215, 238, 250, 260, 181, 192, 136, 170, 169,
                                          236, 139, 221, 221, 171, 210)))


class Residue:
    __slots__ = ("letter", "angle1", "angle2", "area")

    def __init__(self, letter, angle1, angle2, area):
        self.letter, self.angle1, self.angle2, self.area = letter, angle1, angle2, area


def read_kvqout(path):
    """The residues of a kvqout file, one record per line after the header line."""
    out = []
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    for no, line in enumerate(lines[1:], 2):
        w = line.split()
        if not w:
            continue
        if len(w) < 11:
            raise ValueError(f'file "{path}", line {no}: {len(w)} fields; a record holds 11')
        try:
            values = [float(w[k]) for k in (3, 4, 10)]
        except ValueError:
            raise ValueError(f'file "{path}", line {no}: an angle or area that is not a number') from None
        if not all(math.isfinite(v) for v in values):
            raise ValueError(f'file "{path}", line {no}: an angle or area that is not finite')
        out.append(Residue(w[1], *values))
    return out


def read_chains(root, names):
    return {n: read_kvqout(os.path.join(root, "kvqout", n + ".kvqout")) for n in names}


def angle_difference(a, b):
    d = abs(a - b) % 360.0
    return min(d, 360.0 - d)


def circular_mean(angles):
    s = sum(math.sin(math.radians(a)) for a in angles)
    c = sum(math.cos(math.radians(a)) for a in angles)
    return math.degrees(math.atan2(s, c)) if angles else 0.0


def letter_means(chains):
    """Per letter: (first angle, second angle, area), from the chains' defined values."""
    groups = {}
    everything = ([], [], [])
    for residues in chains.values():
        for r in residues:
            g = groups.setdefault(r.letter, ([], [], []))
            for values in (g, everything):
                if r.angle1 != 0.0:
                    values[0].append(r.angle1)
                if r.angle2 != 0.0:
                    values[1].append(r.angle2)
                values[2].append(r.area)

    def means(g, fallback):
        return tuple(
            (circular_mean(v) if k < 2 else sum(v) / len(v)) if v else fallback[k] for k, v in enumerate(g))

    overall = means(everything, (0.0, 0.0, 0.0))
    table = {letter: means(g, overall) for letter, g in groups.items()}
    return table, overall


def pearson(x, y):
    n = len(x)
    if n < 2:
        return float("nan")
    mx, my = sum(x) / n, sum(y) / n
    sxy = sum((a - mx) * (b - my) for a, b in zip(x, y))
    sxx = sum((a - mx) ** 2 for a in x)
    syy = sum((b - my) ** 2 for b in y)
    return sxy / math.sqrt(sxx * syy) if sxx > 0 and syy > 0 else float("nan")


def errors(observed, predicted):
    """Scores of predicted against observed chains (name -> residues, the same names):
    residues, mae_angle1 and mae_angle2 (degrees, defined angles only), mae_area (square
    angstroms), area_correlation (relative areas)."""
    e1, e2, ea, rel_o, rel_p = [], [], [], [], []
    count = 0
    for name, obs in observed.items():
        pred = predicted[name]
        if len(pred) != len(obs):
            raise ValueError(f"chain {name}: {len(pred)} predicted residues, {len(obs)} observed")
        largest = 0.0
        for o, p in zip(obs, pred):
            if o.letter != p.letter:
                raise ValueError(f"chain {name}: letter {p.letter} predicted where {o.letter} is observed")
            count += 1
            if o.angle1 != 0.0:
                e1.append(angle_difference(o.angle1, p.angle1))
            if o.angle2 != 0.0:
                e2.append(angle_difference(o.angle2, p.angle2))
            ea.append(abs(o.area - p.area))
            largest = ASAMAX.get(o.letter, largest)
            if largest > 0:
                rel_o.append(o.area / largest)
                rel_p.append(p.area / largest)

    def mean(v):
        return sum(v) / len(v) if v else float("nan")

    return {"residues": count, "mae_angle1": mean(e1), "mae_angle2": mean(e2), "mae_area": mean(ea),
            "area_correlation": pearson(rel_p, rel_o)}


def baseline(observed, table, overall):
    """Every residue of the observed chains given its letter's means."""
    return {name: [Residue(r.letter, *table.get(r.letter, overall)) for r in residues]
            for name, residues in observed.items()}
