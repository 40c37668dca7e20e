#include "tools/predict/protein_input.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

#include "dataset/setio.h"
#include "run/text/errors.h"
#include "run/text/freeform_reader.h"
#include "tools/predict/errors.h"

namespace kelvor::predict {
namespace {

std::string trimmed(const std::string& s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

RecordReader openWithHeader(const std::string& path, const char* what, int headerLines) {
  RecordReader in = RecordReader::open(path);
  if (in.missing()) throw FileError(path, 0, std::string(what) + " is missing");
  for (int h = 1; h <= headerLines; ++h)
    in.skipLineOrThrow("header line " + std::to_string(h) + " of " + std::to_string(headerLines));
  return in;
}

void warnEarlyEnd(const Chain& c, const RecordReader& file, const ReadResult& r, int residue) {
  const std::string where = r.status == ReadResult::kEndOfFile
                                ? file.name() + ": end of file"
                                : file.name() + ", line " + std::to_string(r.line) + ": " + r.describe();
  std::fprintf(stderr, "kelvor-predict: warning: chain %s ends before residue %d: %s; %d residues kept\n",
               c.name.c_str(), residue, where.c_str(), residue - 1);
}

[[noreturn]] void letterMismatch(const RecordReader& a, long lineA, char la, const RecordReader& b, long lineB,
                                 char lb, int residue) {
  throw InputError("residue " + std::to_string(residue) + ": letter " + std::string(1, la) + " in file \"" +
                   a.name() + "\", line " + std::to_string(lineA) + ", but " + std::string(1, lb) + " in file \"" +
                   b.name() + "\", line " + std::to_string(lineB));
}

}  // namespace

ChainReader::ChainReader(std::string dataRoot) : root_(std::move(dataRoot)) {
  if (!root_.empty() && root_.back() != '/') root_ += '/';
}

Chain ChainReader::read(DataStore& store, const std::string& listName) {
  Chain chain;
  chain.name = trimmed(listName);
  const ProteinPaths paths = proteinPaths(root_, chain.name);
  chain.labelled = exists(paths.dssp);

  RecordReader dssp = chain.labelled ? RecordReader::open(paths.dssp) : RecordReader(paths.dssp, "");
  RecordReader profile = openWithHeader(paths.profile, "profile file", 3);
  RecordReader prediction = openWithHeader(paths.prediction, "prediction file", 1);

  // The records of the three files, read into holders as the trainer reads them.
  char aa1 = ' ', aa2 = ' ', aa3 = ' ', ssc = ' ';
  std::array<double, 28> tprot{};
  int index = 0;
  std::vector<Item> dsspItems{Item::skip(), Item::letter(aa1), Item::skip(), Item::letter(ssc)};
  std::vector<Item> profileItems{Item::skip(), Item::letter(aa2)};
  for (int k = 0; k < 20; ++k) profileItems.push_back(Item::real(tprot[k]));
  std::vector<Item> predictionItems{Item::integer(index), Item::letter(aa3), Item::skip()};
  for (int k = 20; k < 28; ++k) predictionItems.push_back(Item::real(tprot[k]));

  const int before = store.nta;
  for (int j = 1;; ++j) {
    long dsspLine = 0;
    if (chain.labelled) {
      ReadResult r = dssp.read(dsspItems.data(), dsspItems.size());
      if (!r.ok()) {
        if (r.status == ReadResult::kBadValue) warnEarlyEnd(chain, dssp, r, j);
        break;
      }
      dsspLine = r.line;
    }
    ReadResult rp{}, rq{};
    if (chain.labelled) {
      rp = profile.read(profileItems.data(), profileItems.size());
      if (!rp.ok()) {
        warnEarlyEnd(chain, profile, rp, j);
        break;
      }
      rq = prediction.read(predictionItems.data(), predictionItems.size());
      if (!rq.ok()) {
        warnEarlyEnd(chain, prediction, rq, j);
        break;
      }
    } else {
      // Without labels the prediction file leads: its end is the chain's end, and the profile
      // file's footer is never read.
      rq = prediction.read(predictionItems.data(), predictionItems.size());
      if (!rq.ok()) {
        if (rq.status == ReadResult::kBadValue) warnEarlyEnd(chain, prediction, rq, j);
        break;
      }
      rp = profile.read(profileItems.data(), profileItems.size());
      if (!rp.ok()) {
        warnEarlyEnd(chain, profile, rp, j);
        break;
      }
      aa1 = aa2;
      ssc = 'C';
    }
    if (aa1 != aa2) letterMismatch(dssp, dsspLine, aa1, profile, rp.line, aa2, j);
    if (aa2 != aa3) letterMismatch(profile, rp.line, aa2, prediction, rq.line, aa3, j);
    store.addResidue();
    if (!encoder_.encode(store, store.nta, aa1, ssc, tprot.data(), tprot[20], tprot[21], tprot[27]))
      throw InputError("file \"" + dssp.name() + "\", line " + std::to_string(dsspLine) + ": structure letter " +
                       std::string(1, ssc) + " of residue " + std::to_string(j) + "; allowed: H, E, C");
    chain.residues += aa1;
    if (chain.labelled) chain.observed += ssc;
  }

  const int n = store.nta - before;
  chain.length = n;
  chain.first = n > 0 ? before + 1 : 0;
  for (int k = 1; k <= n; ++k) {
    const int r = before + k;
    store.winlo[r - 1] = std::max(kWinCentre - k + 1, 1);
    store.winhi[r - 1] = std::min(kWinCentre + n - k, kWindow);
    store.outlo[r - 1] = 1;
    store.outhi[r - 1] = 1;
  }
  return chain;
}

}  // namespace kelvor::predict
