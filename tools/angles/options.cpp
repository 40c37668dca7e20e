#include "tools/angles/options.h"

#include "dataset/setio.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"

#ifndef KELVOR_VERSION
#define KELVOR_VERSION "0"
#endif

namespace kelvor::angles {

std::string versionText() { return std::string("kelvor-angles ") + KELVOR_VERSION + "\n"; }

std::string usageText() {
  return "Usage: kelvor-angles [SEED]\n"
         "       kelvor-angles --resume\n"
         "       kelvor-angles --out-of-fold K [-o DIR] [SEED]\n"
         "       kelvor-angles --predict [-w DIR]... [-l LIST] [-d ROOT] [-o OUT]\n"
         "Learns each residue's accessible surface area and its two backbone angles (the 1st, 2nd\n"
         "and 8th numbers of a prediction file kvqout/N.kvqout) from the profile window around it,\n"
         "and writes them as prediction files for chains whose structure is unknown.\n"
         "\n"
         "The network is kelvor's first stage (a window of 21 residues, two hidden layers of 101,\n"
         "the same kernels); its inputs hold 0 where kelvor reads the area and the angles, and its\n"
         "three outputs learn the area and the two angles in kelvor's encoding. An angle written as\n"
         "0.0 (undefined: chain ends and breaks) teaches its output nothing at that residue.\n"
         "\n"
         "Training (no option; SEED is the seed offset, as kelvor's, default 7) runs in a directory\n"
         "holding kelvor.in, read as kelvor reads it (the same ten settings, folds and parts), and\n"
         "the per-protein files under the data root " + defaultDataRoot() + " (dssp_data/, new_prf/, kvqout/).\n"
         "It trains on the training part only (the validation part picks the epoch kept, the test\n"
         "part is never trained), stops early after 100 epochs without a smaller validation error,\n"
         "and writes in the working directory:\n"
         "  angles.77, angles.78, angles.79  the kept weights, in kelvor's weight-file format\n"
         "  angles.valdav   epoch lines (epoch; training, validation, test error), then the\n"
         "                  closing lines; an error is the mean of the three outputs' mean\n"
         "                  absolute errors in encoded units (undefined angles left out)\n"
         "  angles.checkpoint  where training stands, for --resume (removed at the end)\n"
         "  angles.lock     held while the run works (one angle run per directory)\n"
         "kelvor's own files there are neither read nor written. With an epoch limit of 0 or\n"
         "below, the weights are read from angles.77..79 instead. Standard output gets the\n"
         "\"random seed = \" line, an early-stop line, and the closing lines, which give the test\n"
         "part's errors beside those of a per-letter mean taken over the training part:\n"
         "  angles test part: first angle MAE <degrees> degrees; per-letter mean <degrees> degrees\n"
         "  angles test part: second angle MAE ...      (circular differences)\n"
         "  angles test part: area MAE <A^2> square angstrom; per-letter mean <A^2> square angstrom\n"
         "  angles test part: area correlation <r>; per-letter mean <r>  (Pearson, encoded units)\n"
         "\n"
         "  --resume           go on with the training that angles.checkpoint describes, as if\n"
         "                     it had never stopped (checkpoints: at the end of an epoch, at most\n"
         "                     every KELVOR_CHECKPOINT_SECONDS seconds, default 60; the training\n"
         "                     runs of --out-of-fold keep none)\n"
         "  --out-of-fold K    train K models, fold k (1..K) with test fraction 1/K and fold\n"
         "                     number k, each in DIR/fold-k (its kelvor.in with the fold and the\n"
         "                     fraction written in, angles.77..79, angles.valdav); then write\n"
         "                     DIR/kvqout/N.kvqout for every chain of the list, each predicted from\n"
         "                     its profile by the model(s) whose test part holds it, or, for a\n"
         "                     chain in no test block, whose validation part holds it (said on\n"
         "                     standard error); never by a model trained on it. A K that leaves a\n"
         "                     chain in neither is refused. DIR/folds.tsv says which models\n"
         "                     predicted each chain; chains past the requested count are\n"
         "                     in no fold's data set and predicted by all folds. Standard\n"
         "                     output ends with the closing lines' figures as mean +- sd over\n"
         "                     the folds (\"angles out-of-fold, mean +- sd ...\").\n"
         "                     (default DIR: out-of-fold)\n"
         "  --predict          write OUT/kvqout/N.kvqout for every chain N of the list from\n"
         "                     ROOT/new_prf/N.mat alone (dssp_data/ and kvqout/ are never opened)\n"
         "    -w, --weights DIR  a weight set: angles.77..79 and the kelvor.in giving gain and dcay;\n"
         "                     repeat it to average several sets output by output\n"
         "                     (default: the working directory)\n"
         "    -l, --list FILE  protein list, one chain name per line (default: proteins.list)\n"
         "    -d, --data-root DIR  directory holding new_prf/ (default: " + defaultDataRoot() + ")\n"
         "    -o, --output DIR   (default: angles)\n"
         "  -h, --help         show this text and exit\n"
         "      --version      show the version and exit\n"
         "\n"
         "A written prediction file has a header line, then per residue: index, residue letter,\n"
         "\"-\" (class unknown), first angle, second angle, five unused 0s, area (square angstrom).\n"
         "The first residue's first angle and the last residue's second angle are written 0.0\n"
         "(undefined), as in the files the network learned from.\n"
         "\n"
         "Environment: KELVOR_KERNEL, KELVOR_THREADS, KELVOR_TIME and KELVOR_CHECKPOINT_SECONDS, as\n"
         "kelvor reads them.\n"
         "Exit status: 0 done, 1 bad command line or configuration, 2 a file could not be read or\n"
         "written, 3 inconsistent input data or training that diverged, 4 another angle run holds\n"
         "the directory, 5 out of memory.\n";
}

Options parseOptions(int argc, const char* const* argv) {
  Options o;
  bool predict = false, outOfFold = false, resume = false, help = false, version = false;
  bool predictOnly = false;  // -w, -l, -d given
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
      if (i + 1 >= argc) throw ConfigError("option " + arg + " needs a value");
      return argv[++i];
    };
    auto noValue = [&] {
      if (hasValue) throw ConfigError("option " + arg + " takes no value");
    };
    if (arg == "-h" || arg == "--help") noValue(), help = true;
    else if (arg == "--version") noValue(), version = true;
    else if (arg == "--predict") noValue(), predict = true;
    else if (arg == "--resume") noValue(), resume = true;
    else if (arg == "--out-of-fold") {
      const std::string k = take();
      int folds = 0;
      if (!parseInteger(k, folds) || folds < 2)
        throw ConfigError("option --out-of-fold needs a number of folds K of 2 or more, not \"" + k + "\"");
      o.folds = folds;
      outOfFold = true;
    } else if (arg == "-w" || arg == "--weights") o.weightDirs.push_back(take()), predictOnly = true;
    else if (arg == "-l" || arg == "--list") o.list = take(), predictOnly = true;
    else if (arg == "-d" || arg == "--data-root") o.dataRoot = take(), predictOnly = true;
    else if (arg == "-o" || arg == "--output") o.outputDir = take();
    else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.')
      throw ConfigError("unknown option " + arg);
    else if (o.seedArgument == nullptr) o.seedArgument = argv[i];
    else throw ConfigError("unexpected argument \"" + arg + "\"");
  }
  if (help) return o.mode = Mode::kHelp, o;
  if (version) return o.mode = Mode::kVersion, o;
  if (predict + outOfFold + resume > 1) throw ConfigError("--predict, --out-of-fold and --resume exclude each other");
  if (predictOnly && !predict) throw ConfigError("options -w, -l and -d belong to --predict");
  if (predict && o.seedArgument) throw ConfigError("--predict takes no seed offset (\"" + std::string(o.seedArgument) + "\")");
  if (resume && (o.seedArgument || !o.outputDir.empty())) throw ConfigError("--resume takes no other argument");
  if (!predict && !outOfFold && !o.outputDir.empty()) throw ConfigError("option -o belongs to --predict and --out-of-fold");
  if (predict) o.mode = Mode::kPredict;
  else if (outOfFold) o.mode = Mode::kOutOfFold;
  else if (resume) o.mode = Mode::kResume;
  if (o.outputDir.empty()) o.outputDir = outOfFold ? "out-of-fold" : "angles";
  for (const std::string* s : {&o.list, &o.outputDir})
    if (s->empty()) throw ConfigError("an empty file or directory name was given");
  return o;
}

}  // namespace kelvor::angles
