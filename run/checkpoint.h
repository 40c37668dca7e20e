// The checkpoint of a training run, "kelvor.checkpoint" in the working directory: everything a
// run needs to go on after the end of an epoch as if it had never stopped.
//
// File layout (all integers little-endian, every real the 8 bytes of its IEEE double):
//   "KELVORCP"  u32 version  u64 payload length  payload  u64 checksum of the payload
// The checksum is a 64-bit FNV-1a over the payload; a file whose magic, version, length or
// checksum does not match, or whose payload does not read to its exact end, is damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/defaults.h"
#include "network/clock.h"
#include "network/state.h"
#include "run/text/errors.h"
#include "run/schedule.h"

namespace kelvor {

inline constexpr const char* kCheckpointName = "kelvor.checkpoint";

// A resume that cannot go on: no checkpoint, a damaged one, or a working directory that no
// longer matches it. Nothing has been changed when it is thrown.
class ResumeRefusal : public ConfigError {
 public:
  explicit ResumeRefusal(const std::string& what) : ConfigError(what) {}
};

struct Checkpoint {
  // The run as it started.
  int seedOffset = 7;
  TimeOfDay time{};
  int generator = 0;                 // the random generator's state after the weights were drawn
  Settings settings;                 // "kelvor.in" as read
  std::uint64_t proteinsHash = 0;    // the selected proteins in order, and the list's length
  std::uint64_t dataHash = 0;        // the encoded data set
  // Where it stands.
  Stage stage = Stage::kFirst;
  PhaseState phase;
  std::vector<std::string> stdoutLines;  // every line written to standard output so far
  long long reportLength = 0;
  std::uint64_t reportHash = 0;      // of the report's first reportLength bytes
  // Both networks' weights and previous changes, as they stand.
  std::vector<double> wei1, wei2, owei1, owei2, pwei, fwei1, fwei2, ofwei1, ofwei2;
};

// 64-bit FNV-1a, continued from `hash` (the offset basis starts a new one).
constexpr std::uint64_t kFnvBasis = 14695981039346656037ULL;
std::uint64_t fnv1a(const void* data, std::size_t size, std::uint64_t hash = kFnvBasis);

// Copies the weights and previous changes between a Network and a checkpoint.
void takeNetwork(Checkpoint& cp, const Network& net);
void giveNetwork(const Checkpoint& cp, Network& net);

std::string encodeCheckpoint(const Checkpoint& cp);
// Throws ResumeRefusal naming `path` when the bytes are damaged.
Checkpoint decodeCheckpoint(const std::string& bytes, const std::string& path);

// Replaces the checkpoint as a whole (temporary, sync, rename).
void writeCheckpoint(const Checkpoint& cp);
// The current checkpoint; ResumeRefusal when there is none or it is damaged.
Checkpoint readCheckpoint();
// Removes the checkpoint and any replacement of it that was under way.
void removeCheckpoint();

}  // namespace kelvor
