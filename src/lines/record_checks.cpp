// The lines' own records, checked for the snapshot reader (see
// network/record_checks.h): the ends of every line of each model, the
// travelling-wave rings, the phase-domain ring pointers and delays, the MFDTD
// counts, and the line directory the per-step walk goes by, with the ENI client
// ends.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "diag/listout.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "lines/lines.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_tldyn.h"
#include "model/farray.h"
#include "model/fixedtext.h"
#include "model/ndde.h"
#include "network/record_checks.h"

namespace wakro::lines {
namespace {

// An end node of a line: a node of its subsystem, never ground (every line
// reader refuses a line end at ground: an end is grounded through a branch).
void end_node(const RecordChecker& c, std::string_view record, std::int64_t node, std::int32_t ss) {
  c.range(record, node, 1, e_s0::mbus(ss));
}

// The nodes of a line's conductors first + 1 .. first + n at both ends.
template <class A>
void line_ends(const RecordChecker& c, std::string_view what, std::int32_t l, std::int32_t ks, std::int32_t ms,
               std::int64_t first, std::int32_t n, const A& knode, const A& mnode) {
  const std::string of = std::string(" of ") + std::string(what);
  c.subsystem(record_item("sending-end subsystem" + of, l), ks);
  c.subsystem(record_item("receiving-end subsystem" + of, l), ms);
  // (Every line reader refuses a line of no conductor.)
  c.range(record_item("conductors" + of, l), n, 1, ndde::nd5);
  c.count(record_item("conductors" + of, l), first + n, knode.extent(1));
  for (std::int32_t k = 1; k <= n; ++k) {
    end_node(c, record_item("sending-end node" + of, l), knode(first + k), ks);
    end_node(c, record_item("receiving-end node" + of, l), mnode(first + k), ms);
  }
}

// "<what> <l> (<name>)", the name left out when blank.
std::string named_line(std::string_view what, std::int32_t l, const FixedText<200>& name) {
  const std::string_view trimmed = name.trimmed();
  return record_item(what, l) + (trimmed.empty() ? "" : " (" + std::string(trimmed) + ")");
}

// A line's infinite-length flag and the delay its ring holds, for one mode or
// group: a travel time of `slots` whole steps (checked to be at least one by
// the caller) and `fraction` of a step. The reader makes every ring of a line
// of infinite length one step long, whatever its travel time (wave_slots,
// wave_fraction), and a finite line's the whole steps of its travel time and a
// fraction below one.
void ring_of_flag(const RecordChecker& c, const std::string& line, bool infinite, const std::string& ring,
                  std::int32_t slots, double fraction) {
  LineOptions options;
  options.inflength = infinite;
  const double travel = slots + fraction;
  const bool agrees = infinite ? slots == wave_slots(travel, options) && fraction == wave_fraction(travel, options)
                               : fraction >= 0.0 && fraction < 1.0;
  if (!agrees)
    c.refuse_together(line,
                      std::string("infinite length = ") + (infinite ? "T" : "F") + ", " + ring + " = " +
                          std::to_string(slots) + " steps + " + list_real(fraction),
                      infinite ? "a line of infinite length delays by one step exactly"
                               : "a line of finite length delays by whole steps and a fraction of a step below one");
}

// Where a line's ring alone does not tell (one step and no fraction: a line of
// infinite length, or a finite one of one step), its waves do. The flag is
// refused with the value that belongs to the other kind of line: mode k of the
// line, mode q of the tables.
void waves_of_flag(const RecordChecker& c, const std::string& line, bool infinite, std::int32_t k, std::int64_t q,
                   const std::string& value, std::string_view why) {
  c.refuse_together(line,
                    std::string("infinite length = ") + (infinite ? "T" : "F") + ", " + record_item("delay of mode", k) +
                        " = " + std::to_string(e_s7::nt(q)) + " steps + " + list_real(e_s7::fnt(q)) + ", " + value,
                    why);
}

// A line of infinite length sends no wave on: the per-step update leaves its
// arriving-wave rings and (FRE-DEP) the waves it keeps of the last step as the
// reader cleared them, and a Bergeron line's history currents at zero. Mode k
// of line l (q of the tables), its ring slots r + 1 .. r + nt(q).
constexpr std::string_view kSendsNothing = "a line of infinite length sends no wave on";
void infinite_waves(const RecordChecker& c, const std::string& line, std::int32_t l, std::int32_t k, std::int32_t q,
                    std::int64_t r) {
  const auto zero = [&](const std::string& what, double v) {
    if (v != 0.0) waves_of_flag(c, line, true, k, q, what + " = " + list_real(v), kSendsNothing);
  };
  for (std::int32_t s = 1; s <= e_s7::nt(q); ++s) {
    zero("arriving wave at the sending end", e_s7::bk(r + s));
    zero("arriving wave at the receiving end", e_s7::bm(r + s));
  }
  if (static_cast<LineModel>(e_s7::model(l)) == LineModel::fredep) {
    for (std::int32_t j = 1; j <= 2; ++j) {
      zero("sending-end wave", e_s7::fk(q, j));
      zero("receiving-end wave", e_s7::fm(q, j));
    }
    return;
  }
  zero("sending-end history", e_s7::ck(q));
  zero("receiving-end history", e_s7::cm(q));
  zero("sending-end split history", e_s7::ckk(q));
  zero("receiving-end split history", e_s7::cmm(q));
}

// A finite FRE-DEP mode whose delay is whole steps sends on from each end, in
// each step, twice the modal voltage its ring holds at the slot just read less
// the wave that arrived there (which it keeps in fk(q, 1)): the wave it keeps
// in fk(q, 2). A line of infinite length keeps neither (both zero) while its
// voltage ring fills. The file keeps 16 digits of each value, so the three
// agree to kWaveAgreement of the largest.
constexpr double kWaveAgreement = 1.0e-12;
void finite_fredep_waves(const RecordChecker& c, const std::string& line, std::int32_t k, std::int32_t q,
                         std::int64_t r) {
  if (e_s7::fnt(q) != 0.0) return;  // (the voltage the fraction weighs is no longer in the ring)
  const std::int32_t read = e_s7::m1(q) - 1 < 1 ? e_s7::nt(q) : e_s7::m1(q) - 1;
  const auto agrees = [&](const char* end, double v, FArray<double, 2>& kept) {
    const double sent = 2.0 * v - kept(q, 1), largest = std::max({std::abs(kept(q, 2)), 2.0 * std::abs(v), std::abs(kept(q, 1))});
    if (!(std::abs(kept(q, 2) - sent) <= kWaveAgreement * largest))
      waves_of_flag(c, line, false, k, q,
                    std::string(end) + " wave = " + list_real(kept(q, 2)) + ", twice its voltage less the arriving wave = " +
                        list_real(sent),
                    "a line of finite length sends on twice its end's voltage less the wave that arrived");
  };
  agrees("sending-end", e_s7::vk(r + read), e_s7::fk);
  agrees("receiving-end", e_s7::vm(r + read), e_s7::fm);
}

// A finite Bergeron line sends into its rings, each step, the waves of the
// voltages its ends held in the step before, and takes its histories from
// them. A line of infinite length sends none: with every mode on the one-step
// ring such a line has (ring slots r + 1 .. r + n), its rings and histories
// stay zero while a voltage stands at its ends, which no finite line keeps.
// (A finite line has that state on the one step a voltage first reaches its
// ends; the file cannot tell it from a line of infinite length, so a snapshot
// of that step is refused too, and one taken a step later resumes.)
constexpr std::string_view kSendsFromVoltage = "a line of finite length sends a wave from an end that holds a voltage";
void finite_bergeron_waves(const RecordChecker& c, const std::string& line, std::int32_t l, std::int32_t first,
                           std::int64_t r) {
  const std::int32_t n = e_s7::mode(l);
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int32_t q = first + k;
    if (e_s7::nt(q) != 1 || e_s7::fnt(q) != 0.0) return;
    for (const double wave : {e_s7::bk(r + k), e_s7::bm(r + k), e_s7::ck(q), e_s7::cm(q), e_s7::ckk(q), e_s7::cmm(q)})
      if (wave != 0.0) return;
  }
  for (std::int32_t k = 1; k <= n; ++k)
    for (const auto& [end, node, ss] : {std::tuple{"sending", e_s7::knode(first + k), e_s7::kss(l)},
                                        std::tuple{"receiving", e_s7::mnode(first + k), e_s7::mss(l)}})
      if (e_s0::vdc(node, ss) != 0.0)
        waves_of_flag(c, line, false, 1, first + 1,
                      "every wave and history = 0, voltage at the " + std::string(end) + " end of " +
                          record_item("conductor", k) + " = " + list_real(e_s0::vdc(node, ss)),
                      kSendsFromVoltage);
}

// Step 1: the mode-domain lines. Each mode's ring agrees with the line's
// infinite-length flag, and so do its waves; a finite line's ring lies in the
// buffers, and the lines' transformation matrices lie in the pooled terms.
// (The snapshot reader has checked the rings to fill the buffers in use.)
void modal_lines(const RecordChecker& c) {
  std::int64_t first = 0, terms = 0, ring = 0;
  for (std::int32_t l = 1; l <= e_s7::line; ++l) {
    const std::int32_t n = e_s7::mode(l);
    line_ends(c, "line", l, e_s7::kss(l), e_s7::mss(l), first, n, e_s7::knode, e_s7::mnode);
    const std::string line = named_line("line", l, e_s7::tlname(l));
    const auto model = static_cast<LineModel>(e_s7::model(l));
    const std::int64_t line_ring = ring;
    for (std::int32_t k = 1; k <= n; ++k) {
      const std::int32_t q = static_cast<std::int32_t>(first) + k;
      if (!e_s7::inflength(l))
        c.range(record_item("travelling-wave ring of line", l), e_s7::nt(q), 1, ndde::nd31);
      ring_of_flag(c, line, e_s7::inflength(l), record_item("delay of mode", k), e_s7::nt(q), e_s7::fnt(q));
      if (e_s7::inflength(l))
        infinite_waves(c, line, l, k, q, ring);
      else if (model == LineModel::fredep)
        finite_fredep_waves(c, line, k, q, ring);
      ring += e_s7::nt(q);
    }
    if (!e_s7::inflength(l) && model == LineModel::bergeron)
      finite_bergeron_waves(c, line, l, static_cast<std::int32_t>(first), line_ring);
    first += n;
    terms += std::int64_t{n} * n;
  }
  c.count("transformation terms in use", terms, e_s7::ntermtu);
}

// The phase-domain lines' places in the pooled propagation tables, as the
// per-step walk advances them group by group (frephase_step).
struct PhasePools {
  std::int64_t gh = 0;     // gh entries
  std::int64_t hserc = 0;  // hserc entries
  std::int64_t xh = 0;     // xhk / xhm states
};

// The waves that arrive at the ends of phase-domain line l, as its step forms
// them from its rings through each group's propagation function: at conductor r
// of the sending end the sum over groups g and conductors j of
// gh(j, r) uk(j, g) + Re sum_q xhk(j, q) hserc(j, r, q), uk the wave the step
// took from the ring (oldinterpk), xhk the group's convolution states; at the
// receiving end the same of oldinterpm and xhm. A line of finite length keeps
// them as it receives them (iki, imi); one of infinite length clears them
// every step. The file keeps 16 digits of each value: the kept and the formed
// wave agree to kWaveAgreement of the sum of the terms' sizes.
constexpr std::string_view kReceivesItsRings = "a line of finite length receives the waves its rings bring";
void finite_phase_waves(const RecordChecker& c, std::int32_t l, PhasePools& at) {
  using namespace e_s7ph;
  const std::int32_t n = modeph(l);
  std::vector<double> formed(2 * static_cast<std::size_t>(n), 0.0), size(formed.size(), 0.0);
  const auto add = [&](std::int32_t end, std::int32_t r, double term) {
    const auto i = static_cast<std::size_t>(end * n + r - 1);
    formed[i] += term;
    size[i] += std::abs(term);
  };
  for (std::int32_t g = 1; g <= ng(l); ++g) {
    const std::int32_t poles = nh(g, l);
    for (std::int32_t j = 1; j <= n; ++j) {
      const std::int64_t x0 = at.xh + std::int64_t{j - 1} * poles, h0 = at.hserc + std::int64_t{j - 1} * n * poles;
      for (std::int32_t r = 1; r <= n; ++r) {
        const double G = gh(at.gh + std::int64_t{j - 1} * n + r);
        add(0, r, G * oldinterpk(j, g, l));
        add(1, r, G * oldinterpm(j, g, l));
        for (std::int32_t q = 1; q <= poles; ++q) {
          const cplx R = hserc(h0 + std::int64_t{r - 1} * poles + q);
          add(0, r, (xhk(x0 + q) * R).real());
          add(1, r, (xhm(x0 + q) * R).real());
        }
      }
    }
    at.gh += std::int64_t{n} * n;
    at.hserc += std::int64_t{n} * n * poles;
    at.xh += std::int64_t{n} * poles;
  }
  if (inflengthph(l)) return;
  for (std::int32_t end = 0; end <= 1; ++end)
    for (std::int32_t r = 1; r <= n; ++r) {
      const auto i = static_cast<std::size_t>(end * n + r - 1);
      const double kept = end == 0 ? iki(r, l) : imi(r, l);
      if (!(std::abs(kept - formed[i]) <= kWaveAgreement * size[i]))
        c.refuse_together(named_line("phase-domain line", l, tlnameph(l)),
                          std::string("infinite length = F, arriving wave at the ") + (end == 0 ? "sending" : "receiving") +
                              " end of " + record_item("conductor", r) + " = " + list_real(kept) +
                              ", the wave its rings bring there = " + list_real(formed[i]),
                          kReceivesItsRings);
    }
}

// Step 2: the phase-domain lines: ring pointers within the line's ring, group
// delays of one step up to its longest, and the waves at its ends as its flag
// has them.
void phase_lines(const RecordChecker& c) {
  using namespace e_s7ph;
  std::int64_t first = 0;
  PhasePools pools;
  for (std::int32_t l = 1; l <= lineph; ++l) {
    const std::string line = record_item("phase-domain line", l);
    line_ends(c, "phase-domain line", l, kssph(l), mssph(l), first, modeph(l), knodeph, mnodeph);
    first += modeph(l);
    const std::int32_t ring = maxtauj(l) + 1;
    c.range("ring pointer of " + line, ppek(l), 1, ring);
    std::int32_t longest = 0;
    for (std::int32_t g = 1; g <= ng(l); ++g) {
      c.range(record_item("ring read position of group", g) + " of " + line, pek2(g, l), 1, ring);
      // (A delay is at least one step: the reader rounds a shorter travel up.)
      c.range(record_item("delay of group", g) + " of " + line, tauj(l, g), 1, maxtauj(l));
      ring_of_flag(c, named_line("phase-domain line", l, tlnameph(l)), inflengthph(l), record_item("delay of group", g),
                   tauj(l, g), epsarr(l, g));
      longest = std::max(longest, tauj(l, g));
    }
    // The ring is as long as the longest delay needs (the reader's rule).
    if (ng(l) > 0) c.range("longest delay of " + line, maxtauj(l), longest, longest);
    // A line of infinite length clears the waves that arrive at its ends every step.
    for (std::int32_t k = 1; inflengthph(l) && k <= modeph(l); ++k)
      for (const auto& [end, wave] : {std::pair{"sending", iki(k, l)}, std::pair{"receiving", imi(k, l)}})
        if (wave != 0.0)
          c.refuse_together(named_line("phase-domain line", l, tlnameph(l)),
                            "infinite length = T, arriving wave at the " + std::string(end) + " end of " +
                                record_item("conductor", k) + " = " + list_real(wave),
                            kSendsNothing);
    finite_phase_waves(c, l, pools);
  }
  c.count("phase-domain conductors", first, nlmodeuph);
}

// The reals of MFDTD line l that its other stored values give, each against
// its stored value to kAdmittanceAgreement of its block's largest: the
// convolution coefficients zeta1, xi1, zeta2 and xi2, which mfdtd_setup forms
// from the line's poles, residues and the time step; Yp^-1, the inverse of Yp;
// and Yh = (G - C/dt) dx, which Yp = (C/dt + G/2) dx and Ym = (C/dt - G/2) dx
// give as (Yp - 3 Ym) / 2. Each block is formed in place and the stored values
// put back, so that the resumed run steps with the values the file holds.
// (Zp^-1 and Zm hold the line's R and L, and dx its length, which the file
// keeps nowhere else.)
constexpr double kAdmittanceAgreement = 1.0e-10;
void mfdtd_coefficients(const RecordChecker& c, std::int32_t l, const std::string& line) {
  using namespace e_s7mfd;
  const std::int32_t n = modemfd(l), m = npolesmfd(l), N = zeta1mfd.extent(1),
                     P = zeta2mfd.extent(1);
  struct Block {
    const char* name;
    double* first;
    std::int32_t size;
  };
  const Block blocks[] = {{"Zeta1", &zeta1mfd(1, 1, l), N * N},  {"Xhi1", &xhi1mfd(1, 1, l), N * N},
                          {"Yp^-1", &yplusimfd(1, 1, l), N * N}, {"Yh", &yhmfd(1, 1, l), N * N},
                          {"Zeta2", &zeta2mfd(1, l), P},         {"Xhi2", &xhi2mfd(1, l), P}};
  std::vector<std::vector<double>> kept;
  for (const Block& b : blocks) {
    kept.emplace_back(b.first, b.first + b.size);
    std::fill(b.first, b.first + b.size, 0.0);
  }
  mzeta1(m, n, e_s1::delt, l);
  mxhi1(m, n, e_s1::delt, l);
  mzeta2(m, e_s1::delt, l);
  mxhi2(m, e_s1::delt, l);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) {
      yplusimfd(i, j, l) = yplusmfd(i, j, l);
      yhmfd(i, j, l) = (yplusmfd(i, j, l) - 3.0 * yminusmfd(i, j, l)) / 2.0;
    }
  mmat_inv(yplusimfd, n, l);
  for (std::size_t k = 0; k < std::size(blocks); ++k) {
    const Block& b = blocks[k];
    double largest = 0.0;
    for (std::int32_t e = 0; e < b.size; ++e) largest = std::max(largest, std::abs(b.first[e]));
    if (k == 3)  // (Yh's terms are as large as Yp's and Ym's)
      for (std::int32_t e = 0; e < b.size; ++e)
        largest = std::max(
            {largest, std::abs((&yplusmfd(1, 1, l))[e]), std::abs((&yminusmfd(1, 1, l))[e])});
    std::vector<double> formed(b.first, b.first + b.size);
    std::copy(kept[k].begin(), kept[k].end(), b.first);
    for (std::int32_t e = 0; e < b.size; ++e) {
      bool agrees = std::abs(kept[k][e] - formed[e]) <= kAdmittanceAgreement * largest;
      const std::int32_t i = e % N + 1, j = e / N + 1;
      if (k == 2 && i <= n && j <= n) {
        // Yp^-1 by its product with Yp, which is the identity to the
        // agreement of the product's terms, however ill-conditioned Yp is.
        double residual = i == j ? -1.0 : 0.0, terms = 0.0;
        for (std::int32_t q = 1; q <= n; ++q) {
          residual += yplusmfd(i, q, l) * yplusimfd(q, j, l);
          terms += std::abs(yplusmfd(i, q, l) * yplusimfd(q, j, l));
        }
        agrees = std::abs(residual) <= kAdmittanceAgreement * std::max(terms, 1.0);
      }
      if (!agrees)
        c.refuse_real(
            std::string(b.name) +
                (k < 4 ? " (" + std::to_string(i) + ", " + std::to_string(j)
                       : " (" + std::to_string(e + 1)) +
                ") of " + line,
            kept[k][e], formed[e]);
    }
  }
}

