#!/usr/bin/env bash
# The workflow resumes a run whose job ended early: a run killed after its first checkpoints
# goes on from its checkpoint when the workflow is run again, and ends with the files of an
# uninterrupted run of the same fold, seed offset and time of day. A run whose checkpoint cannot
# be used starts again.
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
source "$src/tests/support/needs_snakemake.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -n 12 "$src/examples/proteins.list" > "$work/p12.list"
export KELVOR_CHECKPOINT_SECONDS=0
fail() { echo "FAIL: $*"; exit 1; }
combo=rate0.001_momentum0.5_gain0.5_dcay1.0_epochs6  # the template's learning settings, epoch limit 6

config() {  # name seeds
  {
    echo "kelvor: $build/kelvor"
    echo "template: $src/examples/kelvor.in"
    echo "proteins: $work/p12.list"
    echo "data_root: $src/examples"
    echo "folds: [1]"
    echo "seeds: $2"
    echo "epochs: 6"
    echo "protein_count: 12"
    echo "kelvor_time: '03:04:05'"
    echo "results: $work/$1"
  } > "$work/$1.yaml"
}
sm() {  # name [targets]
  local name=$1
  shift
  snakemake "$@" -s "$src/workflows/Snakefile" --directory "$work" --cores 2 --configfile "$work/$name.yaml"
}

# The job ends early: the run is killed once it has a checkpoint.
config a "[7, 8]"
run=$work/a/runs/$combo/fold1_seed7
sm a "$run/run.sh" "$work/a/runs/$combo/fold1_seed8/run.sh" > "$work/a0.log" 2>&1 || { tail -n 40 "$work/a0.log"; fail "preparing the runs"; }
(cd "$run" && exec ./run.sh > kelvor.out 2> kelvor.err) &
pid=$!
while kill -0 "$pid" 2>/dev/null && [ ! -e "$run/kelvor.checkpoint" ]; do sleep 0.005; done
kill -KILL "$pid" 2>/dev/null || true
{ wait "$pid"; } 2>/dev/null || true
[ -e "$run/kelvor.checkpoint" ] || fail "the run ended before its first checkpoint"
# The other run's checkpoint is not one: it cannot resume and starts again.
echo "not a checkpoint" > "$work/a/runs/$combo/fold1_seed8/kelvor.checkpoint"

sm a > "$work/a.log" 2>&1 || { tail -n 30 "$work/a.log"; fail "the workflow failed"; }
grep -q "resuming the" "$run/kelvor.err" || fail "the killed run did not resume: $(cat "$run/kelvor.err")"
grep -q "no resume in .*fold1_seed8 (.*damaged.*); the run starts again" "$work/a.log" || fail "the unusable checkpoint: $(grep -i resume "$work/a.log")"
for r in fold1_seed7 fold1_seed8; do
  [ -e "$work/a/runs/$combo/$r/kelvor.done" ] || fail "$r did not finish"
  [ ! -e "$work/a/runs/$combo/$r/kelvor.checkpoint" ] || fail "$r kept its checkpoint"
done

# The same runs uninterrupted, elsewhere: the same bytes.
config b "[7, 8]"
sm b > "$work/b.log" 2>&1 || { tail -n 30 "$work/b.log"; fail "the uninterrupted workflow failed"; }
for r in fold1_seed7 fold1_seed8; do
  for f in kelvor.out kelvor.valdav fort.77 fort.78 fort.79 fort.87 fort.88; do
    cmp -s "$work/a/runs/$combo/$r/$f" "$work/b/runs/$combo/$r/$f" || fail "$r: $f differs from the uninterrupted run's"
  done
done
echo "workflow_resume: the killed run resumed, the unusable checkpoint started its run again, both end as uninterrupted runs"
