#!/usr/bin/env bash
# Kills a training run with SIGKILL at random points (20 with the reference kernels, 20 with the
# fast ones), resumes it after every kill (resumed runs are killed too; a kill before the first
# checkpoint starts the run afresh), and compares every run that ends with an uninterrupted one:
# standard output, report file and the five weight files, byte for byte. Then every refusal of a
# resume: status 1, a message naming the cause, no file changed, no lock taken.
# Arguments: <build dir> <source dir>. Environment: KELVOR_KILLS (default 20 per kernel set),
# KELVOR_KILL_SEED (random points; printed, so that a failure can be repeated). The points are
# events of the run (KELVOR_TEST_KILL_AT=<event>:<n>, see kill_training.sh), never moments, so a
# kill lands where it was drawn on any machine.
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
begins() {  # file reference-file: the file is missing or holds the first bytes of the reference
  [ ! -e "$1" ] || head -c "$(stat -c %s "$1")" "$2" | cmp -s - "$1"
}

# ---- The uninterrupted run, counting its events.
ref="$work/reference"
cp -r "$base" "$ref"
(cd "$ref" && KELVOR_TEST_KILL_AT=tally exec "$kelvor" >out 2>err) || fail "the uninterrupted run failed: $(cat "$ref/err")"
events() { grep '^kelvor: test events:' "$1" | tail -1 | sed 's/^kelvor: test events: //'; }
declare -A total filter_from
read -r _ total[line] _ total[save] _ total[part] _ total[rename] <<<"$(events "$ref/err")"
[ -n "${total[rename]:-}" ] || fail "the uninterrupted run gave no count of its events: $(cat "$ref/err")"
grep -v '^kelvor: test events:' "$ref/err" >"$ref/err.run" && mv "$ref/err.run" "$ref/err"
# The events before the filter phase: a run killed as it writes the line after the heading counts them.
heading=$(grep -n '^ #After filter' "$ref/kelvor.valdav" | cut -d: -f1)
probe="$work/probe"
cp -r "$base" "$probe"
{ (cd "$probe" && KELVOR_TEST_KILL_AT=line:$((heading + 2)) exec "$kelvor" >/dev/null 2>"$work/probe.err"); } 2>/dev/null &&
  fail "the probe run was not killed"
read -r _ filter_from[line] _ filter_from[save] _ filter_from[part] _ filter_from[rename] <<<"$(events "$work/probe.err")"
rm -rf "$probe"
[ ! -e "$ref/kelvor.checkpoint" ] || fail "a completed run left its checkpoint"
(cd "$ref" && "$kelvor" --resume >resume.out 2>resume.err) && fail "--resume after a completed run succeeded"
grep -q "nothing to resume" "$ref/resume.err" || fail "--resume after a completed run says: $(cat "$ref/resume.err")"
[ ! -s "$ref/resume.out" ] || fail "--resume after a completed run wrote to standard output"
echo "resume_training: uninterrupted run: events line ${total[line]} save ${total[save]} part ${total[part]} rename ${total[rename]}, the filter phase after line ${filter_from[line]}; $(grep -c D+ "$ref/kelvor.valdav") epoch lines"

# ---- The kills. Each segment of a run (fresh, or resumed) is killed before its n-th event of a
# kind drawn at random, n up to the uninterrupted run's count; a segment with fewer events ends
# first and completes the run, which is compared. Half the kills are drawn among the events of the
# filter phase, which is short beside the first stage.
kinds=(line save part rename)
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
    point=""
    if [ "$killed" -lt "$kills" ]; then
      kind=${kinds[$((RANDOM % 4))]}
      lo=0
      [ $((RANDOM % 2)) = 1 ] && [ "${#args[@]}" = 0 ] && lo=${filter_from[$kind]}
      point=$kind:$((lo + 1 + (RANDOM * 32768 + RANDOM) % (total[$kind] - lo)))
    fi
    rc=0
    { (cd "$d" && KELVOR_TEST_KILL_AT=$point exec "$kelvor" "${args[@]}" >out 2>err); } 2>/dev/null || rc=$?
    sed -i '/^kelvor: test events:/d' "$d/err"
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
      log+="${args[*]:+r}$where:$point "
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
# Its report: the banner, 60 first-stage epoch lines, the block of five and the heading of two; then the
# filter's. It is killed before the third filter epoch line.
{ (cd "$long" && KELVOR_TEST_KILL_AT=line:71 exec "$kelvor" >out 2>err); } 2>/dev/null || true
[ "$(sed -n '/#After filter/,$p' "$long/kelvor.valdav" | grep -c D+ || true)" = 2 ] ||
  fail "the run to refuse did not stop after its filter phase's second epoch"
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
  local before rc=0 status=${REFUSAL_STATUS:-1} lock_made=no
  [ -e "$d/kelvor.lock" ] || [ -L "$d/kelvor.lock" ] && lock_made=yes
  before=$(snapshot "$d")
  (cd "$d" && "$kelvor" --resume "$@" >resume.out 2>resume.err) || rc=$?
  [ "$rc" = "$status" ] || fail "refusal $name: status $rc, not $status: $(cat "$d/resume.err")"
  grep -q "$words" "$d/resume.err" || fail "refusal $name: the message does not say \"$words\": $(cat "$d/resume.err")"
  [ ! -s "$d/resume.out" ] || fail "refusal $name: wrote to standard output"
  [ "$(snapshot "$d")" = "$before" ] || fail "refusal $name: files changed"
  [ "$lock_made" = yes ] || [ ! -e "$d/kelvor.lock" ] || fail "refusal $name: took the lock before its checks"
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
refuse checkpoint-directory 'checkpoint "kelvor.checkpoint" is refused (cannot open: is a directory' 'rm -f kelvor.checkpoint* && mkdir kelvor.checkpoint'
refuse checkpoint-fifo 'checkpoint "kelvor.checkpoint" is refused (cannot read: not a regular file' 'rm -f kelvor.checkpoint* && mkfifo kelvor.checkpoint'
refuse checkpoint-dev-zero 'checkpoint "kelvor.checkpoint" is refused (cannot read: not a regular file' 'rm -f kelvor.checkpoint* && ln -s /dev/zero kelvor.checkpoint'
refuse damaged "damaged" 'flip_byte "$(current)" 5000'
refuse cut "damaged" 'truncate -s -1 "$(current)"'
refuse no-checkpoint "nothing to resume" 'rm -f kelvor.checkpoint*'
# The checks of a fresh run's start-up hold for a resume too (status 2: a file error).
REFUSAL_STATUS=2 refuse lock-linked-to-an-input 'kelvor.lock.*proteins.list.*through a link' 'ln -s proteins.list kelvor.lock'
refuse weight-file-a-directory 'the filter weight file "fort.88" cannot be read (cannot open: is a directory)' 'rm fort.88 && mkdir fort.88'
refuse argument "no other argument" true 5
# Every environment variable is checked before a resume takes the lock or changes a file.
KELVOR_CHECKPOINT_SECONDS=soon refuse checkpoint-seconds 'KELVOR_CHECKPOINT_SECONDS is "soon"; allowed:' true
KELVOR_THREADS=+2 refuse threads 'KELVOR_THREADS is "+2"; allowed:' true
echo "resume_training: passed"
