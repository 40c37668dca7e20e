// kelvor-synth: writes a synthetic data set of realistic shape that kelvor reads.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "ground/errors.h"
#include "tools/synth/synth_room.h"
#include "tools/synth/synth_set.h"

#ifndef KELVOR_VERSION
#define KELVOR_VERSION "unknown"
#endif

namespace {

const char* const kUsage =
    "Usage: kelvor-synth [options] DIR\n"
    "Writes DIR/dssp_data/, DIR/new_prf/*.mat, DIR/kvqout/*.kvqout and DIR/proteins.list.\n"
    "\n"
    "Options:\n"
    "  --seed N       generator seed (default 1); the same options give the same files\n"
    "  --chains N     number of chains (default: one per 200 residues)\n"
    "  --residues N   residues in all, spread over the chains (default: as drawn, ~190 a chain)\n"
    "  --epochs N     also write DIR/kelvor.in with this epoch limit and every chain selected\n"
    "  --overwrite    write over a data set already in DIR (its protein list, kelvor.in or\n"
    "                 per-protein files); without it such a DIR is refused and left as it is.\n"
    "                 Files of the earlier set that the new list does not name stay.\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "A set needing more memory than kelvor-synth may use is refused before anything is written.\n"
    "\n"
    "Exit status: 0 done, 1 bad command line, 2 a file could not be written,\n"
    "5 the set would not fit in memory.\n";

long number(const std::string& option, const char* text) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 2147483647)
    throw kelvor::ConfigError(option + " takes a whole number from 0 to 2147483647, not \"" + text + "\"");
  return static_cast<long>(v);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvor;
  try {
    synth::SetOptions o;
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--help" || a == "-h") {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
      }
      if (a == "--version") {
        std::fputs("kelvor-synth " KELVOR_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
      }
      if (a == "--overwrite") {
        o.overwrite = true;
        continue;
      }
      if (a == "--seed" || a == "--chains" || a == "--residues" || a == "--epochs") {
        if (i + 1 >= argc) throw ConfigError(a + " needs a value");
        const long v = number(a, argv[++i]);
        if (a == "--seed") o.seed = static_cast<std::uint64_t>(v);
        else if (a == "--chains") o.chains = v;
        else if (a == "--residues") o.residues = v;
        else o.epochs = static_cast<int>(v);
      } else if (!a.empty() && a[0] == '-') {
        throw ConfigError("unknown option " + a);
      } else if (o.dir.empty()) {
        o.dir = a;
      } else {
        throw ConfigError("one directory only (" + o.dir + ", " + a + ")");
      }
    }
    if (o.dir.empty()) throw ConfigError("no directory given");
    const synth::SetSummary s = synth::writeSet(o);
    std::printf("%ld chains, %ld residues (%d to %d a chain) in %s\n", s.chains, s.residues, s.shortest, s.longest,
                o.dir.c_str());
    return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
  } catch (const synth::TooLarge& e) {
    std::fprintf(stderr, "kelvor-synth: %s\n", e.what());
    return kExitMemory;
  } catch (const ConfigError& e) {
    std::fprintf(stderr, "kelvor-synth: %s\n%s", e.what(), kUsage);
    return kExitUsage;
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "kelvor-synth: %s\n", e.what());
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kelvor-synth: %s\n", e.what());
    return kExitFile;
  }
}
