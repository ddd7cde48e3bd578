// The snapshot's state blocks, written and read by one walk (see archive.h).
#include "snapshot/archive.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <complex>
#include <istream>
#include <string>
#include <string_view>

#include "diag/console_input.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_s8.h"
#include "model/e_tldyn.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/sparse.h"
#include "model/temp1.h"
#include "model/umec.h"
#include "network/record_checks.h"
#include "snapshot/case_identity.h"
#include "snapshot/layout.h"
#include "snapshot/state_check.h"

namespace wakro::snapshot {
namespace {

using cplx = std::complex<double>;

// The writing archive.
struct Out {
  static constexpr bool reading = false;
  SnapOut& o;
  void label(std::string_view t) { o.free(t); }
  void formatted(std::string_view t) { o.line(t); }
  void name_label(std::string_view t) { o.free(t); }
  // Reals are written and the state takes the value the file holds, so that
  // the run that wrote the snapshot goes on exactly as a run resumed from it.
  template <class F> void reals(Layout l, std::int64_t n, F at) {
    o.begin_group();
    for (std::int64_t k = 1; k <= n; ++k) {
      auto& v = at(k);
      v = o.put(l, v);
    }
    o.end_group();
  }
  template <class F> void r8(std::int64_t n, F at) { reals(Layout::R8, n, at); }
  template <class F> void e20(std::int64_t n, F at) { reals(Layout::E20, n, at); }
  template <class F> void i15(std::int64_t n, F at) { o.group(Layout::I15, n, [&](std::int64_t k) { return static_cast<std::int32_t>(at(k)); }); }
  template <class F> void l80(std::int64_t n, F at) { o.group(Layout::L80, n, [&](std::int64_t k) { return static_cast<bool>(at(k)); }); }
  template <class F> void c1(std::int64_t n, F at) { reals(Layout::C1, n, at); }
  template <class F> void ec(std::int64_t n, F at) { reals(Layout::EC, n, at); }
  template <class F> void logicals(std::int64_t n, F at) { o.bool_list(n, [&](std::int64_t k) { return static_cast<bool>(at(k)); }); }
  void header_int(std::int32_t& v, std::string_view label) { o.free_int(v, label); }
  void header_bool(bool& v, std::string_view label) { o.free_bool(v, label); }
  void free_int(std::int32_t& v) { o.free_int(v); }
  template <std::size_t N> void name(FixedText<N>& t) { o.line(" " + std::string(t.view())); }
  template <class F> void bits(std::int64_t n, F at) { o.group(Layout::B255, n, [&](std::int64_t k) { return static_cast<bool>(at(k)); }); }
};

// The reading archive.
struct In {
  static constexpr bool reading = true;
  SnapIn& i;
  void label(std::string_view) { i.skip_comments(); }
  void formatted(std::string_view) { i.skip_comments(); }
  // A label followed by raw lines: read exactly, so that names beginning with
  // "!" are not taken as comments.
  void name_label(std::string_view t) {
    const std::string want(trim(t));
    for (;;) {
      const std::string line = i.raw_line();
      const std::string_view s = trim(line);
      if (s.empty()) continue;
      if (s.substr(0, want.size()) == want) return;
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "WAKRO: Error while reading snap file");
      wakro_quit("READSNP", 1);
    }
  }
  // True, having read it, when the next line that is not blank is the label;
  // else that line is left to be read.
  bool next_is(std::string_view label) {
    for (;;) {
      const std::string line = i.raw_line();
      const std::string_view s = trim(line);
      if (s.empty()) continue;
      if (s == label) return true;
      i.step_back();
      return false;
    }
  }
  static std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  }
  template <class F> void r8(std::int64_t n, F at) { i.skip_comments(); i.read<double>(n, at); }
  template <class F> void e20(std::int64_t n, F at) { r8(n, at); }
  template <class F> void i15(std::int64_t n, F at) { i.skip_comments(); i.read<std::int32_t>(n, at); }
  template <class F> void l80(std::int64_t n, F at) { i.skip_comments(); i.read<bool>(n, at); }
  template <class F> void logicals(std::int64_t n, F at) { l80(n, at); }
  template <class F> void c1(std::int64_t n, F at) { i.skip_comments(); i.read<cplx>(n, at); }
  template <class F> void ec(std::int64_t n, F at) {
    for (std::int64_t k = 1; k <= n; ++k) {
      const std::string s = i.raw_line();
      double re = 0.0, im = 0.0;
      if (s.size() < 48 || !parse_real(trim(std::string_view(s).substr(0, 24)), re) ||
          !parse_real(trim(std::string_view(s).substr(24, 24)), im)) {
        wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "WAKRO: Error while reading snap file");
        wakro_quit("READSNP", 1);
      }
      at(k) = cplx(re, im);
    }
  }
  void header_int(std::int32_t& v, std::string_view) { i.skip_comments(); v = i.one<std::int32_t>(); }
  void header_bool(bool& v, std::string_view) { i.skip_comments(); v = i.one<bool>(); }
  void free_int(std::int32_t& v) { i.skip_comments(); v = i.one<std::int32_t>(); }
  template <std::size_t N> void name(FixedText<N>& t) {
    std::string s = i.raw_line();
    if (!s.empty() && s[0] == ' ') s.erase(0, 1);
    t = s;
  }
  template <class F> std::int64_t bits(std::int64_t n, F at) { i.skip_comments(); return i.bits(n, at); }
};

// A subsystem's Norton buses ascend within its buses, as a run keeps them:
// another list would have the solution add an injection twice, or write it
// outside the subsystem's vectors.
void norton_bus_check(std::int64_t bus, std::int64_t before, std::int64_t buses) {
  if (bus > before && bus <= buses) return;
  refuse_text("WAKRO: Snapshot Norton bus out of order or range: " + std::to_string(bus) + " (buses 1 to " +
              std::to_string(buses) + ", ascending)");
}

// A label that numbers its line (its number written in 11 places); read as
// any label.
template <class A>
void numbered_label(A& ar, const char* text, std::int32_t n) {
  if constexpr (!A::reading) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%11d", text, static_cast<int>(n));
    ar.label(buf);
  } else {
    ar.label("");
  }
}

