#!/usr/bin/env bash
# The workflow checks every value of its configuration against kelvor's own limits before it
# plans a run: a configuration with values kelvor would refuse (a fold whose test block straddles
# the end of the list, a seed offset beyond 32 bits, a time of day that is none, too many
# threads) is refused as a whole, each value named with its setting, and nothing is written
# into the results folder; the corrected configuration then runs there.
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
source "$src/tests/support/needs_snakemake.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$src/tests/support/workflow.sh"
# A test fraction of 0.15: 30 proteins, a test part of 5; fold 7's block (lines 28 to 32)
# straddles the end of the list.
sed '9s/^[^ ]*/0.15/' "$src/examples/kelvor.in" > "$work/t15.in"
run=$work/r/runs/$(template_combo 1)/fold1_seed7

config r "[1, 7]" "[7, 3000000000]" "template: $work/t15.in" "kelvor_time: '24:00:00'" "threads_per_run: 9"
if sm r --cores 2 > "$work/bad.log" 2>&1; then fail "a configuration kelvor would refuse was run"; fi
for said in \
  "kelvor would refuse these settings, so nothing was planned or written:" \
  "kelvor_time: '24:00:00' is not a time of day; allowed: hh:mm:ss with hh 00-23, mm and ss 00-59" \
  "threads_per_run: 9 is out of range; allowed: 1 to 8" \
  "seeds: 3000000000 is out of range; allowed: -2147483648 to 2147483647" \
  "folds: 7 is not usable with the test fraction 0.15: its test block of 5 proteins (list lines 28 to 32) straddles an end of the list of 30 proteins; allowed: 1 to 6 (or 0 and below, whose test part is the last 5 proteins)"; do
  grep -qF -- "$said" "$work/bad.log" || fail "not said: $said"
done
[ ! -e "$work/r" ] || fail "the refused configuration wrote $(find "$work/r" | head -n 3)"

# A time of day that is one, but a seed offset whose seed formula fails at it.
config r "[1]" "[7, 2000000000]" "template: $work/t15.in" "kelvor_time: '23:59:59'"
if sm r --cores 2 -n > "$work/seed.log" 2>&1; then fail "a seed offset kelvor refuses at 23:59:59 was planned"; fi
grep -qF "seeds: 2000000000 gives no random seed at kelvor_time 23:59:59" "$work/seed.log" \
  || fail "the seed offset: $(grep -v '^ *$' "$work/seed.log" | head -n 5)"
[ ! -e "$work/r" ] || fail "the refused seed offset wrote into the results folder"

# Corrected: the run goes ahead in the same results folder.
config r "[1]" "[7]" "template: $work/t15.in" "kelvor_time: '23:59:59'"
sm r --cores 2 "$work/r/grid.json" "$run/kelvor.done" > "$work/good.log" 2>&1 \
  || fail "the corrected configuration: $(tail -n 15 "$work/good.log")"
[ -e "$run/kelvor.done" ] || fail "the corrected run did not finish"
grep -q '"kelvor_time": "23:59:59"' "$work/r/grid.json" || fail "grid.json: $(cat "$work/r/grid.json")"

# A bad value against a results folder that holds runs: refused, and the folder stays as it was.
touch "$work/stamp"
sleep 1
config r "[1, 7]" "[7]" "template: $work/t15.in" "kelvor_time: '23:59:59'"
if sm r --cores 2 > "$work/bad2.log" 2>&1; then fail "fold 7 was run"; fi
grep -qF "folds: 7 is not usable" "$work/bad2.log" || fail "fold 7: $(grep -v '^ *$' "$work/bad2.log" | head -n 5)"
[ -z "$(find "$work/r" -newer "$work/stamp")" ] || fail "the refused configuration changed $(find "$work/r" -newer "$work/stamp" | head -n 3)"

finish workflow_checks "workflow: values kelvor would refuse named before anything is planned, nothing written; the corrected configuration runs"
