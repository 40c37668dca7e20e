#!/usr/bin/env bash
# Kills a training run with SIGKILL at random moments (20 with the reference kernels, 20 with the
# fast ones), resumes it after every kill (resumed runs are killed too; a kill before the first
# checkpoint starts the run afresh), and compares every run that ends with an uninterrupted one:
# standard output, report file and the five weight files, byte for byte. Then every refusal of a
# resume: status 1, a message naming the cause, no file changed, no lock taken.
# Arguments: <build dir> <source dir>. Environment: KELVOR_KILLS (default 20 per kernel set),
# KELVOR_KILL_SEED (random moments; printed, so that a failure can be repeated).
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
kelvor="$build/kelvor"
kills=${KELVOR_KILLS:-20}
seed=${KELVOR_KILL_SEED:-$(( $(date +%s) % 32768 ))}
RANDOM=$seed
export KELVOR_TIME=01:02:03 KELVOR_CHECKPOINT_SECONDS=0
echo "resume_training: $kills kills per kernel set, KELVOR_KILL_SEED=$seed"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvor-resume.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "resume_training: FAILED: $*" >&2
  exit 1
}

# ---- The training: twelve chains of 30 to 80 residues, a validation part of one.
. "$src/tests/support/small_training_set.sh"
base="$work/base"
make_small_set "$base"
defaults 8 >"$base/kelvor.in"
outputs="out kelvor.valdav fort.77 fort.78 fort.79 fort.87 fort.88"
same_as() {  # dir reference-dir: the run's outputs against the uninterrupted run's
  local f
  for f in $outputs; do cmp -s "$1/$f" "$2/$f" || { echo "$f differs"; return 0; }; done
}
now() { date +%s%N; }
begins() {  # file reference-file: the file is missing or holds the first bytes of the reference
  [ ! -e "$1" ] || head -c "$(stat -c %s "$1")" "$2" | cmp -s - "$1"
}

# ---- The uninterrupted run.
ref="$work/reference"
cp -r "$base" "$ref"
# Waits until the first stage's heading stands in a run's report; false if the run ends first.
wait_for_filter_phase() {  # dir pid
  while kill -0 "$2" 2>/dev/null; do
    grep -q '#After filter' "$1/kelvor.valdav" 2>/dev/null && return 0
    sleep 0.002
  done
  return 1
}
start=$(now)
(cd "$ref" && exec "$kelvor" >out 2>err) &
pid=$!
wait_for_filter_phase "$ref" "$pid" || true
heading=$(now)
wait "$pid" || fail "the uninterrupted run failed: $(cat "$ref/err")"
end=$(now)
run_ns=$(( end - start ))
filter_ns=$(( end - heading ))
[ ! -e "$ref/kelvor.checkpoint" ] || fail "a completed run left its checkpoint"
(cd "$ref" && "$kelvor" --resume >resume.out 2>resume.err) && fail "--resume after a completed run succeeded"
grep -q "nothing to resume" "$ref/resume.err" || fail "--resume after a completed run says: $(cat "$ref/resume.err")"
[ ! -s "$ref/resume.out" ] || fail "--resume after a completed run wrote to standard output"
echo "resume_training: uninterrupted run $((run_ns / 1000000)) ms (filter phase $((filter_ns / 1000000)) ms), $(grep -c D+ "$ref/kelvor.valdav") epoch lines"

# ---- The kills. Each segment of a run (fresh, or resumed) is killed after a random delay up to
# the uninterrupted run's time; one that ends first completes the run, which is compared. Half
# the kills, drawn at random, fall in the filter phase, which is short beside the first stage:
# they are timed from the moment the phase's heading stands in the report.
for kernel in reference fast; do
  export KELVOR_KERNEL=$kernel
  killed=0 runs=0 segments=0 attempt=0 d="" log=""
  while [ "$killed" -lt "$kills" ] || [ -n "$d" ]; do
    attempt=$((attempt + 1))
    [ "$attempt" -le $((kills * 10)) ] || fail "$kernel: too many segments"
    if [ -z "$d" ]; then
      runs=$((runs + 1))
      d="$work/$kernel-$runs"
      cp -r "$base" "$d"
      args=()
    elif [ -e "$d/kelvor.checkpoint" ] || [ -e "$d/kelvor.checkpoint.commit" ]; then
      args=(--resume)
    else
      args=()  # killed before its first checkpoint: the run starts again
    fi
    segments=$((segments + 1))
    (cd "$d" && exec "$kelvor" "${args[@]}" >out 2>err) &
    pid=$!
    if [ "$killed" -lt "$kills" ]; then
      span=$run_ns
      if [ $((RANDOM % 2)) = 1 ]; then
        span=$filter_ns
        wait_for_filter_phase "$d" "$pid" || true
      fi
      delay_ns=$(( (RANDOM * 32768 + RANDOM) * (span / 1000) / 1073741824 * 1000 ))
      sleep "$(printf '%d.%09d' $((delay_ns / 1000000000)) $((delay_ns % 1000000000)))"
      kill -KILL "$pid" 2>/dev/null || true
    fi
    rc=0
    { wait "$pid"; } 2>/dev/null || rc=$?
    if [ "$rc" = 137 ]; then
      killed=$((killed + 1))
      # What a killed run leaves is a beginning of the uninterrupted run's report and output (a
      # run killed before it opened its report leaves none).
      begins "$d/kelvor.valdav" "$ref/kelvor.valdav" ||
        fail "$kernel kill $killed: the report is not a beginning of the uninterrupted run's"
      begins "$d/out" "$ref/out" ||
        fail "$kernel kill $killed: standard output is not a beginning of the uninterrupted run's"
      where="first stage"
      grep -q '#After filter' "$d/kelvor.valdav" && where="filter"
      log+="${args[*]:+r}$where:$((delay_ns / 1000000))ms "
      continue
    fi
    [ "$rc" = 0 ] || fail "$kernel: ${args[*]:-a fresh run} ended with status $rc: $(cat "$d/err")"
    difference=$(same_as "$d" "$ref")
    [ -z "$difference" ] || fail "$kernel run $runs (${args[*]:-fresh} after $((segments - 1)) kills): $difference"
    [ ! -e "$d/kelvor.checkpoint" ] || fail "$kernel run $runs: the completed run left its checkpoint"
    rm -rf "$d"
    d="" segments=0
  done
  echo "resume_training: $kernel: $killed kills in $runs runs, each run identical to the uninterrupted one; kills (r: of a resumed run): $log"
