// Entry point: runs kelvo_r; every failure becomes a message on standard error and an exit status.
#include "ground/program_main.h"
#include "run/driver.h"

int main(int argc, char** argv) { return kelvor::runProgram({"kelvor", ""}, argc, argv, kelvor::kelvo_r); }
