#include "tools/prep/options.h"

#include "dataset/setio.h"
#include "ground/command_line.h"
#include "ground/errors.h"
#include "ground/version.h"

namespace kelvor::prep {

std::string toolVersion() { return kelvorVersion(); }

std::string usageText() {
  return "Usage: kelvor-prep [options] CHAINS\n"
         "       kelvor-prep --fasta DIR CHAINS\n"
         "       kelvor-prep --check [options]\n"
         "Makes the three per-protein files kelvor reads (dssp_data/NAME, new_prf/NAME.mat,\n"
         "kvqout/NAME.kvqout) and the protein list from mkdssp's classic DSSP output\n"
         "(mkdssp --output-format dssp) and PSI-BLAST ASCII matrices (psiblast -out_ascii_pssm).\n"
         "\n"
         "CHAINS lists one chain per line: NAME DSSP-FILE CHAIN PSSM-FILE [ANGLE-TABLE]\n"
         "  NAME         the chain's name in the data set and in the protein list\n"
         "  DSSP-FILE    - for a chain of unknown structure: its residues are the PSSM's rows, and\n"
         "               it gets no dssp_data file and, without ANGLE-TABLE, no kvqout file (make\n"
         "               that with kelvor-angles --predict; kelvor-predict then predicts the chain)\n"
         "  CHAIN        the chain identifier in the DSSP file, or - for a file of one chain (and\n"
         "               for a chain without a DSSP file)\n"
         "  ANGLE-TABLE  predicted values, one line per residue: letter, first angle, second angle,\n"
         "               accessible surface area; without it DSSP's observed phi, psi and\n"
         "               accessibility are written\n"
         "Relative file names are taken from CHAINS' directory; '#' starts a comment line.\n"
         "Chain breaks are left out, bridged cysteines (lower-case letters) are written as C and\n"
         "residues other than the 20 standard ones, B and Z as X. The DSSP residues, the PSSM rows\n"
         "and the table lines must agree residue by residue; every disagreement is reported and\n"
         "nothing is written unless every chain converts cleanly.\n"
         "\n"
         "Options:\n"
         "  -d, --data-root DIR   data root to write (or, with --check, to check): DIR/dssp_data/,\n"
         "                        DIR/new_prf/, DIR/kvqout/\n"
         "                        (default: " +
         defaultDataRoot() +
         ", the data root kelvor was built with)\n"
         "  -l, --list FILE       protein list to write (or check)\n"
         "                        (default: proteins.list in the data root)\n"
         "  -r, --reduction R     8-to-3 state reduction: hgi maps H, G, I to H, E, B to E and the\n"
         "                        rest (T, S, P, none) to C; h maps H to H, E, B to E and the rest\n"
         "                        (G and I too) to C (default: hgi)\n"
         "      --skip-bad        write the chains that convert cleanly and leave the others out\n"
         "                        of the list (default: off, nothing is written when one fails)\n"
         "      --fasta DIR       write each chain's sequence as DIR/NAME.fasta, as the data set\n"
         "                        will hold it, to make its PSSM from; needs no PSSM-FILE\n"
         "                        (default: off)\n"
         "      --check           check an existing data root and protein list the way kelvor\n"
         "                        reads them and list every problem (default: off)\n"
         "  -h, --help            show this text and exit\n"
         "      --version         show the version and exit\n"
         "\n"
         "Exit status: 0 done (or no problem found), 1 bad command line, 2 a file could not be\n"
         "read or written, 3 input data that disagree or that kelvor could not use.\n";
}

Options parseOptions(int argc, const char* const* argv) {
  Options o;
  std::string reduction = "hgi";
  bool rootGiven = false, listGiven = false;
  std::vector<std::string> positional;
  CommandLine c(argc, argv);
  while (c.next()) {
    const std::string& arg = c.arg();
    if (c.is("-h", "--help"))
      o.help = c.flag();
    else if (c.is("--version"))
      o.version = c.flag();
    else if (c.is("--check"))
      c.flag(), o.mode = Options::kCheck;
    else if (c.is("--skip-bad"))
      o.skipBad = c.flag();
    else if (c.is("--fasta"))
      o.fastaDir = c.value(), o.mode = Options::kFasta;
    else if (c.is("-d", "--data-root"))
      o.dataRoot = c.value(), rootGiven = true;
    else if (c.is("-l", "--list"))
      o.list = c.value(), listGiven = true;
    else if (c.is("-r", "--reduction"))
      reduction = c.value();
    else if (c.is("--")) {
      for (std::string& a : c.rest()) positional.push_back(std::move(a));
    } else if (arg.size() > 1 && arg[0] == '-')
      throw UsageError("unknown option " + arg);
    else
      positional.push_back(arg);
  }
  if (o.help || o.version) return o;
  if (!o.fastaDir.empty() && o.mode == Options::kCheck) throw UsageError("--fasta and --check do not go together");
  if (auto r = reductionByName(reduction))
    o.reduction = *r;
  else
    throw UsageError("option --reduction takes hgi or h, not \"" + reduction + "\"");
  if (o.mode == Options::kCheck) {
    if (!positional.empty()) throw UsageError("--check takes no CHAINS file (\"" + positional.front() + "\" given)");
  } else {
    if (positional.empty()) throw UsageError("no CHAINS file given");
    if (positional.size() > 1) throw UsageError("one CHAINS file only (\"" + positional[1] + "\" is one more)");
    o.chains = positional.front();
  }
  if (rootGiven && o.dataRoot.empty()) throw UsageError("an empty data root was given");
  if (listGiven && o.list.empty()) throw UsageError("an empty protein list name was given");
  if (o.mode == Options::kFasta && o.fastaDir.empty()) throw UsageError("an empty --fasta directory was given");
  if (!rootGiven) o.dataRoot = defaultDataRoot();
  if (o.dataRoot.back() != '/') o.dataRoot += '/';
  if (o.list.empty()) o.list = o.dataRoot + "proteins.list";
  return o;
}

}  // namespace kelvor::prep
