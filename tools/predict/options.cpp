#include "tools/predict/options.h"

#include <cmath>

#include "dataset/setio.h"
#include "ground/freeform_reader.h"
#include "tools/predict/errors.h"

namespace kelvor::predict {
namespace {

double realValue(const std::string& option, const std::string& text) {
  double v = 0.0;
  if (!parseReal(text, v) || !std::isfinite(v))
    throw UsageError("option " + option + " needs a number, not \"" + text + "\"");
  return v;
}

}  // namespace

std::string usageText() {
  return "Usage: kelvor-predict [options]\n"
         "Predicts the secondary structure (E strand, C coil, H helix) of every chain of a protein\n"
         "list with one or more weight sets trained by kelvor, and scores the predictions of the\n"
         "chains that have a DSSP-data file.\n"
         "\n"
         "Options:\n"
         "  -w, --weights DIR    a weight set: a kelvor run directory holding fort.77, fort.78,\n"
         "                       fort.79, fort.87, fort.88 and the kelvor.in it was trained with;\n"
         "                       repeat it to average several sets output by output\n"
         "                       (default: the working directory)\n"
         "  -l, --list FILE      protein list, one chain name per line (default: proteins.list)\n"
         "  -d, --data-root DIR  directory holding dssp_data/, new_prf/ and kvqout/\n"
         "                       (default: " + defaultDataRoot() + ", the data root kelvor was built with)\n"
         "  -o, --output DIR     directory for the <chain>.vertical and <chain>.horizontal files and\n"
         "                       the score report; created when missing (default: predictions)\n"
         "      --scores         also write scores.txt and scores.json into the output directory\n"
         "                       (chains without a DSSP-data file are predicted, not scored)\n"
         "                       (default: off)\n"
         "      --gain X         transfer gain for every weight set instead of its kelvor.in's\n"
         "                       (default: from kelvor.in)\n"
         "      --dcay X         attenuation scale for every weight set instead of its kelvor.in's\n"
         "                       (default: from kelvor.in)\n"
         "  -h, --help           show this text and exit\n"
         "      --version        show the version and exit\n"
         "\n"
         "Exit status: 0 done, 1 bad command line, 2 a file could not be read or written,\n"
         "3 inconsistent input data, 4 a kelvor run holds a weight set's directory, 5 out of memory.\n";
}

Options parseOptions(int argc, const char* const* argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0) {
      const std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasValue = true;
      }
    }
    auto take = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= argc) throw UsageError("option " + arg + " needs a value");
      return argv[++i];
    };
    auto noValue = [&] {
      if (hasValue) throw UsageError("option " + arg + " takes no value");
    };
    if (arg == "-h" || arg == "--help") noValue(), o.help = true;
    else if (arg == "--version") noValue(), o.version = true;
    else if (arg == "--scores") noValue(), o.scores = true;
    else if (arg == "-w" || arg == "--weights") o.weightDirs.push_back(take());
    else if (arg == "-l" || arg == "--list") o.list = take();
    else if (arg == "-d" || arg == "--data-root") o.dataRoot = take();
    else if (arg == "-o" || arg == "--output") o.outputDir = take();
    else if (arg == "--gain") o.settings.gain = realValue(arg, take());
    else if (arg == "--dcay") o.settings.dcay = realValue(arg, take());
    else if (!arg.empty() && arg[0] == '-') throw UsageError("unknown option " + arg);
    else throw UsageError("unexpected argument \"" + arg + "\"");
  }
  for (const std::string* s : {&o.list, &o.outputDir})
    if (s->empty()) throw UsageError("an empty file or directory name was given");
  return o;
}

}  // namespace kelvor::predict
