// The tests' own reader of Main.dta and its line-constants files, and the
// positive-sequence network built from them (see case_network.h). It reads the
// forms the case's files use, no more: comment lines start with '!', a section
// key is a line whose only word ends with ':', values are blank-separated and a
// '/' ends a record.
#include "case_network.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

namespace casetest {
namespace {

namespace fs = std::filesystem;

// The lines of a file that carry data or keys, with their line numbers.
struct TextLine {
  std::int32_t number;
  std::string text;
};

std::vector<TextLine> data_lines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw FileError(file.string() + ": cannot be opened");
  std::vector<TextLine> lines;
  std::string text;
  for (std::int32_t n = 1; std::getline(in, text); ++n) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos || text[first] == '!') continue;
    lines.push_back({n, text});
  }
  return lines;
}

bool is_key(const std::string& text) {
  std::istringstream words(text);
  std::string first, second;
  words >> first >> second;
  return second.empty() && !first.empty() && first.back() == ':';
}

[[noreturn]] void fail(const fs::path& file, const TextLine& line, const std::string& why) {
  throw FileError(file.filename().string() + ", line " + std::to_string(line.number) + ": " + why +
                  ": " + line.text);
}

// The blank-separated words of a record up to a '/'.
std::vector<std::string> words_of(const std::string& text) {
  std::istringstream in(text.substr(0, text.find('/')));
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

double number(const fs::path& file, const TextLine& line, const std::string& word) {
  std::size_t used = 0;
  double v = 0.0;
  try {
    v = std::stod(word, &used);
  } catch (const std::exception&) {
    fail(file, line, "not a number '" + word + "'");
  }
  if (used != word.size() || !std::isfinite(v)) fail(file, line, "not a number '" + word + "'");
  return v;
}

std::int32_t integer(const fs::path& file, const TextLine& line, const std::string& word) {
  const double v = number(file, line, word);
  if (v != std::floor(v)) fail(file, line, "not an integer '" + word + "'");
  return static_cast<std::int32_t>(v);
}

// The numbers of a record, at least `least` of them.
std::vector<double> numbers(const fs::path& file, const TextLine& line, std::size_t least) {
  std::vector<double> v;
  for (const std::string& w : words_of(line.text)) v.push_back(number(file, line, w));
  if (v.size() < least) fail(file, line, "expected " + std::to_string(least) + " values");
  return v;
}

// Walks the lines of one file.
class Cursor {
 public:
  explicit Cursor(fs::path file) : file_(std::move(file)), lines_(data_lines(file_)) {}
  bool done() const { return at_ >= lines_.size(); }
  const TextLine& peek() const { return lines_[at_]; }
  const TextLine& next() {
    if (done()) throw FileError(file_.filename().string() + ": ends inside a record");
    return lines_[at_++];
  }
  const fs::path& file() const { return file_; }

 private:
  fs::path file_;
  std::vector<TextLine> lines_;
  std::size_t at_ = 0;
};

void read_branches(Cursor& c, MainFile& m) {
  while (!c.done() && !is_key(c.peek().text)) {
    const TextLine& line = c.next();
    const std::vector<std::string> w = words_of(line.text);
    if (w.size() < 3) fail(c.file(), line, "a branch needs two nodes and a type");
    BranchLine b;
    b.number = static_cast<std::int32_t>(m.branches.size()) + 1;
    b.from = integer(c.file(), line, w[0]);
    b.to = integer(c.file(), line, w[1]);
    b.type = w[2];
    for (std::size_t k = 3; k < w.size(); ++k) b.values.push_back(number(c.file(), line, w[k]));
    m.branches.push_back(b);
  }
}

void read_transformers(Cursor& c, MainFile& m) {
  while (!c.done() && !is_key(c.peek().text)) {
    const TextLine& header = c.next();
    const std::vector<double> h = numbers(c.file(), header, 1);
    const std::int32_t n = std::abs(static_cast<std::int32_t>(h[0]));
    if (n < 1 || n > 4) fail(c.file(), header, "winding count");
    TransformerEntry t;
    for (std::int32_t w = 0; w < n; ++w) {
      const TextLine& line = c.next();
      const std::vector<double> v = numbers(c.file(), line, 2);
      t.windings.push_back({static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1])});
    }
    m.transformers.push_back(t);
  }
}

