#include "dataset/setio.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "dataset/encoding.h"
#include "dataset/protein_records.h"
#include "dataset/residue_bound.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/freeform_writer.h"
#include "ground/output.h"

#ifndef KELVOR_DATA_ROOT
#define KELVOR_DATA_ROOT "./"
#endif

namespace kelvor {
namespace {

std::string trimmed(const std::string& s) {
  std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

void warn(const std::string& text) { std::fprintf(stderr, "kelvor: warning: %s\n", text.c_str()); }

// Writes a mismatch report (four items, the name continued on a line of its own) and stops.
[[noreturn]] void mismatch(const char* which, const char* l1, const char* l2, char a, char b, int j,
                           int nta, int ix, const std::string& name) {
  writeStdout(Line().text(std::string(which) + " mismatch, aborting").str());
  writeStdout(Line().text("i=").integer(j).text("    nta=").integer(nta).text("    ix=").integer(ix).str());
  writeStdout(Line().text(l1).letter(a).text(l2).letter(b).str());
  writeStdout(Line().text("file: ").str());
  writeStdout(Line().text(name).str());
  throw DataStop(std::string(which) + " mismatch");
}

// Why a protein's records ended before the end of its DSSP-data file.
void reportEarlyEnd(const ProteinRecords& files, const ProteinRecords::Step& step, const std::string& name, int j) {
  warn("protein " + name + " ends before residue " + std::to_string(j) + ": " + files.describe(step) + "; " +
       std::to_string(j - 1) + " residues kept");
}

}  // namespace

std::string defaultDataRoot() { return KELVOR_DATA_ROOT; }

ProteinPaths proteinPaths(const std::string& root, const std::string& name) {
  std::string n = trimmed(name);
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
    const std::string shown = trimmed(name);
    const ProteinPaths paths = proteinPaths(dataRoot, name);
    ProteinRecords files(paths, ProteinRecords::Lead::kDssp, holders);
    if (files.dsspMissing()) warn("DSSP-data file " + paths.dssp + " is missing; protein " + shown + " has no residues");
    const ResidueRecord& rec = files.record();

    int j = 1;
    for (;; ++j) {
      const ProteinRecords::Step step = files.next();
      if (step.status == ProteinRecords::Step::kEarlyEnd) reportEarlyEnd(files, step, shown, j);
      if (step.status != ProteinRecords::Step::kResidue) break;
      store.addResidue();
      if (rec.aa1 != rec.aa2) mismatch("aa12", "aa1: ", "     aa2: ", rec.aa1, rec.aa2, j, store.nta, ix, name);
      if (rec.aa2 != rec.aa3) mismatch("aa23", "aa2: ", "     aa3: ", rec.aa2, rec.aa3, j, store.nta, ix, name);
      if (!encoder.encode(store, store.nta, rec.aa1, rec.ssc, rec.tprot.data(), rec.tprot[20], rec.tprot[21],
                          rec.tprot[27])) {
        writeStdout(Line().text("SS type not found, aborting.").str());
        std::fprintf(stderr, "kelvor: file \"%s\", line %ld: protein %s, residue %d: structure letter '%c'; allowed: H, E, C\n",
                     paths.dssp.c_str(), step.lines[0], shown.c_str(), j, rec.ssc);
        throw DataStop("SS type not found");
      }
    }

    store.setChainBounds(store.nta, j - 1);
    if (ix == store.ntrain) store.ntatrain = store.nta;
    if (ix == store.ntrval) store.ntatrval = store.nta;
  }
}

}  // namespace kelvor
