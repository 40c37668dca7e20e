// Encoding of one residue into its row of filin: 30 features, the class vector and code.
#pragma once

#include <array>

#include "dataset/store.h"

namespace kelvor {

// The parameter lookup SEVEC (by ASCII code 1..90, seven parameters) and the state that the
// encoding carries from residue to residue (the surface-area maximum in effect).
struct Encoder {
  std::array<std::array<double, 7>, 91> sevec{};  // sevec[code][k-1]
  double asamaxInEffect = 0.0;                    // 0: none set yet

  Encoder();  // builds the lookup from the parameter table

  // Parameter k (1..7) of a residue letter; 0 for letters outside the alphabet and for bytes
  // outside 1..90.
  double parameter(char letter, int k) const;

  // Writes columns 1-30 and 33-36 of row r. Returns false (after columns 1-30) when the
  // structure letter is not H, E or C.
  bool encode(DataStore& store, int r, char aa, char ss, const double profile[20], double angle1, double angle2,
              double area);
};

// Maximum accessible surface area of a standard residue letter, 0 for any other.
double asamax(char letter);

// Class code and +-1 vector of a structure letter; false for a letter other than E, C, H.
bool structureClass(char ss, double& code, std::array<double, 3>& vec);

}  // namespace kelvor