// The subsystem's title and its header counts and flags; on reading, the
// counts are checked against the case's dimensions.
template <class A>
void subsystem_header(A& ar, std::int32_t ss) {
  if constexpr (!A::reading) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "!*** SUBSYSTEM: %3d", static_cast<int>(ss));
    ar.o.line("");
    ar.formatted(buf);
  } else {
    ar.formatted("");
  }
  ar.header_int(e_s0::mbus(ss), " / Busses");
  ar.header_int(int2::nmb(ss), " / Norton buses");
  ar.header_int(int2::insb(ss), " / Branches");
  ar.header_int(branches::nsw(ss), " / Switches");
  ar.header_int(e_s5::numt(ss), " / Transformers");
  ar.header_bool(e_s0::idealss(ss), " / Ideal Subsystem?");
  ar.header_bool(int3::use_klu(ss), " / Use KLU?");
  ar.header_int(e_s8::mxinv(ss), " / Start Node for Triang.");
  if constexpr (A::reading) {
    check_count("busses", e_s0::mbus(ss), ndde::nd1);
    check_count("Norton buses", int2::nmb(ss), int2::ll.extent(1));
    check_count("branches", int2::insb(ss), ndde::nd15);
    check_count("switches", branches::nsw(ss), branches::brnsw.extent(1));
  }
}

// The Norton buses, each with its injected current and conductance.
template <class A>
void subsystem_norton_buses(A& ar, std::int32_t ss, std::int32_t n) {
  if (int2::nmb(ss) <= 0) return;
  ar.label("!*** Norton buses");
  for (std::int32_t i = 1; i <= int2::nmb(ss); ++i) {
    ar.free_int(int2::ll(i, ss));
    const std::int32_t k = int2::ll(i, ss);
    if constexpr (A::reading) norton_bus_check(k, i > 1 ? int2::ll(i - 1, ss) : 0, n);
    ar.r8(2, [&](std::int64_t j) -> double& { return j == 1 ? int4::ccind(k, ss) : int4::ggind(k, ss); });
  }
}

// The node voltages and currents, and (without KLU) the elimination's
// sparsity lists.
template <class A>
void subsystem_node_data(A& ar, std::int32_t ss, std::int32_t n) {
  ar.label("!*** General node data");
  ar.r8(n, [&](std::int64_t i) -> double& { return e_s0::vdc(i, ss); });
  ar.r8(n, [&](std::int64_t i) -> double& { return ideal::gms(i, ss); });
  ar.r8(n, [&](std::int64_t i) -> double& { return e_s0::ccgm(i, ss); });
  ar.r8(n, [&](std::int64_t i) -> double& { return e_s0::ccgmd(i, ss); });
  ar.r8(n, [&](std::int64_t i) -> double& { return e_s0::ccli(i, ss); });
  ar.r8(n, [&](std::int64_t i) -> double& { return int4::cclid(i, ss); });
  if (int3::use_klu(ss)) return;
  ar.label("!*** Sparsity information");
  ar.i15(2 * n, [&](std::int64_t i) -> std::int32_t& { return i <= n ? sparse::lbegin(i, ss) : sparse::lend(i - n, ss); });
  const std::int32_t nl = n > 0 ? sparse::lend(n, ss) : 0;
  if constexpr (A::reading) check_count("sparsity entries", nl, sparse::lcol.extent(1));
  ar.i15(nl, [&](std::int64_t i) -> std::int32_t& { return sparse::lcol(i, ss); });
  ar.i15(2 * n, [&](std::int64_t i) -> std::int32_t& { return i <= n ? sparse::ubegin(i, ss) : sparse::uend(i - n, ss); });
  const std::int32_t nu = n > 0 ? sparse::uend(n, ss) : 0;
  if constexpr (A::reading) check_count("sparsity entries", nu, sparse::ucol.extent(1));
  ar.i15(nu, [&](std::int64_t i) -> std::int32_t& { return sparse::ucol(i, ss); });
}

// The matrix's fill pattern, one bit row per node, then the conductances of
// the filled entries.
template <class A>
void subsystem_matrix(A& ar, std::int32_t ss, std::int32_t n, e_s0::FilledView& fill, e_s0::GmView& gm) {
  ar.label("!*** Sparsity matrix");
  for (std::int32_t i = 1; i <= n; ++i) {
    if constexpr (A::reading) {
      ar.i.skip_comments();
      const std::int64_t held = ar.i.bits(n, [&](std::int64_t j, bool on) {
        const auto jj = static_cast<std::int32_t>(j);
        if (on)
          fill(i, jj) = true;
        else if (fill.get(i, jj))
          fill(i, jj) = false;
      });
      // A row one digit short or long would move the later entries a column
      // and put the conductances on other elements.
      if (held != n)
        refuse_text("WAKRO: Snapshot fill pattern row does not fit the pattern: " +
                    record_of_subsystem(item("row", i), ss) +
                    (held < 0 ? std::string(" holds a digit other than 0 and 1")
                              : " = " + std::to_string(held) + " digits (" + std::to_string(n) + ")"));
    } else {
      ar.bits(n, [&](std::int64_t j) { return fill.get(i, static_cast<std::int32_t>(j)); });
    }
  }
  ar.label("!*** Node conductances [GM]");
  std::int64_t filled = 0;
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      if (fill.get(i, j)) {
        ar.r8(1, [&](std::int64_t) -> double& { return gm(i, j); });
        ++filled;
      }
  // With branches or switches a label follows the conductances: a number
  // there is the conductance of an entry the pattern leaves out, which would
  // move every later value onto another.
  if constexpr (A::reading) {
    if (int2::insb(ss) <= 0 && branches::nsw(ss) <= 0) return;
    std::int64_t held = filled;
    for (;;) {
      const std::string line = ar.i.raw_line();
      const std::size_t p = line.find_first_not_of(" \t\r");
      if (p != std::string::npos && line[p] == '!') break;
      held += p == std::string::npos ? 0 : 1;
    }
    ar.i.step_back();
    if (held != filled)
      refuse_text(
          "WAKRO: Snapshot values refused together: " + record_of_subsystem("fill pattern", ss) +
          ": filled entries = " + std::to_string(filled) + ", conductances = " +
          std::to_string(held) + " (each filled entry keeps one conductance)");
  }
}

