// The "BRANCHES:" section: wakro_rdbrs, wakro_brparm, wakro_brgetn, and the
// registration of the reader with the case reader (use_branch_reader).
//
// Each line "from to TYPE values..." is one series R-L-C branch (with an optional
// series source, a switch or the ideal attribute) of the subsystem of its nodes.
// The reader numbers it in its subsystem, decodes it, forms its trapezoidal
// companion model (companion.h) with dt = e_s1::delt, and enters its conductance
// into the subsystem's conductance matrix in set-up form (a switching branch goes
// to the switching list instead; an ideal branch to neither).
//
// Guards beyond the plain rules: a record longer than 255 characters, a line
// that ends before a value its type letters take (it would be read as 0) or
// holds a value after them (it would be dropped), a
// capacitor of 0 microfarads (X_C would be infinite and the coefficients NaN), a
// branch whose X_L, X_C or Z overflows (a huge L, a tiny C or a huge time step:
// the coefficients would be NaN as well) and a branch met before its subsystem's
// matrices exist are fatal input errors.
#include "network/rdbranch.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "input/reader_hooks.h"
#include "input/section_util.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "network/companion.h"

namespace {

using wakro::ListLine;
using wakro::sections::fail;

constexpr std::string_view kTag = "RDBRS";
constexpr std::string_view kReadError = "Error while reading branch data";
const std::string kRule(47, '-');

// Clears every value and flag of branch (b, ss).
void reset_branch(std::int32_t b, std::int32_t ss) {
  using namespace branches;
  for (Real* a : {&cbr, &ccbr, &ccbrd, &ebr, &ebrd, &ebron, &ebrof, &swlevl, &geq, &geqd, &geqon,
                  &geqof, &rlg, &rcg, &rcl, &rsc, &rsl, &ccl, &ccld, &ccc, &cccd, &g2l, &g2c,
                  &v12l, &v20l, &int1::xstor, &int1::gfinal, &harmimp::branch_r, &harmimp::branch_l,
                  &harmimp::branch_c})
    (*a)(b, ss) = 0.0;
  int1::xstor(b, ss) = wakro::kNoCrossing;
  for (Int* a : {&brnsw, &ief, &iet, &thisbr, &int1::iorv, &clvi::icntbr}) (*a)(b, ss) = 0;
  for (Flag* a : {&resistor, &inductor, &capacitr, &source, &switch_, &idealbr, &openbr, &defrdbr,
                  &flipidlbr, &clvi::brchat_rep})
    (*a)(b, ss) = false;
  geqchange(b) = false;
}

// The start (0-based) of the third blank-separated word, or npos; the line is
// taken to begin after a blank.
// (A tab counts as a blank, as in every free-format read.)
bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::size_t third_word(std::string_view line) {
  int words = 0;
  char before = ' ';
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (!is_blank(line[i]) && is_blank(before) && ++words == 3) return i;
    before = line[i];
  }
  return std::string_view::npos;
}

// The value-taking letters of a type word, and what each value is.
constexpr std::string_view kValueLetters = "RLCEiv";
constexpr std::string_view kTypeLetters = "RLCEivSDA";  // every letter the decoding knows
constexpr std::size_t kMaxTypeLetters = 10;             // a type word is at most ten letters

std::string_view value_name(char letter) {
  switch (letter) {
    case 'R': return "the resistance R [ohm]";
    case 'L': return "the inductance L [H]";
    case 'C': return "the capacitance C [uF]";
    case 'E': return "the source voltage E";
    case 'i': return "the initial current i";
    default: return "the value v";
  }
}

// Values the type word takes, up to the ideal letter 'A' that ends the scan.
std::ptrdiff_t value_count(std::string_view type) {
  const std::string_view scanned = type.substr(0, type.find('A'));
  return std::count_if(scanned.begin(), scanned.end(),
                       [](char c) { return kValueLetters.find(c) != std::string_view::npos; });
}

// Names the branch line being read, then ends the run.
[[noreturn]] void quit_naming_the_line() {
  ListLine() << "RDBRS: The line is in file " + wakro::unit_file_name(fnames::iunit) + ", line " +
                    std::to_string(wakro::unit_line_number(fnames::iunit)) + ".";
  wakro_quit(kTag, 1);
}

// A line that ends before the value number `index` (from 0) its type needs.
[[noreturn]] void missing_value(std::string_view type, int index) {
  int seen = 0;
  char letter = 'v';
  for (char c : type) {
    if (kValueLetters.find(c) == std::string_view::npos) continue;
    if (seen++ == index) {
      letter = c;
      break;
    }
  }
  ListLine() << "Branch of type " + std::string(type) + " needs " + std::to_string(value_count(type)) +
                    " values: " + std::string(value_name(letter)) + " is missing";
  quit_naming_the_line();
}

