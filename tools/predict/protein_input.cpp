#include "tools/predict/protein_input.h"

#include <cstdio>

#include "ground/errors.h"

namespace kelvor::predict {
namespace {

[[noreturn]] void letterMismatch(const Chain& c) {
  throw InputError("residue " + std::to_string(c.residue) + ": letter " + std::string(1, c.one.letter) + " in file \"" +
                   c.path(c.one.file) + "\", line " + std::to_string(c.one.line) + ", but " +
                   std::string(1, c.other.letter) + " in file \"" + c.path(c.other.file) + "\", line " +
                   std::to_string(c.other.line));
}

}  // namespace

ChainReader::ChainReader(std::string dataRoot) : root_(rootDirectory(std::move(dataRoot))) {}

Chain ChainReader::read(DataStore& store, const std::string& listName) {
  // Every chain starts from fresh holders: its values never depend on the chain read before it.
  ResidueRecord holders;
  Chain chain = readChain(store, encoder_, holders, root_, listName, ChainFiles::kLabelledWhenDssp);
  switch (chain.end) {
    case Chain::End::kComplete:
      break;
    case Chain::End::kEarly:
      std::fprintf(stderr, "kelvor-predict: warning: chain %s ends before residue %d: %s; %d residues kept\n",
                   chain.name.c_str(), chain.residue, chain.early.c_str(), chain.residue - 1);
      break;
    case Chain::End::kLetters:
      letterMismatch(chain);
    case Chain::End::kStructure:
      throw InputError("file \"" + chain.paths.dssp + "\", line " + std::to_string(chain.one.line) +
                       ": structure letter " + std::string(1, chain.one.letter) + " of residue " +
                       std::to_string(chain.residue) + "; allowed: H, E, C");
  }
  return chain;
}

}  // namespace kelvor::predict