// The branches' reals, harmonic impedances, integers and kind flags, each
// array under its own label.
template <class A>
void subsystem_branches(A& ar, std::int32_t ss) {
  const std::int32_t nb = int2::insb(ss);
  if (nb <= 0) return;
  ar.label("!*** Branch data");
  struct R { const char* l; branches::Real* a; };
  const R reals[] = {{"!CBR", &branches::cbr},   {"!CCBR", &branches::ccbr}, {"!CCBRD", &branches::ccbrd},
                     {"!EBR", &branches::ebr},   {"!EBRD", &branches::ebrd}, {"!GEQ", &branches::geq},
                     {"!GEQD", &branches::geqd}, {"!RLG", &branches::rlg},   {"!RCG", &branches::rcg},
                     {"!RCL", &branches::rcl},   {"!RSC", &branches::rsc},   {"!RSL", &branches::rsl},
                     {"!CCL", &branches::ccl},   {"!CCLD", &branches::ccld}, {"!CCC", &branches::ccc},
                     {"!CCCD", &branches::cccd}, {"!G2L", &branches::g2l},   {"!G2C", &branches::g2c},
                     {"!V12L", &branches::v12l}, {"!V20L", &branches::v20l}};
  for (const R& r : reals) {
    ar.label(r.l);
    ar.r8(nb, [&](std::int64_t b) -> double& { return (*r.a)(b, ss); });
  }
  struct H { const char* l; wakro::FArray<double, 2>* a; };
  const H harm[] = {{"!BRANCH_R", &harmimp::branch_r}, {"!BRANCH_L", &harmimp::branch_l},
                    {"!BRANCH_C", &harmimp::branch_c}};
  for (const H& h : harm) {
    ar.label(h.l);
    double scratch = 0.0;
    ar.r8(nb, [&](std::int64_t b) -> double& {
      if (h.a->allocated() && b <= h.a->extent(1) && ss <= h.a->extent(2)) return (*h.a)(b, ss);
      scratch = 0.0;
      return scratch;
    });
  }
  struct I { const char* l; branches::Int* a; };
  const I ints[] = {{"!IEF", &branches::ief}, {"!IET", &branches::iet}, {"!THISBR", &branches::thisbr}};
  for (const I& r : ints) {
    ar.label(r.l);
    ar.i15(nb, [&](std::int64_t b) -> std::int32_t& { return (*r.a)(b, ss); });
  }
  ar.label("!IORV");
  ar.i15(nb, [&](std::int64_t b) -> std::int32_t& { return int1::iorv(b, ss); });
  struct L { const char* l; branches::Flag* a; };
  const L flags[] = {{"!RESISTOR", &branches::resistor}, {"!INDUCTOR", &branches::inductor},
                     {"!CAPACITR", &branches::capacitr}, {"!SOURCE", &branches::source},
                     {"!SWITCH", &branches::switch_},    {"!IDEALBR", &branches::idealbr},
                     {"!OPENBR", &branches::openbr},     {"!DEFRDBR", &branches::defrdbr},
                     {"!FLIPIDLBR", &branches::flipidlbr}};
  for (const L& r : flags) {
    ar.label(r.l);
    ar.l80(nb, [&](std::int64_t b) -> bool& { return (*r.a)(b, ss); });
  }
}

// On reading: the switch list is the switching branches, each once, in the
// branch order in which the branch reader lists them (the switching steps
// walk the list, and a branch listed twice would switch twice).
void check_switch_count(std::int32_t ss) {
  std::int64_t switches = 0;
  for (std::int32_t b = 1; b <= int2::insb(ss); ++b) switches += branches::switch_(b, ss) ? 1 : 0;
  check_range(record_of_subsystem("switches", ss), branches::nsw(ss), switches, switches);
}

// The switching branches: each one's branch number and its on/off values.
template <class A>
void subsystem_switches(A& ar, std::int32_t ss) {
  if constexpr (A::reading) check_switch_count(ss);
  if (branches::nsw(ss) <= 0) return;
  ar.label("!*** SWITCHING BRANCH DATA");
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
    ar.free_int(branches::brnsw(k, ss));
    const std::int32_t b = branches::brnsw(k, ss);
    if constexpr (A::reading) {
      const std::int32_t after = k > 1 ? branches::brnsw(k - 1, ss) : 0;
      check_range(record_of_subsystem(item("branch of switch", k), ss), b, after + 1, int2::insb(ss));
      // (The branches' kind flags are read before the switches.)
      if (!branches::switch_(b, ss))
        refuse_text("WAKRO: Snapshot switch on a branch that is not a switch: " +
                    record_of_subsystem(item("branch of switch", k), ss) + " = " + std::to_string(b));
    }
    ar.r8(6, [&](std::int64_t j) -> double& {
      switch (j) {
        case 1: return int1::xstor(b, ss);
        case 2: return branches::ebron(b, ss);
        case 3: return branches::ebrof(b, ss);
        case 4: return branches::geqon(b, ss);
        case 5: return branches::geqof(b, ss);
        default: return branches::swlevl(b, ss);
      }
    });
  }
}

// One subsystem's block: its header, nodes, matrix, branches and switches.
template <class A>
void subsystem_block(A& ar, std::int32_t ss) {
  subsystem_header(ar, ss);
  const std::int32_t n = e_s0::mbus(ss);
  e_s0::FilledView fill = e_s0::assign_filled_ptr(ss);
  e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
  // The subsystem's nodes lie in its matrix.
  if constexpr (A::reading) check_count("busses", n, std::min(fill.extent(1), fill.extent(2)));
  subsystem_norton_buses(ar, ss, n);
  subsystem_node_data(ar, ss, n);
  subsystem_matrix(ar, ss, n, fill, gm);
  subsystem_branches(ar, ss);
  subsystem_switches(ar, ss);
}

// A transformer's winding count, the windings' subsystem and the tap
// changer's kind of formula, kept on one line so that a resumed run taps as
// before (a line of two, written before the kind was kept, reads as well).
template <class A>
void transformer_sizes(A& ar, std::int32_t t) {
  if constexpr (A::reading) {
    ar.i.skip_comments();
    std::int32_t v[3] = {0, 0, 0};
    const std::string line = ar.i.raw_line();
    std::int32_t got = 0;
    const std::string_view s(line);
    std::size_t p = 0;
    while (got < 3) {
      p = s.find_first_not_of(' ', p);
      if (p == std::string_view::npos) break;
      const std::size_t e = std::min(s.find(' ', p), s.size());
      if (std::from_chars(s.data() + p, s.data() + e, v[got]).ec != std::errc()) break;
      ++got;
      p = e;
    }
    if (got < 2) {
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "WAKRO: Error while reading snap file");
      wakro_quit("READSNP", 1);
    }
    check_count("windings", v[0], ndde::nd3);
    e_s5::msiz(t) = v[0];
    e_s5tap::tss(t) = v[1];
    if (got == 3 && e_s5tap::tkind.allocated() && t <= e_s5tap::tkind.extent(1)) e_s5tap::tkind(t) = v[2];
  } else {
    const std::int32_t kind =
        e_s5tap::tkind.allocated() && t <= e_s5tap::tkind.extent(1) ? e_s5tap::tkind(t) : 0;
    ar.o.group(Layout::I15, 3, [&](std::int64_t k) {
      return k == 1 ? e_s5::msiz(t) : k == 2 ? e_s5tap::tss(t) : kind;
    });
  }
}

