#!/usr/bin/env python3
"""Collects the scores of finished kelvor runs into a TSV (one row per run) and a Markdown
report: per combination of the learning settings, the mean and standard deviation over folds
and seed offsets of the kept epoch's validation score and of the final test score, and the
best combination by validation score.

usage: summarize.py --tsv summary.tsv --markdown summary.md RUN_DIR...
"""

import argparse
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvor_report as kr  # noqa: E402
import learning_grid  # noqa: E402
import prepare_run  # noqa: E402

SETTING_COLUMNS = ("rate", "momentum", "gain", "dcay", "epoch_limit")
COLUMNS = (
    "combination", *SETTING_COLUMNS, "fold", "seed", "kelvor_time", "random_seed",
    "stage1_epochs", "stage1_best_epoch", "stage1_best_validation", "stage1_test",
    "filter_epochs", "filter_best_epoch", "filter_best_validation", "filter_test",
    "run_dir",
)
STAGES = (("first stage", "stage1"), ("filter", "filter"))
TRAINED_TEST = ("The test part is trained in every epoch, like the training part (only the validation "
                "part is not), so its score is not an estimate on unseen chains.")


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
    with open(os.path.join(run_dir, "kelvor.in"), encoding="utf-8", errors="replace") as f:
        try:
            settings = learning_grid.values_of_records(prepare_run.read_template(f.read()))
        except (prepare_run.TemplateError, learning_grid.GridError) as e:
            raise kr.ReportError(f"{run_dir}/kelvor.in: {e}") from None
    row = {
        "combination": learning_grid.combination_name(settings),
        **{c: settings[k] for c, k in zip(SETTING_COLUMNS, ("rate", "momentum", "gain", "dcay", "epochs"))},
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


def score(text):
    return math.nan if text == "" else float(text)


def combination_stats(rows):
    """Per combination in order of first appearance: (name, rows, {column: (mean, sd)}) over
    the validation and test columns of both stages."""
    names = list(dict.fromkeys(r["combination"] for r in rows))
    out = []
    for name in names:
        mine = [r for r in rows if r["combination"] == name]
        stats = {}
        for _, key in STAGES:
            for column in (f"{key}_best_validation", f"{key}_test"):
                stats[column] = mean_sd([score(r[column]) for r in mine])
        out.append((name, mine, stats))
    return out


def best_combination(stats, key):
    """The combination with the highest mean validation score of a stage (the first one of
    equals), and the others that tie with it; None when no mean is a number."""
    column = f"{key}_best_validation"
    scored = [(name, s[column][0]) for name, _, s in stats
              if s[column][0] is not None and not math.isnan(s[column][0])]
    if not scored:
        return None
    top = max(v for _, v in scored)
    tied = [name for name, v in scored if v == top]
    return tied[0], top, tied[1:]


def best_line(stats, name, key):
    best = best_combination(stats, key)
    if best is None:
        return f"- {name}: none (no validation score is a number)."
    combo, value, ties = best
    tie = f"; tied by {', '.join(f'`{t}`' for t in ties)}" if ties else ""
    return f"- {name}: `{combo}` ({fmt(value)}{tie})."


def markdown(rows):
    stats = combination_stats(rows)
    folds = sorted({int(r["fold"]) for r in rows})
    seeds = sorted({int(r["seed"]) for r in rows})
    out = [
        "# kelvor cross-validation",
        "",
        f"{len(rows)} runs: {len(stats)} combination{'s' if len(stats) != 1 else ''} of the learning "
        f"settings × folds {', '.join(map(str, folds))} × seed offsets {', '.join(map(str, seeds))}.",
        "",
        "Best combination by the mean validation score of the kept epoch (the test scores play no part):",
        "",
        best_line(stats, "by the filter's", "filter"),
        best_line(stats, "by the first stage's", "stage1"),
        "",
        TRAINED_TEST,
        "",
        "## Combinations",
        "",
        "Mean and standard deviation (n − 1) over folds and seed offsets: validation, the score of "
        "the kept epoch; test, the final pass with the kept weights.",
        "",
        "| combination | runs | first stage: validation | sd | test | sd | filter: validation | sd | test | sd |",
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for name, mine, s in stats:
        cells = []
        for _, key in STAGES:
            for column in (f"{key}_best_validation", f"{key}_test"):
                cells += [fmt(s[column][0]), fmt(s[column][1])]
        out.append(f"| {name} | {len(mine)} | " + " | ".join(cells) + " |")
    out += [
        "",
        "## Runs",
        "",
        "| combination | fold | seed offset | random seed | first stage: epochs | kept epoch | validation | test "
        "| filter: epochs | kept epoch | validation | test |",
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for r in rows:
        cells = []
        for _, key in STAGES:
            cells += [r[f"{key}_epochs"], r[f"{key}_best_epoch"] or "–",
                      fmt(score(r[f"{key}_best_validation"])) if r[f"{key}_best_validation"] else "–",
                      fmt(score(r[f"{key}_test"]))]
        out.append(f"| {r['combination']} | {r['fold']} | {r['seed']} | {r['random_seed']} | " + " | ".join(cells) + " |")
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
    order = {name: i for i, name in enumerate(dict.fromkeys(r["combination"] for r in rows))}
    rows.sort(key=lambda r: (order[r["combination"]], int(r["fold"]), int(r["seed"])))
    with open(a.tsv, "w", encoding="utf-8") as f:
        f.write("\t".join(COLUMNS) + "\n")
        for r in rows:
            f.write("\t".join(r[c] for c in COLUMNS) + "\n")
    with open(a.markdown, "w", encoding="utf-8") as f:
        f.write(markdown(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
