#!/usr/bin/env bash
# ctest labels: cluster
# The workflow's Slurm profile against a real one-node Slurm cluster that this test starts from
# Debian's packages (slurmctld, slurmd, slurm-client, munge), everything in a scratch folder:
# its own munge key and socket, its own ports, state, spool and logs. Then:
#   1. a 2-fold grid runs to its summary, each training run a batch job that completes;
#   2. two more runs fail (their kelvor.in given a test fraction kelvor refuses once they are
#      laid out): snakemake's own output names each failed run, kelvor's exit status and the
#      end of kelvor.err;
#   3. a rerun submits the two failed runs and nothing else;
#   4. a job cancelled with scancel while it runs counts as failed, and is reported so.
# The daemons are stopped by their process ids at the end, also when a check fails. Where the
# cluster cannot start (not root, a daemon that does not come up) the test says why and exits
# with 77, which ctest reports as skipped.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
export PATH="$PATH:/usr/sbin:/sbin"
skip() { echo "skipped: $*"; exit 77; }
for tool in snakemake gnuplot munged mungekey slurmctld slurmd sbatch squeue scontrol scancel; do
  if ! command -v $tool > /dev/null; then
    if [ -n "${CI:-}" ]; then echo "FAIL: $tool is not installed (.ci/packages lists its package)"; exit 1; fi
    skip "$tool is not installed (Debian packages slurmctld slurmd slurm-client munge snakemake gnuplot-nox)"
  fi
