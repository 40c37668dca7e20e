#!/usr/bin/env python3
"""Summary of the honest pipeline: per fold, the Q3 and SOV'99 on the fold's held-out block of the structure model
trained and tested with observed, predicted (out-of-fold) and no structural features, and the
errors of the predicted angles and areas beside those of a per-letter mean computed on the
fold's training part.

  honest_summary.py --data-root ROOT --predicted PRED --list LIST --count N --fraction F
                    --tsv honest.tsv --angles-tsv angle_errors.tsv --markdown honest.md
                    observed=RUN_DIR ... predicted=RUN_DIR ... none=RUN_DIR ...

Every RUN_DIR holds kelvor.done (fold and seed offset) and test-scores/scores.json, the report
of kelvor-predict on the fold's test block, which the run did not train on; its parent
directory is named by its learning settings.
"""

import argparse
import json
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import angle_errors  # noqa: E402
import fold_parts  # noqa: E402
import kelvor_report  # noqa: E402

SOURCES = ("observed", "predicted", "none")
STAGES = ("filter", "first_stage")
ANGLE_SCORES = ("mae_angle1", "mae_angle2", "mae_area", "area_correlation")


def mean_sd(values):
    v = [x for x in values if x is not None and not math.isnan(x)]
    if not v:
        return float("nan"), float("nan")
    m = sum(v) / len(v)
    sd = math.sqrt(sum((x - m) ** 2 for x in v) / (len(v) - 1)) if len(v) > 1 else float("nan")
    return m, sd


def fmt(x, digits=4):
    return "n/a" if x is None or math.isnan(x) else f"{x:.{digits}f}"


def run_row(source, run_dir):
    done = kelvor_report.read_done(os.path.join(run_dir, "kelvor.done"))
    path = os.path.join(run_dir, "test-scores", "scores.json")
    with open(path, encoding="utf-8") as f:
        scores = json.load(f)
    row = {"source": source, "combination": os.path.basename(os.path.dirname(os.path.normpath(run_dir))),
           "fold": int(done["fold"]), "seed": int(done["seed"])}
    for stage in STAGES:
        s = scores.get(stage)
        if not s:
            raise ValueError(f"{path}: no {stage} scores")
        row[f"{stage}_q3"] = s["q3"]
        row[f"{stage}_sov99"] = s["sov99"]
        row[f"{stage}_residues"] = s["residues"]
    row["run_dir"] = run_dir
    return row


def fold_angle_errors(data_root, predicted_root, names, count, fraction, folds):
    """Per fold: the network's and the per-letter mean's errors on the test part."""
    out = {}
    for fold in folds:
        training, _, test = fold_parts.parts(names, count, fraction, fold)
        observed = angle_errors.read_chains(data_root, test)
        table, overall = angle_errors.letter_means(angle_errors.read_chains(data_root, training))
        out[fold] = {
            "network": angle_errors.errors(observed, angle_errors.read_chains(predicted_root, test)),
            "letter_mean": angle_errors.errors(observed, angle_errors.baseline(observed, table, overall)),
        }
    return out


