#include "tools/angles/profile_chain.h"

#include <algorithm>
#include <array>

#include "dataset/protein_records.h"
#include "dataset/setio.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"

namespace kelvor::angles {
namespace {
std::string trimmed(const std::string& s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}
}  // namespace

ProfileReader::ProfileReader(std::string dataRoot) : root_(std::move(dataRoot)) {
  if (!root_.empty() && root_.back() != '/') root_ += '/';
}

std::string ProfileReader::profilePath(const std::string& name) const { return proteinPaths(root_, name).profile; }

ProfileChain ProfileReader::read(DataStore& store, const std::string& listName) {
  ProfileChain chain;
  chain.name = trimmed(listName);
  const std::string path = profilePath(chain.name);
  RecordReader in = RecordReader::open(path);
  if (in.missing()) throw FileError(path, 0, std::string(recordFileName(RecordFile::kProfile)) + " is missing");
  for (int h = 1; h <= headerLines(RecordFile::kProfile); ++h)
    in.skipLineOrThrow("header line " + std::to_string(h) + " of " + std::to_string(headerLines(RecordFile::kProfile)));

  // The trainer's profile record, its first field read as the row's position: a first field that
  // is not a number ends the rows.
  ResidueRecord rec;
  std::vector<Item> items = recordItems(RecordFile::kProfile, rec);
  int position = 0;
  items[0] = Item::integer(position);

  const int before = store.nta;
  for (;;) {
    const ReadResult r = in.read(items.data(), items.size());
    if (r.status == ReadResult::kEndOfFile || (r.status == ReadResult::kBadValue && r.item == 1)) break;
    if (!r.ok()) throw FileError(path, r.line, r.describe());
    store.addResidue();
    const int row = store.nta;
    encoder_.encode(store, row, rec.aa2, 'C', rec.tprot.data(), 0.0, 0.0, 0.0);
    for (int c = 28; c <= 30; ++c) store.fin(row, c) = 0.0;
    chain.residues += rec.aa2;
  }

  const int n = store.nta - before;
  chain.length = n;
  chain.first = n > 0 ? before + 1 : 0;
  store.setChainBounds(store.nta, n);
  return chain;
}

}  // namespace kelvor::angles