// Step 3: the MFDTD lines' conductor, pole and segment counts, and the reals
// their other values give. A line keeps no state beyond its segments, nor
// beyond its last node (segment count + 1): a count lowered leaves state
// there. (A count raised over segments that hold no state reads as one the
// file cannot tell from the line's: its length, largest velocity and the
// segment length the count came from are not kept. Their infinite-length flag
// is kept, and no step reads it: either flag agrees with the state.)
void mfdtd_lines(const RecordChecker& c) {
  using namespace e_s7mfd;
  using namespace e_tldyn;
  std::int64_t first = 0;
  for (std::int32_t l = 1; l <= linemfd; ++l) {
    const std::string line = record_item("MFDTD line", l);
    c.count("conductors of " + line, modemfd(l), ndde::nd55);
    c.count("poles of " + line, npolesmfd(l), ndde::nd56);
    // (The reader refuses a line shorter than one segment.)
    c.range("segments of " + line, nmfd(l), 1, ndde::nd57 - 1);
    line_ends(c, "MFDTD line", l, kssmfd(l), mssmfd(l), first, modemfd(l), knodemfd, mnodemfd);
    first += modemfd(l);
    const std::string named = named_line("MFDTD line", l, tlnamemfd(l));
    for (std::int32_t s = nmfd(l) + 1; s <= vhmfd.extent(2); ++s)
      for (std::int32_t i = 1; i <= vhmfd.extent(1); ++i) {
        bool held = s > nmfd(l) + 1 && vhmfd(i, s, l) != 0.0;
        for (const auto* a : {&ihmfd0, &ihmfd1, &ihmfd2, &ihmfd3})
          held = held || (*a)(i, s, l) != 0.0;
        for (std::int32_t p = 1; p <= psiihmfd.extent(3); ++p)
          held = held || psiihmfd(i, s, p, l) != cplx(0.0);
        if (held)
          c.refuse_together(named,
                            "segments = " + std::to_string(nmfd(l)) + ", state of " +
                                record_item("segment", s) + " or its far node held",
                            "a line keeps no state beyond its segments");
      }
    mfdtd_coefficients(c, l, named);
  }
}

