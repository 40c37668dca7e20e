#!/usr/bin/env bash
# Makes a tiny data set from the first chains of the example set, each cut to a few residues
# (one of them to a single residue, one long enough for a full window): make_tiny_set.sh <examples> <dir> <epochs>
set -euo pipefail
ex=$1 dir=$2 epochs=$3
mkdir -p "$dir"/dssp_data "$dir"/new_prf "$dir"/kvqout
lengths=(6 1 4 25 3 7 2 5 8 3 6)
: > "$dir"/proteins.list
i=0
while read -r name && [ $i -lt ${#lengths[@]} ]; do
  n=${lengths[$i]}
  head -n "$n" "$ex/dssp_data/$name" > "$dir/dssp_data/$name"
  head -n $((n + 3)) "$ex/new_prf/$name.mat" > "$dir/new_prf/$name.mat"
  head -n $((n + 1)) "$ex/kvqout/$name.kvqout" > "$dir/kvqout/$name.kvqout"
  echo "$name" >> "$dir"/proteins.list
  i=$((i + 1))
done < "$ex/proteins.list"
printf '%s\n11\n0\n0.01\n0.5\n0.5\n1.0\n1\n0.1\n'"'"'proteins.list'"'"' real\n' "$epochs" > "$dir"/kelvor.in
