// The checkpoint of a training run ("kelvor.checkpoint" for kelvor): everything a run needs to go
// on after the end of an epoch as if it had never stopped, and what its weight files held.
//
// File layout (all integers little-endian, every real the 8 bytes of its IEEE double):
//   "KELVORCP"  u32 version  u64 payload length  payload  u64 checksum of the payload
// The checksum is a 64-bit FNV-1a over the payload; a file whose magic, version, length or
// checksum does not match, whose payload does not read to its exact end, or one of whose fields
// lies outside its range, is damaged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/defaults.h"
#include "network/time_of_day.h"
#include "network/state.h"
#include "run/run_files.h"
#include "ground/checksum.h"
#include "ground/errors.h"
#include "run/schedule.h"

namespace kelvor {

inline constexpr const char* kCheckpointName = "kelvor.checkpoint";

// A resume that cannot go on: no checkpoint, a damaged one, or a working directory that no
// longer matches it. Nothing has been changed when it is thrown.
class ResumeRefusal : public ConfigError {
 public:
  explicit ResumeRefusal(const std::string& what) : ConfigError(what) {}
};

// What a file held: absent, or present with the hash of its bytes.
struct FileState {
  bool present = false;
  std::uint64_t hash = 0;
  bool operator==(const FileState&) const = default;
};

// A weight file as the checkpoint left it (`now`), and as the save that follows the checkpoint
// in the same epoch leaves it (`after`; the same as `now` when no save follows).
struct WeightFileRecord {
  std::string name;
  FileState now, after;
};

struct Checkpoint {
  // The run as it started.
  int seedOffset = 7;
  TimeOfDay time{};
  int generator = 0;               // the random generator's state after the weights were drawn
  Settings settings;               // the defaults file as read
  std::uint64_t proteinsHash = 0;  // the selected proteins in order, and the list's length
  std::uint64_t dataHash = 0;      // the encoded data set
  // Where it stands.
  Stage stage = Stage::kFirst;
  PhaseState phase;
  std::vector<std::string> stdoutLines;  // every line written to standard output so far
  long long reportLength = 0;
  std::uint64_t reportHash = 0;  // of the report's first reportLength bytes
  // Both networks' weights and previous changes, as they stand (the arrays of weight_arrays.h).
  Network net;
  // Every weight file of both phases, first stage then filter, in the run's order.
  std::vector<WeightFileRecord> weightFiles;
};

// What the file at `path` holds now: absent, or the hash of its bytes. Only a regular file is
// read (limited as every input is); anything else is a FileError naming it.
FileState fileState(const std::string& path);

// Copies the weights and previous changes between a Network and a checkpoint.
void takeNetwork(Checkpoint& cp, const Network& net);
void giveNetwork(const Checkpoint& cp, Network& net);

std::string encodeCheckpoint(const Checkpoint& cp);
// Throws ResumeRefusal naming `path` when the bytes are damaged or a field is out of its range.
Checkpoint decodeCheckpoint(const std::string& bytes, const std::string& path);

// Replaces the checkpoint as a whole (temporary, sync, rename).
void writeCheckpoint(const Checkpoint& cp, const std::string& name = kCheckpointName);
// The current checkpoint; ResumeRefusal naming it when there is none, when it is not a regular
// file (a directory, a FIFO or a device is refused at once, never waited for or read without
// end), when it is larger than any input may be, or when it is damaged.
Checkpoint readCheckpoint(const std::string& name = kCheckpointName);
// Removes the checkpoint and any replacement of it that was under way.
void removeCheckpoint(const std::string& name = kCheckpointName);

}  // namespace kelvor