// The line-constants file of a Bergeron line: the line record, then one mode
// record per conductor.
void read_line_constants(const fs::path& file, LineEntry& e) {
  Cursor c(file);
  const TextLine& head = c.next();
  const std::vector<double> r = numbers(file, head, 9);
  if (static_cast<std::int32_t>(r[0]) != 3) fail(file, head, "three conductors expected");
  e.len = r[6];
  for (int mode = 0; mode < 3; ++mode) {
    const TextLine& line = c.next();
    const std::vector<double> v = numbers(file, line, 6);
    ModeRecord rec{v[2], v[3], v[4], v[5], std::vector<double>(v.begin() + 6, v.end())};
    if (!(rec.tau_ms > 0.0) || !(rec.zc > 0.0)) fail(file, line, "travel time and Zc must be positive");
    e.modes.push_back(rec);
  }
}

void read_tlines(Cursor& c, MainFile& m, const fs::path& dir) {
  while (!c.done() && !is_key(c.peek().text)) {
    const TextLine& header = c.next();
    if (header.text.rfind("Quolb Line Constants", 0) != 0) fail(c.file(), header, "line header expected");
    const TextLine& counts = c.next();
    if (numbers(c.file(), counts, 2)[0] != 3.0) fail(c.file(), counts, "three conductors expected");
    LineEntry e;
    for (auto* end : {&e.send, &e.receive}) {
      const TextLine& line = c.next();
      const std::vector<double> v = numbers(c.file(), line, 4);
      for (int k = 0; k < 3; ++k) (*end)[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(v[static_cast<std::size_t>(k) + 1]);
    }
    const TextLine& name = c.next();
    const TextLine& out = c.next();
    if (name.text.rfind("TLINE-INPUT-DATA", 0) != 0) fail(c.file(), name, "line name expected");
    if (out.text.rfind("TLINE-OUTPUT-DATA", 0) != 0) fail(c.file(), out, "line-constants file expected");
    e.name = words_of(name.text.substr(18)).at(0);
    e.file = words_of(out.text.substr(18)).at(0);
    read_line_constants(dir / e.file, e);
    m.lines.push_back(e);
  }
}

void skip_section(Cursor& c) {
  while (!c.done() && !is_key(c.peek().text)) c.next();
}

}  // namespace

MainFile read_main(const fs::path& dir) {
  MainFile m;
  Cursor c(dir / "Main.dta");
  while (!c.done()) {
    const TextLine& line = c.next();
    if (!is_key(line.text)) fail(c.file(), line, "section key expected");
    const std::string key = words_of(line.text).at(0);
    if (key == "SUBSYSDIM:") {
      const std::vector<double> v = numbers(c.file(), c.next(), 2);
      m.subsystem_nodes = static_cast<std::int32_t>(v[1]);
    } else if (key == "BRANCHES:") {
      read_branches(c, m);
    } else if (key == "TRANSFORMERS:") {
      read_transformers(c, m);
    } else if (key == "TLINES:") {
      read_tlines(c, m, dir);
    } else if (key == "ENDPAGE:") {
      break;
    } else {
      skip_section(c);
    }
  }
  return m;
}

namespace {

// Branches that a component of the case takes over at time zero.
std::set<std::int32_t> component_branches() {
  std::set<std::int32_t> taken;
  for (const TransformerGroup& g : kGroups)
    for (std::int32_t k = 0; k < 6; ++k) taken.insert(g.first_winding_branch + k);
  for (const Load& l : kLoads)
    for (std::int32_t k = 0; k < 6; ++k) taken.insert(l.first_branch + k);
  for (std::int32_t k = 0; k < 6; ++k) taken.insert(kFaultFirstBranch + k);
  return taken;
}

// The three nodes of a point, in phase order, or 0 when they are not.
std::int32_t whole_point(const std::array<std::int32_t, 3>& nodes) {
  const std::int32_t p = point_of(nodes[0]);
  for (std::int32_t k = 0; k < 3; ++k)
    if (nodes[static_cast<std::size_t>(k)] != node_of(p, k)) return 0;
  return p;
}

double zbase(double kv) { return kv * kv / kSbase; }

// Base voltages: the LV points of the transformer groups and the points joined
// to them by series branches take the group's LV rating, all others 230 kV.
void set_bases(const MainFile& m, const std::set<std::int32_t>& taken, Network& n) {
  n.kv_base.fill(kHighVoltage);
  for (const TransformerGroup& g : kGroups) {
    const TransformerEntry& t = m.transformers.at(static_cast<std::size_t>(g.first_unit - 1));
    n.kv_base[static_cast<std::size_t>(point_of(t.windings.at(0).from))] = g.v1_kv * std::sqrt(3.0);
  }
  for (const BranchLine& b : m.branches) {
    if (taken.count(b.number) != 0 || b.from == 0 || b.to == 0) continue;
    const auto f = static_cast<std::size_t>(point_of(b.from)), t = static_cast<std::size_t>(point_of(b.to));
    const double base = std::min(n.kv_base[f], n.kv_base[t]);
    n.kv_base[f] = n.kv_base[t] = base;
  }
}

}  // namespace