// The lines of each model's tables named by the directory rows so far, and
// their conductors: a row's line is the next of its tables, its conductor
// offset the conductors before it there, as the case reader places the lines
// it reads (dslint). Bergeron and FRE-DEP lines share their tables.
struct Placed {
  std::int32_t lines = 0;
  std::int64_t conductors = 0;
  std::int64_t terms = 0;  // transformation terms (mode-domain lines)
};
// The three kinds of tables, each by a model that keeps its lines there.
constexpr LineModel kTablesOf[] = {LineModel::bergeron, LineModel::frephase, LineModel::mfdtd};
constexpr std::string_view kTablesName[] = {"mode-domain lines", "phase-domain lines", "MFDTD lines"};
constexpr std::string_view kLineOfTables[] = {"line", "phase-domain line", "MFDTD line"};
using Places = std::array<Placed, std::size(kTablesOf)>;
std::size_t tables_index(LineModel m) { return m == LineModel::frephase ? 1 : m == LineModel::mfdtd ? 2 : 0; }

// The admittance the case reader forms for line ml of a model (n conductors,
// the first at o + 1, its transformation at t + 1) from the line's own tables,
// into e_s7::dm (the reader's, free on resume): a mode-domain line's
// T diag(a0y) T^T, a phase-domain line's gyc, an MFDTD line's (C/dt + G) dx,
// which its Y+ = (C/dt + G/2) dx and Y- = (C/dt - G/2) dx give as
// Y+ + (Y+ - Y-) / 2.
void admittance_of_line(LineModel model, std::int32_t ml, std::int32_t o, std::int64_t t, std::int32_t n) {
  if (model == LineModel::bergeron || model == LineModel::fredep) {
    line_admittance(static_cast<std::int32_t>(t), o, n);
    return;
  }
  for (std::int32_t q = 1; q <= n; ++q)
    for (std::int32_t r = 1; r <= n; ++r) {
      if (model == LineModel::frephase) {
        e_s7::dm(r, q) = e_s7ph::gyc(r, q, ml);
      } else {
        const double y_plus = e_s7mfd::yplusmfd(r, q, ml), y_minus = e_s7mfd::yminusmfd(r, q, ml);
        e_s7::dm(r, q) = y_plus + (y_plus - y_minus) / 2.0;
      }
    }
}

