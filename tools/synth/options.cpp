#include "tools/synth/options.h"

#include <cstdlib>

#include "ground/command_line.h"
#include "ground/errors.h"
#include "ground/version.h"

namespace kelvor::synth {
namespace {

long number(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || v < 0 || v > 2147483647)
    throw UsageError(option + " takes a whole number from 0 to 2147483647, not \"" + text + "\"");
  return static_cast<long>(v);
}

}  // namespace

std::string usageText() {
  return "Usage: kelvor-synth [options] DIR\n"
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
}

std::string versionText() { return std::string("kelvor-synth ") + kelvorVersion() + "\n"; }

Options parseOptions(int argc, const char* const* argv) {
  Options o;
  SetOptions& s = o.set;
  CommandLine c(argc, argv);
  while (c.next()) {
    const std::string& arg = c.arg();
    // The first of --help and --version answers at once, whatever follows it.
    if (c.is("-h", "--help")) return o.help = c.flag(), o;
    if (c.is("--version")) return o.version = c.flag(), o;
    if (c.is("--overwrite")) {
      s.overwrite = c.flag();
    } else if (c.is("--seed") || c.is("--chains") || c.is("--residues") || c.is("--epochs")) {
      if (!c.valueFollows()) throw UsageError(arg + " needs a value");
      const std::string name = arg;
      const long v = number(name, c.value());
      if (name == "--seed")
        s.seed = static_cast<std::uint64_t>(v);
      else if (name == "--chains")
        s.chains = v;
      else if (name == "--residues")
        s.residues = v;
      else
        s.epochs = static_cast<int>(v);
    } else if (!arg.empty() && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else if (s.dir.empty()) {
      s.dir = arg;
    } else {
      throw UsageError("one directory only (" + s.dir + ", " + arg + ")");
    }
  }
  if (s.dir.empty()) throw UsageError("no directory given");
  return o;
}

}  // namespace kelvor::synth