done
unset KELVOR_KERNEL

# ---- Refusals. A run stopped in its filter phase (the report holds two filter epochs, so its
# checkpoint is a filter one) and its checkpoint.
long="$work/long"
cp -r "$base" "$long"
defaults 60 >"$long/kelvor.in"
(cd "$long" && exec "$kelvor" >out 2>err) &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  [ "$(sed -n '/#After filter/,$p' "$long/kelvor.valdav" 2>/dev/null | grep -c D+ || true)" -ge 2 ] && break
  sleep 0.001
done
kill -KILL "$pid" 2>/dev/null || true
{ wait "$pid"; } 2>/dev/null || true
[ -e "$long/kelvor.checkpoint" ] || fail "the run to refuse ended before its filter phase's second epoch"

snapshot() { (cd "$1" && find . -type f ! -name kelvor.lock ! -name 'resume.*' -print0 | sort -z | xargs -0 md5sum); }
flip_byte() {  # file offset: one bit of the byte there changes
  local b
  b=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\$(printf %o $((b ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# The file that holds the checkpoint: its temporary while a replacement stands among its renames.
current() {
  if [ -e kelvor.checkpoint.commit ] && [ -e kelvor.checkpoint.part ]; then echo kelvor.checkpoint.part; else echo kelvor.checkpoint; fi
}
refuse() {  # name, expected words in the message, a command run in the copy first, resume arguments
  local name=$1 words=$2 change=$3 d="$work/refuse-$1"
  shift 3
  cp -r "$long" "$d"
  rm -f "$d/kelvor.lock"
  (cd "$d" && eval "$change")
  local before rc=0
  before=$(snapshot "$d")
  (cd "$d" && "$kelvor" --resume "$@" >resume.out 2>resume.err) || rc=$?
  [ "$rc" = 1 ] || fail "refusal $name: status $rc, not 1: $(cat "$d/resume.err")"
  grep -q "$words" "$d/resume.err" || fail "refusal $name: the message does not say \"$words\": $(cat "$d/resume.err")"
  [ ! -s "$d/resume.out" ] || fail "refusal $name: wrote to standard output"
  [ "$(snapshot "$d")" = "$before" ] || fail "refusal $name: files changed"
  [ ! -e "$d/kelvor.lock" ] || fail "refusal $name: took the lock before its checks"
  echo "refusal $name: $(cat "$d/resume.err")"
  rm -rf "$d"
}
refuse setting "learning rate" 'defaults 60 0.003 >kelvor.in'
refuse protein-list "protein list" 'sed -i 1d proteins.list && echo 6c83_D >>proteins.list'
refuse data "per-protein files" 'sed -i "5s/ 1 / 2 /" new_prf/1LCD.mat'
refuse report "report file" 'sed -i 3d kelvor.valdav'
refuse first-stage-weights 'the first-stage weight file "fort.77" was changed since the checkpoint' 'sed -i "1s/.*/ 0.125000000000000     /" fort.77'
refuse first-stage-weights-removed 'the first-stage weight file "fort.79" was removed since the checkpoint' 'rm fort.79'
refuse filter-weights 'the filter weight file "fort.88" was changed since the checkpoint' 'sed -i "2s/.*/ 0.125000000000000     /" fort.88'
refuse filter-weights-removed 'the filter weight file "fort.87" was removed since the checkpoint' 'rm fort.87'
refuse checkpoint-directory 'checkpoint "kelvor.checkpoint" cannot open: is a directory' 'rm -f kelvor.checkpoint* && mkdir kelvor.checkpoint'
refuse checkpoint-fifo 'checkpoint "kelvor.checkpoint" cannot read: not a regular file' 'rm -f kelvor.checkpoint* && mkfifo kelvor.checkpoint'
refuse checkpoint-dev-zero 'checkpoint "kelvor.checkpoint" cannot read: not a regular file' 'rm -f kelvor.checkpoint* && ln -s /dev/zero kelvor.checkpoint'
refuse damaged "damaged" 'flip_byte "$(current)" 5000'
refuse cut "damaged" 'truncate -s -1 "$(current)"'
refuse no-checkpoint "nothing to resume" 'rm -f kelvor.checkpoint*'
refuse argument "no other argument" true 5
echo "resume_training: passed"
