#include "tools/prep/check.h"

#include <array>
#include <cmath>
#include <map>

#include "dataset/protein_records.h"
#include "dataset/setio.h"
#include "dataset/store.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/names.h"

namespace kelvor::prep {
namespace {

using Kind = RecordFile;

bool isBlankLine(const std::string& s) { return s.find_first_not_of(" \t\r\f\v") == std::string::npos; }

std::string quoted(char c) { return std::string("'") + c + "'"; }

// One record as kelvor's setio reads it.
struct Record {
  bool ok = true;
  long first = 0, last = 0;  // the lines it used
  char letter = ' ', ss = ' ';
  std::array<double, 20> values{};  // profile: 20 values; prediction: 8
  bool keepsOld = false;            // a '/' or an empty ',' field left fields with the previous record's values
  ReadResult failure;
};

// The letter a record of `kind` reads into.
char& letterOf(Kind kind, ResidueRecord& h) {
  return kind == Kind::kDssp ? h.aa1 : kind == Kind::kProfile ? h.aa2 : h.aa3;
}

// Reads lines first..last once more into holders that start out with marks no read can give: a
// mark left afterwards is a field the read did not fill (a '/' ended it, or a null value).
bool keepsOldValues(Kind kind, const std::string& path, const std::vector<std::string>& lines, long first, long last) {
  std::string text;
  for (long l = first; l <= last; ++l) text += lines[l - 1] + "\n";
  constexpr char kMark = '\x01';
  constexpr double kMarkValue = -1.25e300;
  ResidueRecord h;
  letterOf(kind, h) = h.ssc = kMark;
  h.tprot.fill(kMarkValue);
  const std::vector<Item> items = recordItems(kind, h);
  RecordReader reader(path, text);
  reader.read(items.data(), items.size());
  if (letterOf(kind, h) == kMark || (kind == Kind::kDssp && h.ssc == kMark)) return true;
  const int from = kind == Kind::kProfile ? 0 : 20, to = kind == Kind::kProfile ? 20 : 28;
  if (kind != Kind::kDssp)
    for (int k = from; k < to; ++k)
      if (h.tprot[k] == kMarkValue) return true;
  return false;
}

// What kelvor does with a record that does not read.
std::string failureText(Kind kind, const ReadResult& r) {
  if (r.status != ReadResult::kNotFinite) return r.describe() + "; kelvor ends the protein before it";
  const long item = static_cast<long>(r.item);
  const std::string which =
      kind == Kind::kProfile ? "profile value " + std::to_string(item - 2) : "number " + std::to_string(item - 3);
  return which + " is not a finite number; kelvor refuses the file";
}

struct Parsed {
  std::string path;
  std::vector<std::string> lines;
  std::vector<Record> records;
  bool cut = false;  // the last record was cut short by the end of the file
  long cutLine = 0;
};

// Reads every record after the header lines with setio's own item lists, holders that keep their
// values from record to record included. A record that does not read is kept as a failure and
// reading goes on at the next line, so that later faults are found too.
Parsed parse(Kind kind, const std::string& path, const std::string& text, int header) {
  Parsed p;
  p.path = path;
  p.lines = splitLines(text);
  RecordReader reader(path, text);
  for (int h = 0; h < header; ++h) reader.skipLineOrThrow("header line");

  ResidueRecord h;
  const std::vector<Item> items = recordItems(kind, h);
  for (;;) {
    long start = reader.nextLine();
    while (start <= static_cast<long>(p.lines.size()) && isBlankLine(p.lines[start - 1])) ++start;
    if (start > static_cast<long>(p.lines.size())) break;
    const ReadResult r = reader.read(items.data(), items.size());
    if (r.status == ReadResult::kEndOfFile) {
      p.cut = true;
      p.cutLine = start;
      break;
    }
    Record rec;
    rec.first = start;
    rec.last = r.line;
    if (!r.ok()) {
      rec.ok = false;
      rec.failure = r;
    } else {
      rec.letter = letterOf(kind, h);
      rec.ss = h.ssc;
      if (kind == Kind::kProfile) std::copy(h.tprot.begin(), h.tprot.begin() + 20, rec.values.begin());
      if (kind == Kind::kPrediction) std::copy(h.tprot.begin() + 20, h.tprot.end(), rec.values.begin());
      rec.keepsOld = keepsOldValues(kind, path, p.lines, start, r.line);
    }
    p.records.push_back(rec);
  }
  return p;
}

}  // namespace

Loader diskLoader() {
  return [](const std::string& path) { return loadText(path); };
}

ProteinCheck checkProtein(const std::string& name, const std::string& root, const Loader& load) {
  ProteinCheck out;
  const std::string shown(nameOf(name));
  const ProteinPaths paths = proteinPaths(root, name);
  auto error = [&](const std::string& file, long line, const std::string& text) {
    out.problems.push_back(Problem::error(file, line, "protein " + shown + ": " + text));
  };
  auto warning = [&](const std::string& file, long line, const std::string& text) {
    out.problems.push_back(Problem::warning(file, line, "protein " + shown + ": " + text));
  };

  // Each file, parsed when kelvor would get past its header lines.
  auto open = [&](const std::string& path, Kind kind, int header, const char* what) -> std::optional<Parsed> {
    std::optional<std::string> text;
    try {
      text = load(path);
    } catch (const FileError& e) {
      error(path, 0, std::string("the ") + what + " cannot be read (" + e.what() + "); kelvor stops on it");
      return std::nullopt;
    }
    if (!text) {
      error(path, 0,
            kind == Kind::kDssp
                ? std::string("the DSSP-data file is missing; kelvor reads it as empty and the protein has no residues")
                : std::string("the ") + what + " is missing; kelvor stops on it");
      return std::nullopt;
    }
    const long lines = static_cast<long>(splitLines(*text).size());
    if (lines < header) {
      error(path, 0,
            std::string("the ") + what + " has " + std::to_string(lines) + " line" + (lines == 1 ? "" : "s") +
                "; kelvor skips " + std::to_string(header) + " header line" + (header == 1 ? "" : "s") +
                " and stops on a shorter file");
      return std::nullopt;
    }
    return parse(kind, path, *text, header);
  };
  auto openKind = [&](const std::string& path, Kind kind) {
    return open(path, kind, headerLines(kind), recordFileName(kind));
  };
  const std::optional<Parsed> dssp = openKind(paths.dssp, Kind::kDssp);
  const std::optional<Parsed> prof = openKind(paths.profile, Kind::kProfile);
  const std::optional<Parsed> pred = openKind(paths.prediction, Kind::kPrediction);

  if (!dssp) return out;
  const std::size_t n = dssp->records.size();
  if (n == 0) error(paths.dssp, 0, "the DSSP-data file holds no residue; the protein adds nothing to the data set");
  if (dssp->cut)
    error(paths.dssp, dssp->cutLine,
          "a record with fewer than 4 fields at the end of the file; kelvor drops it without a word");

  // Residue counts and records that end the protein early.
  for (const std::optional<Parsed>* other : {&prof, &pred}) {
    if (!*other) continue;
    const Parsed& o = **other;
    const char* what = other == &prof ? "profile file" : "prediction file";
    for (std::size_t j = 0; j < std::min(n, o.records.size()); ++j)
      if (!o.records[j].ok)
        error(o.path, o.records[j].failure.line,
              "residue " + std::to_string(j + 1) + ": " +
                  failureText(other == &prof ? Kind::kProfile : Kind::kPrediction, o.records[j].failure));
    if (o.records.size() < n)
      error(o.path, o.cut ? o.cutLine : 0,
            std::string("the ") + what + " holds " + std::to_string(o.records.size()) + " residue record" +
                (o.records.size() == 1 ? "" : "s") + (o.cut ? " and a record cut short by the end of the file" : "") +
                ", the DSSP-data file " + std::to_string(n) + "; kelvor keeps at most " +
                std::to_string(o.records.size()) + " residues");
    std::size_t extra = 0;
    for (std::size_t j = n; j < o.records.size() && o.records[j].ok; ++j) ++extra;
    if (extra > 0 && n > 0)
      warning(o.path, o.records[n].first,
              std::to_string(extra) + " more residue record" + (extra == 1 ? "" : "s") + " than the DSSP-data file (" +
                  std::to_string(n) + "); kelvor never reads " + (extra == 1 ? "it" : "them"));
  }

  // Residue by residue, as far as the DSSP-data file goes.
  auto at = [&](const std::optional<Parsed>& f, std::size_t j) -> const Record* {
    return f && j < f->records.size() && f->records[j].ok ? &f->records[j] : nullptr;
  };
  bool stored = prof && pred;
  for (std::size_t j = 0; j < n; ++j) {
    const std::string res = "residue " + std::to_string(j + 1) + ": ";
    const Record& d = dssp->records[j];
    const Record* p = at(prof, j);
    const Record* q = at(pred, j);
    if (!p || !q) stored = false;
    if (stored) {
      ++out.residues;
      out.sequence += d.letter;
      out.structure += d.ss;
    }

    for (const auto& [rec, file] :
         {std::pair{&d, &*dssp}, std::pair{p, prof ? &*prof : nullptr}, std::pair{q, pred ? &*pred : nullptr}})
      if (rec && rec->keepsOld)
        error(file->path, rec->first,
              res +
                  "a '/' or an empty ',' field leaves fields of the record unread; kelvor keeps the previous residue's "
                  "values for them");
    if (d.last > d.first)
      warning(dssp->path, d.first,
              res + "the record runs over lines " + std::to_string(d.first) + "-" + std::to_string(d.last) +
                  "; a field is missing");
    if (q && q->last > q->first)
      warning(pred->path, q->first,
              res + "the record runs over lines " + std::to_string(q->first) + "-" + std::to_string(q->last) +
                  "; a field is missing");

    if (d.ss != 'H' && d.ss != 'E' && d.ss != 'C')
      error(dssp->path, d.first,
            res + "structure letter " + quoted(d.ss) + " is not H, E or C; kelvor stops (SS type not found)");
    if (p && (d.letter != p->letter || (q && p->letter != q->letter))) {
      // Name the file whose letter differs from the other two.
      const bool threeWay = q != nullptr;
      std::string file = prof->path;
      long line = p->first;
      if (threeWay && d.letter == p->letter)
        file = pred->path, line = q->first;
      else if (threeWay && p->letter == q->letter)
        file = dssp->path, line = d.first;
      std::string text = res + "residue letters disagree: DSSP-data " + quoted(d.letter) + " (line " +
                         std::to_string(d.first) + "), profile " + quoted(p->letter) + " (line " +
                         std::to_string(p->first) + ")";
      if (q) text += ", prediction " + quoted(q->letter) + " (line " + std::to_string(q->first) + ")";
      text += std::string("; kelvor stops (") + (d.letter != p->letter ? "aa12" : "aa23") + " mismatch)";
      error(file, line, text);
    } else if (p && d.letter >= 'a' && d.letter <= 'z') {
      warning(dssp->path, d.first,
              res + "lower-case residue letter " + quoted(d.letter) +
                  "; kelvor gives it no parameters (a bridged cysteine is written C)");
    }
    if (q) {
      const int used[2] = {0, 1};
      const char* names[2] = {"first angle", "second angle"};
      for (int u = 0; u < 2; ++u)
        if (std::fabs(q->values[used[u]]) == 360.0)
          warning(
              pred->path, q->first,
              res + "the " + names[u] + " is 360, DSSP's mark for an undefined angle (kelvor takes it as an angle)");
    }
  }
  return out;
}

RootCheck checkDataRoot(const std::string& root, const std::string& listPath, const Loader& load) {
  RootCheck out;
  std::optional<std::string> text;
  try {
    text = load(listPath);
  } catch (const FileError& e) {
    out.problems.push_back(
        Problem::error(listPath, 0, std::string("the protein list cannot be read (") + e.what() + ")"));
    return out;
  }
  if (!text) {
    out.problems.push_back(Problem::error(listPath, 0, "the protein list is missing; kelvor reads it as empty"));
    return out;
  }
  const std::vector<std::string> lines = splitLines(*text);
  out.proteins = static_cast<int>(lines.size());
  if (lines.empty()) out.problems.push_back(Problem::error(listPath, 0, "the protein list is empty"));
  if (lines.size() > static_cast<std::size_t>(kMaxProteins))
    out.problems.push_back(Problem::error(listPath, 0,
                                          "the protein list has " + std::to_string(lines.size()) +
                                              " lines; kelvor refuses more than " + std::to_string(kMaxProteins)));
  struct Seen {
    long line;
    int residues;
  };
  std::map<std::string, Seen> seen;
  std::map<std::string, std::pair<std::string, long>> chains;  // letters -> first protein, list line
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const long no = static_cast<long>(i) + 1;
    if (auto problem = nameLengthProblem(lines[i])) {
      out.problems.push_back(Problem::error(listPath, no, *problem + "; kelvor refuses the list"));
      ++out.faulty;
      continue;
    }
    const std::string name = nameField(lines[i]);
    const std::string shown(nameOf(name));
    if (shown.empty()) {
      out.problems.push_back(
          Problem::error(listPath, no, "blank line; kelvor takes it as a protein without a name and stops on it"));
      ++out.faulty;
      continue;
    }
    // A protein listed again is read again; its files are checked once.
    auto [it, fresh] = seen.emplace(name, Seen{no, 0});
    if (!fresh) {
      out.problems.push_back(Problem::warning(listPath, no,
                                              "protein " + shown + " is listed before, on line " +
                                                  std::to_string(it->second.line) + "; kelvor uses it twice"));
      out.residues += it->second.residues;
      continue;
    }
    ProteinCheck pc = checkProtein(name, root, load);
    it->second.residues = pc.residues;
    // Another chain with the same letters is the same example twice, maybe on both sides of the split.
    if (!pc.sequence.empty()) {
      auto [twin, first] = chains.emplace(pc.sequence + '\n' + pc.structure, std::pair{shown, no});
      if (!first)
        pc.problems.push_back(Problem::warning(
            proteinPaths(root, name).dssp, 1,
            "protein " + shown + " has the same sequence and structure letters as protein " + twin->second.first +
                " (list line " + std::to_string(twin->second.second) + "); kelvor uses the chain twice"));
    }
    out.residues += pc.residues;
    if (errorCount(pc.problems) > 0) ++out.faulty;
    for (auto& p : pc.problems) out.problems.push_back(std::move(p));
  }
  if (out.residues > kMaxResidues)
    out.problems.push_back(Problem::error(listPath, 0,
                                          "the proteins hold " + std::to_string(out.residues) +
                                              " residues; kelvor refuses more than " + std::to_string(kMaxResidues)));
  return out;
}

}  // namespace kelvor::prep
