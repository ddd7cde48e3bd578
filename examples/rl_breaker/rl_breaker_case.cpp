// The R-L breaker case: one page, one subsystem, two nodes and three branches
// (rl_breaker.dta):
//
//   ground --[ Rs, EMF e(t) ]-- node 1 --[ breaker ]-- node 2 --[ R + L ]-- ground
//
// The case's model code drives the two active parts of that network:
//   - the source: every step it writes e(t) = E sin(2 pi f t + phi) into the
//     series EMF (branches::ebr) of the source branch, t being the time of the
//     end of the step the network is about to solve;
//   - the breaker: set up at time zero as a switching branch (ON and OFF
//     resistances), OFF, armed to close at the chosen instant (switching mode 8,
//     the instant in its level), which the network solution finds inside the
//     step; from the opening order on it waits for the next zero of its current
//     (mode -13 for a positive current falling through 0, 13 for a negative one
//     rising), which the solution again finds inside the step.
// Should the solution not have operated the breaker (interpolation switched
// off in the case's parameters), the model operates it itself one step later
// (closing) or at the first step whose current has passed zero (opening).
//
// The parameters are the page's stored reals (the "STOF:" section), so the
// circuit can be changed without building the case again:
//   1 EMF peak [kV]   2 frequency [Hz]   3 phase at t = 0 [deg]
//   4 closing instant [s]   5 opening order [s]
//   6 breaker ON resistance [ohm]   7 breaker OFF resistance [ohm]
//
// Output channels (e_s4::pgb from the page's channel offset on): 1 the EMF [kV],
// 2 the breaker current from node 1 to node 2 [kA], 3 the voltage across the
// R-L load [kV], 4 the breaker state (1 closed, 0 open).
//
// The root routines are the page itself: each advances the case map's running
// counters by the page's fixed counts before its body, as every page call does,
// so that the storage-pointer checks see the same values on every step.
#include "rl_breaker_case.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>

#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/int1.h"
#include "model/quolbv3.h"
#include "network/solution.h"
#include "network/switching.h"
#include "page_call.h"