// The windings' two node lists; on reading, the subsystem and the nodes are
// checked to index the subsystem matrices.
template <class A>
void transformer_nodes(A& ar, std::int32_t t, std::int32_t w) {
  ar.i15(w, [&](std::int64_t i) -> std::int32_t& { return e_s5::mcb(i, t); });
  ar.i15(w, [&](std::int64_t i) -> std::int32_t& { return e_s5::ncb(i, t); });
  if constexpr (A::reading) {
    check_count("transformer subsystem", std::abs(std::int64_t{e_s5tap::tss(t)}), int2::nmat);
    for (std::int32_t i = 1; i <= w; ++i) {
      check_count("winding node", e_s5::mcb(i, t), ndde::nd1);
      check_count("winding node", e_s5::ncb(i, t), ndde::nd1);
    }
  }
}

// The windings' currents and the core's (UMEC) geometry, fluxes, saturation
// state and turns.
template <class A>
void transformer_core(A& ar, std::int32_t t, std::int32_t w) {
  for (auto* a : {&e_s0::cdctr, &e_s5::ccmc, &e_s5::ccmcd, &umec::fininjs, &umec::fininjsd, &umec::dvolt,
                  &umec::dvoltd})
    ar.r8(w, [&](std::int64_t i) -> double& { return (*a)(i, t); });
  ar.r8(8, [&](std::int64_t k) -> double& {
    switch (k) {
      case 1: return umec::awlm(t);
      case 2: return umec::lwlm(t);
      case 3: return umec::ayok(t);
      case 4: return umec::lyok(t);
      case 5: return umec::aol(t);
      case 6: return umec::lol(t);
      case 7: return umec::msl1(t);
      default: return umec::zes(t);
    }
  });
  ar.r8(w, [&](std::int64_t i) -> double& { return umec::nturn(i, t); });
  ar.r8(w, [&](std::int64_t i) -> double& { return umec::ai(i, t); });
  for (auto* a : {&umec::dphi, &umec::dphid}) {
    ar.r8(8, [&](std::int64_t i) -> double& { return (*a)(i, t); });
    ar.r8(8, [&](std::int64_t i) -> double& { return (*a)(i + 8, t); });
    ar.r8(7, [&](std::int64_t i) -> double& { return (*a)(i + 16, t); });
  }
  for (auto* a : {&umec::xt, &umec::yt}) {
    ar.r8(5, [&](std::int64_t i) -> double& { return (*a)(i, t); });
    ar.r8(5, [&](std::int64_t i) -> double& { return (*a)(i + 5, t); });
  }
  ar.i15(5, [&](std::int64_t k) -> std::int32_t& {
    switch (k) {
      case 1: return umec::satenab(t);
      case 2: return umec::wn(t);
      case 3: return umec::bn(t);
      case 4: return umec::cor(t);
      default: return e_s5::nummag(t);
    }
  });
  ar.i15(23, [&](std::int64_t i) -> std::int32_t& { return umec::satflag(i, t); });
}

// The transformers' block: each transformer's sizes, nodes, core state and
// its windings' coupling matrices.
template <class A>
void transformer_block(A& ar) {
  ar.label("!*** TRANSFORMER DATA");
  for (std::int32_t t = 1; t <= e_s5::jset; ++t) {
    transformer_sizes(ar, t);
    const std::int32_t w = e_s5::msiz(t);
    transformer_nodes(ar, t, w);
    transformer_core(ar, t, w);
    for (std::int32_t j = 1; j <= w; ++j)
      for (auto* a : {&e_s5::sm, &e_s5::hm, &e_s5tap::lorig, &e_s5tap::rorig})
        ar.r8(w, [&](std::int64_t i) -> double& { return (*a)(i, j, t); });
  }
}

// The lines' pooled dimensions; on reading, each is checked against the
// case's dimensions.
template <class A>
void line_dimensions(A& ar) {
  using namespace e_s7;
  ar.label("!*** TRANSMISSION LINE DATA");
  ar.label("!*** Dimensions:");
  ar.i15(6, [&](std::int64_t k) -> std::int32_t& {
    switch (k) {
      case 1: return ntwbufu;
      case 2: return ntermtu;
      case 3: return npoltu;
      case 4: return npolzu;
      case 5: return npolau;
      default: return nlmodeu;
    }
  });
  if constexpr (A::reading) {
    check_count("lines", line, ndde::nd6);
    check_count("modes", nlmodeu, ndde::nd36);
    check_count("travelling waves", ntwbufu, ndde::nd31);
    check_count("transformation terms", ntermtu, ndde::nd32);
    check_count("transformation poles", npoltu, ndde::nd33);
    check_count("surge-impedance poles", npolzu, ndde::nd35);
    check_count("attenuation poles", npolau, ndde::nd34);
  }
}

// The lines' names, end subsystems, conductor counts and models; on reading,
// the subsystems and conductor counts are checked to index the matrices and
// the modes.
template <class A>
void line_basic_info(A& ar, std::int32_t L, std::int32_t M) {
  using namespace e_s7;
  ar.name_label("!*** Basic info:");
  for (std::int32_t l = 1; l <= L; ++l) ar.name(tlname(l));
  for (auto* a : {&kss, &mss, &mode, &model}) ar.i15(L, [&](std::int64_t l) -> std::int32_t& { return (*a)(l); });
  ar.logicals(L, [&](std::int64_t l) -> bool& { return inflength(l); });
  if constexpr (A::reading) {
    std::int64_t modes = 0;
    for (std::int32_t l = 1; l <= L; ++l) {
      check_count("line subsystem", kss(l), int2::nmat);
      check_count("line subsystem", mss(l), int2::nmat);
      check_count("line conductors", mode(l), ndde::nd5);
      modes += mode(l);
    }
    check_count("line modes", modes, M);
  }
}

