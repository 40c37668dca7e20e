#!/usr/bin/env bash
# A whole two-stage training run (one epoch) on a synthetic set of 3000 chains and 610 000
# residues, beyond the sizes earlier versions refused: both "Q10P:" lines appear, the run ends
# with status 0, and the peak memory stays within 400 bytes a residue plus a fixed part.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/kelvor-synth" --seed 14 --chains 3000 --residues 610000 --epochs 1 "$work" > /dev/null
cd "$work"
/usr/bin/time -f '%M' -o peak.kb env KELVOR_TIME=01:02:03 "$build/kelvor" > kelvor.out 2> kelvor.err || {
  echo "kelvor failed:"; cat kelvor.err; exit 1; }
q=$(grep -c '^ Q10P: ' kelvor.out || true)
if [ "$q" != 2 ] || ! grep -q '^ #After filter$' kelvor.out; then
  echo "expected two Q10P lines around the filter heading:"; cat kelvor.out; exit 1
fi
epochs=$(grep -c . kelvor.valdav)
peak=$(( $(cat peak.kb) * 1024 ))
limit=$(( 610000 * 400 + 64 * 1024 * 1024 ))
echo "Q10P lines: 2; report lines: $epochs; peak memory: $peak bytes (limit $limit)"
if [ "$peak" -gt "$limit" ]; then echo "peak memory over 400 bytes a residue plus 64 MiB"; exit 1; fi
