// The power-electronic switch (see pe_switch.h): the three entry points, which
// lay out the record at time zero and turn the gate input into a gate state and
// an instant, and the dynamics they share.
#include "devices/pe_switch.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/convert.h"
#include "diag/message.h"
#include "diag/validators.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "model/int1.h"
#include "model/options.h"
#include "model/storage.h"
#include "network/solution.h"
#include "network/switching.h"

namespace {

namespace mode = wakro::switch_mode;
using wakro::blocks::Slots;

constexpr std::string_view kTag = "PESWITCH    ";
constexpr std::int32_t kLastKind = wakro::branch_code::pe_switch_last - wakro::branch_code::pe_switch_first;
constexpr std::int32_t kFire = 1;
constexpr std::int32_t kBlocked = -1;
constexpr std::int32_t kBlockCommand = 2;
constexpr double kMicro = 1.0e-6;

// Slots of the STOR, STORI, STORL and STORF blocks and of the configuration.
using namespace wakro::devices::layout::pe_switch;

// The four slot blocks of one device, in the order the device takes them.
struct Record {
  Slots<std::int32_t> i;
  Slots<bool> l;
  Slots<double> f;
  Slots<double> s;
};

Record take_record() {
  return {wakro::blocks::take_stori(kStoriSize), wakro::blocks::take_storl(kStorlSize),
          wakro::blocks::take_storf(kStorfSize), wakro::blocks::take_stor(kStorSize)};
}

// The parameters of one device as its entry point receives them.
struct Params {
  std::int32_t kind;
  bool not_permanent;
  double ron, roff, vfb, vrb, vf, tmin;
};

void check_kind(std::int32_t kind) {
  if (kind >= 0 && kind <= kLastKind) return;
  wakro::devices::device_fatal(kTag, "Power electronic switch type " + std::to_string(kind) +
                                         " is not one of 0 (diode) to " +
                                         std::to_string(kLastKind));
}

// A voltage, trimmed, with its unit.
std::string kv(double x) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr) + " kV";
}

// A warning of two or three lines under the component ids: the first line, then
// "branch <br> of subsystem <ss>", then the voltage line when there is one.
void warn(std::string_view first, std::int32_t br, std::int32_t ss, const std::string& levels) {
  const std::int32_t id1 = e_warn::comp_id1;
  const std::int32_t id2 = e_warn::comp_id2;
  const std::string where = "branch " + std::to_string(br) + " of subsystem " + std::to_string(ss);
  if (levels.empty()) {
    wakro_warn(id1, id2, wakro::msg::first_of(2), first);
    wakro_warn(id1, id2, wakro::msg::kLastLine, where);
    return;
  }
  wakro_warn(id1, id2, wakro::msg::first_of(3), first);
  wakro_warn(id1, id2, wakro::msg::kMiddleLine, where);
  wakro_warn(id1, id2, wakro::msg::kLastLine, levels);
}

std::string levels(double v, std::string_view which, double level) {
  return "switch voltage " + kv(v) + " beyond the " + std::string(which) + " level " + kv(level) +
         " (levels compared in the units of the data)";
}

// The record's layout at time zero.
void lay_out(const Record& r, std::int32_t ss, std::int32_t br, const Params& p) {
  const double ih = p.vf / p.roff;
  r.i(kCode) = wakro::branch_code::pe_switch_first + p.kind;
  r.i(kLIndex) = r.l.index(kHasConducted);
  r.i(kFIndex) = r.f.index(kSetupTime);
  r.i(kSs) = ss;
  r.i(kBr) = br;
  r.i(kQIndex) = r.s.index(kSafetyCount) - 1;
  r.l(kHasConducted) = false;
  r.l(kNotPermanent) = p.not_permanent;
  r.f(kSetupTime) = e_s1::time;
  r.f(kIH) = ih;
  r.f(kVF) = p.vf;
  r.f(kVFB) = std::abs(p.vfb);
  r.f(kTmin) = p.tmin;
  r.f(kGateT) = 0.0;
  r.f(kVRB) = -std::abs(p.vrb);
  for (std::int32_t k = 1; k <= kStorSize; ++k) r.s(k) = 0.0;
  r.s(kGateOn) = r.s(kGateOff) = -2.0 * e_s1::delt;
  r.s(kHolding) = ih;
  r.s(kForward) = p.vf;
  branches::thisbr(br, ss) = r.i.index(kCode);
  harmimp::branch_r(br, ss) = p.roff;
}

