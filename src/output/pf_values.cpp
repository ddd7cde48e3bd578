// Load-flow display values (see pf_values.h).
//
// Reads: pf_display tables, e_s0::vdc, branches::cbr/ief/iet, e_s0::cdctro,
// e_s5::mcb/ncb, the line directory e_s7::linemodel with the end tables of each
// line model, e_s0::cdctl. Leaves: pf_display::pfdata (bus voltage estimates)
// and pfpqdata (current, P, Q per measuring branch).
#include "output/pf_values.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "diag/message.h"
#include "link/bindings.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s7.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/ndde.h"
#include "model/pf_display.h"
#include "model/quolbv3.h"
#include "output/runtime_messages.h"

namespace {

using namespace pf_display;

constexpr std::int32_t kLink = 0;
constexpr std::int32_t kBusValues = 15;
constexpr std::int32_t kBranchValues = 16;

constexpr double kLagRate = 50.0;                        // 1 / time constant [1/s]
constexpr double kSpreadToLineRms = 0.7404804896930618;  // pi / (3 sqrt 2)
constexpr double kSpreadToCurrentRms = 0.42751661005395525;  // pi / (3 sqrt 6)
constexpr double kOneOverSqrt3 = 0.577350269189626;

// Columns of the line directory and the line models.
constexpr std::int32_t kModelColumn = 1;
constexpr std::int32_t kIndexColumn = 2;
constexpr std::int32_t kOffsetColumn = 3;
constexpr std::int32_t kPhaseDomain = 2;
constexpr std::int32_t kMfdtd = 3;

bool checked = false;
// Rows and entries that arrived (see set_pf_rows).
wakro::PfRows received;

template <typename A>
bool inside(const A& a, std::int64_t i) {
  return a.allocated() && i >= 1 && i <= a.extent(1);
}
template <typename A>
bool inside(const A& a, std::int64_t i, std::int64_t j) {
  return a.allocated() && i >= 1 && i <= a.extent(1) && j >= 1 && j <= a.extent(2);
}

// Node voltage of node n of subsystem s; 0 for no node.
double v(std::int32_t n, std::int32_t s) { return n >= 1 ? e_s0::vdc(n, s) : 0.0; }

struct RmsGains {
  double c1;
  double c2;
};
// Gains of the update y <- (y + sqrt(y^2 + c1 u^2)) / (2 c2). For a small step
// (x = 50 dt below 1) it settles where y^2 is the mean of u^2: the RMS value.
RmsGains one_node_gains(double x) {
  if (x >= 1.0) return {8.0, 2.0};
  const double c2 = 1.0 + x;
  return {4.0 * x * c2, c2};
}
double rms_update(double y, double u, RmsGains g) { return (y + std::sqrt(y * y + g.c1 * u * u)) * 0.5 / g.c2; }
double lag_update(double y, double u, double a) { return a * y + (1.0 - a) * u; }

// Ends and nodes of conductor c of line l; false when the line names nothing.
struct ConductorEnds {
  std::int32_t sendingSubsystem, receivingSubsystem, sendingNode, receivingNode;
};
bool conductor_ends(std::int32_t l, std::int32_t c, ConductorEnds& e) {
  if (!inside(e_s7::linemodel, l, kOffsetColumn) || !inside(e_s0::cdctl, c, 2) || l > e_s0::cdctl.extent(3))
    return false;
  const std::int32_t model = e_s7::linemodel(l, kModelColumn);
  const std::int32_t line = e_s7::linemodel(l, kIndexColumn);
  const std::int64_t entry = std::int64_t{e_s7::linemodel(l, kOffsetColumn)} + c;
  auto take = [&](const auto& ks, const auto& ms, const auto& kn, const auto& mn) {
    if (!inside(ks, line) || !inside(ms, line) || !inside(kn, entry) || !inside(mn, entry)) return false;
    const auto at = static_cast<std::int32_t>(entry);
    e = {ks(line), ms(line), kn(at), mn(at)};
    return true;
  };
  if (model < kPhaseDomain) return take(e_s7::kss, e_s7::mss, e_s7::knode, e_s7::mnode);
  if (model == kPhaseDomain) return take(e_s7ph::kssph, e_s7ph::mssph, e_s7ph::knodeph, e_s7ph::mnodeph);
  if (model == kMfdtd) return take(e_s7mfd::kssmfd, e_s7mfd::mssmfd, e_s7mfd::knodemfd, e_s7mfd::mnodemfd);
  return false;
}

// ---- the check of the tables against the case

void drop(const std::string& what) {
  wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kSingleLine,
                "Load-flow display: " + what + " names nothing in the case and is dropped.");
}

