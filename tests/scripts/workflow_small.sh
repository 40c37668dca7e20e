#!/usr/bin/env bash
# The cross-validation workflow on a small grid (2 folds x 2 seed offsets, epoch limit 1, the
# first 30 chains of the example set): summary table, plots, a second invocation that does
# nothing, byte-identical run directories from the same KELVOR_TIME, a failing run that fails
# its rule, keeps what it wrote and leaves the finished runs alone, a grid over learning
# settings, and a trial that would overwrite another grid's runs refused.
set -euo pipefail
build=$1 src=$2
for tool in snakemake gnuplot; do
  if ! command -v $tool > /dev/null; then
    if [ -n "${CI:-}" ]; then echo "FAIL: $tool is not installed (.ci/packages lists it)"; exit 1; fi
    echo "skipped: $tool is not installed (Debian packages snakemake, gnuplot-nox)"
    exit 0
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$src/tests/support/workflow.sh"
combo=$(template_combo 1)

# 1. The grid.
config a "[1, 2]" "[7, 11]"
start=$(date +%s)
if ! sm a --cores 2 > "$work/a.log" 2>&1; then
  tail -n 40 "$work/a.log"
  echo "FAIL: the workflow failed"
  exit 1
fi
echo "grid of 4 runs: $(( $(date +%s) - start )) s"
res=$work/a

# The summary table: one row per run, its values as the run directory has them.
tsv=$res/summary.tsv
header="combination rate momentum gain dcay epoch_limit fold seed kelvor_time random_seed stage1_epochs stage1_best_epoch stage1_best_validation stage1_test filter_epochs filter_best_epoch filter_best_validation filter_test run_dir"
[ "$(head -n 1 "$tsv" | tr '\t' ' ')" = "$header" ] || fail "summary.tsv header: $(head -n 1 "$tsv")"
[ "$(tail -n +2 "$tsv" | cut -f1-8 | tr '\t\n' ': ')" = "$(for r in 1:7 1:11 2:7 2:11; do
  printf '%s:0.001:0.5:0.5:1.0:1:%s ' "$combo" "$r"; done)" ] \
  || fail "summary.tsv rows: $(tail -n +2 "$tsv" | cut -f1-8 | tr '\t\n' ': ')"
tail -n +2 "$tsv" | cut -f7- | while IFS=$'\t' read -r fold seed time rseed e1 b1 v1 t1 e2 b2 v2 t2 dir; do
  run=$res/runs/$combo/fold${fold}_seed$seed
  [ "$dir" = "$run" ] || echo "FAIL: run_dir $dir"
  [ "$time" = 03:04:05 ] || echo "FAIL: $run: kelvor_time $time"
  grep -q "^KELVOR_TIME=03:04:05 exec \"\$kelvor\" $seed\$" "$run/run.sh" || echo "FAIL: $run/run.sh"
  [ "$(sed -n 8p "$run/kelvor.in" | awk '{print $1}')" = "$fold" ] || echo "FAIL: $run/kelvor.in fold"
  [ "$(sed -n 1p "$run/kelvor.in" | awk '{print $1}')" = 1 ] || echo "FAIL: $run/kelvor.in epoch limit"
  seedline=$(grep 'random seed =' "$run/kelvor.out" | awk '{print $NF}')
  [ "$rseed" = "$seedline" ] || echo "FAIL: $run: random_seed $rseed, kelvor.out says $seedline"
  [ "$e1:$b1:$e2:$b2" = "1:1:1:1" ] || echo "FAIL: $run: epochs and best epochs $e1:$b1:$e2:$b2"
  # The validation score of the one epoch and both final test scores, as the report has them.
  read -r rv1 rv2 <<< "$(awk '/D[+-]/ {printf "%s ", $3}' "$run/kelvor.valdav")"
  read -r rt1 rt2 <<< "$(awk '/#Cross Validation/ {getline; getline; printf "%s ", $2}' "$run/kelvor.valdav")"
  awk -v a="$v1:$v2:$t1:$t2" -v b="$rv1:$rv2:$rt1:$rt2" 'BEGIN {
    n = split(a, x, ":"); split(b, y, ":"); gsub(/D/, "E", y[1]); gsub(/D/, "E", y[2]);
    for (i = 1; i <= n; i++) if (x[i] + 0 != y[i] + 0 || x[i] + 0 <= 0 || x[i] + 0 > 1) exit 1 }' \
    || echo "FAIL: $run: scores $v1 $v2 $t1 $t2, report $rv1 $rv2 $rt1 $rt2"