// The dynamics on a taken record (steps of wakro_peswitch_dyn).
void dynamics(const Record& r, double instant, bool has_instant) {
  const Slots<double>& s = r.s;
  // Step 1: a permanent breakdown keeps the device as it is.
  if (s(kPermanent) > 0.5) return;
  const std::int32_t ss = r.i(kSs);
  const std::int32_t br = r.i(kBr);
  const std::int32_t g = r.i(kGate);
  const std::int32_t kind = r.i(kCode) - wakro::branch_code::pe_switch_first;
  const double ih = r.f(kIH);
  const double vf = r.f(kVF);
  const double vfb = r.f(kVFB);
  const double vrb = r.f(kVRB);
  const double t = e_s1::time;
  const double dt = e_s1::delt;
  const bool interp = options::interpss(ss);

  // Step 2: the switch's voltage and current of the last solution.
  const double v = vbranch(ss, br);
  const double i = branches::cbr(br, ss);
  const double xs = int1::xstor(br, ss);
  int1::xstor(br, ss) = wakro::kNoCrossing;
  if (g != kBlocked) s(kGated) = 1.0;

  // Step 3: the instant at which the forward voltage rose through VF.
  const double vp = s(kPrevV);
  if (v > vf && vp <= vf) {
    const double dv = v - vp;
    s(kRise) = std::abs(dv) <= wakro::kTiny ? t - 2.0 * dt : t - (2.0 - (vf - vp) / dv) * dt;
    if (s(kRise) >= s(kTurnOff)) s(kRecovery) = s(kRise) - s(kTurnOff);
  }

  const auto reverse_breakdown = [&] {
    wakro_turnon(ss, br, mode::plain, 0.0);
    s(kPermanent) = 1.0;
    warn("Reverse break down of PESwitch in ", br, ss, levels(v, "reverse breakdown", vrb));
    s(kTurnOn) = t - dt;
  };
  const auto low_current_off = [&] {
    wakro_turnoff(ss, br, mode::plain, 0.0);
    if (interp) {
      s(kTurnOff) = t - dt;
      wakro_safety_msg(s(kSafetyCount), kind, br, ss);
    } else {
      s(kTurnOff) = t;
    }
  };

  if (branches::openbr(br, ss)) {
    // Step 4: OFF.
    if (xs <= 1.0) s(kTurnOff) = t - (2.0 - xs) * dt;
    int1::iorv(br, ss) = mode::plain;
    if (g == kFire && v > vf) {
      if (has_instant && interp) {
        int1::iorv(br, ss) = mode::timed;
        branches::swlevl(br, ss) = instant;
      } else {
        wakro_turnon(ss, br, mode::current_falling, ih);
        s(kTurnOn) = t;
      }
    } else if (g == kFire && v < vrb) {
      reverse_breakdown();
    } else if (g == kFire) {
      if (interp) {
        int1::iorv(br, ss) = mode::voltage_rising;
        branches::swlevl(br, ss) = vf;
      }
    } else if (v > vfb) {
      wakro_turnon(ss, br, mode::plain, 0.0);
      warn("Forward break down of PESwitch in ", br, ss, levels(v, "forward breakdown", vfb));
      if (!r.l(kNotPermanent)) {
        warn("Permanent break down of PESwitch in ", br, ss, {});
        s(kPermanent) = 1.0;
      }
    } else if (v <= vf) {
      if (v < vrb) reverse_breakdown();
    } else if (t - s(kTurnOff) < r.f(kTmin) * kMicro && r.l(kHasConducted)) {
      wakro_turnon(ss, br, mode::current_falling, ih);
      s(kTurnOn) = t - dt;
    }
  } else {
    // Step 5: ON.
    r.l(kHasConducted) = true;
    if (xs <= 1.0) {
      s(kTurnOn) = t - (2.0 - xs) * dt;
      if (kind == wakro::pe_switch::diode) s(kRise) = s(kTurnOn);
    }
    int1::iorv(br, ss) = mode::plain;
    if (g == kBlocked) {
      if (i < ih) {
        low_current_off();
      } else if (has_instant && interp) {
        int1::iorv(br, ss) = mode::timed;
        branches::swlevl(br, ss) = instant;
      } else {
        wakro_turnoff(ss, br, mode::plain, 0.0);
        s(kTurnOff) = t;
      }
    } else if (i < ih) {
      low_current_off();
      if (g == kFire) {
        int1::iorv(br, ss) = mode::voltage_rising;
        branches::swlevl(br, ss) = vf;
      }
    } else if (interp) {
      int1::iorv(br, ss) = mode::current_falling;
      branches::swlevl(br, ss) = ih;
    }
  }

  // Step 6: what the next call compares against.
  s(kPrevV) = v;
  if (s(kRise) >= s(kTurnOff)) s(kRecovery) = s(kRise) - s(kTurnOff);
  if (s(kTurnOn) >= s(kRise)) s(kDelay) = s(kTurnOn) - s(kRise);
}