// A line that holds a value after the last one its type takes (a letter
// forgotten in the type word): read, it would be dropped in silence.
[[noreturn]] void extra_value(std::string_view type, std::ptrdiff_t n, double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  ListLine() << "Branch of type " + std::string(type) + " takes " + std::to_string(n) +
                    (n == 1 ? " value" : " values") + ": the value " + std::string(text, end) +
                    " is one too many";
  quit_naming_the_line();
}

// Both ends of the branch in one subsystem: the branch's subsystem.
std::int32_t branch_subsystem(std::int32_t position, std::int32_t from, std::int32_t to) {
  const std::int32_t sf = from != 0 ? wakro_ssnum(position, from) : 0;
  const std::int32_t st = to != 0 ? wakro_ssnum(position, to) : 0;
  if (sf != 0 && st != 0 && sf != st) {
    ListLine() << "Branch Nodes are in different SS:" << sf << ":" << st;
    wakro_quit(kTag, 1);
  }
  if (sf == 0 && st == 0) fail("SS for the Branch Nodes are not defined.", kTag, 1);
  return std::max(sf, st);
}

std::string numbered(std::string_view a, std::int32_t b, std::string_view c, std::int32_t ss,
                     std::string_view d) {
  return std::string(a) + std::to_string(b) + std::string(c) + std::to_string(ss) + std::string(d);
}

struct BranchCompanion {
  wakro::Companion k;
  bool zero_source = false;  // a source branch of exactly zero impedance
};

// The companion model of the branch, after the steps that may convert it to an
// ideal one; writes its part conductances.
BranchCompanion companion(std::int32_t b, std::int32_t ss, double& r, double l, double c) {
  using namespace branches;
  if (capacitr(b, ss) && c == 0.0) {
    ListLine() << "Capacitance of 0 in branch" << b << "in SS" << ss;
    wakro_quit("BRPARM", 1);
  }
  if (resistor(b, ss) && std::abs(r) <= 1.0 / ideal::gonmax(ss)) {
    r = 0.0;
    ListLine() << kRule;
    ListLine() << "Branch " << b << " in SS " << ss;
    if (!inductor(b, ss) && !capacitr(b, ss)) {
      idealbr(b, ss) = true;
      e_s0::idealss(ss) = true;
    } else {
      resistor(b, ss) = false;
      ListLine() << "Resistive portion";
    }
    ListLine() << "has been converted to an ideal branch because";
    ListLine() << "R value is less than the user defined limit!";
    ListLine() << kRule;
  }
  BranchCompanion bc;
  bc.k = wakro::series_companion(r, l, c, inductor(b, ss), capacitr(b, ss), e_s1::delt);
  wakro::set_part_conductances(b, ss, bc.k);
  if (!std::isfinite(bc.k.xl) || !std::isfinite(bc.k.xc) || !std::isfinite(bc.k.z)) {
    ListLine() << "Impedance too large to represent in branch" << b << "in SS" << ss;
    wakro_quit("BRPARM", 1);
  }
  bc.zero_source = source(b, ss) && bc.k.z == 0.0;
  return bc;
}

void small_impedance_warning(std::int32_t b, std::int32_t ss, double r, double l, double c) {
  using namespace branches;
  ListLine() << kRule;
  if (resistor(b, ss)) {
    ListLine() << "Resistor in Branch " << b << " in SS " << ss;
    ListLine() << "is extremely small: " << r;
  }
  if (inductor(b, ss)) {
    ListLine() << "Inductance in Branch " << b << " in SS " << ss;
    ListLine() << "is extremely small: " << l;
  }
  if (capacitr(b, ss)) {
    ListLine() << "Capacitor in Branch " << b << " in SS " << ss;
    ListLine() << "is extremely large: " << c;
  }
  ListLine() << "Very small R or L or very large C values";
  ListLine() << "can result in numerical instability due to";
  ListLine() << "computer precision.";
  ListLine() << "We suggest converting this to an ideal branch!";
  ListLine() << kRule;
}

// The companion terms and the matrix entry of a branch that is not ideal.
void enter_branch(std::int32_t b, std::int32_t ss, const wakro::Companion& k, double e, double i0,
                  const e_s0::GmView& gm) {
  using namespace branches;
  wakro::set_branch_companion(b, ss, k);
  wakro::start_branch(b, ss, i0, e);
  if (switch_(b, ss)) return;
  wakro::add_setup_conductance(gm, ief(b, ss), iet(b, ss), k.g);
}