done | tee "$work/rows.txt"
[ ! -s "$work/rows.txt" ] || failures=$((failures + 1))
# Different seed offsets give different random seeds.
[ "$(tail -n +2 "$tsv" | cut -f8,10 | sort -u | cut -f2 | sort -u | wc -l)" = 2 ] \
  || fail "random seeds do not follow the seed offsets"

# The Markdown table: mean and sample standard deviation of the four kept-epoch validation
# scores and the four test scores per stage (to the printed four digits; the sums differ in order).
row=$(grep -F "| $combo | 4 |" "$res/summary.md" | head -n 1)
tail -n +2 "$tsv" | cut -f13,14,17,18 | awk -v row="$row" '{for (c = 1; c <= 4; c++) { s[c] += $c; q[NR, c] = $c }}
  END { n = split(row, cell, "|"); if (n != 12) exit 1
    for (c = 1; c <= 4; c++) { m = s[c] / NR; d = 0; for (i = 1; i <= NR; i++) d += (q[i, c] - m) ^ 2
      if ((cell[2 + 2 * c] - m) ^ 2 > 3e-9 || (cell[3 + 2 * c] - sqrt(d / (NR - 1))) ^ 2 > 3e-9) exit 1 } }' \
  || fail "summary.md: the row of $combo does not hold the means and deviations of summary.tsv: $row"
grep -qF -- "- by the filter's: \`$combo\`" "$res/summary.md" || fail "summary.md names no best combination"

