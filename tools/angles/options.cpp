#include "tools/angles/options.h"

#include "dataset/setio.h"
#include "ground/command_line.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/version.h"

namespace kelvor::angles {

std::string versionText() { return std::string("kelvor-angles ") + kelvorVersion() + "\n"; }

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
         "the per-protein files under the data root " +
         defaultDataRoot() +
         " (dssp_data/, new_prf/, kvqout/).\n"
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
         "    -d, --data-root DIR  directory holding new_prf/ (default: " +
         defaultDataRoot() +
         ")\n"
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
  CommandLine c(argc, argv);
  while (c.next()) {
    const std::string& arg = c.arg();
    if (c.is("-h", "--help"))
      help = c.flag();
    else if (c.is("--version"))
      version = c.flag();
    else if (c.is("--predict"))
      predict = c.flag();
    else if (c.is("--resume"))
      resume = c.flag();
    else if (c.is("--out-of-fold")) {
      const std::string k = c.value();
      int folds = 0;
      if (!parseInteger(k, folds) || folds < 2)
        throw UsageError("option --out-of-fold needs a number of folds K of 2 or more, not \"" + k + "\"");
      o.folds = folds;
      outOfFold = true;
    } else if (c.is("-w", "--weights"))
      o.weightDirs.push_back(c.value()), predictOnly = true;
    else if (c.is("-l", "--list"))
      o.list = c.value(), predictOnly = true;
    else if (c.is("-d", "--data-root"))
      o.dataRoot = c.value(), predictOnly = true;
    else if (c.is("-o", "--output"))
      o.outputDir = c.value();
    else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.')
      throw UsageError("unknown option " + arg);
    else if (o.seedArgument == nullptr)
      o.seedArgument = c.given();
    else
      throw UsageError("unexpected argument \"" + arg + "\"");
  }
  if (help) return o.mode = Mode::kHelp, o;
  if (version) return o.mode = Mode::kVersion, o;
  if (predict + outOfFold + resume > 1) throw UsageError("--predict, --out-of-fold and --resume exclude each other");
  if (predictOnly && !predict) throw UsageError("options -w, -l and -d belong to --predict");
  if (predict && o.seedArgument)
    throw UsageError("--predict takes no seed offset (\"" + std::string(o.seedArgument) + "\")");
  if (resume && (o.seedArgument || !o.outputDir.empty())) throw UsageError("--resume takes no other argument");
  if (!predict && !outOfFold && !o.outputDir.empty())
    throw UsageError("option -o belongs to --predict and --out-of-fold");
  if (predict)
    o.mode = Mode::kPredict;
  else if (outOfFold)
    o.mode = Mode::kOutOfFold;
  else if (resume)
    o.mode = Mode::kResume;
  if (o.outputDir.empty()) o.outputDir = outOfFold ? "out-of-fold" : "angles";
  for (const std::string* s : {&o.list, &o.outputDir})
    if (s->empty()) throw UsageError("an empty file or directory name was given");
  return o;
}

}  // namespace kelvor::angles
