#!/usr/bin/env bash
# A whole two-stage run on a tiny data set, compared byte for byte (standard output, report file,
# all five weight files) with an independent plain transcription of the run.
set -euo pipefail
build=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$src/tests/oracle/make_tiny_set.sh" "$src/examples" "$work" 3
cd "$work"
KELVOR_TIME=01:02:03 "$build/kelvor" 5 > kelvor.out
python3 "$src/tests/oracle/kelvor_oracle.py" "$work" 5 01:02:03
status=0
for f in out valdav fort.77 fort.78 fort.79 fort.87 fort.88; do
  ours=$f
  [ "$f" = out ] && ours=kelvor.out
  [ "$f" = valdav ] && ours=kelvor.valdav
  if ! cmp -s "$ours" "oracle.$f"; then
    echo "differs from the transcription: $ours"
    diff "$ours" "oracle.$f" | head -5
    status=1
  fi
done
[ $status = 0 ] && echo "identical: standard output, report file and five weight files"
exit $status
