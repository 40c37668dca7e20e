#include "run/weight_records.h"

#include "ground/output.h"
#include "weightio/weight_files.h"

namespace kelvor {
namespace {

const std::vector<std::string>& namesOf(const RunFiles& files, Stage stage) {
  return stage == Stage::kFirst ? files.firstStage : files.filter;
}

const char* setName(Stage stage) { return stage == Stage::kFirst ? "first-stage" : "filter"; }

FileState stateOf(const std::string& name, const std::string& first) { return fileState(currentPath(name, first)); }

}  // namespace

std::vector<std::pair<std::string, std::string>> weightSetContents(const RunFiles& files, Stage stage,
                                                                   const Network& net) {
  std::vector<std::string> contents;
  if (stage == Stage::kFirst)
    contents = {formatFirstStage77(net), formatFirstStage78(net), formatFirstStage79(net)};
  else
    contents = {formatFilter87(net), formatFilter88(net)};
  const std::vector<std::string>& names = namesOf(files, stage);
  std::vector<std::pair<std::string, std::string>> set;
  for (std::size_t i = 0; i < names.size() && i < contents.size(); ++i)
    set.emplace_back(names[i], std::move(contents[i]));
  return set;
}

std::vector<WeightFileRecord> weightFileRecords(const RunFiles& files, std::optional<Stage> saving,
                                                const Network& net) {
  std::vector<WeightFileRecord> records;
  for (Stage stage : {Stage::kFirst, Stage::kFilter}) {
    const std::vector<std::string>& names = namesOf(files, stage);
    std::vector<std::pair<std::string, std::string>> pending;
    if (saving == stage) pending = weightSetContents(files, stage, net);
    for (std::size_t i = 0; i < names.size(); ++i) {
      WeightFileRecord r;
      r.name = names[i];
      r.now = stateOf(names[i], names.front());
      r.after = r.now;
      if (i < pending.size()) r.after = {true, fnv1a(pending[i].second.data(), pending[i].second.size())};
      records.push_back(std::move(r));
    }
  }
  return records;
}

WeightFilesFound checkWeightFiles(const RunFiles& files, const std::vector<WeightFileRecord>& recorded) {
  WeightFilesFound found;
  std::size_t at = 0;
  for (Stage stage : {Stage::kFirst, Stage::kFilter}) {
    const std::vector<std::string>& names = namesOf(files, stage);
    bool allNow = true, allAfter = true;
    for (std::size_t i = 0; i < names.size(); ++i, ++at) {
      const std::string file = std::string("the ") + setName(stage) + " weight file \"" + names[i] + "\"";
      if (at >= recorded.size() || recorded[at].name != names[i]) {
        found.refusal = "the checkpoint does not record " + file;
        return found;
      }
      FileState now;
      try {
        now = stateOf(names[i], names.front());
      } catch (const FileError& e) {
        found.refusal = file + " cannot be read (" + e.reason() + ")";
        return found;
      }
      const WeightFileRecord& r = recorded[at];
      allNow = allNow && now == r.now;
      allAfter = allAfter && now == r.after;
      if (!allNow && !allAfter) {
        const bool removed = !now.present && (r.now.present || r.after.present);
        found.refusal = file + (removed ? " was removed" : " was changed") + " since the checkpoint was taken";
        return found;
      }
    }
    if (!allAfter) found.unfinishedSaves.push_back(stage);
  }
  if (at != recorded.size()) found.refusal = "the checkpoint records weight files that this run does not write";
  return found;
}

}  // namespace kelvor
