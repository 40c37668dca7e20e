#!/usr/bin/env bash
# kelvor-synth on the command line: a directory that holds a data set is refused and left as it
# is unless --overwrite is given, and a set larger than the memory the process may use is refused
# by its counts (status 5) before anything is written or set aside.
set -euo pipefail
build=$(cd "$1" && pwd)
synth=$build/kelvor-synth
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$synth" --help | grep -q -- '--overwrite' || fail "--help does not name --overwrite"

"$synth" --chains 3 --residues 600 --epochs 1 "$work/set" > /dev/null || fail "a set in a new directory"
cp -r "$work/set" "$work/copy"
status=0
"$synth" --seed 2 --chains 3 --residues 600 "$work/set" > /dev/null 2> "$work/err" || status=$?
[ "$status" = 2 ] || fail "a set over another: status $status"
grep -qF "kelvor-synth: file \"$work/set/proteins.list\": exists: $work/set holds a data set already" "$work/err" \
  || fail "a set over another: $(cat "$work/err")"
diff -r "$work/set" "$work/copy" > /dev/null || fail "the refused set changed the directory"
"$synth" --seed 2 --chains 3 --residues 600 --overwrite "$work/set" > /dev/null || fail "--overwrite was refused"
diff -r "$work/set" "$work/copy" > /dev/null && fail "--overwrite left the old set"

# Under an address-space limit of 2 GB (not with the sanitizers, which reserve far more).
if grep -q '^KELVOR_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2> /dev/null; then
  echo "memory refusals: skipped under the sanitizers"
else
  for ask in "--chains 2000000000:2000000000 chains need" \
             "--chains 1 --residues 2000000000:2000000000 residues in 1 chain (up to 2000000000 residues in one chain) need"; do
    status=0
    # shellcheck disable=SC2086
    (ulimit -v 2000000 && exec "$synth" ${ask%%:*} "$work/big") > /dev/null 2> "$work/err" || status=$?
    [ "$status" = 5 ] || fail "${ask%%:*}: status $status: $(cat "$work/err")"
    grep -qF "kelvor-synth: ${ask#*:} " "$work/err" && grep -q "MiB here" "$work/err" \
      || fail "${ask%%:*}: $(cat "$work/err")"
    [ ! -e "$work/big" ] || fail "${ask%%:*}: the refused set left $work/big"
  done
fi

if [ $failures -ne 0 ]; then echo "$failures checks failed"; exit 1; fi
echo "kelvor-synth: a set over another refused and kept, --overwrite, sets too large refused by their counts"
