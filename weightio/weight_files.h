// Weight files of both networks, one free-form real per line (three on the lines of file 79):
//   fort.77  wei1(i, f, h)   i = 1..22, f = 1..30, h = 1..101 (h fastest)   66660 lines
//   fort.78  wei2(m, k)      m = 1..102, k = 1..101                         10302 lines
//   fort.79  pwei(m, 1..3)   m = 1..102                                       102 lines
//   fort.87  fwei1(i, c, h)  i = 1..22, c = 1..3, h = 1..21                  1386 lines
//   fort.88  fwei2(m, c)     m = 1..22, c = 1..3                               66 lines
// The numbers are 77, 78, 79, 87, 88 plus a file-set offset. Writing replaces a whole set
// together (complete temporary files renamed into place); reading never creates a file, and a
// missing, short or malformed file is a FileError that names it.
#pragma once

#include <string>

#include "network/state.h"

namespace kelvor {

std::string weightFileName(int number, int offset);  // "fort.<number + offset>"

std::string formatFirstStage77(const Network& net);
std::string formatFirstStage78(const Network& net);
std::string formatFirstStage79(const Network& net);
std::string formatFilter87(const Network& net);
std::string formatFilter88(const Network& net);

void outwei(const Network& net, int offset);
void outweif(const Network& net, int offset);
// Reading takes the files from `dir` (the working directory when empty), each from where the
// commit-marker rule says its current content is.
void readwei(Network& net, int offset, const std::string& dir = "");
void readweif(Network& net, int offset, const std::string& dir = "");

// The first-stage set under names of another program's own: `stem` + "77", "78", "79" (e.g.
// "run/angles."), written and read like fort.77..79.
void writeFirstStageAs(const Network& net, const std::string& stem);
void readFirstStageAs(Network& net, const std::string& stem);

}  // namespace kelvor