// The admittance a directory row keeps (e_s7::globaldm) is its line's, as the
// case reader left it there: a row moved onto a line of another model carries
// another line's. The file keeps each value to 16 digits; the two agree to
// ten, relative to the block's largest value. Beyond the row's n conductors
// the block is zero; a row of no model (an ENI client end, whose admittance
// comes from the other process) is checked for that alone.
void row_admittance(const RecordChecker& c, std::int32_t l, const std::string& row, std::int32_t n, bool of_line) {
  double largest = 0.0;
  for (std::int32_t q = 1; of_line && q <= n; ++q)
    for (std::int32_t r = 1; r <= n; ++r) largest = std::max(largest, std::abs(e_s7::dm(r, q)));
  const std::int32_t C = e_s7::globaldm.extent(1);
  for (std::int32_t q = 1; q <= C; ++q)
    for (std::int32_t r = 1; r <= C; ++r) {
      const bool conductor = r <= n && q <= n;
      if (conductor && !of_line) continue;
      const double kept = e_s7::globaldm(r, q, l), line = conductor ? e_s7::dm(r, q) : 0.0;
      if (!(std::abs(kept - line) <= (conductor ? kAdmittanceAgreement * largest : 0.0)))
        c.refuse_real("admittance (" + std::to_string(r) + ", " + std::to_string(q) + ") of " + row, kept, line);
    }
}