// On reading: the modes' nodes index the node voltages, the modes' rings fill
// the buffers in use exactly (a start from data takes the buffers its rings
// take: a ring of another length delays its mode by another time, and shifts
// the rings after it), and the fitted poles of the modes lie in the pooled
// pole tables.
void check_line_modes(std::int32_t M) {
  using namespace e_s7;
  std::int64_t slots = 0;
  for (std::int32_t k = 1; k <= M; ++k) {
    check_count("line node", mnode(k), ndde::nd1);
    check_count("line node", knode(k), ndde::nd1);
    check_count("travelling-wave ring", nt(k), ndde::nd31);
    if (nt(k) > 0) {
      check_count("ring position", m1(k), nt(k));
      check_range("ring position", m1(k), 1, nt(k));
    }
    slots += nt(k);
  }
  if (slots != ntwbufu)
    refuse_together("travelling-wave buffers",
                    "in use = " + std::to_string(ntwbufu) + ", in the rings of the lines' modes = " + std::to_string(slots),
                    "a start from data uses as many buffers as its lines' rings take");
  std::int64_t zpoles = 0, apoles = 0;
  for (std::int32_t k = 1; k <= M; ++k) {
    check_count("surge-impedance poles of a mode", npolez(k), npolzu);
    check_count("propagation poles of a mode", npolea(k), npolau);
    zpoles += npolez(k);
    apoles += npolea(k);
  }
  check_count("surge-impedance poles in use", zpoles, npolzu);
  check_count("propagation poles in use", apoles, npolau);
}

// The modes' pole counts, nodes and rings, then their constants and history.
template <class A>
void line_modes(A& ar, std::int32_t M) {
  using namespace e_s7;
  if (M <= 0) return;
  ar.label("!*** Modes:");
  for (auto* a : {&npolez, &npolea}) ar.i15(M, [&](std::int64_t k) -> std::int32_t& { return (*a)(k); });
  std::int32_t spare = 0;
  ar.i15(M, [&](std::int64_t k) -> std::int32_t& {
    spare = 0;
    return k <= npolet.extent(1) ? npolet(k) : spare;
  });
  for (auto* a : {&mnode, &knode, &nt, &m1}) ar.i15(M, [&](std::int64_t k) -> std::int32_t& { return (*a)(k); });
  if constexpr (A::reading) check_line_modes(M);
  for (auto* a : {&vdck, &vdcm, &ck, &cm, &ckk, &cmm, &a0a, &a0y, &fnt})
    ar.r8(M, [&](std::int64_t k) -> double& { return (*a)(k); });
  for (auto* a : {&fk, &fm})
    for (int c = 1; c <= 2; ++c) ar.r8(M, [&](std::int64_t k) -> double& { return (*a)(k, c); });
}

// The pooled tables: travelling-wave buffers, transformation terms, the
// recursive convolutions' data, and the Bergeron lines' split and shape.
template <class A>
void line_tables(A& ar, std::int32_t L) {
  using namespace e_s7;
  if (ntwbufu > 0) {
    ar.label("!*** Travelling wave buffers:");
    for (auto* a : {&bk, &bm, &vk, &vm}) ar.r8(ntwbufu, [&](std::int64_t k) -> double& { return (*a)(k); });
  }
  if (ntermtu > 0) {
    ar.label("!*** Constant transformation terms (TI):");
    ar.r8(ntermtu, [&](std::int64_t k) -> double& { return ti(k); });
  }
  if (npoltu > 0) {
    ar.label("!*** Recur. conv. data for transforms:");
    for (auto* a : {&skvt, &smvt, &skit, &smit, &alphat, &lamdat, &mut})
      ar.r8(npoltu, [&](std::int64_t k) -> double& { return (*a)(k); });
  }
  if (npolau > 0) {
    ar.label("!*** Recur. conv. data for prop. func.:");
    for (auto* a : {&ska, &sma, &alphaa, &lamdaa, &mua})
      ar.c1(npolau, [&](std::int64_t k) -> cplx& { return (*a)(k); });
  }
  if (npolzu > 0) {
    ar.label("!*** Fre-dep data for surge impedance:");
    for (auto* a : {&zreq, &zgc, &cky, &cmy}) ar.c1(npolzu, [&](std::int64_t k) -> cplx& { return (*a)(k); });
  }
  if (L > 0) {
    ar.label("!*** Additional bergeron data:");
    ar.r8(L, [&](std::int64_t l) -> double& { return splitk(l); });
    ar.r8(L, [&](std::int64_t l) -> double& { return shapek(1, l); });
    ar.r8(L, [&](std::int64_t l) -> double& { return shapek(2, l); });
  }
}

// The transmission lines' block: dimensions, lines, modes and pooled tables.
template <class A>
void line_block(A& ar) {
  line_dimensions(ar);
  const std::int32_t L = e_s7::line, M = e_s7::nlmodeu;
  line_basic_info(ar, L, M);
  line_modes(ar, M);
  line_tables(ar, L);
}

template <class A>
void directory_block(A& ar) {
  const std::int32_t D = ndde::nd58;
  const std::int32_t C = ndde::nd5;
  // The per-step walk over the lines goes by the directory rows filled.
  if constexpr (A::reading) e_s7::img = std::min(ndde::e_ndim(dim::tlines_total), D);
  for (std::int32_t l = 1; l <= D; ++l)
    ar.i15(13, [&](std::int64_t j) -> std::int32_t& { return e_s7::linemodel(l, j); });
  for (std::int32_t l = 1; l <= D; ++l)
    for (std::int32_t j = 1; j <= C; ++j)
      ar.r8(C, [&](std::int64_t i) -> double& { return e_s7::globaldm(i, j, l); });
  ar.i15(2, [&](std::int64_t k) -> std::int32_t& { return k == 1 ? e_s7eni::eni_server : e_s7eni::eni_client; });
  if constexpr (A::reading) {
    check_count("ENI server ends", e_s7eni::eni_server, ndde::nd69);
    check_count("ENI client ends", e_s7eni::eni_client, ndde::nd70);
  }
  for (std::int32_t l = 1; l <= D; ++l) ar.name(e_s7eni::line_name(l));
  std::int32_t c = 0;
  for (std::int32_t l = 1; l <= D && c < e_s7eni::eni_client; ++l) {
    if (e_s7::linemodel(l, 4) != 2) continue;
    ++c;
    std::int32_t n = e_s7::linemodel(l, 5);
    if constexpr (A::reading) check_count("ENI conductors", n, e_s7eni::eni_client_nodes.extent(1));
    ar.i15(2 + n, [&](std::int64_t k) -> std::int32_t& {
      if (k == 1) return e_s7eni::eni_client_ss(c);
      if (k == 2) return n;
      return e_s7eni::eni_client_nodes(k - 2, c);
    });
  }
}