std::int32_t buses() { return pfsubs.allocated() ? std::min({nbus, pfsubs.extent(1), received.buses}) : 0; }
std::int32_t measuring_branches() {
  return pfbus.allocated() ? std::min({nwb, pfbus.extent(1), received.branches}) : 0;
}
// Entries per phase of the branch (0), winding (1) and conductor (2) tables.
template <typename A>
std::int32_t entries(const A& table, int kind) {
  return std::min(table.extent(3), received.entries[kind]);
}

void check_bus(std::int32_t k) {
  const std::int32_t n = pfsubs(k, 2);
  if (n < 1 || n > 3) return;
  const std::int32_t s = pfsubs(k, 1);
  bool ok = e_s0::vdc.allocated() && s >= 1 && s <= e_s0::vdc.extent(2);
  for (std::int32_t p = 1; p <= 3 && ok; ++p) ok = pfnodes(k, p) >= 0 && pfnodes(k, p) <= e_s0::vdc.extent(1);
  if (ok) return;
  drop("bus " + std::to_string(k));
  pfsubs(k, 2) = 0;
}

// A measuring branch stands only at a bus that the check examined (one of the
// announced buses): a row beyond them was never checked against the case.
void check_branch(std::int32_t k) {
  const std::int32_t j = pfbus(k);
  if (j < 1 || j > buses()) {
    drop("measuring branch " + std::to_string(k));
    pfbus(k) = 0;
    return;
  }
  const std::int32_t s = pfsubs(j, 1);
  const std::string tag = " of measuring branch " + std::to_string(k);
  for (std::int32_t p = 1; p <= 3; ++p) {
    for (std::int32_t m = 1; m <= entries(pfbranch, 0); ++m) {
      const std::int32_t b = pfbranch(k, p, m);
      if (b == 0 || (inside(branches::cbr, b, s) && inside(branches::ief, b, s) && inside(branches::iet, b, s)))
        continue;
      drop("branch " + std::to_string(b) + tag);
      pfbranch(k, p, m) = 0;
    }
    for (std::int32_t m = 1; m <= entries(pftwindings, 1); ++m) {
      const std::int32_t t = pftwindings(k, p, m, 1);
      const std::int32_t w = pftwindings(k, p, m, 2);
      if (t == 0 || w == 0) continue;
      if (inside(e_s0::cdctro, w, t) && inside(e_s5::mcb, w, t) && inside(e_s5::ncb, w, t)) continue;
      drop("winding " + std::to_string(w) + " of transformer " + std::to_string(t) + tag);
      pftwindings(k, p, m, 1) = 0;
      pftwindings(k, p, m, 2) = 0;
    }
    for (std::int32_t m = 1; m <= entries(pfconductors, 2); ++m) {
      const std::int32_t l = pfconductors(k, p, m, 1);
      const std::int32_t c = pfconductors(k, p, m, 2);
      ConductorEnds e{};
      if (l == 0 || c == 0 || conductor_ends(l, c, e)) continue;
      drop("conductor " + std::to_string(c) + " of line " + std::to_string(l) + tag);
      pfconductors(k, p, m, 1) = 0;
      pfconductors(k, p, m, 2) = 0;
    }
  }
}

void check_tables() {
  for (std::int32_t k = 1; k <= buses(); ++k) check_bus(k);
  for (std::int32_t k = 1; k <= measuring_branches(); ++k) check_branch(k);
  checked = true;
}

// ---- the estimates

void update_bus(std::int32_t k, double x, double a) {
  const std::int32_t s = pfsubs(k, 1);
  double& y = pfdata(k);
  switch (pfsubs(k, 2)) {
    case 1:
      y = rms_update(y, v(pfnodes(k, 1), s), one_node_gains(x));
      return;
    case 2: {
      double u = std::fabs(v(pfnodes(k, 1), s));
      if (pfnodes(k, 2) > 0) u += std::fabs(v(pfnodes(k, 2), s));
      const RmsGains g = x < 1.0 ? RmsGains{x * (1.0 + x), 1.0 + x} : RmsGains{2.0, 2.0};
      y = rms_update(y, u, g);
      return;
    }
    case 3: {
      const double v1 = v(pfnodes(k, 1), s), v2 = v(pfnodes(k, 2), s), v3 = v(pfnodes(k, 3), s);
      const double spread = std::max({v1, v2, v3}) - std::min({v1, v2, v3});
      y = lag_update(y, kSpreadToLineRms * spread, a);
      return;
    }
    default:
      y = 0.0;
      return;
  }
}

