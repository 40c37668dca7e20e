#!/usr/bin/env bash
# The cross-validation workflow on a small grid (2 folds x 2 seed offsets, epoch limit 1, the
# first 30 chains of the example set): summary table, plots, a second invocation that does
# nothing, byte-identical run directories from the same KELVOR_TIME, and a failing run that
# fails its rule, keeps what it wrote and leaves the finished runs alone.
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
head -n 30 "$src/examples/proteins.list" > "$work/p30.list"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# config NAME FOLDS SEEDS [more yaml lines]
config() {
  local name=$1 folds=$2 seeds=$3
  shift 3
  {
    echo "kelvor: $build/kelvor"
    echo "template: $src/examples/kelvor.in"
    echo "proteins: $work/p30.list"
    echo "data_root: $src/examples"
    echo "folds: $folds"
    echo "seeds: $seeds"
    echo "epochs: 1"
    echo "protein_count: 30"
    echo "kelvor_time: '03:04:05'"
    echo "results: $work/$name"
    for line in "$@"; do echo "$line"; done
  } > "$work/$name.yaml"
}
sm() {  # sm NAME [snakemake options]
  local name=$1
  shift
  snakemake -s "$src/workflows/Snakefile" --directory "$work" --cores 2 \
    --configfile "$work/$name.yaml" "$@"
}

# 1. The grid.
config a "[1, 2]" "[7, 11]"
start=$(date +%s)
if ! sm a > "$work/a.log" 2>&1; then
  tail -n 40 "$work/a.log"
  echo "FAIL: the workflow failed"
  exit 1
fi
echo "grid of 4 runs: $(( $(date +%s) - start )) s"
res=$work/a

# The summary table: one row per run, its values as the run directory has them.
tsv=$res/summary.tsv
header="fold seed kelvor_time random_seed stage1_epochs stage1_best_epoch stage1_best_validation stage1_test filter_epochs filter_best_epoch filter_best_validation filter_test run_dir"
[ "$(head -n 1 "$tsv" | tr '\t' ' ')" = "$header" ] || fail "summary.tsv header: $(head -n 1 "$tsv")"
[ "$(tail -n +2 "$tsv" | cut -f1,2 | tr '\t\n' ': ')" = "1:7 1:11 2:7 2:11 " ] \
  || fail "summary.tsv rows: $(tail -n +2 "$tsv" | cut -f1,2 | tr '\t\n' ': ')"
tail -n +2 "$tsv" | while IFS=$'\t' read -r fold seed time rseed e1 b1 v1 t1 e2 b2 v2 t2 dir; do
  run=$res/runs/fold${fold}_seed$seed
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
[ "$(tail -n +2 "$tsv" | cut -f2,4 | sort -u | cut -f2 | sort -u | wc -l)" = 2 ] \
  || fail "random seeds do not follow the seed offsets"

# The Markdown table: mean and sample standard deviation of the four test scores per stage.
for stage in "first stage:8" "filter:12"; do
  name=${stage%:*} col=${stage#*:}
  want=$(tail -n +2 "$tsv" | cut -f"$col" | awk '{s += $1; q[NR] = $1} END {
    m = s / NR; for (i = 1; i <= NR; i++) d += (q[i] - m) ^ 2; printf "| %d | %.4f | %.4f |", NR, m, sqrt(d / (NR - 1)) }')
  grep -qF "| $name $want" "$res/summary.md" || fail "summary.md for $name: want '$want' in: $(grep "^| $name" "$res/summary.md")"
done

# The plots: learning curves of every run and the summary, PNG and SVG.
for p in fold1_seed7 fold1_seed11 fold2_seed7 fold2_seed11; do
  for f in "$res/plots/$p.learning-curves" "$res/plots/summary"; do
    [ "$(head -c 4 "$f.png" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "$f.png is not a PNG"
    grep -q '</svg>' "$f.svg" || fail "$f.svg is not an SVG"
  done
done
grep -q 'kept: epoch 1' "$res/plots/fold1_seed7.learning-curves.svg" || fail "the kept epoch is not marked"

# 2. A second invocation does nothing.
touch "$work/stamp"
sleep 1
sm a > "$work/a2.log" 2>&1 || fail "second invocation failed"
grep -q "Nothing to be done" "$work/a2.log" || fail "second invocation: $(tail -n 5 "$work/a2.log")"
[ -z "$(find "$res" -newer "$work/stamp")" ] || fail "second invocation changed $(find "$res" -newer "$work/stamp" | head -3)"

# 3. The same runs again, in other directories and with two threads per run: the same bytes.
config b "[1]" "[7, 11]" "threads_per_run: 2"
sm b > "$work/b.log" 2>&1 || { tail -n 20 "$work/b.log"; fail "the repeat failed"; }
for p in fold1_seed7 fold1_seed11; do
  for f in kelvor.valdav fort.77 fort.78 fort.79 fort.87 fort.88 kelvor.out; do
    [ -s "$res/runs/$p/$f" ] || fail "$p: no $f"
  done
  (cd "$res/runs/$p" && find . -type f ! -name kelvor.lock | sort) > "$work/files.a"
  (cd "$work/b/runs/$p" && find . -type f ! -name kelvor.lock | sort) > "$work/files.b"
  cmp -s "$work/files.a" "$work/files.b" || fail "$p: the repeat holds other files"
  while read -r f; do
    cmp -s "$res/runs/$p/$f" "$work/b/runs/$p/$f" || fail "$p: $f differs in the repeat"
  done < "$work/files.a"
done

# 4. A run that fails (a seed offset beyond 32 bits, which kelvor refuses) fails its rule and keeps its output; the
#    other run finishes, and the next invocation tries only the failed one again.
config c "[1]" "[7, 3000000000]"
if sm c --keep-going > "$work/c.log" 2>&1; then fail "a failing run did not fail the workflow"; fi
bad=$work/c/runs/fold1_seed3000000000
[ ! -e "$bad/kelvor.done" ] || fail "the failed run has a kelvor.done"
grep -q "seed offset" "$bad/kelvor.err" || fail "the failed run's kelvor.err: $(cat "$bad/kelvor.err" 2>&1)"
[ -s "$bad/kelvor.in" ] && [ -x "$bad/run.sh" ] || fail "the failed run lost its kelvor.in or run.sh"
grep -q "status 1 in $bad" "$work/c.log" || fail "the log does not name the failed run"
[ -e "$work/c/runs/fold1_seed7/kelvor.done" ] || fail "the good run did not finish"
touch "$work/stamp"
sleep 1
if sm c --keep-going > "$work/c2.log" 2>&1; then fail "the failing run passed on the second try"; fi
[ -z "$(find "$work/c/runs/fold1_seed7" -newer "$work/stamp")" ] || fail "the finished run was run again"
[ "$(find "$bad/kelvor.err" -newer "$work/stamp")" ] || fail "the failed run was not tried again"

if [ $failures -ne 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo "workflow: summary, plots, nothing to redo, identical repeats, failures kept"
