#!/usr/bin/env python3
"""Plots of kelvor runs, drawn with gnuplot, as PNG and SVG.

  kelvor_plot.py run RUN_DIR [--output PREFIX]
      learning curves of one run from its kelvor.valdav: training, validation and test score
      per epoch, first stage and filter side by side, the kept epoch and the final test
      score marked. Without --output: RUN_DIR/learning-curves.png and .svg. A run that is
      still going is drawn as far as its report goes.

  kelvor_plot.py summary SUMMARY_TSV --output PREFIX
      the kept epoch's validation score and the final test score of every run of a
      cross-validation grid (the TSV written by summarize.py), first stage and filter: folds
      as categories, the combinations of the learning settings side by side in each, with
      the mean per fold and the mean and standard deviation over all folds.
"""

import argparse
import math
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvor_report as kr  # noqa: E402

COLORS = {"training": "#1f77b4", "validation": "#ff7f0e", "test": "#2ca02c",
          "kept": "#d62728", "final": "#000000", "filter": "#9467bd"}
TERMINALS = {
    "png": "pngcairo noenhanced size {w},{h} font 'Sans,10'",
    "svg": "svg noenhanced size {w},{h} dynamic font 'Sans,10' background '#ffffff'",
}


def quote(text):
    """A gnuplot string in single quotes."""
    return "'" + str(text).replace("'", "''") + "'"


def lines(*texts):
    """A gnuplot string in double quotes that holds several lines."""
    return '"' + "\\n".join(str(t).replace("\\", "\\\\").replace('"', '\\"') for t in texts) + '"'


def value(x):
    return "NaN" if x is None or math.isnan(x) else repr(float(x))


def datablock(name, rows):
    lines = [f"${name} << EOD"]
    lines += [" ".join(value(v) if isinstance(v, float) else str(v) for v in row) for row in rows]
    lines.append("EOD")
    return "\n".join(lines)


def phase_panel(name, tag, phase):
    """Datablocks and the plot commands of one phase's panel."""
    blocks, cmds = [], [f"set title {quote(name)}"]
    if phase is None:
        cmds += [
            "set xrange [0:2]", "set yrange [0:1]",
            "set label 1 'not reached yet' at graph 0.5, graph 0.5 center",
            "plot 2 notitle", "unset label 1", "set autoscale y",
        ]
        return blocks, cmds
    n = len(phase.epochs)
    best = phase.best_epoch()
    blocks.append(datablock(tag, [(e.number, e.training, e.validation, e.test) for e in phase.epochs]
                            or [(1, math.nan, math.nan, math.nan)]))
    kept = best.number if best else (1 if n == 0 else None)
    marks = [(kept if kept is not None else 1,
              best.validation if best else math.nan,
              phase.test if phase.test is not None else math.nan)]
    blocks.append(datablock(tag + "mark", marks))
    cmds.append(f"set xrange [0.5:{max(n, 1) + 0.5}]")
    cmds.append("set xtics 1" if n <= 15 else "set xtics autofreq")
    plots = []
    for col, series in ((2, "training"), (3, "validation"), (4, "test")):
        plots.append(f"${tag} using 1:{col} with linespoints pt 7 ps 0.5 lw 1.5 "
                     f"lc rgb {quote(COLORS[series])} title {quote(series)}")
    if best:
        cmds.append(f"set arrow 1 from {best.number}, graph 0 to {best.number}, graph 1 "
                    f"nohead dt 2 lc rgb {quote(COLORS['kept'])}")
        plots.append(f"${tag}mark using 1:2 with points pt 6 ps 2.5 lw 2 lc rgb {quote(COLORS['kept'])} "
                     f"title {quote(f'kept: epoch {best.number}')}")
    elif n == 0:
        cmds.append("set label 1 'no training epochs' at graph 0.5, graph 0.9 center")
    else:
        cmds.append("set label 1 'no validation score: nothing kept' at graph 0.5, graph 0.9 center")
    if phase.test is not None and not math.isnan(phase.test):
        plots.append(f"${tag}mark using 1:3 with points pt 9 ps 2 lc rgb {quote(COLORS['final'])} "
                     f"title {quote(f'final test {phase.test:.4f}')}")
    cmds.append("plot " + ", \\\n     ".join(plots))
    cmds += ["unset arrow 1", "unset label 1"]
    return blocks, cmds


