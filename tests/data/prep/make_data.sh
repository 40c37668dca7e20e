#!/usr/bin/env bash
# Remakes the mkdssp and psiblast outputs of this folder from 1tii.pdb. Not run by the tests or
# by CI; it needs Debian's dssp and ncbi-blast+ packages and a built kelvor-prep:
#   apt-get install dssp ncbi-blast+
#   bash tests/data/prep/make_data.sh build-prep/kelvor-prep
set -euo pipefail
prep=$(realpath "${1:?usage: make_data.sh path/to/kelvor-prep}")
here=$(cd "$(dirname "$0")" && pwd)
examples=$(cd "$here/../../../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$here"

# mkdssp 4.2 refuses some header records of this entry (a date in REVDAT/REMARK form it does
# not take); it gets the coordinates, the cell and the disulfide records only.
awk '/^ENDMDL/{exit} /^(HEADER|CRYST1|SSBOND|ATOM|TER)/{print} END{print "END"}' 1tii.pdb > "$work/1tii.pdb"
mkdssp --output-format dssp "$work/1tii.pdb" 1tii.dssp

# The sequences as the data set holds them, to make the matrices from.
printf '1tii_A 1tii.dssp A\n1tii_C 1tii.dssp C\n1tii_D 1tii.dssp D\n' > "$work/chains"
cp 1tii.dssp "$work/"
"$prep" --fasta "$work/fasta" "$work/chains"
# Chain A as the entry's SEQRES records give it: 190 residues, of which the structure lacks 47
# and 188-190; its matrix disagrees with the DSSP file.
awk '$1=="SEQRES" && $3=="A" {for (i = 5; i <= NF; i++) print $i}' 1tii.pdb |
  awk 'BEGIN{split("ALA A ARG R ASN N ASP D CYS C GLN Q GLU E GLY G HIS H ILE I LEU L LYS K MET M PHE F PRO P SER S THR T TRP W TYR Y VAL V", t, " "); for (i = 1; i < 40; i += 2) c[t[i]] = t[i+1]}
       {s = s c[$1]} END{print ">1tii_A_seqres"; print s}' > "$work/fasta/1tii_A_seqres.fasta"

# A small database: the sequences of the shipped example set and the chains of 1tii.
for f in "$examples"/dssp_data/*; do
  printf '>%s\n' "$(basename "$f")"
  awk '{printf "%s", $2} END{print ""}' "$f"
done > "$work/db.fasta"
cat "$work/fasta/1tii_A.fasta" "$work/fasta/1tii_C.fasta" >> "$work/db.fasta"
makeblastdb -in "$work/db.fasta" -dbtype prot -out "$work/db" > /dev/null

for q in 1tii_A 1tii_C 1tii_D 1tii_A_seqres; do
  psiblast -query "$work/fasta/$q.fasta" -db "$work/db" -num_iterations 3 -evalue 0.001 \
    -inclusion_ethresh 0.001 -out_ascii_pssm "$q.pssm" -out /dev/null
done

# A stand-in for a predictor's table for chain C: DSSP's phi, psi and accessibility rounded to
# whole numbers (undefined angles, 360, written as 0).
awk '/  #  RESIDUE/{f=1; next} f && substr($0,14,1) != "!" && substr($0,12,1) == "C" {
       aa = substr($0,14,1); if (aa ~ /[a-z]/) aa = "C"
       phi = substr($0,104,6) + 0; psi = substr($0,110,6) + 0; acc = substr($0,35,4) + 0
       if (phi == 360) phi = 0; if (psi == 360) psi = 0
       printf "%s %d %d %d\n", aa, phi < 0 ? phi - 0.5 : phi + 0.5, psi < 0 ? psi - 0.5 : psi + 0.5, acc + 0.5 }' \
  1tii.dssp | { echo "# residue phi psi area"; cat; } > 1tii_C.angles
echo "made 1tii.dssp, 1tii_A.pssm, 1tii_C.pssm, 1tii_D.pssm, 1tii_A_seqres.pssm, 1tii_C.angles"
