// Residue letters and secondary-structure states as the data set writes them.
#pragma once

#include <optional>
#include <string>

namespace kelvor::prep {

// The residue letter written for a DSSP residue: a lower-case letter marks a cysteine in a
// disulfide bridge and becomes C; the 20 standard letters, B and Z stay; anything else is X.
char dsspResidueLetter(char c);
// The residue letter of a PSSM row or an angle-table line: upper-cased, then the 20 standard
// letters, B and Z stay and anything else is X.
char profileResidueLetter(char c);

// The 8-to-3 state reductions.
enum class Reduction {
  kHGI,  // H, G, I -> H; E, B -> E; T, S, P and none -> C
  kH,    // H -> H; E, B -> E; G, I, T, S, P and none -> C
};
std::optional<Reduction> reductionByName(const std::string& name);  // "hgi", "h"
std::string reductionName(Reduction r);

// True for the DSSP states: H B E G I T S P and ' ' (none).
bool isDsspState(char s);
// The three-state letter (H, E or C) of a DSSP state.
char reduceState(char s, Reduction r);

}  // namespace kelvor::prep