def run_script(run_dir, outputs):
    first, filt = kr.read_report(os.path.join(run_dir, kr.REPORT))
    name = os.path.basename(os.path.normpath(os.path.abspath(run_dir)))
    b1, c1 = phase_panel("first stage", "stage", first)
    b2, c2 = phase_panel("filter", "filter", filt)
    body = [
        f"set multiplot layout 1,2 title {quote('kelvor learning curves: ' + name)}",
        "set grid", "set key outside below center horizontal maxrows 2 spacing 1.2", "set bmargin 7",
        "set xlabel 'epoch'",
        "set ylabel 'three-state accuracy'", "set autoscale y",
        *c1, *c2, "unset multiplot",
    ]
    return render(b1 + b2, body, outputs, 1200, 520)


def read_summary(path):
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        rows = [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f if line.strip()]
    for needed in ("fold", "seed") + SCORES:
        if needed not in header:
            raise kr.ReportError(f"{path}: no column {needed}")
    if not rows:
        raise kr.ReportError(f"{path}: no runs")
    return rows


# The scores of the summary plot, one panel each: (column, stage, what).
PANELS = (
    ("stage1_best_validation", "first stage", "validation score of the kept epoch"),
    ("stage1_test", "first stage", "test score, final pass"),
    ("filter_best_validation", "filter", "validation score of the kept epoch"),
    ("filter_test", "filter", "test score, final pass"),
)
SCORES = tuple(column for column, _, _ in PANELS)
PALETTE = ("#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
           "#bcbd22", "#17becf")


def mean_sd(values):
    values = [v for v in values if not math.isnan(v)]
    if not values:
        return math.nan, math.nan
    mean = math.fsum(values) / len(values)
    if len(values) == 1:
        return mean, math.nan
    return mean, math.sqrt(math.fsum((v - mean) ** 2 for v in values) / (len(values) - 1))


def real(text):
    return math.nan if text == "" else kr.parse_real(text)


def summary_script(tsv, outputs):
    """Folds are categories side by side, then "all folds"; within each, one column of points
    per combination of the learning settings: every run, and the mean (per fold) or the mean
    and standard deviation (all folds)."""
    rows = read_summary(tsv)
    combos = list(dict.fromkeys(r.get("combination", "") for r in rows))
    folds = sorted({int(r["fold"]) for r in rows})
    k = len(combos)
    width = min(0.8 / k, 0.25)

    def x(fold_index, combo_index):
        return fold_index + (combo_index - (k - 1) / 2) * width

    runs, means, overall = [], [], []
    for j, combo in enumerate(combos):
        mine = [r for r in rows if r.get("combination", "") == combo]
        for r in mine:
            runs.append((j, x(folds.index(int(r["fold"])), j), *(real(r[c]) for c in SCORES)))
        for i, fold in enumerate(folds):
            here = [r for r in mine if int(r["fold"]) == fold]
            means.append((j, x(i, j), *(mean_sd([real(r[c]) for r in here])[0] for c in SCORES)))
        stats = [mean_sd([real(r[c]) for r in mine]) for c in SCORES]
        overall.append((j, x(len(folds), j), *(v for pair in stats for v in pair)))
    blocks = [datablock("runs", runs), datablock("means", means), datablock("all", overall)]

    tics = [f"'fold {f}' {i}" for i, f in enumerate(folds)] + [f"'all folds' {len(folds)}"]
    body = [
        "set multiplot layout 2,2 title " + lines(
            f"kelvor cross-validation: {len(rows)} runs, {k} combination{'s' if k != 1 else ''} of the "
            "learning settings. Dots: each run; crosses: mean per fold; squares: mean and standard "
            "deviation over all folds.",
            "The test part is trained in every epoch, so its score is not an estimate on unseen chains."),
        "set grid ytics", "set key outside below center horizontal", "set bmargin " + str(4 + k),
        f"set xrange [-0.5:{len(folds) + 0.5}]", "set xtics (" + ", ".join(tics) + ")",
        "set ylabel 'three-state accuracy'", "set autoscale y",
        f"set arrow 1 from {len(folds) - 0.5}, graph 0 to {len(folds) - 0.5}, graph 1 nohead dt 3 lc rgb '#999999'",
    ]
    for p, (column, stage, what) in enumerate(PANELS):
        col = 3 + p
        body.append(f"set title {quote(f'{stage}: {what}')}")
        if all(math.isnan(real(r[column])) for r in rows):
            # An empty validation or test part: gnuplot refuses a plot without a point.
            body += ["set yrange [0:1]", "set label 2 'no scores' at graph 0.5, graph 0.5 center",
                     "plot 2 notitle", "unset label 2", "set autoscale y"]
            continue
        plots = []
        for j, combo in enumerate(combos):
            color = quote(PALETTE[j % len(PALETTE)])
            pick = f"($1 == {j} ? $2 : NaN)"
            plots += [
                f"$runs using {pick}:{col} with points pt 7 ps 0.8 lc rgb {color} "
                f"title {quote(combo or 'runs')}",
                f"$means using {pick}:{col} with points pt 3 ps 2 lw 2 lc rgb {color} notitle",
                f"$all using {pick}:{3 + 2 * p}:{4 + 2 * p} with yerrorbars pt 5 ps 1.2 lw 1.5 "
                f"lc rgb {color} notitle",
            ]
        body.append("plot " + ", \\\n     ".join(plots))
    body += ["unset arrow 1", "unset multiplot"]
    return render(blocks, body, outputs, 1200, 900 + 40 * k)