template <class A>
void harmonic_block(A& ar) {
  using namespace harmimp;
  const std::int32_t R = harm_num;
  ar.label("!*** HARMONIC SOLUTION DATA");
  ar.i15(R, [&](std::int64_t k) -> std::int32_t& { return harm_type(k); });
  for (int c = 1; c <= 6; ++c) ar.i15(R, [&](std::int64_t k) -> std::int32_t& { return harm_node(k, c); });
  ar.i15(R, [&](std::int64_t k) -> std::int32_t& { return harm_ss(k); });
  for (int c = 1; c <= 5; ++c) ar.r8(R, [&](std::int64_t k) -> double& { return harm_var(k, c); });
}


// The phase-domain lines' names, conductor count, end subsystems and sizes
// (labels read exactly: the names follow them as whole lines).
template <class A>
void phase_domain_header(A& ar, std::int32_t P) {
  using namespace e_s7ph;
  ar.name_label("!*** PHASE DOMAIN TRANSMISSION LINE DATA");
  ar.name_label("!*** Basic Information:");
  for (std::int32_t l = 1; l <= P; ++l) ar.name(tlnameph(l));
  ar.i15(1, [&](std::int64_t) -> std::int32_t& { return nlmodeuph; });
  if constexpr (A::reading) check_count("phase-domain conductors", nlmodeuph, ndde::nd42);
  for (auto* a : {&kssph, &mssph, &modeph, &ppek, &ng, &maxtauj})
    ar.i15(P, [&](std::int64_t l) -> std::int32_t& { return (*a)(l); });
  ar.logicals(P, [&](std::int64_t l) -> bool& { return inflengthph(l); });
  if (nlmodeuph > 0) {
    ar.i15(nlmodeuph, [&](std::int64_t k) -> std::int32_t& { return mnodeph(k); });
    ar.i15(nlmodeuph, [&](std::int64_t k) -> std::int32_t& { return knodeph(k); });
  }
}

// The pooled tables of the phase-domain lines, in the order the file gives
// their sizes.
enum Pool : int { kHResidues, kYcResidues, kHTerms, kConstantH, kWaveRings, kPools };
// The pooled tables' sizes, summed over the lines as their blocks are walked.
using PooledSizes = std::int64_t[kPools];

// One phase-domain line's groups, conductors, propagation and admittance
// poles; adds what the line takes of the pooled tables to `sizes`.
template <class A>
void phase_domain_line(A& ar, std::int32_t l, PooledSizes& sizes) {
  using namespace e_s7ph;
  const std::int32_t m = modeph(l), G = ng(l);
  if constexpr (A::reading) {
    check_count("phase-domain conductors of a line", m, ndde::nd43);
    check_count("propagation groups", G, ndde::nd43);
    check_count("longest group delay", maxtauj(l), ndde::nd44);
  }
  numbered_label(ar, "!*** Data for Line: ", l);
  if (G > 0) {
    ar.label("!*** NG Parameters");
    ar.i15(G, [&](std::int64_t g) -> std::int32_t& { return pek2(g, l); });
    ar.i15(G, [&](std::int64_t g) -> std::int32_t& { return tauj(l, g); });
    ar.i15(G, [&](std::int64_t g) -> std::int32_t& { return nh(g, l); });
    ar.r8(G, [&](std::int64_t g) -> double& { return epsarr(l, g); });
  }
  if (m >= 1) {
    ar.label("!*** MODEPH Parameters");
    ar.i15(m, [&](std::int64_t k) -> std::int32_t& { return nyc(k, l); });
    for (auto* a : {&ihisk, &ihism, &iki, &imi}) ar.r8(m, [&](std::int64_t k) -> double& { return (*a)(k, l); });
    ar.r8(std::int64_t{m} * m, [&](std::int64_t k) -> double& {
      return gyc((k - 1) % m + 1, (k - 1) / m + 1, l);
    });
  }
  for (std::int32_t g = 1; g <= G; ++g) {
    const std::int32_t h = nh(g, l);
    if constexpr (A::reading) check_count("propagation poles", h, ndde::nd49);
    if (h > 0)
      for (auto* a : {&alfah, &betah, &gammah}) ar.c1(h, [&](std::int64_t k) -> cplx& { return (*a)(k, g, l); });
    if (m > 0) {
      ar.r8(m, [&](std::int64_t k) -> double& { return oldinterpk(k, g, l); });
      ar.r8(m, [&](std::int64_t k) -> double& { return oldinterpm(k, g, l); });
    }
    sizes[kHResidues] += std::int64_t{h} * m * m;
    sizes[kHTerms] += std::int64_t{h} * m;
    sizes[kConstantH] += std::int64_t{m} * m;
  }
  for (std::int32_t k = 1; k <= m; ++k) {
    const std::int32_t y = nyc(k, l);
    if constexpr (A::reading) check_count("admittance poles", y, ndde::nd49);
    if (y > 0)
      for (auto* a : {&alfayc, &xyck, &xycm}) ar.c1(y, [&](std::int64_t i) -> cplx& { return (*a)(i, k, l); });
    sizes[kYcResidues] += std::int64_t{y} * m;
  }
  sizes[kWaveRings] += (std::int64_t{maxtauj(l)} + 1) * m;
}

// The pooled tables: their sizes (on reading, to be the sizes the lines gave
// and to lie in the tables), then their contents.
template <class A>
void phase_domain_pools(A& ar, const PooledSizes& sizes) {
  using namespace e_s7ph;
  ar.label("!*** Sparse Stored Parameters");
  std::int32_t S[kPools];
  for (int k = 0; k < kPools; ++k) S[k] = static_cast<std::int32_t>(sizes[k]);
  ar.i15(kPools, [&](std::int64_t k) -> std::int32_t& { return S[k - 1]; });
  if constexpr (A::reading) {
    for (int k = 0; k < kPools; ++k)
      check_range("pooled line table", S[k], sizes[k], sizes[k]);
    check_count("H residues", S[kHResidues], hserc.size());
    check_count("Yc residues", S[kYcResidues], ycserc.size());
    check_count("H convolution terms", S[kHTerms], std::min(xhk.size(), xhm.size()));
    check_count("constant H terms", S[kConstantH], gh.size());
    check_count("wave rings", S[kWaveRings], std::min(ikr.size(), imr.size()));
  }
  if (S[kHResidues] > 0) ar.c1(S[kHResidues], [&](std::int64_t k) -> cplx& { return hserc(k); });
  if (S[kYcResidues] > 0) ar.c1(S[kYcResidues], [&](std::int64_t k) -> cplx& { return ycserc(k); });
  if (S[kHTerms] > 0) {
    ar.c1(S[kHTerms], [&](std::int64_t k) -> cplx& { return xhk(k); });
    ar.c1(S[kHTerms], [&](std::int64_t k) -> cplx& { return xhm(k); });
  }
  if (S[kConstantH] > 0) ar.r8(S[kConstantH], [&](std::int64_t k) -> double& { return gh(k); });
  if (S[kWaveRings] > 0) {
    ar.r8(S[kWaveRings], [&](std::int64_t k) -> double& { return ikr(k); });
    ar.r8(S[kWaveRings], [&](std::int64_t k) -> double& { return imr(k); });
  }
}