Network build_network(const MainFile& m) {
  if (static_cast<std::int32_t>(m.branches.size()) != kMainBranches)
    throw FileError("Main.dta: " + std::to_string(m.branches.size()) + " branches, not 78");
  if (m.transformers.size() != 9) throw FileError("Main.dta: nine transformers expected");
  const std::set<std::int32_t> taken = component_branches();
  Network n;
  set_bases(m, taken, n);

  // 1. Branches of their own: grounded or series resistors, three alike in a
  // row on the three phases of their points.
  for (std::size_t k = 0; k < m.branches.size(); k += 3) {
    const BranchLine& b = m.branches[k];
    if (taken.count(b.number) != 0) continue;
    if (b.type != "R" || b.values.size() != 1)
      throw FileError("Main.dta: branch " + std::to_string(b.number) + " is not a plain resistor");
    for (std::int32_t ph = 0; ph < 3; ++ph) {
      const BranchLine& o = m.branches.at(k + static_cast<std::size_t>(ph));
      const bool alike = o.type == b.type && o.values == b.values &&
                         o.from == node_of(point_of(b.from), ph) &&
                         o.to == (b.to == 0 ? 0 : node_of(point_of(b.to), ph));
      if (!alike)
        throw FileError("Main.dta: branch " + std::to_string(o.number) + " is not phase " +
                        std::string(1, static_cast<char>('a' + ph)) + " of its three-phase element");
    }
    const double r = b.values[0];
    if (b.to == 0) {
      const std::int32_t p = point_of(b.from);
      n.shunts.emplace_back(p, zbase(n.kv_base[static_cast<std::size_t>(p)]) / r);
    } else {
      const std::int32_t f = point_of(b.from), t = point_of(b.to);
      n.series.push_back({f, t, r / zbase(n.kv_base[static_cast<std::size_t>(f)]), 0.0});
    }
  }

  // 2. Transformer groups: the leakage on 100 MVA; windings at their nominal ratio.
  for (const TransformerGroup& g : kGroups) {
    const TransformerEntry& t = m.transformers.at(static_cast<std::size_t>(g.first_unit - 1));
    const double x = g.x_pu * kSbase / (3.0 * kUnitMva);
    n.series.push_back({point_of(t.windings.at(0).from), point_of(t.windings.at(1).from), {0.0, x}, 0.0});
  }

  // 3. Lines: nominal pi sections of the aerial mode, L = Zc tau, C = tau / Zc.
  for (const LineEntry& e : m.lines) {
    const std::int32_t f = whole_point(e.send), t = whole_point(e.receive);
    if (f == 0 || t == 0) throw FileError("Main.dta: line " + e.name + " does not join two points");
    const ModeRecord& aerial = e.modes.at(1);
    const double tau = aerial.tau_ms * 1.0e-3;
    const double zb = zbase(n.kv_base[static_cast<std::size_t>(f)]);
    const double r = 0.5 * (aerial.r_send + aerial.r_receive) * e.len;
    const std::complex<double> z(r / zb, kOmega * aerial.zc * tau / zb);
    const std::complex<double> y_half(0.0, 0.5 * kOmega * tau / aerial.zc * zb);
    n.series.push_back({f, t, z, y_half});
  }
  return n;
}

}  // namespace casetest