// Steps 1 to 5 of every entry point. caller_kind is the caller's KIND for the
// single-routine forms (which a blocking command on a diode changes), else null.
void entry(std::int32_t ss, std::int32_t br, std::int32_t gate, double tedge, const Params& p,
           std::int32_t* caller_kind = nullptr) {
  // Step 1: set-up at time zero.
  if (e_s1::timezero) {
    check_kind(p.kind);
    const double eon = (p.roff - p.ron) * p.vf / p.roff;
    wakro_initswbr(ss, br, p.ron, p.roff, eon, 0.0, kTag);
  }
  const Record r = take_record();
  if (e_s1::timezero) lay_out(r, ss, br, p);

  // Step 2: the gate state.
  const std::int32_t kind = r.i(kCode) - wakro::branch_code::pe_switch_first;
  std::int32_t g = gate;
  if (gate == kBlockCommand) {
    g = kBlocked;
  } else if (kind == wakro::pe_switch::diode) {
    g = kFire;
    tedge = 0.0;
  } else if (kind >= wakro::pe_switch::gto && gate != kFire) {
    g = kBlocked;
  }
  // A blocking command on a diode makes it a turn-off device from then on: the
  // caller's KIND becomes 2, and so does the record's code, which the network
  // reads when it turns the valve off inside a step (a diode is re-armed to fire
  // on the next voltage rise, a turn-off device is not).
  if (caller_kind != nullptr && gate == kBlockCommand && *caller_kind < wakro::pe_switch::thyristor) {
    *caller_kind = wakro::pe_switch::gto;
    r.i(kCode) = wakro::branch_code::pe_switch_first + wakro::pe_switch::gto;
  }

  // Step 3: the instant of a gate edge inside the step.
  const double t = e_s1::time;
  const double dt = e_s1::delt;
  double instant = 0.0;
  bool has_instant = false;
  if (tedge > 0.0 && tedge <= dt) {
    instant = t - tedge;
    has_instant = true;
    if (g == kFire) r.s(kGateOn) = instant;
    if (g == kBlocked) r.s(kGateOff) = instant;
  } else if (t - dt < r.s(kGateOn) && r.s(kGateOn) < t) {
    instant = r.s(kGateOn);
    g = kFire;
    has_instant = true;
  } else if (t - dt < r.s(kGateOff) && r.s(kGateOff) < t) {
    instant = r.s(kGateOff);
    g = kBlocked;
    has_instant = true;
  }

  // Step 4: the dynamics.
  r.i(kGate) = g;
  r.f(kGateT) = tedge;
  storage::this_ = r.i.index(kCode);
  dynamics(r, instant, has_instant);

  // Step 5: conducting or not, by the branch's conductance.
  const double geq = branches::geq(br, ss);
  const bool ideal_on = std::abs(p.ron) < 1.0 / ideal::gonmax(ss);
  const bool on = ideal_on ? geq < 0.5 * branches::geqof(br, ss)
                           : geq > 0.5 * (branches::geqon(br, ss) + branches::geqof(br, ss));
  r.s(kConducting) = on ? 1.0 : 0.0;
}

}  // namespace

void peswitch1_cfg(std::int32_t kind, std::int32_t l, double ron, double roff, double vfb,
                   double vrb, double vf, double tmin) {
  check_kind(kind);
  wakro::blocks::take_rtci(kRtciSize)(kCfgKind) = kind;
  wakro::blocks::take_rtcl(kRtclSize)(kCfgL) = e_itob(l);
  const auto c = wakro::blocks::take_rtcf(kRtcfSize);
  c(kRon) = ron;
  c(kRoff) = roff;
  c(kCfgVfb) = vfb;
  c(kCfgVrb) = vrb;
  c(kCfgVf) = vf;
  c(kCfgTmin) = tmin;
}

void peswitch1_exe(std::int32_t ss, std::int32_t br, std::int32_t g, double t) {
  const auto ci = wakro::blocks::take_rtci(kRtciSize);
  const auto cl = wakro::blocks::take_rtcl(kRtclSize);
  const auto c = wakro::blocks::take_rtcf(kRtcfSize);
  entry(ss, br, g, t, {ci(kCfgKind), cl(kCfgL), c(kRon), c(kRoff), c(kCfgVfb), c(kCfgVrb), c(kCfgVf), c(kCfgTmin)});
}

void wakro_peswitch2(std::int32_t ss, std::int32_t br, double ron, double roff, std::int32_t g,
                     double t, std::int32_t& kind, std::int32_t l, double vfb, double vrb, double vf,
                     double tmin) {
  entry(ss, br, g, t, {kind, e_itob(l), ron, roff, vfb, vrb, vf, tmin}, &kind);
}

void wakro_peswitch(std::int32_t ss, std::int32_t br, double ron, double roff, std::int32_t g,
                    double t, std::int32_t& kind, double vfb, double vf, double tmin) {
  entry(ss, br, g, t, {kind, false, ron, roff, vfb, vfb, vf, tmin}, &kind);
}

void wakro_peswitch_dyn(double instant, bool has_instant) {
  dynamics(take_record(), instant, has_instant);
}

void thyr25() { wakro_migrate("THYR25      "); }