def markdown(rows, angles):
    folds = sorted({r["fold"] for r in rows})
    combos = sorted({r["combination"] for r in rows})
    out = ["# Honest pipeline", "",
           "Scores of the structure model on each fold's test block (kelvor-predict; the mean over seed "
           "offsets) with observed structural features, features predicted out-of-fold by kelvor-angles, and "
           "none (the three values set to 0 in training and prediction). The runs of fold k train on the list "
           "without that block, so it holds chains they never saw; the predicted features of every chain come "
           "from an angle model that never trained on it.", ""]
    for combo in combos:
        out += [f"## {combo}", "",
                "| fold | Q3 observed | Q3 predicted | Q3 none | SOV'99 observed | SOV'99 predicted | SOV'99 none |",
                "|---|---|---|---|---|---|---|"]
        per_fold = {s: {} for s in SOURCES}
        for fold in folds:
            cells = {}
            for s in SOURCES:
                mine = [r for r in rows if r["combination"] == combo and r["fold"] == fold and r["source"] == s]
                cells[s] = (mean_sd([r["filter_q3"] for r in mine])[0], mean_sd([r["filter_sov99"] for r in mine])[0])
                per_fold[s][fold] = cells[s]
            out.append(f"| {fold} | " + " | ".join(fmt(cells[s][0]) for s in SOURCES) + " | " +
                       " | ".join(fmt(cells[s][1]) for s in SOURCES) + " |")
        stats = {s: [mean_sd([v[k] for v in per_fold[s].values()]) for k in (0, 1)] for s in SOURCES}
        out.append("| mean ± sd | " + " | ".join(f"{fmt(stats[s][0][0])} ± {fmt(stats[s][0][1])}" for s in SOURCES) +
                   " | " + " | ".join(f"{fmt(stats[s][1][0])} ± {fmt(stats[s][1][1])}" for s in SOURCES) + " |")
        out += ["", "Filter scores; the first stage's are in the TSV.", ""]
    out += ["## Angles and areas on each fold's test part", "",
            "kelvor-angles' out-of-fold predictions against a per-letter mean computed on the fold's training part "
            "(circular mean of each angle, mean area). Angle errors in degrees over defined angles; area error "
            "in square angstroms; correlation of the relative area.", "",
            "| fold | residues | angle 1 MAE (net / mean) | angle 2 MAE (net / mean) | area MAE (net / mean) "
            "| area correlation (net / mean) |", "|---|---|---|---|---|---|"]
    for fold in sorted(angles):
        a = angles[fold]
        out.append(f"| {fold} | {a['network']['residues']} | " + " | ".join(
            f"{fmt(a['network'][k], 4 if k == 'area_correlation' else 2)} / "
            f"{fmt(a['letter_mean'][k], 4 if k == 'area_correlation' else 2)}" for k in ANGLE_SCORES) + " |")
    cells = []
    for k in ANGLE_SCORES:
        d = 4 if k == "area_correlation" else 2
        n = mean_sd([angles[f]["network"][k] for f in angles])
        b = mean_sd([angles[f]["letter_mean"][k] for f in angles])
        cells.append(f"{fmt(n[0], d)} ± {fmt(n[1], d)} / {fmt(b[0], d)} ± {fmt(b[1], d)}")
    out.append("| mean ± sd | | " + " | ".join(cells) + " |")
    return "\n".join(out) + "\n"


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--data-root", required=True, help="the data root with the observed kvqout files")
    p.add_argument("--predicted", required=True, help="folder with kvqout/ of out-of-fold predictions")
    p.add_argument("--list", required=True)
    p.add_argument("--count", type=int, required=True)
    p.add_argument("--fraction", type=float, required=True)
    p.add_argument("--tsv", required=True)
    p.add_argument("--angles-tsv", required=True)
    p.add_argument("--markdown", required=True)
    p.add_argument("runs", nargs="+", metavar="SOURCE=RUN_DIR")
    a = p.parse_args(argv)
    try:
        rows = []
        for item in a.runs:
            source, _, run_dir = item.partition("=")
            if source not in SOURCES or not run_dir:
                raise ValueError(f"{item!r}: give SOURCE=RUN_DIR with SOURCE one of {', '.join(SOURCES)}")
            rows.append(run_row(source, run_dir))
        rows.sort(key=lambda r: (r["combination"], r["fold"], r["seed"], SOURCES.index(r["source"])))
        folds = sorted({r["fold"] for r in rows})
        angles = fold_angle_errors(a.data_root, a.predicted, fold_parts.read_list(a.list), a.count, a.fraction, folds)
    except (OSError, ValueError, KeyError) as e:
        sys.exit(f"honest_summary.py: {e}")
    columns = ["source", "combination", "fold", "seed"] + [f"{s}_{k}" for s in STAGES for k in ("q3", "sov99", "residues")] + ["run_dir"]
    with open(a.tsv, "w", encoding="utf-8") as f:
        f.write("\t".join(columns) + "\n")
        for r in rows:
            f.write("\t".join(str(r[c]) for c in columns) + "\n")
    with open(a.angles_tsv, "w", encoding="utf-8") as f:
        f.write("fold\tmodel\tresidues\t" + "\t".join(ANGLE_SCORES) + "\n")
        for fold in sorted(angles):
            for model in ("network", "letter_mean"):
                e = angles[fold][model]
                f.write(f"{fold}\t{model}\t{e['residues']}\t" + "\t".join(repr(e[k]) for k in ANGLE_SCORES) + "\n")
    with open(a.markdown, "w", encoding="utf-8") as f:
        f.write(markdown(rows, angles))


if __name__ == "__main__":
    main()
