#!/usr/bin/env python3
"""Collects the scores of finished kelvor runs into a TSV (one row per run) and a Markdown
table (mean and standard deviation of the test-part accuracy per stage).

usage: summarize.py --tsv summary.tsv --markdown summary.md RUN_DIR...
"""

import argparse
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvor_report as kr  # noqa: E402

COLUMNS = (
    "fold", "seed", "kelvor_time", "random_seed",
    "stage1_epochs", "stage1_best_epoch", "stage1_best_validation", "stage1_test",
    "filter_epochs", "filter_best_epoch", "filter_best_validation", "filter_test",
    "run_dir",
)
STAGES = (("first stage", "stage1"), ("filter", "filter"))


def number(x):
    """A score as text: the shortest form that reads back as the same double."""
    if x is None:
        return ""
    if math.isnan(x):
        return "NaN"
    return repr(float(x))


def run_row(run_dir):
    done = kr.read_done(os.path.join(run_dir, kr.DONE))
    first, filt = kr.read_report(os.path.join(run_dir, kr.REPORT))
    if filt is None or not filt.complete:
        raise kr.ReportError(f"{run_dir}: the report ends before the filter phase's result")
    seed = kr.read_random_seed(os.path.join(run_dir, kr.STDOUT))
    row = {
        "fold": done.get("fold", ""),
        "seed": done.get("seed", ""),
        "kelvor_time": done.get("kelvor_time", ""),
        "random_seed": "" if seed is None else str(seed),
        "run_dir": run_dir,
    }
    for phase, (_, key) in zip((first, filt), STAGES):
        best = phase.best_epoch()
        row[f"{key}_epochs"] = str(len(phase.epochs))
        row[f"{key}_best_epoch"] = "" if best is None else str(best.number)
        row[f"{key}_best_validation"] = "" if best is None else number(best.validation)
        row[f"{key}_test"] = number(phase.test)
    return row


def mean_sd(values):
    """Mean and sample standard deviation (n - 1); the deviation is None for one value."""
    n = len(values)
    if n == 0:
        return None, None
    mean = math.fsum(values) / n
    if n == 1:
        return mean, None
    return mean, math.sqrt(math.fsum((v - mean) ** 2 for v in values) / (n - 1))


def fmt(x, digits=4):
    if x is None:
        return "–"
    if math.isnan(x):
        return "NaN"
    return f"{x:.{digits}f}"


def markdown(rows):
    folds = sorted({int(r["fold"]) for r in rows})
    seeds = sorted({int(r["seed"]) for r in rows})
    out = [
        "# kelvor cross-validation",
        "",
        f"{len(rows)} runs: folds {', '.join(map(str, folds))}; "
        f"seed offsets {', '.join(map(str, seeds))}. "
        "Test-part three-state accuracy of the final pass with the kept weights; "
        "standard deviation over runs (n − 1).",
        "",
        "| stage | runs | mean | standard deviation | min | max | mean epochs run | mean best epoch |",
        "|---|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for name, key in STAGES:
        scores = [float(r[f"{key}_test"]) for r in rows]
        mean, sd = mean_sd(scores)
        low, high = (math.nan, math.nan) if math.isnan(mean) else (min(scores), max(scores))
        epochs, _ = mean_sd([float(r[f"{key}_epochs"]) for r in rows])
        bests = [float(r[f"{key}_best_epoch"]) for r in rows if r[f"{key}_best_epoch"]]
        best, _ = mean_sd(bests)
        out.append(
            f"| {name} | {len(scores)} | {fmt(mean)} | {fmt(sd)} | {fmt(low)} | {fmt(high)} | "
            f"{fmt(epochs, 1)} | {fmt(best, 1)} |"
        )
    out += [
        "",
        "## Runs",
        "",
        "| fold | seed offset | random seed | first stage: epochs | best epoch | test "
        "| filter: epochs | best epoch | test |",
        "|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for r in rows:
        out.append(
            f"| {r['fold']} | {r['seed']} | {r['random_seed']} | {r['stage1_epochs']} | "
            f"{r['stage1_best_epoch'] or '–'} | {fmt(float(r['stage1_test']))} | "
            f"{r['filter_epochs']} | {r['filter_best_epoch'] or '–'} | {fmt(float(r['filter_test']))} |"
        )
    return "\n".join(out) + "\n"


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--tsv", required=True)
    p.add_argument("--markdown", required=True)
    p.add_argument("runs", nargs="+", metavar="RUN_DIR")
    a = p.parse_args(argv)
    try:
        rows = [run_row(d) for d in a.runs]
    except (OSError, kr.ReportError) as e:
        print(f"summarize: {e}", file=sys.stderr)
        return 1
    rows.sort(key=lambda r: (int(r["fold"]), int(r["seed"])))
    with open(a.tsv, "w", encoding="utf-8") as f:
        f.write("\t".join(COLUMNS) + "\n")
        for r in rows:
            f.write("\t".join(r[c] for c in COLUMNS) + "\n")
    with open(a.markdown, "w", encoding="utf-8") as f:
        f.write(markdown(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
