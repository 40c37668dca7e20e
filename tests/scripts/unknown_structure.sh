#!/usr/bin/env bash
# A chain known by its sequence and matrix alone, predicted end to end: kelvor-prep makes it
# without a DSSP file, kelvor-angles --predict gives it angles and an area, and kelvor-predict
# predicts its classes with weights trained on twelve example chains. A second chain gets its
# values from an angle table instead.
set -euo pipefail
build=$1 src=$2
if ! "$build/kelvor-prep" --help | grep -q '(default: \./, the data root'; then
  echo "skipped: kelvor was built with another data root than the working directory"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$src/tests/support/small_training_set.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Both models on the twelve chains, one epoch each.
make_small_set "$work/train"
defaults 1 > "$work/train/kelvor.in"
(cd "$work/train" && KELVOR_TIME=01:02:03 "$build/kelvor" > kelvor.out 2>&1) || { cat "$work/train/kelvor.out"; exit 1; }
(cd "$work/train" && KELVOR_TIME=01:02:03 "$build/kelvor-angles" > angles.out 2>&1) || { cat "$work/train/angles.out"; exit 1; }

# The new chain: 1tii_C's matrix from the example set is the given one; nothing else of it is used.
cd "$work"
cp "$src/examples/new_prf/1tii_C.mat" given.pssm
n=$(( $(wc -l < "$src/examples/kvqout/1tii_C.kvqout") - 1 ))  # its residues; the tabled chain has 36
printf '# name  DSSP  chain  PSSM  [angle table]\nnew - - given.pssm\ntabled - - %s %s\n' \
  "$src/tests/data/prep/1tii_C.pssm" "$src/tests/data/prep/1tii_C.angles" > chains.txt
"$build/kelvor-prep" -d data chains.txt > prep.out 2> prep.err || { cat prep.err; exit 1; }
grep -q "wrote 2 chains, $((n + 36)) residues" prep.out || fail "kelvor-prep: $(cat prep.out)"
grep -q "1 chain of unknown structure without an angle table" prep.out || fail "kelvor-prep gives no next step"
[ ! -e data/dssp_data ] || fail "a dssp_data folder was made"
[ -s data/new_prf/new.mat ] && [ -s data/kvqout/tabled.kvqout ] && [ ! -e data/kvqout/new.kvqout ] \
  || fail "kelvor-prep made other files: $(find data | sort | tr '\n' ' ')"

# Angles and area for the chain without a table, then the classes of both chains.
echo new > new.list
"$build/kelvor-angles" --predict -w train -l new.list -d data -o data > angles.out 2> angles.err \
  || { cat angles.err; fail "kelvor-angles --predict failed"; }
kvq=data/kvqout/new.kvqout
[ "$(wc -l < "$kvq")" = $((n + 1)) ] || fail "$kvq: $(wc -l < "$kvq") lines"
awk 'NR > 1 && !(NF == 11 && $1 == NR - 1 && $3 == "-" && $4 + 0 >= -180 && $4 + 0 <= 180 && $5 + 0 >= -180 && $5 + 0 <= 180 && $11 + 0 >= 0) {exit 1}' "$kvq" \
  || fail "$kvq holds a record that is not an index, letter, '-', two angles, five numbers and an area"
cmp -s <(awk 'NR > 1 {print $2}' "$kvq") <(awk 'NR > 1 {print $2}' "$src/examples/kvqout/1tii_C.kvqout") \
  || fail "$kvq: residue letters"

"$build/kelvor-predict" -w train -l data/proteins.list -d data -o predictions > predict.out 2> predict.err \
  || { cat predict.err; fail "kelvor-predict failed"; }
for name_count in new:$n tabled:36; do
  v=predictions/${name_count%:*}.vertical
  [ "$(grep -cE '^ +[0-9]+ [A-Z] [HEC] ' "$v")" = "${name_count#*:}" ] || fail "$v: not ${name_count#*:} predicted residues"
done
grep -q "2 chains, $((n + 36)) residues" predict.out || fail "kelvor-predict: $(cat predict.out)"

if [ $failures -ne 0 ]; then
  echo "unknown_structure: $failures checks failed"
  exit 1
fi
echo "unknown_structure: a chain from its matrix alone predicted by kelvor-angles and kelvor-predict"
