# Shared by the kill-and-resume script tests (sourced; needs $src): twelve chains of 30 to 80
# residues of the example set with a protein list, and the defaults file of a small training run.

small_chains="6c83_D mmcif_6zu5_LLL 1LCD 7CFN_G bpti mmcif_6zu5_SDD 1adz mmcif_6zu5_SZ0 mmcif_6zu5_LNN mmcif_6zu5_LPP 1EXT4 1paa"

# make_small_set DIR: the twelve chains' files under DIR and DIR/proteins.list naming them.
make_small_set() {
  local c
  mkdir -p "$1/dssp_data" "$1/new_prf" "$1/kvqout"
  for c in $small_chains; do
    cp "$src/examples/dssp_data/$c" "$1/dssp_data/"
    cp "$src/examples/new_prf/$c.mat" "$1/new_prf/"
    cp "$src/examples/kvqout/$c.kvqout" "$1/kvqout/"
    echo "$c" >>"$1/proteins.list"
  done
}

# defaults EPOCH-LIMIT [LEARNING-RATE]: kelvor.in for the twelve chains, fold 1, test fraction 0.15.
defaults() {
  printf '%s\n12\n0\n%s\n0.5\n0.5\n1.0\n1\n0.15\n'"'"'proteins.list'"'"' real\n' "$1" "${2:-0.002}"
}
