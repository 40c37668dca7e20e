#include "dataset/setio.h"

#include <cstdio>

#include "dataset/chain_reader.h"
#include "dataset/residue_bound.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "ground/names.h"
#include "ground/output.h"

#ifndef KELVOR_DATA_ROOT
#define KELVOR_DATA_ROOT "./"
#endif

namespace kelvor {
namespace {

void warn(const std::string& text) { std::fprintf(stderr, "kelvor: warning: %s\n", text.c_str()); }

// Writes a mismatch report (four items, the name continued on a line of its own) and stops.
[[noreturn]] void mismatch(const char* which, const char* l1, const char* l2, char a, char b, int j, int nta, int ix,
                           const std::string& name) {
  writeStdout(Line().text(std::string(which) + " mismatch, aborting").str());
  writeStdout(Line().text("i=").integer(j).text("    nta=").integer(nta).text("    ix=").integer(ix).str());
  writeStdout(Line().text(l1).letter(a).text(l2).letter(b).str());
  writeStdout(Line().text("file: ").str());
  writeStdout(Line().text(name).str());
  throw DataStop(std::string(which) + " mismatch");
}

// What ended protein `ix` (list name `name`) other than the end of its DSSP-data file.
void reportEnd(const ChainRead& c, const DataStore& store, int ix, const std::string& name) {
  switch (c.end) {
    case ChainRead::End::kComplete:
      return;
    case ChainRead::End::kEarly:
      warn("protein " + c.name + " ends before residue " + std::to_string(c.residue) + ": " + c.early + "; " +
           std::to_string(c.residue - 1) + " residues kept");
      return;
    case ChainRead::End::kLetters:
      if (c.one.file == RecordFile::kDssp)
        mismatch("aa12", "aa1: ", "     aa2: ", c.one.letter, c.other.letter, c.residue, store.nta, ix, name);
      mismatch("aa23", "aa2: ", "     aa3: ", c.one.letter, c.other.letter, c.residue, store.nta, ix, name);
    case ChainRead::End::kStructure:
      writeStdout(Line().text("SS type not found, aborting.").str());
      std::fprintf(stderr,
                   "kelvor: file \"%s\", line %ld: protein %s, residue %d: structure letter '%c'; allowed: H, E, C\n",
                   c.paths.dssp.c_str(), c.one.line, c.name.c_str(), c.residue, c.one.letter);
      throw DataStop("SS type not found");
  }
}

}  // namespace

std::string defaultDataRoot() { return KELVOR_DATA_ROOT; }

ProteinPaths proteinPaths(const std::string& root, const std::string& name) {
  const std::string n(nameOf(name));
  return {root + "dssp_data/" + n, root + "new_prf/" + n + ".mat", root + "kvqout/" + n + ".kvqout"};
}

void setio(DataStore& store, const std::string& dataRoot) {
  Encoder encoder;
  store.wincen = 11;
  store.outcen = 1;
  store.nta = 0;
  store.ntatrain = 0;
  store.ntatrval = 0;
  store.reserveResidues(residueBound(store, dataRoot));

  // Holders that keep their values from record to record and from protein to protein.
  ResidueRecord holders;
  for (int ix = 1; ix <= store.nprot; ++ix) {
    const std::string& name = store.pname[ix - 1];
    const ChainRead c = readChain(store, encoder, holders, dataRoot, name, ChainFiles::kLabelled);
    if (c.dsspMissing) warn("DSSP-data file " + c.paths.dssp + " is missing; protein " + c.name + " has no residues");
    reportEnd(c, store, ix, name);
    if (ix == store.ntrain) store.ntatrain = store.nta;
    if (ix == store.ntrval) store.ntatrval = store.nta;
  }
}

}  // namespace kelvor