def render(blocks, body, outputs, width, height):
    """One gnuplot script that draws the same plot once for every output file."""
    lines = ["set encoding utf8", "set datafile missing 'NaN'", *blocks]
    for path in outputs:
        ext = os.path.splitext(path)[1].lstrip(".")
        lines += [f"set terminal {TERMINALS[ext].format(w=width, h=height)}",
                  f"set output {quote(path)}", *body, "unset output"]
    return "\n".join(lines) + "\n"


def draw(script):
    try:
        done = subprocess.run(["gnuplot"], input=script, text=True, capture_output=True)
    except FileNotFoundError:
        raise SystemExit("kelvor_plot: gnuplot is not installed (Debian: apt-get install gnuplot-nox)")
    # gnuplot reports errors on standard error but does not always end with a status.
    errors = [l for l in done.stderr.splitlines() if l.strip()]
    if done.returncode != 0 or any("rror" in l for l in errors):
        sys.stderr.write(done.stderr)
        raise SystemExit(f"kelvor_plot: gnuplot failed (status {done.returncode})")


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter, epilog=__doc__)
    p.add_argument("what", choices=("run", "summary"))
    p.add_argument("source", help="run directory, or summary TSV")
    p.add_argument("--output", help="path of the plots without the extension")
    p.add_argument("--formats", default="png,svg", help="comma-separated: png, svg (default both)")
    a = p.parse_args(argv)
    formats = [f for f in a.formats.split(",") if f]
    unknown = [f for f in formats if f not in TERMINALS]
    if unknown or not formats:
        p.error(f"formats: png and svg only, not {', '.join(unknown) or 'none'}")
    prefix = a.output
    if prefix is None:
        if a.what == "summary":
            p.error("summary needs --output")
        prefix = os.path.join(a.source, "learning-curves")
    outputs = [f"{prefix}.{f}" for f in formats]
    os.makedirs(os.path.dirname(os.path.abspath(prefix)), exist_ok=True)
    try:
        script = run_script(a.source, outputs) if a.what == "run" else summary_script(a.source, outputs)
    except (OSError, kr.ReportError) as e:
        print(f"kelvor_plot: {e}", file=sys.stderr)
        return 1
    draw(script)
    return 0


if __name__ == "__main__":
    sys.exit(main())