// "<line> <ml> (<name>)" of a model's tables.
std::string line_of(const ModelTables& t, std::int32_t ml, std::size_t tables) {
  return named_line(kLineOfTables[tables], ml, t.name(ml));
}

constexpr std::string_view kLineStamp = "a line fills the entries between its conductors' nodes at each end";

// A conductor of a line whose two ends are one node of one subsystem adds
// nothing to the matrix (the line's admittance cancels there): a start from
// data stops at the singular matrix this leaves, which a resume never
// factorises again. (An ENI server end keeps only its own end here.)
void shorted_conductors(const RecordChecker& c, const ModelTables& t, std::int32_t ml, std::size_t tables,
                        std::int64_t first, std::int32_t n) {
  if (t.kss(ml) != t.mss(ml)) return;
  const std::string line = line_of(t, ml, tables);
  for (std::int32_t k = 1; k <= n; ++k)
    if (t.knode(first + k) == t.mnode(first + k))
      c.refuse_together(record_item("conductor", k) + " of " + line,
                        "sending-end node = " + std::to_string(t.knode(first + k)) +
                            ", receiving-end node = " + std::to_string(t.mnode(first + k)),
                        "both ends of a line at one node of subsystem " + std::to_string(t.kss(ml)));
}

// The line a row with a model names: the place the rows before it leave in its
// model's tables (a row repeated, left out or moved names another), and that
// line's conductors; its admittance into e_s7::dm.
void directory_line(const RecordChecker& c, std::int32_t l, const std::string& row, Places& places) {
  using namespace layout::directory;
  auto col = [&](std::int32_t j) { return e_s7::linemodel(l, j); };
  const auto model = static_cast<LineModel>(col(kModel));
  const ModelTables t = tables_of(model);
  const std::size_t k = tables_index(model);
  Placed& p = places[k];
  ++p.lines;
  c.count(std::string(kTablesName[k]) + " up to " + row, p.lines, t.lines);
  const std::int32_t ml = col(kModelLine);
  c.range("line of " + row, ml, p.lines, p.lines);
  // A mode-domain line keeps its own model (Bergeron or FRE-DEP), which the
  // row must name.
  if (model == LineModel::bergeron || model == LineModel::fredep) c.range("model of " + row, col(kModel), e_s7::model(ml), e_s7::model(ml));
  c.range("conductors of " + row, col(kConductors), t.mode(ml), t.mode(ml));
  c.range("conductor offset of " + row, col(kModeOffset), p.conductors, p.conductors);
  const std::int32_t n = t.mode(ml);
  c.count("conductors of " + row, p.conductors + n, extent_of(t.knode));
  if (col(kRole) == kOrdinary) shorted_conductors(c, t, ml, k, p.conductors, n);
  // The entries the line's admittance is stamped into at its ends.
  for_each_stamped_end(t, ml, p.conductors, n, col(kRole),
                       [&](std::int32_t ss, std::span<const std::int32_t> nodes, bool sending) {
                         c.stamped(record_of_subsystem((sending ? "sending end of " : "receiving end of ") +
                                                           line_of(t, ml, k),
                                                       ss),
                                   "nodes = " + record_nodes(nodes), ss, nodes, kLineStamp);
                       });
  admittance_of_line(model, ml, col(kModeOffset), p.terms, n);
  p.conductors += n;
  p.terms += std::int64_t{n} * n;
}