void enter_ideal_branch(std::int32_t b, std::int32_t ss, double e, double i0) {
  using namespace branches;
  for (Real* a : {&geq, &geqon, &geqof, &geqd, &rlg, &rcg, &rcl, &rsc, &rsl, &ccl, &ccld, &ccc,
                  &cccd, &ccbr, &v12l, &v20l})
    (*a)(b, ss) = 0.0;
  cbr(b, ss) = i0;
  ebr(b, ss) = ebron(b, ss) = ebrof(b, ss) = ebrd(b, ss) = e;
}

// One branch line.
void read_branch(std::int32_t position) {
  using namespace branches;
  std::string record;
  wakro::sections::check_read(wakro::read_record(fnames::iunit, record), kReadError, kTag, 1);
  if (wakro::trim_right(record).size() > 255)
    fail("Branch data line longer than 255 characters", kTag, 1);
  wakro::FixedText<255> line(record);

  std::int32_t lf = 0, lt = 0;
  wakro_brgetn(line, lf, lt);
  const std::int32_t f = wakro::sections::page_node(position, lf);
  const std::int32_t t = wakro::sections::page_node(position, lt);
  const std::int32_t ss = branch_subsystem(position, lf, lt);

  e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
  e_s0::FilledView filled = e_s0::assign_filled_ptr(ss);
  if (!gm.valid() || !filled.valid())
    fail("Subsystem matrices used before SUBSYSDIM: section", kTag, 1);
  const std::int32_t order = std::min(e_s0::mbus(ss), gm.extent(1));
  if (std::max(f, t) > order) {
    ListLine() << "Node number " << std::max(f, t) << "is > " << order;
    wakro_quit("WAKRO_NODE  ", 1);
  }
  const std::int32_t b = ++int2::insb(ss);
  if (b > ndde::nd15) {
    ListLine() << "Too many branches:" << b << ">" << ndde::nd15;
    wakro_quit(kTag, 1);
  }

  std::int32_t from = 0, to = 0;
  double r = 0.0, l = 0.0, c = 0.0, e = 0.0, i0 = 0.0, v = 0.0;
  wakro_brparm(line, ss, b, from, to, r, l, c, e, i0, v);
  iet(b, ss) = t;
  ief(b, ss) = f;

  const wakro::BranchEndsFault ends = wakro::branch_ends_fault(f, t);
  if (ends != wakro::BranchEndsFault::none) {
    ListLine() << (ends == wakro::BranchEndsFault::grounded ? "Both nodes of a branch are grounded"
                                                            : "Branch is shorted.");
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, wakro::branch_ends_message(ends, b, ss));
    wakro_quit(kTag, 1);
  }
  wakro::mark_branch(filled, f, t);

  const BranchCompanion bc = companion(b, ss, r, l, c);
  const wakro::Companion& k = bc.k;
  if (std::abs(k.z) <= 1.0e-10 && !switch_(b, ss) && !idealbr(b, ss) && !bc.zero_source)
    small_impedance_warning(b, ss, r, l, c);
  if (switch_(b, ss)) {
    brnsw(++nsw(ss), ss) = b;
  } else if (std::abs(k.z) <= wakro::kNoImpedance && !idealbr(b, ss)) {
    idealbr(b, ss) = true;
    e_s0::idealss(ss) = true;
    if (!bc.zero_source) {
      ListLine() << kRule;
      ListLine() << "Branch " << b << " in SS " << ss;
      ListLine() << "has been converted to an ideal branch";
      ListLine() << "because RLC values are out of range!";
      ListLine() << kRule;
    }
  }
  int1::xstor(b, ss) = wakro::kNoCrossing;
  thisbr(b, ss) = 0;
  int1::iorv(b, ss) = wakro::switch_mode::none;
  flipidlbr(b, ss) = false;
  if (idealbr(b, ss)) {
    enter_ideal_branch(b, ss, e, i0);
  } else {
    enter_branch(b, ss, k, e, i0, gm);
  }
}

}  // namespace

void wakro_rdbrs(std::int32_t position) {
  const wakro::FixedText<72> key("BRANCHES:");
  rdcmnt();
  while (rdcmnt_in_section(key)) {
    read_branch(position);
    rdcmnt();
  }
}

