// The configured breaker, the pre-insertion resistor check and the contact
// timing of a pre-insertion breaker (one phase or three, with the resistor
// period ended by a current zero or by a time).
#include "devices/preinsertion.h"

#include <array>
#include <cmath>
#include <span>

#include "blocks/slots.h"
#include "devices/breakers.h"
#include "devices/device_support.h"
#include "model/e_s1.h"

namespace {

// Reference instant of a run that starts open: every delay has elapsed.
constexpr double kLongAgo = -1.0e10;

// How the resistor period of a closing ends.
struct ResistorPeriod {
  bool by_time;  // after tr seconds, instead of at the current's first zero
  double tr;
};

// The timing of n phases: delays has 2n entries (main contacts, then resistor
// contacts), currents n, out 2n. Takes 1 + n stori (command, counters) and
// 1 + n storf (T0, last currents).
void contact_timing(std::int32_t ctrl, const ResistorPeriod& period, std::span<const double> delays,
                    std::span<const double> currents, std::span<std::int32_t> out) {
  const std::int32_t n = static_cast<std::int32_t>(currents.size());
  namespace L = wakro::devices::layout::contact_timing;
  const auto ints = wakro::blocks::take_stori(L::stori_size(n));
  const auto reals = wakro::blocks::take_storf(L::storf_size(n));
  std::int32_t& previous = ints(L::kPreviousCommand);
  double& t0 = reals(L::kOpeningTime);
  const double t = e_s1::time;
  // Time zero: the present command counts as the previous one; no zero seen yet.
  if (e_s1::timezero) {
    previous = ctrl;
    t0 = kLongAgo;
    for (std::int32_t k = 0; k < n; ++k) reals(L::kLastCurrents + k) = currents[k];
  }
  const bool was_closed = previous != 0;

  if (ctrl == 0) {
    // Open: each contact opens its own delay after the opening instant.
    if (was_closed) t0 = t;
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = t >= t0 + delays[k] ? 1 : 0;
  } else if (!was_closed) {
    // Closing now: the resistor contacts start their period.
    t0 = t;
    const bool no_period = period.by_time && period.tr <= 0.0;
    for (std::int32_t k = 0; k < n; ++k) {
      out[k] = 0;
      ints(L::kCounters + k) = no_period ? 1 : 0;
      reals(L::kLastCurrents + k) = currents[k];
      out[n + k] = no_period ? 0 : 1;
    }
  } else {
    // Closed: a counter moves at each current zero, or on every call once the
    // period has elapsed.
    const bool elapsed = t >= t0 + period.tr;
    for (std::int32_t k = 0; k < n; ++k) {
      std::int32_t& count = ints(L::kCounters + k);
      double& last = reals(L::kLastCurrents + k);
      if (period.by_time ? elapsed : last * currents[k] < 0.0) ++count;
      last = currents[k];
      if (e_s1::timezero) count = 1;
      out[k] = 0;
      out[n + k] = count == 0 ? 1 : 0;
    }
  }
  previous = ctrl;
}

}  // namespace

void e1pbrkr1_cfg(double ron, double roff, double im) {
  if (!(ron < roff))
    wakro::devices::device_fatal("BREAKER1",
                                 "Open resistance must be greater than closed resistance");
  namespace L = wakro::devices::layout::e1pbrkr1;
  wakro::blocks::take_rtcf(L::kRtcfSize)(L::kMargin) = std::abs(im);
}

void e1pbrkr1_exe(std::int32_t ss, std::int32_t br, double ron, double roff, bool immed,
                  std::int32_t ctrl) {
  namespace L = wakro::devices::layout::e1pbrkr1;
  const double margin = wakro::blocks::take_rtcf(L::kRtcfSize)(L::kMargin);
  wakro::devices::margin_breaker(ss, br, ron, roff, margin, immed, ctrl,
                                 wakro::devices::RefreshComplaint::console_lines);
}

void check_pir(double ron, double roff, double rpir, std::string_view tag) {
  if (!(ron < rpir && rpir < roff))
    wakro::devices::device_fatal(tag,
                                 "Pre-insertion resistance must be between ON and OFF resistances");
}

void preinsert1(std::int32_t ctrl, double t1, double t2, double i, std::int32_t& s1,
                std::int32_t& s2) {
  preinsert11(ctrl, 0, t1, t2, 0.0, i, s1, s2);
}

void preinsert11(std::int32_t ctrl, std::int32_t mode, double t1, double t2, double tr, double i,
                 std::int32_t& s1, std::int32_t& s2) {
  const std::array<double, 2> delays{t1, t2};
  const std::array<double, 1> currents{i};
  std::array<std::int32_t, 2> out{};
  contact_timing(ctrl, ResistorPeriod{mode != 0, tr}, delays, currents, out);
  s1 = out[0];
  s2 = out[1];
}

void preinsert3(std::int32_t ctrl, const std::array<double, 6>& t, double ia, double ib, double ic,
                std::array<std::int32_t, 6>& s) {
  preinsert33(ctrl, 0, t, 0.0, ia, ib, ic, s);
}

void preinsert33(std::int32_t ctrl, std::int32_t mode, const std::array<double, 6>& t, double tr,
                 double ia, double ib, double ic, std::array<std::int32_t, 6>& s) {
  const std::array<double, 3> currents{ia, ib, ic};
  contact_timing(ctrl, ResistorPeriod{mode != 0, tr}, t, currents, s);
}
