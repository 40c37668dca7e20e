// kelvor-angles: learns the accessible surface area and the two backbone angles of every residue
// from its profile window, and predicts them for chains whose structure is unknown.
#include "ground/program_main.h"
#include "tools/angles/angles_main.h"

int main(int argc, char** argv) {
  return kelvor::runProgram({"kelvor-angles", kelvor::tryHelpHint("kelvor-angles")}, argc, argv,
                            kelvor::angles::runAngles);
}