namespace {

// The page's fixed counts: node record (subsystem, 0, two nodes), stored reals,
// output channels and branches of its subsystem.
constexpr std::int32_t kRecordLength = 4;
constexpr std::int32_t kStoredReals = 7;
constexpr std::int32_t kChannels = 4;
constexpr std::int32_t kBranches = 3;

// The page's branches, in the order of its "BRANCHES:" section.
constexpr std::int32_t kSourceBranch = 1;
constexpr std::int32_t kBreakerBranch = 2;
constexpr std::int32_t kLoadBranch = 3;

constexpr std::string_view kTag = "RL_BREAKER  ";

// Switching modes of the breaker branch (int1::iorv).
constexpr std::int32_t kNoTest = 6;
constexpr std::int32_t kAtInstant = 8;
constexpr std::int32_t kNegativeRising = 13;
constexpr std::int32_t kPositiveFalling = -13;

struct Parameters {
  double emf_peak;
  double frequency;
  double phase_deg;
  double t_close;
  double t_open;
  double r_on;
  double r_off;
};

// Where this page's share of the running counters starts in the present pass.
struct PageCall {
  std::int32_t ss;
  std::int32_t stof_base;
  std::int32_t branch_base;
};

// Takes the page's share of the counters common to all four routines: its call
// number, its node record and its branch numbers.
PageCall enter_page(std::int32_t stof_base) {
  PageCall c{};
  c.ss = quolbv3::node(quolbv3::nnode + 1);
  // A page record without a subsystem (a map line the reader could not take)
  // stops here, before the subsystem indexes any array.
  wakro_testssn(kTag, c.ss);
  quolbv3::ncall_no += 1;
  c.stof_base = stof_base;
  quolbv3::nnode += kRecordLength;
  c.branch_base = quolbv3::nbrch(c.ss);
  quolbv3::nbrch(c.ss) += kBranches;
  return c;
}

Parameters read_parameters(std::int32_t base) {
  auto p = [base](std::int32_t k) { return quolbv3::stof(base + k); };
  return Parameters{p(1), p(2), p(3), p(4), p(5), p(6), p(7)};
}

double emf(const Parameters& p, double t) {
  constexpr double kPi = std::numbers::pi;
  return p.emf_peak * std::sin(2.0 * kPi * p.frequency * t + p.phase_deg * kPi / 180.0);
}

// The breaker for the step that ends at e_s1::time: closed from the closing
// instant until the opening order, then open from the next zero of its current.
void operate_breaker(const PageCall& c, const Parameters& p) {
  const std::int32_t br = c.branch_base + kBreakerBranch;
  const std::int32_t ss = c.ss;
  const double t = e_s1::time;
  const bool order_closed = p.t_close <= t && t < p.t_open;

  if (e_s1::timezero) {
    wakro_initswbr(ss, br, p.r_on, p.r_off, 0.0, 0.0, kTag);
    // Open at time zero; armed for the closing instant when it lies ahead.
    if (p.t_close > 0.0 && p.t_close < p.t_open) wakro_turnoff(ss, br, kAtInstant, p.t_close);
  }

  if (branches::openbr(br, ss)) {
    // The solution closes the breaker inside the step that holds the closing
    // instant; one step later the order is carried out here.
    if (order_closed && (e_s1::timezero || t - e_s1::delt >= p.t_close))
      wakro_turnon(ss, br, kNoTest, 0.0);
    else if (!order_closed && int1::iorv(br, ss) == kAtInstant && t >= p.t_open)
      int1::iorv(br, ss) = kNoTest;
    return;
  }
  if (order_closed) return;

  // Opening order: open at the next current zero, found inside the step.
  const double i = branches::cbr(br, ss);
  const std::int32_t mode = int1::iorv(br, ss);
  const bool passed_zero =
      (mode == kNegativeRising && i >= 0.0) || (mode == kPositiveFalling && i <= 0.0);
  if (passed_zero || i == 0.0) {
    wakro_turnoff(ss, br, kNoTest, 0.0);
  } else if (i > 0.0) {
    int1::iorv(br, ss) = kPositiveFalling;
    branches::swlevl(br, ss) = 0.0;
  } else {
    int1::iorv(br, ss) = kNegativeRising;
    branches::swlevl(br, ss) = 0.0;
  }
}

}  // namespace

void dsdyn() {
  example::open_call_record();
  const std::int32_t stof_base = quolbv3::nstof;
  quolbv3::nstof += kStoredReals;
  quolbv3::npgb += kChannels;  // the channels are written by the output pass
  const PageCall c = enter_page(stof_base);

  const Parameters p = read_parameters(c.stof_base);
  branches::ebr(c.branch_base + kSourceBranch, c.ss) = emf(p, e_s1::time);
  operate_breaker(c, p);
}

void dsout() {
  quolbv3::ntxfr += 1;
  const std::int32_t stof_base = quolbv3::txfr(quolbv3::ntxfr, 3);
  const std::int32_t channel_base = quolbv3::npgb;
  quolbv3::npgb += kChannels;
  const PageCall c = enter_page(stof_base);

  const std::int32_t ss = c.ss;
  const std::int32_t br = c.branch_base + kBreakerBranch;
  e_s4::pgb(channel_base + 1) = branches::ebr(c.branch_base + kSourceBranch, ss);
  e_s4::pgb(channel_base + 2) = cbranch(ss, br);
  e_s4::pgb(channel_base + 3) = vbranch(ss, c.branch_base + kLoadBranch);
  e_s4::pgb(channel_base + 4) = branches::openbr(br, ss) ? 0.0 : 1.0;
}

void dsdyn_begin() { (void)enter_page(0); }

void dsout_begin() { (void)enter_page(0); }