// The model, role, conductors and signals of one directory row.
void directory_row(const RecordChecker& c, std::int32_t l, Places& places) {
  using namespace layout::directory;
  auto col = [&](std::int32_t j) { return e_s7::linemodel(l, j); };
  const std::string row = record_item("line directory row", l);
  const std::int32_t model = col(kModel);
  c.range("model of " + row, model, kNoModel, static_cast<std::int32_t>(LineModel::mfdtd));
  c.range("ENI role of " + row, col(kRole), kOrdinary, kClientEnd);
  c.count("conductors of " + row, col(kConductors), ndde::nd_conductors());
  // An ENI client end, and only it, has no model of its own.
  if ((model == kNoModel) != (col(kRole) == kClientEnd)) c.refuse_range("ENI role of " + row, col(kRole), kClientEnd, kClientEnd);
  if (model != kNoModel) directory_line(c, l, row, places);
  row_admittance(c, l, row, col(kConductors), model != kNoModel);
  const std::int32_t sends = ndde::e_ndim(dim::cscs), receives = ndde::e_ndim(dim::cscr);
  for (auto [start, count, size] : {std::tuple{kSendingSends, kSendingSendCount, sends},
                                    std::tuple{kSendingReceives, kSendingReceiveCount, receives},
                                    std::tuple{kReceivingSends, kReceivingSendCount, sends},
                                    std::tuple{kReceivingReceives, kReceivingReceiveCount, receives}}) {
    c.count(record_item("signal count in column", count) + " of " + row, col(count), size);
    if (col(count) > 0)
      c.range(record_item("first signal in column", start) + " of " + row, col(start), 1, size - col(count) + 1);
  }
}

