#!/usr/bin/env bash
# Kills a training run with SIGKILL at random moments (20 by default) and shows each time that
# the weight files left behind load, and that a prediction run (epoch limit 0) gives the scores
# of the last weight set that the run had saved completely.
#
# An uninterrupted run of the same training (same time of day, same seed offset: the runs repeat
# each other exactly) is watched first: a small preloaded library keeps a hard link to every
# weight file it renames into place, with the number of report lines written by then. That gives
# every weight set the run saves, in order, and the report line after which each save began. A
# prediction run on each of these sets gives its scores. After every kill:
#   - the report is the earlier run's, untouched, or a beginning of the uninterrupted run's;
#   - the weight set in place (a save stopped among its renames counts with its temporaries,
#     as the readers take it) is the last save begun before the report's last line, or the
#     one before it when that save was under way;
#   - a prediction run there ends normally, prints that set's scores and changes no weight file.
#
# Arguments: <build dir> <source dir>. Environment: KELVOR_KILLS (default 20),
# KELVOR_KILL_SEED (random moments; printed, so that a failure can be repeated).
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
kelvor="$build/kelvor"
kills=${KELVOR_KILLS:-20}
seed=${KELVOR_KILL_SEED:-$(( $(date +%s) % 32768 ))}
RANDOM=$seed
export KELVOR_TIME=01:02:03
echo "kill_training: $kills kills, KELVOR_KILL_SEED=$seed"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvor-kill.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "kill_training: FAILED: $*" >&2
  exit 1
}

# ---- The training: twelve chains of 30 to 80 residues, eight epochs, a validation part of one.
. "$src/tests/support/small_training_set.sh"
base="$work/base"
make_small_set "$base"
# An earlier run leaves a complete weight set of both networks (another seed offset).
defaults 1 >"$base/kelvor.in"
(cd "$base" && "$kelvor" 3 >/dev/null) || fail "the earlier run did not complete"
for f in fort.77 fort.78 fort.79 fort.87 fort.88; do [ -f "$base/$f" ] || fail "the earlier run left no $f"; done
echo " report of an earlier run" >"$base/kelvor.valdav"
defaults 8 >"$base/kelvor.in"

sets="fort.77 fort.78 fort.79 fort.87 fort.88"
# The weight set as the readers see it: a member of a set whose save was stopped among its
# renames (commit mark in place) is read from its temporary.
set_hash() {  # dir
  local d=$1 line="" f mark
  for f in $sets; do
    case $f in fort.7*) mark="$d/fort.77.commit" ;; *) mark="$d/fort.87.commit" ;; esac
    if [ -e "$mark" ] && [ -e "$d/$f.part" ]; then line+="$(md5sum <"$d/$f.part" | cut -c1-32) "
    elif [ -e "$d/$f" ]; then line+="$(md5sum <"$d/$f" | cut -c1-32) "
    else line+="missing "; fi
  done
  echo "$line"
}
q10p() { grep 'Q10P:' "$1" | awk '{printf "%s ", $2}'; }

# ---- The uninterrupted run, watched.
cat >"$work/watch.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Keeps a hard link to every weight file renamed into place, named by its order, the file
   name, the number of report lines written by then and the time of day in nanoseconds. */
