#include "tools/angles/profile_chain.h"

namespace kelvor::angles {

ProfileReader::ProfileReader(std::string dataRoot) : root_(rootDirectory(std::move(dataRoot))) {}

std::string ProfileReader::profilePath(const std::string& name) const { return proteinPaths(root_, name).profile; }

ProfileChain ProfileReader::read(DataStore& store, const std::string& listName) {
  ResidueRecord unused;  // a profile row sets every value it reads
  return readChain(store, encoder_, unused, root_, listName, ChainFiles::kProfileOnly);
}

}  // namespace kelvor::angles
