#!/usr/bin/env bash
# Kills a training run with SIGKILL at random points (20 by default) and shows each time that
# the weight files left behind load, and that a prediction run (epoch limit 0) gives the scores
# of the last weight set that the run had saved completely.
#
# The points are events of the run, not moments: the run kills itself just before its n-th event
# of a kind (KELVOR_TEST_KILL_AT=<event>:<n>; events: a report line, the start of a set's
# replacement, one temporary written, one rename), so every kill lands where it was drawn on any
# machine. The uninterrupted run counts its events; half the kills are drawn among the events of
# the filter phase, which is short beside the first stage.
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
# KELVOR_KILL_SEED (random points; printed, so that a failure can be repeated).
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
(cd "$ref" && KELVOR_TEST_KILL_AT=tally KILL_SNAPSHOTS="$work/snapshots" LD_PRELOAD="$work/watch.so" \
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" exec "$kelvor" >"$work/reference.out" 2>"$work/reference.err") ||
  fail "the uninterrupted run failed: $(cat "$work/reference.err")"
# The counts of its events: "kelvor: test events: line 29 save 24 part 38 rename 38".
events() { grep '^kelvor: test events:' "$1" | tail -1 | sed 's/^kelvor: test events: //'; }
declare -A total filter_from
read -r _ total[line] _ total[save] _ total[part] _ total[rename] <<<"$(events "$work/reference.err")"
[ -n "${total[rename]:-}" ] || fail "the uninterrupted run gave no count of its events: $(cat "$work/reference.err")"
# The events before the filter phase: a run killed as it writes the line after the first stage's
# heading (and the line under it) counts them.
heading=$(grep -n '^ #After filter' "$work/reference/kelvor.valdav" | cut -d: -f1)
[ -n "$heading" ] || fail "the uninterrupted run's report has no filter heading"
probe="$work/probe"
cp -r "$base" "$probe"
(cd "$probe" && KELVOR_TEST_KILL_AT=line:$((heading + 2)) exec "$kelvor" >/dev/null 2>"$work/probe.err") && fail "the probe run was not killed"
read -r _ filter_from[line] _ filter_from[save] _ filter_from[part] _ filter_from[rename] <<<"$(events "$work/probe.err")"
rm -rf "$probe"
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
echo "kill_training: uninterrupted run: events $(events "$work/reference.err") (the filter phase after line ${filter_from[line]} save ${filter_from[save]} part ${filter_from[part]} rename ${filter_from[rename]}), $first_saves first-stage and $((saves - first_saves)) filter saves, begun after report lines ${state_line[*]:1}"

# ---- The kills. Each draws a kind of event and its number: half of them anywhere in the run,
# the other half in the filter phase. A run that is not killed at its event is a failure.
kinds=(line save part rename)
survived=0
summary=""
while [ "$survived" -lt "$kills" ]; do
  attempt=$((survived + 1))
  d="$work/kill-$attempt"
  cp -r "$base" "$d"
  kind=${kinds[$((RANDOM % 4))]}
  lo=0
  [ $((survived % 2)) = 1 ] && lo=${filter_from[$kind]}
  n=$((lo + 1 + (RANDOM * 32768 + RANDOM) % (total[$kind] - lo)))
  rc=0
  { (cd "$d" && KELVOR_TEST_KILL_AT=$kind:$n exec "$kelvor" >"$d.out" 2>"$d.err"); } 2>/dev/null || rc=$?
  [ "$rc" = 137 ] || fail "kill $attempt ($kind $n of ${total[$kind]}): the run ended with status $rc, not at its event: $(cat "$d.err")"

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
  echo "kill $survived before $kind $n: $phase, report line $k, saved set $j of $saves in place$during; Q10P $(q10p "$d.predict.out")"
  summary+="$j "
  rm -rf "$d" "$d".*
done
echo "kill_training: $survived kills survived, sets found in place: $summary"
