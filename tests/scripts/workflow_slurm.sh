#!/usr/bin/env bash
# The workflow's Slurm profile, driven against stand-ins for sbatch, sacct and scancel that run
# each batch job at once on this machine: the training runs go through sbatch with their
# threads, memory and time limit, the status script tells finished from failed jobs, and a
# failed job fails its rule while the other one finishes.
set -euo pipefail
build=$1 src=$2
source "$src/tests/support/needs_snakemake.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/state"
cat > "$work/bin/sbatch" <<'STUB'
#!/usr/bin/env bash
# Runs the job script in the background; prints its job id as --parsable does.
state=${FAKE_SLURM_STATE:?}
id=$$ out=slurm-%j.out
for a in "$@"; do case $a in --output=*) out=${a#--output=} ;; esac; done
out=${out//%j/$id}
printf '%s\n' "$@" > "$state/$id.args"
( bash "${@: -1}" > "$out" 2>&1; echo $? > "$state/$id.rc" ) < /dev/null > /dev/null 2>&1 &
echo "$id"
STUB
cat > "$work/bin/sacct" <<'STUB'
#!/usr/bin/env bash
state=${FAKE_SLURM_STATE:?}
while [ $# -gt 0 ]; do [ "$1" = -j ] && id=$2; shift; done
if [ ! -e "$state/$id.args" ]; then exit 0; fi
if [ ! -e "$state/$id.rc" ]; then echo RUNNING
elif [ "$(cat "$state/$id.rc")" = 0 ]; then echo COMPLETED
else echo FAILED; fi
STUB
printf '#!/bin/sh\nexit 0\n' > "$work/bin/scancel"
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH" FAKE_SLURM_STATE=$work/state

head -n 30 "$src/examples/proteins.list" > "$work/p30.list"
cat > "$work/c.yaml" <<YAML
kelvor: $build/kelvor
template: $src/examples/kelvor.in
proteins: $work/p30.list
data_root: $src/examples
folds: [2]
seeds: [7, 8]
epochs: 1
protein_count: 30
kelvor_time: "23:59:59"
threads_per_run: 2
runtime_minutes: 30
results: $work/results
YAML
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
sm() {
  snakemake -s "$src/workflows/Snakefile" --directory "$work" --profile "$src/workflows/profiles/slurm" \
    --configfile "$work/c.yaml" --latency-wait 5 "$@"
}
runs=$work/results/runs/rate0.001_momentum0.5_gain0.5_dcay1.0_epochs1
good=$runs/fold2_seed7 bad=$runs/fold2_seed8
# The failing run: laid out (where snakemake runs), then its kelvor.in given a test fraction of
# 2, which kelvor refuses (the configuration itself is checked before anything is planned).
sm "$bad/run.sh" > "$work/log0" 2>&1 || { tail -n 20 "$work/log0"; echo "FAIL: laying out the run"; exit 1; }
sed -i '9s/^[^ ]*/2/' "$bad/kelvor.in"
status=0
sm > "$work/log" 2>&1 || status=$?
[ $status -ne 0 ] || fail "a failed batch job did not fail the workflow"
jobs=$(ls "$work/state" | grep -c '\.args$' || true)
[ "$jobs" = 2 ] || fail "$jobs batch jobs, not 2 (only the training runs go to the cluster)"
for args in "$work/state"/*.args; do
  for want in --parsable --cpus-per-task=2 --mem=1000M --time=30; do
    grep -qx -- "$want" "$args" || fail "sbatch without $want: $(tr '\n' ' ' < "$args")"
  done
done
[ -e "$good/kelvor.done" ] && [ -s "$good/kelvor.valdav" ] || fail "the good run did not finish: $(tail -n 20 "$work/log")"
[ -e "$work/results/plots/rate0.001_momentum0.5_gain0.5_dcay1.0_epochs1/fold2_seed7.learning-curves.png" ] || fail "no plot of the good run"
[ ! -e "$bad/kelvor.done" ] && grep -q "test fraction" "$bad/kelvor.err" || fail "the failed run: $(ls "$bad")"
grep -q "kelvor run failed: kelvor ended with status 1 in $bad" "$work/log" \
  || fail "snakemake's output does not tell the failed run's story"
ls "$work"/slurm-logs/*-train.log > /dev/null 2>&1 || fail "no batch job logs in slurm-logs/"
if [ $failures -ne 0 ]; then
  tail -n 30 "$work/log"
  echo "$failures checks failed"
  exit 1
fi
echo "slurm profile: 2 batch jobs, one finished, one failed and reported"