// Current of phase p of measuring branch k into node n of subsystem s.
double phase_current(std::int32_t k, std::int32_t p, std::int32_t n, std::int32_t s) {
  double i = 0.0;
  for (std::int32_t m = 1; m <= entries(pfbranch, 0); ++m) {
    const std::int32_t b = pfbranch(k, p, m);
    if (b == 0) continue;
    if (branches::ief(b, s) == n)
      i += branches::cbr(b, s);
    else if (branches::iet(b, s) == n)
      i -= branches::cbr(b, s);
  }
  for (std::int32_t m = 1; m <= entries(pftwindings, 1); ++m) {
    const std::int32_t t = pftwindings(k, p, m, 1);
    const std::int32_t w = pftwindings(k, p, m, 2);
    if (t == 0 || w == 0) continue;
    if (e_s5::mcb(w, t) == n)
      i += e_s0::cdctro(w, t);
    else if (e_s5::ncb(w, t) == n)
      i -= e_s0::cdctro(w, t);
  }
  for (std::int32_t m = 1; m <= entries(pfconductors, 2); ++m) {
    const std::int32_t l = pfconductors(k, p, m, 1);
    const std::int32_t c = pfconductors(k, p, m, 2);
    ConductorEnds e{};
    if (l == 0 || c == 0 || !conductor_ends(l, c, e)) continue;
    if (e.sendingSubsystem == s && e.sendingNode == n)
      i += e_s0::cdctl(c, 1, l);
    else if (e.receivingSubsystem == s && e.receivingNode == n)
      i += e_s0::cdctl(c, 2, l);
  }
  return i;
}

void update_branch(std::int32_t k, double x, double a) {
  const std::int32_t j = pfbus(k);
  if (j < 1 || j > buses()) return;  // keeps its values
  const std::int32_t s = pfsubs(j, 1);
  switch (pfsubs(j, 2)) {
    case 3: {
      double current[3];
      double P = 0.0, Q = 0.0;
      for (std::int32_t p = 1; p <= 3; ++p) {
        const std::int32_t next = p % 3 + 1;
        const std::int32_t prev = (p + 1) % 3 + 1;
        const double I = phase_current(k, p, pfnodes(j, p), s);
        current[p - 1] = I;
        P += I * v(pfnodes(j, p), s);
        Q += kOneOverSqrt3 * I * (v(pfnodes(j, next), s) - v(pfnodes(j, prev), s));
      }
      const double spread = std::max({current[0], current[1], current[2]}) -
                            std::min({current[0], current[1], current[2]});
      pfpqdata(k, 1) = a * pfpqdata(k, 1) + kSpreadToCurrentRms * (1.0 - a) * spread;
      pfpqdata(k, 2) = lag_update(pfpqdata(k, 2), P, a);
      pfpqdata(k, 3) = lag_update(pfpqdata(k, 3), Q, a);
      return;
    }
    case 1: {
      const std::int32_t n = pfnodes(j, 1);
      const double I = phase_current(k, 1, n, s);
      pfpqdata(k, 1) = rms_update(pfpqdata(k, 1), I, one_node_gains(x));
      pfpqdata(k, 2) = lag_update(pfpqdata(k, 2), I * v(n, s), a);
      // The two single-value estimates follow the RMS values, so their product
      // is the apparent power (half the product of the peaks); the reactive
      // power is its share that P leaves over.
      const double S = pfdata(j) * pfpqdata(k, 1);
      const double P = pfpqdata(k, 2);
      if (P < S) pfpqdata(k, 3) = std::sqrt(std::max(S * S - P * P, 0.0));
      return;
    }
    default:
      pfpqdata(k, 1) = 0.0;
      pfpqdata(k, 2) = 0.0;
      pfpqdata(k, 3) = 0.0;
      return;
  }
}

}  // namespace

namespace wakro {
void reset_pf_check() {
  checked = false;
  received = PfRows{};
}
void set_pf_rows(const PfRows& rows) { received = rows; }
}  // namespace wakro

void calc_pf() {
  if (!checked) check_tables();
  const double x = kLagRate * e_s1::delt;
  const double a = std::exp(-x);
  for (std::int32_t k = 1; k <= buses(); ++k) update_bus(k, x, a);
  for (std::int32_t k = 1; k <= measuring_branches(); ++k) update_branch(k, x, a);
}

void send_pfdata() {
  if (quolbv3::guisoc != 1) return;
  if (nbus > 0 && pfdata.allocated()) {
    const std::int32_t n = buses();
    wakro::close_open_model_message();
    exputi(kLink, kBusValues);
    for (std::int32_t k = 1; k <= n; ++k) exputr(kLink, pfdata(k));
    wakro::send_or_say("the load-flow bus voltages (message 15) of " + std::to_string(n) + " buses");
  }
  if (nwb > 0 && pfpqdata.allocated()) {
    const std::int32_t n = measuring_branches();
    wakro::close_open_model_message();
    exputi(kLink, kBranchValues);
    for (std::int32_t k = 1; k <= n; ++k)
      for (std::int32_t c = 1; c <= 3; ++c) exputr(kLink, pfpqdata(k, c));
    wakro::send_or_say("the load-flow branch values (message 16) of " + std::to_string(n) + " measuring branches");
  }
}