done
[ "$(id -u)" = 0 ] || skip "starting the Slurm daemons needs root"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvor-cluster.XXXXXX")
chmod 755 "$work"
daemons=()
stop_cluster() {
  local status=$? pid i
  trap - EXIT INT TERM
  if [ ${#daemons[@]} -gt 1 ]; then
    # Jobs first, so that no job step outlives its daemon.
    local jobs
    jobs=$(squeue -h -o %i 2> /dev/null || true)
    if [ -n "$jobs" ]; then
      # shellcheck disable=SC2086
      scancel $jobs 2> /dev/null || true
      for i in $(seq 60); do [ -z "$(squeue -h -o %i 2> /dev/null)" ] && break; sleep 0.5; done
    fi
  fi
  for pid in "${daemons[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${daemons[@]}"; do
    for i in $(seq 40); do kill -0 "$pid" 2> /dev/null || break; sleep 0.25; done
    kill -9 "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done
  rm -rf "$work"
  exit $status
}
trap stop_cluster EXIT
trap 'exit 130' INT TERM

# wait_for SECONDS COMMAND...: true once the command succeeds.
wait_for() {
  local limit=$1 i
  shift
  for i in $(seq $((limit * 4))); do "$@" > /dev/null 2>&1 && return 0; sleep 0.25; done
  return 1
}
log_tail() { echo "--- $1"; tail -n 15 "$1" 2> /dev/null || true; }

# The cluster.
start=$(date +%s.%N)
mkdir -m 700 "$work/munge"
mkdir "$work/state" "$work/spool" "$work/log"
mungekey --create --keyfile="$work/munge/munge.key" > /dev/null
chmod 711 "$work/munge"
socket=$work/munge/munge.socket
munged --foreground --force --socket="$socket" --key-file="$work/munge/munge.key" \
  --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/munged.seed" \
  --log-file="$work/log/munged.log" > "$work/log/munged.out" 2>&1 &
daemons+=($!)
munge_works() { munge -n -S "$socket" | unmunge -S "$socket"; }
wait_for 10 munge_works || { log_tail "$work/log/munged.log"; skip "munged did not start"; }

read -r ctld_port node_port <<< "$(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))')"
node=$(slurmd -C | head -n 1 | sed 's/^NodeName=[^ ]*/NodeName=localhost NodeAddr=127.0.0.1/')
export SLURM_CONF=$work/slurm.conf
cat > "$SLURM_CONF" <<CONF
ClusterName=kelvortest
SlurmctldHost=localhost
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
MailProg=/bin/true
ReturnToService=2
$node
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -D -i > "$work/log/slurmctld.out" 2>&1 &
daemons+=($!)
slurmd -D -N localhost > "$work/log/slurmd.out" 2>&1 &
daemons+=($!)
node_idle() { [ "$(sinfo -h -n localhost -o %t)" = idle ]; }
if ! wait_for 30 node_idle; then
  for f in slurmctld.log slurmctld.out slurmd.log slurmd.out; do log_tail "$work/log/$f"; done
  skip "the Slurm daemons did not come up (ports $ctld_port and $node_port)"
fi
echo "one-node Slurm cluster up in $(python3 -c "print(f'{$(date +%s.%N) - $start:.1f}')") s: $node"

# The workflow, from its own folder, as on a login node. CI=true: snakemake 7 then asks for
# the state of its jobs every second instead of every ten.
wf=$work/wf sm_directory=$work/wf
mkdir "$wf"
source "$src/tests/support/workflow.sh"
runs=$work/grid/runs/$(template_combo 2)
cluster_sm() {  # cluster_sm NAME LOG [targets]
  (cd "$wf" && CI=true sm "$1" --profile "$src/workflows/profiles/slurm" --latency-wait 5 "${@:3}" > "$2" 2>&1)
}
job_logs() { ls "$wf"/slurm-logs/*-train.log 2> /dev/null | wc -l; }
job_state() { scontrol show job "$1" | tr ' ' '\n' | sed -n 's/^JobState=//p'; }

# 1. A 2-fold grid to its summary.
config grid "[1, 2]" "[7]" "epochs: 2" "runtime_minutes: 10"
t=$(date +%s)
cluster_sm grid "$work/1.log" || fail "the 2-fold grid failed: $(tail -n 20 "$work/1.log")"
echo "1. 2-fold grid on the cluster: $(( $(date +%s) - t )) s"
[ -s "$work/grid/summary.md" ] && grep -q "by the filter's: \`$(template_combo 2)\`" "$work/grid/summary.md" \
  || fail "no summary of the grid"
[ "$(job_logs)" = 2 ] || fail "$(job_logs) batch jobs, not 2"
for f in "$wf"/slurm-logs/*-train.log; do
  id=$(basename "$f" | cut -d- -f1)
  [ "$(job_state "$id")" = COMPLETED ] || fail "job $id: $(job_state "$id")"
done
for fold in 1 2; do [ -e "$runs/fold${fold}_seed7/kelvor.done" ] || fail "fold $fold did not finish"; done

# 2. Two runs that fail: snakemake's own output tells their story.
# The configuration is checked before anything is planned, so the runs are made to fail after
# they are laid out: a test fraction of 2 in their kelvor.in.
config grid "[1, 2]" "[7, 8]" "epochs: 2" "runtime_minutes: 10"
cluster_sm grid "$work/2a.log" "$runs/fold1_seed8/run.sh" "$runs/fold2_seed8/run.sh" \
  || fail "laying out the failing runs: $(tail -n 20 "$work/2a.log")"
for fold in 1 2; do sed -i '9s/^[^ ]*/2/' "$runs/fold${fold}_seed8/kelvor.in"; done
touch "$work/stamp"
sleep 1
if cluster_sm grid "$work/2.log"; then fail "failing runs did not fail the workflow"; fi
[ "$(job_logs)" = 4 ] || fail "$(job_logs) batch jobs, not 4: the finished runs went again, or the new ones did not"
for fold in 1 2; do
  bad=$runs/fold${fold}_seed8
  grep -q "kelvor run failed: kelvor ended with status 1 in $bad" "$work/2.log" \
    || fail "snakemake's output does not name $bad and kelvor's status"
done
grep -q "test fraction" "$work/2.log" || fail "snakemake's output lacks the end of kelvor.err"
for f in $(ls -t "$wf"/slurm-logs/*-train.log | head -n 2); do
  id=$(basename "$f" | cut -d- -f1)
  [ "$(job_state "$id")" = FAILED ] || fail "failed job $id: $(job_state "$id")"
done
[ -z "$(find "$runs"/*_seed7 -newer "$work/stamp")" ] || fail "a finished run was touched"
echo "2. failed runs, as snakemake's output tells them:"
sed -n '/^kelvor run failed/,/^Complete log/p' "$work/2.log" | grep -v '^Complete log' | sed 's/^/   /'

# 3. The rerun submits the failed runs only.
touch "$work/stamp"
sleep 1
if cluster_sm grid "$work/3.log"; then fail "the failing runs passed on the rerun"; fi
[ "$(job_logs)" = 6 ] || fail "the rerun made $(( $(job_logs) - 4 )) batch jobs, not 2"
[ -z "$(find "$runs"/*_seed7 -newer "$work/stamp")" ] || fail "the rerun touched a finished run"
for fold in 1 2; do
  [ -n "$(find "$runs/fold${fold}_seed8/kelvor.err" -newer "$work/stamp")" ] \
    || fail "the rerun did not try fold $fold's failed run"
done
echo "3. rerun: the 2 failed runs submitted again, nothing else"

# 4. A job cancelled while it runs counts as failed.
config long "[1]" "[7]" "epochs: 100000" "runtime_minutes: 10"
long=$work/long/runs/$(template_combo 100000)/fold1_seed7
(
  wait_for 120 test -s "$long/kelvor.valdav" || exit 0
  scancel $(squeue -h -t R -o %i)
) &
canceller=$!
t=$(date +%s)
if cluster_sm long "$work/4.log"; then fail "a cancelled job did not fail the workflow"; fi
wait $canceller || true
id=$(basename "$(ls -t "$wf"/slurm-logs/*-train.log | head -n 1)" | cut -d- -f1)
[ "$(job_state "$id")" = CANCELLED ] || fail "cancelled job $id: $(job_state "$id")"
# The shell of the job may live long enough to see kelvor's end; mostly it goes with it.
grep -Eq "kelvor run (ended without an exit status|failed: kelvor ended with status [0-9]+) in $long" "$work/4.log" \
  || fail "snakemake's output does not tell of the cancelled run: $(tail -n 15 "$work/4.log")"
[ ! -e "$long/kelvor.done" ] || fail "the cancelled run has a kelvor.done"
echo "4. cancelled job $id seen as failed after $(( $(date +%s) - t )) s:"
grep -E "^kelvor run (ended|failed)" "$work/4.log" | sed 's/^/   /'

finish workflow_slurm_cluster "workflow on a real Slurm cluster: grid, failures told, rerun of the failed runs, cancel"