# The plots: learning curves of every run and the summary, PNG and SVG.
for p in fold1_seed7 fold1_seed11 fold2_seed7 fold2_seed11; do
  for f in "$res/plots/$combo/$p.learning-curves" "$res/plots/summary"; do
    [ "$(head -c 4 "$f.png" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "$f.png is not a PNG"
    grep -q '</svg>' "$f.svg" || fail "$f.svg is not an SVG"
  done
done
grep -q 'kept: epoch 1' "$res/plots/$combo/fold1_seed7.learning-curves.svg" || fail "the kept epoch is not marked"

# 2. A second invocation does nothing.
touch "$work/stamp"
sleep 1
sm a --cores 2 > "$work/a2.log" 2>&1 || fail "second invocation failed"
grep -q "Nothing to be done" "$work/a2.log" || fail "second invocation: $(tail -n 5 "$work/a2.log")"
[ -z "$(find "$res" -newer "$work/stamp")" ] || fail "second invocation changed $(find "$res" -newer "$work/stamp" | head -3)"

# 3. The same runs again, in other directories and with two threads per run: the same bytes.
config b "[1]" "[7, 11]" "threads_per_run: 2"
sm b --cores 2 > "$work/b.log" 2>&1 || { tail -n 20 "$work/b.log"; fail "the repeat failed"; }
for p in fold1_seed7 fold1_seed11; do
  for f in kelvor.valdav fort.77 fort.78 fort.79 fort.87 fort.88 kelvor.out; do
    [ -s "$res/runs/$combo/$p/$f" ] || fail "$p: no $f"
  done
  (cd "$res/runs/$combo/$p" && find . -type f ! -name kelvor.lock | sort) > "$work/files.a"
  (cd "$work/b/runs/$combo/$p" && find . -type f ! -name kelvor.lock | sort) > "$work/files.b"
  cmp -s "$work/files.a" "$work/files.b" || fail "$p: the repeat holds other files"
  while read -r f; do
    # kelvor.err ends with the run's time and memory, which no repeat gives again.
    if [ "$f" = ./kelvor.err ]; then
      cmp -s <(grep -v '^kelvor: done in ' "$res/runs/$combo/$p/$f") <(grep -v '^kelvor: done in ' "$work/b/runs/$combo/$p/$f") ||
        fail "$p: $f differs in the repeat"
      continue
    fi
    cmp -s "$res/runs/$combo/$p/$f" "$work/b/runs/$combo/$p/$f" || fail "$p: $f differs in the repeat"
  done < "$work/files.a"
done

# 4. A run that fails fails its rule and keeps its output; the other run finishes, and the next
#    invocation tries only the failed one again. (The configuration is checked before any run is
#    planned, so the run is made to fail afterwards: its kelvor.in gets a test fraction of 2.)
config c "[1]" "[7, 8]"
bad=$work/c/runs/$combo/fold1_seed8
sm c --cores 2 "$bad/run.sh" > "$work/c0.log" 2>&1 || fail "laying out the run: $(tail -n 5 "$work/c0.log")"
sed -i '9s/^[^ ]*/2/' "$bad/kelvor.in"
if sm c --cores 2 --keep-going > "$work/c.log" 2>&1; then fail "a failing run did not fail the workflow"; fi
[ ! -e "$bad/kelvor.done" ] || fail "the failed run has a kelvor.done"
grep -q "test fraction (setting 9 of kelvor.in) is 2" "$bad/kelvor.err" || fail "the failed run's kelvor.err: $(cat "$bad/kelvor.err" 2>&1)"
[ -s "$bad/kelvor.in" ] && [ -x "$bad/run.sh" ] || fail "the failed run lost its kelvor.in or run.sh"
grep -q "status 1 in $bad" "$work/c.log" || fail "the log does not name the failed run"
grep -q "kelvor run failed: kelvor ended with status 1 in $bad" "$work/c.log" \
  || fail "the closing report does not name the failed run"
[ -e "$work/c/runs/$combo/fold1_seed7/kelvor.done" ] || fail "the good run did not finish"
touch "$work/stamp"
sleep 1
if sm c --cores 2 --keep-going > "$work/c2.log" 2>&1; then fail "the failing run passed on the second try"; fi
[ -z "$(find "$work/c/runs/$combo/fold1_seed7" -newer "$work/stamp")" ] || fail "the finished run was run again"
[ "$(find "$bad/kelvor.err" -newer "$work/stamp")" ] || fail "the failed run was not tried again"

# 5. A grid over learning settings: 2 learning rates x 2 momenta x 2 folds, epoch limit 2. Every
#    combination in its own directory, and the best one named by validation score alone.
config d "[1, 2]" "[7]" "rate: [0.001, 0.01]" "momentum: [0.5, 0.9]" "epochs: 2"
sm d --cores 2 > "$work/d.log" 2>&1 || { tail -n 20 "$work/d.log"; fail "the settings grid failed"; }
combos=""
for r in 0.001 0.01; do for m in 0.5 0.9; do
  c=rate${r}_momentum${m}_gain0.5_dcay1.0_epochs2
  combos="$combos $c"
  for fold in 1 2; do
    run=$work/d/runs/$c/fold${fold}_seed7
    [ -e "$run/kelvor.done" ] || { fail "$run did not finish"; continue; }
    [ "$(sed -n '1p;4p;5p;8p' "$run/kelvor.in" | awk '{printf "%s ", $1}')" = "2 $r $m $fold " ] \
      || fail "$run/kelvor.in: $(head -n 8 "$run/kelvor.in" | awk '{printf "%s ", $1}')"
    [ "$(grep -c 'D[+-]' "$run/kelvor.valdav")" = 4 ] || fail "$run: not 2 epochs per phase"
  done
done; done
# The best by the filter's mean kept-epoch validation score (column 17), worked out here.
best=$(tail -n +2 "$work/d/summary.tsv" | awk -F'\t' '{s[$1] += $17; n[$1]++; if (!($1 in o)) o[$1] = NR}
  END {for (c in s) printf "%d %s %.17g\n", o[c], c, s[c] / n[c]}' | sort -k3,3gr -k1,1n | head -n 1 | cut -d' ' -f2)
grep -qF -- "- by the filter's: \`$best\`" "$work/d/summary.md" \
  || fail "best combination: want $best, summary says: $(grep -F "by the filter's" "$work/d/summary.md")"
[ "$(tail -n +2 "$work/d/summary.tsv" | cut -f1 | uniq | tr '\n' ' ')" = "${combos# } " ] \
  || fail "summary rows: $(tail -n +2 "$work/d/summary.tsv" | cut -f1 | uniq | tr '\n' ' ')"
echo "settings grid: best by validation $best"

# 6. A trial that would reuse grid a's run directories with another protein count is refused
#    before anything runs; with a results folder of its own it would go ahead.
config a "[1, 2]" "[7, 11]" "protein_count: 20"
touch "$work/stamp"
if sm a --cores 2 > "$work/e.log" 2>&1; then fail "a trial overwrote another grid's runs"; fi
grep -q "holds the runs of another grid (protein_count '30' there, '20' here)" "$work/e.log" \
  || fail "the refusal does not say why: $(grep -v '^ *$' "$work/e.log" | head -n 5)"
[ -z "$(find "$res" -newer "$work/stamp")" ] || fail "the refused trial changed $(find "$res" -newer "$work/stamp" | head -3)"
sed -i "s|^results: .*|results: $work/e|" "$work/a.yaml"
sm a --cores 2 -n > "$work/e2.log" 2>&1 || fail "a trial in its own results folder: $(tail -n 5 "$work/e2.log")"

finish workflow "workflow: summary, plots, nothing to redo, identical repeats, failures kept, settings grid, trial refused"