#include <time.h>
static int count;
int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  int rc = real(from, to);
  const char* dir = getenv("KILL_SNAPSHOTS");
  const char* name = strrchr(to, '/') ? strrchr(to, '/') + 1 : to;
  if (rc == 0 && dir && strncmp(name, "fort.", 5) == 0 && strlen(name) == 7) {
    int lines = 0, c;
    FILE* report = fopen("kelvor.valdav", "r");
    if (report) {
      while ((c = fgetc(report)) != EOF) lines += c == '\n';
      fclose(report);
    }
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    char path[4096];
    snprintf(path, sizeof path, "%s/%04d-%s-%d-%lld", dir, count++, name, lines,
             (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    if (link(to, path) != 0) abort();
  }
  return rc;
}
EOF
"${CC:-cc}" -shared -fPIC -O1 -o "$work/watch.so" "$work/watch.c" -ldl
ref="$work/reference"
cp -r "$base" "$ref"
mkdir "$work/snapshots"
# Waits until the first stage's heading stands in a run's report; false if the run ends first.
wait_for_filter_phase() {  # dir pid
  while kill -0 "$2" 2>/dev/null; do
    grep -q '#After filter' "$1/kelvor.valdav" 2>/dev/null && return 0
    sleep 0.002
  done
  return 1
}
now() { date +%s%N; }
start=$(now)
(cd "$ref" && KILL_SNAPSHOTS="$work/snapshots" LD_PRELOAD="$work/watch.so" \
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" exec "$kelvor" >"$work/reference.out" 2>"$work/reference.err") &
pid=$!
wait_for_filter_phase "$ref" "$pid" || true
heading=$(now)
wait "$pid" || fail "the uninterrupted run failed: $(cat "$work/reference.err")"
end=$(now)
run_ns=$(( end - start ))
filter_ns=$(( end - heading ))
[ -n "$(ls "$work/snapshots")" ] || fail "the watcher saw no save (is rename still how weight files are replaced?)"

# The saved sets in order: state 0 is the earlier run's set; a state follows each complete save.
declare -a state_hash state_line state_q10p
state_dir="$work/states"
mkdir -p "$state_dir/0"
for f in $sets; do cp "$base/$f" "$state_dir/0/"; done
state_hash[0]=$(set_hash "$state_dir/0")
state_line[0]=0
n=0
for snap in $(ls "$work/snapshots" | sort); do
  name=$(echo "$snap" | cut -d- -f2)
  lines=$(echo "$snap" | cut -d- -f3)
  case $name in fort.77 | fort.87) # a save begins
    n=$((n + 1))
    mkdir -p "$state_dir/$n"
    cp "$state_dir/$((n - 1))"/fort.* "$state_dir/$n/"
    state_line[$n]=$lines ;;
  esac
  [ "$lines" = "${state_line[$n]}" ] || fail "save $n spans report lines"
  cp "$work/snapshots/$snap" "$state_dir/$n/$name"
done
saves=$n
first_saves=$(ls "$work/snapshots" | grep -c 'fort\.77' || true)
# A prediction run on every saved set gives its scores.
for i in $(seq 0 "$saves"); do
  state_hash[$i]=$(set_hash "$state_dir/$i")
  p="$work/predict-$i"
  cp -r "$base" "$p"
  cp "$state_dir/$i"/fort.* "$p/"
  defaults 0 >"$p/kelvor.in"
  (cd "$p" && "$kelvor" >"$p.out" 2>"$p.err") || fail "prediction on saved set $i failed: $(cat "$p.err")"
  state_q10p[$i]=$(q10p "$p.out")
  rm -rf "$p"
done
# The run's own scores are those of its last sets.
[ "${state_q10p[$saves]}" = "$(q10p "$work/reference.out")" ] ||
  fail "prediction on the final set gives ${state_q10p[$saves]}, the run reported $(q10p "$work/reference.out")"
[ "$(set_hash "$ref")" = "${state_hash[$saves]}" ] || fail "the watcher missed a save"
reference_report="$work/reference/kelvor.valdav"
echo "kill_training: uninterrupted run $((run_ns / 1000000)) ms (filter phase $((filter_ns / 1000000)) ms), $first_saves first-stage and $((saves - first_saves)) filter saves, begun after report lines ${state_line[*]:1}"

# ---- The kills. Half of them fall anywhere in the run; the other half in the filter phase,
# which is short beside the first stage: they are timed from the moment its heading stands in
# the report. The runs are timed against the uninterrupted one, but the machine may be busier or
# quieter now: a run that ends before its kill shortens the time its kind of moment is drawn from.
est_ns=$run_ns
survived=0
attempt=0
summary=""
while [ "$survived" -lt "$kills" ]; do
  attempt=$((attempt + 1))
  [ "$attempt" -le $((kills * 5)) ] || fail "too many runs ended before their kill"
  d="$work/kill-$attempt"
  cp -r "$base" "$d"
  in_filter=$((survived % 2))
  span=$est_ns
  [ "$in_filter" = 1 ] && span=$filter_ns
  delay_ns=$(( (RANDOM * 32768 + RANDOM) * (span / 1000) / 1073741824 * 1000 ))
  (cd "$d" && exec "$kelvor" >"$d.out" 2>"$d.err") &
  pid=$!
  [ "$in_filter" = 0 ] || wait_for_filter_phase "$d" "$pid" || true
  sleep "$(printf '%d.%09d' $((delay_ns / 1000000000)) $((delay_ns % 1000000000)))"
  rc=0
  if kill -KILL "$pid" 2>/dev/null; then { wait "$pid"; } 2>/dev/null || rc=$?; else wait "$pid" || rc=$?; fi
  if [ "$rc" != 137 ]; then
    # The run was over already: not a kill.
    [ "$rc" = 0 ] || fail "run $attempt ended with status $rc: $(cat "$d.err")"
    if [ "$in_filter" = 1 ]; then filter_ns=$delay_ns; else est_ns=$delay_ns; fi
    rm -rf "$d" "$d".*
    continue
  fi

  # Where the run was: its report against the uninterrupted run's.
  if [ "$(cat "$d/kelvor.valdav")" = " report of an earlier run" ]; then
    k=0
  else
    k=$(wc -l <"$d/kelvor.valdav")
    head -n "$k" "$reference_report" | cmp -s - "$d/kelvor.valdav" ||
      fail "kill $attempt: the report is not a beginning of the uninterrupted run's"
  fi
  i=0
  for j in $(seq 0 "$saves"); do [ "${state_line[$j]}" -le "$k" ] && i=$j; done
  h=$(set_hash "$d")
  if [ "$h" = "${state_hash[$i]}" ]; then j=$i
  elif [ "$i" -gt 0 ] && [ "${state_line[$i]}" = "$k" ] && [ "$h" = "${state_hash[$((i - 1))]}" ]; then j=$((i - 1))
  else
    fail "kill $attempt after report line $k: the weight set in place is none of the sets saved by then"
  fi
  phase="before the banner"
  [ "$k" -gt 0 ] && phase="first stage"
  grep -q '#After filter' "$d/kelvor.valdav" && phase="filter"
  during=""
  ls "$d" | grep -q '^fort\..*\.part$' && during=", during a save"
  ls "$d" | grep -q '^fort\..*\.commit$' && during=", among the renames of a save"

  # The weights load and give the scores of that set; the prediction run changes none of them.
  defaults 0 >"$d/kelvor.in"
  (cd "$d" && "$kelvor" >"$d.predict.out" 2>"$d.predict.err") ||
    fail "kill $attempt: the prediction run failed: $(cat "$d.predict.err")"
  [ "$(q10p "$d.predict.out")" = "${state_q10p[$j]}" ] ||
    fail "kill $attempt: prediction gives $(q10p "$d.predict.out"), saved set $j gives ${state_q10p[$j]}"
  [ "$(set_hash "$d")" = "$h" ] || fail "kill $attempt: the prediction run changed the weight files"

  survived=$((survived + 1))
  echo "kill $survived at $((delay_ns / 1000000)) ms: $phase, report line $k, saved set $j of $saves in place$during; Q10P $(q10p "$d.predict.out")"
  summary+="$j "
  rm -rf "$d" "$d".*
done
echo "kill_training: $survived kills survived ($attempt runs started), sets found in place: $summary"
