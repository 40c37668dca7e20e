#!/usr/bin/env bash
# The honest pipeline of the workflow on a tiny set (the first 30 example chains, 2 folds, one
# seed offset, epoch limit 1, 3 out-of-fold angle models of 1 epoch): the three data roots, runs
# that never train on the block they are scored on, the summary, and a second invocation that
# does nothing.
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
angles=${KELVOR_ANGLES_FOR_TEST:-$build/kelvor-angles}

config h "[1, 2]" "[7]" "kelvor_angles: $angles" "kelvor_predict: $build/kelvor-predict" \
  "angle_folds: 3" "angle_epochs: 1"
start=$(date +%s)
if ! sm h --cores 2 honest > "$work/h.log" 2>&1; then
  tail -n 40 "$work/h.log"
  echo "FAIL: the honest pipeline failed"
  exit 1
fi
echo "honest pipeline on 30 chains: $(( $(date +%s) - start )) s"
res=$work/h/honest

# Out-of-fold predictions for every chain; the roots hold the same chains.
[ -s "$res/angles/out-of-fold.done" ] || fail "no out-of-fold record"
while read -r name; do
  [ -s "$res/angles/oof/kvqout/$name.kvqout" ] || fail "no out-of-fold prediction of $name"
  [ "$(wc -l < "$res/roots/predicted/kvqout/$name.kvqout")" = "$(wc -l < "$src/examples/kvqout/$name.kvqout")" ] \
    || fail "$name: predicted kvqout has another length"
  awk 'NR > 1 && ($4 != "0.0" || $5 != "0.0" || $11 != "0.0") {exit 1}' "$res/roots/none/kvqout/$name.kvqout" \
    || fail "$name: the featureless root holds a value"
  cmp -s <(awk 'NR > 1 {print $1, $2, $3, $6}' "$res/roots/none/kvqout/$name.kvqout") \
    <(awk 'NR > 1 {print $1, $2, $3, $6}' "$src/examples/kvqout/$name.kvqout") || fail "$name: featureless root changed other fields"
done < "$work/p30.list"
for d in dssp_data new_prf; do
  for s in predicted none; do
    [ "$(readlink -f "$res/roots/$s/$d")" = "$(readlink -f "$src/examples/$d")" ] || fail "roots/$s/$d is not the data root's"
  done
done

# Each run of fold k trains on the list without fold k's block, which kelvor-predict then scores.
for s in observed predicted none; do
  for fold in 1 2; do
    run=$res/$s/runs/$combo/fold${fold}_seed7
    root=$res/roots/$s
    [ $s != observed ] || root=$src/examples
    [ "$(readlink -f "$run/kvqout")" = "$(readlink -f "$root/kvqout")" ] || fail "$run reads another kvqout folder"
    block=$(sed -n "$((fold * 3 - 2)),$((fold * 3))p" "$work/p30.list")
    [ "$(cat "$run/test.list")" = "$block" ] || fail "$run: test block $(cat "$run/test.list" | tr '\n' ' ')"
    [ "$(cat "$run/proteins.list")" = "$(grep -vxF -f <(echo "$block") "$work/p30.list")" ] \
      || fail "$run: its list is not the chains without the test block"
    [ "$(sed -n 2p "$run/kelvor.in" | awk '{print $1}')" = 27 ] || fail "$run: protein count"
    grep -q "^Protein set too small" "$run/kelvor.out" && fail "$run: kelvor was asked for more chains than its list has"
    scored=$(python3 -c 'import json,sys; print(" ".join(c["name"] for c in json.load(open(sys.argv[1]))["per_chain"]))' \
      "$run/test-scores/scores.json")
    [ "$scored" = "$(echo $block)" ] || fail "$run: kelvor-predict scored $scored"
  done
done

# The summary: both folds with all three sources, and finite angle errors of both models.
for fold in 1 2; do
  grep -Eq "^\| $fold \| 0\.[0-9]{4} \| 0\.[0-9]{4} \| 0\.[0-9]{4} \|" "$res/summary.md" || fail "summary.md: fold $fold"
  for model in network letter_mean; do
    awk -F'\t' -v f=$fold -v m=$model '$1 == f && $2 == m {n++; for (c = 4; c <= 7; c++) if ($c == "nan" || $c == "") bad = 1}
      END {exit !(n == 1 && !bad)}' "$res/angle_errors.tsv" || fail "angle_errors.tsv: fold $fold $model"
  done
done
[ "$(tail -n +2 "$res/summary.tsv" | wc -l)" = 6 ] || fail "summary.tsv rows"

sm h --cores 2 honest > "$work/h2.log" 2>&1 || fail "second invocation failed"
grep -q "Nothing to be done" "$work/h2.log" || fail "second invocation: $(tail -n 5 "$work/h2.log")"

finish "workflow_honest" "workflow_honest: out-of-fold angles, three data roots, 6 runs scored and summed up"
