// Breakers, the breaker timer, the breaker power meter and the discontinued
// switch model.
//
// One routine, operate(), runs both breakers; the older breaker differs only in
// the points its Rules record names. Each call reads the current of the last
// solution (CBR) and leaves, for the solution of this step: the state (through
// wakro_turnon / wakro_turnoff), the mode and level of the opening it waits for
// (IORV, SWLEVL), XSTOR = no crossing, and BRANCH_R of the present state.
#include "devices/breakers.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "blocks/meters.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/listout.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "model/int1.h"
#include "model/options.h"
#include "network/companion.h"
#include "network/switching.h"

namespace {

using wakro::devices::RefreshComplaint;
namespace mode = wakro::switch_mode;

constexpr std::string_view kTag = "BREAKER";
// Smallest resistance recorded for a closed breaker (harmonic scans divide by it).
constexpr double kMinOnResistance = 1.0e-12;
constexpr std::int32_t kClose = 1;
constexpr std::int32_t kOpen = 0;

struct Rules {
  bool exact_zero;  // the older breaker: no margin, no refresh, a zero current
                    // arms nothing, a safety turn-off is reported
  RefreshComplaint complaint;
};

void complain(RefreshComplaint how, std::string_view what) {
  if (how == RefreshComplaint::warning) {
    wakro::devices::device_warn(std::string(what) + ", Proceeding with original values.");
    return;
  }
  wakro::ListLine() << what;
  wakro::ListLine() << "Proceeding with original values.";
}

// First step of a resumed run: the resistances of the state the breaker is not
// in are taken from the arguments, so that the present conductance stays.
void refresh(std::int32_t ss, std::int32_t b, double ron, double roff, RefreshComplaint how) {
  using namespace branches;
  // The set-up at time zero checked the branch; a resumed run has not.
  wakro_testswa(kTag, b, ss);
  if (!(ron < roff)) {
    complain(how, how == RefreshComplaint::warning
                      ? "OFF resistance of switch must be larger than ON resistance"
                      : "OFF resistance of switch must be larger than ON res.");
    return;
  }
  if (ron < 0.0) {
    complain(how, "ON resistance of switch must not be negative");
    return;
  }
  if (!openbr(b, ss)) {
    wakro::set_off_conductance(b, ss, roff);
  } else if (std::abs(ron) < 1.0 / ideal::gonmax(ss)) {
    // An ideal ON state, as the switch set-up makes it.
    wakro::set_ideal_on(b, ss);
    e_s0::idealss(ss) = true;
  } else {
    wakro::set_on_conductance(b, ss, ron);
  }
}

void safety_report(std::int32_t ss, std::int32_t b) {
  wakro::ListLine() << "BREAKER:Safety turnoff at nodes:" << branches::ief(b, ss)
                    << branches::iet(b, ss) << "ss:" << ss;
}

// Step 6: a closed breaker turns off, cancels or arms its opening.
void closed_breaker(std::int32_t ss, std::int32_t b, double margin, bool immed, std::int32_t ctrl,
                    std::int32_t old_mode, const Rules& rules) {
  const double i = branches::cbr(b, ss);
  // 1. The current has reached the level it was waiting for.
  if ((old_mode == mode::current_rising && i >= -margin) ||
      (old_mode == mode::current_falling && i <= margin)) {
    wakro_turnoff(ss, b, mode::plain, margin);
    if (rules.exact_zero && options::interpss(ss)) safety_report(ss, b);
    return;
  }
  // 2. No open order (a pending opening is cancelled).
  if (ctrl != kOpen) {
    int1::iorv(b, ss) = mode::plain;
    return;
  }
  // 3-4. Open at once, or the current is already within the margin.
  if (immed || (!rules.exact_zero && std::abs(i) <= margin)) {
    wakro_turnoff(ss, b, mode::plain, margin);
    return;
  }
  // 5-6. Wait for the current to reach the margin.
  if (i > margin) {
    int1::iorv(b, ss) = mode::current_falling;
    branches::swlevl(b, ss) = margin;
  } else if (i < -margin) {
    int1::iorv(b, ss) = mode::current_rising;
    branches::swlevl(b, ss) = -margin;
  }
}

void operate(std::int32_t ss, std::int32_t br, double ron, double roff, double margin, bool immed,
             std::int32_t ctrl, const Rules& rules) {
  using namespace branches;
  // 1-3. The branch, its set-up at time zero, the refresh of a resumed run.
  const std::int32_t b = std::abs(br);
  if (e_s1::timezero) {
    wakro_initswbr(ss, br, ron, roff, 0.0, 0.0, kTag);
  } else if (e_s1::firststep && !rules.exact_zero) {
    refresh(ss, b, ron, roff, rules.complaint);
  }
  // 4. The mode left by the last call.
  const std::int32_t old_mode = int1::iorv(b, ss);
  int1::xstor(b, ss) = wakro::kNoCrossing;
  // 5-6. Open breaker: closes on 1 only; closed breaker: see closed_breaker.
  if (openbr(b, ss)) {
    int1::iorv(b, ss) = mode::plain;
    if (ctrl == kClose) wakro_turnon(ss, b, mode::plain, 0.0);
  } else {
    closed_breaker(ss, b, margin, immed, ctrl, old_mode, rules);
  }
  // 7-8. The resistance of the present state.
  harmimp::branch_r(b, ss) =
      openbr(b, ss) ? roff : (ron <= kMinOnResistance ? kMinOnResistance : ron);
}

}  // namespace