// The phase-domain lines' block: the lines, each line's data, the pooled
// tables.
template <class A>
void phase_domain_block(A& ar) {
  const std::int32_t P = e_s7ph::lineph;
  if constexpr (A::reading) check_count("phase-domain lines", P, ndde::nd41);
  phase_domain_header(ar, P);
  PooledSizes sizes = {};
  for (std::int32_t l = 1; l <= P; ++l) phase_domain_line(ar, l, sizes);
  phase_domain_pools(ar, sizes);
}

template <class A>
void mfdtd_block(A& ar) {
  using namespace e_s7mfd;
  using namespace e_tldyn;
  const std::int32_t Q = linemfd, N = ndde::nd55, Z = ndde::nd56, H = ndde::nd57;
  if constexpr (A::reading) check_count("MFDTD lines", Q, ndde::nd53);
  ar.name_label("!*** MFDTD TRANSMISSION LINE DATA");
  ar.name_label("!*** Basic Data:");
  for (std::int32_t l = 1; l <= Q; ++l) ar.name(tlnamemfd(l));
  ar.i15(1, [&](std::int64_t) -> std::int32_t& { return nlmodeumfd; });
  for (auto* a : {&kssmfd, &mssmfd, &modemfd}) ar.i15(Q, [&](std::int64_t l) -> std::int32_t& { return (*a)(l); });
  ar.label("!Node Numbers (All MFDTD Lines):");
  for (std::int32_t i = 1; i <= ndde::nd54; ++i)
    ar.i15(2, [&](std::int64_t k) -> std::int32_t& { return k == 1 ? knodemfd(i) : mnodemfd(i); });
  ar.logicals(Q, [&](std::int64_t l) -> bool& { return inflengthmfd(l); });
  for (std::int32_t l = 1; l <= Q; ++l) {
    numbered_label(ar, "!*** Static Data for Line:", l);
    ar.i15(1, [&](std::int64_t) -> std::int32_t& { return nmfd(l); });
    ar.i15(1, [&](std::int64_t) -> std::int32_t& { return npolesmfd(l); });
    ar.e20(1, [&](std::int64_t) -> double& { return dxmfd(l); });
    struct M { const char* label; wakro::FArray<double, 3>* a; };
    const M mats[] = {{"!Zeta1:", &zeta1mfd}, {"!Xhi1:", &xhi1mfd},   {"!Zp^-1:", &zplusimfd},
                      {"!Zm:", &zminusmfd},   {"!Yp:", &yplusmfd},    {"!Yp^-1:", &yplusimfd},
                      {"!Ym:", &yminusmfd},   {"!Yh:", &yhmfd}};
    for (const M& m : mats) {
      ar.label(m.label);
      for (std::int32_t i = 1; i <= N; ++i) ar.e20(N, [&](std::int64_t j) -> double& { return (*m.a)(i, j, l); });
    }
    ar.label("!Zeta2:");
    ar.e20(Z, [&](std::int64_t i) -> double& { return zeta2mfd(i, l); });
    ar.label("!Xhi2:");
    ar.e20(Z, [&](std::int64_t i) -> double& { return xhi2mfd(i, l); });
    ar.label("!Alpha:");
    for (std::int32_t i = 1; i <= Z; ++i) ar.ec(1, [&](std::int64_t) -> cplx& { return alphamfd(i, l); });
    ar.label("!Ai:");
    for (std::int32_t i = 1; i <= N; ++i)
      for (std::int32_t j = 1; j <= N; ++j)
        for (std::int32_t k = 1; k <= Z; ++k) ar.ec(1, [&](std::int64_t) -> cplx& { return aimfd(i, j, k, l); });
    numbered_label(ar, "!*** Dynamic Data for Line:", l);
    ar.label("!ISH:");
    ar.e20(N, [&](std::int64_t i) -> double& { return ishmfd(i, l); });
    ar.label("!ILH:");
    ar.e20(N, [&](std::int64_t i) -> double& { return irhmfd(i, l); });
    struct Hs { const char* label; wakro::FArray<double, 3>* a; };
    const Hs hist[] = {{"!History Voltage Array:", &vhmfd},
                       {"!History Current 1 Array:", &ihmfd1},
                       {"!History Current 2 Array:", &ihmfd2},
                       {"!History Current 3 Array:", &ihmfd3},
                       {"!Current Array:", &ihmfd0}};
    for (const Hs& h : hist) {
      ar.label(h.label);
      for (std::int32_t j = 1; j <= H; ++j) ar.e20(N, [&](std::int64_t i) -> double& { return (*h.a)(i, j, l); });
    }
    ar.label("!History Psi:");
    for (std::int32_t j = 1; j <= H; ++j)
      for (std::int32_t k = 1; k <= Z; ++k)
        for (std::int32_t i = 1; i <= N; ++i) ar.ec(1, [&](std::int64_t) -> cplx& { return psiihmfd(i, j, k, l); });
  }
}
std::istream* g_port_input = nullptr;

// One port number from the console (or the input a test gave).
std::int32_t port_answer() {
  std::string line;
  bool ok = false;
  if (g_port_input != nullptr) {
    ok = static_cast<bool>(std::getline(*g_port_input, line));
  } else {
    ok = read_console_line(line) == ConsoleRead::ok;
  }
  std::int32_t port = 0;
  std::string_view v(line);
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\r' || v.back() == '\t')) v.remove_suffix(1);
  const auto r = std::from_chars(v.data(), v.data() + v.size(), port);
  if (!ok || v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || port < 0) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "WAKRO: No valid ENI port number was entered");
    wakro_quit("READSNP", 0);
  }
  return port;
}

}  // namespace