// Step 4: the directory rows the per-step walk goes by, which name every line
// of every model once, in reading order; and the ENI client ends.
void directory(const RecordChecker& c) {
  if (ndde::e_ndim(dim::tlines_total) <= 0) return;
  std::int32_t servers = 0;
  std::vector<std::int32_t> client_rows;
  Places places{};
  // The ENI ends are the case's: the dimension pass of a case with line
  // records counts them there, whatever larger size its map gives, as it does
  // the lines and client ends of TLINES-TOTAL. (The run asks a port for each
  // end the rows name.)
  if (ndde::e_ndim(dim::tlines_total) == e_s7::line + e_s7ph::lineph + e_s7mfd::linemfd + e_s7eni::eni_client)
    for (const auto& [what, ends, key] : {std::tuple{"ENI server ends", e_s7eni::eni_server, dim::eni_servers},
                                          std::tuple{"ENI client ends", e_s7eni::eni_client, dim::eni_clients}})
      c.range(what, ends, ndde::e_ndim(key), ndde::e_ndim(key));
  for (std::int32_t l = 1; l <= e_s7::img; ++l) {
    directory_row(c, l, places);
    const std::int32_t role = e_s7::linemodel(l, layout::directory::kRole);
    servers += role == kServerEnd ? 1 : 0;
    if (role == kClientEnd) client_rows.push_back(l);
    for (const auto& [kind, ends, of_case] :
         {std::tuple{"server", servers, e_s7eni::eni_server},
          std::tuple{"client", static_cast<std::int32_t>(client_rows.size()), e_s7eni::eni_client}})
      if (ends > of_case)
        c.refuse_together(record_item("line directory row", l),
                          "ENI role = " + std::to_string(role) + ", ENI " + kind +
                              " ends = " + std::to_string(of_case),
                          std::string("a row beyond the case's ENI ") + kind + " ends");
  }
  const auto clients = static_cast<std::int32_t>(client_rows.size());
  for (std::size_t k = 0; k < places.size(); ++k) {
    const std::int32_t lines = tables_of(kTablesOf[k]).lines;
    c.range(std::string(kTablesName[k]) + " in the line directory", places[k].lines, lines, lines);
  }
  // The ENI ends the rows name are the ones counted.
  c.range("ENI server ends in the line directory", servers, e_s7eni::eni_server, e_s7eni::eni_server);
  c.range("ENI client ends in the line directory", clients, e_s7eni::eni_client, e_s7eni::eni_client);
  for (std::int32_t k = 1; k <= e_s7eni::eni_client; ++k) {
    const std::int32_t ss = e_s7eni::eni_client_ss(k);
    c.subsystem(record_item("subsystem of ENI client end", k), ss);
    for (std::int32_t j = 1; j <= e_s7eni::eni_client_nodes.extent(1); ++j)
      c.node(record_item("node of ENI client end", k), e_s7eni::eni_client_nodes(j, k), ss);
    // The entries the admittance it receives is stamped into (its row's conductors).
    const std::int32_t n = e_s7::linemodel(client_rows[static_cast<std::size_t>(k - 1)], layout::directory::kConductors);
    c.count(record_item("conductors of ENI client end", k), n, e_s7eni::eni_client_nodes.extent(1));
    const std::vector<std::int32_t> nodes = client_end_nodes(k, n);
    c.stamped(record_of_subsystem(record_item("ENI client end", k), ss), "nodes = " + record_nodes(nodes), ss, nodes,
              kLineStamp);
  }
}

}  // namespace

void check_line_records(const RecordChecker& c) {
  modal_lines(c);
  phase_lines(c);
  mfdtd_lines(c);
  directory(c);
}

}  // namespace wakro::lines