void wakro::devices::margin_breaker(std::int32_t ss, std::int32_t br, double ron, double roff,
                                    double im, bool immed, std::int32_t ctrl,
                                    RefreshComplaint complaint) {
  operate(ss, br, ron, roff, std::abs(im), immed, ctrl, Rules{false, complaint});
}

void wakro_breaker1(std::int32_t ss, std::int32_t br, double ron, double roff, double im,
                    bool immed, std::int32_t ctrl) {
  wakro::devices::margin_breaker(ss, br, ron, roff, im, immed, ctrl, RefreshComplaint::warning);
}

void wakro_breaker(std::int32_t ss, std::int32_t br, double ron, double roff, bool immed,
                   std::int32_t ctrl) {
  operate(ss, br, ron, roff, 0.0, immed, ctrl, Rules{true, RefreshComplaint::warning});
}

void wakro_tbreak(double t1, double t2, std::int32_t repeat, std::int32_t& out) {
  out = 0;
  namespace L = wakro::devices::layout::tbreak;
  const auto slot = wakro::blocks::take_stor(L::kStorSize);
  if (t1 == t2) {
    wakro::ListLine() << "ERROR: Breaker on/off times are the same";
    wakro_quit("TBREAK", 0);
  }
  const double t = e_s1::time;
  double& start = slot(L::kPeriodStart);
  if (e_s1::timezero) start = 0.0;
  if (repeat != 1) {
    out = (t1 < t2 ? (t >= t1 && t < t2) : (t < t2 || t >= t1)) ? 1 : 0;
  } else if (t1 > t2) {
    // Period t1, closed for its first t2.
    if (t < start + t2) out = 1;
    if (t >= start + t1) {
      out = 1;
      start += t1;
    }
  } else {
    // Period t2, open for its first t1.
    if (t >= start + t1) out = 1;
    if (t >= start + t2) {
      out = 0;
      start += t2;
    }
  }
}

void tbreak1(double t1, double t2, std::int32_t repeat, std::int32_t& out) {
  wakro_tbreak(t1, t2, repeat, out);
}

void brk_power(std::int32_t ss, std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t b1,
               std::int32_t b2, std::int32_t b3, std::int32_t& ok, double tc, double& p,
               double& q) {
  constexpr std::string_view kPowerTag = "BRK_POWER";
  namespace L = wakro::devices::layout::brk_power;
  // 1. Measured at the to-nodes when the from-nodes of the first set are ground.
  //    The branches are checked first; a negated branch names the same branch.
  const auto flag = wakro::blocks::take_stori(L::kStoriSize);
  if (e_s1::timezero) {
    bool grounded = true;
    for (const std::int32_t a : {a1, a2, a3}) {
      wakro_testbrn(kPowerTag, std::abs(a), ss);
      grounded = grounded && branches::ief(std::abs(a), ss) == 0;
    }
    flag(L::kMeasuringEnd) = grounded ? 1 : 0;
  }
  const std::int32_t end = flag(L::kMeasuringEnd);
  // 2-3. The first set, then the second set or the slots it would have taken.
  p = p3ph3(ss, a1, a2, a3, tc, end);
  q = q3ph3(ss, a1, a2, a3, tc, end);
  if (b1 != 0 && b2 != 0 && b3 != 0) {
    p += p3ph3(ss, b1, b2, b3, tc, end);
    q += q3ph3(ss, b1, b2, b3, tc, end);
  } else {
    wakro::blocks::take_stor(L::kSetStor);
  }
  ok = 1;
}

void swint5() { wakro_migrate("SWINT5"); }