// Without the design environment the ports of the ENI line ends are asked on
// the console, once per process (the links are made on the first run only).
void eni_ports() {
  if (quolbv3::guisoc != 0 || !ctrl::firstrun || ndde::e_ndim(dim::tlines_total) <= 0) return;
  std::int32_t server = 0, client = 0;
  const std::int32_t D = std::min(ndde::nd58, e_s7::linemodel.extent(1));
  for (std::int32_t l = 1; l <= D; ++l) {
    const std::int32_t role = e_s7::linemodel(l, 4);
    if (role != 1 && role != 2) continue;
    const std::string name(e_s7eni::line_name(l).trimmed());
    if (role == 1) {
      ++server;
      check_count("ENI server ends", server, e_s7eni::eni_server_port.extent(1));
      e_s7eni::eni_host(server) = "localhost";
      ListLine() << "Enter port number for ENI server " + name;
      e_s7eni::eni_server_port(server) = port_answer();
    } else {
      ++client;
      check_count("ENI client ends", client, e_s7eni::eni_client_port.extent(1));
      e_s7eni::eni_host(e_s7eni::eni_server + client) = "localhost";
      ListLine() << "Enter port number for ENI client " + name;
      e_s7eni::eni_client_port(client) = port_answer();
    }
  }
}

namespace {

constexpr std::string_view kChatterLabel = "!*** CHATTER REMOVAL STATE";
// A chatter counter restarts once its swings pass 5 either way (chatter_count):
// it never leaves -8..8.
constexpr std::int32_t kChatterCountBound = 8;

// The chatter-removal state of every subsystem: its pending chatter step, and
// the counters and report flags of its node voltages and branch currents. A
// snapshot written before this block existed ends without it; its run starts
// with no chatter step pending and every counter at rest, as a run from data.
template <class A>
void chatter_block(A& ar) {
  // (Groups of no values are left out: the reader's search for a group's
  // first line would pass the end lines.)
  if (int2::nmat <= 0) return;
  if constexpr (A::reading) {
    if (!ar.next_is(kChatterLabel)) {
      // Every snapshot with case-identity lines was written with the block.
      if (read_identity_lines())
        refuse_text("WAKRO: Snapshot without its chatter-removal block: " + std::string(kChatterLabel));
      for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
        temp1::stabck(ss) = false;
        for (std::int32_t k = 1; k <= e_s0::mbus(ss); ++k) {
          clvi::icntv(k, ss) = 0;
          clvi::nchat_rep(k, ss) = true;
        }
        for (std::int32_t k = 1; k <= int2::insb(ss); ++k) {
          clvi::icntbr(k, ss) = 0;
          clvi::brchat_rep(k, ss) = true;
        }
      }
      return;
    }
  } else {
    ar.label(kChatterLabel);
  }
  ar.l80(int2::nmat, [&](std::int64_t ss) -> bool& { return temp1::stabck(ss); });
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    const std::int32_t n = e_s0::mbus(ss), nb = int2::insb(ss);
    if (n > 0) {
      ar.i15(n, [&](std::int64_t k) -> std::int32_t& { return clvi::icntv(k, ss); });
      if constexpr (A::reading)
        for (std::int32_t k = 1; k <= n; ++k)
          check_range(item("chatter counter of node", k), clvi::icntv(k, ss), -kChatterCountBound, kChatterCountBound);
      ar.l80(n, [&](std::int64_t k) -> bool& { return clvi::nchat_rep(k, ss); });
    }
    if (nb > 0) {
      ar.i15(nb, [&](std::int64_t k) -> std::int32_t& { return clvi::icntbr(k, ss); });
      if constexpr (A::reading)
        for (std::int32_t k = 1; k <= nb; ++k)
          check_range(item("chatter counter of branch", k), clvi::icntbr(k, ss), -kChatterCountBound,
                      kChatterCountBound);
      ar.l80(nb, [&](std::int64_t k) -> bool& { return clvi::brchat_rep(k, ss); });
    }
  }
}

template <class A>
void state_blocks(A& ar) {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) subsystem_block(ar, ss);
  if (e_s5::jset > 0) transformer_block(ar);
  if (e_s7::line > 0) line_block(ar);
  ar.i15(1, [&](std::int64_t) -> std::int32_t& { return e_s7ph::lineph; });
  if (e_s7ph::lineph > 0) phase_domain_block(ar);
  ar.i15(1, [&](std::int64_t) -> std::int32_t& { return e_s7mfd::linemfd; });
  if (e_s7mfd::linemfd > 0) mfdtd_block(ar);
  if (ndde::e_ndim(dim::tlines_total) > 0) directory_block(ar);
  if (ndde::e_ndim(dim::cscs) > 0)
    ar.r8(ndde::e_ndim(dim::cscs), [&](std::int64_t k) -> double& { return quolbv3::cscs(k); });
  if (ndde::e_ndim(dim::cscr) > 0)
    ar.r8(ndde::e_ndim(dim::cscr), [&](std::int64_t k) -> double& { return quolbv3::cscr(k); });
  ar.i15(1, [&](std::int64_t) -> std::int32_t& { return harmimp::harm_num; });
  if constexpr (A::reading) check_count("harmonic records", harmimp::harm_num, harmimp::kMaxRecords);
  if (harmimp::harm_num > 0) harmonic_block(ar);
  chatter_block(ar);
}

// The step factors the line models keep beside the saved state, formed from
// it: a frequency-dependent line's exp(-p dt) of each surge-impedance pole
// (its zgc times its zreq) and a finite-difference line's exp(alpha dt) of each
// pole. The reader forms them from what it read and the writer from what it
// wrote, so that the run that wrote a snapshot and the run resumed from it step
// the lines with the same numbers.
void derived_line_state() {
  if (e_s7::line > 0 && e_s7::npolzu > 0 && e_s7::zexp.allocated()) {
    const std::int32_t n = std::min<std::int32_t>(e_s7::npolzu, e_s7::zexp.extent(1));
    for (std::int32_t k = 1; k <= n; ++k) e_s7::zexp(k) = e_s7::zgc(k) * e_s7::zreq(k);
  }
  if (e_s7mfd::linemfd > 0 && e_s7mfd::ealphamfd.allocated()) {
    const std::int32_t q = std::min(e_s7mfd::linemfd, e_s7mfd::ealphamfd.extent(2));
    for (std::int32_t l = 1; l <= q; ++l) {
      const std::int32_t m = std::clamp(e_s7mfd::npolesmfd(l), 0, e_s7mfd::ealphamfd.extent(1));
      for (std::int32_t p = 1; p <= m; ++p)
        e_s7mfd::ealphamfd(p, l) = std::exp(e_s7mfd::alphamfd(p, l) * e_s1::delt);
    }
  }
}

}  // namespace

void write_state_blocks(SnapOut& out) {
  Out ar{out};
  state_blocks(ar);
  derived_line_state();
}

void set_port_input(std::istream* in) { g_port_input = in; }

void read_state_blocks(SnapIn& in) {
  In ar{in};
  state_blocks(ar);
  derived_line_state();
}

}  // namespace wakro::snapshot
