#include "tools/predict/options.h"

#include <cmath>

#include "dataset/setio.h"
#include "ground/command_line.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"

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
         "                       (default: " +
         defaultDataRoot() +
         ", the data root kelvor was built with)\n"
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
  CommandLine c(argc, argv);
  while (c.next()) {
    const std::string& arg = c.arg();
    if (c.is("-h", "--help"))
      o.help = c.flag();
    else if (c.is("--version"))
      o.version = c.flag();
    else if (c.is("--scores"))
      o.scores = c.flag();
    else if (c.is("-w", "--weights"))
      o.weightDirs.push_back(c.value());
    else if (c.is("-l", "--list"))
      o.list = c.value();
    else if (c.is("-d", "--data-root"))
      o.dataRoot = c.value();
    else if (c.is("-o", "--output"))
      o.outputDir = c.value();
    else if (c.is("--gain"))
      o.settings.gain = realValue(arg, c.value());
    else if (c.is("--dcay"))
      o.settings.dcay = realValue(arg, c.value());
    else if (!arg.empty() && arg[0] == '-')
      throw UsageError("unknown option " + arg);
    else
      throw UsageError("unexpected argument \"" + arg + "\"");
  }
  for (const std::string* s : {&o.list, &o.outputDir})
    if (s->empty()) throw UsageError("an empty file or directory name was given");
  return o;
}

}  // namespace kelvor::predict