void wakro_brgetn(const wakro::FixedText<255>& line, std::int32_t& from, std::int32_t& to) {
  if (wakro::list_read(line.view(), {from, to}) != wakro::ReadStatus::ok) fail(kReadError, kTag, 1);
}

void wakro_brparm(wakro::FixedText<255>& line, std::int32_t ss, std::int32_t b, std::int32_t& from,
                  std::int32_t& to, double& r, double& l, double& c, double& e, double& i0,
                  double& v) {
  using namespace branches;
  reset_branch(b, ss);
  r = l = c = e = i0 = v = 0.0;

  // The type word: the third word, at most ten characters; blanked out of the line.
  char type[kMaxTypeLetters];
  std::fill(type, type + kMaxTypeLetters, ' ');
  const std::size_t start = third_word(line.view());
  for (std::size_t i = 0; start != std::string_view::npos && i < kMaxTypeLetters && start + i < 255;
       ++i) {
    if (is_blank(line[start + i])) break;
    type[i] = line[start + i];
    line[start + i] = ' ';
  }

  // Entries the read leaves untouched stay NaN, so that a value the type needs
  // and the line does not hold is found (it would otherwise be read as 0), and
  // so is a value beyond those the type takes (one place more than the longest
  // type word can take holds it).
  double values[kMaxTypeLetters + 1];
  std::fill(std::begin(values), std::end(values), std::numeric_limits<double>::quiet_NaN());
  const wakro::ReadStatus st = wakro::list_read(line.view(), {from, to, std::span<double>(values)});
  if (st == wakro::ReadStatus::error) fail(kReadError, kTag, 1);
  const std::string_view type_word(
      type, static_cast<std::size_t>(std::find(type, type + kMaxTypeLetters, ' ') - type));
  // The letters after the ideal 'A' are not looked at, so each may have its
  // value on the line. (An unknown letter is said first, by the decoding below.)
  const std::size_t ideal = std::min(type_word.find('A'), type_word.size());
  const std::size_t after_ideal = ideal < type_word.size() ? type_word.size() - ideal - 1 : 0;
  const std::ptrdiff_t needed = value_count(type_word);
  const std::ptrdiff_t taken = needed + static_cast<std::ptrdiff_t>(after_ideal);
  const bool letters_known =
      type_word.substr(0, ideal).find_first_not_of(kTypeLetters) == std::string_view::npos;
  if (letters_known && !std::isnan(values[taken])) extra_value(type_word, taken, values[taken]);
  for (double& x : values) {
    if (!std::isnan(x)) continue;
    if (st == wakro::ReadStatus::end && &x - values < needed)
      missing_value(type_word, static_cast<int>(&x - values));
    x = 0.0;  // after a '/' the values not given are 0
  }

  int next = 0;
  for (char letter : type) {
    if (letter == ' ') break;
    switch (letter) {
      case 'R':
        resistor(b, ss) = true;
        r = values[next++];
        harmimp::branch_r(b, ss) = r;
        break;
      case 'L':
        inductor(b, ss) = true;
        l = values[next++];
        harmimp::branch_l(b, ss) = l;
        break;
      case 'C':
        capacitr(b, ss) = true;
        c = values[next++];
        harmimp::branch_c(b, ss) = c * 1.0e-6;
        break;
      case 'E':
        source(b, ss) = true;
        e = values[next++];
        break;
      case 'i':
        i0 = values[next++];
        break;
      case 'v':
        v = values[next++];
        break;
      case 'S':
        switch_(b, ss) = true;
        break;
      case 'D':
        defrdbr(b, ss) = true;
        switch_(b, ss) = true;
        break;
      case 'A':
        idealbr(b, ss) = true;
        e_s0::idealss(ss) = true;
        resistor(b, ss) = inductor(b, ss) = capacitr(b, ss) = source(b, ss) = switch_(b, ss) = false;
        return;
      default:
        ListLine() << "Error: Unknown branch type: " << std::string_view(&letter, 1);
        wakro_quit("BRPARM", 1);
    }
  }
}

namespace wakro {

void use_branch_reader() { reader_hooks().rdbrs = &wakro_rdbrs; }

std::string branch_ends_message(BranchEndsFault fault, std::int32_t b, std::int32_t ss) {
  switch (fault) {
    case BranchEndsFault::grounded: return numbered("Both ends of the branch ", b, " in subsystem ", ss, " is grounded.");
    case BranchEndsFault::shorted: return numbered("Branch ", b, " in subsystem ", ss, " is shorted.");
    case BranchEndsFault::none: break;
  }
  return {};
}

}  // namespace wakro
